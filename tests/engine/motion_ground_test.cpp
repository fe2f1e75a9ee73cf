// Ground movement: stands, pushback, pull-out, curves, the end of a stream and the respawn.
#include "tests/engine/motion_fixture.h"

#include "airports/learned.h"
#include "engine/ground_grid.h"
#include "foundation/settings.h"

using namespace motiontest;

namespace {

constexpr double kMetre = 0.0005399568034557236;  // nm
constexpr double kFeetPerNm = 6076.11549;

LatLon offset(double lat, double lon, double bearingDeg, double metres) {
    return gf_destinationPoint({lat, lon}, bearingDeg * kDeg, metres * kMetre * kFeetPerNm);
}

double metresBetween(const LatLon& a, const LatLon& b) { return gf_distanceNm(a, b) / kMetre; }

// The park airport, selected at a position: the feed reports ground traffic within 5 nm of it.
void parkAirportAt(double lat, double lon) {
    currentAirport.icao = "TEST";
    currentAirport.latitude = lat;
    currentAirport.longitude = lon;
}

LatLon at(const StreamPoint& p) { return {p.latitude, p.longitude}; }
LatLon at(const LiveAircraft& ac) { return {ac.position[kPosLat], ac.position[kPosLon]}; }

// One stand of 20 m radius heading north at 47.0 / 8.0, with id 7.
ParkPos& addStand() {
    currentStands.emplace_back("A7", std::vector<StandOption>{}, 47.0, 8.0, 0.0, 20.0, 1, 1, 1);
    currentStands.back().id = 7;
    return currentStands.back();
}

// A live aircraft parked on the stand of addStand, in the live list.
LiveAircraft& parkedOnStand() {
    StreamPoint stop = point(47.0, 8.0, 0, 0, kStart);
    stop.engineFlag = 1;
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, stop);
    ac.standId = 7;
    ac.standLatitude = 47.0;
    ac.standLongitude = 8.0;
    ac.standHeading = 0.0;
    ac.setPhase(MovementPhase::Parked);
    lf_appendLive(LiveAircraft(ac));
    return liveList.back();
}

// Runs the per-tick update of the first live aircraft for n ticks (advancing the engine clock).
template <typename Check>
void run(int n, Check check) {
    for (int i = 0; i < n; ++i) {
        updateLiveAc(liveList.front());
        positionBackBuffer->clear();
        check(liveList.front());
        engineTick.store(engineTick.load() + 1);
    }
}

}  // namespace

using MotionGround = MotionTest;

TEST_F(MotionGround, StandLegTicksFromDistanceAndSpeed) {
    struct Case {
        double metres;
        uint32_t ticks;
    } cases[] = {{10.0, 486}, {0.5, 100}};
    for (const auto& c : cases) {
        LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, 10, kStart));
        const LatLon stand = offset(47.0, 8.0, 0, c.metres);
        drive2Stand(ac, StandPoint{stand.latitude, stand.longitude, 0.5});
        ASSERT_EQ(ac.stream.size(), 3u);
        EXPECT_EQ(ac.stream[1].tick - kStart, c.ticks) << c.metres;
        EXPECT_EQ(ac.stream[2].tick - kStart, c.ticks + 50);
        EXPECT_EQ(ac.stream[1].groundSpeedKt, 4.0);
        EXPECT_EQ(ac.stream[0].groundSpeedKt, 4.0);
        EXPECT_EQ(ac.stream[2].groundSpeedKt, 0.0);
        EXPECT_EQ(ac.stream[2].engineFlag, 1);
        EXPECT_DOUBLE_EQ(ac.targetHeading, 0.5);
    }
    LiveAircraft empty = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, 10, kStart));
    empty.stream.clear();
    drive2Stand(empty, StandPoint{47.0, 8.0, 0.0});
    EXPECT_TRUE(empty.stream.empty());
}

TEST_F(MotionGround, ArrivalParksWithinTwoMetresOfTheStand) {
    addStand();
    for (double metres : {2.0, 2.1}) {
        gf_resetEngineState();
        LiveAircraft& ac = parkedOnStand();
        ac.setPhase(MovementPhase::Parking);
        const LatLon pos = offset(47.0, 8.0, 90, metres);
        ac.position[kPosLat] = pos.latitude;
        ac.position[kPosLon] = pos.longitude;
        ac.stream.front().engineFlag = 0;
        arriveAtStand(ac);
        if (metres <= 2.0) {
            EXPECT_EQ(ac.phase, MovementPhase::Parked);
            EXPECT_EQ(ac.stream.front().engineFlag, 1);
            EXPECT_EQ(ac.throttleIndex, 0u);
            ASSERT_FALSE(standCheckList.empty());
        } else {
            EXPECT_EQ(ac.phase, MovementPhase::Taxi);
        }
    }
}

// Given to a live aircraft parked there, the stand stays taken; given to a static aircraft, it is offered
// again once the arrival is gone (the static makes way for the next arrival that takes it).
TEST_F(MotionGround, ArrivalAtAStandGivenAwayRemovesTheAircraft) {
    for (const bool toLive : {true, false}) {
        SCOPED_TRACE(toLive ? "given to a live aircraft" : "given to a static aircraft");
        gf_resetEngineState();
        currentStands.clear();
        ParkPos& stand = addStand();
        if (toLive) {
            LiveAircraft& other = parkedOnStand();
            other.id = 0x111111;
            other.objectId = 500;
        } else {
            SimAircraft s;
            s.id = 5;
            s.objectId = 500;
            s.standId = stand.id;
            s.simState = SimState::Active;
            staticList.push_back(s);
        }
        LiveAircraft& ac = parkedOnStand();
        ac.setPhase(MovementPhase::Parking);
        stand.occupied = 1;
        arriveAtStand(ac);
        EXPECT_EQ(ac.simState, SimState::RemovingFromSim);
        EXPECT_EQ(stand.occupied, toLive ? 1 : 0);
        EXPECT_EQ(ac.extendCount, 1);
    }
}

TEST_F(MotionGround, CargoStandIsMarkedOnceWhenACargoAircraftParks) {
    ParkPos& stand = addStand();
    LiveAircraft& ac = parkedOnStand();
    ac.cargoWanted = 1;
    const uint32_t before = learnedUpdateCount.load();
    markCargoStand(ac);
    EXPECT_EQ(stand.cargo, 1);
    EXPECT_EQ(stand.cargoChanged, 1);
    EXPECT_EQ(learnedUpdateCount.load(), before + 1);
    ac.cargo = 1;
    markCargoStand(ac);
    EXPECT_EQ(learnedUpdateCount.load(), before + 1);
}

TEST_F(MotionGround, PushbackGoesStraightBackThenCurvesToHalfAWingspanBeside) {
    addStand();
    struct Case {
        uint8_t known, right;
        double endBearing;  // from the point 50 m behind the stand; 0 = ends there
    } cases[] = {{0, 0, -1}, {1, 0, 90}, {1, 1, 270}};
    for (const auto& c : cases) {
        gf_resetEngineState();
        setNow(kStart);
        LiveAircraft& ac = parkedOnStand();
        ac.pushbackTurnKnown = c.known;
        ac.pushbackTurnRight = c.right;
        // The feed shows the aircraft behind the stand: it leaves backwards.
        const LatLon away = offset(47.0, 8.0, 170, 300);
        ac.stream.push_back(point(away.latitude, away.longitude, 0, 5, kStart + 6000));
        ac.leaveStand = 1;
        run(1, [](const LiveAircraft&) {});
        ASSERT_EQ(liveList.front().phase, MovementPhase::PushingBack);
        const auto& s = liveList.front().stream;
        ASSERT_EQ(s.size(), 3u);
        const LatLon behind50 = offset(47.0, 8.0, 180, 50);
        EXPECT_NEAR(metresBetween(at(s[0]), offset(47.0, 8.0, 180, 25)), 0.0, 0.01);
        EXPECT_NEAR(metresBetween(at(s[1]), behind50), 0.0, 0.01);
        EXPECT_NEAR(metresBetween(at(s[2]), offset(behind50.latitude, behind50.longitude, 90, 18)), 0.0, 0.1);
        EXPECT_NEAR(metresBetween(at(liveList.front().pushbackAltPoint),
                                  offset(behind50.latitude, behind50.longitude, 270, 18)),
                    0.0, 0.1);
        // Drive it: the aircraft moves backwards, nose north, then maybe along the curve.
        bool curved = false;
        run(6000, [&](const LiveAircraft& a) {
            ASSERT_TRUE(finitePosition(a));
            if (a.phase == MovementPhase::PushingBack && curveActive(a)) curved = true;
            if (a.phase == MovementPhase::PushingBack && !curved) {
                // The straight part keeps the nose on the stand heading.
                const double h = a.position[kPosHeading];
                EXPECT_LT(std::min(h, motion::kTwoPi - h), 0.6 * kDeg);
            }
        });
        EXPECT_EQ(curved, c.known == 1);
        EXPECT_EQ(liveList.front().phase, MovementPhase::PushedBack);
        const LatLon end = at(liveList.front());
        if (c.endBearing < 0) {
            EXPECT_LT(metresBetween(end, behind50), 1.0);
        } else {
            EXPECT_LT(metresBetween(end, offset(behind50.latitude, behind50.longitude, c.endBearing, 18)), 1.0);
            // Pushed back along the curve, the nose points away from the way it came.
            const double h = liveList.front().position[kPosHeading] / kDeg;
            const double wanted = c.right ? 90.0 : 270.0;
            EXPECT_LT(std::fabs(std::remainder(h - wanted, 360.0)), 15.0) << h;
        }
    }
}

TEST_F(MotionGround, PullOutWhenTheNextPointsLieAheadOfTheStand) {
    addStand();
    LiveAircraft& ac = parkedOnStand();
    const LatLon ahead = offset(47.0, 8.0, 10, 300);
    ac.stream.push_back(point(ahead.latitude, ahead.longitude, 0, 10, kStart + 3000));
    ac.leaveStand = 1;
    nextPos(ac);
    EXPECT_EQ(ac.phase, MovementPhase::Taxi);
    EXPECT_EQ(ac.leaveStand, 0);
    ASSERT_EQ(ac.stream.size(), 1u);
    // The target one wingspan ahead along the stand heading.
    EXPECT_NEAR(metresBetween(at(ac.stream.front()), offset(47.0, 8.0, 0, 2 * 0.0097 / kMetre)), 0.0, 0.01);
    EXPECT_EQ(ac.stream.front().groundSpeedKt, ac.standTaxiSpeedKt);
    const auto events = takeEvents();
    EXPECT_EQ(countEvent(events, vsim::kEvEngineAutoStart), 1u);
    EXPECT_EQ(lastEventData(events, vsim::kEvTaxiLightsSet), 1);
}

TEST_F(MotionGround, AirborneStreamEndExtendsNearTheUserAndEndsFarAway) {
    LATERAL_RANGE.value = 30;
    for (double userNm : {20.0, 29.6}) {
        gf_resetEngineState();
        const LatLon user = offset(47.0, 8.0, 180, userNm / kMetre);
        userState.latitude = user.latitude;
        userState.longitude = user.longitude;
        LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 5000, 200, kStart));
        ac.setPhase(MovementPhase::Flying);
        std::vector<StreamPoint> added;
        while (endOfStream(ac)) {
            ASSERT_EQ(ac.stream.size(), 2u);
            added.push_back(ac.stream.back());
            ac.stream.pop_front();
        }
        if (userNm < 29.5) {
            ASSERT_EQ(added.size(), 8u);
            double speed = 200;
            uint32_t tick = kStart;
            for (const auto& p : added) {
                speed *= 0.95;
                tick += 800;
                EXPECT_NEAR(p.groundSpeedKt, speed, 1e-9);
                EXPECT_EQ(p.tick, tick);
            }
            EXPECT_EQ(ac.extendCount, -1);
        } else {
            EXPECT_TRUE(added.empty());
        }
    }
    LATERAL_RANGE.value = LATERAL_RANGE.defaultValue;
}

TEST_F(MotionGround, TaxiStreamEndHoldsAloneAndEndsNextToAnotherTaxiingAircraft) {
    MAX_HOLDING_MINUTES.value = 2;
    parkAirportAt(47.0, 8.01);
    LiveAircraft& ac = [&]() -> LiveAircraft& {
        lf_appendLive(makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, 0, kStart)));
        return liveList.back();
    }();
    ac.setPhase(MovementPhase::Taxi);
    ASSERT_TRUE(endOfStream(ac));
    EXPECT_EQ(ac.holding, 1);
    EXPECT_EQ(ac.holdStartTick, kStart);
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream[1].tick, kStart + 300);
    EXPECT_EQ(ac.stream[1].engineFlag, 1);
    ac.stream.pop_front();
    setNow(kStart + 2 * 6000 + 5999);  // 2 whole minutes: still holding
    EXPECT_TRUE(endOfStream(ac));
    ac.stream.pop_front();
    setNow(kStart + 3 * 6000);
    EXPECT_FALSE(endOfStream(ac));
    // Next to another taxiing aircraft: at once.
    LiveAircraft other = makeAircraft(AircraftCategory::Large, point(47.0, 8.0001, 0, 0, kStart));
    other.objectId = 999;
    other.setPhase(MovementPhase::Taxi);
    lf_appendLive(LiveAircraft(other));
    LiveAircraft& first = liveList.front();
    first.holding = 0;
    EXPECT_FALSE(endOfStream(first));
    EXPECT_EQ(first.holding, 0);
    MAX_HOLDING_MINUTES.value = MAX_HOLDING_MINUTES.defaultValue;
}

// A hold waits for the feed's next point on the ground, which the feed reports only within 5 nm of the selected
// park airport. Elsewhere the aircraft stands for its ten continuation points (30 s), then it goes.
TEST_F(MotionGround, TaxiStreamEndHoldsOnlyWhereTheFeedReportsGroundTraffic) {
    struct Case {
        const char* what;
        bool airport;
        double airportNm;  // how far east of the aircraft the park airport lies
        bool holds;
    };
    const Case cases[] = {
        {"at the park airport", true, 1.0, true},
        {"4.9 nm from it", true, 4.9, true},
        {"5.1 nm from it", true, 5.1, false},
        {"without a park airport", false, 0.0, false},
    };
    for (const Case& c : cases) {
        gf_resetEngineState();
        currentAirport = CurrentAirport{};
        if (c.airport) {
            const LatLon airport = offset(47.0, 8.0, 90.0, c.airportNm / kMetre);
            parkAirportAt(airport.latitude, airport.longitude);
        }
        LiveAircraft& ac = lf_appendLive(makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, 15, kStart)));
        ac.setPhase(MovementPhase::Taxi);
        ASSERT_TRUE(endOfStream(ac)) << c.what;
        EXPECT_EQ(ac.holding, c.holds ? 1 : 0) << c.what;
        EXPECT_EQ(ac.extendCount, c.holds ? 1 : 10) << c.what;
        ASSERT_EQ(ac.stream.size(), 2u) << c.what;
        EXPECT_EQ(ac.stream[1].engineFlag, 1) << c.what << ": stands";
        EXPECT_EQ(ac.stream[1].tick, kStart + 300) << c.what;
    }
}

// The neighbour search of a holding aircraft: inside an update pass the ground grid serves it,
// outside one the list is walked; both find the same neighbours, across cell edges too.
TEST_F(MotionGround, HoldingAircraftFindsTheSameTaxiingNeighboursWithAndWithoutTheGrid) {
    struct Case {
        const char* what;
        double lat, lon;            // the holding aircraft (cells are 0.01 degrees)
        double bearingDeg, metres;  // where the other aircraft stands
        bool otherOnGround;
        MovementPhase otherPhase;
        bool ends;  // the holding aircraft ends (a neighbour is in its way)
    };
    // Two half spans of 18 m x 1.2: the limit is about 43 m.
    const Case cases[] = {
        {"near", 47.0050, 8.0050, 90, 30, true, MovementPhase::Taxi, true},
        {"beyond the limit", 47.0050, 8.0050, 90, 50, true, MovementPhase::Taxi, false},
        {"across a latitude cell edge", 47.00999, 8.0050, 0, 30, true, MovementPhase::Taxi, true},
        {"across a longitude cell edge", 47.0050, 8.009999, 90, 40, true, MovementPhase::Taxi, true},
        {"west across the edge", 47.0050, 8.000001, 270, 40, true, MovementPhase::Taxi, true},
        {"in the air", 47.0050, 8.0050, 90, 30, false, MovementPhase::Taxi, false},
        {"parked", 47.0050, 8.0050, 90, 30, true, MovementPhase::Parked, false},
        {"near the date line", 47.0050, 179.99999, 270, 30, true, MovementPhase::Taxi, true},
        {"near a pole", 86.0, 8.0, 90, 30, true, MovementPhase::Taxi, true},
    };
    for (const Case& c : cases) {
        for (const bool inPass : {false, true}) {
            gf_resetEngineState();
            // A few far aircraft on the ground so that the grid holds more than the pair.
            for (uint32_t i = 0; i < 20; ++i) {
                LiveAircraft far =
                    makeAircraft(AircraftCategory::Large, point(c.lat + 0.5, c.lon - 0.5 + 0.01 * i, 0, 0, kStart));
                far.id = 0x500000 + i;
                far.objectId = 2000 + i;
                far.setPhase(MovementPhase::Taxi);
                lf_appendLive(std::move(far));
            }
            const LatLon there = offset(c.lat, c.lon, c.bearingDeg, c.metres);
            LiveAircraft other =
                makeAircraft(AircraftCategory::Large, point(there.latitude, there.longitude, 0, 0, kStart));
            other.id = 0x111111;
            other.objectId = 999;
            other.onGround = c.otherOnGround ? 1 : 0;
            other.setPhase(c.otherPhase);
            lf_appendLive(std::move(other));
            LiveAircraft& ac = lf_appendLive(makeAircraft(AircraftCategory::Large, point(c.lat, c.lon, 0, 0, kStart)));
            ac.setPhase(MovementPhase::Taxi);
            parkAirportAt(c.lat, c.lon);
            if (inPass) lf_beginUpdatePass();
            const bool holds = endOfStream(ac);
            if (inPass) lf_endUpdatePass();
            EXPECT_EQ(!holds, c.ends) << c.what << (inPass ? " (grid)" : " (list)");
        }
    }
}

TEST_F(MotionGround, ParkedStreamIsExtendedByOneStopAWeekAhead) {
    ParkPos& stand = addStand();
    stand.occupied = 1;
    LiveAircraft& ac = parkedOnStand();
    ac.departing = 1;
    ASSERT_TRUE(endOfStream(ac));
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_EQ(ac.stream[1].tick, kStart + 604800u * 100u);
    EXPECT_EQ(ac.stream[1].engineFlag, 1);
    EXPECT_EQ(ac.extendCount, 1);
    EXPECT_EQ(ac.departing, 0);
    EXPECT_EQ(stand.occupied, 0);
}

TEST_F(MotionGround, TakeOffAndRollOutExtensionsFollowTheSpeedTables) {
    struct Case {
        bool takingOff;
        double gs, wantGs, wantVs;
    } cases[] = {{true, 30, 40, 0},      {true, 60, 80, 0},      {true, 100, 110, 0},  {true, 140, 150, 600},
                 {true, 160, 170, 1200}, {true, 161, 180, 2400}, {false, 140, 100, 0}, {false, 100, 80, 0},
                 {false, 80, 60, 0},     {false, 60, 30, 0},     {false, 59, 20, 0}};
    for (const auto& c : cases) {
        LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, c.gs, kStart));
        ac.setPhase(MovementPhase::Taxi);
        (c.takingOff ? ac.takingOff : ac.rollingOut) = 1;
        extendStream(ac, 10);
        const StreamPoint& p = ac.stream.back();
        EXPECT_EQ(p.groundSpeedKt, c.wantGs) << c.gs;
        EXPECT_EQ(p.verticalSpeed, c.wantVs) << c.gs;
        EXPECT_EQ(p.tick, kStart + 300);
        EXPECT_NEAR(metresBetween(at(p), {47.0, 8.0}), c.wantGs * 3 * 1852.0 / 3600.0, 0.01);
    }
}

TEST_F(MotionGround, CurvePointFollowsTheQuadraticCurve) {
    std::array<double, 8> curve{47.0, 8.0, 0.0, 100.0, 100.0, 1.0, 0.0, 100.0};  // control 100 m north, end NE
    CurvePoint p;
    ASSERT_TRUE(gf_curvePoint(curve, 0.0, p));
    EXPECT_DOUBLE_EQ(p.latitude, 47.0);
    EXPECT_NEAR(p.heading, 0.0, 1e-12);  // leaves northwards, towards the control point
    ASSERT_TRUE(gf_curvePoint(curve, 1.0, p));
    EXPECT_NEAR(p.latitude, 47.0 + 100.0 / 111132.95, 1e-12);
    EXPECT_NEAR(p.longitude, 8.0 + 100.0 / (111132.95 * std::cos(47.0 * kDeg)), 1e-12);
    EXPECT_NEAR(p.heading, 90.0 * kDeg, 1e-12);  // arrives eastwards
    EXPECT_FALSE(gf_curvePoint(curve, 1.01, p));
    curve[6] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_FALSE(gf_curvePoint(curve, 0.5, p));
}

TEST_F(MotionGround, TaxiTurnOfNinetyDegreesBecomesACurveToThePointAfterTheCorner) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, 15, kStart));
    ac.setPhase(MovementPhase::Taxi);
    const LatLon corner = offset(47.0, 8.0, 0, 100);
    const LatLon after = offset(corner.latitude, corner.longitude, 90, 100);
    ac.stream.push_back(point(corner.latitude, corner.longitude, 0, 15, kStart + 500));
    ac.stream.push_back(point(after.latitude, after.longitude, 0, 15, kStart + 1000));
    nextPos(ac);
    ASSERT_TRUE(curveActive(ac));
    EXPECT_NEAR(ac.curveTurnDeg, 90.0, 0.1);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_NEAR(metresBetween(at(ac.stream.front()), after), 0.0, 1e-6);
    EXPECT_EQ(ac.turningToTarget, 0);
    // Each tick moves along the curve; the heading turns smoothly towards the east.
    double lastHeading = 0.0;
    for (int i = 0; i < 2600 && ac.curveT < 0.999; ++i) {
        stepMotion(ac);
        ASSERT_TRUE(finitePosition(ac));
        ASSERT_LE(std::fabs(ac.position[kPosHeading] - lastHeading), ac.turnStep + 1e-12);
        lastHeading = ac.position[kPosHeading];
    }
    EXPECT_LT(metresBetween(at(ac), after), 1.0);
    EXPECT_NEAR(ac.position[kPosHeading], 90.0 * kDeg, 2.0 * kDeg);
}

TEST_F(MotionGround, StreamEndWithoutExtensionRemovesTheAircraft) {
    lf_appendLive(makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 5000, 200, kStart)));
    LiveAircraft& ac = liveList.back();
    ac.setPhase(MovementPhase::Flying);
    ac.extendCount = -1;
    nextPosMain(ac);
    EXPECT_EQ(ac.simState, SimState::RemovingFromSim);
    ASSERT_EQ(removeFifo.size(), 1u);
    EXPECT_EQ(removeFifo.front(), kObject);
    // An advance over an empty stream is an error that removes the aircraft.
    LiveAircraft empty = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 5000, 200, kStart));
    empty.stream.clear();
    EXPECT_THROW(nextPos(empty), std::runtime_error);
    EXPECT_EQ(empty.simState, SimState::RemovingFromSim);
}

TEST_F(MotionGround, AirborneAircraftSkipsStationaryAimPoints) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 5000, 200, kStart));
    StreamPoint stop = point(47.01, 8.0, 5000, 0, kStart + 500);
    stop.engineFlag = 1;
    ac.stream.push_back(stop);
    ac.stream.push_back(point(47.02, 8.0, 5000, 200, kStart + 1000));
    ac.setPhase(MovementPhase::Flying);
    nextPosMain(ac);
    ASSERT_EQ(ac.stream.size(), 1u);
    EXPECT_DOUBLE_EQ(ac.stream.front().latitude, 47.02);
}

TEST_F(MotionGround, LiveryRespawnRestartsFromTheCurrentPosition) {
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.01, 8.0, 5000, 200, kStart + 500));
    ac.position[kPosLat] = 47.005;
    ac.position[kPosBank] = 0.1;
    ac.position[kPosHeading] = 1.2;
    ac.setPhase(MovementPhase::Flying);
    liveryRespawn(ac);
    ASSERT_EQ(ac.stream.size(), 2u);
    EXPECT_DOUBLE_EQ(ac.stream[0].latitude, 47.005);
    EXPECT_EQ(ac.stream[0].tick, kStart + 1);
    EXPECT_EQ(ac.stream[0].hasElement23, 1);
    EXPECT_DOUBLE_EQ(ac.stream[0].element23Rad, 0.1);
    EXPECT_EQ(ac.stream[1].engineFlag, 0);
    EXPECT_EQ(ac.simState, SimState::LiveryRespawn);
    EXPECT_EQ(ac.respawnPending, 1);
    EXPECT_DOUBLE_EQ(ac.respawnHeading, 1.2);
    ASSERT_EQ(removeFifo.size(), 1u);
    // Parked: the stream is cut to its head, which stands still with the current heading.
    LiveAircraft parked = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, 0, kStart));
    parked.stream.push_back(point(47.1, 8.0, 0, 0, kStart + 50));
    parked.setPhase(MovementPhase::Parked);
    parked.position[kPosHeading] = 0.5;
    liveryRespawn(parked);
    ASSERT_EQ(parked.stream.size(), 2u);
    EXPECT_EQ(parked.stream[0].engineFlag, 1);
    EXPECT_EQ(parked.stream[1].engineFlag, 1);
    EXPECT_NEAR(parked.stream[1].trackDeg, 0.5 / kDeg, 1e-9);
}

TEST_F(MotionGround, TurnSpeedScalesTheTurnInDegreesAgainstTheStepInRadians) {
    // A 90 degree curve over a leg of 1000 ticks: k = 90 / 0.07 degrees-in-radians / 100 = 737,
    // r = 1000 / 737, and the turn step grows by r (below 90 / 30).
    LiveAircraft ac = makeAircraft(AircraftCategory::Large, point(47.0, 8.0, 0, 18, kStart));
    ac.setPhase(MovementPhase::Taxi);
    const LatLon aim = offset(47.0, 8.0, 0, 0.05 / kMetre);
    ac.stream.push_back(point(aim.latitude, aim.longitude, 0, 18, kStart + 1000));
    ac.curve[6] = 0.0;
    ac.curve[7] = 10.0;  // a curve is active
    ac.curveTurnDeg = 90.0;
    groundAimTick(ac);
    EXPECT_NEAR(ac.turnStep, 0.07 * kDeg * 1000.0 / 737.0, 1e-9);
    EXPECT_EQ(ac.earlyWindowTicks, 2000);
    EXPECT_EQ(ac.lateWindowTicks, 2000);
    EXPECT_EQ(ac.stream[1].tick, kStart + 1000);
    // The pushback curve's parameter step: 1 / round(90 / turn step in radians / 100).
    addStand();
    LiveAircraft& pb = parkedOnStand();
    pb.setPhase(MovementPhase::PushingBack);
    pb.pushbackStage = 2;
    pb.pushbackTurnKnown = 1;
    pb.stream.push_back(point(46.9998, 8.0, 0, 4, kStart + 1000));
    pb.stream.push_back(point(46.9996, 8.0002, 0, 4, kStart + 2000));
    groundAimLogic(pb);
    ASSERT_TRUE(curveActive(pb));
    EXPECT_DOUBLE_EQ(pb.curveTStep, 1.0 / 737.0);
    EXPECT_EQ(pb.curveTurnDeg, 90.0);
}
