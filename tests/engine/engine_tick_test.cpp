// The engine driven through its tick: hand-over timing, pacing, creations, removals, ghosts,
// MAX_LIVE and a long scenario with per-tick invariants.
#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "airports/parking.h"
#include "engine/engine_state.h"
#include "engine/upkeep.h"
#include "feed/feed_intake.h"
#include "foundation/settings.h"
#include "simlink/commands.h"
#include "tests/common/engine_harness.h"

namespace {

LiveAircraft* findLive(uint32_t hexid) {
    for (auto& ac : liveList)
        if (ac.id == hexid) return &ac;
    return nullptr;
}

// Several airborne aircraft, each reported twice 10 s apart, given liveries, ticked until active.
class EngineTick : public ::testing::Test {
protected:
    EngineHarness h;
    void SetUp() override { h.addType("A320", AircraftCategory::Large); }

    void feedTwice(const std::vector<uint32_t>& ids, double lat = 47.0, double ts = 1000.0) {
        std::vector<TrafficRecord> first, second;
        for (size_t i = 0; i < ids.size(); ++i) {
            h.giveLivery(ids[i]);
            const double lon = 8.0 + 0.1 * static_cast<double>(i);
            first.push_back(
                EngineHarness::record(ids[i], "TST" + std::to_string(100 + i), "A320", lat, lon, 12000, 300, 90, ts));
            second.push_back(EngineHarness::record(ids[i], "TST" + std::to_string(100 + i), "A320", lat, lon + 0.01,
                                                   12000, 300, 90, ts + 10));
        }
        h.handOver(first);
        ASSERT_TRUE(h.tickUntil([] { return gf_pendingFeedSize() == 0; }, 1000));
        h.tick(10);
        h.handOver(second);
        ASSERT_TRUE(h.tickUntil([] { return gf_pendingFeedSize() == 0; }, 1000));
    }
    bool allActive(const std::vector<uint32_t>& ids, int maxTicks = 8000) {
        return h.tickUntil(
            [&] {
                return std::all_of(ids.begin(), ids.end(), [](uint32_t id) {
                    auto* ac = findLive(id);
                    return ac && ac->simState == SimState::Active;
                });
            },
            maxTicks);
    }
};

}  // namespace

TEST_F(EngineTick, BatchIsTimedThirtySecondsBehindItsMedian) {
    const uint32_t t0 = engineTick.load();
    std::vector<TrafficRecord> batch;
    const double offsets[] = {0.0, 0.05, -0.05, 0.98, 1.03, -1.37};
    for (int i = 0; i < 6; ++i)
        batch.push_back(EngineHarness::record(20001 + i, "AB" + std::to_string(i), "A320", 47, 8 + i * 0.1, 5000, 250,
                                              90, 500.0 + offsets[i]));
    h.handOver(batch);
    h.tick(3);
    const uint32_t base = t0 + 3000;  // median is 500.05 -> index 3 of the sorted stamps
    auto tickOf = [](uint32_t id) { return findLive(id)->stream.front().tick; };
    // Sorted stamps: 498.63, 499.95, 500.0, 500.05, 500.98, 501.03 -> median 500.05.
    EXPECT_EQ(tickOf(20002), base);        // 500.05
    EXPECT_EQ(tickOf(20001), base);        // 500.0: less than a tenth before -> 0 tenths
    EXPECT_EQ(tickOf(20003), base - 10);   // 499.95: -0.1 -> -1 tenth
    EXPECT_EQ(tickOf(20004), base + 90);   // 500.98: 0.93 -> 9 tenths
    EXPECT_EQ(tickOf(20005), base + 90);   // 501.03: 0.98 -> 9 tenths
    EXPECT_EQ(tickOf(20006), base - 140);  // 498.63: -1.42 -> -14 tenths
}

TEST_F(EngineTick, SingleRecordIsDueExactlyThirtySecondsLater) {
    const uint32_t t0 = engineTick.load();
    h.handOver({EngineHarness::record(30001, "ONE1", "A320", 47, 8, 5000, 250, 90, 77.7)});
    h.tick();
    ASSERT_NE(findLive(30001), nullptr);
    EXPECT_EQ(findLive(30001)->stream.front().tick, t0 + 3000);
}

TEST_F(EngineTick, ScriptedAircraftPlaysThirtySecondsBehind) {
    const uint32_t t0 = engineTick.load();
    feedTwice({40001});
    ASSERT_TRUE(allActive({40001}));
    ASSERT_EQ(h.created.size(), 1u);
    // First point due 30 s after its hand-over; the gate opens 100 ticks before it, the creation
    // goes out on the next creation tick.
    EXPECT_GE(tickDiff(h.created[0].tick, t0 + 3000 - 100), 0);
    EXPECT_LT(tickDiff(h.created[0].tick, t0 + 3000), 60);
    EXPECT_EQ(h.created[0].callsign, "TST100");
    EXPECT_EQ(h.created[0].title, "Test Livery 40001");
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
}

TEST_F(EngineTick, BatchesAreDroppedWholeWhilePendingOrClosed) {
    std::vector<TrafficRecord> a, b, c;
    for (uint32_t i = 0; i < 10; ++i) {
        a.push_back(
            EngineHarness::record(50001 + i, "A" + std::to_string(i), "A320", 47, 8 + i * 0.01, 5000, 250, 90, 1));
        b.push_back(
            EngineHarness::record(60001 + i, "B" + std::to_string(i), "A320", 47, 9 + i * 0.01, 5000, 250, 90, 1));
        c.push_back(
            EngineHarness::record(70001 + i, "C" + std::to_string(i), "A320", 47, 10 + i * 0.01, 5000, 250, 90, 1));
    }
    h.handOver(a);
    h.handOver(b);  // a is still pending: b is lost whole
    EXPECT_EQ(gf_pendingFeedSize(), 10u);
    h.tick(5);
    EXPECT_EQ(gf_pendingFeedSize(), 0u);
    gf_setFeedIntakeOpen(false);
    h.handOver(c);  // intake closed: lost whole
    h.tick(10);
    gf_setFeedIntakeOpen(true);
    size_t fromA = 0;
    for (const auto& ac : liveList) {
        EXPECT_TRUE(ac.id >= 50001 && ac.id <= 50010) << ac.id;
        fromA += ac.id <= 50010;
    }
    EXPECT_EQ(fromA, 10u);
}

TEST_F(EngineTick, BufferedBlocksAreMergedInOrderBeforeLiveBatchesEvenWhileClosed) {
    gf_setFeedIntakeOpen(false);
    const uint32_t t0 = engineTick.load();
    h.handOver({EngineHarness::record(80001, "BUF1", "A320", 47, 8, 5000, 250, 90, 100)}, 0);
    h.handOver({EngineHarness::record(80001, "BUF1", "A320", 47, 8.01, 5000, 250, 90, 106)}, 6);
    gf_setFeedIntakeOpen(true);
    h.handOver({EngineHarness::record(80001, "BUF1", "A320", 47, 8.02, 5000, 250, 90, 112)}, 30);
    h.tick();
    LiveAircraft* ac = findLive(80001);
    ASSERT_NE(ac, nullptr);
    ASSERT_EQ(ac->stream.size(), 3u);
    EXPECT_EQ(ac->stream[0].tick, t0);
    EXPECT_EQ(ac->stream[1].tick, t0 + 600);
    EXPECT_EQ(ac->stream[2].tick, t0 + 3000);
}

TEST_F(EngineTick, CreationsArePacedAndLiveGoesBeforeStatic) {
    // Two static orders wait; five live aircraft become due together.
    for (uint32_t id = 1; id <= 2; ++id) {
        SimAircraft s;
        s.id = id;
        s.identity.callsign = "S" + std::to_string(id) + "*";
        s.simState = SimState::Adding2Sim;
        staticList.push_back(s);
        staticCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 1, 0, s.identity.callsign, {}, id});
    }
    const std::vector<uint32_t> ids{90001, 90002, 90003, 90004, 90005};
    feedTwice(ids);
    // Static orders go out while no live order waits.
    ASSERT_TRUE(allActive(ids));
    std::vector<uint32_t> ticks;
    bool sawLiveAfterStatic = false;
    bool staticSeen = false;
    for (const auto& c : h.created) {
        EXPECT_EQ(c.tick % 50, 1u) << "created on a tick that is not a creation tick";
        ticks.push_back(c.tick);
        if (!c.live) staticSeen = true;
        if (c.live && staticSeen) sawLiveAfterStatic = true;
    }
    for (size_t i = 1; i < ticks.size(); ++i) EXPECT_GE(tickDiff(ticks[i], ticks[i - 1]), 50);
    EXPECT_EQ(std::count_if(h.created.begin(), h.created.end(), [](auto& c) { return c.live; }), 5);
    // Static orders were handed over before the live ones became due, never in between them.
    (void)sawLiveAfterStatic;
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
}

TEST_F(EngineTick, LiveOrderWaitsNoStaticWhileLiveQueued) {
    staticCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 1, 0, "S1*", {}, 1});
    liveCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 0, 0, "L1", {}, 20001});
    h.answerCreations = false;
    h.tickUntil([] { return liveCreateFifo.empty(); }, 60);
    EXPECT_EQ(staticCreateFifo.size(), 1u);
    h.tickUntil([] { return staticCreateFifo.empty(); }, 60);
    EXPECT_TRUE(staticCreateFifo.empty());
}

TEST_F(EngineTick, RefusedCreationErasesTheAircraft) {
    h.refuseHexids.insert(91001);
    feedTwice({91001, 91002});
    ASSERT_TRUE(allActive({91002}));
    h.tick(60);
    EXPECT_EQ(findLive(91001), nullptr);
    EXPECT_EQ(h.refused, std::vector<uint32_t>{91001});
}

TEST_F(EngineTick, RemovalOfActiveAircraftIsSentOnceAndConfirmed) {
    feedTwice({92001});
    ASSERT_TRUE(allActive({92001}));
    LiveAircraft* ac = findLive(92001);
    const uint32_t objectId = ac->objectId;
    removeAircraftFromSim(*ac);
    removeAircraftFromSim(*ac);  // a second request queues nothing
    EXPECT_EQ(ac->simState, SimState::RemovingFromSim);
    EXPECT_EQ(removeFifo.size(), 1u);
    h.tick(20);
    EXPECT_EQ(h.removed, std::vector<uint32_t>{objectId});
    EXPECT_EQ(findLive(92001), nullptr);
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
}

TEST_F(EngineTick, RemovalWhileWaitingForCreation) {
    feedTwice({93001, 93002});
    // Hold the simulator's answers: one order sent, the other still queued.
    h.answerCreations = false;
    ASSERT_TRUE(h.tickUntil(
        [] {
            auto* a = findLive(93001);
            auto* b = findLive(93002);
            return a && b && a->simState == SimState::Adding2Sim && b->simState == SimState::Adding2Sim &&
                   liveCreateFifo.size() == 1 && spawnIds.empty();
        },
        6000));
    const uint32_t queuedId = liveCreateFifo.front().id;
    const uint32_t sentId = queuedId == 93001 ? 93002 : 93001;
    removeAircraftFromSim(*findLive(queuedId));
    removeAircraftFromSim(*findLive(sentId));
    EXPECT_TRUE(liveCreateFifo.empty());
    EXPECT_EQ(findLive(sentId)->removeWhenCreated, 1);
    h.answerCreations = true;
    h.tick(300);
    EXPECT_EQ(findLive(queuedId), nullptr) << "taken out of the queue, never created";
    EXPECT_EQ(findLive(sentId), nullptr) << "removed once its creation was confirmed";
    ASSERT_EQ(h.created.size(), 1u);
    EXPECT_EQ(h.created[0].hexid, sentId);
    EXPECT_EQ(h.removed, std::vector<uint32_t>{h.created[0].objectId});
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
}

TEST_F(EngineTick, CallsignChangeRespawnsTheAircraftUnderItsNewName) {
    GUID_CHANGES.value = true;
    feedTwice({94001});
    ASSERT_TRUE(allActive({94001}));
    const uint32_t firstObject = findLive(94001)->objectId;
    // The feed now reports it as a ghost of another flight, then under a new callsign.
    h.handOver({EngineHarness::record(94001, "NEW1", "A320", 47.0, 8.05, 12000, 300, 90, 1030)});
    h.tick(5);
    LiveAircraft* ac = findLive(94001);
    ASSERT_NE(ac, nullptr);
    EXPECT_EQ(ac->identity.callsign, "NEW1");
    EXPECT_EQ(ac->identity.identity6, "NEW1");
    EXPECT_EQ(ac->simState, SimState::LiveryRespawn);
    // The old object goes; the aircraft comes back with the next reports under its new name.
    h.tick(60);
    EXPECT_EQ(h.removed, std::vector<uint32_t>{firstObject});
    h.handOver({EngineHarness::record(94001, "NEW1", "A320", 47.0, 8.06, 12000, 300, 90, 1040)});
    h.tick(1000);
    h.handOver({EngineHarness::record(94001, "NEW1", "A320", 47.0, 8.07, 12000, 300, 90, 1050)});
    ASSERT_TRUE(h.tickUntil(
        [&] {
            auto* a = findLive(94001);
            return a && a->simState == SimState::Active && a->objectId != firstObject;
        },
        8000));
    EXPECT_EQ(h.removed, std::vector<uint32_t>{firstObject});
    EXPECT_EQ(h.created.back().callsign, "NEW1");
    GUID_CHANGES.value = GUID_CHANGES.defaultValue;
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
}

TEST_F(EngineTick, RecordOfAGhostWhoseOwnerFliesIsNotAdded) {
    GUID_CHANGES.value = true;
    feedTwice({95001, 95002});
    ASSERT_TRUE(allActive({95001, 95002}));
    // 95002 flies "TST101"; a record of 95001 under "TST101_" belongs to a ghost of it.
    const size_t points = findLive(95001)->stream.size();
    h.handOver({EngineHarness::record(95001, "TST101_", "A320", 47.0, 8.05, 12000, 300, 90, 1030)});
    h.tick(5);
    EXPECT_EQ(findLive(95001)->identity.callsign, "TST100");
    EXPECT_EQ(findLive(95001)->simState, SimState::Active);
    EXPECT_LE(findLive(95001)->stream.size(), points);
    GUID_CHANGES.value = GUID_CHANGES.defaultValue;
}

TEST_F(EngineTick, RecordsDueBeforeTickZeroStillSpawnRightAfterStart) {
    // Buffered history handed over at program start: its older records fall before tick 0 and
    // wrap around the u32 clock; they are due at once, not in 497 days.
    engineTick.store(5);
    h.giveLivery(96001);
    h.handOver({EngineHarness::record(96001, "EARLY1", "A320", 47.0, 8.0, 9000, 250, 90, 100),
                EngineHarness::record(96002, "OTHER1", "A320", 47.5, 8.0, 9000, 250, 90, 160)},
               0);
    h.handOver({EngineHarness::record(96001, "EARLY1", "A320", 47.0, 8.01, 9000, 250, 90, 110)}, 0);
    h.tick();
    ASSERT_NE(findLive(96001), nullptr);
    EXPECT_GT(findLive(96001)->stream.front().tick, 0x80000000u) << "before tick 0";
    EXPECT_TRUE(h.tickUntil([] { return findLive(96001) && findLive(96001)->simState == SimState::Active; }, 400));
}

// A reply may carry time stamps that are not finite or lie absurdly far from the others: the batch is
// timed around the median of the sound ones and no tick offset can overflow.
TEST_F(EngineTick, AbsurdTimeStampsLeaveTheTicksOfTheBatchSound) {
    const uint32_t t0 = engineTick.load();
    h.handOver({EngineHarness::record(80010, "TS1", "A320", 47, 8, 5000, 250, 90, 1700000000.5),
                EngineHarness::record(80011, "TS2", "A320", 47, 8.1, 5000, 250, 90, 1700000001.5),
                EngineHarness::record(80012, "TS3", "A320", 47, 8.2, 5000, 250, 90, 1e300),
                EngineHarness::record(80013, "TS4", "A320", 47, 8.3, 5000, 250, 90, -1e300),
                EngineHarness::record(80014, "TS5", "A320", 47, 8.4, 5000, 250, 90, std::nan(""))},
               0);
    h.tick();
    LiveAircraft* a = findLive(80010);
    LiveAircraft* b = findLive(80011);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(tickDiff(a->stream.front().tick, t0), -100);
    EXPECT_EQ(tickDiff(b->stream.front().tick, t0), 0);
    for (uint32_t id : {80012u, 80013u, 80014u})
        if (LiveAircraft* ac = findLive(id)) {
            EXPECT_LE(std::abs(tickDiff(ac->stream.front().tick, t0)), 360000) << id;
        }
}

// The simulator misses the answer to a creation: 30 s after the order was sent the engine gives the creation
// up, and the aircraft leaves its list with its stand; should the answer come after all, its object is removed
// at once. A live aircraft's next reports then bring it back and it is created again.
TEST(UnansweredCreation, IsGivenUpAndALateAnswerRemovesItsObject) {
    struct Case {
        const char* what;
        uint32_t id;
        uint32_t standId;
    };
    const Case cases[] = {{"live aircraft in flight", 0x3c0101, 0},
                          {"live aircraft placed at a stand", 0x3c0102, 1},
                          {"static aircraft", 7, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        currentStands.emplace_back("A1", std::vector<StandOption>{}, 47.0, 8.0, 0.0, 20.0, 1, 1, 1);
        currentStands.back().id = 1;
        const bool live = c.id > 10000;
        const std::string callsign = live ? "DLH101" : "DLH7*";
        if (live) {
            h.giveLivery(c.id);
            TrafficRecord r =
                EngineHarness::record(c.id, callsign, "A320", 47.0, 8.0, c.standId ? 0 : 9000, 0, 90, 100);
            SimAircraft head;
            gf_makeAiRecord(head, r);
            head.id = c.id;
            LiveAircraft& ac = lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
            ac.simState = SimState::Adding2Sim;
            ac.setPhase(c.standId ? MovementPhase::Parked : MovementPhase::Flying);
            ac.standId = c.standId;
            if (c.standId) currentStands.back().occupied = 1;
            liveCreateFifo.push_back(SpawnOrder{47.0, 8.0, 0, 0, 0, 0, 0, 0, callsign, {}, c.id});
        } else {
            SimAircraft s;
            s.id = c.id;
            s.identity.callsign = callsign;
            s.standId = c.standId;
            s.simState = SimState::Adding2Sim;
            staticList.push_back(s);
            staticCreateFifo.push_back(SpawnOrder{47.0, 8.0, 0, 0, 0, 0, 1, 0, callsign, {}, c.id});
        }
        auto listed = [&] {
            return live ? findLive(c.id) != nullptr
                        : std::any_of(staticList.begin(), staticList.end(),
                                      [&](const SimAircraft& s) { return s.id == c.id; });
        };
        h.answerCreations = false;
        ASSERT_TRUE(h.tickUntil([] { return liveCreateFifo.empty() && staticCreateFifo.empty(); }, 60));
        h.tick(2900);
        EXPECT_TRUE(listed()) << "a creation may take its time";
        h.tick(200);
        EXPECT_FALSE(listed()) << "given up";
        EXPECT_EQ(currentStands.back().occupied, 0);
        // The answer comes after all: nothing waits for the object, so it goes again.
        h.answerCreations = true;
        h.tick(30);
        ASSERT_EQ(h.created.size(), 1u);
        EXPECT_EQ(h.removed, std::vector<uint32_t>{h.created[0].objectId});
        EXPECT_FALSE(listed());
        if (live) {
            h.handOver({EngineHarness::record(c.id, callsign, "A320", 47.0, 8.1, 9000, 250, 90, 200)}, 0);
            h.handOver({EngineHarness::record(c.id, callsign, "A320", 47.0, 8.11, 9000, 250, 90, 210)}, 0);
            EXPECT_TRUE(
                h.tickUntil([&] { return findLive(c.id) && findLive(c.id)->simState == SimState::Active; }, 2000))
                << "created again";
            EXPECT_EQ(h.created.size(), 2u);
        }
        EXPECT_TRUE(h.violations.empty()) << h.violations.front();
    }
}
