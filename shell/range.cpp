#include "shell/range.h"

#include "foundation/settings.h"

std::atomic<std::int32_t> manualLateralRange{40};
std::atomic<double> rangeNm{40.0};
std::atomic<std::int32_t> rangeMetres{40 * 1852 + 10000};

void gf_setTrafficRadius(std::int32_t radiusNm) {
    rangeNm.store(radiusNm);
    rangeMetres.store(radiusNm * 1852 + 10000);
}

void gf_setRange(std::int32_t radiusNm) {
    const std::int32_t clamped = LATERAL_RANGE.clamp(radiusNm);
    LATERAL_RANGE.value.store(clamped);
    gf_setTrafficRadius(clamped);
}

void gf_resetRange(std::int32_t radiusNm) {
    manualLateralRange.store(radiusNm);
    gf_setTrafficRadius(radiusNm);
}
