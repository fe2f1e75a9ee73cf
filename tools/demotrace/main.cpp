// Summary and map of a stand-in simulator trace (VEXA_SIM_TRACE).
// Usage: demotrace TRACE [--svg MAP.svg] [--summary SUMMARY.txt] [--stands AIRPORT.xml] [--scenario TRAFFIC.json]
//                  [--log LOG.txt] [--closing-line N]
// Prints the counts; writes the map and the summary when asked. With the park airport's parking file
// the counts include the apron (stands, push-backs, take-offs, parking) and the map an airport panel;
// the feed scenario tells the aircraft it reports parked from the static ones, and where the live ones
// stood still while their feed moved on; the program's log gives the renewals of the parking plan, and the
// counts the statics placed and removed at them. With the number of trace lines written when the program was
// asked to close, the counts and the map are those of the run up to there, and a last line tells what the
// closing took out of the simulator and what it left there. Exit 0 when the files were read, 1 when one could not be
// opened, read or written, 2 for bad arguments.
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>

#include "tools/demotrace/demo_trace.h"
#include "tools/demotrace/renewals.h"

namespace {

constexpr const char* kUsage =
    "usage: demotrace TRACE [--svg MAP.svg] [--summary SUMMARY.txt] [--stands AIRPORT.xml] [--scenario "
    "TRAFFIC.json] [--log LOG.txt] [--closing-line N]\n";

// Reads one of the airport or feed files into its record; false (with a message) when it cannot be read.
template <typename Reader, typename Into>
bool readInto(const std::string& path, const char* what, Reader reader, Into& into) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "demotrace: cannot open %s %s\n", what, path.c_str());
        return false;
    }
    try {
        reader(in, into);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "demotrace: cannot read %s %s: %s\n", what, path.c_str(), e.what());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string tracePath, svgPath, summaryPath, standsPath, scenarioPath, logPath;
    std::optional<std::size_t> closingLine;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--svg") == 0 && i + 1 < argc)
            svgPath = argv[++i];
        else if (std::strcmp(argv[i], "--summary") == 0 && i + 1 < argc)
            summaryPath = argv[++i];
        else if (std::strcmp(argv[i], "--stands") == 0 && i + 1 < argc)
            standsPath = argv[++i];
        else if (std::strcmp(argv[i], "--scenario") == 0 && i + 1 < argc)
            scenarioPath = argv[++i];
        else if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc)
            logPath = argv[++i];
        else if (std::strcmp(argv[i], "--closing-line") == 0 && i + 1 < argc) {
            const std::string n = argv[++i];
            if (n.empty() || n.size() > 12 || n.find_first_not_of("0123456789") != std::string::npos) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            closingLine = std::stoull(n);
        } else if (argv[i][0] != '-' && tracePath.empty())
            tracePath = argv[i];
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (tracePath.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    demotrace::Apron apron;
    if (!standsPath.empty() && !readInto(standsPath, "stands file", demotrace::readStands, apron)) return 1;
    demotrace::FeedTracks feed;
    if (!scenarioPath.empty() && (!readInto(scenarioPath, "scenario", demotrace::readFeedParked, apron) ||
                                  !readInto(scenarioPath, "scenario", demotrace::readFeedTracks, feed)))
        return 1;
    std::ifstream in(tracePath);
    if (!in) {
        std::fprintf(stderr, "demotrace: cannot open %s\n", tracePath.c_str());
        return 1;
    }
    const auto whole = demotrace::readTrace(in);
    std::optional<demotrace::Trace> run;
    if (closingLine) {
        std::ifstream again(tracePath);
        run = demotrace::readTrace(again, *closingLine);
    }
    const demotrace::Trace& trace = run ? *run : whole;
    const auto summary = demotrace::summarise(trace, apron, feed);
    std::string text = demotrace::summaryText(summary);
    if (!logPath.empty()) {
        std::ifstream log(logPath, std::ios::binary);
        if (!log) {
            std::fprintf(stderr, "demotrace: cannot open log %s\n", logPath.c_str());
            return 1;
        }
        text += demotrace::renewalText(demotrace::summariseRenewals(trace, demotrace::readRenewals(log)));
    }
    if (run) text += demotrace::closingText(demotrace::summariseClosing(*run, whole));
    std::cout << text;
    if (whole.badLines > 0)
        std::cout << whole.badLines << " unreadable trace line" << (whole.badLines == 1 ? "" : "s") << " skipped\n";
    if (!summaryPath.empty()) {
        std::ofstream out(summaryPath);
        out << text;
        if (!out) {
            std::fprintf(stderr, "demotrace: cannot write %s\n", summaryPath.c_str());
            return 1;
        }
    }
    if (!svgPath.empty()) {
        std::ofstream out(svgPath);
        out << demotrace::svgMap(trace, summary, apron);
        if (!out) {
            std::fprintf(stderr, "demotrace: cannot write %s\n", svgPath.c_str());
            return 1;
        }
    }
    return 0;
}
