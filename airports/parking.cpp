#include "airports/parking.h"

#include "airports/current_airport.h"

CurrentAirport currentAirport;
std::vector<ParkPos> currentStands;
std::uint8_t standsLoaded = 0;
std::list<ParkAirportEntry> parkAirports;
std::vector<LearnedStand> learnedStands;
std::atomic<std::uint8_t> parkingActive{0};
std::uint8_t airportFileChanged = 0;
std::int32_t generalMaxLive = 0;

ParkPos::ParkPos(std::string standName, std::vector<StandOption> planOptions, double lat, double lon,
                 double headingRad, double radiusMetres, std::int32_t notCargo, std::int32_t notRamp,
                 std::int32_t notHeli)
    : options(std::move(planOptions)),
      name(std::move(standName)),
      latitude(lat),
      longitude(lon),
      heading(headingRad),
      radius(radiusMetres * 0.0005399568034557236),
      cargo(notCargo == 0 ? 1 : 0),
      ramp(notRamp == 0 ? 1 : 0),
      heli(notHeli == 0 ? 1 : 0) {
  coupledIds.reserve(8);
}

bool lf_readMyParkAirports() { return false; }
void gf_updateParking(bool) {}
void gf_adjustParking(std::uint32_t) {}
void gf_removeStaticParked() {
  gf_setCurrentAirport(CurrentAirport{});
  currentStands.clear();
  standsLoaded = 0;
  parkingActive.store(0);
}
bool gf_rereadParkAirports(bool, std::string& message) {
  message.clear();
  return false;
}
void gf_updateMyParkAirports() {}
void gf_addParkAirport(const std::string&, double, double) {}
std::string gf_standNameAt(double, double) { return {}; }

std::string gf_parkAirportText(const CurrentAirport& airport) {
  if (airport.icao.empty()) return "?";
  if (airport.iata.empty()) return airport.icao;
  return airport.icao + " (" + airport.iata + ")";
}

std::int32_t gf_wantedParkedCount() { return 0; }

void gf_resetParking() {
  gf_setCurrentAirport(CurrentAirport{});
  currentStands.clear();
  standsLoaded = 0;
  parkAirports.clear();
  learnedStands.clear();
  parkingActive.store(0);
}
