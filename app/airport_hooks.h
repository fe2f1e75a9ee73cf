#pragma once
// Connects the airport subsystem's window hooks (airports/airport_ui.h) to the traffic range and the
// "Flush static" button.

void gf_registerAirportHooks();
