#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "foundation/clock.h"
#include "foundation/random.h"
#include "foundation/tasks.h"

namespace {

TEST(Random, SeededEngineRepeats) {
    gf_seedRandom(42);
    const std::uint32_t a = gf_randomDraw();
    const std::uint32_t b = gf_randomDraw();
    gf_seedRandom(42);
    EXPECT_EQ(gf_randomDraw(), a);
    EXPECT_EQ(gf_randomDraw(), b);
    std::mt19937 reference(42);
    gf_seedRandom(42);
    EXPECT_EQ(gf_randomDraw(), reference());
}

TEST(Random, IndexAndShuffleDrawNothingForOneCandidate) {
    gf_seedRandom(7);
    std::mt19937 reference(7);
    EXPECT_EQ(gf_randomIndex(1), 0u);
    std::vector<std::string> one{"x"};
    gf_shuffle(one);
    std::vector<std::string> none;
    gf_shuffle(none);
    EXPECT_EQ(one, std::vector<std::string>{"x"});
    EXPECT_EQ(gf_randomIndex(10), reference() % 10);  // the first real draw
}

TEST(Random, ShuffleIsAPermutation) {
    gf_seedRandom(3);
    std::vector<std::string> items{"a", "b", "c", "d", "e", "f"};
    auto shuffled = items;
    gf_shuffle(shuffled);
    std::sort(shuffled.begin(), shuffled.end());
    EXPECT_EQ(shuffled, items);
}

TEST(Random, VariationIsOneOfTheTwoExtremes) {
    gf_seedRandom(11);
    std::mt19937 reference(11);
    bool seenUp = false, seenDown = false;
    for (int i = 0; i < 64; ++i) {
        const double v = gf_randomVariation(100.0, 10.0);
        const double expected = (reference() & 1u) == 0 ? 110.0 : 90.0;
        EXPECT_EQ(v, expected);
        seenUp |= v == 110.0;
        seenDown |= v == 90.0;
    }
    EXPECT_TRUE(seenUp && seenDown);
    gf_seedRandom(11);
    EXPECT_EQ(gf_randomVariation(100.0, 0.0), 100.0);
    EXPECT_EQ(gf_randomVariation(100.0, -5.0), 100.0);
    EXPECT_EQ(gf_randomDraw(), std::mt19937(11)());  // nothing drawn for percent <= 0
}

TEST(RandomThreads, EachThreadHasItsOwnEngineSeededAsAsked) {
    gf_setRandomSeedForNewThreads(99);
    std::uint32_t first[2] = {0, 0};
    std::thread t1([&] { first[0] = gf_randomDraw(); });
    std::thread t2([&] { first[1] = gf_randomDraw(); });
    t1.join();
    t2.join();
    gf_setRandomSeedForNewThreads(std::nullopt);
    EXPECT_EQ(first[0], std::mt19937(99)());
    EXPECT_EQ(first[1], first[0]);
}

class TaskSlots : public ::testing::Test {
protected:
    void TearDown() override {
        taskCount = 0;
        hwConcurrency = gf_hardwareThreads();
    }
    ManualClock clock_;
    ScopedClock installed_{clock_};
};

TEST_F(TaskSlots, ReturnsAtOnceBelowTheLimit) {
    hwConcurrency = 2;
    taskCount = 1;
    gf_waitForTaskSlot();
    EXPECT_EQ(clock_.sleepCount(), 0u);
    EXPECT_GE(gf_hardwareThreads(), 1);
}

TEST_F(TaskSlots, LimitCountsAsAtLeastOne) {
    for (int limit : {0, -4}) {
        hwConcurrency = limit;
        taskCount = 0;
        gf_waitForTaskSlot();  // must not wait for ever
        EXPECT_EQ(clock_.sleepCount(), 0u);
    }
}

TEST_F(TaskSlots, TaskDoneDecrements) {
    taskCount = 3;
    gf_taskDone();
    EXPECT_EQ(taskCount.load(), 2);
}

TEST(TaskSlotsThreads, WaitsUntilATaskEnds) {
    ManualClock clock;
    ScopedClock installed(clock);
    hwConcurrency = 2;
    taskCount = 2;
    std::atomic<bool> started{false};
    std::thread finisher([&] {
        while (clock.sleepCount() < 5) std::this_thread::yield();
        started = true;
        gf_taskDone();
    });
    gf_waitForTaskSlot();
    finisher.join();
    EXPECT_TRUE(started.load());
    EXPECT_EQ(taskCount.load(), 1);
    // Each wait step is a 10 microsecond sleep on the installed clock.
    EXPECT_GE(clock.steadyNow() - Clock::SteadyTime(std::chrono::hours(1)), std::chrono::microseconds(50));
    taskCount = 0;
    hwConcurrency = gf_hardwareThreads();
}

TEST(ManualClockTest, SleepsMoveTimeWithoutWaiting) {
    ManualClock clock(1000);
    ScopedClock installed(clock);
    const auto start = gf_steadyNow();
    gf_sleepFor(std::chrono::seconds(30));
    EXPECT_EQ(gf_steadyNow() - start, std::chrono::seconds(30));
    EXPECT_EQ(gf_unixTime(), 1030);
    gf_sleepUntil(start + std::chrono::seconds(10));  // already past: no change
    EXPECT_EQ(gf_unixTime(), 1030);
    clock.advance(std::chrono::milliseconds(1500));
    EXPECT_EQ(gf_unixTime(), 1031);
    clock.setUnixTime(5);
    EXPECT_EQ(gf_unixTime(), 5);
    EXPECT_EQ(clock.sleepCount(), 2u);
}

TEST(ManualClockThreads, SleeperWaitsForTheTestToAdvance) {
    ManualClock clock(0, false);
    std::atomic<bool> woke{false};
    std::thread sleeper([&] {
        clock.sleepFor(std::chrono::seconds(5));
        woke = true;
    });
    while (clock.sleepCount() == 0) std::this_thread::yield();
    clock.advance(std::chrono::seconds(4));
    EXPECT_FALSE(woke.load());
    clock.advance(std::chrono::seconds(1));
    sleeper.join();
    EXPECT_TRUE(woke.load());
}

TEST(SystemClockTest, IsInstalledByDefault) {
    gf_setClock(nullptr);
    EXPECT_NE(dynamic_cast<SystemClock*>(&gf_clock()), nullptr);
}

}  // namespace
