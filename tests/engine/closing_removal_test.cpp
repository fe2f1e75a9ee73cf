// The end of a run against the stand-in simulator: the engine takes every aircraft out of the simulator while the
// link is open, also one whose creation is still under way, and the wait ends when the simulator has confirmed
// every removal. The link is driven on the test's thread: one closing step, then 10 ms of the simulator and one
// dispatch, as the run thread and the simulator thread take turns.
#include <gtest/gtest.h>

#include "engine/closing_removal.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "tests/simlink/link_fixture.h"

namespace {

class ClosingRemovalTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        gf_resetEngineState();
    }
    void TearDown() override {
        gf_resetEngineState();
        LinkTest::TearDown();
    }
    // The aircraft of the lists that wait for their creation are created and recognised, and take their objects
    // with their first lights, as in a run.
    void createWaitingAircraft() {
        for (SimAircraft& ac : staticList)
            if (ac.simState == SimState::Adding2Sim) createFor(ac);
        for (LiveAircraft& ac : liveList)
            if (ac.simState == SimState::Adding2Sim) createFor(ac);
        ASSERT_TRUE(pump(50));   // the frame sends the creations
        ASSERT_TRUE(pump(100));  // two frames later the objects are added
        scan();
        ASSERT_TRUE(pump());
        for (int i = 0; i <= 200; ++i) gf_drainEngineInbox();
    }
    // Queues the aircraft's creation; the aircraft waits for the answer to that request.
    void createFor(SimAircraft& ac) {
        queueCreate(ac.identity.callsign, kTitleA320, ac.id);
        ac.creationRequest = lastRequest;
    }
    static SimAircraft aircraft(std::uint32_t id, const std::string& callsign, SimState state, std::uint32_t objectId) {
        SimAircraft ac;
        ac.id = id;
        ac.identity.callsign = callsign;
        ac.simState = state;
        ac.objectId = objectId;
        return ac;
    }
    void addLive(std::uint32_t hexid, const std::string& callsign, SimState state, std::uint32_t objectId) {
        LiveAircraft live;
        static_cast<SimAircraft&>(live) = aircraft(hexid, callsign, state, 0);
        LiveAircraft& ac = lf_appendLive(std::move(live));
        lf_setLiveObjectId(ac, objectId);
    }
    std::size_t programObjects() const {
        std::size_t n = 0;
        for (const vsim::ObjectInfo& o : sim->objects())
            if (!o.isUser) ++n;
        return n;
    }
};

TEST_F(ClosingRemovalTest, EveryAircraftLeavesTheSimulatorAlsoOneWhoseCreationIsUnderWay) {
    connect();
    learnUser();
    // A static on its stand and a live aircraft in the simulator; a live aircraft whose creation the link has
    // just sent; one whose creation order never left the engine; one waiting in the buffer.
    staticList.push_back(aircraft(7, "STA7", SimState::Adding2Sim, 0));
    addLive(0x400001, "LIV1", SimState::Adding2Sim, 0);
    createWaitingAircraft();
    ASSERT_EQ(staticList.at(0).simState, SimState::Active);
    ASSERT_EQ(liveList.at(0).simState, SimState::Active);
    addLive(0x400002, "LIV2", SimState::Adding2Sim, 0);
    createFor(liveList.back());
    ASSERT_TRUE(pump(50));  // the frame sends the creation
    addLive(0x400003, "LIV3", SimState::Adding2Sim, 0);
    SpawnOrder order;
    order.id = 0x400003;
    order.callsign = "LIV3";
    liveCreateFifo.push_back(order);
    addLive(0x400004, "LIV4", SimState::Buffer, 0);
    ASSERT_EQ(programObjects(), 3u) << "LIV2's object is on its way in";

    gf_flushStaticAircraft();
    gf_removeAllLiveAircraft();
    EXPECT_EQ(liveList.size(), 2u) << "the order never sent and the buffered one leave at once";
    EXPECT_TRUE(liveCreateFifo.empty());

    ClosingRemoval left;
    std::uint32_t step = 0;
    for (; step < 500; ++step) {
        left = gf_closingRemovalStep(step);
        if (left.done()) break;
        ASSERT_TRUE(pump(10));
        EXPECT_LE(programObjects(), 3u) << "no creation is sent after the closing began";
    }
    EXPECT_TRUE(left.done()) << left.aircraft << " aircraft and " << left.unsentRemovals << " removals left";
    EXPECT_LT(step, 350u) << "the late object's answer, its first lights and its removal fit into the wait";
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(programObjects(), 0u) << "nothing left in the simulator";
    EXPECT_EQ(countCalls("aiRemoveObject"), 3u);
    EXPECT_TRUE(staticList.empty());
    EXPECT_TRUE(liveList.empty());
}

// With no aircraft the wait is over at its first step, and so it is once every removal is confirmed.
TEST_F(ClosingRemovalTest, TheWaitIsOverWhenNothingIsLeft) {
    EXPECT_TRUE(gf_closingRemovalStep(0).done());
    connect();
    learnUser();
    staticList.push_back(aircraft(3, "STA3", SimState::Adding2Sim, 0));
    createWaitingAircraft();
    ASSERT_EQ(staticList.at(0).simState, SimState::Active);
    gf_flushStaticAircraft();
    const ClosingRemoval first = gf_closingRemovalStep(0);
    EXPECT_EQ(first.aircraft, 1u);
    EXPECT_EQ(first.unsentRemovals, 1u) << "handed to the link, sent with its next frame";
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(gf_closingRemovalStep(1).unsentRemovals, 0u);
    ASSERT_TRUE(pump(50));  // the simulator confirms on its next frame
    EXPECT_TRUE(gf_closingRemovalStep(2).done());
}

// The link closed under the run: nothing can be removed, the engine forgets its aircraft and says how many were in
// the simulator or on their way there.
TEST_F(ClosingRemovalTest, AClosedLinkDropsTheAircraftAndCountsThem) {
    staticList.push_back(aircraft(3, "STA3", SimState::Active, 120));
    staticList.push_back(aircraft(4, "STA4", SimState::Adding2Sim, 0));
    addLive(0x400001, "LIV1", SimState::Active, 121);
    addLive(0x400002, "LIV2", SimState::Buffer, 0);
    removeFifo.push_back(122);
    EXPECT_EQ(gf_dropAircraftOfClosedLink(), 3u);
    EXPECT_TRUE(staticList.empty());
    EXPECT_TRUE(liveList.empty());
    EXPECT_TRUE(removeFifo.empty());
    EXPECT_EQ(gf_liveIndexMismatch(), "");
}

}  // namespace
