// Hand-over of feed batches from the traffic reader thread to the engine.
#include "feed/feed_intake.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <mutex>

#include "feed/traffic_record.h"

namespace {
std::mutex feedMutex;
bool feedIntakeOpen = false;
std::vector<TrafficRecord> pendingFeed;
// Blocks of the buffered answer at the start of a run, merged by the run thread in order
// before any live batch.
std::deque<std::vector<TrafficRecord>> bufferedBlocks;

// A reply may carry a time stamp that is not finite or lies absurdly far from the others (the feed
// drops those it sees, this is the engine's own guard): the median comes from the finite stamps, an
// unusable stamp is timed at the median, and no offset reaches beyond an hour, so that neither the
// conversion to an integer nor the tick arithmetic can overflow.
constexpr double maxOffsetTenths = 36000.0;

void timeBatch(std::vector<TrafficRecord>& records, uint32_t delaySec) {
    std::vector<double> stamps;
    stamps.reserve(std::max<size_t>(256, records.size()));
    for (const auto& r : records)
        if (std::isfinite(r.timestamp)) stamps.push_back(r.timestamp);
    std::sort(stamps.begin(), stamps.end());
    const double median = stamps.empty() ? 0.0 : stamps[stamps.size() / 2];
    const uint32_t base = engineTick.load() + delaySec * 100u;
    for (auto& r : records) {
        double tenths = (r.timestamp - median) * 10.0;
        if (!std::isfinite(tenths)) tenths = 0.0;
        tenths = std::clamp(tenths, -maxOffsetTenths, maxOffsetTenths);
        const auto ticks = 10 * static_cast<int64_t>(tenths);
        r.tick = base + static_cast<uint32_t>(ticks);
    }
}
}  // namespace

void gf_mergeTrafficRecords(std::vector<TrafficRecord>& records, uint32_t delaySec, double& lastFeedTimestamp) {
    if (records.empty()) {
        lastFeedTimestamp = 0.0;
        return;
    }
    timeBatch(records, delaySec);
    {
        std::lock_guard lock(feedMutex);
        if (delaySec != 30) {
            bufferedBlocks.push_back(std::move(records));
        } else if (feedIntakeOpen && pendingFeed.empty()) {
            pendingFeed = std::move(records);
        }
    }
    records.clear();
}

void gf_setFeedIntakeOpen(bool open) {
    std::lock_guard lock(feedMutex);
    feedIntakeOpen = open;
}

bool gf_feedIntakeOpen() {
    std::lock_guard lock(feedMutex);
    return feedIntakeOpen;
}

void gf_takeFeedIntake(int maxRecords, const std::function<void(TrafficRecord&)>& merge) {
    std::lock_guard lock(feedMutex);
    // Buffered history first, whole blocks in the order they were read.
    while (!bufferedBlocks.empty()) {
        auto block = std::move(bufferedBlocks.front());
        bufferedBlocks.pop_front();
        for (auto& record : block) merge(record);
    }
    for (int i = 0; i < maxRecords && !pendingFeed.empty(); ++i) {
        merge(pendingFeed.back());
        pendingFeed.pop_back();
    }
}

size_t gf_pendingFeedSize() {
    std::lock_guard lock(feedMutex);
    return pendingFeed.size();
}

void gf_clearPendingFeed() {
    std::lock_guard lock(feedMutex);
    pendingFeed.clear();
    bufferedBlocks.clear();
}
