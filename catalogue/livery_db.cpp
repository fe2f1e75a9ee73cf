#include "catalogue/livery_db.h"

TextMap<TypeEntries> liveryCatalogue;
std::array<TextMap<TypeTitles>, 2> airlineLiveries;
std::array<TypeTitles, 2> modelLiveries;
std::vector<std::string> installedLightModels;
std::vector<std::string> installedBuzjetModels;
std::vector<std::string> installedRotorcraftModels;
std::atomic<bool> liveriesProcessed{false};

void lf_processLiveries() {}
void gf_clearLiveryDatabase() {}
void lf_carryOutLiveryClear() {}
bool gf_liveryClearPending() { return false; }
void gf_reserveLiveryContainers() {}
std::string_view gf_catalogueTitle(std::string_view) { return {}; }
bool gf_catalogueHasAirlineModel(std::string_view, std::string_view) { return false; }
bool gf_hasLiveryForModel(std::string_view) { return false; }
std::vector<std::string> gf_catalogueAirlinePrefixes() { return {}; }
void gf_resetLiveryDatabase() {}
