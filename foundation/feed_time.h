#pragma once
// State of the live-traffic feed that other subsystems read.

#include <atomic>
#include <cstdint>

// Time stamp (Unix seconds) of the last aircraft the feed parsed; 0 while none.
extern std::atomic<double> lastFeedTimestamp;
// The time shift in minutes that the feed asks the service for ("toffset" of both readers; 0 = the real
// time, at most 40320 = 4 weeks): the traffic it answers with is that much in the past.
extern std::atomic<std::int32_t> feedOffsetMinutes;
// The service account is a professional one (set by the login).
extern std::atomic<bool> professionalAccount;
