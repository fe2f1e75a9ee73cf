#include "airports/airport_ui.h"

#include "foundation/log.h"

namespace {
AirportUiHooks uiHooks;
} // namespace

void gf_setAirportUiHooks(AirportUiHooks hooks) { uiHooks = std::move(hooks); }

void gf_apfStatus(std::string_view text, bool log)
{
    if (uiHooks.showStatus)
        uiHooks.showStatus(text, log);
    else if (log && !text.empty())
        gf_log(text);
}

void gf_apfShowIntField(const GuiIntParameter& setting)
{
    if (uiHooks.showIntField)
        uiHooks.showIntField(setting);
}

void gf_apfShowFloatField(const GuiFloatParameter& setting)
{
    if (uiHooks.showFloatField)
        uiHooks.showFloatField(setting);
}

void gf_apfSetCheck(int controlId, bool checked)
{
    if (uiHooks.setCheck)
        uiHooks.setCheck(controlId, checked);
}

void gf_apfEnableControl(int controlId, bool enabled)
{
    if (uiHooks.enableControl)
        uiHooks.enableControl(controlId, enabled);
}

void gf_apfApplyAutoRange(bool autoRangeOn)
{
    if (uiHooks.applyAutoRange)
        uiHooks.applyAutoRange(autoRangeOn);
}

void gf_apfApplyRange()
{
    if (uiHooks.applyRange)
        uiHooks.applyRange();
}

void gf_apfShowFigures(const ApfFigures& figures)
{
    if (uiHooks.showFigures)
        uiHooks.showFigures(figures);
}

void gf_apfEnableFlushStatic()
{
    if (uiHooks.enableFlushStatic)
        uiHooks.enableFlushStatic();
}
