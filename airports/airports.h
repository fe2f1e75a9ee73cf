#pragma once
// The airport database: every airport of the simulator world with its codes, position and altitude, loaded
// once per program from input/airports_msfs.xml, and the airport names from input/airports_msfs_names.xml.
// Also the display text of an airport and the code tests that the add-on airport scan uses.
//
// Threads: gf_readAirports runs on the run thread before any reader of the list starts, and the list is not
// changed afterwards, so readers take no lock. The names table is filled at the start of the add-on airport
// scan, before its tasks start.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

struct Airport {
    std::string icao;        // ICAO code as written in the file (compared exactly)
    std::string iata;        // IATA code; empty when the file gives none
    double latitude = 0.0;   // degrees
    double longitude = 0.0;  // degrees
    double altitude = 0.0;   // feet
};

// Every known airport, sorted by ICAO code (byte-wise).
extern std::vector<Airport> airportList;
// Set after a complete load; the list is then never loaded again.
extern bool airportsLoaded;
// ICAO code -> airport name; the first name of a code is kept.
extern std::unordered_map<std::string, std::string> airportNames;

// input/airports_msfs.xml and input/airports_msfs_names.xml.
std::filesystem::path gf_airportsFile();
std::filesystem::path gf_airportNamesFile();

// Loads the airport database once; true when the list is not empty. A file that cannot be read throws
// ovk::UserErrorException 88 (87 for an XPath error) and leaves the list empty.
bool gf_readAirports();
// Appends the airport of one "airport" element (attributes "alt", "lat", "lon" read in that order, then
// "iata"). A missing or non-numeric number throws std::invalid_argument("invalid stod argument") or
// std::out_of_range("stod argument out of range").
void lf_addAirport(const pugi::xml_node& element, std::string code);
// Adds the names of input/airports_msfs_names.xml (a file that does not load adds nothing) and logs
// "{} airport names read from \"{}\""; true when the table is not empty.
bool gf_readAirportNames();

// Exact search of the ICAO code, first match.
std::optional<Airport> gf_findAirport(std::string_view icao);

// "EGLL (LHR)", "EGLL" without IATA code, "?" for an empty code (followed by " (IATA)" when there is one).
std::string gf_parkAirportText(const Airport& airport);
// Whether the text holds "-" + code + "-", as written or in lower case.
bool gf_mentionsAirportCode(std::string_view text, const Airport& airport);

// Reads the number behind the ICAO code at the start of a name ("EGLL2" -> 2) into the caller's integer.
class lf_numberAfterCode {
public:
    lf_numberAfterCode(std::string publisher, std::string icao, std::int32_t& number)
        : publisher_(std::move(publisher)), icao_(std::move(icao)), number_(number) {}
    // False when the name does not begin with the code. Otherwise true; the number from the fifth character
    // on is stored, and when there is none the error line "{} {} {} invalid number" is logged.
    bool operator()(std::string_view name) const;

private:
    std::string publisher_;
    std::string icao_;
    std::int32_t& number_;
};

// Test support: no airports, no names, not loaded.
void gf_resetAirports();

// Number of add-on airports that the last add-on airport scan gave a file (shown beside the SCAN_AIRPORTS
// check box); set by the scan at its end.
extern std::atomic<int> addonAirportsFound;

// Forgets what the add-on airport scan found (the simulator was switched): its state flags, its list of
// generated files and the count shown. The next run with SCAN_AIRPORTS on scans again. (addon_links.cpp)
void gf_resetAddonAirportScan();
