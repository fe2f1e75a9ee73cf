#pragma once
// The steps of the motion of live aircraft that the motion files call across one another, and
// that the tests drive one by one. The entry points the rest of the engine calls are in
// engine/motion.h.
//
// Vocabulary: between two advances the head of the stream (stream[0]) is the point the aircraft
// moves towards. During an advance (nextPos) the head is the point just reached and the aim point
// is stream[1], the point after it stream[2]; the head is dropped at the end of the advance.
#include <cstdint>

#include "engine/aircraft.h"
#include "engine/motion.h"

// ---------------------------------------------------------------- shared numbers

namespace motion {
inline constexpr double kDeg = 0.017453292519943295;  // radians per degree
inline constexpr double kRad2Deg = 57.29577951308232;
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kFeetPerNm = 6076.11549;
inline constexpr double kMetresPerDegLat = 111132.95;
inline constexpr double kNmPerMetre = 0.0005399568034557236;
inline constexpr double kTwoMetresNm = 0.0010799136069114472;
inline constexpr double kThirtyFiveMetresNm = 0.018898488120950324;
inline constexpr double kFiftyMetresNm = 0.02699784017278618;
inline constexpr int32_t kMinTicks = 25;

// Ticks to cover a distance at a speed: nm x 360000 / kt, rounded, never fewer than minTicks.
// A speed that is not above 0 counts as 1 kt.
int32_t ticksFor(double distanceNm, double speedKt, int32_t minTicks = kMinTicks);
// An angle brought into (-pi, pi].
double normalizeAngle(double a);
// An angle brought into [0, 2 pi).
double wrapHeading(double a);
// Moves `heading` by at most `step` towards `target` the shorter way, when they differ by more
// than half a degree; the result stays in [0, 2 pi).
double turnTowards(double heading, double target, double step);
// Ticks from now to the aim point, never fewer than 25 (25 when the aim tick is past).
int32_t ticksToAim(const LiveAircraft& ac);
// Lowers both tick windows by 100, never below 1000.
void lowerWindows(LiveAircraft& ac);
}  // namespace motion

// ---------------------------------------------------------------- commands to the object

// Throttle step 0..4 (THROTTLE_SET), sent only when it differs from the last one sent.
void sendThrottleStep(LiveAircraft& ac, uint32_t step);
// Flaps step 0..3 (FLAPS_SET), sent only when it differs; never for a rotorcraft.
void sendFlapsStep(LiveAircraft& ac, uint32_t step);
// GEAR_SET 1 (down) or 0 (up); never for a rotorcraft.
void sendGear(LiveAircraft& ac, uint32_t down);
// SPOILERS_SET; never for a rotorcraft.
void sendSpoilers(LiveAircraft& ac, uint32_t value);

enum class LightPattern {
    Cruise,
    Low,
    TakeOff,
    RunwayExit,
    Taxi
};
// The seven light commands of a pattern in one hold of the command area.
void sendLightPattern(const LiveAircraft& ac, LightPattern pattern);

// ---------------------------------------------------------------- flight (take-off, air, landing)

void flightAimStep(LiveAircraft& ac);
void groundAimStep(LiveAircraft& ac);
void startRotation(LiveAircraft& ac);
void climbOutStep(LiveAircraft& ac);
void flareStep(LiveAircraft& ac);
void rollOutStep(LiveAircraft& ac);
void cruiseConfig(LiveAircraft& ac);
void approachConfigByHeight(LiveAircraft& ac);
void finalApproachConfig(LiveAircraft& ac);
void lowVerticalStep(LiveAircraft& ac);
void airVerticalStep(LiveAircraft& ac);
void climbStepToNext(LiveAircraft& ac);
void setBankStep(LiveAircraft& ac, double headingChange, int32_t dt);

void airAimTick(LiveAircraft& ac);
void setAimTick(LiveAircraft& ac, int32_t ticks);
bool skipToAirborne(LiveAircraft& ac, size_t n);
bool allAheadAirborne(const LiveAircraft& ac);
bool allAheadFast(const LiveAircraft& ac);
double estimateSpeedKt(const LiveAircraft& ac);
double turnToNextLeg(const LiveAircraft& ac);
double descentRateFpm(const LiveAircraft& ac);

// The weather pressure in hPa as the motion reads it (1013 until known).
int32_t motionPressureHpa();
// Whether a park airport is selected (its ICAO code is not empty).
bool airportSelected();

// ---------------------------------------------------------------- ground

void nextPos(LiveAircraft& ac);
void groundAimLogic(LiveAircraft& ac);
void groundAimTick(LiveAircraft& ac);
void pullOut(LiveAircraft& ac);
void startPushback(LiveAircraft& ac);
void arriveAtStand(LiveAircraft& ac);
bool endOfStream(LiveAircraft& ac);
void extendStream(LiveAircraft& ac, int32_t n);

// ---------------------------------------------------------------- curves

// Position and heading on a curve at parameter t.
struct CurvePoint {
    double latitude = 0.0;
    double longitude = 0.0;
    double heading = 0.0;  // rad, [0, 2 pi)
};
bool gf_curvePoint(const std::array<double, 8>& curve, double t, CurvePoint& out);
bool curveActive(const LiveAircraft& ac);
void clearCurve(LiveAircraft& ac);
void buildCurve(LiveAircraft& ac);
void insertMidpoint(LiveAircraft& ac);
void splitOnSpeedChange(LiveAircraft& ac);
// One tick on the curve: position and heading.
void curveMotionStep(LiveAircraft& ac);
