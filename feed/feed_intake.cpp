// Hand-over of feed batches from the traffic reader thread to the engine.
#include "feed/feed_intake.h"

#include <algorithm>
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

void timeBatch(std::vector<TrafficRecord>& records, uint32_t delaySec) {
    std::vector<double> stamps;
    stamps.reserve(std::max<size_t>(256, records.size()));
    for (const auto& r : records) stamps.push_back(r.timestamp);
    std::sort(stamps.begin(), stamps.end());
    const double median = stamps[stamps.size() / 2];
    const uint32_t base = engineTick.load() + delaySec * 100u;
    for (auto& r : records) {
        const auto tenths = static_cast<int64_t>((r.timestamp - median) * 10.0);
        r.tick = base + static_cast<uint32_t>(10 * tenths);
    }
}
} // namespace

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
