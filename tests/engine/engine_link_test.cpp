// The engine with the real simulator link and the stand-in simulator, driven tick by tick on the
// test's thread: a live aircraft from the feed is created, recognised by its ATC id, lit, moved
// and removed again.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <unistd.h>

#include <gtest/gtest.h>

#include "app/window_proc.h"
#include "catalogue/catalogue.h"
#include "engine/engine.h"
#include "feed/feed_intake.h"
#include "foundation/time_text.h"
#include "shell/range.h"
#include "tests/common/sandbox.h"
#include "tests/simlink/link_fixture.h"

namespace {

class EngineLink : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        gf_resetEngineState();
        gf_resetCatalogue();
        knownAircraftTypes.insert("A320");
        largeTypes.insert("A320");
        wingspanTable["A320"] = 0.01;
        rangeMetres = 60000;
        gf_setFeedIntakeOpen(true);
        weekSlot.store(WeekSlot{3, 20}.packed());
        sandbox.emplace(Sandbox::Options{.openLog = false, .resetSettings = false});
        ASSERT_TRUE(gf_createFlightPlanFolder());
        connect();
        learnUser();
    }
    void TearDown() override {
        gf_setFeedIntakeOpen(false);
        gf_resetEngineState();
        gf_removeFlightPlanFolder();
        sandbox.reset();
        gf_resetCatalogue();
        LinkTest::TearDown();
    }
    // One engine tick and 10 ms of simulator time with one dispatch, as the run and client threads do.
    void step(int n = 1) {
        for (int i = 0; i < n; ++i) {
            gf_engineTick();
            ASSERT_TRUE(pump(10));
        }
    }
    std::optional<Sandbox> sandbox;
    LiveAircraft* live(uint32_t hexid) {
        for (auto& a : liveList)
            if (a.id == hexid) return &a;
        return nullptr;
    }
};

}  // namespace

TEST_F(EngineLink, FeedAircraftIsCreatedRecognisedLitMovedAndRemoved) {
    constexpr uint32_t hexid = 0x484506;
    rememberedLiveries[hexid] = kTitleA320;
    auto rec = [&](double ts, double lon) {
        TrafficRecord r;
        r.identity.callsign = "KLM1234";
        r.identity.icaoType = "A320";
        r.identity.origin = "EHAM";
        r.identity.destination = "EGLL";
        r.latitude = 52.35;
        r.longitude = lon;
        r.altitudeFt = 6000;
        r.airborne = 1;
        r.groundSpeedKt = 250;
        r.trackDeg = 90;
        r.airSpeedKt = 250;
        r.timestamp = ts;
        r.address = hexid;
        return r;
    };
    double lastStamp = 0;
    std::vector<TrafficRecord> batch{rec(1000, 4.80)};
    gf_mergeTrafficRecords(batch, 30, lastStamp);
    step(1000);
    batch = {rec(1010, 4.82)};
    gf_mergeTrafficRecords(batch, 30, lastStamp);
    for (int i = 0; i < 6000 && !(live(hexid) && live(hexid)->simState == SimState::Active); ++i) step();
    LiveAircraft* ac = live(hexid);
    ASSERT_NE(ac, nullptr);
    ASSERT_EQ(ac->simState, SimState::Active);
    auto object = sim->objectByAtcId("KLM1234");
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(ac->objectId, object->id);
    EXPECT_EQ(object->title, kTitleA320);
    EXPECT_TRUE(object->released && object->frozenLatLon);
    EXPECT_EQ(ac->hasFlightPlan, 1);
    gf_waitFlightPlanWriter();  // the writer thread writes and assigns it
    EXPECT_TRUE(std::filesystem::exists(gf_flightPlanPath(ac->objectId)));
    step(200);
    object = sim->object(ac->objectId);
    ASSERT_TRUE(object.has_value());
    EXPECT_EQ(object->flightPlan, std::filesystem::path(gf_flightPlanPath(ac->objectId)).replace_extension().string());
    const auto& events = object->events;
    EXPECT_EQ(std::count_if(events.begin(), events.end(), [](auto& e) { return e.first == "ALL_LIGHTS_TOGGLE"; }), 2);
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](auto& e) { return e.first == "STROBES_SET"; }));
    // One position per simulator frame (20 frames a second here).
    EXPECT_GE(object->positionWrites, 35u);
    EXPECT_EQ(simConnectError.load(), 0);

    const uint32_t objectId = ac->objectId;
    removeAircraftFromSim(*ac);
    step(30);
    gf_waitFlightPlanWriter();
    EXPECT_EQ(live(hexid), nullptr);
    auto gone = sim->object(objectId);
    EXPECT_TRUE(!gone.has_value() || gone->removed);
    EXPECT_FALSE(std::filesystem::exists(gf_flightPlanPath(objectId)));
}
