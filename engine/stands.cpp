// Least behaviour of the stand choice and option recorders: no stand fits, nothing is recorded.
#include "engine/stands.h"

ParkPos* gf_nearestFittingStand(double, double, const SimAircraft&, double, bool) { return nullptr; }
bool lf_addRealStandOption(uint32_t, LiveAircraft&, WeekSlot, bool) { return false; }

void lf_learnSoftStand(LiveAircraft&, bool) {}
