// The airport database "input/airports_msfs.xml", and the same bytes as the names file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "airports/airports.h"
#include "foundation/log.h"

namespace {

void writeBytes(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size)
{
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data),
                                                                 static_cast<std::streamsize>(size));
}

// One program folder per fuzzing process, the working folder; the log stays closed.
void enterSandbox()
{
    static const bool entered = [] {
        const auto folder = std::filesystem::temp_directory_path() / ("vexa_fuzz_apt_" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        std::filesystem::current_path(folder);
        return true;
    }();
    (void)entered;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    enterSandbox();
    writeBytes(gf_airportsFile(), data, size);
    writeBytes(gf_airportNamesFile(), data, size);
    gf_resetAirports();
    try {
        gf_readAirports();
    } catch (const ovk::UserErrorException&) {
        // 87 and 88: the run ends with the error shown.
    }
    gf_readAirportNames();
    gf_resetAirports();
    return 0;
}
