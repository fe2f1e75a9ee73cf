// The main window: its size, colours and paint tools, its application messages, its creation and
// message loop, and the painting of the display model (shell/display.h). GUI thread unless a
// function says otherwise.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/ui/ui.h"
#include "shell/display.h"

struct LineSegment {
    int x1, y1, x2, y2;
};

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

// What the painter paints with: brushes, pens and the lines of the settings panel (GUI thread).
struct WindowPaint {
    WindowPaint();

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
    // The painter in use during a paint cycle.
    ui::Painter* painter = nullptr;
};

extern WindowPaint windowPaint;

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
// The same, kept to its field: nothing of it is drawn at or right of x = right.
void gf_drawFieldText(std::int32_t x, std::int32_t y, std::int32_t right, std::string_view text, ui::Color colour);
// Black when enabled, grey otherwise.
void gf_drawLabel(std::int32_t x, std::int32_t y, std::string_view text, bool enabled);
// "{} airport{} in {} folder" with the count of add-on airports, its plural suffix and the folder.
std::string gf_formatAirportCount(std::string_view format, std::uint64_t count);

// After the quit message stored the new position: a coordinate at a limit of its range (a
// minimised window) is put back to the previous one and saved again.
void gf_storeWindowPosition(std::int32_t previousX, std::int32_t previousY);
