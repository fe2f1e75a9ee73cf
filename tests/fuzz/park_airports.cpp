// The park-airport list "airports/my_park_airports.txt": read, then its first entry written back.
#include <cstddef>
#include <cstdint>

#include "airports/airports.h"
#include "airports/park_list.h"
#include "foundation/file_utils.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::sandbox();
    if (airportList.empty())
        airportList = {Airport{"EDDF", "FRA", 50.03, 8.57, 364}, Airport{"LSZH", "ZRH", 47.46, 8.55, 1416}};
    fuzz::writeInput(dataNames::myParkAirportsFile, data, size);
    lf_readMyParkAirports();
    gf_updateMyParkAirports();
    return 0;
}
