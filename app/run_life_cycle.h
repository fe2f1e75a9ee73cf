#pragma once
// The life of a run: its thread, the start (simulator, login, readers, first traffic), the closing down with
// its exit reason, the restart countdown and the clean-up back to the initial state.

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

// The current run thread and the simulator client thread of the run.
extern std::jthread runThread;
extern std::jthread simConnectThread;

// The feed's longest transfer (its transfer timeout).
inline constexpr std::chrono::milliseconds feedTransferLimit{60000};
// Longest wait of the closing down for the feed readers: the feed's transfer timeout plus the longest request
// interval of the readers plus a margin, so that a reader in the middle of a transfer or a pause still ends
// in time.
std::chrono::milliseconds gf_readerStopWaitLimit();
// Longest wait of the closing down for the simulator to confirm the removal of the run's aircraft. A removal
// comes back within a few frames; an object whose creation is still under way needs its creation answer and its
// first lights (2 s) before it can go.
inline constexpr std::chrono::milliseconds closingRemovalLimit{5000};

// Starts a new run thread (the window's start-run message). A run thread still there is asked to stop and
// joined first. GUI thread.
void gf_startRunThread();
// Joins the run thread, when there is one (program end, tests).
void gf_joinRunThread();

// Fatal error of a run: shows the text as the held error and ends the run with "SYSTEM ERROR", unless a
// stop is already pending.
void gf_systemError(const std::string& text);

// Whether a reader of the previous run was still running when that run closed down.
bool gf_strayReaderRunning();

// The parts of a run, run-thread only; exposed for tests.
void lf_runThread();
void lf_startRun();
bool lf_waitForFlight();
void lf_waitForFirstTraffic();
void lf_enableTimeShiftControls();
void lf_closingDown();
// The closing down's removal of every aircraft of the run from the simulator, while the link is open.
void lf_removeRunAircraft();
// Counts the restart delay down in the status line. False when the user asked to close meanwhile (more close
// requests than closesAllowed): the program then closes instead of restarting.
bool lf_restartCountdown(std::uint32_t closesAllowed);
void lf_restartCleanup();
void lf_resetTimeShift();
// Waits until the readers left running by the previous run have stopped (false: a stop came first).
bool lf_waitForStrayReaders();
// Marks both readers as not started (tests).
void gf_resetRunLifeCycle();
