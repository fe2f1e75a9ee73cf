#pragma once
// The main loop of a run: one step every 10 ms against a deadline, each step one engine tick while a flight
// runs, and the per-second step with its counter-driven work whenever the simulator's once-a-second answer
// arrived.

#include <atomic>
#include <cstdint>

// Per-second steps since the loop started; back to 0 at 86400.
extern std::atomic<std::uint32_t> secondCounter;
// Requests that the window's edit fields set and the loop serves (the commands' requests, the renewal
// request and uiBusy are in shell/command_flags.h).
extern std::atomic<std::uint8_t> objectIdCallsignChanged;  // show the object id of CALLSIGN_2_OBJECTID
extern std::atomic<std::uint8_t> blockedCallsignChanged;   // take the BLOCK_CALLSIGN aircraft out
extern std::atomic<std::uint8_t> matchListClearRequested;  // empty the unmatched keys
// The static renewal is being planned (between the two 15-second steps of a renewal).
extern std::atomic<std::uint8_t> planningUnderway;
// Set while the step finds no flight running.
extern std::atomic<std::uint8_t> flightPaused;
// The simulator's UTC time seen last by the time-shift drift rule (0: correct at once).
extern std::atomic<std::int64_t> lastSimTimeSeen;

void lf_mainLoop();
bool lf_mainStep();
void lf_perSecondStep();
void lf_every15Step(std::uint32_t c);
void lf_flightNotRunning();
void lf_rereadRequest();
void gf_recountLive();

// The per-second work on the engine's lists (the program's services; tests replace them).
void lf_removeStaticTwinsOfLive();  // the 61-second rule
void lf_userCollisions();
void lf_liveParkedCollisions();
void lf_blockCallsign();
void lf_coupledCallsignCheck();  // one id of standCheckList a second
void lf_countLiveAircraft();     // the live count and the park figures of the window

// The loop's state back to its start (restart clean-up, tests).
void gf_resetMainLoopState();
