#pragma once
// Conflicts between aircraft: ghosts (older incarnations of a flight, callsign + "_") and
// claims on a stand by a live aircraft being created there.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/aircraft.h"

// Removes the ghost of a callsign (a live aircraft named callsign + "_", not being removed) and
// records its callsign in removedGhosts. `self` is the aircraft that takes the callsign: an aircraft
// whose callsign merely loses its "_" is never its own ghost.
void lf_removeGhost(std::string_view callsign, const LiveAircraft* self = nullptr);
// True when another live aircraft than `self`, not being removed, carries the callsign without its
// last character.
bool lf_hasGhostOwner(std::string_view callsignWithUnderscore, const LiveAircraft* self = nullptr);
// Whether the new aircraft may take the stand, after the claim rules removed whoever must go.
bool lf_claimStand(LiveAircraft& newAc, uint32_t standId);

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

// Gives a taxiing arrival the nearest fitting stand and leads it there (drive2Stand); wide is its
// landed flag while its stream is extended. Least behaviour: no stand.
void try2Park(LiveAircraft& ac, bool wide);
