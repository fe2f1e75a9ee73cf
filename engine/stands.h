#pragma once
// Stands for arrivals and stand options, as the engine core calls them. They carry the least
// behaviour: no stand fits, nothing is recorded.
#include <cstdint>
#include <string>

#include "engine/aircraft.h"
#include "foundation/time_text.h"

struct ParkPos;

// The nearest free stand within maxNm of the position whose radius fits the aircraft, or null.
ParkPos* gf_nearestFittingStand(double latitude, double longitude, const SimAircraft& ac, double maxNm, bool optionFallback);
// Records that the aircraft really used the stand; true when something was recorded.
bool lf_addRealStandOption(uint32_t standId, LiveAircraft& ac, WeekSlot slot, bool departing);

// Leaves a soft record of the stand a live aircraft used, when its positions run out away from a
// stand or its take-off roll starts. Least behaviour: nothing.
void lf_learnSoftStand(LiveAircraft& ac, bool force);
