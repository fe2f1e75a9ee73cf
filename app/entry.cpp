#include "app/entry.h"

#include "app/airport_hooks.h"
#include "app/main_window.h"
#include "app/run_life_cycle.h"
#include "app/run_preparation.h"
#include "feed/parked_traffic.h"
#include "foundation/log.h"
#include "foundation/version.h"
#include "platform/os/os.h"
#include "shell/display.h"
#include "shell/status_line.h"
#include "simlink/commands.h"

#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <system_error>

namespace {
// The hooks through which lower subsystems reach higher ones.
void lf_connectSubsystems() { gf_setUserStandSource(&gf_standAtUserPosition); }
}  // namespace

int wWinMain() {
    lf_connectSubsystems();
    // The lock is held for the life of the process; the system releases it when the process ends.
    if (!os::acquireSingleInstance(singleInstanceName)) return -1;
    programVersion = vexaVersion;
    lf_openProgramLog();
    return lf_runApplication();
}

void lf_openProgramLog() {
    try {
        gf_openLog();
    } catch (const std::exception& e) {
        // Without a log the program still runs and its writers stay silent, but the user is told.
        const std::string text = fmt::format("No log file: {}", e.what());
        std::cerr << text << std::endl;
        gf_showStatus(text, false);
    }
}

int lf_runApplication() {
    const std::string title(programShortName);
    if (!initInstance(title)) {
        gf_log("initInstance failed");
        return 0;
    }
    if (const auto appData = os::appDataFolder()) {
        std::error_code error;
        std::filesystem::create_directories(*appData / title, error);
        if (error) gf_log(fmt::format("Failed to create directory: {}", error.message()));
    } else {
        gf_log("Failed to create directory: no application-data folder");
    }
    gf_registerAirportHooks();
    if (mainWindow.window.load() != nullptr) gf_postWindowMessage(kMsgStartRun);
    const int code = gf_runMessageLoop();
    // The last run has closed down: its thread ends at once, and the simulator thread was asked to stop.
    gf_joinRunThread();
    if (simConnectThread.joinable()) {
        simConnectThread.request_stop();
        simConnectThread.join();
    }
    return code;
}
