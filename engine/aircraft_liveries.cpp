#include "engine/aircraft_liveries.h"

#include "airports/parking.h"
#include "catalogue/livery_matching.h"
#include "engine/aircraft.h"

namespace {
LiveryRequest requestOf(const SimAircraft& ac) {
    LiveryRequest r;
    r.airline = ac.identity.airline;
    r.type = ac.identity.icaoType;
    r.registration = ac.identity.registration;
    r.callsign = ac.identity.callsign;
    r.category = static_cast<AircraftCategory>(ac.category);
    r.cargo = ac.cargoWanted != 0;
    r.title = ac.liveryTitle;
    r.identity = &ac.identity;
    return r;
}
}  // namespace

void gf_matchLivery(SimAircraft& ac) {
    auto r = requestOf(ac);
    r.title = {};
    lf_matchLive(r);
    ac.liveryTitle = r.title;
    if (!r.title.empty()) ac.titlePrefixFlag = r.fsltl ? 1 : 0;
}

bool gf_matchStaticLivery(SimAircraft& ac, const ParkPos& stand) {
    auto r = requestOf(ac);
    const bool matched = lf_matchStatic(r, stand.name, stand.cargo != 0);
    ac.liveryTitle = r.title;
    ac.cargoWanted = r.cargo ? 1 : 0;
    return matched;
}

void gf_liveryNotCreated(const SimAircraft& ac) {
    lf_liveryNotCreated(ac.identity.callsign, ac.liveryTitle, ac.identity.icaoType, ac.identity.airline);
}
