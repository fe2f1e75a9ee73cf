#pragma once
// What the shell, the feed and the engine read of the park airports and their stands. The list itself,
// its lock and file are in airports/park_list.h; choosing the airport and planning in parking/.

#include "airports/stands.h"
#include "foundation/time_text.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <string>
#include <vector>

// The selected park airport; an empty icao means none is selected.
struct CurrentAirport {
    std::string icao;
    std::string iata;
    double latitude = 0.0;
    double longitude = 0.0;
    double altitude = 0.0;  // feet
    std::string reservedStand;
};

struct ParkAirportEntry {
    std::string icao;
    std::string reservedStand;
    double latitude = 0.0;
    double longitude = 0.0;
    double distanceNm = 0.0;
};

struct LearnedStand {
    std::uint32_t hexid = 0;
    WeekSlot slot{};
};

extern CurrentAirport currentAirport;
extern std::uint8_t standsLoaded;
extern std::list<ParkAirportEntry> parkAirports;  // sorted by distance to the user, nearest first
extern std::vector<LearnedStand> learnedStands;
extern std::atomic<std::uint8_t> parkingActive;
// Set by the window's commands and fields (GUI thread) and by the parking (run thread).
extern std::atomic<std::uint8_t> airportFileChanged;
// The MAX_LIVE that applies away from park airports; the MAX_LIVE field writes it on the GUI thread.
extern std::atomic<std::int32_t> generalMaxLive;

// Reads the park-airport list and adds the my_thirdparty airports; false when the list names an airport
// the airport database does not know, or reading failed.
bool lf_readMyParkAirports();
// Writes the first entry of the list into the list file (its line replaced, or added), sorted.
void gf_updateMyParkAirports();
// The name of the stand of the current park airport within 55 m of the user aircraft's position, empty
// when there is none or the user aircraft is not on the ground. No stand is ever near: "".
std::string gf_standNameAt(double latitude, double longitude);
// Adds the airport to the list and the file when it is new, and puts its entry first.
void gf_addParkAirport(const std::string& icao, double latitude, double longitude);
// "?" when no airport is selected, else the ICAO code and " (IATA)" when the IATA code is known.
std::string gf_parkAirportText(const CurrentAirport& airport);
// Number of parked aircraft the plan wants at the current park airport: 0 without one.
std::int32_t gf_wantedParkedCount();
// Empties the park-airport state of a run (no airport, no stands).
void gf_resetParking();
