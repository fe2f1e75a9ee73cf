#pragma once
// A small fixture for the motion steps: one live aircraft built directly, the engine clock set by
// the test, and the client events that the steps queue read back from the command area.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

#include "airports/parking.h"
#include "engine/engine_state.h"
#include "engine/motion_detail.h"
#include "engine/stands.h"
#include "feed/feed_intake.h"
#include "feed/readers.h"
#include "foundation/geodesy.h"
#include "foundation/settings.h"
#include "platform/sim/sim_api.h"
#include "simlink/commands.h"

namespace motiontest {

inline constexpr double kDeg = 0.017453292519943295;
inline constexpr uint32_t kStart = 100000;
inline constexpr uint32_t kObject = 321;

inline void clearEvents() {
    std::lock_guard lock(simQueueMutex);
    eventQueue.clear();
}

inline std::vector<ClientEventCommand> takeEvents() {
    std::lock_guard lock(simQueueMutex);
    std::vector<ClientEventCommand> out;
    out.swap(eventQueue);
    return out;
}

inline size_t countEvent(const std::vector<ClientEventCommand>& events, uint32_t eventId) {
    return static_cast<size_t>(
        std::count_if(events.begin(), events.end(), [&](const ClientEventCommand& e) { return e.eventId == eventId; }));
}

// The data of the last event of a kind, or -1 when none was sent.
inline int64_t lastEventData(const std::vector<ClientEventCommand>& events, uint32_t eventId) {
    for (auto it = events.rbegin(); it != events.rend(); ++it)
        if (it->eventId == eventId) return it->data;
    return -1;
}

inline StreamPoint point(double lat, double lon, double altFt, double gsKt, uint32_t tick, double vsFpm = 0.0) {
    StreamPoint p;
    p.latitude = lat;
    p.longitude = lon;
    p.altitudeFt = altFt;
    p.groundSpeedKt = gsKt;
    p.airSpeedKt = gsKt;
    p.verticalSpeed = vsFpm;
    p.tick = tick;
    p.airborne = altFt > 0.0 ? 1 : 0;
    return p;
}

// An active live aircraft of a category with the table's values (no random variation).
inline LiveAircraft makeAircraft(AircraftCategory category, const StreamPoint& first) {
    SimAircraft head;
    const uint32_t cat = static_cast<uint32_t>(category);
    const CategoryValues& cv = categoryValues(cat);
    head.identity.callsign = "TST123";
    head.identity.icaoType = "A320";
    head.category = cat;
    head.halfSpanNm = 0.0097;  // about 18 m
    head.flareTicks = cv.flareTicks;
    head.rolloutTicks = cv.rolloutTicks;
    head.rotationTicks = cv.rotationTicks;
    head.climbPitchTicks = cv.climbPitchTicks;
    head.takeOffPitch = cv.takeOffPitch;
    head.climbPitch = cv.climbPitch;
    head.groundTurnStep = cv.groundTurnStep;
    head.turnStep = cv.groundTurnStep;
    head.maxClimbStep = cv.maxClimbStep;
    head.standTaxiSpeedKt = cv.standTaxiSpeedKt;
    head.id = 0x4840D6;
    LiveAircraft ac(first, head, 1000.0);
    ac.objectId = kObject;
    ac.simState = SimState::Active;
    ac.position[kPosLat] = first.latitude;
    ac.position[kPosLon] = first.longitude;
    ac.position[kPosAlt] = first.altitudeFt;
    ac.onGround = first.airborne ? 0 : 1;
    ac.staticCgFt = 8.0;
    ac.staticPitch = 0.01;
    return ac;
}

inline bool finitePosition(const LiveAircraft& ac) {
    return std::all_of(ac.position.begin(), ac.position.end(), [](double v) { return std::isfinite(v); });
}

// Resets the engine's lists, the command area, the airport and the clock around each test.
class MotionTest : public ::testing::Test {
protected:
    void SetUp() override {
        gf_resetEngineState();
        clearEvents();
        currentAirport = CurrentAirport{};
        currentStands.clear();
        parkingActive.store(0);
        qnhHpa.store(1013);
        engineTick.store(kStart);
        userState = UserState{};
    }
    void TearDown() override {
        // Settings a test changed go back to their defaults even when it stopped early.
        LATERAL_RANGE.value = LATERAL_RANGE.defaultValue;
        MAX_HOLDING_MINUTES.value = MAX_HOLDING_MINUTES.defaultValue;
        GUID_CHANGES.value = GUID_CHANGES.defaultValue;
        positionBackBuffer->clear();
        gf_resetEngineState();
        clearEvents();
        currentAirport = CurrentAirport{};
        currentStands.clear();
        qnhHpa.store(1013);
    }
    static void setNow(uint32_t tick) { engineTick.store(tick); }
    static uint32_t now() { return engineTick.load(); }
};

}  // namespace motiontest
