#include "foundation/tasks.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "foundation/clock.h"

std::atomic<std::int32_t> taskCount{0};
std::atomic<std::int32_t> hwConcurrency{gf_hardwareThreads()};

std::int32_t gf_hardwareThreads() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : static_cast<std::int32_t>(std::min(n, 1024u));
}

void gf_waitForTaskSlot() {
    // A limit of 0 or less would never let a task start.
    while (taskCount.load() >= std::max<std::int32_t>(1, hwConcurrency.load()))
        gf_sleepUntil(gf_steadyNow() + std::chrono::microseconds(10));
}

void gf_taskDone() { taskCount.fetch_sub(1); }
