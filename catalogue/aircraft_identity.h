#pragma once
// The identity strings at the head of feed, engine and catalogue records, and the labels and keys
// made of them for the log and the lookups.
#include <cstdint>
#include <string>

// Identity strings at the head of feed and engine records. The feed fills icaoType, origin,
// destination, callsign and registration; airline is filled by the parked parser and the engine;
// identity6 and identity7 belong to the engine.
struct AircraftIdentity {
    std::string airline;
    std::string icaoType;
    std::string origin;
    std::string destination;
    std::string callsign;
    std::string identity6;
    std::string identity7;
    std::string registration;
    std::int64_t identityNumber = 0;
};

// Empties the eight strings and zeroes the number.
void gf_initAircraftIdentity(AircraftIdentity& identity);

std::string airlineTypeKey(const AircraftIdentity& id);  // "{:3} {:4}"
std::string callsignText(const AircraftIdentity& id);    // "{:8}"
std::string routeText(const AircraftIdentity& id);       // "{:3}->{:3}", 8 blanks when both empty
std::string acShortLabel(const AircraftIdentity& id);    // "{} {:8} {}"
std::string acLabel(const AircraftIdentity& id);         // "{} {}"
std::string acRouteLabel(const AircraftIdentity& id);    // "{} {} {}"
std::string airlineTypeRegKey(const AircraftIdentity& id);
