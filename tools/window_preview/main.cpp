// Shows the main window with sample display values, without starting a run: for looking at the
// window (and taking a screenshot of it) on a machine without the simulator.
//
//   window_preview [--seconds N] [--error] [--appdata DIR]
//
// --seconds N closes the window after N seconds (default: stays until closed). --error shows a held
// error in the message line. --appdata DIR keeps the settings file there (else in VEXA_APPDATA when it is
// set, else in a temporary folder of the preview's own, removed at its end). Uses the FLTK backend when a
// display is there (VEXA_UI=headless forces the headless one, which only prints what it would paint).
#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "airports/parking.h"
#include "app/entry.h"
#include "app/main_window.h"
#include "app/window_proc.h"
#include "foundation/settings.h"
#include "foundation/version.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "tools/window_preview/settings_folder.h"

int main(int argc, char** argv) {
    int seconds = 0;
    bool error = false;
    std::optional<std::filesystem::path> appData;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc) {
            seconds = std::atoi(argv[++i]);
        } else if (a == "--error") {
            error = true;
        } else if (a == "--appdata" && i + 1 < argc) {
            appData = argv[++i];
        } else {
            fmt::print(stderr, "usage: window_preview [--seconds N] [--error] [--appdata DIR]\n");
            return 2;
        }
    }
    // Keep the user's own settings file out of it.
    std::optional<window_preview::SettingsFolder> settingsFolder;
    try {
        settingsFolder.emplace(appData);
    } catch (const std::filesystem::filesystem_error& e) {
        fmt::print(stderr, "window_preview: {}\n", e.what());
        return 1;
    }
    // The window as the program shows it: its controls show the settings, its notes reach the message line.
    lf_connectSubsystems();

    if (!initInstance(std::string(programShortName))) {
        fmt::print(stderr, "initInstance failed\n");
        return 1;
    }
    ui::Window* w = mainWindow.window.load();
    fmt::print("window backend: {}\n", w->backendName());

    // A run in the middle of its work.
    mainWindow.simConnected = true;
    mainWindow.flightRunning = true;
    mainWindow.simulatorText.set("KittyHawk 11.0.282174");
    mainWindow.userStandText.set("V155");
    mainWindow.userAircraftText.set("Airbus A320 Neo Asobo");
    mainWindow.liveryCount = 1873;
    mainWindow.simaddonAirportCount = 412;
    mainWindow.thirdpAirportCount = 3;
    mainWindow.feedLampOff = false;
    mainWindow.feedLoggedIn = true;
    mainWindow.feedText.set("RT professional license, 183 days left");
    mainWindow.weatherLampState = 1;
    mainWindow.trafficLampState = 2;
    mainWindow.qnh = 1018;
    mainWindow.liveCount = 57;
    currentAirport.icao = "EDDF";
    currentAirport.iata = "FRA";
    currentAirport.reservedStand = "V155";
    mainWindow.reservedStandValid = true;
    mainWindow.airportReady = true;
    mainWindow.airportSourceText.set("stock");
    // A long airport name, as the demo's Frankfurt file has it: it is cut off before "qf:".
    mainWindow.airportFileText.set("Frankfurt am Main (demo, synthetic stands)");
    mainWindow.trafficWeek = 24;
    mainWindow.qualityText.set("80");
    mainWindow.standCount = 412;
    mainWindow.parkedLiveCount = 14;
    mainWindow.parkedStaticCount = 120;
    mainWindow.wantedParkedCount = 124;
    mainWindow.parkingPercentageShown = 30;
    mainWindow.liveParkFigure = 2.5f;
    mainWindow.staticParkFigure = 3.0f;
    mainWindow.updateCount = 8;
    // The fields as the run start-up shows them.
    for (const GuiIntParameter* p : {&AI_PACKAGE_ORDER, &MATCHING_DEPTH, &LATERAL_RANGE, &AUTO_RANGE_ABOVE_HEIGHT,
                                     &TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS, &CUSTOM_MAX_PARK, &MAX_LIVE,
                                     &AIRPORT_RANGE, &AIRPORT_HEIGHT, &parking_percentage}) {
        gf_showIntField(*p);
        gf_enableControl(p->controlId, true);
    }
    gf_showFloatField(MAX_FIT_FL);
    gf_enableControl(MAX_FIT_FL.controlId, true);
    DESTINATION.set("EDDF");
    gf_showTextField(DESTINATION);
    gf_enableControl(DESTINATION.controlId, true);
    gf_enableControl(BLOCK_CALLSIGN.controlId, true);
    gf_enableControl(kFlushStaticButtonId, true);
    if (error)
        gf_showError("150: No Community folder found, type its path into the install path field");
    else
        gf_showStatus("Vexa will respond in 15 seconds ...", false);
    mainWindow.invalidate();

    std::atomic<bool> done{false};
    std::thread closer;
    if (seconds > 0) {
        closer = std::thread([&] {
            for (int i = 0; i < seconds * 20 && !done.load(); ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            if (ui::Window* win = mainWindow.window.load()) win->quit(0);
        });
    }
    // The close button ends the preview (there is no run to close down).
    gf_setStartRunAction([] {});
    if (auto* headless = gf_headlessWindow()) {
        for (const auto& op : headless->paint())
            if (op.kind == ui::PaintOp::Kind::text) fmt::print("text ({}, {}) {}\n", op.x(), op.y(), op.text);
        w->quit(0);
    }
    int code = 0;
    std::thread watcher([&] {
        while (!done.load()) {
            if (userClosed.load() != 0) {
                if (ui::Window* win = mainWindow.window.load()) win->quit(0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    code = gf_runMessageLoop();
    done = true;
    watcher.join();
    if (closer.joinable()) closer.join();
    gf_destroyMainWindow();
    return code;
}
