// The commands of the check boxes and push buttons of the settings panel (GUI thread). A check box
// first toggles its setting and saves it; then its follow-up runs. Work on what the run thread owns is
// handed over as a request (app/window_requests.h); a command that needs a new run raises the stop with
// "NEW SETTINGS", and a stop already pending keeps its reason.
#include <fmt/format.h>

#include <filesystem>
#include <system_error>
#include <vector>

#include "airports/airports.h"
#include "airports/parking.h"
#include "app/edit_fields.h"
#include "app/run_preparation.h"
#include "app/window_proc.h"
#include "app/window_requests.h"
#include "catalogue/livery_cache.h"
#include "catalogue/livery_db.h"
#include "foundation/settings.h"
#include "foundation/version.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

namespace {

void invalidateSettings() { mainWindow.invalidate(panel::settings); }

// A note for one state of a check box, the line cleared for the other.
void noteWhen(bool show, std::string_view text) {
    if (show)
        gf_showStatus(text, false);
    else
        gf_clearStatus();
}

// The next run builds the livery database anew (a scan or a new simulator).
void forgetLiveries() {
    gf_clearLiveryDatabase();
    liveriesProcessed.store(false);
}

// --- push buttons -------------------------------------------------------------------------------

void unblockButton(bool) {
    if (!BLOCK_CALLSIGN.value().empty())
        gf_unblockCallsign();
    else
        gf_showStatus("Nothing to block or unblock...", false);
}

void rereadButton(bool) {
    reReadRequested.exchange(1);
    gf_enableControl(kRereadButtonId, false);
    gf_enableControl(DESTINATION.controlId, false);
}

void flushStaticButton(bool) {
    gf_showStatus("All static parked aircraft will be removed ...", false);
    flushStaticRequested.exchange(1);
    gf_enableControl(kFlushStaticButtonId, false);
}

// --- check boxes --------------------------------------------------------------------------------

void parkTrafficOnly(bool on) {
    gf_enablePtControls();
    airportFileChanged.store(1);
    renewalPtOnly.exchange(on ? 1 : 0);
    gf_requestParkingRenewal();
    mainWindow.invalidate(panel::statistics);
}

void nothingMore(bool) {}

void simTime(bool) { lf_applySimTimeSetting(); }

void navLights(bool on) { gf_requestNavLights(on); }

void autoRange(bool on) {
    airportFileChanged.store(1);
    gf_enableControl(LATERAL_RANGE.controlId, !on);
    gf_enableControl(AUTO_RANGE_ABOVE_HEIGHT.controlId, on);
    if (on) {
        manualLateralRange.store(LATERAL_RANGE.value.load());
        // The radius follows the user aircraft and the park airports, which the run thread owns.
        gf_requestAutoRange();
        return;
    }
    // A computation still waiting for the run thread is taken back; one already running writes nothing once
    // the range is restored here (it checks AUTO_RANGE again under the range lock).
    gf_cancelAutoRange();
    gf_restoreManualRange();
    gf_clearStatus();
}

void switchSimulator(bool on2020) {
    const fs::path cache = gf_liveryCachePath();
    std::error_code error;
    if (fs::exists(cache, error)) {
        fs::remove(cache, error);
        if (error) throw fs::filesystem_error("remove", cache, error);
    }
    forgetLiveries();
    gf_resetAddonAirportScan();
    for (BoolParameter* scan : {&SCAN_AIRPORTS, &SCAN_LIVERIES}) {
        scan->save(true);
        gf_setCheck(scan->controlId, true);
    }
    gf_showStatus(fmt::format("Switching Simulator to {}", on2020 ? "MSFS 2020" : "MSFS 2024"), true);
    ALL_INSTALL_PATH.set(std::string());
    gf_clearField(ALL_INSTALL_PATH.controlId);
    // An empty version makes the next program start install the 2024 add-on package anew.
    if (!on2020) REZEVAVEDI24_VERSION.save(std::string());
    gf_requestStop(EXIT_NEW_SETTINGS, 3);
}

// A scan switched on: before the simulator connection of the run opened, the run restarts and scans;
// afterwards the scan waits for the next start of the program. Off: the note goes.
void scanSwitched(bool on, std::string_view scanNow, std::string_view afterWhat, void (*beforeRestart)()) {
    if (!on) {
        gf_clearStatus();
        return;
    }
    if (simNotYetOpened.load() != 0) {
        beforeRestart();
        gf_showStatus(scanNow, true);
        gf_requestStop(EXIT_NEW_SETTINGS, 2);
        return;
    }
    gf_showStatus(fmt::format("{} at the next start of {}, recommended after you have add/removed {}", scanNow,
                              programShortName, afterWhat),
                  false);
}

void scanLiveries(bool on) {
    scanSwitched(on, "Your liveries will be scanned", "AI aircraft models/liveries", forgetLiveries);
}

void scanAirports(bool on) {
    scanSwitched(on, "Your airports will be scanned", "airports", [] {});
}

void ligAutomatic(bool on) {
    noteWhen(!on, "The liveries defined by your lfolder parameters will be scanned");
    gf_enableControl(AI_PACKAGE_ORDER.controlId, on);
}

void ligPrioritize(bool on) { noteWhen(on, "Liveries in lower lfolders that are already available will be skipped"); }

void parkingSetting(bool) { gf_requestParkingRenewal(); }

void initialLoadOnly(bool on) {
    noteWhen(on, "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes");
    invalidateSettings();
    if (parkingActive.load() != 0) airportFileChanged.store(1);
}

void collisionLiveParked(bool on) {
    noteWhen(!on, "Be aware, no collision avoidance with live aircraft vs parked static on the ground");
}
void collisionUserGround(bool on) {
    noteWhen(!on, "Be aware, no collision avoidance with user aircraft on the ground");
}
void collisionUserAir(bool on) { noteWhen(!on, "Be aware, no collision avoidance with user aircraft in the air"); }

void suppressStub(bool on) { noteWhen(on, "Exclude FSLTL-liveries titles ending with _STUB from scan"); }

void alwaysOnTop(bool on) {
    if (on)
        gf_showStatus(fmt::format("{}'s window will remain visible", programShortName), false);
    else
        gf_clearStatus();
    if (ui::Window* w = mainWindow.window.load()) w->setTopMost(on);
}

void learnSoft(bool) {
    if (parkingActive.load() != 0) airportFileChanged.store(1);
}

void guidChanges(bool on) {
    noteWhen(!on, "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!");
}

struct Command {
    int id;
    BoolParameter* flag;        // the check box's setting; null for a push button
    void (*followUp)(bool on);  // after the toggle and save; a button gets false
};

const std::vector<Command>& commandTable() {
    static const std::vector<Command> table = {
        {kUnblockButtonId, nullptr, unblockButton},
        {kRereadButtonId, nullptr, rereadButton},
        {kFlushStaticButtonId, nullptr, flushStaticButton},
        {RT_PARKTRAFFIC_ONLY.controlId, &RT_PARKTRAFFIC_ONLY, parkTrafficOnly},
        {KEEP_SIM_TIME_PAR.controlId, &KEEP_SIM_TIME_PAR, nothingMore},
        {SIM_TIME.controlId, &SIM_TIME, simTime},
        {NAV_LIGHTS_WHILE_PARKED.controlId, &NAV_LIGHTS_WHILE_PARKED, navLights},
        {AUTO_RANGE.controlId, &AUTO_RANGE, autoRange},
        {MSFS_2020.controlId, &MSFS_2020, switchSimulator},
        {CALLSIGN_OBJECTIDS.controlId, &CALLSIGN_OBJECTIDS, nothingMore},
        {SCAN_LIVERIES.controlId, &SCAN_LIVERIES, scanLiveries},
        {SCAN_AIRPORTS.controlId, &SCAN_AIRPORTS, scanAirports},
        {LIG_AUTOMATIC.controlId, &LIG_AUTOMATIC, ligAutomatic},
        {LIG_PRIORITIZE.controlId, &LIG_PRIORITIZE, ligPrioritize},
        {PARK_SOFT.controlId, &PARK_SOFT, parkingSetting},
        {PARK_FAKE.controlId, &PARK_FAKE, parkingSetting},
        {WEEK.controlId, &WEEK, parkingSetting},
        {INITIAL_LOAD_ONLY.controlId, &INITIAL_LOAD_ONLY, initialLoadOnly},
        {COLLISION_LIVE_PARKED_GND.controlId, &COLLISION_LIVE_PARKED_GND, collisionLiveParked},
        {COLLISION_USER_GND.controlId, &COLLISION_USER_GND, collisionUserGround},
        {COLLISION_USER_AIR.controlId, &COLLISION_USER_AIR, collisionUserAir},
        {SUPPRESS_STUB.controlId, &SUPPRESS_STUB, suppressStub},
        {LOG.controlId, &LOG, nothingMore},
        {LIGHT_AIRCRAFT.controlId, &LIGHT_AIRCRAFT, nothingMore},
        {HELICOPTERS.controlId, &HELICOPTERS, nothingMore},
        {HIGH_PERF_AIRCRAFT.controlId, &HIGH_PERF_AIRCRAFT, nothingMore},
        {ALWAYS_ON_TOP.controlId, &ALWAYS_ON_TOP, alwaysOnTop},
        {STRAIGHT_PBS_ONLY.controlId, &STRAIGHT_PBS_ONLY, nothingMore},
        {LEARN_SOFT.controlId, &LEARN_SOFT, learnSoft},
        {GUID_CHANGES.controlId, &GUID_CHANGES, guidChanges},
    };
    return table;
}

}  // namespace

bool lf_HandleWMCOMMAND(int controlId) {
    for (const Command& command : commandTable()) {
        if (command.id != controlId) continue;
        bool on = false;
        if (command.flag != nullptr) {
            gf_onParameterCheckBox(controlId, *command.flag);
            on = command.flag->value.load();
        }
        // The settings panel is repainted also when a follow-up ends in an exception.
        struct Repaint {
            ~Repaint() { invalidateSettings(); }
        } repaint;
        command.followUp(on);
        return true;
    }
    return false;
}
