#include "foundation/clock.h"

#include <thread>

Clock::SteadyTime SystemClock::steadyNow() { return std::chrono::steady_clock::now(); }

Clock::UtcTime SystemClock::utcNow() { return std::chrono::system_clock::now(); }

void SystemClock::sleepUntil(SteadyTime deadline) { std::this_thread::sleep_until(deadline); }

void SystemClock::sleepFor(std::chrono::nanoseconds duration) { std::this_thread::sleep_for(duration); }

ManualClock::ManualClock(std::int64_t unixSeconds, bool autoAdvance)
    : utc_(std::chrono::system_clock::time_point(std::chrono::seconds(unixSeconds))), autoAdvance_(autoAdvance) {}

Clock::SteadyTime ManualClock::steadyNow() {
    std::lock_guard lock(mutex_);
    // Starts well above the steady clock's epoch so that "now minus a while" stays positive.
    return SteadyTime(std::chrono::hours(1) + steadyOffset_);
}

Clock::UtcTime ManualClock::utcNow() {
    std::lock_guard lock(mutex_);
    return utc_;
}

void ManualClock::sleepUntil(SteadyTime deadline) {
    ++sleeps_;
    std::unique_lock lock(mutex_);
    const auto target = deadline.time_since_epoch() - std::chrono::hours(1);
    if (autoAdvance_) {
        if (target > steadyOffset_) {
            utc_ += std::chrono::duration_cast<std::chrono::system_clock::duration>(target - steadyOffset_);
            steadyOffset_ = target;
            moved_.notify_all();
        }
        lock.unlock();
        std::this_thread::yield();
        return;
    }
    moved_.wait(lock, [&] { return steadyOffset_ >= target || autoAdvance_; });
}

void ManualClock::sleepFor(std::chrono::nanoseconds duration) {
    if (duration < std::chrono::nanoseconds::zero()) duration = std::chrono::nanoseconds::zero();
    sleepUntil(steadyNow() + duration);
}

void ManualClock::advance(std::chrono::nanoseconds duration) {
    std::lock_guard lock(mutex_);
    steadyOffset_ += duration;
    utc_ += std::chrono::duration_cast<std::chrono::system_clock::duration>(duration);
    moved_.notify_all();
}

void ManualClock::setUtc(UtcTime time) {
    std::lock_guard lock(mutex_);
    utc_ = time;
}

void ManualClock::setUnixTime(std::int64_t unixSeconds) { setUtc(UtcTime(std::chrono::seconds(unixSeconds))); }

void ManualClock::setAutoAdvance(bool on) {
    std::lock_guard lock(mutex_);
    autoAdvance_ = on;
    moved_.notify_all();
}

namespace {
// Function-local, so that code running during static initialisation of other files finds it built.
Clock& systemClock() {
    static SystemClock instance;
    return instance;
}
std::atomic<Clock*> installedClock{nullptr};  // nullptr: the system clock
}  // namespace

Clock& gf_clock() {
    Clock* clock = installedClock.load(std::memory_order_acquire);
    return clock ? *clock : systemClock();
}

void gf_setClock(Clock* clock) { installedClock.store(clock, std::memory_order_release); }

Clock::SteadyTime gf_steadyNow() { return gf_clock().steadyNow(); }

Clock::UtcTime gf_utcNow() { return gf_clock().utcNow(); }

std::int64_t gf_unixTime() { return std::chrono::floor<std::chrono::seconds>(gf_utcNow().time_since_epoch()).count(); }

void gf_sleepUntil(Clock::SteadyTime deadline) { gf_clock().sleepUntil(deadline); }

void gf_sleepFor(std::chrono::nanoseconds duration) { gf_clock().sleepFor(duration); }
