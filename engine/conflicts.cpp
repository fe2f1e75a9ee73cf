// Ghost rules and stand claims.
#include "engine/conflicts.h"

#include <algorithm>

#include <fmt/format.h>

#include "airports/parking.h"

#include "engine/engine_state.h"
#include "foundation/log.h"
#include "foundation/settings.h"

int64_t gf_nowTicks100ns();

void lf_removeGhost(std::string_view callsign, const LiveAircraft* self) {
    const std::string ghost = std::string(callsign) + "_";
    for (auto& ac : liveList) {
        if (&ac == self || ac.identity.callsign != ghost || ac.simState == SimState::RemovingFromSim) continue;
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

bool lf_hasGhostOwner(std::string_view callsign, const LiveAircraft* self) {
    if (callsign.empty()) return false;
    const std::string_view base = callsign.substr(0, callsign.size() - 1);
    for (const auto& ac : liveList)
        if (&ac != self && ac.simState != SimState::RemovingFromSim && ac.identity.callsign == base) return true;
    return false;
}

bool lf_claimStand(LiveAircraft&, uint32_t) { return true; }

std::vector<ParkedLive> parkedLiveList;

namespace {
const char* groundText(const LiveAircraft& l) { return l.onGround ? "on ground" : "airborne"; }
} // namespace

bool gf_removeDuplicates(const LiveAircraft& l, const SimAircraft& s) {
    if (s.simState != SimState::Active) return false;
    const bool log = LOG.value.load();
    const AircraftIdentity& li = l.identity;
    const AircraftIdentity& si = s.identity;
    if (s.planned == 0 && s.feedHexid == l.id) {
        if (log)
            gf_log(fmt::format("{:8}: {:8} removed, new {} {} has same hexid", gf_standNameById(s.standId), si.callsign,
                               groundText(l), li.callsign));
        return true;
    }
    if (!li.registration.empty() && si.registration == li.registration) {
        if (log)
            gf_log(fmt::format("{:8}: {:8} {} removed, new {} {} has same regcode {}", gf_standNameById(s.standId),
                               si.callsign, si.registration, groundText(l), li.callsign, li.registration));
        return true;
    }
    auto coupled = [&](const std::string& cs) { return !cs.empty() && (cs == si.identity6 || cs == si.identity7); };
    const std::string base =
        (!li.callsign.empty() && li.callsign.back() == '_') ? li.callsign.substr(0, li.callsign.size() - 1) : std::string();
    if (coupled(li.callsign) || coupled(li.identity7) || coupled(base)) {
        if (log)
            gf_log(fmt::format("{:8}: {:8} \"{} {}\" removed, new {} {} \"{} {}\" has {} callsign",
                               gf_standNameById(s.standId), si.callsign, si.identity6, si.identity7, groundText(l),
                               li.callsign, li.identity6, li.identity7, li.callsign == si.identity6 ? "same" : "coupled"));
        return true;
    }
    return false;
}

void gf_flushStaticAircraft() {
    for (auto& s : staticList) {
        if (s.simState == SimState::Active) {
            removeAircraftFromSim(s);
        } else if (s.simState == SimState::Adding2Sim && !s.removeWhenCreated) {
            if (takeQueuedCreation(staticCreateFifo, s.id))
                s.removedFromQueue = 1;
            else
                s.removeWhenCreated = 1;
        }
    }
    staticList.erase(std::remove_if(staticList.begin(), staticList.end(),
                                    [](const SimAircraft& a) { return a.removedFromQueue != 0; }),
                     staticList.end());
}

void gf_clearReservedStand() {
    const ParkPos* stand = currentAirport.reservedStand.empty() ? nullptr : gf_findStandByName(currentAirport.reservedStand);
    const uint32_t id = stand ? stand->id : 0;
    for (auto& s : staticList) {
        if (s.standId == id && s.simState == SimState::Active) {
            removeAircraftFromSim(s);
            return;
        }
    }
    for (auto& l : liveList) {
        if (l.standId == id && l.simState == SimState::Active && l.phase == MovementPhase::Parked) {
            removeAircraftFromSim(l);
            return;
        }
    }
}

const std::vector<ParkedLive>& gf_listLiveParked() {
    parkedLiveList.clear();
    const int64_t now = gf_nowTicks100ns();
    for (auto& l : liveList) {
        if (l.simState != SimState::Active || l.phase != MovementPhase::Parked) continue;
        int64_t minutes = 0;
        if (!l.departing) {
            minutes = (now - l.parkedSince) / 600000000;
            const int64_t limit = l.category == static_cast<uint32_t>(AircraftCategory::Heavy) ? 180 : 90;
            if (!INITIAL_LOAD_ONLY.value.load() && minutes > limit) {
                removeAircraftFromSim(l);
                continue;
            }
        }
        parkedLiveList.push_back({l.identity.callsign, l.standId, minutes});
    }
    std::sort(parkedLiveList.begin(), parkedLiveList.end(),
              [](const ParkedLive& a, const ParkedLive& b) { return a.minutes > b.minutes; });
    return parkedLiveList;
}

void try2Park(LiveAircraft&, bool) {}
