#include "feed/traffic_record.h"

void gf_initAircraftIdentity(AircraftIdentity& identity)
{
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
