// The window procedure of the main window: control creation, painting, close, the start-run and
// quit messages and the commands of check boxes and buttons. Also the small services that other
// subsystems call to write a setting into its control and to stop a run, and the shared flags that
// the commands set.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/ui/ui.h"

class BoolParameter;
class GuiIntParameter;
class GuiFloatParameter;
class GuiStringParameter;
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

// ---------------------------------------------------------------------------------------------
// Shared flags that the commands set or read (served by the per-second step and the run).
extern std::atomic<std::uint8_t> flushStaticRequested;  // "Flush static": take all static aircraft out
extern std::atomic<std::uint8_t> reReadRequested;       // "Re-read": re-read the park-airport list
extern std::atomic<std::uint8_t> renewalRequested;      // renew the static parked aircraft
extern std::atomic<std::uint8_t> renewalPtOnly;         // RT_PARKTRAFFIC_ONLY for the renewal
extern std::atomic<std::uint8_t> uiBusy;                // the parking controls are locked for planning
// 1 from program start and after each run reset until the run's simulator connection opens.
extern std::atomic<std::uint8_t> simNotYetOpened;
// The last LATERAL_RANGE typed or kept while automatic range was off.
extern std::atomic<std::int32_t> manualLateralRange;
// Traffic radius in nautical miles, and in metres plus 10000 (scan radius of the objects request).
extern std::atomic<double> rangeNm;
extern std::atomic<std::int32_t> rangeMetres;

// ---------------------------------------------------------------------------------------------
// Controls (GUI thread): creates every child control of the settings panel.
void lf_createControls();
// A check box's command when the id is the flag's control: toggles, stores, saves; true when handled.
bool gf_onParameterCheckBox(int controlId, BoolParameter& flag);
// Commands of check boxes and buttons; false for an id that is not one of them.
bool lf_HandleWMCOMMAND(int controlId);

// Field writers (any thread): the setting's current value into its control, then repaint.
void gf_showIntField(const GuiIntParameter& setting);
void gf_showFloatField(const GuiFloatParameter& setting);
void gf_showTextField(const GuiStringParameter& setting);
void gf_clearField(int controlId);

// Control state from any thread (no effect before the window exists).
void gf_setCheck(int controlId, bool checked);
void gf_enableControl(int controlId, bool enabled);
bool gf_controlEnabled(int controlId);
std::string gf_controlText(int controlId);

// Parking controls around the planning of static parking, and the PT-only dependants.
void gf_disableParkingControls();
void gf_enableParkingControls();
void gf_enablePtControls();
// Asks for a renewal of the static parked aircraft after a parking setting changed.
void gf_requestParkingRenewal();
// Recomputes the traffic radius from the user aircraft's height and the nearest park airport.
void gf_autoRange();

// A feed reader ended with an error: note it and stop the run (restart after 15 s when restartable).
void gf_readerStopped(const std::string& readerName, bool restartable);
// The simulator connection is gone: stop the run unless a stop is pending.
void gf_simDisconnected();
// Removes every entry of the folder; ovk::UserErrorException 5 on failure.
void gf_removeFilesIn(const std::filesystem::path& folder);
// feedIntakeOpen under the feed mutex.
void gf_setFeedSnapshotFlag(bool open);

// Test support: window-procedure state back to the start (flags, cached handles).
void gf_resetWindowProc();
