#include "app/main_loop.h"

#include "airports/parking.h"
#include "run_fixture.h"
#include "shell/command_flags.h"

namespace {

class MainLoop : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        simRunning.store(1);
        AUTO_RANGE.value.store(true);
        CALLSIGN_OBJECTIDS.value.store(true);
        MSFS_2020.value.store(true);
    }

    // Runs the step of one counted second: the counter stands before it, the simulator's answer arrived.
    std::vector<std::string> secondStep(std::uint32_t second) {
        secondCounter.store(second - 1);
        calls_.clear();
        secondTick.store(1);
        EXPECT_TRUE(lf_mainStep());
        std::vector<std::string> scheduled;
        for (const std::string& c : calls_.calls)
            if (std::find(everySecond.begin(), everySecond.end(), c) == everySecond.end()) scheduled.push_back(c);
        return scheduled;
    }

    const std::vector<std::string> everySecond = {"engineTick",           "statusSecondStep", "recountLive",
                                                  "coupledCallsignCheck", "userCollisions",   "liveParkedCollisions"};
};

TEST_F(MainLoop, PerSecondSchedule) {
    using V = std::vector<std::string>;
    const V every15 = {"setStatusLights", "setOwnPosition", "setQueryBox"};
    auto with = [](V base, const V& more) {
        base.insert(base.end(), more.begin(), more.end());
        return base;
    };
    struct Row {
        std::uint32_t second;
        V calls;
    };
    const std::vector<Row> rows = {
        {1, {}},
        {15, every15},
        {16, {"updateParking:0"}},
        {17, {}},
        {30, with(every15, {"autoRange"})},
        {45, every15},
        {60, with(every15, {"autoRange", "showMinutesToRenewal:19"})},
        {61, {"removeStaticTwinsOfLive"}},
        {62, {"writeCallsignObjectIds"}},
        {240, with(every15, {"autoRange", "showMinutesToRenewal:16"})},  // not the 16-second update
        {915, every15},                                                  // 15 x 61
        {930, with(every15, {"autoRange"})},                             // 15 x 62
        {976, {"updateParking:0", "removeStaticTwinsOfLive"}},           // 16 x 61
        {1200, with(every15, {"autoRange", "showMinutesToRenewal:20", "logNoMatches"})},
        {86400, with(every15, {"autoRange", "showMinutesToRenewal:20", "logNoMatches", "writeMatchingSummary",
                               "clearRunMatchKeys"})},
    };
    for (const Row& row : rows) EXPECT_EQ(secondStep(row.second), row.calls) << "second " << row.second;
    // After 86400 the count starts again: the next step counts 1.
    EXPECT_EQ(secondCounter.load(), 0u);
    secondTick.store(1);
    lf_mainStep();
    EXPECT_EQ(secondCounter.load(), 1u);
}

TEST_F(MainLoop, GatedRulesOfTheSchedule) {
    CALLSIGN_OBJECTIDS.value.store(false);
    EXPECT_EQ(secondStep(62), std::vector<std::string>{});
    AUTO_RANGE.value.store(false);
    EXPECT_EQ(secondStep(30), (std::vector<std::string>{"setStatusLights", "setOwnPosition", "setQueryBox"}));
    planningUnderway.store(1);
    EXPECT_EQ(secondStep(16), std::vector<std::string>{});
}

TEST_F(MainLoop, RenewalEvery1200SecondsWhenParking) {
    parkingActive.store(1);
    secondStep(1200);
    EXPECT_EQ(renewalRequested.load(), 1);
    parkingActive.store(0);
}

TEST_F(MainLoop, RenewalHandShakeTakesTwoSteps) {
    RunServices& s = gf_runServices();
    s.parkAirportCurrent = [] { return true; };
    s.standsPresent = [] { return true; };
    renewalRequested.store(1);
    renewalPtOnly.store(1);
    const auto first = secondStep(15);
    EXPECT_NE(std::find(first.begin(), first.end(), "disableParkingControls"), first.end());
    EXPECT_NE(std::find(first.begin(), first.end(), "setBufferedMode"), first.end());
    EXPECT_EQ(planningUnderway.load(), 1);
    EXPECT_EQ(secondStep(16), std::vector<std::string>{});  // no parking update while planning
    const auto second = secondStep(30);
    EXPECT_NE(std::find(second.begin(), second.end(), "adjustParking:1"), second.end());
    EXPECT_EQ(renewalRequested.load(), 0);
    EXPECT_EQ(renewalPtOnly.load(), 0);
    EXPECT_EQ(planningUnderway.load(), 0);
}

TEST_F(MainLoop, StopIsSeenOnEveryStep) {
    // No once-a-second answer: the engine ticks, and a stop still ends the loop.
    EXPECT_TRUE(lf_mainStep());
    gf_requestStop(EXIT_NEW_SETTINGS, 3);
    EXPECT_FALSE(lf_mainStep());
    EXPECT_EQ(calls_.count("engineTick"), 2);
    EXPECT_FALSE(calls_.has("statusSecondStep"));
}

TEST_F(MainLoop, FlightNotRunningAndResumed) {
    simRunning.store(0);
    for (int i = 0; i < 250; ++i) EXPECT_TRUE(lf_mainStep());
    EXPECT_EQ(calls_.count("drainEngineInbox"), 250);
    EXPECT_EQ(calls_.count("clearPositionBuffers"), 1);
    EXPECT_EQ(calls_.count("feedIntake:0"), 1);
    EXPECT_EQ(calls_.count("recountLive"), 2);
    EXPECT_EQ(calls_.count("engineTick"), 0);
    const std::string log = logText();
    EXPECT_NE(log.find("Flight not running"), std::string::npos);
    EXPECT_EQ(log.find("Flight not running"), log.rfind("Flight not running"));

    simRunning.store(1);
    secondTick.store(1);
    EXPECT_TRUE(lf_mainStep());
    secondTick.store(1);
    EXPECT_TRUE(lf_mainStep());
    EXPECT_EQ(calls_.count("feedIntake:1"), 1);
    const std::string after = logText();
    EXPECT_NE(after.find("Flight resumed"), std::string::npos);
    EXPECT_EQ(after.find("Flight resumed"), after.rfind("Flight resumed"));

    simRunning.store(0);
    gf_requestUserClose();
    EXPECT_FALSE(lf_mainStep());
}

TEST_F(MainLoop, RequestsOfTheWindowAreServed) {
    flushStaticRequested.store(1);
    objectIdCallsignChanged.store(1);
    blockedCallsignChanged.store(1);
    BLOCK_CALLSIGN.set("");
    INITIAL_LOAD_ONLY.value.store(false);
    secondStep(1);
    EXPECT_TRUE(calls_.has("flushStaticAircraft"));
    EXPECT_TRUE(calls_.has("showCallsignObjectId"));
    EXPECT_FALSE(calls_.has("blockCallsign"));  // nothing to block
    EXPECT_EQ(flushStaticRequested.load(), 0);
    EXPECT_EQ(blockedCallsignChanged.load(), 0);
    EXPECT_TRUE(INITIAL_LOAD_ONLY.value.load());

    BLOCK_CALLSIGN.set("KLM123");
    blockedCallsignChanged.store(1);
    secondStep(2);
    EXPECT_TRUE(calls_.has("blockCallsign"));

    // A re-read waits while planning has the buttons, then runs on a 15-second step.
    reReadRequested.store(1);
    uiBusy.store(1);
    secondStep(15);
    EXPECT_FALSE(calls_.has("rereadParkAirports"));
    uiBusy.store(0);
    secondStep(30);
    EXPECT_TRUE(calls_.has("rereadParkAirports"));
    EXPECT_TRUE(calls_.has("enableRereadControls"));
    EXPECT_EQ(reReadRequested.load(), 0);
}

TEST_F(MainLoop, TimeShiftFollowsTheSimulatorClock) {
    RunServices& s = gf_runServices();
    s.professionalAccount = [] { return true; };
    std::int64_t simTime = clock_.utcNow().time_since_epoch() / std::chrono::seconds(1) - 3600;
    s.simUtcSeconds = [&] { return simTime; };
    SIM_TIME.value.store(true);
    lastSimTimeSeen.store(0);
    secondStep(1);
    EXPECT_TRUE(calls_.has("setTimeShift:60"));
    secondStep(2);  // unchanged: no correction
    EXPECT_FALSE(calls_.has("setTimeShift:60"));
    simTime += 7200;  // now ahead of the real time
    secondStep(3);
    EXPECT_TRUE(calls_.has("setTimeShift:0"));
}

TEST_F(MainLoop, PacedByTheDeadlineAndRebasedByTheSecondTick) {
    int ticks = 0;
    gf_runServices().engineTick = [&] {
        if (++ticks == 101) gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
    };
    const auto start = clock_.steadyNow();
    lf_mainLoop();
    EXPECT_EQ(ticks, 101);
    EXPECT_NEAR(elapsedSeconds(start), 1.0, 0.011);

    // After a slow step the loop does not sleep until it is back on its 10 ms grid.
    resetRunState();
    simRunning.store(1);
    ticks = 0;
    Clock::SteadyTime tickAt[5];
    gf_runServices().engineTick = [&] {
        tickAt[ticks] = clock_.steadyNow();
        if (ticks == 1) clock_.advance(std::chrono::milliseconds(25));  // a slow step
        if (++ticks == 5) gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
    };
    lf_mainLoop();
    using Ms = std::chrono::duration<double, std::milli>;
    EXPECT_NEAR(Ms(tickAt[1] - tickAt[0]).count(), 10.0, 0.5);
    EXPECT_NEAR(Ms(tickAt[2] - tickAt[1]).count(), 25.0, 0.5);
    EXPECT_NEAR(Ms(tickAt[3] - tickAt[2]).count(), 0.0, 0.5);
    EXPECT_NEAR(Ms(tickAt[4] - tickAt[0]).count(), 40.0, 0.5);
}

TEST_F(MainLoop, SecondTickRebasesTheDeadline) {
    // A late per-second step, and the next answer already there: the schedule starts again from now instead of
    // catching up with the old grid.
    int ticks = 0;
    Clock::SteadyTime tickAt[4];
    ManualClock& clock = clock_;
    RunServices& s = gf_runServices();
    s.engineTick = [&] {
        tickAt[ticks] = clock.steadyNow();
        if (++ticks == 4) gf_requestStop(EXIT_USER_CLOSED_SIM, 0);
    };
    s.statusSecondStep = [&] {
        if (ticks == 1) clock.advance(std::chrono::milliseconds(25));
    };
    s.recountLive = [&] {
        if (ticks == 1) secondTick.store(1);
    };
    secondTick.store(1);
    lf_mainLoop();
    using Ms = std::chrono::duration<double, std::milli>;
    EXPECT_NEAR(Ms(tickAt[1] - tickAt[0]).count(), 25.0, 0.5);
    EXPECT_NEAR(Ms(tickAt[2] - tickAt[1]).count(), 10.0, 0.5);  // without the re-base: 5
    EXPECT_NEAR(Ms(tickAt[3] - tickAt[2]).count(), 10.0, 0.5);
}

}  // namespace
