#include "shell/fields.h"

#include <fmt/format.h>

#include <exception>

#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"
#include "platform/os/os.h"
#include "shell/display.h"

namespace {
ui::Window* theWindow() { return mainWindow.window.load(); }
void invalidateSettings() { mainWindow.invalidate(panel::settings); }
}  // namespace

void gf_writeFieldText(int controlId, const std::string& text) {
    ui::Window* w = theWindow();
    if (w == nullptr) return;
    try {
        (void)win32::Utf8ToUtf16(text);
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "field text", e.what()));
        return;
    }
    w->setText(controlId, text);
}

void gf_showIntField(const GuiIntParameter& setting) {
    gf_writeFieldText(setting.controlId, fmt::format("{}", setting.value.load()));
    invalidateSettings();
}

void gf_showFloatField(const GuiFloatParameter& setting) {
    gf_writeFieldText(setting.controlId, gf_floatText(setting.value.load()));
    invalidateSettings();
}

void gf_showTextField(const GuiStringParameter& setting) {
    gf_writeFieldText(setting.controlId, setting.value());
    invalidateSettings();
}

void gf_clearField(int controlId) {
    if (ui::Window* w = theWindow()) w->setText(controlId, {});
}

void gf_setCheck(int controlId, bool checked) {
    if (ui::Window* w = theWindow()) w->setChecked(controlId, checked);
}

void gf_enableControl(int controlId, bool enabled) {
    if (ui::Window* w = theWindow()) w->setEnabled(controlId, enabled);
}

bool gf_controlEnabled(int controlId) {
    ui::Window* w = theWindow();
    return w != nullptr && w->enabled(controlId);
}

std::string gf_controlText(int controlId) {
    ui::Window* w = theWindow();
    return w != nullptr ? w->text(controlId) : std::string();
}
