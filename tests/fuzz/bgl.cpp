// Fuzz target: the BGL probe and airport decoder on any bytes, in both simulator modes (the first byte's
// low bit picks the mode). The decoder may end a damaged file with its range error, nothing else.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "airports/bgl_decoder.h"
#include "airports/scan_report.h"
#include "foundation/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    lf_isAirportBglHead(data, size, size);
    MSFS_2020.value = size == 0 || (data[0] & 1) != 0;
    BglAirportHandlers handlers;
    handlers.link = [](AirportPackage&, std::int32_t&, const std::string&) { return false; };
    handlers.generate = [](AirportPackage& package, std::int32_t) {
        if (package.stands.size() > 1'000'000) __builtin_trap();
    };
    try {
        lf_decodeBglWords(BglWords(data, size), "fuzz.bgl", handlers);
    } catch (const std::out_of_range&) {}
    gf_resetScanReport(0);
    return 0;
}
