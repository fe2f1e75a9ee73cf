// Ghost rules and stand claims.
#include "engine/conflicts.h"

#include <algorithm>

#include <fmt/format.h>

#include "airports/current_airport.h"
#include "airports/parking.h"
#include "catalogue/reference_db.h"
#include "engine/motion.h"
#include "engine/stands.h"
#include "foundation/geodesy.h"

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

bool lf_claimStand(LiveAircraft& n, uint32_t standId) {
    const bool log = LOG.value.load();
    for (auto& l : liveList) {
        if (&l == &n || l.standId != standId || l.simState != SimState::Active) continue;
        if (l.phase != MovementPhase::Parked && l.phase != MovementPhase::PushingBack &&
            l.phase != MovementPhase::PushedBack)
            continue;
        const std::string& lcs = l.identity.callsign;
        const std::string& ncs = n.identity.callsign;
        if (lcs == ncs) {
            if (log)
                gf_log(fmt::format("{:8}: {:8} ac with same callsign {} wants it, remove existing ... ",
                                   gf_standNameById(standId), lcs, ncs));
            removeAircraftFromSim(l);
            return true;
        }
        if (lcs == ncs + "_") {
            if (log) gf_log(fmt::format("{:8}: {:8} ghost, replace by {}", gf_standNameById(standId), lcs, ncs));
            removeAircraftFromSim(l);
            return true;
        }
        if (ncs == lcs + "_") return false;
        if (l.departing) return false;
        if (log)
            gf_log(fmt::format("{:8}: {:8} removed because another live {} wants the stand ...",
                               gf_standNameById(standId), lcs, ncs));
        removeAircraftFromSim(l);
        return true;
    }
    return true;
}

void lf_removeAdjacentColliding(uint32_t adjacentId, const LiveAircraft& parking, const ParkPos& stand,
                                LiveAircraft& l) {
    if (l.standId != adjacentId || l.simState != SimState::Active ||
        (l.phase != MovementPhase::Parked && l.phase != MovementPhase::PushingBack))
        return;
    const ParkPos* adjacent = gf_findStandById(adjacentId);
    if (!adjacent) return;
    const double reach = (gf_wingspan(l.identity.icaoType) + gf_wingspan(parking.identity.icaoType)) * 1.1;
    if (reach < gf_distanceNm(LatLon{adjacent->latitude, adjacent->longitude}, LatLon{stand.latitude, stand.longitude}))
        return;
    if (LOG.value.load())
        gf_log(fmt::format("{:8}: {:8} removed by parking {} at adjacent and possibly colliding stand {}",
                           adjacent->name, l.identity.callsign, parking.identity.callsign, stand.name));
    removeAircraftFromSim(l);
}

std::vector<ParkedLive> parkedLiveList;

namespace {
const char* groundText(const LiveAircraft& l) { return l.onGround ? "on ground" : "airborne"; }
}  // namespace

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
    const std::string base = (!li.callsign.empty() && li.callsign.back() == '_')
                                 ? li.callsign.substr(0, li.callsign.size() - 1)
                                 : std::string();
    if (coupled(li.callsign) || coupled(li.identity7) || coupled(base)) {
        if (log)
            gf_log(fmt::format("{:8}: {:8} \"{} {}\" removed, new {} {} \"{} {}\" has {} callsign",
                               gf_standNameById(s.standId), si.callsign, si.identity6, si.identity7, groundText(l),
                               li.callsign, li.identity6, li.identity7,
                               li.callsign == si.identity6 ? "same" : "coupled"));
        return true;
    }
    return false;
}

void gf_flushStaticAircraft() {
    for (auto& s : staticList) {
        const bool active = s.simState == SimState::Active;
        if (!active && (s.simState != SimState::Adding2Sim || s.removeWhenCreated)) continue;
        gf_logRemoval(s, "static aircraft flushed");
        if (active)
            removeAircraftFromSim(s);
        else if (takeQueuedCreation(staticCreateFifo, s.id))
            s.removedFromQueue = 1;
        else
            s.removeWhenCreated = 1;
    }
    staticList.erase(std::remove_if(staticList.begin(), staticList.end(),
                                    [](const SimAircraft& a) { return a.removedFromQueue != 0; }),
                     staticList.end());
}

void gf_clearReservedStand() {
    const std::string reserved = gf_currentAirportCopy().reservedStand;
    // A name not found frees nothing: stand id 0 would hit the first aircraft that has no stand.
    const ParkPos* stand = reserved.empty() ? nullptr : gf_findStandByName(reserved);
    if (!stand) return;
    const uint32_t id = stand->id;
    for (auto& s : staticList) {
        if (s.standId == id && s.simState == SimState::Active) {
            gf_logRemoval(s, "the user's reserved stand");
            removeAircraftFromSim(s);
            return;
        }
    }
    for (auto& l : liveList) {
        if (l.standId == id && l.simState == SimState::Active && l.phase == MovementPhase::Parked) {
            gf_logRemoval(l, "the user's reserved stand");
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

void try2Park(LiveAircraft& p, bool wide) {
    if (p.stream.empty()) {
        gf_logError(fmt::format("{} empty sz?", "try2Park"));
        return;
    }
    const StreamPoint& newest = p.stream.back();
    if (newest.latitude == p.lastParkTryPos[0] && newest.longitude == p.lastParkTryPos[1]) return;
    p.lastParkTryPos = {newest.latitude, newest.longitude};
    ParkPos* stand = gf_nearestFittingStand(newest.latitude, newest.longitude, p,
                                            wide ? 0.029697624190064796 : 0.010799136069114472, wide);
    if (!stand) return;
    if (lf_standBeingCleared(stand->id)) {
        // The aircraft the stand is being cleared of still stands there: the next try may find it gone.
        p.lastParkTryPos = {};
        return;
    }
    const std::string reserved = gf_currentAirportCopy().reservedStand;
    if (!reserved.empty() && stand->name == reserved) return;
    if (stand->name == lf_userStandName()) return;
    const bool log = LOG.value.load();
    for (auto& l : liveList) {
        if (&l == &p || l.standId != stand->id || l.phase != MovementPhase::Parked || l.simState != SimState::Active)
            continue;
        if (log)
            gf_log(fmt::format("{:8}: {:8} removed, {} wants to park there", stand->name, l.identity.callsign,
                               p.identity.callsign));
        removeAircraftFromSim(l);
    }
    for (const uint32_t adjacentId : stand->coupledIds)
        for (auto& l : liveList)
            if (&l != &p) lf_removeAdjacentColliding(adjacentId, p, *stand, l);
    lf_takeStand(p, *stand);
    // Taken from now on: a second arrival looks for another stand while this one drives in.
    stand->occupied = 1;
    while (p.stream.size() > 1) p.stream.pop_back();
    p.setPhase(MovementPhase::Parking);
    drive2Stand(p, StandPoint{stand->latitude, stand->longitude, stand->heading});
    // It no longer waits at the end of its stream: the rule for a holding aircraft whose next feed point lies
    // far off must not take it out later, when it leaves the stand and its take-off roll spaces the points.
    p.holding = 0;
    p.holdStartTick = 0;
}
