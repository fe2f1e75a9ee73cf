// Live-list merge: position filters, new aircraft rules and holding.
#include <gtest/gtest.h>

#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/engine_state.h"
#include "feed/feed_intake.h"
#include "foundation/settings.h"
#include "tests/common/engine_harness.h"

namespace {

class Merge : public ::testing::Test {
protected:
    EngineHarness h;
    void SetUp() override {
        h.addType("A320", AircraftCategory::Large, 0.01);
        h.addType("C172", AircraftCategory::Light);
    }
    static TrafficRecord rec(double ts, double gs, double lon = 8.0, double alt = 5000, double track = 90) {
        return EngineHarness::record(20001, "DLH1", "A320", 47.0, lon, alt, gs, track, ts);
    }
    static void merge(TrafficRecord r) { lf_mergeFeedRecord(r); }
    static LiveAircraft& only() { return liveList.front(); }
};

}  // namespace

TEST_F(Merge, TimeAndSpeedFilters) {
    struct Case {
        double dt, gsLast, gs;
        bool kept;
    } cases[] = {
        {1.0, 200, 200, false}, {1.01, 200, 200, true}, {0.0, 200, 200, false},  // time
        {20, 4, 85, false},     {20, 6, 60, false},     {20, 6, 59, true},       // speed jumps
        {20, 85, 4, false},     {20, 60, 6, false},
    };
    for (const auto& c : cases) {
        gf_resetEngineState();
        merge(rec(100, c.gsLast, 8.0, c.gsLast > 35 ? 5000 : 0));
        ASSERT_EQ(liveList.size(), 1u);
        // Ground points far apart so that no stop or slow-move filter interferes.
        merge(rec(100 + c.dt, c.gs, 8.3, c.gs > 35 ? 5000 : 0, 45));
        EXPECT_EQ(only().stream.size(), c.kept ? 2u : 1u) << c.dt << " " << c.gsLast << "->" << c.gs;
    }
}

TEST_F(Merge, SteadyFastFlightKeepsOnlyPointsFourHundredFiftyMetresApart) {
    // 240 kt with an unchanged track: 450 m take about 3.64 s.
    merge(rec(100, 240, 8.0));
    merge(rec(103.5, 240, 8.02));
    EXPECT_EQ(only().stream.size(), 1u);
    merge(rec(103.7, 240, 8.02));
    EXPECT_EQ(only().stream.size(), 2u);
}

TEST_F(Merge, NewAircraftRules) {
    // Same callsign and type under another address: dropped.
    merge(rec(100, 200));
    TrafficRecord twin = EngineHarness::record(20002, "DLH1", "A320", 47.0, 9.0, 5000, 200, 90, 100);
    merge(twin);
    EXPECT_EQ(liveList.size(), 1u);
    // Unknown type: dropped; the registration table's type fills in.
    TrafficRecord unknown = EngineHarness::record(20003, "XYZ1", "ZZZZ", 47.0, 9.0, 5000, 200, 90, 100);
    merge(unknown);
    EXPECT_EQ(liveList.size(), 1u);
    registrationTable["DABCD"] = DbaseReg{"DLH", "A320", "", false};
    unknown.identity.registration = "DABCD";
    merge(unknown);
    ASSERT_EQ(liveList.size(), 2u);
    EXPECT_EQ(liveList.back().identity.icaoType, "A320");
    EXPECT_EQ(liveList.back().identity.identity6, "XYZ1");
    // Light aircraft follow their setting.
    LIGHT_AIRCRAFT.value = false;
    merge(EngineHarness::record(20004, "DEABC", "C172", 47.0, 9.5, 3000, 100, 90, 100));
    EXPECT_EQ(liveList.size(), 2u);
    LIGHT_AIRCRAFT.value = true;
    merge(EngineHarness::record(20004, "DEABC", "C172", 47.0, 9.5, 3000, 100, 90, 100));
    EXPECT_EQ(liveList.size(), 3u);
    LIGHT_AIRCRAFT.value = LIGHT_AIRCRAFT.defaultValue;
}

TEST_F(Merge, ParkAirportElevationBand) {
    currentAirport.icao = "EDDF";
    currentAirport.altitude = 364;
    merge(EngineHarness::record(20005, "LOW1", "A320", 47.0, 9.0, 480, 150, 90, 100));  // within 120 ft
    EXPECT_TRUE(liveList.empty());
    merge(EngineHarness::record(20005, "LOW1", "A320", 47.0, 9.0, 490, 150, 90, 100));  // 126 ft above
    EXPECT_EQ(liveList.size(), 1u);
}

TEST_F(Merge, HoldingAircraftThatMovesAwayIsRemoved) {
    merge(rec(100, 0, 8.0, 0));
    LiveAircraft& ac = only();
    ac.simState = SimState::Active;
    ac.objectId = 500;
    ac.phase = MovementPhase::Taxi;
    ac.onGround = 1;
    ac.holding = 1;
    // 0.0033 degrees of longitude at 47 N are about 250 m: within the threshold nothing happens.
    merge(rec(200, 10, 8.0030, 0, 45));
    EXPECT_EQ(ac.simState, SimState::Active);
    EXPECT_EQ(ac.holding, 1);
    merge(rec(300, 10, 8.02, 0, 45));
    EXPECT_EQ(ac.holding, 0);
    EXPECT_EQ(ac.simState, SimState::RemovingFromSim);
    EXPECT_EQ(removeFifo.size(), 1u);
}

TEST_F(Merge, PushedBackAircraftHoldsUntilItLeaves) {
    merge(rec(100, 0, 8.0, 0));
    LiveAircraft& ac = only();
    ac.simState = SimState::Active;
    ac.objectId = 501;
    ac.onGround = 1;
    ac.setPhase(MovementPhase::PushedBack);
    ac.position[kPosLat] = 47.0;
    ac.position[kPosLon] = 8.0;
    ac.standId = 7;
    ac.halfSpanNm = 0.01;
    // 0.0003 degrees of longitude is about 0.012 nm: less than 2.75 half spans -> it holds.
    merge(rec(110, 5, 8.0003, 0, 45));
    EXPECT_EQ(ac.holding, 1);
    EXPECT_EQ(ac.stream.size(), 1u);
    EXPECT_GT(ac.pushedBackDistNm, 0.0);
    // Beyond six half spans it leaves: taxi, stand forgotten, point added.
    merge(rec(120, 8, 8.003, 0, 45));
    EXPECT_EQ(ac.phase, MovementPhase::Taxi);
    EXPECT_EQ(ac.holding, 0);
    EXPECT_EQ(ac.standId, 0u);
    EXPECT_EQ(ac.stream.size(), 2u);
}

TEST_F(Merge, TaxiingAircraftStartsTakeOffAtFortyThreeKnots) {
    for (double gs : {42.9, 43.0}) {
        gf_resetEngineState();
        merge(rec(100, 20, 8.0, 0));
        LiveAircraft& ac = only();
        ac.simState = SimState::Active;
        ac.objectId = 502;
        ac.onGround = 1;
        ac.setPhase(MovementPhase::Taxi);
        ac.stream.back().groundSpeedKt = gs;
        merge(rec(110, gs, 8.01, 0));
        EXPECT_EQ(ac.takingOff, gs >= 43.0 ? 1 : 0) << gs;
    }
}

TEST_F(Merge, StreamTicksStrictlyIncrease) {
    TrafficRecord a = rec(100, 200);
    a.tick = 5000;
    merge(a);
    TrafficRecord b = rec(110, 200, 8.1);
    b.tick = 4000;  // older than the point before it
    merge(b);
    ASSERT_EQ(only().stream.size(), 2u);
    EXPECT_EQ(only().stream[1].tick, 5001u);
}

TEST_F(Merge, OverlongStreamAsksForRemovalButKeepsThePoint) {
    merge(rec(100, 200));
    LiveAircraft& ac = only();
    ac.simState = SimState::Active;
    ac.objectId = 503;
    ac.setPhase(MovementPhase::Flying);
    while (ac.stream.size() < 201) ac.stream.push_back(ac.stream.back());
    merge(rec(200, 200, 8.5));
    EXPECT_EQ(ac.simState, SimState::RemovingFromSim);
}

TEST_F(Merge, NewOperatorGivesUpTheLiveryOnlyWhenTheAircraftRespawns) {
    registrationTable["GEUPB"] = DbaseReg{"BAW", "A319", "", false};
    for (const bool respawns : {true, false}) {
        lf_clearLive();
        GUID_CHANGES.value = respawns;
        merge(rec(100, 200));
        LiveAircraft& ac = only();
        ac.simState = SimState::Active;
        ac.objectId = 700;
        ac.setPhase(MovementPhase::Taxi);
        ac.liveryTitle = "Old Livery";
        ac.identity.callsign = "BAW123";
        ac.identity.airline = "DLH";
        ac.identity.registration = "DAIPB";
        TrafficRecord r = rec(110, 200);
        r.identity.callsign = "BAW123";
        r.identity.registration = "GEUPB";
        EXPECT_EQ(lf_checkRespawn(ac, r), !respawns);
        EXPECT_EQ(ac.identity.registration, "GEUPB");
        EXPECT_EQ(ac.identity.airline, "BAW");
        if (respawns) {
            EXPECT_EQ(ac.phase, MovementPhase::Birth);
            EXPECT_TRUE(ac.liveryTitle.empty());
        } else {
            EXPECT_EQ(ac.phase, MovementPhase::Taxi) << "it stays in the simulator and goes on moving";
            EXPECT_EQ(ac.liveryTitle, "Old Livery");
        }
    }
    GUID_CHANGES.value = GUID_CHANGES.defaultValue;
    registrationTable.erase(std::string("GEUPB"));
}
