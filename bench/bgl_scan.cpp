// Add-on airport scan benchmarks, each against a baseline measured in the same run:
// - decoding a synthetic 50 MB airport BGL (5,000 airports, 200,000 stands) against reading the file's
//   bytes (the decoder should keep at least half the read throughput: ratio_to_read at most 2);
// - the probe of a file that holds no airport, per file, against opening and closing the same file;
// - the walk of a tree of 2,000 BGL files with 1 task and with every hardware thread, against reading
//   every file's bytes.
// The files are made by the tests' BGL builder in a temporary folder.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "airports/addon_scan.h"
#include "airports/bgl_decoder.h"
#include "airports/scan_report.h"
#include "foundation/settings.h"
#include "foundation/tasks.h"
#include "tests/common/bgl_builder.h"

namespace fs = std::filesystem;

namespace {

constexpr int airportCount = 5000;
constexpr int standsPerAirport = 40;
constexpr int treeFiles = 2000;

std::vector<std::uint8_t> readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(0, std::ios::end);
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// One airport: its parking list and the records of runways, taxiways and aprons that the decoder passes over.
bgl::Record benchAirport(int index, std::mt19937& rng) {
    std::vector<bgl::Stand> stands;
    const double lat = -60.0 + (index % 120);
    const double lon = -170.0 + (index / 120) * 8.0;
    for (int s = 0; s < standsPerAirport; ++s)
        stands.push_back({.nameCode = static_cast<std::uint8_t>(s % 3 == 0 ? 10 : 0),
                          .type = static_cast<std::uint32_t>(1 + rng() % 7),
                          .number = static_cast<std::uint32_t>(1 + s % 30),
                          .radius = 10.0f + static_cast<float>(rng() % 300) / 10.0f,
                          .heading = static_cast<float>(rng() % 360),
                          .latitude = lat + s * 0.0002,
                          .longitude = lon + s * 0.0003,
                          .extraWords = static_cast<std::uint8_t>(rng() % 3)});
    std::vector<bgl::Record> subs;
    for (int k = 0; k < 4; ++k) subs.push_back(bgl::other(static_cast<std::uint16_t>(0xCE + k), 470));
    subs.push_back(bgl::helipad(lat + 0.01, lon + 0.01, 20.0f));
    subs.push_back(bgl::parkingList(stands));
    const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string icao = {letters[index % 26], letters[(index / 26) % 26], letters[(index / 676) % 26], 'X'};
    return bgl::airport(icao, 100000, subs);
}

struct Files {
    fs::path dir;
    fs::path big;      // the 50 MB airport file
    fs::path objects;  // a file without airports
    fs::path tree;     // 2,000 BGL files
    std::size_t bigBytes = 0;
    std::size_t treeBytes = 0;
    std::vector<fs::path> treePaths;

    Files() {
        dir = fs::temp_directory_path() / fmt::format("vexa_bench_bgl_{}", std::random_device{}());
        fs::create_directories(dir);
        std::mt19937 rng(7);
        std::vector<bgl::Record> airports;
        for (int i = 0; i < airportCount; ++i) airports.push_back(benchAirport(i, rng));
        const auto bytes = bgl::file({bgl::section({bgl::other(0x22, 64)}, 9), bgl::section(airports)});
        big = dir / "big.bgl";
        bgl::write(big, bytes);
        bigBytes = bytes.size();

        objects = dir / "objects.bgl";
        bgl::write(objects,
                   bgl::file({bgl::section({bgl::other(0x22, 20000)}, 37), bgl::section({bgl::other(0x23, 100)}, 9)}));

        tree = dir / "Community";
        for (int i = 0; i < treeFiles; ++i) {
            const fs::path p = tree / fmt::format("pkg{:03}", i / 20) / "scenery" / fmt::format("f{:04}.bgl", i);
            fs::create_directories(p.parent_path());
            // Every fourth file holds an airport; the others are scenery objects the probe turns away.
            const auto content = i % 4 == 0 ? bgl::file({bgl::section({benchAirport(i, rng)})})
                                            : bgl::file({bgl::section({bgl::other(0x22, 2000)}, 37)});
            bgl::write(p, content);
            treePaths.push_back(p);
            treeBytes += content.size();
        }
        MSFS_2020.value = true;
    }
    ~Files() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Files& files() {
    static Files f;
    return f;
}

struct Counting {
    std::atomic<std::int64_t> airports{0};
    std::atomic<std::int64_t> stands{0};
    BglAirportHandlers handlers() {
        BglAirportHandlers h;
        h.link = [](AirportPackage&, std::int32_t&, const std::string&) { return false; };
        h.generate = [this](AirportPackage& p, std::int32_t) {
            airports.fetch_add(1);
            stands.fetch_add(static_cast<std::int64_t>(p.stands.size()));
        };
        return h;
    }
};

template <typename F>
double secondsOf(F&& f, int repeat) {
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < repeat; ++i) f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / repeat;
}

void BM_ReadBigFile(benchmark::State& state) {
    auto& f = files();
    for (auto _ : state) benchmark::DoNotOptimize(readBytes(f.big).data());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bigBytes));
}
BENCHMARK(BM_ReadBigFile)->Unit(benchmark::kMillisecond);

void BM_DecodeBigFile(benchmark::State& state) {
    auto& f = files();
    const double baseline = secondsOf([&] { benchmark::DoNotOptimize(readBytes(f.big).data()); }, 3);
    Counting counting;
    const auto handlers = counting.handlers();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        taskCount = 1;
        lf_toParkingPositions(f.big, handlers);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        gf_resetScanReport();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * f.bigBytes));
    state.counters["airports"] =
        static_cast<double>(counting.airports.load()) / static_cast<double>(state.iterations());
    state.counters["stands"] = static_cast<double>(counting.stands.load()) / static_cast<double>(state.iterations());
    state.counters["MB"] = static_cast<double>(f.bigBytes) / 1e6;
    state.counters["ratio_to_read"] = total / static_cast<double>(state.iterations()) / baseline;
}
BENCHMARK(BM_DecodeBigFile)->Unit(benchmark::kMillisecond);

void BM_ProbeNonAirportFile(benchmark::State& state) {
    auto& f = files();
    const double baseline = secondsOf(
        [&] {
            std::ifstream in(f.objects, std::ios::binary);
            benchmark::DoNotOptimize(in.good());
        },
        2000);
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(lf_isAirportBgl(f.objects));
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["ratio_to_open"] = total / static_cast<double>(state.iterations()) / baseline;
}
BENCHMARK(BM_ProbeNonAirportFile)->Unit(benchmark::kMicrosecond);

void BM_ScanTree(benchmark::State& state) {
    auto& f = files();
    const double baseline = secondsOf(
        [&] {
            for (const auto& p : f.treePaths) benchmark::DoNotOptimize(readBytes(p).data());
        },
        2);
    const std::int32_t tasks = state.range(0) == 0 ? gf_hardwareThreads() : static_cast<std::int32_t>(state.range(0));
    hwConcurrency = tasks;
    Counting counting;
    const auto handlers = counting.handlers();
    double total = 0;
    for (auto _ : state) {
        taskCount = 0;
        const auto start = std::chrono::steady_clock::now();
        lf_scanFolderForAirports(f.tree, handlers);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        gf_resetScanReport();
    }
    hwConcurrency = gf_hardwareThreads();
    state.counters["tasks"] = tasks;
    state.counters["files"] = treeFiles;
    state.counters["airports"] =
        static_cast<double>(counting.airports.load()) / static_cast<double>(state.iterations());
    state.counters["ratio_to_read_all"] = total / static_cast<double>(state.iterations()) / baseline;
}
BENCHMARK(BM_ScanTree)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
