// Live-list merge: every feed record becomes a new point of a known live aircraft, a new live
// aircraft, or nothing. The filters keep each aircraft's stream of timed positions clean.
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/motion.h"
#include "engine/stands.h"
#include "feed/feed_intake.h"
#include "feed/traffic_record.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "simlink/commands.h"

namespace {

constexpr double kDeg = 0.017453292519943295;

double distNm(double lat1, double lon1, double lat2, double lon2) {
    return gf_distanceNm(LatLon{lat1, lon1}, LatLon{lat2, lon2});
}

// Absolute difference of two tracks in degrees, 0..180.
double trackDiffDeg(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

// Absolute difference of two angles in radians, 0..pi.
double angleDiffRad(double a, double b) { return std::fabs(std::remainder(a - b, 2.0 * M_PI)); }

double bearingRad(const StreamPoint& from, const StreamPoint& to) {
    return gf_initialBearing(LatLon{from.latitude, from.longitude}, LatLon{to.latitude, to.longitude});
}

// The park airport's elevation rule: an altitude of 0..10000 ft within 120 ft of the elevation.
bool nearParkElevation(double altitudeFt) {
    const double elevation = currentAirport.icao.empty() ? -1000.0 : currentAirport.altitude;
    return altitudeFt > 0.0 && altitudeFt < 10000.0 && std::fabs(altitudeFt - elevation) <= 120.0;
}

void resetWindows(LiveAircraft& ac) {
    ac.earlyWindowTicks = 3000;
    ac.lateWindowTicks = ac.takingOff ? 5000 : 3000;
}

int64_t nowTicks100ns() {
    return std::chrono::duration_cast<std::chrono::duration<int64_t, std::ratio<1, 10000000>>>(
               gf_utcNow().time_since_epoch())
        .count();
}

bool lf_markStop(LiveAircraft& ac, StreamPoint& p) {
    const StreamPoint& last = ac.stream.back();
    const bool active = ac.simState == SimState::Active;
    p.engineFlag = (p.latitude == last.latitude && p.longitude == last.longitude) ? 1 : 0;
    if (ac.category == static_cast<uint32_t>(AircraftCategory::Rotorcraft)) return true;
    if (!p.engineFlag) {
        if (std::fabs(p.latitude - last.latitude) <= 0.00015 && std::fabs(p.longitude - last.longitude) <= 0.00015) {
            if (p.airborne || (active && !ac.onGround) ||
                (ac.takingOff && p.groundSpeedKt > 0.0 && last.groundSpeedKt >= 50.0))
                return false;
            const uint32_t tick = p.tick;
            p = last;
            p.tick = tick;
            p.groundSpeedKt = 0.0;
            p.engineFlag = 1;
            return true;
        }
        if (p.groundSpeedKt == 0.0 && (ac.takingOff || p.airborne) && last.groundSpeedKt >= 50.0) return false;
        return true;
    }
    if (p.airborne || (active && !ac.onGround) || (ac.takingOff && p.groundSpeedKt > 0.0 && last.groundSpeedKt >= 30.0))
        return false;
    p.groundSpeedKt = 0.0;
    return true;
}

bool checkExtendingSituations(LiveAircraft& ac, StreamPoint& p) {
    if (ac.stream.empty()) {
        gf_logError(fmt::format("{} empty sz?", "checkExtendingSituations"));
        return false;
    }
    if (!ac.onGround && angleDiffRad(bearingRad(ac.stream.back(), p), ac.position[kPosHeading]) >= 100.0 * kDeg)
        return false;
    ac.extendCount = 0;
    resetWindows(ac);
    ac.stream.front().tick = engineTick.load() + 1;
    ac.holding = 0;
    ac.holdStartTick = 0;
    return true;
}

bool checkNewPosDuringLanding(LiveAircraft& ac, StreamPoint& p) {
    if (ac.stream.empty()) {
        gf_logError(fmt::format("{} empty sz?", "checkNewPosDuringLanding"));
        return false;
    }
    auto samePos = [](const StreamPoint& a, const StreamPoint& b) {
        return a.latitude == b.latitude && a.longitude == b.longitude;
    };
    if (samePos(p, ac.stream.back())) return false;
    const double heading = ac.position[kPosHeading];
    auto behind = [&](double limitDeg) {
        return angleDiffRad(bearingRad(ac.stream.back(), p), heading) >= limitDeg * kDeg;
    };
    if (ac.stream.size() >= 2) {
        if (behind(90.0)) {
            ac.stream.pop_back();
            if (ac.stream.size() >= 2 && behind(90.0)) ac.stream.pop_back();
        }
    } else if (ac.landing) {
        if (behind(90.0)) return false;
    } else if (behind(150.0)) {
        if (ac.extendCount > 0) return false;
        StreamPoint here = ac.stream.front();
        here.latitude = ac.position[kPosLat];
        here.longitude = ac.position[kPosLon];
        here.tick = engineTick.load() + 1;
        ac.stream.front() = here;
    }
    ac.extendCount = 0;
    resetWindows(ac);
    const StreamPoint& last = ac.stream.back();
    p.engineFlag = samePos(p, last) ? 1 : 0;
    if (p.groundSpeedKt > 40.0 && p.groundSpeedKt > last.groundSpeedKt) p.groundSpeedKt = last.groundSpeedKt;
    return true;
}

void checkStops(LiveAircraft& ac, size_t k, const StreamPoint& p) {
    try {
        const size_t n = ac.stream.size();
        const StreamPoint& f = ac.stream[n - 1 - k];
        const StreamPoint& l = ac.stream.back();
        const double lasted = tickDiff(l.tick, f.tick) / 100.0;
        if (lasted >= 15.0 && distNm(p.latitude, p.longitude, f.latitude, f.longitude) > 0.011879049676025918) return;
        // Drop the k - 1 stop points after f (the last point stays as the end of the stop).
        ac.stream.erase(ac.stream.end() - static_cast<std::ptrdiff_t>(k), ac.stream.end() - 1);
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: num:{} {}", "checkStops", k, e.what()));
    }
}

void removeSmallStop(LiveAircraft& ac, const StreamPoint& p) {
    try {
        const size_t n = ac.stream.size();
        if (n < 3) return;
        for (size_t k = 1; k <= 5 && k < n; ++k) {
            if (!ac.stream[n - 1 - k].engineFlag) {
                checkStops(ac, k, p);
                return;
            }
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {}", "removeSmallStop", e.what()));
    }
}

bool lf_checkParkedPosition(LiveAircraft& ac, StreamPoint& p) {
    ac.departing = 1;
    const double d = distNm(ac.standLatitude, ac.standLongitude, p.latitude, p.longitude);
    double limit = 0.0458963282937365;
    if (ac.previousPhase == MovementPhase::Parking) limit *= 2.0;
    constexpr double k3m = 0.0016198704103671706;
    if (d <= limit) {
        ac.parkedSince = nowTicks100ns();
        auto reject = [&] {
            ac.leaveStand = 0;
            return false;
        };
        if (ac.lastStandDistNm == 0.0) {
            ac.firstStandDistNm = d;
            ac.lastStandDistNm = d;
            ac.creepCount = 0;
            return reject();
        }
        if (d - ac.lastStandDistNm >= k3m) {
            ++ac.creepCount;
            ac.lastStandDistNm = d;
            const double moved = d - ac.firstStandDistNm;
            const bool creepingAway = (ac.creepCount >= 3 && moved >= ac.halfSpanNm / 2.0) || moved > ac.halfSpanNm;
            if (!creepingAway) return reject();
        } else {
            if (ac.lastStandDistNm - d >= k3m) ac.creepCount = 0;
            return reject();
        }
    } else {
        if (ac.phase == MovementPhase::Parking) {
            ac.setPhase(MovementPhase::Taxi);
            p.engineFlag = 0;
            return true;
        }
        if (d > 0.10799136069114472) {
            if (ac.simState != SimState::Active) return true;
            removeAircraftFromSim(ac);
            return false;
        }
    }
    p.engineFlag = 0;
    ac.leaveStand = 1;
    if (ac.previousPhase != MovementPhase::Parked) {
        lf_departStand(ac);
        if (ac.phase != MovementPhase::Parked) ac.setPhase(MovementPhase::Parked);
    }
    return true;
}

void lf_restartTakeOffAfterTouchdown(LiveAircraft& ac) {
    ac.setPhase(MovementPhase::Taxi);
    ac.takingOff = 1;
    const bool rotor = ac.category == static_cast<uint32_t>(AircraftCategory::Rotorcraft);
    if (ac.throttleIndex != 3) {
        lf_queueEvent(ac.objectId, vsim::kEvThrottleSet, kThrottleSteps[3]);
        ac.throttleIndex = 3;
    }
    if (!rotor) lf_queueEvent(ac.objectId, vsim::kEvSpoilersSet, 16383);
    if (ac.flapsIndex != 1 && !rotor) {
        lf_queueEvent(ac.objectId, vsim::kEvFlapsSet, kFlapsSteps[1]);
        ac.flapsIndex = 1;
    }
    ac.landing = 0;
    ac.landed = 0;
    ac.goAround = 0;
    lf_queueEvents(ac.objectId, {{vsim::kEvNavLightsSet, 1},
                                 {vsim::kEvBeaconLightsSet, 1},
                                 {vsim::kEvLandingLightsSet, 1},
                                 {vsim::kEvTaxiLightsSet, 1},
                                 {vsim::kEvStrobesSet, 1},
                                 {vsim::kEvLogoLightsSet, 1},
                                 {vsim::kEvCabinLightsSet, 0}});
    ac.earlyWindowTicks = 3000;
    ac.lateWindowTicks = 5000;
}

}  // namespace

// ---------------------------------------------------------------- stand departure

void gf_noteArrivalTried(uint32_t id, uint32_t halfHour);

void lf_departStand(LiveAircraft& ac) {
    if (ac.extendCount > 0 && !ac.stream.empty()) {
        if (ac.phase == MovementPhase::Parked) {
            if (ac.landed) {
                const uint32_t stood = engineTick.load() - ac.stream.front().tick + 60480000u;
                uint32_t limit = 0;
                switch (static_cast<AircraftCategory>(ac.category)) {
                case AircraftCategory::Heavy: limit = 360000; break;
                case AircraftCategory::Large: limit = 150000; break;
                case AircraftCategory::Buzjets: limit = 90000; break;
                default: break;
                }
                if (stood < limit) ac.towed = 1;
                ac.landed = 0;
            }
            ac.stream.front().tick = engineTick.load() + 1;
        }
        ac.extendCount = 0;
        resetWindows(ac);
    }
    if (!ac.identity.airline.empty() && ac.cargo == ac.cargoWanted) {
        const WeekSlot now = gf_currentWeekSlot();
        if (lf_addRealStandOption(ac.standId, ac, now, true)) gf_noteArrivalTried(ac.id, now.slot);
    }
    lf_releaseStand(ac);
}

// ---------------------------------------------------------------- adding a point

void decodeExisting(LiveAircraft& ac, StreamPoint p) {
    try {
        if (ac.stream.size() > 200) removeAircraftFromSim(ac);
        if (ac.holding) {
            if (!ac.stream.empty()) {
                const auto& last = ac.stream.back();
                const double meters = distNm(p.latitude, p.longitude, last.latitude, last.longitude) * 1852.0;
                if (meters > HOLDING_THRESHOLD_METERS.value.load()) {
                    ac.holding = 0;
                    ac.holdStartTick = 0;
                    removeAircraftFromSim(ac);
                    return;
                }
            }
        }
        switch (ac.phase) {
        case MovementPhase::Birth:
            if (!ac.stream.empty() && lf_markStop(ac, p)) {
                if (tickDiff(p.tick, ac.stream.back().tick) <= 0) p.tick = ac.stream.back().tick + 1;
                ac.stream.push_back(p);
            }
            return;
        case MovementPhase::Parking:
        case MovementPhase::Parked:
            if (ac.simState == SimState::Buffer || ac.simState == SimState::Adding2Sim) return;
            if (!lf_checkParkedPosition(ac, p)) return;
            break;
        case MovementPhase::PushingBack:
            if (!STRAIGHT_PBS_ONLY.value.load() && ac.pushbackStage == 2) {
                double heading = 0.0;
                bool have = false;
                if (p.hasTrueHeading) {
                    heading = p.trueHeadingRad;
                    have = true;
                } else if (p.trackDeg != 0.0) {
                    heading = p.trackDeg * kDeg;
                    have = true;
                }
                if (have) {
                    ac.pushbackTurnRight = std::remainder(heading - ac.position[kPosHeading], 2.0 * M_PI) > 0.0 ? 1 : 0;
                    ac.pushbackTurnKnown = 1;
                }
            }
            return;
        case MovementPhase::PushedBack: {
            const double d = distNm(p.latitude, p.longitude, ac.position[kPosLat], ac.position[kPosLon]);
            const double s = ac.halfSpanNm;
            const bool leaves = d > 6.0 * s || (d > 2.75 * s && d > ac.pushedBackDistNm);
            if (!leaves) {
                if (!ac.holding) {
                    ac.holding = 1;
                    ac.holdStartTick = engineTick.load();
                }
                ac.pushedBackDistNm = d;
                return;
            }
            p.engineFlag = 0;
            if (ac.extendCount > 0 && !ac.stream.empty()) {
                ac.stream.back().tick = engineTick.load() + 1;
                ac.extendCount = 0;
                resetWindows(ac);
            }
            ac.pushbackStage = 0;
            ac.pushbackTurnKnown = 0;
            ac.setPhase(MovementPhase::Taxi);
            ac.standLatitude = ac.standLongitude = ac.standHeading = 0.0;
            ac.standId = 0;
            ac.cargo = 0;
            ac.holding = 0;
            ac.holdStartTick = 0;
            break;
        }
        case MovementPhase::Taxi:
        case MovementPhase::TakeOff:
        case MovementPhase::Flying:
            if (!ac.landing && !ac.rollingOut) {
                if (ac.stream.empty() || !lf_markStop(ac, p)) return;
                if (ac.extendCount > 0 && !checkExtendingSituations(ac, p)) return;
            } else if (!checkNewPosDuringLanding(ac, p)) {
                return;
            }
            break;
        }
        if (!ac.stream.empty()) {
            const StreamPoint& last = ac.stream.back();
            if (!p.airborne && last.engineFlag) {
                if (!p.engineFlag) {
                    removeSmallStop(ac, p);
                } else if (ac.stream.size() >= 2 &&
                           std::all_of(ac.stream.begin(), ac.stream.end(),
                                       [](const StreamPoint& q) { return q.engineFlag != 0; })) {
                    ac.stream.resize(1);
                }
            }
            if (tickDiff(p.tick, ac.stream.back().tick) <= 0) p.tick = ac.stream.back().tick + 1;
        }
        if (!ac.takingOff && ac.onGround && ac.simState == SimState::Active && !ac.stream.empty()) {
            // A roll that slows down is a roll-out, also where the feed has its fast part off the ground.
            const StreamPoint& last = ac.stream.back();
            if (ac.rollingOut && last.airborne && p.airborne && p.groundSpeedKt >= last.groundSpeedKt) {
                lf_restartTakeOffAfterTouchdown(ac);
            } else if (ac.phase == MovementPhase::Taxi && gf_showsTakeOffRoll(last, p)) {
                startTakeOff(ac);
            }
        }
        ac.stream.push_back(p);
        if (ac.stream.size() == 2 && ac.stream[0].engineFlag && ac.stream[1].engineFlag) {
            ac.stream[0].tick = engineTick.load() + 1;
            ac.stream[0].groundSpeedKt = ac.stream[1].groundSpeedKt;
        }
    } catch (const std::exception& e) {
        gf_log(fmt::format("{} exception {}", "decodeExisting", e.what()));
        throw;
    }
}

// ---------------------------------------------------------------- respawn check

bool lf_checkRespawn(LiveAircraft& ac, TrafficRecord& rec) {
    AircraftIdentity& id = ac.identity;
    const AircraftIdentity& r = rec.identity;
    if (ac.takingOff || ac.landing) return true;
    if (ac.simState == SimState::Buffer) {
        if (!r.origin.empty() && r.origin != id.origin) id.origin = r.origin;
        if (!r.destination.empty() && r.destination != id.destination) id.destination = r.destination;
        if (!r.callsign.empty() && r.callsign != id.callsign) id.callsign = r.callsign;
        if (!r.registration.empty() && r.registration != id.registration) id.registration = r.registration;
        return true;
    }
    if (ac.simState != SimState::Active || ac.phase == MovementPhase::PushingBack || ac.extendCount >= 1) return true;

    bool respawn = false;
    bool liveryChange = false;
    // Route.
    if (id.destination.empty() && !r.destination.empty()) {
        id.destination = r.destination;
        respawn = true;
    }
    if (id.origin.empty() && !r.origin.empty()) {
        id.origin = r.origin;
        respawn = true;
    }
    if (!r.destination.empty() && !r.origin.empty() && r.destination != id.destination && r.origin != id.origin) {
        const bool returnLeg =
            !currentAirport.iata.empty() && id.origin == currentAirport.iata && r.destination == id.origin;
        if (!returnLeg) {
            id.origin = r.origin;
            id.destination = r.destination;
            respawn = true;
            if (ac.onGround && ac.phase != MovementPhase::Parking && ac.phase != MovementPhase::Parked) {
                ac.setPhase(MovementPhase::Taxi);
                ac.targetHeading = ac.position[kPosHeading];
            }
        }
    }
    // Registration.
    if (!r.registration.empty()) {
        const bool noReg =
            id.registration.empty() || (id.registration == id.callsign && r.registration != id.registration);
        if (noReg) {
            const std::string_view title = gf_liveryForRegistration(r.registration);
            if (!title.empty() && title != ac.liveryTitle) {
                if (auto entry = gf_findRegcode(r.registration)) {
                    if (!entry->airline.empty()) id.airline = entry->airline;
                    if (!entry->type.empty()) id.icaoType = entry->type;
                }
                liveryChange = true;
            }
        } else if (id.registration != r.registration) {
            if (auto entry = gf_findRegcode(r.registration)) {
                AircraftIdentity probe;
                probe.airline = entry->airline;
                probe.icaoType = entry->type;
                AircraftIdentity fromCallsign;
                fromCallsign.callsign = id.callsign;
                const bool callsignAirline =
                    airlineFromCallsign(fromCallsign) &&
                    (fromCallsign.airline == entry->airline ||
                     (!entry->operatorCode.empty() && fromCallsign.airline == entry->operatorCode));
                if (!sameAirlineType(probe, id) && (entry->operatorCode.empty() || entry->operatorCode != id.airline) &&
                    callsignAirline) {
                    const std::string& airline = entry->operatorCode.empty() ? entry->airline : entry->operatorCode;
                    if (!airline.empty()) id.airline = airline;
                    if (!entry->type.empty()) id.icaoType = entry->type;
                    liveryChange = true;
                }
            }
        }
        if (liveryChange) respawn = true;
        id.registration = r.registration;
    }
    // Callsign.
    if (!r.callsign.empty() && r.callsign != id.callsign && r.callsign != id.registration) {
        if (r.callsign.back() == '_') {
            if (lf_hasGhostOwner(r.callsign, &ac)) return false;
        } else {
            lf_removeGhost(r.callsign, &ac);
        }
        id.callsign = r.callsign;
        id.identity6 = r.callsign;
        id.identity7.clear();
        respawn = true;
    }
    if (!respawn || !GUID_CHANGES.value.load()) return true;
    // The livery is given up only when the aircraft really respawns: without a respawn it stays in
    // the simulator as it is, and must keep its phase and livery to go on moving.
    if (liveryChange) {
        rememberedLiveries.erase(ac.id);
        ac.liveryTitle = {};
        ac.setPhase(MovementPhase::Birth);
    }
    if (LOG.value.load()) gf_log(fmt::format("          {} respawns", acLabel(ac)));
    liveryRespawn(ac);
    return false;
}

// ---------------------------------------------------------------- matching

bool lf_matchFeedRecord(TrafficRecord& rec, LiveAircraft& ac) {
    if (rec.address != ac.id) return false;
    if (ac.simState == SimState::LiveryRespawn || ac.simState == SimState::RemovingFromSim) return true;
    if (!ac.stream.empty()) {
        const double dt = rec.timestamp - ac.lastFeedTime;
        const double gs = rec.groundSpeedKt;
        const StreamPoint& last = ac.stream.back();
        const double gsLast = last.groundSpeedKt;
        if (dt <= 1.0) return true;
        // A jump in speed, or a report too soon after the last, is measured against the feed's last report. A
        // stream that ends in points of the engine's own (a hold, a continuation) has none there: the standing
        // point of a hold would keep out every faster point of a feed that went on.
        if (ac.extendCount < 1) {
            if (gsLast > 5.0 && gs >= 10.0 * gsLast) return true;
            if (gs > 5.0 && gsLast >= 10.0 * gs) return true;
            if ((gsLast <= 5.0 && gs >= 80.0) || (gs <= 5.0 && gsLast >= 80.0)) return true;
            const double turn = trackDiffDeg(rec.trackDeg, last.trackDeg);
            if (rec.airborne && gs > 120.0 && turn <= 1.0 && dt <= 0.2429805615550756 / (gs / 3600.0)) return true;
            if (!rec.airborne && gs <= 30.0 && turn <= 2.0) {
                const double limit = gs == 0.0 ? 15.0 : std::min(15.0, 0.010799136069114472 / (gs / 3600.0));
                if (dt <= limit) return true;
            }
        }
    }
    if (ac.simState == SimState::Buffer && nearParkElevation(rec.altitudeFt)) return true;
    if (!lf_checkRespawn(ac, rec)) return true;
    ac.lastFeedTime = rec.timestamp;
    decodeExisting(ac, streamPointOf(rec));
    return true;
}

// ---------------------------------------------------------------- new aircraft

void lf_newLiveAircraft(TrafficRecord& rec) {
    rec.identity.identity6 = rec.identity.callsign;
    rec.identity.identity7.clear();
    rec.identity.identityNumber = 0;
    SimAircraft head;
    gf_makeAiRecord(head, rec);
    head.id = rec.address;
    const CategoryValues& values = categoryValues(head.category);
    head.turnStep = head.groundTurnStep;
    head.maxClimbStep = values.maxClimbStep;
    head.standTaxiSpeedKt = values.standTaxiSpeedKt;
    lf_appendLive(LiveAircraft(streamPointOf(rec), head, rec.timestamp));
}

void lf_addLiveAircraft(TrafficRecord& rec) {
    AircraftIdentity& id = rec.identity;
    std::optional<DbaseReg> entry;
    if (!id.registration.empty()) entry = gf_findRegcode(id.registration);
    if (id.icaoType.empty() && entry && !entry->type.empty()) id.icaoType = entry->type;
    if (!gf_isKnownModel(id.icaoType)) {
        if (!entry || entry->type.empty()) return;
        id.icaoType = entry->type;
    }
    if (!gf_categoryEnabled(categoryIndex(gf_aircraftCategory(id.icaoType)))) return;
    if (nearParkElevation(rec.altitudeFt)) return;
    lf_newLiveAircraft(rec);
}

void lf_mergeFeedRecord(TrafficRecord& rec) {
    // Only the aircraft with the record's hexid can match it.
    if (LiveAircraft* ac = gf_liveByHexid(rec.address)) {
        if (lf_matchFeedRecord(rec, *ac)) return;
    }
    if (!rec.identity.callsign.empty() && !liveList.empty()) {
        for (const auto& ac : liveList)
            if (ac.identity.callsign == rec.identity.callsign && ac.identity.icaoType == rec.identity.icaoType) return;
    }
    lf_addLiveAircraft(rec);
}

void lf_mergeFeedIntake(int maxRecords) {
    gf_takeFeedIntake(maxRecords, [](TrafficRecord& record) { lf_mergeFeedRecord(record); });
}
