#pragma once
// The engine's aircraft records: static parked aircraft (SimAircraft) and live aircraft driven
// along their reported track (LiveAircraft), their states, phases and categories with their
// names, the per-category motion values, the identity labels used as keys and in the log, and
// the orders and jobs that lead to a creation in the simulator.
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "engine/point_track.h"
#include "feed/traffic_record.h"
#include "foundation/aircraft_category.h"

// ---------------------------------------------------------------- categories, states, phases

enum class SimState : uint32_t {
    Buffer = 0,           // "buffer": known, not yet asked for
    Adding2Sim = 1,       // "adding2sim": create request queued
    Active = 2,           // "active": object id known
    LiveryRespawn = 3,    // "liveryrespawn": being created again with another livery
    RemovingFromSim = 4,  // "removingfromsim": removal queued
};

enum class MovementPhase : uint32_t {
    PushingBack = 0,  // "pushing_back"
    PushedBack = 1,   // "pushed_back"
    Taxi = 2,         // "taxi"
    TakeOff = 3,      // "take_off"
    Flying = 4,       // "flying"
    Parking = 5,      // "parking"
    Parked = 6,       // "parked"
    Birth = 7,        // "birth"
};

// Names of the values; a value outside the table throws std::out_of_range
// ("invalid unordered_map<K, T> key").
std::string_view simStateName(SimState state);
std::string_view phaseName(MovementPhase phase);

// Per-category motion values (angles in radians, as held in the tables).
struct CategoryValues {
    uint32_t flareTicks;
    uint32_t rolloutTicks;
    uint32_t rotationTicks;
    uint32_t climbPitchTicks;
    double takeOffPitch;    // rad, negative nose up; an aircraft gets it 2.5 % larger or smaller (gf_makeAiRecord)
    double climbPitch;      // rad; an aircraft gets it 5 % larger or smaller (gf_makeAiRecord)
    double groundTurnStep;  // rad per tick
    double maxClimbStep;    // ft per tick
    double standTaxiSpeedKt;
    double maxBankStep;   // rad per tick
    double maxBank;       // rad
    double maxPitchStep;  // rad per tick
    double takeOffSpeedKt;
};
// The values of one category; a category outside the table throws std::out_of_range.
const CategoryValues& categoryValues(uint32_t category);

// ---------------------------------------------------------------- points and records

// One timed position of a live aircraft; the same fields in the same order as the block of a
// TrafficRecord from latitude to feedHeading, so a record's block becomes a point unchanged.
struct StreamPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    double element23Rad = 0.0;  // bank wanted here, rad (simulator's sign)
    uint8_t hasElement23 = 0;
    double trueHeadingRad = 0.0;
    uint8_t hasTrueHeading = 0;
    double altitudeFt = 0.0;  // 0 on the ground
    double groundSpeedKt = 0.0;
    double trackDeg = 0.0;
    double verticalSpeed = 0.0;  // ft/min
    double airSpeedKt = 0.0;
    uint32_t tick = 0;  // engine tick at which the aircraft is to be here (compare with tickDiff)
    uint8_t airborne = 0;
    uint8_t engineFlag = 0;   // 1: the aircraft stands still here
    uint8_t feedHeading = 0;  // 1: the heading came from the feed
};

// Copies the position block of a feed record into a stream point.
StreamPoint streamPointOf(const TrafficRecord& record);

// Throttle and flaps steps as THROTTLE_SET / FLAPS_SET data values.
inline constexpr std::array<uint32_t, 5> kThrottleSteps{0, 4914, 8191, 11468, 16383};
inline constexpr std::array<uint32_t, 4> kFlapsSteps{0, 3072, 10240, 16383};
inline constexpr uint32_t kNoThrottleSent = 5;
inline constexpr uint32_t kNoFlapsSent = 4;

// An aircraft placed in the simulator: every static parked aircraft, and the head of every live one.
struct SimAircraft {
    AircraftIdentity identity;
    double halfSpanNm = 0.0;
    double staticCgFt = 0.0;
    double staticPitch = 0.0;     // rad
    double takeOffPitch = 0.0;    // rad, negative nose up
    double climbPitch = 0.0;      // rad
    double groundTurnStep = 0.0;  // rad per tick
    double turnStep = 0.0;        // rad per tick
    double maxClimbStep = 0.0;    // ft per tick
    double standTaxiSpeedKt = 0.0;
    uint32_t id = 0;               // live: 24-bit address (> 10000); static: running number <= 10000
    uint32_t category = 2;         // AircraftCategory
    std::string_view liveryTitle;  // title held by the livery database (valid for the whole run)
    uint32_t flareTicks = 0;
    uint32_t rolloutTicks = 0;
    uint32_t rotationTicks = 0;
    uint32_t climbPitchTicks = 0;
    uint8_t cargoWanted = 0;
    uint8_t titlePrefixFlag = 0;  // title contains "FSLTL_"
    // From here on the values are the constructors'.
    uint32_t objectId = 0;  // 0 = none yet
    double standLatitude = 0.0;
    double standLongitude = 0.0;
    double standHeading = 0.0;  // rad
    uint64_t parkedSlot = 0;    // WeekSlot: low half weekday 1..7, high half half-hour 0..47
    uint32_t feedHexid = 0;
    uint32_t standId = 0;  // 0 = none
    SimState simState = SimState::Buffer;
    uint32_t throttleIndex = kNoThrottleSent;
    uint32_t flapsIndex = kNoFlapsSent;
    uint8_t cargo = 0;
    uint32_t planned = 1;
    uint8_t removeWhenCreated = 0;
    uint8_t removeFromBuffer = 0;
    uint8_t removedFromQueue = 0;
    // The request id of the creation sent for this aircraft and not yet answered (0: none). Only the answer
    // to that request gives the aircraft its object.
    uint32_t creationRequest = 0;

    SimAircraft() = default;
    // Static aircraft on a stand, from a head made by gf_makeAiRecord.
    SimAircraft(const SimAircraft& head, uint32_t standId, double standLat, double standLon, double standHeadingRad,
                uint8_t cargoFlag);
    SimAircraft(const SimAircraft&) = default;
    SimAircraft(SimAircraft&&) = default;
    SimAircraft& operator=(const SimAircraft&) = default;
    SimAircraft& operator=(SimAircraft&&) = default;

    bool isLive() const { return id > 10000; }
};

// Indices of the position block (the simulator's position payload).
enum PositionIndex : size_t {
    kPosLat = 0,
    kPosLon,
    kPosPitch,
    kPosBank,
    kPosHeading,
    kPosAlt,
    kPosVs,
    kPosTas
};

// A live aircraft driven along its reported track.
struct LiveAircraft : SimAircraft {
    std::array<double, 8> position{};  // lat, lon (deg), pitch, bank, heading (rad), alt (ft), vs (ft/s), tas (kt)
    PointTrack<StreamPoint> stream;
    double lastFeedTime = 0.0;
    int64_t parkedSince = 0;  // system clock ticks (100 ns)
    int32_t extendCount = 0;
    uint32_t holdStartTick = 0;
    MovementPhase phase = MovementPhase::Birth;
    MovementPhase previousPhase = MovementPhase::Birth;
    uint8_t departing = 0;
    uint8_t onGround = 0;
    uint8_t hasFlightPlan = 0;
    uint8_t inUserWay = 0;
    uint8_t holding = 0;
    double latStep = 0.0;
    double lonStep = 0.0;
    double pitchStep = 0.0;
    double bankStep = 0.0;
    double headingStep = 0.0;
    double altStep = 0.0;
    double targetVsFpm = 0.0;
    double targetSpeedKt = 0.0;
    std::array<double, 8> curve{0.0,
                                0.0,
                                0.0,
                                0.0,
                                0.0,
                                0.0,
                                std::numeric_limits<double>::quiet_NaN(),
                                std::numeric_limits<double>::quiet_NaN()};
    double curveT = 0.0;
    double curveTStep = 0.0;
    double curveTurnDeg = 0.0;
    StreamPoint pushbackAltPoint{};
    std::array<double, 2> lastParkTryPos{};
    int32_t earlyWindowTicks = 1000;
    int32_t lateWindowTicks = 1000;
    int32_t rotationCountdown = 1;
    int32_t pushbackStage = 0;
    uint32_t creepCount = 0;
    double targetHeading = 0.0;
    double heightAglFt = 2500.0;
    double flareHeightFt = 0.0;
    double touchdownHeading = 0.0;
    double pushedBackDistNm = 0.0;
    double firstStandDistNm = 0.0;
    double lastStandDistNm = 0.0;
    double turnToTargetDeg = 0.0;
    double respawnHeading = 0.0;
    uint8_t respawnPending = 0;
    uint8_t pushbackTurnRight = 0;
    uint8_t pushbackTurnKnown = 0;
    double groundRefFt = 0.0;
    uint8_t groundRefKnown = 0;
    uint32_t flareStage = 0;
    uint8_t landing = 0;
    uint8_t landed = 0;
    uint8_t towed = 0;
    uint8_t goAround = 0;
    uint8_t takingOff = 0;
    uint8_t cruiseConfigSet = 0;
    uint8_t lowLightsSet = 0;
    uint8_t derotating = 0;
    uint8_t rollingOut = 0;
    uint8_t leaveStand = 0;
    uint8_t turningToTarget = 0;

    LiveAircraft() = default;
    // From the first point, the head made by gf_makeAiRecord and that record's feed time.
    LiveAircraft(const StreamPoint& first, const SimAircraft& head, double feedTime);

    // Stores the old phase in previousPhase first, and only when the phase really changes.
    void setPhase(MovementPhase p) {
        if (p == phase) return;
        previousPhase = phase;
        phase = p;
    }
};

// One aircraft waiting to be created. The first eight fields have the layout of the simulator's
// initial-position record.
struct SpawnOrder {
    double latitude = 0.0;   // deg
    double longitude = 0.0;  // deg
    double altitude = 0.0;   // ft
    double pitch = 0.0;      // deg
    double bank = 0.0;       // deg
    double heading = 0.0;    // deg true
    uint32_t onGround = 0;   // 0 live, 1 static
    uint32_t airspeed = 0;
    std::string callsign;    // sent as the tail number
    std::string_view title;  // livery title held by the livery database
    uint32_t id = 0;         // hexid of a live aircraft, static id of a static one
};

// One stand that the parking planner wants filled with a static aircraft.
struct StaticJob {
    uint32_t feedHexid = 0;  // address of the feed's parked record, 0 for plan options
    uint32_t planned = 1;    // 0: from parked traffic (or a static aircraft), 1: from the week plan
    uint32_t standId = 0;
    uint32_t ageSlots = 0;  // half-hours since it was seen parked; the planner's sort key
    std::string identity0;  // becomes the airline
    std::string icaoType;
    std::string callsignA;  // first callsign candidate (becomes identity6)
    std::string callsignB;  // second callsign candidate (becomes identity7)
    std::string registration;
    uint8_t preferA = 0;  // the planner's "stays" flag: 1 tries callsignA first
    // Placement turns the job has waited for the simulator to confirm the removal of a static on its way out
    // from its stand or a coupled one (engine only).
    uint8_t removalWaits = 0;
};

// ---------------------------------------------------------------- construction and identity

// Builds the head of an engine record from a feed record (identity, span, category, category values).
void gf_makeAiRecord(SimAircraft& out, const TrafficRecord& record);

inline std::string airlineTypeKey(const SimAircraft& ac) { return airlineTypeKey(ac.identity); }
inline std::string acLabel(const SimAircraft& ac) { return acLabel(ac.identity); }
inline std::string acRouteLabel(const SimAircraft& ac) { return acRouteLabel(ac.identity); }

bool sameAirlineType(const AircraftIdentity& a, const AircraftIdentity& b);
bool isValidCallsign(const AircraftIdentity& id);
std::optional<std::string> airlineCodeOfCallsign(std::string_view callsign);
bool airlineFromCallsign(AircraftIdentity& id);

// ---------------------------------------------------------------- operations

// Asks for the removal of the aircraft from the simulator (or from the buffer / creation queue).
void removeAircraftFromSim(SimAircraft& ac);
// With LOG on: "{stand:8}: {callsign:8} removed, {reason}", the line of an aircraft taken off its stand.
void gf_logRemoval(const SimAircraft& ac, std::string_view reason);

// Takes the creation orders with this callsign out of the queue; true when one was taken.
bool isQueuedForCreation(std::deque<SpawnOrder>& fifo, std::string_view callsign);
// Takes the creation order of the aircraft with this id out of the queue; true when one was taken.
bool takeQueuedCreation(std::deque<SpawnOrder>& fifo, uint32_t id);

// Engine, throttle, flaps and lights of a parked aircraft.
void parkedLightPattern(SimAircraft& ac);

// Whether an arrival stand search is due for this aircraft in this half-hour.
bool isArrivalDue(uint64_t weekSlot, uint32_t aircraftId, bool force);
