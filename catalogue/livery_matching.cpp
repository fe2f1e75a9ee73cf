#include "catalogue/livery_matching.h"

#include <fmt/format.h>

#include <algorithm>

#include "catalogue/aircraft_identity.h"
#include "catalogue/livery_db.h"
#include "catalogue/reference_db.h"
#include "catalogue/regcodes.h"
#include "catalogue/similar_models.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

std::vector<std::string> notCreatedTitles;
std::list<std::string> notCreatedModels;
std::array<std::uint32_t, 6> matchStepCounts{};
std::set<std::string, std::less<>> noMatchKeys;
TextSet runMatchKeys;

namespace {

constexpr std::string_view privateAirline = "PVT";
constexpr std::size_t notCreatedLimit = 20;

int matchingDepth() { return std::clamp<int>(MATCHING_DEPTH.value.load(), 1, 4); }
bool logOn() { return LOG.value.load(); }

AircraftIdentity identityOf(const LiveryRequest& r) {
    AircraftIdentity id;
    id.airline = r.airline;
    id.icaoType = r.type;
    id.callsign = r.callsign;
    id.registration = r.registration;
    return id;
}

std::string labelOf(const LiveryRequest& r) { return r.identity ? acLabel(*r.identity) : acLabel(identityOf(r)); }

std::string routeLabelOf(const LiveryRequest& r) {
    return r.identity ? acRouteLabel(*r.identity) : acRouteLabel(identityOf(r));
}

bool isSpecial(std::string_view title) {
    return std::find(specialTitles.begin(), specialTitles.end(), title) != specialTitles.end();
}

bool isSmallCategory(AircraftCategory c) {
    return c == AircraftCategory::Light || c == AircraftCategory::Buzjets || c == AircraftCategory::Rotorcraft;
}

void lf_pickFromAirlineMap(LiveryRequest& r, std::string_view airline, std::string_view type, int index) {
    const auto& map = airlineLiveries[static_cast<std::size_t>(index)];
    auto a = map.find(airline);
    if (a == map.end()) return;
    auto t = a->second.find(type);
    if (t == a->second.end()) return;
    lf_pickLivery(r, t->second);
}

// Cargo aircraft take a cargo livery when one exists, else a passenger livery of the same airline
// and type; passenger aircraft never get a cargo livery.
void lookUp(LiveryRequest& r, std::string_view airline, std::string_view type) {
    lf_pickFromAirlineMap(r, airline, type, r.cargo ? 1 : 0);
    if (r.title.empty() && r.cargo) lf_pickFromAirlineMap(r, airline, type, 0);
}

bool lf_pickModelLivery(LiveryRequest& r, std::string_view type) {
    const auto& map = modelLiveries[r.cargo ? 1 : 0];
    if (auto it = map.find(type); it != map.end()) lf_pickLivery(r, it->second);
    return !r.title.empty();
}

void lf_matchFallbacks(LiveryRequest& r, int& step) {
    const int depth = matchingDepth();
    if (depth == 4) {
        lookUp(r, defaultAirlineCode, r.type);
        if (!r.title.empty()) {
            step = 4;
            return;
        }
    }
    if (!r.title.empty() || !isSmallCategory(r.category)) return;
    if (depth == 3 && r.airline != privateAirline) {
        lookUp(r, defaultAirlineCode, r.type);
        if (!r.title.empty()) {
            step = 4;
            return;
        }
    }
    if (lf_pickModelLivery(r, r.type)) {
        step = 5;
        return;
    }
    for (const auto& similar : gf_similarModels(r.type)) {
        if (lf_pickModelLivery(r, similar)) {
            step = 6;
            return;
        }
    }
}

// Steps 2 and 3 with the registration table's airline when the registration has an operator.
// `live` restricts similar types to the aircraft's own category and needs an airline code.
void airlineSteps(LiveryRequest& r, int& step, bool live, int depth) {
    const bool tryAirline = !live || !r.airline.empty();
    std::optional<DbaseReg> reg;
    bool regLooked = false;
    auto regRecord = [&]() -> const std::optional<DbaseReg>& {
        if (!regLooked) {
            reg = gf_findRegcode(r.registration);
            regLooked = true;
        }
        return reg;
    };
    auto hasOperator = [&] { return regRecord() && !regRecord()->operatorCode.empty(); };

    if (r.title.empty() && tryAirline) {
        lookUp(r, r.airline, r.type);
        if (r.title.empty() && hasOperator()) lookUp(r, regRecord()->airline, r.type);
        if (!r.title.empty()) step = 2;
    }
    if (depth == 2) return;
    if (r.title.empty() && tryAirline) {
        auto trySimilar = [&](std::string_view airline) {
            // A copy: the table's list is reshuffled by the next query.
            const std::vector<std::string> similar = gf_airlineSimilarModels(r.airline, r.type);
            for (const auto& s : similar) {
                if (live && gf_aircraftCategory(s) != r.category) continue;
                lookUp(r, airline, s);
                if (!r.title.empty()) return;
            }
        };
        trySimilar(r.airline);
        if (r.title.empty() && hasOperator()) trySimilar(regRecord()->airline);
        if (!r.title.empty()) step = 3;
    }
}

}  // namespace

void lf_pickLivery(LiveryRequest& r, const std::vector<std::string_view>& candidates) {
    const std::size_t n = candidates.size();
    if (n == 0) return;
    r.title = candidates[gf_randomIndex(n)];
    if (specialTitles.empty() || !isSpecial(r.title)) return;
    for (int redraw = 0; redraw < 4; ++redraw) {
        r.title = candidates[gf_randomIndex(n)];
        if (!isSpecial(r.title)) return;
    }
    std::vector<std::string_view> plain;
    for (auto c : candidates)
        if (!isSpecial(c)) plain.push_back(c);
    r.title = plain.empty() ? std::string_view{} : plain[gf_randomIndex(plain.size())];
}

std::string_view gf_liveryForRegistration(std::string_view registration) {
    if (registration.empty()) return {};
    for (const auto& s : gf_regSpellings(registration))
        if (auto it = regcodeTitles.find(s); it != regcodeTitles.end()) return it->second;
    return {};
}

void lf_matchLive(LiveryRequest& r) {
    // A live match always starts from nothing: a title left in a reused request would skip every step and
    // then count as a match of no step.
    r.title = {};
    int step = 0;
    if (!r.registration.empty()) {
        r.title = gf_liveryForRegistration(r.registration);
        if (!r.title.empty()) step = 1;
    }
    const int depth = matchingDepth();
    if (r.title.empty() && depth > 1) {
        if (r.airline == privateAirline) {
            lookUp(r, defaultAirlineCode, r.type);
            if (!r.title.empty()) step = 4;
        }
        airlineSteps(r, step, true, depth);
        if (r.title.empty() && depth >= 3) lf_matchFallbacks(r, step);
    }
    if (r.title.empty()) return;
    if (gf_isNotCreatedTitle(r.title)) {
        r.title = {};
        return;
    }
    ++matchStepCounts[static_cast<std::size_t>(step - 1)];
    if (logOn()) gf_log(fmt::format("          {} ={}= {}", labelOf(r), step, r.title));
    r.fsltl = r.title.find("FSLTL_") != std::string_view::npos;
    runMatchKeys.insert(fmt::format("{:3} {:4}", r.airline, r.type));
}

bool lf_matchStatic(LiveryRequest& r, std::string_view standName, bool standCargo) {
    if (!r.title.empty()) {
        if (logOn()) gf_log(fmt::format("          {} =s= {}", labelOf(r), r.title));
        return true;
    }
    int step = 0;
    if (!r.registration.empty()) {
        r.title = gf_liveryForRegistration(r.registration);
        if (!r.title.empty()) step = 1;
    }
    if (r.title.empty()) r.cargo = standCargo;
    const int depth = matchingDepth();
    if (r.title.empty() && depth > 1) {
        if (r.airline == privateAirline) {
            lookUp(r, defaultAirlineCode, r.type);
            if (!r.title.empty()) step = 4;
        }
        airlineSteps(r, step, false, depth);
        if (r.title.empty() && depth >= 3) lf_matchFallbacks(r, step);
    }
    if (!r.title.empty()) {
        if (gf_isNotCreatedTitle(r.title)) {
            r.title = {};
            return false;
        }
        if (logOn()) gf_log(fmt::format("          {} ={}= {}", labelOf(r), step, r.title));
        return true;
    }
    if (logOn()) gf_log(fmt::format("{:8}: {} no livery match ...", standName, routeLabelOf(r)));
    return false;
}

bool gf_isNotCreatedTitle(std::string_view title) {
    return std::find(notCreatedTitles.begin(), notCreatedTitles.end(), title) != notCreatedTitles.end();
}

void lf_liveryNotCreated(std::string_view callsign, std::string_view title, std::string_view type,
                         std::string_view airline) {
    if (stopRequested.load() || userClosed.load()) return;
    gf_showStatus(fmt::format("{} \"{}\" could not be created by your Sim!", callsign, title), true);
    notCreatedTitles.emplace_back(title);
    notCreatedModels.push_front(fmt::format("{} {}", type, airline));
    if (notCreatedTitles.size() >= notCreatedLimit) {
        const auto message = fmt::format("there are too many liveries that could not be created by {}!", "MSFS");
        gf_log(fmt::format("\n{}Error 81, {}\n", "===> ", message));
        throw ovk::UserErrorException(81, fmt::format("{}, see Log.txt", message));
    }
}

std::vector<std::string> gf_notCreatedLines() {
    notCreatedModels.sort();
    notCreatedModels.unique();
    std::vector<std::string> lines;
    lines.reserve(notCreatedModels.size());
    for (const auto& m : notCreatedModels) lines.push_back("  " + m);
    return lines;
}

void gf_writeMatchingSummary() {
    std::vector<std::string> lines;
    lines.reserve(256);
    lines.push_back(gf_bannerLine(64, 0, true, false, "live traffic livery matching summary"));
    lines.emplace_back("Matches at step: ");
    for (std::size_t i = 0; i < matchStepCounts.size(); ++i)
        lines.push_back(fmt::format("  {}: {}", i + 1, matchStepCounts[i]));
    auto failed = gf_notCreatedLines();
    if (!failed.empty()) {
        lines.push_back(fmt::format("\nCould not be created by {}:", "MSFS"));
        for (auto& l : failed) lines.push_back(std::move(l));
    }
    lines.push_back(gf_bannerLine(64, 36, false, true, ""));
    for (const auto& l : lines) gf_log(l);
}

void gf_logNoMatches() {
    if (noMatchKeys.empty() || !logOn()) return;
    gf_log("\nNo match found for: ");
    for (const auto& k : noMatchKeys) gf_log(k);
    gf_log("");
}

void gf_resetLiveryMatching() {
    notCreatedTitles.clear();
    notCreatedModels.clear();
    matchStepCounts.fill(0);
    noMatchKeys.clear();
    runMatchKeys.clear();
}
