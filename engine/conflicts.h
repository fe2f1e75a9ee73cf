#pragma once
// Conflicts between aircraft: ghosts (older incarnations of a flight, callsign + "_") and
// claims on a stand by a live aircraft being created there.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/aircraft.h"

struct ParkPos;

// Removes the ghost of a callsign (a live aircraft named callsign + "_", not being removed) and
// records its callsign in removedGhosts. `self` is the aircraft that takes the callsign: an aircraft
// whose callsign merely loses its "_" is never its own ghost.
void lf_removeGhost(std::string_view callsign, const LiveAircraft* self = nullptr);
// True when another live aircraft than `self`, not being removed, carries the callsign without its
// last character.
bool lf_hasGhostOwner(std::string_view callsignWithUnderscore, const LiveAircraft* self = nullptr);
// The claim of a live aircraft being created at a stand: the first live aircraft on the stand that is
// active and parked or pushing back decides. Same callsign, a ghost of the new one, or any other
// aircraft not departing is removed; the new aircraft does not take the stand when it is the ghost
// of the one there or that one is departing. True when the new aircraft may take the stand.
bool lf_claimStand(LiveAircraft& newAc, uint32_t standId);
// Removes the live aircraft l when it is parked (or pushing back) at the adjacent stand and its half
// span and the parking aircraft's, with a tenth to spare, reach across the two stands' distance.
void lf_removeAdjacentColliding(uint32_t adjacentId, const LiveAircraft& parking, const ParkPos& stand,
                                LiveAircraft& l);

// True when the static aircraft duplicates the live one (same feed address, same registration
// or coupled callsigns); only for an active static aircraft. Logs the reason with LOG on.
bool gf_removeDuplicates(const LiveAircraft& live, const SimAircraft& stat);
// Takes every static aircraft out: active ones are removed, queued creations dropped, sent ones
// flagged; the aircraft taken out of the queue leave the static list.
void gf_flushStaticAircraft();
// Frees the park airport's reserved stand of a static aircraft, else of a parked live one.
void gf_clearReservedStand();

// A live aircraft parked at a stand: callsign, stand id and whole minutes parked.
struct ParkedLive {
    std::string callsign;
    uint32_t standId = 0;
    int64_t minutes = 0;
};
extern std::vector<ParkedLive> parkedLiveList;
// Rebuilds parkedLiveList (longest first) and removes aircraft parked too long (90 minutes,
// 180 for a Heavy) unless INITIAL_LOAD_ONLY is on.
const std::vector<ParkedLive>& gf_listLiveParked();

// Gives a taxiing arrival the nearest fitting stand at its newest position (55 m and the option
// fallback when wide, else 20 m) and leads it there (drive2Stand); wide is its landed flag while its
// stream is extended. The reserved stand and the user's stand are never taken; whoever stands in the
// way there or too close at an adjacent stand is removed.
void try2Park(LiveAircraft& ac, bool wide);
