#include "app/airport_hooks.h"

#include "airports/airport_ui.h"
#include "app/window_proc.h"
#include "foundation/settings.h"
#include "parking/planner.h"
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

void gf_registerPlannerHooks() {
    PlannerHooks& planner = gf_plannerHooks();
    planner.disableParkingControls = [] { gf_disableParkingControls(); };
    planner.enableParkingControls = [] { gf_enableParkingControls(); };
    planner.enablePtControls = [] { gf_enablePtControls(); };
    planner.disableAirportControls = [] {
        gf_enableControl(parking_percentage.controlId, false);
        gf_enableControl(kFlushStaticButtonId, false);
    };
}
