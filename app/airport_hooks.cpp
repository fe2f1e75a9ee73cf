#include "app/airport_hooks.h"

#include "airports/airport_ui.h"
#include "app/window_proc.h"
#include "foundation/settings.h"
#include "shell/fields.h"
#include "shell/range.h"
#include "shell/status_line.h"

void gf_registerAirportHooks() {
    AirportUiHooks hooks;
    hooks.applyAutoRange = [](bool on) {
        if (on) {
            manualLateralRange.store(LATERAL_RANGE.value.load());
            gf_autoRange();
            gf_enableControl(LATERAL_RANGE.controlId, false);
        } else {
            gf_enableControl(LATERAL_RANGE.controlId, true);
            gf_setRange(manualLateralRange.load());
            gf_clearStatus();
        }
        gf_showIntField(LATERAL_RANGE);
    };
    hooks.enableFlushStatic = [] { gf_enableControl(kFlushStaticButtonId, true); };
    gf_setAirportUiHooks(std::move(hooks));
}
