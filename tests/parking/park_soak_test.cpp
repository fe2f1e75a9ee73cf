// A park airport of 46 stands through the engine harness, with the roads of live aircraft built from feed
// records 8 s apart: approaches, go-arounds, landings, taxiing to a stand and parking, leaving a stand and
// taking off.
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
