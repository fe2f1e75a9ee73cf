#pragma once
// What the airport subsystem tells the main window, through hooks that the window registers at start: the
// status line, the settings' controls that a learned file changes, the traffic range, and the figures of the
// park airport's file. Without registered hooks (tests, tools) a status text is only logged and the rest is
// ignored.
//
// Threads: the hooks are registered once before a run starts and called on the run thread.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class GuiIntParameter;
class GuiFloatParameter;

// The figures of the park airport's file that the main window shows.
struct ApfFigures {
    std::uint64_t standCount = 0;
    std::string publisher;
    bool handmade = false;
    std::string qualityText;
    std::int32_t trafficWeek = 0;
};

struct AirportUiHooks {
    std::function<void(std::string_view text, bool log)> showStatus;
    std::function<void(const GuiIntParameter& setting)> showIntField;
    std::function<void(const GuiFloatParameter& setting)> showFloatField;
    std::function<void(int controlId, bool checked)> setCheck;
    std::function<void(int controlId, bool enabled)> enableControl;
    // AUTO_RANGE was switched by a learned file: the traffic range follows it (automatic range on; or the
    // hand-set range again, applied, when off) and the LATERAL_RANGE field shows it.
    std::function<void(bool autoRangeOn)> applyAutoRange;
    // LATERAL_RANGE was set by a learned file: the traffic radius follows it.
    std::function<void()> applyRange;
    std::function<void(const ApfFigures& figures)> showFigures;
    // "Flush static" may be used: a park airport's file has been read.
    std::function<void()> enableFlushStatic;
};

void gf_setAirportUiHooks(AirportUiHooks hooks);

// Callers of the hooks (each does nothing when its hook is not set; gf_apfStatus logs then when asked).
void gf_apfStatus(std::string_view text, bool log);
void gf_apfShowIntField(const GuiIntParameter& setting);
void gf_apfShowFloatField(const GuiFloatParameter& setting);
void gf_apfSetCheck(int controlId, bool checked);
void gf_apfEnableControl(int controlId, bool enabled);
void gf_apfApplyAutoRange(bool autoRangeOn);
void gf_apfApplyRange();
void gf_apfShowFigures(const ApfFigures& figures);
void gf_apfEnableFlushStatic();
