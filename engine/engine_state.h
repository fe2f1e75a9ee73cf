#pragma once
// The engine's lists and the routines that the engine's own files call across one another.
// Everything here belongs to the run thread unless a lock is named.
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "engine/aircraft.h"
#include "engine/notices.h"
#include "feed/feed_intake.h"

struct TrafficRecord;
struct ParkPos;

extern std::vector<LiveAircraft> liveList;   // reserved for 512
extern std::vector<SimAircraft> staticList;  // reserved for 256
extern std::vector<uint32_t> spawnIds;       // hexids cleared for creation, last in first out
extern std::deque<SpawnOrder> liveCreateFifo;
extern std::deque<SpawnOrder> staticCreateFifo;
extern std::deque<uint32_t> removeFifo;  // object ids waiting for their removal
// Queues an object's removal; an id already waiting is not queued a second time.
void gf_queueRemoval(uint32_t objectId);
// The simulator answered the creation `request` (created or refused): the aircraft that waits for that very
// creation, which now waits no more, or null when none does (the creation was given up, or the aircraft left
// its list meanwhile) and the answer is stale. A creation the engine handed to the link and that stays
// unanswered for 30 s is given up: its aircraft leaves its list.
SimAircraft* lf_creationAnswered(uint32_t id, uint32_t request);
// The aircraft with this id: a live one above 10000, else a static one.
SimAircraft* lf_aircraftById(uint32_t id);
// An aircraft whose creation came to nothing (refused, or given up) leaves its list with what it held: a live
// one frees the stand it was placed at.
void lf_dropUncreated(SimAircraft& ac);
// The simulator confirmed the removal of this object. A removal the simulator leaves unconfirmed for 10 s is
// sent once more; 10 s after that the aircraft that holds the object leaves its list as if it were confirmed.
void lf_removalConfirmed(uint32_t objectId);
extern std::vector<std::string> removedGhosts;  // callsigns (ending in "_") removed as ghosts
extern std::vector<uint32_t> standCheckList;    // hexids just placed or landed (per-second duplicate check)
extern std::unordered_map<uint32_t, std::string_view> rememberedLiveries;  // hexid -> title
extern uint32_t watchedObjectId;  // object id of the CALLSIGN_2_OBJECTID callsign

// The live list's indexes, hexid -> aircraft and object id -> aircraft. Every change of the list
// goes through these routines (or lf_reindexLive afterwards), and every change of a live
// aircraft's object id through lf_setLiveObjectId, so that the indexes always match the list.
// A pointer returned stays valid until the list changes.
LiveAircraft* gf_liveByHexid(uint32_t hexid);
LiveAircraft* gf_liveByObjectId(uint32_t objectId);
// Appends an aircraft to the list and to the indexes.
LiveAircraft& lf_appendLive(LiveAircraft&& ac);
// Gives a live aircraft a new object id (0: none); an aircraft outside the list only gets the field.
void lf_setLiveObjectId(LiveAircraft& ac, uint32_t objectId);
// Takes the aircraft at the index out of the list and the indexes (the last one takes its place).
void lf_eraseLive(size_t index);
// Takes every aircraft that the predicate names out of the list and the indexes; the others keep
// their order. Returns how many left.
size_t lf_eraseLiveIf(const std::function<bool(const LiveAircraft&)>& leaves);
// Rebuilds both indexes from the list (after a compaction).
void lf_reindexLive();
// Empties the list and its indexes.
void lf_clearLive();
// Empty when the indexes match the list; otherwise what does not match (tests and diagnostics).
std::string gf_liveIndexMismatch();

// Run set-up and clean-up of the engine's containers.
void gf_setupSessionContainers();
void gf_cleanupSessionContainers();
// Empties every engine list and queue and forgets the process-wide counters (tests).
void gf_resetEngineState();

// One engine tick (the main loop calls it every 10 ms while a flight runs).
void gf_engineTick();
// The per-tick update of every live aircraft, the list compaction and the position buffer swap.
void lf_updateLiveList();

// Feed hand-over, run-thread side: merges the queued buffered blocks, then up to `maxRecords`
// records of the pending batch (gf_takeFeedIntake). Called by the tick with the intake mutex free.
void lf_mergeFeedIntake(int maxRecords);

// Live-list merge of one record.
void lf_mergeFeedRecord(TrafficRecord& record);
bool lf_matchFeedRecord(TrafficRecord& record, LiveAircraft& ac);
void lf_addLiveAircraft(TrafficRecord& record);
bool lf_checkRespawn(LiveAircraft& ac, TrafficRecord& record);
void decodeExisting(LiveAircraft& ac, StreamPoint point);
void lf_departStand(LiveAircraft& ac);

// Spawning.
void lf_spawnGate(LiveAircraft& ac);
bool removeFarthestLive(double distanceNm);
void spawnLiveAc(LiveAircraft& ac);
bool lf_pickLiveLivery(LiveAircraft& ac);
void lf_makeWayAtStand(LiveAircraft& ac, const ParkPos& stand);
bool lf_staticAtStandMakesWay(LiveAircraft& live, const ParkPos& stand);
void lf_staticAtAdjacentStandMakesWay(LiveAircraft& live, const ParkPos& stand);
bool lf_onLiveCreated(LiveAircraft& ac, const SimNotice& notice);
void lf_setFlightPlan(LiveAircraft& ac);
void lf_initialLights(LiveAircraft& ac);
void lf_onGroundContact(LiveAircraft& ac);

// Per-tick update of one live aircraft; true when it is to leave the list.
bool updateLiveAc(LiveAircraft& ac);

// Upkeep.
std::string gf_standNameById(uint32_t standId);
ParkPos* gf_findStandById(uint32_t standId);
ParkPos* gf_findStandByName(std::string_view name);
void gf_occupyStand(ParkPos& stand);
// The aircraft takes the stand: its stand position, heading, id and cargo flag come from the stand, and
// the static aircraft on it and too close at its coupled stands make way.
void lf_takeStand(LiveAircraft& ac, const ParkPos& stand);
// An aircraft still stands on the stand while the simulator has not confirmed its removal (a static, or a live
// one parked there): the stand is given to no other aircraft until it has gone or its record was dropped.
bool lf_standBeingCleared(uint32_t standId);
// Ends a live aircraft's hold on its stand: the stand is offered again unless another live aircraft parks
// there (or drives in to park). Every path that ends a hold goes through here; the aircraft keeps its stand
// fields, which callers that leave the stand clear themselves.
void lf_releaseStand(const SimAircraft& ac);
const uint32_t* lf_blockingCoupledStand(const std::vector<uint32_t>& coupledIds, const ParkPos& stand,
                                        const LiveAircraft& ac);

// Distance in nautical miles from the user aircraft to a position.
double lf_userDistanceNm(double latitude, double longitude);

// ---- the engine's side of the simulator link (one file talks to the command area)
struct EventData {
    uint32_t event;
    uint32_t data;
};
// Appends the events for one object under one hold of the command-area mutex, in order.
void lf_queueEvents(uint32_t objectId, std::initializer_list<EventData> events);
// One event through the link's own enqueue operation (takes the mutex itself).
void lf_queueEvent(uint32_t objectId, uint32_t event, uint32_t data);
// Pushes one object id onto the link's remove queue.
void lf_pushRemoval(uint32_t objectId);
// Hands one creation order to the link under its request id.
void lf_sendCreation(const SpawnOrder& order, uint32_t requestId);
// Queues the creation of the order under its request id in the simulator link's command area (takes
// simQueueMutex).
void gf_queueCreateAircraft(const SpawnOrder& order, uint32_t requestId);
// Appends this tick's position of a live object to the back buffer (no lock: the run thread owns it).
void lf_appendPosition(const LiveAircraft& ac);
// Swaps the position buffers (drops this tick's positions when the link is busy at a low frame rate).
void lf_swapPositionBuffers();
// Asks for the data of every aircraft around the user (request 101).
void lf_requestObjectsAround();
// Asks once for the static CG data of an object (request 102).
void lf_requestStaticCg(uint32_t objectId);
// Assigns a flight-plan file to an object (request 110); true on success.
bool lf_assignFlightPlan(uint32_t objectId, const std::string& path);
// Sends ALL_LIGHTS_TOGGLE to an object at once; false when the call failed (the run then stops).
bool lf_allLightsToggleNow(uint32_t objectId);
// Spoiler handle and both throttle levers of an object in percent (data definition 401).
void lf_setSpoilerThrottle(uint32_t objectId, double spoilerPercent, double throttlePercent);
// Copies the user aircraft's last state into userState (and asks the link for a fresh one).
void lf_copyUserState();
// Whether the simulator says the user aircraft is on the ground.
bool lf_userOnGround();
