// The livery scan cache "output/LiveriesScanned.xml" as the livery database build reads it back.
#include <cstddef>
#include <cstdint>

#include "catalogue/livery_cache.h"
#include "catalogue/livery_record.h"
#include "foundation/log.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::sandbox();
    fuzz::writeInput(gf_liveryCachePath(), data, size);
    try {
        lf_readLiveriesScanned();
    } catch (const ovk::UserErrorException&) {
        // 51, 52, 533: the cache is rebuilt by a new scan.
    }
    gf_resetLiveryRecords();
    return 0;
}
