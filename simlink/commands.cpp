#include "simlink/commands.h"

#include "engine/aircraft.h"

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

void gf_queueCreateAircraft(const SpawnOrder& order) {
    SimConnectCreateRequest request;
    request.initPosition = vsim::InitPosition{order.latitude, order.longitude, order.altitude, order.pitch,
                                              order.bank,     order.heading,   order.onGround, order.airspeed};
    request.callsign = order.callsign;
    request.title = order.title;
    request.hexid = order.id;
    gf_queueCreateRequest(std::move(request));
}
