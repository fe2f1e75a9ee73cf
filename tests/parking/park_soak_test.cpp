// An hour at a park airport of 46 stands through the engine harness: statics placed from the week plan and
// from parked traffic, live arrivals that land and park (some after a go-around), parked aircraft that take
// off again or are moved to another stand, parked records that displace statics, and three renewals, with
// the per-second rules of the main loop on the lists. The harness's invariants hold at every tick (no
// simulator object is lost), the parked aircraft stay within the plan at every tick, no two aircraft stand
// together on a stand for more than 30 s, and at the end every stand marked occupied has exactly one
// aircraft on it and only aircraft on the ground hold a stand. The roads of the live aircraft are built from
// feed records 8 s apart.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <gtest/gtest.h>

#include "airports/apf_reader.h"
#include "airports/current_airport.h"
#include "airports/parking.h"
#include "app/main_loop.h"
#include "catalogue/catalogue.h"
#include "engine/engine_state.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "feed/readers.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "parking/planner.h"
#include "tests/common/engine_harness.h"

namespace {

constexpr double kDeg = 0.017453292519943295;
constexpr double kFeetPerNm = 6076.11549;
constexpr double kMetreNm = 1.0 / 1852.0;
constexpr double kElevation = 1000.0;  // ft
constexpr double kStaticCg = 8.0;      // ft
constexpr double kHalfSpanNm = 0.0097;
constexpr int kTicksPerBatch = 800;  // the feed's 8 s
constexpr int kBatches = 450;        // 60 minutes
constexpr int kStands = 46;
constexpr int kPerRow = 23;

LatLon offset(const LatLon& from, double bearingDeg, double nm) {
    return gf_destinationPoint(from, bearingDeg * kDeg, nm * kFeetPerNm);
}
LatLon south(double metres) { return offset({47.0, 7.98}, 180, metres * kMetreNm); }

// Runway 09 from its threshold at 47.0/7.98 eastwards; a taxiway 300 m south of it serves the first row of
// stands (500 m south, facing north), one 850 m south the second (650 m south, facing south); a connector
// west of the stands at 7.982 and one east of them at 8.010 join them to the runway.
const LatLon kThreshold{47.0, 7.98};
constexpr double kNorthTaxiway = 300;
constexpr double kSouthTaxiway = 850;
constexpr double kWestConnector = 7.982;
constexpr double kEastConnector = 8.010;

// Stand i: row i / 23, column i % 23, columns 70 m apart from 7.985 eastwards; 25 m radius, none coupled.
LatLon standPlace(int i) {
    const LatLon rowStart = south(i < kPerRow ? 500 : 650);
    return offset({rowStart.latitude, 7.985}, 90, (i % kPerRow) * 70 * kMetreNm);
}
bool firstRow(int i) { return i < kPerRow; }

// The records of one aircraft, one per feed batch of 8 s, built along its road.
class Road {
public:
    Road(uint32_t hexid, std::string callsign, int firstBatch)
        : hexid_(hexid), callsign_(std::move(callsign)), batch_(firstBatch) {}

    std::map<int, TrafficRecord> records;  // by batch
    LatLon at{};
    double track = 0;
    int batch() const { return batch_; }

    void put(const LatLon& p, double altFt, double gs, double trackDeg, double vsFpm = 0) {
        TrafficRecord r =
            EngineHarness::record(hexid_, callsign_, "A320", p.latitude, p.longitude, altFt, gs, trackDeg, 0);
        r.verticalSpeed = vsFpm;
        records[batch_++] = r;
        at = p;
        track = trackDeg;
    }
    void wait(int batches) { batch_ += batches; }
    // Standing still: a record every 16 s, so that each passes the merge's filter of stops.
    void stand(int batches) {
        for (int k = 0; k < batches; k += 2) {
            put(at, 0, 0, track);
            ++batch_;
        }
    }
    // From 24 legs west of the threshold down a 3 degree slope; with goAround the approach is given up two
    // legs out and flown round a circuit back to where it began.
    void approach() {
        const double leg = 140 * 8.0 / 3600.0;
        for (int k = 0; k < 24; ++k) {
            const int out = 24 - k;
            put(offset(kThreshold, 270, out * leg), kElevation + out * 93.3, 140, 90, -700);
        }
        LatLon p = kThreshold;
        double gs = 130;
        put(p, 0, gs, 90);
        for (double next : {110.0, 85.0, 60.0, 40.0, 25.0, 15.0}) {
            p = offset(p, 90, (gs + next) / 2 * 8.0 / 3600.0);
            gs = next;
            put(p, 0, gs, 90);
        }
    }
    void goAround() {
        const double leg = 140 * 8.0 / 3600.0;
        for (int k = 0; k < 22; ++k) {
            const int out = 24 - k;
            put(offset(kThreshold, 270, out * leg), kElevation + out * 93.3, 140, 90, -700);
        }
        double alt = kElevation + 2 * 93.3;
        LatLon p = at;
        auto fly = [&](double trackDeg, int legs, double climbFpm) {
            for (int k = 0; k < legs; ++k) {
                p = offset(p, trackDeg, 160 * 8.0 / 3600.0);
                alt = std::min(alt + climbFpm * 8.0 / 60.0, kElevation + 2000.0);
                put(p, alt, 160, trackDeg, alt < kElevation + 2000.0 ? climbFpm : 0);
            }
        };
        fly(90, 12, 1500);
        fly(0, 4, 0);
        fly(270, 31, 0);
        fly(180, 4, 0);
        // Back on the extended centre line, 24 legs out and descending from there.
        alt = kElevation + 24 * 93.3;
    }
    // From the climb-out east of the field round a left-hand circuit to 24 legs west of the threshold.
    void circuitToFinal() {
        LatLon p = at;
        double alt = kElevation + 2000.0;
        auto fly = [&](double trackDeg, int legs) {
            for (int k = 0; k < legs; ++k) {
                p = offset(p, trackDeg, 160 * 8.0 / 3600.0);
                put(p, alt, 160, trackDeg);
            }
        };
        fly(0, 4);
        const double finalLon = offset(kThreshold, 270, 24 * 140 * 8.0 / 3600.0).longitude;
        fly(270, int(gf_distanceNm(p, {p.latitude, finalLon}) / (160 * 8.0 / 3600.0)));
        fly(180, 4);
    }
    void taxiTo(const LatLon& target, double gs = 15) {
        const double step = gs * 8.0 / 3600.0;
        for (;;) {
            const double left = gf_distanceNm(at, target);
            const double bearing = gf_initialBearing(at, target) / kDeg;
            if (left <= step) {
                put(target, 0, gs, bearing);
                return;
            }
            put(offset(at, bearing, step), 0, gs, bearing);
        }
    }
    // Backwards out of the stand, nose still where it stood.
    void pushBack(double awayDeg) {
        const LatLon from = at;
        const double nose = track;
        for (double metres : {6.0, 12.0, 18.0, 24.0}) put(offset(from, awayDeg, metres * kMetreNm), 0, 3, nose);
    }
    // Lined up at the west end of the runway: the take-off roll eastwards and the climb.
    void takeOff() {
        LatLon p = at;
        double gs = 15;
        for (double next : {30.0, 50.0, 75.0, 100.0, 125.0, 150.0}) {
            p = offset(p, 90, (gs + next) / 2 * 8.0 / 3600.0);
            gs = next;
            put(p, 0, gs, 90);
        }
        double alt = kElevation;
        for (int k = 0; k < 14; ++k) {
            p = offset(p, 90, 160 * 8.0 / 3600.0);
            alt += 2000.0 * 8.0 / 60.0;
            put(p, alt, 160, 90, 2000);
        }
    }

private:
    uint32_t hexid_;
    std::string callsign_;
    int batch_;
};

// The stop a few metres in front of a stand, and the way from the runway to it and back.
LatLon stopAt(int s) { return offset(standPlace(s), firstRow(s) ? 0 : 180, 12 * kMetreNm); }
void toStand(Road& r, int s) {
    if (firstRow(s)) {
        r.taxiTo({south(kNorthTaxiway).latitude, r.at.longitude});
        r.taxiTo({south(kNorthTaxiway).latitude, standPlace(s).longitude});
    } else {
        r.taxiTo({47.0, kEastConnector});
        r.taxiTo({south(kSouthTaxiway).latitude, kEastConnector});
        r.taxiTo({south(kSouthTaxiway).latitude, standPlace(s).longitude});
    }
    r.taxiTo(stopAt(s), 8);
}
void fromStandToRunway(Road& r, int s) {
    r.pushBack(firstRow(s) ? 0 : 180);
    const double taxiway = south(firstRow(s) ? kNorthTaxiway : kSouthTaxiway).latitude;
    r.taxiTo({taxiway, standPlace(s).longitude});
    r.taxiTo({taxiway, kWestConnector});
    r.taxiTo({47.0, kWestConnector});
}
void fromStandToStand(Road& r, int from, int to) {
    r.pushBack(firstRow(from) ? 0 : 180);
    const double taxiway = south(firstRow(from) ? kNorthTaxiway : kSouthTaxiway).latitude;
    r.taxiTo({taxiway, standPlace(from).longitude}, 10);
    r.taxiTo({taxiway, standPlace(to).longitude}, 10);
    r.taxiTo(stopAt(to), 8);
}

class ParkSoak : public ::testing::Test {
public:
    EngineHarness h;
    ManualClock clock{1700042700};  // Wednesday 15 November 2023, 10:05 UTC
    std::optional<ScopedClock> installed;
    PlannerHooks saved;
    static inline const std::string title = "Soak A320";

    void SetUp() override {
        installed.emplace(clock);
        gf_resetSettings();
        h.addType("A320", AircraftCategory::Large, kHalfSpanNm);
        airlineLiveries[0]["DLH"]["A320"] = {title};
        saved = gf_plannerHooks();
        gf_plannerHooks().readParkedTraffic = [] { return true; };
        clearFeedSets();
        gf_resetPlanner();
        gf_resetMainLoopState();
        weekSlot.store(gf_weekSlot().packed());
    }
    void TearDown() override {
        gf_plannerHooks() = saved;
        clearFeedSets();
        trafficReader.parkedRecords.clear();
        gf_resetPlanner();
        gf_resetMainLoopState();
        gf_leaveApf();
        parkingActive.store(0);
        gf_resetSettings();
        installed.reset();
    }
    static void clearFeedSets() {
        engineBufferedCallsigns.clear();
        engineBufferedAddresses.clear();
        std::lock_guard lock(trafficReader.bufferedMutex);
        trafficReader.bufferedCallsigns.clear();
        trafficReader.bufferedAddresses.clear();
    }
    // The airport file of the 46 stands, read as the park airport's; then the week plan: every stand but the
    // first ten of the second row (where the parked records are) has an option for the whole of today.
    void enterAirport() {
        std::string text =
            "<?xml version=\"1.0\"?>\n<meta><info name=\"author\" value=\"Vexa\"/><info name=\"version\" "
            "value=\"1.0.0\"/><info name=\"date\" value=\"Dec 10, 2026\"/></meta>\n<parameters>\n" +
            fmt::format("<parameter name=\"altitude\" value=\"{}\"/>\n", kElevation) +
            "</parameters>\n<parkpositions>\n";
        for (int i = 0; i < kStands; ++i) {
            const LatLon p = standPlace(i);
            text += fmt::format("<parkpos id=\"P{}\" latitude=\"{:.8f}\" longitude=\"{:.8f}\" heading=\"{}\" "
                                "radius=\"25.0\" cargo=\"false\" ramp=\"false\"></parkpos>\n",
                                i + 1, p.latitude, p.longitude, firstRow(i) ? 0 : 180);
        }
        text += "</parkpositions>\n";
        std::filesystem::create_directories("airports");
        std::ofstream("airports/SOAK.xml") << text;
        CurrentAirport a;
        a.icao = "SOAK";
        a.latitude = 47.0;
        a.longitude = 8.0;
        a.altitude = kElevation;
        gf_setCurrentAirport(a);
        ApfHeader header;
        QualityFactors quality;
        ASSERT_EQ(gf_readApf("airports/SOAK.xml", header, quality), "");
        ASSERT_EQ(currentStands.size(), size_t(kStands));
        const auto today = int(gf_currentWeekSlot().weekday);
        for (int i = 0; i < kStands; ++i) {
            if (!firstRow(i) && i % kPerRow < 10) continue;
            currentStands[i].options.push_back(
                StandOption{"DLH", "A320", "", fmt::format("DLH{}", 100 + i), "", kHalfHourMask, 0, today, 1, 1});
            gf_renumberStandOptions(currentStands[i]);
        }
        parking_percentage.value = 50;
    }
    static ParkedRecord parked(uint32_t address, const std::string& callsign, int s, int age) {
        ParkedRecord r;
        r.address = address;
        r.identity.callsign = callsign;
        r.identity.airline = "DLH";
        r.identity.icaoType = "A320";
        r.latitude = standPlace(s).latitude;
        r.longitude = standPlace(s).longitude;
        r.slot = age;
        return r;
    }
};

}  // namespace

TEST_F(ParkSoak, AnHourAtAParkAirport) {
    enterAirport();
    const int64_t wanted = gf_wantedParkedCount();
    ASSERT_EQ(wanted, 23);

    // Parked traffic on the first ten stands of the second row, seen an hour ago.
    std::vector<ParkedRecord> records;
    for (int i = 0; i < 10; ++i) records.push_back(parked(0x3c2000 + i, fmt::format("PT{}", i), kPerRow + i, 2));

    // The live roads.
    std::vector<Road> roads;
    uint32_t hexid = 0x3c1000;
    auto road = [&](int firstBatch) -> Road& {
        ++hexid;
        roads.emplace_back(hexid, fmt::format("EZY{}", hexid - 0x3c1000), firstBatch);
        return roads.back();
    };
    // Arrivals every four minutes, alternating the rows; every third goes round first; every fourth takes
    // off again ten minutes after it parked, and every fifth is moved to the next stand five minutes after.
    const int arrivalStands[] = {2, 30, 5, 35, 8, 40, 11, 44, 14, 20, 17, 42};
    for (int n = 0; n < 12; ++n) {
        const int s = arrivalStands[n];
        Road& r = road(5 + 30 * n);
        if (n % 3 == 2) r.goAround();
        r.approach();
        toStand(r, s);
        r.stand(12);
        if (n % 4 == 1 && r.batch() + 75 + 60 < kBatches) {
            r.stand(75);
            fromStandToRunway(r, s);
            r.takeOff();
        } else if (n % 5 == 3) {
            r.stand(38);
            fromStandToStand(r, s, s + 1);
            r.stand(12);
        }
    }
    // Two arrivals park and leave again at once to take off; the second comes back round and parks
    // elsewhere.
    for (const auto& [first, s, comesBack] : {std::tuple{60, 4, -1}, std::tuple{200, 7, 9}}) {
        Road& r = road(first);
        r.approach();
        toStand(r, s);
        for (int k = 0; k < 3; ++k) r.put(r.at, 0, 0, r.track);
        r.taxiTo({south(kNorthTaxiway).latitude, standPlace(s).longitude});
        r.taxiTo({south(kNorthTaxiway).latitude, kWestConnector});
        r.taxiTo({47.0, kWestConnector});
        r.takeOff();
        if (comesBack < 0) continue;
        r.circuitToFinal();
        r.approach();
        toStand(r, comesBack);
        r.stand(12);
    }
    // Aircraft the feed reports parked from the start: two take off later, one is moved to a stand of the plan.
    for (const auto& [s, leaves, to] : {std::tuple{12, 90, -1}, std::tuple{26, 180, -1}, std::tuple{16, 120, 18}}) {
        Road& r = road(1);
        r.at = standPlace(s);
        r.track = firstRow(s) ? 180 : 0;
        r.stand(leaves);
        if (to < 0) {
            fromStandToRunway(r, s);
            r.takeOff();
        } else {
            fromStandToStand(r, s, to);
            r.stand(12);
        }
    }
    for (const Road& r : roads) h.giveLivery(r.records.begin()->second.address);

    // The simulator's ground reports under every active live object, as the link sends them.
    std::set<uint32_t> cgSent;
    auto reportGround = [&] {
        for (const auto& ac : liveList) {
            if (ac.objectId == 0 || ac.simState != SimState::Active) continue;
            if (cgSent.insert(ac.objectId).second)
                gf_postEngineNotice(makeNotice(ac.objectId, ac.id, NoticeKind::StaticCg, kStaticCg, 0.012));
            const double agl = ac.position[kPosAlt] - kElevation;
            gf_postEngineNotice(makeNotice(ac.objectId, agl <= kStaticCg + 0.5 ? 1 : 0, NoticeKind::GroundInfo,
                                           kElevation, std::max(agl, 0.0)));
        }
    };
    // The parked aircraft: statics in the simulator (not those on their way out) and live aircraft parked at
    // stands. Between two plans the count is kept only roughly: a live aircraft that takes a stand removes at
    // most one static, counting only the aircraft already in the simulator, and an arrival does so only when
    // its stand recorded it. So each live aircraft that took a stand since the last plan may leave one more
    // than the plan until the next renewal.
    std::map<uint32_t, uint32_t> standHeld;  // hexid -> the stand it took last
    std::set<uint32_t> tookStand;            // hexids that took a stand since the last plan
    int64_t worstExcess = 0;
    std::string worstAt;
    auto checkParked = [&] {
        for (const LiveAircraft& l : liveList)
            if (l.standId != 0 && standHeld[l.id] != l.standId) {
                standHeld[l.id] = l.standId;
                tookStand.insert(l.id);
            }
        int64_t n = 0;
        int64_t allowed = wanted;
        for (const SimAircraft& s : staticList) n += s.simState == SimState::Active;
        for (const LiveAircraft& l : liveList)
            if (l.simState == SimState::Active && l.phase == MovementPhase::Parked) {
                ++n;
                allowed += tookStand.count(l.id);
            }
        if (n - allowed > worstExcess) {
            worstExcess = n - allowed;
            worstAt = fmt::format("tick {}: {} parked, {} allowed", engineTick.load(), n, allowed);
        }
    };
    // No two aircraft stand together on one stand for more than 30 s: a static placed there (not on its way
    // out) and live aircraft on the ground within the stand's radius.
    std::map<uint32_t, int> togetherFor;  // stand id -> seconds
    std::string together;
    auto checkTogether = [&] {
        for (const ParkPos& stand : currentStands) {
            std::vector<std::string> on;
            for (const SimAircraft& s : staticList)
                if (s.standId == stand.id && s.simState == SimState::Active) on.push_back(s.identity.callsign);
            for (const LiveAircraft& l : liveList)
                if (l.simState == SimState::Active && l.onGround &&
                    gf_distanceNm({l.position[kPosLat], l.position[kPosLon]}, {stand.latitude, stand.longitude}) <=
                        stand.radius)
                    on.push_back(l.identity.callsign);
            int& seconds = togetherFor[stand.id];
            seconds = on.size() > 1 ? seconds + 1 : 0;
            if (seconds > 30 && together.empty())
                together =
                    fmt::format("tick {}: {} together on {}", engineTick.load(), fmt::join(on, " and "), stand.name);
        }
    };
    // The feed's live sets as the renewal takes them: the aircraft reported in the last minute, and parked
    // records whose aircraft is live again.
    std::set<uint32_t> liveAgain;
    auto plan = [&](int k) {
        {
            std::lock_guard lock(trafficReader.bufferedMutex);
            trafficReader.bufferedAddresses = liveAgain;
            trafficReader.bufferedCallsigns.clear();
            for (const Road& r : roads)
                for (int b = std::max(0, k - 8); b <= k; ++b)
                    if (auto it = r.records.find(b); it != r.records.end()) {
                        trafficReader.bufferedAddresses.insert(it->second.address);
                        trafficReader.bufferedCallsigns.insert(it->second.identity.callsign);
                    }
        }
        trafficReader.parkedRecords = records;
        if (k == 0)
            lf_parkingPositions();
        else
            gf_adjustParking(0);
        tookStand.clear();
    };

    plan(0);
    ASSERT_EQ(int64_t(staticJobs.size()), wanted);
    uint32_t second = 0;
    for (int k = 0; k < kBatches; ++k) {
        std::vector<TrafficRecord> batch;
        for (const Road& r : roads)
            if (auto it = r.records.find(k); it != r.records.end()) {
                batch.push_back(it->second);
                batch.back().timestamp = 1000.0 + 8.0 * k;
            }
        if (!batch.empty()) h.handOver(batch);
        // Three renewals 20 minutes apart. In the first, records seen just now displace three statics from
        // parked traffic and two of those aircraft are live again; in the second two more are displaced.
        if (k == 125) {
            for (int i : {0, 1, 2}) records[i] = parked(0x3c2100 + i, fmt::format("PN{}", i), kPerRow + i, 0);
            liveAgain = {0x3c2003, 0x3c2004};
            records.erase(records.begin() + 3, records.begin() + 5);
            plan(k);
        } else if (k == 275) {
            for (int i : {5, 6}) records[i - 2] = parked(0x3c2100 + i, fmt::format("PN{}", i), kPerRow + i, 0);
            plan(k);
        } else if (k == 425) {
            plan(k);
        }
        for (int t = 0; t < kTicksPerBatch; ++t) {
            h.tick();
            if (engineTick.load() % 20 == 0) reportGround();
            checkParked();
            if (engineTick.load() % 100 != 0) continue;
            // The per-second rules of the main loop on the engine's lists.
            clock.advance(std::chrono::seconds(1));
            weekSlot.store(gf_weekSlot().packed());
            ++second;
            lf_coupledCallsignCheck();
            if (COLLISION_LIVE_PARKED_GND.value.load()) lf_liveParkedCollisions();
            if (second % 61 == 0) lf_removeStaticTwinsOfLive();
            checkTogether();
        }
    }

    EXPECT_EQ(worstExcess, 0) << worstAt;
    EXPECT_EQ(together, "");
    // A live aircraft holds a stand only on the ground.
    for (const LiveAircraft& l : liveList) {
        if (l.standId != 0 && l.simState != SimState::RemovingFromSim) {
            EXPECT_TRUE(l.onGround) << l.identity.callsign << " holds " << gf_standNameById(l.standId) << " in the air";
        }
    }
    // Every stand marked occupied has exactly one aircraft on it, and none has two: aircraft on a stand are the
    // statics placed there (not on their way out), live aircraft on the ground within its radius, and the live
    // aircraft driving in.
    for (const ParkPos& stand : currentStands) {
        std::set<std::string> on;
        for (const LiveAircraft& l : liveList) {
            if (l.simState == SimState::RemovingFromSim) continue;
            const bool there = l.onGround && gf_distanceNm({l.position[kPosLat], l.position[kPosLon]},
                                                           {stand.latitude, stand.longitude}) <= stand.radius;
            if (there || (l.standId == stand.id && l.phase == MovementPhase::Parking)) on.insert(l.identity.callsign);
        }
        for (const SimAircraft& s : staticList)
            if (s.standId == stand.id && s.simState != SimState::RemovingFromSim) on.insert(s.identity.callsign);
        const std::string names = fmt::format("{}: {}", stand.name, fmt::join(on, " "));
        if (stand.occupied)
            EXPECT_EQ(on.size(), 1u) << names;
        else
            EXPECT_LE(on.size(), 1u) << names;
    }
}

// An arrival that rolls up to its stop at 8 kt, where the feed's standing points add nothing, runs out of
// stream there and waits (holds) until it takes the stand. Parked, it no longer holds, so the far-apart
// points of its take-off roll later do not take it out of the simulator to be created again in the air.
TEST_F(ParkSoak, ArrivalThatWaitedAtItsStopTakesOffAsTheSameObject) {
    enterAirport();
    Road r(0x3c1001, "EZY1", 1);
    r.approach();
    toStand(r, 30);
    r.stand(12);
    r.stand(40);
    fromStandToRunway(r, 30);
    r.takeOff();
    h.giveLivery(0x3c1001);
    std::vector<MovementPhase> phases;
    const int batches = r.batch() + 10;
    for (int k = 0; k < batches; ++k) {
        if (auto it = r.records.find(k); it != r.records.end()) {
            TrafficRecord rec = it->second;
            rec.timestamp = 1000.0 + 8.0 * k;
            h.handOver({rec});
        }
        for (int t = 0; t < kTicksPerBatch; ++t) {
            h.tick();
            for (const LiveAircraft& l : liveList) {
                if (l.objectId == 0 || l.simState != SimState::Active) continue;
                const double agl = l.position[kPosAlt] - kElevation;
                if (engineTick.load() % 20 == 0)
                    gf_postEngineNotice(makeNotice(l.objectId, agl <= kStaticCg + 0.5 ? 1 : 0, NoticeKind::GroundInfo,
                                                   kElevation, std::max(agl, 0.0)));
                if (phases.empty() || phases.back() != l.phase) phases.push_back(l.phase);
            }
        }
    }
    EXPECT_NE(std::find(phases.begin(), phases.end(), MovementPhase::TakeOff), phases.end());
    EXPECT_EQ(h.created.size(), 1u) << "taken out and created again";
}
