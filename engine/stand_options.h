#pragma once
// The engine's work on a stand's plan options (StandOption, airports/stands.h): building an option
// for an aircraft, matching an aircraft against one, its second callsign, and filling ranges of
// half-hours, also across midnight.
//
// Threads: run thread (the options belong to currentStands).
// Half-hours are 0..47 of a weekday 1..7; an index outside the day raises std::out_of_range, which
// updateOptions and updateOptionsWrapped catch, log ("{} exception:{}") and answer with false. The id
// of every option touched is looked up before any bit is set, so a failed call changes nothing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "airports/stands.h"
#include "engine/aircraft.h"
#include "foundation/time_text.h"

// Appends a new option for the aircraft (key = registration, or callsign without one) holding the
// slot's half-hour; its id is gf_nextOptionId of the list. 0 when nothing was added: empty key,
// or the same key, weekday, mask and callsign are already there.
int32_t gf_makeStandOption(std::vector<StandOption>& options, const SimAircraft& ac, int32_t real, WeekSlot slot,
                           std::string_view callsign, const std::string& key);
// What recording an aircraft's half-hour did: the lasting id of the option that holds it (0: nothing holds it),
// and whether the list changed.
struct RecordedOption {
    int32_t id = 0;
    bool changed = false;
};
// Records the aircraft in the slot's half-hour: its learned option (one not of the airport file, with a lasting
// id) of the same identity (lf_sameOptionIdentity, with the operator and type that gf_makeStandOption would
// give it) takes the half-hour and the callsign (lf_setCoupledCallsign); without one, a new option is built. So
// one aircraft keeps one learned option per stand and weekday, however often it is recorded.
RecordedOption gf_recordStandOption(std::vector<StandOption>& options, const SimAircraft& ac, int32_t real,
                                    WeekSlot slot, std::string_view callsign, const std::string& key);
// A real option with an id speaks for the aircraft: one of its callsigns is this callsign, or its
// operator and type are the aircraft's.
bool lf_optionMatchesAircraft(std::string_view callsign, const SimAircraft& ac, const StandOption& option);
// Records a callsign (one trailing "_" dropped) on the option with that id: first callsign when it
// has none, else the second one (replacing an earlier second one).
void lf_setCoupledCallsign(std::vector<StandOption>& options, int32_t id, std::string_view callsign);
// Appends count half-hours walking back from start: start first, the earliest last.
void lf_halfHoursBack(std::vector<uint32_t>& out, int count, WeekSlot start);
// Sets the listed half-hours on the option with that id; false when the id is not there or a
// half-hour lies outside the day.
bool updateOptions(std::vector<StandOption>& options, const std::vector<uint32_t>& halfHours, int32_t id);
// The same for a backward list that passes midnight: the half-hours up to the wrap go to the later
// day's option, the rest to the earlier day's. False when either id is not there or a half-hour lies
// outside the day.
bool updateOptionsWrapped(std::vector<StandOption>& options, const std::vector<uint32_t>& halfHours, int32_t earlierId,
                          int32_t laterId);
// Fills the n half-hours back from now across midnight and records the callsign on both options.
void lf_extendAcrossMidnight(std::vector<StandOption>& options, WeekSlot now, std::string_view callsign, int n,
                             int32_t earlierId, int32_t laterId);
// Extends the option of an earlier sighting to now when now lies within the aircraft's window
// (12 half-hours with cargo wanted, 8 for a Heavy, else 6). Stand id 0: true at once; no match in the
// window: false. On success the sighting takes the current slot (and, when the range crossed midnight, the
// id of the aircraft's option of the new day, gf_recordStandOption).
bool lf_updateStandSlots(WeekSlot now, std::vector<StandOption>& options, uint32_t standId, StandSighting& last,
                         const SimAircraft& ac, int32_t real);
