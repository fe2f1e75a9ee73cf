#pragma once
// The hand-over of feed batches from the traffic reader thread to the engine: the feed owns the
// intake (under its own mutex), the run thread takes from it once per engine tick.
#include <cstdint>
#include <functional>
#include <vector>

#include "foundation/engine_clock.h"

struct TrafficRecord;

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

// Run thread: under the intake mutex, gives `merge` every record of the queued buffered blocks,
// whole blocks in the order they were read, then up to `maxRecords` records of the pending batch.
void gf_takeFeedIntake(int maxRecords, const std::function<void(TrafficRecord&)>& merge);
// Whether a live batch is still waiting to be merged (tests and diagnostics).
size_t gf_pendingFeedSize();
// Drops the pending batch and the queued buffered blocks.
void gf_clearPendingFeed();
