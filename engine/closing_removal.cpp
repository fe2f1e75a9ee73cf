#include "engine/closing_removal.h"

#include <algorithm>
#include <mutex>

#include "engine/engine_state.h"
#include "simlink/commands.h"

namespace {

bool leavesTheList(const SimAircraft& ac) { return ac.removeFromBuffer != 0 || ac.removedFromQueue != 0; }

// Aircraft that hold an object in the simulator, or may still get one (a creation sent and not yet answered).
std::size_t aircraftInTheSimulator() {
    const auto live = std::count_if(liveList.begin(), liveList.end(),
                                    [](const LiveAircraft& ac) { return ac.simState != SimState::Buffer; });
    return staticList.size() + static_cast<std::size_t>(live);
}

}  // namespace

void gf_removeAllLiveAircraft() {
    for (LiveAircraft& ac : liveList) removeAircraftFromSim(ac);
    lf_eraseLiveIf(leavesTheList);
}

ClosingRemoval gf_closingRemovalStep(std::uint32_t step) {
    gf_drainEngineInbox();
    while (!removeFifo.empty()) {
        lf_pushRemoval(removeFifo.front());
        removeFifo.pop_front();
    }
    lf_eraseLiveIf(leavesTheList);
    std::erase_if(staticList, leavesTheList);
    auto awaitsCreation = [](const SimAircraft& ac) { return ac.simState == SimState::Adding2Sim; };
    if (step % 20 == 0 && (std::any_of(liveList.begin(), liveList.end(), awaitsCreation) ||
                           std::any_of(staticList.begin(), staticList.end(), awaitsCreation)))
        lf_requestObjectsAround();
    ClosingRemoval left;
    left.aircraft = aircraftInTheSimulator();
    std::lock_guard lock(simQueueMutex);
    left.unsentRemovals = removeQueue.size();
    return left;
}

std::size_t gf_dropAircraftOfClosedLink() {
    const std::size_t inTheSimulator = aircraftInTheSimulator();
    staticList.clear();
    lf_clearLive();
    spawnIds.clear();
    liveCreateFifo.clear();
    staticCreateFifo.clear();
    removeFifo.clear();
    return inTheSimulator;
}
