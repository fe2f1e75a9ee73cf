#pragma once
// Conflicts between aircraft: ghosts (older incarnations of a flight, callsign + "_") and
// claims on a stand by a live aircraft being created there.
#include <cstdint>
#include <string_view>

#include "engine/aircraft.h"

// Removes the ghost of a callsign (a live aircraft named callsign + "_", not being removed) and
// records its callsign in removedGhosts.
void lf_removeGhost(std::string_view callsign);
// True when a live aircraft, not being removed, carries the callsign without its last character.
bool lf_hasGhostOwner(std::string_view callsignWithUnderscore);
// Whether the new aircraft may take the stand, after the claim rules removed whoever must go.
bool lf_claimStand(LiveAircraft& newAc, uint32_t standId);
