#include "app/main_window.h"

#include <chrono>
#include <thread>
#include <utility>

#include "app/status_line.h"
#include "app/window_proc.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"

MainWindow mainWindow;

namespace {
std::unique_ptr<ui::Window> windowHolder;
}  // namespace

void DisplayText::set(std::string text) {
  std::lock_guard lock(mutex_);
  text_ = std::move(text);
}

std::string DisplayText::get() const {
  std::lock_guard lock(mutex_);
  return text_;
}

bool DisplayText::empty() const {
  std::lock_guard lock(mutex_);
  return text_.empty();
}

MainWindow::MainWindow() {
  separatorLines = {{{0, 140, 880, 140},
                     {0, 168, 642, 168},
                     {0, 196, 642, 196},
                     {0, 224, 880, 224},
                     {0, 252, 642, 252},
                     {0, 280, 642, 280},
                     {0, 308, 880, 308}}};
  ready.exchange(true);
}

MainWindow::~MainWindow() = default;

void MainWindow::invalidate() {
  if (ui::Window* w = window.load()) w->invalidate();
}

void MainWindow::invalidate(const ui::Rect& r) {
  if (ui::Window* w = window.load()) w->invalidate(r);
}

void MainWindow::resetRunFields() {
  {
    std::lock_guard lock(statusMutex);
    statusText.clear();
    heldErrorText.clear();
    secondsCounter = 0;
    shownAt = 0;
  }
  for (DisplayText* t : {&userAircraftText, &airportSourceText, &airportFileText, &qualityText, &simulatorText,
                         &feedText, &userStandText, &objectIdText})
    t->clear();
  staticParkFigure = -1.0f;
  liveParkFigure = -1.0f;
  for (auto* c : {&liveCount, &simaddonAirportCount, &thirdpAirportCount, &liveryCount, &parkedLiveCount,
                  &parkedStaticCount, &standCount})
    c->store(0);
  trafficWeek = 0;
  parkingPercentageShown = 0;
  qnh = 0;
  wantedParkedCount = 0;
  minutesToRenewal = 0;
  updateCount = 0;
  airportFileMark = false;
  feedLampOff = true;
  feedLoggedIn = false;
  airportReady = false;
  simConnected = false;
  flightRunning = false;
  userModelKnown = true;
  simaddonCurrent = true;
  staticPlanningMark = false;
  reservedStandValid = false;
  timeShiftEnabled = true;
  trafficLampState = 3;
  weatherLampState = 3;
  invalidate();
}

bool initInstance(const std::string& className) { return initInstance(className, ui::Backend::automatic); }

bool initInstance(const std::string& className, ui::Backend backend) {
  for (int i = 0; i < 18 && !mainWindow.ready.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  if (!mainWindow.ready.load()) return false;
  if (windowHolder) return false;

  // The stored position; a coordinate at a limit of its range (a window that was minimised or
  // pushed off the screen) goes back to its default.
  pugi::xml_document document;
  if (document.load_file(gf_parametersPath().c_str())) {
    for (IntParameter* p : {&MAIN_WINDOW_X, &MAIN_WINDOW_Y}) {
      p->read(document, false);
      const std::int32_t v = p->value.load();
      if (v == p->min || v == p->max) p->save(p->clamp(p->defaultValue));
    }
  }
  const int x = MAIN_WINDOW_X.value.load();
  const int y = MAIN_WINDOW_Y.value.load();
  auto w = ui::createWindow(gf_windowHandler(), backend);
  mainWindow.window.store(w.get());
  if (!w->create(className, x, y, kClientWidth, kClientHeight)) {
    mainWindow.window.store(nullptr);
    return false;
  }
  windowHolder = std::move(w);
  return windowHolder->show();
}

int gf_runMessageLoop() {
  if (!windowHolder) return 0;
  // Being told to end (the session closes, Ctrl+C) is closing the window: the run closes down.
  ui::closeOnTerminationSignals();
  return windowHolder->run();
}

bool gf_postWindowMessage(unsigned message) {
  ui::Window* w = mainWindow.window.load();
  if (w == nullptr) return false;
  w->post(message);
  return true;
}

ui::HeadlessWindow* gf_headlessWindow() { return dynamic_cast<ui::HeadlessWindow*>(windowHolder.get()); }

void gf_destroyMainWindow() {
  mainWindow.window.store(nullptr);
  windowHolder.reset();
}

void gf_storeWindowPosition(std::int32_t previousX, std::int32_t previousY) {
  const std::pair<IntParameter*, std::int32_t> coordinates[] = {{&MAIN_WINDOW_X, previousX}, {&MAIN_WINDOW_Y, previousY}};
  for (const auto& [p, previous] : coordinates) {
    const std::int32_t v = p->value.load();
    if (v == p->min || v == p->max) p->save(p->clamp(previous));
  }
}
