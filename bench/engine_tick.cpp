// One engine tick with 50, 512 and 2000 active live aircraft, as a share of the 10 ms budget of a
// tick, and the heap allocations of a steady tick (no feed, no creation, streams advancing).
#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>

#include <benchmark/benchmark.h>

#include "engine/engine_state.h"
#include "feed/feed_intake.h"
#include "simlink/commands.h"

namespace {
std::atomic<uint64_t> allocations{0};
}

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

void fillLiveList(int count) {
    gf_resetEngineState();
    const uint32_t now = engineTick.load();
    for (int i = 0; i < count; ++i) {
        LiveAircraft ac;
        ac.id = 0x100000 + static_cast<uint32_t>(i);
        ac.identity.callsign = "BENCH" + std::to_string(i);
        ac.identity.icaoType = "A320";
        ac.simState = SimState::Active;
        ac.objectId = 100 + static_cast<uint32_t>(i);
        ac.setPhase(MovementPhase::Flying);
        for (int k = 0; k < 40; ++k) {
            StreamPoint p;
            p.latitude = 47.0 + 0.001 * k;
            p.longitude = 8.0 + 0.01 * i;
            p.altitudeFt = 10000;
            p.airborne = 1;
            p.groundSpeedKt = 300;
            p.trackDeg = 90;
            p.tick = now + static_cast<uint32_t>(k * 100 + i % 100);
            ac.stream.push_back(p);
        }
        liveList.push_back(std::move(ac));
    }
}

// The simulator link's frame: sends (drops) what the tick left in the front buffer.
void frameFlush() {
    std::lock_guard lock(simQueueMutex);
    positionFrontBuffer->clear();
    eventQueue.clear();
}

void BM_EngineTick(benchmark::State& state) {
    fillLiveList(static_cast<int>(state.range(0)));
    positionBackBuffer->reserve(4096);
    positionFrontBuffer->reserve(4096);
    for (int i = 0; i < 200; ++i) {  // warm up: buffers reach their size
        gf_engineTick();
        frameFlush();
    }
    uint64_t ticks = 0;
    const uint64_t before = allocations.load();
    for (auto _ : state) {
        gf_engineTick();
        state.PauseTiming();
        frameFlush();
        state.ResumeTiming();
        ++ticks;
    }
    const uint64_t allocs = allocations.load() - before;
    state.counters["allocs_per_tick"] = static_cast<double>(allocs) / static_cast<double>(ticks);
    // Seconds per tick divided by the 10 ms budget, in percent.
    state.counters["budget_percent"] = benchmark::Counter(static_cast<double>(ticks) * 0.0001,
                                                          benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["aircraft"] = static_cast<double>(liveList.size());
    gf_resetEngineState();
}

} // namespace

BENCHMARK(BM_EngineTick)->Arg(50)->Arg(512)->Arg(2000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
