#include "catalogue/livery_record.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <tuple>

std::list<LiveryRecord> liveryList;
std::unordered_set<std::string> liveryTitles;
std::mutex liveryTitlesMutex;

std::list<std::string> noFltsimCfgs;
std::list<std::string> invalidCfgs;
std::list<std::string> incompleteSections;
std::list<std::string> invalidAirlines;
std::list<std::string> invalidAircraft;
std::vector<std::string> modelFixes;
std::mutex noFltsimCfgsMutex, invalidCfgsMutex, incompleteSectionsMutex, invalidAirlinesMutex, invalidAircraftMutex,
    modelFixesMutex;

std::vector<std::string> excludedTitles;

LiveryRecord::LiveryRecord(std::uint32_t rootIndex_, std::string airline_, std::string type_, bool passenger,
                           std::string title_, std::string atcId_) {
    // The register's entry is made before the lock is taken, so that the many scan tasks hold the lock
    // only to link it in; an entry not taken is freed after the lock is given back.
    std::unordered_set<std::string> spare;
    auto entry = spare.extract(spare.insert(title_).first);
    decltype(liveryTitles)::insert_return_type inserted;
    {
        std::lock_guard lock(liveryTitlesMutex);
        inserted = liveryTitles.insert(std::move(entry));
    }
    if (!inserted.inserted) return;  // the empty record
    airline = std::move(airline_);
    type = std::move(type_);
    title = std::move(title_);
    atcId = std::move(atcId_);
    rootIndex = rootIndex_;
    cargo = !passenger;
}

LiveryRecord::LiveryRecord(LiveryRecord&& o) noexcept
    : airline(std::move(o.airline)), type(std::move(o.type)), title(std::move(o.title)), atcId(std::move(o.atcId)),
      rootIndex(o.rootIndex), cargo(o.cargo) {
    o.airline.clear();
    o.type.clear();
    o.title.clear();
    o.atcId.clear();
}

LiveryRecord& LiveryRecord::operator=(LiveryRecord&& o) noexcept {
    if (this != &o) {
        airline = std::move(o.airline);
        type = std::move(o.type);
        title = std::move(o.title);
        atcId = std::move(o.atcId);
        rootIndex = o.rootIndex;
        cargo = o.cargo;
        o.airline.clear();
        o.type.clear();
        o.title.clear();
        o.atcId.clear();
    }
    return *this;
}

LiveryRecord LiveryRecord::make(std::string airline, std::string type, std::string title, std::string atcId, bool cargo,
                                std::uint32_t rootIndex) {
    LiveryRecord r;
    r.airline = std::move(airline);
    r.type = std::move(type);
    r.title = std::move(title);
    r.atcId = std::move(atcId);
    r.cargo = cargo;
    r.rootIndex = rootIndex;
    return r;
}

bool operator==(const LiveryRecord& a, const LiveryRecord& b) noexcept {
    return a.title == b.title && a.airline == b.airline && a.type == b.type && a.atcId == b.atcId && a.cargo == b.cargo;
}

bool liveryOrderLess(const LiveryRecord& a, const LiveryRecord& b) noexcept {
    return std::tie(a.airline, a.type, a.title) < std::tie(b.airline, b.type, b.title);
}

void lf_addNoFltsimCfg(const std::string& cfgPath) {
    std::lock_guard lock(noFltsimCfgsMutex);
    noFltsimCfgs.push_back(cfgPath);
}
void lf_addInvalidCfg(std::string line) {
    std::lock_guard lock(invalidCfgsMutex);
    invalidCfgs.push_back(std::move(line));
}
void lf_addIncompleteSection(std::string line) {
    std::lock_guard lock(incompleteSectionsMutex);
    incompleteSections.push_back(std::move(line));
}
void lf_addInvalidAirline(std::string_view code, std::string_view cfgPath, std::string_view headerLine) {
    std::string line = fmt::format("{:12} in {} ", code, cfgPath);
    line += headerLine;
    std::lock_guard lock(invalidAirlinesMutex);
    invalidAirlines.push_back(std::move(line));
}
void lf_addInvalidAircraft(std::string_view type, std::string_view cfgPath) {
    std::string line = fmt::format("{:16} in {}", type, cfgPath);
    std::lock_guard lock(invalidAircraftMutex);
    invalidAircraft.push_back(std::move(line));
}
void lf_addModelFix(std::string line) {
    std::lock_guard lock(modelFixesMutex);
    modelFixes.push_back(std::move(line));
}

namespace {

// The text between the first two double quotes; the whole text without quotes; empty with one.
std::string betweenQuotes(std::string_view s) {
    auto first = s.find('"');
    if (first == std::string_view::npos) return std::string(s);
    auto second = s.find('"', first + 1);
    if (second == std::string_view::npos) return {};
    return std::string(s.substr(first + 1, second - first - 1));
}

bool isBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// One "key = value" line of an aircraft.cfg, matched as the whole-line, case-insensitive pattern
// \s*(key)\s*=\s*(.*\S)\s* would (ECMAScript: '.' takes no line end, so the value holds no '\n' or '\r').
// Written out by hand: a regular-expression engine that backtracks by recursion runs out of stack on the
// very long lines that a damaged or odd aircraft.cfg can hold. The value is then taken between quotes.
bool matchKey(std::string_view key, std::string_view line, std::string& value) {
    std::size_t i = 0;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (line.size() - i < key.size()) return false;
    for (std::size_t k = 0; k < key.size(); ++k, ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != key[k]) return false;
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i == line.size() || line[i] != '=') return false;
    ++i;
    while (i < line.size() && isBlank(line[i])) ++i;
    std::size_t end = line.size();
    while (end > i && isBlank(line[end - 1])) --end;
    if (end == i) return false;
    const std::string_view raw = line.substr(i, end - i);
    if (raw.find_first_of("\n\r") != std::string_view::npos) return false;
    value = betweenQuotes(raw);
    return true;
}

void upperInPlace(std::string& s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

}  // namespace

bool lf_readKey(std::string_view key, std::string_view line, std::string& value) { return matchKey(key, line, value); }

bool lf_readTitle(std::string_view line, std::string& value) {
    std::string v;
    if (!matchKey("title", line, v)) return false;
    if (!v.empty()) value = std::move(v);
    return true;
}

bool lf_readTexture(std::string_view line, std::string& value) {
    std::string v;
    if (!matchKey("texture", line, v) || v.empty()) return false;
    value = std::move(v);
    return true;
}

std::string lf_readIcaoType(std::string_view line) {
    std::string v;
    if (!matchKey("icao_type_designator", line, v)) return {};
    v = v.substr(0, 4);
    upperInPlace(v);
    return v;
}

bool lf_readAtcId(std::string_view line, std::string& value) {
    std::string v;
    if (!matchKey("atc_id", line, v) || v.size() < 5) return false;
    value = std::move(v);
    return true;
}

bool lf_readIcaoAirline(std::string_view line, std::string& value) {
    std::string v;
    if (!matchKey("icao_airline", line, v)) return false;
    if (v.empty() || v == "ZZZZ") {
        value = "ZZZ";
    } else {
        upperInPlace(v);
        value = std::move(v);
    }
    return true;
}

bool lf_readParkingTypes(std::string_view line, std::string& value) {
    std::string v;
    if (!matchKey("atc_parking_types", line, v) || v.empty()) return false;
    value = std::move(v);
    return true;
}

bool lf_hasAtcIdKey(std::string_view line) { return line.find("atc_id=") != std::string_view::npos; }

bool lf_hasParkingTypesKey(std::string_view line) { return line.find("atc_parking_types") != std::string_view::npos; }

void gf_resetLiveryRecords() {
    liveryList.clear();
    {
        std::lock_guard lock(liveryTitlesMutex);
        liveryTitles.clear();
    }
    noFltsimCfgs.clear();
    invalidCfgs.clear();
    incompleteSections.clear();
    invalidAirlines.clear();
    invalidAircraft.clear();
    modelFixes.clear();
    excludedTitles.clear();
}
