#include "catalogue/reference_db.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

TextOrderedSet knownAircraftTypes;
TextOrderedSet highPerfTypes;
TextOrderedSet heavyTypes;
TextOrderedSet largeTypes;
TextOrderedSet buzjetTypes;
TextOrderedSet rotorcraftTypes;
TextOrderedSet cargoTypes;
std::vector<std::vector<std::string>> similarGroups;
TextOrderedSet icaoAirlines;
TextOrderedSet cargoOperators;
std::vector<std::vector<std::string>> publisherGroups;
std::map<std::string, double, std::less<>> wingspanTable;
double largestHalfSpanNm = 0.0;
std::array<double, aircraftCategoryCount> categoryHalfSpanNm{};
TextMap<std::string> modelFixTable;
TextOrderedSet simaddonAirports;
std::vector<PublisherAirports> publisherAirports2020;
std::vector<PublisherAirports> publisherAirports2024;
TextMap<DbaseReg> registrationTable;

std::string gf_databasePath() { return (std::filesystem::path("input") / "temp2.xml").string(); }

void gf_readDatabase() {
    // Not available yet: no database loaded.
}

void gf_readDatabaseFile(const std::string&) {}

void gf_resetReferenceDatabase() {
    knownAircraftTypes.clear();
    highPerfTypes.clear();
    heavyTypes.clear();
    largeTypes.clear();
    buzjetTypes.clear();
    rotorcraftTypes.clear();
    cargoTypes.clear();
    similarGroups.clear();
    icaoAirlines.clear();
    cargoOperators.clear();
    publisherGroups.clear();
    wingspanTable.clear();
    largestHalfSpanNm = 0.0;
    categoryHalfSpanNm.fill(0.0);
    modelFixTable.clear();
    simaddonAirports.clear();
    publisherAirports2020.clear();
    publisherAirports2024.clear();
    registrationTable.clear();
}

AircraftCategory gf_aircraftCategory(std::string_view type) {
    if (largeTypes.contains(type)) return AircraftCategory::Large;
    if (heavyTypes.contains(type)) return AircraftCategory::Heavy;
    if (buzjetTypes.contains(type)) return AircraftCategory::Buzjets;
    if (rotorcraftTypes.contains(type)) return AircraftCategory::Rotorcraft;
    if (highPerfTypes.contains(type)) return AircraftCategory::HighPerf;
    return AircraftCategory::Light;
}

bool gf_isKnownModel(std::string_view type) { return !type.empty() && knownAircraftTypes.contains(type); }

bool gf_isIcaoAirline(std::string_view airline) { return !airline.empty() && icaoAirlines.contains(airline); }

double gf_wingspan(std::string_view type) {
    if (auto it = wingspanTable.find(type); it != wingspanTable.end()) return it->second;
    return categoryHalfSpanNm[categoryIndex(gf_aircraftCategory(type))];
}

std::vector<std::string> gf_regSpellings(std::string_view reg) {
    std::vector<std::string> out;
    out.reserve(3);
    if (reg.size() >= 5 && reg.front() != 'N' && reg.find('-') == std::string_view::npos) {
        out.push_back(std::string(reg.substr(0, 2)) + "-" + std::string(reg.substr(2)));
        out.push_back(std::string(reg.substr(0, 1)) + "-" + std::string(reg.substr(1)));
    }
    out.emplace_back(reg);
    return out;
}

bool gf_lookupRegcode(std::optional<DbaseReg>& result, std::string_view spelling) {
    auto it = registrationTable.find(spelling);
    if (it == registrationTable.end()) return false;
    result = it->second;
    return true;
}

std::optional<DbaseReg> gf_findRegcode(std::string_view reg) {
    std::optional<DbaseReg> result;
    if (reg.empty()) return result;
    for (const auto& s : gf_regSpellings(reg))
        if (gf_lookupRegcode(result, s)) break;
    return result;
}

std::string gf_regAirline(std::string_view reg) {
    auto r = gf_findRegcode(reg);
    return r ? r->airline : std::string{};
}

std::string gf_regOperator(std::string_view reg) {
    auto r = gf_findRegcode(reg);
    return r ? r->operatorCode : std::string{};
}

std::string gf_privateRegPrefix(std::string_view text) {
    for (const auto& [key, rec] : registrationTable)
        if (rec.airline == "PVT" && key.size() < 5 && text.find(key) != std::string_view::npos) return key;
    return {};
}

bool gf_containsNoCase(std::string_view text, std::string_view part) {
    if (part.empty()) return true;
    if (part.size() > text.size()) return false;
    auto it = std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
    return it != text.end();
}

std::string gf_publisherOf(std::string_view name) {
    for (const auto& group : publisherGroups) {
        for (const auto& n : group) {
            if (n.empty() || (n.size() <= name.size() && name.find(n) != std::string_view::npos) ||
                gf_containsNoCase(name, n))
                return group.empty() ? std::string{} : group.front();
        }
    }
    return "unknown";
}

bool gf_containsChar(std::string_view text, char c) {
    return !text.empty() && text.find(c) != std::string_view::npos;
}

double gf_attributeDouble(const pugi::xml_node& node, const char* name) {
    if (!node) return 0.0;
    auto a = node.attribute(name);
    if (!a || a.value()[0] == '\0') return 0.0;
    return std::strtod(a.value(), nullptr);
}
