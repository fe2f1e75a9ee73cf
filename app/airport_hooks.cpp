#include "app/airport_hooks.h"

#include <string>

#include "airports/airport_ui.h"
#include "app/main_window.h"
#include "app/run_preparation.h"
#include "app/status_line.h"
#include "app/window_proc.h"
#include "foundation/settings.h"

void gf_registerAirportHooks()
{
    AirportUiHooks hooks;
    hooks.showStatus = [](std::string_view text, bool log) { gf_showStatus(text, log); };
    hooks.showIntField = [](const GuiIntParameter& setting) { gf_showIntField(setting); };
    hooks.showFloatField = [](const GuiFloatParameter& setting) { gf_showFloatField(setting); };
    hooks.setCheck = [](int controlId, bool checked) { gf_setCheck(controlId, checked); };
    hooks.enableControl = [](int controlId, bool enabled) { gf_enableControl(controlId, enabled); };
    hooks.applyRange = [] { gf_setRange(LATERAL_RANGE.value.load()); };
    hooks.applyAutoRange = [](bool on) {
        if (on) {
            manualLateralRange.store(LATERAL_RANGE.value.load());
            gf_autoRange();
            gf_enableControl(LATERAL_RANGE.controlId, false);
        } else {
            gf_enableControl(LATERAL_RANGE.controlId, true);
            gf_setRange(manualLateralRange.load());
            gf_clearStatus();
        }
        gf_showIntField(LATERAL_RANGE);
    };
    hooks.showFigures = [](const ApfFigures& figures) {
        mainWindow.standCount.store(figures.standCount);
        mainWindow.airportSourceText.set(figures.publisher);
        mainWindow.airportFileMark.store(figures.handmade);
        mainWindow.qualityText.set(figures.qualityText);
        mainWindow.trafficWeek.store(figures.trafficWeek);
        mainWindow.invalidate(panel::statistics);
    };
    hooks.enableFlushStatic = [] { gf_enableControl(kFlushStaticButtonId, true); };
    gf_setAirportUiHooks(std::move(hooks));
}
