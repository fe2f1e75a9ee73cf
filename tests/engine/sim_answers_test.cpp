// Answers of the simulator that come late or never: a creation's answer belongs to the request that asked
// for it, whatever the aircraft has done meanwhile.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/parking.h"
#include "catalogue/livery_db.h"
#include "engine/engine_state.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "tests/common/engine_harness.h"

namespace {

constexpr uint32_t kHexid = 0x3c0101;

size_t objectsOf(const EngineHarness& h, const std::string& callsign) {
    return static_cast<size_t>(std::count_if(h.objects.begin(), h.objects.end(),
                                             [&](const auto& o) { return o.second.callsign == callsign; }));
}

StaticJob jobFor(uint32_t standId) {
    StaticJob job;
    job.standId = standId;
    job.identity0 = "DLH";
    job.icaoType = "A320";
    job.callsignA = "DLH7";
    return job;
}

}  // namespace

// A live aircraft's creation goes unanswered and is given up; the aircraft comes back with its next reports
// and is created again. The old answer then arrives at any moment of the new creation's life: before its
// order is sent, while it waits for its answer, together with it, during its light set-up, or after. It
// never takes the new object's place: the aircraft holds one object, the other is removed.
TEST(CreationAnswer, ALateLiveAnswerNeverTakesThePlaceOfTheNewOne) {
    for (int releaseAfter = 0; releaseAfter <= 400; releaseAfter += 10) {
        SCOPED_TRACE(releaseAfter);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        h.giveLivery(kHexid);
        bool released = false;
        // The first creation was ordered at the first reports, west of the later ones.
        h.holdCreation = [&](const SimConnectCreateRequest& c) { return !released && c.initPosition.longitude < 8.05; };
        h.handOver({EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.0, 9000, 250, 90, 100),
                    EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.01, 9000, 250, 90, 110)},
                   0);
        ASSERT_TRUE(h.tickUntil([] { return gf_liveByHexid(kHexid) != nullptr; }, 100));
        ASSERT_TRUE(h.tickUntil([] { return gf_liveByHexid(kHexid) == nullptr; }, 3500)) << "given up";
        h.handOver({EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.1, 9000, 250, 90, 200),
                    EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.11, 9000, 250, 90, 210)},
                   0);
        h.tick(releaseAfter);
        released = true;
        h.tick(500);
        const LiveAircraft* ac = gf_liveByHexid(kHexid);
        ASSERT_NE(ac, nullptr);
        EXPECT_EQ(ac->simState, SimState::Active);
        EXPECT_EQ(h.created.size(), 2u);
        ASSERT_EQ(objectsOf(h, "DLH101"), 1u) << "one object stays";
        EXPECT_EQ(h.objects.begin()->first, ac->objectId);
    }
}

// The same for a static: its creation is given up, and the static id counter comes round to its id again (in
// a long session, after 9999 placements) for a static on another stand. The old answer finds a static with
// its id waiting for a creation, but not for that one.
TEST(CreationAnswer, ALateStaticAnswerNeverTakesThePlaceOfTheNewOne) {
    for (int releaseAfter = 0; releaseAfter <= 400; releaseAfter += 10) {
        SCOPED_TRACE(releaseAfter);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        static const std::string title = "Harness static";
        airlineLiveries[0]["DLH"]["A320"] = {title};
        for (uint32_t id : {1u, 2u}) {
            currentStands.emplace_back("S" + std::to_string(id), std::vector<StandOption>{}, 47.0, 8.0 + 0.01 * id, 0.0,
                                       20.0, 1, 1, 1);
            currentStands.back().id = id;
        }
        bool released = false;
        h.holdCreation = [&](const SimConnectCreateRequest& c) {
            return !released && c.initPosition.longitude < 8.015;
        };
        staticJobs.push_back(jobFor(1));
        ASSERT_TRUE(h.tickUntil([] { return !staticList.empty(); }, 100));
        ASSERT_EQ(staticList.front().id, 1u);
        ASSERT_TRUE(h.tickUntil([] { return staticList.empty(); }, 3500)) << "given up";
        gf_resetStaticIdCounter();
        staticJobs.push_back(jobFor(2));
        h.tick(releaseAfter);
        released = true;
        h.tick(500);
        ASSERT_EQ(staticList.size(), 1u);
        const SimAircraft& s = staticList.front();
        EXPECT_EQ(s.id, 1u);
        EXPECT_EQ(s.standId, 2u);
        EXPECT_EQ(s.simState, SimState::Active);
        EXPECT_EQ(h.created.size(), 2u);
        ASSERT_EQ(objectsOf(h, "DLH7*"), 1u) << "one object stays";
        EXPECT_EQ(h.objects.begin()->first, s.objectId);
    }
}
