// The engine tick: inbox, per-tick update, paced removals and creations, feed merge, spawn
// orders, the objects request and the user state copy; plus the set-up and clean-up of a run.
#include <algorithm>
#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "airports/current_airport.h"
#include "airports/park_list.h"
#include "airports/parking.h"
#include "catalogue/livery_matching.h"
#include "engine/engine_state.h"
#include "engine/flight_plan.h"
#include "engine/ground_grid.h"
#include "engine/notices.h"
#include "engine/static_jobs.h"
#include "feed/feed_intake.h"
#include "feed/readers.h"
#include "foundation/log.h"
#include "foundation/time_text.h"
#include "shell/command_flags.h"
#include "shell/display.h"

std::vector<LiveAircraft> liveList;
std::vector<SimAircraft> staticList;
std::vector<uint32_t> spawnIds;
std::deque<SpawnOrder> liveCreateFifo;
std::deque<SpawnOrder> staticCreateFifo;
std::deque<uint32_t> removeFifo;
std::vector<std::string> removedGhosts;
std::vector<uint32_t> standCheckList;
std::unordered_map<uint32_t, std::string_view> rememberedLiveries;
uint32_t watchedObjectId = 0;

void gf_placeStaticAircraft();
void lf_clearInboxAndLights();

namespace {

constexpr const char* kObjectIdFile = "Callsign2ObjectId.txt";

// Creations handed to the simulator link and not yet answered (created or refused): request id -> the
// aircraft's id and the tick sent. The simulator may miss an answer; a creation unanswered this long is given
// up.
struct AwaitedCreation {
    uint32_t id;
    uint32_t sentAt;
};
std::unordered_map<uint32_t, AwaitedCreation> creationsAwaited;
constexpr int32_t kCreationAnswerTicks = 3000;  // 30 s, far beyond any creation
// Request ids run on for the process's life (never 0), so that no answer of an earlier creation, in this run
// or the last, can pass for the answer to a later one.
uint32_t lastCreationRequest = 0;

void lf_sendAwaitedCreation(const SpawnOrder& order, uint32_t now) {
    lastCreationRequest = lastCreationRequest == UINT32_MAX ? 1 : lastCreationRequest + 1;
    const uint32_t request = lastCreationRequest;
    if (SimAircraft* ac = lf_aircraftById(order.id)) ac->creationRequest = request;
    lf_sendCreation(order, request);
    creationsAwaited[request] = AwaitedCreation{order.id, now};
}

// The aircraft of a creation given up leaves its list with what it held: its stand, its callsign (no other
// record of it is dropped for it), its stream. A live one comes back with its next reports. Should the answer
// come after all, it is stale and its object is removed at once.
void lf_giveUpUnansweredCreations(uint32_t now) {
    for (auto it = creationsAwaited.begin(); it != creationsAwaited.end();) {
        if (tickDiff(now, it->second.sentAt) < kCreationAnswerTicks) {
            ++it;
            continue;
        }
        const uint32_t request = it->first;
        const uint32_t id = it->second.id;
        it = creationsAwaited.erase(it);
        SimAircraft* ac = lf_aircraftById(id);
        // An aircraft that left its list meanwhile (and may be back with a creation of its own) waits for
        // nothing here.
        if (!ac || ac->creationRequest != request) continue;
        gf_logError(fmt::format("{} no answer to the creation of {} within {} s, given up",
                                "lf_giveUpUnansweredCreations", acLabel(*ac), kCreationAnswerTicks / 100));
        lf_dropUncreated(*ac);
    }
}

// Removals sent to the simulator and not yet confirmed: object id -> the tick sent and how often it was sent.
// A removal the simulator does not confirm would leave its aircraft removing for good, on its stand and in its
// list, so it is sent once more, and after a second wait its record is dropped.
struct AwaitedRemoval {
    uint32_t sentAt;
    uint32_t sends;
};
std::unordered_map<uint32_t, AwaitedRemoval> removalsAwaited;
constexpr int32_t kRemovalAnswerTicks = 1000;  // 10 s; the simulator confirms a removal within a frame or two

void lf_sendAwaitedRemoval(uint32_t objectId, uint32_t now) {
    lf_pushRemoval(objectId);
    AwaitedRemoval& awaited = removalsAwaited[objectId];
    awaited.sentAt = now;
    ++awaited.sends;
}

// The callsign of the aircraft that holds the object, for the log.
std::string holderOf(uint32_t objectId) {
    if (const LiveAircraft* ac = gf_liveByObjectId(objectId)) return ac->identity.callsign;
    for (const auto& s : staticList)
        if (s.objectId == objectId) return s.identity.callsign;
    return "held by no aircraft";
}

void lf_checkUnconfirmedRemovals(uint32_t now) {
    std::vector<uint32_t> dropped;
    for (auto& [objectId, awaited] : removalsAwaited) {
        if (tickDiff(now, awaited.sentAt) < kRemovalAnswerTicks) continue;
        if (awaited.sends < 2) {
            gf_log(fmt::format("object {} ({}): removal not confirmed within {} s, sent once more", objectId,
                               holderOf(objectId), kRemovalAnswerTicks / 100));
            lf_sendAwaitedRemoval(objectId, now);  // the entry is there: the map is not changed
            continue;
        }
        gf_logError(fmt::format("object {} ({}): removal never confirmed, its record is dropped", objectId,
                                holderOf(objectId)));
        dropped.push_back(objectId);
    }
    for (uint32_t objectId : dropped) {
        removalsAwaited.erase(objectId);
        lf_objectGone(objectId);
    }
}

void deleteObjectIdFile() {
    // A failure of the file system is not swallowed here: it ends the run's preparation.
    const std::filesystem::path file(kObjectIdFile);
    if (std::filesystem::exists(file)) std::filesystem::remove(file);
}

// Tick step 6: turns the last cleared hexid into a creation order.
void lf_orderSpawn() {
    if (spawnIds.empty()) return;
    const uint32_t hexid = spawnIds.back();
    spawnIds.pop_back();
    const LiveAircraft* it = gf_liveByHexid(hexid);
    if (!it) return;
    if (it->identity.callsign.empty()) {
        gf_logError(fmt::format("{} {} objectid = 0?", "lf_orderSpawn", acLabel(*it)));
        return;
    }
    constexpr double kRadToDeg = 57.29577951308232;
    SpawnOrder order;
    order.latitude = it->position[kPosLat];
    order.longitude = it->position[kPosLon];
    order.altitude = it->position[kPosAlt];
    order.pitch = it->position[kPosPitch] * kRadToDeg;
    order.bank = it->position[kPosBank] * kRadToDeg;
    order.heading = it->position[kPosHeading] * kRadToDeg;
    order.onGround = 0;
    order.airspeed = 0;
    order.callsign = it->identity.callsign;
    order.title = it->liveryTitle;
    order.id = it->id;
    liveCreateFifo.push_back(std::move(order));
}

}  // namespace

void lf_updateLiveList() {
    bool anyLeaves = false;
    {
        struct Pass {
            Pass() { lf_beginUpdatePass(); }
            ~Pass() { lf_endUpdatePass(); }
        } pass;
        for (auto& ac : liveList) anyLeaves |= updateLiveAc(ac);
    }
    if (anyLeaves) {
        // Among them a respawning aircraft thrown away at the gate while it stood on its stand.
        auto leaves = [](const LiveAircraft& a) { return a.removeFromBuffer || a.removedFromQueue; };
        for (const auto& ac : liveList)
            if (leaves(ac)) lf_releaseStand(ac);
        lf_eraseLiveIf(leaves);
    }
    lf_swapPositionBuffers();
}

void gf_engineTick() {
    const uint32_t t = engineTick.load();
    gf_drainEngineInbox();
    if (!creationsAwaited.empty()) lf_giveUpUnansweredCreations(t);
    if (!removalsAwaited.empty()) lf_checkUnconfirmedRemovals(t);
    lf_updateLiveList();
    if (t % 10 == 0) {
        if (!removeFifo.empty()) {
            lf_sendAwaitedRemoval(removeFifo.front(), t);
            removeFifo.pop_front();
        }
        if (t % 50 == 0) {
            if (!liveCreateFifo.empty()) {
                lf_sendAwaitedCreation(liveCreateFifo.front(), t);
                liveCreateFifo.pop_front();
            } else {
                if (!staticCreateFifo.empty()) {
                    lf_sendAwaitedCreation(staticCreateFifo.front(), t);
                    staticCreateFifo.pop_front();
                }
                if (!staticJobs.empty()) gf_placeStaticAircraft();
            }
            // Static aircraft whose order was taken out of the queue never reach the simulator:
            // they leave the list so that their stand can be given again.
            staticList.erase(std::remove_if(staticList.begin(), staticList.end(),
                                            [](const SimAircraft& a) { return a.removedFromQueue != 0; }),
                             staticList.end());
        }
    }
    lf_mergeFeedIntake(2);
    lf_orderSpawn();
    if (t % 20 == 0) lf_requestObjectsAround();
    if (t % 100 == 0) lf_copyUserState();
    engineTick.store(t + 1);
}

void gf_setupSessionContainers() {
    static bool reserved = false;
    if (!reserved) {
        reserved = true;
        liveList.reserve(512);
        lf_reindexLive();
        staticList.reserve(256);
        currentStands.reserve(512);
        spawnIds.reserve(64);
        removedGhosts.reserve(64);
        standCheckList.reserve(64);
    }
    deleteObjectIdFile();
}

SimAircraft* lf_aircraftById(uint32_t id) {
    if (id > 10000) return gf_liveByHexid(id);
    for (auto& s : staticList)
        if (s.id == id) return &s;
    return nullptr;
}

void lf_dropUncreated(SimAircraft& ac) {
    if (ac.isLive()) {
        lf_releaseStand(ac);
        lf_eraseLive(static_cast<size_t>(static_cast<LiveAircraft*>(&ac) - liveList.data()));
        return;
    }
    const auto i = static_cast<size_t>(&ac - staticList.data());
    if (i + 1 != staticList.size()) staticList[i] = std::move(staticList.back());
    staticList.pop_back();
}

void lf_removalConfirmed(uint32_t objectId) { removalsAwaited.erase(objectId); }

SimAircraft* lf_creationAnswered(uint32_t id, uint32_t request) {
    creationsAwaited.erase(request);
    SimAircraft* ac = lf_aircraftById(id);
    if (!ac || request == 0 || ac->creationRequest != request) return nullptr;
    ac->creationRequest = 0;
    return ac;
}

void gf_queueRemoval(uint32_t objectId) {
    if (std::find(removeFifo.begin(), removeFifo.end(), objectId) != removeFifo.end()) {
        gf_logError(fmt::format("object {} is already waiting for its removal", objectId));
        return;
    }
    removeFifo.push_back(objectId);
}

void gf_cleanupSessionContainers() {
    gf_stopFlightPlanWriter();
    gf_setCurrentAirport(CurrentAirport{});
    mainWindow.invalidate();
    lf_clearInboxAndLights();
    staticJobs.clear();
    spawnIds.clear();
    {
        std::lock_guard lock(parkAirportsMutex);
        parkAirports.clear();
    }
    removeFifo.clear();
    liveCreateFifo.clear();
    staticCreateFifo.clear();
    creationsAwaited.clear();
    removalsAwaited.clear();
    staticList.clear();
    lf_clearLive();
    currentStands.clear();
    gf_publishStandPlaces();
    // Ghosts removed in this run must not block their callsigns in the next one.
    removedGhosts.clear();
    // An aircraft that found no livery in this run may find one in the next (the catalogue may change).
    noMatchKeys.clear();
    standCheckList.clear();
    // The remembered titles are views into the livery catalogue, which may be rebuilt before the next
    // run: keeping them would leave views into freed text.
    rememberedLiveries.clear();
    gf_clearPendingFeed();
    deleteObjectIdFile();
    uiBusy.store(0);
    mainWindow.invalidate();
    qnhHpa.store(1013);
    weekSlot.store(0);
}

void gf_resetEngineState() {
    gf_stopFlightPlanWriter();
    lf_clearInboxAndLights();
    gf_clearPendingFeed();
    lf_clearLive();
    staticList.clear();
    spawnIds.clear();
    liveCreateFifo.clear();
    staticCreateFifo.clear();
    creationsAwaited.clear();
    removalsAwaited.clear();
    removeFifo.clear();
    removedGhosts.clear();
    standCheckList.clear();
    rememberedLiveries.clear();
    watchedObjectId = 0;
}
