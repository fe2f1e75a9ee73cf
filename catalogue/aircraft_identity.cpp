#include "catalogue/aircraft_identity.h"

#include <fmt/format.h>

void gf_initAircraftIdentity(AircraftIdentity& identity) {
    identity.airline.clear();
    identity.icaoType.clear();
    identity.origin.clear();
    identity.destination.clear();
    identity.callsign.clear();
    identity.identity6.clear();
    identity.identity7.clear();
    identity.registration.clear();
    identity.identityNumber = 0;
}

std::string airlineTypeKey(const AircraftIdentity& id) { return fmt::format("{:3} {:4}", id.airline, id.icaoType); }

std::string callsignText(const AircraftIdentity& id) { return fmt::format("{:8}", id.callsign); }

std::string routeText(const AircraftIdentity& id) {
    if (id.origin.empty() && id.destination.empty()) return std::string(8, ' ');
    return fmt::format("{:3}->{:3}", id.origin, id.destination);
}

std::string acShortLabel(const AircraftIdentity& id) {
    return fmt::format("{} {:8} {}", callsignText(id), id.registration, routeText(id));
}

std::string acLabel(const AircraftIdentity& id) { return fmt::format("{} {}", acShortLabel(id), airlineTypeKey(id)); }

std::string acRouteLabel(const AircraftIdentity& id) {
    return fmt::format("{} {} {}", callsignText(id), id.registration, airlineTypeKey(id));
}

std::string airlineTypeRegKey(const AircraftIdentity& id) { return airlineTypeKey(id) + " " + id.registration; }
