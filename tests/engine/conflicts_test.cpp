// Ghost-free conflict services the parking planner uses: duplicates, flush, reserved stand,
// parked-too-long, and the half-hour range test of a stand option.
#include <gtest/gtest.h>

#include "airports/parking.h"
#include "airports/stand_option.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "foundation/settings.h"
#include "tests/common/engine_harness.h"

int64_t gf_nowTicks100ns();

namespace {
SimAircraft staticOn(uint32_t id, uint32_t standId, SimState state) {
    SimAircraft s;
    s.id = id;
    s.standId = standId;
    s.simState = state;
    s.objectId = state == SimState::Active ? 700 + id : 0;
    s.identity.callsign = "S" + std::to_string(id) + "*";
    return s;
}
}  // namespace

TEST(StandOptionRange, TestRange) {
    StandOption o;
    int32_t rest = 0;
    EXPECT_FALSE(testRange(o, 3, 5, rest));
    EXPECT_EQ(rest, 2);
    o.halfHours = uint64_t{1} << 1;
    EXPECT_TRUE(testRange(o, 3, 5, rest));
    EXPECT_EQ(rest, -1);
    EXPECT_FALSE(testRange(o, 47, 3, rest));
    EXPECT_EQ(rest, -1);
    EXPECT_FALSE(testRange(o, 48, 3, rest));  // outside the day: logged, false
    EXPECT_FALSE(testRange(o, -1, 0, rest));
    o.halfHours = 0;
    EXPECT_FALSE(testRange(o, 3, 100, rest));
    EXPECT_EQ(rest, 46);
}

TEST(Conflicts, DuplicatesFlushAndReservedStand) {
    EngineHarness h;
    LiveAircraft live;
    live.id = 0x400001;
    live.identity.callsign = "DLH4";
    live.identity.registration = "DAIPA";
    SimAircraft s = staticOn(1, 1, SimState::Active);
    EXPECT_FALSE(gf_removeDuplicates(live, s));
    s.planned = 0;
    s.feedHexid = live.id;
    EXPECT_TRUE(gf_removeDuplicates(live, s));
    s.feedHexid = 0;
    s.identity.registration = "DAIPA";
    EXPECT_TRUE(gf_removeDuplicates(live, s));
    s.identity.registration.clear();
    s.identity.identity7 = "DLH4";
    EXPECT_TRUE(gf_removeDuplicates(live, s));
    s.simState = SimState::Adding2Sim;
    EXPECT_FALSE(gf_removeDuplicates(live, s));

    // Flush: active removed, queued dropped from the list, sent flagged.
    staticList.push_back(staticOn(1, 1, SimState::Active));
    staticList.push_back(staticOn(2, 2, SimState::Adding2Sim));
    staticList.push_back(staticOn(3, 3, SimState::Adding2Sim));
    staticCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 1, 0, "S2*", {}, 2});
    gf_flushStaticAircraft();
    ASSERT_EQ(staticList.size(), 2u);
    EXPECT_EQ(staticList[0].simState, SimState::RemovingFromSim);
    EXPECT_EQ(staticList[1].id, 3u);
    EXPECT_EQ(staticList[1].removeWhenCreated, 1);
    EXPECT_TRUE(staticCreateFifo.empty());

    // Reserved stand: the static aircraft on it goes.
    staticList.clear();
    ParkPos stand;
    stand.id = 9;
    stand.name = "V12";
    currentStands.push_back(stand);
    currentAirport.reservedStand = "V12";
    staticList.push_back(staticOn(4, 9, SimState::Active));
    gf_clearReservedStand();
    EXPECT_EQ(staticList[0].simState, SimState::RemovingFromSim);
}

TEST(Conflicts, ParkedTooLong) {
    EngineHarness h;
    h.addType("B744", AircraftCategory::Heavy);
    h.addType("A320", AircraftCategory::Large);
    const int64_t minute = 600000000;
    auto parked = [&](uint32_t id, const std::string& type, int64_t minutes) {
        LiveAircraft ac;
        ac.id = id;
        ac.identity.callsign = "P" + std::to_string(id);
        ac.category = static_cast<uint32_t>(type == "B744" ? AircraftCategory::Heavy : AircraftCategory::Large);
        ac.simState = SimState::Active;
        ac.objectId = id;
        ac.setPhase(MovementPhase::Parked);
        ac.parkedSince = gf_nowTicks100ns() - minutes * minute - minute / 2;
        lf_appendLive(LiveAircraft(ac));
    };
    parked(20001, "B744", 179);
    parked(20002, "A320", 91);
    parked(20003, "A320", 30);
    const auto& list = gf_listLiveParked();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].callsign, "P20001");
    EXPECT_EQ(list[0].minutes, 179);
    EXPECT_EQ(liveList[1].simState, SimState::RemovingFromSim);
    INITIAL_LOAD_ONLY.value = true;
    liveList[1].simState = SimState::Active;
    EXPECT_EQ(gf_listLiveParked().size(), 3u);
    INITIAL_LOAD_ONLY.value = INITIAL_LOAD_ONLY.defaultValue;
}
