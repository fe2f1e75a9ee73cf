// Take-off, flight and landing of live aircraft: the aim step in the air and on the runway, the
// configuration by height (gear, flaps, throttle, lights), rotation and climb-out, the flare, the
// roll-out, and the per-tick motion step that applies the step values.
//
// The engine does not simulate flight: at each advance it computes per-tick steps that bring the
// aircraft to its aim point at that point's tick, and every tick adds them.
#include <algorithm>
#include <cmath>
#include <exception>

#include <fmt/format.h>

#include "airports/parking.h"
#include "engine/engine_state.h"
#include "engine/motion_detail.h"
#include "engine/stands.h"
#include "feed/feed_intake.h"
#include "feed/readers.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "platform/sim/sim_api.h"
#include "simlink/commands.h"

using namespace motion;

namespace {

bool isRotor(const LiveAircraft& ac) { return ac.category == static_cast<uint32_t>(AircraftCategory::Rotorcraft); }
bool isLight(const LiveAircraft& ac) { return ac.category == static_cast<uint32_t>(AircraftCategory::Light); }

LatLon latLonOf(const StreamPoint& p) { return {p.latitude, p.longitude}; }
LatLon latLonOf(const LiveAircraft& ac) { return {ac.position[kPosLat], ac.position[kPosLon]}; }

double clampAbs(double v, double limit) { return std::clamp(v, -limit, limit); }

uint32_t nowTick() { return engineTick.load(); }

// The aircraft's distance from the selected airport, nm.
double airportDistanceNm(const LiveAircraft& ac) {
    return gf_distanceNm(latLonOf(ac), LatLon{currentAirport.latitude, currentAirport.longitude});
}

bool airportWithin10Nm(const LiveAircraft& ac) { return airportSelected() && airportDistanceNm(ac) <= 10.0; }

// An aircraft that takes off or flies an approach holds no stand any more (an arrival may have been given
// one before it went back to taxi): the stand is offered again.
void leaveStandBehind(LiveAircraft& ac) {
    lf_releaseStand(ac);
    ac.standLatitude = 0.0;
    ac.standLongitude = 0.0;
    ac.standHeading = 0.0;
    ac.standId = 0;
    ac.cargo = 0;
}

}  // namespace

// ---------------------------------------------------------------- shared numbers

namespace motion {

int32_t ticksFor(double distanceNm, double speedKt, int32_t minTicks) {
    if (!(speedKt > 0.0)) speedKt = 1.0;
    if (!std::isfinite(distanceNm) || distanceNm < 0.0) distanceNm = 0.0;
    const double t = std::round(distanceNm * 360000.0 / speedKt);
    // A week of ticks is more than any leg needs; the cap keeps the conversion defined.
    const double capped = std::min(t, 60480000.0);
    return std::max(static_cast<int32_t>(capped), minTicks);
}

double normalizeAngle(double a) {
    if (!std::isfinite(a)) return 0.0;
    a = std::fmod(a, kTwoPi);
    if (a > kPi) a -= kTwoPi;
    if (a <= -kPi) a += kTwoPi;
    return a;
}

double wrapHeading(double a) {
    if (!std::isfinite(a)) return 0.0;
    a = std::fmod(a, kTwoPi);
    if (a < 0.0) a += kTwoPi;
    if (a >= kTwoPi) a -= kTwoPi;
    return a;
}

double turnTowards(double heading, double target, double step) {
    const double diff = normalizeAngle(target - heading);
    if (std::fabs(diff) <= 0.5 * kDeg) return wrapHeading(heading);
    const double move = std::min(std::fabs(step), std::fabs(diff));
    return wrapHeading(heading + (diff > 0.0 ? move : -move));
}

int32_t ticksToAim(const LiveAircraft& ac) {
    if (ac.stream.size() < 2) return kMinTicks;
    return std::max(tickDiff(ac.stream[1].tick, nowTick()), kMinTicks);
}

void lowerWindows(LiveAircraft& ac) {
    ac.earlyWindowTicks = std::max(ac.earlyWindowTicks - 100, 1000);
    ac.lateWindowTicks = std::max(ac.lateWindowTicks - 100, 1000);
}

}  // namespace motion

int32_t motionPressureHpa() { return qnhHpa.load(); }

bool airportSelected() { return !currentAirport.icao.empty(); }

// ---------------------------------------------------------------- commands

void sendThrottleStep(LiveAircraft& ac, uint32_t step) {
    if (step >= kThrottleSteps.size() || ac.throttleIndex == step) return;
    lf_queueEvent(ac.objectId, vsim::kEvThrottleSet, kThrottleSteps[step]);
    ac.throttleIndex = step;
}

void sendFlapsStep(LiveAircraft& ac, uint32_t step) {
    if (isRotor(ac) || step >= kFlapsSteps.size() || ac.flapsIndex == step) return;
    lf_queueEvent(ac.objectId, vsim::kEvFlapsSet, kFlapsSteps[step]);
    ac.flapsIndex = step;
}

void sendGear(LiveAircraft& ac, uint32_t down) {
    if (isRotor(ac)) return;
    lf_queueEvent(ac.objectId, vsim::kEvGearSet, down);
}

void sendSpoilers(LiveAircraft& ac, uint32_t value) {
    if (isRotor(ac)) return;
    lf_queueEvent(ac.objectId, vsim::kEvSpoilersSet, value);
}

void sendLightPattern(const LiveAircraft& ac, LightPattern pattern) {
    // nav, beacon, landing, taxi, strobes, logo, cabin
    std::array<uint32_t, 7> v{};
    switch (pattern) {
    case LightPattern::Cruise: v = {1, 1, 0, 0, 0, 0, 1}; break;
    case LightPattern::Low: v = {1, 1, 1, 1, 1, 1, 1}; break;
    case LightPattern::TakeOff: v = {1, 1, 1, 1, 1, 1, 0}; break;
    case LightPattern::RunwayExit: v = {1, 1, 0, 1, 0, 1, 1}; break;
    case LightPattern::Taxi: v = {1, 1, 0, 1, 0, 1, 0}; break;
    }
    lf_queueEvents(ac.objectId, {{vsim::kEvNavLightsSet, v[0]},
                                 {vsim::kEvBeaconLightsSet, v[1]},
                                 {vsim::kEvLandingLightsSet, v[2]},
                                 {vsim::kEvTaxiLightsSet, v[3]},
                                 {vsim::kEvStrobesSet, v[4]},
                                 {vsim::kEvLogoLightsSet, v[5]},
                                 {vsim::kEvCabinLightsSet, v[6]}});
}

// ---------------------------------------------------------------- estimates

bool allAheadAirborne(const LiveAircraft& ac) {
    for (size_t i = 1; i < ac.stream.size(); ++i)
        if (!ac.stream[i].airborne) return false;
    return true;
}

bool allAheadFast(const LiveAircraft& ac) {
    const double takeOffKt = categoryValues(ac.category).takeOffSpeedKt;
    for (size_t i = 1; i < ac.stream.size(); ++i)
        if (ac.stream[i].groundSpeedKt < takeOffKt) return false;
    return true;
}

double estimateSpeedKt(const LiveAircraft& ac) {
    if (ac.stream.empty()) return 1.0;
    const StreamPoint& head = ac.stream[0];
    if (ac.stream.size() < 2) return std::max(head.groundSpeedKt, 1.0);
    const StreamPoint& next = ac.stream[1];
    if (head.groundSpeedKt == 0.0 && next.groundSpeedKt == 0.0) {
        const int32_t dt = std::max(tickDiff(next.tick, head.tick), kMinTicks);
        return std::max(gf_distanceNm(latLonOf(head), latLonOf(next)) * 360000.0 / dt, 1.0);
    }
    const double mean = (head.groundSpeedKt + next.groundSpeedKt) / 2.0;
    // A mean that is not above 0 would give no finite time; one knot stands in for it.
    return mean > 0.0 ? mean : 1.0;
}

double turnToNextLeg(const LiveAircraft& ac) {
    if (ac.stream.size() < 3) return 0.0;
    const double bearing = gf_initialBearing(latLonOf(ac.stream[1]), latLonOf(ac.stream[2]));
    return normalizeAngle(bearing - ac.position[kPosHeading]);
}

double descentRateFpm(const LiveAircraft& ac) {
    if (ac.heightAglFt <= 100.0) return -600.0;
    const double headVs = ac.stream.empty() ? 0.0 : ac.stream[0].verticalSpeed;
    const double aimVs = ac.stream.size() < 2 ? headVs : ac.stream[1].verticalSpeed;
    return std::min((headVs + aimVs) / 2.0 - (motionPressureHpa() - 1013) * 6.0, -601.0);
}

// ---------------------------------------------------------------- tick window

void setAimTick(LiveAircraft& ac, int32_t ticks) {
    if (ac.stream.size() < 2) return;
    StreamPoint& aim = ac.stream[1];
    const uint32_t now = nowTick();
    const uint32_t wanted = now + static_cast<uint32_t>(std::max(ticks, 0));
    uint32_t result;
    if (ac.extendCount > 0) {
        result = wanted;
    } else {
        const uint32_t t = aim.tick;
        const uint32_t late = t + static_cast<uint32_t>(ac.lateWindowTicks);
        const uint32_t early = t - static_cast<uint32_t>(ac.earlyWindowTicks);
        if (tickDiff(wanted, late) > 0)
            result = late;
        else
            result = tickDiff(wanted, early) >= 0 ? wanted : early;
    }
    if (tickDiff(result, now) < 0) result = now;
    aim.tick = result;
}

void airAimTick(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const StreamPoint& head = ac.stream[0];
    const StreamPoint& aim = ac.stream[1];
    if (aim.engineFlag) {
        if (isRotor(ac)) groundAimTick(ac);
        return;
    }
    double speed;
    if (ac.landing && !aim.airborne)
        speed = head.groundSpeedKt > 0.0 ? head.groundSpeedKt : 100.0;
    else
        speed = estimateSpeedKt(ac);
    setAimTick(ac, ticksFor(gf_distanceNm(latLonOf(head), latLonOf(aim)), speed));
}

bool skipToAirborne(LiveAircraft& ac, size_t n) {
    if (n < 2 || ac.stream.size() < n || !ac.stream[n - 1].airborne) return false;
    ac.stream.erase(ac.stream.begin() + 1, ac.stream.begin() + static_cast<std::ptrdiff_t>(n - 1));
    const double d = gf_distanceNm(latLonOf(ac.stream[0]), latLonOf(ac.stream[1]));
    setAimTick(ac, ticksFor(d, estimateSpeedKt(ac)));
    climbStepToNext(ac);
    return true;
}

void climbStepToNext(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    const double aimAlt = ac.stream[1].altitudeFt;
    const double alt = ac.position[kPosAlt];
    ac.altStep = aimAlt > alt ? std::min((aimAlt - alt) / ticksToAim(ac), ac.maxClimbStep) : 0.0;
}

// ---------------------------------------------------------------- air aim step

void lowVerticalStep(LiveAircraft& ac) {
    double vsSum = 0.0;
    for (const auto& p : ac.stream) vsSum += p.verticalSpeed;
    if (!ac.landing && vsSum > 100.0) {
        const size_t last = std::min<size_t>(ac.stream.size() - 1, 10);
        for (size_t n = 3; n <= last; ++n) {
            if (skipToAirborne(ac, n)) {
                sendGear(ac, 1);
                return;
            }
        }
        StreamPoint& aim = ac.stream[1];
        aim.verticalSpeed = std::max(aim.verticalSpeed, 601.0);
        ac.targetVsFpm = aim.verticalSpeed;
        ac.altStep = aim.verticalSpeed / 6000.0;
        sendGear(ac, 1);
        return;
    }
    const double v = descentRateFpm(ac);
    ac.stream[1].verticalSpeed = v;
    ac.targetVsFpm = v;
    ac.altStep = v / 6000.0;
    sendGear(ac, 1);
}

void airVerticalStep(LiveAircraft& ac) {
    const StreamPoint& head = ac.stream[0];
    StreamPoint& aim = ac.stream[1];
    const double s = (aim.altitudeFt - ac.position[kPosAlt]) / ticksToAim(ac);
    if (!ac.landing) {
        if (ac.heightAglFt > 1000.0)
            ac.altStep = std::min(s, ac.maxClimbStep);
        else
            ac.altStep = std::min(ac.maxClimbStep, std::max(s, 0.2));
        return;
    }
    if (head.altitudeFt == aim.altitudeFt && ac.heightAglFt <= 1000.0 &&
        head.verticalSpeed + aim.verticalSpeed <= 100.0) {
        const double v = descentRateFpm(ac);
        aim.verticalSpeed = v;
        ac.targetVsFpm = v;
        ac.altStep = v / 6000.0;
    } else {
        ac.altStep = s;
    }
}

void setBankStep(LiveAircraft& ac, double headingChange, int32_t dt) {
    const CategoryValues& cv = categoryValues(ac.category);
    // The heading change in radians is taken as the bank in radians (one radian asks for 57.3
    // degrees of bank) before the category's limit; a right turn banks to the negative side.
    const double target = -clampAbs(headingChange, cv.maxBank);
    ac.bankStep = clampAbs((target - ac.position[kPosBank]) / std::max(dt, 1), cv.maxBankStep);
}

void flightAimStep(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    if (ac.phase != MovementPhase::TakeOff && ac.phase != MovementPhase::Flying) ac.setPhase(MovementPhase::Flying);
    int32_t dt = ticksToAim(ac);
    {
        const StreamPoint& aim = ac.stream[1];
        ac.targetSpeedKt = aim.airSpeedKt;
        ac.targetVsFpm = aim.verticalSpeed;
    }

    // Vertical.
    if (ac.flareStage == 0) {
        const bool headAir = ac.stream[0].airborne != 0;
        const bool aimAir = ac.stream[1].airborne != 0;
        if (!headAir && !aimAir) {
            lowVerticalStep(ac);
        } else if (!headAir && aimAir) {
            climbStepToNext(ac);
        } else if (headAir && !aimAir) {
            const int32_t pressure = motionPressureHpa();
            if (pressure <= 1013 && airportSelected()) {
                ac.altStep = (currentAirport.altitude - ac.position[kPosAlt]) / dt;
            } else {
                const double v = pressure < 1014 ? -601.0 : descentRateFpm(ac);
                ac.stream[1].verticalSpeed = v;
                ac.targetVsFpm = v;
                ac.altStep = v / 6000.0;
            }
            sendGear(ac, 1);
        } else {
            airVerticalStep(ac);
        }
    }
    // The vertical step may have dropped points: read the aim point and its ticks again.
    const StreamPoint& aim = ac.stream[1];
    dt = ticksToAim(ac);
    const CategoryValues& cv = categoryValues(ac.category);

    // Pitch.
    if (ac.phase == MovementPhase::Flying) {
        double c = aim.verticalSpeed;
        c = c >= 0.0 ? std::min(c, 2400.0) : std::max(c, -3000.0) / 2.0;
        const double target = -0.05235987755982989 - (c / 600.0) * 2.2 * 0.017453292519943295;
        ac.pitchStep = clampAbs((target - ac.position[kPosPitch]) / dt, cv.maxPitchStep);
    }

    // Heading and bank.
    double dh;
    const double lowLimit = ac.landing ? 2000.0 : 1000.0;
    if (aim.feedHeading && aim.hasElement23 && aim.hasTrueHeading && ac.heightAglFt < lowLimit)
        dh = normalizeAngle(aim.trueHeadingRad - ac.position[kPosHeading]);
    else
        dh = turnToNextLeg(ac);
    ac.headingStep = dh / dt;
    if (aim.hasElement23)
        ac.bankStep = (aim.element23Rad - ac.position[kPosBank]) / dt;
    else
        setBankStep(ac, dh, dt);

    // Configuration by the head point's altitude.
    if (ac.stream[0].altitudeFt >= 10000.0) {
        cruiseConfig(ac);
        return;
    }
    if (!ac.lowLightsSet) {
        ac.lowLightsSet = 1;
        ac.cruiseConfigSet = 0;
        sendLightPattern(ac, LightPattern::Low);
    }
    const bool bigJet = ac.category == static_cast<uint32_t>(AircraftCategory::Buzjets) ||
                        ac.category == static_cast<uint32_t>(AircraftCategory::Large) ||
                        ac.category == static_cast<uint32_t>(AircraftCategory::Heavy);
    const double threshold = bigJet ? 2050.0 : 625.0;
    if (ac.heightAglFt > threshold)
        approachConfigByHeight(ac);
    else
        finalApproachConfig(ac);
}

// ---------------------------------------------------------------- configuration

void cruiseConfig(LiveAircraft& ac) {
    if (ac.cruiseConfigSet) return;
    ac.cruiseConfigSet = 1;
    // The next descent below 10000 ft sends the low lights again.
    ac.lowLightsSet = 0;
    sendLightPattern(ac, LightPattern::Cruise);
    sendThrottleStep(ac, 3);
    sendGear(ac, 0);
    if (ac.flapsIndex != 0) sendFlapsStep(ac, 0);
}

void approachConfigByHeight(LiveAircraft& ac) {
    lowerWindows(ac);
    gf_queueCabinLights(ac.objectId, 1);
    ac.takingOff = 0;
    ac.landing = 0;
    const double vs = ac.stream.empty() ? 0.0 : ac.stream[0].verticalSpeed;
    if (vs <= -250.0 && ac.throttleIndex == 3)
        sendThrottleStep(ac, 2);
    else if (vs > 400.0 && ac.throttleIndex == 4 && !isRotor(ac))
        sendThrottleStep(ac, 3);
    const double h = ac.heightAglFt;
    if (h >= 2400.0) {
        sendGear(ac, 0);
        sendFlapsStep(ac, 0);
    } else if (h >= 2000.0) {
        if (vs <= 100.0 && ac.flapsIndex == 0) sendFlapsStep(ac, 1);
    } else if (vs <= 100.0) {
        if (ac.flapsIndex == 0)
            sendFlapsStep(ac, 1);
        else if (ac.flapsIndex == 1)
            sendFlapsStep(ac, 2);
    }
}

void finalApproachConfig(LiveAircraft& ac) {
    gf_queueCabinLights(ac.objectId, 0);
    const double v = ac.stream.empty() ? 0.0 : ac.stream[0].verticalSpeed;
    if (v > -250.0) {
        if (v <= 600.0 && (!ac.landing || airportWithin10Nm(ac))) return;
        if (ac.goAround) return;
        // Missed approach: climbing fast, or landing far from (or without) an airport.
        lowerWindows(ac);
        sendThrottleStep(ac, 4);
        sendGear(ac, 0);
        ac.goAround = 1;
        ac.landing = 0;
        sendFlapsStep(ac, 0);
        ac.flareStage = 0;
        leaveStandBehind(ac);
        return;
    }
    if (ac.landing || !airportWithin10Nm(ac)) return;
    sendThrottleStep(ac, 1);
    sendFlapsStep(ac, 3);
    sendGear(ac, 1);
    standCheckList.push_back(ac.id);
    ac.landing = 1;
    ac.goAround = 0;
    leaveStandBehind(ac);
    ac.lateWindowTicks = ac.takingOff ? 5000 : 3000;
    ac.rotationCountdown = 1;
    ac.earlyWindowTicks = 3000;
}

// ---------------------------------------------------------------- ground aim step and take-off

bool gf_showsTakeOffRoll(const StreamPoint& from, const StreamPoint& to) {
    const bool rolling = to.airborne || (from.groundSpeedKt >= 43.0 && to.groundSpeedKt >= 43.0);
    return rolling && to.groundSpeedKt >= from.groundSpeedKt;
}

namespace {

// Whether the points from the head on show a take-off roll.
bool takeOffRollAhead(const LiveAircraft& ac) {
    for (size_t i = 0; i + 1 < ac.stream.size(); ++i)
        if (gf_showsTakeOffRoll(ac.stream[i], ac.stream[i + 1])) return true;
    return false;
}

}  // namespace

void groundAimStep(LiveAircraft& ac) {
    if (ac.stream.size() < 2) return;
    if (ac.phase == MovementPhase::Parked || ac.phase == MovementPhase::Flying) ac.setPhase(MovementPhase::Taxi);
    // The merge starts a roll that it sees in a point added to an aircraft in the simulator; an aircraft first seen
    // in its roll may have all its points from before it was there. Without the start it would stop at the end of
    // its points as a taxiing aircraft does, to hold.
    if (ac.phase == MovementPhase::Taxi && !ac.takingOff && !ac.rollingOut && takeOffRollAhead(ac)) startTakeOff(ac);

    // Throttle.
    if (!ac.takingOff && !ac.rollingOut) {
        sendThrottleStep(ac, 0);
    } else if (ac.rollingOut) {
        rollOutStep(ac);
    } else if (isRotor(ac)) {
        sendThrottleStep(ac, 4);
    } else {
        const double g0 = ac.stream[0].groundSpeedKt;
        const double g1 = ac.stream[1].groundSpeedKt;
        if (g0 >= 25.0 || g1 >= 30.0)
            sendThrottleStep(ac, 4);
        else if (g0 >= 20.0 || g1 >= 25.0)
            sendThrottleStep(ac, 2);
        else if (g0 >= 15.0 || g1 >= 20.0)
            sendThrottleStep(ac, 1);
        else
            sendThrottleStep(ac, 0);
    }
    if (!ac.rollingOut && !ac.takingOff) lowerWindows(ac);

    if (ac.flareStage == 0 && ac.phase != MovementPhase::TakeOff) {
        ac.position[kPosPitch] = ac.staticPitch;
        ac.pitchStep = 0.0;
        ac.position[kPosBank] = 0.0;
        ac.bankStep = 0.0;
    }
    const int32_t dt = ticksToAim(ac);
    if (curveActive(ac)) ac.curveTStep = 1.0 / dt;
    ac.targetSpeedKt =
        ac.phase == MovementPhase::PushingBack ? -ac.stream[1].groundSpeedKt : ac.stream[1].groundSpeedKt;

    // Rotation decision.
    if (!ac.takingOff || ac.phase == MovementPhase::TakeOff || ac.stream[0].groundSpeedKt < 43.0) return;
    for (size_t i = 1; i < ac.stream.size(); ++i) {
        if (ac.stream[i].verticalSpeed <= 256.0) {
            if (allAheadFast(ac) && allAheadAirborne(ac)) {
                ac.altStep = ac.maxClimbStep;
                startRotation(ac);
            }
            return;
        }
    }
    if (allAheadAirborne(ac))
        ac.altStep = std::max(ac.stream[1].altitudeFt - ac.position[kPosAlt], 0.1) / dt;
    else
        ac.altStep = ac.maxClimbStep;
    startRotation(ac);
}

void startTakeOff(LiveAircraft& ac) {
    if (ac.towed) gf_logError("towed aircraft takes-off?");
    ac.takingOff = 1;
    if (ac.throttleIndex != 0) sendThrottleStep(ac, 0);
    sendSpoilers(ac, 0);
    sendFlapsStep(ac, 1);
    ac.landing = 0;
    ac.landed = 0;
    ac.goAround = 0;
    sendLightPattern(ac, LightPattern::TakeOff);
    ac.lateWindowTicks = 5000;
    ac.earlyWindowTicks = 3000;
    if (!ac.identity.airline.empty()) lf_learnSoftStand(ac, true);
    leaveStandBehind(ac);
}

void startRotation(LiveAircraft& ac) {
    const uint32_t rotationTicks = std::max<uint32_t>(ac.rotationTicks, 1);
    ac.rotationCountdown = static_cast<int32_t>(rotationTicks);
    ac.position[kPosBank] = 0.0;
    ac.bankStep = 0.0;
    ac.pitchStep = (ac.takeOffPitch - ac.position[kPosPitch]) / rotationTicks;
    if (!ac.takingOff) startTakeOff(ac);
    ac.setPhase(MovementPhase::TakeOff);
    ac.headingStep = 0.0;
    clearCurve(ac);
    // A touch-and-go rolls on without a take-off start.
    leaveStandBehind(ac);
    if (ac.rollingOut) {
        // Touch and go.
        ac.rollingOut = 0;
        ac.landing = 0;
        ac.landed = 0;
        sendThrottleStep(ac, 4);
        sendSpoilers(ac, 16383);
        sendFlapsStep(ac, 1);
    }
}

void climbOutStep(LiveAircraft& ac) {
    const int32_t c = ac.rotationCountdown - 1;
    ac.rotationCountdown = c;
    double& pitch = ac.position[kPosPitch];
    double& alt = ac.position[kPosAlt];
    if (c >= 1) {
        ac.onGround = 0;
        if (pitch > ac.takeOffPitch) pitch += ac.pitchStep;
        return;
    }
    const double s = (ac.climbPitch - ac.takeOffPitch) / std::max<uint32_t>(ac.climbPitchTicks, 1);
    ac.position[kPosBank] += ac.bankStep;
    if (pitch > ac.climbPitch) pitch += s;
    if (c == 0) return;
    if (c >= -99) {
        alt += ac.altStep / 10.0;
    } else if (c >= -199) {
        alt += ac.altStep / 5.0;
    } else if (c >= -299) {
        alt += ac.altStep * 0.5;
    } else if (c == -300) {
        sendGear(ac, 0);
        alt += ac.altStep;
    } else {
        alt += ac.altStep;
        if (pitch <= ac.climbPitch) {
            ac.pitchStep = 0.0;
            if (ac.heightAglFt >= 800.0) {
                sendThrottleStep(ac, 3);
                ac.setPhase(MovementPhase::Flying);
                ac.rotationCountdown = 1;
            }
        }
    }
}

// ---------------------------------------------------------------- landing

void flareStep(LiveAircraft& ac) {
    if (ac.stream.empty()) return;
    StreamPoint& head = ac.stream[0];
    const double cg = ac.staticCgFt;
    switch (ac.flareStage) {
    case 0: {
        if (!ac.groundRefKnown && airportSelected()) {
            ac.groundRefFt = currentAirport.altitude;
            ac.groundRefKnown = 1;
        }
        const double h = ac.groundRefKnown ? ac.position[kPosAlt] - ac.groundRefFt : ac.heightAglFt;
        ac.flareHeightFt = h;
        if (cg + 30.0 >= std::min(ac.heightAglFt, h)) {
            ac.pitchStep = (-4.0 * kDeg - ac.position[kPosPitch]) / std::max<uint32_t>(ac.flareTicks, 1);
            ac.altStep = -0.1;
            head.verticalSpeed = -601.0;
            ac.flareStage = 1;
        }
        break;
    }
    case 1:
        if (cg + 20.0 >= ac.heightAglFt) {
            ac.groundRefKnown = 0;
            ac.altStep = -0.075;
            head.verticalSpeed = -450.0;
            ac.flareStage = 2;
        }
        break;
    case 2:
        if (cg + 10.0 >= ac.heightAglFt) {
            ac.groundRefKnown = 0;
            if (ac.throttleIndex != 0) sendThrottleStep(ac, 0);
            ac.altStep = -0.05;
            head.verticalSpeed = -300.0;
            ac.flareStage = 3;
        }
        break;
    case 3:
        if (cg + 3.0 >= ac.heightAglFt) {
            ac.groundRefKnown = 0;
            ac.altStep = -0.025;
            head.verticalSpeed = -150.0;
            ac.flareStage = 4;
        }
        break;
    default: break;  // stage 4: touchdown comes with the simulator's ground notice
    }
}

void rollOutStep(LiveAircraft& ac) {
    // The turn off the runway is measured the shorter way round, so that a runway heading near
    // north does not read as a turn of almost 360 degrees.
    const double d = std::fabs(normalizeAngle(ac.position[kPosHeading] - ac.touchdownHeading)) * kRad2Deg;
    if (d < 15.0) {
        const double g = ac.stream.empty() ? 0.0 : ac.stream[0].groundSpeedKt;
        if (g > 90.0) return;
        sendSpoilers(ac, 0);
        if (!isLight(ac)) lf_setSpoilerThrottle(ac.objectId, 0.0, 0.0);
        sendFlapsStep(ac, 1);
        return;
    }
    sendFlapsStep(ac, 0);
    ac.rollingOut = 0;
    ac.touchdownHeading = 0.0;
    sendThrottleStep(ac, isRotor(ac) ? 4 : 0);
    sendSpoilers(ac, 0);
    if (!isLight(ac)) lf_setSpoilerThrottle(ac.objectId, 0.0, 0.0);
    sendLightPattern(ac, LightPattern::RunwayExit);
}

// ---------------------------------------------------------------- the per-tick step

void stepMotion(LiveAircraft& ac) {
    const std::array<double, 8> before = ac.position;
    double& heading = ac.position[kPosHeading];
    const bool groundPhase = ac.phase == MovementPhase::PushingBack || ac.phase == MovementPhase::PushedBack ||
                             ac.phase == MovementPhase::Taxi || ac.phase == MovementPhase::Parking;
    if (curveActive(ac)) {
        curveMotionStep(ac);
    } else {
        if (!groundPhase) {
            heading = wrapHeading(heading + ac.headingStep);
        } else if (ac.phase == MovementPhase::Parking || ac.turningToTarget) {
            heading = turnTowards(heading, ac.targetHeading, ac.turnStep);
        }
        if (ac.phase != MovementPhase::PushedBack) {
            ac.position[kPosLat] += ac.latStep;
            ac.position[kPosLon] += ac.lonStep;
        }
    }

    double& pitch = ac.position[kPosPitch];
    double& bank = ac.position[kPosBank];
    if (ac.phase == MovementPhase::TakeOff) {
        climbOutStep(ac);
    } else {
        if (ac.landing && !ac.onGround && ac.heightAglFt <= 400.0) flareStep(ac);
        if (ac.derotating) {
            // A step that would not lower the nose ends the derotation at once.
            pitch += ac.pitchStep;
            if (pitch > ac.staticPitch || !(ac.pitchStep > 0.0)) {
                pitch = ac.staticPitch;
                ac.pitchStep = 0.0;
                bank = 0.0;
                ac.bankStep = 0.0;
                ac.derotating = 0;
                ac.flareStage = 0;
            }
            bank += ac.bankStep;
        } else if (ac.flareStage == 0 && ac.onGround) {
            pitch = ac.staticPitch;
            bank = 0.0;
        } else {
            pitch += ac.pitchStep;
            if (ac.flareStage != 0 && pitch < -4.0 * kDeg) pitch = -4.0 * kDeg;
            bank += ac.bankStep;
            ac.position[kPosAlt] += ac.altStep;
        }
    }

    double& lon = ac.position[kPosLon];
    if (lon > 180.0) lon -= 360.0;
    if (lon < -180.0) lon += 360.0;

    // A step value that went wrong never leaves a position or an attitude undefined.
    for (size_t i = 0; i < ac.position.size(); ++i)
        if (!std::isfinite(ac.position[i])) ac.position[i] = before[i];
}
