#include "catalogue/reference_db.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include <fmt/format.h>

#include "catalogue/cipher.h"
#include "foundation/download.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/meta_header.h"
#include "foundation/text_utils.h"

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

namespace {

[[noreturn]] void throwSectionEmpty(const char* section, const char* entry, const char* attribute) {
    throw ovk::UserErrorException(61,
                                  fmt::format("In an xml file section {} {} {} is empty ", section, entry, attribute));
}

// Collects the comma-list pieces of attribute `attribute` of every `entry` child of the first
// top-level `section` element, in ascending order, duplicates collapsed.
TextOrderedSet collectPieces(const pugi::xml_document& doc, const char* section, const char* entry,
                             const char* attribute) {
    TextOrderedSet pieces;
    for (auto e : doc.child(section).children(entry))
        for (auto& piece : gf_splitComma(gf_attributeString(e, attribute))) pieces.insert(std::move(piece));
    return pieces;
}

void readTypeSet(const pugi::xml_document& doc, const char* section, const char* entry, TextOrderedSet& target) {
    auto pieces = collectPieces(doc, section, entry, "types");
    if (pieces.empty()) throwSectionEmpty(section, entry, "types");
    for (const auto& p : pieces) target.insert(gf_decryptModel(p));
}

void readAirlineSet(const pugi::xml_document& doc, const char* section, TextOrderedSet& target) {
    auto pieces = collectPieces(doc, section, "ICAO", "codes");
    if (pieces.empty()) throwSectionEmpty(section, "ICAO", "codes");
    for (const auto& p : pieces) {
        // A damaged code costs itself, not the database (and with it the start).
        try {
            target.insert(gf_decryptAirline(p));
        } catch (const std::exception& e) {
            gf_logError(fmt::format("{} code \"{}\" skipped: {}", section, p, e.what()));
        }
    }
}

void readSimilarGroups(const pugi::xml_document& doc) {
    similarGroups.reserve(64);
    for (auto e : doc.child("similar_types").children("similar")) {
        auto group = gf_splitComma(gf_attributeString(e, "types"));
        for (auto& t : group) t = gf_decryptModel(t);
        std::sort(group.begin(), group.end());
        similarGroups.push_back(std::move(group));
    }
    similarGroups.shrink_to_fit();
}

void readPublishers(const pugi::xml_document& doc, const std::string& path) {
    try {
        publisherGroups.reserve(640);
        std::vector<std::string> texts;
        for (auto e : doc.child("publishers").children("pub")) texts.push_back(gf_attributeString(e, "names"));
        std::sort(texts.begin(), texts.end());
        texts.erase(std::unique(texts.begin(), texts.end()), texts.end());
        for (const auto& t : texts) {
            auto group = gf_splitComma(t);
            group.shrink_to_fit();
            publisherGroups.push_back(std::move(group));
        }
        publisherGroups.shrink_to_fit();
    } catch (const std::exception& e) {
        throw std::runtime_error(fmt::format("exception {} in reading publishers from \"{}\"", e.what(), path));
    }
}

void readWingspans(const pugi::xml_document& doc, const std::string& path) {
    try {
        bool accepted = false;
        for (auto e : doc.child("wingspans").children("wingspan")) {
            auto type = gf_decryptModel(gf_attributeString(e, "type"));
            if (!knownAircraftTypes.contains(type)) {
                gf_logError(fmt::format("wingspan model {} is no valid model, skipped", type));
                continue;
            }
            const double half = gf_attributeDouble(e, "meters") * 0.5 / 1852.0;
            wingspanTable.emplace(std::move(type), half);
            largestHalfSpanNm = std::max(largestHalfSpanNm, half);
            accepted = true;
        }
        if (!accepted) return;
        std::array<int, aircraftCategoryCount> counts{};
        double total = 0.0;
        for (const auto& [type, half] : wingspanTable) {
            const auto c = categoryIndex(gf_aircraftCategory(type));
            ++counts[c];
            categoryHalfSpanNm[c] += half;
            total += half;
        }
        // A category without any wingspan of its own gets the average of all types, so that no
        // known type ever has a span of 0 once a database is loaded.
        const double overall = total / static_cast<double>(wingspanTable.size());
        for (std::size_t c = 0; c < aircraftCategoryCount; ++c)
            categoryHalfSpanNm[c] = counts[c] > 0 ? categoryHalfSpanNm[c] / counts[c] : overall;
    } catch (const std::exception& e) {
        throw std::runtime_error(fmt::format("exception {} in reading wingspans from \"{}\"", e.what(), path));
    }
}

void readFixes(const pugi::xml_document& doc) {
    for (auto e : doc.child("fixes").children("fx")) {
        auto wrong = gf_attributeString(e, "wro");
        auto right = gf_attributeString(e, "cor");
        if (!right.empty() && knownAircraftTypes.contains(right)) {
            if (!modelFixTable.emplace(wrong, right).second)
                gf_logError(fmt::format("wrong part of fix: \"{}\", already exists, skipped", wrong));
        } else {
            gf_logError(fmt::format("wrong fix {}->{}, the latter is not a valid model", wrong, right));
        }
    }
}

void readAddonAirports(const pugi::xml_document& doc) {
    auto pieces = collectPieces(doc, "simaddons20", "simaddon20", "arpts");
    if (pieces.empty()) throwSectionEmpty("simaddons20", "simaddon20", "arpts");
    simaddonAirports.insert(pieces.begin(), pieces.end());
    publisherAirports2020.reserve(600);
    for (auto e : doc.child("thirdparties20").children("thirdpartie20"))
        publisherAirports2020.push_back({gf_attributeString(e, "pub"), gf_splitComma(gf_attributeString(e, "arpts"))});
    for (auto e : doc.child("thirdparties24").children("thirdpartie24"))
        publisherAirports2024.push_back({gf_attributeString(e, "pub"), gf_splitComma(gf_attributeString(e, "arpts"))});
}

void readRegistrations(const pugi::xml_document& doc) {
    registrationTable.clear();
    for (auto e : doc.child("dbase").children("db")) {
        std::string key;
        DbaseReg rec;
        // A record with a damaged code is skipped with its line; the rest of the table loads.
        try {
            key = gf_decryptString(gf_attributeString(e, "reg"));
            rec.airline = gf_decryptAirline(gf_attributeString(e, "airl"));
            rec.operatorCode = gf_decryptAirline(gf_attributeString(e, "opr"));
        } catch (const std::exception& ex) {
            const std::string shown = key.empty() ? gf_attributeString(e, "reg") : key;
            gf_logError(fmt::format("dbase record \"{}\" skipped: {}", shown, ex.what()));
            continue;
        }
        rec.type = gf_decryptModel(gf_attributeString(e, "type"));
        rec.cargo = e.attribute("cargo").as_bool(false);
        auto [it, inserted] = registrationTable.emplace(key, std::move(rec));
        if (!inserted) gf_logError(fmt::format("regcode {} already exists", key));
    }
}

}  // namespace

void gf_readDatabase() {
    const auto path = gf_databasePath();
    if (!gf_downloadDatabase(path)) throw std::runtime_error("data base could not be read from on-line?");
    gf_readDatabaseFile(path);
}

void gf_readDatabaseFile(const std::string& path) {
    pugi::xml_document doc;
    const auto result = doc.load_file(path.c_str());
    if (result.status != pugi::status_ok)
        throw ovk::UserErrorException(60, fmt::format("\"{}\" not read because of {}", path, result.description()));

    readTypeSet(doc, "aircrafts", "aircraft", knownAircraftTypes);
    readTypeSet(doc, "high_performance", "hpf", highPerfTypes);
    readTypeSet(doc, "heavy", "hvy", heavyTypes);
    readTypeSet(doc, "large", "lar", largeTypes);
    readTypeSet(doc, "buzjet", "bzj", buzjetTypes);
    readTypeSet(doc, "rotorcraft", "rot", rotorcraftTypes);
    readTypeSet(doc, "cargo_types", "cargo_type", cargoTypes);
    readSimilarGroups(doc);
    readAirlineSet(doc, "ICAO_airlines", icaoAirlines);
    readAirlineSet(doc, "cargo_operators", cargoOperators);
    readPublishers(doc, path);
    readWingspans(doc, path);
    readFixes(doc);
    readAddonAirports(doc);
    readRegistrations(doc);

    if (std::filesystem::exists(path)) std::filesystem::remove(path);
}

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

bool gf_containsChar(std::string_view text, char c) { return !text.empty() && text.find(c) != std::string_view::npos; }

double gf_attributeDouble(const pugi::xml_node& node, const char* name) {
    if (!node) return 0.0;
    auto a = node.attribute(name);
    if (!a || a.value()[0] == '\0') return 0.0;
    return std::strtod(a.value(), nullptr);
}
