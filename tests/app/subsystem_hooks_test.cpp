// The hooks that the lower subsystems own and the application registers in one place at start-up
// (lf_connectSubsystems). Each test puts every hook back to its default, runs the registration and drives the
// lower subsystem's own call: a registration missing from that place shows here, since each default does less
// than the real function (no stand kept free, no range, no lock, no Community folder, no note on the message
// line, no silent log while stopping, no value in a control).
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "airports/airport_ui.h"
#include "airports/current_airport.h"
#include "airports/stands.h"
#include "app/entry.h"
#include "catalogue/livery_db.h"
#include "catalogue/livery_scan.h"
#include "catalogue/reference_db.h"
#include "feed/parked_traffic.h"
#include "feed/readers.h"
#include "parking/planner.h"
#include "platform/sim/stand_in.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"
#include "tests/app/commands_fixture.h"
#include "tests/app/hook_defaults.h"

namespace {

namespace fs = std::filesystem;

class SubsystemHooks : public CommandsFixture {
protected:
    void SetUp() override {
        CommandsFixture::SetUp();
        gf_putHooksBackToDefaults();
    }
    void TearDown() override {
        gf_putHooksBackToDefaults();
        CommandsFixture::TearDown();
    }
};

// The planner locks the parking controls while it plans and places, releases them when all are placed, keeps
// the parking-traffic-only dependants off, and disables the controls that need a park airport when it is left.
TEST_F(SubsystemHooks, PlannerLocksAndReleasesTheParkingControls) {
    lf_connectSubsystems();
    for (int id : {static_cast<int>(CUSTOM_MAX_PARK.controlId), static_cast<int>(parking_percentage.controlId),
                   kFlushStaticButtonId, kRereadButtonId})
        gf_enableControl(id, true);

    gf_plannerHooks().disableParkingControls();
    EXPECT_EQ(uiBusy.load(), 1);
    EXPECT_FALSE(window->enabled(RT_PARKTRAFFIC_ONLY.controlId));
    EXPECT_FALSE(window->enabled(CUSTOM_MAX_PARK.controlId));

    gf_plannerHooks().enableParkingControls();
    EXPECT_EQ(uiBusy.load(), 0);
    EXPECT_TRUE(window->enabled(RT_PARKTRAFFIC_ONLY.controlId));
    EXPECT_TRUE(window->enabled(kFlushStaticButtonId));

    RT_PARKTRAFFIC_ONLY.value = true;
    gf_plannerHooks().enablePtControls();
    EXPECT_FALSE(window->enabled(WEEK.controlId));
    RT_PARKTRAFFIC_ONLY.value = false;

    gf_plannerHooks().disableAirportControls();
    EXPECT_FALSE(window->enabled(kFlushStaticButtonId));
    EXPECT_FALSE(window->enabled(parking_percentage.controlId));
}

// The airport file's hooks: "Flush static" once a file is read; a learned AUTO_RANGE takes the range over and
// gives the hand-set range back when it is switched off again.
TEST_F(SubsystemHooks, AirportFileEnablesFlushStaticAndAppliesALearnedAutoRange) {
    lf_connectSubsystems();
    gf_enableControl(kFlushStaticButtonId, false);
    gf_apfEnableFlushStatic();
    EXPECT_TRUE(window->enabled(kFlushStaticButtonId));

    gf_setRange(25);
    gf_enableControl(LATERAL_RANGE.controlId, true);
    userOnGround.store(1);
    AUTO_RANGE.value = true;
    gf_apfApplyAutoRange(true);
    EXPECT_EQ(manualLateralRange.load(), 25);
    EXPECT_EQ(LATERAL_RANGE.value.load(), 10) << "on the ground";
    EXPECT_EQ(window->text(LATERAL_RANGE.controlId), "10");
    EXPECT_FALSE(window->enabled(LATERAL_RANGE.controlId));

    AUTO_RANGE.value = false;
    gf_apfApplyAutoRange(false);
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25);
    EXPECT_DOUBLE_EQ(rangeNm.load(), 25.0);
    EXPECT_TRUE(window->enabled(LATERAL_RANGE.controlId));
    userOnGround.store(0);
}

// The livery scan looks for the AI packages in the Community folder of the simulator's install path.
TEST_F(SubsystemHooks, LiveryScanLooksInTheSimulatorsCommunityFolder) {
    const fs::path previous = fs::current_path();
    fs::create_directories(folder / "program" / "output");
    fs::current_path(folder / "program");
    const fs::path packages = folder / "sim" / "Packages";
    fs::create_directories(packages / "Community" / "aig-aitraffic-oci-test");
    MSFS_2020.value = true;
    MSFS_INSTALL_PATH.set(packages.string());
    SCAN_LIVERIES.value = true;
    LIG_AUTOMATIC.value = true;

    lf_connectSubsystems();
    // The package holds no livery: the scan ends with its user error after it found the folder.
    EXPECT_THROW(gf_scanLiveries(), ovk::UserErrorException);
    EXPECT_NE(logText().find("Automatic AIG scan found folder: \"" +
                             (packages / "Community" / "aig-aitraffic-oci-test").string() + "\""),
              std::string::npos);

    gf_resetLiveryDatabase();
    fs::current_path(previous);
}

// The foundation's notes (a failed text conversion) reach the message line.
TEST_F(SubsystemHooks, FoundationNotesReachTheMessageLine) {
    lf_connectSubsystems();
    gf_noteStatus("a note of the foundation", false);
    EXPECT_EQ(status(), "a note of the foundation");
}

// The log's status lines fall silent once the run is stopping or the user closed the window.
TEST_F(SubsystemHooks, LogLinesFallSilentOnceAStopIsUnderWay) {
    lf_connectSubsystems();
    for (std::atomic<std::uint8_t>* flag : {&stopRequested, &userClosed}) {
        flag->store(1);
        gf_logLine("written while stopping");
        flag->store(0);
    }
    gf_logLine("written after");
    const std::string log = logText();
    EXPECT_EQ(log.find("written while stopping"), std::string::npos);
    EXPECT_NE(log.find("written after"), std::string::npos);
}

// The settings loader shows each value it reads in the control bound to the setting: a check box, a number
// field and a text field.
TEST_F(SubsystemHooks, SettingsLoaderShowsTheValuesInTheirControls) {
    lf_connectSubsystems();
    std::filesystem::create_directories(gf_parametersFolder());
    std::ofstream(gf_parametersPath()) << "<?xml version=\"1.0\"?>\n<parameters>\n"
                                          "  <parameter name=\"LOG\" value=\"false\" />\n"
                                          "  <parameter name=\"MATCHING_DEPTH\" value=\"2\" />\n"
                                          "  <parameter name=\"BLOCK_CALLSIGN\" value=\"DLH4\" />\n"
                                          "</parameters>\n";
    window->setChecked(LOG.controlId, true);
    gf_readParameters(gf_buildSettingsRegistry());
    EXPECT_FALSE(window->checked(LOG.controlId));
    EXPECT_EQ(window->text(MATCHING_DEPTH.controlId), "2");
    EXPECT_EQ(window->text(BLOCK_CALLSIGN.controlId), "DLH4");
}

// Parked traffic leaves the stand under the user aircraft free, as the simulator link reports the user's
// position and that it stands on the ground.
TEST_F(SubsystemHooks, ParkedTrafficLeavesTheStandUnderTheUserFree) {
    vsim::StandInConfig config;
    config.applicationName = "KittyHawk";
    config.user.title = "Asobo Cessna 172";
    config.user.atcModel = "C172";
    config.user.path = {vsim::UserWaypoint{0, 52.3, 4.76, 0, -1, 90, 0}};
    auto sim = vsim::StandIn::install(config);
    MSFS_2020.value = true;
    ASSERT_TRUE(lf_openSimConnect());
    lf_dispatchOnce();
    gf_requestUserPosition();
    lf_dispatchOnce();
    ASSERT_EQ(gf_linkUserState().latitude, 52.3);
    gf_requestUserOnGround();
    sim->advance(std::chrono::milliseconds(1000));
    lf_dispatchOnce();
    ASSERT_EQ(userOnGround.load(), 1);

    currentStands.clear();
    currentStands.emplace_back("U1", std::vector<StandOption>{}, 52.3, 4.76, 0.0, 20.0, 1, 1, 1);
    currentStands.emplace_back("P2", std::vector<StandOption>{}, 52.301, 4.76, 0.0, 20.0, 1, 1, 1);
    gf_publishStandPlaces();
    CurrentAirport airport;
    airport.icao = "EHAM";
    airport.latitude = 52.3;
    airport.longitude = 4.76;
    gf_setCurrentAirport(airport);
    knownAircraftTypes.insert("B738");
    trafficReader.parkedRecords.clear();

    lf_connectSubsystems();
    const double seen = 1700000000.0;
    for (const auto& [address, stand, latitude] :
         std::vector<std::tuple<std::string, std::string, double>>{{"484001", "U1", 52.3}, {"484002", "P2", 52.301}}) {
        trafficReader.parkedLine = nlohmann::json::array({latitude, 4.76, stand, "B738", "null", seen, "KLM1"});
        processParkedTrafficLine(trafficReader, address);
    }
    ASSERT_EQ(trafficReader.parkedRecords.size(), 1u);
    EXPECT_EQ(trafficReader.parkedRecords[0].standName, "P2");

    trafficReader.parkedRecords.clear();
    lf_endSimClient();
    vsim::StandIn::uninstall();
    gf_resetSimLink();
    userOnGround.store(0);
    userOnGroundValid.store(0);
    gf_resetReferenceDatabase();
    currentStands.clear();
    gf_publishStandPlaces();
    gf_setCurrentAirport(CurrentAirport{});
}

}  // namespace
