#pragma once
// The simulator client thread: connection, simulator identity, declarations and dispatch.
//
// SimClient owns the connection of one run. It opens it under the program's short name (retried
// once a second), declares every data definition, system event and client event the program
// uses, and then pumps the simulator's messages once a millisecond through gf_dispatchProc.
// Every handler below runs on that thread. Other threads call the simulator only under
// simQueueMutex (simlink/commands.h).

#include <atomic>
#include <cstdint>
#include <exception>
#include <stop_token>
#include <string>
#include <vector>

#include "platform/sim/sim_api.h"

// The thread procedure; started by the run as a stoppable thread.
void SimClient(std::stop_token stopToken);

// Counts Frame events; the frame rate (commands.h) is published every 30th.
extern std::int32_t frameCounter;

// ---- steps of SimClient, also driven one by one by tests ----
// One open attempt: on success stores the handle, clears simNotYetOpened and declares the data.
bool lf_openSimConnect();
// One pump of the simulator's messages (exceptions of the handlers pass out).
void lf_dispatchOnce();
// The handlers at the top of SimClient for an exception that left the dispatch.
void lf_onSimClientException(std::exception_ptr error);
// The end sequence: user stand check, connection flags, repaint, close.
void lf_endSimClient();

// Declarations, in order: system events, data definitions, client event maps, group membership,
// group priority.
void lf_defineSimConnectData();
void gf_addClientEventToGroup(std::uint32_t eventId);

// The dispatch callback and its handlers.
void gf_dispatchProc(const vsim::RecvHeader* message, std::uint32_t size, void* context);
void lf_onOpen(const vsim::RecvOpenMsg& message);
void lf_onException(const vsim::RecvExceptionMsg& message);
void lf_onSystemEvent(const vsim::RecvEventMsg& message);
std::string lf_wrongSimulatorMessage();

// Internal state of the link (SimClient thread only, exposed for tests).
// A creation sent and not yet answered, oldest first; objectId is the simulator's assigned-object-id answer
// (0 until it came).
struct PendingCreate {
    std::uint32_t packetId = 0;
    std::uint32_t hexid = 0;
    std::string callsign;
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
};
extern std::vector<PendingCreate> pendingCreates;
extern std::vector<std::uint32_t> newObjectIds;

// Handlers of the command area (commands.cpp), called by the dispatcher.
void lf_onFrameFlushQueues();
void lf_createAiAircraft(const struct SimConnectCreateRequest& request);
void lf_onSimObjectDataByType(const vsim::RecvSimObjectDataMsg& message);
void lf_onCreateRefused(std::uint32_t sendId);
// The simulator's object id for a creation (its assigned-object-id answer, by the creation's request id).
void lf_onAssignedObjectId(const vsim::RecvAssignedObjectIdMsg& message);
// A creation the simulator will not carry out (too many objects): it leaves the pending list without a
// notice; the engine gives the unanswered creation up.
void lf_onCreateDropped(std::uint32_t sendId);
// The object-added/removed event (dispatch id 5).
void lf_onObjectAddRemove(const vsim::RecvEventObjectAddRemoveMsg& message);

// Handlers of the user aircraft (user_aircraft.cpp).
void lf_onSimObjectData(const vsim::RecvSimObjectDataMsg& message);
void lf_checkUserStand();

// The handle of the open connection (null when none).
extern std::atomic<vsim::SimHandle> simHandle;
