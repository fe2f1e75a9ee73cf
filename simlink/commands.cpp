#include "simlink/commands.h"

#include <algorithm>
#include <cstring>
#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/time_text.h"
#include "shell/display.h"
#include "shell/engine_inbox.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"

std::mutex simQueueMutex;
namespace {
std::vector<PositionUpdate> positionBuffers[2];
}
std::vector<PositionUpdate>* positionBackBuffer = &positionBuffers[0];
std::vector<PositionUpdate>* positionFrontBuffer = &positionBuffers[1];
std::vector<ClientEventCommand> eventQueue;
std::vector<SimConnectCreateRequest> createQueue;
std::vector<std::uint32_t> removeQueue;

std::atomic<float> frameRate{0.0f};
std::atomic<std::uint32_t> userObjectId{0};
std::atomic<vsim::SimHandle> simHandle{nullptr};

std::vector<PendingCreate> pendingCreates;
std::vector<std::uint32_t> newObjectIds;

vsim::SimHandle gf_simHandle() { return simHandle.load(); }

// ---------------------------------------------------------------------------------------------
// Enqueue operations
// ---------------------------------------------------------------------------------------------

void gf_queueClientEvent(const ClientEventCommand& command) {
    std::lock_guard lock(simQueueMutex);
    eventQueue.push_back(command);
}

void gf_queueNavLights(std::uint32_t objectId, std::uint32_t value) {
    gf_queueClientEvent(ClientEventCommand{objectId, vsim::kEvNavLightsSet, value});
}

void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t value) {
    gf_queueClientEvent(ClientEventCommand{objectId, vsim::kEvCabinLightsSet, value});
}

void gf_queueCreateRequest(SimConnectCreateRequest request) {
    std::lock_guard lock(simQueueMutex);
    createQueue.push_back(std::move(request));
}

void gf_releaseAiControl(std::uint32_t objectId) {
    std::lock_guard lock(simQueueMutex);
    (void)vsim::aiReleaseControl(gf_simHandle(), objectId, vsim::kReqReleaseControl);
    for (auto ev : {vsim::kEvFreezeLatLonSet, vsim::kEvFreezeAltitudeSet, vsim::kEvFreezeAttitudeSet})
        eventQueue.push_back(ClientEventCommand{objectId, ev, 1});
}

void gf_resetSimConnectQueues() {
    {
        std::lock_guard lock(simQueueMutex);
        auto reserve = [](auto& v) {
            if (v.capacity() < 256) v.reserve(256);
        };
        reserve(positionBuffers[0]);
        reserve(positionBuffers[1]);
        reserve(createQueue);
        reserve(removeQueue);
        reserve(pendingCreates);
        reserve(newObjectIds);
    }
    simConnectError.exchange(0);
}

void gf_logSimConnectRequestError() {
    gf_showStatus("SimConnect request error", true);
    simConnectError.exchange(1);
    gf_requestStop(EXIT_SIMCONNECT_ERROR, 9);
}

// ---------------------------------------------------------------------------------------------
// Frame flush (SimClient, on every Frame event)
// ---------------------------------------------------------------------------------------------

void lf_createAiAircraft(const SimConnectCreateRequest& request) {
    const auto h = gf_simHandle();
    if (vsim::failed(vsim::aiCreateNonAtcAircraft(h, request.title, request.callsign, request.initPosition,
                                                  request.requestId))) {
        gf_logError(fmt::format("! Simcon call to create ac in sim failed, hexid:{}, liv: \"{}\", callsign: {}",
                                request.hexid, request.title, request.callsign));
        gf_logSimConnectRequestError();
        return;
    }
    std::uint32_t packetId = 0;
    if (vsim::failed(vsim::getLastSentPacketId(h, &packetId))) {
        packetId = 0;
        gf_logError("GetLastSentPacketID");
    }
    pendingCreates.push_back(PendingCreate{packetId, request.hexid, request.callsign, request.requestId, 0});
}

void lf_onFrameFlushQueues() {
    std::unique_lock lock(simQueueMutex, std::try_to_lock);
    if (!lock.owns_lock()) return;  // the engine holds the area: everything waits for the next frame
    if (simConnectError.load()) {
        positionFrontBuffer->clear();
        eventQueue.clear();
        createQueue.clear();
        removeQueue.clear();
        return;
    }
    const auto h = gf_simHandle();
    const std::uint32_t user = userObjectId.load();
    for (const auto& p : *positionFrontBuffer) {
        if (p.objectId <= user) continue;
        (void)vsim::setDataOnSimObject(h, vsim::kDefPosition, p.objectId, 0, 0, sizeof(vsim::PositionBlock),
                                       &p.position);
    }
    positionFrontBuffer->clear();

    // Client events are never sent to the user aircraft or a lower id.
    for (const auto& e : eventQueue) {
        if (e.objectId <= user) continue;
        const bool flaps = e.eventId == vsim::kEvFlapsSet;
        if (flaps) (void)vsim::aiReleaseControl(h, e.objectId, vsim::kReqReleaseControl);
        if (vsim::failed(vsim::transmitClientEvent(h, e.objectId, e.eventId, e.data, vsim::kGroupClientEvents, 0))) {
            gf_showStatus(fmt::format("SimConnect TransmitClientEvent: {} fails", e.eventId), true);
        } else if (flaps) {
            (void)vsim::aiReleaseControl(h, e.objectId, vsim::kReqReleaseControl);
        }
    }
    eventQueue.clear();

    for (const auto& c : createQueue) lf_createAiAircraft(c);
    createQueue.clear();

    for (const auto id : removeQueue) {
        if (id <= userObjectId.load()) {
            gf_logError(fmt::format("Simconnect call to remove ac with objectid {}", id));
            continue;
        }
        if (vsim::failed(vsim::aiRemoveObject(h, id, vsim::kReqRemove))) {
            gf_logError(fmt::format("{}!Simconnect call to remove AI ac from sim failed, id {}?", gf_nowText(), id));
            gf_logSimConnectRequestError();
        }
    }
    removeQueue.clear();
}

// ---------------------------------------------------------------------------------------------
// Creation hand-shake (SimClient)
// ---------------------------------------------------------------------------------------------

void lf_onAssignedObjectId(const vsim::RecvAssignedObjectIdMsg& message) {
    auto p = std::find_if(pendingCreates.begin(), pendingCreates.end(),
                          [&](const PendingCreate& c) { return c.requestId == message.requestId && c.objectId == 0; });
    if (p != pendingCreates.end()) p->objectId = message.objectId;
}

void lf_onObjectAddRemove(const vsim::RecvEventObjectAddRemoveMsg& message) {
    // Helicopters are aircraft too.
    const auto type = static_cast<vsim::SimObjectType>(message.objectType);
    if (type != vsim::SimObjectType::Aircraft && type != vsim::SimObjectType::Helicopter) return;
    const std::uint32_t objectId = message.event.data;
    if (message.event.eventId == vsim::kEventObjectAdded) {
        if (objectId > userObjectId.load()) newObjectIds.push_back(objectId);
    } else if (message.event.eventId == vsim::kEventObjectRemoved) {
        // An object gone before it was recognised answers nothing any more.
        std::erase(newObjectIds, objectId);
        std::erase_if(pendingCreates, [&](const PendingCreate& c) { return c.objectId == objectId; });
        gf_postEngineNotice(makeNotice(objectId, 0, NoticeKind::ObjectRemoved));
    }
}

void lf_onSimObjectDataByType(const vsim::RecvSimObjectDataMsg& message) {
    if (message.requestId != vsim::kReqAircraftInRange || vsim::blockSizeOf(&message) < sizeof(vsim::GroundBlock))
        return;
    const std::uint32_t objectId = message.objectId;
    if (objectId <= userObjectId.load()) return;
    vsim::GroundBlock g;
    std::memcpy(&g, vsim::blockOf(&message), sizeof g);
    g.atcId[sizeof g.atcId - 1] = 0;
    const std::string atcId(g.atcId);

    auto fresh = std::find(newObjectIds.begin(), newObjectIds.end(), objectId);
    if (fresh == newObjectIds.end()) {
        if (g.altitudeAboveGround <= 2500.0 && !atcId.empty() && atcId.back() != '*')
            gf_postEngineNotice(makeNotice(objectId, static_cast<std::uint32_t>(g.onGround), NoticeKind::GroundInfo,
                                           g.groundAltitude, g.altitudeAboveGround));
        return;
    }
    // The object belongs to the creation the simulator assigned it to. The callsign alone cannot tell two
    // creations of one callsign apart (an aircraft created again while its first creation is late): an object
    // whose assignment has not come yet, while a creation of its callsign waits for one, waits for the next
    // scan.
    auto p = std::find_if(pendingCreates.begin(), pendingCreates.end(),
                          [&](const PendingCreate& c) { return c.objectId == objectId; });
    if (p == pendingCreates.end() && !atcId.empty() &&
        std::any_of(pendingCreates.begin(), pendingCreates.end(),
                    [&](const PendingCreate& c) { return c.objectId == 0 && c.callsign == atcId; }))
        return;
    *fresh = newObjectIds.back();
    newObjectIds.pop_back();

    std::uint32_t hexid = 0;
    std::uint32_t requestId = 0;
    if (p != pendingCreates.end()) {
        hexid = p->hexid;
        requestId = p->requestId;
        pendingCreates.erase(p);  // the others keep their order, oldest first
    }
    if (hexid == 0) {
        gf_log(fmt::format("just spawned, but not by {}, oid: {}, callsign \"{}\", altaboveGnd:{:.0f} ft, onground:{}, "
                           "gnd_alt:{:.0f} ft ",
                           "Vexa", objectId, atcId, g.altitudeAboveGround, g.onGround, g.groundAltitude));
        return;
    }
    gf_releaseAiControl(objectId);
    if (hexid <= 10000)
        gf_postEngineNotice(makeCreationAnswer(objectId, hexid, NoticeKind::StaticCreated, requestId));
    else
        gf_postEngineNotice(
            makeCreationAnswer(objectId, hexid, NoticeKind::LiveCreated, requestId, g.altitudeAboveGround));
}

void lf_onCreateRefused(std::uint32_t sendId) {
    auto p = std::find_if(pendingCreates.begin(), pendingCreates.end(),
                          [&](const PendingCreate& c) { return c.packetId == sendId; });
    if (p == pendingCreates.end()) return;
    const std::uint32_t hexid = p->hexid;
    const std::uint32_t requestId = p->requestId;
    pendingCreates.erase(p);
    if (hexid != 0) gf_postEngineNotice(makeCreationAnswer(0, hexid, NoticeKind::CreateFailed, requestId));
}

void lf_onCreateDropped(std::uint32_t sendId) {
    auto p = std::find_if(pendingCreates.begin(), pendingCreates.end(),
                          [&](const PendingCreate& c) { return c.packetId == sendId && c.objectId == 0; });
    if (p != pendingCreates.end()) pendingCreates.erase(p);
}

void gf_resetSimLink() {
    {
        std::lock_guard lock(simQueueMutex);
        positionBuffers[0].clear();
        positionBuffers[1].clear();
        positionBackBuffer = &positionBuffers[0];
        positionFrontBuffer = &positionBuffers[1];
        eventQueue.clear();
        createQueue.clear();
        removeQueue.clear();
        simHandle.store(nullptr);
    }
    pendingCreates.clear();
    newObjectIds.clear();
    frameCounter = 0;
    simRunning.exchange(0);
    simConnectError.exchange(0);
    mainWindow.simulatorText.clear();
    lf_resetUserAircraft();
}
