#include "airports/parking.h"

#include "airports/airports.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/park_list.h"

CurrentAirport currentAirport;
std::uint8_t standsLoaded = 0;
std::list<ParkAirportEntry> parkAirports;
std::vector<LearnedStand> learnedStands;
std::atomic<std::uint8_t> parkingActive{0};
std::atomic<std::uint8_t> airportFileChanged{0};
std::atomic<std::int32_t> generalMaxLive{0};

std::string gf_parkAirportText(const CurrentAirport& airport) {
    return gf_parkAirportText(
        Airport{airport.icao, airport.iata, airport.latitude, airport.longitude, airport.altitude});
}

void gf_resetParking() {
    gf_leaveApf();
    gf_leaveLearned();
    gf_setCurrentAirport(CurrentAirport{});
    currentStands.clear();
    gf_publishStandPlaces();
    standsLoaded = 0;
    {
        std::lock_guard lock(parkAirportsMutex);
        parkAirports.clear();
    }
    learnedStands.clear();
    parkingActive.store(0);
    airportFileChanged.store(0);
}
