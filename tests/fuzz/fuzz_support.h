#pragma once
// Shared by the fuzz targets: one sandbox folder per fuzzing process, used as program folder, AppData
// and local AppData (removed when the process ends), and the input written to a file in it. The log
// stays closed, so the program's log writers are silent.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace fuzz {

inline const std::filesystem::path& sandbox() {
    static const std::filesystem::path folder = [] {
        const auto f = std::filesystem::temp_directory_path() / ("vexa_fuzz_" + std::to_string(::getpid()));
        std::filesystem::remove_all(f);
        std::filesystem::create_directories(f / "appdata");
        std::filesystem::create_directories(f / "local");
        std::filesystem::current_path(f);
        ::setenv("VEXA_APPDATA", (f / "appdata").c_str(), 1);
        ::setenv("VEXA_LOCALAPPDATA", (f / "local").c_str(), 1);
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
            std::filesystem::remove_all(sandbox(), ignored);
        });
        return f;
    }();
    return folder;
}

// Writes the bytes to a file below the sandbox (folders created) and returns its path.
inline std::filesystem::path writeInput(const std::filesystem::path& relative, const std::uint8_t* data,
                                        std::size_t size) {
    const auto path = sandbox() / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

inline std::string_view text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace fuzz
