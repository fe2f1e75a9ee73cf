// Spawn gate and spawning: when a buffered live aircraft may be created, its livery and place,
// its first attitude, and what follows when the simulator reports the new object.
#include <algorithm>
#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/aircraft_liveries.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/flight_plan.h"
#include "engine/motion.h"
#include "engine/stands.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "feed/feed_intake.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "simlink/commands.h"

void gf_noteArrivalTried(uint32_t id, uint32_t halfHour);

namespace {

constexpr double kDeg = 0.017453292519943295;
constexpr double kFeetPerNm = 6076.11549;

bool isRotor(const SimAircraft& ac) { return ac.category == static_cast<uint32_t>(AircraftCategory::Rotorcraft); }
bool endsWithUnderscore(const std::string& s) { return !s.empty() && s.back() == '_'; }

void discard(LiveAircraft& ac) { ac.removeFromBuffer = 1; }
void skip(LiveAircraft& ac) {
    if (!ac.stream.empty()) ac.stream.pop_front();
}

LatLon userPos() { return LatLon{userState.latitude, userState.longitude}; }

bool callsignUsable(const AircraftIdentity& id) { return isValidCallsign(id); }

}  // namespace

int64_t gf_nowTicks100ns() {
    return std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10000000>>>(
               gf_utcNow().time_since_epoch())
        .count();
}

double lf_userDistanceNm(double latitude, double longitude) {
    return gf_distanceNm(userPos(), LatLon{latitude, longitude});
}

// ---------------------------------------------------------------- gate

bool removeFarthestLive(double d) {
    double r = d;
    LiveAircraft* candidate = nullptr;
    for (auto& ac : liveList) {
        if (ac.simState != SimState::Active) continue;
        const double dist = lf_userDistanceNm(ac.position[kPosLat], ac.position[kPosLon]);
        if (dist > r + 0.1) {
            candidate = &ac;
            r = dist;
        }
    }
    if (!candidate) return true;
    removeAircraftFromSim(*candidate);
    return false;
}

void lf_spawnGate(LiveAircraft& ac) {
    if (ac.stream.empty()) return discard(ac);
    {
        const StreamPoint& first = ac.stream.front();
        const uint32_t lead = (!first.airborne && first.groundSpeedKt != 0.0) ? 300u : 100u;
        if (tickDiff(engineTick.load(), first.tick - lead) < 0) return;
    }
    if (ac.stream.size() == 1) return discard(ac);
    const std::string& cs = ac.identity.callsign;
    if (endsWithUnderscore(cs) && std::find(removedGhosts.begin(), removedGhosts.end(), cs) != removedGhosts.end())
        return discard(ac);
    const bool firstAirborne = ac.stream.front().airborne != 0;
    if (std::any_of(ac.stream.begin(), ac.stream.end(),
                    [&](const StreamPoint& p) { return (p.airborne != 0) != firstAirborne; }))
        return skip(ac);

    const StreamPoint& first = ac.stream.front();
    const LatLon firstPos{first.latitude, first.longitude};
    const double d = gf_distanceNm(userPos(), firstPos);
    const double bearing = gf_initialBearing(userPos(), firstPos);
    if (!lf_userOnGround()) {
        if (COLLISION_USER_AIR.value.load()) {
            if (!firstAirborne) {
                if (ac.inUserWay) return skip(ac);
                const double side = d * kFeetPerNm * std::fabs(std::sin(userState.heading - bearing));
                if (d <= 1.5 && userState.altitudeAboveGround < 1000.0 && side <= 500.0) {
                    ac.inUserWay = 1;
                    return skip(ac);
                }
            } else {
                const double side = d * kFeetPerNm * std::fabs(std::sin(first.trackDeg * kDeg - bearing));
                if (d <= 6.0 && std::fabs(first.altitudeFt - userState.altitude) < 3000.0 && side <= 4000.0) {
                    ac.inUserWay = 1;
                    return skip(ac);
                }
            }
        }
    } else if (!ac.inUserWay) {
        if (!firstAirborne && d <= 0.08099352051835854 && COLLISION_USER_GND.value.load()) return skip(ac);
    } else {
        if (userState.groundSpeed > 8.0) return skip(ac);
        if (!firstAirborne) {
            if (first.groundSpeedKt > 8.0) return skip(ac);
            if (d * 1852.0 < 500.0) return skip(ac);
        }
    }
    if (liveCreateFifo.size() > 10 && ac.phase == MovementPhase::Birth) return skip(ac);
    const int32_t maxLive = MAX_LIVE.value.load();
    if (maxLive != -1) {
        const auto active = std::count_if(liveList.begin(), liveList.end(),
                                          [](const LiveAircraft& a) { return a.simState == SimState::Active; });
        const auto n = static_cast<int64_t>(active + spawnIds.size() + liveCreateFifo.size());
        if (maxLive <= n && removeFarthestLive(d)) return discard(ac);
    }
    const std::string blocked = BLOCK_CALLSIGN.value();
    if (!blocked.empty() && blocked == cs) return discard(ac);

    AircraftIdentity& id = ac.identity;
    // The cargo wish belongs to the registration: one the table does not list wishes for none.
    ac.cargoWanted = 0;
    if (!id.registration.empty()) {
        if (auto entry = gf_findRegcode(id.registration)) {
            if (!entry->airline.empty()) id.airline = entry->airline;
            if (!entry->type.empty()) id.icaoType = entry->type;
            if (!entry->operatorCode.empty()) id.airline = entry->operatorCode;
            ac.cargoWanted = entry->cargo ? 1 : 0;
            if (!callsignUsable(id)) id.callsign = id.registration;
        }
    }
    if (!callsignUsable(id)) return discard(ac);
    if (id.airline.empty() && !airlineFromCallsign(id)) id.airline = "PVT";
    if (noMatchKeys.count(airlineTypeRegKey(id)) != 0) return discard(ac);
    if (endsWithUnderscore(id.callsign) && lf_hasGhostOwner(id.callsign, &ac)) return discard(ac);
    spawnLiveAc(ac);
}

// ---------------------------------------------------------------- livery

bool lf_pickLiveLivery(LiveAircraft& ac) {
    if (!ac.liveryTitle.empty()) return true;
    if (auto it = rememberedLiveries.find(ac.id); it != rememberedLiveries.end()) {
        if (gf_isNotCreatedTitle(it->second))
            rememberedLiveries.erase(it);
        else
            ac.liveryTitle = it->second;
    }
    if (ac.liveryTitle.empty()) {
        gf_matchLivery(ac);
        if (ac.liveryTitle.empty()) return false;
        rememberedLiveries[ac.id] = ac.liveryTitle;
    }
    return true;
}

// ---------------------------------------------------------------- make way at a stand

// The static aircraft on the stand itself, in list order until one is handled: an active one is
// removed, one still queued for creation is taken out of the queue, one already sent is removed
// once created. Returns whether one was handled.
bool lf_staticAtStandMakesWay(LiveAircraft& live, const ParkPos& stand) {
    const bool log = LOG.value.load();
    for (auto& s : staticList) {
        if (s.standId != stand.id) continue;
        const bool same =
            s.identity.callsign == live.identity.callsign ||
            (!live.identity.registration.empty() && s.identity.registration == live.identity.registration);
        const char* sameText = same ? " the same live version" : "";
        if (s.simState == SimState::Active) {
            if (log)
                gf_log(fmt::format("{:8}: {:8} {} makes way for{} {} {}", stand.name, s.identity.callsign,
                                   airlineTypeKey(s), sameText, live.identity.callsign, airlineTypeKey(live)));
            removeAircraftFromSim(s);
            return true;
        }
        if (s.simState == SimState::Adding2Sim) {
            if (takeQueuedCreation(staticCreateFifo, s.id)) {
                s.removedFromQueue = 1;
                if (log)
                    gf_log(fmt::format("queued {:8}: {:8} {} makes way for{} {} {}", stand.name, s.identity.callsign,
                                       airlineTypeKey(s), sameText, live.identity.callsign, airlineTypeKey(live)));
            } else {
                s.removeWhenCreated = 1;
            }
            return true;
        }
    }
    return false;
}

// For each stand coupled to this one: the first active static aircraft on it that stands close
// enough to the live aircraft's stand to touch it is removed.
void lf_staticAtAdjacentStandMakesWay(LiveAircraft& live, const ParkPos& stand) {
    const bool log = LOG.value.load();
    for (uint32_t coupledId : stand.coupledIds) {
        for (auto& s : staticList) {
            if (s.standId != coupledId || s.simState != SimState::Active) continue;
            const double limit = (gf_wingspan(s.identity.icaoType) + gf_wingspan(live.identity.icaoType)) * 1.1;
            if (gf_distanceNm(LatLon{s.standLatitude, s.standLongitude},
                              LatLon{live.standLatitude, live.standLongitude}) > limit)
                continue;
            if (log)
                gf_log(fmt::format("{:8}: {:8} removed by {} parking at adjacent stand {}", gf_standNameById(s.standId),
                                   s.identity.callsign, live.identity.callsign, stand.name));
            removeAircraftFromSim(s);
            break;
        }
    }
}

void lf_makeWayAtStand(LiveAircraft& live, const ParkPos& stand) {
    lf_staticAtStandMakesWay(live, stand);
    staticList.erase(std::remove_if(staticList.begin(), staticList.end(),
                                    [](const SimAircraft& a) { return a.removedFromQueue != 0; }),
                     staticList.end());
    lf_staticAtAdjacentStandMakesWay(live, stand);
}

bool lf_standBeingCleared(uint32_t standId) {
    // A static taken out of its creation queue never reached the simulator; a live aircraft still driving in
    // does not stand there yet.
    return std::any_of(staticList.begin(), staticList.end(),
                       [&](const SimAircraft& s) {
                           return s.standId == standId && s.simState == SimState::RemovingFromSim &&
                                  !s.removedFromQueue;
                       }) ||
           std::any_of(liveList.begin(), liveList.end(), [&](const LiveAircraft& ac) {
               return ac.standId == standId && ac.simState == SimState::RemovingFromSim &&
                      ac.phase == MovementPhase::Parked && !ac.removeFromBuffer;
           });
}

void lf_releaseStand(const SimAircraft& ac) {
    if (!ac.isLive() || ac.standId == 0) return;
    ParkPos* stand = gf_findStandById(ac.standId);
    if (!stand) return;
    // Aircraft on their way out of the list hold nothing.
    const bool heldByOther = std::any_of(liveList.begin(), liveList.end(), [&](const LiveAircraft& other) {
        return other.id != ac.id && other.standId == stand->id && other.simState != SimState::RemovingFromSim &&
               !other.removeFromBuffer && !other.removedFromQueue &&
               (other.phase == MovementPhase::Parked || other.phase == MovementPhase::Parking);
    });
    if (!heldByOther) stand->occupied = 0;
}

void lf_takeStand(LiveAircraft& ac, const ParkPos& stand) {
    // A stand held before (an arrival that went back to taxi and parks elsewhere) is given back.
    if (ac.standId != stand.id) lf_releaseStand(ac);
    ac.standLatitude = stand.latitude;
    ac.standLongitude = stand.longitude;
    ac.standHeading = stand.heading;
    ac.standId = stand.id;
    ac.cargo = stand.cargo;
    lf_makeWayAtStand(ac, stand);
}

// ---------------------------------------------------------------- spawning

namespace {

// Places a ground aircraft at a stand; false when it was discarded or must wait.
enum class StandResult {
    Placed,
    Taxi,
    AtFirstPoint,
    Wait,
    Discarded
};

StandResult lf_placeAtStand(LiveAircraft& ac) {
    auto& stream = ac.stream;
    const StreamPoint& first = stream.front();
    double lat = first.latitude, lon = first.longitude;
    if (!first.engineFlag) {
        const StreamPoint& last = stream.back();
        const bool nearFirst = gf_distanceNm(LatLon{last.latitude, last.longitude},
                                             LatLon{first.latitude, first.longitude}) <= 0.018898488120950324;
        if (!(stream[1].groundSpeedKt <= 5.0 && nearFirst)) return StandResult::Taxi;
        lat = last.latitude;
        lon = last.longitude;
    }
    ParkPos* stand = gf_nearestFittingStand(lat, lon, ac, 0.029697624190064796, false);
    if (!stand) {
        if (stream[1].engineFlag) {
            stream.pop_front();
            return StandResult::Wait;
        }
        return StandResult::Taxi;
    }
    // The aircraft the stand is being cleared of still stands there: the gate tries again next tick.
    if (lf_standBeingCleared(stand->id)) return StandResult::Wait;
    if ((!currentAirport.reservedStand.empty() && stand->name == currentAirport.reservedStand) ||
        stand->name == lf_userStandName())
        return StandResult::AtFirstPoint;
    if (!lf_claimStand(ac, stand->id) || lf_blockingCoupledStand(stand->coupledIds, *stand, ac) != nullptr) {
        discard(ac);
        return StandResult::Discarded;
    }
    lf_takeStand(ac, *stand);
    StreamPoint head = stream.front();
    head.engineFlag = 1;
    head.groundSpeedKt = 0.0;
    ac.setPhase(MovementPhase::Parked);
    stand->occupied = 1;
    ac.parkedSince = gf_nowTicks100ns();
    ac.lastStandDistNm = 0.0;
    ac.creepCount = 0;
    markCargoStand(ac);
    head.latitude = stand->latitude;
    head.longitude = stand->longitude;
    head.trackDeg = stand->heading * 57.29577951308232;
    stream.clear();
    stream.push_back(head);
    const WeekSlot now = gf_currentWeekSlot();
    if (lf_addRealStandOption(ac.standId, ac, now, false)) gf_noteArrivalTried(ac.id, now.slot);
    gf_keepParkedWithinPlan(1);
    return StandResult::Placed;
}

}  // namespace

void spawnLiveAc(LiveAircraft& ac) {
    auto& stream = ac.stream;
    if (stream.size() < 2) {
        gf_logError(fmt::format("{} sz:{}", "spawnLiveAc", stream.size()));
        return;
    }
    if (stream[1].engineFlag) {
        stream[0].engineFlag = 1;
        stream[0].groundSpeedKt = 0.0;
        stream[1].groundSpeedKt = 0.0;
        if (stream.size() > 2 && stream[2].engineFlag) stream[2].groundSpeedKt = 0.0;
    } else {
        stream[0].engineFlag = 0;
    }
    if (ac.phase == MovementPhase::Birth) {
        if (!lf_pickLiveLivery(ac)) {
            if (!ac.identity.registration.empty()) noMatchKeys.insert(airlineTypeRegKey(ac.identity));
            return discard(ac);
        }
        if (stream.front().airborne) {
            ac.setPhase(MovementPhase::Flying);
        } else {
            const StreamPoint& first = stream.front();
            const bool nearPark = !currentStands.empty() && !currentAirport.icao.empty() &&
                                  gf_distanceNm(LatLon{first.latitude, first.longitude},
                                                LatLon{currentAirport.latitude, currentAirport.longitude}) <= 5.0;
            StandResult result = nearPark ? lf_placeAtStand(ac) : StandResult::Taxi;
            if (result == StandResult::Wait || result == StandResult::Discarded) return;
            if (result == StandResult::Taxi) ac.setPhase(MovementPhase::Taxi);
        }
    }
    standCheckList.push_back(ac.id);
    const StreamPoint& first = stream.front();
    ac.position[kPosLat] = first.latitude;
    ac.position[kPosLon] = first.longitude;
    ac.position[kPosAlt] = first.altitudeFt;
    if (first.airborne) {
        double v = first.verticalSpeed;
        if (v > 0.0)
            v = std::min(v, 2400.0);
        else if (v < 0.0)
            v = std::max(v, -3000.0) / 2.0;
        ac.position[kPosPitch] = -0.05235987755982989 - v / 600.0 * 2.2 * kDeg;
    } else {
        ac.position[kPosPitch] = 0.010471975511965976;
    }
    ac.position[kPosBank] = first.hasElement23 ? first.element23Rad : 0.0;
    ac.position[kPosVs] = first.verticalSpeed / 60.0;
    ac.position[kPosTas] = first.airSpeedKt;
    double heading;
    if (ac.respawnPending)
        heading = ac.respawnHeading;
    else if (ac.phase == MovementPhase::Parked)
        heading = ac.standHeading;
    else if (stream.size() > 1 && stream[1].engineFlag)
        heading = first.trackDeg * kDeg;
    else if (stream.size() > 1)
        heading =
            gf_initialBearing(LatLon{first.latitude, first.longitude}, LatLon{stream[1].latitude, stream[1].longitude});
    else
        heading = first.trackDeg * kDeg;
    heading = std::fmod(heading, 2.0 * M_PI);
    if (heading < 0.0) heading += 2.0 * M_PI;
    ac.position[kPosHeading] = heading;
    ac.headingStep = first.airborne ? 0.0 : heading;
    ac.simState = SimState::Adding2Sim;
    ac.inUserWay = 0;
    spawnIds.push_back(ac.id);
    if (!endsWithUnderscore(ac.identity.callsign)) lf_removeGhost(ac.identity.callsign, &ac);
}

// ---------------------------------------------------------------- the object exists

bool lf_onLiveCreated(LiveAircraft& ac, const SimNotice& notice) {
    if (notice.objectId < 3) return false;
    lf_setLiveObjectId(ac, notice.objectId);
    ac.heightAglFt = notice.b;
    if (!ac.stream.empty() && !ac.stream.front().airborne) {
        ac.onGround = 1;
        if (!isRotor(ac)) lf_queueEvent(ac.objectId, vsim::kEvGearSet, 1);
        ac.altStep = 0.0;
        if (ac.phase == MovementPhase::Parked) {
            ac.parkedSlot = gf_currentWeekSlot().packed();
            const std::string standName = gf_standNameById(ac.standId);
            if (LOG.value.load()) gf_log(fmt::format("{:8}: {:8} parks", standName, ac.identity.callsign));
            staticJobs.erase(std::remove_if(staticJobs.begin(), staticJobs.end(),
                                            [&](const StaticJob& j) { return j.standId == ac.standId; }),
                             staticJobs.end());
            for (auto& s : staticList) {
                if (s.standId == ac.standId && s.simState == SimState::Active) {
                    gf_log(fmt::format("{:8}: {:8} parks over static {} ? static will be removed ...", standName,
                                       ac.identity.callsign, s.identity.callsign));
                    removeAircraftFromSim(s);
                    break;
                }
            }
        }
        ac.rotationCountdown = 1;
    }
    lf_setFlightPlan(ac);
    lf_requestStaticCg(ac.objectId);
    return true;
}

void lf_setFlightPlan(LiveAircraft& ac) {
    if (ac.identity.origin.empty() || ac.identity.destination.empty()) return;
    // The writer thread writes (and assigns) the file; once asked for, the plan is the object's, so
    // the removal of the object deletes it after it was written, or finds nothing to delete.
    gf_queueFlightPlan(ac, ac.objectId, MSFS_2020.value.load());
    ac.hasFlightPlan = 1;
}

void lf_initialLights(LiveAircraft& ac) {
    const uint32_t obj = ac.objectId;
    const bool rotor = isRotor(ac);
    if (!ac.stream.empty() && ac.stream.front().airborne) {
        lf_queueEvent(obj, vsim::kEvEngineAutoStart, 0);
        if (!rotor) lf_queueEvent(obj, vsim::kEvSpoilersSet, 0);
        const uint32_t low = ac.position[kPosAlt] <= 10000.0 ? 1 : 0;
        lf_queueEvents(obj, {{vsim::kEvNavLightsSet, 1},
                             {vsim::kEvBeaconLightsSet, 1},
                             {vsim::kEvLandingLightsSet, low},
                             {vsim::kEvTaxiLightsSet, 0},
                             {vsim::kEvStrobesSet, 1},
                             {vsim::kEvLogoLightsSet, low},
                             {vsim::kEvCabinLightsSet, ac.heightAglFt >= 2000.0 ? 1u : 0u}});
        ac.simState = SimState::Active;
        return;
    }
    const bool parked = ac.phase == MovementPhase::Parked;
    if (!rotor) lf_queueEvent(obj, vsim::kEvSpoilersSet, 0);
    if (parked)
        lf_queueEvent(obj, vsim::kEvEngineAutoShutdown, 0);
    else
        lf_queueEvent(obj, vsim::kEvEngineAutoStart, 0);
    const uint32_t nav = parked ? (NAV_LIGHTS_WHILE_PARKED.value.load() ? 1u : 0u) : 1u;
    lf_queueEvents(obj, {{vsim::kEvNavLightsSet, nav},
                         {vsim::kEvBeaconLightsSet, parked ? 0u : 1u},
                         {vsim::kEvLandingLightsSet, 0},
                         {vsim::kEvTaxiLightsSet, ac.phase == MovementPhase::Taxi ? 1u : 0u},
                         {vsim::kEvStrobesSet, 0},
                         {vsim::kEvLogoLightsSet, 1},
                         {vsim::kEvCabinLightsSet, 1}});
    const uint32_t throttle = rotor ? 4u : 0u;
    if (ac.throttleIndex != throttle) {
        lf_queueEvent(obj, vsim::kEvThrottleSet, kThrottleSteps[throttle]);
        ac.throttleIndex = throttle;
    }
    if (!rotor) {
        const uint32_t flaps = ac.phase == MovementPhase::Taxi ? 1u : 0u;
        if (ac.flapsIndex != flaps) {
            lf_queueEvent(obj, vsim::kEvFlapsSet, kFlapsSteps[flaps]);
            ac.flapsIndex = flaps;
        }
    }
    ac.simState = SimState::Active;
}

void lf_onGroundContact(LiveAircraft& ac) {
    if (ac.simState == SimState::RemovingFromSim || ac.phase == MovementPhase::TakeOff) return;
    if (ac.flareStage != 0 || ac.landing) {
        ac.derotating = 1;
        ac.rollingOut = 1;
        ac.landing = 0;
        ac.landed = 1;
        ac.touchdownHeading = ac.position[kPosHeading];
        if (!isRotor(ac)) lf_queueEvent(ac.objectId, vsim::kEvSpoilersSet, 16383);
        if (ac.category != static_cast<uint32_t>(AircraftCategory::Light))
            lf_setSpoilerThrottle(ac.objectId, 100.0, ac.titlePrefixFlag ? -100.0 : 100.0);
        if (ac.rolloutTicks == 0) {
            gf_log(fmt::format("{} ! onGround slots {:.1F}", acLabel(ac), 0.0));
        } else {
            // Level the wings and lower the nose to the ground attitude over the roll-out.
            ac.bankStep = -ac.position[kPosBank] / ac.rolloutTicks;
            ac.pitchStep = (ac.staticPitch - ac.position[kPosPitch]) / ac.rolloutTicks;
        }
        standCheckList.push_back(ac.id);
    }
    ac.onGround = 1;
    ac.altStep = 0.0;
    ac.rotationCountdown = 1;
}
