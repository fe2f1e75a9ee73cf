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
