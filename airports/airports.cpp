#include "airports/airports.h"

std::vector<Airport> airportList;
int addonAirportsFound = 0;

void gf_readAirports() { airportList.clear(); }

std::optional<Airport> gf_findAirport(std::string_view icao) {
  for (const Airport& a : airportList)
    if (a.icao == icao) return a;
  return std::nullopt;
}

void gf_scanAddonAirports() {}
