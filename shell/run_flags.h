#pragma once
// The shared flags of a run: why and whether it must end, and what the simulator link reports.
// Every thread that ends a run goes through gf_requestStop, so the first cause of a stop wins.

#include <atomic>
#include <cstdint>
#include <string_view>

enum ExitReason : std::uint32_t {
    EXIT_NOT_YET_SET = 0,
    EXIT_SIM_WAS_CLOSED = 1,
    EXIT_NEW_FLIGHT = 2,
    EXIT_NEW_SETTINGS = 3,
    EXIT_USER_CLOSED_SIM = 4,
    EXIT_SIMCONNECT_ERROR = 5,
    EXIT_READER_ERROR = 6,
    EXIT_SYSTEM_ERROR = 7,
};

extern std::atomic<std::uint8_t> stopRequested;    // the run must end; every loop polls it
extern std::atomic<std::uint8_t> userClosed;       // the user closed the main window
extern std::atomic<std::uint8_t> simRunning;       // the simulator runs a flight
extern std::atomic<std::uint8_t> simConnectError;  // a simulator request failed; queues are dropped while set
extern std::atomic<std::uint8_t> secondTick;       // a once-a-second user-aircraft answer arrived
// From the simulator link's once-a-second answer: the user aircraft is on the ground, and such an answer
// with a set position came. Every subsystem that asks where the user stands reads them.
extern std::atomic<std::uint8_t> userOnGround;
extern std::atomic<std::uint8_t> userOnGroundValid;
extern std::atomic<ExitReason> exitReason;
extern std::atomic<std::uint32_t> restartDelaySec;  // seconds to count down before a restart
extern std::atomic<std::uint8_t> restartPending;    // the closing run chose to restart
// Number of times the user asked to close the window in this run (a close during the restart countdown
// is told apart from the one that was already there).
extern std::atomic<std::uint32_t> userCloseRequests;

// Raises the stop with its reason and restart delay, unless a stop is already pending.
// Returns true when this call raised the stop. Callable from any thread.
bool gf_requestStop(ExitReason reason, std::uint32_t delaySec);

// Whether a stop is under way: stopRequested or userClosed is set. The log's status lines fall silent then
// (registered as the log's stop test by lf_connectSubsystems).
bool gf_stopUnderWay();

// Sets the reason only while none is given yet (the window's close and a stop during preparation).
void gf_setExitReasonIfUnset(ExitReason reason);

// The user closed the window: userClosed, then the stop; an earlier reason is kept, else 4.
void gf_requestUserClose();

// Text of an exit code; throws std::out_of_range for an unknown code.
std::string_view gf_exitReasonText(std::uint32_t code);

// Whether a run that ends with this reason starts again (3, 5, 6) or the program closes.
bool gf_exitRestarts(std::uint32_t code);

// Every flag back to its initial value, apart from the two on-ground flags, which keep the simulator
// link's last answer.
void gf_resetRunFlags();
