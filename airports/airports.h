#pragma once
// Known airports: the airport list that the run preparation loads and the destination and park-airport
// code search. The list loads nothing, so no airport is ever found.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct Airport {
  std::string icao;
  std::string iata;
  double latitude = 0.0;   // degrees
  double longitude = 0.0;  // degrees
  double altitude = 0.0;   // feet
};

// Every known airport, sorted by ICAO code.
extern std::vector<Airport> airportList;

// Loads the airport file into airportList. Least behaviour: loads nothing, never throws.
void gf_readAirports();

// Exact search of the ICAO code, first match.
std::optional<Airport> gf_findAirport(std::string_view icao);

// Scans the installed add-on airports and writes the generated airport files. Least behaviour: scans nothing.
void gf_scanAddonAirports();

// Number of add-on airports found by the last scan (shown in the status panel).
extern int addonAirportsFound;
