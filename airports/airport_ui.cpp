#include "airports/airport_ui.h"

namespace {
AirportUiHooks uiHooks;
}  // namespace

void gf_setAirportUiHooks(AirportUiHooks hooks) { uiHooks = std::move(hooks); }

void gf_apfApplyAutoRange(bool autoRangeOn) {
    if (uiHooks.applyAutoRange) uiHooks.applyAutoRange(autoRangeOn);
}

void gf_apfEnableFlushStatic() {
    if (uiHooks.enableFlushStatic) uiHooks.enableFlushStatic();
}
