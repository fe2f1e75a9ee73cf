#pragma once
// Throttle of the parallel background scan tasks: at most hwConcurrency run at once.
// The caller of gf_waitForTaskSlot raises taskCount when it starts a task; the task calls gf_taskDone when it
// ends.

#include <atomic>
#include <cstdint>

extern std::atomic<std::int32_t> taskCount;
extern std::atomic<std::int32_t> hwConcurrency;

// The processor's hardware thread count, at least 1.
std::int32_t gf_hardwareThreads();
// Waits (10 microsecond sleeps on the installed clock) while taskCount is at or above the limit; the limit
// counts as at least 1.
void gf_waitForTaskSlot();
void gf_taskDone();
