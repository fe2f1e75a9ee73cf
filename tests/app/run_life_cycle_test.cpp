#include "app/run_life_cycle.h"

#include <atomic>
#include <thread>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/main_window.h"
#include "app/window_proc.h"
#include "feed/credential.h"
#include "feed/readers.h"
#include "feed/web_api.h"
#include "foundation/disk_file.h"
#include "run_fixture.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "simlink/commands.h"
#include "tools/rtstub/rt_stub.h"

namespace {

constexpr unsigned startRun = 0x8001;
constexpr unsigned closeProgram = 0x8002;

TEST(ExitReasons, TextsAndAfterwards) {
    struct Row {
        std::uint32_t code;
        const char* text;
        bool restarts;
    };
    const Row rows[] = {{0, "NOT YET SET", false}, {1, "SIM WAS CLOSED", false},  {2, "NEW FLIGHT", false},
                        {3, "NEW SETTINGS", true}, {4, "USER CLOSED SIM", false}, {5, "SIMCONNECT ERROR", true},
                        {6, "READER ERROR", true}, {7, "SYSTEM ERROR", false}};
    for (const Row& row : rows) {
        EXPECT_EQ(gf_exitReasonText(row.code), row.text);
        EXPECT_EQ(gf_exitRestarts(row.code), row.restarts) << row.code;
    }
    EXPECT_THROW(gf_exitReasonText(8), std::out_of_range);
}

TEST(ExitReasons, FirstCauseWinsAndCloseKeepsTheReason) {
    gf_resetRunFlags();
    EXPECT_TRUE(gf_requestStop(EXIT_SIMCONNECT_ERROR, 9));
    EXPECT_FALSE(gf_requestStop(EXIT_NEW_SETTINGS, 3));
    gf_requestUserClose();
    EXPECT_EQ(exitReason.load(), EXIT_SIMCONNECT_ERROR);
    EXPECT_EQ(restartDelaySec.load(), 9u);
    EXPECT_EQ(userClosed.load(), 1);

    gf_resetRunFlags();
    gf_requestUserClose();
    EXPECT_EQ(exitReason.load(), EXIT_USER_CLOSED_SIM);
    EXPECT_EQ(stopRequested.load(), 1);

    // A user error leaves the stop clear: a later command still sets its own reason.
    gf_resetRunFlags();
    exitReason.store(EXIT_SYSTEM_ERROR);
    EXPECT_TRUE(gf_requestStop(EXIT_NEW_SETTINGS, 3));
    EXPECT_EQ(exitReason.load(), EXIT_NEW_SETTINGS);
    gf_resetRunFlags();
}

TEST(ExitReasonsThreads, FirstCauseUnderRacingWriters) {
    for (int round = 0; round < 50; ++round) {
        gf_resetRunFlags();
        restartDelaySec.store(0);
        std::atomic<int> winners{0};
        std::atomic<bool> go{false};
        std::atomic<bool> torn{false};
        std::vector<std::thread> threads;
        // Each writer pairs its reason with its own delay, so a mixed pair shows a torn write.
        const std::pair<ExitReason, std::uint32_t> writers[] = {
            {EXIT_SIM_WAS_CLOSED, 101},   {EXIT_NEW_FLIGHT, 102},   {EXIT_NEW_SETTINGS, 103},
            {EXIT_SIMCONNECT_ERROR, 105}, {EXIT_READER_ERROR, 106}, {EXIT_SYSTEM_ERROR, 107}};
        for (const auto& [reason, delay] : writers) {
            threads.emplace_back([&, reason = reason, delay = delay] {
                while (!go.load()) {}
                if (gf_requestStop(reason, delay)) winners.fetch_add(1);
            });
        }
        threads.emplace_back([&] {
            while (!go.load()) {}
            gf_requestUserClose();
        });
        // A watcher that sees the stop must see its reason already.
        threads.emplace_back([&] {
            while (!go.load()) {}
            for (int i = 0; i < 100000 && stopRequested.load() == 0; ++i) {}
            if (stopRequested.load() != 0 && exitReason.load() == EXIT_NOT_YET_SET) torn.store(true);
        });
        go.store(true);
        for (auto& t : threads) t.join();

        EXPECT_FALSE(torn.load());
        const std::uint32_t reason = exitReason.load();
        const std::uint32_t delay = restartDelaySec.load();
        EXPECT_EQ(stopRequested.load(), 1);
        if (winners.load() == 0) {
            EXPECT_EQ(reason, EXIT_USER_CLOSED_SIM);  // the close came first
        } else {
            EXPECT_EQ(winners.load(), 1);
            EXPECT_EQ(delay, 100 + reason);
        }
    }
    gf_resetRunFlags();
}

class ClosingDown : public RunFixture {};
// Closing down with other threads at work: the window's user, readers, the simulator thread.
class ClosingDownThreads : public RunFixture {};

// What every exit reason leads to: restart or close, the countdown texts and the saved settings.
TEST_F(ClosingDown, ExitReasonTable) {
    struct Row {
        ExitReason reason;
        std::uint32_t delay;
        unsigned posted;
        std::vector<std::string> countdown;
        bool scansCleared;
        double minSeconds;
    };
    const std::vector<Row> rows = {
        {EXIT_NOT_YET_SET, 0, closeProgram, {}, false, 0},
        {EXIT_SIM_WAS_CLOSED, 0, closeProgram, {}, false, 0},
        {EXIT_NEW_FLIGHT, 0, closeProgram, {}, false, 10},
        {EXIT_NEW_SETTINGS,
         3,
         startRun,
         {"Restarting after 3 seconds", "Restarting after 2 seconds", "Restarting after 1 second"},
         false,
         3},
        {EXIT_USER_CLOSED_SIM, 0, closeProgram, {}, false, 0},
        {EXIT_SIMCONNECT_ERROR,
         9,
         startRun,
         {"Restarting after 9 seconds", "Restarting after 8 seconds", "Restarting after 7 seconds",
          "Restarting after 6 seconds", "Restarting after 5 seconds", "Restarting after 4 seconds",
          "Restarting after 3 seconds", "Restarting after 2 seconds", "Restarting after 1 second"},
         true,
         9},
        {EXIT_READER_ERROR, 2, startRun, {"Restarting after 2 seconds", "Restarting after 1 second"}, true, 2},
        {EXIT_SYSTEM_ERROR, 0, closeProgram, {}, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(gf_exitReasonText(row.reason));
        calls_.clear();
        resetRunState();
        gf_resetSettings();
        SCAN_LIVERIES.value.store(true);
        SCAN_AIRPORTS.value.store(true);
        DESTINATION.set("EHAM");
        BLOCK_CALLSIGN.set("KLM123");
        exitReason.store(row.reason);
        restartDelaySec.store(row.delay);
        stopRequested.store(1);
        // After a system error the window waits for the user's close.
        if (row.reason == EXIT_SYSTEM_ERROR) gf_requestUserClose();
        const auto start = clock_.steadyNow();

        lf_closingDown();

        ASSERT_EQ(calls_.posted.size(), 1u);
        EXPECT_EQ(calls_.posted[0], row.posted);
        EXPECT_EQ(restartPending.load(), row.posted == startRun ? 1 : 0);
        std::vector<std::string> countdown;
        for (const std::string& t : calls_.statusTexts)
            if (t.rfind("Restarting after", 0) == 0) countdown.push_back(t);
        EXPECT_EQ(countdown, row.countdown);
        EXPECT_EQ(SCAN_LIVERIES.value.load(), !row.scansCleared);
        EXPECT_EQ(SCAN_AIRPORTS.value.load(), !row.scansCleared);
        EXPECT_EQ(DESTINATION.value(), "");
        EXPECT_EQ(BLOCK_CALLSIGN.value(), "");
        EXPECT_GE(elapsedSeconds(start), row.minSeconds);
        EXPECT_LT(elapsedSeconds(start), row.minSeconds + 1.0);
        const bool restarted = row.posted == startRun;
        EXPECT_EQ(calls_.has("resetSimLink"), restarted);
        if (restarted) {
            // The clean-up put the run state back.
            EXPECT_EQ(stopRequested.load(), 0);
            EXPECT_EQ(exitReason.load(), EXIT_NOT_YET_SET);
            EXPECT_TRUE(calls_.has("clearHeldError"));
        }
        EXPECT_NE(logText().find(std::string("Exiting: ") + std::string(gf_exitReasonText(row.reason))),
                  std::string::npos);
    }
    // The saved values are in the settings file too.
    const std::string file = [&] {
        std::ifstream in(root_ / "appdata" / "Vexa" / "parameters.xml");
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }();
    EXPECT_NE(file.find("DESTINATION"), std::string::npos);
}

TEST_F(ClosingDown, NewFlightShowsTheNoticeAndCloses) {
    stopRequested.store(1);
    exitReason.store(EXIT_NEW_FLIGHT);
    lf_closingDown();
    ASSERT_FALSE(calls_.statusTexts.empty());
    EXPECT_EQ(calls_.statusTexts.back(), "New flight detected, Vexa will close, please restart manually ...");
}

TEST_F(ClosingDownThreads, SystemErrorWaitsForTheUserAndLogsTheClose) {
    gf_systemError("boom");
    EXPECT_TRUE(calls_.has("showError:boom"));
    EXPECT_EQ(exitReason.load(), EXIT_SYSTEM_ERROR);
    std::thread closer([this] {
        // The close arrives while the closing down waits for it.
        while (clock_.sleepCount() < 5) std::this_thread::yield();
        gf_requestUserClose();
    });
    lf_closingDown();
    closer.join();
    EXPECT_NE(std::find(calls_.statusTexts.begin(), calls_.statusTexts.end(), "User closed Vexa"),
              calls_.statusTexts.end());
    ASSERT_EQ(calls_.posted.size(), 1u);
    EXPECT_EQ(calls_.posted[0], closeProgram);
}

TEST_F(ClosingDownThreads, CommandAfterUserErrorRestartsWhenTheWindowCloses) {
    // User error 150: reason 7, stop clear; the user types the path (reason 3) and closes the window.
    exitReason.store(EXIT_SYSTEM_ERROR);
    std::thread user([this] {
        while (clock_.sleepCount() < 5) std::this_thread::yield();  // the window waits for the close
        EXPECT_TRUE(gf_requestStop(EXIT_NEW_SETTINGS, 3));
        gf_requestUserClose();
    });
    lf_closingDown();
    user.join();
    ASSERT_EQ(calls_.posted.size(), 1u);
    EXPECT_EQ(calls_.posted[0], startRun);
}

TEST_F(ClosingDown, CloseDuringTheCountdownIsHonoured) {
    gf_requestStop(EXIT_SIMCONNECT_ERROR, 9);
    gf_runServices().showStatus = [this](const std::string& text, bool) {
        calls_.statusTexts.push_back(text);
        if (text == "Restarting after 5 seconds") gf_requestUserClose();
    };
    const auto start = clock_.steadyNow();
    lf_closingDown();
    ASSERT_EQ(calls_.posted.size(), 1u);
    EXPECT_EQ(calls_.posted[0], closeProgram);
    EXPECT_EQ(restartPending.load(), 0);
    EXPECT_FALSE(calls_.has("resetSimLink"));
    EXPECT_LT(elapsedSeconds(start), 5.0);
}

TEST_F(ClosingDown, CloseBeforeTheCountdownIsHonoured) {
    gf_requestStop(EXIT_READER_ERROR, 15);
    gf_requestUserClose();
    lf_closingDown();
    ASSERT_EQ(calls_.posted.size(), 1u);
    EXPECT_EQ(calls_.posted[0], closeProgram);
}

TEST_F(ClosingDown, StopBeforeLoginNeitherWaitsNorLogsOut) {
    gf_runServices().loggedIn = [] { return false; };
    gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
    lf_closingDown();
    EXPECT_FALSE(calls_.has("stopWeather"));
    EXPECT_FALSE(calls_.has("deauthenticate"));
}

TEST_F(ClosingDownThreads, WaitsOnlyForStartedReadersWithinALimit) {
    // A run that started both readers; the traffic reader never stops.
    std::atomic<bool> trafficStops{false};
    RunServices& s = gf_runServices();
    s.readerStopped = [&](FeedReader r) { return r == FeedReader::weather || trafficStops.load(); };
    s.engineTick = [] { gf_requestStop(EXIT_NEW_SETTINGS, 0); };
    simRunning.store(1);
    lf_startRun();
    ASSERT_TRUE(calls_.has("startWeather"));
    ASSERT_TRUE(calls_.has("startTraffic"));
    simRunning.store(0);

    const auto start = clock_.steadyNow();
    lf_closingDown();
    EXPECT_TRUE(calls_.has("stopWeather"));
    EXPECT_TRUE(calls_.has("stopTraffic"));
    const double waited = elapsedSeconds(start);
    // The limit lies above the feed's transfer timeout plus one interval.
    EXPECT_EQ(gf_readerStopWaitLimit(), std::chrono::milliseconds(60000 + 2000 + 5000));
    EXPECT_GE(waited, 67.0);
    EXPECT_LT(waited, 68.0);
    EXPECT_NE(logText().find("The Traffic Reader has not stopped"), std::string::npos);
    EXPECT_TRUE(calls_.has("deauthenticate"));
    // The restart reset the reader that stopped, not the one still running.
    EXPECT_TRUE(calls_.has("resetWeather"));
    EXPECT_FALSE(calls_.has("resetTraffic"));
    EXPECT_TRUE(gf_strayReaderRunning());

    // The next run waits until it has stopped, then resets it.
    calls_.clear();
    std::thread stopper([&] {
        while (clock_.sleepCount() < 20) std::this_thread::yield();
        trafficStops.store(true);
    });
    EXPECT_TRUE(lf_waitForStrayReaders());
    stopper.join();
    EXPECT_TRUE(calls_.has("resetTraffic"));
    EXPECT_TRUE(calls_.has("resetFeedSession"));  // the whole feed, once nothing runs any more
    EXPECT_FALSE(gf_strayReaderRunning());
}

TEST_F(ClosingDown, NoReaderStartedMeansNoWait) {
    gf_runServices().readerStopped = [](FeedReader) { return false; };
    gf_requestStop(EXIT_NEW_SETTINGS, 0);
    const auto start = clock_.steadyNow();
    lf_closingDown();
    EXPECT_FALSE(calls_.has("stopWeather"));
    EXPECT_LT(elapsedSeconds(start), 1.0);
    EXPECT_FALSE(gf_strayReaderRunning());
}

TEST_F(ClosingDown, AFailingStepIsShownAndTheNextStepsRun) {
    RunServices& s = gf_runServices();
    s.clearRunMatchKeys = [] { throw std::runtime_error("boom"); };
    s.removeStaticParked = [] { throw std::logic_error("bad"); };
    s.parkAirportCurrent = [] { return true; };
    gf_requestStop(EXIT_NEW_SETTINGS, 0);
    lf_closingDown();
    EXPECT_NE(std::find(calls_.statusTexts.begin(), calls_.statusTexts.end(), "lf_closingDown exception boom"),
              calls_.statusTexts.end());
    EXPECT_NE(std::find(calls_.statusTexts.begin(), calls_.statusTexts.end(), "lf_closingDown exception bad"),
              calls_.statusTexts.end());
    EXPECT_TRUE(calls_.has("removeFlightPlanFolder"));
    EXPECT_TRUE(calls_.has("writeMatchingSummary"));
    ASSERT_EQ(calls_.posted.size(), 1u);
    EXPECT_EQ(calls_.posted[0], startRun);
}

TEST_F(ClosingDown, TimeShiftIsResetUnlessKept) {
    TIME_SHIFT_DAYS.value.store(2);
    TIME_SHIFT_HOURS.value.store(3);
    TIME_SHIFT_MINS.value.store(4);
    SIM_TIME.value.store(true);
    KEEP_SIM_TIME_PAR.value.store(false);
    gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
    lf_closingDown();
    EXPECT_FALSE(SIM_TIME.value.load());
    EXPECT_EQ(TIME_SHIFT_DAYS.value.load(), 0);
    EXPECT_EQ(TIME_SHIFT_HOURS.value.load(), 0);
    EXPECT_EQ(TIME_SHIFT_MINS.value.load(), 0);

    resetRunState();
    TIME_SHIFT_HOURS.value.store(3);
    SIM_TIME.value.store(false);
    KEEP_SIM_TIME_PAR.value.store(true);
    gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
    lf_closingDown();
    EXPECT_EQ(TIME_SHIFT_HOURS.value.load(), 3);
}

TEST_F(ClosingDownThreads, SimulatorThreadIsJoinedBeforeTheCleanUp) {
    std::atomic<bool> threadEnded{false};
    RunServices& s = gf_runServices();
    s.simConnectThreadBody = [&](std::stop_token token) {
        while (!token.stop_requested()) std::this_thread::yield();
        threadEnded.store(true);
    };
    bool endedBeforeReset = false;
    s.resetSimLink = [&] { endedBeforeReset = threadEnded.load(); };
    s.engineTick = [] { gf_requestStop(EXIT_SIMCONNECT_ERROR, 1); };
    simRunning.store(1);
    lf_startRun();
    lf_closingDown();
    EXPECT_TRUE(endedBeforeReset);
    EXPECT_FALSE(simConnectThread.joinable());
}

// The simulator keeps running after the program: the run's aircraft leave it while the link is open, before the
// simulator thread is asked to stop, and the wait for the simulator's confirmations is bounded. With the link
// closed nothing can be removed, and the log says so instead of logging removals.
TEST_F(ClosingDownThreads, TheRunsAircraftLeaveTheSimulatorWhileItsLinkIsOpen) {
    struct Case {
        const char* name;
        bool linkOpen;
        std::vector<ClosingRemoval> steps;  // what the wait's steps find; the last one stays
        int linkClosesAtStep;               // -1: never
        const char* logLine;                // nullptr: no line about the removal
        double minSeconds, maxSeconds;
    };
    const std::vector<Case> cases = {
        {"confirmed", true, {{3, 3}, {3, 0}, {1, 0}, {0, 0}}, -1, "3 aircraft removed from the simulator", 0, 0.1},
        {"an unsent removal of an object no aircraft holds",
         true,
         {{1, 1}, {0, 1}, {0, 0}},
         -1,
         "1 aircraft removed from the simulator",
         0,
         0.1},
        {"never confirmed",
         true,
         {{2, 0}},
         -1,
         "===> 2 aircraft not confirmed removed from the simulator within 5 s",
         5.0,
         5.1},
        {"the link closes during the wait",
         true,
         {{2, 0}},
         3,
         "===> 2 aircraft not confirmed removed from the simulator: the link to it is closed",
         0,
         0.1},
        {"the link is closed",
         false,
         {},
         -1,
         "4 aircraft not removed from the simulator: the link to it is closed",
         0,
         0.1},
        {"nothing in the simulator", true, {{0, 0}}, -1, nullptr, 0, 0.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetRunState();
        calls_.clear();
        const std::size_t logBefore = logText().size();
        RunServices& s = gf_runServices();
        s = recordingServices(calls_);
        simConnectThread = std::jthread([](std::stop_token token) {
            while (!token.stop_requested()) std::this_thread::yield();
        });
        auto linkThreadRuns = [] { return !simConnectThread.get_stop_token().stop_requested(); };
        std::uint32_t stepsTaken = 0;
        s.simLinkClosedReason = [&] {
            const bool open = c.linkOpen && (c.linkClosesAtStep < 0 || stepsTaken < unsigned(c.linkClosesAtStep));
            return std::string(open ? "" : "the link to it is closed");
        };
        s.parkAirportCurrent = [] { return true; };
        bool removedWhileTheLinkRan = false;
        s.removeStaticParked = [&] {
            calls_.add("removeStaticParked");
            removedWhileTheLinkRan = linkThreadRuns();
        };
        s.removeAllLiveAircraft = [&] {
            calls_.add("removeAllLiveAircraft");
            removedWhileTheLinkRan = removedWhileTheLinkRan && linkThreadRuns();
        };
        s.closingRemovalStep = [&](std::uint32_t step) {
            EXPECT_EQ(step, stepsTaken) << "steps counted from 0";
            ++stepsTaken;
            return c.steps[std::min<std::size_t>(step, c.steps.size() - 1)];
        };
        s.dropAircraftOfClosedLink = [&] {
            calls_.add("dropAircraftOfClosedLink");
            return std::size_t{4};
        };
        gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
        const auto start = clock_.steadyNow();

        lf_closingDown();

        const double waited = elapsedSeconds(start);
        EXPECT_GE(waited, c.minSeconds);
        EXPECT_LT(waited, c.maxSeconds);
        EXPECT_TRUE(calls_.has("removeStaticParked")) << "the park airport is left in every case";
        if (c.linkOpen) {
            EXPECT_TRUE(removedWhileTheLinkRan) << "removed before the simulator thread was asked to stop";
            EXPECT_TRUE(calls_.has("removeAllLiveAircraft"));
            EXPECT_FALSE(calls_.has("dropAircraftOfClosedLink"));
        } else {
            EXPECT_EQ(stepsTaken, 0u);
            EXPECT_FALSE(calls_.has("removeAllLiveAircraft"));
            EXPECT_LT(calls_.indexOf("dropAircraftOfClosedLink"), calls_.indexOf("removeStaticParked"))
                << "no removal is logged for an aircraft the simulator never hears of";
        }
        const std::string log = logText().substr(logBefore);
        if (c.logLine != nullptr)
            EXPECT_NE(log.find(c.logLine), std::string::npos) << log;
        else
            EXPECT_EQ(log.find("aircraft removed"), std::string::npos) << log;
        simConnectThread.request_stop();
        simConnectThread.join();
    }
}

// What a run leaves behind must not reach the next one: the flight wait would take the old position for the
// new flight, the first-traffic wait would end at once, and the time shift would not be derived again.
TEST_F(ClosingDown, CleanUpLeavesNothingOfTheRunBehind) {
    userState.latitude = 52.3;
    userState.longitude = 4.76;
    lastSimTimeSeen.store(1700000000);
    secondCounter.store(77);
    flightPaused.store(1);
    planningUnderway.store(1);
    // A read-only user file is reported once a run: the next run reports it again.
    const std::filesystem::path readOnly = root_ / "my_park_airports.txt";
    std::ofstream(readOnly) << "EDDF\n";
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_write, std::filesystem::perm_options::remove);
    EXPECT_TRUE(gf_refuseReadOnlyFile(readOnly));
    EXPECT_TRUE(gf_refuseReadOnlyFile(readOnly));
    lf_restartCleanup();
    EXPECT_TRUE(gf_refuseReadOnlyFile(readOnly));
    const std::string log = logText();
    size_t reports = 0;
    for (size_t at = log.find("is read-only"); at != std::string::npos; at = log.find("is read-only", at + 1))
        ++reports;
    EXPECT_EQ(reports, 2u) << log;
    EXPECT_EQ(userState.latitude, 0.0);
    EXPECT_EQ(userState.longitude, 0.0);
    EXPECT_EQ(lastSimTimeSeen.load(), 0);
    EXPECT_EQ(secondCounter.load(), 0u);
    EXPECT_EQ(flightPaused.load(), 0);
    EXPECT_EQ(planningUnderway.load(), 0);
    EXPECT_TRUE(calls_.has("resetFeedSession"));

    // The program's own feed reset: data time, buffered mode and QNH back to their start.
    trafficReader.lastFeedTimestamp.store(1700000000.0);
    trafficReader.bufferedMode.store(1);
    qnhHpa.store(990);
    gf_defaultRunServices().resetFeedSession();
    EXPECT_EQ(trafficReader.lastFeedTimestamp.load(), 0.0);
    EXPECT_EQ(trafficReader.bufferedMode.load(), 0);
    EXPECT_EQ(qnhHpa.load(), 1013);
}

// A restart while static aircraft are being planned: the clean-up releases the planning lock with the
// engine's lists, and the controls that the lock disabled are enabled with it (the program's own services).
TEST_F(ClosingDown, RestartDuringPlanningReleasesTheParkingControls) {
    ASSERT_TRUE(initInstance("Vexa", ui::Backend::headless));
    ui::HeadlessWindow* window = gf_headlessWindow();
    ASSERT_NE(window, nullptr);
    gf_resetRunServices();
    gf_enableParkingControls();
    gf_enableControl(kFlushStaticButtonId, false);
    gf_disableParkingControls();
    ASSERT_EQ(uiBusy.load(), 1);
    ASSERT_FALSE(window->enabled(RT_PARKTRAFFIC_ONLY.controlId));

    lf_restartCleanup();
    EXPECT_EQ(uiBusy.load(), 0);
    for (int id :
         {RT_PARKTRAFFIC_ONLY.controlId, CUSTOM_MAX_PARK.controlId, INITIAL_LOAD_ONLY.controlId, PARK_FAKE.controlId,
          PARK_SOFT.controlId, WEEK.controlId, parking_percentage.controlId, MAX_FIT_FL.controlId})
        EXPECT_TRUE(window->enabled(id)) << id;
    EXPECT_FALSE(window->enabled(kFlushStaticButtonId)) << "no park airport after a restart";
    gf_destroyMainWindow();
}

// The start of a run always runs the simulator thread beside it.
class StartRunThreads : public RunFixture {};

TEST_F(StartRunThreads, ReadersStartAfterTheirWaitsRunOut) {
    RunServices& s = gf_runServices();
    s.loggedIn = [] { return false; };
    s.weatherReady = [] { return std::int32_t{0}; };
    s.trafficDataTime = [] { return 0.0; };
    Clock::SteadyTime authAt{}, weatherAt{}, trafficAt{}, loopAt{};
    s.authenticate = [&] { authAt = clock_.steadyNow(); };
    s.startReader = [&](FeedReader r) { (r == FeedReader::weather ? weatherAt : trafficAt) = clock_.steadyNow(); };
    s.updateParking = [&](bool) { loopAt = clock_.steadyNow(); };
    s.engineTick = [] { gf_requestStop(EXIT_USER_CLOSED_SIM, 0); };
    simRunning.store(1);
    lf_startRun();
    using D = std::chrono::duration<double>;
    EXPECT_NEAR(D(weatherAt - authAt).count(), 3.0, 0.01);
    EXPECT_NEAR(D(trafficAt - weatherAt).count(), 3.0, 0.01);
    EXPECT_NEAR(D(loopAt - trafficAt).count(), 15.0, 0.01);
    EXPECT_NE(logText().find("No traffic in this region?"), std::string::npos);
}

TEST_F(StartRunThreads, OrderOfTheStart) {
    gf_runServices().engineTick = [this] {
        calls_.add("engineTick");
        gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
    };
    simRunning.store(1);
    lf_startRun();
    const std::vector<std::string> order = {"clearRunIndicators",
                                            "setupSessionContainers",
                                            "reserveLiveryContainers",
                                            "resetSimConnectQueues",
                                            "requestUserTitleAndModel",
                                            "clearFeedLampOff",
                                            "setOwnPosition",
                                            "feedIntake:0",
                                            "setQueryBox",
                                            "authenticate",
                                            "setLampsStarting",
                                            "startWeather",
                                            "startTraffic",
                                            "updateParking:1",
                                            "feedIntake:1",
                                            "engineTick"};
    int last = -1;
    for (const std::string& name : order) {
        const int at = calls_.indexOf(name);
        EXPECT_GT(at, last) << name;
        last = at;
    }
    // No professional account: the time controls are off and the shift is 0.
    EXPECT_TRUE(calls_.has("enableTimeShiftControls:0"));
    EXPECT_TRUE(calls_.has("setTimeShift:0"));
}

// The real readers, started in the real order against the service stand-in: the first METAR and weather
// requests already ask for the user's position, not for 0,0 left by the restart clean-up.
TEST_F(StartRunThreads, FirstWeatherRequestsAskForTheUsersPosition) {
    rtstub::Server stub;
    stub.loadScenario(
        {{"licenses", nlohmann::json::array({{{"license", "LIC-12345678"}, {"type", 1}, {"expiryDays", 30}}})},
         {"rrl", 2000},
         {"wrrl", 3000},
         {"stations", nlohmann::json::array({{{"icao", "EHAM"}, {"lat", 52.31}, {"lon", 4.76}, {"qnh", 1023}},
                                             {{"icao", "EGLL"}, {"lat", 51.47}, {"lon", -0.45}, {"qnh", 1001}}})},
         {"tracks", nlohmann::json::array()}});
    stub.setUnixTime(1700000000.0);
    stub.start();
    ::setenv("VEXA_API_URL", stub.baseUrl().c_str(), 1);
    gf_resetFeed();  // as the restart clean-up leaves it: position 0,0
    mainWindow.qnh.store(0);
    rtCredential = "LIC-12345678";
    userState.latitude = 52.3;
    userState.longitude = 4.76;
    userState.altitude = 2500.0;

    const RunServices real = gf_defaultRunServices();
    RunServices& s = gf_runServices();
    s.setQueryBox = real.setQueryBox;
    s.authenticate = real.authenticate;
    s.loggedIn = real.loggedIn;
    s.weatherReady = real.weatherReady;
    s.userPosition = real.userPosition;
    s.setOwnPosition = real.setOwnPosition;
    // However fast the run thread goes on, the weather reader's first requests are out before it does.
    s.startReader = [&](FeedReader r) {
        real.startReader(r);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (r == FeedReader::weather && stub.requestCount("weather") == 0 &&
               std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    s.engineTick = [] { gf_requestStop(EXIT_USER_CLOSED_SIM, 0); };
    simRunning.store(1);
    lf_startRun();

    // The first pressure, from the station near the user.
    const auto qnhBy = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (qnhHpa.load() == 1013 && std::chrono::steady_clock::now() < qnhBy)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    weatherReader.readerStop.store(1);
    trafficReader.readerStop.store(1);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while ((weatherReader.readerStopped.load() == 0 || trafficReader.readerStopped.load() == 0) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(weatherReader.readerStopped.load(), 1);
    ASSERT_EQ(trafficReader.readerStopped.load(), 1);

    bool sawMetar = false, sawWeather = false;
    for (const auto& request : stub.requests()) {
        if (request.endpoint == "nearestmetar" && !sawMetar) {
            sawMetar = true;
            EXPECT_EQ(request.form.at("lat"), "52.3000");
            EXPECT_EQ(request.form.at("lon"), "4.7600");
        }
        if (request.endpoint == "weather" && !sawWeather) {
            sawWeather = true;
            EXPECT_EQ(request.form.at("lat"), "52.3000");
            EXPECT_EQ(request.form.at("alt"), "2500");
            EXPECT_EQ(request.form.at("airports"), "EHAM");
        }
    }
    EXPECT_TRUE(sawMetar);
    EXPECT_TRUE(sawWeather);
    EXPECT_EQ(qnhHpa.load(), 1023);

    stub.stop();
    ::unsetenv("VEXA_API_URL");
    gf_resetFeed();
    userState = UserState{};
    mainWindow.qnh.store(0);
    simRunning.store(0);
}

TEST_F(StartRunThreads, FlightWaitEndsOnAStop) {
    std::thread closer([this] {
        while (clock_.sleepCount() < 10) std::this_thread::yield();
        gf_requestUserClose();
    });
    lf_startRun();  // the simulator never runs a flight
    closer.join();
    EXPECT_FALSE(calls_.has("authenticate"));
    EXPECT_FALSE(calls_.has("startWeather"));
}

TEST_F(StartRunThreads, WaitsUntilTheFlightIsLoaded) {
    int asked = 0;
    RunServices& s = gf_runServices();
    s.requestUserPosition = [&] { ++asked; };
    s.userPosition = [&] { return asked < 3 ? UserPosition{0.0, 0.0} : UserPosition{47.4, 8.5}; };
    simRunning.store(1);
    EXPECT_TRUE(lf_waitForFlight());
    EXPECT_EQ(asked, 3);
}

}  // namespace
