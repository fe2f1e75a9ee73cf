#include "airports/park_list.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <vector>

#include "airports/airports.h"
#include "airports/apf_lookup.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "foundation/disk_file.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

std::mutex parkAirportsMutex;
std::atomic<std::uint8_t> softLearningAllowed{1};
std::string userReservedStand;

namespace {
constexpr const char* kListName = "my_park_airports.txt";
// The run thread and the simulator thread both rewrite the list file; each change of the entry to be
// written, and the read and write of the file, hold this lock, so that no update is lost, the temporary
// file has one writer and the entry written is the one changed. Taken before parkAirportsMutex.
std::mutex listFileMutex;
constexpr std::size_t kManyAirports = 3000;

bool hasCode(const std::list<ParkAirportEntry>& list, std::string_view code) {
    return std::any_of(list.begin(), list.end(), [&](const ParkAirportEntry& e) { return e.icao == code; });
}

std::string entryLine(const ParkAirportEntry& entry) {
    return entry.reservedStand.empty() ? entry.icao : fmt::format("{},{}", entry.icao, entry.reservedStand);
}

// Writes the lines sorted in place of the list (gf_replaceFile), so that a failed write leaves the old list
// whole. A list the user made read-only is refused at each change and reported once per run.
void writeSorted(std::vector<std::string> lines) {
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines) text += line + '\n';
    if (gf_refuseReadOnlyFile(dataNames::myParkAirportsFile, "park airports changed in this run will not be kept"))
        return;
    if (gf_replaceFile(dataNames::myParkAirportsFile, text) != ReplaceResult::replaced)
        gf_logError(fmt::format("{} could not be written", dataNames::myParkAirportsFile.string()));
}
}  // namespace

std::list<ParkAirportEntry> gf_parkAirportsCopy() {
    std::lock_guard lock(parkAirportsMutex);
    return parkAirports;
}

std::optional<ParkAirportEntry> gf_firstParkAirport() {
    std::lock_guard lock(parkAirportsMutex);
    if (parkAirports.empty()) return std::nullopt;
    return parkAirports.front();
}

void lf_addParkAirportLine(bool& okay, std::string_view line) {
    if (gf_trim(line).empty()) return;
    std::vector<std::string> fields = gf_split(line, ',');
    for (auto& f : fields) f = gf_trim(f);
    if (fields.empty() || fields[0].empty()) return;
    if (fields.size() >= 3) {
        gf_logError(fmt::format("{}:{} wrong syntax, skipped", kListName, line));
        return;
    }
    std::optional<Airport> airport = gf_findAirport(fields[0]);
    if (!airport) {
        gf_showStatus(fmt::format("airport {} is unknown", fields[0]), true);
        okay = false;
        return;
    }
    if (hasCode(parkAirports, fields[0])) {
        gf_logError(fmt::format("{}:{} double, skipped", kListName, fields[0]));
        return;
    }
    parkAirports.push_back(ParkAirportEntry{fields[0], fields.size() > 1 ? fields[1] : std::string{}, airport->latitude,
                                            airport->longitude, 0.0});
}

void lf_addThirdPartyParkAirports() {
    std::error_code ec;
    if (!fs::is_directory(dataNames::myThirdpartyFolder, ec)) return;
    int added = 0;
    for (const auto& file : fs::directory_iterator(dataNames::myThirdpartyFolder, ec)) {
        if (!file.is_regular_file(ec)) continue;
        std::string code = file.path().stem().string();
        if (hasCode(parkAirports, code)) continue;
        std::optional<Airport> airport = gf_findAirport(code);
        if (!airport) continue;
        parkAirports.push_back(ParkAirportEntry{code, {}, airport->latitude, airport->longitude, 0.0});
        ++added;
    }
    if (added > 0)
        gf_log(fmt::format("{} park airport{} added from my_thirdparty folder(-s) ", added, gf_plural(added)));
}

bool lf_readMyParkAirports() {
    std::lock_guard lock(parkAirportsMutex);
    parkAirports.clear();
    bool okay = true;
    try {
        std::ifstream file(dataNames::myParkAirportsFile, std::ios::binary);
        if (!file.is_open()) {
            gf_log(fmt::format("{} not found", dataNames::myParkAirportsFile.string()));
        } else {
            std::list<std::string> lines = gf_readStreamLines(file);
            if (!lines.empty() && lines.front().starts_with("\xEF\xBB\xBF")) lines.front().erase(0, 3);
            for (const std::string& line : lines) lf_addParkAirportLine(okay, line);
        }
        if (!parkAirports.empty()) {
            gf_log(fmt::format("{} park airport{} read from \"{}\"", parkAirports.size(),
                               gf_plural(std::int64_t(parkAirports.size())), kListName));
            if (parkAirports.size() > kManyAirports)
                gf_showStatus(
                    fmt::format("Warning: There are a lot of airports ({}) in {}, that will cost Vexa much cpu time, "
                                "and may give stutters",
                                parkAirports.size(), kListName),
                    true);
        }
        lf_addThirdPartyParkAirports();
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "lf_readMyParkAirports", e.what()));
        return false;
    }
    return okay;
}

bool lf_updateParkAirportLine(std::string& line, const ParkAirportEntry& first) {
    std::vector<std::string> fields = gf_split(line, ',');
    if (fields.empty() || gf_trim(fields[0]) != first.icao) return false;
    line = entryLine(first);
    gf_log(fmt::format("{}:{},{} updated stand", kListName, first.icao, first.reservedStand));
    return true;
}

namespace {
// Writes the entry's line into the list file (its line replaced, or added), sorted. The caller holds the
// file lock.
void lf_writeParkAirportEntry(const ParkAirportEntry& entry) {
    std::ifstream file(dataNames::myParkAirportsFile, std::ios::binary);
    std::vector<std::string> lines;
    if (file.is_open()) {
        std::list<std::string> read = gf_readStreamLines(file);
        file.close();
        if (!read.empty() && read.front().starts_with("\xEF\xBB\xBF")) read.front().erase(0, 3);
        bool matched = false;
        for (std::string& line : read) {
            if (gf_trim(line).empty()) continue;
            if (!matched && lf_updateParkAirportLine(line, entry)) matched = true;
            lines.push_back(std::move(line));
        }
        if (!matched) {
            lines.push_back(entryLine(entry));
            gf_log(fmt::format("{}:{} new entry", kListName, lines.back()));
        }
    } else {
        lines.push_back(entryLine(entry));
        gf_log(fmt::format("{} created with {}", kListName, lines.back()));
    }
    writeSorted(std::move(lines));
}

void lf_putFirstIn(std::list<ParkAirportEntry>& list, const ParkAirportEntry& entry) {
    auto it = std::find_if(list.begin(), list.end(), [&](const ParkAirportEntry& e) { return e.icao == entry.icao; });
    if (it != list.end()) {
        // A stand the list knows is never replaced by none: the user aircraft off a stand names none.
        if (!entry.reservedStand.empty()) it->reservedStand = entry.reservedStand;
        list.splice(list.begin(), list, it);
    } else {
        list.push_front(entry);
    }
}
}  // namespace

bool gf_changeParkAirports(const std::function<bool(std::list<ParkAirportEntry>& list)>& change) {
    std::lock_guard fileLock(listFileMutex);
    std::optional<ParkAirportEntry> changed;
    {
        std::lock_guard lock(parkAirportsMutex);
        if (!change(parkAirports) || parkAirports.empty()) return false;
        changed = parkAirports.front();
    }
    lf_writeParkAirportEntry(*changed);
    return true;
}

void gf_updateMyParkAirports() {
    gf_changeParkAirports([](std::list<ParkAirportEntry>&) { return true; });
}

void lf_putParkAirportFirst(const ParkAirportEntry& entry) {
    std::lock_guard lock(parkAirportsMutex);
    lf_putFirstIn(parkAirports, entry);
}

void gf_addParkAirport(const std::string& icao, double latitude, double longitude) {
    // A new airport is written into the file as well; a known one only moves to the front.
    gf_changeParkAirports([&](std::list<ParkAirportEntry>& list) {
        const bool isNew =
            std::none_of(list.begin(), list.end(), [&](const ParkAirportEntry& e) { return e.icao == icao; });
        lf_putFirstIn(list, ParkAirportEntry{icao, {}, latitude, longitude, 0.0});
        return isNew;
    });
}

std::string lf_readParkedFile(const std::optional<std::string>& userStand) {
    currentStands.clear();
    CurrentAirport airport = gf_currentAirportCopy();
    std::string path = gf_apfPathOf(airport.icao);
    std::string error;
    if (path.empty()) {
        error = fmt::format("{} {} not found", "lf_readParkedFile", airport.icao);
    } else if (path.find("unknown") != std::string::npos) {
        error = fmt::format("{} {} has publisher:{}, {}", "lf_readParkedFile", airport.icao, "unknown", path);
    } else {
        currentApfHeader = ApfHeader{};
        currentQualityFactors = QualityFactors{};
        // The window's airport name and publisher are those of the file being read, or none.
        mainWindow.airportFileText.clear();
        mainWindow.airportSourceText.clear();
        error = gf_readApf(path, currentApfHeader, currentQualityFactors);
        mainWindow.airportFileText.set(currentApfHeader.airportName);
        if (error.empty()) {
            if (currentQualityFactors.real >= 45 && currentStands.size() >= 20) {
                softLearningAllowed.store(0);
                if (LEARN_SOFT.value.load()) {
                    LEARN_SOFT.value.store(false);
                    gf_setCheck(LEARN_SOFT.controlId, false);
                    learnedParamsChanged.store(1);
                }
                gf_enableControl(LEARN_SOFT.controlId, false);
            } else {
                softLearningAllowed.store(1);
                gf_enableControl(LEARN_SOFT.controlId, true);
            }
            if (userStand) {
                gf_changeParkAirports([&](std::list<ParkAirportEntry>& list) {
                    if (list.empty() || list.front().icao != airport.icao) {
                        lf_putFirstIn(
                            list, ParkAirportEntry{airport.icao, *userStand, airport.latitude, airport.longitude, 0.0});
                        return true;
                    }
                    if (userStand->empty() || *userStand == list.front().reservedStand) return false;
                    list.front().reservedStand = *userStand;
                    return true;
                });
            }
            std::optional<ParkAirportEntry> first = gf_firstParkAirport();
            bool shown = first && first->icao == airport.icao && !first->reservedStand.empty() &&
                         std::any_of(currentStands.begin(), currentStands.end(),
                                     [&](const ParkPos& s) { return s.name == first->reservedStand; });
            userReservedStand = shown ? first->reservedStand : std::string{};
            airport.reservedStand = userReservedStand;
            gf_setCurrentAirport(airport);
            mainWindow.reservedStandValid.store(shown);
        }
    }
    mainWindow.airportReady.store(error.empty());
    learnedUpdateCount.store(0);
    return error;
}

std::int32_t lf_percentOf(std::int64_t count, std::int64_t stands) {
    if (stands < 1) return 0;
    return std::int32_t(std::lround(double(count) * 100.0 / double(stands)));
}

std::int64_t lf_wantedCount(std::int32_t pct, std::int64_t stands, std::int32_t maxPark, std::int32_t& shownPct) {
    std::int64_t wanted = 1;
    if (stands > 1 && (stands > 3 || pct >= 50)) wanted = std::llround(double(std::int64_t(pct) * stands) / 100.0);
    shownPct = pct;
    if (maxPark != -1) {
        wanted = std::min<std::int64_t>(maxPark, wanted);
        shownPct = lf_percentOf(wanted, stands);
    }
    return wanted;
}

std::int32_t gf_wantedParkedCount() {
    std::int32_t custom = CUSTOM_PARKING_PERCENTAGE.value.load();
    std::int32_t pct = custom >= 0 ? custom : parking_percentage.value.load();
    std::int32_t shown = 0;
    std::int64_t wanted = lf_wantedCount(pct, std::int64_t(currentStands.size()), CUSTOM_MAX_PARK.value.load(), shown);
    mainWindow.wantedParkedCount.store(std::int32_t(wanted));
    mainWindow.parkingPercentageShown.store(shown);
    mainWindow.invalidate();
    return std::int32_t(wanted);
}
