#include "shell/command_flags.h"
#include "shell/display.h"
#include "tests/simlink/link_fixture.h"

#include <fmt/format.h>

namespace {

// ---------------------------------------------------------------------------------------------
// Connection and identity
// ---------------------------------------------------------------------------------------------

struct IdentityCase {
    const char* simulatorName;
    bool msfs2020;
    const char* description;  // empty: refused
    const char* heldError;
};

class LinkIdentity : public LinkTest, public ::testing::WithParamInterface<IdentityCase> {
protected:
    vsim::StandInConfig config() override {
        auto c = linkStandInConfig();
        c.applicationName = GetParam().simulatorName;
        c.version = {11, 0, 282174, 999};
        return c;
    }
};

TEST_P(LinkIdentity, TheSimulatorIsTheConfiguredOne) {
    const auto& p = GetParam();
    MSFS_2020.value = p.msfs2020;
    CapturedLog log;
    ASSERT_TRUE(lf_openSimConnect());
    EXPECT_EQ(simNotYetOpened.load(), 0);
    const bool goesOn = pump();
    EXPECT_EQ(goesOn, *p.description != 0);
    EXPECT_EQ(mainWindow.simulatorText.get(), p.description);
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, p.heldError);
    EXPECT_EQ(stopRequested.load(), 0);  // a wrong simulator does not end the run
    if (goesOn) {
        EXPECT_TRUE(mainWindow.simConnected.load());
        EXPECT_NE(log.text().find(fmt::format("{} connected", p.description)), std::string::npos);
    } else {
        EXPECT_FALSE(mainWindow.simConnected.load());
        EXPECT_EQ(sim->openConnections(), 0);  // the connection was closed
        EXPECT_NE(log.text().find("SimConnect closed ok"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, LinkIdentity,
    ::testing::Values(
        IdentityCase{"KittyHawk", true, "MSFS 2020 (11.0.282174.999)", ""},
        IdentityCase{"Kitty-Hawk!", true, "MSFS 2020 (11.0.282174.999)", ""},
        IdentityCase{"SunRise", false, "MSFS 2024", ""},
        IdentityCase{"SunRise", true, "",
                     "71: MSFS 2024 is running ..., switch Sim or toggle the Install path checkbox of Vexa"},
        IdentityCase{"KittyHawk", false, "",
                     "71: MSFS 2020 is running ..., switch Sim or toggle the Install path checkbox of Vexa"},
        IdentityCase{"Prepar3D", true, "", "77: \"Prepar3D\" not being MSFS 2020 or MSFS 2024 connects ... ? "}));

TEST_F(LinkTest, DeclarationsFollowTheFixedOrder) {
    ASSERT_TRUE(lf_openSimConnect());
    const auto log = sim->callLog();
    std::vector<std::string> expected = {"open Vexa 0",
                                         "subscribeToSystemEvent 201 Sim",
                                         "subscribeToSystemEvent 202 ObjectAdded",
                                         "subscribeToSystemEvent 203 ObjectRemoved",
                                         "subscribeToSystemEvent 205 FlightLoaded",
                                         "subscribeToSystemEvent 204 Frame"};
    const char* defs[] = {"407 TITLE||StringV",
                          "408 ATC MODEL||String32",
                          "409 SIM ON GROUND|Bool|Int64",
                          "402 Plane Latitude|degree|Float64",
                          "402 Plane Longitude|degree|Float64",
                          "402 Plane Pitch degrees|radians|Float64",
                          "402 Plane Bank degrees|radians|Float64",
                          "402 Plane Heading degrees true|radians|Float64",
                          "402 Plane Altitude|feet|Float64",
                          "402 Vertical Speed|feet per second|Float64",
                          "402 Airspeed True|knots|Float64",
                          "403 Plane Latitude|degree|Float64",
                          "403 Plane Longitude|degree|Float64",
                          "403 Plane Pitch degrees|radians|Float64",
                          "403 Plane Bank degrees|radians|Float64",
                          "403 Plane Heading degrees true|radians|Float64",
                          "403 Plane Altitude|feet|Float64",
                          "403 Plane Alt Above Ground|feet|Float64",
                          "403 Ground Velocity|knots|Float64",
                          "403 ZULU TIME|Seconds|Int64",
                          "403 ZULU DAY OF YEAR|Number|Int64",
                          "403 ZULU YEAR|Number|Int64",
                          "403 LIGHT STATES|Mask|Int64",
                          "405 Static CG to Ground|feet|Float64",
                          "405 Static Pitch|radians|Float64",
                          "406 Light On States|Mask|Int64",
                          "404 Plane Alt Above Ground|feet|Float64",
                          "404 Ground Altitude|feet|Float64",
                          "404 SIM ON GROUND|Bool|Int64",
                          "404 ATC ID||String32",
                          "401 SPOILERS HANDLE POSITION|percent|Float64",
                          "401 GENERAL ENG THROTTLE LEVER POSITION:1|percent|Float64",
                          "401 GENERAL ENG THROTTLE LEVER POSITION:2|percent|Float64"};
    for (auto d : defs) expected.push_back(std::string("addToDataDefinition ") + d);
    const char* maps[] = {"219 GEAR_SET",
                          "220 ENGINE_AUTO_START",
                          "221 ENGINE_AUTO_SHUTDOWN",
                          "222 THROTTLE_SET",
                          "217 FLAPS_SET",
                          "218 SPOILERS_SET",
                          "207 NAV_LIGHTS_SET",
                          "206 BEACON_LIGHTS_SET",
                          "210 LANDING_LIGHTS_SET",
                          "208 TAXI_LIGHTS_SET",
                          "209 STROBES_SET",
                          "212 LOGO_LIGHTS_SET",
                          "211 CABIN_LIGHTS_SET",
                          "213 ALL_LIGHTS_TOGGLE",
                          "214 FREEZE_LATITUDE_LONGITUDE_SET",
                          "215 FREEZE_ALTITUDE_SET",
                          "216 FREEZE_ATTITUDE_SET"};
    for (auto m : maps) expected.push_back(std::string("mapClientEventToSimEvent ") + m);
    for (int e : {207, 206, 210, 208, 209, 212, 211, 213, 217, 218, 219, 221, 222, 214, 215, 216})
        expected.push_back(fmt::format("addClientEventToNotificationGroup 301 {} 1", e));
    expected.push_back("setNotificationGroupPriority 301 1");
    EXPECT_EQ(log, expected);

    // Every declaration is accepted by the simulator, and the blocks have the sizes the program's
    // records assume.
    ASSERT_TRUE(pump());
    sim->setZulu(1765368000);
    UserState copy = gf_requestUserPosition();
    (void)copy;
    ASSERT_TRUE(pump());
    EXPECT_EQ(gf_linkUserState().latitude, 52.3);
    EXPECT_EQ(countCalls("requestDataOnSimObject 109 403 0 1"), 1u);
}

// ---------------------------------------------------------------------------------------------
// Creation hand-shake, removal, ground notices
// ---------------------------------------------------------------------------------------------

TEST_F(LinkTest, ACreateRequestBecomesARecognisedReleasedFrozenObject) {
    connect();
    EXPECT_EQ(simRunning.load(), 1);
    learnUser();
    const SimNotice n = createAndRecognise("KLM1234", 0x484B12);
    const auto o = sim->objectByAtcId("KLM1234");
    ASSERT_TRUE(o);
    EXPECT_EQ(n.kind, 0u);
    EXPECT_EQ(n.objectId, o->id);
    EXPECT_EQ(n.id, 0x484B12u);
    EXPECT_EQ(n.request, lastRequest) << "the answer names the creation it answers";
    EXPECT_EQ(countCalls(fmt::format("aiCreateNonAtcAircraft {}|KLM1234 {}", kTitleA320, lastRequest)), 1u);
    EXPECT_DOUBLE_EQ(n.b, 9.0);  // height above ground at recognition: its static CG height
    EXPECT_TRUE(o->released);
    EXPECT_FALSE(o->frozenLatLon);
    EXPECT_TRUE(pump(50));  // the freeze events go out with the next frame
    const auto frozen = sim->object(o->id);
    EXPECT_TRUE(frozen->frozenLatLon && frozen->frozenAltitude && frozen->frozenAttitude);
    EXPECT_TRUE(pendingCreates.empty());
    EXPECT_TRUE(newObjectIds.empty());
}

TEST_F(LinkTest, StaticIdsAndHelicoptersAreRecognisedToo) {
    connect();
    learnUser();
    struct Case {
        const char* callsign;
        const char* title;
        std::uint32_t hexid;
        std::uint32_t kind;
    };
    for (const Case& c : {Case{"KLM1*", kTitleA320, 10000, 1}, Case{"PH-ABC", kTitleA320, 10001, 0},
                          Case{"POLICE1", kTitleHeli, 0xABCDEF, 0}}) {
        queueCreate(c.callsign, c.title, c.hexid);
        ASSERT_TRUE(pump(50));
        ASSERT_TRUE(pump(100));
        scan();
        ASSERT_TRUE(pump());
        auto n = takeNotices();
        std::erase_if(n, [](const SimNotice& x) { return x.kind == 3; });  // ground data of the earlier ones
        ASSERT_EQ(n.size(), 1u) << c.callsign;
        EXPECT_EQ(n[0].kind, c.kind) << c.callsign;
        EXPECT_EQ(n[0].id, c.hexid);
        EXPECT_EQ(n[0].b, c.kind == 0 ? sim->objectByAtcId(c.callsign)->cgHeightFt : 0.0);
    }
}

TEST_F(LinkTest, ARefusedTitleBecomesCreateFailed) {
    connect();
    learnUser();
    queueCreate("DLH4U", "No Such Livery", 0x3C6444);
    ASSERT_TRUE(pump(50));  // sent by the frame flush
    ASSERT_TRUE(pump());    // refused
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].kind, 6u);
    EXPECT_EQ(n[0].objectId, 0u);
    EXPECT_EQ(n[0].id, 0x3C6444u);
    EXPECT_EQ(n[0].request, lastRequest);
    EXPECT_TRUE(pendingCreates.empty());
}

// An aircraft is created again while its first creation is still pending (the simulator never carried it
// out, or is late with it): the callsign cannot tell the two apart, the simulator's assignment can. The new
// object answers the new creation; the old one still waits.
TEST_F(LinkTest, AnObjectAnswersTheCreationTheSimulatorAssignedItTo) {
    connect();
    learnUser();
    pendingCreates.push_back(PendingCreate{900, 0x400001, "EZY12", 7, 0});  // sent long ago, never answered
    queueCreate("EZY12", kTitleA320, 0x400001);
    ASSERT_TRUE(pump(50));
    ASSERT_TRUE(pump(100));
    scan();
    ASSERT_TRUE(pump());
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].kind, 0u);
    EXPECT_EQ(n[0].request, lastRequest);
    ASSERT_EQ(pendingCreates.size(), 1u);
    EXPECT_EQ(pendingCreates[0].requestId, 7u);
}

// A creation the simulator will not carry out for too many objects is no longer pending; the engine gives it up
// as an unanswered one.
class FullSimulator : public LinkTest {
protected:
    vsim::StandInConfig config() override {
        vsim::StandInConfig c = linkStandInConfig();
        c.maxObjects = 0;
        return c;
    }
};

TEST_F(FullSimulator, ACreationDroppedForTooManyObjectsIsNoLongerPending) {
    connect();
    learnUser();
    queueCreate("EZY12", kTitleA320, 0x400001);
    ASSERT_TRUE(pump(50));
    ASSERT_TRUE(pump());
    EXPECT_TRUE(pendingCreates.empty());
    EXPECT_TRUE(takeNotices().empty());
    EXPECT_EQ(gf_statusSnapshot().statusText, "SimConnect: too many objects (max 1000)");
}

// A new object that a scan reports before the simulator's assignment of it came waits for the next scan while
// a creation of its callsign waits for its assignment; an object of a callsign nobody created is another
// client's.
TEST_F(LinkTest, AnObjectReportedBeforeItsAssignmentWaitsForTheNextScan) {
    connect();
    learnUser();
    queueCreate("EZY12", kTitleA320, 0x400001);
    ASSERT_TRUE(pump(50));
    ASSERT_TRUE(pump(100));
    ASSERT_EQ(pendingCreates.size(), 1u);
    const std::uint32_t assigned = pendingCreates[0].objectId;
    ASSERT_NE(assigned, 0u);
    pendingCreates[0].objectId = 0;  // as if the assignment were still on its way
    CapturedLog log;
    scan();
    ASSERT_TRUE(pump());
    EXPECT_TRUE(takeNotices().empty());
    EXPECT_EQ(log.text().find("just spawned, but not by"), std::string::npos);
    EXPECT_EQ(newObjectIds, std::vector<std::uint32_t>{assigned});
    vsim::RecvAssignedObjectIdMsg answer{{sizeof answer, 1, vsim::RecvAssignedObjectId}, lastRequest, assigned};
    gf_dispatchProc(&answer.header, sizeof answer, nullptr);
    scan();
    ASSERT_TRUE(pump());
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].objectId, assigned);
    EXPECT_EQ(n[0].request, lastRequest);
    EXPECT_TRUE(pendingCreates.empty());
    EXPECT_TRUE(newObjectIds.empty());
}

// An object removed (by another client) after the simulator assigned it, before any scan reported it: its
// creation is no longer pending, the removal is reported, and the engine gives the creation up.
TEST_F(LinkTest, AnObjectRemovedBeforeItWasRecognisedAnswersNothing) {
    connect();
    learnUser();
    queueCreate("EZY12", kTitleA320, 0x400001);
    ASSERT_TRUE(pump(50));
    ASSERT_TRUE(pump(100));
    ASSERT_EQ(pendingCreates.size(), 1u);
    const std::uint32_t object = pendingCreates[0].objectId;
    ASSERT_NE(object, 0u);
    sim->removeObject(object);
    ASSERT_TRUE(pump(50));
    EXPECT_TRUE(pendingCreates.empty());
    EXPECT_TRUE(newObjectIds.empty());
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].kind, 2u);
    EXPECT_EQ(n[0].objectId, object);
}

TEST_F(LinkTest, TwoPendingCreationsWithOneCallsignAreMatchedInTurn) {
    connect();
    learnUser();
    queueCreate("EZY12", kTitleA320, 0x400001);
    queueCreate("EZY12", kTitleA320, 0x400002);
    ASSERT_TRUE(pump(50));
    ASSERT_TRUE(pump(100));
    scan();
    ASSERT_TRUE(pump());
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0].id, 0x400001u);
    EXPECT_EQ(n[1].id, 0x400002u);
}

TEST_F(LinkTest, RemovalIsConfirmedAsObjectRemovedAndTheUserIsNeverRemoved) {
    connect();
    learnUser();
    const auto created = createAndRecognise("KLM1234", 0x484B12);
    CapturedLog log;
    {
        std::lock_guard lock(simQueueMutex);
        removeQueue.push_back(created.objectId);
        removeQueue.push_back(userObjectId.load());
    }
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(countCalls(fmt::format("aiRemoveObject {} 105", created.objectId)), 1u);
    EXPECT_EQ(countCalls("aiRemoveObject 1 "), 0u);
    EXPECT_NE(log.text().find("===> Simconnect call to remove ac with objectid 1"), std::string::npos);
    ASSERT_TRUE(pump(50));
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 1u);
    EXPECT_EQ(n[0].kind, 2u);
    EXPECT_EQ(n[0].objectId, created.objectId);
    EXPECT_FALSE(sim->object(created.objectId));
    EXPECT_EQ(stopRequested.load(), 0);
}

TEST_F(LinkTest, KnownObjectsNearTheGroundGiveGroundNotices) {
    connect();
    learnUser();
    struct Case {
        const char* atcId;
        double altFt;
        bool notice;
    };
    const Case cases[] = {{"AT2500", 2500.0, true},
                          {"AT2500_1", 2500.1, false},
                          {"STATIC*", 10.0, false},
                          {"", 10.0, false},
                          {"LOW", 300.0, true}};
    for (const auto& c : cases)
        sim->addForeignAircraft({kTitleA320, c.atcId, vsim::InitPosition{52.31, 4.76, c.altFt, 0, 0, 0, 0, 0}});
    CapturedLog log;
    ASSERT_TRUE(pump(50));
    scan();  // first answer: new objects that the program did not create
    ASSERT_TRUE(pump());
    EXPECT_TRUE(takeNotices().empty());
    EXPECT_NE(log.text().find("just spawned, but not by Vexa, oid: "), std::string::npos);
    EXPECT_NE(log.text().find("callsign \"AT2500\", altaboveGnd:2500 ft, onground:0, gnd_alt:0 ft "),
              std::string::npos);
    scan();  // now they are known objects
    ASSERT_TRUE(pump());
    const auto n = takeNotices();
    ASSERT_EQ(n.size(), 2u);
    EXPECT_EQ(n[0].kind, 3u);
    EXPECT_EQ(n[0].objectId, sim->objectByAtcId("AT2500")->id);
    EXPECT_EQ(n[0].id, 0u);  // not on the ground
    EXPECT_DOUBLE_EQ(n[0].a, 0.0);
    EXPECT_DOUBLE_EQ(n[0].b, 2500.0);
    EXPECT_EQ(n[1].objectId, sim->objectByAtcId("LOW")->id);
}

// ---------------------------------------------------------------------------------------------
// Frame flush
// ---------------------------------------------------------------------------------------------

TEST_F(LinkTest, EventsAndPositionsAreNeverSentToTheUserOrBelow) {
    connect();
    learnUser();
    const auto id = createAndRecognise("KLM1234", 0x484B12).objectId;
    ASSERT_TRUE(pump(50));  // freeze events out
    const auto before = sim->object(id)->events.size();
    {
        std::lock_guard lock(simQueueMutex);
        eventQueue.push_back({0, vsim::kEvNavLightsSet, 1});
        eventQueue.push_back({userObjectId.load(), vsim::kEvNavLightsSet, 1});
        eventQueue.push_back({id, vsim::kEvBeaconLightsSet, 1});
        positionFrontBuffer->push_back(PositionUpdate{vsim::PositionBlock{52.4, 4.8, 0, 0, 1.0, 3000, 0, 200}, id});
        positionFrontBuffer->push_back(
            PositionUpdate{vsim::PositionBlock{1, 1, 0, 0, 0, 0, 0, 0}, userObjectId.load()});
    }
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(countCalls("transmitClientEvent 1 "), 0u);
    EXPECT_EQ(countCalls("transmitClientEvent 0 "), 0u);
    EXPECT_EQ(countCalls("setDataOnSimObject 402 1 "), 0u);
    const auto o = sim->object(id);
    ASSERT_EQ(o->events.size(), before + 1);
    EXPECT_EQ(o->events.back().first, "BEACON_LIGHTS_SET");
    EXPECT_DOUBLE_EQ(o->position.latitude, 52.4);
    EXPECT_DOUBLE_EQ(o->position.altitude, 3000);
    EXPECT_EQ(sim->object(sim->userObjectId())->position.latitude, 52.3);
    std::lock_guard lock(simQueueMutex);
    EXPECT_TRUE(positionFrontBuffer->empty());
    EXPECT_TRUE(eventQueue.empty());
}

TEST_F(LinkTest, FlapsReleaseAiControlBeforeAndAfterUnlessTheEventFails) {
    connect();
    learnUser();
    const auto id = createAndRecognise("KLM1234", 0x484B12).objectId;
    ASSERT_TRUE(pump(50));
    gf_queueClientEvent({id, vsim::kEvFlapsSet, 3072});
    ASSERT_TRUE(pump(50));
    auto log = sim->callLog();
    const auto release = fmt::format("aiReleaseControl {} 103", id);
    const auto flaps = fmt::format("transmitClientEvent {} 217 3072 301 0", id);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], release);
    EXPECT_EQ(log[log.size() - 2], flaps);
    EXPECT_EQ(log[log.size() - 1], release);

    sim->failCalls("transmitClientEvent", 1);
    gf_queueClientEvent({id, vsim::kEvFlapsSet, 0});
    gf_queueClientEvent({id, vsim::kEvGearSet, 1});
    ASSERT_TRUE(pump(50));
    log = sim->callLog();
    EXPECT_EQ(log[log.size() - 2], release);                                       // only before the failed one
    EXPECT_EQ(log.back(), fmt::format("transmitClientEvent {} 219 1 301 0", id));  // the queue went on
    EXPECT_EQ(gf_statusSnapshot().statusText, "SimConnect TransmitClientEvent: 217 fails");
    EXPECT_EQ(stopRequested.load(), 0);
}

TEST_F(LinkTest, AfterAFailedCallTheQueuesAreDroppedAndTheRunRestarts) {
    connect();
    learnUser();
    sim->failCalls("aiCreateNonAtcAircraft", 1);
    CapturedLog log;
    queueCreate("KLM1234", kTitleA320, 0x484B12);
    ASSERT_TRUE(pump(50));
    EXPECT_NE(
        log.text().find("===> ! Simcon call to create ac in sim failed, hexid:4737810, liv: \"Airbus A320neo KLM\", "
                        "callsign: KLM1234"),
        std::string::npos);
    EXPECT_EQ(simConnectError.load(), 1);
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_SIMCONNECT_ERROR);
    EXPECT_EQ(restartDelaySec.load(), 9u);
    EXPECT_TRUE(pendingCreates.empty());

    queueCreate("KLM5678", kTitleA320, 0x484B13);
    gf_queueClientEvent({500, vsim::kEvNavLightsSet, 1});
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(countCalls("aiCreateNonAtcAircraft"), 0u);  // the failed one was not accepted
    EXPECT_EQ(countCalls("transmitClientEvent"), 0u);
    std::lock_guard lock(simQueueMutex);
    EXPECT_TRUE(createQueue.empty());
    EXPECT_TRUE(eventQueue.empty());
}

TEST_F(LinkTest, TheFrameRateIsPublishedEveryThirtiethFrame) {
    connect();
    frameRate = 0;
    ASSERT_TRUE(pump(29 * 50));
    EXPECT_EQ(frameRate.load(), 0.0f);
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(frameRate.load(), 20.0f);
}

// ---------------------------------------------------------------------------------------------
// The user aircraft
// ---------------------------------------------------------------------------------------------

TEST_F(LinkTest, TheOnceASecondAnswerTicksAndTellsTheGround) {
    sim->setInFlight(false);
    connect();
    EXPECT_EQ(simRunning.load(), 0);
    gf_requestUserOnGround();
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(secondTick.exchange(0), 1);
    EXPECT_EQ(userOnGroundValid.load(), 0);  // in the menu: no position yet

    sim->setInFlight(true);
    ASSERT_TRUE(pump());
    EXPECT_EQ(simRunning.load(), 1);
    EXPECT_TRUE(mainWindow.flightRunning.load());
    learnUser();
    ASSERT_TRUE(pump(1000));
    EXPECT_EQ(secondTick.exchange(0), 1);
    EXPECT_EQ(userOnGroundValid.load(), 1);
    EXPECT_EQ(userOnGround.load(), 1);
    sim->placeUser({0, 52.3, 4.76, 3000, -1, 90, 250});
    ASSERT_TRUE(pump(1000));
    EXPECT_EQ(userOnGround.load(), 0);
}

TEST_F(LinkTest, TheUserStateArrivesAndAJumpOfMoreThanTenMilesIsANewFlight) {
    connect();
    CapturedLog log;
    professionalAccount = true;
    sim->setZulu(1765368000 + 3661);  // 2025-12-10 13:01:01
    const UserState first = gf_requestUserPosition();
    EXPECT_EQ(first.latitude, 0.0);  // the answer comes on a later dispatch
    ASSERT_TRUE(pump());
    const UserState s = gf_requestUserPosition();
    EXPECT_EQ(s.latitude, 52.3);
    EXPECT_EQ(s.longitude, 4.76);
    EXPECT_EQ(s.zuluYear, 2025);
    EXPECT_EQ(simUtcEpoch.load(), 1765368000 + 3661);
    EXPECT_EQ(userObjectId.load(), sim->userObjectId());
    EXPECT_EQ(stopRequested.load(), 0);  // the first answer is never a teleport

    sim->placeUser({0, 52.3 + 9.99 / 60.0, 4.76, -20, -1, 0, 120});
    gf_requestUserPosition();
    ASSERT_TRUE(pump());
    EXPECT_EQ(stopRequested.load(), 0);
    EXPECT_EQ(gf_linkUserState().altitude, 0.0);  // never below 0

    sim->placeUser({0, 52.3 + (9.99 + 10.01) / 60.0, 4.76, 1000, -1, 0, 120});
    gf_requestUserPosition();
    ASSERT_TRUE(pump());
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_NEW_FLIGHT);
    EXPECT_EQ(restartDelaySec.load(), 45u);
    EXPECT_NE(log.text().find("Teleport\n"), std::string::npos);
}

TEST_F(LinkTest, AnUnsetPositionIsNoTeleportButLeavingOneForItIs) {
    connect();
    sim->setInFlight(false);  // the menu reports 0, 0
    gf_requestUserPosition();
    ASSERT_TRUE(pump());
    sim->setInFlight(true);
    gf_requestUserPosition();
    ASSERT_TRUE(pump());
    EXPECT_EQ(stopRequested.load(), 0);
    sim->setInFlight(false);
    gf_requestUserPosition();
    ASSERT_TRUE(pump());
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_NEW_FLIGHT);
}

TEST_F(LinkTest, ALoadedFlightEndsTheRun) {
    connect();
    CapturedLog log;
    sim->loadFlight("C:/flights/other.FLT");
    ASSERT_TRUE(pump());
    EXPECT_NE(log.text().find("===> SimConnect: New file event"), std::string::npos);
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_NEW_FLIGHT);
    EXPECT_EQ(restartDelaySec.load(), 45u);
}

TEST_F(LinkTest, QuitOnlyStopsTheFlight) {
    connect();
    ASSERT_EQ(simRunning.load(), 1);
    sim->quit();
    ASSERT_TRUE(pump(50));
    EXPECT_EQ(simRunning.load(), 0);
    EXPECT_EQ(stopRequested.load(), 0);
    EXPECT_TRUE(mainWindow.simConnected.load());
    EXPECT_TRUE(pump(50));  // the dead connection is still pumped until the run stops it
}

TEST_F(LinkTest, ExceptionsAreLoggedOrEndTheConnection) {
    connect();
    CapturedLog log;
    sim->injectException(vsim::ExceptionUnrecognizedId);  // before the user's position is known: silent
    sim->injectException(vsim::ExceptionInvalidDataSize);
    sim->injectException(vsim::ExceptionOperationInvalidForObjectType);
    sim->injectException(vsim::ExceptionLoadFlightplanFailed);
    sim->injectException(vsim::ExceptionTooManyObjects);
    sim->injectException(42);
    ASSERT_TRUE(pump());
    learnUser();
    sim->injectException(vsim::ExceptionUnrecognizedId);
    ASSERT_TRUE(pump());
    const std::string text = log.text();
    EXPECT_EQ(text.find("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), text.rfind("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"));
    EXPECT_NE(text.find("===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), std::string::npos);
    EXPECT_NE(text.find("SIMCON EXCEP 19\n"), std::string::npos);
    EXPECT_NE(text.find("SIMCON EXCEP 24\n"), std::string::npos);
    EXPECT_NE(text.find("===> Simconnect exception: load flight plan failed"), std::string::npos);
    EXPECT_NE(text.find("SimConnect: too many objects (max 1000)"), std::string::npos);
    EXPECT_NE(text.find("===> SIMCON EXCEP 42"), std::string::npos);
    EXPECT_EQ(stopRequested.load(), 0);

    sim->injectException(vsim::ExceptionVersionMismatch, 0, 7);
    EXPECT_FALSE(pump());
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, "95: Simconnect Version Mismatch, dwindex: 7 ");
    EXPECT_EQ(sim->openConnections(), 0);
    EXPECT_EQ(stopRequested.load(), 0);
}

TEST_F(LinkTest, AnyOtherExceptionEndsTheRunAsSimWasClosed) {
    simRunning = 1;
    lf_onSimClientException(std::make_exception_ptr(std::runtime_error("boom")));
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, "boom");
    EXPECT_EQ(simRunning.load(), 0);
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_SIM_WAS_CLOSED);
    stopRequested = 0;
    exitReason = EXIT_NOT_YET_SET;
    mainWindow.resetRunFields();
    lf_onSimClientException(std::make_exception_ptr(42));
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, "Exception in SimClient");
    EXPECT_EQ(exitReason.load(), EXIT_SIM_WAS_CLOSED);
}

TEST_F(LinkTest, UnknownMessagesAreLoggedAndTheCreationAnswerIgnored) {
    CapturedLog log;
    vsim::RecvAssignedObjectIdMsg assigned{{sizeof assigned, 1, vsim::RecvAssignedObjectId}, 104, 200};
    gf_dispatchProc(&assigned.header, sizeof assigned, nullptr);
    vsim::RecvHeader odd{sizeof odd, 1, 13};
    gf_dispatchProc(&odd, sizeof odd, nullptr);
    gf_dispatchProc(nullptr, 0, nullptr);
    EXPECT_EQ(log.text(), "! Unknown Dispatch dwID 13\n");
}

// ---------------------------------------------------------------------------------------------
// Title and model of the user aircraft
// ---------------------------------------------------------------------------------------------

class UserModel : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        wingspanTable = {{"B738", 0.0097}, {"A320", 0.0096}, {"CRJ7", 0.0062}, {"E190", 0.0078}, {"A388", 0.0215}};
        largestHalfSpanNm = 0.0215;
        largeTypes = {"B738", "A320", "E190"};
        connect();
    }
    void deduce(const std::string& title, const std::string& model) {
        sim->setUserTitle(title);
        sim->setUserModel(model);
        gf_requestUserTitleAndModel();
        ASSERT_TRUE(pump());
    }
};

TEST_F(UserModel, ModelRules) {
    struct Case {
        const char* raw;
        const char* title;
        const char* model;
    };
    const Case cases[] = {
        {"A350-900", "", "A359"},
        {"N738B", "", "B38M"},
        {"777", "", "772"},
        {"A330-200 (RR)", "", "A332"},
        {"TT:ATCCOM.AC_MODEL_B738.0.text", "", "B738"},
        {"ATCCOM.AC_MODEL A320.0.text", "", "A320"},
        {"XX.0.text", "", "XX.0.text"},  // nothing known in front
        {"8.0.text", "", "8.0.text"},    // fewer than two characters in front
        {".0.text", "", ".0.text"},
        {"$$:A20N", "", "A20N"},
        {"$$:AB", "", "AB"},
        {"$$:A", "", "$$:A"},
        {"737", "DG 737-800 KLM", "B738"},
        {"737", "Boeing DG 737-700", "B737"},
        {"737", "DG 737-600", "B736"},
        {"737", "DG 737-900ER", "B739"},
        {"737", "Boeing 737 MAX", "737"},
        {"C172", "", "C172"},
    };
    for (const auto& c : cases) EXPECT_EQ(lf_modelFromAtcModel(c.raw, c.title), c.model) << c.raw;
}

TEST_F(UserModel, AKnownTypeGivesItsSpanAndCategory) {
    CapturedLog log;
    deduce("PMDG 737-800 KLM", "TT:ATCCOM.AC_MODEL_B738.0.text");
    EXPECT_EQ(userModelKnown.load(), 1);
    EXPECT_DOUBLE_EQ(userHalfWingSpanNm.load(), 0.0097);
    EXPECT_EQ(userCategory.load(), 2u);
    EXPECT_TRUE(mainWindow.userModelKnown.load());
    EXPECT_EQ(mainWindow.userAircraftText.get(), "PMDG 737-800 KLM");
    EXPECT_NE(log.text().find("          SimConnect: User aircraft title: PMDG 737-800 KLM\n"), std::string::npos);
    EXPECT_NE(log.text().find("          model raw: TT:ATCCOM.AC_MODEL_B738.0.text \n"), std::string::npos);
    EXPECT_NE(
        log.text().find(fmt::format("          SimConnect: User aircraft model: B738, half wing span: {:.1F} meter, "
                                    "category: Large\n",
                                    0.0097 * 1852.0)),
        std::string::npos);
}

TEST_F(UserModel, TheLargestTypeIsNoUnknownSpan) {
    deduce("Airbus A380", "A388");
    EXPECT_DOUBLE_EQ(userHalfWingSpanNm.load(), 0.0215);
    EXPECT_TRUE(mainWindow.userModelKnown.load());
    EXPECT_EQ(gf_statusSnapshot().statusText, "");
}

TEST_F(UserModel, NoModelTakesTheCrj7) {
    deduce("Encrypted Jet", "");
    EXPECT_EQ(mainWindow.userAircraftText.get(), "Unknown (encrypted?) aircraft");
    EXPECT_EQ(gf_statusSnapshot().statusText,
              "171: No model info from your user aircraft received in SimConnect, CRJ7 is taken instead");
    EXPECT_DOUBLE_EQ(userHalfWingSpanNm.load(), 0.0062);
    EXPECT_EQ(userModelKnown.load(), 1);
}

TEST_F(UserModel, AnUnknownSpanIsFlaggedUntilASpanIsFound) {
    deduce("Some Long Model Name", "LONGMODEL");
    EXPECT_DOUBLE_EQ(userHalfWingSpanNm.load(), 0.0215);
    EXPECT_FALSE(mainWindow.userModelKnown.load());
    EXPECT_EQ(gf_statusSnapshot().statusText,
              "User aircraft wing span unknown, max is taken instead, please report in my Forum!");
    EXPECT_EQ(userModelKnown.load(), 1);

    deduce("Aerosoft A320 Lufthansa", "AEROSOFT320");
    EXPECT_DOUBLE_EQ(userHalfWingSpanNm.load(), 0.0096);
    EXPECT_TRUE(mainWindow.userModelKnown.load());
}

TEST_F(UserModel, CameraAndVesselAreNoAircraft) {
    deduce("Drone", "camerapod");
    EXPECT_DOUBLE_EQ(userHalfWingSpanNm.load(), 0.0078);
    EXPECT_EQ(userCategory.load(), 0u);
    EXPECT_TRUE(mainWindow.userModelKnown.load());
}

TEST_F(UserModel, TheTitleIsCutTo48CharactersAndKeptWhenUnchanged) {
    CapturedLog log;
    const std::string longTitle = std::string(48, 'T') + "123456789012";
    deduce(longTitle, "B738");
    EXPECT_EQ(mainWindow.userAircraftText.get(), std::string(48, 'T'));
    EXPECT_EQ(gf_userTitle(), std::string(48, 'T'));
    deduce(std::string(48, 'T') + "abc", "B738");
    const std::string text = log.text();
    EXPECT_EQ(text.find("User aircraft title"), text.rfind("User aircraft title"));
    deduce("", "B738");
    EXPECT_NE(log.text().find("! title of your ac is empty?\n"), std::string::npos);
    EXPECT_EQ(gf_userTitle(), std::string(48, 'T'));
}

TEST_F(UserModel, TheTitleCutNeverSplitsACharacter) {
    // "é" takes bytes 48 and 49: the cut keeps the 47 bytes in front of it.
    deduce(std::string(47, 'T') + "\xC3\xA9" + "xyz", "B738");
    EXPECT_EQ(gf_userTitle(), std::string(47, 'T'));
    deduce(std::string(46, 'T') + "\xC3\xA9" + "xyz", "B738");
    EXPECT_EQ(gf_userTitle(), std::string(46, 'T') + "\xC3\xA9");
}

}  // namespace
