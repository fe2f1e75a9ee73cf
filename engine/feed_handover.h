#pragma once
// The engine clock and the hand-over of feed batches from the traffic reader to the engine.
#include <atomic>
#include <cstdint>
#include <vector>

struct TrafficRecord;

// The engine clock: ticks of 10 ms since program start, +1 per engine tick, never reset.
extern std::atomic<uint32_t> engineTick;

// The one way to compare ticks: the signed difference a - b, correct across the u32 wrap.
inline int32_t tickDiff(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b); }

// Traffic reader thread: hands one answer's records to the engine, each timed `delaySec`
// seconds after now, shifted by its distance from the batch's median time stamp.
// delaySec 30 (a live answer): the batch becomes the pending batch when intake is open and no
// batch is pending, else it is dropped whole. Any other delay (a block of the buffered answer at
// the start of a run): the block is queued for the run thread, which merges it, in order,
// before any live batch. `records` is empty on return; for an empty answer `lastFeedTimestamp`
// is set to 0.
void gf_mergeTrafficRecords(std::vector<TrafficRecord>& records, uint32_t delaySec, double& lastFeedTimestamp);

// Opens or closes the intake of live batches (run life cycle).
void gf_setFeedIntakeOpen(bool open);
bool gf_feedIntakeOpen();
