#pragma once
// Turns one 48-element aircraft array of a live-traffic answer into a TrafficRecord.

#include <cstdint>
#include <string>

#include "feed/web_api.h"

// The physical range of the values a record carries into the simulator. A record whose altitude (after the
// pressure correction) or ground speed lies outside is dropped with a log line; the vertical speed and the bank
// are cut to theirs; a track or an air speed outside theirs counts as not sent. Positions and headings keep
// their own rules (gf_invalidPosition, a heading above 360 drops the record).
namespace feedlimits {
inline constexpr double maxAltitudeFt = 100000.0;
inline constexpr double maxSpeedKt = 2000.0;  // ground and air speed
inline constexpr double maxVerticalSpeedFpm = 20000.0;
inline constexpr double maxBankDeg = 90.0;
inline constexpr double maxTrackDeg = 360.0;
}  // namespace feedlimits

// Parses reader.currentLine (an array of exactly 48 elements; the caller checks the count) and
// appends zero or one record to reader.records.
void processLine(TrafficReader& reader);

// The callsign last blocked by BLOCK_CALLSIGN (process-wide, empty at start).
std::string gf_blockedCallsignSeen();

// Leading hexadecimal digits of a text as an unsigned 32-bit number; 0 when there is none or
// the number overflows 32 bits.
std::uint32_t gf_leadingHex(const std::string& text);

// True when the position is impossible or lies in the box of an unset position.
bool gf_invalidPosition(double latitude, double longitude);

// Resets the parser's process-wide state (tests and restarts).
void gf_resetRecordParser();
