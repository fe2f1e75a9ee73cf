#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_api.h"
#include "platform/sim/stand_in.h"

using namespace vsim;
using namespace std::chrono_literals;

namespace {

struct Received {
    std::vector<std::vector<std::byte>> messages;
    std::vector<std::uint32_t> ids() const {
        std::vector<std::uint32_t> r;
        for (const auto& m : messages) r.push_back(header(m)->id);
        return r;
    }
    static const RecvHeader* header(const std::vector<std::byte>& m) {
        return reinterpret_cast<const RecvHeader*>(m.data());
    }
    template <class T>
    std::vector<const T*> all(std::uint32_t id) const {
        std::vector<const T*> r;
        for (const auto& m : messages)
            if (header(m)->id == id) r.push_back(reinterpret_cast<const T*>(m.data()));
        return r;
    }
};

void collect(const RecvHeader* h, std::uint32_t size, void* ctx) {
    auto* r = static_cast<Received*>(ctx);
    std::vector<std::byte> copy(size + 8);
    std::memcpy(copy.data(), h, size);
    r->messages.push_back(std::move(copy));
}

StandInConfig testConfig() {
    StandInConfig c;
    c.applicationName = "SunRise";
    c.frameRate = 20;  // one frame per 50 ms
    c.framesToAdd = 3;
    c.fieldElevationFt = 100;
    c.titles = {{"Airliner A", 10.0, 0.01, false}, {"Heli H", 4.0, 0.0, true}};
    c.user.path = {UserWaypoint{0, 52.0, 4.0, 105, -1, 90, 0}};
    return c;
}

struct StandInTest : ::testing::Test {
    std::shared_ptr<StandIn> sim = StandIn::install(testConfig());
    SimHandle h = nullptr;
    Received rx;
    void SetUp() override {
        ASSERT_EQ(open(&h, "Vexa"), kOk);
        ASSERT_NE(h, nullptr);
    }
    void TearDown() override {
        close(h);
        StandIn::uninstall();
    }
    void pump() { ASSERT_EQ(callDispatch(h, collect, &rx), kOk); }
    void defineGround() {
        addToDataDefinition(h, kDefGround, "Plane Alt Above Ground", "feet", DataType::Float64);
        addToDataDefinition(h, kDefGround, "Ground Altitude", "feet", DataType::Float64);
        addToDataDefinition(h, kDefGround, "SIM ON GROUND", "Bool", DataType::Int64);
        addToDataDefinition(h, kDefGround, "ATC ID", "", DataType::String32);
    }
    std::vector<std::pair<std::uint32_t, GroundBlock>> groundAnswers() {
        std::vector<std::pair<std::uint32_t, GroundBlock>> r;
        for (auto* d : rx.all<RecvSimObjectDataMsg>(RecvSimObjectDataByType)) {
            EXPECT_EQ(blockSizeOf(d), sizeof(GroundBlock));
            GroundBlock g;
            std::memcpy(&g, blockOf(d), sizeof g);
            r.emplace_back(d->objectId, g);
        }
        return r;
    }
};

TEST_F(StandInTest, OpenAnswersWithTheSimulatorsNameAndVersion) {
    pump();
    auto opens = rx.all<RecvOpenMsg>(RecvOpen);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_STREQ(opens[0]->applicationName, "SunRise");
    EXPECT_EQ(opens[0]->applicationVersionMajor, 11u);
}

TEST_F(StandInTest, CreationIsAssignedAtOnceAndAddedAfterSomeFramesWithTheCutTailNumber) {
    subscribeToSystemEvent(h, kEventObjectAdded, "ObjectAdded");
    const std::string tail(40, 'X');
    InitPosition ip{52.001, 4.001, 0, 0, 0, 180, 1, 0};
    ASSERT_EQ(aiCreateNonAtcAircraft(h, "Airliner A", tail, ip, kReqCreate), kOk);
    pump();
    auto assigned = rx.all<RecvAssignedObjectIdMsg>(RecvAssignedObjectId);
    ASSERT_EQ(assigned.size(), 1u);
    const auto id = assigned[0]->objectId;
    EXPECT_GT(id, sim->userObjectId());
    EXPECT_EQ(assigned[0]->requestId, kReqCreate);
    auto o = sim->object(id);
    ASSERT_TRUE(o);
    EXPECT_EQ(o->atcId, std::string(31, 'X'));
    EXPECT_DOUBLE_EQ(o->position.altitude, 110.0);  // ground + static CG height
    EXPECT_NEAR(o->position.heading, 3.14159265, 1e-6);

    sim->advance(100ms);  // two frames: not yet
    pump();
    EXPECT_TRUE(rx.all<RecvEventObjectAddRemoveMsg>(RecvEventObjectAddRemove).empty());
    sim->advance(50ms);  // third frame
    pump();
    auto added = rx.all<RecvEventObjectAddRemoveMsg>(RecvEventObjectAddRemove);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0]->event.eventId, kEventObjectAdded);
    EXPECT_EQ(added[0]->event.data, id);
    EXPECT_EQ(added[0]->objectType, static_cast<std::uint32_t>(SimObjectType::Aircraft));
}

TEST_F(StandInTest, RefusedCallsAreReportedByTheirPacketId) {
    struct Case {
        const char* what;
        std::uint32_t code;
    };
    InitPosition ip{52, 4, 0, 0, 0, 0, 1, 0};
    std::vector<std::pair<std::uint32_t, std::uint32_t>> expected;  // code, packet
    std::uint32_t packet = 0;
    aiCreateNonAtcAircraft(h, "Not Installed", "ABC", ip, kReqCreate);
    getLastSentPacketId(h, &packet);
    expected.emplace_back(ExceptionCreateObjectFailed, packet);
    aiRemoveObject(h, 999, kReqRemove);
    getLastSentPacketId(h, &packet);
    expected.emplace_back(ExceptionUnrecognizedId, packet);
    aiRemoveObject(h, sim->userObjectId(), kReqRemove);
    getLastSentPacketId(h, &packet);
    expected.emplace_back(ExceptionUnrecognizedId, packet);
    addToDataDefinition(h, 499, "NO SUCH VARIABLE", "feet");
    getLastSentPacketId(h, &packet);
    expected.emplace_back(ExceptionNameUnrecognized, packet);
    pump();
    auto ex = rx.all<RecvExceptionMsg>(RecvException);
    ASSERT_EQ(ex.size(), expected.size());
    for (std::size_t i = 0; i < ex.size(); ++i) {
        EXPECT_EQ(ex[i]->exception, expected[i].first) << i;
        EXPECT_EQ(ex[i]->sendId, expected[i].second) << i;
    }
    EXPECT_EQ(sim->objects().size(), 1u);  // only the user
}

TEST_F(StandInTest, ObjectsInRangeCarryGroundDataAndHelicoptersCountAsAircraft) {
    subscribeToSystemEvent(h, kEventObjectAdded, "ObjectAdded");
    defineGround();
    InitPosition onGround{52.01, 4.0, 0, 0, 0, 0, 1, 0};
    InitPosition airborne{52.02, 4.0, 2600, 0, 0, 0, 0, 150};
    InitPosition far{53.0, 4.0, 3000, 0, 0, 0, 0, 150};
    aiCreateNonAtcAircraft(h, "Airliner A", "GND1", onGround, kReqCreate);
    aiCreateNonAtcAircraft(h, "Heli H", "HELI1", airborne, kReqCreate);
    aiCreateNonAtcAircraft(h, "Airliner A", "FAR1", far, kReqCreate);
    sim->advance(150ms);
    pump();
    auto added = rx.all<RecvEventObjectAddRemoveMsg>(RecvEventObjectAddRemove);
    ASSERT_EQ(added.size(), 3u);
    EXPECT_EQ(added[1]->objectType, static_cast<std::uint32_t>(SimObjectType::Helicopter));

    rx.messages.clear();
    requestDataOnSimObjectType(h, kReqAircraftInRange, kDefGround, 20000, SimObjectType::Aircraft);
    pump();
    auto answers = groundAnswers();
    ASSERT_EQ(answers.size(), 3u);  // the user, GND1 and HELI1; FAR1 is 60 nm away
    EXPECT_EQ(answers[0].first, sim->userObjectId());
    EXPECT_STREQ(answers[1].second.atcId, "GND1");
    EXPECT_DOUBLE_EQ(answers[1].second.altitudeAboveGround, 10.0);
    EXPECT_DOUBLE_EQ(answers[1].second.groundAltitude, 100.0);
    EXPECT_EQ(answers[1].second.onGround, 1);
    EXPECT_STREQ(answers[2].second.atcId, "HELI1");
    EXPECT_DOUBLE_EQ(answers[2].second.altitudeAboveGround, 2500.0);
    EXPECT_EQ(answers[2].second.onGround, 0);
}

TEST_F(StandInTest, RemovalIsConfirmedOnTheNextFrame) {
    subscribeToSystemEvent(h, kEventObjectRemoved, "ObjectRemoved");
    InitPosition ip{52, 4, 0, 0, 0, 0, 1, 0};
    aiCreateNonAtcAircraft(h, "Airliner A", "R1", ip, kReqCreate);
    sim->advance(150ms);
    const auto id = sim->objectByAtcId("R1")->id;
    ASSERT_EQ(aiRemoveObject(h, id, kReqRemove), kOk);
    pump();
    EXPECT_TRUE(rx.all<RecvEventObjectAddRemoveMsg>(RecvEventObjectAddRemove).empty());
    sim->advance(50ms);
    pump();
    auto removed = rx.all<RecvEventObjectAddRemoveMsg>(RecvEventObjectAddRemove);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0]->event.eventId, kEventObjectRemoved);
    EXPECT_EQ(removed[0]->event.data, id);
    EXPECT_FALSE(sim->object(id));
}

TEST_F(StandInTest, FramesComeAtTheRateAndSecondAnswersOnceASecond) {
    subscribeToSystemEvent(h, kEventFrame, "Frame");
    addToDataDefinition(h, kDefOnGround, "SIM ON GROUND", "Bool", DataType::Int64);
    requestDataOnSimObject(h, kReqUserOnGround, kDefOnGround, kObjectIdUser, Period::Second);
    sim->advance(2000ms);
    pump();
    auto frames = rx.all<RecvEventFrameMsg>(RecvEventFrame);
    EXPECT_EQ(frames.size(), 40u);
    EXPECT_FLOAT_EQ(frames[0]->frameRate, 20.0f);
    auto data = rx.all<RecvSimObjectDataMsg>(RecvSimObjectData);
    ASSERT_EQ(data.size(), 2u);  // at 50 ms and at 1050 ms
    EXPECT_EQ(data[0]->objectId, sim->userObjectId());
    std::int64_t onGround = 0;
    std::memcpy(&onGround, blockOf(data[0]), 8);
    EXPECT_EQ(onGround, 1);
}

TEST_F(StandInTest, UserStateFollowsTheScriptAndTheZuluClock) {
    std::vector<std::pair<const char*, const char*>> fields = {{"Plane Latitude", "degree"},
                                                               {"Plane Longitude", "degree"},
                                                               {"Plane Pitch degrees", "radians"},
                                                               {"Plane Bank degrees", "radians"},
                                                               {"Plane Heading degrees true", "radians"},
                                                               {"Plane Altitude", "feet"},
                                                               {"Plane Alt Above Ground", "feet"},
                                                               {"Ground Velocity", "knots"}};
    for (auto [n, u] : fields) addToDataDefinition(h, kDefUserState, n, u, DataType::Float64);
    addToDataDefinition(h, kDefUserState, "ZULU TIME", "Seconds", DataType::Int64);
    addToDataDefinition(h, kDefUserState, "ZULU DAY OF YEAR", "Number", DataType::Int64);
    addToDataDefinition(h, kDefUserState, "ZULU YEAR", "Number", DataType::Int64);
    addToDataDefinition(h, kDefUserState, "LIGHT STATES", "Mask", DataType::Int64);
    sim->setZulu(1767225599);  // 2025-12-31 23:59:59
    sim->setUserLights(0x5);
    sim->setUserPath({UserWaypoint{0, 52.0, 4.0, 1100, -1, 350, 200}, UserWaypoint{10, 52.1, 4.0, 2100, -1, 10, 220}});
    sim->advance(5000ms);
    requestDataOnSimObject(h, kReqUserState, kDefUserState, kObjectIdUser, Period::Once);
    pump();
    auto data = rx.all<RecvSimObjectDataMsg>(RecvSimObjectData);
    ASSERT_EQ(data.size(), 1u);
    ASSERT_EQ(blockSizeOf(data[0]), 96u);
    UserStateBlock u;
    std::memcpy(&u, blockOf(data[0]), sizeof u);
    EXPECT_NEAR(u.latitude, 52.05, 1e-9);
    EXPECT_NEAR(u.altitude, 1600, 1e-6);
    EXPECT_NEAR(u.altitudeAboveGround, 1500, 1e-6);
    EXPECT_NEAR(u.heading, 0.0, 1e-9);  // half way from 350 to 10 degrees
    EXPECT_NEAR(u.groundSpeed, 210, 1e-9);
    EXPECT_EQ(u.zuluYear, 2026);
    EXPECT_EQ(u.zuluDayOfYear, 1);
    EXPECT_EQ(u.zuluTime, 4);
    EXPECT_EQ(u.lightStates, 5);
}

TEST_F(StandInTest, TheMenuReportsAnUnsetPositionAndTheSimEventFollowsChanges) {
    sim->setInFlight(false);
    subscribeToSystemEvent(h, kEventSim, "Sim");
    subscribeToSystemEvent(h, kEventFlightLoaded, "FlightLoaded");
    sim->setInFlight(true);
    sim->loadFlight("flights/other.flt");
    pump();
    auto ev = rx.all<RecvEventMsg>(RecvEventId);
    ASSERT_EQ(ev.size(), 2u);
    EXPECT_EQ(ev[0]->eventId, kEventSim);
    EXPECT_EQ(ev[0]->data, 0u);
    EXPECT_EQ(ev[1]->data, 1u);
    auto files = rx.all<RecvEventFilenameMsg>(RecvEventFilename);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_STREQ(files[0]->fileName, "flights/other.flt");
}

TEST_F(StandInTest, FailuresQuitAndReopen) {
    sim->failCalls("aiRemoveObject", 1);
    EXPECT_TRUE(failed(aiRemoveObject(h, 100, kReqRemove)));
    EXPECT_EQ(aiRemoveObject(h, 100, kReqRemove), kOk);  // refused later, not failed
    sim->quit();
    EXPECT_TRUE(failed(mapClientEventToSimEvent(h, 206, "BEACON_LIGHTS_SET")));
    pump();  // the QUIT itself still arrives
    EXPECT_EQ(rx.ids().back(), static_cast<std::uint32_t>(RecvQuit));
    SimHandle h2 = nullptr;
    EXPECT_TRUE(failed(open(&h2, "Vexa")));
    EXPECT_EQ(h2, nullptr);
    sim->setRunning(true);
    sim->failOpens(1);
    EXPECT_TRUE(failed(open(&h2, "Vexa")));
    ASSERT_EQ(open(&h2, "Vexa"), kOk);
    EXPECT_EQ(close(h2), kOk);
    EXPECT_TRUE(failed(close(h2)));
    const auto log = sim->callLog();  // the accepted calls only: two opens of four
    EXPECT_EQ(std::count(log.begin(), log.end(), "open Vexa 0"), 2);
}

// The client's frame flush calls back into the layer from inside its callback.
TEST_F(StandInTest, CallsFromInsideTheCallbackAreAllowed) {
    subscribeToSystemEvent(h, kEventFrame, "Frame");
    mapClientEventToSimEvent(h, kEvNavLightsSet, "NAV_LIGHTS_SET");
    InitPosition ip{52, 4, 0, 0, 0, 0, 1, 0};
    aiCreateNonAtcAircraft(h, "Airliner A", "CB1", ip, kReqCreate);
    sim->advance(150ms);
    struct Ctx {
        SimHandle h;
        std::uint32_t id;
        int frames = 0;
    } ctx{h, sim->objectByAtcId("CB1")->id};
    auto proc = [](const RecvHeader* m, std::uint32_t, void* c) {
        auto* x = static_cast<Ctx*>(c);
        if (m->id != RecvEventFrame) return;
        ++x->frames;
        EXPECT_EQ(transmitClientEvent(x->h, x->id, kEvNavLightsSet, 1, kGroupClientEvents, 0), kOk);
    };
    ASSERT_EQ(callDispatch(h, proc, &ctx), kOk);
    EXPECT_EQ(ctx.frames, 3);
    auto o = sim->object(ctx.id);
    ASSERT_EQ(o->events.size(), 3u);
    EXPECT_EQ(o->events[0], (std::pair<std::string, std::uint32_t>{"NAV_LIGHTS_SET", 1}));
}

TEST(StandInScenario, ScenarioFileAndTrace) {
    const auto dir = std::filesystem::temp_directory_path() / "vexa_standin_scenario";
    std::filesystem::create_directories(dir);
    const auto scenario = dir / "sim.json";
    const auto tracePath = dir / "trace.jsonl";
    std::ofstream(scenario) << R"({"simulator":"KittyHawk","version":[1,2,3,4],"frameRate":10,"fieldElevationFt":-11,
        "titles":[{"title":"T1","cgFt":9.5,"pitchDeg":1.0}],
        "user":{"title":"My Plane","atcModel":"B738","path":[{"t":0,"lat":50,"lon":8,"altFt":-2}]},
        "traffic":[{"title":"T1","atcId":"OTHER1","lat":50.001,"lon":8.001}]})";
    auto cfg = StandIn::configFromScenario(scenario.string());
    EXPECT_TRUE(cfg.realTime);
    EXPECT_EQ(cfg.version[3], 4u);
    ASSERT_EQ(cfg.titles.size(), 1u);
    EXPECT_NEAR(cfg.titles[0].staticPitchRad, 0.017453292519943295, 1e-12);
    cfg.realTime = false;
    cfg.tracePath = tracePath.string();
    auto sim = StandIn::install(cfg);
    SimHandle h = nullptr;
    ASSERT_EQ(open(&h, "Vexa"), kOk);
    InitPosition ip{50.002, 8.0, 0, 0, 0, 0, 1, 0};
    aiCreateNonAtcAircraft(h, "T1", "NEW1", ip, kReqCreate);
    aiCreateNonAtcAircraft(h, "missing", "NEW2", ip, kReqCreate);
    sim->advance(1500ms);
    close(h);
    StandIn::uninstall();
    std::ifstream in(tracePath);
    std::vector<std::string> kinds;
    for (std::string line; std::getline(in, line);) kinds.push_back(nlohmann::json::parse(line).at("ev"));
    auto count = [&](const char* k) { return std::count(kinds.begin(), kinds.end(), k); };
    EXPECT_EQ(count("create"), 1);
    EXPECT_EQ(count("refused"), 1);
    EXPECT_EQ(count("added"), 2);     // OTHER1 on the first frame, NEW1 on the third
    EXPECT_EQ(count("position"), 5);  // at 100 ms the user and OTHER1; at 1100 ms NEW1 too
    EXPECT_THROW(StandIn::configFromScenario((dir / "missing.json").string()), std::runtime_error);
    std::ofstream(dir / "bad.json") << "{";
    EXPECT_THROW(StandIn::configFromScenario((dir / "bad.json").string()), std::runtime_error);
    std::filesystem::remove_all(dir);
}

// A real-time stand-in starts its trace with the UTC clock at its time 0, so that the program's log can be
// placed beside the trace.
TEST(StandInScenario, ARealTimeTraceStartsWithItsClock) {
    const auto dir = std::filesystem::temp_directory_path() / "vexa_standin_clock";
    std::filesystem::create_directories(dir);
    const auto tracePath = dir / "trace.jsonl";
    StandInConfig cfg;
    cfg.realTime = true;
    cfg.tracePath = tracePath.string();
    StandIn::install(cfg);
    const auto before =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    SimHandle h = nullptr;
    ASSERT_EQ(open(&h, "Vexa"), kOk);
    const auto after =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    close(h);
    StandIn::uninstall();
    std::ifstream in(tracePath);
    std::string line;
    ASSERT_TRUE(std::getline(in, line));
    const nlohmann::json first = nlohmann::json::parse(line);
    EXPECT_EQ(first.at("ev"), "clock");
    EXPECT_EQ(first.at("t"), 0);
    EXPECT_GE(first.at("utcMs").get<std::int64_t>(), before);
    EXPECT_LE(first.at("utcMs").get<std::int64_t>(), after);
    std::filesystem::remove_all(dir);
}

}  // namespace

namespace {

TEST_F(StandInTest, FlightPlansAreTakenWithOrWithoutTheirExtension) {
    const auto dir = std::filesystem::temp_directory_path() / "vexa_standin_plans";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "4711.pln") << "<SimBase.Document/>";
    InitPosition ip{52, 4, 0, 0, 0, 0, 1, 0};
    aiCreateNonAtcAircraft(h, "Airliner A", "FP1", ip, kReqCreate);
    const auto id = sim->objectByAtcId("FP1")->id;
    EXPECT_EQ(aiSetAircraftFlightPlan(h, id, (dir / "4711").string(), kReqFlightPlan), kOk);
    EXPECT_EQ(aiSetAircraftFlightPlan(h, id, (dir / "4711.pln").string(), kReqFlightPlan), kOk);
    EXPECT_EQ(aiSetAircraftFlightPlan(h, id, (dir / "missing.pln").string(), kReqFlightPlan), kOk);
    pump();
    auto ex = rx.all<RecvExceptionMsg>(RecvException);
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0]->exception, static_cast<std::uint32_t>(ExceptionLoadFlightplanFailed));
    EXPECT_EQ(sim->object(id)->flightPlan, (dir / "4711.pln").string());
    std::filesystem::remove_all(dir);
}

}  // namespace
