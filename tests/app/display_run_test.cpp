// The window's display model as the program's own writers leave it: a headless run against the stand-ins,
// laid out as scripts/demo lays it out (the demo's simulator scenario with the user parked at Frankfurt, the
// demo's traffic on the stand-in web service, its download server, aircraft packages and park-airport list).
// The run scans the liveries, reaches the park airport and plans it; the test then reads the display fields and
// the painted statistics and status panels. A restart follows, whose run keeps the livery database and must
// show its count again. Nothing here sets a display value: a value that stays at its default is a finding.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/addon_scan.h"
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
#include "catalogue/reference_db.h"
#include "engine/engine_state.h"
#include "foundation/settings.h"
#include "parking/park_airport.h"
#include "platform/sim/stand_in.h"
#include "platform/ui/ui.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "simlink/commands.h"
#include "tests/app/hook_defaults.h"
#include "tests/app/run_fixture.h"
#include "tests/common/sandbox.h"
#include "tools/rtstub/rt_stub.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const fs::path demoDir = fs::path(VEXA_SOURCE_DIR) / "demo";

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

class DisplayRun : public ::testing::Test {
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
        mainWindow.resetRunFields();
        // What the run found and planned stays with the program, not with the next test.
        gf_resetAddonAirportScan();
        gf_resetAirports();
        gf_resetParking();
        gf_resetParkAirportSight();
        gf_resetEngineState();
        gf_resetSimLink();
        sandbox_.reset();
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

    std::optional<Sandbox> sandbox_;
    rtstub::Server stub_;
    std::shared_ptr<vsim::StandIn> sim_;
    ui::HeadlessWindow* window_ = nullptr;
    fs::path packages_;
    bool runStarted_ = false;
};

TEST_F(DisplayRun, ParkAirportAndLiveryCountAreShownFromTheirWriters) {
    const std::size_t demoLiveries = countOf(readWholeFile(demoDir / "catalogue" / "LiveriesScanned.xml"), "<liv ");
    ASSERT_GT(demoLiveries, 0u);

    startTheProgram();
    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();

    // Status panel: the livery count of the scan of the simulator's Community folder.
    EXPECT_EQ(mainWindow.liveryCount.load(), demoLiveries);
    EXPECT_EQ(paintedAt(5, 91), fmt::format("# liveries: {}", demoLiveries));

    // Statistics panel: the park airport, the airport file's publisher, airport name and traffic week, the
    // stands, the reserved stand (the user's, from the park-airport list) and the wanted count of the plan.
    const CurrentAirport airport = gf_currentAirportCopy();
    ASSERT_EQ(airport.icao, "EDDF");
    const int row1 = mainWindow.statisticsRow.load();
    const int row2 = row1 + 28;
    EXPECT_EQ(paintedAt(5, row1), gf_parkAirportText(airport));
    EXPECT_EQ(paintedAt(85, row1), " stock, Frankfurt am Main (demo, synthetic stands), wk=24");
    EXPECT_EQ(mainWindow.standCount.load(), 46u);
    EXPECT_EQ(paintedAt(5, row2), "# stands:  46");
    EXPECT_EQ(airport.reservedStand, "E3");
    EXPECT_TRUE(mainWindow.reservedStandValid.load());
    EXPECT_EQ(paintedAt(571, row1), "reserved stand: E3");
    // 30 % of 46 stands, rounded.
    EXPECT_EQ(mainWindow.wantedParkedCount.load(), 14);
    EXPECT_EQ(mainWindow.parkingPercentageShown.load(), 30);
    EXPECT_EQ(paintedAt(708, row2), "max park:  14 (=30 %)");
    EXPECT_FALSE(mainWindow.qualityText.empty());
    EXPECT_TRUE(window_->enabled(kFlushStaticButtonId)) << "a park airport's file was read";

    // A restart: the reset empties the window; the next run keeps the livery database (no scan, the build
    // skipped) and shows its count again.
    gf_requestStop(EXIT_NEW_SETTINGS, 1);
    ASSERT_TRUE(pumpUntil([this] { return logText().find("Restarting after 1 seconds") != std::string::npos; }, 120s))
        << logTail();
    ASSERT_TRUE(pumpUntil(
        [this] {
            return countOf(logText(), "Processing scanned liveries skipped; already done in previous start-up") > 0;
        },
        120s))
        << logTail();
    EXPECT_FALSE(SCAN_LIVERIES.value.load());
    ASSERT_TRUE(pumpUntil([] { return mainWindow.liveryCount.load() > 0; }, 60s));
    EXPECT_EQ(mainWindow.liveryCount.load(), demoLiveries);
    EXPECT_EQ(paintedAt(5, 91), fmt::format("# liveries: {}", demoLiveries));

    // The second run reaches the park airport again; the parking controls agree with the lock after the
    // restart.
    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();
    EXPECT_TRUE(window_->enabled(RT_PARKTRAFFIC_ONLY.controlId));
    EXPECT_EQ(mainWindow.liveryCount.load(), demoLiveries);
    EXPECT_EQ(paintedAt(85, row1), " stock, Frankfurt am Main (demo, synthetic stands), wk=24");
}

// The add-on airport scan of the run's preparation finds the demo's add-on airport package (demo/community) and
// the settings panel says so beside "Scan for addon airports".
TEST_F(DisplayRun, AddonAirportCountFromTheScan) {
    startTheProgram();
    ASSERT_TRUE(pumpUntil([] { return mainWindow.feedLoggedIn.load(); })) << logTail();
    EXPECT_EQ(addonAirportsFound.load(), 1);
    EXPECT_EQ(paintedAt(217, static_cast<int>(SCAN_AIRPORTS.rowY)), "1 airport in TBLO folder");
}

}  // namespace
