// Catalogue benchmarks: building the livery database from a scan cache of 20,000 liveries, and
// matching 10,000 aircraft against it. Both report the time per item and, as a ratio, against a
// baseline measured in the same run (reading the same cache file; the bare airline-and-type map
// lookup of the same aircraft).
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include <fmt/format.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "catalogue/livery_cache.h"
#include "catalogue/livery_record.h"
#include "catalogue/similar_models.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "tools/dbtool/dbtool.h"

namespace fs = std::filesystem;

namespace {

constexpr int liveryCount = 20000;
constexpr int aircraftCount = 10000;

const std::vector<std::string> largeTypes{"A319", "A320", "A321", "B737", "B738",
                                          "B739", "E190", "E195", "CRJ9", "AT76"};
const std::vector<std::string> heavyTypes{"A332", "A333", "A359", "B772", "B77W", "B788", "B789", "B744", "A388"};
const std::vector<std::string> lightTypes{"C172", "C182", "PA28", "BE58", "DA40", "SR22"};
const std::vector<std::string> buzjetTypes{"C25A", "C56X", "CL60", "GLF5"};
const std::vector<std::string> rotorTypes{"EC35", "H145", "B06"};
const std::vector<std::string> highPerfTypes{"F18", "F16"};

std::string join(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += (out.empty() ? "" : ",") + s;
    return out;
}

std::string airlineCode(int i) {
    return {static_cast<char>('A' + i % 26), static_cast<char>('A' + (i / 26) % 26),
            static_cast<char>('B' + (i / 676) % 24)};
}

struct World {
    fs::path dir;
    std::vector<std::string> allTypes;
    std::vector<LiveryRequest> aircraft;

    World() {
        dir = fs::temp_directory_path() / fmt::format("vexa_bench_catalogue_{}", std::random_device{}());
        fs::create_directories(dir / "input");
        fs::create_directories(dir / "output");
        fs::current_path(dir);
        setenv("VEXA_APPDATA", (dir / "appdata").c_str(), 1);
        setenv("VEXA_DOWNLOAD_URL", ("file://" + (dir / "server").string() + "/").c_str(), 1);
        LOG.value = false;
        MATCHING_DEPTH.value = 4;
        gf_seedRandom(7);

        for (const auto* list : {&largeTypes, &heavyTypes, &lightTypes, &buzjetTypes, &rotorTypes, &highPerfTypes})
            allTypes.insert(allTypes.end(), list->begin(), list->end());
        std::vector<std::string> airlines{"ZZZ", "PVT"};
        for (int i = 0; i < 300; ++i) airlines.push_back(airlineCode(i));

        // The reference database, written plain and enciphered by the data tool.
        std::string plain = fmt::format(
            "<aircrafts><aircraft types=\"{}\"/></aircrafts>"
            "<high_performance><hpf types=\"{}\"/></high_performance><heavy><hvy types=\"{}\"/></heavy>"
            "<large><lar types=\"{}\"/></large><buzjet><bzj types=\"{}\"/></buzjet>"
            "<rotorcraft><rot types=\"{}\"/></rotorcraft><cargo_types><cargo_type types=\"B744\"/></cargo_types>"
            "<similar_types><similar types=\"A319,A320,A321\"/><similar types=\"B737,B738,B739\"/>"
            "<similar types=\"A332,A333,A359\"/><similar types=\"B772,B77W\"/><similar types=\"B788,B789\"/>"
            "<similar types=\"E190,E195\"/><similar types=\"C172,C182,PA28\"/></similar_types>"
            "<ICAO_airlines><ICAO codes=\"{}\"/></ICAO_airlines><cargo_operators><ICAO codes=\"{}\"/></cargo_operators>"
            "<simaddons20><simaddon20 arpts=\"EDDF\"/></simaddons20><dbase>",
            join(allTypes), join(highPerfTypes), join(heavyTypes), join(largeTypes), join(buzjetTypes),
            join(rotorTypes), join(airlines), airlines[5]);
        std::mt19937 rng(11);
        std::vector<std::string> registrations;
        for (int i = 0; i < 5000; ++i) {
            auto reg = fmt::format("D-A{:03}", i);
            registrations.push_back(reg);
            plain += fmt::format("<db reg=\"{}\" airl=\"{}\" type=\"{}\"/>", reg, airlines[2 + rng() % 300],
                                 largeTypes[rng() % largeTypes.size()]);
        }
        plain += "</dbase>";
        pugi::xml_document doc;
        doc.load_string(plain.c_str());
        dbtool::encipherDatabase(doc);
        {
            std::ofstream out(dir / "input" / "temp2.xml");
            out << dbtool::xmlText(doc);
        }
        gf_readDatabaseFile(gf_databasePath());

        // The scan cache: every category has liveries, some with registrations.
        for (int i = 0; i < liveryCount; ++i) {
            const auto& airline = airlines[rng() % airlines.size()];
            const auto& type = allTypes[rng() % allTypes.size()];
            auto rec = LiveryRecord::make(
                airline, type, fmt::format("{} {} livery {}", airline, type, i),
                i % 10 == 0 ? registrations[static_cast<std::size_t>(i / 10) % registrations.size()] : "",
                rng() % 10 == 0);
            liveryList.push_back(std::move(rec));
        }
        liveryList.sort(liveryOrderLess);
        lf_writeLiveriesScanned();
        liveryList.clear();

        for (int i = 0; i < aircraftCount; ++i) {
            LiveryRequest r;
            r.airline = rng() % 5 == 0 ? "XXX" : airlines[rng() % airlines.size()];
            r.type = allTypes[rng() % allTypes.size()];
            r.category = gf_aircraftCategory(r.type);
            r.registration = rng() % 3 == 0 ? fmt::format("DA{:03}", rng() % 6000) : "";
            r.callsign = fmt::format("{}{}", r.airline, i);
            r.cargo = rng() % 8 == 0;
            aircraft.push_back(std::move(r));
        }
    }
    ~World() {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(dir, ec);
    }
    void build() {
        gf_resetLiveryDatabase();
        gf_resetSimilarModels();
        lf_processLiveries();
    }
};

World& world() {
    static World w;
    return w;
}

void BM_ReadLiveryCache(benchmark::State& state) {
    world();
    for (auto _ : state) {
        lf_readLiveriesScanned();
        benchmark::DoNotOptimize(liveryList.size());
    }
    liveryList.clear();
    bench::perItem(state, liveryCount);
}
BENCHMARK(BM_ReadLiveryCache)->Unit(benchmark::kMillisecond);

void BM_BuildLiveryDatabase(benchmark::State& state) {
    auto& w = world();
    const double baseline = bench::secondsOf([] { lf_readLiveriesScanned(); }, 3);
    liveryList.clear();
    double total = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        w.build();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    bench::perItem(state, liveryCount);
    state.counters["ratio_to_cache_read"] = total / static_cast<double>(state.iterations()) / baseline;
}
BENCHMARK(BM_BuildLiveryDatabase)->Unit(benchmark::kMillisecond);

void BM_MatchAircraft(benchmark::State& state) {
    auto& w = world();
    w.build();
    // Baseline: the bare airline-and-type lookup of the same aircraft.
    const double baseline = bench::secondsOf(
        [&] {
            std::size_t found = 0;
            for (const auto& r : w.aircraft) {
                auto a = airlineLiveries[0].find(r.airline);
                if (a != airlineLiveries[0].end() && a->second.contains(r.type)) ++found;
            }
            benchmark::DoNotOptimize(found);
        },
        5);
    double total = 0;
    std::size_t matched = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (auto r : w.aircraft) {
            r.title = {};
            lf_matchLive(r);
            matched += !r.title.empty();
        }
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    benchmark::DoNotOptimize(matched);
    bench::perItem(state, aircraftCount);
    state.counters["ratio_to_map_lookup"] = total / static_cast<double>(state.iterations()) / baseline;
    state.counters["matched_share"] =
        static_cast<double>(matched) / static_cast<double>(state.iterations()) / aircraftCount;
}
BENCHMARK(BM_MatchAircraft)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
