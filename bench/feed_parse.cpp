// Processing one live-traffic reply of 500 aircraft (JSON parse plus the record parser for every
// aircraft), reported as a ratio to the bare JSON parse of the same reply.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

#include "app/window_proc.h"
#include "feed/readers.h"
#include "feed/record_parser.h"
#include "feed/web_api.h"
#include "foundation/clock.h"
#include "shell/range.h"
#include "tools/rtstub/rt_stub.h"

namespace {

const std::string& reply() {
    static const std::string text = [] {
        rtstub::Server server;
        server.loadScenario(rtstub::syntheticScenario(500, 52.3, 4.76));
        server.setPlayTime(300.0);
        // The record parser drops records whose time stamp is not near the real time.
        server.setUnixTime(static_cast<double>(gf_unixTime()));
        const auto auth = server.answer("auth", {{"license", "bench"}, {"software", "bench"}});
        const std::map<std::string, std::string> form{{"GUID", auth["GUID"].get<std::string>()},
                                                      {"top", "60"},
                                                      {"bottom", "45"},
                                                      {"left", "-5"},
                                                      {"right", "15"},
                                                      {"querytype", "locationtraffic"},
                                                      {"toffset", "0"}};
        return server.answer("traffic", form).dump();
    }();
    return text;
}

void BM_BareJsonParse(benchmark::State& state) {
    const std::string& text = reply();
    for (auto _ : state) {
        auto j = nlohmann::json::parse(text);
        benchmark::DoNotOptimize(j);
    }
}

void BM_ProcessReply(benchmark::State& state) {
    const std::string& text = reply();
    gf_resetFeed();
    rangeNm = 100.0;
    trafficReader.setOwnPosition(LatLon{52.3, 4.76});
    std::size_t kept = 0;
    for (auto _ : state) {
        auto j = nlohmann::json::parse(text);
        for (auto& [key, value] : j["data"].items()) {
            (void)key;
            if (!value.is_array() || value.size() != 48) continue;
            trafficReader.currentLine = std::move(value);
            processLine(trafficReader);
        }
        kept = trafficReader.records.size();
        trafficReader.records.clear();
    }
    state.counters["aircraft"] = static_cast<double>(kept);
    if (kept == 0) state.SkipWithError("the record parser kept no aircraft of the reply");
}

BENCHMARK(BM_BareJsonParse)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessReply)->Unit(benchmark::kMicrosecond);

// Prints the usual table, then the processing time as a ratio to the bare parse.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                perIteration[run.benchmark_name()] = run.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const auto parse = perIteration.find("BM_BareJsonParse");
        const auto process = perIteration.find("BM_ProcessReply");
        if (parse != perIteration.end() && process != perIteration.end() && parse->second > 0)
            std::printf("feed_parse: processing one reply of 500 aircraft takes %.2f x the bare JSON parse\n",
                        process->second / parse->second);
    }

private:
    std::map<std::string, double> perIteration;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
