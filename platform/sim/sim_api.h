#pragma once
// Simulator client API.
//
// The program talks to the flight simulator only through these calls. They follow the model of a
// message-based simulator client: a client opens a named connection, declares data definitions
// (ordered lists of simulation variables that make up one binary block), maps client events to
// simulator events, subscribes to system events, asks for data once or periodically, writes data,
// creates and removes AI objects, and then pumps the simulator's answers with `callDispatch`,
// which hands each queued message to the client's callback.
//
// Behind the calls runs the in-process stand-in simulator of platform/sim/stand_in.h. `open`
// connects to the stand-in installed with `StandIn::install`; when none is installed, the first
// `open` installs a real-time stand-in built from the scenario file named by VEXA_SIM_SCENARIO
// (or a default one), see stand_in.h.
//
// Contract common to every call:
// - The result is a `SimResult`: 0 (kOk) on success, a negative value on failure (`failed`).
//   A call fails when the handle is null or closed, when the simulator has quit, or when a test
//   told the stand-in to fail that call. A call that is accepted but is wrong in content (an
//   unknown object id, an unknown container title, an unknown variable name, a wrong data size)
//   returns kOk and is refused later by an EXCEPTION message whose sendId is the packet id of the
//   refused call (see `getLastSentPacketId`).
// - Every successful call is one packet; packet ids count up from 1 per connection.
// - All calls are thread-safe. A call may be made from inside a dispatch callback (the client's
//   frame flush does so): the stand-in never holds its own lock while it runs a callback.
// - Object id 0 (kObjectIdUser) names the user aircraft in requests; the user aircraft's real
//   object id is reported in the answers. AI object ids are always above the user's id.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vsim {

using SimResult = std::int32_t;
inline constexpr SimResult kOk = 0;
inline constexpr SimResult kFail = static_cast<SimResult>(0x80004005u);  // negative
[[nodiscard]] constexpr bool failed(SimResult r) noexcept { return r < 0; }

inline constexpr std::uint32_t kUnused = 0xFFFFFFFFu;  // datum id not used
inline constexpr std::uint32_t kObjectIdUser = 0;      // "the user aircraft" in requests
inline constexpr std::uint32_t kGroupPriorityHighest = 1;

struct Connection;  // opaque
using SimHandle = Connection*;

// ---------------------------------------------------------------------------------------------
// Types of the calls
// ---------------------------------------------------------------------------------------------

// Data types of a definition's fields, with their size in the block:
// Int32 4, Int64 8, Float32 4, Float64 8, String32 32 (zero padded, at most 31 characters and a
// terminating zero), StringV variable (the text and its terminating zero, then zero padding to a
// multiple of 8 bytes).
enum class DataType : std::uint32_t {
    Invalid = 0,
    Int32 = 1,
    Int64 = 2,
    Float32 = 3,
    Float64 = 4,
    String32 = 6,
    StringV = 11
};

// How often a requested definition is sent: once, on every simulator frame, or once a second.
enum class Period : std::uint32_t {
    Never = 0,
    Once = 1,
    VisualFrame = 2,
    SimFrame = 3,
    Second = 4
};

// Object types of requests by type and of the object add/remove event. A request for Aircraft
// covers every aircraft, fixed-wing and helicopter; the add/remove event reports an object's own
// type (Aircraft or Helicopter), so a client treats both as aircraft.
enum class SimObjectType : std::uint32_t {
    User = 0,
    All = 1,
    Aircraft = 2,
    Helicopter = 3,
    Boat = 4,
    Ground = 5
};

// Initial position of a created AI object (48 + 8 bytes).
struct InitPosition {
    double latitude = 0;         // degrees
    double longitude = 0;        // degrees
    double altitude = 0;         // feet
    double pitch = 0;            // degrees
    double bank = 0;             // degrees
    double heading = 0;          // degrees true
    std::uint32_t onGround = 0;  // 1: placed on the ground
    std::uint32_t airspeed = 0;  // knots
};
static_assert(sizeof(InitPosition) == 56);

// ---------------------------------------------------------------------------------------------
// Calls
// ---------------------------------------------------------------------------------------------

// Opens a connection under the client name. Fails (no handle) while the simulator is not running
// or when the stand-in was told to refuse opens. On success the first message queued is OPEN.
SimResult open(SimHandle* handle, std::string_view clientName, std::uint32_t configIndex = 0);

// Closes the connection; later calls with the handle fail. The handle must not be used again.
SimResult close(SimHandle handle);

using DispatchProc = void (*)(const struct RecvHeader* message, std::uint32_t size, void* context);

// Lets the simulator advance to now (stand-in clock), then hands every message queued for the
// connection at that moment to `proc`, in order, on the calling thread. Messages queued by calls
// made inside the callback are handed over by a later `callDispatch`. An exception thrown by the
// callback leaves this call (the remaining messages stay queued).
SimResult callDispatch(SimHandle handle, DispatchProc proc, void* context);

// Appends one variable to a definition (created on first use). The fields of a block are in call
// order. Unknown variable or unit names are refused by an exception (NameUnrecognized) once the
// definition is used.
SimResult addToDataDefinition(SimHandle handle, std::uint32_t defineId, std::string_view datumName,
                              std::string_view unitsName, DataType type = DataType::Float64, float epsilon = 0,
                              std::uint32_t datumId = kUnused);

// Asks for the definition's block of one object (kObjectIdUser: the user aircraft), once or
// periodically (Never stops a periodic request with that request id). Answers are SIMOBJECT_DATA
// messages carrying the request id and the object's real id.
SimResult requestDataOnSimObject(SimHandle handle, std::uint32_t requestId, std::uint32_t defineId,
                                 std::uint32_t objectId, Period period, std::uint32_t flags = 0,
                                 std::uint32_t origin = 0, std::uint32_t interval = 0, std::uint32_t limit = 0);

// Asks once for the block of every object of the type within `radiusMetres` of the user aircraft
// (the user aircraft included). Answers: one SIMOBJECT_DATA_BYTYPE message per object, with
// entryNumber 1..outOf; no message when no object is in range.
SimResult requestDataOnSimObjectType(SimHandle handle, std::uint32_t requestId, std::uint32_t defineId,
                                     std::uint32_t radiusMetres, SimObjectType type);

// Writes the definition's block to an object. `unitSize` is the block's byte size (arrayCount 0
// means one block). A size that does not match the definition is refused by InvalidDataSize;
// an unknown object by UnrecognizedId.
SimResult setDataOnSimObject(SimHandle handle, std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                             std::uint32_t arrayCount, std::uint32_t unitSize, const void* data);

// Gives a client event id the meaning of a simulator event name (e.g. "FLAPS_SET").
SimResult mapClientEventToSimEvent(SimHandle handle, std::uint32_t eventId, std::string_view eventName);
SimResult addClientEventToNotificationGroup(SimHandle handle, std::uint32_t groupId, std::uint32_t eventId,
                                            bool maskable = false);
SimResult setNotificationGroupPriority(SimHandle handle, std::uint32_t groupId, std::uint32_t priority);

// Sends a mapped client event with its data to an object. An unmapped event or an unknown object
// is refused by UnrecognizedId.
SimResult transmitClientEvent(SimHandle handle, std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                              std::uint32_t groupId, std::uint32_t flags);

// Subscribes a client event id to a system event: "Sim" (data 1 while a flight runs, 0 in the
// menu; sent once at subscription and at every change), "ObjectAdded" and "ObjectRemoved"
// (EVENT_OBJECT_ADDREMOVE with the object type), "FlightLoaded" (EVENT_FILENAME with the flight
// file), "Frame" (EVENT_FRAME with the frame rate, once per simulator frame).
SimResult subscribeToSystemEvent(SimHandle handle, std::uint32_t eventId, std::string_view systemEventName);

// Creates an AI aircraft from an installed container title with the tail number (reported as its
// "ATC ID", cut to 31 bytes). An ASSIGNED_OBJECT_ID message with the request id answers at once;
// an ObjectAdded event follows a few frames later. An unknown title is refused by
// CreateObjectFailed with the packet id of this call.
SimResult aiCreateNonAtcAircraft(SimHandle handle, std::string_view containerTitle, std::string_view tailNumber,
                                 const InitPosition& position, std::uint32_t requestId);

// Removes an AI object; the ObjectRemoved event follows on the next frame. Unknown ids and the
// user aircraft are refused by UnrecognizedId.
SimResult aiRemoveObject(SimHandle handle, std::uint32_t objectId, std::uint32_t requestId);

// Takes the object out of the simulator's AI control (the client moves it from then on).
SimResult aiReleaseControl(SimHandle handle, std::uint32_t objectId, std::uint32_t requestId);

// Gives an AI object a flight plan file (the path with or without its extension ".pln"). A missing
// file is refused by LoadFlightplanFailed.
SimResult aiSetAircraftFlightPlan(SimHandle handle, std::uint32_t objectId, std::string_view flightPlanPath,
                                  std::uint32_t requestId);

// The packet id of the connection's last successful call.
SimResult getLastSentPacketId(SimHandle handle, std::uint32_t* packetId);

// ---------------------------------------------------------------------------------------------
// Received records. Every message starts with RecvHeader; `id` tells which record it is, and the
// record is read by casting the header pointer to that record (the header is its first member).
// ---------------------------------------------------------------------------------------------

enum RecvId : std::uint32_t {
    RecvNull = 0,
    RecvException = 1,
    RecvOpen = 2,
    RecvQuit = 3,
    RecvEventId = 4,
    RecvEventObjectAddRemove = 5,
    RecvEventFilename = 6,
    RecvEventFrame = 7,
    RecvSimObjectData = 8,
    RecvSimObjectDataByType = 9,
    RecvAssignedObjectId = 12,
};

struct RecvHeader {
    std::uint32_t size;     // bytes of the whole message
    std::uint32_t version;  // 1
    std::uint32_t id;       // RecvId
};

// Exception codes carried by RecvExceptionMsg.
enum ExceptionCode : std::uint32_t {
    ExceptionNone = 0,
    ExceptionError = 1,
    ExceptionSizeMismatch = 2,
    ExceptionUnrecognizedId = 3,
    ExceptionUnopened = 4,
    ExceptionVersionMismatch = 5,
    ExceptionNameUnrecognized = 7,
    ExceptionTooManyObjects = 11,
    ExceptionInvalidDataSize = 19,
    ExceptionCreateObjectFailed = 22,
    ExceptionLoadFlightplanFailed = 23,
    ExceptionOperationInvalidForObjectType = 24,
};

struct RecvExceptionMsg {
    RecvHeader header;
    std::uint32_t exception;  // ExceptionCode
    std::uint32_t sendId;     // packet id of the refused call
    std::uint32_t index;      // index of the refused argument, or kUnused
};

struct RecvOpenMsg {
    RecvHeader header;
    char applicationName[256];  // the simulator's own name, zero terminated
    std::uint32_t applicationVersionMajor;
    std::uint32_t applicationVersionMinor;
    std::uint32_t applicationBuildMajor;
    std::uint32_t applicationBuildMinor;
    std::uint32_t simConnectVersionMajor;
    std::uint32_t simConnectVersionMinor;
    std::uint32_t simConnectBuildMajor;
    std::uint32_t simConnectBuildMinor;
    std::uint32_t reserved1;
    std::uint32_t reserved2;
};

struct RecvQuitMsg {
    RecvHeader header;
};

struct RecvEventMsg {
    RecvHeader header;
    std::uint32_t groupId;  // kUnused for system events
    std::uint32_t eventId;  // the client's subscribed event id
    std::uint32_t data;
};

struct RecvEventObjectAddRemoveMsg {
    RecvEventMsg event;        // data = object id
    std::uint32_t objectType;  // SimObjectType
};

struct RecvEventFilenameMsg {
    RecvEventMsg event;
    char fileName[260];
    std::uint32_t flags;
};

struct RecvEventFrameMsg {
    RecvEventMsg event;
    float frameRate;
    float simSpeed;
};

// Answer to requestDataOnSimObject (id RecvSimObjectData) and to requestDataOnSimObjectType
// (id RecvSimObjectDataByType). The definition's block follows the record (8-byte aligned).
struct RecvSimObjectDataMsg {
    RecvHeader header;
    std::uint32_t requestId;
    std::uint32_t objectId;
    std::uint32_t defineId;
    std::uint32_t flags;
    std::uint32_t entryNumber;  // 1..outOf for answers by type, 0 otherwise
    std::uint32_t outOf;
    std::uint32_t defineCount;  // number of fields in the block
};
static_assert(sizeof(RecvSimObjectDataMsg) % 8 == 0);

// The block of a data answer and its size in bytes.
[[nodiscard]] inline const std::byte* blockOf(const RecvSimObjectDataMsg* m) noexcept {
    return reinterpret_cast<const std::byte*>(m) + sizeof(RecvSimObjectDataMsg);
}
[[nodiscard]] inline std::size_t blockSizeOf(const RecvSimObjectDataMsg* m) noexcept {
    return m->header.size > sizeof(RecvSimObjectDataMsg) ? m->header.size - sizeof(RecvSimObjectDataMsg) : 0;
}

struct RecvAssignedObjectIdMsg {
    RecvHeader header;
    std::uint32_t requestId;
    std::uint32_t objectId;
};

// ---------------------------------------------------------------------------------------------
// Identifiers this program declares (all its own choices, fixed values), and its blocks.
// ---------------------------------------------------------------------------------------------

// Data definitions. Declared in this call order (variable, unit, type):
//  407 "TITLE" (no unit, StringV)                       -> the user's title text
//  408 "ATC MODEL" (no unit, String32)                  -> 32 bytes
//  409 "SIM ON GROUND" "Bool" Int64                     -> 8 bytes
//  402 lat, lon "degree"; pitch, bank, heading "radians"; "Plane Altitude" "feet";
//      "Vertical Speed" "feet per second"; "Airspeed True" "knots"       -> PositionBlock, 64 bytes
//  403 lat, lon, pitch, bank, heading, altitude, "Plane Alt Above Ground" "feet",
//      "Ground Velocity" "knots", "ZULU TIME" "Seconds", "ZULU DAY OF YEAR" "Number",
//      "ZULU YEAR" "Number", "LIGHT STATES" "Mask"                      -> UserStateBlock, 96 bytes
//  405 "Static CG to Ground" "feet", "Static Pitch" "radians"        -> StaticCgBlock, 16 bytes
//  406 "Light On States" "Mask" Int64                                 -> 8 bytes (never used)
//  404 "Plane Alt Above Ground" "feet", "Ground Altitude" "feet", "SIM ON GROUND" "Bool" Int64,
//      "ATC ID" (no unit, String32)                                   -> GroundBlock, 56 bytes
//  401 "SPOILERS HANDLE POSITION", "GENERAL ENG THROTTLE LEVER POSITION:1" and ":2", "percent"
//                                                                      -> ThrottleSpoilerBlock, 24 bytes
inline constexpr std::uint32_t kDefThrottleSpoiler = 401;
inline constexpr std::uint32_t kDefPosition = 402;
inline constexpr std::uint32_t kDefUserState = 403;
inline constexpr std::uint32_t kDefGround = 404;
inline constexpr std::uint32_t kDefStaticCg = 405;
inline constexpr std::uint32_t kDefLightOn = 406;
inline constexpr std::uint32_t kDefTitle = 407;
inline constexpr std::uint32_t kDefAtcModel = 408;
inline constexpr std::uint32_t kDefOnGround = 409;

struct PositionBlock {         // definition 402
    double latitude = 0;       // degrees
    double longitude = 0;      // degrees
    double pitch = 0;          // radians (negative: nose up)
    double bank = 0;           // radians
    double heading = 0;        // radians true
    double altitude = 0;       // feet
    double verticalSpeed = 0;  // feet per second
    double airspeed = 0;       // knots true
};
static_assert(sizeof(PositionBlock) == 64);

struct UserStateBlock {              // definition 403
    double latitude = 0;             // degrees
    double longitude = 0;            // degrees
    double pitch = 0;                // radians
    double bank = 0;                 // radians
    double heading = 0;              // radians true
    double altitude = 0;             // feet
    double altitudeAboveGround = 0;  // feet
    double groundSpeed = 0;          // knots
    std::int64_t zuluTime = 0;       // seconds of the UTC day
    std::int64_t zuluDayOfYear = 0;  // 1..366
    std::int64_t zuluYear = 0;
    std::int64_t lightStates = 0;  // bit mask
};
static_assert(sizeof(UserStateBlock) == 96);

struct GroundBlock {                 // definition 404
    double altitudeAboveGround = 0;  // feet
    double groundAltitude = 0;       // feet
    std::int64_t onGround = 0;       // 0 or 1
    char atcId[32] = {};
};
static_assert(sizeof(GroundBlock) == 56);

struct StaticCgBlock {       // definition 405
    double cgToGround = 0;   // feet
    double staticPitch = 0;  // radians
};
static_assert(sizeof(StaticCgBlock) == 16);

struct ThrottleSpoilerBlock {   // definition 401
    double spoilersHandle = 0;  // percent
    double throttle1 = 0;       // percent
    double throttle2 = 0;       // percent
};
static_assert(sizeof(ThrottleSpoilerBlock) == 24);

// System events, subscribed in this order: 201 "Sim", 202 "ObjectAdded", 203 "ObjectRemoved",
// 205 "FlightLoaded", 204 "Frame".
inline constexpr std::uint32_t kEventSim = 201;
inline constexpr std::uint32_t kEventObjectAdded = 202;
inline constexpr std::uint32_t kEventObjectRemoved = 203;
inline constexpr std::uint32_t kEventFrame = 204;
inline constexpr std::uint32_t kEventFlightLoaded = 205;

// Client events (mapped to the simulator event of the same name). Data: 1 on / 0 off for the
// light and freeze events, 0..16383 for THROTTLE_SET, FLAPS_SET and SPOILERS_SET.
inline constexpr std::uint32_t kEvBeaconLightsSet = 206;
inline constexpr std::uint32_t kEvNavLightsSet = 207;
inline constexpr std::uint32_t kEvTaxiLightsSet = 208;
inline constexpr std::uint32_t kEvStrobesSet = 209;
inline constexpr std::uint32_t kEvLandingLightsSet = 210;
inline constexpr std::uint32_t kEvCabinLightsSet = 211;
inline constexpr std::uint32_t kEvLogoLightsSet = 212;
inline constexpr std::uint32_t kEvAllLightsToggle = 213;
inline constexpr std::uint32_t kEvFreezeLatLonSet = 214;
inline constexpr std::uint32_t kEvFreezeAltitudeSet = 215;
inline constexpr std::uint32_t kEvFreezeAttitudeSet = 216;
inline constexpr std::uint32_t kEvFlapsSet = 217;
inline constexpr std::uint32_t kEvSpoilersSet = 218;
inline constexpr std::uint32_t kEvGearSet = 219;
inline constexpr std::uint32_t kEvEngineAutoStart = 220;
inline constexpr std::uint32_t kEvEngineAutoShutdown = 221;
inline constexpr std::uint32_t kEvThrottleSet = 222;

// The one notification group of the client events (priority highest); every client event is
// transmitted with this group and flags 0.
inline constexpr std::uint32_t kGroupClientEvents = 301;

// Request ids.
inline constexpr std::uint32_t kReqAircraftInRange = 101;  // by type, definition 404
inline constexpr std::uint32_t kReqStaticCg = 102;         // definition 405 of one object, once
inline constexpr std::uint32_t kReqReleaseControl = 103;
inline constexpr std::uint32_t kReqCreate = 104;
inline constexpr std::uint32_t kReqRemove = 105;
inline constexpr std::uint32_t kReqUserTitle = 106;     // definition 407 of the user, once
inline constexpr std::uint32_t kReqUserModel = 107;     // definition 408 of the user, once
inline constexpr std::uint32_t kReqUserOnGround = 108;  // definition 409 of the user, every second
inline constexpr std::uint32_t kReqUserState = 109;     // definition 403 of the user, once
inline constexpr std::uint32_t kReqFlightPlan = 110;

}  // namespace vsim
