#include "parking/park_airport.h"

#include <fmt/format.h>

#include <algorithm>
#include <set>

#include "airports/apf_lookup.h"
#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/park_list.h"
#include "airports/parking.h"
#include "airports/stands.h"
#include "engine/aircraft.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/stands.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "engine/upkeep.h"
#include "feed/web_api.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "parking/planner.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/status_line.h"
#include "simlink/commands.h"

namespace {
constexpr double kGroundAirportNm = 5.0;
bool planRequested = false;
LatLon lastPosition{};
// Airports whose parking file could not be read: not tried again in this run.
std::set<std::string> failedParkFiles;

// Reads the airport file and plans; a failure is shown, remembered, and the airport left.
void lf_readAndPlan() {
    planRequested = false;
    std::optional<std::string> userStand;
    if (lf_positionValid(userState.latitude, userState.longitude)) userStand = lf_userStandName();
    std::string error = lf_readParkedFile(userStand);
    if (!error.empty()) {
        failedParkFiles.insert(gf_currentAirportCopy().icao);
        gf_showStatus(error, true);
        lf_leaveParkAirport();
    } else {
        lf_parkingPositions();
    }
    gf_enableControl(DESTINATION.controlId, true);
}

void lf_announcePlanning(bool show) {
    gf_plannerHooks().disableParkingControls();
    trafficReader.bufferedMode.exchange(1);
    if (show) gf_showStatus("Calculating static parked aircraft ...", false);
}

void lf_startPlanning(bool immediate) {
    if (immediate) {
        lf_readAndPlan();
    } else {
        planRequested = true;
        lf_announcePlanning(false);
    }
}

void lf_lookForParkAirport(const LatLon& position, bool immediate) {
    if (userOnGround.load() != 0) {
        std::optional<Airport> airport = gf_closestAirport(position);
        if (!airport) {
            gf_showStatus("User aircraft on the ground, no airport in sight", true);
        } else if (failedParkFiles.count(airport->icao) == 0 && gf_airportFileAvailable(airport->icao)) {
            gf_log(fmt::format("User aircraft on the ground at {}", airport->icao));
            if (lf_setParkAirport(airport->icao)) lf_startPlanning(immediate);
        } else {
            gf_showStatus(fmt::format("User aircraft on the ground at {}, no airport file found", airport->icao), true);
        }
        return;
    }
    gf_enableControl(DESTINATION.controlId, true);
    std::optional<ParkAirportEntry> first = gf_firstParkAirport();
    if (!first || failedParkFiles.count(first->icao) != 0) return;
    if (lf_inSight(first->distanceNm, userState.altitude) && lf_setParkAirport(first->icao)) {
        gf_showStatus(fmt::format("{} in sight at {:.1f} nm", first->icao, first->distanceNm), true);
        planRequested = true;
        lf_announcePlanning(false);
    }
}

void lf_checkParkAirportSight(const LatLon& position) {
    if (userOnGround.load() != 0) return;
    const CurrentAirport current = gf_currentAirportCopy();
    const double distance = gf_distanceNm(position, LatLon{current.latitude, current.longitude});
    if (lf_inSight(distance, userState.altitude)) {
        std::optional<ParkAirportEntry> first = gf_firstParkAirport();
        if (first && first->icao != current.icao && lf_inSight(first->distanceNm, userState.altitude) &&
            first->distanceNm <= distance) {
            gf_log(fmt::format("\n{} {} is in sight ({:.1f} nm), parked aircraft at {} will be removed first",
                               gf_simTimeStamp(), first->icao, first->distanceNm, gf_parkAirportText(current)));
            gf_removeStaticParked();
        }
        return;
    }
    gf_log(fmt::format("\n{} {} is out of sight ({:.1f} nm), parked aircraft will be removed", gf_simTimeStamp(),
                       gf_parkAirportText(current), distance));
    gf_removeStaticParked();
}

// Refreshes the distances at every step; only the order waits while a destination is set, so that the
// destination stays first. The sight rules read these distances: one left from an earlier step would put
// an airport in sight from hundreds of miles away.
void lf_refreshDistances(const LatLon& position) {
    std::lock_guard lock(parkAirportsMutex);
    if (parkAirports.empty()) return;
    auto distanceOf = [&](ParkAirportEntry& e) {
        e.distanceNm = gf_distanceNm(position, LatLon{e.latitude, e.longitude});
    };
    if (position == lastPosition) {
        distanceOf(parkAirports.front());
        return;
    }
    lastPosition = position;
    for (ParkAirportEntry& e : parkAirports) distanceOf(e);
    if (!DESTINATION.value().empty()) return;
    parkAirports.sort([](const ParkAirportEntry& a, const ParkAirportEntry& b) { return a.distanceNm < b.distanceNm; });
}
}  // namespace

bool lf_positionValid(double latitude, double longitude) {
    return !(latitude >= 0.0 && latitude <= 0.0009 && longitude >= 0.0 && longitude <= 0.05);
}

bool lf_inSight(double distanceNm, double heightFt) {
    return distanceNm <= double(AIRPORT_RANGE.value.load()) && heightFt <= double(AIRPORT_HEIGHT.value.load());
}

bool gf_planRequested() { return planRequested; }

std::optional<Airport> gf_closestAirport(const LatLon& position) {
    const Airport* closest = nullptr;
    const Airport* neighbour = nullptr;
    double best = 100.0, second = 100.0;
    for (const Airport& a : airportList) {
        const double d = gf_distanceNm(position, LatLon{a.latitude, a.longitude});
        if (d > kGroundAirportNm) continue;
        if (d < best) {
            neighbour = closest;
            second = best;
            closest = &a;
            best = d;
        } else if (d < second) {
            neighbour = &a;
            second = d;
        }
    }
    if (closest == nullptr) return std::nullopt;
    if (neighbour == nullptr) return *closest;
    gf_log(fmt::format("Airport {} is closest, neighbour is {}", closest->icao, neighbour->icao));
    std::string closestStand, neighbourStand;
    const double toClosest = gf_readDestApfForClosestStand(closest->icao, position, closestStand);
    const double toNeighbour = gf_readDestApfForClosestStand(neighbour->icao, position, neighbourStand);
    if (toNeighbour >= toClosest) return *closest;
    gf_log(fmt::format("Airport {} is closest, but stand {} at neighbouring airport {} is closest at {:.0f} meters ...",
                       closest->icao, neighbourStand, neighbour->icao, toNeighbour * 1852.0));
    return *neighbour;
}

bool lf_setParkAirport(const std::string& icao) {
    std::optional<Airport> airport = gf_findAirport(icao);
    if (!airport) return false;
    CurrentAirport current;
    current.icao = airport->icao;
    current.iata = airport->iata;
    current.latitude = airport->latitude;
    current.longitude = airport->longitude;
    current.altitude = airport->altitude;
    gf_setCurrentAirport(current);
    gf_log(fmt::format("The park airport is {}", gf_parkAirportText(current)));
    return true;
}

void lf_leaveParkAirport() {
    // A setting that the window marked while parking here belongs in the airport's learned file, also when no
    // stand changed.
    if (airportFileChanged.exchange(0) != 0 && parkingActive.load() != 0) learnedParamsChanged.store(1);
    if (parkingActive.load() != 0 && (learnedParamsChanged.load() != 0 || learnedUpdateCount.load() >= 1)) {
        gf_saveLearned();
        learnedUpdateCount.store(0);
    }
    learnedParamsChanged.store(0);
    parkingActive.store(0);
    gf_plannerHooks().disableAirportControls();
    gf_leaveApf();
    gf_leaveLearned();
    gf_setCurrentAirport(CurrentAirport{});
    userReservedStand.clear();
    standsLoaded = 0;
    removalList.clear();
    staticJobs.clear();
    currentStands.clear();
    gf_publishStandPlaces();
    mainWindow.airportReady.store(false);
    mainWindow.reservedStandValid.store(false);
    mainWindow.airportSourceText.set("");
    mainWindow.airportFileText.set("");
    mainWindow.invalidate();
}

void gf_removeStaticParked() {
    staticJobs.clear();
    gf_flushStaticAircraft();
    for (LiveAircraft& live : liveList) {
        // The stands go with the airport, and the next airport numbers its own from 1: an aircraft that stays
        // (one still driving in drives on to its stand's position) keeps no id that would name one of them.
        live.standId = 0;
        const MovementPhase p = live.phase;
        if (p != MovementPhase::PushingBack && p != MovementPhase::PushedBack && p != MovementPhase::Taxi &&
            p != MovementPhase::TakeOff && p != MovementPhase::Parked)
            continue;
        // One still being added loses its own creation order (taken out by its id: another aircraft may
        // fly the same callsign), or is removed once created.
        if (live.simState == SimState::Active || live.simState == SimState::Adding2Sim) removeAircraftFromSim(live);
    }
    // The engine's indexes point into liveList: rebuilt after the erase.
    if (std::erase_if(liveList,
                      [](const LiveAircraft& l) { return l.removeFromBuffer != 0 || l.removedFromQueue != 0; }) > 0)
        lf_reindexLive();
    lf_leaveParkAirport();
    if (generalMaxLive != 0 && MAX_LIVE.value.load() != generalMaxLive) {
        MAX_LIVE.value.store(generalMaxLive);
        gf_enforceMaxLive();
    }
}

void gf_updateParking(bool immediate) {
    if (uiBusy.load() != 0 && staticJobs.empty()) {
        gf_plannerHooks().enableParkingControls();
        gf_clearStatus();
        gf_refreshStaticParkFigure(true);
        gf_refreshLiveParkFigure(true);
    }
    if (planRequested) {
        gf_clearStatus();
        lf_readAndPlan();
        return;
    }
    const LatLon position{userState.latitude, userState.longitude};
    if (!lf_positionValid(position.latitude, position.longitude)) return;
    lf_refreshDistances(position);
    if (!gf_currentAirportCopy().icao.empty())
        lf_checkParkAirportSight(position);
    else
        lf_lookForParkAirport(position, immediate);
}

bool gf_rereadParkAirports(bool updateCurrent, std::string& message) {
    if (!lf_readMyParkAirports()) return false;
    std::optional<ParkAirportEntry> first = gf_firstParkAirport();
    const CurrentAirport current = gf_currentAirportCopy();
    if (updateCurrent && lf_positionValid(userState.latitude, userState.longitude) && uiBusy.load() == 0 && first &&
        !current.icao.empty() && first->icao == current.icao && lf_userStandName().empty() &&
        !first->reservedStand.empty() && first->reservedStand != userReservedStand) {
        message = fmt::format("reserved stand changed from \"{}\" to \"{}\"", userReservedStand, first->reservedStand);
        if (ParkPos* old = userReservedStand.empty() ? nullptr : gf_findStandByName(userReservedStand))
            old->reserved = 0;
        userReservedStand = first->reservedStand;
        CurrentAirport changed = current;
        changed.reservedStand = userReservedStand;
        gf_setCurrentAirport(changed);
        gf_clearReservedStand();
        if (ParkPos* stand = gf_findStandByName(userReservedStand)) stand->reserved = 1;
        mainWindow.invalidate();
    }
    if (message.empty()) message = "park airports and stands are okay";
    return true;
}

void gf_resetParkAirportSight() {
    planRequested = false;
    lastPosition = LatLon{};
    failedParkFiles.clear();
    gf_resetPlanner();
}
