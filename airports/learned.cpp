#include "airports/learned.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <fmt/format.h>

#include "airports/airport_ui.h"
#include "airports/apf_lookup.h"
#include "airports/apf_reader.h"
#include "airports/apf_writer.h"
#include "airports/current_airport.h"
#include "airports/parking_file.h"
#include "foundation/clock.h"
#include "foundation/disk_file.h"
#include "foundation/file_utils.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/meta_header.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"
#include "foundation/time_text.h"
#include "shell/fields.h"
#include "shell/range.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

std::atomic<std::uint8_t> handmadeLearned{0};
std::atomic<std::uint32_t> learnedUpdateCount{0};
std::atomic<std::uint8_t> learnedParamsChanged{0};
std::atomic<std::uint8_t> learnedReadFailed{0};

namespace {

// The last learned file read held stands or edits that could not be placed in the stands; the save, which writes
// only what is in the stands, first keeps a copy of the file.
bool learnedPartsSkipped = false;

const fs::path learnedRoot = fs::path("airports") / "learned";

// The longest folder or file name that the file systems take: 255 bytes here, 255 UTF-16 units on Windows
// (which 255 UTF-8 bytes never exceed).
constexpr std::size_t kLongestName = 255;

// A name that may become one folder or file name below the learned folder: it stays below it and the file
// system takes it.
bool safeComponent(std::string_view name) {
    return name != "." && name.find("..") == std::string_view::npos && name.find('/') == std::string_view::npos &&
           name.find('\\') == std::string_view::npos && name.find('\0') == std::string_view::npos &&
           name.size() <= kLongestName;
}

std::vector<std::string> splitPath(std::string_view text, std::string_view separators) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find_first_of(separators, start);
        const std::string_view part = text.substr(start, end == std::string_view::npos ? text.npos : end - start);
        if (!part.empty()) parts.emplace_back(part);
        if (end == std::string_view::npos) break;
        start = end + 1;
    }
    return parts;
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (text.substr(at, from.size()) == from) {
            result += to;
            at += from.size();
        } else {
            result += text[at++];
        }
    }
    return result;
}

// Joins the parts below the folder; empty when a part would leave it.
fs::path joinBelow(fs::path folder, const std::vector<std::string>& parts, std::size_t first) {
    if (folder.empty() || first >= parts.size()) return {};
    for (std::size_t i = first; i < parts.size(); ++i) {
        if (!safeComponent(parts[i])) return {};
        folder /= parts[i];
    }
    return folder;
}

void logSetting(std::string_view name, const auto& value) { gf_logContinuation(fmt::format("{:24}: {}", name, value)); }

void applyFlag(const pugi::xml_node& document, BoolParameter& setting) {
    if (const std::optional<bool> value = lf_readBoolParameter(document, setting.name)) {
        setting.value.store(*value);
        gf_setCheck(setting.controlId, *value);
        logSetting(setting.name, *value);
    }
}

void applySettings(const pugi::xml_node& document) {
    applyFlag(document, LEARN_SOFT);
    if (const std::optional<std::int32_t> value = lf_readIntParameter(document, MAX_LIVE.name)) {
        MAX_LIVE.value.store(MAX_LIVE.clamp(*value));
        logSetting(MAX_LIVE.name, MAX_LIVE.value.load());
    } else {
        MAX_LIVE.value.store(-1);
    }
    gf_showIntField(MAX_LIVE);
    if (const std::optional<std::int32_t> value = lf_readIntParameter(document, LATERAL_RANGE.name)) {
        gf_setRange(*value);
        gf_showIntField(LATERAL_RANGE);
        gf_enableControl(LATERAL_RANGE.controlId, true);
        logSetting(LATERAL_RANGE.name, LATERAL_RANGE.value.load());
    }
    if (const std::optional<bool> value = lf_readBoolParameter(document, AUTO_RANGE.name)) {
        AUTO_RANGE.value.store(*value);
        gf_setCheck(AUTO_RANGE.controlId, *value);
        gf_apfApplyAutoRange(*value);
        logSetting(AUTO_RANGE.name, *value);
    }
    applyFlag(document, PARK_FAKE);
    applyFlag(document, WEEK);
    applyFlag(document, PARK_SOFT);
    if (const std::optional<std::int32_t> value = lf_readIntParameter(document, parking_percentage.name)) {
        // A hand-edited file may hold any number; the planner works with a percentage.
        parking_percentage.value.store(std::clamp(*value, 0, 100));
        logSetting(parking_percentage.name, parking_percentage.value.load());
    } else {
        parking_percentage.value.store(30);
    }
    applyFlag(document, INITIAL_LOAD_ONLY);
    if (const std::optional<std::int32_t> value = lf_readIntParameter(document, MAX_FIT.name)) {
        MAX_FIT.value.store(MAX_FIT.clamp(*value));
        const float hours = gf_maxFitHours(MAX_FIT.value.load());
        MAX_FIT_FL.value.store(hours);
        gf_showFloatField(MAX_FIT_FL);
        gf_logContinuation(fmt::format("{:24}: {} (max number of half hours, is {} hrs decimal)", MAX_FIT.name,
                                       MAX_FIT.value.load(), gf_floatText(hours)));
    }
    applyFlag(document, RT_PARKTRAFFIC_ONLY);
    gf_showIntField(parking_percentage);
}

// Index of the first stand of each name, kept while stands are appended.
class StandIndex {
public:
    StandIndex() {
        for (std::size_t i = 0; i < currentStands.size(); ++i) byName_.try_emplace(currentStands[i].name, i);
    }
    ParkPos* find(const std::string& name) {
        const auto it = byName_.find(name);
        return it == byName_.end() ? nullptr : &currentStands[it->second];
    }
    void addLast() { byName_.try_emplace(currentStands.back().name, currentStands.size() - 1); }

private:
    std::unordered_map<std::string, std::size_t> byName_;
};

void mergeEdits(const pugi::xml_node& document, const fs::path& path) {
    const pugi::xml_node stands = document.child(apf::standsElement);
    if (!stands) return;
    StandIndex index;
    for (const pugi::xml_node& parkpos : stands.children(apf::standElement)) {
        const std::string id = parkpos.attribute("id").value();
        if (gf_apfBool(parkpos.attribute("manual"))) {
            if (index.find(id) != nullptr) {
                learnedPartsSkipped = true;
                gf_logError(fmt::format("manually created standid {} already exists in {}", id, path.string()));
                continue;
            }
            const LatLon position{gf_apfDouble(parkpos.attribute("latitude")),
                                  gf_apfDouble(parkpos.attribute("longitude"))};
            const double radius = gf_apfDouble(parkpos.attribute("radius"));
            if (gf_positionIsSet(position) && radius != 0.0 && lf_readParkpos(parkpos, id, 0)) {
                currentStands.back().manual = 1;
                index.addLast();
            } else {
                learnedPartsSkipped = true;
                gf_logError(
                    fmt::format("manually created standid {} misses correct attributes in {}", id, path.string()));
            }
            continue;
        }
        ParkPos* stand = index.find(id);
        if (stand == nullptr || !lf_applyLearnedStand(parkpos, *stand)) {
            learnedPartsSkipped = true;
            gf_log(fmt::format("learned stand {} in {} not found?", id, path.string()));
        }
    }
}

void readHandmade(const pugi::xml_node& document) {
    handmadeLearned.store(1);
    currentStands.clear();
    for (const pugi::xml_node& stands : document.children(apf::standsElement)) {
        std::unordered_set<std::string> seen;
        for (const pugi::xml_node& parkpos : stands.children(apf::standElement)) {
            std::string id = parkpos.attribute("id").value();
            if (!seen.insert(id).second)
                throw ovk::UserErrorException(94, fmt::format("Parking position {} appears more than once?", id));
            if (!lf_readParkpos(parkpos, id, 1)) {
                learnedPartsSkipped = true;
            } else {
                // The marks of a handmade stand travel with it, so that the next save writes them again.
                ParkPos& stand = currentStands.back();
                stand.manual = gf_apfBool(parkpos.attribute("manual")) ? 1 : 0;
                stand.radiusChanged = gf_apfBool(parkpos.attribute("radius_change")) ? 1 : 0;
                stand.cargoChanged = gf_apfBool(parkpos.attribute("cargo_change")) ? 1 : 0;
            }
        }
    }
}

// A callsign of an option merged into another: the first callsign when it has none, else the second when it
// has none; the pair it holds is kept.
void addCallsign(StandOption& into, const std::string& callsign) {
    if (callsign.empty() || callsign == into.callsignA || callsign == into.callsignB) return;
    if (into.callsignA.empty())
        into.callsignA = callsign;
    else if (into.callsignB.empty())
        into.callsignB = callsign;
}

// One aircraft has one learned option per stand in the file: the learned options of one identity
// (lf_sameOptionIdentity) are written as the first of them, with the half-hours of all. The options of the
// airport file, and those that are no option (no lasting id), are left as they are.
void mergeLearnedIdentities(std::vector<StandOption>& options) {
    auto learned = [](const StandOption& o) { return o.closed == 0 && gf_lastingOptionId(o) != 0; };
    for (auto first = options.begin(); first != options.end(); ++first) {
        if (!learned(*first)) continue;
        for (auto other = std::next(first); other != options.end();) {
            if (!learned(*other) || !lf_sameOptionIdentity(*first, *other)) {
                ++other;
                continue;
            }
            first->halfHours |= other->halfHours;
            addCallsign(*first, other->callsignA);
            addCallsign(*first, other->callsignB);
            other = options.erase(other);
        }
    }
}

// A free name beside the learned file that neither the save nor the rotation of its copies (EGLL~0.xml,
// EGLL~00.xml) ever writes, and that is no airport's learned file (no code holds a '-'): with the tag
// "unreadable", EGLL-unreadable.xml, then EGLL-unreadable-2.xml, ... so that an earlier file kept aside is
// never replaced.
fs::path asideName(const fs::path& path, std::string_view tag) {
    const std::string stem = path.stem().string();
    const std::string extension = path.extension().string();
    for (int n = 1; n <= 9999; ++n) {
        fs::path name =
            path.parent_path() / fmt::format("{}-{}{}{}", stem, tag, n == 1 ? "" : fmt::format("-{}", n), extension);
        if (!fs::exists(name)) return name;
    }
    throw std::runtime_error(fmt::format("no free name beside {} to move it aside", path.string()));
}

// The user's file stays whole under its new name; the next save starts a fresh learned file.
void moveAside(const fs::path& path, const pugi::xml_parse_result& result) {
    const fs::path aside = asideName(path, "unreadable");
    fs::rename(path, aside);
    gf_log(fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}", path.string(), result.description()));
    gf_logContinuation(fmt::format("moved aside to \"{}\"", aside.string()));
}

}  // namespace

fs::path gf_learnedFolderOf(std::string_view publisher) {
    if (publisher == apf::stockPublisher) return learnedRoot / "stock";
    if (publisher == apf::simaddonPublisher) return learnedRoot / "simaddon";
    if (!safeComponent(publisher)) return {};
    fs::path folder = learnedRoot / "thirdparty";
    if (!publisher.empty()) folder /= std::string(publisher);
    return folder;
}

fs::path gf_learnedPathOf(std::string_view apfPath, std::string_view publisher) {
    if (apfPath.starts_with(apfFiles::serverPrefix)) {
        std::vector<std::string> parts = splitPath(apfPath.substr(apfFiles::serverPrefix.size()), "/");
        for (std::string& part : parts) part = replaceAll(part, "%20", " ");
        return joinBelow(learnedRoot, parts, 0);
    }
    if (apfPath.starts_with(apfFiles::localPrefix)) {
        const std::vector<std::string> parts = splitPath(apfPath.substr(apfFiles::localPrefix.size()), "/\\");
        if (parts.empty()) return {};
        if (parts[0] == "my_thirdparty2024" || parts[0] == "my_thirdparty") {
            if (!safeComponent(publisher)) return {};
            fs::path folder = learnedRoot / "thirdparty";
            if (!publisher.empty()) folder /= std::string(publisher);
            return joinBelow(folder, parts, 1);
        }
        // The add-on's files are saved in their publisher's folder; they are read back from there.
        if (parts[0] == "ve_zuzuvado") return joinBelow(gf_learnedFolderOf(publisher), parts, 1);
        return joinBelow(learnedRoot, parts, 0);
    }
    return {};
}

bool lf_sameOptionIdentity(const StandOption& existing, const StandOption& added) {
    return existing.weekday == added.weekday && existing.real == added.real && existing.key == added.key &&
           existing.airline == added.airline && existing.icaoType == added.icaoType;
}

bool lf_sameStandOption(const StandOption& existing, const StandOption& added) {
    return lf_sameOptionIdentity(existing, added) && (existing.halfHours & added.halfHours) != 0;
}

bool lf_applyLearnedStand(const pugi::xml_node& parkpos, ParkPos& stand) {
    if (stand.name != parkpos.attribute("id").value()) return false;
    if (gf_apfBool(parkpos.attribute("radius_change"))) {
        stand.radius = gf_apfDouble(parkpos.attribute("radius")) * standUnits::nmPerMetre;
        stand.radiusChanged = 1;
    }
    if (gf_apfBool(parkpos.attribute("cargo_change"))) {
        stand.cargo = gf_apfBool(parkpos.attribute("cargo")) ? 1 : 0;
        stand.cargoChanged = 1;
    }
    // Ids follow the largest one in use, also a switched-off option's.
    std::int32_t nextId = gf_nextOptionId(stand.options);
    for (const pugi::xml_node& opt : parkpos.children(apf::optionElement)) {
        StandOption added = lf_readOpt(opt, nextId, 0);
        // The half-hours that an option of the airport file holds for the same aircraft are planned by it; the
        // learned option keeps the others, which no file holds and the next save must write again.
        const std::uint64_t learnedHours = added.halfHours;
        for (const StandOption& existing : stand.options)
            if (existing.closed != 0 && lf_sameOptionIdentity(existing, added)) added.halfHours &= ~existing.halfHours;
        if (learnedHours != 0 && added.halfHours == 0) continue;
        // A learned option of the same aircraft that shares a half-hour takes the new one's half-hours.
        const auto same = std::find_if(stand.options.begin(), stand.options.end(), [&](const StandOption& existing) {
            return existing.closed == 0 && lf_sameStandOption(existing, added);
        });
        if (same != stand.options.end()) {
            same->halfHours |= added.halfHours;
            continue;
        }
        stand.options.push_back(std::move(added));
        ++nextId;
    }
    return true;
}

void lf_readLearned(const fs::path& path, const ApfHeader& header) {
    learnedPartsSkipped = false;
    try {
        pugi::xml_document document;
        const pugi::xml_parse_result loaded = document.load_file(path.c_str());
        if (!loaded) {
            moveAside(path, loaded);
            return;
        }
        gf_log(fmt::format("Read from learned airport file: \"{}\"", path.string()));
        if (!gf_checkMetaData(document)) {
            // Nothing of it is taken, so the stands in memory are not what it holds: it must not be saved over.
            learnedReadFailed.store(1);
            gf_logError(fmt::format("{} not applied, and kept as it is", path.string()));
            return;
        }
        const std::string name = lf_readTextParameter(document, apf::airportName).value_or(std::string{});
        if (name != header.airportName)
            gf_showStatus(fmt::format("Warning: learned file airport name: \"{}\" differs from archived file airport "
                                      "name: \"{}\"",
                                      name, header.airportName),
                          true);
        applySettings(document);
        const std::optional<bool> handmade = lf_readBoolParameter(document, apf::handmade);
        if (!handmade) {
            handmadeLearned.store(0);
            mergeEdits(document, path);
            return;
        }
        readHandmade(document);
        logSetting(apf::handmade, *handmade);
    } catch (const std::exception& e) {
        // The stands in memory are not what the file holds: a save must not write them over it.
        learnedReadFailed.store(1);
        gf_log(fmt::format("{}: {}", "lf_readLearned", e.what()));
    }
}

void gf_saveLearned() {
    const std::string code = gf_currentAirportCopy().icao;
    const bool handmade = handmadeLearned.load() != 0;
    const std::string now = gf_timeText(gf_unixTime());
    const std::string timeOfDay = now.size() >= 13 ? now.substr(now.size() - 13, 8) : now;
    AirportPackage record;
    record.icao = code;
    record.name = currentApfHeader.airportName;
    record.publisher = currentApfHeader.publisher;
    record.altitude = currentApfHeader.altitude;
    // Where the read looked for it: the next read merges what is saved now.
    const fs::path file = code.empty() ? fs::path{} : currentApfHeader.learnedPath;

    bool saved = false;
    if (learnedReadFailed.load() != 0) {
        gf_logError(fmt::format("learned file of {} not saved: its stands were not read whole", code));
    } else if (code.empty()) {
        gf_logError("learned file not saved: no park airport");
    } else if (file.empty()) {
        if (gf_learnedFolderOf(record.publisher).empty())
            gf_logError(fmt::format("learned file of {} not saved: publisher {:?} cannot be a folder name", code,
                                    record.publisher));
        else
            gf_logError(fmt::format("learned file of {} not saved: no airport file was read for it", code));
    } else if (gf_refuseReadOnlyFile(file)) {
        // The user keeps this file as it is: nothing is rotated or copied either.
    } else {
        try {
            for (ParkPos& stand : currentStands) {
                if (!handmade) {
                    std::erase_if(stand.options, [](const StandOption& o) { return o.closed == 1; });
                    if (stand.manual == 0 && stand.options.empty() && stand.radiusChanged == 0 &&
                        stand.cargoChanged == 0)
                        continue;
                }
                record.stands.push_back(stand);
                mergeLearnedIdentities(record.stands.back().options);
            }
            if (handmade) {
                const QualityFactors quality = gf_qualityFactor(currentStands);
                record.qfReal = quality.real;
                record.qfSoft = quality.soft;
            }
            fs::create_directories(file.parent_path());
            simFamilyName.set(MSFS_2020.value.load() ? "MSFS" : "MSFS2024");
            if (learnedPartsSkipped && fs::exists(file)) {
                const fs::path copy = asideName(file, "unplaced");
                fs::copy_file(file, copy);
                gf_logError(fmt::format("{} holds stands that could not be placed, kept as \"{}\"", file.string(),
                                        copy.string()));
                learnedPartsSkipped = false;
            }
            // Without its copies the old file is not replaced: a failed backup leaves it as it is.
            if (fs::exists(file)) gf_backupFile(file, BackupNaming::tildeZeros);
            saved = gf_writeApf(record, file, apfLearned);
        } catch (const std::exception& e) {
            gf_logError(fmt::format("{}: {}", "gf_saveLearned", e.what()));
        }
    }
    const std::uint32_t updates = learnedUpdateCount.load();
    const std::string outcome =
        saved ? fmt::format("{}{} \"{}\" saved with {} update{} {}", timeOfDay, handmade ? " handmade" : "",
                            file.string(), updates, updates == 1 ? "" : "s",
                            learnedParamsChanged.load() != 0 ? "and one or more parameter changes" : "")
              : fmt::format("{} saving \"{}\" did not succeed", timeOfDay, file.string());
    // Logged whatever the status line does: the save at closing down comes when status texts are no longer
    // logged, and a held error keeps the text off the status line.
    gf_showStatus(outcome, false);
    gf_log(outcome);
    learnedUpdateCount.store(0);
    learnedParamsChanged.store(0);
}

void gf_leaveLearned() {
    learnedPartsSkipped = false;
    handmadeLearned.store(0);
    learnedReadFailed.store(0);
}
