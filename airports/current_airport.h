#pragma once
// The selected park airport as other threads read it: the feed's reader threads and the
// parked-traffic request take a copy under currentAirportMutex; whoever changes currentAirport
// while a reader runs does it through gf_setCurrentAirport (or under the mutex).

#include <mutex>

#include "airports/parking.h"

extern std::mutex currentAirportMutex;

// A copy of currentAirport taken under the mutex.
CurrentAirport gf_currentAirportCopy();
// Replaces currentAirport under the mutex.
void gf_setCurrentAirport(const CurrentAirport& airport);
