// Take-off, flight and landing steps of one live aircraft.
#include "tests/engine/motion_fixture.h"

using namespace motiontest;

namespace {

// A Large aircraft rolling on the runway with its head point and the points ahead.
LiveAircraft rollingAircraft(double headKt, std::vector<StreamPoint> ahead) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0.0, headKt, kStart));
    for (auto& p : ahead) ac.stream.push_back(p);
    ac.takingOff = 1;
    ac.setPhase(MovementPhase::Taxi);
    return ac;
}

}  // namespace

using MotionFlight = MotionTest;

TEST_F(MotionFlight, TakeOffRollThrottleFollowsHeadAndAimSpeeds) {
    struct Case {
        double head, aim;
        uint32_t step;
    } cases[] = {{22, 26, 2}, {26, 26, 4}, {10, 30, 4}, {16, 10, 1}, {10, 20, 1}, {10, 19, 0}};
    for (const auto& c : cases) {
        LiveAircraft ac = rollingAircraft(c.head, {point(47.001, 8.0, 0.0, c.aim, kStart + 500)});
        groundAimStep(ac);
        EXPECT_EQ(ac.throttleIndex, c.step) << c.head << " / " << c.aim;
        const auto events = takeEvents();
        EXPECT_EQ(lastEventData(events, vsim::kEvThrottleSet), kThrottleSteps[c.step]);
    }
    // A rotorcraft taking off always gets full throttle.
    LiveAircraft heli = makeAircraft(AircraftCategory::Rotorcraft, point(47.0, 8.0, 0.0, 5, kStart));
    heli.stream.push_back(point(47.001, 8.0, 0.0, 5, kStart + 500));
    heli.takingOff = 1;
    groundAimStep(heli);
    EXPECT_EQ(heli.throttleIndex, 4u);
}

TEST_F(MotionFlight, RotationNeedsSpeedAndAirborneFastPointsAhead) {
    // 50 kt with airborne points ahead slower than the Large take-off speed: no rotation.
    LiveAircraft slow = rollingAircraft(
        50, {point(47.01, 8.0, 600, 130, kStart + 500, 100), point(47.02, 8.0, 900, 135, kStart + 1000, 100)});
    groundAimStep(slow);
    EXPECT_NE(slow.phase, MovementPhase::TakeOff);
    // The same when every point ahead climbs faster than 256 ft/min: it rotates.
    LiveAircraft climbing = rollingAircraft(
        50, {point(47.01, 8.0, 600, 130, kStart + 500, 1200), point(47.02, 8.0, 900, 135, kStart + 1000, 1500)});
    groundAimStep(climbing);
    EXPECT_EQ(climbing.phase, MovementPhase::TakeOff);
    EXPECT_EQ(climbing.rotationCountdown, static_cast<int32_t>(climbing.rotationTicks));
    // Fast and airborne points ahead rotate with the largest climb step.
    LiveAircraft fast =
        rollingAircraft(50, {point(47.01, 8.0, 600, 145, kStart + 500), point(47.02, 8.0, 900, 150, kStart + 1000)});
    groundAimStep(fast);
    EXPECT_EQ(fast.phase, MovementPhase::TakeOff);
    EXPECT_DOUBLE_EQ(fast.altStep, fast.maxClimbStep);
    // Below 43 kt nothing rotates.
    LiveAircraft early =
        rollingAircraft(42.9, {point(47.01, 8.0, 600, 145, kStart + 500), point(47.02, 8.0, 900, 150, kStart + 1000)});
    groundAimStep(early);
    EXPECT_NE(early.phase, MovementPhase::TakeOff);
}

TEST_F(MotionFlight, ClimbOutRaisesGearOnceAtTheEndOfTheRampAndThenFlies) {
    LiveAircraft ac =
        rollingAircraft(140, {point(47.01, 8.0, 600, 150, kStart + 5000), point(47.02, 8.0, 900, 150, kStart + 9000)});
    ac.position[kPosPitch] = ac.staticPitch;
    startRotation(ac);
    takeEvents();
    ac.altStep = 0.5;
    ac.heightAglFt = 1000.0;
    std::vector<size_t> gearTicks;
    int tick = 0;
    const int rotation = static_cast<int>(ac.rotationTicks);
    for (; tick < 2000 && ac.phase == MovementPhase::TakeOff; ++tick) {
        climbOutStep(ac);
        const auto events = takeEvents();
        if (countEvent(events, vsim::kEvGearSet)) gearTicks.push_back(static_cast<size_t>(tick));
        if (tick < rotation - 1) {
            EXPECT_EQ(ac.position[kPosAlt], 0.0) << "no climb while rotating";
        }
        ASSERT_GE(ac.position[kPosPitch], ac.climbPitch - 0.001);
    }
    ASSERT_EQ(gearTicks.size(), 1u);
    // The rotation ends when the countdown reaches 0; the gear goes up 300 ticks later.
    EXPECT_EQ(gearTicks[0], static_cast<size_t>(rotation - 1 + 300));
    EXPECT_EQ(ac.phase, MovementPhase::Flying);
    EXPECT_EQ(ac.onGround, 0);
    EXPECT_EQ(ac.throttleIndex, 3u);
    EXPECT_GT(ac.position[kPosAlt], 0.0);
}

TEST_F(MotionFlight, PitchTargetFollowsTheAimVerticalSpeed) {
    // HighPerf with a long leg: the per-tick limit does not bite, so pitchStep x dt is the target.
    struct Case {
        double vs, pitchDeg;
    } cases[] = {{1200, -7.4}, {-1200, -0.8}, {3000, -11.8}, {2400, -11.8}, {0, -3.0}, {-4000, 2.5}};
    for (const auto& c : cases) {
        LiveAircraft ac = makeAircraft(AircraftCategory::HighPerf, point(47.0, 8.0, 20000, 300, kStart, c.vs));
        ac.stream.push_back(point(47.5, 8.0, 20000, 300, kStart + 10000, c.vs));
        ac.setPhase(MovementPhase::Flying);
        ac.heightAglFt = 19000;
        flightAimStep(ac);
        EXPECT_NEAR(ac.pitchStep * 10000 / kDeg, c.pitchDeg, 1e-9) << c.vs;
    }
}

TEST_F(MotionFlight, BankTargetIsTheHeadingChangeInRadiansWithinTheCategoryLimit) {
    // The next leg turns right by the given angle; bankStep x dt is the bank target (negative: right).
    auto bankTarget = [&](AircraftCategory cat, double turnDeg) {
        LiveAircraft ac = makeAircraft(cat, point(47.0, 8.0, 20000, 300, kStart));
        ac.position[kPosHeading] = 0.0;
        ac.stream.push_back(point(47.5, 8.0, 20000, 300, kStart + 100000));
        const LatLon next = gf_destinationPoint({47.5, 8.0}, turnDeg * kDeg, 50000);
        ac.stream.push_back(point(next.latitude, next.longitude, 20000, 300, kStart + 200000));
        ac.setPhase(MovementPhase::Flying);
        flightAimStep(ac);
        return ac.bankStep * 100000 / kDeg;
    };
    EXPECT_NEAR(bankTarget(AircraftCategory::HighPerf, 10), -10.0, 0.05);
    EXPECT_NEAR(bankTarget(AircraftCategory::Heavy, 60), -20.0, 1e-9);
    EXPECT_NEAR(bankTarget(AircraftCategory::HighPerf, -57.29577951308232), 57.2958, 0.05);
    // A bank change per tick never exceeds the category's limit.
    LiveAircraft ac = makeAircraft(AircraftCategory::Heavy, point(47.0, 8.0, 20000, 300, kStart));
    setBankStep(ac, 1.0, 25);
    EXPECT_NEAR(std::fabs(ac.bankStep), categoryValues(3).maxBankStep, 1e-15);
}

TEST_F(MotionFlight, DescentToTheLandingPointByPressure) {
    currentAirport.icao = "LSZH";
    currentAirport.latitude = 47.46;
    currentAirport.longitude = 8.55;
    currentAirport.altitude = 1400;
    auto descend = [&](int32_t pressure) {
        qnhHpa.store(pressure);
        // Far from the airport, so that no landing configuration adds its own gear command.
        LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.55, 2400, 140, kStart, -700));
        ac.stream.push_back(point(47.04, 8.55, 0, 130, kStart + 1000, -700));
        ac.setPhase(MovementPhase::Flying);
        ac.heightAglFt = 1000;
        flightAimStep(ac);
        EXPECT_EQ(countEvent(takeEvents(), vsim::kEvGearSet), 1u);
        return ac;
    };
    LiveAircraft at1013 = descend(1013);
    EXPECT_DOUBLE_EQ(at1013.altStep, (1400.0 - 2400.0) / 1000);
    LiveAircraft at1020 = descend(1020);
    EXPECT_DOUBLE_EQ(at1020.targetVsFpm, -700.0 - 42.0);
    EXPECT_DOUBLE_EQ(at1020.altStep, -742.0 / 6000.0);
    // Without an airport at 1013 the fixed descent rate.
    currentAirport = CurrentAirport{};
    LiveAircraft noAirport = descend(1013);
    EXPECT_DOUBLE_EQ(noAirport.targetVsFpm, -601.0);
}

TEST_F(MotionFlight, ConfigurationByHeightLandsNearTheAirportAndGoesAroundWhenClimbing) {
    currentAirport.icao = "LSZH";
    currentAirport.latitude = 47.46;
    currentAirport.longitude = 8.55;
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.40, 8.55, 2000, 140, kStart, -700));
    ac.stream.push_back(point(47.41, 8.55, 1900, 140, kStart + 1000, -700));
    ac.setPhase(MovementPhase::Flying);
    ac.heightAglFt = 1500;  // below the Large threshold of 2050 ft
    flightAimStep(ac);
    auto events = takeEvents();
    EXPECT_EQ(ac.landing, 1);
    EXPECT_EQ(ac.throttleIndex, 1u);
    EXPECT_EQ(ac.flapsIndex, 3u);
    EXPECT_EQ(lastEventData(events, vsim::kEvGearSet), 1);
    ASSERT_FALSE(standCheckList.empty());
    EXPECT_EQ(standCheckList.back(), ac.id);
    EXPECT_EQ(ac.earlyWindowTicks, 3000);
    // Now climbing fast: a missed approach, once.
    ac.stream.push_front(point(47.41, 8.55, 1900, 140, kStart + 1000, 1500));
    ac.stream.push_back(point(47.42, 8.55, 2200, 140, kStart + 2000, 1500));
    flightAimStep(ac);
    events = takeEvents();
    EXPECT_EQ(ac.goAround, 1);
    EXPECT_EQ(ac.landing, 0);
    EXPECT_EQ(ac.throttleIndex, 4u);
    EXPECT_EQ(lastEventData(events, vsim::kEvGearSet), 0);
    flightAimStep(ac);
    EXPECT_EQ(countEvent(takeEvents(), vsim::kEvThrottleSet), 0u);
}

TEST_F(MotionFlight, LowLightsAreSentAgainOnEveryNewDescentBelow10000Ft) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 9000, 250, kStart, 1000));
    ac.setPhase(MovementPhase::Flying);
    ac.heightAglFt = 8000;
    auto lowLightsAfter = [&](double headAlt) {
        ac.stream.clear();
        ac.stream.push_back(point(47.0, 8.0, headAlt, 250, now()));
        ac.stream.push_back(point(47.1, 8.0, headAlt, 250, now() + 3000));
        flightAimStep(ac);
        const auto events = takeEvents();
        // The low pattern is the only one with the strobes on.
        return lastEventData(events, vsim::kEvStrobesSet) == 1;
    };
    EXPECT_TRUE(lowLightsAfter(9000));
    EXPECT_FALSE(lowLightsAfter(8000));
    EXPECT_FALSE(lowLightsAfter(11000));  // cruise pattern
    EXPECT_EQ(ac.cruiseConfigSet, 1);
    EXPECT_TRUE(lowLightsAfter(9500));  // a new descent
    EXPECT_FALSE(lowLightsAfter(9000));
}

TEST_F(MotionFlight, FlareStagesByHeightOverTheStaticCg) {
    currentAirport.icao = "LSZH";
    currentAirport.altitude = 1400;
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 1450, 130, kStart, -700));
    ac.landing = 1;
    ac.setPhase(MovementPhase::Flying);
    struct Step {
        double agl;
        uint32_t stage;
        double altStep;
    } steps[] = {{50, 0, 0.0}, {38, 1, -0.1}, {28, 2, -0.075}, {18, 3, -0.05}, {11, 4, -0.025}};
    for (const auto& s : steps) {
        ac.heightAglFt = s.agl;
        ac.position[kPosAlt] = 1400 + s.agl;
        flareStep(ac);
        EXPECT_EQ(ac.flareStage, s.stage) << s.agl;
        if (s.stage) {
            EXPECT_DOUBLE_EQ(ac.altStep, s.altStep);
        }
    }
    EXPECT_EQ(ac.throttleIndex, 0u);
    // While flaring the nose never rises above -4 degrees.
    ac.pitchStep = -1.0;
    stepMotion(ac);
    EXPECT_NEAR(ac.position[kPosPitch], -4.0 * kDeg, 1e-12);
}

TEST_F(MotionFlight, RollOutEndsWhenTheHeadingTurnsOffTheRunwayTheShorterWay) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Light, point(47.0, 8.0, 0, 60, kStart));
    ac.stream.push_back(point(47.001, 8.0, 0, 50, kStart + 300));
    ac.rollingOut = 1;
    ac.touchdownHeading = 359.0 * kDeg;
    ac.position[kPosHeading] = 2.0 * kDeg;  // 3 degrees across north: still on the runway
    rollOutStep(ac);
    auto events = takeEvents();
    EXPECT_EQ(ac.rollingOut, 1);
    EXPECT_EQ(lastEventData(events, vsim::kEvSpoilersSet), 0);
    EXPECT_EQ(ac.flapsIndex, 1u);
    ac.position[kPosHeading] = 30.0 * kDeg;  // turned off
    rollOutStep(ac);
    events = takeEvents();
    EXPECT_EQ(ac.rollingOut, 0);
    EXPECT_EQ(ac.flapsIndex, 0u);
    EXPECT_EQ(ac.throttleIndex, 0u);
    // Runway-exit lights: landing off, taxi on, cabin on.
    EXPECT_EQ(lastEventData(events, vsim::kEvLandingLightsSet), 0);
    EXPECT_EQ(lastEventData(events, vsim::kEvTaxiLightsSet), 1);
    EXPECT_EQ(lastEventData(events, vsim::kEvCabinLightsSet), 1);
}

TEST_F(MotionFlight, RotorcraftNeverGetGearFlapsOrSpoilers) {
    LiveAircraft heli = makeAircraft(AircraftCategory::Rotorcraft, point(47.0, 8.0, 0, 0, kStart));
    startTakeOff(heli);
    cruiseConfig(heli);
    heli.rollingOut = 1;
    heli.position[kPosHeading] = 1.0;
    rollOutStep(heli);
    const auto events = takeEvents();
    EXPECT_EQ(countEvent(events, vsim::kEvGearSet), 0u);
    EXPECT_EQ(countEvent(events, vsim::kEvFlapsSet), 0u);
    EXPECT_EQ(countEvent(events, vsim::kEvSpoilersSet), 0u);
    EXPECT_EQ(heli.throttleIndex, 4u);
}

TEST_F(MotionFlight, TickWindowKeepsTheAimTickWithinItsLimits) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 5000, 250, kStart));
    ac.stream.push_back(point(47.1, 8.0, 5000, 250, kStart + 5000));
    ac.earlyWindowTicks = 1000;
    ac.lateWindowTicks = 1000;
    setAimTick(ac, 10000);  // far too late: the late limit
    EXPECT_EQ(ac.stream[1].tick, kStart + 6000);
    ac.stream[1].tick = kStart + 5000;
    setAimTick(ac, 100);  // far too early: the early limit
    EXPECT_EQ(ac.stream[1].tick, kStart + 4000);
    ac.stream[1].tick = kStart + 5000;
    setAimTick(ac, 4500);
    EXPECT_EQ(ac.stream[1].tick, kStart + 4500);
    // While extending, the aim tick is simply now + T.
    ac.extendCount = 3;
    setAimTick(ac, 100);
    EXPECT_EQ(ac.stream[1].tick, kStart + 100);
    // Never before now.
    ac.extendCount = 0;
    ac.stream[1].tick = kStart - 5000;
    setAimTick(ac, 25);
    EXPECT_EQ(ac.stream[1].tick, kStart);
    // Ticks from distance and speed: nm x 360000 / kt, at least 25.
    EXPECT_EQ(motion::ticksFor(1.0, 360.0), 1000);
    EXPECT_EQ(motion::ticksFor(0.0001, 360.0), 25);
    EXPECT_EQ(motion::ticksFor(1.0, 0.0), 360000);
}

TEST_F(MotionFlight, StepMotionNeverLeavesANaNAndWrapsHeadingAndLongitude) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(10.0, 179.9999, 5000, 250, kStart));
    ac.setPhase(MovementPhase::Flying);
    ac.position[kPosHeading] = 6.28;
    ac.headingStep = 0.01;
    ac.lonStep = 0.001;
    stepMotion(ac);
    EXPECT_GE(ac.position[kPosHeading], 0.0);
    EXPECT_LT(ac.position[kPosHeading], motion::kTwoPi);
    EXPECT_LT(ac.position[kPosLon], -179.0);
    ac.pitchStep = std::numeric_limits<double>::quiet_NaN();
    ac.headingStep = std::numeric_limits<double>::infinity();
    ac.altStep = std::numeric_limits<double>::quiet_NaN();
    stepMotion(ac);
    EXPECT_TRUE(finitePosition(ac));
}

TEST_F(MotionFlight, LiftOffOverGroundPointsLeadsToTheFirstAirbornePointAtItsTick) {
    // In the air, but the points ahead still lie on the ground: the climbing stream skips to its
    // first airborne point, and the aircraft must get there at that point's tick.
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0.0, 150, kStart, 500));
    ac.onGround = 0;
    ac.setPhase(MovementPhase::Flying);
    ac.heightAglFt = 50.0;
    ac.stream.push_back(point(47.001, 8.0, 0.0, 150, kStart + 200, 500));
    ac.stream.push_back(point(47.002, 8.0, 0.0, 150, kStart + 400, 500));
    ac.stream.push_back(point(47.006, 8.0, 400.0, 160, kStart + 1200, 1500));
    ac.stream.push_back(point(47.010, 8.0, 800.0, 170, kStart + 2000, 1500));
    ac.position[kPosHeading] = 0.0;
    nextPos(ac);
    ASSERT_EQ(ac.stream.size(), 2u);
    ASSERT_DOUBLE_EQ(ac.stream[0].latitude, 47.006);
    const uint32_t due = ac.stream[0].tick;
    for (uint32_t t = kStart; t < due; ++t) stepMotion(ac);
    EXPECT_NEAR(ac.position[kPosLat], 47.006, 1e-9);
    EXPECT_NEAR(ac.position[kPosLon], 8.0, 1e-9);
}
