#include "app/edit_fields.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "airports/airports.h"
#include "airports/parking.h"
#include "app/main_loop.h"
#include "app/window_proc.h"
#include "app/window_requests.h"
#include "feed/web_api.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "foundation/version.h"
#include "platform/os/os.h"
#include "shell/fields.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int32_t kMaxTimeShiftMinutes = 40320;  // 4 weeks
constexpr std::size_t kMaxFieldCharacters = 1023;
constexpr float kMaxFitMinHours = 0.5f;
constexpr float kMaxFitMaxHours = 24.0f;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Characters (code points) of a valid UTF-8 text.
std::size_t characterCount(std::string_view utf8) {
    return static_cast<std::size_t>(
        std::count_if(utf8.begin(), utf8.end(), [](char c) { return !isContinuationByte(c); }));
}

// Upper case of the ASCII letters; other characters stay as they are.
std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool isTimeShiftField(const GuiIntParameter& f) {
    return &f == &TIME_SHIFT_DAYS || &f == &TIME_SHIFT_HOURS || &f == &TIME_SHIFT_MINS;
}

GuiIntParameter* const numberFields[] = {&AI_PACKAGE_ORDER,        &LATERAL_RANGE,    &MATCHING_DEPTH,
                                         &parking_percentage,      &AIRPORT_RANGE,    &AIRPORT_HEIGHT,
                                         &AUTO_RANGE_ABOVE_HEIGHT, &CUSTOM_MAX_PARK,  &MAX_LIVE,
                                         &TIME_SHIFT_DAYS,         &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS};

// --- number fields ------------------------------------------------------------------------------

void numberFollowUp(GuiIntParameter& field, std::int32_t previous) {
    if (&field == &CUSTOM_MAX_PARK || &field == &parking_percentage) {
        gf_requestParkingRenewal();
    } else if (&field == &LATERAL_RANGE) {
        airportFileChanged.store(1);
        gf_setRange(LATERAL_RANGE.value.load());
        manualLateralRange.store(LATERAL_RANGE.value.load());
    } else if (&field == &MAX_LIVE) {
        if (parkingActive.load() != 0)
            airportFileChanged.store(1);
        else
            generalMaxLive.store(MAX_LIVE.value.load());
        gf_requestEnforceMaxLive();
    } else if (&field == &MATCHING_DEPTH) {
        if (MATCHING_DEPTH.value.load() > previous) matchListClearRequested.exchange(1);
    } else if (isTimeShiftField(field)) {
        gf_setTimeShift((TIME_SHIFT_DAYS.value.load() * 24 + TIME_SHIFT_HOURS.value.load()) * 60 +
                            TIME_SHIFT_MINS.value.load(),
                        false);
    }
}

void commitNumberField(GuiIntParameter& field) {
    gf_clearStatus();
    const std::int32_t previous = field.value.load();
    if (lf_processTbInt(field)) numberFollowUp(field, previous);
}

// MAX_FIT_FL is taken only while static parking runs at a park airport.
void commitMaxFitField() {
    gf_clearStatus();
    if (parkingActive.load() == 0) return;
    if (lf_processTbFloat(MAX_FIT_FL)) gf_requestParkingRenewal();
}

// --- text fields --------------------------------------------------------------------------------

void commitBlockCallsign(const std::string& text) {
    if (text.empty()) {
        if (!BLOCK_CALLSIGN.value().empty()) gf_unblockCallsign();
        return;
    }
    const std::size_t length = characterCount(text);
    if (length < 4 || length > 8) {
        gf_showStatus(fmt::format("callsign \"{}\" is not valid", text), true);
        gf_showTextField(BLOCK_CALLSIGN);
        return;
    }
    const std::string callsign = upperAscii(text);
    if (callsign == BLOCK_CALLSIGN.value()) {
        gf_showStatus(fmt::format("callsign \"{}\" was already set ...", callsign), true);
        gf_showTextField(BLOCK_CALLSIGN);
        return;
    }
    BLOCK_CALLSIGN.save(callsign);
    gf_showTextField(BLOCK_CALLSIGN);
    gf_enableControl(kUnblockButtonId, true);
    gf_showStatus(fmt::format("live aircraft with callsign \"{}\" will be blocked", callsign), true);
    blockedCallsignChanged.exchange(1);
}

void commitObjectIdCallsign(const std::string& text) {
    if (text.empty()) {
        if (!CALLSIGN_2_OBJECTID.value().empty()) {
            CALLSIGN_2_OBJECTID.set(std::string());
            gf_showTextField(CALLSIGN_2_OBJECTID);
        }
        return;
    }
    CALLSIGN_2_OBJECTID.set(upperAscii(text));
    gf_showTextField(CALLSIGN_2_OBJECTID);
    objectIdCallsignChanged.exchange(1);
}

void commitDestination(const std::string& text) {
    if (text.empty()) {
        DESTINATION.set(std::string());
        gf_enableControl(kRereadButtonId, true);
        gf_showStatus("destination set to empty", true);
        return;
    }
    if (characterCount(text) != 4) {
        gf_showStatus(fmt::format("destination \"{}\" is not valid", text), true);
        return;
    }
    const std::string code = upperAscii(text);
    if (code == DESTINATION.value()) {
        gf_showStatus(fmt::format("destination \"{}\" was already set ...", code), true);
        return;
    }
    if (const std::optional<Airport> airport = gf_findAirport(code)) {
        gf_setDestination(code, airport->latitude, airport->longitude);
        return;
    }
    gf_showStatus(fmt::format("destination \"{}\" is unknown ...", code), true);
    gf_showTextField(DESTINATION);
}

void commitInstallPath(const std::string& text) {
    lf_newSimPath(MSFS_2020.value.load() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH, text);
}

// A text commit that fails is reported at its field; the window goes on.
template <typename Commit>
void commitTextField(const GuiStringParameter& field, Commit commit) {
    gf_clearStatus();
    try {
        commit(gf_readFieldText(field.controlId));
    } catch (const std::exception& e) {
        const std::string message = fmt::format("{}: {}", field.name, e.what());
        gf_logError(message);
        gf_showStatus(message, false);
    }
}

}  // namespace

bool gf_commitField(int controlId) {
    for (GuiIntParameter* field : numberFields) {
        if (field->controlId == controlId) {
            commitNumberField(*field);
            return true;
        }
    }
    if (controlId == MAX_FIT_FL.controlId) {
        commitMaxFitField();
    } else if (controlId == CALLSIGN_2_OBJECTID.controlId) {
        commitTextField(CALLSIGN_2_OBJECTID, commitObjectIdCallsign);
    } else if (controlId == BLOCK_CALLSIGN.controlId) {
        commitTextField(BLOCK_CALLSIGN, commitBlockCallsign);
    } else if (controlId == ALL_INSTALL_PATH.controlId) {
        commitTextField(ALL_INSTALL_PATH, commitInstallPath);
    } else if (controlId == DESTINATION.controlId) {
        commitTextField(DESTINATION, commitDestination);
    } else {
        return false;
    }
    return true;
}

std::string gf_readFieldText(int controlId) {
    std::string text = gf_controlText(controlId);
    (void)win32::Utf8ToUtf16(text);  // a text that is not UTF-8 throws the conversion error
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isContinuationByte(text[i])) continue;
        if (++characters > kMaxFieldCharacters) {
            text.resize(i);
            break;
        }
    }
    return text;
}

bool lf_processTbInt(GuiIntParameter& setting) {
    std::string text;
    try {
        text = gf_readFieldText(setting.controlId);
        const bool kept = &setting == &parking_percentage || isTimeShiftField(setting);  // not saved here
        bool changed = true;
        if (text.empty()) {
            if (&setting == &parking_percentage)
                setting.value.store(0);
            else
                setting.save(setting.clamp(setting.defaultValue));
        } else {
            // Leading blanks and a sign are taken; the number ends at the first character that is no digit.
            const std::int32_t number = std::stoi(text);
            if (number == setting.value.load()) {
                gf_showStatus(fmt::format("Same {} value {}, no changes made", setting.name, number), true);
                changed = false;
            } else if (kept) {
                setting.value.store(setting.clamp(number));
            } else {
                setting.save(setting.clamp(number));
            }
        }
        if (changed) gf_showStatus(fmt::format("The new {} is {}", setting.name, setting.value.load()), false);
        gf_showIntField(setting);
        return changed;
    } catch (const std::invalid_argument&) {
        gf_showStatus(fmt::format("invalid input: {}", text), true);
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}, h={}", "lf_processTbInt", e.what(), text));
    }
    return false;
}

bool lf_processTbFloat(GuiFloatParameter& setting) {
    std::string text;
    try {
        text = gf_readFieldText(setting.controlId);
        bool changed = true;
        if (text.empty()) {
            setting.value.store(std::clamp(setting.defaultValue, setting.min, setting.max));
            MAX_FIT.save(MAX_FIT.clamp(MAX_FIT.defaultValue));
        } else {
            const float number = std::stof(text);
            // "nan" and "inf" convert, but no number of hours is meant by them.
            if (!std::isfinite(number)) throw std::invalid_argument("not a finite number");
            if (number == setting.value.load()) {
                gf_showStatus(fmt::format("Same {} value {}, no changes made", setting.name, number), true);
                changed = false;
            } else {
                const float hours = std::clamp(number, kMaxFitMinHours, kMaxFitMaxHours);
                MAX_FIT.save(MAX_FIT.clamp(gf_maxFitFromHours(hours)));
                setting.value.store(std::clamp(gf_maxFitHours(MAX_FIT.value.load()), kMaxFitMinHours, kMaxFitMaxHours));
            }
        }
        if (changed) gf_showStatus(fmt::format("The new {} is {:.1F}", setting.name, setting.value.load()), false);
        gf_showFloatField(setting);
        return changed;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}, h={}", "lf_processTbFloat", e.what(), text));
    }
    return false;
}

// --- time shift ---------------------------------------------------------------------------------

void gf_setTimeShift(std::int32_t minutes, bool quiet) {
    minutes = std::max(minutes, 0);
    timeShifted.store(minutes > 0 ? 1 : 0);
    if (minutes > kMaxTimeShiftMinutes) {
        minutes = kMaxTimeShiftMinutes;
        gf_log("Time shifting is limited to 4 weeks");
    }
    gf_splitTimeShift(minutes);
    weatherReader.toffset.store(minutes);
    trafficReader.toffset.store(minutes);
    if (minutes == 0) {
        gf_showStatus("Time shift = 0", true);
        for (const GuiIntParameter* field : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS})
            gf_clearField(field->controlId);
    } else if (!quiet) {
        gf_showStatus(fmt::format("Time shifted {} minute{}", minutes, gf_pluralLetter(minutes)), true);
    }
    if (quiet) return;
    gf_requestTimeShiftRemovals();
}

void gf_splitTimeShift(std::int32_t minutes) {
    const std::int32_t days = minutes / 1440;
    const std::int32_t hours = (minutes - days * 1440) / 60;
    const std::int32_t mins = minutes % 60;
    for (auto [field, value] :
         {std::pair{&TIME_SHIFT_DAYS, days}, std::pair{&TIME_SHIFT_HOURS, hours}, std::pair{&TIME_SHIFT_MINS, mins}}) {
        field->save(field->clamp(value));
        gf_showIntField(*field);
    }
}

// --- install path -------------------------------------------------------------------------------

void lf_newSimPath(StringParameter& installPath, const std::string& text) {
    gf_clearHeldError();
    if (text.empty()) {
        if (!installPath.value().empty()) installPath.setAndSave(std::string());
        return;
    }
    const fs::path typed(text);
    std::error_code error;
    const fs::file_status status = fs::status(typed, error);
    if (error && error != std::errc::no_such_file_or_directory) throw fs::filesystem_error("exists", typed, error);
    if (!fs::exists(status)) {
        gf_showStatus(fmt::format("This install path does not exist: {}", text), true);
        return;
    }
    // Without a trailing separator the last element is the folder's own name.
    fs::path folder = typed.lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    if (folder.filename() == "Community") {
        // The parent of the last element named "Community": a "Community" inside an earlier element's
        // name (".../Community Games/...") is not it.
        const fs::path install = folder.parent_path();
        if (!fs::exists(install / "Community", error)) throw std::runtime_error("lf_newSimPath");
        installPath.setAndSave(install.string());
        gf_restartForNewPath();
        return;
    }
    if (fs::exists(folder / "Community", error)) {
        installPath.setAndSave(folder.string());
        gf_restartForNewPath();
        return;
    }
    gf_showStatus("This path exists but is not a path to Community ...", true);
}

void gf_restartForNewPath() {
    gf_showStatus(fmt::format("Community path found, {} will restart ...", programShortName), true);
    gf_requestStop(EXIT_NEW_SETTINGS, 3);
}

// --- callsign and destination -------------------------------------------------------------------

void gf_unblockCallsign() {
    const std::string blocked = BLOCK_CALLSIGN.value();
    if (blocked.empty()) return;
    BLOCK_CALLSIGN.save(std::string());
    gf_showTextField(BLOCK_CALLSIGN);
    gf_enableControl(kUnblockButtonId, false);
    gf_showStatus(fmt::format("no more blocking of live aircraft \"{}\"", blocked), true);
    blockedCallsignChanged.exchange(1);
}

void gf_setDestination(const std::string& icao, double latitude, double longitude) {
    DESTINATION.save(icao);
    gf_showTextField(DESTINATION);
    gf_showStatus(fmt::format("New destination: {}", icao), true);
    gf_requestParkAirport(icao, latitude, longitude);
    gf_enableControl(kRereadButtonId, false);
}
