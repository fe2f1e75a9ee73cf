// The engine's side of the command area: every command the engine sends to the simulator link,
// and the few simulator calls it makes itself under the command-area mutex.
#include <mutex>

#include <fmt/format.h>

#include <algorithm>

#include "engine/engine_state.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "simlink/commands.h"

void lf_queueEvents(uint32_t objectId, std::initializer_list<EventData> events) {
    std::lock_guard lock(simQueueMutex);
    for (const auto& e : events) eventQueue.push_back(ClientEventCommand{objectId, e.event, e.data});
}

void lf_queueEvent(uint32_t objectId, uint32_t event, uint32_t data) {
    gf_queueClientEvent(ClientEventCommand{objectId, event, data});
}

void lf_pushRemoval(uint32_t objectId) {
    std::lock_guard lock(simQueueMutex);
    removeQueue.push_back(objectId);
}

void gf_queueCreateAircraft(const SpawnOrder& order, uint32_t requestId) {
    SimConnectCreateRequest request;
    request.initPosition = vsim::InitPosition{order.latitude, order.longitude, order.altitude, order.pitch,
                                              order.bank,     order.heading,   order.onGround, order.airspeed};
    request.callsign = order.callsign;
    request.title = order.title;
    request.hexid = order.id;
    request.requestId = requestId;
    gf_queueCreateRequest(std::move(request));
}

void lf_sendCreation(const SpawnOrder& order, uint32_t requestId) { gf_queueCreateAircraft(order, requestId); }

void lf_appendPosition(const LiveAircraft& ac) {
    positionBackBuffer->push_back(makePositionUpdate(ac.position, ac.objectId));
}

void lf_swapPositionBuffers() {
    std::unique_lock lock(simQueueMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        if (frameRate.load() <= 50.0f) {
            positionBackBuffer->clear();
            return;
        }
        lock.lock();
    }
    std::swap(positionBackBuffer, positionFrontBuffer);
    positionBackBuffer->clear();
}

void lf_requestObjectsAround() {
    std::lock_guard lock(simQueueMutex);
    if (simConnectError.load() != 0) return;
    const auto radius = static_cast<uint32_t>(std::max(0, rangeMetres.load()));
    if (vsim::failed(vsim::requestDataOnSimObjectType(gf_simHandle(), vsim::kReqAircraftInRange, vsim::kDefGround,
                                                      radius, vsim::SimObjectType::Aircraft))) {
        gf_logError("SimConnect request ac within range fails");
        gf_logSimConnectRequestError();
    }
}

void lf_requestStaticCg(uint32_t objectId) {
    std::lock_guard lock(simQueueMutex);
    if (vsim::failed(vsim::requestDataOnSimObject(gf_simHandle(), vsim::kReqStaticCg, vsim::kDefStaticCg, objectId,
                                                  vsim::Period::Once))) {
        gf_logError("SimConnect request StaticCG fails");
        gf_logSimConnectRequestError();
    }
}

bool lf_assignFlightPlan(uint32_t objectId, const std::string& path) {
    std::lock_guard lock(simQueueMutex);
    return !vsim::failed(vsim::aiSetAircraftFlightPlan(gf_simHandle(), objectId, path, vsim::kReqFlightPlan));
}

bool lf_allLightsToggleNow(uint32_t objectId) {
    std::lock_guard lock(simQueueMutex);
    return !vsim::failed(
        vsim::transmitClientEvent(gf_simHandle(), objectId, vsim::kEvAllLightsToggle, 0, vsim::kGroupClientEvents, 0));
}

void lf_setSpoilerThrottle(uint32_t objectId, double spoilerPercent, double throttlePercent) {
    std::lock_guard lock(simQueueMutex);
    vsim::ThrottleSpoilerBlock block{spoilerPercent, throttlePercent, throttlePercent};
    (void)vsim::setDataOnSimObject(gf_simHandle(), vsim::kDefThrottleSpoiler, objectId, 0, 0, sizeof(block), &block);
}

void lf_copyUserState() { userState = gf_requestUserPosition(); }

bool lf_userOnGround() { return userOnGround.load() != 0; }
