// Ground movement of live aircraft and the advance from one aim point to the next: taxi legs and
// turns, the timing of ground aim points, leaving a stand (pulling out or pushing back), the last
// leg into a stand and the arrival there, the continuation of an aircraft whose positions run out
// (synthetic points and holding), and the respawn with another livery.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/learned.h"
#include "airports/parking.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/ground_grid.h"
#include "engine/motion_detail.h"
#include "engine/stands.h"
#include "engine/static_parking.h"
#include "feed/feed_intake.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "platform/sim/sim_api.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "simlink/commands.h"

using namespace motion;

namespace {

LatLon latLonOf(const StreamPoint& p) { return {p.latitude, p.longitude}; }
LatLon latLonOf(const LiveAircraft& ac) { return {ac.position[kPosLat], ac.position[kPosLon]}; }

uint32_t nowTick() { return engineTick.load(); }

bool isRotor(const LiveAircraft& ac) { return ac.category == static_cast<uint32_t>(AircraftCategory::Rotorcraft); }

bool logOn() { return LOG.value.load(); }

// System clock in ticks of 100 ns.
int64_t nowTicks100ns() {
    using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void resetWindowsForStand(LiveAircraft& ac) {
    ac.earlyWindowTicks = 3000;
    ac.lateWindowTicks = ac.takingOff ? 5000 : 3000;
}

// A point at a given position that otherwise copies `from`.
StreamPoint pointAt(const StreamPoint& from, const LatLon& at) {
    StreamPoint p = from;
    p.latitude = at.latitude;
    p.longitude = at.longitude;
    p.engineFlag = 0;
    p.airborne = 0;
    p.verticalSpeed = 0.0;
    return p;
}

// The feed reports aircraft on the ground only within this distance of the selected park airport.
constexpr double kGroundFeedNm = 5.0;

// Whether the feed can report the aircraft's next point on the ground: a hold waits for it. Elsewhere (no park
// airport, or another airport) the feed has the aircraft again only once it is airborne.
bool groundFeedReaches(const LiveAircraft& ac) {
    return !currentAirport.icao.empty() &&
           gf_distanceNm(latLonOf(ac), LatLon{currentAirport.latitude, currentAirport.longitude}) <= kGroundFeedNm;
}

// Another aircraft stands on the stand: a live one parked there, or a static one placed there.
bool standGivenAway(const LiveAircraft& ac, const ParkPos& stand) {
    if (!stand.occupied) return false;
    for (const auto& other : liveList) {
        if (other.id == ac.id || other.standId != stand.id) continue;
        if (other.simState == SimState::RemovingFromSim) continue;
        if (other.phase == MovementPhase::Parked) return true;
    }
    for (const auto& other : staticList) {
        if (other.standId != stand.id || other.simState == SimState::RemovingFromSim) continue;
        if (other.removedFromQueue || other.removeWhenCreated) continue;
        return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------- the advance

void nextPosMain(LiveAircraft& ac) {
    try {
        // Every pass takes a point away or adds one at the end; the bound only guards the loop.
        for (int pass = 0; pass < 1000; ++pass) {
            if (ac.stream.size() >= 2) {
                if (!ac.onGround && !isRotor(ac) && ac.stream[1].engineFlag) {
                    ac.stream.erase(ac.stream.begin() + 1);
                    continue;
                }
                nextPos(ac);
                return;
            }
            if (endOfStream(ac)) continue;
            if (ac.phase != MovementPhase::Parked) lf_learnSoftStand(ac, ac.phase != MovementPhase::Flying);
            removeAircraftFromSim(ac);
            return;
        }
        throw std::runtime_error("no aim point found");
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "nextPosMain", e.what(), acLabel(ac),
                                ac.stream.size(), phaseName(ac.phase), simStateName(ac.simState)));
        throw;
    }
}

void nextPos(LiveAircraft& ac) {
    clearCurve(ac);
    if (ac.stream.empty()) {
        removeAircraftFromSim(ac);
        throw std::runtime_error(fmt::format("{} {} fs:{}, st:{} stream at the end is empty?", "nextPos", acLabel(ac),
                                             phaseName(ac.phase), simStateName(ac.simState)));
    }
    if (ac.stream.size() >= 2) {
        StreamPoint& aim = ac.stream[1];
        const StreamPoint& head = ac.stream[0];
        if (!aim.engineFlag && aim.latitude == head.latitude && aim.longitude == head.longitude) aim.engineFlag = 1;
        if (!aim.engineFlag) ac.targetHeading = gf_initialBearing(latLonOf(head), latLonOf(aim));
    }
    if (ac.onGround)
        groundAimLogic(ac);
    else
        airAimTick(ac);

    if (ac.stream.size() >= 2) {
        const StreamPoint& aim = ac.stream[1];
        if (aim.engineFlag) {
            ac.latStep = 0.0;
            ac.lonStep = 0.0;
            if (!ac.takingOff && !ac.rollingOut) lowerWindows(ac);
        } else {
            auto aimSteps = [&ac] {
                const StreamPoint& to = ac.stream[1];
                const int32_t dt = ticksToAim(ac);
                double dLon = to.longitude - ac.position[kPosLon];
                // Across the date line the short way round is the one meant.
                if (dLon > 180.0) dLon -= 360.0;
                if (dLon < -180.0) dLon += 360.0;
                ac.latStep = (to.latitude - ac.position[kPosLat]) / dt;
                ac.lonStep = dLon / dt;
            };
            aimSteps();
            const size_t pointsBefore = ac.stream.size();
            if (ac.onGround) {
                groundAimStep(ac);
            } else {
                flightAimStep(ac);
                // A lift-off may skip the ground points ahead: the steps then lead to the new
                // aim point at its own tick, not to a point that is gone.
                if (ac.stream.size() != pointsBefore && ac.stream.size() >= 2 && !ac.stream[1].engineFlag) aimSteps();
            }
        }
    }
    ac.stream.pop_front();
}

// ---------------------------------------------------------------- ground decisions

void groundAimLogic(LiveAircraft& ac) {
    if (ac.phase == MovementPhase::PushingBack) {
        ac.pushbackStage -= 1;
        if (ac.pushbackStage == 1) {
            // The straight part is done.
            if (!ac.pushbackTurnKnown) {
                if (ac.stream.size() > 2) ac.stream.pop_back();
            } else {
                if (ac.pushbackTurnRight && ac.stream.size() > 2) ac.stream.back() = ac.pushbackAltPoint;
                buildCurve(ac);
                const double turn = std::max(ac.turnStep, 1e-9);
                // Degrees over radians per tick, as the turn speed of a pushback has always been scaled.
                const double n = std::max(std::round(90.0 / turn / 100.0), 1.0);
                ac.curveTStep = 1.0 / n;
                ac.curveTurnDeg = 90.0;
            }
        } else if (ac.pushbackStage < 1) {
            ac.targetHeading = ac.position[kPosHeading];
            lf_queueEvent(ac.objectId, vsim::kEvEngineAutoStart, 0);
            if (ac.throttleIndex != 0) sendThrottleStep(ac, 0);
            sendFlapsStep(ac, 1);
            ac.setPhase(MovementPhase::PushedBack);
            ac.pushbackStage = 1;
            ac.pushedBackDistNm = 900.0;
            ac.extendCount = 0;
            ac.leaveStand = 0;
        }
        groundAimTick(ac);
        return;
    }
    if (ac.phase == MovementPhase::Parked) {
        resetWindowsForStand(ac);
        if (ac.leaveStand && !ac.stream.empty()) {
            const LatLon stand{ac.standLatitude, ac.standLongitude};
            const double bearing = gf_initialBearing(stand, latLonOf(ac.stream.back()));
            const double d = std::trunc(normalizeAngle(bearing - ac.standHeading) * kRad2Deg);
            if (std::fabs(d) < 90.0)
                pullOut(ac);
            else
                startPushback(ac);
        }
        groundAimTick(ac);
        return;
    }
    if (ac.phase == MovementPhase::PushedBack) {
        groundAimTick(ac);
        return;
    }

    if (ac.stream.size() >= 2 && !ac.stream[1].engineFlag) {
        if (ac.stream.size() >= 3 && !ac.stream[2].engineFlag) {
            const double t = turnToNextLeg(ac) * kRad2Deg;
            const double at = std::fabs(t);
            const StreamPoint& head = ac.stream[0];
            const StreamPoint& aim = ac.stream[1];
            if (at > 45.0 && gf_distanceNm(latLonOf(head), latLonOf(aim)) > kFiftyMetresNm &&
                head.groundSpeedKt <= 43.0 && tickDiff(aim.tick, head.tick) >= 600) {
                insertMidpoint(ac);
            } else if (at > 3.0 && at <= 160.0) {
                const StreamPoint& third = ac.stream[2];
                if (third.latitude != head.latitude || third.longitude != head.longitude) {
                    buildCurve(ac);
                    ac.curveTurnDeg = at;
                } else {
                    splitOnSpeedChange(ac);
                }
            } else {
                splitOnSpeedChange(ac);
            }
        } else if (ac.stream.size() >= 3 || ac.extendCount < 1) {
            splitOnSpeedChange(ac);
        }
        if (!curveActive(ac)) {
            ac.turnToTargetDeg = std::fabs(normalizeAngle(ac.targetHeading - ac.position[kPosHeading])) * kRad2Deg;
            ac.turningToTarget = ac.turnToTargetDeg > 3.0 ? 1 : 0;
        } else {
            ac.turningToTarget = 0;
        }
    }

    // Parking trigger: an arrival coming to rest takes a stand. So does an aircraft towed from one stand to
    // another: one that left a stand and comes to rest by another without a take-off roll. A tow is known
    // at its start only for an aircraft that landed in this session; one the feed found parked is known as
    // towed when it comes to rest at a stand.
    const bool leftAStand = ac.previousPhase == MovementPhase::Parked ||
                            ac.previousPhase == MovementPhase::PushingBack ||
                            ac.previousPhase == MovementPhase::PushedBack;
    const bool towedHere = leftAStand && !ac.towed && !ac.takingOff;
    if (!ac.stream.empty() && ac.stream.back().engineFlag && ac.phase == MovementPhase::Taxi && parkingActive.load() &&
        (ac.towed || !leftAStand || towedHere)) {
        if (ac.extendCount > 0) {
            try2Park(ac, ac.landed != 0);
        } else if (ac.stream.size() >= 2 && ac.stream[1].groundSpeedKt <= 5.0 &&
                   gf_distanceNm(latLonOf(ac), latLonOf(ac.stream.back())) <= kThirtyFiveMetresNm) {
            try2Park(ac, false);
        }
        if (towedHere && ac.phase == MovementPhase::Parking) ac.towed = 1;
    }
    groundAimTick(ac);
}

void groundAimTick(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const StreamPoint& head = ac.stream[0];
    StreamPoint& aim = ac.stream[1];
    const uint32_t now = nowTick();
    if (!aim.engineFlag) {
        ac.turnStep = ac.groundTurnStep;
        const double distance = gf_distanceNm(latLonOf(head), latLonOf(aim));
        const int32_t T = ticksFor(distance, estimateSpeedKt(ac));
        if (curveActive(ac) || ac.turningToTarget) {
            const double a = ac.turningToTarget ? ac.turnToTargetDeg : ac.curveTurnDeg;
            // The turn in degrees over the turn step in radians per tick, as the turn speed has
            // always been scaled.
            const double k = ac.turnStep > 0.0 ? std::round(a / ac.turnStep / 100.0) : 0.0;
            if (a != 0.0 && distance != 0.0) {
                const double r = T / std::max(k, 1.0);
                if (a <= 45.0) {
                    if (r >= 1.2) {
                        const double f = std::min({r * 10.0 / a, r * 30.0 * kNmPerMetre / distance, r});
                        if (f != 0.0) ac.turnStep /= f;
                    } else if (r != 0.0) {
                        ac.turnStep /= r;
                    }
                } else {
                    ac.turnStep *= std::min(r, std::min(a, 90.0) / 30.0);
                    if (a >= 90.0) {
                        ac.earlyWindowTicks = std::max(ac.earlyWindowTicks, 2000);
                        ac.lateWindowTicks = std::max(ac.lateWindowTicks, 2000);
                    }
                }
            }
        }
        setAimTick(ac, T);
        return;
    }
    const int32_t dt = std::max(tickDiff(aim.tick, head.tick), kMinTicks);
    const uint32_t candidate = now + static_cast<uint32_t>(std::max(tickDiff(head.tick, now) + dt, kMinTicks));
    uint32_t result = candidate;
    if (ac.extendCount < 1) {
        const uint32_t late = aim.tick + static_cast<uint32_t>(ac.lateWindowTicks);
        const uint32_t early = aim.tick - static_cast<uint32_t>(ac.earlyWindowTicks);
        if (tickDiff(candidate, late) > 0)
            result = late;
        else if (tickDiff(candidate, early) < 0)
            result = early;
    }
    if (tickDiff(result, now) < 0) result = now;
    aim.tick = result;
}

// ---------------------------------------------------------------- leaving a stand

void pullOut(LiveAircraft& ac) {
    ac.leaveStand = 0;
    ac.extendCount = 0;
    if (ac.stream.empty()) return;
    const LatLon stand{ac.standLatitude, ac.standLongitude};
    const LatLon target = gf_destinationPoint(stand, ac.standHeading, 2.0 * ac.halfSpanNm * kFeetPerNm);
    const double speed = ac.standTaxiSpeedKt;
    StreamPoint head = ac.stream.front();
    head.groundSpeedKt = speed;
    StreamPoint p = pointAt(head, target);
    p.groundSpeedKt = speed;
    p.airSpeedKt = speed;
    const double d = gf_distanceNm(latLonOf(ac), target);
    p.tick = nowTick() + static_cast<uint32_t>(speed > 0.0 ? std::round(d / speed * 360000.0) : 0.0);
    ac.stream.clear();
    ac.stream.push_back(head);
    ac.stream.push_back(p);
    ac.setPhase(MovementPhase::Taxi);
    ac.targetHeading = ac.position[kPosHeading];
    sendLightPattern(ac, LightPattern::Taxi);
    lf_queueEvent(ac.objectId, vsim::kEvEngineAutoStart, 0);
    if (ac.throttleIndex != 0) sendThrottleStep(ac, 0);
    sendFlapsStep(ac, 1);
    if (logOn()) gf_log(fmt::format("{:8}: {:8} pulling out", gf_standNameById(ac.standId), ac.identity.callsign));
}

void startPushback(LiveAircraft& ac) {
    ac.extendCount = 0;
    const double r = wrapHeading(ac.standHeading + kPi);  // the direction of motion
    const ParkPos* stand = gf_findStandById(ac.standId);
    if (!stand || ac.stream.empty()) return;
    const double speed = ac.standTaxiSpeedKt;
    auto ticksOf = [&](double nm) {
        return static_cast<uint32_t>(speed > 0.0 ? std::round(nm / speed * 360000.0) : 0.0);
    };
    const uint32_t now = nowTick();

    StreamPoint head = ac.stream.front();
    head.groundSpeedKt = speed;
    const LatLon p1Pos = gf_destinationPoint(latLonOf(ac), r, stand->radius * 2.5 * kFeetPerNm);
    StreamPoint p1 = pointAt(head, p1Pos);
    p1.groundSpeedKt = speed;
    p1.airSpeedKt = speed;
    const uint32_t t1 = ticksOf(gf_distanceNm(latLonOf(ac), p1Pos));
    p1.tick = now + t1;
    ac.targetHeading = ac.position[kPosHeading];

    ac.stream.clear();
    ac.stream.push_back(head);
    ac.stream.push_back(p1);
    insertMidpoint(ac);

    const double halfSpanFt = ac.halfSpanNm * kFeetPerNm;
    const LatLon p2Pos = gf_destinationPoint(p1Pos, wrapHeading(r + kPi / 2.0), halfSpanFt);
    const LatLon p3Pos = gf_destinationPoint(p1Pos, wrapHeading(r - kPi / 2.0), halfSpanFt);
    const LatLon aimPos = latLonOf(ac.stream[1]);
    StreamPoint p2 = pointAt(p1, p2Pos);
    p2.tick = now + t1 / 2 + ticksOf(gf_distanceNm(aimPos, p2Pos));
    StreamPoint p3 = pointAt(p1, p3Pos);
    p3.tick = now + t1 / 2 + ticksOf(gf_distanceNm(aimPos, p3Pos));
    // The end of the turn never comes before the straight part's end.
    if (tickDiff(p2.tick, p1.tick) <= 0) p2.tick = p1.tick + 1;
    if (tickDiff(p3.tick, p1.tick) <= 0) p3.tick = p1.tick + 1;
    ac.pushbackAltPoint = p2;
    ac.stream.push_back(p3);

    sendLightPattern(ac, LightPattern::Taxi);
    ac.setPhase(MovementPhase::PushingBack);
    ac.pushbackStage = 2;
}

// ---------------------------------------------------------------- into a stand

void drive2Stand(LiveAircraft& ac, const StandPoint& stand) {
    if (ac.stream.empty()) {
        gf_logError(fmt::format("{} empty sz?", "drive2Stand"));
        return;
    }
    const double speed = ac.standTaxiSpeedKt;
    StreamPoint& last = ac.stream.back();
    const LatLon standPos{stand.latitude, stand.longitude};
    const bool lastAtStand = last.latitude == stand.latitude && last.longitude == stand.longitude;
    const int32_t T = ticksFor(gf_distanceNm(latLonOf(last), standPos), speed, 100);
    last.groundSpeedKt = speed;
    const StreamPoint& head = ac.stream.front();
    StreamPoint p;
    p.latitude = stand.latitude;
    p.longitude = stand.longitude;
    p.element23Rad = ac.position[kPosBank];
    p.hasElement23 = 1;
    p.trueHeadingRad = 0.0;
    p.hasTrueHeading = 0;
    p.altitudeFt = ac.position[kPosAlt];
    p.groundSpeedKt = speed;
    p.airSpeedKt = speed;
    p.trackDeg = stand.heading * kRad2Deg;
    p.verticalSpeed = 0.0;
    p.tick = head.tick + static_cast<uint32_t>(T);
    p.airborne = 0;
    p.engineFlag = lastAtStand ? 1 : 0;
    p.feedHeading = head.feedHeading;
    StreamPoint final = p;
    final.groundSpeedKt = 0.0;
    final.airSpeedKt = 0.0;
    final.engineFlag = 1;
    final.tick = head.tick + 50 + static_cast<uint32_t>(T);
    ac.stream.push_back(p);
    ac.stream.push_back(final);
    ac.targetHeading = stand.heading;
    if (ac.extendCount > 0) {
        ac.extendCount = 0;
        resetWindowsForStand(ac);
    }
}

void markCargoStand(LiveAircraft& ac) {
    if (ac.cargo != 0 || ac.cargoWanted != 1) return;
    ParkPos* stand = gf_findStandById(ac.standId);
    if (!stand) return;
    stand->cargo = 1;
    stand->cargoChanged = 1;
    learnedUpdateCount.fetch_add(1);
    gf_logError(fmt::format("{} stand: {}, cargo attribute set to true, {} parked here", currentAirport.icao,
                            stand->name, acLabel(ac)));
    mainWindow.invalidate();
}

void arriveAtStand(LiveAircraft& ac) {
    ParkPos* stand = gf_findStandById(ac.standId);
    if (stand && standGivenAway(ac, *stand)) {
        ac.extendCount = 1;
        // The removal leaves the stand taken while a live aircraft parks there; a static one there is no
        // live aircraft on it and makes way for the next arrival that takes the stand.
        removeAircraftFromSim(ac);
        return;
    }
    const LatLon standPos{ac.standLatitude, ac.standLongitude};
    // Two metres, with room for the rounding of the distance itself.
    if (gf_distanceNm(latLonOf(ac), standPos) > kTwoMetresNm * (1.0 + 1e-6)) {
        ac.setPhase(MovementPhase::Taxi);
        return;
    }
    ac.setPhase(MovementPhase::Parked);
    const uint64_t slot = weekSlot.load();
    ac.parkedSlot = slot;
    if (ac.towed && logOn()) gf_log(fmt::format("          towed aircraft {} parks", acLabel(ac)));
    if (!ac.stream.empty()) ac.stream.front().engineFlag = 1;
    ac.parkedSince = nowTicks100ns();
    ac.lastStandDistNm = 0.0;
    ac.creepCount = 0;
    markCargoStand(ac);
    parkedLightPattern(ac);
    if (logOn()) gf_log(fmt::format("{:8}: {:8} arrived at stand", gf_standNameById(ac.standId), ac.identity.callsign));
    standCheckList.push_back(ac.id);
    if (!ac.identity.airline.empty() && ac.cargo == ac.cargoWanted) {
        if (lf_addRealStandOption(
                ac.standId, ac, WeekSlot{static_cast<uint32_t>(slot & 0xffffffffu), static_cast<uint32_t>(slot >> 32)},
                false)) {
            isArrivalDue(slot, ac.id, true);
            gf_keepParkedWithinPlan(0);
        }
    }
}

// ---------------------------------------------------------------- the end of a stream

bool endOfStream(LiveAircraft& ac) {
    if (ac.stream.empty()) return false;
    if (ac.phase == MovementPhase::Parking) {
        arriveAtStand(ac);
    } else if ((ac.phase == MovementPhase::PushedBack ||
                (ac.phase == MovementPhase::Taxi && !ac.takingOff && !ac.rollingOut)) &&
               groundFeedReaches(ac)) {
        auto inTheWay = [&](const LiveAircraft& other) {
            if (&other == &ac || other.objectId == ac.objectId) return false;
            if (!other.onGround || other.phase != MovementPhase::Taxi || other.simState != SimState::Active)
                return false;
            const double limit = 1.2 * (ac.halfSpanNm + other.halfSpanNm);
            return gf_distanceNm(latLonOf(ac), latLonOf(other)) <= limit;
        };
        bool blocked = false;
        if (const auto* near =
                lf_groundNeighbourCandidates(ac.position[kPosLat], ac.position[kPosLon], 1.2 * ac.halfSpanNm, 1.2)) {
            for (uint32_t i : *near)
                if ((blocked = inTheWay(liveList[i]))) break;
        } else {
            for (const auto& other : liveList)
                if ((blocked = inTheWay(other))) break;
        }
        if (blocked) {
            ac.holding = 0;
            ac.holdStartTick = 0;
            return false;
        }
        const uint32_t now = nowTick();
        if (ac.holding && tickDiff(now, ac.holdStartTick) / 6000 > MAX_HOLDING_MINUTES.value.load()) return false;
        if (!ac.holding) ac.holdStartTick = now;
        ac.holding = 1;
        ac.extendCount = 1;
        StreamPoint p = ac.stream.front();
        p.tick += 300;
        p.groundSpeedKt = 0.0;
        p.engineFlag = 1;
        ac.stream.push_back(p);
        return true;
    }

    if (ac.extendCount < 0) return false;
    if (ac.extendCount > 1) {
        extendStream(ac, ac.extendCount - 1);
        return true;
    }
    if (ac.extendCount == 1) {
        ac.extendCount = -1;
        return false;
    }
    if (!gf_categoryEnabled(ac.category)) return false;
    int32_t n;
    if (!ac.onGround) {
        const LatLon user{userState.latitude, userState.longitude};
        if (!gf_positionIsSet(user))
            n = 8;
        else
            n = gf_distanceNm(user, latLonOf(ac)) < LATERAL_RANGE.value.load() - 0.5 ? 8 : 0;
    } else {
        n = ac.phase == MovementPhase::Parked ? 1 : 10;
    }
    if (n == 0) return false;
    extendStream(ac, n);
    return true;
}

void extendStream(LiveAircraft& ac, int32_t n) {
    ac.extendCount = n;
    if (ac.stream.empty()) return;
    StreamPoint p = ac.stream.back();
    const bool parked = ac.phase == MovementPhase::Parked;
    const bool inAir = !ac.onGround;
    if (p.engineFlag || parked) {
        p.engineFlag = 1;
        p.groundSpeedKt = 0.0;
    } else if (!inAir && !ac.takingOff && !ac.rollingOut) {
        p.groundSpeedKt = 0.0;
        p.engineFlag = 1;
    } else if (!inAir && ac.takingOff) {
        const double g = p.groundSpeedKt;
        if (g <= 30.0) {
            p.groundSpeedKt = 40.0;
        } else if (g <= 60.0) {
            p.groundSpeedKt = 80.0;
        } else if (g <= 100.0) {
            p.groundSpeedKt = 110.0;
        } else if (g <= 140.0) {
            p.groundSpeedKt = 150.0;
            p.verticalSpeed = 600.0;
        } else if (g <= 160.0) {
            p.groundSpeedKt = 170.0;
            p.verticalSpeed = 1200.0;
        } else {
            p.groundSpeedKt = 180.0;
            p.verticalSpeed = 2400.0;
        }
    } else if (!inAir) {  // rolling out
        const double g = p.groundSpeedKt;
        if (g >= 140.0)
            p.groundSpeedKt = 100.0;
        else if (g >= 100.0)
            p.groundSpeedKt = 80.0;
        else if (g >= 80.0)
            p.groundSpeedKt = 60.0;
        else if (g >= 60.0)
            p.groundSpeedKt = 30.0;
        else
            p.groundSpeedKt = 20.0;
        p.verticalSpeed = 0.0;
    } else {
        if (ac.landing)
            p.groundSpeedKt = n >= 4 ? p.groundSpeedKt * 0.90 : p.groundSpeedKt;
        else
            p.groundSpeedKt *= 0.95;
        p.groundSpeedKt = std::max(p.groundSpeedKt, 1.0);
    }

    const double s = inAir ? 8.0 : 3.0;
    const bool noSpeed = (inAir || ac.rollingOut) && !(p.groundSpeedKt > 0.0);
    if (!p.engineFlag && !noSpeed) {
        const LatLon from = latLonOf(p);
        const LatLon to =
            gf_destinationPoint(from, ac.position[kPosHeading], p.groundSpeedKt * s * kFeetPerNm / 3600.0);
        p.latitude = to.latitude;
        p.longitude = to.longitude;
        p.engineFlag = (to == from) ? 1 : 0;
        if (ac.landing && ac.flareStage == 0) {
            p.verticalSpeed = -667.0;
            p.altitudeFt = std::max(p.altitudeFt - 10.005 * s, 0.0);
            p.airborne = p.altitudeFt > 0.0 ? 1 : 0;
        }
        if (ac.phase == MovementPhase::TakeOff) {
            p.verticalSpeed = 1500.0;
            p.altitudeFt += 25.0 * s;
        }
    }
    if (parked) {
        p.tick += 604800u * 100u;
        ac.departing = 0;
        lf_releaseStand(ac);
    } else {
        p.tick += static_cast<uint32_t>(s * 100.0);
    }
    ac.stream.push_back(p);
}

// ---------------------------------------------------------------- livery respawn

void liveryRespawn(LiveAircraft& ac) {
    // An aircraft on its way out, or already respawning, has its object's removal under way.
    if (ac.simState == SimState::RemovingFromSim || ac.simState == SimState::LiveryRespawn) return;
    try {
        if (ac.stream.empty()) throw std::runtime_error("empty stream");
        StreamPoint p = ac.stream.front();
        if (ac.phase != MovementPhase::Parked) {
            p.latitude = ac.position[kPosLat];
            p.longitude = ac.position[kPosLon];
            p.element23Rad = ac.position[kPosBank];
            p.hasElement23 = 1;
            p.altitudeFt = ac.position[kPosAlt];
            StreamPoint& head = ac.stream.front();
            head.engineFlag = (head.latitude == p.latitude && head.longitude == p.longitude) ? 1 : 0;
        } else {
            ac.stream.resize(1);
            StreamPoint& head = ac.stream.front();
            head.engineFlag = 1;
            head.trackDeg = ac.position[kPosHeading] * kRad2Deg;
            p = head;
        }
        p.tick = nowTick() + 1;
        ac.stream.push_front(p);
        ac.simState = SimState::LiveryRespawn;
        ac.respawnHeading = ac.position[kPosHeading];
        ac.respawnPending = 1;
        if (ac.objectId != 0 && ac.objectId == watchedObjectId) {
            watchedObjectId = 0;
            mainWindow.objectIdText.clear();
            mainWindow.invalidate();
            // The watch follows the callsign to the new object.
            CALLSIGN_2_OBJECTID.set(ac.identity.callsign);
            gf_showTextField(CALLSIGN_2_OBJECTID);
        }
        if (ac.objectId != 0)
            gf_queueRemoval(ac.objectId);
        else
            gf_logError(fmt::format("{} removing act {} with objectid=0 ?", "liveryRespawn", acLabel(ac)));
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "liveryRespawn", e.what()));
    }
}
