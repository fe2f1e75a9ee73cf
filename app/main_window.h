// The main window object: display fields that every subsystem writes and the paint handler reads,
// the status-line state, colours and the window handle.
//
// Threads: numbers and flags are atomics; display texts are DisplayText (a copy is read under its
// own short leaf lock). The status-line members are guarded by statusMutex (see status_line.h).
// Any thread may change a field and then call invalidate (whole window or one panel); only the GUI
// thread paints.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <memory>
#include <string>
#include <string_view>

#include "platform/ui/ui.h"

// A text of the window that one thread writes while the GUI thread paints it.
class DisplayText {
 public:
  void set(std::string text);
  std::string get() const;
  bool empty() const;
  void clear() { set(std::string()); }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

struct LineSegment {
  int x1, y1, x2, y2;
};

// Panels of the client area (right and bottom exclusive).
namespace panel {
inline constexpr ui::Rect title{0, 0, 880, 28};
inline constexpr ui::Rect status{0, 28, 880, 112};
inline constexpr ui::Rect settings{0, 112, 880, 392};
inline constexpr ui::Rect statistics{0, 392, 880, 448};
inline constexpr ui::Rect message{0, 448, 880, 476};
inline constexpr ui::Rect client{0, 0, 880, 476};
}  // namespace panel

// Window size on screen (with its frame) and the client area that holds the five panels.
inline constexpr int kWindowWidth = 880;
inline constexpr int kWindowHeight = 516;
inline constexpr int kClientWidth = 880;
inline constexpr int kClientHeight = 476;

namespace colour {
inline constexpr ui::Color black = ui::rgb(0, 0, 0);
inline constexpr ui::Color white = ui::rgb(255, 255, 255);
inline constexpr ui::Color grey = ui::rgb(160, 160, 160);
inline constexpr ui::Color yellow = ui::rgb(255, 255, 0);
inline constexpr ui::Color red = ui::rgb(255, 0, 0);
inline constexpr ui::Color limeGreen = ui::rgb(50, 205, 50);
inline constexpr ui::Color panelBlue = ui::rgb(153, 204, 255);
}  // namespace colour

class MainWindow {
 public:
  MainWindow();
  virtual ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  // Brushes and pens.
  ui::Color redBrush = colour::red;
  ui::Color panelBrush = colour::panelBlue;
  ui::Color blackBrush = colour::black;
  ui::Color greenBrush = colour::limeGreen;
  ui::Color yellowBrush = colour::yellow;
  ui::Color blackPen = colour::black;
  ui::Color whitePen = colour::white;
  // Horizontal lines of the settings panel.
  std::array<LineSegment, 7> separatorLines{};

  // Status line (guarded by statusMutex; see status_line.h).
  std::mutex statusMutex;
  std::string statusText;
  std::string heldErrorText;
  std::uint32_t secondsCounter = 0;
  std::uint32_t shownAt = 0;

  // The painter in use during a paint cycle (GUI thread only).
  ui::Painter* painter = nullptr;
  // The window; null until created. Any thread uses it to invalidate.
  std::atomic<ui::Window*> window{nullptr};

  // Display texts.
  DisplayText userAircraftText;
  DisplayText airportSourceText;
  DisplayText airportFileText;
  DisplayText qualityText;
  DisplayText simulatorText;
  DisplayText feedText;
  DisplayText userStandText;
  DisplayText objectIdText;

  std::atomic<float> staticParkFigure{-1.0f};
  std::atomic<float> liveParkFigure{-1.0f};

  std::atomic<std::uint64_t> liveCount{0};
  std::atomic<std::uint64_t> simaddonAirportCount{0};
  std::atomic<std::uint64_t> thirdpAirportCount{0};
  std::atomic<std::uint64_t> liveryCount{0};
  std::atomic<std::uint64_t> parkedLiveCount{0};
  std::atomic<std::uint64_t> parkedStaticCount{0};
  std::atomic<std::uint64_t> standCount{0};

  std::atomic<std::int32_t> statisticsRow{399};
  std::atomic<std::int32_t> trafficWeek{0};
  std::atomic<std::int32_t> parkingPercentageShown{0};
  std::atomic<std::int32_t> qnh{0};
  std::atomic<std::int32_t> wantedParkedCount{0};
  std::atomic<std::int32_t> minutesToRenewal{0};

  std::atomic<std::uint32_t> updateCount{0};

  std::atomic<bool> airportFileMark{false};      // " (h)" after the airport file text
  std::atomic<bool> feedLampOff{true};           // RT lamp painted black
  std::atomic<bool> feedLoggedIn{false};
  std::atomic<bool> airportReady{false};         // gates the statistics panel
  std::atomic<bool> simConnected{false};
  std::atomic<bool> flightRunning{false};
  std::atomic<bool> userModelKnown{true};
  std::atomic<bool> simaddonCurrent{true};       // simaddon count green, else yellow
  std::atomic<bool> staticPlanningMark{false};   // "*S*"
  std::atomic<bool> reservedStandValid{false};   // reserved stand text green, else red
  std::atomic<bool> timeShiftEnabled{true};      // time-shift labels black, else grey
  std::atomic<bool> ready{false};

  // Lamp states: 1 running (green), 2 starting (yellow), 3 not started (not shown).
  std::atomic<std::uint32_t> trafficLampState{3};
  std::atomic<std::uint32_t> weatherLampState{3};

  // Repaint the whole client area / one rectangle (with erase). Harmless before the window exists.
  void invalidate();
  void invalidate(const ui::Rect& r);

  // The reset between runs: the status line (texts, counter, shown-at), the panel texts, the
  // indicators to their start values (feed lamp off), lamps to 3, park figures to -1, counters 0.
  void resetRunFields();
};

extern MainWindow mainWindow;

// Name of the folder of the generated add-on airport files (shown in the settings panel).
inline constexpr const char* kGeneratedAirportsFolder = "TBLO";

// Application messages of the main window.
inline constexpr unsigned kMsgStartRun = ui::kAppMessage + 1;  // start a run
inline constexpr unsigned kMsgQuit = ui::kAppMessage + 2;      // save the position, close the log, end
// The close button, posted (tests and tools close the window from another thread with it).
inline constexpr unsigned kMsgClose = ui::kAppMessage + 3;

// Creates the main window (backend as ui::createWindow picks it) with the window procedure of
// window_proc.h, at the stored position, and shows it. Returns true when the window exists and is
// shown. GUI thread, once.
bool initInstance(const std::string& className);
// Same with a backend chosen by the caller (tests: ui::Backend::headless).
bool initInstance(const std::string& className, ui::Backend backend);
// The message loop of the main window; returns the quit code (0 when there is no window).
// While it runs, SIGTERM and SIGINT act as the close button (once).
int gf_runMessageLoop();
// Posts an application message to the main window from any thread; false without a window.
bool gf_postWindowMessage(unsigned message);
// The headless window when that backend is in use (tests), else null.
ui::HeadlessWindow* gf_headlessWindow();
// Destroys the window (tests, and after the message loop ended).
void gf_destroyMainWindow();

// Painting (GUI thread, inside the paint handler).
void lf_paintMainWindow(ui::Painter& painter);
// Draws a UTF-8 text; invalid UTF-8 is logged and not drawn.
void gf_drawText(std::int32_t x, std::int32_t y, std::string_view text, ui::Color colour);
// Black when enabled, grey otherwise.
void gf_drawLabel(std::int32_t x, std::int32_t y, std::string_view text, bool enabled);
// "{} airport{} in {} folder" with the count of add-on airports, its plural suffix and the folder.
std::string gf_formatAirportCount(std::string_view format, std::uint64_t count);

// After the quit message stored the new position: a coordinate at a limit of its range (a
// minimised window) is put back to the previous one and saved again.
void gf_storeWindowPosition(std::int32_t previousX, std::int32_t previousY);
