// Airport benchmarks: loading the airport database of about 44,000 airports, and reading a park airport's
// parking file of 1,000 and of 3,000 stands with its learned file (load, learned merge, numbering and
// coupling). Each reports the time per item (airport, stand) and, as a ratio, against reading the same
// files with pugixml alone (load and a walk over every element and attribute) in the same run.
#include <benchmark/benchmark.h>

#include "bench/bench_support.h"
#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <pugixml.hpp>
#include <unistd.h>

#include "airports/airports.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/parking.h"

namespace fs = std::filesystem;

namespace {

constexpr int generatedAirports = 44000;

// The benchmark's program folder: the working folder while it runs.
struct ProgramFolder {
    fs::path root = fs::temp_directory_path() / ("vexa_bench_airports_" + std::to_string(::getpid()));
    ProgramFolder() {
        fs::remove_all(root);
        fs::create_directories(root / "input");
        fs::create_directories(root / "airports" / "my_thirdparty");
        writeDatabase();
        fs::current_path(root);
        CurrentAirport airport;
        airport.icao = "BNCH";
        gf_setCurrentAirport(airport);
    }
    ~ProgramFolder() {
        std::error_code ignored;
        fs::current_path(fs::temp_directory_path(), ignored);
        fs::remove_all(root, ignored);
    }

    // The delivered database when the source tree has it, else one of the same size made up here.
    void writeDatabase() {
        const fs::path delivered = fs::path(VEXA_SOURCE_DIR) / "demo" / "downloads" / "airports_msfs.xml";
        if (fs::exists(delivered)) {
            fs::copy_file(delivered, root / "input" / "airports_msfs.xml");
            return;
        }
        std::mt19937 rng(7);
        std::ofstream out(root / "input" / "airports_msfs.xml");
        out << "<?xml version=\"1.0\"?>\n<airports>\n";
        for (int i = 0; i < generatedAirports; ++i) {
            std::string code;
            for (int k = 0, n = i; k < 4; ++k, n /= 26) code += static_cast<char>('A' + n % 26);
            out << fmt::format("  <airport code=\"{}\"{} lat=\"{:.6f}\" lon=\"{:.6f}\" alt=\"{}\"/>\n", code,
                               i % 5 == 0 ? fmt::format(" iata=\"{}\"", code.substr(0, 3)) : "",
                               static_cast<double>(rng() % 180000) / 1000.0 - 90.0,
                               static_cast<double>(rng() % 360000) / 1000.0 - 180.0, rng() % 9000);
        }
        out << "</airports>\n";
    }
};

ProgramFolder& program() {
    static ProgramFolder folder;
    return folder;
}

const char* meta = "<meta><info name=\"author\" value=\"Vexa\"/><info name=\"version\" value=\"1.0.0\"/>"
                   "<info name=\"date\" value=\"Dec 10, 2026\"/></meta>\n";

// An apron of `stands` stands in rows 60 m apart, each with two plan options; its learned file edits every
// tenth stand (a changed radius and a learned option) and adds 20 stands made by hand.
std::string writeAirport(int stands) {
    program();
    const std::string path = fmt::format("airports/my_thirdparty/BN{}.xml", stands);
    std::ofstream out(path);
    out << "<?xml version=\"1.0\"?>\n"
        << meta
        << "<parameters><parameter name=\"airport_name\" value=\"Bench\"/><parameter name=\"publisher\" "
           "value=\"Bench\"/><parameter name=\"altitude\" value=\"300\"/></parameters>\n<parkpositions>\n";
    auto position = [](int i) {
        return std::pair{47.0 + (i / 50) * 60.0 / 1852.0 / 60.0, 8.0 + (i % 50) * 60.0 / 1852.0 / 60.0 / 0.68};
    };
    for (int i = 0; i < stands; ++i) {
        const auto [lat, lon] = position(i);
        out << fmt::format("<parkpos id=\"S{}\" latitude=\"{:.6f}\" longitude=\"{:.6f}\" heading=\"{:.1f}\" "
                           "radius=\"{:.1f}\" cargo=\"false\" ramp=\"true\">\n"
                           "  <opt reg=\"PH-B{:03}\" airl=\"KLM\" type=\"B738\" day=\"{}\" hh=\"10,11,12,13\" "
                           "cs=\"KLM{}\"/>\n"
                           "  <opt reg=\"\" airl=\"EZY\" type=\"A320\" soft=\"true\" day=\"{}\" hh=\"20,21\"/>\n"
                           "</parkpos>\n",
                           i, lat, lon, static_cast<double>((i * 7) % 360), 20.0 + (i % 4) * 5.0, i % 1000, 1 + i % 7,
                           i, 1 + (i + 3) % 7);
    }
    out << "</parkpositions>\n";
    out.close();
    fs::create_directories("airports/learned/thirdparty/Bench");
    std::ofstream learned(fmt::format("airports/learned/thirdparty/Bench/BN{}.xml", stands));
    learned << "<?xml version=\"1.0\"?>\n"
            << meta
            << "<parameters><parameter name=\"airport_name\" value=\"Bench\"/>"
               "<parameter name=\"parking_percentage\" value=\"40\"/></parameters>\n<parkpositions>\n";
    for (int i = 0; i < stands; i += 10)
        learned << fmt::format("<parkpos id=\"S{}\" radius_change=\"true\" radius=\"22.0\">"
                               "<opt reg=\"PH-L{:03}\" airl=\"KLM\" type=\"B738\" day=\"2\" hh=\"30,31\"/></parkpos>\n",
                               i, i % 1000);
    for (int i = 0; i < 20; ++i)
        learned << fmt::format("<parkpos id=\"M{}\" manual=\"true\" latitude=\"{:.6f}\" longitude=\"8.2\" "
                               "radius=\"15.0\" cargo=\"false\" ramp=\"true\"/>\n",
                               i, 47.2 + i * 0.001);
    learned << "</parkpositions>\n";
    return path;
}

// Every element and attribute of a file, read as pugixml reads them.
std::size_t walkXml(const fs::path& path) {
    pugi::xml_document doc;
    doc.load_file(path.c_str());
    std::size_t n = 0;
    for (const pugi::xml_node& top : doc.children())
        for (const pugi::xml_node& element : top.children()) {
            for (const pugi::xml_attribute& a : element.attributes()) n += a.as_string()[0] != 0;
            for (const pugi::xml_node& child : element.children())
                for (const pugi::xml_attribute& a : child.attributes()) n += a.as_string()[0] != 0;
        }
    return n;
}

void BM_ReadAirports(benchmark::State& state) {
    program();
    const fs::path file = gf_airportsFile();
    const double baseline = bench::secondsOf([&] { benchmark::DoNotOptimize(walkXml(file)); }, 3);
    double total = 0;
    std::size_t count = 0;
    for (auto _ : state) {
        gf_resetAirports();
        const auto start = std::chrono::steady_clock::now();
        gf_readAirports();
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        count = airportList.size();
    }
    gf_resetAirports();
    bench::perItem(state, static_cast<double>(count));
    state.counters["airports"] = static_cast<double>(count);
    state.counters["ratio_to_pugixml"] = total / static_cast<double>(state.iterations()) / baseline;
}
BENCHMARK(BM_ReadAirports)->Unit(benchmark::kMillisecond);

void BM_ReadApf(benchmark::State& state) {
    const int stands = static_cast<int>(state.range(0));
    const std::string path = writeAirport(stands);
    const fs::path learned = gf_learnedPathOf(path, "Bench");
    const double baseline = bench::secondsOf([&] { benchmark::DoNotOptimize(walkXml(path) + walkXml(learned)); }, 3);
    double total = 0;
    for (auto _ : state) {
        currentStands.clear();
        ApfHeader header;
        QualityFactors quality;
        const auto start = std::chrono::steady_clock::now();
        const std::string error = gf_readApf(path, header, quality);
        total += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!error.empty()) state.SkipWithError(error.c_str());
    }
    state.counters["stands"] = static_cast<double>(currentStands.size());
    currentStands.clear();
    bench::perItem(state, stands);
    state.counters["ratio_to_pugixml"] = total / static_cast<double>(state.iterations()) / baseline;
}
BENCHMARK(BM_ReadApf)->Arg(1000)->Arg(3000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
