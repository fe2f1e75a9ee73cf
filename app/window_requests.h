// Work that the window's commands and edit fields ask of the run thread.
//
// The aircraft lists, the user state and the park-airport list belong to the run thread, so the GUI
// thread never walks or changes them: a command raises a request here (atomics; the airport codes in a
// list under a short leaf lock), and the run thread carries the requests out at the start of its next
// main-loop step (gf_serveWindowRequests). A request raised while no run is in its main loop waits for
// the next one; the restart clean-up forgets the requests of the closed run.
#pragma once

#include <string>

// NAV_LIGHTS_WHILE_PARKED changed: every parked aircraft in the simulator gets its navigation lights
// switched to the new value.
void gf_requestNavLights(bool on);
// MAX_LIVE changed: the live aircraft beyond the new maximum leave the simulator.
void gf_requestEnforceMaxLive();
// AUTO_RANGE switched on: the traffic radius is computed from the user aircraft and the park airports.
// The run thread computes it only while AUTO_RANGE is still on; switching it off cancels a waiting request.
void gf_requestAutoRange();
void gf_cancelAutoRange();
// A new destination: the airport joins the park-airport list and file (when it is not in them yet).
void gf_requestParkAirport(const std::string& icao, double latitude, double longitude);
// A new time shift: every live aircraft leaves the simulator, then the static ones, and the static
// parking is renewed.
void gf_requestTimeShiftRemovals();

// Run thread: carries out every pending request, in the order above (lights, time shift, maximum,
// destinations, range).
void gf_serveWindowRequests();
// Whether any request waits (tests and diagnostics).
bool gf_windowRequestsPending();
// Forgets every pending request (restart clean-up, tests).
void gf_resetWindowRequests();
