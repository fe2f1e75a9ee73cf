#include "app/window_proc.h"

#include "app/main_window.h"

namespace {

class MainWindowProc final : public ui::WindowHandler {
 public:
  void onPaint(ui::Painter& p) override { lf_paintMainWindow(p); }
  void onMessage(unsigned message, std::intptr_t) override {
    if (message == kMsgQuit) {
      if (ui::Window* w = mainWindow.window.load()) w->quit(0);
    }
  }
};

}  // namespace

ui::WindowHandler& gf_windowHandler() {
  static MainWindowProc proc;
  return proc;
}

std::atomic<std::uint8_t> flushStaticRequested{0};
std::atomic<std::uint8_t> reReadRequested{0};
std::atomic<std::uint8_t> renewalRequested{0};
std::atomic<std::uint8_t> renewalPtOnly{0};
std::atomic<std::uint8_t> uiBusy{0};
std::atomic<std::uint8_t> simNotYetOpened{1};
std::atomic<std::int32_t> manualLateralRange{40};
std::atomic<double> rangeNm{40.0};
std::atomic<std::int32_t> rangeMetres{40 * 1852};

// Being completed: the least behaviour until the settings objects are there.
void lf_createControls() {}
bool gf_onParameterCheckBox(int, BoolParameter&) { return false; }
bool lf_HandleWMCOMMAND(int) { return false; }
void gf_showIntField(const GuiIntParameter&) {}
void gf_showFloatField(const GuiFloatParameter&) {}
void gf_showTextField(const GuiStringParameter&) {}
void gf_clearField(int controlId) {
  if (ui::Window* w = mainWindow.window.load()) w->setText(controlId, {});
}
void gf_setCheck(int controlId, bool checked) {
  if (ui::Window* w = mainWindow.window.load()) w->setChecked(controlId, checked);
}
void gf_enableControl(int controlId, bool enabled) {
  if (ui::Window* w = mainWindow.window.load()) w->setEnabled(controlId, enabled);
}
bool gf_controlEnabled(int controlId) {
  ui::Window* w = mainWindow.window.load();
  return w != nullptr && w->enabled(controlId);
}
std::string gf_controlText(int controlId) {
  ui::Window* w = mainWindow.window.load();
  return w != nullptr ? w->text(controlId) : std::string();
}
void gf_disableParkingControls() { uiBusy.exchange(1); }
void gf_enableParkingControls() { uiBusy.exchange(0); }
void gf_enablePtControls() {}
void gf_requestParkingRenewal() {}
void gf_autoRange() {}
void gf_readerStopped(const std::string&, bool) {}
void gf_simDisconnected() {}
void gf_removeFilesIn(const std::filesystem::path&) {}
void gf_setFeedSnapshotFlag(bool) {}
void gf_resetWindowProc() {}
