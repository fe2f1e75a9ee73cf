#pragma once
// Connects the airport subsystem's window hooks (airports/airport_ui.h) to the main window's controls,
// status line, traffic range and statistics panel.

void gf_registerAirportHooks();
