#pragma once
// Stands for arrivals and stand options, as the engine core calls them. Until the stand choice
// and the option recorders are built they carry the least behaviour: no stand fits, nothing is
// recorded.
#include <cstdint>
#include <string>

#include "engine/aircraft.h"
#include "foundation/time_text.h"

struct ParkPos;

// The nearest free stand within maxNm of the position whose radius fits the aircraft, or null.
ParkPos* gf_nearestFittingStand(double latitude, double longitude, const SimAircraft& ac, double maxNm, bool optionFallback);
// The name of the stand within 55 m of the position, empty when there is none.
std::string gf_standNameAt(double latitude, double longitude);
// Records that the aircraft really used the stand; true when something was recorded.
bool lf_addRealStandOption(uint32_t standId, LiveAircraft& ac, WeekSlot slot, bool departing);

// Leaves a soft record of the stand a live aircraft used, when its positions run out away from a
// stand or its take-off roll starts. Least behaviour until the stand learning is built: nothing.
void lf_learnSoftStand(LiveAircraft& ac, bool force);
