// Answers of the simulator that come late or never: a creation's answer belongs to the request that asked
// for it, whatever the aircraft has done meanwhile.
#include <algorithm>
#include <string>
#include <vector>

#include <fmt/format.h>

#include <gtest/gtest.h>

#include "airports/current_airport.h"
#include "airports/parking.h"
#include "catalogue/livery_db.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "tests/common/engine_harness.h"

namespace {

constexpr uint32_t kHexid = 0x3c0101;

size_t objectsOf(const EngineHarness& h, const std::string& callsign) {
    return static_cast<size_t>(std::count_if(h.objects.begin(), h.objects.end(),
                                             [&](const auto& o) { return o.second.callsign == callsign; }));
}

StaticJob jobFor(uint32_t standId) {
    StaticJob job;
    job.standId = standId;
    job.identity0 = "DLH";
    job.icaoType = "A320";
    job.callsignA = "DLH7";
    return job;
}

}  // namespace

// A live aircraft's creation goes unanswered and is given up; the aircraft comes back with its next reports
// and is created again. The old answer then arrives at any moment of the new creation's life: before its
// order is sent, while it waits for its answer, together with it, during its light set-up, or after. It
// never takes the new object's place: the aircraft holds one object, the other is removed.
TEST(CreationAnswer, ALateLiveAnswerNeverTakesThePlaceOfTheNewOne) {
    for (int releaseAfter = 0; releaseAfter <= 400; releaseAfter += 10) {
        SCOPED_TRACE(releaseAfter);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        h.giveLivery(kHexid);
        bool released = false;
        // The first creation was ordered at the first reports, west of the later ones.
        h.holdCreation = [&](const SimConnectCreateRequest& c) { return !released && c.initPosition.longitude < 8.05; };
        h.handOver({EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.0, 9000, 250, 90, 100),
                    EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.01, 9000, 250, 90, 110)},
                   0);
        ASSERT_TRUE(h.tickUntil([] { return gf_liveByHexid(kHexid) != nullptr; }, 100));
        ASSERT_TRUE(h.tickUntil([] { return gf_liveByHexid(kHexid) == nullptr; }, 3500)) << "given up";
        h.handOver({EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.1, 9000, 250, 90, 200),
                    EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.11, 9000, 250, 90, 210)},
                   0);
        h.tick(releaseAfter);
        released = true;
        h.tick(500);
        const LiveAircraft* ac = gf_liveByHexid(kHexid);
        ASSERT_NE(ac, nullptr);
        EXPECT_EQ(ac->simState, SimState::Active);
        EXPECT_EQ(h.created.size(), 2u);
        ASSERT_EQ(objectsOf(h, "DLH101"), 1u) << "one object stays";
        EXPECT_EQ(h.objects.begin()->first, ac->objectId);
    }
}

// The same for a static: its creation is given up, and the static id counter comes round to its id again (in
// a long session, after 9999 placements) for a static on another stand. The old answer finds a static with
// its id waiting for a creation, but not for that one.
TEST(CreationAnswer, ALateStaticAnswerNeverTakesThePlaceOfTheNewOne) {
    for (int releaseAfter = 0; releaseAfter <= 400; releaseAfter += 10) {
        SCOPED_TRACE(releaseAfter);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        static const std::string title = "Harness static";
        airlineLiveries[0]["DLH"]["A320"] = {title};
        for (uint32_t id : {1u, 2u}) {
            currentStands.emplace_back("S" + std::to_string(id), std::vector<StandOption>{}, 47.0, 8.0 + 0.01 * id, 0.0,
                                       20.0, 1, 1, 1);
            currentStands.back().id = id;
        }
        bool released = false;
        h.holdCreation = [&](const SimConnectCreateRequest& c) {
            return !released && c.initPosition.longitude < 8.015;
        };
        staticJobs.push_back(jobFor(1));
        ASSERT_TRUE(h.tickUntil([] { return !staticList.empty(); }, 100));
        ASSERT_EQ(staticList.front().id, 1u);
        ASSERT_TRUE(h.tickUntil([] { return staticList.empty(); }, 3500)) << "given up";
        gf_resetStaticIdCounter();
        staticJobs.push_back(jobFor(2));
        h.tick(releaseAfter);
        released = true;
        h.tick(500);
        ASSERT_EQ(staticList.size(), 1u);
        const SimAircraft& s = staticList.front();
        EXPECT_EQ(s.id, 1u);
        EXPECT_EQ(s.standId, 2u);
        EXPECT_EQ(s.simState, SimState::Active);
        EXPECT_EQ(h.created.size(), 2u);
        ASSERT_EQ(objectsOf(h, "DLH7*"), 1u) << "one object stays";
        EXPECT_EQ(h.objects.begin()->first, s.objectId);
    }
}

namespace {

// A static aircraft placed from a job on stand 1, ticked until it is active in the simulator.
SimAircraft& staticOnStand(EngineHarness& h) {
    static const std::string title = "Harness static";
    airlineLiveries[0]["DLH"]["A320"] = {title};
    staticJobs.push_back(jobFor(1));
    EXPECT_TRUE(h.tickUntil([] { return !staticList.empty() && staticList[0].simState == SimState::Active; }, 400));
    return staticList[0];
}

size_t removalsOf(const EngineHarness& h, uint32_t objectId) {
    return static_cast<size_t>(std::count(h.removalRequests.begin(), h.removalRequests.end(), objectId));
}

const LiveAircraft* liveOnStand(uint32_t standId) {
    for (const auto& ac : liveList)
        if (ac.standId == standId && ac.simState != SimState::RemovingFromSim) return &ac;
    return nullptr;
}

}  // namespace

// The simulator never confirms a static's removal. The removal is sent once more after a while, and the
// static's record is dropped after a second wait. Until then its stand is given to no other aircraft, at
// whatever moment of the removal's life one wants it: a live aircraft first seen parked on it, or a static
// job for it. Once the record is gone the stand is free again.
TEST(UnconfirmedRemoval, AStaticsStandIsGivenToNoOtherAircraftUntilItsRecordIsDropped) {
    for (int wantedAfter = 0; wantedAfter <= 2400; wantedAfter += 200) {
        SCOPED_TRACE(wantedAfter);
        EngineHarness h;
        CapturedLog log;
        h.addType("A320", AircraftCategory::Large);
        h.giveLivery(kHexid);
        CurrentAirport airport;
        airport.icao = "EDDF";
        airport.latitude = 47.0;
        airport.longitude = 8.0;
        gf_setCurrentAirport(airport);
        currentStands.emplace_back("S1", std::vector<StandOption>{}, 47.0, 8.0, 0.0, 20.0, 1, 1, 1);
        currentStands.back().id = 1;
        SimAircraft& s = staticOnStand(h);
        const uint32_t object = s.objectId;
        h.answerRemovals = false;
        removeAircraftFromSim(s);
        h.tick(wantedAfter);
        const double stamp = 100.0 + engineTick.load() / 100.0;
        // Reports of a parked aircraft 20 s apart (closer ones add nothing to its stream), the first one due now.
        h.handOver({EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.0, 0, 0, 90, stamp),
                    EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.0, 0, 0, 90, stamp + 20)},
                   0);
        staticJobs.push_back(jobFor(1));
        auto staticListed = [&] {
            return std::any_of(staticList.begin(), staticList.end(),
                               [&](const SimAircraft& a) { return a.objectId == object; });
        };
        for (int t = 0; t < 4000 && staticListed(); ++t) {
            h.tick();
            if (!staticListed()) break;
            ASSERT_EQ(liveOnStand(1), nullptr) << "a live aircraft on the stand beside the static";
            ASSERT_EQ(staticList.size(), 1u) << "another static on the stand";
        }
        EXPECT_FALSE(staticListed()) << "dropped after the second wait";
        EXPECT_EQ(removalsOf(h, object), 2u) << "sent once more";
        EXPECT_NE(log.text().find(fmt::format("object {} (DLH7*): removal not confirmed", object)), std::string::npos)
            << log.text();
        EXPECT_NE(log.text().find(fmt::format("===> object {} (DLH7*): removal never confirmed", object)),
                  std::string::npos);
        // The stand is free again.
        ASSERT_TRUE(h.tickUntil([] { return liveOnStand(1) != nullptr; }, 4000));
        const LiveAircraft* ac = liveOnStand(1);
        ASSERT_NE(ac, nullptr);
        EXPECT_EQ(ac->identity.callsign, "DLH101");
    }
}

// A live aircraft's unconfirmed removal has the same end: sent once more, then its record is dropped, so that
// its next reports bring it back instead of being swallowed by an aircraft removing for good.
TEST(UnconfirmedRemoval, ALiveAircraftsRecordIsDroppedAndItComesBack) {
    EngineHarness h;
    CapturedLog log;
    h.addType("A320", AircraftCategory::Large);
    h.giveLivery(kHexid);
    h.handOver({EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.0, 9000, 250, 90, 100),
                EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.01, 9000, 250, 90, 110)},
               0);
    ASSERT_TRUE(h.tickUntil(
        [] { return gf_liveByHexid(kHexid) && gf_liveByHexid(kHexid)->simState == SimState::Active; }, 400));
    const uint32_t object = gf_liveByHexid(kHexid)->objectId;
    h.answerRemovals = false;
    removeAircraftFromSim(*gf_liveByHexid(kHexid));
    ASSERT_TRUE(h.tickUntil([] { return gf_liveByHexid(kHexid) == nullptr; }, 2500)) << "dropped";
    EXPECT_EQ(removalsOf(h, object), 2u);
    EXPECT_NE(log.text().find(fmt::format("===> object {} (DLH101): removal never confirmed", object)),
              std::string::npos)
        << log.text();
    h.answerRemovals = true;
    const double stamp = 100.0 + engineTick.load() / 100.0;
    h.handOver({EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.2, 9000, 250, 90, stamp),
                EngineHarness::record(kHexid, "DLH101", "A320", 47.0, 8.21, 9000, 250, 90, stamp + 10)},
               0);
    EXPECT_TRUE(
        h.tickUntil([] { return gf_liveByHexid(kHexid) && gf_liveByHexid(kHexid)->simState == SimState::Active; }, 500))
        << "created again";
    EXPECT_EQ(h.created.size(), 2u);
}

// An arrival taxiing at a stand looks for it again and again while the aircraft the stand is being cleared of
// (a static, or a live aircraft parked there) waits for the confirmation of its removal; it gets the stand once
// that aircraft's record is dropped.
TEST(UnconfirmedRemoval, AnArrivalGetsNoStandWhileItsAircraftIsStillThere) {
    for (const bool liveHolder : {false, true}) {
        SCOPED_TRACE(liveHolder ? "live aircraft parked there" : "static");
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        currentStands.emplace_back("S1", std::vector<StandOption>{}, 47.0, 8.0, 0.0, 20.0, 1, 1, 1);
        currentStands.back().id = 1;
        h.answerRemovals = false;
        if (liveHolder) {
            LiveAircraft& parked =
                EngineHarness::standingLive(0x3c0301, "PARK1", 700, 47.0, 8.0, MovementPhase::Parked);
            parked.standId = 1;
            currentStands.back().occupied = 1;
            removeAircraftFromSim(parked);
        } else {
            removeAircraftFromSim(staticOnStand(h));
        }
        auto holderListed = [] {
            return gf_liveByHexid(0x3c0301) != nullptr ||
                   std::any_of(staticList.begin(), staticList.end(),
                               [](const SimAircraft& s) { return s.standId == 1; });
        };
        ASSERT_TRUE(holderListed());
        EngineHarness::standingLive(0x3c0302, "ARR1", 701, 47.0, 8.0001, MovementPhase::Taxi);
        for (int t = 0; t < 2500 && holderListed(); t += 50) {
            try2Park(*gf_liveByHexid(0x3c0302), false);
            ASSERT_NE(gf_liveByHexid(0x3c0302)->standId, 1u) << "tick " << t << ": given while the other stands there";
            h.tick(50);
        }
        ASSERT_FALSE(holderListed()) << "dropped after the second wait";
        try2Park(*gf_liveByHexid(0x3c0302), false);
        EXPECT_EQ(gf_liveByHexid(0x3c0302)->standId, 1u);
        EXPECT_EQ(gf_liveByHexid(0x3c0302)->phase, MovementPhase::Parking);
    }
}
