#include "shell/display.h"

#include <utility>

MainWindow mainWindow;

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

MainWindow::MainWindow() { ready.exchange(true); }

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
