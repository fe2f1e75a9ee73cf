// The airport database "input/airports_msfs.xml", and the same bytes as the names file.
#include <cstddef>
#include <cstdint>

#include "airports/airports.h"
#include "foundation/log.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::sandbox();
    fuzz::writeInput(gf_airportsFile(), data, size);
    fuzz::writeInput(gf_airportNamesFile(), data, size);
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
