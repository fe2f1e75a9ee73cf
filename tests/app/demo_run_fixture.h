#pragma once
// A headless run of the whole program against the stand-ins, laid out as scripts/demo lays it out: the demo's
// simulator scenario with the user parked at Frankfurt, the demo's traffic on the stand-in web service, its
// download server, aircraft packages and park-airport list. The GUI thread's part is the test's: it pumps the
// window's messages until a condition holds.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/addon_scan.h"
#include "airports/airport_ui.h"
#include "airports/airports.h"
#include "airports/current_airport.h"
#include "airports/parking.h"
#include "app/entry.h"
#include "app/main_window.h"
#include "app/run_life_cycle.h"
#include "app/run_preparation.h"
#include "app/run_services.h"
#include "app/window_proc.h"
#include "catalogue/livery_db.h"
#include "catalogue/livery_matching.h"
#include "catalogue/livery_scan.h"
#include "catalogue/reference_db.h"
#include "engine/engine_state.h"
#include "feed/parked_traffic.h"
#include "feed/readers.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "parking/park_airport.h"
#include "parking/planner.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/ui.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "simlink/commands.h"
#include "simlink/user_aircraft.h"
#include "tests/app/hook_defaults.h"
#include "tests/app/run_fixture.h"
#include "tests/common/sandbox.h"
#include "tools/rtstub/rt_stub.h"

namespace demorun {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline const fs::path demoDir = fs::path(VEXA_SOURCE_DIR) / "demo";

inline std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// A derived fixture may add settings (in its constructor, before SetUp writes them) and change the stand-in's
// scenario before the program starts.
class DemoRun : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox_.emplace();
        layOutTheDemo();
        stub_.loadScenarioFile((demoDir / "traffic.json").string());
        stub_.start();
        sandbox_->setEnv("VEXA_API_URL", stub_.baseUrl());
        sandbox_->setEnv("VEXA_DOWNLOAD_URL", "file://" + (demoDir / "downloads").string() + "/");
        sim_ = vsim::StandIn::install(vsim::StandIn::configFromScenario((demoDir / "simulator.json").string()));

        resetRunState();
        resetSharedRunValues();
        gf_resetRunServices();
        gf_resetWindowProc();
        mainWindow.resetRunFields();
        gf_resetLiveryDatabase();
        gf_resetReferenceDatabase();
        databaseLoaded = false;
        lf_connectSubsystems();
        ASSERT_TRUE(initInstance("Vexa", ui::Backend::headless));
        window_ = gf_headlessWindow();
        ASSERT_NE(window_, nullptr);
    }

    void TearDown() override {
        if (runStarted_) endTheRun();
        // The closing down only asked the simulator thread to stop; it ends before the state it touches is reset.
        if (simConnectThread.joinable()) {
            simConnectThread.request_stop();
            simConnectThread.join();
        }
        gf_destroyMainWindow();
        gf_putHooksBackToDefaults();
        stub_.stop();
        vsim::StandIn::uninstall();
        gf_resetLiveryDatabase();
        gf_resetReferenceDatabase();
        databaseLoaded = false;
        gf_resetRunServices();
        resetRunState();
        resetSharedRunValues();
        mainWindow.resetRunFields();
        gf_setCurrentAirport(CurrentAirport{});
        sandbox_.reset();
    }

    // What a program's runs keep for its life (the feed's time, the airport list, the park airports, the engine's
    // and the planner's aircraft with their views into the livery database) goes with the program: each test
    // starts a new one, also after the other tests of its program.
    static void resetSharedRunValues() {
        gf_resetFeed();
        timeShifted.store(0);
        weekSlot.store(WeekSlot{}.packed());
        gf_resetEngineState();
        gf_resetParkAirportSight();
        gf_resetLiveryMatching();
        gf_resetAirports();
        gf_resetParking();
        gf_resetAddonAirportScan();
        gf_resetSimLink();
        previousPosition = LatLon{};  // the user's last position: the next program's first is no teleport
    }

    // The program folder, the simulator's packages folder and the settings file, as scripts/demo makes them.
    void layOutTheDemo() {
        const fs::path program = sandbox_->program();
        for (const char* sub : {"docs", "output", "input", "airports"}) fs::create_directories(program / sub);
        std::ofstream(program / "docs" / "README.txt") << "Vexa demo program folder\n";
        fs::copy_file(demoDir / "downloads" / "airports_msfs.xml", program / "input" / "airports_msfs.xml");
        if (fs::exists(demoDir / "downloads" / "airports_msfs_names.xml"))
            fs::copy_file(demoDir / "downloads" / "airports_msfs_names.xml",
                          program / "input" / "airports_msfs_names.xml");
        fs::copy_file(demoDir / "RealTraffic.lic", program / "RealTraffic.lic");
        fs::copy_file(demoDir / "airports" / "my_park_airports.txt", program / "airports" / "my_park_airports.txt");

        packages_ = sandbox_->root() / "msfs" / "Packages";
        for (const char* sub : {"Community", "Official/OneStore", "Official2024"})
            fs::create_directories(packages_ / sub);
        fs::copy(demoDir / "packages", packages_ / "Community", fs::copy_options::recursive);
        fs::copy(demoDir / "community", packages_ / "Community", fs::copy_options::recursive);

        fs::create_directories(sandbox_->appData() / "Vexa");
        std::ofstream settings(sandbox_->appData() / "Vexa" / "parameters.xml");
        settings << "<?xml version=\"1.0\"?>\n<parameters>\n";
        for (const auto& [name, value] :
             std::vector<std::pair<std::string, std::string>>{{"MSFS_2020", "true"},
                                                              {"MSFS_INSTALL_PATH", packages_.string()},
                                                              {"SCAN_LIVERIES", "true"},
                                                              {"SCAN_AIRPORTS", "true"},
                                                              {"AUTO_RANGE", "false"},
                                                              {"LATERAL_RANGE", "40"},
                                                              {"MAX_LIVE", "-1"},
                                                              {"LOG", "true"},
                                                              {"ALWAYS_ON_TOP", "false"}})
            settings << "  <parameter name=\"" << name << "\" value=\"" << value << "\" />\n";
        for (const auto& [name, value] : extraSettings_)
            settings << "  <parameter name=\"" << name << "\" value=\"" << value << "\" />\n";
        settings << "</parameters>\n";
    }

    // The GUI thread's part: delivers the window's posted messages (a run's start, the quit) until the
    // condition holds; false after the time limit.
    bool pumpUntil(const std::function<bool()>& condition, std::chrono::seconds limit = 180s) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!condition()) {
            window_->pump();
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    void startTheProgram() {
        runStarted_ = true;
        gf_postWindowMessage(kMsgStartRun);
        window_->pump();
    }

    // The user closes the window; the run closes down and the quit message ends the program.
    void endTheRun() {
        runStarted_ = false;
        window_->close();
        pumpUntil([] { return quitSeen(); }, 120s);
        gf_joinRunThread();
    }
    static bool quitSeen() { return !gf_logIsOpen(); }

    // The park airport's plan is made and all its static aircraft are placed: the parking controls were locked
    // for the placement and are released again.
    std::function<bool()> parkAirportPlanned() {
        return [this, locked = false]() mutable {
            if (!mainWindow.airportReady.load() || mainWindow.wantedParkedCount.load() <= 0) return false;
            if (uiBusy.load() != 0) locked = true;
            return locked && uiBusy.load() == 0;
        };
    }
    std::string logTail() const {
        const std::string all = logText();
        return all.size() > 6000 ? all.substr(all.size() - 6000) : all;
    }

    std::vector<ui::PaintOp> paintedTexts() {
        std::vector<ui::PaintOp> out;
        for (const ui::PaintOp& op : window_->paint())
            if (op.kind == ui::PaintOp::Kind::text) out.push_back(op);
        return out;
    }
    std::optional<std::string> paintedAt(int x, int y) {
        for (const ui::PaintOp& op : paintedTexts())
            if (op.x() == x && op.y() == y) return op.text;
        return std::nullopt;
    }

    std::string logText() const { return readWholeFile(sandbox_->logPath()); }

    std::vector<std::pair<std::string, std::string>> extraSettings_;
    std::optional<Sandbox> sandbox_;
    rtstub::Server stub_;
    std::shared_ptr<vsim::StandIn> sim_;
    ui::HeadlessWindow* window_ = nullptr;
    fs::path packages_;
    bool runStarted_ = false;
};

}  // namespace demorun
