#pragma once
// The engine clock: ticks of 10 ms since program start, +1 per engine tick (run thread), never
// reset. Any thread reads it; the feed times its batches by it.
#include <atomic>
#include <cstdint>

extern std::atomic<uint32_t> engineTick;

// The one way to compare ticks: the signed difference a - b, correct across the u32 wrap.
inline int32_t tickDiff(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }
