#pragma once
// Flags of the run life cycle that every thread reads.

#include <atomic>
#include <cstdint>

extern std::atomic<std::uint8_t> stopRequested; // a stop of the run is under way
extern std::atomic<std::uint8_t> userClosed;    // the user closed the main window
