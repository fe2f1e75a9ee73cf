// A flight with DESTINATION set, through the engine harness: the user takes off from a park airport and
// flies to the destination 300 nm away. The park airport changes only where the sight rules say, once
// each way, and live aircraft on the ground stay in the simulator while the user is far from both airports.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "airports/airports.h"
#include "airports/current_airport.h"
#include "airports/park_list.h"
#include "airports/parking.h"
#include "app/edit_fields.h"
#include "engine/aircraft.h"
#include "engine/engine_state.h"
#include "feed/readers.h"
#include "foundation/settings.h"
#include "parking/park_airport.h"
#include "parking/planner.h"
#include "tests/airports/airports_fixture.h"
#include "tests/common/engine_harness.h"

namespace {

constexpr double kLatA = 47.0;  // AAAA; BBBB lies 300 nm north of it
constexpr double kLatB = 52.0;
constexpr double kLon = 8.0;

double northOfA(double nm) { return kLatA + nm / 60.0; }

// An active live aircraft on the ground far from the user's track, standing still.
void groundAircraft(uint32_t hexid, const std::string& callsign, uint32_t objectId, MovementPhase phase) {
    EngineHarness::standingLive(hexid, callsign, objectId, 49.5, 12.0, phase);
}

class DestinationFlight : public ::testing::Test {
public:
    EngineHarness h;
    PlannerHooks saved;
    void SetUp() override {
        gf_resetSettings();
        h.addType("A320", AircraftCategory::Large);
        saved = gf_plannerHooks();
        gf_plannerHooks().readParkedTraffic = [] { return false; };
        gf_resetParkAirportSight();
    }
    void TearDown() override {
        gf_plannerHooks() = saved;
        trafficReader.bufferedMode.store(0);
        gf_resetParkAirportSight();
        gf_resetParking();
        gf_resetAirports();
        gf_resetSettings();
    }
};

TEST_F(DestinationFlight, TheParkAirportChangesOnlyWhereTheSightRulesSay) {
    airportList = {Airport{"AAAA", "", kLatA, kLon, 500}, Airport{"BBBB", "", kLatB, kLon, 500}};
    // AAAA's file is the user's own, so AAAA is in the list; BBBB's comes with the add-on package and joins
    // the list as the destination.
    for (const auto& [code, lat, folder] :
         {std::tuple{"AAAA", kLatA, "my_thirdparty"}, std::tuple{"BBBB", kLatB, "ve_zuzuvado"}}) {
        std::string stands;
        for (int i = 0; i < 3; ++i)
            stands += fmt::format("<parkpos id=\"{}{}\" latitude=\"{:.6f}\" longitude=\"{:.6f}\" heading=\"90.0\" "
                                  "radius=\"20.0\" cargo=\"false\" ramp=\"true\"></parkpos>\n",
                                  code, i + 1, lat + i * 100.0 / 1852.0 / 60.0, kLon);
        AirportsTest::writeText(h.folder / "airports" / folder / (std::string(code) + ".xml"),
                                AirportsTest::apfText({{"altitude", "500"}, {"publisher", "Vexa test"}}, stands));
    }
    AirportsTest::writeText(h.folder / "airports" / "my_park_airports.txt", "AAAA\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    AIRPORT_RANGE.value = 20;
    AIRPORT_HEIGHT.value = 18000;

    // At a stand of AAAA, which becomes the park airport; then the destination is typed.
    h.moveUser(kLatA, kLon, 500, true);
    gf_updateParking(true);
    ASSERT_EQ(gf_currentAirportCopy().icao, "AAAA");
    gf_setDestination("BBBB", kLatB, kLon);
    h.serveWindowRequests();
    ASSERT_EQ(gf_firstParkAirport()->icao, "BBBB");

    // 2 nm a step (one parking step every 16 s at 450 kt), climbing and descending 1000 ft a nm, cruising
    // below AIRPORT_HEIGHT.
    auto altitudeAt = [](double nm) { return std::min({9000.0, 1000.0 * nm, 1000.0 * (300.0 - nm)}); };
    auto inSight = [&](const std::string& code, double nm) {
        const double distance = gf_distanceNm(LatLon{northOfA(nm), kLon}, LatLon{code == "AAAA" ? kLatA : kLatB, kLon});
        return lf_inSight(distance, altitudeAt(nm));
    };
    std::string expected = "AAAA";
    std::vector<std::string> sequence{"AAAA"};  // the park airports in turn
    std::vector<std::string> offRule;           // steps whose park airport the rules do not give
    std::vector<std::string> groundRemovals;    // steps far from both airports with ground aircraft removed
    const std::vector<uint32_t> groundObjects{701, 702};
    bool groundAircraftPlaced = false;
    for (double nm = 2.0; nm <= 300.0; nm += 2.0) {
        const bool landed = nm >= 300.0;
        h.moveUser(northOfA(nm), kLon, landed ? 500 : altitudeAt(nm), landed, landed ? 20 : 450);
        gf_updateParking(false);
        h.tick(20);

        // The sight rules: in the air the current airport is left when out of sight, and the destination,
        // first in the list, is taken once in sight.
        if (!landed) {
            if (!expected.empty() && !inSight(expected, nm))
                expected.clear();
            else if (expected.empty() && inSight("BBBB", nm))
                expected = "BBBB";
        }
        const std::string current = gf_currentAirportCopy().icao;
        if (current != expected) offRule.push_back(fmt::format("{} nm: \"{}\", not \"{}\"", nm, current, expected));
        if (current != sequence.back()) sequence.push_back(current);

        // Live aircraft on the ground elsewhere, placed once the user is far from both airports.
        const bool farFromBoth = !landed && nm > 20.0 + 2.0 && 300.0 - nm > 20.0 + 2.0;
        if (farFromBoth && !groundAircraftPlaced) {
            groundAircraft(0x500001, "KLM1", groundObjects[0], MovementPhase::Parked);
            groundAircraft(0x500002, "KLM2", groundObjects[1], MovementPhase::Taxi);
            groundAircraftPlaced = true;
        }
        const bool removed = std::any_of(groundObjects.begin(), groundObjects.end(), [&](uint32_t id) {
            return std::find(h.removed.begin(), h.removed.end(), id) != h.removed.end();
        });
        if (farFromBoth && removed && groundRemovals.empty()) groundRemovals.push_back(fmt::format("{} nm", nm));
    }
    EXPECT_EQ(sequence, (std::vector<std::string>{"AAAA", "", "BBBB"}));
    EXPECT_EQ(offRule, std::vector<std::string>{});
    EXPECT_EQ(groundRemovals, std::vector<std::string>{});
    EXPECT_TRUE(h.violations.empty()) << ::testing::PrintToString(h.violations);
}

}  // namespace
