#include "app/entry.h"

#include "app/airport_hooks.h"
#include "app/install_detection.h"
#include "app/main_window.h"
#include "app/run_life_cycle.h"
#include "app/run_preparation.h"
#include "app/window_proc.h"
#include "catalogue/livery_scan.h"
#include "feed/parked_traffic.h"
#include "foundation/log.h"
#include "foundation/version.h"
#include "platform/os/os.h"
#include "shell/display.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "simlink/commands.h"

#include <fmt/format.h>

#include <filesystem>
#include <iostream>
#include <system_error>

void lf_connectSubsystems() {
    // The log's status lines fall silent once a stop is under way.
    gf_setStopTest(&gf_stopUnderWay);
    // The foundation's notes go to the message line.
    gf_setStatusWriter(&gf_showStatus);
    // The settings loader shows each value it reads in the setting's control (nothing before the window exists).
    gf_registerSettingsControlHooks();
    // Parked traffic leaves the stand under the user aircraft free.
    gf_setUserStandSource(&gf_standAtUserPosition);
    // A learned AUTO_RANGE takes over the traffic range; "Flush static" once a park airport's file is read.
    gf_registerAirportHooks();
    // The parking controls are locked while static aircraft are planned and placed.
    gf_registerPlannerHooks();
    // The livery scan's automatic roots lie in the Community folder of the simulator in use (read at each scan,
    // so that a new install path or simulator applies to the next run).
    gf_setCommunityFolderSource([] { return gf_officialPath("Community"); });
}

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
