#pragma once
// Live list upkeep that the per-second step and the settings call.
#include <cstdint>
#include <vector>

#include "engine/aircraft.h"

// Shows the object id of the CALLSIGN_2_OBJECTID callsign in the window (or says it is unknown).
void gf_showCallsignObjectId();
// Writes "Callsign2ObjectId.txt": one line per active live aircraft.
void gf_writeCallsignObjectIds();
// Removes the live aircraft farthest from the user while more than MAX_LIVE are active.
void gf_enforceMaxLive();
// Removes the first active static aircraft too close to the live aircraft; its iterator, or end.
std::vector<SimAircraft>::iterator gf_collisionAvoidance(const LiveAircraft& live);
// Removes the active live aircraft with the hexid that stood too long at its stand.
void lf_removeMaxParkExceeded(uint32_t hexid);
