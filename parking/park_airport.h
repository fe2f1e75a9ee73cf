#pragma once
// The park airport in sight: which airport of the list (or, on the ground, which known airport)
// gets static parked aircraft, entering and leaving it, the user's re-read of the list and the
// addition of a destination airport. Run thread, apart from the copies that other threads read.
#include <cstdint>
#include <optional>
#include <string>

#include "airports/airports.h"
#include "foundation/geodesy.h"

// The parking step (at the main loop's start with immediate, then every 16 seconds).
void gf_updateParking(bool immediate);
// The closest known airport within 5 nm; with a second one within 5 nm, the one whose nearest stand is
// closer (the second only when strictly closer).
std::optional<Airport> gf_closestAirport(const LatLon& position);
// Whether a user position is usable (positions near 0/0 are the simulator's "no position").
bool lf_positionValid(double latitude, double longitude);
// In sight: within AIRPORT_RANGE nm and at or below AIRPORT_HEIGHT feet.
bool lf_inSight(double distanceNm, double heightFt);
bool lf_setParkAirport(const std::string& icao);
void lf_leaveParkAirport();
// Removes the static aircraft and the live aircraft on the ground, then leaves the airport.
void gf_removeStaticParked();
// Re-reads the list; with updateCurrent a changed reserved stand of the current airport is applied.
bool gf_rereadParkAirports(bool updateCurrent, std::string& message);
// Whether a plan waits for the next step.
bool gf_planRequested();
// Forgets the airports whose parking file failed in this run, the request and the last position.
void gf_resetParkAirportSight();
