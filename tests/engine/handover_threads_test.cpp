// The traffic reader hands batches over on its own thread while the run thread ticks.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "engine/engine_state.h"
#include "engine/notices.h"
#include "feed/feed_intake.h"
#include "tests/common/engine_harness.h"

TEST(HandOverThreads, ReaderThreadHandsOverWhileTheRunThreadTicks) {
    EngineHarness h;
    h.addType("A320", AircraftCategory::Large);
    std::atomic<bool> done{false};
    std::thread reader([&] {
        for (int b = 0; b < 300; ++b) {
            std::vector<TrafficRecord> batch;
            for (uint32_t i = 0; i < 8; ++i)
                batch.push_back(EngineHarness::record(200000 + i, "TH" + std::to_string(i), "A320", 47, 8 + i * 0.1,
                                                      9000, 250, 90, 1000.0 + b * 2.0));
            double last = 1.0;
            gf_mergeTrafficRecords(batch, b < 3 ? 6 * b : 30, last);
            gf_postEngineNotice(makeNotice(0, 200000, NoticeKind::Blocked));
            std::this_thread::yield();
        }
        done = true;
    });
    while (!done) h.tick();
    reader.join();
    h.tick(10);
    EXPECT_LE(liveList.size(), 8u);
    EXPECT_TRUE(h.violations.empty());
}
