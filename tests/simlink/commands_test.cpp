#include <gtest/gtest.h>

#include "engine/aircraft.h"
#include "engine/engine_state.h"
#include "simlink/commands.h"

namespace {

TEST(SimCommands, CreateRequestCopiesTheSpawnOrderFieldByFieldWithItsRequestId) {
    static const std::string title = "Airbus A320 Test Livery";
    SpawnOrder order;
    order.latitude = 52.3;
    order.longitude = 4.76;
    order.altitude = 1200;
    order.pitch = -2;
    order.bank = 1;
    order.heading = 270;
    order.onGround = 1;
    order.airspeed = 0;
    order.callsign = "KLM1234";
    order.title = title;
    order.id = 0x484B12;
    {
        std::lock_guard lock(simQueueMutex);
        createQueue.clear();
    }
    gf_queueCreateAircraft(order, 41);
    std::lock_guard lock(simQueueMutex);
    ASSERT_EQ(createQueue.size(), 1u);
    const auto& r = createQueue.front();
    EXPECT_EQ(r.initPosition.latitude, 52.3);
    EXPECT_EQ(r.initPosition.longitude, 4.76);
    EXPECT_EQ(r.initPosition.altitude, 1200);
    EXPECT_EQ(r.initPosition.pitch, -2);
    EXPECT_EQ(r.initPosition.bank, 1);
    EXPECT_EQ(r.initPosition.heading, 270);
    EXPECT_EQ(r.initPosition.onGround, 1u);
    EXPECT_EQ(r.callsign, "KLM1234");
    EXPECT_EQ(r.title.data(), title.data());
    EXPECT_EQ(r.hexid, 0x484B12u);
    EXPECT_EQ(r.requestId, 41u);
    createQueue.clear();
}

}  // namespace
