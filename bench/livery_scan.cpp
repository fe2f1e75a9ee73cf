// Livery scan benchmark: the walk and reading of 3,000 aircraft.cfg files of 60 liveries each (every
// twentieth file in UTF-16), with one task and with one task per hardware thread, reported as a ratio to
// reading the same files' bytes with as many threads in the same run.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "catalogue/cfg_text.h"
#include "catalogue/livery_record.h"
#include "catalogue/livery_scan.h"
#include "catalogue/livery_sections.h"
#include "catalogue/reference_db.h"
#include "catalogue/scan_reports.h"
#include "foundation/settings.h"
#include "foundation/tasks.h"

namespace fs = std::filesystem;

namespace {

constexpr int fileCount = 3000;
constexpr int sectionsPerFile = 60;

const char* const types[] = {"A319", "A320", "A321", "B737", "B738", "B739", "B77W", "B788", "E190", "CRJ9"};
const char* const airlines[] = {"DLH", "BAW", "KLM", "AFR", "UAL", "DAL", "AAL", "EZY", "RYR", "SWR"};

std::string utf16le(const std::string& ascii) {
    std::string out("\xFF\xFE", 2);
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

struct World {
    fs::path dir;
    std::size_t bytes = 0;

    World() {
        dir = fs::temp_directory_path() / fmt::format("vexa_bench_scan_{}", std::random_device{}());
        for (const char* t : types) {
            knownAircraftTypes.insert(t);
            largeTypes.insert(t);
        }
        for (const char* a : airlines) icaoAirlines.insert(a);
        SUPPRESS_STUB.value = true;
        for (int f = 0; f < fileCount; ++f) {
            const char* type = types[f % 10];
            std::string text = fmt::format(
                "[VERSION]\r\nmajor = 1\r\nminor = 0\r\n\r\n[GENERAL]\r\natc_type = \"Airliner\"\r\natc_model = \"{0}\"\r\n"
                "icao_type_designator = \"{0}\"\r\nicao_manufacturer = \"Maker\"\r\n\r\n",
                type);
            for (int s = 0; s < sectionsPerFile; ++s) {
                const char* airline = airlines[(f + s) % 10];
                text += fmt::format(
                    "[FLTSIM.{0}]\r\ntitle = \"{1} {2} livery {3}-{0}\"\r\nmodel = \"\"\r\ntexture = \"{1}_{0}\"\r\n"
                    "atc_airline = \"{1} Airways\"\r\nicao_airline = \"{1}\"\r\natc_id = \"D-A{3:03}\"\r\n"
                    "atc_parking_types = \"GATE,RAMP\"\r\natc_parking_codes = \"{1}\"\r\nui_manufacturer = \"Maker\"\r\n"
                    "ui_type = \"{2}\"\r\nui_variation = \"{1} {0}\"\r\nui_typerole = \"Commercial Airliner\"\r\n"
                    "ui_createdby = \"Somebody\"\r\ndescription = \"A livery of {1} for the {2}\"\r\n\r\n",
                    s, airline, type, f);
            }
            if (f % 20 == 0) text = utf16le(text);
            const auto folder =
                dir / fmt::format("pkg{}", f % 40) / "SimObjects" / "Airplanes" / fmt::format("ac{}", f);
            fs::create_directories(folder);
            std::ofstream(folder / "aircraft.cfg", std::ios::binary) << text;
            bytes += text.size();
        }
    }
    ~World() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

World& world() {
    static World w;
    return w;
}

std::int32_t threadsOf(const benchmark::State& state) {
    return state.range(0) == 0 ? gf_hardwareThreads() : static_cast<std::int32_t>(state.range(0));
}

// The baseline: the same walk, and every aircraft.cfg's bytes read by `threads` threads.
std::size_t readAll(const fs::path& root, std::int32_t threads) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file() && entry.path().filename() == "aircraft.cfg") files.push_back(entry.path());
    std::atomic<std::size_t> next{0}, total{0};
    std::vector<std::thread> pool;
    for (std::int32_t t = 0; t < threads; ++t)
        pool.emplace_back([&] {
            std::string bytes;
            for (std::size_t i; (i = next.fetch_add(1)) < files.size();) {
                lf_readFileBytes(files[i], bytes);
                total += bytes.size();
            }
        });
    for (auto& t : pool) t.join();
    return total.load();
}

std::size_t scanAll(const fs::path& root, std::int32_t threads) {
    hwConcurrency = threads;
    taskCount = 0;
    std::list<LiveryRecord> list;
    lf_scanFolderForLiveries(1, root.string(), list);
    const std::size_t n = list.size();
    lf_clearScanLists();
    return n;
}

template <typename F>
double secondsOf(F&& f, int repeat) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeat; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeat;
}

void BM_ReadCfgBytes(benchmark::State& state) {
    auto& w = world();
    const auto threads = threadsOf(state);
    for (auto _ : state) benchmark::DoNotOptimize(readAll(w.dir, threads));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.bytes));
    state.counters["threads"] = threads;
}
BENCHMARK(BM_ReadCfgBytes)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ScanCfgFiles(benchmark::State& state) {
    auto& w = world();
    const auto threads = threadsOf(state);
    readAll(w.dir, threads);  // warm the page cache for both
    const double baseline = secondsOf([&] { benchmark::DoNotOptimize(readAll(w.dir, threads)); }, 3);
    double total = 0;
    std::size_t liveries = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        liveries = scanAll(w.dir, threads);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    if (liveries != static_cast<std::size_t>(fileCount) * sectionsPerFile)
        state.SkipWithError(fmt::format("{} liveries instead of {}", liveries, fileCount * sectionsPerFile).c_str());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * w.bytes));
    state.counters["threads"] = threads;
    state.counters["ratio_to_read"] = total / static_cast<double>(state.iterations()) / baseline;
}
BENCHMARK(BM_ScanCfgFiles)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
