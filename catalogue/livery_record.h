#pragma once
// One installed livery and the shared lists that reading aircraft.cfg files fills: the livery
// list, the title register, the issue lists of the scan and the excluded titles; plus the readers
// that take one key out of one aircraft.cfg line.
#include <cstdint>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

struct LiveryRecord {
    std::string airline;  // ICAO airline; "ZZZ" no airline, "PVT" private
    std::string type;     // ICAO type designator
    std::string title;    // the title under which the simulator creates the livery
    std::string atcId;    // registration written in the livery, or empty
    std::uint32_t rootIndex = 0;
    bool cargo = false;

    LiveryRecord() = default;
    // Registers the title in liveryTitles; a title already registered gives the empty record.
    LiveryRecord(std::uint32_t rootIndex, std::string airline, std::string type, bool passenger, std::string title,
                 std::string atcId);
    LiveryRecord(const LiveryRecord&) = default;
    LiveryRecord& operator=(const LiveryRecord&) = default;
    LiveryRecord(LiveryRecord&& o) noexcept;
    LiveryRecord& operator=(LiveryRecord&& o) noexcept;

    // A plain value, without touching the title register (cache reader, tests).
    static LiveryRecord make(std::string airline, std::string type, std::string title, std::string atcId = {},
                             bool cargo = false, std::uint32_t rootIndex = 0);

    // "no livery": the four texts empty.
    bool empty() const noexcept { return airline.empty() && type.empty() && title.empty() && atcId.empty(); }
    // Equal title, airline, type, atc id and cargo flag (the root index is not compared).
    friend bool operator==(const LiveryRecord& a, const LiveryRecord& b) noexcept;
};

// Livery order: airline, then type, then title, byte by byte.
bool liveryOrderLess(const LiveryRecord& a, const LiveryRecord& b) noexcept;

// The records of the current scan or of the cache being built into the database, in livery order.
extern std::list<LiveryRecord> liveryList;

// Every title for which a record was created during the current scan.
extern std::unordered_set<std::string> liveryTitles;
extern std::mutex liveryTitlesMutex;

// Issue lists of the scan; each append holds the list's own mutex.
extern std::list<std::string> noFltsimCfgs;
extern std::list<std::string> invalidCfgs;
extern std::list<std::string> incompleteSections;
extern std::list<std::string> invalidAirlines;
extern std::list<std::string> invalidAircraft;
extern std::vector<std::string> modelFixes;
extern std::mutex noFltsimCfgsMutex, invalidCfgsMutex, incompleteSectionsMutex, invalidAirlinesMutex,
    invalidAircraftMutex, modelFixesMutex;

// Titles that a registration-code source lists without registrations: never used.
extern std::vector<std::string> excludedTitles;

void lf_addNoFltsimCfg(const std::string& cfgPath);
void lf_addInvalidCfg(std::string line);
void lf_addIncompleteSection(std::string line);
void lf_addInvalidAirline(std::string_view code, std::string_view cfgPath, std::string_view headerLine);
void lf_addInvalidAircraft(std::string_view type, std::string_view cfgPath);
void lf_addModelFix(std::string line);

// One "key = value" line, matched as a whole and case-insensitively; the value (between quotes when it has
// them) goes to `value`. False when the line is no such key or its value is blank.
bool lf_readKey(std::string_view key, std::string_view line, std::string& value);
// Key readers: each matches the whole line (case-insensitive); see the .cpp for what is kept.
bool lf_readTitle(std::string_view line, std::string& value);
bool lf_readTexture(std::string_view line, std::string& value);
std::string lf_readIcaoType(std::string_view line);
bool lf_readAtcId(std::string_view line, std::string& value);
bool lf_readIcaoAirline(std::string_view line, std::string& value);
bool lf_readParkingTypes(std::string_view line, std::string& value);
bool lf_hasAtcIdKey(std::string_view line);
bool lf_hasParkingTypesKey(std::string_view line);

// Empties liveryList, liveryTitles, the issue lists (modelFixes too) and excludedTitles (tests).
void gf_resetLiveryRecords();
