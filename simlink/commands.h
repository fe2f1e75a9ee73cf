#pragma once
// The command area between the engine and the simulator client thread, and the user aircraft's
// state as the engine sees it.
//
// The engine (run thread) appends commands; on every simulator frame the SimClient thread sends
// what is there (frame flush), taking `simQueueMutex` with a try-lock so that it never waits on
// the engine. Every simulator call made outside the SimClient thread is made while holding
// `simQueueMutex`, with the handle from `gf_simHandle()`.
//
// Lock order: engine inbox, then `simQueueMutex`, then the log. The mutex is not recursive: the
// gf_queue... operations and gf_releaseAiControl take it themselves and must not be called while
// it is held; code that appends several commands at once takes it and pushes to `eventQueue`.

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/sim/sim_api.h"
#include "shell/run_flags.h"

// One position sent on a frame: the 64-byte block of definition 402 and the object it moves.
struct PositionUpdate {
    vsim::PositionBlock position;
    std::uint32_t objectId = 0;
};

// From the engine's position array (lat, lon deg; pitch, bank, heading rad; alt ft; vs ft/s; tas kt).
inline PositionUpdate makePositionUpdate(const std::array<double, 8>& p, std::uint32_t objectId) {
    return PositionUpdate{vsim::PositionBlock{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]}, objectId};
}

// One client event for one object (event id 206..222, data its parameter).
struct ClientEventCommand {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t data = 0;
};

// One creation: the initial position, the callsign given as tail number (it comes back as the
// object's "ATC ID"), the livery title (a view of a title held by the livery database for the
// whole run), the hexid (above 10000 live, 1..10000 static, 0 none) and the engine's request id of
// this creation (never 0). The request id is the simulator call's request id: the simulator names it
// in its assigned-object-id answer, and the link in every notice that answers the creation.
struct SimConnectCreateRequest {
    vsim::InitPosition initPosition;
    std::string callsign;
    std::string_view title;
    std::uint32_t hexid = 0;
    std::uint32_t requestId = 0;
};

// ---- the command area, guarded by simQueueMutex ----
extern std::mutex simQueueMutex;
extern std::vector<PositionUpdate>* positionBackBuffer;   // written by the engine without the lock
extern std::vector<PositionUpdate>* positionFrontBuffer;  // sent by the frame flush
extern std::vector<ClientEventCommand> eventQueue;
extern std::vector<SimConnectCreateRequest> createQueue;
extern std::vector<std::uint32_t> removeQueue;

// The simulator's frame rate, published every 30 frames (0 until then).
extern std::atomic<float> frameRate;
// Object id of the user aircraft (0 until the first state answer); ids at or below it are never
// commanded (positions, events, removals).
extern std::atomic<std::uint32_t> userObjectId;

// The connection handle for calls made under simQueueMutex (null while not connected; a call
// with a null handle fails).
vsim::SimHandle gf_simHandle();

// ---- enqueue operations (each takes simQueueMutex) ----
void gf_queueClientEvent(const ClientEventCommand& command);
void gf_queueNavLights(std::uint32_t objectId, std::uint32_t value);    // NAV_LIGHTS_SET
void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t value);  // CABIN_LIGHTS_SET
void gf_queueCreateRequest(SimConnectCreateRequest request);            // a creation (engine: gf_queueCreateAircraft)
// Releases AI control at once (request 103) and queues the three freeze events with data 1.
void gf_releaseAiControl(std::uint32_t objectId);

// Before a run's SimClient starts: reserves room (256) in every queue and list, clears
// simConnectError. Removes nothing.
void gf_resetSimConnectQueues();

// The common reaction to a failed simulator call: shows and logs "SimConnect request error",
// sets simConnectError and, as the first cause, ends the run with "SIMCONNECT ERROR" (restart
// after 9 s).
void gf_logSimConnectRequestError();

// Run clean-up of the simulator link: empties the queues, the position buffers (the back and
// front pointers back to their first and second vector), the pending-creation and new-object
// lists, the user-data mark, simRunning, simConnectError, the handle, the simulator's name and
// the link's copy of the user state.
void gf_resetSimLink();

// ---- user aircraft ----
// The user aircraft's state (definition 403): position, attitude, altitudes (altitude never
// below 0), ground speed, simulator UTC time and light states.
using UserState = vsim::UserStateBlock;

// The engine's copy of the user state (run thread only; refreshed every 100 ticks from
// gf_requestUserPosition).
extern UserState userState;

// userOnGround and userOnGroundValid (shell/run_flags.h) come from the once-a-second answer.
// Half wing span (nm) and category (0..5) of the user aircraft, and whether they were deduced.
extern std::atomic<double> userHalfWingSpanNm;
extern std::atomic<std::uint32_t> userCategory;
extern std::atomic<std::uint8_t> userModelKnown;
// The simulator's UTC date and time as Unix seconds.
extern std::atomic<std::int64_t> simUtcEpoch;

// Under simQueueMutex: asks for the user state once (request 109) unless simConnectError is set,
// and returns a copy of the last state received.
UserState gf_requestUserPosition();
// Under simQueueMutex: asks once for the user's title (106) and model (107).
void gf_requestUserTitleAndModel();
// Under simQueueMutex: asks for the user's on-ground flag every second (108); a failure logs
// "SimConnect request ac gnd/air fails" and ends the run with "SIMCONNECT ERROR".
void gf_requestUserOnGround();
// The stand at the user's position, empty when none.
std::string gf_standAtUserPosition();
