// A departure first seen anywhere in its take-off roll, and an arrival first seen in its roll-out: the feed's
// answers go through the record parser as the traffic reader's do (with the field elevation and the park
// airport of the case, or none), each answer is handed to the engine as a batch every 2 s, and a stand-in of the
// simulator reports the ground under each object as the simulator link does. The departure must roll, lift off
// and climb with its feed; both must go when their feed has ended.
#include <algorithm>
#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "engine/engine_state.h"
#include "engine/notices.h"
#include "feed/readers.h"
#include "feed/record_parser.h"
#include "feed/web_api.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "shell/engine_inbox.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "tests/common/engine_harness.h"

namespace {

constexpr double kDeg = 0.017453292519943295;
constexpr double kFeetPerNm = 6076.11549;
constexpr uint32_t kHex = 0x440321;
constexpr double kRunwayDeg = 249.66;
constexpr double kCgFt = 9.0;           // the stand-in simulator's height of an airliner's centre of gravity
constexpr double kRollSec = 60.0;       // a departure's roll: 0 to 150 kt
constexpr double kTouchdownSec = 60.0;  // an arrival's touchdown at 140 kt
constexpr double kFeedEndSec = 240.0;

LatLon offset(const LatLon& from, double bearingDeg, double nm) {
    return gf_destinationPoint(from, bearingDeg * kDeg, nm * kFeetPerNm);
}

// Where the feed has the aircraft, one point a second.
struct FeedPoint {
    LatLon position;
    double altitudeFt, groundSpeedKt, trackDeg, verticalSpeedFpm;
    bool onGround;
};

// A departure from the start of its roll: 2.5 kt a second along the runway to 150 kt, lift-off at 60 s, then
// 2000 ft a minute up to 180 kt, a right turn of 90 degrees from 120 s to 150 s and on, to 240 s.
std::vector<FeedPoint> departure(const LatLon& start, double elevationFt) {
    std::vector<FeedPoint> points;
    LatLon p = start;
    double track = kRunwayDeg;
    constexpr double dt = 0.1;
    for (int step = 0; step <= static_cast<int>(kFeedEndSec / dt); ++step) {
        const double t = step * dt;
        const bool ground = t < kRollSec;
        const double gs = ground ? 2.5 * t : std::min(150.0 + (t - kRollSec), 180.0);
        if (step % 10 == 0)
            points.push_back({p, ground ? elevationFt : elevationFt + 2000.0 * (t - kRollSec) / 60.0, gs, track,
                              ground ? 0.0 : 2000.0, ground});
        if (t >= 120.0 && t < 150.0) track = std::fmod(track + 3.0 * dt, 360.0);
        p = offset(p, track, gs * dt / 3600.0);
    }
    return points;
}

// An arrival: 60 s of final at 140 kt down 700 ft a minute, touchdown at the start of the runway, 2.5 kt a
// second slower to 20 kt, a right turn off the runway at 15 kt from 110 s to 120 s, a taxi at 15 kt and a stop
// at 230 s, to 240 s.
std::vector<FeedPoint> arrival(const LatLon& touchdown, double elevationFt) {
    std::vector<FeedPoint> points;
    LatLon p = offset(touchdown, kRunwayDeg + 180.0, 140.0 * kTouchdownSec / 3600.0);
    double track = kRunwayDeg;
    constexpr double dt = 0.1;
    for (int step = 0; step <= static_cast<int>(kFeedEndSec / dt); ++step) {
        const double t = step * dt;
        const bool ground = t >= kTouchdownSec;
        const double gs = !ground     ? 140.0
                          : t < 108.0 ? std::max(140.0 - 2.5 * (t - kTouchdownSec), 20.0)
                          : t < 230.0 ? 15.0
                                      : 0.0;
        if (step % 10 == 0)
            points.push_back({p, ground ? elevationFt : elevationFt + 700.0 * (kTouchdownSec - t) / 60.0, gs, track,
                              ground ? 0.0 : -700.0, ground});
        if (t >= 110.0 && t < 120.0) track = std::fmod(track + 9.0 * dt, 360.0);
        p = offset(p, track, gs * dt / 3600.0);
    }
    return points;
}

// The service's array of one aircraft (a barometric altitude, the field's on the ground).
nlohmann::json feedLine(const FeedPoint& f, double stamp) {
    nlohmann::json a = nlohmann::json::array();
    for (int i = 0; i < 48; ++i) a.push_back(nullptr);
    a[0] = fmt::format("{:06x}", kHex);
    a[1] = f.position.latitude;
    a[2] = f.position.longitude;
    a[3] = f.trackDeg;
    a[4] = std::round(f.altitudeFt);
    a[5] = f.groundSpeedKt;
    a[8] = "A320";
    a[9] = "OE-LBA";
    a[10] = stamp;
    a[11] = "EDDF";
    a[12] = "LOWW";
    a[13] = "AUA124";
    a[15] = f.verticalSpeedFpm;
    a[17] = "adsb_icao";
    a[18] = std::round(f.altitudeFt);
    a[20] = f.onGround ? -1.0 : f.groundSpeedKt;
    a[21] = f.groundSpeedKt;
    a[25] = f.trackDeg;
    a[28] = "A3";
    return a;
}

// Where the aircraft rolls, and the park airport the program has at that moment.
struct Airports {
    const char* name;
    LatLon runway;             // where a departure's roll starts, or an arrival touches down
    double runwayElevationFt;  // the ground under the roll, also the simulator's
    std::optional<CurrentAirport> park;
};

CurrentAirport parkAirport(const char* icao, const LatLon& at, double elevationFt) {
    CurrentAirport a;
    a.icao = icao;
    a.latitude = at.latitude;
    a.longitude = at.longitude;
    a.altitude = elevationFt;
    return a;
}

// The parser's and the engine's shared state for one case (the user flying at a position), put back at its end.
class FeedSide {
public:
    FeedSide(const Airports& airports, const LatLon& user) {
        savedRange_ = rangeNm.load();
        savedQnh_ = qnhHpa.load();
        savedOwn_ = trafficReader.ownPositionCopy();
        savedOnGround_ = userOnGround.load();
        rangeNm.store(40.0);
        qnhHpa.store(1013);
        trafficReader.setOwnPosition(user);
        trafficReader.records.clear();
        userState.latitude = user.latitude;
        userState.longitude = user.longitude;
        userState.altitude = 6000.0;
        userOnGround.store(0);
        if (airports.park) {
            gf_setCurrentAirport(*airports.park);
            fieldElevationFt.store(airports.park->altitude);
            fieldElevationKnown.store(1);
        }
    }
    ~FeedSide() {
        rangeNm.store(savedRange_);
        qnhHpa.store(savedQnh_);
        trafficReader.setOwnPosition(savedOwn_);
        trafficReader.records.clear();
        userOnGround.store(savedOnGround_);
        gf_leaveApf();
        gf_setCurrentAirport(CurrentAirport{});
    }
    FeedSide(const FeedSide&) = delete;
    FeedSide& operator=(const FeedSide&) = delete;

    // The record the parser makes of the line, when it keeps one.
    static std::optional<TrafficRecord> parse(const nlohmann::json& line) {
        trafficReader.records.clear();
        trafficReader.currentLine = line;
        processLine(trafficReader);
        if (trafficReader.records.empty()) return std::nullopt;
        TrafficRecord r = trafficReader.records.back();
        trafficReader.records.clear();
        return r;
    }

private:
    double savedRange_ = 0.0;
    int32_t savedQnh_ = 1013;
    LatLon savedOwn_;
    uint8_t savedOnGround_ = 0;
};

// What the simulator link reports of every live object every 20 ticks: its static centre of gravity once,
// then its height above the flat ground and whether it touches it (up to 2500 ft above the ground).
class Ground {
public:
    explicit Ground(double elevationFt) : elevation_(elevationFt) {}
    void report() {
        if (engineTick.load() % 20 != 0) return;
        for (const auto& ac : liveList) {
            if (ac.objectId == 0) continue;
            if (cgSent_.insert(ac.objectId).second)
                gf_postEngineNotice(makeNotice(ac.objectId, ac.id, NoticeKind::StaticCg, kCgFt, 0.6 * kDeg));
            const double agl = std::max(ac.position[kPosAlt] - elevation_, 0.0);
            if (agl > 2500.0) continue;
            gf_postEngineNotice(
                makeNotice(ac.objectId, agl <= kCgFt + 1.0 ? 1u : 0u, NoticeKind::GroundInfo, elevation_, agl));
        }
    }

private:
    double elevation_;
    std::set<uint32_t> cgSent_;
};

struct Flight {
    int objects = 0;              // objects created for the aircraft
    double highestFt = -1e9;      // the highest altitude sent for it
    double farthestNm = 0.0;      // how far from the track's start it got
    double fedFarthestNm = 0.0;   // how far from the track's start its last feed point handed over lies
    double lastPointMissNm = -1;  // how far it was from that last point when the point was due
    bool removed = false;
    int32_t removedAfterFeedSec = -1;  // after the last point handed over was due
    std::vector<std::string> violations;
};

// Flies the track through the parser and the engine from the second it is first seen. After its third answer
// the aircraft can be missing from the answers for a while, as one at the edge of the range comes and goes.
Flight fly(const Airports& airports, const std::vector<FeedPoint>& track, double firstSeenSec, double gapSec) {
    Flight run;
    EngineHarness h;
    h.addType("A320", AircraftCategory::Large, 0.0097);
    h.giveLivery(kHex);
    // The user flies 20 nm north-east of the runway.
    FeedSide feed(airports, offset(airports.runway, 45.0, 20.0));
    Ground ground(airports.runwayElevationFt);
    const LatLon start = track.front().position;
    const double stampBase = static_cast<double>(gf_unixTime()) - kFeedEndSec;
    auto aircraft = []() -> const LiveAircraft* {
        for (const auto& ac : liveList)
            if (ac.id == kHex && ac.objectId != 0) return &ac;
        return nullptr;
    };
    const auto listed = [] {
        return std::any_of(liveList.begin(), liveList.end(), [](auto& a) { return a.id == kHex; });
    };
    std::optional<uint32_t> goneAt;  // the tick it left the list last
    auto step = [&](int ticks) {
        for (int i = 0; i < ticks; ++i) {
            const bool before = listed();
            h.tick();
            ground.report();
            if (before && !listed()) goneAt = engineTick.load();
            if (const LiveAircraft* ac = aircraft()) {
                run.highestFt = std::max(run.highestFt, ac->position[kPosAlt]);
                run.farthestNm = std::max(run.farthestNm,
                                          gf_distanceNm(start, LatLon{ac->position[kPosLat], ac->position[kPosLon]}));
            }
        }
    };
    // The reader asks every 2 s; the engine plays each answer 30 s later.
    uint32_t lastDue = 0;
    LatLon lastFed;
    int answers = 0;
    double missingUntil = -1.0;
    for (double t = firstSeenSec; t <= kFeedEndSec; t += 2.0) {
        const FeedPoint& f = track[static_cast<size_t>(t)];
        if (t >= missingUntil) {
            if (auto record = FeedSide::parse(feedLine(f, stampBase + t))) {
                h.handOver({*record});
                lastDue = engineTick.load() + 3000;
                lastFed = f.position;
                if (++answers == 3) missingUntil = t + 2.0 + gapSec;
            }
        }
        step(200);
    }
    run.fedFarthestNm = gf_distanceNm(start, lastFed);
    while (lastDue != 0 && tickDiff(engineTick.load(), lastDue) < 0) step(1);
    if (const LiveAircraft* ac = aircraft())
        run.lastPointMissNm = gf_distanceNm(LatLon{ac->position[kPosLat], ac->position[kPosLon]}, lastFed);
    for (int i = 0; i < 60000 && listed(); ++i) step(1);
    run.objects =
        static_cast<int>(std::count_if(h.created.begin(), h.created.end(), [](auto& c) { return c.hexid == kHex; }));
    run.removed = !listed();
    if (run.removed && goneAt && lastDue != 0) run.removedAfterFeedSec = tickDiff(*goneAt, lastDue) / 100;
    run.violations = h.takeViolations();
    return run;
}

const LatLon kEddf{50.0333, 8.5706};
const LatLon kRunway25C{50.0448, 8.5862};
const LatLon kElsewhere{50.4000, 8.9000};  // about 25 nm from the park airport

}  // namespace

// The roll walks from standing still at its start to 150 kt at lift-off; the aircraft is first seen at
// every 5 s of it, once with its feed going on without a break and once with the aircraft missing from the
// answers for 40 s after its third one. Without a park airport the parser knows no field elevation: the fast
// part of the roll comes as airborne at the field's height, the slow part not at all. At an airport that is
// not the park airport the same holds with the park airport's elevation: above it the fast part reads
// airborne, below it the roll is never seen.
TEST(TakeOffRoll, FirstSeenAnywhereInItsRollItRollsLiftsOffClimbsAndGoesWhenItsFeedEnds) {
    const Airports cases[] = {
        {"at the park airport", kRunway25C, 364.0, parkAirport("EDDF", kEddf, 364.0)},
        {"without a park airport", kRunway25C, 364.0, std::nullopt},
        {"at a higher airport than the park airport", kElsewhere, 1200.0, parkAirport("EDDF", kEddf, 364.0)},
        {"at a lower airport than the park airport", kElsewhere, 100.0, parkAirport("EDDF", kEddf, 364.0)},
    };
    for (const Airports& airports : cases) {
        const std::vector<FeedPoint> track = departure(airports.runway, airports.runwayElevationFt);
        for (double gap : {0.0, 40.0}) {
            for (double firstSeen = 0.0; firstSeen <= kRollSec; firstSeen += 5.0) {
                SCOPED_TRACE(fmt::format("{}, first seen {:.0f} s into the roll ({:.1f} kt), missing {:.0f} s",
                                         airports.name, firstSeen, 2.5 * firstSeen, gap));
                const Flight run = fly(airports, track, firstSeen, gap);
                EXPECT_TRUE(run.violations.empty()) << run.violations.front();
                EXPECT_GE(run.objects, 1);
                EXPECT_GT(run.highestFt, airports.runwayElevationFt + 3000.0) << "climbs with its feed";
                EXPECT_GE(run.lastPointMissNm, 0.0) << "in the simulator when its last point is due";
                EXPECT_LT(run.lastPointMissNm, 1.0) << "where its last point is, when that is due";
                EXPECT_TRUE(run.removed);
                EXPECT_LE(run.removedAfterFeedSec, 120) << "removed after its feed ended, with no long wait";
            }
        }
    }
}

// An arrival first seen anywhere in its roll-out where the feed reports no ground traffic (without a park
// airport, or at another airport than the park airport): the feed's points end where it slows to 35 kt. It
// rolls out with them, neither holds on the runway as if it waited for its taxi nor takes off again, and goes.
TEST(TakeOffRoll, AnArrivalFirstSeenInItsRollOutWhereTheFeedShowsNoGroundTrafficGoesWhenItsPointsEnd) {
    const Airports cases[] = {
        {"without a park airport", kRunway25C, 364.0, std::nullopt},
        {"at a higher airport than the park airport", kElsewhere, 1200.0, parkAirport("EDDF", kEddf, 364.0)},
    };
    for (const Airports& airports : cases) {
        const std::vector<FeedPoint> track = arrival(airports.runway, airports.runwayElevationFt);
        for (double firstSeen = kTouchdownSec; firstSeen <= kTouchdownSec + 35.0; firstSeen += 5.0) {
            SCOPED_TRACE(fmt::format("{}, first seen {:.0f} s into the roll-out ({:.1f} kt)", airports.name,
                                     firstSeen - kTouchdownSec, 140.0 - 2.5 * (firstSeen - kTouchdownSec)));
            const Flight run = fly(airports, track, firstSeen, 0.0);
            EXPECT_TRUE(run.violations.empty()) << run.violations.front();
            EXPECT_EQ(run.objects, 1);
            EXPECT_LT(run.highestFt, airports.runwayElevationFt + 100.0) << "never takes off again";
            EXPECT_LT(run.farthestNm, run.fedFarthestNm + 0.05) << "never rolls on beyond its feed";
            EXPECT_TRUE(run.removed);
            EXPECT_LE(run.removedAfterFeedSec, 60) << "removed after its points ended, with no long wait";
        }
    }
}
