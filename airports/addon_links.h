#pragma once
// What the add-on airport scan keeps of each decoded airport: a link file naming the parking file that the
// download server archives for it, a parking file generated from its decoded stands, or, for a 2024 airport
// that cannot be decoded, an entry in the TBLO folder.
//
// Threads: called from the scan's decoding tasks, several at once. The link mutex serialises the whole
// archive link (manifests, the reference database's lists, link files); the generation mutex serialises the
// generated files and TBLO entries, so that two BGL files of one airport never write one file at the same
// time. Lock order: link mutex, generation mutex, scan-report mutex, log mutex.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <utility>

#include "airports/airport_package.h"
#include "airports/bgl_decoder.h"

namespace addonFiles {
inline const std::filesystem::path tbloFolder = "TBLO";
inline const std::filesystem::path scanLogFile = std::filesystem::path("output") / "info" / "AirportsScanLog.txt";
}  // namespace addonFiles

// Entries of the TBLO folder written or copied by the current scan.
extern std::atomic<std::int32_t> tbloCount;
// Set whenever an airport was linked or a parking file generated; never cleared.
extern std::atomic<bool> airportFilesChanged;

// Publisher, manifest texts and archive link of a decoded airport; true when it is linked (archivedStands
// then holds the archived file's stand count when the publisher list gives it).
bool lf_linkArchivedAirport(AirportPackage& package, std::int32_t& archivedStands, const std::string& bglPath);
// "archive/simaddon/CODE.xml" and whether the simulator's own airport set holds the code.
std::pair<std::string, bool> lf_findSimaddonArchive(std::string_view icao);
bool lf_linkSimaddonAirport(const AirportPackage& package);
// "archive/thirdparty/PUBLISHER/CODE.xml" (blanks as "%20") and whether the publisher list of the current
// simulator names the airport.
std::pair<std::string, bool> lf_findThirdpartyArchive(const std::string& publisher, const std::string& icao,
                                                      std::int32_t& archivedStands);
bool lf_linkThirdpartyAirport(const std::string& publisher, const std::string& icao, std::int32_t& archivedStands);
// Writes airports/ve_zuzuvado/CODE.xml (publisher "simaddon") or airports/my_thirdparty/CODE.xml. When two BGL
// files of one scan would write the same file, the one with more stands (then the smaller path) keeps it and
// the other is reported.
void lf_generateAirportFile(AirportPackage& package, std::int32_t helipadCount);
// The text from the first "Community" on; unchanged without one.
void lf_pathFromCommunity(std::string& pathText);
// A 2024 BGL file whose airport cannot be decoded: finds its code (file name, manifest title, path) and
// writes a TBLO entry unless the airport is linked or a simulator airport. Only an entry written is counted
// in tbloCount; one that cannot be written is reported.
void lf_handleUnrecognisedAirport(const std::string& bglPath);

// The decoder's handlers of a real scan: the operations above and the airport names table.
BglAirportHandlers gf_addonAirportHandlers();
// Forgets the files generated so far (start of a scan).
void gf_resetGeneratedAirports();
// The add-on airports that the current scan gave a file: a link file, a generated file or a TBLO entry
// that is still there, each folder and airport code once.
std::int32_t gf_countAddonAirportsFound();
