#pragma once
// State of the live-traffic feed that other subsystems read.

#include <atomic>
#include <cstdint>

// Time stamp (Unix seconds) of the last aircraft the feed parsed; 0 while none.
extern std::atomic<double> lastFeedTimestamp;
// The service account is a professional one (set by the login).
extern std::atomic<bool> professionalAccount;
