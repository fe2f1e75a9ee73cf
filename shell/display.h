// The display model of the main window: the texts, counters, lamps and marks that every subsystem
// sets and the window paints, the status-line state, the panels they belong to and the window that
// repaints them.
//
// Threads: numbers and flags are atomics; display texts are DisplayText (a copy is read under its
// own short leaf lock). The status-line members are guarded by statusMutex (see status_line.h).
// Any thread may change a field and then call invalidate (whole window or one panel); only the GUI
// thread paints. The window is registered by the application when it creates it (null before and
// after); invalidating without one does nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

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

// Panels of the client area (right and bottom exclusive).
namespace panel {
inline constexpr ui::Rect title{0, 0, 880, 28};
inline constexpr ui::Rect status{0, 28, 880, 112};
inline constexpr ui::Rect settings{0, 112, 880, 392};
inline constexpr ui::Rect statistics{0, 392, 880, 448};
inline constexpr ui::Rect message{0, 448, 880, 476};
inline constexpr ui::Rect client{0, 0, 880, 476};
}  // namespace panel

class MainWindow {
public:
    MainWindow();
    virtual ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Status line (guarded by statusMutex; see status_line.h).
    std::mutex statusMutex;
    std::string statusText;
    std::string heldErrorText;
    std::uint32_t secondsCounter = 0;
    std::uint32_t shownAt = 0;

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

    std::atomic<bool> airportFileMark{false};  // " (h)" after the airport file text
    std::atomic<bool> feedLampOff{true};       // RT lamp painted black
    std::atomic<bool> feedLoggedIn{false};
    std::atomic<bool> airportReady{false};  // gates the statistics panel
    std::atomic<bool> simConnected{false};
    std::atomic<bool> flightRunning{false};
    std::atomic<bool> userModelKnown{true};
    std::atomic<bool> simaddonCurrent{true};      // simaddon count green, else yellow
    std::atomic<bool> staticPlanningMark{false};  // "*S*"
    std::atomic<bool> reservedStandValid{false};  // reserved stand text green, else red
    std::atomic<bool> timeShiftEnabled{true};     // time-shift labels black, else grey
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
