// A live aircraft's hold on its stand ends on many paths; on each the stand is offered again, unless
// another live aircraft parks there.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/parking.h"
#include "app/window_requests.h"
#include "engine/engine_state.h"
#include "engine/motion.h"
#include "engine/motion_detail.h"
#include "engine/notices.h"
#include "foundation/settings.h"
#include "tests/common/engine_harness.h"

namespace {

constexpr double kLat = 47.0;
constexpr double kLon = 8.0;
constexpr double kMetreDeg = 1.0 / 1852.0 / 60.0;  // of latitude
constexpr uint32_t kHeld = 1;                      // the stand the aircraft holds
constexpr uint32_t kOther = 2;                     // a stand 200 m away

void makeStands() {
    currentStands.clear();
    for (const auto& [name, metres] : {std::pair{"A1", 0.0}, std::pair{"A3", 200.0}})
        currentStands.emplace_back(name, std::vector<StandOption>{}, kLat + metres * kMetreDeg, kLon, 0.0, 20.0, 1, 1,
                                   1);
    gf_numberAndCoupleStands(currentStands);
}

// An active live aircraft standing still on a stand (its one point far in the future).
LiveAircraft& onStand(uint32_t hexid, const std::string& callsign, uint32_t objectId, MovementPhase phase) {
    const ParkPos* stand = gf_findStandById(kHeld);
    LiveAircraft& ac = EngineHarness::standingLive(hexid, callsign, objectId, stand->latitude, stand->longitude, phase);
    ac.standId = kHeld;
    ac.standLatitude = stand->latitude;
    ac.standLongitude = stand->longitude;
    return ac;
}

void airborne(LiveAircraft& ac, double verticalSpeedFpm) {
    ac.onGround = 0;
    ac.setPhase(MovementPhase::Flying);
    ac.position[kPosAlt] = 1500.0;
    ac.stream.front().altitudeFt = 1500.0;
    ac.stream.front().airborne = 1;
    ac.stream.front().verticalSpeed = verticalSpeedFpm;
    CurrentAirport airport;
    airport.icao = "TEST";
    airport.latitude = kLat;
    airport.longitude = kLon;
    gf_setCurrentAirport(airport);
}

void waitingForCreation(LiveAircraft& ac) {
    lf_setLiveObjectId(ac, 0);
    ac.simState = SimState::Adding2Sim;
}

}  // namespace

TEST(StandHold, EveryPathThatEndsItOffersTheStandAgainUnlessAnotherLiveAircraftParksThere) {
    struct Path {
        const char* name;
        MovementPhase phase;  // of the aircraft holding the stand
        bool othersStay;      // another live aircraft parked there outlives the path
        std::function<void(EngineHarness&, LiveAircraft&)> end;
        int ticks = 100;  // run after it
    };
    const std::vector<Path> paths = {
        {"takes another stand", MovementPhase::Parking, true,
         [](EngineHarness&, LiveAircraft& ac) { lf_takeStand(ac, *gf_findStandById(kOther)); }},
        {"leaves the stand", MovementPhase::Parked, true, [](EngineHarness&, LiveAircraft& ac) { lf_departStand(ac); }},
        {"landing set-up", MovementPhase::Parking, true,
         [](EngineHarness&, LiveAircraft& ac) {
             airborne(ac, -700.0);
             finalApproachConfig(ac);
             ASSERT_EQ(ac.landing, 1);
         }},
        {"go-around", MovementPhase::Parking, true,
         [](EngineHarness&, LiveAircraft& ac) {
             airborne(ac, 1000.0);
             ac.landing = 1;
             finalApproachConfig(ac);
             ASSERT_EQ(ac.goAround, 1);
         }},
        {"take-off", MovementPhase::Taxi, true, [](EngineHarness&, LiveAircraft& ac) { startTakeOff(ac); }},
        {"take-off after touching down", MovementPhase::Taxi, true,
         [](EngineHarness&, LiveAircraft& ac) {
             ac.takingOff = 1;
             ac.rollingOut = 1;
             startRotation(ac);
         }},
        {"removal", MovementPhase::Parking, true, [](EngineHarness&, LiveAircraft& ac) { removeAircraftFromSim(ac); }},
        {"removed by the simulator", MovementPhase::Parked, true,
         [](EngineHarness&, LiveAircraft& ac) {
             gf_postEngineNotice(makeNotice(ac.objectId, 0, NoticeKind::ObjectRemoved));
         }},
        {"creation refused", MovementPhase::Parked, true,
         [](EngineHarness&, LiveAircraft& ac) {
             waitingForCreation(ac);
             ac.creationRequest = 77;
             gf_postEngineNotice(makeCreationAnswer(0, ac.id, NoticeKind::CreateFailed, 77));
         }},
        {"creation taken out of its queue", MovementPhase::Parked, true,
         [](EngineHarness&, LiveAircraft& ac) {
             waitingForCreation(ac);
             liveCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 0, 0, ac.identity.callsign, {}, ac.id});
             removeAircraftFromSim(ac);
         }},
        {"creation never answered", MovementPhase::Parked, true,
         [](EngineHarness& h, LiveAircraft& ac) {
             waitingForCreation(ac);
             liveCreateFifo.push_back(SpawnOrder{0, 0, 0, 0, 0, 0, 0, 0, ac.identity.callsign, {}, ac.id});
             h.answerCreations = false;
         },
         3200},
        {"respawning at its stand, thrown away at the gate", MovementPhase::Parked, true,
         [](EngineHarness&, LiveAircraft& ac) {
             lf_setLiveObjectId(ac, 0);
             ac.simState = SimState::Buffer;
             ac.stream.front().tick = engineTick.load();  // due, and its only point: discarded
         }},
        {"time shift", MovementPhase::Parked, false,
         [](EngineHarness& h, LiveAircraft&) {
             gf_requestTimeShiftRemovals();
             h.serveWindowRequests();
         }},
        {"run clean-up", MovementPhase::Parked, false,
         [](EngineHarness&, LiveAircraft&) { gf_cleanupSessionContainers(); }},
    };
    for (const Path& path : paths) {
        for (const bool other : {false, true}) {
            SCOPED_TRACE(std::string(path.name) + (other ? ", another aircraft parked there" : ""));
            EngineHarness h;
            h.addType("A320", AircraftCategory::Large);
            makeStands();
            LiveAircraft& ac = onStand(0x400001, "DLH1", 501, path.phase);
            if (other) onStand(0x400002, "AFR2", 502, MovementPhase::Parked);
            gf_findStandById(kHeld)->occupied = 1;
            path.end(h, ac);
            h.tick(path.ticks);
            const ParkPos* stand = gf_findStandById(kHeld);
            const bool held = stand != nullptr && stand->occupied != 0;
            EXPECT_EQ(held, other && path.othersStay);
            EXPECT_TRUE(h.violations.empty()) << h.violations.front();
        }
    }
}
