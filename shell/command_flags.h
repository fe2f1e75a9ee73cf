// Flags that the window's commands raise and the run, the engine and the simulator link read; and
// the stops that those subsystems raise through the run flags. Any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

extern std::atomic<std::uint8_t> flushStaticRequested;  // "Flush static": take all static aircraft out
extern std::atomic<std::uint8_t> reReadRequested;       // "Re-read": re-read the park-airport list
extern std::atomic<std::uint8_t> renewalRequested;      // renew the static parked aircraft
extern std::atomic<std::uint8_t> renewalPtOnly;         // RT_PARKTRAFFIC_ONLY for the renewal
extern std::atomic<std::uint8_t> uiBusy;                // the parking controls are locked for planning
// 1 from program start and after each run reset until the run's simulator connection opens.
extern std::atomic<std::uint8_t> simNotYetOpened;

// A feed reader ended with an error: note it and stop the run (restart after 15 s when restartable).
void gf_readerStopped(const std::string& readerName, bool restartable);
// The simulator connection is gone: stop the run unless a stop is pending.
void gf_simDisconnected();

// Every command flag back to its initial value.
void gf_resetCommandFlags();
