#include "catalogue/livery_matching.h"

std::vector<std::string> notCreatedTitles;
std::list<std::string> notCreatedModels;
std::array<std::uint32_t, 6> matchStepCounts{};
std::set<std::string, std::less<>> noMatchKeys;
TextSet runMatchKeys;

// No livery database yet: nothing matches.
void gf_matchLivery(SimAircraft&) {}
bool gf_matchStaticLivery(SimAircraft&, const ParkPos&) { return false; }
std::string_view gf_liveryForRegistration(std::string_view) { return {}; }
void gf_liveryNotCreated(const SimAircraft&) {}
bool gf_isNotCreatedTitle(std::string_view title) {
    for (const auto& t : notCreatedTitles)
        if (t == title) return true;
    return false;
}
std::vector<std::string> gf_notCreatedLines() { return {}; }
void gf_writeMatchingSummary() {}
void gf_logNoMatches() {}
void lf_matchLive(LiveryRequest&) {}
bool lf_matchStatic(LiveryRequest&, std::string_view, bool) { return false; }
void lf_liveryNotCreated(std::string_view, std::string_view, std::string_view, std::string_view) {}
void lf_pickLivery(LiveryRequest&, const std::vector<std::string_view>&) {}
void gf_resetLiveryMatching() {
    notCreatedTitles.clear();
    notCreatedModels.clear();
    matchStepCounts.fill(0);
    noMatchKeys.clear();
    runMatchKeys.clear();
}
