#pragma once
// Shared by the benchmark programs: the time of a baseline measured in the same run, and the per-item
// figures of a benchmark.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>

namespace bench {

// Mean seconds of `repeat` calls of f.
inline double secondsOf(auto&& f, int repeat) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeat; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeat;
}

// Items per second and the time per item of a benchmark that handles `items` items per iteration.
inline void perItem(benchmark::State& state, double items) {
    state.SetItemsProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) * items));
    state.counters["time_per_item"] =
        benchmark::Counter(items, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace bench
