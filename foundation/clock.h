#pragma once
// One injectable source of steady time, UTC time and sleeping.
//
// The program never asks std::chrono or std::this_thread directly: it asks the installed clock. Tests install
// a ManualClock so that waits and timed steps run without real waiting.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class Clock {
public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    using UtcTime = std::chrono::system_clock::time_point;

    virtual ~Clock() = default;
    virtual SteadyTime steadyNow() = 0;
    virtual UtcTime utcNow() = 0;
    virtual void sleepUntil(SteadyTime deadline) = 0;
    virtual void sleepFor(std::chrono::nanoseconds duration) = 0;
};

// The real clock of the system.
class SystemClock final : public Clock {
public:
    SteadyTime steadyNow() override;
    UtcTime utcNow() override;
    void sleepUntil(SteadyTime deadline) override;
    void sleepFor(std::chrono::nanoseconds duration) override;
};

// A clock that moves only when told to.
// Auto-advance (the default): a sleep moves the clock forward to the end of the sleep at once, so polling
// loops run through without waiting. Without auto-advance a sleeper blocks until advance() or set...() moves
// the clock past its deadline (for tests that step time by hand while other threads sleep).
class ManualClock final : public Clock {
public:
    explicit ManualClock(std::int64_t unixSeconds = 1700000000, bool autoAdvance = true);

    SteadyTime steadyNow() override;
    UtcTime utcNow() override;
    void sleepUntil(SteadyTime deadline) override;
    void sleepFor(std::chrono::nanoseconds duration) override;

    // Moves steady and UTC time forward together.
    void advance(std::chrono::nanoseconds duration);
    // Sets the UTC time (steady time is not changed: it never goes back).
    void setUtc(UtcTime time);
    void setUnixTime(std::int64_t unixSeconds);
    void setAutoAdvance(bool on);
    // Number of sleeps so far (a test can see that code under test waited).
    std::uint64_t sleepCount() const { return sleeps_.load(); }

private:
    mutable std::mutex mutex_;
    std::condition_variable moved_;
    std::chrono::nanoseconds steadyOffset_{0};
    UtcTime utc_;
    bool autoAdvance_;
    std::atomic<std::uint64_t> sleeps_{0};
};

// The installed clock (the system clock unless a test installed another).
Clock& gf_clock();
// Installs a clock; nullptr puts the system clock back. The clock must outlive its use.
void gf_setClock(Clock* clock);

// Installs a clock for the life of a scope.
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock) { gf_setClock(&clock); }
    ~ScopedClock() { gf_setClock(nullptr); }
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
};

// Shorthands for the installed clock.
Clock::SteadyTime gf_steadyNow();
Clock::UtcTime gf_utcNow();
std::int64_t gf_unixTime();  // whole seconds since 1970 (UTC)
void gf_sleepUntil(Clock::SteadyTime deadline);
void gf_sleepFor(std::chrono::nanoseconds duration);
