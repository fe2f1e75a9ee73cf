#include "catalogue/livery_db.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "catalogue/livery_cache.h"
#include "catalogue/livery_record.h"
#include "catalogue/reference_db.h"
#include "catalogue/regcodes.h"
#include "catalogue/similar_models.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"
#include "shell/display.h"

TextMap<TypeEntries> liveryCatalogue;
std::array<TextMap<TypeTitles>, 2> airlineLiveries;
std::array<TypeTitles, 2> modelLiveries;
std::vector<std::string> installedLightModels;
std::vector<std::string> installedBuzjetModels;
std::vector<std::string> installedRotorcraftModels;
std::atomic<bool> liveriesProcessed{false};

namespace {

std::atomic<bool> clearRequested{false};
bool containersReserved = false;
// The number of installed liveries the kept database was built from: a later run, whose build is skipped,
// shows it again after the run reset emptied the window's count.
std::uint64_t builtLiveryCount = 0;
// Title text -> the catalogue's own copy, first found in container order; built on first use.
TextMap<std::string_view> titleIndex;

void emptyContainers() {
    installedLightModels.clear();
    installedBuzjetModels.clear();
    installedRotorcraftModels.clear();
    specialTitles.clear();
    regcodeTitles.clear();
    for (auto& m : modelLiveries) m.clear();
    for (auto& m : airlineLiveries) m.clear();
    liveryCatalogue.clear();
    titleIndex.clear();
}

// ---- grouping of the sorted livery list into liveryCatalogue ----
struct Grouper {
    std::string type;
    std::string airline;
    std::vector<LiveryEntry> group;
    TypeEntries airlineMap;

    void flushGroup() {
        if (group.empty()) return;
        // The stored copy is allocated to size; the working group keeps its room.
        airlineMap.try_emplace(type, group);
        group.clear();
    }
    void flushAirline() {
        flushGroup();
        if (airlineMap.empty()) return;
        liveryCatalogue.try_emplace(airline, std::move(airlineMap));
        airlineMap.clear();
    }
    void add(const LiveryRecord& rec) {  // lf_addToGroup
        if (rec.type != type) {
            flushGroup();
            type = rec.type;
        }
        if (rec.airline != airline) {
            flushAirline();
            airline = rec.airline;
        }
        group.push_back({rec.title, rec.cargo});
        group.back().title.shrink_to_fit();
    }
};

void lf_groupLiveries() {
    Grouper g;
    g.group.reserve(4048);
    for (const auto& rec : liveryList) g.add(rec);
    g.flushAirline();
}

void lf_buildAirlineMaps() {
    for (const auto& [airline, types] : liveryCatalogue) {
        TypeTitles pax, cargo;
        for (const auto& [type, entries] : types) {
            std::vector<std::string_view> c, p;
            for (const auto& e : entries) (e.cargo ? c : p).push_back(e.title);
            c.shrink_to_fit();
            p.shrink_to_fit();
            if (!c.empty()) cargo.emplace(type, std::move(c));
            if (!p.empty()) pax.emplace(type, std::move(p));
        }
        if (!cargo.empty()) airlineLiveries[1].try_emplace(airline, std::move(cargo));
        if (!pax.empty()) airlineLiveries[0].try_emplace(airline, std::move(pax));
    }
}

void lf_buildModelMaps() {
    struct ModelRecord {
        std::string_view type;
        std::string_view title;
        bool cargo;
    };
    std::vector<ModelRecord> records;
    for (const auto& [airline, types] : liveryCatalogue)
        for (const auto& [type, entries] : types)
            for (const auto& e : entries) records.push_back({type, e.title, e.cargo});
    std::stable_sort(records.begin(), records.end(),
                     [](const ModelRecord& a, const ModelRecord& b) { return a.type < b.type; });
    std::string_view current;
    std::vector<std::string_view> cargo, pax;
    cargo.reserve(15000);
    pax.reserve(15000);
    auto flush = [&] {  // lf_flushModelGroup
        if (!cargo.empty()) {
            cargo.shrink_to_fit();
            modelLiveries[1].try_emplace(std::string(current), cargo);
            cargo.clear();
        }
        if (!pax.empty()) {
            pax.shrink_to_fit();
            modelLiveries[0].try_emplace(std::string(current), pax);
            pax.clear();
        }
    };
    for (const auto& r : records) {
        if (r.type != current) {
            flush();
            current = r.type;
        }
        (r.cargo ? cargo : pax).push_back(r.title);
    }
    flush();
}

void lf_logModelList(bool light, bool buzjet, bool rotorcraft, const std::vector<std::string>& types) {
    std::string line = "  ";
    int n = 0;
    for (const auto& t : types) {
        if (light)
            installedLightModels.push_back(t);
        else if (buzjet)
            installedBuzjetModels.push_back(t);
        else if (rotorcraft)
            installedRotorcraftModels.push_back(t);
        line += t;
        line += ',';
        if (++n % 20 == 0) {
            line.pop_back();
            gf_log(line);
            line = "  ";
        }
    }
    line.pop_back();
    gf_log(line);
}

std::vector<std::string> lf_defaultAirlineTypes() {
    std::vector<std::string> types;
    auto it = liveryCatalogue.find(defaultAirlineCode);
    if (it == liveryCatalogue.end()) return types;
    for (const auto& [type, entries] : it->second) types.push_back(type);
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    return types;
}

void lf_logDefaultAirlineModels() {
    if (!liveryCatalogue.contains(defaultAirlineCode)) {
        gf_log("No generic liveries");
        return;
    }
    auto types = lf_defaultAirlineTypes();
    gf_log(fmt::format("{} model{} have a generic livery", types.size(),
                       gf_pluralSuffix(static_cast<std::int64_t>(types.size()))));
    lf_logModelList(false, false, false, types);
}

using CategoryPairs = std::vector<std::pair<std::string_view, std::string_view>>;

CategoryPairs lf_categoryLiveries(const TypeTitles& map, AircraftCategory c) {
    CategoryPairs pairs;
    for (const auto& [type, titles] : map)
        if (gf_aircraftCategory(type) == c)
            for (auto t : titles) pairs.emplace_back(type, t);
    return pairs;
}

BoolParameter* categorySetting(AircraftCategory c) {
    switch (c) {
    case AircraftCategory::Light: return &LIGHT_AIRCRAFT;
    case AircraftCategory::HighPerf: return &HIGH_PERF_AIRCRAFT;
    case AircraftCategory::Rotorcraft: return &HELICOPTERS;
    default: return nullptr;
    }
}

void enableCheckBox(BoolParameter& p, bool on) {
    if (auto* w = mainWindow.window.load()) w->setEnabled(p.controlId, on);
}

void lf_installedModelsOfCategory(AircraftCategory c, const CategoryPairs& pax, const CategoryPairs& cargo) {
    std::vector<std::string> types;
    for (const auto& p : pax) types.emplace_back(p.first);
    for (const auto& p : cargo) types.emplace_back(p.first);
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
    lf_logModelList(c == AircraftCategory::Light, c == AircraftCategory::Buzjets, c == AircraftCategory::Rotorcraft,
                    types);
}

void lf_checkLiveryCategory(AircraftCategory c) {
    const auto pax = lf_categoryLiveries(modelLiveries[0], c);
    const auto cargo = lf_categoryLiveries(modelLiveries[1], c);
    BoolParameter* setting = categorySetting(c);
    if (pax.empty() && cargo.empty()) {
        gf_log(fmt::format("Category {}: No livery found", categoryName(c)));
        if (!setting) return;
        if (setting->value.load()) {
            setting->save(false);
            const char* format = c == AircraftCategory::Light
                                     ? "{} temporary switched off because you do not have light aircraft installed"
                                 : c == AircraftCategory::HighPerf
                                     ? "{} temporary switched off because you do not have High Perf aircraft installed"
                                     : "{} temporary switched off because you do not have Helicopters installed";
            gf_log(fmt::format(fmt::runtime(format), setting->name));
        }
        enableCheckBox(*setting, false);
        return;
    }
    std::string line = fmt::format("Category {}: {} pax liverie{}", categoryName(c), pax.size(),
                                   gf_pluralSuffix(static_cast<std::int64_t>(pax.size())));
    if (!cargo.empty())
        line += fmt::format(" and {} cargo liverie{}", cargo.size(),
                            gf_pluralSuffix(static_cast<std::int64_t>(cargo.size())));
    gf_log(line);
    lf_installedModelsOfCategory(c, pax, cargo);
    if (setting) enableCheckBox(*setting, true);
}

}  // namespace

void lf_processLiveries() {
    lf_carryOutLiveryClear();
    if (liveriesProcessed.load()) {
        gf_log("Processing scanned liveries skipped; already done in previous start-up");
        liveryList.clear();
        mainWindow.liveryCount.store(builtLiveryCount);
        mainWindow.invalidate();
        return;
    }
    // A build always starts from empty containers, whoever cleared the processed flag.
    emptyContainers();
    lf_readLiveriesScanned();
    builtLiveryCount = liveryList.size();
    mainWindow.liveryCount.store(builtLiveryCount);
    mainWindow.invalidate();
    lf_groupLiveries();
    lf_buildAirlineMaps();
    lf_checkInlineRegcodes();
    lf_loadRegcodes();
    gf_log(fmt::format("{} registration codes", regcodeTitles.size()));
    lf_buildModelMaps();
    gf_log(fmt::format("{} airlines, {} pax aircraft models and {} cargo aircraft models", liveryCatalogue.size(),
                       modelLiveries[0].size(), modelLiveries[1].size()));
    gf_buildSimilarModels();
    lf_logDefaultAirlineModels();
    for (std::uint32_t c = 0; c < aircraftCategoryCount; ++c) lf_checkLiveryCategory(static_cast<AircraftCategory>(c));
    liveriesProcessed.store(true);
    mainWindow.invalidate();
    liveryList.clear();
}

void gf_clearLiveryDatabase() { clearRequested.store(true); }

bool gf_liveryClearPending() { return clearRequested.load(); }

void lf_carryOutLiveryClear() {
    if (clearRequested.exchange(false)) emptyContainers();
}

void gf_reserveLiveryContainers() {
    lf_carryOutLiveryClear();
    if (containersReserved) return;
    containersReserved = true;
    specialTitles.reserve(4096);
    installedLightModels.reserve(64);
    installedBuzjetModels.reserve(128);
    installedRotorcraftModels.reserve(32);
}

std::string_view gf_catalogueTitle(std::string_view title) {
    if (titleIndex.empty() && !liveryCatalogue.empty()) {
        for (const auto& [airline, types] : liveryCatalogue)
            for (const auto& [type, entries] : types)
                for (const auto& e : entries) titleIndex.try_emplace(e.title, e.title);
    }
    auto it = titleIndex.find(title);
    return it == titleIndex.end() ? std::string_view{} : it->second;
}

bool gf_catalogueHasAirlineModel(std::string_view airline, std::string_view type) {
    auto it = liveryCatalogue.find(airline);
    return it != liveryCatalogue.end() && it->second.contains(type);
}

bool gf_hasLiveryForModel(std::string_view type) {
    return modelLiveries[0].contains(type) || modelLiveries[1].contains(type);
}

std::vector<std::string> gf_catalogueAirlinePrefixes() {
    std::vector<std::string> out;
    out.reserve(liveryCatalogue.size());
    for (const auto& [airline, types] : liveryCatalogue) out.push_back(airline.substr(0, 3));
    return out;
}

void gf_resetLiveryDatabase() {
    emptyContainers();
    builtLiveryCount = 0;
    clearRequested.store(false);
    liveriesProcessed.store(false);
    containersReserved = false;
}
