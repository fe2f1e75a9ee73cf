// The engine tick in a steady state at 50, 512, 2,000 and 8,000 live aircraft, every one of them
// flying and kept active by its track being topped up as the feed would: plain ticks with the
// paced merge of the pending batch (one poll every 2 s, dropped while a batch is pending), ticks
// that drain a burst of ground notices (one per aircraft), and ticks that merge a whole batch;
// each warm and with cold caches.
//
// Each sample times one tick, and right after it a bare loop that writes every aircraft's
// position into a position buffer, in the same cache state. Reported per benchmark (times in
// microseconds, shares in percent): the tick's mean and 99th percentile, the same of the bare
// loop and their ratios, the 99th percentile as a share of the 10 ms budget, the mean per
// aircraft in nanoseconds, and the heap allocations per tick (a replaced global operator new
// counts them). The steady benchmark also reports how many polls the pacing drops and how often
// each aircraft gets a feed point then. Machine-independent figures are the ratios.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "engine/engine_state.h"
#include "engine/notices.h"
#include "feed/feed_intake.h"
#include "feed/traffic_record.h"
#include "simlink/commands.h"

namespace {
std::atomic<uint64_t> allocations{0};
}

// The replacements stay out of line: inlined, the optimiser would pair the malloc and the free inside them
// with the new and delete of the callers, and report a mismatch that is none.
[[gnu::noinline]] void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSpeedKt = 500.0;
constexpr double kAltitudeFt = 10000.0;
constexpr uint32_t kFeedDelayTicks = 3000;    // live answers: 30 s
constexpr uint32_t kPollTicks = 200;          // the traffic reader's default interval, 2 s
constexpr uint32_t kTopUpTicks = 300;         // points kept ahead of the clock without the feed
constexpr uint32_t kBurstEvery = 20;          // ticks between two bursts of ground notices
constexpr uint32_t kBatchEvery = kPollTicks;  // ticks between two whole batches
constexpr double kDeg = 0.017453292519943295;

enum class Scenario {
    Steady,
    NoticeBurst,
    BatchMerge
};

// Aircraft i flies east along its own latitude; where it is at a tick is fixed, so that every
// point given to it, from the top-up or from the feed, lies on one straight track.
struct Track {
    double latitude;
    double longitude0;
    double lonPerTick;
};

std::vector<Track> tracks;
uint32_t startTick = 0;

StreamPoint pointOf(size_t i, uint32_t tick) {
    const Track& t = tracks[i];
    StreamPoint p;
    p.latitude = t.latitude;
    p.longitude = t.longitude0 + t.lonPerTick * static_cast<double>(tickDiff(tick, startTick));
    p.altitudeFt = kAltitudeFt;
    p.groundSpeedKt = kSpeedKt;
    p.airSpeedKt = kSpeedKt;
    p.trackDeg = 90.0;
    p.airborne = 1;
    p.tick = tick;
    return p;
}

TrafficRecord recordOf(size_t i, uint32_t tick, double timestamp) {
    const StreamPoint p = pointOf(i, tick);
    TrafficRecord r;
    r.identity.callsign = "BEN" + std::to_string(i);
    r.identity.icaoType = "A320";
    r.latitude = p.latitude;
    r.longitude = p.longitude;
    r.altitudeFt = p.altitudeFt;
    r.groundSpeedKt = p.groundSpeedKt;
    r.airSpeedKt = p.airSpeedKt;
    r.trackDeg = p.trackDeg;
    r.airborne = 1;
    r.timestamp = timestamp;
    r.address = 0x100000 + static_cast<uint32_t>(i);
    return r;
}

// Aircraft made from a first record as the merge makes them, then created, lit and flying.
void fillLiveList(int count) {
    gf_resetEngineState();
    gf_setFeedIntakeOpen(true);
    lf_clearLive();
    liveList.reserve(static_cast<size_t>(count));
    tracks.clear();
    startTick = engineTick.load();
    for (int i = 0; i < count; ++i) {
        Track t;
        t.latitude = 30.0 + 0.05 * (i % 400);
        t.longitude0 = -60.0 + 0.5 * (i / 400);
        t.lonPerTick = kSpeedKt / 3600.0 / 100.0 / (60.0 * std::cos(t.latitude * kDeg));
        tracks.push_back(t);
        const TrafficRecord first = recordOf(static_cast<size_t>(i), startTick, 0.0);
        SimAircraft head;
        gf_makeAiRecord(head, first);
        head.id = first.address;
        head.turnStep = head.groundTurnStep;
        head.maxClimbStep = categoryValues(head.category).maxClimbStep;
        LiveAircraft ac(pointOf(static_cast<size_t>(i), startTick), head, 0.0);
        ac.simState = SimState::Active;
        ac.setPhase(MovementPhase::Flying);
        ac.heightAglFt = 9000.0;
        // A track that has run for a while holds its points in storage of its usual size.
        ac.stream.reserve(16);
        // Points a second apart, each aircraft at its own phase: real aircraft do not reach their
        // points in the same tick.
        const uint32_t phase = static_cast<uint32_t>(i % 100);
        for (uint32_t k = 1; k <= kTopUpTicks / 100; ++k) ac.stream.push_back(pointOf(i, startTick + phase + 100 * k));
        ac.position = {t.latitude, t.longitude0, 0.0, 0.0, 90.0 * kDeg, kAltitudeFt, 0.0, kSpeedKt};
        LiveAircraft& added = lf_appendLive(std::move(ac));
        lf_setLiveObjectId(added, 100 + static_cast<uint32_t>(i));
    }
}

// Points ahead of the clock for every aircraft whose track would otherwise run out, added as the
// merge adds a feed point.
void topUp() {
    const uint32_t now = engineTick.load();
    for (size_t i = 0; i < liveList.size(); ++i) {
        LiveAircraft& ac = liveList[i];
        while (!ac.stream.empty() && tickDiff(ac.stream.back().tick, now + kTopUpTicks) < 0) {
            const size_t before = ac.stream.size();
            decodeExisting(ac, pointOf(i, ac.stream.back().tick + 100));
            if (ac.stream.size() == before) break;
        }
    }
}

// The simulator link's frame: sends (drops) what the tick left in the front buffer.
void frameFlush() {
    std::lock_guard lock(simQueueMutex);
    positionFrontBuffer->clear();
    eventQueue.clear();
}

uint64_t pollsAsked = 0;
uint64_t pollsDropped = 0;
double feedClock = 1.0e6;

// Hands over one record per aircraft (record j for aircraft j) with these time stamps, each at the
// place where its aircraft will be at the tick the hand-over gives it (timed as the engine times a
// batch: the delay after now, shifted by the stamp's distance from the median in tenths).
void handOver(const std::vector<double>& stamps, uint32_t delaySec) {
    std::vector<double> sorted = stamps;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted[sorted.size() / 2];
    const uint32_t base = engineTick.load() + delaySec * 100;
    std::vector<TrafficRecord> batch;
    batch.reserve(stamps.size());
    for (size_t j = 0; j < stamps.size(); ++j) {
        const auto tenths = static_cast<int64_t>((stamps[j] - median) * 10.0);
        batch.push_back(recordOf(j, base + static_cast<uint32_t>(10 * tenths), stamps[j]));
    }
    double last = 0.0;
    gf_mergeTrafficRecords(batch, delaySec, last);
}

// Aircraft report at their own moments within the 2 s of a poll.
double reportJitter(size_t i) { return static_cast<double>(i % 20) * 0.1; }

// A live answer as the traffic reader hands it over, dropped whole while a batch is pending. The
// records are merged from the back, two a tick; each one's time stamp follows the time at which it
// will be merged, so that the tick it is given (30 s later) lies ahead of the aircraft's last point
// as it does in a running program.
void pollFeed() {
    ++pollsAsked;
    feedClock += kPollTicks / 100.0;
    if (gf_pendingFeedSize() != 0) {
        ++pollsDropped;
        return;
    }
    const size_t n = liveList.size();
    std::vector<double> stamps(n);
    for (size_t j = 0; j < n; ++j)
        stamps[j] = feedClock + static_cast<double>((n - 1 - j) / 2) / 100.0 + reportJitter(j);
    handOver(stamps, kFeedDelayTicks / 100);
}

// A whole batch, handed over as a block of the buffered answer: the next tick merges all of it.
void handOverWholeBatch() {
    feedClock += 10.0;
    std::vector<double> stamps(liveList.size());
    for (size_t i = 0; i < stamps.size(); ++i) stamps[i] = feedClock + reportJitter(i);
    handOver(stamps, 6);
}

// One ground notice for every aircraft, as the simulator link posts them for aircraft low enough.
void postNoticeBurst() {
    for (const auto& ac : liveList)
        gf_postEngineNotice(makeNotice(ac.objectId, 0, NoticeKind::GroundInfo, 500.0, 9500.0));
}

// Sweeps a block larger than the caches of one core complex (64 MiB, or VEXA_BENCH_EVICT_MB).
void evictCaches() {
    static std::vector<char> block = [] {
        size_t mb = 64;
        if (const char* v = std::getenv("VEXA_BENCH_EVICT_MB")) mb = std::max<size_t>(1, std::strtoul(v, nullptr, 10));
        return std::vector<char>(mb << 20, 1);
    }();
    for (size_t i = 0; i < block.size(); i += 64) block[i] = static_cast<char>(block[i] + 1);
    benchmark::ClobberMemory();
}

std::vector<PositionUpdate> bareBuffer;

double bareLoopSeconds() {
    bareBuffer.clear();
    const auto t0 = Clock::now();
    for (const auto& ac : liveList) bareBuffer.push_back(makePositionUpdate(ac.position, ac.objectId));
    benchmark::DoNotOptimize(bareBuffer.data());
    benchmark::ClobberMemory();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

double tickSeconds(uint64_t& allocs) {
    const uint64_t before = allocations.load(std::memory_order_relaxed);
    const auto t0 = Clock::now();
    gf_engineTick();
    const auto t1 = Clock::now();
    allocs += allocations.load(std::memory_order_relaxed) - before;
    return std::chrono::duration<double>(t1 - t0).count();
}

// A tick that is not measured: the feed's poll, the top-up and the frame around it.
void untimedTick(Scenario scenario) {
    if (scenario == Scenario::Steady && tickDiff(engineTick.load(), startTick) % kPollTicks == 0) pollFeed();
    topUp();
    gf_engineTick();
    frameFlush();
}

double percentile(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    const size_t k = std::min(v.size() - 1, static_cast<size_t>(q * static_cast<double>(v.size())));
    return v[k];
}

double mean(const std::vector<double>& v) {
    double s = 0.0;
    for (double x : v) s += x;
    return s / static_cast<double>(v.size());
}

void BM_EngineTick(benchmark::State& state, Scenario scenario, bool cold) {
    const int count = static_cast<int>(state.range(0));
    fillLiveList(count);
    bareBuffer.reserve(static_cast<size_t>(count));
    positionBackBuffer->reserve(static_cast<size_t>(count) + 64);
    positionFrontBuffer->reserve(static_cast<size_t>(count) + 64);
    std::vector<double> ticks;
    std::vector<double> bares;
    uint64_t allocs = 0;
    // One sample: the untimed ticks before it with the feed's polls, and the timed tick (a burst of
    // notices every 20 ticks, as the link posts them; a whole batch every 2 s, as the feed polls).
    auto sample = [&](bool timed) {
        if (scenario != Scenario::Steady) {
            const uint32_t every = scenario == Scenario::NoticeBurst ? kBurstEvery : kBatchEvery;
            for (uint32_t k = 1; k < every; ++k) untimedTick(scenario);
            if (scenario == Scenario::NoticeBurst)
                postNoticeBurst();
            else
                handOverWholeBatch();
        } else if (tickDiff(engineTick.load(), startTick) % kPollTicks == 0) {
            pollFeed();
        }
        topUp();
        if (cold && timed) evictCaches();
        uint64_t untimedAllocs = 0;
        const double t = tickSeconds(timed ? allocs : untimedAllocs);
        if (cold && timed) evictCaches();
        const double b = bareLoopSeconds();
        frameFlush();
        if (!timed) return;
        state.SetIterationTime(t);
        ticks.push_back(t);
        bares.push_back(b);
    };
    // Warm-up: tracks, buffers and inbox reach their usual size, past the first feed points' 30 s
    // delay (the feed's polls are counted from the start, over at least two whole batches).
    pollsAsked = pollsDropped = 0;
    const int warmUpTicks =
        std::max(static_cast<int>(kFeedDelayTicks + 3 * kPollTicks), count / 2 + 2 * static_cast<int>(kPollTicks));
    const int warmUpSamples = scenario == Scenario::Steady        ? warmUpTicks
                              : scenario == Scenario::NoticeBurst ? warmUpTicks / static_cast<int>(kBurstEvery)
                                                                  : 4;
    for (int i = 0; i < warmUpSamples; ++i) sample(false);
    for (auto _ : state) sample(true);
    const double tickMean = mean(ticks), tickP99 = percentile(ticks, 0.99);
    const double bareMean = mean(bares), bareP99 = percentile(bares, 0.99);
    state.counters["mean_us"] = tickMean * 1e6;
    state.counters["p99_us"] = tickP99 * 1e6;
    state.counters["bare_mean_us"] = bareMean * 1e6;
    state.counters["bare_p99_us"] = bareP99 * 1e6;
    state.counters["mean_x_bare"] = tickMean / bareMean;
    state.counters["p99_x_bare"] = tickP99 / bareP99;
    state.counters["p99_budget_pct"] = tickP99 / 0.010 * 100.0;
    state.counters["ns_per_ac"] = tickMean * 1e9 / count;
    state.counters["allocs_per_tick"] = static_cast<double>(allocs) / static_cast<double>(ticks.size());
    const auto active = std::count_if(liveList.begin(), liveList.end(),
                                      [](const LiveAircraft& a) { return a.simState == SimState::Active; });
    state.counters["active_pct"] = 100.0 * static_cast<double>(active) / count;
    size_t points = 0;
    for (const auto& ac : liveList) points += ac.stream.size();
    state.counters["points_per_ac"] = static_cast<double>(points) / count;
    if (scenario == Scenario::Steady && pollsAsked > 0) {
        state.counters["polls_dropped_pct"] =
            100.0 * static_cast<double>(pollsDropped) / static_cast<double>(pollsAsked);
        const double kept = static_cast<double>(pollsAsked - pollsDropped);
        state.counters["feed_point_every_s"] =
            kept > 0 ? static_cast<double>(pollsAsked) * kPollTicks / 100.0 / kept : 0.0;
    }
    gf_resetEngineState();
    gf_clearPendingFeed();
}

}  // namespace

int main(int argc, char** argv) {
    struct Family {
        const char* name;
        Scenario scenario;
        bool cold;
        int64_t samples;  // at 8,000 aircraft half as many
    };
    const Family families[] = {
        {"steady_warm", Scenario::Steady, false, 4000},
        {"steady_cold", Scenario::Steady, true, 300},
        {"notice_burst_warm", Scenario::NoticeBurst, false, 300},
        {"notice_burst_cold", Scenario::NoticeBurst, true, 200},
        {"batch_merge_warm", Scenario::BatchMerge, false, 200},
        {"batch_merge_cold", Scenario::BatchMerge, true, 100},
    };
    for (const Family& f : families) {
        for (int64_t n : {50, 512, 2000, 8000}) {
            benchmark::RegisterBenchmark((std::string("BM_EngineTick/") + f.name).c_str(),
                                         [f](benchmark::State& state) { BM_EngineTick(state, f.scenario, f.cold); })
                ->Arg(n)
                ->Iterations(n == 8000 ? f.samples / 2 : f.samples)
                ->UseManualTime()
                ->Unit(benchmark::kMicrosecond);
        }
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
