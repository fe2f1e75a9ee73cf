#pragma once
// The window's side of the hooks that the airport subsystem (airports/airport_ui.h) and the parking planner
// (parking/planner.h) call: the traffic range, the "Flush static" button and the parking controls. Registered
// by lf_connectSubsystems (app/entry.h).

void gf_registerAirportHooks();
// The planner's controls: locked while static aircraft are planned and placed, released when they are all in
// the simulator, the parking-traffic-only dependants, and the controls that need a park airport when it is left.
void gf_registerPlannerHooks();
