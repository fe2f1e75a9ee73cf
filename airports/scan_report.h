#pragma once
// The report of the add-on airport scan: lines that the scan, its decoding tasks and the manifest reader
// append, written to output/info/AirportsScanLog.txt when the scan ends.
//
// Threads: any thread appends (one line at a time under the report's own mutex, which is taken after the
// link mutex and before the log mutex); the scan's own thread takes the lines when every task has ended.
#include <string>
#include <string_view>
#include <vector>

// "===> ", the mark of a report line (and of an error line of the log) that needs attention.
inline constexpr std::string_view scanAttention = "===> ";

// Appends one line to the scan report.
void lf_scanReport(std::string_view line);
// Empties the report and reserves room for `lines` lines.
void gf_resetScanReport(std::size_t lines = 2048);
// A copy of the report's lines, in the order they were appended.
std::vector<std::string> gf_scanReportLines();
