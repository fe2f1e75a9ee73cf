// The window procedure of the main window: control creation, painting, close, the start-run and
// quit messages, the commands of check boxes and buttons, the parking controls and the automatic
// range. The flags the commands raise are in shell/command_flags.h, the control writers in
// shell/fields.h, the range in shell/range.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/ui.h"

class BoolParameter;
class ParameterControl;

// The handler that initInstance gives the window.
ui::WindowHandler& gf_windowHandler();
// What the start-run message does; empty (the default): start a new run thread (gf_startRunThread).
// Tests and tools replace it.
void gf_setStartRunAction(std::function<void()> action);

// Ids of the push buttons (they belong to no setting) and their rows.
inline constexpr int kUnblockButtonId = 32829;
inline constexpr int kRereadButtonId = 32838;
inline constexpr int kFlushStaticButtonId = 32858;

// The settings loader's hooks (foundation/settings.h): a value it reads goes into the setting's control.
// Registered by lf_connectSubsystems (app/entry.h).
void gf_registerSettingsControlHooks();

// ---------------------------------------------------------------------------------------------
// Controls (GUI thread): creates every child control of the settings panel.
void lf_createControls();
// A check box's command when the id is the flag's control: toggles, stores, saves; true when handled.
bool gf_onParameterCheckBox(int controlId, BoolParameter& flag);
// Commands of check boxes and buttons; false for an id that is not one of them.
bool lf_HandleWMCOMMAND(int controlId);

// Parking controls around the planning of static parking, and the PT-only dependants.
void gf_disableParkingControls();
void gf_enableParkingControls();
void gf_enablePtControls();
// After the restart's clean-up released the planning lock (uiBusy) with the engine's lists: the controls the
// lock disabled are enabled again, all but "Flush static", which waits for the next park airport's file.
void gf_releaseParkingControls();
// Asks for a renewal of the static parked aircraft after a parking setting changed.
void gf_requestParkingRenewal();
// Recomputes the traffic radius from the user aircraft's height and the nearest park airport.
void gf_autoRange();

// Test support: window-procedure state back to the start (flags, cached handles).
void gf_resetWindowProc();
