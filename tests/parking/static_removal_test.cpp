// Removals of static parked aircraft that the planner and the park-airport step decide: each one reaches
// the simulator once and is confirmed, also for an aircraft whose creation is still under way; and a whole
// renewal at a park airport run through the engine harness with its per-tick invariants.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/engine_state.h"
#include "engine/notices.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "feed/readers.h"
#include "foundation/settings.h"
#include "parking/park_airport.h"
#include "parking/planner.h"
#include "simlink/commands.h"
#include "tests/common/engine_harness.h"

int64_t gf_nowTicks100ns();

namespace {

StandOption planOption(const std::string& cs, int weekday) {
    return StandOption{"DLH", "A320", "", cs, "", kHalfHourMask, 0, weekday, 1, 1};
}

class StaticRemoval : public ::testing::Test {
public:
    EngineHarness h;
    PlannerHooks saved;
    WeekSlot now{};
    std::uint32_t objectBase = 900;  // object ids of hand-placed statics: each case its own
    static inline const std::string title = "LH 320 parked";

    void SetUp() override {
        gf_resetSettings();
        h.addType("A320", AircraftCategory::Large);
        airlineLiveries[0]["DLH"]["A320"] = {title};
        saved = gf_plannerHooks();
        gf_plannerHooks().readParkedTraffic = [] { return true; };
        clearPlannerInput();
        CurrentAirport a;
        a.icao = "EDDF";
        gf_setCurrentAirport(a);
        now = gf_weekSlot();
        weekSlot.store(now.packed());
    }
    void TearDown() override {
        gf_plannerHooks() = saved;
        clearPlannerInput();
        gf_resetSettings();
    }
    static void clearPlannerInput() {
        trafficReader.parkedRecords.clear();
        engineBufferedCallsigns.clear();
        engineBufferedAddresses.clear();
        {
            std::lock_guard lock(trafficReader.bufferedMutex);
            trafficReader.bufferedCallsigns.clear();
            trafficReader.bufferedAddresses.clear();
        }
        gf_resetPlanner();
    }
    // Stands 100 m apart (not coupled), each with its plan options.
    static void makeStands(std::vector<std::vector<StandOption>> options) {
        currentStands.clear();
        for (std::size_t i = 0; i < options.size(); ++i) {
            for (std::size_t k = 0; k < options[i].size(); ++k) options[i][k].id = std::int32_t(k + 1);
            currentStands.emplace_back(fmt::format("S{}", i + 1), options[i], 47.0 + double(i) * 100.0 / 1852.0 / 60.0,
                                       8.0, 0.0, 25.0, 1, 1, 1);
        }
        gf_numberAndCoupleStands(currentStands);
    }
    // An active static aircraft on a stand, as the placement and the light set-up leave it.
    SimAircraft& placed(std::uint32_t id, std::uint32_t objectId, std::size_t stand, const std::string& callsign,
                        std::uint32_t planned, std::uint32_t feedHexid, WeekSlot slot) {
        SimAircraft s;
        s.id = id;
        s.objectId = objectId;
        s.standId = currentStands[stand].id;
        s.standLatitude = currentStands[stand].latitude;
        s.standLongitude = currentStands[stand].longitude;
        s.identity.airline = "DLH";
        s.identity.icaoType = "A320";
        s.identity.callsign = callsign;
        s.identity.identity6 = callsign.substr(0, callsign.size() - 1);
        s.halfSpanNm = 0.01;
        s.planned = planned;
        s.feedHexid = feedHexid;
        s.parkedSlot = slot.packed();
        s.simState = SimState::Active;
        staticList.push_back(s);
        return staticList.back();
    }
    static ParkedRecord record(std::uint32_t address, const std::string& cs, std::size_t stand, int age) {
        ParkedRecord r;
        r.address = address;
        r.identity.callsign = cs;
        r.identity.airline = "DLH";
        r.identity.icaoType = "A320";
        r.latitude = currentStands[stand].latitude;
        r.longitude = currentStands[stand].longitude;
        r.slot = age;
        return r;
    }
    static const SimAircraft* staticWithObject(std::uint32_t objectId) {
        for (const SimAircraft& s : staticList)
            if (s.objectId == objectId) return &s;
        return nullptr;
    }
    static const SimAircraft* staticWithId(std::uint32_t id) {
        for (const SimAircraft& s : staticList)
            if (s.id == id) return &s;
        return nullptr;
    }
    std::size_t removedCount(std::uint32_t objectId) const {
        return std::size_t(std::count(h.removed.begin(), h.removed.end(), objectId));
    }
};

// Every removal the renewal decides goes to the simulator once, leaves the list with its confirmation and
// is named in the log once: those the renewal's checks decide one by one (the aircraft is live again, the
// feed no longer reports it, the plan drops it or gives its stand to another aircraft, a parked record
// displaces it) as well as those it lists (leaving, surplus, the parked-traffic-only switch).
TEST_F(StaticRemoval, EveryRemovalTheRenewalDecidesReachesTheSimulatorAndIsConfirmed) {
    struct Case {
        const char* what;
        std::function<void(StaticRemoval&)> arrange;
        std::uint32_t ptOnlyJustSet;
    };
    const std::vector<Case> cases = {
        {"parked-traffic static whose aircraft is live again",
         [](StaticRemoval& t) {
             makeStands({{}, {}});
             t.placed(9001, t.objectBase + 1, 0, "PT1*", 0, 0x3c0001, t.now);
             trafficReader.parkedRecords = {record(0x3c0001, "PT1", 0, 0)};
             std::lock_guard lock(trafficReader.bufferedMutex);  // the feed's live set that the renewal takes
             trafficReader.bufferedAddresses.insert(0x3c0001);
         },
         0},
        {"parked-traffic static the feed no longer reports",
         [](StaticRemoval& t) {
             makeStands({{}, {}});
             t.placed(9001, t.objectBase + 1, 0, "PT1*", 0, 0x3c0001, t.now);
         },
         0},
        {"plan static the plan drops",
         [](StaticRemoval& t) {
             const int otherDay = int(t.now.weekday % 7 + 1);
             makeStands({{planOption("DLH1", otherDay)}, {}});
             t.placed(9001, t.objectBase + 1, 0, "DLH1*", 1, 0, t.now);
         },
         0},
        {"parked-traffic static displaced by a parked record seen later",
         [](StaticRemoval& t) {
             makeStands({{}, {}});
             t.placed(9001, t.objectBase + 1, 0, "OLD1*", 0, 0x3c0001, lf_slotBefore(t.now, 4));
             trafficReader.parkedRecords = {record(0x3c0002, "NEW2", 0, 1)};
         },
         0},
        {"plan static leaving in the next half-hour",
         [](StaticRemoval& t) {
             StandOption o = planOption("DLH1", int(t.now.weekday));
             o.callsignB = "LH1";
             o.halfHours = std::uint64_t{1} << t.now.slot;
             makeStands({{o}});
             SimAircraft& s = t.placed(9001, t.objectBase + 1, 0, "DLH1*", 1, 0, lf_slotBefore(t.now, 3));
             s.identity.identity7 = "LH1";
         },
         0},
        {"plan static beyond the wanted count",
         [](StaticRemoval& t) {
             makeStands({{planOption("DLH1", int(t.now.weekday))}, {planOption("DLH2", int(t.now.weekday))}});
             CUSTOM_MAX_PARK.value = 1;
             t.placed(9001, t.objectBase + 2, 0, "DLH1*", 1, 0, t.now);
             t.placed(9002, t.objectBase + 1, 1, "DLH2*", 1, 0, lf_slotBefore(t.now, 2));
         },
         0},
        {"plan static whose stand the plan gives to another aircraft",
         [](StaticRemoval& t) {
             makeStands({{planOption("DLH2", int(t.now.weekday))}});
             t.placed(9001, t.objectBase + 1, 0, "DLH1*", 1, 0, lf_slotBefore(t.now, 4));
         },
         0},
        {"plan static whose flight is live",
         [](StaticRemoval& t) {
             makeStands({{planOption("DLH1", int(t.now.weekday))}});
             t.placed(9001, t.objectBase + 1, 0, "DLH1*", 1, 0, t.now);
             std::lock_guard lock(trafficReader.bufferedMutex);
             trafficReader.bufferedCallsigns.insert("DLH1");
         },
         0},
        {"plan static when parked traffic only is switched on",
         [](StaticRemoval& t) {
             makeStands({{planOption("DLH1", int(t.now.weekday))}});
             RT_PARKTRAFFIC_ONLY.value = true;
             t.placed(9001, t.objectBase + 1, 0, "DLH1*", 1, 0, t.now);
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        staticList.clear();
        staticJobs.clear();
        clearPlannerInput();
        gf_resetSettings();
        parking_percentage.value = 100;
        objectBase += 10;
        const std::uint32_t dropped = objectBase + 1;
        c.arrange(*this);
        const std::string callsign = staticWithObject(dropped)->identity.callsign;
        CapturedLog log;
        gf_adjustParking(c.ptOnlyJustSet);
        EXPECT_TRUE(h.tickUntil([&] { return staticWithObject(dropped) == nullptr; }, 100));
        EXPECT_EQ(removedCount(dropped), 1u);
        EXPECT_EQ(logLinesWith(log.text(), {callsign, " removed"}).size(), 1u) << log.text();
        EXPECT_TRUE(h.violations.empty()) << h.violations.front();
        h.violations.clear();
    }
}

// A static that the renewal removes and replaces on the same stand: the replacement's job waits for the
// removal's notice, whatever the phase of the renewal within the 50 ticks between two placements, and the
// stand is filled again.
TEST_F(StaticRemoval, ReplacementOnTheSameStandIsPlacedAtEveryTickPhase) {
    struct Case {
        const char* what;
        std::function<void(StaticRemoval&, std::uint32_t objectId)> arrange;
        const char* replacement;
    };
    const std::vector<Case> cases = {
        {"parked record seen after the static was placed",
         [](StaticRemoval& t, std::uint32_t objectId) {
             makeStands({{}, {}});
             t.placed(9001, objectId, 0, "OLD1*", 0, 0x3c0001, lf_slotBefore(t.now, 4));
             trafficReader.parkedRecords = {record(0x3c0002, "NEW2", 0, 1)};
         },
         "NEW2*"},
        {"plan static against a parked record seen later",
         [](StaticRemoval& t, std::uint32_t objectId) {
             makeStands({{}, {}});
             t.placed(9001, objectId, 0, "DLH1*", 1, 0, lf_slotBefore(t.now, 4));
             trafficReader.parkedRecords = {record(0x3c0002, "NEW2", 0, 1)};
         },
         "NEW2*"},
        {"plan static against another option of its stand",
         [](StaticRemoval& t, std::uint32_t objectId) {
             makeStands({{planOption("DLH2", int(t.now.weekday))}});
             t.placed(9001, objectId, 0, "DLH1*", 1, 0, lf_slotBefore(t.now, 4));
         },
         "DLH2*"},
        {"plan static in its last half-hour",
         [](StaticRemoval& t, std::uint32_t objectId) {
             StandOption o = planOption("DLH1", int(t.now.weekday));
             o.callsignB = "LH1";
             o.halfHours = std::uint64_t{1} << t.now.slot;
             makeStands({{o}});
             t.placed(9001, objectId, 0, "DLH1*", 1, 0, lf_slotBefore(t.now, 3)).identity.identity7 = "LH1";
         },
         "LH1*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::uint32_t> leftEmpty;  // tick phases after which the stand stayed empty
        for (std::uint32_t phase = 0; phase < 50; ++phase) {
            // The previous phase's aircraft leave the lists here, not through the simulator: so do
            // their objects.
            staticList.clear();
            h.objects.clear();
            staticJobs.clear();
            clearPlannerInput();
            gf_resetSettings();
            parking_percentage.value = 100;
            objectBase += 10;
            const std::uint32_t old = objectBase + 1;
            c.arrange(*this, old);
            ASSERT_TRUE(h.tickUntil([&] { return engineTick.load() % 50 == phase; }, 50));
            gf_adjustParking(0);
            const std::uint32_t stand = currentStands[0].id;
            auto filled = [&] {
                return staticJobs.empty() && staticList.size() == 1 && staticList[0].standId == stand &&
                       staticList[0].simState == SimState::Active;
            };
            if (!h.tickUntil(filled, 1000)) {
                leftEmpty.push_back(phase);
                continue;
            }
            EXPECT_EQ(staticList[0].identity.callsign, c.replacement) << "phase " << phase;
            EXPECT_EQ(removedCount(old), 1u) << "phase " << phase;
            ASSERT_TRUE(h.violations.empty()) << h.violations.front();
        }
        EXPECT_TRUE(leftEmpty.empty()) << "the stand stayed empty after a renewal at tick phases "
                                       << fmt::format("{}", fmt::join(leftEmpty, ", "));
    }
}

// A static aircraft that a parked record displaces while its creation is under way: its order is taken
// out of the queue when it still waits there, else the new object is removed once created (the light
// set-up does not make it an active static again).
TEST_F(StaticRemoval, DisplacedStaticStillBeingCreatedNeverStaysInTheSimulator) {
    for (const bool orderSent : {false, true}) {
        SCOPED_TRACE(orderSent ? "creation sent" : "creation queued");
        staticList.clear();
        staticJobs.clear();
        staticCreateFifo.clear();
        clearPlannerInput();
        parking_percentage.value = 100;
        h.created.clear();
        h.removed.clear();
        makeStands({{}, {}});
        // The parked-traffic job is placed; the simulator does not answer its creation yet.
        staticJobs.push_back(
            StaticJob{0x3c0001, 0, currentStands[0].id, 2, "DLH", "A320", "OLD1", "", "DAIOL", std::uint8_t{1}});
        h.answerCreations = false;
        if (orderSent)
            ASSERT_TRUE(h.tickUntil([] { return !staticList.empty() && staticCreateFifo.empty(); }, 200));
        else
            gf_placeStaticAircraft();
        ASSERT_EQ(staticList.size(), 1u);
        const std::uint32_t id = staticList[0].id;
        ASSERT_EQ(staticList[0].simState, SimState::Adding2Sim);
        // The record seen now on that stand takes it.
        trafficReader.parkedRecords = {record(0x3c0002, "NEW2", 0, 0)};
        gf_adjustParking(0);
        if (!orderSent) {
            EXPECT_TRUE(staticCreateFifo.empty());
        }
        h.answerCreations = true;
        // Its object, when it comes, goes again; it never stays on the stand.
        ASSERT_TRUE(h.tickUntil([&] { return staticWithId(id) == nullptr; }, 1500));
        const auto createdOld =
            std::count_if(h.created.begin(), h.created.end(), [&](auto& c) { return c.hexid == id; });
        if (orderSent) {
            ASSERT_EQ(createdOld, 1);
            const std::uint32_t objectId =
                std::find_if(h.created.begin(), h.created.end(), [&](auto& c) { return c.hexid == id; })->objectId;
            EXPECT_EQ(removedCount(objectId), 1u);
        } else {
            EXPECT_EQ(createdOld, 0) << "its order was taken out of the queue";
        }
        EXPECT_TRUE(h.violations.empty()) << h.violations.front();
        h.violations.clear();
    }
}

// A static already on its way out does not hold its stand against a parked record: the record takes the
// stand, and no job brings the leaving aircraft back.
TEST_F(StaticRemoval, StaticOnItsWayOutDoesNotHoldItsStandAgainstAParkedRecord) {
    struct Case {
        const char* what;
        std::function<void(SimAircraft&)> leave;
    };
    const Case cases[] = {
        {"removing", [](SimAircraft& s) { removeAircraftFromSim(s); }},
        {"to be removed once created",
         [](SimAircraft& s) {
             s.simState = SimState::Adding2Sim;
             s.objectId = 0;
             removeAircraftFromSim(s);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        staticList.clear();
        staticJobs.clear();
        removeFifo.clear();
        makeStands({{}, {}});
        // Placed now, after the record was seen there (two half-hours ago).
        c.leave(placed(9001, 951, 0, "OLD1*", 0, 0x3c0001, now));
        const auto queued = removeFifo.size();
        lf_standForParkedRecord(record(0x3c0002, "NEW2", 0, 2), 10);
        ASSERT_EQ(staticJobs.size(), 1u);
        EXPECT_EQ(staticJobs[0].feedHexid, 0x3c0002u);
        EXPECT_TRUE(removalList.empty());
        EXPECT_EQ(removeFifo.size(), queued);
    }
}

// A whole renewal at a park airport: statics placed from the week plan and from parked traffic, then a
// renewal in which the plan drops two of them, a parked aircraft is live again and a parked record seen
// later displaces a static. Every dropped static is removed from the simulator once and confirmed, none
// stays removing, and the parked aircraft never outnumber the plan.
TEST_F(StaticRemoval, RenewalAtAParkAirportRemovesWhatItDropsWithinThePlan) {
    const int otherDay = int(now.weekday % 7 + 1);
    std::vector<std::vector<StandOption>> options{{}, {}};  // S1, S2: for the parked traffic
    for (int i = 3; i <= 8; ++i) options.push_back({planOption(fmt::format("DLH{}", i), int(now.weekday))});
    makeStands(options);
    parking_percentage.value = 75;  // 6 of 8 stands
    const std::int64_t wanted = gf_wantedParkedCount();
    ASSERT_EQ(wanted, 6);
    auto parkedCount = [] {
        std::int64_t n = 0;
        for (const SimAircraft& s : staticList)
            n += s.simState == SimState::Active || s.simState == SimState::RemovingFromSim;
        for (const LiveAircraft& l : liveList) n += l.simState == SimState::Active && l.phase == MovementPhase::Parked;
        return n;
    };
    auto tickWithinPlan = [&](const std::function<bool()>& done, int maxTicks) {
        for (int i = 0; i < maxTicks && !done(); ++i) {
            h.tick();
            if (parkedCount() > wanted) return false;
        }
        return done();
    };
    auto allActive = [](std::size_t n) {
        return [n] {
            return staticList.size() == n && staticJobs.empty() &&
                   std::all_of(staticList.begin(), staticList.end(),
                               [](const SimAircraft& s) { return s.simState == SimState::Active; });
        };
    };

    // The first plan: two parked aircraft and four plan options.
    trafficReader.parkedRecords = {record(0x3c0001, "PT1", 0, 2), record(0x3c0002, "PT2", 1, 2)};
    lf_parkingPositions();
    ASSERT_EQ(std::int64_t(staticJobs.size()), wanted);
    ASSERT_TRUE(tickWithinPlan(allActive(6), 3000));
    ASSERT_TRUE(h.violations.empty()) << h.violations.front();

    // What the renewal must drop: the parked aircraft now live, the one a later record displaces, and two plan
    // statics whose stands the plan no longer gives today.
    std::vector<std::uint32_t> dropped;
    std::vector<std::uint32_t> kept;
    int planDropped = 0;
    for (const SimAircraft& s : staticList) {
        if (s.planned == 0) {
            dropped.push_back(s.objectId);
        } else if (planDropped < 2) {
            ++planDropped;
            dropped.push_back(s.objectId);
            for (StandOption& o : gf_findStandById(s.standId)->options) o.weekday = otherDay;
        } else {
            kept.push_back(s.objectId);
        }
    }
    ASSERT_EQ(dropped.size(), 4u);
    {
        std::lock_guard lock(trafficReader.bufferedMutex);
        trafficReader.bufferedAddresses.insert(0x3c0001);
    }
    trafficReader.parkedRecords = {record(0x3c0003, "PT3", 1, 0)};
    gf_adjustParking(0);

    const auto settled = [&] {
        return staticJobs.empty() && std::none_of(staticList.begin(), staticList.end(),
                                                  [](const SimAircraft& s) { return s.simState != SimState::Active; });
    };
    ASSERT_TRUE(tickWithinPlan(settled, 3000)) << "parked " << parkedCount() << " of " << wanted;
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
    for (std::uint32_t objectId : dropped) {
        EXPECT_EQ(removedCount(objectId), 1u) << objectId;
        EXPECT_EQ(staticWithObject(objectId), nullptr) << objectId;
    }
    for (std::uint32_t objectId : kept) {
        EXPECT_EQ(removedCount(objectId), 0u) << objectId;
        EXPECT_NE(staticWithObject(objectId), nullptr) << objectId;
    }
    EXPECT_LE(parkedCount(), wanted);
}

// The live aircraft that the renewal and the leaving of the park airport remove reach the simulator too.
TEST_F(StaticRemoval, RenewalAndLeavingRemoveLiveAircraftThroughTheSimulator) {
    auto parkedLive = [](std::uint32_t hexid, std::uint32_t objectId, std::size_t stand, MovementPhase phase) {
        const ParkPos& s = currentStands[stand];
        TrafficRecord r =
            EngineHarness::record(hexid, fmt::format("LV{}", hexid), "A320", s.latitude, s.longitude, 0, 0, 0, 100);
        SimAircraft head;
        gf_makeAiRecord(head, r);
        head.id = hexid;
        LiveAircraft& ac = lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
        ac.stream.front().tick = engineTick.load() + 1000000;  // standing still
        ac.stream.front().engineFlag = 1;
        ac.simState = SimState::Active;
        lf_setLiveObjectId(ac, objectId);
        ac.onGround = 1;
        ac.setPhase(phase);
        ac.standId = s.id;
        ac.parkedSince = gf_nowTicks100ns();
    };
    auto gone = [this](std::uint32_t objectId) {
        return [this, objectId] {
            return removedCount(objectId) > 0 &&
                   std::none_of(liveList.begin(), liveList.end(),
                                [&](const LiveAircraft& a) { return a.objectId == objectId; }) &&
                   staticWithObject(objectId) == nullptr;
        };
    };
    // Nothing wanted: the renewal's surplus removes the live aircraft parked on the stand.
    makeStands({{}, {}});
    CUSTOM_MAX_PARK.value = 0;
    parkedLive(0x3c0011, 911, 0, MovementPhase::Parked);
    gf_adjustParking(0);
    EXPECT_TRUE(h.tickUntil(gone(911), 200));
    EXPECT_EQ(removedCount(911), 1u);

    // Leaving the park airport: a taxiing live aircraft and an active static.
    makeStands({{}, {}});
    parkedLive(0x3c0012, 921, 0, MovementPhase::Taxi);
    placed(9001, 922, 1, "ST1*", 1, 0, now);
    gf_removeStaticParked();
    EXPECT_TRUE(h.tickUntil([&] { return gone(921)() && gone(922)(); }, 200));
    EXPECT_EQ(removedCount(921), 1u);
    EXPECT_EQ(removedCount(922), 1u);
    EXPECT_TRUE(h.violations.empty()) << h.violations.front();
}

// Leaving the park airport takes out only the creation orders of the aircraft on the ground there: another
// aircraft flying the same callsign keeps its order and is created.
TEST_F(StaticRemoval, LeavingTheParkAirportKeepsTheOrderOfAnotherAircraftWithTheSameCallsign) {
    makeStands({{}, {}});
    auto adding = [](std::uint32_t hexid, MovementPhase phase, double lat) -> LiveAircraft& {
        TrafficRecord r = EngineHarness::record(hexid, "DLH7", "A320", lat, 8.0, 0, 0, 90, 100);
        SimAircraft head;
        gf_makeAiRecord(head, r);
        head.id = hexid;
        LiveAircraft& ac = lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
        ac.simState = SimState::Adding2Sim;
        ac.setPhase(phase);
        SpawnOrder order;
        order.callsign = "DLH7";
        order.id = hexid;
        liveCreateFifo.push_back(order);
        return ac;
    };
    adding(0x3c0071, MovementPhase::Taxi, 47.0);
    adding(0x3c0072, MovementPhase::Flying, 48.0);
    gf_removeStaticParked();
    ASSERT_EQ(liveList.size(), 1u);
    EXPECT_EQ(liveList[0].id, 0x3c0072u);
    EXPECT_EQ(liveList[0].simState, SimState::Adding2Sim);
    EXPECT_EQ(liveList[0].removeWhenCreated, 0);
    ASSERT_EQ(liveCreateFifo.size(), 1u);
    EXPECT_EQ(liveCreateFifo[0].id, 0x3c0072u);
}

}  // namespace

// The stands of the airport left are gone with it, and the next airport numbers its own stands from 1: an
// aircraft still driving into a stand of the airport left keeps no id that would name a stand of the next.
TEST_F(StaticRemoval, LeavingTheParkAirportLeavesNoLiveAircraftWithAStandOfIt) {
    for (const MovementPhase phase : {MovementPhase::Parking, MovementPhase::Flying}) {
        SCOPED_TRACE(static_cast<int>(phase));
        makeStands({{}, {}});
        TrafficRecord r = EngineHarness::record(0x3c0081, "DLH8", "A320", 50.0, 8.0, 0, 10, 90, 100);
        SimAircraft head;
        gf_makeAiRecord(head, r);
        head.id = 0x3c0081;
        LiveAircraft& ac = lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
        ac.simState = SimState::Active;
        lf_setLiveObjectId(ac, 981);
        h.objects[981] = {981, 0x3c0081, "DLH8", "", engineTick.load(), true};
        ac.setPhase(phase);
        ac.standId = currentStands[1].id;
        currentStands[1].occupied = 1;
        gf_removeStaticParked();
        ASSERT_EQ(liveList.size(), 1u) << "an aircraft off the ground there stays";
        EXPECT_EQ(liveList[0].standId, 0u);
        liveList.clear();
        h.objects.clear();
        lf_reindexLive();
    }
}
