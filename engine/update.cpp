// Per-tick update of one live aircraft.
#include <exception>

#include <fmt/format.h>

#include "engine/engine_state.h"
#include "engine/motion.h"
#include "feed/feed_intake.h"
#include "foundation/log.h"

bool updateLiveAc(LiveAircraft& ac) {
    try {
        if (ac.simState == SimState::Buffer) {
            lf_spawnGate(ac);
        } else if (ac.simState == SimState::Active) {
            if (!ac.stream.empty() && tickDiff(engineTick.load(), ac.stream.front().tick) >= 0) {
                nextPosMain(ac);
                ac.position[kPosVs] = ac.targetVsFpm / 60.0;
                ac.position[kPosTas] = (!ac.stream.empty() && ac.stream.front().engineFlag) ? 0.0 : ac.targetSpeedKt;
            }
            if (ac.simState == SimState::Active) {
                if (!ac.stream.empty()) {
                    if (!ac.stream.front().engineFlag) stepMotion(ac);
                    if (ac.objectId != 0) {
                        lf_appendPosition(ac);
                    } else {
                        gf_logError(fmt::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc",
                                                ac.id, ac.identity.callsign, ac.identity.registration,
                                                airlineTypeKey(ac), ac.stream.size()));
                        removeAircraftFromSim(ac);
                    }
                } else {
                    gf_logError(fmt::format(
                        "{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{:.6f},{:.6f}, TAS:{:.0f}",
                        "updateLiveAc", acLabel(ac), ac.id, ac.objectId, ac.position[kPosAlt], ac.position[kPosLat],
                        ac.position[kPosLon], ac.position[kPosTas]));
                    removeAircraftFromSim(ac);
                }
            }
        }
        return ac.removeFromBuffer || ac.removedFromQueue;
    } catch (const std::exception& e) {
        gf_log(fmt::format("{}: {} {}, sz:{}, fs:{}, st:{}", "updateLiveAc", e.what(), acLabel(ac), ac.stream.size(),
                           phaseName(ac.phase), simStateName(ac.simState)));
        return ac.removeFromBuffer;
    }
}
