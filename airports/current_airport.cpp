#include "airports/current_airport.h"

std::mutex currentAirportMutex;

CurrentAirport gf_currentAirportCopy() {
    std::lock_guard lock(currentAirportMutex);
    return currentAirport;
}

void gf_setCurrentAirport(const CurrentAirport& airport) {
    std::lock_guard lock(currentAirportMutex);
    currentAirport = airport;
}
