// Every hook that the start-up registers (lf_connectSubsystems) back at the default it has before the
// registration: for the test of the registrations, and for tests that run the start-up and must leave no
// registration behind.
#pragma once

#include "airports/airport_ui.h"
#include "catalogue/livery_scan.h"
#include "feed/parked_traffic.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "parking/planner.h"

inline void gf_putHooksBackToDefaults() {
    gf_setStatusWriter(nullptr);
    gf_setStopTest(nullptr);
    gf_setSettingsControlHooks({});
    gf_setUserStandSource(nullptr);
    gf_setAirportUiHooks({});
    PlannerHooks& planner = gf_plannerHooks();
    planner.disableParkingControls = [] {};
    planner.enableParkingControls = [] {};
    planner.enablePtControls = [] {};
    planner.disableAirportControls = [] {};
    gf_setCommunityFolderSource({});
}
