#pragma once
// A park-airport test with no park airport chosen yet: the planner reads no parked traffic, the sight
// starts afresh, the user state is empty and no destination is set.
#include "airports/park_list.h"
#include "engine/static_jobs.h"
#include "parking/park_airport.h"
#include "parking/planner.h"
#include "simlink/commands.h"
#include "tests/airports/airports_fixture.h"

class SightFixture : public AirportsTest {
public:
    PlannerHooks saved;
    void SetUp() override {
        AirportsTest::SetUp();
        saved = gf_plannerHooks();
        gf_plannerHooks().readParkedTraffic = [] { return false; };
        gf_resetParkAirportSight();
        userState = UserState{};
        userOnGround.store(0);
        DESTINATION.set("");
    }
    void TearDown() override {
        gf_plannerHooks() = saved;
        staticJobs.clear();
        userOnGround.store(0);
        AirportsTest::TearDown();
    }
};
