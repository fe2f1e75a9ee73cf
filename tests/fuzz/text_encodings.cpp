// The text encodings: the UTF-8/UTF-16 conversion at the platform boundary and the text-file readers
// (byte-order marks, UTF-16 in both byte orders, line ends).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "platform/os/os.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto input = fuzz::text(data, size);
    try {
        const std::u16string wide = win32::Utf8ToUtf16(input);
        if (win32::Utf16ToUtf8(wide) != input) __builtin_trap();  // valid UTF-8 must come back unchanged
    } catch (const win32::Utf8ConversionException&) {}
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i + 1 < size; i += 2) units[i / 2] = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    try {
        (void)win32::Utf16ToUtf8(units);
    } catch (const win32::Utf8ConversionException&) {}

    const auto path = fuzz::writeInput("input/text.txt", data, size);
    std::vector<std::string> lines;
    gf_readFileLines(gf_fileEncoding(path), path, lines);
    (void)gf_readFile(path, 16);
    TextFile file;
    if (file.open(path)) {
        lines.clear();
        file.readLines(lines);
    }
    return 0;
}
