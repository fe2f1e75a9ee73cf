// The commands of the check boxes and push buttons, driven through the headless window.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "airports/addon_links.h"
#include "airports/airports.h"
#include "airports/park_list.h"
#include "airports/parking.h"
#include "app/main_window.h"
#include "app/window_proc.h"
#include "catalogue/livery_cache.h"
#include "catalogue/livery_db.h"
#include "shell/run_flags.h"
#include "tests/app/commands_fixture.h"

namespace {

using Commands = CommandsFixture;

std::string onOff(bool on) { return on ? "true" : "false"; }

// Every check box without a restart: the toggle, its save and the note for each state.
TEST_F(Commands, CheckBoxesToggleSaveAndNote) {
    // The message line after the command: a note, "" when cleared, kept when the command leaves it.
    constexpr const char* kept = "(earlier note)";
    struct Row {
        BoolParameter* flag;
        const char* noteOn;
        const char* noteOff;
    } rows[] = {
        {&RT_PARKTRAFFIC_ONLY, kept, kept},
        {&KEEP_SIM_TIME_PAR, kept, kept},
        {&SIM_TIME, kept, "Time shift = 0"},
        {&NAV_LIGHTS_WHILE_PARKED, kept, kept},
        {&AUTO_RANGE, kept, ""},
        {&CALLSIGN_OBJECTIDS, kept, kept},
        {&LIG_AUTOMATIC, "", "The liveries defined by your lfolder parameters will be scanned"},
        {&LIG_PRIORITIZE, "Liveries in lower lfolders that are already available will be skipped", ""},
        {&PARK_SOFT, kept, kept},
        {&PARK_FAKE, kept, kept},
        {&WEEK, kept, kept},
        {&INITIAL_LOAD_ONLY,
         "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes", ""},
        {&COLLISION_LIVE_PARKED_GND, "",
         "Be aware, no collision avoidance with live aircraft vs parked static on the ground"},
        {&COLLISION_USER_GND, "", "Be aware, no collision avoidance with user aircraft on the ground"},
        {&COLLISION_USER_AIR, "", "Be aware, no collision avoidance with user aircraft in the air"},
        {&SUPPRESS_STUB, "Exclude FSLTL-liveries titles ending with _STUB from scan", ""},
        {&LOG, kept, kept},
        {&LIGHT_AIRCRAFT, kept, kept},
        {&HELICOPTERS, kept, kept},
        {&HIGH_PERF_AIRCRAFT, kept, kept},
        {&ALWAYS_ON_TOP, "Vexa's window will remain visible", ""},
        {&STRAIGHT_PBS_ONLY, kept, kept},
        {&LEARN_SOFT, kept, kept},
        {&GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!"},
    };
    for (const Row& row : rows) {
        BoolParameter& flag = *row.flag;
        for (bool first : {true, false}) {
            markStatus();
            click(flag.controlId);
            const bool on = first ? !flag.defaultValue : flag.defaultValue;
            EXPECT_EQ(flag.value.load(), on) << flag.name;
            EXPECT_EQ(window->checked(flag.controlId), on) << flag.name;
            EXPECT_EQ(saved(flag.name), onOff(on)) << flag.name;
            EXPECT_EQ(status(), on ? row.noteOn : row.noteOff) << flag.name << (on ? " on" : " off");
        }
        EXPECT_EQ(stopRequested.load(), 0) << flag.name << " acts at once";
    }
    const std::string log = logText();
    EXPECT_EQ(log.find("Be aware"), std::string::npos) << "notes are not logged";
    EXPECT_EQ(log.find("Initial Load Only"), std::string::npos);
    EXPECT_NE(log.find("Time shift = 0"), std::string::npos);
}

// Scanning switched on restarts the run only before the simulator connection opened.
TEST_F(Commands, ScanSwitchesRestartOnlyBeforeTheSimulatorOpened) {
    struct Row {
        BoolParameter* flag;
        bool simOpened;
        const char* note;
        bool logged;
    } rows[] = {
        {&SCAN_LIVERIES, false, "Your liveries will be scanned", true},
        {&SCAN_LIVERIES, true,
         "Your liveries will be scanned at the next start of Vexa, recommended after you have add/removed AI aircraft "
         "models/liveries",
         false},
        {&SCAN_AIRPORTS, false, "Your airports will be scanned", true},
        {&SCAN_AIRPORTS, true,
         "Your airports will be scanned at the next start of Vexa, recommended after you have add/removed airports",
         false},
    };
    std::vector<std::pair<std::string, bool>> expectedLog;
    for (const Row& row : rows) {
        gf_resetRunFlags();
        gf_resetLiveryDatabase();
        liveriesProcessed.store(true);
        simNotYetOpened.store(row.simOpened ? 0 : 1);
        row.flag->value.store(false);
        gf_setCheck(row.flag->controlId, false);
        click(row.flag->controlId);
        EXPECT_TRUE(row.flag->value.load());
        EXPECT_EQ(saved(row.flag->name), "true");
        EXPECT_EQ(status(), row.note);
        expectedLog.emplace_back(row.note, row.logged);
        if (row.simOpened) {
            EXPECT_EQ(stopRequested.load(), 0) << row.note;
            EXPECT_TRUE(liveriesProcessed.load()) << "the run goes on with its liveries";
        } else {
            EXPECT_EQ(stopRequested.load(), 1) << row.note;
            EXPECT_EQ(exitReason.load(), EXIT_NEW_SETTINGS);
            EXPECT_EQ(restartDelaySec.load(), 2u);
        }
        if (row.flag == &SCAN_LIVERIES && !row.simOpened) {
            EXPECT_FALSE(liveriesProcessed.load()) << "the next run builds the livery database again";
            EXPECT_TRUE(gf_liveryClearPending());
        }
        // Off: the line is cleared and nothing stops.
        gf_resetRunFlags();
        markStatus();
        click(row.flag->controlId);
        EXPECT_FALSE(row.flag->value.load());
        EXPECT_EQ(status(), "");
        EXPECT_EQ(stopRequested.load(), 0);
    }
    simNotYetOpened.store(1);
    gf_resetLiveryDatabase();
    const std::string log = logText();
    for (const auto& [note, logged] : expectedLog)
        EXPECT_EQ(log.find(note + "\n") != std::string::npos, logged) << note;
}

class SimulatorSwitch : public CommandsFixture {
protected:
    void SetUp() override {
        CommandsFixture::SetUp();
        previousFolder = std::filesystem::current_path();
        std::filesystem::create_directories(folder / "program" / "output");
        std::filesystem::current_path(folder / "program");
    }
    void TearDown() override {
        std::filesystem::current_path(previousFolder);
        gf_resetLiveryDatabase();
        CommandsFixture::TearDown();
    }
    std::filesystem::path previousFolder;
};

TEST_F(SimulatorSwitch, ClearsTheCachesScansAgainAndRestarts) {
    const std::filesystem::path cache = gf_liveryCachePath();
    std::ofstream(cache) << "<liveries/>";
    SCAN_LIVERIES.save(false);
    SCAN_AIRPORTS.save(false);
    REZEVAVEDI24_VERSION.save("1.0.3");
    ALL_INSTALL_PATH.set("/sim/2020");
    gf_showTextField(ALL_INSTALL_PATH);
    liveriesProcessed.store(true);
    addonAirportsFound.store(4);
    airportFilesChanged.store(true);

    click(MSFS_2020.controlId);  // to 2024
    EXPECT_EQ(saved("MSFS_2020"), "false");
    EXPECT_FALSE(std::filesystem::exists(cache));
    EXPECT_FALSE(liveriesProcessed.load());
    EXPECT_TRUE(gf_liveryClearPending());
    EXPECT_EQ(addonAirportsFound.load(), 0);
    EXPECT_FALSE(airportFilesChanged.load()) << "the next scan tells only what it linked or generated";
    for (BoolParameter* scan : {&SCAN_LIVERIES, &SCAN_AIRPORTS}) {
        EXPECT_EQ(saved(scan->name), "true");
        EXPECT_TRUE(window->checked(scan->controlId));
    }
    EXPECT_EQ(status(), "Switching Simulator to MSFS 2024");
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "");
    EXPECT_EQ(window->text(ALL_INSTALL_PATH.controlId), "");
    EXPECT_EQ(saved("ALL_INSTALL_PATH"), std::nullopt) << "not saved";
    EXPECT_EQ(saved("REZEVAVEDI24_VERSION"), "") << "the 2024 package is installed anew";
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_NEW_SETTINGS);
    EXPECT_EQ(restartDelaySec.load(), 3u);

    // Back to 2020 while another stop is pending: the first reason stays.
    gf_resetRunFlags();
    gf_requestStop(EXIT_NEW_FLIGHT, 0);
    REZEVAVEDI24_VERSION.save("1.0.3");
    click(MSFS_2020.controlId);
    EXPECT_EQ(saved("MSFS_2020"), "true");
    EXPECT_EQ(status(), "Switching Simulator to MSFS 2020");
    EXPECT_EQ(saved("REZEVAVEDI24_VERSION"), "1.0.3");
    EXPECT_EQ(exitReason.load(), EXIT_NEW_FLIGHT);
    EXPECT_EQ(restartDelaySec.load(), 0u);
    const std::string log = logText();
    EXPECT_NE(log.find("Switching Simulator to MSFS 2024\n"), std::string::npos) << log;
}

TEST_F(SimulatorSwitch, ACacheThatCannotBeRemovedEndsTheCommandBeforeAnythingElseChanged) {
    const std::filesystem::path cache = gf_liveryCachePath();
    std::filesystem::create_directories(cache / "blocked");  // a folder with content is not removed
    SCAN_LIVERIES.save(false);
    click(MSFS_2020.controlId);
    EXPECT_EQ(saved("MSFS_2020"), "false");
    EXPECT_EQ(saved("SCAN_LIVERIES"), "false");
    EXPECT_EQ(stopRequested.load(), 0);
    EXPECT_TRUE(std::filesystem::exists(cache));
    const std::string log = logText();
    EXPECT_NE(log.find("===> lf_HandleWMCOMMAND exception"), std::string::npos) << log;
    EXPECT_NE(log.find("remove"), std::string::npos);
}

TEST_F(Commands, PushButtons) {
    // Unblock with nothing blocked.
    click(kUnblockButtonId);
    EXPECT_EQ(status(), "Nothing to block or unblock...");
    EXPECT_EQ(blockedCallsignChanged.load(), 0);
    // Unblock a blocked callsign.
    BLOCK_CALLSIGN.save("DLH4");
    gf_showTextField(BLOCK_CALLSIGN);
    click(kUnblockButtonId);
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "");
    EXPECT_EQ(saved("BLOCK_CALLSIGN"), "");
    EXPECT_EQ(window->text(BLOCK_CALLSIGN.controlId), "");
    EXPECT_FALSE(window->enabled(kUnblockButtonId));
    EXPECT_EQ(status(), "no more blocking of live aircraft \"DLH4\"");
    EXPECT_EQ(blockedCallsignChanged.load(), 1);

    // Re-read: a request for the 15-second step; the button and the destination wait for it.
    gf_enableControl(DESTINATION.controlId, true);
    click(kRereadButtonId);
    EXPECT_EQ(reReadRequested.load(), 1);
    EXPECT_FALSE(window->enabled(kRereadButtonId));
    EXPECT_FALSE(window->enabled(DESTINATION.controlId));
    EXPECT_FALSE(window->click(kRereadButtonId)) << "a disabled button takes no click";

    click(kFlushStaticButtonId);
    EXPECT_EQ(status(), "All static parked aircraft will be removed ...");
    EXPECT_EQ(flushStaticRequested.load(), 1);
    EXPECT_FALSE(window->enabled(kFlushStaticButtonId));
    EXPECT_EQ(stopRequested.load(), 0);
    const std::string log = logText();
    EXPECT_NE(log.find("no more blocking of live aircraft \"DLH4\""), std::string::npos);
    EXPECT_EQ(log.find("Nothing to block"), std::string::npos);
}

TEST_F(Commands, ParkingCommandsWhileParkingRuns) {
    parkingActive.store(1);
    secondCounter.store(44);
    // PT only: its dependants off, the renewal with the new mode.
    for (int id : {parking_percentage.controlId, MAX_FIT_FL.controlId, INITIAL_LOAD_ONLY.controlId})
        gf_enableControl(id, true);
    click(RT_PARKTRAFFIC_ONLY.controlId);
    EXPECT_TRUE(RT_PARKTRAFFIC_ONLY.value.load());
    for (int id : {parking_percentage.controlId, MAX_FIT_FL.controlId, INITIAL_LOAD_ONLY.controlId, PARK_SOFT.controlId,
                   PARK_FAKE.controlId, WEEK.controlId})
        EXPECT_FALSE(window->enabled(id)) << id;
    EXPECT_EQ(renewalPtOnly.load(), 1);
    EXPECT_EQ(renewalRequested.load(), 1);
    EXPECT_EQ(airportFileChanged.load(), 1);
    EXPECT_EQ(status(), "Vexa will respond in 1 second ...");
    click(RT_PARKTRAFFIC_ONLY.controlId);
    EXPECT_EQ(renewalPtOnly.load(), 0);
    EXPECT_TRUE(window->enabled(WEEK.controlId));

    for (BoolParameter* flag : {&PARK_SOFT, &PARK_FAKE, &WEEK}) {
        renewalRequested.store(0);
        click(flag->controlId);
        EXPECT_EQ(renewalRequested.load(), 1) << flag->name;
    }
    for (BoolParameter* flag : {&INITIAL_LOAD_ONLY, &LEARN_SOFT}) {
        airportFileChanged.store(0);
        click(flag->controlId);
        EXPECT_EQ(airportFileChanged.load(), 1) << flag->name;
    }
    // Without parking nothing is marked for the airport file.
    parkingActive.store(0);
    for (BoolParameter* flag : {&INITIAL_LOAD_ONLY, &LEARN_SOFT, &WEEK}) {
        airportFileChanged.store(0);
        renewalRequested.store(0);
        click(flag->controlId);
        EXPECT_EQ(airportFileChanged.load(), 0) << flag->name;
        EXPECT_EQ(renewalRequested.load(), 0) << flag->name;
    }
    secondCounter.store(0);
}

TEST_F(Commands, ControlsThatFollowACheckBox) {
    LIG_AUTOMATIC.value.store(false);
    gf_setCheck(LIG_AUTOMATIC.controlId, false);
    click(LIG_AUTOMATIC.controlId);
    EXPECT_TRUE(window->enabled(AI_PACKAGE_ORDER.controlId));
    click(LIG_AUTOMATIC.controlId);
    EXPECT_FALSE(window->enabled(AI_PACKAGE_ORDER.controlId));

    ALWAYS_ON_TOP.value.store(false);
    gf_setCheck(ALWAYS_ON_TOP.controlId, false);
    click(ALWAYS_ON_TOP.controlId);
    EXPECT_TRUE(window->topMost());
    click(ALWAYS_ON_TOP.controlId);
    EXPECT_FALSE(window->topMost());
}

TEST_F(Commands, SimTimeResetsTheShiftAndLocksTheShiftFieldsWhileOn) {
    TIME_SHIFT_HOURS.save(5);
    trafficReader.toffset.store(300);
    for (const GuiIntParameter* f : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS})
        gf_enableControl(f->controlId, true);
    lastSimTimeSeen.store(1234);
    click(SIM_TIME.controlId);  // on: the simulator's clock sets the shift from the next second on
    EXPECT_EQ(lastSimTimeSeen.load(), 0);
    for (const GuiIntParameter* f : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS})
        EXPECT_FALSE(window->enabled(f->controlId)) << f->name;
    EXPECT_EQ(trafficReader.toffset.load(), 300);

    click(SIM_TIME.controlId);  // off: the shift goes back to 0
    for (const GuiIntParameter* f : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) {
        EXPECT_TRUE(window->enabled(f->controlId)) << f->name;
        EXPECT_EQ(saved(f->name), "0");
        EXPECT_EQ(window->text(f->controlId), "");
    }
    EXPECT_EQ(trafficReader.toffset.load(), 0);
    EXPECT_EQ(weatherReader.toffset.load(), 0);
    EXPECT_EQ(status(), "Time shift = 0");
    EXPECT_TRUE(gf_windowRequestsPending()) << "the aircraft leave on the run thread";
}

TEST_F(Commands, NavLightsOfParkedAircraftSwitchOnTheRunThread) {
    staticList.push_back(staticAircraft(1, SimState::Active, 101));
    staticList.push_back(staticAircraft(2, SimState::Adding2Sim, 0));
    liveList.push_back(liveAircraft(0xA00001, SimState::Active, 202, MovementPhase::Parked));
    liveList.push_back(liveAircraft(0xA00002, SimState::Active, 203, MovementPhase::Taxi));
    liveList.push_back(liveAircraft(0xA00003, SimState::RemovingFromSim, 204, MovementPhase::Parked));
    NAV_LIGHTS_WHILE_PARKED.value.store(false);
    gf_setCheck(NAV_LIGHTS_WHILE_PARKED.controlId, false);

    click(NAV_LIGHTS_WHILE_PARKED.controlId);
    EXPECT_TRUE(queuedEvents().empty()) << "the GUI thread does not walk the lists";
    EXPECT_TRUE(gf_windowRequestsPending());
    gf_serveWindowRequests();
    auto events = queuedEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].objectId, 101u);
    EXPECT_EQ(events[1].objectId, 202u);
    for (const auto& e : events) {
        EXPECT_EQ(e.eventId, vsim::kEvNavLightsSet);
        EXPECT_EQ(e.data, 1u);
    }
    EXPECT_FALSE(gf_windowRequestsPending());

    // Two clicks before the next step: the last state counts.
    click(NAV_LIGHTS_WHILE_PARKED.controlId);
    click(NAV_LIGHTS_WHILE_PARKED.controlId);
    click(NAV_LIGHTS_WHILE_PARKED.controlId);
    gf_serveWindowRequests();
    events = queuedEvents();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[3].data, 0u);
}

TEST_F(Commands, AutoRangeOnComputesOnTheRunThreadAndOffRestoresTheManualRange) {
    AUTO_RANGE.value.store(false);
    gf_setCheck(AUTO_RANGE.controlId, false);
    LATERAL_RANGE.value.store(25);
    gf_enableControl(LATERAL_RANGE.controlId, true);
    userOnGround.store(1);

    click(AUTO_RANGE.controlId);
    EXPECT_EQ(manualLateralRange.load(), 25);
    EXPECT_FALSE(window->enabled(LATERAL_RANGE.controlId));
    EXPECT_TRUE(window->enabled(AUTO_RANGE_ABOVE_HEIGHT.controlId));
    EXPECT_EQ(airportFileChanged.load(), 1);
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25) << "computed by the run thread";
    gf_serveWindowRequests();
    EXPECT_EQ(LATERAL_RANGE.value.load(), 10) << "on the ground";
    EXPECT_EQ(window->text(LATERAL_RANGE.controlId), "10");

    markStatus();
    click(AUTO_RANGE.controlId);
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25);
    EXPECT_DOUBLE_EQ(rangeNm.load(), 25.0);
    EXPECT_EQ(rangeMetres.load(), 25 * 1852 + 10000);
    EXPECT_EQ(window->text(LATERAL_RANGE.controlId), "25");
    EXPECT_TRUE(window->enabled(LATERAL_RANGE.controlId));
    EXPECT_FALSE(window->enabled(AUTO_RANGE_ABOVE_HEIGHT.controlId));
    EXPECT_EQ(status(), "");
    userOnGround.store(0);
}

// A range request that no longer applies does nothing: AUTO_RANGE ticked on and off again before the run
// thread serves it keeps the hand-set range, and so does AUTO_RANGE switched off another way meanwhile.
TEST_F(Commands, AutoRangeSwitchedOffBeforeTheRunThreadServesItKeepsTheManualRange) {
    AUTO_RANGE.value.store(false);
    gf_setCheck(AUTO_RANGE.controlId, false);
    gf_setRange(25);
    userOnGround.store(1);

    click(AUTO_RANGE.controlId);
    click(AUTO_RANGE.controlId);
    EXPECT_FALSE(AUTO_RANGE.value.load());
    EXPECT_FALSE(gf_windowRequestsPending()) << "switching off takes back the computation asked of the run thread";
    gf_serveWindowRequests();
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25);
    EXPECT_DOUBLE_EQ(rangeNm.load(), 25.0);
    EXPECT_EQ(rangeMetres.load(), 25 * 1852 + 10000);
    EXPECT_EQ(window->text(LATERAL_RANGE.controlId), "25");

    click(AUTO_RANGE.controlId);
    AUTO_RANGE.value.store(false);
    gf_serveWindowRequests();
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25);
    EXPECT_DOUBLE_EQ(rangeNm.load(), 25.0);
    userOnGround.store(0);
}

}  // namespace

namespace {

// The window commits while the run thread steps: the run thread's lists are only touched by the run
// thread, which carries the requests out at its steps.
using CommandsThreads = CommandsFixture;

TEST_F(CommandsThreads, RequestsOfTheWindowAreServedByTheRunThread) {
    airportList = {Airport{"EDDF", "FRA", 50.03, 8.57, 364.0}, Airport{"LOWW", "VIE", 48.11, 16.57, 600.0}};
    for (int id : {static_cast<int>(MAX_LIVE.controlId), static_cast<int>(DESTINATION.controlId),
                   static_cast<int>(TIME_SHIFT_MINS.controlId), static_cast<int>(BLOCK_CALLSIGN.controlId)})
        gf_enableControl(id, true);
    std::atomic<bool> done{false};
    std::thread runThread([&] {
        std::uint32_t next = 0xB00000;
        while (!done.load()) {
            // New aircraft arrive between the steps, as the engine tick adds them.
            for (int i = 0; i < 3; ++i) {
                const std::uint32_t id = next++;
                liveList.push_back(liveAircraft(id, SimState::Active, id, MovementPhase::Parked));
            }
            staticList.push_back(staticAircraft(next % 9999 + 1, SimState::Active, next));
            gf_serveWindowRequests();
            // The per-second step reads the blocked callsign while the window writes it.
            if (blockedCallsignChanged.exchange(0) != 0) lf_blockCallsign();
            if (liveList.size() > 200) liveList.clear();
            if (staticList.size() > 200) staticList.clear();
            removeFifo.clear();
            std::this_thread::yield();
        }
        gf_serveWindowRequests();
    });
    for (int i = 0; i < 40; ++i) {
        window->click(NAV_LIGHTS_WHILE_PARKED.controlId);
        window->type(MAX_LIVE.controlId, std::to_string(100 + i));
        window->pressEnter(MAX_LIVE.controlId);
        window->type(DESTINATION.controlId, i % 2 == 0 ? "eddf" : "loww");
        window->pressEnter(DESTINATION.controlId);
        window->type(TIME_SHIFT_MINS.controlId, std::to_string(i % 50));
        window->pressEnter(TIME_SHIFT_MINS.controlId);
        window->type(BLOCK_CALLSIGN.controlId, "dlh" + std::to_string(1000 + i));
        window->pressEnter(BLOCK_CALLSIGN.controlId);
    }
    done = true;
    runThread.join();
    EXPECT_FALSE(gf_windowRequestsPending());
    EXPECT_EQ(MAX_LIVE.value.load(), 139);
    EXPECT_EQ(DESTINATION.value(), "LOWW");
    EXPECT_EQ(trafficReader.toffset.load(), 39);
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "DLH1039");
}

// AUTO_RANGE ticked off while the run thread computes the automatic range, past its caller's look at
// AUTO_RANGE: the computation waits for the park-airport list, which the test holds until the window
// has restored the manual range, and then writes nothing over it.
TEST_F(CommandsThreads, AutoRangeSwitchedOffDuringAComputationKeepsTheManualRange) {
    AUTO_RANGE.value.store(true);
    gf_setCheck(AUTO_RANGE.controlId, true);
    LATERAL_RANGE.value.store(40);
    manualLateralRange.store(25);
    userOnGround.store(0);
    userState.latitude = 47.0;
    userState.longitude = 8.0;
    userState.altitude = 1000;
    {
        std::lock_guard lock(parkAirportsMutex);
        parkAirports = {ParkAirportEntry{"LSZH", "", 47.0 + 8.4 / 60.0, 8.0, 0}};  // 8.4 nm: radius 11
    }
    std::unique_lock listHeld(parkAirportsMutex);
    std::thread runThread([] { gf_autoRange(); });
    click(AUTO_RANGE.controlId);
    listHeld.unlock();
    runThread.join();

    EXPECT_FALSE(AUTO_RANGE.value.load());
    EXPECT_EQ(LATERAL_RANGE.value.load(), 25);
    EXPECT_DOUBLE_EQ(rangeNm.load(), 25.0);
    EXPECT_EQ(rangeMetres.load(), 25 * 1852 + 10000);
    EXPECT_EQ(window->text(LATERAL_RANGE.controlId), "25");

    // Switched on again, the run thread's computation takes over.
    click(AUTO_RANGE.controlId);
    gf_serveWindowRequests();
    EXPECT_EQ(LATERAL_RANGE.value.load(), 11);
    EXPECT_EQ(rangeMetres.load(), 11 * 1852 + 10000);
    userState = UserState{};
    std::lock_guard lock(parkAirportsMutex);
    parkAirports.clear();
}

}  // namespace
