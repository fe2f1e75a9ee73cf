// Zip archives as the updater and the data downloads open them: the entry list, the file-name part of
// every entry name, and each entry's content read whole and streamed.
#include <cstddef>
#include <cstdint>

#include "foundation/zip_archive.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    (void)ZipArchive::safeFileName(fuzz::text(data, size));
    const auto path = fuzz::writeInput("download.zip", data, size);
    ZipArchive archive;
    if (!archive.open(path)) return 0;
    for (const auto& entry : archive.entries()) {
        const std::string name = ZipArchive::safeFileName(entry.name);
        if (name == "." || name == ".." || name.find_first_of("/\\:") != std::string::npos)
            __builtin_trap();  // never a folder, a parent or a path
        (void)archive.read(entry);
        (void)archive.stream(entry, 4096, [](const char*, std::size_t) { return true; });
    }
    return 0;
}
