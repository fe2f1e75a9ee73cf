// Whole roads of live aircraft through the engine: feed records handed over as the traffic reader
// does, engine ticks, a fake simulator that answers creations and reports the ground under each
// object, and invariants checked after every tick (no NaN, bank within the category's limit,
// heading in range), with the sequence of movement phases recorded per aircraft.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "tests/common/engine_harness.h"
#include "tests/engine/motion_fixture.h"

#include "engine/notices.h"

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
            gf_postEngineNotice(makeNotice(ac.objectId, touching, NoticeKind::GroundInfo, elevation_, std::max(agl, 0.0)));
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
                problems.push_back(fmt::format("tick {}: bank {:.2f} deg beyond the limit", now, ac.position[kPosBank] / kDeg));
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

} // namespace

using MotionScenario = MotionTest;

TEST_F(MotionScenario, CruiseFollowsTheFeedThirtySecondsBehindWithCruiseConfiguration) {
    Road road(0.0);
    constexpr uint32_t hex = 0xA10001;
    road.h.giveLivery(hex);
    LatLon pos{46.0, 6.0};
    const double speed = 450;                         // kt, eastwards
    const double legNm = speed * 8.0 / 3600.0;
    std::vector<std::pair<uint32_t, LatLon>> due;     // tick at which each record is due
    for (int k = 0; k < 40; ++k) {
        auto r = EngineHarness::record(hex, "CRZ1", "A320", pos.latitude, pos.longitude, 35000, speed, 90, 1000 + 8.0 * k);
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
    // Removed at the end of its extended stream.
    EXPECT_EQ(road.h.removed.size(), 1u);
    EXPECT_TRUE(road.seen[hex].count("extending"));
}
