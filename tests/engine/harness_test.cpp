// The engine harness checks itself: a scenario that breaks an invariant fails its test at the harness's
// end, simulator objects that no aircraft holds any more are found, and so is an aircraft that stands
// still while its feed moves.
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include "airports/parking.h"
#include "catalogue/livery_db.h"
#include "engine/engine_state.h"
#include "engine/static_jobs.h"
#include "tests/common/engine_harness.h"

namespace {

// A static aircraft marked as removing while no removal was ever queued: it would wait for good.
void removingWithoutRemoval() {
    SimAircraft s;
    s.id = 5;
    s.objectId = 700;
    s.identity.callsign = "NOREM*";
    s.simState = SimState::RemovingFromSim;
    staticList.push_back(s);
}

// A live aircraft at the spawn gate with a track of 30 s ahead, ticked until it is active in the simulator.
LiveAircraft& liveInSim(EngineHarness& h, uint32_t hexid) {
    h.giveLivery(hexid);
    TrafficRecord r =
        EngineHarness::record(hexid, "LIVE" + std::to_string(hexid % 100), "A320", 47.0, 8.0, 5000, 250, 90, 100);
    SimAircraft head;
    gf_makeAiRecord(head, r);
    head.id = hexid;
    LiveAircraft& ac = lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
    ac.stream.front().tick = engineTick.load();
    for (int i = 1; i <= 30; ++i) {
        StreamPoint next = ac.stream.front();
        next.longitude += 0.005 * i;
        next.tick += 100 * i;
        ac.stream.push_back(next);
    }
    EXPECT_TRUE(h.tickUntil([&] { return liveList.back().simState == SimState::Active; }, 400));
    return liveList.back();
}

// A static aircraft placed from a job on a stand of its own, ticked until it is active in the simulator.
SimAircraft& staticInSim(EngineHarness& h) {
    static const std::string title = "Harness static";
    airlineLiveries[0]["DLH"]["A320"] = {title};
    ParkPos stand;
    stand.id = static_cast<uint32_t>(currentStands.size()) + 1;
    stand.name = "S" + std::to_string(stand.id);
    stand.latitude = 47.0;
    stand.longitude = 8.0 + 0.01 * stand.id;
    currentStands.push_back(stand);
    StaticJob job;
    job.standId = stand.id;
    job.identity0 = "DLH";
    job.icaoType = "A320";
    staticJobs.push_back(job);
    const auto onStand = [&]() -> SimAircraft* {
        for (auto& s : staticList)
            if (s.standId == stand.id) return &s;
        return nullptr;
    };
    EXPECT_TRUE(h.tickUntil([&] { return onStand() && onStand()->simState == SimState::Active; }, 400));
    return *onStand();
}

// One of the harness's findings names the invariant the scenario broke.
void expectFinding(const std::vector<std::string>& found, const std::string& finding) {
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const std::string& v) {
        return v.find(finding) != std::string::npos;
    })) << (found.empty() ? "nothing found" : found.front());
}

}  // namespace

TEST(HarnessSelfCheck, AViolationFailsTheTestAtTheHarnessEnd) {
    EXPECT_NONFATAL_FAILURE(
        {
            EngineHarness h;
            removingWithoutRemoval();
            h.tick();
        },
        "NOREM* removing without a queued or sent removal");
}

TEST(HarnessSelfCheck, ViolationsTakenOutFailNothing) {
    EngineHarness h;
    removingWithoutRemoval();
    h.tick();
    const std::vector<std::string> found = h.takeViolations();
    ASSERT_FALSE(found.empty());
    EXPECT_NE(found.front().find("NOREM*"), std::string::npos) << found.front();
}

// Objects in the simulator that no aircraft holds any more, whatever way their aircraft left; and an
// aircraft that counts as active while its object is being removed.
TEST(HarnessSelfCheck, LostSimulatorObjectsAreFound) {
    struct Case {
        const char* name;
        std::function<void(EngineHarness&)> act;
        const char* finding;  // empty: the scenario is sound
    };
    const Case cases[] = {
        {"live aircraft removed through the request",
         [](EngineHarness& h) { removeAircraftFromSim(liveInSim(h, 0x400001)); }, ""},
        {"static aircraft removed through the request", [](EngineHarness& h) { removeAircraftFromSim(staticInSim(h)); },
         ""},
        {"live aircraft leaving its list as if never created",
         [](EngineHarness& h) { liveInSim(h, 0x400001).removeFromBuffer = 1; }, "held by no aircraft"},
        {"static aircraft leaving its list as if taken out of its queue",
         [](EngineHarness& h) { staticInSim(h).removedFromQueue = 1; }, "held by no aircraft"},
        {"static aircraft sent down the path of one without an object",
         [](EngineHarness& h) {
             SimAircraft& s = staticInSim(h);
             s.objectId = 0;
             removeAircraftFromSim(s);
         },
         "held by no aircraft"},
        {"removal set back to active",
         [](EngineHarness& h) {
             LiveAircraft& ac = liveInSim(h, 0x400001);
             h.answerRemovals = false;
             removeAircraftFromSim(ac);
             ac.simState = SimState::Active;
         },
         "is active while the removal of its object"},
        {"one object held by two aircraft",
         [](EngineHarness& h) {
             const uint32_t first = staticInSim(h).objectId;
             staticInSim(h).objectId = first;
         },
         "held by 2 aircraft"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        c.act(h);
        ASSERT_TRUE(h.takeViolations().empty()) << "sound until the case breaks it";
        h.tick(100);
        const std::vector<std::string> found = h.takeViolations();
        if (*c.finding == '\0') {
            EXPECT_TRUE(found.empty()) << found.front();
            continue;
        }
        expectFinding(found, c.finding);
    }
}

// Every invariant of the harness finds the broken scenario it stands for: each row breaks one, and the
// harness must name it.
TEST(HarnessSelfCheck, EachInvariantFindsItsBrokenScenario) {
    struct Case {
        const char* name;
        std::function<void(EngineHarness&)> act;
        const char* finding;
    };
    // An aircraft removed from the simulator and confirmed; returns the object it had.
    const auto removedObject = [](EngineHarness& h) {
        const uint32_t object = liveInSim(h, 0x400001).objectId;
        removeAircraftFromSim(*gf_liveByHexid(0x400001));
        EXPECT_TRUE(h.tickUntil([&] { return gf_liveByHexid(0x400001) == nullptr; }, 100));
        return object;
    };
    const Case cases[] = {
        {"one object queued twice for its removal",
         [](EngineHarness&) {
             removeFifo.push_back(901);  // the next send takes this one
             removeFifo.push_back(900);
             removeFifo.push_back(900);
         },
         "an object id is queued twice for removal"},
        {"an object queued again after its removal was confirmed",
         [&](EngineHarness& h) { removeFifo.push_back(removedObject(h)); }, "queued again after its removal"},
        {"an object whose removal reaches the simulator twice",
         [](EngineHarness& h) {
             const uint32_t object = liveInSim(h, 0x400001).objectId;
             lf_pushRemoval(object);
             lf_pushRemoval(object);
         },
         "removed twice"},
        {"an aircraft waiting for a creation that was never ordered",
         [](EngineHarness& h) {
             h.maxCreationWait = 50;
             EngineHarness::standingLive(0x400002, "NOORD", 0, 47.0, 8.0, MovementPhase::Flying).simState =
                 SimState::Adding2Sim;
         },
         "NOORD stuck waiting for its creation"},
        {"one hexid twice in the live list",
         [](EngineHarness&) {
             EngineHarness::standingLive(0x400003, "TWICE", 801, 47.0, 8.0, MovementPhase::Parked);
             EngineHarness::standingLive(0x400003, "TWICE", 802, 47.0, 8.1, MovementPhase::Parked);
         },
         "a hexid is twice in the live list"},
        {"an object id changed past the index",
         [](EngineHarness&) {
             EngineHarness::standingLive(0x400004, "NOIDX", 803, 47.0, 8.0, MovementPhase::Parked).objectId = 804;
         },
         "live index:"},
        {"a live aircraft holding an object whose removal was confirmed",
         [&](EngineHarness& h) {
             EngineHarness::standingLive(0x400005, "AFTER", removedObject(h), 47.0, 8.0, MovementPhase::Parked);
         },
         "AFTER still listed after its removal was confirmed"},
        {"a static holding an object whose removal was confirmed",
         [&](EngineHarness& h) {
             SimAircraft s;
             s.id = 9;
             s.identity.callsign = "AFTER*";
             s.objectId = removedObject(h);
             s.simState = SimState::Active;
             staticList.push_back(s);
         },
         "static AFTER* still listed after its removal was confirmed"},
        {"a live aircraft removing without a removal",
         [](EngineHarness&) {
             EngineHarness::standingLive(0x400006, "NOREM", 805, 47.0, 8.0, MovementPhase::Parked).simState =
                 SimState::RemovingFromSim;
         },
         "NOREM removing without a queued or sent removal"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        c.act(h);
        h.tick(100);
        const std::vector<std::string> found = h.takeViolations();
        expectFinding(found, c.finding);
    }
}

// A live aircraft that stands still in the simulator while its feed flies on is found; one that flies with
// its feed, one whose feed ends, and one removed while its feed goes on are not.
TEST(HarnessSelfCheck, AnAircraftStandingStillWhileItsFeedMovesIsFound) {
    struct Case {
        const char* name;
        std::function<void(LiveAircraft&)> atTwoMinutes;  // done to the aircraft after two minutes of flight
        int records;                                      // feed records, 8 s apart
        const char* finding;                              // empty: the scenario is sound
    };
    const Case cases[] = {
        {"flies with its feed", [](LiveAircraft&) {}, 40, ""},
        {"its feed ends", [](LiveAircraft&) {}, 20, ""},
        {"removed while its feed goes on", [](LiveAircraft& ac) { removeAircraftFromSim(ac); }, 40, ""},
        {"held at its current point while its feed goes on",
         [](LiveAircraft& ac) {
             // The head becomes a stop due in ten minutes: the object is sent where it is, tick after tick.
             ac.stream.front().engineFlag = 1;
             ac.stream.front().tick = engineTick.load() + 60000;
         },
         40, "LIVE01 stands still in the simulator"},
    };
    constexpr uint32_t hex = 0x400001;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        h.giveLivery(hex);
        double lon = 8.0;
        for (int k = 0; k < c.records; ++k) {
            h.handOver({EngineHarness::record(hex, "LIVE01", "A320", 47.0, lon, 5000, 250, 90, 1000 + 8.0 * k)});
            lon += 250 * 8.0 / 3600.0 / 60.0 / std::cos(47.0 * 0.017453292519943295);
            h.tick(800);
            if (k == 18) {
                LiveAircraft* ac = gf_liveByHexid(hex);
                ASSERT_TRUE(ac && ac->simState == SimState::Active);
                c.atTwoMinutes(*ac);
            }
        }
        h.tick(20000);
        const std::vector<std::string> found = h.takeViolations();
        if (*c.finding == '\0') {
            EXPECT_TRUE(found.empty()) << found.front();
            continue;
        }
        expectFinding(found, c.finding);
    }
}
