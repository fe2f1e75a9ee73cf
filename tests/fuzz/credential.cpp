// The credential file "RealTraffic.lic" as the login reads it.
#include <cstddef>
#include <cstdint>
#include <exception>

#include "feed/credential.h"
#include "foundation/log.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto path = fuzz::writeInput("RealTraffic.lic", data, size);
    try {
        (void)lf_readRtCredential(path);
    } catch (const ovk::UserErrorException&) {
        // A malformed file is the user's error 901.
    }
    try {
        gf_findRtCredential();
    } catch (const ovk::UserErrorException&) {}
    rtCredential.clear();
    return 0;
}
