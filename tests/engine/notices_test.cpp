// Notices from the simulator link and the feed, ghosts, MAX_LIVE, flight plans and the object-id file.
#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "catalogue/livery_matching.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/flight_plan.h"
#include "engine/notices.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "engine/upkeep.h"
#include "feed/feed_intake.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "shell/display.h"
#include "tests/common/engine_harness.h"

namespace {

class Notices : public ::testing::Test {
protected:
    EngineHarness h;
    void SetUp() override { h.addType("A320", AircraftCategory::Large); }

    // An active live aircraft put straight into the list.
    LiveAircraft& active(uint32_t hexid, const std::string& callsign, uint32_t objectId, double lat = 47.0,
                         double lon = 8.0) {
        SimAircraft head;
        TrafficRecord r = EngineHarness::record(hexid, callsign, "A320", lat, lon, 5000, 250, 90, 100);
        gf_makeAiRecord(head, r);
        head.id = hexid;
        LiveAircraft& ac = lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
        ac.simState = SimState::Active;
        lf_setLiveObjectId(ac, objectId);
        ac.position[kPosLat] = lat;
        ac.position[kPosLon] = lon;
        ac.setPhase(MovementPhase::Flying);
        return ac;
    }
    // A buffered live aircraft of an airline and registration with two points, ready for the spawn gate.
    LiveAircraft& atTheGate(uint32_t hexid, const std::string& callsign, const std::string& airline,
                            const std::string& registration) {
        TrafficRecord r = EngineHarness::record(hexid, callsign, "A320", 47.0, 8.0, 5000, 250, 90, 100);
        r.identity.airline = airline;
        r.identity.registration = registration;
        SimAircraft head;
        gf_makeAiRecord(head, r);
        head.id = hexid;
        lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
        LiveAircraft& ac = liveList.back();
        ac.stream.front().tick = engineTick.load();
        StreamPoint next = ac.stream.front();
        next.longitude += 0.01;
        next.tick += 100;
        ac.stream.push_back(next);
        return ac;
    }
    static std::string read(const std::filesystem::path& p) {
        std::ifstream f(p, std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
};

}  // namespace

TEST_F(Notices, StaticCgAndPitchBounds) {
    LiveAircraft& ac = active(20001, "CG1", 300);
    struct Case {
        double cg, pitchDeg, wantCg, wantPitchDeg;
    } cases[] = {{1.0, 2.5, 1.0, 2.5}, {35.0, -0.5, 35.0, -0.5}, {35.1, -1.0, 35.0, 0.7}, {0.5, 3.0, 35.0, 0.7}};
    for (const auto& c : cases) {
        gf_postEngineNotice(makeNotice(300, 0, NoticeKind::StaticCg, c.cg, c.pitchDeg * 0.017453292519943295));
        gf_drainEngineInbox();
        EXPECT_DOUBLE_EQ(ac.staticCgFt, c.wantCg);
        EXPECT_NEAR(ac.staticPitch, c.wantPitchDeg * 0.017453292519943295, 1e-12);
    }
}

TEST_F(Notices, GroundInfoSetsHeightAndAltitudeOnTheGround) {
    LiveAircraft& ac = active(20002, "GND1", 301);
    ac.staticCgFt = 8.0;
    ac.rotationCountdown = 1;
    ac.landing = 1;
    ac.rolloutTicks = 300;
    ac.staticPitch = 0.01;
    ac.position[kPosPitch] = -0.05;
    gf_postEngineNotice(makeNotice(301, 1, NoticeKind::GroundInfo, 400.0, 3.0));
    gf_drainEngineInbox();
    EXPECT_EQ(ac.onGround, 1);
    EXPECT_EQ(ac.landed, 1);
    EXPECT_EQ(ac.rollingOut, 1);
    EXPECT_DOUBLE_EQ(ac.heightAglFt, 3.0);
    EXPECT_DOUBLE_EQ(ac.position[kPosAlt], 408.0);
    EXPECT_NEAR(ac.pitchStep, (0.01 + 0.05) / 300.0, 1e-15) << "the nose comes down over the roll-out";
}

TEST_F(Notices, BlockedAircraft) {
    LiveAircraft& a = active(20003, "BLK1", 302);
    LiveAircraft& b = active(20004, "BLK2", 0);
    b.simState = SimState::Buffer;
    gf_postEngineNotice(makeNotice(0, 20003, NoticeKind::Blocked));
    gf_postEngineNotice(makeNotice(0, 20004, NoticeKind::Blocked));
    gf_drainEngineInbox();
    EXPECT_EQ(a.simState, SimState::RemovingFromSim);
    EXPECT_EQ(b.removeFromBuffer, 1);
}

TEST_F(Notices, CreateFailedChoosesListByIdAndLiveryRespawnComesBack) {
    active(10001, "LIVE", 303);
    SimAircraft s;
    s.id = 10000;
    s.creationRequest = 71;
    staticList.push_back(s);
    gf_postEngineNotice(makeCreationAnswer(0, 10000, NoticeKind::CreateFailed, 71));
    gf_drainEngineInbox();
    EXPECT_TRUE(staticList.empty());
    EXPECT_EQ(liveList.size(), 1u);
    liveList[0].simState = SimState::LiveryRespawn;
    gf_postEngineNotice(makeNotice(303, 0, NoticeKind::ObjectRemoved));
    gf_drainEngineInbox();
    ASSERT_EQ(liveList.size(), 1u);
    EXPECT_EQ(liveList[0].simState, SimState::Buffer);
    EXPECT_EQ(liveList[0].objectId, 0u);
    liveList[0].creationRequest = 72;
    gf_postEngineNotice(makeCreationAnswer(0, 10001, NoticeKind::CreateFailed, 72));
    gf_drainEngineInbox();
    EXPECT_TRUE(liveList.empty());
}

// Only the answer to the creation an aircraft waits for is its answer: a refusal of an earlier creation leaves
// it alone, an object of an earlier creation (or of one without a request) is removed at once, live or static.
TEST_F(Notices, AnAnswerCountsOnlyForTheCreationItAnswers) {
    LiveAircraft& live = active(0x3c0201, "NEW1", 0);
    live.simState = SimState::Adding2Sim;
    live.creationRequest = 80;
    SimAircraft s;
    s.id = 6;
    s.identity.callsign = "ST6*";
    s.simState = SimState::Adding2Sim;
    s.creationRequest = 90;
    staticList.push_back(s);
    CapturedLog log;
    gf_postEngineNotice(makeCreationAnswer(0, 0x3c0201, NoticeKind::CreateFailed, 79));
    gf_postEngineNotice(makeCreationAnswer(0, 6, NoticeKind::CreateFailed, 89));
    gf_postEngineNotice(makeCreationAnswer(500, 0x3c0201, NoticeKind::LiveCreated, 79, 3000.0));
    gf_postEngineNotice(makeCreationAnswer(501, 0x3c0201, NoticeKind::LiveCreated, 0, 3000.0));
    gf_postEngineNotice(makeCreationAnswer(502, 6, NoticeKind::StaticCreated, 89));
    gf_drainEngineInbox();
    ASSERT_EQ(liveList.size(), 1u);
    ASSERT_EQ(staticList.size(), 1u);
    EXPECT_EQ(liveList[0].objectId, 0u);
    EXPECT_EQ(liveList[0].creationRequest, 80u) << "still waiting for its own answer";
    EXPECT_EQ(staticList[0].creationRequest, 90u);
    EXPECT_EQ(std::vector<uint32_t>(removeFifo.begin(), removeFifo.end()), (std::vector<uint32_t>{500, 501, 502}));
    EXPECT_NE(log.text().find("object 500 created for 3932673 by request 79, which no aircraft waits for, is removed"),
              std::string::npos)
        << log.text();
    gf_postEngineNotice(makeCreationAnswer(503, 0x3c0201, NoticeKind::LiveCreated, 80, 3000.0));
    gf_postEngineNotice(makeCreationAnswer(504, 6, NoticeKind::StaticCreated, 90));
    gf_drainEngineInbox();
    EXPECT_EQ(liveList[0].objectId, 503u);
    EXPECT_EQ(liveList[0].creationRequest, 0u);
    EXPECT_EQ(staticList[0].creationRequest, 0u);
    EXPECT_EQ(removeFifo.size(), 3u);
    EXPECT_EQ(gf_lightToggleCount(), 2u);
    removeFifo.clear();
}

TEST_F(Notices, StaticCreatedBecomesActiveAfterTwoHundredTicksAndIsRemovedThenIfAsked) {
    SimAircraft s;
    s.id = 5;
    s.identity.callsign = "ST5*";
    s.simState = SimState::Adding2Sim;
    s.creationRequest = 73;
    staticList.push_back(s);
    gf_postEngineNotice(makeCreationAnswer(400, 5, NoticeKind::StaticCreated, 73));
    gf_drainEngineInbox();
    removeAircraftFromSim(staticList[0]);  // within the first 2 s: flagged
    EXPECT_EQ(staticList[0].removeWhenCreated, 1);
    for (int i = 0; i < 198; ++i) gf_drainEngineInbox();
    EXPECT_EQ(staticList[0].simState, SimState::Adding2Sim);
    gf_drainEngineInbox();
    EXPECT_EQ(staticList[0].objectId, 400u);
    EXPECT_EQ(staticList[0].simState, SimState::RemovingFromSim);
    EXPECT_EQ(removeFifo.size(), 1u);
}

TEST_F(Notices, GhostIsRemovedWhenItsOwnerSpawnsAndNeverComesBack) {
    LiveAircraft& ghost = active(20010, "ABC123_", 310);
    (void)ghost;
    EXPECT_TRUE(lf_hasGhostOwner("ABC123_") == false);
    lf_removeGhost("ABC123");
    EXPECT_EQ(liveList[0].simState, SimState::RemovingFromSim);
    ASSERT_EQ(removedGhosts.size(), 1u);
    EXPECT_EQ(removedGhosts[0], "ABC123_");
    // A buffered incarnation of the ghost is discarded at the gate.
    LiveAircraft& again = active(20011, "ABC123_", 0);
    again.simState = SimState::Buffer;
    again.stream.push_back(again.stream.back());
    again.stream.front().tick = engineTick.load();
    lf_spawnGate(again);
    EXPECT_EQ(again.removeFromBuffer, 1);
    LiveAircraft& owner = active(20012, "ABC123", 311);
    (void)owner;
    EXPECT_TRUE(lf_hasGhostOwner("ABC123_"));
}

TEST_F(Notices, MaxLiveRemovesTheFarthest) {
    userState.latitude = 47.0;
    userState.longitude = 8.0;
    for (uint32_t i = 0; i < 5; ++i) active(20020 + i, "F" + std::to_string(i), 320 + i, 47.0, 8.0 + 0.1 * (i + 1));
    MAX_LIVE.value = 3;
    gf_enforceMaxLive();
    MAX_LIVE.value = MAX_LIVE.defaultValue;
    int removing = 0;
    for (const auto& ac : liveList) {
        const bool far = ac.id >= 20023;
        EXPECT_EQ(ac.simState == SimState::RemovingFromSim, far) << ac.id;
        removing += ac.simState == SimState::RemovingFromSim;
    }
    EXPECT_EQ(removing, 2);
}

TEST_F(Notices, SpawnGateMaxLiveMakesRoomOrDiscards) {
    userState.latitude = 47.0;
    userState.longitude = 8.0;
    for (uint32_t i = 0; i < 3; ++i) active(20030 + i, "M" + std::to_string(i), 330 + i, 47.0, 8.5);
    MAX_LIVE.value = 3;
    auto buffered = [&](uint32_t hexid, double lon) -> LiveAircraft& {
        LiveAircraft& ac = active(hexid, "N" + std::to_string(hexid), 0, 47.0, lon);
        ac.simState = SimState::Buffer;
        ac.setPhase(MovementPhase::Birth);
        ac.stream.front().latitude = 47.0;
        ac.stream.front().longitude = lon;
        ac.stream.front().tick = engineTick.load();
        ac.stream.push_back(ac.stream.front());
        return ac;
    };
    LiveAircraft& farther = buffered(20040, 9.5);
    lf_spawnGate(farther);
    EXPECT_EQ(farther.removeFromBuffer, 1) << "nothing farther to remove";
    LiveAircraft& nearer = buffered(20041, 8.1);
    h.giveLivery(20041);
    lf_spawnGate(nearer);
    MAX_LIVE.value = MAX_LIVE.defaultValue;
    EXPECT_EQ(nearer.simState, SimState::Adding2Sim);
    EXPECT_EQ(std::count_if(liveList.begin(), liveList.end(),
                            [](const LiveAircraft& a) { return a.simState == SimState::RemovingFromSim; }),
              1);
}

TEST_F(Notices, FlightPlanFileAndFolder) {
    ASSERT_TRUE(gf_createFlightPlanFolder());
    const auto path = gf_flightPlanPath(1234);
    EXPECT_EQ(path.filename(), "1234.pln");
    EXPECT_EQ(path.parent_path().filename(), "orig_dest");
    SimAircraft ac;
    ac.category = static_cast<uint32_t>(AircraftCategory::Heavy);
    ac.identity.origin = "EDDF";
    ac.identity.destination = "K<&>";
    ASSERT_TRUE(gf_writeFlightPlan(path, ac));
    EXPECT_EQ(read(path),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
              "<FlightPlan.FlightPlan>\n<FPType>IFR</FPType>\n<DepartureID>EDDF</DepartureID>\n"
              "<DestinationID>K&lt;&amp;&gt;</DestinationID>\n</FlightPlan.FlightPlan>\n</SimBase.Document>\n");
    ac.category = static_cast<uint32_t>(AircraftCategory::Light);
    ASSERT_TRUE(gf_writeFlightPlan(path, ac));
    EXPECT_NE(read(path).find("<FPType>VFR</FPType>"), std::string::npos);
    // The removal of its object deletes the plan.
    LiveAircraft& live = active(20050, "FP1", 1234);
    live.hasFlightPlan = 1;
    gf_postEngineNotice(makeNotice(1234, 0, NoticeKind::ObjectRemoved));
    gf_drainEngineInbox();
    gf_waitFlightPlanWriter();  // the writer thread deletes it
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(liveList.empty());
    gf_removeFlightPlanFolder();
    EXPECT_FALSE(std::filesystem::exists(path.parent_path()));
    gf_removeFlightPlanFolder();  // absent: nothing happens
    EXPECT_FALSE(gf_writeFlightPlan(path, ac));
}

TEST_F(Notices, CallsignObjectIdFile) {
    LiveAircraft& a = active(20060, "DLH4", 600);
    a.identity.airline = "DLH";
    a.onGround = 1;
    active(20061, "BUF1", 0).simState = SimState::Buffer;
    gf_writeCallsignObjectIds();
    EXPECT_EQ(read("Callsign2ObjectId.txt"), "Gnd DLH4      DLH A320: 600 \n");
    gf_setupSessionContainers();
    EXPECT_FALSE(std::filesystem::exists("Callsign2ObjectId.txt"));
}

TEST_F(Notices, StaticCallsignsAndIds) {
    StaticJob job;
    job.callsignA = "EZY12__";
    job.callsignB = "U212";
    job.preferA = 1;
    EXPECT_EQ(lf_detcs(job), "EZY12*");
    job.preferA = 0;
    EXPECT_EQ(lf_detcs(job), "U212*");
    job.callsignB.clear();
    EXPECT_EQ(lf_detcs(job), "EZY12*");
    gf_resetStaticIdCounter();
    for (int i = 0; i < 9998; ++i) lf_nextStaticId();
    EXPECT_EQ(lf_nextStaticId(), 9999u);
    EXPECT_EQ(lf_nextStaticId(), 1u);
}

// The static id counter passes over the ids of statics still in the list, also across its wrap, so that
// the creation notice of a new static never reaches an older one that stays.
TEST_F(Notices, StaticIdsSkipThoseStillInUse) {
    struct Case {
        uint32_t counter;             // the last id handed out
        std::vector<uint32_t> inUse;  // ids of statics in the list
        uint32_t next;
    };
    const Case cases[] = {
        {9999, {1}, 2},
        {9998, {9999, 1, 2}, 3},
        {4, {5, 6}, 7},
        {7, {}, 8},
    };
    for (const Case& c : cases) {
        staticList.clear();
        gf_resetStaticIdCounter();
        for (uint32_t i = 0; i < c.counter; ++i) lf_nextStaticId();
        for (uint32_t id : c.inUse) {
            SimAircraft s;
            s.id = id;
            s.simState = SimState::Active;
            staticList.push_back(s);
        }
        EXPECT_EQ(lf_nextStaticId(), c.next) << "after " << c.counter;
    }

    // A static that stays through a whole round of ids, and one placed after the wrap: each takes its own
    // creation notice and both stand active.
    static const std::string title = "LH 320 static";
    airlineLiveries[0]["DLH"]["A320"] = {title};
    staticList.clear();
    currentStands.clear();
    for (uint32_t id : {1u, 2u}) {
        ParkPos stand;
        stand.id = id;
        stand.name = fmt::format("W{}", id);
        stand.latitude = 50.0 + id * 0.01;
        currentStands.push_back(stand);
    }
    StaticJob job;
    job.identity0 = "DLH";
    job.icaoType = "A320";
    job.standId = 1;
    gf_resetStaticIdCounter();
    staticJobs.push_back(job);
    auto allActive = [] {
        return staticJobs.empty() && std::all_of(staticList.begin(), staticList.end(),
                                                 [](const SimAircraft& s) { return s.simState == SimState::Active; });
    };
    ASSERT_TRUE(h.tickUntil(allActive, 400));
    ASSERT_EQ(staticList.size(), 1u);
    const uint32_t firstObject = staticList[0].objectId;
    while (lf_nextStaticId() != 9999) {}
    job.standId = 2;
    staticJobs.push_back(job);
    ASSERT_TRUE(h.tickUntil(allActive, 400)) << "the new static stays in adding2sim";
    ASSERT_EQ(staticList.size(), 2u);
    EXPECT_NE(staticList[0].id, staticList[1].id);
    EXPECT_EQ(staticList[0].objectId, firstObject);
    EXPECT_NE(staticList[1].objectId, firstObject);
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
}

TEST_F(Notices, StaticPlacementWithoutLiveryIsDropped) {
    ParkPos stand;
    stand.id = 1;
    stand.name = "A1";
    currentStands.push_back(stand);
    StaticJob job;
    job.standId = 1;
    job.identity0 = "DLH";
    job.icaoType = "A320";
    staticJobs.push_back(job);
    gf_placeStaticAircraft();
    EXPECT_TRUE(staticJobs.empty());
    EXPECT_TRUE(staticList.empty());
    EXPECT_TRUE(staticCreateFifo.empty());
}

TEST_F(Notices, StaticPlacementCreatesAParkedAircraftWithItsSlotMovedBack) {
    static const std::string title = "LH 320 static";
    airlineLiveries[0]["DLH"]["A320"] = {title};
    weekSlot.store(WeekSlot{3, 1}.packed());
    ParkPos stand;
    stand.id = 4;
    stand.name = "B4";
    stand.latitude = 50.05;
    stand.longitude = 8.57;
    stand.heading = 1.0;
    currentStands.push_back(stand);
    StaticJob job;
    job.standId = 4;
    job.identity0 = "DLH";
    job.icaoType = "A320";
    job.callsignA = "DLH4AB";
    job.preferA = 1;
    job.registration = "DAIPA";
    job.ageSlots = 3;
    job.planned = 0;
    job.feedHexid = 0x3c6444;
    staticJobs.push_back(job);
    ASSERT_TRUE(h.tickUntil([] { return !staticList.empty() && staticList[0].simState == SimState::Active; }, 400));
    const SimAircraft& s = staticList[0];
    EXPECT_EQ(s.identity.callsign, "DLH4AB*");
    EXPECT_EQ(s.liveryTitle, title);
    EXPECT_EQ(s.feedHexid, 0x3c6444u);
    EXPECT_EQ(s.planned, 0u);
    EXPECT_EQ(WeekSlot::fromPacked(s.parkedSlot), (WeekSlot{2, 46}));
    ASSERT_EQ(h.created.size(), 1u);
    EXPECT_FALSE(h.created[0].live);
    EXPECT_EQ(s.objectId, h.created[0].objectId);
    EXPECT_EQ(s.throttleIndex, 0u) << "the parked pattern was sent";
    EXPECT_TRUE(staticJobs.empty());
    // A second job next to a parked live aircraft is refused.
    stand.id = 5;
    stand.name = "B5";
    stand.coupledIds = {6};
    currentStands.push_back(stand);
    LiveAircraft& live = active(20070, "EZY1", 700);
    live.setPhase(MovementPhase::Parking);
    live.standId = 6;
    job.standId = 5;
    staticJobs.push_back(job);
    gf_placeStaticAircraft();
    EXPECT_EQ(staticList.size(), 1u);
}

// What stands on a job's stand, or on a stand coupled to it, when the job's turn comes: a live aircraft, an
// active static and one still being created use the job up; a static on its way out of the simulator makes
// the job wait for its removal (also behind other removals), but not for ever when the simulator never
// confirms it.
TEST_F(Notices, StaticJobWaitsOnlyForAStaticOnItsWayOut) {
    static const std::string title = "LH 320 static";
    airlineLiveries[0]["DLH"]["A320"] = {title};
    enum class Outcome {
        placed,
        usedUp
    };
    struct Case {
        const char* what;
        std::function<void()> occupy;  // stand 1 is the job's, stand 2 is coupled to it
        bool removalsAnswered;
        Outcome outcome;
    };
    auto parkedLive = [&](uint32_t hexid, uint32_t standId, MovementPhase phase) {
        LiveAircraft& l = active(hexid, fmt::format("EZY{}", hexid), hexid - 20000);
        l.stream.front().tick = engineTick.load() + 1000000;  // standing still
        l.stream.front().engineFlag = 1;
        l.onGround = 1;
        l.setPhase(phase);
        l.standId = standId;
    };
    auto staticOn = [](uint32_t standId, SimState state, uint32_t objectId) -> SimAircraft& {
        SimAircraft s;
        s.id = 700 + objectId;
        s.objectId = objectId;
        s.standId = standId;
        s.identity.callsign = fmt::format("OLD{}*", objectId);
        s.simState = state;
        staticList.push_back(s);
        return staticList.back();
    };
    const std::vector<Case> cases = {
        {"live aircraft parked on the stand", [&] { parkedLive(20081, 1, MovementPhase::Parked); }, true,
         Outcome::usedUp},
        {"live aircraft parking at the coupled stand", [&] { parkedLive(20082, 2, MovementPhase::Parking); }, true,
         Outcome::usedUp},
        {"active static on the stand", [&] { staticOn(1, SimState::Active, 803); }, true, Outcome::usedUp},
        {"static being created at the coupled stand",
         [&] { staticOn(2, SimState::Adding2Sim, 0).removeWhenCreated = 1; }, true, Outcome::usedUp},
        {"static whose removal is queued", [&] { removeAircraftFromSim(staticOn(1, SimState::Active, 805)); }, true,
         Outcome::placed},
        {"static at the coupled stand whose removal waits behind thirty others",
         [&] {
             for (uint32_t objectId = 5000; objectId < 5030; ++objectId) removeFifo.push_back(objectId);
             removeAircraftFromSim(staticOn(2, SimState::Active, 806));
         },
         true, Outcome::placed},
        {"static taken out of its creation queue",
         [&] {
             SimAircraft& s = staticOn(1, SimState::Adding2Sim, 0);
             staticCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 1, 0, s.identity.callsign, {}, s.id});
             removeAircraftFromSim(s);
         },
         true, Outcome::placed},
        {"static whose removal the simulator never confirms",
         [&] { removeAircraftFromSim(staticOn(1, SimState::Active, 808)); }, false, Outcome::usedUp},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        lf_clearLive();
        staticList.clear();
        staticJobs.clear();
        staticCreateFifo.clear();
        removeFifo.clear();
        currentStands.clear();
        for (uint32_t id : {1u, 2u}) {
            ParkPos stand;
            stand.id = id;
            stand.name = fmt::format("C{}", id);
            stand.coupledIds = {3 - id};
            currentStands.push_back(stand);
        }
        h.answerRemovals = c.removalsAnswered;
        // The job's first turn comes in the tick that sends the first queued removal.
        ASSERT_TRUE(h.tickUntil([] { return engineTick.load() % 50 == 45; }, 50));
        c.occupy();
        StaticJob job;
        job.standId = 1;
        job.identity0 = "DLH";
        job.icaoType = "A320";
        job.callsignA = "NEW1";
        job.preferA = 1;
        staticJobs.push_back(job);
        ASSERT_TRUE(h.tickUntil([] { return staticJobs.empty(); }, 2000));
        const bool placed = std::any_of(staticList.begin(), staticList.end(), [](const SimAircraft& s) {
            return s.identity.callsign == "NEW1*" && s.standId == 1;
        });
        EXPECT_EQ(placed, c.outcome == Outcome::placed);
        EXPECT_TRUE(h.violations.empty()) << h.violations.front();
        h.violations.clear();
    }
    h.answerRemovals = true;
}

TEST_F(Notices, SpawnGateKeepsTheUsersWayFreeByFirstPointAndTrack) {
    COLLISION_USER_AIR.value = true;
    COLLISION_USER_GND.value = true;
    userState.latitude = 47.0;
    userState.longitude = 8.0;
    userState.altitude = 5000;
    userState.heading = 0.0;
    // A buffered aircraft whose position block is unset: only its stream tells where it is.
    auto buffered = [&](uint32_t hexid, double lat, double lon, double alt, double track, double gs) -> LiveAircraft& {
        LiveAircraft& ac = active(hexid, "W" + std::to_string(hexid), 0, 0.0, 0.0);
        ac.simState = SimState::Buffer;
        ac.setPhase(MovementPhase::Birth);
        ac.position = {};
        StreamPoint p = ac.stream.front();
        p.latitude = lat;
        p.longitude = lon;
        p.altitudeFt = alt;
        p.airborne = alt > 0 ? 1 : 0;
        p.trackDeg = track;
        p.groundSpeedKt = gs;
        p.tick = engineTick.load();
        ac.stream = {p, p, p};
        ac.stream[1].longitude += 0.01;
        ac.stream[2].longitude += 0.02;
        h.giveLivery(hexid);
        return ac;
    };
    struct Case {
        bool userOnGround;
        double lat, lon, alt, track, gs;
        bool inWay;
    } cases[] = {
        {false, 47.03, 8.0, 5500, 180, 250, true},   // 1.8 nm ahead, flying at the user
        {false, 47.03, 8.0, 9000, 180, 250, false},  // 4000 ft above
        {false, 47.03, 8.0, 5500, 90, 250, false},   // crossing: the user is 1.8 nm off its course
        {true, 47.0005, 8.0, 0, 90, 10, true},       // on the ground 56 m from the user
        {true, 47.01, 8.0, 0, 90, 10, false},        // 1100 m away
    };
    uint32_t hexid = 30000;
    for (const auto& c : cases) {
        userOnGround.store(c.userOnGround ? 1 : 0);
        LiveAircraft& ac = buffered(++hexid, c.lat, c.lon, c.alt, c.track, c.gs);
        lf_spawnGate(ac);
        if (c.inWay) {
            EXPECT_EQ(ac.simState, SimState::Buffer) << hexid;
            EXPECT_EQ(ac.stream.size(), 2u) << "the first point is skipped";
        } else {
            EXPECT_EQ(ac.simState, SimState::Adding2Sim) << hexid;
        }
    }
    COLLISION_USER_AIR.value = COLLISION_USER_AIR.defaultValue;
    COLLISION_USER_GND.value = COLLISION_USER_GND.defaultValue;
}

TEST_F(Notices, StaticTakenOutOfTheQueueLeavesTheList) {
    SimAircraft s;
    s.id = 7;
    s.identity.callsign = "S7*";
    s.simState = SimState::Adding2Sim;
    staticList.push_back(s);
    // An order of no aircraft holds the static order back; the simulator refuses it, so no object is left.
    h.refuseHexids.insert(20001);
    liveCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 0, 0, "L1", {}, 20001});
    staticCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 1, 0, "S7*", {}, 7});
    removeAircraftFromSim(staticList[0]);
    EXPECT_TRUE(staticCreateFifo.empty());
    h.tick(60);
    EXPECT_TRUE(staticList.empty());
}

TEST_F(Notices, TooManyParkedRemovesTheStaticParkedEarliestAcrossTheWeekWrap) {
    // With no wanted parked aircraft any active static is one too many: the earliest parked goes.
    struct Case {
        WeekSlot now;
        WeekSlot first, second;
        const char* expectedRemoved;
    };
    const Case cases[] = {
        {{1, 2}, {1, 1}, {7, 46}, "EARLY*"},  // Monday just after the wrap: Sunday is earlier
        {{1, 2}, {7, 46}, {1, 1}, "EARLY*"},
        {{3, 10}, {3, 3}, {2, 5}, "EARLY*"},  // mid-week: plain order
    };
    for (const Case& c : cases) {
        staticList.clear();
        removeFifo.clear();
        weekSlot.store(c.now.packed());
        uint32_t objectId = 500;
        for (const auto& [slot, callsign] :
             {std::pair{c.first, c.first.weekday == c.now.weekday ? "LATE*" : "EARLY*"},
              std::pair{c.second, c.second.weekday == c.now.weekday ? "LATE*" : "EARLY*"}}) {
            SimAircraft s;
            s.id = objectId - 499;
            s.objectId = objectId++;
            s.identity.callsign = callsign;
            s.simState = SimState::Active;
            s.parkedSlot = slot.packed();
            staticList.push_back(s);
        }
        gf_keepParkedWithinPlan(0);
        for (const SimAircraft& s : staticList)
            EXPECT_EQ(s.simState == SimState::RemovingFromSim, s.identity.callsign == c.expectedRemoved)
                << s.identity.callsign << " now " << c.now.weekday << "/" << c.now.slot;
    }
    weekSlot.store(0);
}

TEST_F(Notices, ActiveAircraftWithoutObjectIdLeavesTheListInTheSameTick) {
    LiveAircraft& ac = active(0x4b1234, "NOOBJ", 0);
    ac.stream.front().tick = engineTick.load() + 1000;  // not yet due
    ac.stream.front().engineFlag = 1;                   // standing: no motion step
    h.tick(1);
    EXPECT_TRUE(liveList.empty());
    EXPECT_TRUE(removeFifo.empty());
}

TEST_F(Notices, SpawnGateKeepsTheFeedsTypeAndAirlineWhereTheRegistrationTableHasNone) {
    registrationTable["DAXYZ"] = DbaseReg{"", "", "", true};
    LiveAircraft& ac = atTheGate(0x3c0001, "DLH9", "DLH", "DAXYZ");
    lf_spawnGate(ac);
    EXPECT_EQ(ac.identity.airline, "DLH");
    EXPECT_EQ(ac.identity.icaoType, "A320");
    EXPECT_EQ(ac.cargoWanted, 1);
    registrationTable.erase(std::string("DAXYZ"));
}

// A respawn to a registration the table does not list drops the cargo wish of the old one.
TEST_F(Notices, SpawnGateForgetsTheCargoWishWhenTheTableHasNoEntry) {
    LiveAircraft& ac = atTheGate(0x3c0002, "DLH8", "DLH", "DNOTLISTED");
    ac.cargoWanted = 1;  // wished for by the registration it flew before
    lf_spawnGate(ac);
    EXPECT_EQ(ac.cargoWanted, 0);
}

TEST_F(Notices, StandOfAnAircraftThatNeverGotThereIsFreedAndObjectIdZeroMatchesNothing) {
    currentStands.emplace_back("B1", std::vector<StandOption>{}, 47.0, 8.0, 0.0, 20.0, 1, 1, 1);
    currentStands.back().id = 9;
    for (const bool refused : {false, true}) {
        lf_clearLive();
        liveCreateFifo.clear();
        currentStands.back().occupied = 1;
        LiveAircraft& ac = active(0x3c0002, "PARK1", 0);
        ac.simState = SimState::Adding2Sim;
        ac.standId = 9;
        if (refused) {
            ac.creationRequest = 74;
            gf_postEngineNotice(makeCreationAnswer(0, 0x3c0002, NoticeKind::CreateFailed, 74));
            gf_drainEngineInbox();
            EXPECT_TRUE(liveList.empty());
        } else {
            liveCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 0, 0, "PARK1", {}, 0x3c0002});
            removeAircraftFromSim(ac);
            EXPECT_EQ(ac.removedFromQueue, 1);
        }
        EXPECT_EQ(currentStands.back().occupied, 0) << (refused ? "refused" : "taken out of the queue");
    }
    lf_clearLive();
    // A buffered aircraft has object id 0 like a notice without an object: they must not meet.
    LiveAircraft& buffered = active(0x3c0003, "BUF1", 0);
    buffered.simState = SimState::Buffer;
    gf_postEngineNotice(makeNotice(0, 0, NoticeKind::ObjectRemoved));
    gf_postEngineNotice(makeNotice(0, 1, NoticeKind::GroundInfo, 400.0, 3.0));
    gf_drainEngineInbox();
    ASSERT_EQ(liveList.size(), 1u);
    EXPECT_EQ(liveList[0].heightAglFt, 2500.0);
    currentStands.clear();
}

TEST_F(Notices, RunCleanUpForgetsTheGhostsOfTheRun) {
    removedGhosts.push_back("DLH1_");
    standCheckList.push_back(0x3c0004);
    rememberedLiveries[0x3c0004] = "Test Livery";
    noMatchKeys.insert("DLH A320 DAIPB");
    gf_cleanupSessionContainers();
    EXPECT_TRUE(noMatchKeys.empty()) << "an aircraft without a livery in this run may find one in the next";
    EXPECT_TRUE(removedGhosts.empty());
    EXPECT_TRUE(standCheckList.empty());
    EXPECT_TRUE(rememberedLiveries.empty()) << "views into a catalogue that may be rebuilt";
}

TEST_F(Notices, PlanThatCannotBeDeletedIsLoggedAndTheAircraftStillLeaves) {
    ASSERT_TRUE(gf_createFlightPlanFolder());
    const auto path = gf_flightPlanPath(1235);
    std::filesystem::create_directory(path);  // a non-empty folder in its place cannot be removed as a file
    std::ofstream(path / "keep") << "x";
    LiveAircraft& live = active(20051, "FP2", 1235);
    live.hasFlightPlan = 1;
    gf_postEngineNotice(makeNotice(1235, 0, NoticeKind::ObjectRemoved));
    EXPECT_NO_THROW(gf_drainEngineInbox());
    EXPECT_TRUE(liveList.empty());
    gf_removeFlightPlanFolder();
}

TEST_F(Notices, LiveAircraftAtAStandMakesWayForItselfAndAtCoupledStandsWithinReach) {
    currentStands.clear();
    const double lons[] = {8.0, 8.0001, 8.01};  // the own stand, a coupled one a few metres off, a coupled one far off
    for (uint32_t i = 0; i < 3; ++i) {
        currentStands.emplace_back(fmt::format("S{}", i + 1), std::vector<StandOption>{}, 47.0, lons[i], 0.0, 20.0, 1,
                                   1, 1);
        currentStands.back().id = i + 1;
    }
    currentStands[0].coupledIds = {2, 3};
    auto placeStatic = [](uint32_t id, uint32_t standId, double lon, SimState state) {
        SimAircraft s;
        s.id = id;
        s.objectId = state == SimState::Active ? 600 + id : 0;
        s.identity.callsign = fmt::format("ST{}*", id);
        s.identity.icaoType = "A320";
        s.standId = standId;
        s.standLatitude = 47.0;
        s.standLongitude = lon;
        s.simState = state;
        staticList.push_back(s);
    };
    LiveAircraft& live = active(0x3c0005, "DLH5", 0);
    live.standId = 1;
    live.standLatitude = 47.0;
    live.standLongitude = 8.0;
    for (const bool queued : {false, true}) {
        staticList.clear();
        staticCreateFifo.clear();
        placeStatic(1, 1, 8.0, queued ? SimState::Adding2Sim : SimState::Active);
        if (queued) staticCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 1, 0, "ST1*", {}, 1});
        placeStatic(2, 2, 8.0001, SimState::Active);
        placeStatic(3, 3, 8.01, SimState::Active);
        lf_makeWayAtStand(live, currentStands[0]);
        std::map<uint32_t, SimState> states;
        for (const SimAircraft& s : staticList) states[s.id] = s.simState;
        if (queued) {
            EXPECT_FALSE(states.count(1)) << "taken out of the queue and the list";
            EXPECT_TRUE(staticCreateFifo.empty());
        } else {
            EXPECT_EQ(states[1], SimState::RemovingFromSim);
        }
        EXPECT_EQ(states[2], SimState::RemovingFromSim) << "coupled and within reach";
        EXPECT_EQ(states[3], SimState::Active) << "coupled but far off";
    }
    currentStands.clear();
}

// The statistics panel's parked counts follow the figures: the live aircraft parked at stands and the static
// aircraft in the simulator (also those on their way out), each with its mean parked time in hours.
TEST_F(Notices, ParkFiguresAndTheirCountsForTheWindow) {
    weekSlot.store(WeekSlot{3, 10}.packed());
    LiveAircraft& parked = active(0x3c0101, "PARK1", 0);
    parked.setPhase(MovementPhase::Parked);
    parked.parkedSlot = WeekSlot{3, 6}.packed();  // two hours ago
    active(0x3c0102, "TAXI1", 0).setPhase(MovementPhase::Taxi);
    for (const auto& [state, slot] :
         {std::pair{SimState::Active, WeekSlot{3, 9}}, std::pair{SimState::RemovingFromSim, WeekSlot{3, 8}},
          std::pair{SimState::Adding2Sim, WeekSlot{3, 1}}}) {
        SimAircraft s;
        s.simState = state;
        s.parkedSlot = slot.packed();
        staticList.push_back(s);
    }
    EXPECT_EQ(gf_refreshLiveParkFigure(false), 1u);
    EXPECT_EQ(mainWindow.parkedLiveCount.load(), 0u);  // counted, not shown
    EXPECT_EQ(gf_refreshLiveParkFigure(true), 1u);
    EXPECT_EQ(gf_refreshStaticParkFigure(true), 2u);
    EXPECT_EQ(mainWindow.parkedLiveCount.load(), 1u);
    EXPECT_EQ(mainWindow.parkedStaticCount.load(), 2u);
    EXPECT_FLOAT_EQ(mainWindow.liveParkFigure.load(), 2.5f);     // 4 half-hours / 2 + 0.5
    EXPECT_FLOAT_EQ(mainWindow.staticParkFigure.load(), 1.25f);  // (1 + 2) half-hours / (2 x 2) + 0.5
    mainWindow.parkedLiveCount = 0;
    mainWindow.parkedStaticCount = 0;
    mainWindow.liveParkFigure = -1.0f;
    mainWindow.staticParkFigure = -1.0f;
    weekSlot.store(0);
}
