// Whole roads of live aircraft through the engine: feed records handed over as the traffic reader
// does, engine ticks, a fake simulator that answers creations and reports the ground under each
// object, and invariants checked after every tick (no NaN, bank within the category's limit,
// heading in range), with the sequence of movement phases recorded per aircraft.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <fmt/format.h>

#include "tests/common/engine_harness.h"
#include "tests/engine/motion_fixture.h"

#include "airports/apf_reader.h"
#include "engine/conflicts.h"
#include "engine/notices.h"
#include "foundation/settings.h"

using namespace motiontest;

namespace {

constexpr double kMetre = 0.0005399568034557236;  // nm
constexpr double kFeetPerNm = 6076.11549;
constexpr double kStaticCg = 8.0;

LatLon offset(const LatLon& from, double bearingDeg, double nm) {
    return gf_destinationPoint(from, bearingDeg * kDeg, nm * kFeetPerNm);
}

// Drives the harness and watches every live aircraft after each tick.
class Road {
public:
    explicit Road(double groundElevationFt) : elevation_(groundElevationFt) {
        h.addType("A320", AircraftCategory::Large, 0.0097);
    }

    // Hands over one record as a live answer, then runs the ticks until the next one.
    void feed(const TrafficRecord& r, int ticks = 800) {
        h.handOver({r});
        run(ticks);
    }

    void run(int ticks) {
        for (int i = 0; i < ticks; ++i) {
            h.tick();
            reportGround();
            watch();
        }
    }

    // Ticks at which each record fed was due, with its position (for the trailing check).
    EngineHarness h;
    std::map<uint32_t, std::vector<MovementPhase>> phases;
    std::map<uint32_t, std::set<std::string>> seen;  // flags an aircraft had at some tick
    std::vector<std::string> problems;
    // Position per engine tick (the tick during which it was computed) while active.
    std::map<uint32_t, std::map<uint32_t, LatLon>> track;

private:
    // The simulator's ground reports: the static CG once, then every 20 ticks the height above
    // a flat ground and whether the object touches it.
    void reportGround() {
        if (engineTick.load() % 20 != 0) return;
        for (const auto& ac : liveList) {
            if (ac.objectId == 0 || ac.simState != SimState::Active) continue;
            if (cgSent_.insert(ac.objectId).second)
                gf_postEngineNotice(makeNotice(ac.objectId, ac.id, NoticeKind::StaticCg, kStaticCg, 0.012));
            const double agl = ac.position[kPosAlt] - elevation_;
            const uint32_t touching = agl <= kStaticCg + 0.5 ? 1 : 0;
            gf_postEngineNotice(
                makeNotice(ac.objectId, touching, NoticeKind::GroundInfo, elevation_, std::max(agl, 0.0)));
        }
    }

    void watch() {
        const uint32_t now = engineTick.load();
        for (const auto& ac : liveList) {
            auto& ph = phases[ac.id];
            if (ph.empty() || ph.back() != ac.phase) ph.push_back(ac.phase);
            if (ac.simState != SimState::Active) continue;
            if (!finitePosition(ac)) problems.push_back(fmt::format("tick {}: {} position not finite", now, ac.id));
            const double maxBank = categoryValues(ac.category).maxBank;
            if (std::fabs(ac.position[kPosBank]) > maxBank + 1e-9)
                problems.push_back(
                    fmt::format("tick {}: bank {:.2f} deg beyond the limit", now, ac.position[kPosBank] / kDeg));
            const double hd = ac.position[kPosHeading];
            if (!(hd >= 0.0 && hd <= motion::kTwoPi))
                problems.push_back(fmt::format("tick {}: heading {} out of range", now, hd));
            auto& s = seen[ac.id];
            if (ac.landing) s.insert("landing");
            if (ac.flareStage >= 1) s.insert("flare");
            if (ac.rollingOut) s.insert("rollingOut");
            if (ac.landed) s.insert("landed");
            if (ac.derotating) s.insert("derotating");
            if (ac.takingOff) s.insert("takingOff");
            if (ac.holding) s.insert("holding");
            if (ac.extendCount > 0) s.insert("extending");
            if (curveActive(ac)) s.insert("curve");
            if (ac.cruiseConfigSet) s.insert("cruiseConfig");
            if (ac.goAround) s.insert("goAround");
            if (ac.phase == MovementPhase::PushingBack && curveActive(ac)) s.insert("pushbackCurve");
            track[ac.id][now - 1] = LatLon{ac.position[kPosLat], ac.position[kPosLon]};
        }
    }

    double elevation_;
    std::set<uint32_t> cgSent_;
};

bool hasSequence(const std::vector<MovementPhase>& phases, std::vector<MovementPhase> wanted) {
    size_t i = 0;
    for (MovementPhase p : phases)
        if (i < wanted.size() && p == wanted[i]) ++i;
    return i == wanted.size();
}

std::string phaseList(const std::vector<MovementPhase>& phases) {
    std::string s;
    for (MovementPhase p : phases) s += std::string(phaseName(p)) + " ";
    return s;
}

// The largest distance moved in one tick along a recorded track, nm.
double largestTickMove(const std::map<uint32_t, LatLon>& t) {
    double m = 0.0;
    for (auto it = t.begin(); it != t.end() && std::next(it) != t.end(); ++it)
        m = std::max(m, gf_distanceNm(it->second, std::next(it)->second));
    return m;
}

}  // namespace

using MotionScenario = MotionTest;

TEST_F(MotionScenario, CruiseFollowsTheFeedThirtySecondsBehindWithCruiseConfiguration) {
    Road road(0.0);
    constexpr uint32_t hex = 0xA10001;
    road.h.giveLivery(hex);
    LatLon pos{46.0, 6.0};
    const double speed = 450;  // kt, eastwards
    const double legNm = speed * 8.0 / 3600.0;
    std::vector<std::pair<uint32_t, LatLon>> due;  // tick at which each record is due
    for (int k = 0; k < 40; ++k) {
        auto r =
            EngineHarness::record(hex, "CRZ1", "A320", pos.latitude, pos.longitude, 35000, speed, 90, 1000 + 8.0 * k);
        due.push_back({engineTick.load() + 3000, pos});
        road.feed(r);
        pos = offset(pos, 90, legNm);
    }
    road.run(10000);
    EXPECT_TRUE(road.problems.empty()) << road.problems.front();
    EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
    const auto& ph = road.phases[hex];
    EXPECT_TRUE(hasSequence(ph, {MovementPhase::Birth, MovementPhase::Flying})) << phaseList(ph);
    EXPECT_EQ(std::count(ph.begin(), ph.end(), MovementPhase::Flying), 1) << phaseList(ph);
    // The aircraft is where the feed said 30 s earlier, late only by the time its creation took
    // (it keeps the feed's speed rather than racing to catch up), and that lateness stays the same.
    ASSERT_EQ(road.h.created.size(), 1u);
    const auto& t = road.track[hex];
    ASSERT_FALSE(t.empty());
    std::vector<double> behind;
    for (size_t k = 1; k < due.size(); ++k) {
        auto it = t.find(due[k].first);
        if (it == t.end()) continue;
        EXPECT_LE(it->second.longitude, due[k].second.longitude) << "never ahead of the feed, record " << k;
        behind.push_back(gf_distanceNm(it->second, due[k].second));
    }
    ASSERT_GT(behind.size(), 30u);
    const auto [least, most] = std::minmax_element(behind.begin(), behind.end());
    EXPECT_LT(*most, speed * 2.0 / 3600.0) << "at most 2 s late";
    EXPECT_LT(*most - *least, 0.01);
    EXPECT_LT(largestTickMove(t), speed / 360000.0 * 1.5);
    EXPECT_TRUE(road.seen[hex].count("cruiseConfig"));
    EXPECT_FALSE(road.seen[hex].count("landing"));
    // Removed at the end of its extended stream.
    EXPECT_EQ(road.h.removed.size(), 1u);
    EXPECT_TRUE(road.seen[hex].count("extending"));
}

TEST_F(MotionScenario, ApproachLandingRollOutAndTaxiOffTheRunway) {
    // Runway 09 at an airport of 1000 ft; the aircraft comes from the west on a 3 degree slope.
    constexpr double elevation = 1000.0;
    const LatLon threshold{47.0, 7.98};
    Road road(elevation);
    currentAirport.icao = "TEST";
    currentAirport.latitude = 47.0;
    currentAirport.longitude = 7.99;
    currentAirport.altitude = elevation;
    constexpr uint32_t hex = 0xA20002;
    road.h.giveLivery(hex);
    double time = 1000;
    auto rec = [&](const LatLon& p, double alt, double gs, double trackDeg, double vs) {
        auto r = EngineHarness::record(hex, "ARR2", "A320", p.latitude, p.longitude, alt, gs, trackDeg, time);
        r.verticalSpeed = vs;
        time += 8;
        return r;
    };
    const double approachLeg = 140 * 8.0 / 3600.0;
    for (int k = 0; k < 24; ++k) {
        const int out = 24 - k;
        road.feed(rec(offset(threshold, 270, out * approachLeg), elevation + out * 93.3, 140, 90, -700));
    }
    // Touchdown and roll-out along the runway.
    LatLon p = threshold;
    double gs = 130;
    road.feed(rec(p, 0, gs, 90, 0));
    for (double next : {110.0, 85.0, 60.0, 40.0, 25.0, 15.0}) {
        p = offset(p, 90, (gs + next) / 2 * 8.0 / 3600.0);
        gs = next;
        road.feed(rec(p, 0, gs, 90, 0));
    }
    // Off the runway to the south, then a stop.
    for (double trackDeg : {135.0, 170.0, 180.0, 180.0, 180.0}) {
        p = offset(p, trackDeg, 15 * 8.0 / 3600.0);
        road.feed(rec(p, 0, 15, trackDeg, 0));
    }
    for (int k = 0; k < 3; ++k) {
        time += 8;  // stops more than 15 s apart pass the merge's filter
        road.feed(rec(p, 0, 0, 180, 0));
    }
    road.run(6000);
    EXPECT_TRUE(road.problems.empty()) << road.problems.front();
    EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
    const auto& ph = road.phases[hex];
    EXPECT_TRUE(hasSequence(ph, {MovementPhase::Birth, MovementPhase::Flying, MovementPhase::Taxi})) << phaseList(ph);
    const auto& s = road.seen[hex];
    for (const char* flag : {"landing", "flare", "derotating", "rollingOut", "landed", "holding"})
        EXPECT_TRUE(s.count(flag)) << flag;
    EXPECT_FALSE(s.count("goAround"));
    ASSERT_EQ(liveList.size(), 1u);
    const LiveAircraft& ac = liveList.front();
    EXPECT_EQ(ac.rollingOut, 0) << "turned off the runway";
    EXPECT_EQ(ac.onGround, 1);
    EXPECT_NEAR(ac.position[kPosAlt], elevation + kStaticCg, 1e-6);
    EXPECT_NEAR(ac.position[kPosPitch], ac.staticPitch, 1e-9);
    EXPECT_EQ(ac.position[kPosBank], 0.0);
    EXPECT_LT(gf_distanceNm({ac.position[kPosLat], ac.position[kPosLon]}, p), 0.01);
    EXPECT_NEAR(ac.position[kPosHeading] / kDeg, 180.0, 5.0);
    EXPECT_LT(largestTickMove(road.track[hex]), 140 / 360000.0 * 1.5);
}

TEST_F(MotionScenario, ParkedAircraftPushedBackTaxisAndTakesOff) {
    constexpr double elevation = 500.0;
    Road road(elevation);
    currentAirport.icao = "TEST";
    currentAirport.latitude = 47.0;
    currentAirport.longitude = 8.0;
    currentAirport.altitude = elevation;
    // Stand A7 heading north, radius 20 m; the aircraft stands on it, parked.
    const LatLon stand{47.0, 8.0};
    currentStands.emplace_back("A7", std::vector<StandOption>{}, stand.latitude, stand.longitude, 0.0, 20.0, 1, 1, 1);
    currentStands.back().id = 7;
    currentStands.back().occupied = 1;
    StreamPoint stop = point(stand.latitude, stand.longitude, 0, 0, engineTick.load());
    stop.engineFlag = 1;
    LiveAircraft parked = makeAircraft(AircraftCategory::Large, stop);
    parked.identity.callsign = "DEP3";
    parked.objectId = 900;
    parked.standId = 7;
    parked.standLatitude = stand.latitude;
    parked.standLongitude = stand.longitude;
    parked.setPhase(MovementPhase::Parked);
    parked.position[kPosAlt] = elevation + kStaticCg;
    const uint32_t hex = parked.id;
    lf_appendLive(LiveAircraft(parked));
    road.run(200);
    ASSERT_EQ(liveList.front().phase, MovementPhase::Parked);

    double time = 1000;
    auto rec = [&](const LatLon& p, double alt, double gs, double trackDeg, double vs = 0.0) {
        auto r = EngineHarness::record(hex, "DEP3", "A320", p.latitude, p.longitude, alt, gs, trackDeg, time);
        r.verticalSpeed = vs;
        time += 8;
        return r;
    };
    // Still at the stand, then creeping backwards: the merge lets it leave.
    road.feed(rec(stand, 0, 0, 0));
    for (double metres : {6.0, 12.0, 18.0, 24.0}) road.feed(rec(offset(stand, 180, metres * kMetre), 0, 3, 0));
    // While it is pushed back the feed shows the nose turning left: the tail swings right.
    for (double metres : {30.0, 36.0, 42.0}) road.feed(rec(offset(stand, 185, metres * kMetre), 0, 3, 340));
    road.run(1000);
    // The feed shows it on the taxiway south of the stand, heading east, then on the runway.
    LatLon p = offset(offset(stand, 180, 60 * kMetre), 90, 150 * kMetre);
    for (int k = 0; k < 6; ++k) {
        road.feed(rec(p, 0, 15, 90));
        p = offset(p, 90, 15 * 8.0 / 3600.0);
    }
    double gs = 15;
    for (double next : {30.0, 50.0, 75.0, 100.0, 125.0, 150.0}) {
        p = offset(p, 90, (gs + next) / 2 * 8.0 / 3600.0);
        gs = next;
        road.feed(rec(p, 0, gs, 90));
    }
    double alt = elevation;
    for (int k = 0; k < 14; ++k) {
        p = offset(p, 90, 160 * 8.0 / 3600.0);
        alt += 2000.0 * 8.0 / 60.0;
        road.feed(rec(p, alt, 160, 90, 2000));
    }
    road.run(4000);
    EXPECT_TRUE(road.problems.empty()) << road.problems.front();
    EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
    const auto& ph = road.phases[hex];
    EXPECT_TRUE(hasSequence(ph, {MovementPhase::Parked, MovementPhase::PushingBack, MovementPhase::PushedBack,
                                 MovementPhase::Taxi, MovementPhase::TakeOff, MovementPhase::Flying}))
        << phaseList(ph);
    const auto& s = road.seen[hex];
    for (const char* flag : {"takingOff", "curve", "pushbackCurve"}) EXPECT_TRUE(s.count(flag)) << flag;
    EXPECT_EQ(currentStands.front().occupied, 0) << "the stand is free once the aircraft left it";
    EXPECT_LT(largestTickMove(road.track[hex]), 160 / 360000.0 * 1.5);
}

TEST_F(MotionScenario, FeedGapIsBridgedBySyntheticPointsAndTheAircraftFliesOn) {
    Road road(0.0);
    constexpr uint32_t hex = 0xA40004;
    road.h.giveLivery(hex);
    LatLon pos{46.5, 7.0};
    const double speed = 250;
    const double legNm = speed * 8.0 / 3600.0;
    double time = 1000;
    auto feedAt = [&](int count) {
        for (int k = 0; k < count; ++k) {
            auto r = EngineHarness::record(hex, "GAP4", "A320", pos.latitude, pos.longitude, 12000, speed, 45, time);
            road.feed(r);
            pos = offset(pos, 45, legNm);
            time += 8;
        }
    };
    feedAt(12);
    // 48 s without a record: the aircraft goes on along its heading.
    for (int k = 0; k < 6; ++k) {
        road.run(800);
        pos = offset(pos, 45, legNm);
        time += 8;
    }
    feedAt(12);
    road.run(3000);
    EXPECT_TRUE(road.problems.empty()) << road.problems.front();
    EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
    EXPECT_TRUE(road.seen[hex].count("extending"));
    ASSERT_EQ(road.h.created.size(), 1u) << "bridged, not created again";
    const auto& ph = road.phases[hex];
    EXPECT_EQ(std::count(ph.begin(), ph.end(), MovementPhase::Flying), 1) << phaseList(ph);
    // No jump when the feed comes back.
    EXPECT_LT(largestTickMove(road.track[hex]), speed / 360000.0 * 3.0);
    // Flying on the feed's track again after the gap: near the last record fed, 30 s later.
    ASSERT_FALSE(liveList.empty());
    const LatLon lastFed = offset(pos, 45, -legNm);
    EXPECT_LT(gf_distanceNm({liveList.front().position[kPosLat], liveList.front().position[kPosLon]}, lastFed), 0.5);
}

TEST_F(MotionScenario, LiveryRespawnRecreatesTheAircraftWhereItWas) {
    Road road(0.0);
    GUID_CHANGES.value = true;
    constexpr uint32_t hex = 0xA50005;
    road.h.giveLivery(hex);
    LatLon pos{45.5, 9.0};
    const double speed = 300;
    const double legNm = speed * 8.0 / 3600.0;
    double time = 1000;
    auto feedAt = [&](int count, const std::string& callsign) {
        for (int k = 0; k < count; ++k) {
            auto r = EngineHarness::record(hex, callsign, "A320", pos.latitude, pos.longitude, 15000, speed, 180, time);
            road.feed(r);
            pos = offset(pos, 180, legNm);
            time += 8;
        }
    };
    feedAt(10, "RSP5");
    ASSERT_EQ(road.h.created.size(), 1u);
    feedAt(10, "RSP5X");  // a new callsign: the object is created again under it
    road.run(3000);
    GUID_CHANGES.value = GUID_CHANGES.defaultValue;
    EXPECT_TRUE(road.problems.empty()) << road.problems.front();
    EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
    ASSERT_EQ(road.h.created.size(), 2u);
    EXPECT_EQ(road.h.created[1].callsign, "RSP5X");
    ASSERT_EQ(road.h.removed.size(), 1u);
    EXPECT_EQ(road.h.removed[0], road.h.created[0].objectId);
    // The new object goes on from where the old one was: no jump in the track.
    EXPECT_LT(largestTickMove(road.track[hex]), speed / 360000.0 * 3.0);
    ASSERT_FALSE(liveList.empty());
    EXPECT_EQ(liveList.front().objectId, road.h.created[1].objectId);
    EXPECT_NEAR(liveList.front().position[kPosHeading] / kDeg, 180.0, 1.0);
}

namespace {

// Writes an airport parking file with the stands {name, position, radius m} into the harness's
// folder and reads it as the park airport's file.
void readAirportFile(const std::vector<std::tuple<std::string, LatLon, double>>& stands, double elevation) {
    std::string text = "<?xml version=\"1.0\"?>\n<meta><info name=\"author\" value=\"Vexa\"/><info name=\"version\" "
                       "value=\"1.0.0\"/><info name=\"date\" value=\"Dec 10, 2026\"/></meta>\n<parameters>\n" +
                       fmt::format("<parameter name=\"altitude\" value=\"{}\"/>\n", elevation) +
                       "</parameters>\n<parkpositions>\n";
    for (const auto& [name, at, radius] : stands)
        text += fmt::format("<parkpos id=\"{}\" latitude=\"{:.8f}\" longitude=\"{:.8f}\" heading=\"180.0\" "
                            "radius=\"{:.1f}\" cargo=\"false\" ramp=\"false\"></parkpos>\n",
                            name, at.latitude, at.longitude, radius);
    text += "</parkpositions>\n";
    std::filesystem::create_directories("airports");
    std::ofstream("airports/TEST.xml") << text;
    currentStands.clear();
    ApfHeader header;
    QualityFactors quality;
    ASSERT_EQ(gf_readApf("airports/TEST.xml", header, quality), "");
}

// The records of an arrival on runway 09 from 8 s apart: approach, touchdown, roll-out, off the runway
// to the south and a stop; stop is where it ends.
std::vector<TrafficRecord> arrivalRoad(uint32_t hex, const std::string& callsign, double elevation, double time,
                                       LatLon& stop) {
    const LatLon threshold{47.0, 7.98};
    std::vector<TrafficRecord> out;
    auto rec = [&](const LatLon& p, double alt, double gs, double trackDeg, double vs) {
        auto r = EngineHarness::record(hex, callsign, "A320", p.latitude, p.longitude, alt, gs, trackDeg, time);
        r.verticalSpeed = vs;
        time += 8;
        out.push_back(r);
    };
    const double approachLeg = 140 * 8.0 / 3600.0;
    for (int k = 0; k < 24; ++k) {
        const int outLegs = 24 - k;
        rec(offset(threshold, 270, outLegs * approachLeg), elevation + outLegs * 93.3, 140, 90, -700);
    }
    LatLon p = threshold;
    double gs = 130;
    rec(p, 0, gs, 90, 0);
    for (double next : {110.0, 85.0, 60.0, 40.0, 25.0, 15.0}) {
        p = offset(p, 90, (gs + next) / 2 * 8.0 / 3600.0);
        gs = next;
        rec(p, 0, gs, 90, 0);
    }
    for (double trackDeg : {135.0, 170.0, 180.0, 180.0, 180.0}) {
        p = offset(p, trackDeg, 15 * 8.0 / 3600.0);
        rec(p, 0, 15, trackDeg, 0);
    }
    for (int k = 0; k < 3; ++k) {
        time += 8;
        rec(p, 0, 0, 180, 0);
    }
    stop = p;
    return out;
}

}  // namespace

// Two arrivals on the same road, two minutes apart, both stopping by the one stand: at no tick do two
// aircraft hold that stand.
TEST_F(MotionScenario, TwoArrivalsNeverTakeOneStand) {
    constexpr double elevation = 1000.0;
    Road road(elevation);
    currentAirport.icao = "TEST";
    currentAirport.latitude = 47.0;
    currentAirport.longitude = 7.99;
    currentAirport.altitude = elevation;
    road.h.giveLivery(0xA20011);
    road.h.giveLivery(0xA20012);
    LatLon stop;
    const auto first = arrivalRoad(0xA20011, "ARR11", elevation, 1000, stop);
    const auto second = arrivalRoad(0xA20012, "ARR12", elevation, 1120, stop);
    readAirportFile({{"G1", offset(stop, 180, 12 * kMetre), 25.0}}, elevation);
    size_t worst = 0;
    std::set<uint32_t> holders;
    auto step = [&](int ticks) {
        for (int t = 0; t < ticks; ++t) {
            road.run(1);
            size_t onStand = 0;
            for (const auto& l : liveList) {
                if (l.standId == 0 || l.simState == SimState::RemovingFromSim) continue;
                if (l.phase != MovementPhase::Parking && l.phase != MovementPhase::Parked) continue;
                ++onStand;
                holders.insert(l.id);
            }
            worst = std::max(worst, onStand);
        }
    };
    for (size_t i = 0; i < first.size() + 15; ++i) {
        std::vector<TrafficRecord> batch;
        if (i < first.size()) batch.push_back(first[i]);
        if (i >= 15 && i - 15 < second.size()) batch.push_back(second[i - 15]);
        road.h.handOver(batch);
        step(800);
    }
    step(6000);
    EXPECT_TRUE(road.problems.empty()) << road.problems.front();
    EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
    EXPECT_EQ(worst, 1u);
    EXPECT_FALSE(holders.empty());
}

// An arrival lands, rolls out, taxis off the runway and stops near a stand of the airport file: it takes
// the stand, drives in and parks. A new incarnation of the same flight created at that stand later
// removes the parked one.
TEST_F(MotionScenario, ArrivalTaxisToAStandOfTheAirportFileAndParks) {
    constexpr double elevation = 1000.0;
    Road road(elevation);
    currentAirport.icao = "TEST";
    currentAirport.latitude = 47.0;
    currentAirport.longitude = 7.99;
    currentAirport.altitude = elevation;
    constexpr uint32_t hex = 0xA20002;
    road.h.giveLivery(hex);
    LatLon p;
    const auto road1 = arrivalRoad(hex, "ARR2", elevation, 1000, p);
    double time = road1.back().timestamp + 8;
    // Stand G1 12 m beyond the stop, G2 on the runway's other side (too far).
    const LatLon g1 = offset(p, 180, 12 * kMetre);
    readAirportFile({{"G1", g1, 25.0}, {"G2", offset(p, 0, 500 * kMetre), 25.0}}, elevation);
    ASSERT_EQ(currentStands.size(), 2u);
    ASSERT_EQ(parkingActive.load(), 1);
    for (const auto& r : road1) road.feed(r);
    road.run(6000);
    EXPECT_TRUE(road.problems.empty()) << road.problems.front();
    EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
    const auto& ph = road.phases[hex];
    EXPECT_TRUE(
        hasSequence(ph, {MovementPhase::Flying, MovementPhase::Taxi, MovementPhase::Parking, MovementPhase::Parked}))
        << phaseList(ph);
    ASSERT_EQ(liveList.size(), 1u);
    const LiveAircraft& ac = liveList.front();
    EXPECT_EQ(ac.standId, currentStands[0].id);
    EXPECT_LT(gf_distanceNm({ac.position[kPosLat], ac.position[kPosLon]}, g1), 3 * kMetre);
    // It is recorded as really standing there.
    EXPECT_FALSE(currentStands[0].options.empty());
    const uint32_t parkedObject = ac.objectId;

    // The same flight shows up again on the stand under a new address (and another type, else the
    // merge takes it for the parked one): created there, it claims the stand and the parked one goes.
    constexpr uint32_t hex2 = 0xA20003;
    road.h.addType("A321", AircraftCategory::Large, 0.0097);
    road.h.giveLivery(hex2);
    for (int k = 0; k < 4; ++k) {
        auto r = EngineHarness::record(hex2, "ARR2", "A321", g1.latitude, g1.longitude, 0, 0, 180, time);
        time += 20;
        road.h.handOver({r});
        road.run(800);
    }
    road.run(4000);
    size_t onG1 = 0;
    for (const auto& l : liveList)
        if (l.standId == currentStands[0].id && l.simState != SimState::RemovingFromSim) ++onG1;
    EXPECT_LE(onG1, 1u);
    EXPECT_NE(std::find(road.h.removed.begin(), road.h.removed.end(), parkedObject), road.h.removed.end());
    for (const auto& l : liveList) EXPECT_NE(l.id, hex) << "the parked incarnation is gone";
    const LiveAircraft* second = gf_liveByHexid(hex2);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->standId, currentStands[0].id);
    EXPECT_EQ(second->phase, MovementPhase::Parked);
}

// An aircraft the feed reports parked, so never landed in this session, is towed from its stand to
// another one where a static aircraft stands, pushed back or pulled forward off its stand: it takes that
// stand like any arrival, and the static makes way.
TEST_F(MotionScenario, AircraftTowedToAStaticsStandTakesItAndTheStaticMakesWay) {
    constexpr double elevation = 500.0;
    for (const auto& [how, away, leaving] : {std::tuple{"pushed back", 180.0, MovementPhase::PushingBack},
                                             std::tuple{"pulled forward", 0.0, MovementPhase::Taxi}}) {
        SCOPED_TRACE(how);
        Road road(elevation);
        currentAirport.icao = "TEST";
        currentAirport.latitude = 47.0;
        currentAirport.longitude = 8.0;
        currentAirport.altitude = elevation;
        // Stands A7 and B9 heading north, radius 20 m, 250 m apart; a static aircraft stands on B9.
        const LatLon a7{47.0, 8.0};
        const LatLon b9 = offset(a7, 90, 250 * kMetre);
        for (const auto& [name, id, at] : {std::tuple{"A7", 7u, a7}, std::tuple{"B9", 9u, b9}}) {
            currentStands.emplace_back(name, std::vector<StandOption>{}, at.latitude, at.longitude, 0.0, 20.0, 1, 1, 1);
            currentStands.back().id = id;
        }
        currentStands.front().occupied = 1;
        parkingActive.store(1);
        SimAircraft parkedStatic;
        parkedStatic.id = 5;
        parkedStatic.objectId = 9000;
        parkedStatic.identity.callsign = "UAL5*";
        parkedStatic.identity.icaoType = "A320";
        parkedStatic.standId = 9;
        parkedStatic.standLatitude = b9.latitude;
        parkedStatic.standLongitude = b9.longitude;
        parkedStatic.simState = SimState::Active;
        staticList.push_back(parkedStatic);
        StreamPoint stop = point(a7.latitude, a7.longitude, 0, 0, engineTick.load());
        stop.engineFlag = 1;
        LiveAircraft parked = makeAircraft(AircraftCategory::Large, stop);
        parked.identity.callsign = "TOW6";
        parked.objectId = 901;
        parked.standId = 7;
        parked.standLatitude = a7.latitude;
        parked.standLongitude = a7.longitude;
        parked.setPhase(MovementPhase::Parked);
        parked.position[kPosAlt] = elevation + kStaticCg;
        const uint32_t hex = parked.id;
        lf_appendLive(LiveAircraft(parked));
        road.run(200);

        double time = 1000;
        auto rec = [&](const LatLon& p, double gs, double trackDeg) {
            auto r = EngineHarness::record(hex, "TOW6", "A320", p.latitude, p.longitude, 0, gs, trackDeg, time);
            time += 8;
            return r;
        };
        // Off A7, east along the lane 60 m from the stands, then into B9, where it stops.
        road.feed(rec(a7, 0, 0));
        for (double metres : {6.0, 12.0, 18.0, 24.0, 30.0, 36.0, 42.0})
            road.feed(rec(offset(a7, away, metres * kMetre), 3, 0));
        road.run(1000);
        const LatLon lane = offset(a7, away, 60 * kMetre);
        for (double metres = 0.0; metres <= 250.0; metres += 30.0)
            road.feed(rec(offset(lane, 90, metres * kMetre), 7, 90));
        for (double metres : {40.0, 20.0, 2.0}) road.feed(rec(offset(b9, away, metres * kMetre), 5, 180 - away));
        for (int k = 0; k < 3; ++k) {
            time += 8;  // stops more than 15 s apart pass the merge's filter
            road.feed(rec(offset(b9, away, 2.0 * kMetre), 0, 180 - away));
        }
        road.run(6000);
        EXPECT_TRUE(road.problems.empty()) << road.problems.front();
        EXPECT_TRUE(road.h.violations.empty()) << road.h.violations.front();
        const LiveAircraft* towed = gf_liveByHexid(hex);
        ASSERT_NE(towed, nullptr) << "removed instead of parked";
        EXPECT_TRUE(hasSequence(road.phases[hex],
                                {MovementPhase::Parked, leaving, MovementPhase::Parking, MovementPhase::Parked}))
            << phaseList(road.phases[hex]);
        EXPECT_EQ(towed->phase, MovementPhase::Parked);
        EXPECT_EQ(towed->standId, 9u);
        EXPECT_EQ(towed->towed, 1);
        EXPECT_LT(gf_distanceNm({towed->position[kPosLat], towed->position[kPosLon]}, b9), 3 * kMetre);
        EXPECT_NE(std::find(road.h.removed.begin(), road.h.removed.end(), 9000u), road.h.removed.end())
            << "the static made way";
        EXPECT_TRUE(staticList.empty());
        EXPECT_EQ(gf_findStandById(7)->occupied, 0) << "left behind";
        parkingActive.store(0);
    }
}
