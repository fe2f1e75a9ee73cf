// The settings' controls as every subsystem writes and reads them: a setting's current value into
// its control, check and enable states, and a control's text. Any thread; without a window (before
// it is created, headless tools) nothing happens and the readers give false or "".
#pragma once

#include <string>

class GuiIntParameter;
class GuiFloatParameter;
class GuiStringParameter;

// Field writers: the setting's current value into its control, then repaint the settings panel.
void gf_showIntField(const GuiIntParameter& setting);
void gf_showFloatField(const GuiFloatParameter& setting);
void gf_showTextField(const GuiStringParameter& setting);
void gf_clearField(int controlId);
// The text goes into the control only when it is valid UTF-8 (else logged); no repaint.
void gf_writeFieldText(int controlId, const std::string& text);

// Control state.
void gf_setCheck(int controlId, bool checked);
void gf_enableControl(int controlId, bool enabled);
bool gf_controlEnabled(int controlId);
std::string gf_controlText(int controlId);
