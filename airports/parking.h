#pragma once
// What the shell, the feed and the engine read of the park airports and their stands. The list reads no
// park airport: no current airport, no stands, parking inactive.

#include "airports/stand_option.h"
#include "foundation/time_text.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

// One aircraft that was seen standing on a stand, with the week slot when it was recorded.
struct StandSighting {
  WeekSlot slot{};
  std::uint32_t optionId = 0;
};

// One parking stand of the current park airport.
struct ParkPos {
  ParkPos() { coupledIds.reserve(8); }
  // Radius in metres; the three flags are inverted (0 means the stand has the property).
  ParkPos(std::string standName, std::vector<StandOption> planOptions, double lat, double lon, double headingRad,
          double radiusMetres, std::int32_t notCargo, std::int32_t notRamp, std::int32_t notHeli);

  std::vector<StandOption> options;                           // plan options
  std::unordered_map<std::uint32_t, StandSighting> realMap;   // hexid -> real sighting
  std::unordered_map<std::uint32_t, StandSighting> softMap;   // hexid -> soft sighting
  std::string name;
  std::vector<std::uint32_t> coupledIds;  // ids of the stands that overlap this one
  double latitude = 0.0;                  // degrees
  double longitude = 0.0;                 // degrees
  double heading = 0.0;                   // radians
  double radius = 0.0;                    // nautical miles
  std::uint32_t id = 0;                   // 1, 2, 3 ... in list order; 0 before numbering
  std::uint8_t manual = 0;
  std::uint8_t radiusChanged = 0;
  std::uint8_t cargoChanged = 0;
  std::uint8_t suffixMark = 0;
  std::uint8_t taken = 0;            // given to a static or planned aircraft
  std::uint8_t occupied = 0;         // a live aircraft stands on it
  std::uint8_t reserved = 0;         // the user's stand
  std::uint8_t coupledOccupied = 0;  // a coupled stand has been given
  std::uint8_t cargo = 0;
  std::uint8_t ramp = 0;
  std::uint8_t heli = 0;
};

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
extern std::vector<ParkPos> currentStands;
extern std::uint8_t standsLoaded;
extern std::list<ParkAirportEntry> parkAirports;  // sorted by distance to the user, nearest first
extern std::vector<LearnedStand> learnedStands;
extern std::atomic<std::uint8_t> parkingActive;
extern std::uint8_t airportFileChanged;
extern std::int32_t generalMaxLive;

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
