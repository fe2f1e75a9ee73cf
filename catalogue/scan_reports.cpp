#include "catalogue/scan_reports.h"

#include <fmt/format.h>

#include <list>

#include "catalogue/livery_cache.h"
#include "catalogue/livery_record.h"
#include "catalogue/livery_sections.h"
#include "catalogue/regcodes.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/text_utils.h"

namespace fs = std::filesystem;

std::vector<std::string> dbaseConversions;

namespace scanReport {
fs::path noFltsimCfgs() { return dataNames::infoFolder / "AircraftCfgWithNoFltsimSection.txt"; }
fs::path dbaseConversions() { return dataNames::infoFolder / "AirlineModelConversions.txt"; }
fs::path skippedOnPriority() { return dataNames::infoFolder / "LiveriesSkippedOnPriority.txt"; }
fs::path invalidAirlines() { return dataNames::errorsFolder / "InvalidAirlineCodes.txt"; }
fs::path invalidAircraft() { return dataNames::errorsFolder / "InvalidAircraftCodes.txt"; }
fs::path modelFixes() { return dataNames::errorsFolder / "Fixes.txt"; }
fs::path invalidCfgs() { return dataNames::errorsFolder / "InvalidAircraftCfgFiles.txt"; }
fs::path incompleteSections() { return dataNames::errorsFolder / "IncompleFltsimSections.txt"; }
}  // namespace scanReport

namespace {

std::int64_t count(std::size_t n) { return static_cast<std::int64_t>(n); }

// Writes one report into its folder; false (and an error line) when that fails.
template <typename Lines>
bool writeReport(const Lines& lines, const fs::path& path) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    bool written = false;
    try {
        if constexpr (std::is_same_v<Lines, std::list<std::string>>)
            written = gf_writeListToFile(lines, path);
        else
            written = gf_writeLinesToFile(lines, path);
    } catch (const std::exception&) {
        written = false;
    }
    if (!written) gf_logError(fmt::format("could not write {}", path.string()));
    return written;
}

void writeSorted(std::list<std::string>& lines, const fs::path& path, const std::string& summary) {
    if (lines.empty()) return;
    lines.sort();
    if (writeReport(lines, path)) gf_log(summary);
}

}  // namespace

void lf_removeScanReports() {
    const fs::path files[] = {
        scanReport::noFltsimCfgs(), gf_liveryCachePath(),          scanReport::skippedOnPriority(),
        gf_inlineRegcodesPath(),    scanReport::invalidAirlines(), scanReport::invalidAircraft(),
        scanReport::modelFixes(),   scanReport::invalidCfgs(),     scanReport::incompleteSections()};
    for (const auto& file : files) {
        std::error_code ec;
        fs::remove(file, ec);
        if (ec) gf_log(fmt::format("problems with removing previous files: {}: {}", file.string(), ec.message()));
    }
    // Removing the folder succeeds only when nothing else is left in it.
    std::error_code ec;
    if (fs::is_directory(dataNames::errorsFolder, ec)) fs::remove(dataNames::errorsFolder, ec);
    if (ec)
        gf_log(fmt::format("problems with removing previous files: {}: {}", dataNames::errorsFolder.string(),
                           ec.message()));
}

void lf_writeScanReports() {
    const bool noErrors = invalidAirlines.empty() && invalidAircraft.empty() && modelFixes.empty() &&
                          invalidCfgs.empty() && incompleteSections.empty();
    gf_log(noErrors ? "\nNo errors" : "\nErrors:");
    writeSorted(invalidAirlines, scanReport::invalidAirlines(),
                fmt::format("{} invalid airline code{}, see {}", invalidAirlines.size(),
                            gf_pluralSuffix(count(invalidAirlines.size())), scanReport::invalidAirlines().string()));
    writeSorted(invalidAircraft, scanReport::invalidAircraft(),
                fmt::format("{} invalid model code{}, see {}", invalidAircraft.size(),
                            gf_pluralSuffix(count(invalidAircraft.size())), scanReport::invalidAircraft().string()));
    if (!modelFixes.empty() && writeReport(modelFixes, scanReport::modelFixes()))
        gf_log(fmt::format("{} code fixes, see {}", modelFixes.size(), scanReport::modelFixes().string()));
    writeSorted(
        invalidCfgs, scanReport::invalidCfgs(),
        fmt::format("{} invalid aircraft.cfg files, see {}", invalidCfgs.size(), scanReport::invalidCfgs().string()));
    writeSorted(incompleteSections, scanReport::incompleteSections(),
                fmt::format("{} incomplete [fltsim.x] sections, see {}", incompleteSections.size(),
                            scanReport::incompleteSections().string()));
    gf_log("\nInformation:");
    writeSorted(
        noFltsimCfgs, scanReport::noFltsimCfgs(),
        fmt::format("{} empty aircraft.cfg files, see {}", noFltsimCfgs.size(), scanReport::noFltsimCfgs().string()));
    if (!dbaseConversions.empty() && writeReport(dbaseConversions, scanReport::dbaseConversions()))
        gf_log(fmt::format("{} liveries updated with real live data from dbase, see {}", dbaseConversions.size(),
                           scanReport::dbaseConversions().string()));
}

namespace {
template <typename Container>
void clearUnder(std::mutex& mutex, Container& container) {
    std::lock_guard lock(mutex);
    container.clear();
}
}  // namespace

void lf_clearScanLists() {
    dbaseConversions.clear();
    clearUnder(invalidAirlinesMutex, invalidAirlines);
    clearUnder(invalidAircraftMutex, invalidAircraft);
    clearUnder(incompleteSectionsMutex, incompleteSections);
    clearUnder(noFltsimCfgsMutex, noFltsimCfgs);
    clearUnder(invalidCfgsMutex, invalidCfgs);
    clearUnder(liveryTitlesMutex, liveryTitles);
    excludedTitles.clear();
    lf_indexExcludedTitles();
}
