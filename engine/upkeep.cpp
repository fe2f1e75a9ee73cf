// Live list upkeep: erasing, the callsign-to-object-id display and file, MAX_LIVE, collision
// avoidance between live and static parked aircraft, coupled stands and stand names.
#include <algorithm>
#include <fstream>
#include <set>

#include <fmt/format.h>

#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/engine_state.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "shell/display.h"
#include "shell/status_line.h"

void gf_showCallsignObjectId() {
    const std::string callsign = CALLSIGN_2_OBJECTID.value();
    for (const auto& ac : liveList) {
        if (ac.simState == SimState::Active && ac.identity.callsign == callsign) {
            watchedObjectId = ac.objectId;
            mainWindow.objectIdText.set(fmt::format("= {}", ac.objectId));
            mainWindow.invalidate();
            return;
        }
    }
    mainWindow.objectIdText.clear();
    mainWindow.invalidate();
    gf_showStatus(fmt::format("callsign \"{}\" is unknown", callsign), true);
}

void lf_callsignObjectIdLine(std::set<std::string>& lines, const LiveAircraft& ac) {
    const std::string parked =
        ac.phase == MovementPhase::Parked ? fmt::format("Parked at {}", gf_standNameById(ac.standId)) : std::string();
    lines.insert(fmt::format("{} {:9} {} {}: {} {}", ac.onGround ? "Gnd" : "Air", ac.identity.callsign,
                             ac.identity.airline, ac.identity.icaoType, ac.objectId, parked));
}

void gf_writeCallsignObjectIds() {
    std::set<std::string> lines;
    for (const auto& ac : liveList)
        if (ac.simState == SimState::Active) lf_callsignObjectIdLine(lines, ac);
    const std::string name = "Callsign2ObjectId.txt";
    const std::string temp = name + ".tmp";
    {
        std::ofstream file(temp, std::ios::trunc);
        if (!file) {
            gf_logError(fmt::format("\"{}\" could not be written", name));
            return;
        }
        for (const auto& line : lines) file << line << '\n';
        if (!file) {
            gf_logError(fmt::format("\"{}\" could not be written", name));
            return;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, name, ec);
    if (ec) gf_logError(fmt::format("\"{}\" could not be written: {}", name, ec.message()));
}

void gf_enforceMaxLive() {
    const int32_t maxLive = MAX_LIVE.value.load();
    if (maxLive == -1) return;
    const auto n = std::count_if(liveList.begin(), liveList.end(),
                                 [](const LiveAircraft& a) { return a.simState == SimState::Active; });
    for (int64_t e = n - maxLive; e > 0; --e) removeFarthestLive(-1.0);
}

std::vector<SimAircraft>::iterator gf_collisionAvoidance(const LiveAircraft& live) {
    for (auto it = staticList.begin(); it != staticList.end(); ++it) {
        if (it->simState != SimState::Active) continue;
        const double limit = (live.halfSpanNm + it->halfSpanNm) * 1.1;
        if (gf_distanceNm(LatLon{it->standLatitude, it->standLongitude},
                          LatLon{live.position[kPosLat], live.position[kPosLon]}) > limit)
            continue;
        removeAircraftFromSim(*it);
        if (LOG.value.load())
            gf_log(fmt::format("{:8}: {:8} removed for collision avoidance with live {}", gf_standNameById(it->standId),
                               it->identity.callsign, live.identity.callsign));
        return it;
    }
    return staticList.end();
}

const uint32_t* lf_blockingCoupledStand(const std::vector<uint32_t>& coupledIds, const ParkPos& stand,
                                        const LiveAircraft& ac) {
    for (const uint32_t& id : coupledIds) {
        const LiveAircraft* other = nullptr;
        for (const auto& l : liveList) {
            if (l.simState == SimState::Active && l.standId == id &&
                (l.phase == MovementPhase::Parked || l.phase == MovementPhase::PushingBack) &&
                l.identity.callsign != ac.identity.callsign) {
                other = &l;
                break;
            }
        }
        if (!other) continue;
        const ParkPos* coupled = gf_findStandById(id);
        if (!coupled || (coupled->latitude == 0.0 && coupled->longitude == 0.0)) return &id;
        const double limit = (gf_wingspan(ac.identity.icaoType) + gf_wingspan(other->identity.icaoType)) * 1.1;
        if (gf_distanceNm(LatLon{coupled->latitude, coupled->longitude}, LatLon{stand.latitude, stand.longitude}) <=
            limit)
            return &id;
    }
    return nullptr;
}

std::string gf_standNameById(uint32_t standId) {
    if (standId == 0) return "sid==0?";
    if (const ParkPos* s = gf_findStandById(standId)) return s->name;
    return "unknown";
}

void lf_removeMaxParkExceeded(uint32_t hexid) {
    LiveAircraft* ac = gf_liveByHexid(hexid);
    if (!ac || ac->simState != SimState::Active) return;
    gf_log(fmt::format("{:}: {:8} max park exceeded, removed", gf_standNameById(ac->standId), ac->identity.callsign));
    removeAircraftFromSim(*ac);
}
