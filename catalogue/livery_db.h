#pragma once
// The livery database: the in-memory index of installed liveries that livery matching searches,
// built once per process from the scan cache. liveryCatalogue owns every title text; all other
// containers (and the engine's create requests) hold string views into it, valid until the
// database is cleared. A clear asked for from the window is only recorded and carried out at the
// start of the next run, after the old run has ended, so views handed out stay valid for a run.
#include <array>
#include <atomic>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/string_keys.h"

struct LiveryEntry {
    std::string title;
    bool cargo = false;
};

inline constexpr std::string_view defaultAirlineCode = "ZZZ";

using TypeEntries = TextMap<std::vector<LiveryEntry>>;
using TypeTitles = TextMap<std::vector<std::string_view>>;

extern TextMap<TypeEntries> liveryCatalogue;                // airline -> type -> entries
extern std::array<TextMap<TypeTitles>, 2> airlineLiveries;  // [0 pax, 1 cargo] airline -> type -> titles
extern std::array<TypeTitles, 2> modelLiveries;             // [0 pax, 1 cargo] type -> titles
extern std::vector<std::string> installedLightModels;
extern std::vector<std::string> installedBuzjetModels;
extern std::vector<std::string> installedRotorcraftModels;
// Set when the database has been built in this process; a build is skipped while it is set. The
// window's commands clear it (with gf_clearLiveryDatabase) so that the next run builds again.
extern std::atomic<bool> liveriesProcessed;

// Builds the database from the scan cache (skipped while liveriesProcessed is set).
void lf_processLiveries();
// Asks for the database to be emptied. Safe from the GUI thread while a run reads the database:
// the containers are emptied at the start of the next run (lf_carryOutLiveryClear).
void gf_clearLiveryDatabase();
// Empties the containers now when a clear was asked for; called on the run thread at run start.
void lf_carryOutLiveryClear();
bool gf_liveryClearPending();
void gf_reserveLiveryContainers();
std::string_view gf_catalogueTitle(std::string_view title);
bool gf_catalogueHasAirlineModel(std::string_view airline, std::string_view type);
bool gf_hasLiveryForModel(std::string_view type);
std::vector<std::string> gf_catalogueAirlinePrefixes();

// Empties every container at once and clears liveriesProcessed and the reservation flag (tests).
void gf_resetLiveryDatabase();
