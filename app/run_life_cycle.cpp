#include "app/run_life_cycle.h"

#include "app/main_loop.h"
#include "app/run_preparation.h"
#include "app/run_services.h"
#include "foundation/clock.h"
#include "foundation/disk_file.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "foundation/version.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "simlink/commands.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <new>
#include <stdexcept>

std::jthread runThread;
std::jthread simConnectThread;

namespace {
using namespace std::chrono_literals;

constexpr std::string_view shortName = programShortName;
constexpr unsigned startRunMessage = 0x8001;
constexpr unsigned closeProgramMessage = 0x8002;

// Readers that the current run started, and readers that a run left running when it closed down (their
// state is not reset, and the next run waits for them).
std::array<std::atomic<std::uint8_t>, 2> readerStarted{};
std::array<std::atomic<std::uint8_t>, 2> readerLeftRunning{};
constexpr std::array<FeedReader, 2> bothReaders{FeedReader::weather, FeedReader::traffic};

std::size_t slot(FeedReader reader) { return reader == FeedReader::weather ? 0 : 1; }
const char* readerName(FeedReader reader) {
    return reader == FeedReader::weather ? "Weather Reader" : "Traffic Reader";
}

RunServices& svc() { return gf_runServices(); }
bool stopOrClosed() { return stopRequested.load() != 0 || userClosed.load() != 0; }
void sleepMs(int ms) { gf_sleepFor(std::chrono::milliseconds(ms)); }

// A step of the closing down or the clean-up: an exception is shown and logged, and the next step runs.
template <typename F>
void guarded(F&& step) {
    try {
        step();
    } catch (const std::exception& e) {
        try {
            svc().showStatus(fmt::format("{} exception {}", "lf_closingDown", e.what()), true);
        } catch (...) {}
    } catch (...) {
        try {
            svc().showStatus(fmt::format("{} exception {}", "lf_closingDown", "Unknown exception"), true);
        } catch (...) {}
    }
}

// A position inside this small box at 0/0 means that the simulator has not loaded a flight yet.
bool flightNotLoaded(const UserPosition& p) {
    return p.latitude >= 0.0 && p.latitude <= 0.0009 && p.longitude >= 0.0 && p.longitude <= 0.05;
}

void startReader(FeedReader reader) {
    readerStarted[slot(reader)].store(1);
    svc().startReader(reader);
}

// Stops the readers this run started and waits for them, within the limit; then logs out.
void stopReaders() {
    RunServices& s = svc();
    bool anyStarted = false;
    for (FeedReader r : bothReaders) {
        if (readerStarted[slot(r)].load() != 0) {
            anyStarted = true;
            s.stopReader(r);
        }
    }
    if (anyStarted) {
        const auto limit = gf_readerStopWaitLimit();
        const auto deadline = gf_steadyNow() + limit;
        auto allStopped = [&] {
            for (FeedReader r : bothReaders)
                if (readerStarted[slot(r)].load() != 0 && !s.readerStopped(r)) return false;
            return true;
        };
        while (!allStopped() && gf_steadyNow() < deadline) sleepMs(100);
        for (FeedReader r : bothReaders) {
            if (readerStarted[slot(r)].load() == 0) continue;
            readerStarted[slot(r)].store(0);
            if (!s.readerStopped(r)) {
                readerLeftRunning[slot(r)].store(1);
                gf_logError(fmt::format("The {} has not stopped within {} seconds", readerName(r),
                                        std::chrono::duration_cast<std::chrono::seconds>(limit).count()));
            }
        }
    }
    if (s.loggedIn()) s.deauthenticate();
}
}  // namespace

std::chrono::milliseconds gf_readerStopWaitLimit() {
    const std::int64_t interval = std::max<std::int64_t>(0, svc().readerIntervalMs());
    return feedTransferLimit + std::chrono::milliseconds(interval) + 5s;
}

void gf_startRunThread() {
    // Moving into a joinable jthread asks the old one to stop and joins it first. The old run thread posted
    // the message that brings us here as its last step, so the join waits only for its last instructions.
    runThread = std::jthread([] { lf_runThread(); });
}

void gf_joinRunThread() {
    if (runThread.joinable()) runThread.join();
}

void gf_systemError(const std::string& text) {
    svc().showError(text);
    gf_requestStop(EXIT_SYSTEM_ERROR, 0);
}

bool gf_strayReaderRunning() { return readerLeftRunning[0].load() != 0 || readerLeftRunning[1].load() != 0; }

void gf_resetRunLifeCycle() {
    for (auto& f : readerStarted) f.store(0);
    for (auto& f : readerLeftRunning) f.store(0);
}

bool lf_waitForStrayReaders() {
    RunServices& s = svc();
    bool anyStray = false;
    for (FeedReader r : bothReaders) {
        if (readerLeftRunning[slot(r)].load() == 0) continue;
        anyStray = true;
        gf_log(fmt::format("Waiting for the {} to stop", readerName(r)));
        while (!s.readerStopped(r)) {
            if (stopOrClosed()) return false;
            sleepMs(100);
        }
        readerLeftRunning[slot(r)].store(0);
        s.resetReader(r);
    }
    // The clean-up left the feed as the stray reader had it; now that every reader has stopped it goes back
    // to its start, as after any other run.
    if (anyStray) s.resetFeedSession();
    return true;
}

void lf_runThread() {
    try {
        if (lf_waitForStrayReaders() && lf_prepareRun()) lf_startRun();
    } catch (const ovk::UserErrorException& e) {
        svc().showError(e.what());
        exitReason.store(EXIT_SYSTEM_ERROR);
    } catch (const fmt::format_error& e) {
        gf_systemError(std::string("std::format error: ") + e.what());
    } catch (const std::bad_alloc& e) {
        gf_systemError(e.what());
    } catch (const std::out_of_range& e) {
        gf_systemError(e.what());
    } catch (const std::runtime_error& e) {
        gf_systemError(e.what());
    } catch (const std::exception& e) {
        gf_systemError(e.what());
    } catch (...) {
        gf_systemError("Unknown exception");
    }
    lf_closingDown();
}

void lf_startRun() {
    RunServices& s = svc();
    s.clearRunIndicators();
    s.setupSessionContainers();
    s.reserveLiveryContainers();
    s.resetSimConnectQueues();
    // A simulator thread of the previous run is asked to stop and joined by this move.
    simConnectThread = std::jthread(s.simConnectThreadBody);

    if (!lf_waitForFlight()) return;
    if (stopOrClosed()) return;
    s.clearFeedLampOff();
    if (stopOrClosed()) return;

    // The readers send the user's position from their first request on (the weather reader's first
    // pressure corrects the first buffered traffic): it is handed to the feed before either starts.
    s.setOwnPosition(s.userPosition());
    s.setFeedIntake(false);
    s.setQueryBox();
    s.authenticate();
    s.setLampsStarting();
    lf_enableTimeShiftControls();

    // Each reader starts also when its wait ran out; a stop ends the waits and starts no reader.
    for (int i = 0; i < 10 && !s.loggedIn() && !stopOrClosed(); ++i) sleepMs(300);
    if (stopOrClosed()) return;
    startReader(FeedReader::weather);
    for (int i = 0; i < 10 && s.weatherReady() == 0 && !stopOrClosed(); ++i) {
        sleepMs(300);
        lf_rereadRequest();
    }
    if (stopOrClosed()) return;
    startReader(FeedReader::traffic);

    lf_waitForFirstTraffic();
    weekSlot.exchange(gf_weekSlot().packed());
    lf_mainLoop();
}

bool lf_waitForFlight() {
    RunServices& s = svc();
    while (!(simRunning.load() != 0 && simConnectError.load() == 0)) {
        if (stopOrClosed()) return false;
        sleepMs(100);
    }
    if (!s.requestUserOnGroundData()) gf_logError("SimConnect request ac gnd/air fails");

    while (!(s.userDataDelivered() && !flightNotLoaded(s.userPosition()))) {
        s.requestUserPosition();
        sleepMs(500);
        if (stopOrClosed()) return false;
    }
    s.requestUserTitleAndModel();
    while (flightNotLoaded(s.userPosition())) {
        s.requestUserPosition();
        sleepMs(200);
        if (stopOrClosed()) return false;
    }
    if (stopRequested.load() != 0) return false;
    return userClosed.load() == 0;
}

void lf_waitForFirstTraffic() {
    RunServices& s = svc();
    for (int i = 0; i < 150 && static_cast<std::int64_t>(s.trafficDataTime()) == 0 && !stopOrClosed(); ++i)
        sleepMs(100);
    if (static_cast<std::int64_t>(s.trafficDataTime()) == 0 && !stopOrClosed()) gf_log("No traffic in this region?");
}

void lf_enableTimeShiftControls() {
    RunServices& s = svc();
    const bool professional = s.professionalAccount();
    s.enableTimeShiftControls(professional);
    if (professional) return;
    s.setTimeShift(0, true);
    if (KEEP_SIM_TIME_PAR.value.load()) {
        KEEP_SIM_TIME_PAR.save(false);
        s.setCheck(KEEP_SIM_TIME_PAR.controlId, false);
    }
}

void lf_resetTimeShift() {
    for (GuiIntParameter* p : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS}) p->save(p->clamp(0));
}

void lf_removeRunAircraft() {
    RunServices& s = svc();
    if (const std::string closed = s.simLinkClosedReason(); !closed.empty()) {
        // Nothing reaches the simulator any more: the log says so instead of logging removals.
        const std::size_t left = s.dropAircraftOfClosedLink();
        if (left > 0) gf_log(fmt::format("{} aircraft not removed from the simulator: {}", left, closed));
        if (s.parkAirportCurrent()) s.removeStaticParked();
        return;
    }
    if (s.parkAirportCurrent()) s.removeStaticParked();
    s.removeAllLiveAircraft();
    std::uint32_t step = 0;
    ClosingRemoval left = s.closingRemovalStep(step);
    const std::size_t removing = left.aircraft;
    const auto deadline = gf_steadyNow() + closingRemovalLimit;
    std::string closed;
    while (!left.done() && gf_steadyNow() < deadline) {
        sleepMs(10);
        left = s.closingRemovalStep(++step);
        closed = s.simLinkClosedReason();
        if (!closed.empty()) break;
    }
    if (left.done()) {
        if (removing > 0) gf_log(fmt::format("{} aircraft removed from the simulator", removing));
    } else if (!closed.empty()) {
        gf_logError(fmt::format("{} aircraft not confirmed removed from the simulator: {}", left.aircraft, closed));
    } else {
        gf_logError(fmt::format("{} aircraft not confirmed removed from the simulator within {} s", left.aircraft,
                                std::chrono::duration_cast<std::chrono::seconds>(closingRemovalLimit).count()));
    }
}

void lf_closingDown() {
    RunServices& s = svc();
    guarded([] { gf_log(fmt::format("Exiting: {}", gf_exitReasonText(exitReason.load()))); });
    guarded([&] { s.setFeedIntake(false); });
    // The simulator keeps running after us: the run's aircraft leave it while the link is still open, before
    // the simulator thread is asked to stop.
    guarded([] { lf_removeRunAircraft(); });
    guarded([] {
        if (simConnectThread.joinable()) simConnectThread.request_stop();
    });
    guarded([] { stopReaders(); });

    // After a system error the window stays open with the error until the user closes it. That close is
    // the one allowed: only a later one cancels a restart.
    std::uint32_t closesAllowed = 0;
    guarded([&] {
        if (exitReason.load() != EXIT_SYSTEM_ERROR) return;
        while (userClosed.load() == 0) sleepMs(500);
        closesAllowed = userCloseRequests.load();
        s.showStatus(fmt::format("User closed {}", shortName), true);
    });

    guarded([&] { s.clearRunMatchKeys(); });
    guarded([&] { s.removeFlightPlanFolder(); });
    guarded([] { DESTINATION.save(std::string()); });
    guarded([] { BLOCK_CALLSIGN.save(std::string()); });
    guarded([] {
        timeShifted.store(0);
        if (!KEEP_SIM_TIME_PAR.value.load()) {
            SIM_TIME.save(false);
            lf_resetTimeShift();
        } else if (SIM_TIME.value.load()) {
            lf_resetTimeShift();
        }
    });
    guarded([&] { s.clearGhostCallsigns(); });
    guarded([&] { s.writeMatchingSummary(); });
    guarded([&] { s.logNoMatches(); });

    restartPending.store(0);
    guarded([&] {
        const std::uint32_t code = exitReason.load();
        // A close the user asked for (other than the one that ended the system-error wait) is honoured.
        const bool restart = gf_exitRestarts(code) && userCloseRequests.load() == closesAllowed;
        restartPending.store(restart ? 1 : 0);
        if (!restart) {
            if (code == EXIT_NEW_FLIGHT) {
                s.showStatus(fmt::format("New flight detected, {} will close, please restart manually ...", shortName),
                             true);
                sleepMs(10000);
            }
            return;
        }
        s.clearHeldError();
        s.showStatus("Prepare for a restart ...", true);
        if (code != EXIT_NEW_SETTINGS) {
            // A restart after an error does not scan again.
            SCAN_LIVERIES.save(false);
            SCAN_AIRPORTS.save(false);
        }
        if (!lf_restartCountdown(closesAllowed)) {
            restartPending.store(0);
            gf_log(fmt::format("User closed {}", shortName));
            return;
        }
        lf_restartCleanup();
    });

    guarded([&] {
        if (s.windowExists()) s.postToWindow(restartPending.load() != 0 ? startRunMessage : closeProgramMessage);
    });
}

bool lf_restartCountdown(std::uint32_t closesAllowed) {
    RunServices& s = svc();
    const std::uint32_t seconds = restartDelaySec.load();
    if (seconds < 1) return userCloseRequests.load() == closesAllowed;
    gf_log(fmt::format("Restarting after {} seconds\n\n\n\n\n", seconds));
    for (std::uint32_t n = seconds; n >= 1; --n) {
        s.showStatus(fmt::format("Restarting after {} second{}", n, n == 1 ? "" : "s"), false);
        const auto until = gf_steadyNow() + 1s;
        for (auto now = gf_steadyNow(); now < until; now = gf_steadyNow()) {
            if (userCloseRequests.load() != closesAllowed) return false;
            gf_sleepUntil(std::min(until, now + 100ms));
        }
    }
    return userCloseRequests.load() == closesAllowed;
}

void lf_restartCleanup() {
    RunServices& s = svc();
    // The simulator thread touches the link's lists and queues: it ends before they are reset.
    guarded([] {
        if (simConnectThread.joinable()) {
            simConnectThread.request_stop();
            simConnectThread.join();
        }
    });
    for (FeedReader r : bothReaders)
        guarded([&] {
            if (readerLeftRunning[slot(r)].load() == 0) s.resetReader(r);
        });
    guarded([&] { s.resetFeedSession(); });
    guarded([&] { s.resetSimLink(); });
    guarded([&] { s.cleanupSessionContainers(); });
    // The engine's clean-up has cleared the planning lock (uiBusy); the controls it locked follow, so that a
    // restart during planning leaves no parking control greyed out.
    guarded([&] { s.releaseParkingControls(); });
    guarded([&] { s.resetWindowState(); });
    guarded([] {
        gf_resetRunFlags();
        gf_resetMainLoopState();
        // The next run's flight wait must not take the previous flight's position for the new one.
        userState = UserState{};
        // A file the user keeps read-only is reported again in the next run's log.
        gf_resetReadOnlyReports();
    });
    guarded([] { gf_setRange(LATERAL_RANGE.value.load()); });
}
