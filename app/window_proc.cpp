#include "app/window_proc.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "airports/park_list.h"
#include "airports/parking.h"
#include "app/edit_fields.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/run_life_cycle.h"
#include "app/run_services.h"
#include "feed/feed_intake.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"
#include "foundation/time_text.h"
#include "foundation/version.h"
#include "platform/os/os.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "simlink/commands.h"

namespace {

std::mutex startRunMutex;
std::function<void()> startRunAction;  // empty: the run life cycle's own

ui::Window* theWindow() { return mainWindow.window.load(); }

void invalidateSettings() { mainWindow.invalidate(panel::settings); }

// --- control creation ---------------------------------------------------------------------------

void gf_createParameterCheckBox(BoolParameter& flag, int x) {
    ui::Window* w = theWindow();
    if (w == nullptr) return;
    const int y = static_cast<int>(flag.rowY) + 2;
    w->addControl(ui::ControlKind::checkBox, flag.controlId, ui::Rect{x, y, x + 12, y + 12}, {}, true);
    w->setChecked(flag.controlId, flag.value.load());
    flag.hwnd.store(w);
}

void gf_createParameterButton(int id, int row, const std::string& caption, int x, int width) {
    ui::Window* w = theWindow();
    if (w == nullptr) return;
    w->addControl(ui::ControlKind::pushButton, id, ui::Rect{x, row, x + width, row + 20}, caption, false);
}

void gf_createParameterEdit(ParameterControl& field, int x, int width) {
    ui::Window* w = theWindow();
    if (w == nullptr) return;
    const int y = static_cast<int>(field.rowY);
    w->addControl(ui::ControlKind::editField, field.controlId, ui::Rect{x, y, x + width, y + 16}, {}, false);
    field.hwnd.store(w);
}

// How the settings loader shows a value in its control (registered by gf_registerSettingsControlHooks); before
// the window exists they change nothing.
void hookSetCheck(const ParameterControl& c, bool checked) { gf_setCheck(c.controlId, checked); }
void hookShowInt(const ParameterControl& c, std::int32_t n) {
    gf_writeFieldText(c.controlId, fmt::format("{}", n));
    invalidateSettings();
}
void hookShowText(const ParameterControl& c, const std::string& text) {
    gf_writeFieldText(c.controlId, text);
    invalidateSettings();
}

// --- window procedure ---------------------------------------------------------------------------

void onQuitMessage() {
    ui::Window* w = theWindow();
    if (w != nullptr) {
        const ui::Rect frame = w->frame();
        const std::int32_t previousX = MAIN_WINDOW_X.value.load();
        const std::int32_t previousY = MAIN_WINDOW_Y.value.load();
        MAIN_WINDOW_X.save(MAIN_WINDOW_X.clamp(frame.left));
        MAIN_WINDOW_Y.save(MAIN_WINDOW_Y.clamp(frame.top));
        gf_storeWindowPosition(previousX, previousY);
    }
    if (gf_logIsOpen()) gf_log(gf_timeText(gf_unixTime()));
    gf_closeLog();
    if (w != nullptr) w->quit(0);
}

class MainWindowProc final : public ui::WindowHandler {
public:
    void onCreate() override { lf_createControls(); }
    void onPaint(ui::Painter& p) override { lf_paintMainWindow(p); }
    void onClose() override {
        gf_showStatus(fmt::format("Close window button clicked, closing {} ...", programShortName), false);
        gf_requestUserClose();
    }
    void onCommand(int controlId) override {
        try {
            lf_HandleWMCOMMAND(controlId);
        } catch (const std::exception& e) {
            gf_logError(fmt::format("{} exception {}", "lf_HandleWMCOMMAND", e.what()));
        }
    }
    void onEditEnter(int controlId) override {
        try {
            gf_commitField(controlId);
        } catch (const std::exception& e) {
            gf_logError(fmt::format("{} exception {}", "gf_commitField", e.what()));
        }
    }
    // Edit fields and check boxes take the ground of the settings panel.
    std::optional<ui::Color> controlBackground() const override { return windowPaint.panelBrush; }
    void onMessage(unsigned message, std::intptr_t) override {
        if (message == kMsgStartRun) {
            std::function<void()> action;
            {
                std::lock_guard lock(startRunMutex);
                action = startRunAction;
            }
            if (action)
                action();
            else
                gf_startRunThread();
        } else if (message == kMsgQuit) {
            onQuitMessage();
        } else if (message == kMsgClose) {
            onClose();
        }
    }
};

}  // namespace

ui::WindowHandler& gf_windowHandler() {
    static MainWindowProc proc;
    return proc;
}

void gf_setStartRunAction(std::function<void()> action) {
    std::lock_guard lock(startRunMutex);
    startRunAction = std::move(action);
}

void gf_registerSettingsControlHooks() {
    gf_setSettingsControlHooks(SettingsControlHooks{&hookSetCheck, &hookShowInt, &hookShowText});
}

void lf_createControls() {
    gf_createParameterCheckBox(MSFS_2020, 5);
    gf_createParameterEdit(ALL_INSTALL_PATH, 111, 1200);
    gf_createParameterCheckBox(SCAN_LIVERIES, 5);
    gf_createParameterCheckBox(LIG_AUTOMATIC, 217);
    gf_createParameterEdit(AI_PACKAGE_ORDER, 368, 24);
    gf_createParameterCheckBox(LIG_PRIORITIZE, 430);
    gf_createParameterCheckBox(SUPPRESS_STUB, 536);
    gf_createParameterCheckBox(LOG, 652);
    gf_createParameterCheckBox(ALWAYS_ON_TOP, 748);
    gf_createParameterCheckBox(SCAN_AIRPORTS, 5);
    gf_createParameterCheckBox(NAV_LIGHTS_WHILE_PARKED, 652);
    gf_createParameterCheckBox(LEARN_SOFT, 748);
    gf_createParameterEdit(MATCHING_DEPTH, 217, 24);
    gf_createParameterCheckBox(LIGHT_AIRCRAFT, 323);
    gf_createParameterCheckBox(HELICOPTERS, 430);
    gf_createParameterCheckBox(HIGH_PERF_AIRCRAFT, 536);
    gf_createParameterCheckBox(GUID_CHANGES, 748);
    gf_createParameterEdit(LATERAL_RANGE, 217, 34);
    gf_createParameterCheckBox(AUTO_RANGE, 323);
    gf_createParameterEdit(AUTO_RANGE_ABOVE_HEIGHT, 455, 50);
    gf_createParameterCheckBox(CALLSIGN_OBJECTIDS, 652);
    gf_createParameterEdit(TIME_SHIFT_DAYS, 748, 30);
    gf_createParameterCheckBox(COLLISION_USER_GND, 217);
    gf_createParameterCheckBox(COLLISION_USER_AIR, 323);
    gf_createParameterCheckBox(COLLISION_LIVE_PARKED_GND, 430);
    gf_createParameterCheckBox(SIM_TIME, 652);
    gf_createParameterEdit(TIME_SHIFT_HOURS, 748, 30);
    gf_createParameterEdit(BLOCK_CALLSIGN, 217, 100);
    gf_createParameterButton(kUnblockButtonId, 257, "Unblock", 323, 70);
    gf_createParameterEdit(CALLSIGN_2_OBJECTID, 460, 95);
    gf_createParameterCheckBox(KEEP_SIM_TIME_PAR, 652);
    gf_createParameterEdit(TIME_SHIFT_MINS, 748, 30);
    gf_createParameterEdit(CUSTOM_MAX_PARK, 353, 34);
    gf_createParameterEdit(MAX_LIVE, 601, 34);
    gf_createParameterEdit(DESTINATION, 217, 50);
    gf_createParameterEdit(AIRPORT_RANGE, 353, 34);
    gf_createParameterEdit(AIRPORT_HEIGHT, 566, 50);
    gf_createParameterCheckBox(STRAIGHT_PBS_ONLY, 652);
    gf_createParameterCheckBox(PARK_FAKE, 5);
    gf_createParameterCheckBox(WEEK, 71);
    gf_createParameterCheckBox(PARK_SOFT, 151);
    gf_createParameterEdit(parking_percentage, 323, 34);
    gf_createParameterCheckBox(INITIAL_LOAD_ONLY, 430);
    gf_createParameterEdit(MAX_FIT_FL, 566, 34);
    gf_createParameterCheckBox(RT_PARKTRAFFIC_ONLY, 642);
    gf_createParameterButton(kRereadButtonId, 341, "Re-read", 758, 90);
    gf_createParameterButton(kFlushStaticButtonId, 369, "Flush static", 758, 90);
    invalidateSettings();
}

bool gf_onParameterCheckBox(int controlId, BoolParameter& flag) {
    if (controlId != flag.controlId) return false;
    ui::Window* w = theWindow();
    const bool wasChecked = w != nullptr ? w->checked(controlId) : flag.value.load();
    gf_setCheck(controlId, !wasChecked);
    flag.value.store(!wasChecked);
    flag.save();
    return true;
}

// --- parking controls ---------------------------------------------------------------------------

void gf_enablePtControls() {
    const bool on = !RT_PARKTRAFFIC_ONLY.value.load();
    for (int id : {static_cast<int>(parking_percentage.controlId), static_cast<int>(MAX_FIT_FL.controlId),
                   static_cast<int>(INITIAL_LOAD_ONLY.controlId), static_cast<int>(PARK_SOFT.controlId),
                   static_cast<int>(PARK_FAKE.controlId), static_cast<int>(WEEK.controlId)})
        gf_enableControl(id, on);
    gf_showIntField(parking_percentage);
    gf_showFloatField(MAX_FIT_FL);
    invalidateSettings();
}

void gf_disableParkingControls() {
    uiBusy.exchange(1);
    for (int id : {static_cast<int>(parking_percentage.controlId), static_cast<int>(INITIAL_LOAD_ONLY.controlId),
                   static_cast<int>(PARK_FAKE.controlId), static_cast<int>(PARK_SOFT.controlId),
                   static_cast<int>(CUSTOM_MAX_PARK.controlId), static_cast<int>(RT_PARKTRAFFIC_ONLY.controlId),
                   static_cast<int>(MAX_FIT_FL.controlId), static_cast<int>(WEEK.controlId), kFlushStaticButtonId,
                   kRereadButtonId})
        gf_enableControl(id, false);
    gf_clearStatus();
    invalidateSettings();
}

void gf_enableParkingControls() {
    uiBusy.exchange(0);
    mainWindow.minutesToRenewal.store(19);
    gf_enableControl(CUSTOM_MAX_PARK.controlId, true);
    gf_enableControl(RT_PARKTRAFFIC_ONLY.controlId, true);
    gf_enablePtControls();
    gf_enableControl(kFlushStaticButtonId, true);
    gf_enableControl(kRereadButtonId, true);
    gf_clearStatus();
    invalidateSettings();
}

void gf_releaseParkingControls() {
    gf_enableParkingControls();
    gf_enableControl(kFlushStaticButtonId, false);
}

void gf_requestParkingRenewal() {
    if (parkingActive.load() == 0) return;
    airportFileChanged = 1;
    if (!INITIAL_LOAD_ONLY.value.load()) {
        const std::uint32_t c = secondCounter.load();
        const std::uint32_t seconds = (c / 15 + 1) * 15 - c;
        const auto n = static_cast<std::int32_t>(seconds);
        gf_showStatus(fmt::format("{} will respond in {} second{} ...", programShortName, n, gf_pluralLetter(n)),
                      false);
        renewalRequested.exchange(1);
    } else {
        gf_clearStatus();
    }
}

// --- range --------------------------------------------------------------------------------------

void gf_autoRange() {
    std::int32_t radius = 40;
    if (userOnGround.load() != 0) {
        radius = 10;
    } else {
        const double altitude = userState.altitude;
        if (altitude > AUTO_RANGE_ABOVE_HEIGHT.value.load()) {
            radius = 100;
        } else if (altitude > AIRPORT_HEIGHT.value.load()) {
            radius = 40;
        } else {
            double d = 10000.0;
            // The run thread re-sorts the list: measure to a copy of its first entry.
            if (std::optional<ParkAirportEntry> first = gf_firstParkAirport())
                d = gf_distanceNm(LatLon{userState.latitude, userState.longitude},
                                  LatLon{first->latitude, first->longitude});
            if (d <= 7.0)
                radius = 10;
            else if (d < 37.0)
                radius = static_cast<std::int32_t>(std::lround(d)) + 3;
            else
                radius = 40;
        }
    }
    // The window may have switched AUTO_RANGE off and restored the manual range since the caller looked:
    // the radius is written only while AUTO_RANGE is still on, checked under the range lock.
    bool changed = false;
    if (gf_setAutoRange(radius, changed) && changed) gf_runServices().setQueryBox();
}

void gf_resetWindowProc() {
    gf_resetCommandFlags();
    gf_resetRange(LATERAL_RANGE.defaultValue);
    gf_setStartRunAction({});
}
