// The per-second work on the engine's lists with real aircraft records.
#include "app/main_loop.h"

#include "engine/aircraft.h"
#include "engine/engine_state.h"
#include "run_fixture.h"
#include "simlink/commands.h"

namespace {

class PerSecondLists : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        gf_resetEngineState();
    }
    void TearDown() override {
        gf_resetEngineState();
        RunFixture::TearDown();
    }

    static LiveAircraft live(std::uint32_t id, const std::string& callsign, bool onGround) {
        LiveAircraft ac;
        ac.id = id;
        ac.identity.callsign = callsign;
        ac.onGround = onGround ? 1 : 0;
        ac.simState = SimState::Active;
        ac.objectId = id;
        return ac;
    }
    static SimAircraft stat(std::uint32_t id, const std::string& callsign, SimState state) {
        SimAircraft ac;
        ac.id = id;
        ac.identity.callsign = callsign;
        ac.simState = state;
        ac.objectId = 100 + id;
        return ac;
    }
};

TEST_F(PerSecondLists, StaticTwinOfALiveAircraftOnTheGroundLeaves) {
    lf_appendLive(live(0x400001, "KLM1", true));
    lf_appendLive(live(0x400002, "DLH2", false));                  // in the air: no twin check
    staticList.push_back(stat(1, "KLM1*", SimState::Adding2Sim));  // matching, not active: passed over
    staticList.push_back(stat(2, "KLM1*", SimState::Active));
    staticList.push_back(stat(3, "KLM1*", SimState::Active));  // only the first active one goes
    staticList.push_back(stat(4, "DLH2*", SimState::Active));
    lf_removeStaticTwinsOfLive();
    EXPECT_EQ(staticList[0].simState, SimState::Adding2Sim);
    EXPECT_EQ(staticList[1].simState, SimState::RemovingFromSim);
    EXPECT_EQ(staticList[2].simState, SimState::Active);
    EXPECT_EQ(staticList[3].simState, SimState::Active);
    EXPECT_EQ(logLinesWith(logText(), {"KLM1*", " removed"}).size(), 1u) << logText();

    // A registration twin counts too.
    liveList[0].identity.registration = "PH-BXA";
    staticList.push_back(stat(5, "XYZ9*", SimState::Active));
    staticList.back().identity.registration = "PH-BXA";
    staticList[2].identity.callsign = "OTHER*";
    lf_removeStaticTwinsOfLive();
    EXPECT_EQ(staticList[4].simState, SimState::RemovingFromSim);
    EXPECT_EQ(logLinesWith(logText(), {"XYZ9*", " removed"}).size(), 1u) << logText();
}

TEST_F(PerSecondLists, BlockedCallsignTakesTheFirstActiveAircraftOut) {
    lf_appendLive(live(0x400001, "KLM1", false));
    lf_appendLive(live(0x400002, "KLM1", false));
    BLOCK_CALLSIGN.set("KLM1");
    lf_blockCallsign();
    EXPECT_EQ(liveList[0].simState, SimState::RemovingFromSim);
    EXPECT_EQ(liveList[1].simState, SimState::Active);
}

TEST_F(PerSecondLists, StandCheckListDropsIdsOfAircraftThatLeft) {
    standCheckList = {0x400009, 0x400001};
    lf_appendLive(live(0x400001, "KLM1", true));
    lf_coupledCallsignCheck();  // 0x400009 is gone: dropped, the next id comes on the next second
    ASSERT_EQ(standCheckList.size(), 1u);
    lf_coupledCallsignCheck();
    EXPECT_TRUE(standCheckList.empty());
}

TEST_F(PerSecondLists, UserOnTheGroundMakesRoom) {
    COLLISION_USER_GND.value.store(true);
    userOnGround.store(1);
    userState.latitude = 52.3;
    userState.longitude = 4.76;
    userHalfWingSpanNm.store(0.01);
    LiveAircraft near = live(0x400001, "KLM1", true);
    near.position[kPosLat] = 52.3;
    near.position[kPosLon] = 4.7601;
    near.halfSpanNm = 0.01;
    LiveAircraft far = near;
    far.id = 0x400002;
    far.position[kPosLat] = 52.4;
    lf_clearLive();
    lf_appendLive(LiveAircraft(far));
    lf_appendLive(LiveAircraft(near));
    lf_userCollisions();
    EXPECT_EQ(liveList[0].simState, SimState::Active);
    EXPECT_EQ(liveList[1].simState, SimState::RemovingFromSim);

    // No live aircraft in the way: the first static one on a stand under the user goes.
    lf_clearLive();
    SimAircraft st = stat(1, "AAA*", SimState::Active);
    st.standLatitude = 52.3;
    st.standLongitude = 4.76;
    st.halfSpanNm = 0.01;
    staticList = {st};
    lf_userCollisions();
    EXPECT_EQ(staticList[0].simState, SimState::RemovingFromSim);
    EXPECT_EQ(logLinesWith(logText(), {"AAA*", " removed"}).size(), 1u) << logText();
    userOnGround.store(0);
    userState = UserState{};
    userHalfWingSpanNm.store(0.0);
}

}  // namespace
