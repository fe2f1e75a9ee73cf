#include "airports/scan_report.h"

#include <mutex>

namespace {
std::mutex reportMutex;
std::vector<std::string> reportLines;
}  // namespace

void lf_scanReport(std::string_view line) {
    std::lock_guard lock(reportMutex);
    reportLines.emplace_back(line);
}

void gf_resetScanReport(std::size_t lines) {
    std::lock_guard lock(reportMutex);
    reportLines.clear();
    reportLines.reserve(lines);
}

std::vector<std::string> gf_scanReportLines() {
    std::lock_guard lock(reportMutex);
    return reportLines;
}
