// The unpacked aircraft and airline reference database "temp2.xml" (its codes in the program's cipher).
#include <cstddef>
#include <cstdint>
#include <exception>

#include "catalogue/reference_db.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::writeInput("input/temp2.xml", data, size);
    try {
        gf_readDatabaseFile(path.string());
    } catch (const std::exception&) {
        // An unreadable database ends the run with a user error, as the run thread reports it.
    }
    gf_resetReferenceDatabase();
    return 0;
}
