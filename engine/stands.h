#pragma once
// Stands for arrivals: the stand choice for an aircraft that had no stand (soft learning), the
// nearest fitting stand of an aircraft created on the ground or parking, the real and soft option
// recorders, and the coupled callsigns of an aircraft.
//
// Threads: run thread (currentStands and the live list belong to it).
// Units: sizes (half wingspans) and radii in nautical miles; half-hours 0..47 of weekdays 1..7.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/aircraft.h"
#include "foundation/time_text.h"

struct ParkPos;

// One stand the choice may give: its name, how far its size is from the aircraft's (in steps), and
// whether one of its options speaks for the aircraft.
struct StandCandidate {
    std::string name;
    int64_t difference = 0;
    int match = 0;
};
// Orders the candidates so that each goes in front of its predecessor while its match is not lower
// and its difference not larger. The relation is not a strict weak order (two candidates of which one
// matches and the other fits better are unrelated), so the order is built by insertion, which any
// relation keeps well defined; the result depends on the order the candidates came in.
void gf_orderStandCandidates(std::vector<StandCandidate>& candidates);

// The likely stand of an aircraft, for soft learning; null when none fits. With retry set, an
// airport of at most 10 stands is tried once more for the next half-hour.
ParkPos* gf_chooseStand(WeekSlot slot, const SimAircraft& ac, bool retry);
// The nearest free stand within maxNm of the position that fits the aircraft (a smaller stand only
// within 20 m, and then its radius is lowered to the aircraft), or with allowOptionMatch a stand
// within 85 m whose option matches the aircraft's callsign; null when none.
ParkPos* gf_nearestFittingStand(double latitude, double longitude, const SimAircraft& ac, double maxNm,
                                bool allowOptionMatch);
// Records that the aircraft really used the stand; true when the record was taken. A half-hour that an
// option of the aircraft's key already holds on the stand adds nothing. Where a record needs an option of
// its own (no sighting to extend from), it goes into the aircraft's learned option of the stand and weekday
// when it has one (gf_recordStandOption): one aircraft, one option.
bool lf_addRealStandOption(uint32_t standId, LiveAircraft& ac, WeekSlot slot, bool departing);
// Records a soft option (the stand was guessed for the aircraft); true when the record was taken. New
// records go into the aircraft's soft option as above.
bool lf_addSoftStandOption(uint32_t standId, const SimAircraft& ac, bool moved, WeekSlot slot, bool closing);
// Leaves a soft record of the stand a live aircraft likely used, when its positions run out away
// from a stand or its take-off roll starts (force).
void lf_learnSoftStand(LiveAircraft& ac, bool force);
// The name of the stand the user's aircraft stands on: empty while it is not on the ground.
std::string lf_userStandName();
// Gives the aircraft its two coupled callsigns (identity6, identity7) from the first learned option
// around the slot that holds its callsign and a second one.
void lf_searchForCoupledCsAroundThisTime(WeekSlot slot, SimAircraft& ac);
