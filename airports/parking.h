#pragma once
// What the shell, the feed and the engine read of the park airports and their stands. The list reads no
// park airport: no current airport, no stands, parking inactive.

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

// Reads the park-airport list; true when the list and its stands are valid. Least behaviour: reads nothing, false.
bool lf_readMyParkAirports();
// The parking step of the main loop (start: true at loop start). Least behaviour: nothing.
void gf_updateParking(bool start);
// The 20-minute renewal of the static parking. Least behaviour: nothing.
void gf_adjustParking(std::uint32_t renewalMode);
// Removes every static parked aircraft and leaves the park airport. Leaves the (empty) airport.
void gf_removeStaticParked();
// Re-reads the park-airport list on the user's request; true with a status text when something changed.
bool gf_rereadParkAirports(bool updateCurrent, std::string& message);
void gf_updateMyParkAirports();
// The name of the stand of the current park airport within 55 m of the position, empty when there is
// none. No stand is ever near: "".
std::string gf_standNameAt(double latitude, double longitude);
void gf_addParkAirport(const std::string& icao, double latitude, double longitude);
// "?" when no airport is selected, else the ICAO code and " (IATA)" when the IATA code is known.
std::string gf_parkAirportText(const CurrentAirport& airport);
// Number of parked aircraft the plan wants at the current park airport: 0 without one.
std::int32_t gf_wantedParkedCount();
// Empties the park-airport state of a run (no airport, no stands).
void gf_resetParking();
