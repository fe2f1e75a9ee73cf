// A long scenario: many aircraft coming and going, refused creations, removals from every state,
// MAX_LIVE changes and respawns, with the harness's invariants checked after every tick.
#include <algorithm>
#include <random>

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/upkeep.h"
#include "feed/feed_intake.h"
#include "foundation/settings.h"
#include "tests/common/engine_harness.h"

TEST(EngineScenario, NoObjectIdQueuedTwiceAndNoAircraftStuckWaitingForCreation) {
    EngineHarness h;
    h.addType("A320", AircraftCategory::Large);
    h.addType("B744", AircraftCategory::Heavy);
    std::mt19937 rng(7);
    constexpr uint32_t kAircraft = 60;
    for (uint32_t i = 0; i < kAircraft; ++i) {
        h.giveLivery(100000 + i);
        if (i % 13 == 5) h.refuseHexids.insert(100000 + i);
    }
    // Each aircraft is reported during its own window of feed time, every 8 s.
    struct Plan {
        double from, to, lat, lon, alt;
    };
    std::vector<Plan> plans;
    for (uint32_t i = 0; i < kAircraft; ++i) {
        const double from = std::uniform_real_distribution<>(0, 200)(rng);
        plans.push_back({from, from + std::uniform_real_distribution<>(30, 250)(rng), 46 + (i % 7) * 0.2,
                         7 + (i % 11) * 0.2, i % 4 == 0 ? 0.0 : 8000.0 + i * 100});
    }
    GUID_CHANGES.value = true;
    for (double feedTime = 0; feedTime < 480; feedTime += 8) {
        std::vector<TrafficRecord> batch;
        for (uint32_t i = 0; i < kAircraft; ++i) {
            const Plan& p = plans[i];
            if (feedTime < p.from || feedTime > p.to) continue;
            const double progress = (feedTime - p.from) * 0.002;
            // Some callsigns change midway (respawn), one pair shares a callsign with different types.
            std::string callsign = "SC" + std::to_string(i);
            if (i % 17 == 3 && feedTime > p.from + 60) callsign += "X";
            if (i == 40) callsign = "SC39";
            auto r = EngineHarness::record(100000 + i, callsign, i == 40 ? "B744" : "A320", p.lat, p.lon + progress,
                                           p.alt, p.alt > 0 ? 280 : 15, 90, 10000 + feedTime);
            batch.push_back(r);
        }
        if (!batch.empty()) h.handOver(batch);
        // 8 s of ticks, with removals and limits thrown in.
        for (int t = 0; t < 800; ++t) {
            h.tick();
            if (t % 97 == 0 && !liveList.empty()) {
                auto& ac = liveList[rng() % liveList.size()];
                removeAircraftFromSim(ac);
                if (rng() % 2) removeAircraftFromSim(ac);
            }
            if (t == 400 && feedTime > 200 && feedTime < 300) {
                MAX_LIVE.value = 12;
                gf_enforceMaxLive();
            }
        }
        ASSERT_TRUE(h.violations.empty()) << h.violations.front();
    }
    MAX_LIVE.value = MAX_LIVE.defaultValue;
    GUID_CHANGES.value = GUID_CHANGES.defaultValue;
    h.tick(3000);
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
    EXPECT_GT(h.created.size(), 20u);
    EXPECT_FALSE(h.refused.empty());
    EXPECT_FALSE(h.removed.empty());
    for (const auto& ac : liveList) EXPECT_NE(ac.simState, SimState::Adding2Sim) << ac.identity.callsign;
    // Every object created was removed at most once, and every removal named a created object.
    for (uint32_t objectId : h.removed)
        EXPECT_TRUE(std::any_of(h.created.begin(), h.created.end(), [&](auto& c) { return c.objectId == objectId; }));
}

// A flight whose callsign gains or loses the ghost mark "_" is its own flight, not its own ghost: it
// is neither removed as a ghost nor dropped as one, and its object is queued for removal once.
TEST(EngineScenario, CallsignGainingOrLosingTheGhostMarkIsNoGhostOfItself) {
    EngineHarness h;
    h.addType("A320", AircraftCategory::Large);
    h.giveLivery(120001);
    h.giveLivery(120002);
    GUID_CHANGES.value = true;
    for (double feedTime = 0; feedTime < 200; feedTime += 8) {
        const bool later = feedTime >= 96;
        h.handOver({EngineHarness::record(120001, later ? "GHO1" : "GHO1_", "A320", 47.0, 8.0 + feedTime * 0.002, 9000,
                                          280, 90, 10000 + feedTime),
                    EngineHarness::record(120002, later ? "GHO2_" : "GHO2", "A320", 47.2, 8.0 + feedTime * 0.002, 9000,
                                          280, 90, 10000 + feedTime)});
        h.tick(800);
        ASSERT_TRUE(h.violations.empty()) << h.violations.front();
    }
    h.tick(3000);
    GUID_CHANGES.value = GUID_CHANGES.defaultValue;
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
    auto createdAs = [&](uint32_t hexid, const std::string& callsign) {
        return std::any_of(h.created.begin(), h.created.end(),
                           [&](const auto& c) { return c.hexid == hexid && c.callsign == callsign; });
    };
    EXPECT_TRUE(createdAs(120001, "GHO1_"));
    EXPECT_TRUE(createdAs(120001, "GHO1")) << "it respawned under its new callsign";
    EXPECT_TRUE(createdAs(120002, "GHO2"));
    EXPECT_TRUE(createdAs(120002, "GHO2_")) << "the real flight is not dropped as its own ghost";
    // Each object was removed at most once.
    std::vector<uint32_t> removed = h.removed;
    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(std::adjacent_find(removed.begin(), removed.end()), removed.end());
}
