#include "airports/parking.h"

#include "airports/airports.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"

CurrentAirport currentAirport;
std::uint8_t standsLoaded = 0;
std::list<ParkAirportEntry> parkAirports;
std::vector<LearnedStand> learnedStands;
std::atomic<std::uint8_t> parkingActive{0};
std::atomic<std::uint8_t> airportFileChanged{0};
std::atomic<std::int32_t> generalMaxLive{0};

bool lf_readMyParkAirports() { return false; }
void gf_updateParking(bool) {}
void gf_adjustParking(std::uint32_t) {}
void gf_removeStaticParked() {
  gf_leaveApf();
  gf_leaveLearned();
  gf_setCurrentAirport(CurrentAirport{});
  currentStands.clear();
  gf_publishStandPlaces();
  standsLoaded = 0;
  parkingActive.store(0);
}
bool gf_rereadParkAirports(bool, std::string& message) {
  message.clear();
  return false;
}
void gf_updateMyParkAirports() {}
void gf_addParkAirport(const std::string&, double, double) {}

std::string gf_parkAirportText(const CurrentAirport& airport) {
  return gf_parkAirportText(Airport{airport.icao, airport.iata, airport.latitude, airport.longitude, airport.altitude});
}

std::int32_t gf_wantedParkedCount() { return 0; }

void gf_resetParking() {
  gf_leaveApf();
  gf_leaveLearned();
  gf_setCurrentAirport(CurrentAirport{});
  currentStands.clear();
  gf_publishStandPlaces();
  standsLoaded = 0;
  parkAirports.clear();
  learnedStands.clear();
  parkingActive.store(0);
}
