// Summary and map of a stand-in simulator trace (VEXA_SIM_TRACE).
// Usage: demotrace TRACE [--svg MAP.svg] [--summary SUMMARY.txt]
// Prints the counts; writes the map and the summary when asked. Exit 0 when the trace was read,
// 1 when it could not be opened, 2 for bad arguments.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

#include "tools/demotrace/demo_trace.h"

int main(int argc, char** argv) {
    std::string tracePath, svgPath, summaryPath;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--svg") == 0 && i + 1 < argc)
            svgPath = argv[++i];
        else if (std::strcmp(argv[i], "--summary") == 0 && i + 1 < argc)
            summaryPath = argv[++i];
        else if (argv[i][0] != '-' && tracePath.empty())
            tracePath = argv[i];
        else {
            std::fprintf(stderr, "usage: demotrace TRACE [--svg MAP.svg] [--summary SUMMARY.txt]\n");
            return 2;
        }
    }
    if (tracePath.empty()) {
        std::fprintf(stderr, "usage: demotrace TRACE [--svg MAP.svg] [--summary SUMMARY.txt]\n");
        return 2;
    }
    std::ifstream in(tracePath);
    if (!in) {
        std::fprintf(stderr, "demotrace: cannot open %s\n", tracePath.c_str());
        return 1;
    }
    const auto trace = demotrace::readTrace(in);
    const auto summary = demotrace::summarise(trace);
    const std::string text = demotrace::summaryText(summary);
    std::cout << text;
    if (trace.badLines > 0)
        std::cout << trace.badLines << " unreadable trace line" << (trace.badLines == 1 ? "" : "s") << " skipped\n";
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
        out << demotrace::svgMap(trace, summary);
        if (!out) {
            std::fprintf(stderr, "demotrace: cannot write %s\n", svgPath.c_str());
            return 1;
        }
    }
    return 0;
}
