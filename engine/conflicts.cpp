// Ghost rules and stand claims.
#include "engine/conflicts.h"

#include <fmt/format.h>

#include "engine/engine_state.h"
#include "foundation/log.h"
#include "foundation/settings.h"

void lf_removeGhost(std::string_view callsign) {
    const std::string ghost = std::string(callsign) + "_";
    for (auto& ac : liveList) {
        if (ac.identity.callsign != ghost || ac.simState == SimState::RemovingFromSim) continue;
        if (LOG.value.load()) {
            if (ac.phase != MovementPhase::Parked)
                gf_log(fmt::format("          {:8} is a ghost and will be removed, continue with {}", ghost, callsign));
            else
                gf_log(fmt::format("{:8}: {:8} is a ghost and will be removed, continue with {}",
                                   gf_standNameById(ac.standId), ghost, callsign));
        }
        removedGhosts.push_back(ghost);
        removeAircraftFromSim(ac);
        return;
    }
}

bool lf_hasGhostOwner(std::string_view callsign) {
    if (callsign.empty()) return false;
    const std::string_view base = callsign.substr(0, callsign.size() - 1);
    for (const auto& ac : liveList)
        if (ac.simState != SimState::RemovingFromSim && ac.identity.callsign == base) return true;
    return false;
}

bool lf_claimStand(LiveAircraft&, uint32_t) { return true; }
