#pragma once
// The aircraft and airline reference database: downloaded as "dbase.zip", unpacked into
// input/temp2.xml, read once per program run into the tables below (plain codes only) and
// answered through the small query functions. The tables have no lock: they are written on the
// run thread before any reader thread starts and only read afterwards.
#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

#include "catalogue/string_keys.h"
#include "foundation/aircraft_category.h"

// One record of the registration table; the registration is the key.
struct DbaseReg {
    std::string airline;       // ICAO airline code, may be empty
    std::string type;          // ICAO type, may be empty
    std::string operatorCode;  // ICAO code of the operating airline, may be empty
    bool cargo = false;
    friend bool operator==(const DbaseReg&, const DbaseReg&) = default;
};

// Add-on airports of one outside publisher that have an archived parking file.
struct PublisherAirports {
    std::string publisher;
    std::vector<std::string> airports;
};

using TextOrderedSet = std::set<std::string, std::less<>>;

// ---- tables (process-wide) ----
extern TextOrderedSet knownAircraftTypes;                             // every known ICAO type ("aircrafts")
extern TextOrderedSet highPerfTypes;                                  // "high_performance"
extern TextOrderedSet heavyTypes;                                     // "heavy"
extern TextOrderedSet largeTypes;                                     // "large"
extern TextOrderedSet buzjetTypes;                                    // "buzjet"
extern TextOrderedSet rotorcraftTypes;                                // "rotorcraft"
extern TextOrderedSet cargoTypes;                                     // "cargo_types"
extern std::vector<std::vector<std::string>> similarGroups;           // each group sorted ascending
extern TextOrderedSet icaoAirlines;                                   // "ICAO_airlines"
extern TextOrderedSet cargoOperators;                                 // "cargo_operators"
extern std::vector<std::vector<std::string>> publisherGroups;         // first name is the publisher's
extern std::map<std::string, double, std::less<>> wingspanTable;      // type -> half span, nm
extern double largestHalfSpanNm;                                      // largest half span read, nm
extern std::array<double, aircraftCategoryCount> categoryHalfSpanNm;  // average per category
extern TextMap<std::string> modelFixTable;                            // wrong ICAO type -> correct ICAO type
extern TextOrderedSet simaddonAirports;                               // "simaddons20"
extern std::vector<PublisherAirports> publisherAirports2020;
extern std::vector<PublisherAirports> publisherAirports2024;
extern TextMap<DbaseReg> registrationTable;  // deciphered registration -> record

// Path of the unpacked database: "input/temp2.xml" below the program folder.
std::string gf_databasePath();

// Downloads and reads the whole database. Throws std::runtime_error when the download fails,
// ovk::UserErrorException 60 (unparsable file) and 61 (required section empty), and the cipher's
// errors. Deletes temp2.xml after a successful read.
void gf_readDatabase();
// Reads an already unpacked database file (the part of gf_readDatabase after the download).
void gf_readDatabaseFile(const std::string& path);

// Empties every table (tests; a new program run starts empty).
void gf_resetReferenceDatabase();

// ---- queries (never throw for missing data) ----
AircraftCategory gf_aircraftCategory(std::string_view type);
bool gf_isKnownModel(std::string_view type);
bool gf_isIcaoAirline(std::string_view airline);
// Half wing span in nautical miles; the category's average for a type without its own value.
double gf_wingspan(std::string_view type);
// "DABCD" -> DA-BCD, D-ABCD, DABCD; shorter texts, texts starting with 'N' or holding '-' -> itself.
std::vector<std::string> gf_regSpellings(std::string_view registration);
bool gf_lookupRegcode(std::optional<DbaseReg>& result, std::string_view spelling);
std::optional<DbaseReg> gf_findRegcode(std::string_view registration);
std::string gf_regAirline(std::string_view registration);
std::string gf_regOperator(std::string_view registration);
std::string gf_privateRegPrefix(std::string_view text);
std::string gf_publisherOf(std::string_view name);
bool gf_containsNoCase(std::string_view text, std::string_view part);
bool gf_containsChar(std::string_view text, char c);
double gf_attributeDouble(const pugi::xml_node& node, const char* name);
