// The indexes of the live list: the hash index itself against a reference map, and the live
// list's two indexes through removals, respawns and compaction.
#include <random>
#include <unordered_map>

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/id_index.h"
#include "engine/notices.h"
#include "tests/common/engine_harness.h"

TEST(IdIndex, MatchesAReferenceMapThroughSetsAndErasures) {
    // Few distinct ids in a small table: long probe runs, wrapped runs and many backward shifts.
    std::mt19937 random(7);
    IdIndex index;
    std::unordered_map<uint32_t, uint32_t> reference;
    for (int step = 0; step < 20000; ++step) {
        const uint32_t id = 1 + random() % 97;
        if (random() % 3 == 0) {
            index.erase(id);
            reference.erase(id);
        } else {
            index.set(id, static_cast<uint32_t>(step));
            reference[id] = static_cast<uint32_t>(step);
        }
        ASSERT_EQ(index.size(), reference.size());
        if (step % 97 == 0)
            for (uint32_t k = 1; k <= 97; ++k) {
                auto it = reference.find(k);
                ASSERT_EQ(index.find(k), it == reference.end() ? IdIndex::kNone : it->second) << step << " " << k;
            }
    }
    EXPECT_EQ(index.find(0), IdIndex::kNone);
    index.clear();
    EXPECT_EQ(index.find(reference.begin()->first), IdIndex::kNone);
}

namespace {

LiveAircraft& addLive(uint32_t hexid, uint32_t objectId) {
    LiveAircraft ac;
    ac.id = hexid;
    ac.identity.callsign = "IDX" + std::to_string(hexid);
    ac.simState = objectId ? SimState::Active : SimState::Buffer;
    LiveAircraft& added = lf_appendLive(std::move(ac));
    lf_setLiveObjectId(added, objectId);
    return added;
}

}  // namespace

TEST(LiveIndex, RemovedAircraftLeavesBothIndexesAndARespawnLeavesTheObjectIndex) {
    EngineHarness h;
    for (uint32_t i = 0; i < 6; ++i) addLive(0x400000 + i, 100 + i);
    ASSERT_EQ(gf_liveIndexMismatch(), "");
    // The removal of the second one: the last takes its place and is found there.
    gf_postEngineNotice(makeNotice(101, 0, NoticeKind::ObjectRemoved));
    gf_drainEngineInbox();
    EXPECT_EQ(gf_liveByHexid(0x400001), nullptr);
    EXPECT_EQ(gf_liveByObjectId(101), nullptr);
    ASSERT_NE(gf_liveByHexid(0x400005), nullptr);
    EXPECT_EQ(gf_liveByObjectId(105), gf_liveByHexid(0x400005));
    EXPECT_EQ(gf_liveIndexMismatch(), "");
    // A respawn: the old object goes, the aircraft stays under its hexid, the new object is found.
    gf_liveByHexid(0x400002)->simState = SimState::LiveryRespawn;
    gf_postEngineNotice(makeNotice(102, 0, NoticeKind::ObjectRemoved));
    gf_drainEngineInbox();
    EXPECT_EQ(gf_liveByObjectId(102), nullptr);
    ASSERT_NE(gf_liveByHexid(0x400002), nullptr);
    EXPECT_EQ(gf_liveByHexid(0x400002)->objectId, 0u);
    lf_setLiveObjectId(*gf_liveByHexid(0x400002), 202);
    EXPECT_EQ(gf_liveByObjectId(202), gf_liveByHexid(0x400002));
    // A failed creation and the compaction of the tick keep them in step too.
    gf_liveByHexid(0x400003)->creationRequest = 75;
    gf_postEngineNotice(makeCreationAnswer(0, 0x400003, NoticeKind::CreateFailed, 75));
    gf_liveByHexid(0x400000)->removedFromQueue = 1;
    h.tick();
    EXPECT_EQ(gf_liveByHexid(0x400003), nullptr);
    EXPECT_EQ(gf_liveByHexid(0x400000), nullptr);
    EXPECT_EQ(gf_liveByObjectId(100), nullptr);
    // The respawned one has no points to fly and leaves from the buffer in the same compaction.
    EXPECT_EQ(gf_liveByHexid(0x400002), nullptr);
    EXPECT_EQ(gf_liveByObjectId(202), nullptr);
    EXPECT_EQ(liveList.size(), 2u);
    EXPECT_EQ(gf_liveIndexMismatch(), "");
    EXPECT_TRUE(h.violations.empty());
    // An object id changed behind the index's back is reported.
    liveList[0].objectId = 999;
    EXPECT_NE(gf_liveIndexMismatch(), "");
    lf_reindexLive();
    EXPECT_EQ(gf_liveIndexMismatch(), "");
}
