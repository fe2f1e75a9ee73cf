#pragma once
// Records the live-traffic feed produces: one live aircraft (TrafficRecord) and one parked
// aircraft (ParkedRecord), both headed by the identity strings that the engine keeps too.

#include <cstdint>
#include <string>

#include "catalogue/aircraft_identity.h"

// One live aircraft as the feed reports it. The engine copies the block from latitude to
// feedHeading into its stream points, so those fields stay contiguous and in this order.
struct TrafficRecord {
    AircraftIdentity identity;
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double element23Rad = 0.0;  // bank angle in radians (simulator sign); valid when hasElement23
    std::uint8_t hasElement23 = 0;
    double trueHeadingRad = 0.0;  // valid when hasTrueHeading
    std::uint8_t hasTrueHeading = 0;
    double altitudeFt = 0.0;  // pressure-corrected; 0 means on the ground
    double groundSpeedKt = 0.0;
    double trackDeg = 0.0;
    double verticalSpeed = 0.0;  // feet per minute
    double airSpeedKt = 0.0;
    std::uint32_t tick = 0;  // engine tick at which the point is due (set by the hand-over)
    std::uint8_t airborne = 0;
    std::uint8_t engineFlag = 0;   // the engine marks stationary stream points with it
    std::uint8_t feedHeading = 0;  // 1 when the heading came from the feed
    double timestamp = 0.0;        // seconds of the feed's time stamp
    std::uint32_t address = 0;     // 24-bit ICAO address
};

// One parked aircraft as the feed reports it. `slot` is the half-hour of the UTC day in which it
// was last seen; gf_readParkedTraffic turns it into an age in half-hours (0..47).
struct ParkedRecord {
    AircraftIdentity identity;
    double latitude = 0.0;
    double longitude = 0.0;
    std::uint32_t address = 0;
    std::int32_t slot = 0;
    std::string standName;
};
