// The stand work of an engine tick at an airport of 300 stands with 512 live aircraft, at its worst:
// every aircraft looking for its nearest fitting stand in the same tick (try2Park and the creation at
// a stand), and every aircraft given a likely stand by the choice of soft learning (which runs once
// for an aircraft that leaves the feed, so its figure per aircraft is the one that matters). Each is reported
// as a share of the tick's 10 ms budget, beside a baseline measured in the same run: one distance
// from every aircraft to every stand, the least work any nearest-stand search must do.
#include <cmath>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "airports/stands.h"
#include "bench/bench_support.h"
#include "engine/aircraft.h"
#include "engine/stands.h"
#include "foundation/aircraft_category.h"
#include "foundation/geodesy.h"
#include "foundation/random.h"

namespace {

constexpr int kStands = 300;
constexpr int kAircraft = 512;
constexpr double kBudgetSeconds = 0.010;
constexpr double kMetreDeg = 1.0 / 1852.0 / 60.0;

std::vector<LiveAircraft> aircraft;

// Stands on a 20 x 15 grid 60 m apart; every tenth a ramp stand, every 25th a cargo stand; each with a
// week of real options of other operators.
void makeAirport() {
    currentStands.clear();
    for (int i = 0; i < kStands; ++i) {
        std::vector<StandOption> options;
        for (int d = 1; d <= 7; ++d)
            options.push_back(
                StandOption{"OPR" + std::to_string(i % 40), "A320", "REG" + std::to_string(i), "CS" + std::to_string(i),
                            "", (std::uint64_t{1} << (i % 48)) | (std::uint64_t{1} << ((i + 7) % 48)), d, d, 0, 1});
        currentStands.emplace_back("S" + std::to_string(i), std::move(options), 47.0 + (i / 20) * 60 * kMetreDeg,
                                   8.0 + (i % 20) * 60 * kMetreDeg / std::cos(47.0 * 0.017453292519943295), 0.0,
                                   15.0 + (i % 4) * 8.0, i % 25 == 0 ? 0 : 1, i % 10 == 0 ? 0 : 1, 1);
        currentStands.back().id = static_cast<std::uint32_t>(i + 1);
    }
    aircraft.assign(kAircraft, LiveAircraft{});
    for (int i = 0; i < kAircraft; ++i) {
        LiveAircraft& a = aircraft[static_cast<size_t>(i)];
        a.id = 0x400000 + static_cast<std::uint32_t>(i);
        a.category = categoryIndex(i % 7 == 0 ? AircraftCategory::Heavy : AircraftCategory::Large);
        a.halfSpanNm = (12.0 + (i % 5) * 4.0) / 1852.0;
        a.identity.callsign = "DLH" + std::to_string(i);
        a.identity.airline = "DLH";
        a.identity.icaoType = "A320";
        a.position[kPosLat] = 47.0 + (i % 15) * 60 * kMetreDeg + 10 * kMetreDeg;
        a.position[kPosLon] = 8.0 + (i % 20) * 60 * kMetreDeg / std::cos(47.0 * 0.017453292519943295);
    }
}

double baselineSeconds() {
    return bench::secondsOf(
        [] {
            double sum = 0.0;
            for (const auto& a : aircraft)
                for (const auto& s : currentStands)
                    sum += gf_distanceNm(LatLon{a.position[kPosLat], a.position[kPosLon]},
                                         LatLon{s.latitude, s.longitude});
            benchmark::DoNotOptimize(sum);
        },
        20);
}

void report(benchmark::State& state, double seconds, double baseline) {
    state.counters["tick_us"] = seconds * 1e6;
    state.counters["budget_pct"] = seconds / kBudgetSeconds * 100.0;
    state.counters["x_baseline"] = seconds / baseline;
    state.counters["per_aircraft_us"] = seconds * 1e6 / kAircraft;
}

void BM_NearestFittingStandAll(benchmark::State& state) {
    makeAirport();
    const double baseline = baselineSeconds();
    double total = 0.0;
    for (auto _ : state) {
        const double t = bench::secondsOf(
            [] {
                for (const auto& a : aircraft)
                    benchmark::DoNotOptimize(gf_nearestFittingStand(a.position[kPosLat], a.position[kPosLon], a,
                                                                    0.029697624190064796, true));
            },
            1);
        state.SetIterationTime(t);
        total += t;
        // A lowered radius stays lowered: the next round starts from the same airport.
        state.PauseTiming();
        makeAirport();
        state.ResumeTiming();
    }
    report(state, total / static_cast<double>(state.iterations()), baseline);
}

void BM_ChooseStandAll(benchmark::State& state) {
    makeAirport();
    gf_seedRandom(7);
    const double baseline = baselineSeconds();
    double total = 0.0;
    for (auto _ : state) {
        const double t = bench::secondsOf(
            [] {
                for (const auto& a : aircraft) benchmark::DoNotOptimize(gf_chooseStand(WeekSlot{3, 20}, a, true));
            },
            1);
        state.SetIterationTime(t);
        total += t;
    }
    report(state, total / static_cast<double>(state.iterations()), baseline);
}

}  // namespace

BENCHMARK(BM_NearestFittingStandAll)->UseManualTime()->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChooseStandAll)->UseManualTime()->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
