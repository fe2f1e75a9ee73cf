// The engine's callers of the removal request, each in its own world: the object it decides to take out
// of the simulator is removed there once and the aircraft leaves its list with the confirmation, with the
// harness's per-tick invariants holding, and the removal of a static named in the log. A second request for an aircraft already removing queues nothing,
// so none of these may depend on asking twice.
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/parking.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/notices.h"
#include "engine/static_parking.h"
#include "engine/upkeep.h"
#include "foundation/settings.h"
#include "tests/common/engine_harness.h"
#include "tests/common/sandbox.h"

namespace {

// Frankfurt as the park airport, with the user's stand A3 reserved.
CurrentAirport eddfWithReservedA3() { return CurrentAirport{"EDDF", "FRA", 50.03, 8.57, 364.0, "A3"}; }

constexpr double kLat = 47.0;
constexpr double kLon = 8.0;
constexpr double kMetreDeg = 1.0 / 1852.0 / 60.0;  // of latitude
constexpr uint32_t kObject = 501;                  // the object each case expects to be removed

// Stands A1 and A2 30 m apart (coupled), A3 200 m away; numbered 1, 2, 3.
void makeStands() {
    currentStands.clear();
    for (const auto& [name, metres] : {std::pair{"A1", 0.0}, std::pair{"A2", 30.0}, std::pair{"A3", 200.0}})
        currentStands.emplace_back(name, std::vector<StandOption>{}, kLat + metres * kMetreDeg, kLon, 0.0, 20.0, 1, 1,
                                   1);
    gf_numberAndCoupleStands(currentStands);
}

// An active live aircraft standing still (its one point far in the future), optionally parked on a stand.
LiveAircraft& live(uint32_t hexid, const std::string& callsign, uint32_t objectId, MovementPhase phase,
                   uint32_t standId = 0) {
    const ParkPos* stand = standId ? gf_findStandById(standId) : nullptr;
    const double lat = stand ? stand->latitude : kLat + 1.0;
    const double lon = stand ? stand->longitude : kLon;
    LiveAircraft& ac = EngineHarness::standingLive(hexid, callsign, objectId, lat, lon, phase);
    if (stand) {
        ac.standId = standId;
        ac.standLatitude = lat;
        ac.standLongitude = lon;
        gf_findStandById(standId)->occupied = phase == MovementPhase::Parked ? 1 : 0;
    }
    return ac;
}

SimAircraft& staticOn(uint32_t id, uint32_t objectId, uint32_t standId) {
    const ParkPos* stand = gf_findStandById(standId);
    SimAircraft s;
    s.id = id;
    s.objectId = objectId;
    s.standId = standId;
    s.standLatitude = stand->latitude;
    s.standLongitude = stand->longitude;
    s.identity.airline = "DLH";
    s.identity.icaoType = "A320";
    s.identity.callsign = "ST" + std::to_string(id) + "*";
    s.halfSpanNm = 0.01;
    s.simState = SimState::Active;
    staticList.push_back(s);
    return staticList.back();
}

bool objectListed(uint32_t objectId) {
    return std::any_of(liveList.begin(), liveList.end(),
                       [&](const LiveAircraft& a) { return a.objectId == objectId; }) ||
           std::any_of(staticList.begin(), staticList.end(),
                       [&](const SimAircraft& s) { return s.objectId == objectId; });
}

// A line of the log that names the static and its removal.
bool loggedRemoval(const std::string& log, const std::string& callsign) {
    return !logLinesWith(log, {callsign, "removed"}).empty() || !logLinesWith(log, {callsign, "makes way"}).empty();
}

}  // namespace

TEST(RemovalCallers, EachCallersRemovalReachesTheSimulatorOnceAndIsConfirmed) {
    struct Case {
        const char* caller;
        std::function<void()> act;
        const char* logged = nullptr;  // the static whose removal the log names
    };
    const std::vector<Case> cases = {
        {"blocked notice",
         [] {
             live(0x400001, "BLK1", kObject, MovementPhase::Flying);
             gf_postEngineNotice(makeNotice(0, 0x400001, NoticeKind::Blocked));
         }},
        {"parked-live housekeeping: live parked longest",
         [] {
             LiveAircraft& first = live(0x400001, "DLH1", kObject, MovementPhase::Parked, 1);
             first.parkedSince -= 600000000;  // a minute earlier
             live(0x400002, "DLH2", 502, MovementPhase::Parked, 3);
             gf_keepParkedWithinPlan(0);  // 3 stands at 30 %: one wanted
         }},
        {"parked-live housekeeping: static beyond the plan",
         [] {
             staticOn(7, kObject, 1);
             gf_keepParkedWithinPlan(1);
         },
         "ST7*"},
        {"renewal's live parked removal",
         [] {
             live(0x400001, "DLH1", kObject, MovementPhase::Parked, 1);
             gf_removeLiveParked(1);
         }},
        {"user's way",
         [] {
             LiveAircraft& ac = live(0x400001, "DLH1", kObject, MovementPhase::Taxi);
             userState.latitude = ac.position[kPosLat];
             userState.longitude = ac.position[kPosLon];
             userState.altitudeAboveGround = 0.0;
             ASSERT_TRUE(gf_checkUserWay(ac));
         }},
        {"ghost",
         [] {
             live(0x400001, "ABC1_", kObject, MovementPhase::Flying);
             lf_removeGhost("ABC1");
         }},
        {"adjacent stand colliding",
         [] {
             live(0x400001, "AFR1", kObject, MovementPhase::Parked, 2);
             LiveAircraft p = live(0x400002, "DLH2", 502, MovementPhase::Taxi);
             lf_removeAdjacentColliding(2, p, currentStands[0], liveList[0]);
         }},
        {"flush of the statics",
         [] {
             staticOn(7, kObject, 1);
             gf_flushStaticAircraft();
         },
         "ST7*"},
        {"reserved stand: static",
         [] {
             gf_setCurrentAirport(eddfWithReservedA3());
             staticOn(7, kObject, 3);
             gf_clearReservedStand();
         },
         "ST7*"},
        {"reserved stand: live",
         [] {
             gf_setCurrentAirport(eddfWithReservedA3());
             live(0x400001, "DLH1", kObject, MovementPhase::Parked, 3);
             gf_clearReservedStand();
         }},
        {"parked too long",
         [] {
             LiveAircraft& ac = live(0x400001, "DLH1", kObject, MovementPhase::Parked, 1);
             ac.parkedSince -= 100LL * 600000000;  // 100 minutes
             gf_listLiveParked();
         }},
        {"arrival parking on a live aircraft's stand",
         [] {
             live(0x400001, "AFR1", kObject, MovementPhase::Parked, 3);
             currentStands[2].occupied = 0;  // not marked: the fitting-stand search offers it
             LiveAircraft& p = live(0x400002, "DLH2", 502, MovementPhase::Taxi);
             p.stream.back().latitude = currentStands[2].latitude;
             p.stream.back().longitude = currentStands[2].longitude;
             try2Park(p, false);
             ASSERT_EQ(p.standId, 3u);
         }},
        {"static making way at the stand",
         [] {
             staticOn(7, kObject, 1);
             LiveAircraft& p = live(0x400002, "DLH2", 502, MovementPhase::Taxi);
             lf_makeWayAtStand(p, currentStands[0]);
         },
         "ST7*"},
        {"static making way at a coupled stand",
         [] {
             staticOn(7, kObject, 2);
             LiveAircraft& p = live(0x400002, "DLH2", 502, MovementPhase::Parked, 1);
             lf_staticAtAdjacentStandMakesWay(p, currentStands[0]);
         },
         "ST7*"},
        {"collision avoidance",
         [] {
             staticOn(7, kObject, 1);
             LiveAircraft& p = live(0x400002, "DLH2", 502, MovementPhase::Parked, 1);
             ASSERT_NE(gf_collisionAvoidance(p), staticList.end());
         },
         "ST7*"},
        {"max park exceeded",
         [] {
             live(0x400001, "DLH1", kObject, MovementPhase::Parked, 1);
             lf_removeMaxParkExceeded(0x400001);
         }},
        {"farthest live",
         [] {
             live(0x400001, "DLH1", kObject, MovementPhase::Flying);
             ASSERT_FALSE(removeFarthestLive(-1.0));
         }},
        {"MAX_LIVE",
         [] {
             live(0x400001, "DLH1", kObject, MovementPhase::Flying);
             MAX_LIVE.value = 0;
             gf_enforceMaxLive();
         }},
        {"stand claimed at creation",
         [] {
             live(0x400001, "DLH1", kObject, MovementPhase::Parked, 1);
             LiveAircraft n = live(0x400002, "DLH1", 502, MovementPhase::Birth);
             ASSERT_TRUE(lf_claimStand(n, 1));
         }},
        {"static asked to go during its light set-up",
         [] {
             SimAircraft& s = staticOn(7, 0, 1);
             s.simState = SimState::Adding2Sim;
             s.creationRequest = 76;
             gf_postEngineNotice(makeCreationAnswer(kObject, 7, NoticeKind::StaticCreated, 76));
             gf_drainEngineInbox();
             removeAircraftFromSim(staticList[0]);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caller);
        gf_resetSettings();
        EngineHarness h;
        h.addType("A320", AircraftCategory::Large);
        makeStands();
        parking_percentage.value = 30;
        CapturedLog log;
        c.act();
        EXPECT_TRUE(h.tickUntil(
            [&] { return std::count(h.removed.begin(), h.removed.end(), kObject) > 0 && !objectListed(kObject); },
            500));
        EXPECT_EQ(std::count(h.removed.begin(), h.removed.end(), kObject), 1);
        EXPECT_TRUE(h.violations.empty()) << h.violations.front();
        if (c.logged) {
            EXPECT_TRUE(loggedRemoval(log.text(), c.logged)) << log.text();
        }
        gf_resetSettings();
    }
}
