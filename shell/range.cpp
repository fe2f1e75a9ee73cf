#include "shell/range.h"

#include <mutex>

#include "foundation/settings.h"
#include "shell/fields.h"

std::atomic<std::int32_t> manualLateralRange{40};
std::atomic<double> rangeNm{40.0};
std::atomic<std::int32_t> rangeMetres{40 * 1852 + 10000};

namespace {
// The writes of LATERAL_RANGE and the traffic radius; the field's text is written under it too, so that
// the field ends with the value that stays. Nothing else is taken under it but the window's own locks
// and the log.
std::mutex rangeMutex;

void lf_storeRadius(std::int32_t radiusNm) {
    rangeNm.store(radiusNm);
    rangeMetres.store(radiusNm * 1852 + 10000);
}
}  // namespace

void gf_setTrafficRadius(std::int32_t radiusNm) {
    std::lock_guard lock(rangeMutex);
    lf_storeRadius(radiusNm);
}

void gf_setRange(std::int32_t radiusNm) {
    std::lock_guard lock(rangeMutex);
    const std::int32_t clamped = LATERAL_RANGE.clamp(radiusNm);
    LATERAL_RANGE.value.store(clamped);
    lf_storeRadius(clamped);
}

void gf_resetRange(std::int32_t radiusNm) {
    std::lock_guard lock(rangeMutex);
    manualLateralRange.store(radiusNm);
    lf_storeRadius(radiusNm);
}

bool gf_setAutoRange(std::int32_t radiusNm, bool& lateralChanged) {
    lateralChanged = false;
    std::lock_guard lock(rangeMutex);
    if (!AUTO_RANGE.value.load()) return false;
    const std::int32_t previous = LATERAL_RANGE.value.load();
    LATERAL_RANGE.value.store(LATERAL_RANGE.clamp(radiusNm));
    lf_storeRadius(radiusNm);
    lateralChanged = LATERAL_RANGE.value.load() != previous;
    if (lateralChanged) gf_showIntField(LATERAL_RANGE);
    return true;
}

void gf_restoreManualRange() {
    std::lock_guard lock(rangeMutex);
    const std::int32_t manual = LATERAL_RANGE.clamp(manualLateralRange.load());
    LATERAL_RANGE.value.store(manual);
    lf_storeRadius(manual);
    gf_showIntField(LATERAL_RANGE);
}
