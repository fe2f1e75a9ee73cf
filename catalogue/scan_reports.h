#pragma once
// The report files of the livery scan: the issue lists that the scan tasks fill become text files under
// output/errors (problems a user may want to repair) and output/info (information), one entry per line,
// with one summary line per file in the log. The previous scan's files are removed when a scan starts.
//
// Run thread only, and only while no scan task is running.
#include <filesystem>
#include <string>
#include <vector>

// Lines of the reference-database fixes of the scanned liveries ("AirlineModelConversions.txt").
extern std::vector<std::string> dbaseConversions;

namespace scanReport {
std::filesystem::path noFltsimCfgs();        // info/AircraftCfgWithNoFltsimSection.txt
std::filesystem::path dbaseConversions();    // info/AirlineModelConversions.txt
std::filesystem::path skippedOnPriority();   // info/LiveriesSkippedOnPriority.txt
std::filesystem::path invalidAirlines();     // errors/InvalidAirlineCodes.txt
std::filesystem::path invalidAircraft();     // errors/InvalidAircraftCodes.txt
std::filesystem::path modelFixes();          // errors/Fixes.txt
std::filesystem::path invalidCfgs();         // errors/InvalidAircraftCfgFiles.txt
std::filesystem::path incompleteSections();  // errors/IncompleFltsimSections.txt
}  // namespace scanReport

// Removes the previous scan's report files and the scan cache, each on its own (a failure is logged and
// the next file is still removed), then the errors folder when it has become empty.
void lf_removeScanReports();
// Writes the report files of the lists that hold lines, each with its summary line in the log; a file that
// cannot be written gets an error line instead.
void lf_writeScanReports();
// Empties dbaseConversions, the five issue lists, the title register and the excluded titles (not
// modelFixes, which keeps the fixes of every scan of the program run).
void lf_clearScanLists();
