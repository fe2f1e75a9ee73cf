#pragma once
// Livery matching: every aircraft placed in the simulator gets the title of an installed livery by
// a ladder of steps, from the livery made for its registration down to any livery of a similar
// small aircraft, as deep as MATCHING_DEPTH allows. Runs on the run thread only.
#include <array>
#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/string_keys.h"
#include "foundation/aircraft_category.h"

struct AircraftIdentity;

// What matching reads and writes of one aircraft. The engine's records are copied in and out by
// gf_matchLivery / gf_matchStaticLivery (engine/aircraft_liveries.h); tests and tools may use it
// directly.
struct LiveryRequest {
    std::string airline;
    std::string type;
    std::string registration;
    std::string callsign;
    AircraftCategory category = AircraftCategory::Light;
    bool cargo = false;
    std::string_view title;  // result: a view into the livery database, empty = no livery
    bool fsltl = false;      // set on a counted live match whose title contains "FSLTL_"
    // The engine record's identity, for the log labels; without it the labels are made from the
    // fields above.
    const AircraftIdentity* identity = nullptr;
};

// Titles the simulator failed to create, held as owned text so they survive a database rebuild;
// a title found here is never given out.
extern std::vector<std::string> notCreatedTitles;
// "TYPE AIRLINE" of the same failures, newest first, for the summary.
extern std::list<std::string> notCreatedModels;
// Live matches per step 1..6 since program start.
extern std::array<std::uint32_t, 6> matchStepCounts;
// Keys (airline-type key, blank, registration) of live aircraft that got no livery; filled by the
// engine, emptied by the shell.
extern std::set<std::string, std::less<>> noMatchKeys;
// Airline-type keys of the live aircraft matched in this run; emptied by the shell.
extern TextSet runMatchKeys;

std::string_view gf_liveryForRegistration(std::string_view registration);
bool gf_isNotCreatedTitle(std::string_view title);
std::vector<std::string> gf_notCreatedLines();
void gf_writeMatchingSummary();
void gf_logNoMatches();

// The matching ladder on a request (what the engine's gf_matchLivery / gf_matchStaticLivery run).
void lf_matchLive(LiveryRequest& request);
bool lf_matchStatic(LiveryRequest& request, std::string_view standName, bool standCargo);
// Records a failed creation of a title (callsign, type and airline for the messages); throws
// ovk::UserErrorException 81 from the 20th failure on.
void lf_liveryNotCreated(std::string_view callsign, std::string_view title, std::string_view type,
                         std::string_view airline);
void lf_pickLivery(LiveryRequest& request, const std::vector<std::string_view>& candidates);

// Empties the failure lists, the counters and both key sets (tests).
void gf_resetLiveryMatching();
