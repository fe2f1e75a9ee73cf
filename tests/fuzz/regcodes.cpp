// The registration-code files: the downloaded "AIG-regcodes.xml" and the user's text files in
// input/my_regcodes (any of the encodings the text reader knows). The first byte chooses the file.
#include <cstddef>
#include <cstdint>
#include <list>

#include "catalogue/regcodes.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::list<RegcodeEntry> entries;
    if (data[0] % 2 == 0) {
        const auto path = fuzz::writeInput("input/AIG-regcodes.xml", data + 1, size - 1);
        gf_readAigRegcodes(path.string(), entries);
    } else {
        const auto path = fuzz::writeInput("input/my_regcodes/mine.txt", data + 1, size - 1);
        gf_readRegcodeFiles(path.parent_path().string(), entries);
    }
    return 0;
}
