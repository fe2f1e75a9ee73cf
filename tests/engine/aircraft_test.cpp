#include "airports/stand_option.h"
#include "engine/aircraft.h"
#include "engine/notices.h"

#include <gtest/gtest.h>

TEST(AircraftNames, TablesAndOutOfRange) {
    EXPECT_EQ(categoryName(AircraftCategory::Heavy), "Heavy");
    EXPECT_EQ(categoryName(5u), "Rotorcraft");
    EXPECT_EQ(simStateName(SimState::RemovingFromSim), "removingfromsim");
    EXPECT_EQ(phaseName(MovementPhase::PushingBack), "pushing_back");
    EXPECT_EQ(phaseName(MovementPhase::Birth), "birth");
    try {
        (void)categoryName(6u);
        FAIL();
    } catch (const std::out_of_range& e) {
        EXPECT_STREQ(e.what(), "invalid unordered_map<K, T> key");
    }
    EXPECT_THROW((void)phaseName(static_cast<MovementPhase>(8)), std::out_of_range);
    EXPECT_THROW((void)categoryValues(6), std::out_of_range);
}

TEST(AircraftLabels, RouteCallsignAndCodes) {
    AircraftIdentity id;
    EXPECT_EQ(routeText(id), "        ");
    id.origin = "EDDF";
    EXPECT_EQ(routeText(id), "EDDF->   ");
    id.airline = "DLH";
    id.icaoType = "A320";
    id.callsign = "DLH4AB";
    id.registration = "DAIPA";
    EXPECT_EQ(airlineTypeKey(id), "DLH A320");
    EXPECT_EQ(acLabel(id), "DLH4AB   DAIPA    EDDF->    DLH A320");
    EXPECT_EQ(acRouteLabel(id), "DLH4AB   DAIPA DLH A320");
    EXPECT_EQ(airlineTypeRegKey(id), "DLH A320 DAIPA");
    EXPECT_EQ(airlineCodeOfCallsign("dlh123"), "DLH");
    EXPECT_FALSE(airlineCodeOfCallsign("DLHA12"));
    EXPECT_FALSE(airlineCodeOfCallsign("DL123"));
    id.callsign = "ABCDEFGHI";
    EXPECT_FALSE(isValidCallsign(id));
    id.callsign = "@@@@@@@@";
    EXPECT_FALSE(isValidCallsign(id));
    id.callsign = "ABCDEFGH";
    EXPECT_TRUE(isValidCallsign(id));
}

TEST(AircraftRecords, ConstructorsAndSizes) {
    static_assert(sizeof(SimNotice) == 32);
    SimAircraft head;
    head.id = 0x3c6444;
    StreamPoint p;
    p.latitude = 50;
    LiveAircraft live(p, head, 12.5);
    EXPECT_EQ(live.phase, MovementPhase::Birth);
    EXPECT_EQ(live.throttleIndex, 5u);
    EXPECT_EQ(live.flapsIndex, 4u);
    EXPECT_EQ(live.stream.size(), 1u);
    EXPECT_EQ(live.heightAglFt, 2500.0);
    EXPECT_TRUE(std::isnan(live.curve[6]));
    live.setPhase(MovementPhase::Taxi);
    live.setPhase(MovementPhase::Taxi);
    EXPECT_EQ(live.previousPhase, MovementPhase::Birth);
}

TEST(AircraftQueues, ArrivalDueAcrossMidnight) {
    auto slot = [](uint64_t day, uint64_t hh) { return day | (hh << 32); };
    EXPECT_TRUE(isArrivalDue(slot(1, 46), 77, false));
    EXPECT_FALSE(isArrivalDue(slot(2, 0), 77, false));
    EXPECT_TRUE(isArrivalDue(slot(2, 1), 77, false));
    EXPECT_TRUE(isArrivalDue(slot(2, 1), 77, true));
}

TEST(AircraftQueues, TakeQueuedCreationByIdOnly) {
    std::deque<SpawnOrder> fifo;
    fifo.push_back(SpawnOrder{.callsign = "AB1", .title = {}, .id = 20001});
    fifo.push_back(SpawnOrder{.callsign = "AB1", .title = {}, .id = 20002});
    EXPECT_TRUE(takeQueuedCreation(fifo, 20002));
    ASSERT_EQ(fifo.size(), 1u);
    EXPECT_EQ(fifo.front().id, 20001u);
    EXPECT_FALSE(isQueuedForCreation(fifo, ""));
    EXPECT_TRUE(isQueuedForCreation(fifo, "AB1"));
    EXPECT_TRUE(fifo.empty());
}
