#include "app/window_requests.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "airports/parking.h"
#include "app/window_proc.h"
#include "engine/aircraft.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/upkeep.h"
#include "foundation/settings.h"
#include "shell/command_flags.h"
#include "simlink/commands.h"

namespace {

constexpr std::int8_t kNoLightsRequest = -1;

std::atomic<std::int8_t> navLightsRequest{kNoLightsRequest};  // the new value, or none
std::atomic<std::uint8_t> timeShiftRemovalsRequested{0};
std::atomic<std::uint8_t> enforceMaxLiveRequested{0};
std::atomic<std::uint8_t> autoRangeRequested{0};

struct ParkAirportRequest {
    std::string icao;
    double latitude = 0.0;
    double longitude = 0.0;
};
std::mutex parkAirportMutex;  // leaf lock: nothing else is taken under it
std::vector<ParkAirportRequest> parkAirportRequests;

bool isActive(const SimAircraft& ac) { return ac.simState == SimState::Active; }

void switchParkedNavLights(std::uint32_t value) {
    for (const SimAircraft& st : staticList)
        if (isActive(st)) gf_queueNavLights(st.objectId, value);
    for (const LiveAircraft& ac : liveList)
        if (isActive(ac) && ac.phase == MovementPhase::Parked) gf_queueNavLights(ac.objectId, value);
}

// Active live aircraft are removed; one still waiting for its creation is taken out of the queue and
// dropped from the list; one whose creation was already sent is removed as soon as it exists.
void removeEveryLiveAircraft() {
    for (LiveAircraft& ac : liveList) {
        const bool creating = ac.simState == SimState::Adding2Sim && ac.removeWhenCreated == 0;
        if (isActive(ac) || creating) removeAircraftFromSim(ac);
    }
    lf_eraseLiveIf([](const LiveAircraft& ac) { return ac.removedFromQueue != 0; });
    gf_flushStaticAircraft();
    // Raised only now, so the renewal never plans before the static aircraft have been taken out.
    renewalRequested.exchange(1);
}

}  // namespace

void gf_requestNavLights(bool on) { navLightsRequest.store(on ? 1 : 0); }

void gf_requestEnforceMaxLive() { enforceMaxLiveRequested.exchange(1); }

void gf_requestAutoRange() { autoRangeRequested.exchange(1); }

void gf_cancelAutoRange() { autoRangeRequested.exchange(0); }

void gf_requestParkAirport(const std::string& icao, double latitude, double longitude) {
    std::lock_guard lock(parkAirportMutex);
    parkAirportRequests.push_back(ParkAirportRequest{icao, latitude, longitude});
}

void gf_requestTimeShiftRemovals() { timeShiftRemovalsRequested.exchange(1); }

void gf_serveWindowRequests() {
    const std::int8_t lights = navLightsRequest.exchange(kNoLightsRequest);
    if (lights != kNoLightsRequest) switchParkedNavLights(static_cast<std::uint32_t>(lights));
    if (timeShiftRemovalsRequested.exchange(0) != 0) removeEveryLiveAircraft();
    if (enforceMaxLiveRequested.exchange(0) != 0) gf_enforceMaxLive();
    std::vector<ParkAirportRequest> airports;
    {
        std::lock_guard lock(parkAirportMutex);
        airports.swap(parkAirportRequests);
    }
    for (const ParkAirportRequest& a : airports) gf_addParkAirport(a.icao, a.latitude, a.longitude);
    if (autoRangeRequested.exchange(0) != 0 && AUTO_RANGE.value.load()) gf_autoRange();
}

bool gf_windowRequestsPending() {
    std::lock_guard lock(parkAirportMutex);
    return navLightsRequest.load() != kNoLightsRequest || timeShiftRemovalsRequested.load() != 0 ||
           enforceMaxLiveRequested.load() != 0 || autoRangeRequested.load() != 0 || !parkAirportRequests.empty();
}

void gf_resetWindowRequests() {
    navLightsRequest.store(kNoLightsRequest);
    timeShiftRemovalsRequested.store(0);
    enforceMaxLiveRequested.store(0);
    autoRangeRequested.store(0);
    std::lock_guard lock(parkAirportMutex);
    parkAirportRequests.clear();
}
