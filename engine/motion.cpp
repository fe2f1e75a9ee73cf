// Least motion until take-off, flight, landing and ground movement are built: an aircraft jumps
// to each stream point when it is due and holds at the last one.
#include "engine/motion.h"

#include "engine/engine_state.h"

void nextPosMain(LiveAircraft& ac) {
    if (ac.stream.empty()) return;
    const StreamPoint reached = ac.stream.front();
    if (ac.stream.size() > 1) ac.stream.pop_front();
    ac.position[kPosLat] = reached.latitude;
    ac.position[kPosLon] = reached.longitude;
    ac.position[kPosAlt] = reached.airborne ? reached.altitudeFt : ac.position[kPosAlt];
    if (reached.trackDeg != 0.0) ac.position[kPosHeading] = reached.trackDeg * 0.017453292519943295;
    ac.targetVsFpm = reached.verticalSpeed;
    ac.targetSpeedKt = reached.groundSpeedKt;
    if (ac.stream.size() == 1 && ac.stream.front().tick == reached.tick) ac.holding = 1;
}

void stepMotion(LiveAircraft&) {}

void startTakeOff(LiveAircraft& ac) {
    ac.takingOff = 1;
    ac.landed = 0;
    ac.setPhase(MovementPhase::TakeOff);
}

void liveryRespawn(LiveAircraft& ac) {
    if (ac.simState != SimState::Active || ac.objectId == 0) return;
    ac.respawnHeading = ac.position[kPosHeading];
    ac.respawnPending = 1;
    ac.simState = SimState::LiveryRespawn;
    removeFifo.push_back(ac.objectId);
}

void markCargoStand(LiveAircraft&) {}
