#pragma once
// The user aircraft as the simulator reports it, without a simulator: a state answer and an on-ground
// answer handed to the simulator link's handler as its client thread would, so that the link's copy, the
// teleport test, the user's stand and the on-ground flag follow. Positions more than 10 nm apart in two
// reports count as a teleport.
#include <cstdint>

#include "platform/sim/sim_api.h"
#include "shell/run_flags.h"
#include "simlink/commands.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"

inline void reportUserAircraft(double latitude, double longitude, double altitudeFt, bool onGround,
                               double groundSpeedKt = 0.0) {
    struct StateAnswer {
        vsim::RecvSimObjectDataMsg message;
        UserState block;
    } state{};
    state.message.header.size = sizeof state;
    state.message.requestId = vsim::kReqUserState;
    state.block.latitude = latitude;
    state.block.longitude = longitude;
    state.block.altitude = altitudeFt;
    state.block.altitudeAboveGround = onGround ? 0.0 : altitudeFt;
    state.block.groundSpeed = groundSpeedKt;
    lf_onSimObjectData(state.message);

    struct GroundAnswer {
        vsim::RecvSimObjectDataMsg message;
        std::int64_t onGround;
    } ground{};
    ground.message.header.size = sizeof ground;
    ground.message.requestId = vsim::kReqUserOnGround;
    ground.onGround = onGround ? 1 : 0;
    lf_onSimObjectData(ground.message);
}

// The user aircraft as before the first report.
inline void forgetUserAircraft() {
    lf_resetUserAircraft();
    previousPosition = {};
    userOnGround.store(0);
    userOnGroundValid.store(0);
    secondTick.store(0);
}
