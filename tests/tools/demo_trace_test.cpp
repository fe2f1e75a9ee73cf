// The demo's trace summary and map, on small hand-made traces.
#include <algorithm>
#include <cmath>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "tools/demotrace/demo_trace.h"
#include "tools/demotrace/renewals.h"

using namespace demotrace;

namespace {

// One second of movement at the latitude of the demo is about 0.0001 degree = 11 m.
const char* kTrace =
    R"({"t":0,"ev":"position","id":1,"user":true,"lat":50.0541,"lon":8.5832,"altFt":369,"aglFt":0,"onGround":true}
{"t":100,"ev":"create","id":100,"title":"DLH A320","atcId":"DLH4AP","lat":50.07,"lon":8.70,"altFt":2000,"onGround":0}
{"t":120,"ev":"added","id":100,"atcId":"DLH4AP","title":"DLH A320"}
{"t":1000,"ev":"position","id":100,"user":false,"lat":50.0700,"lon":8.7000,"altFt":2000,"aglFt":1636,"onGround":false}
{"t":2000,"ev":"position","id":100,"user":false,"lat":50.0600,"lon":8.6500,"altFt":800,"aglFt":436,"onGround":false}
{"t":3000,"ev":"position","id":100,"user":false,"lat":50.0500,"lon":8.6000,"altFt":372,"aglFt":8,"onGround":true}
{"t":4000,"ev":"position","id":100,"user":false,"lat":50.0480,"lon":8.5800,"altFt":372,"aglFt":8,"onGround":true}
{"t":40000,"ev":"position","id":100,"user":false,"lat":50.04802,"lon":8.5800,"altFt":372,"aglFt":8,"onGround":true}
{"t":40100,"ev":"event","id":100,"event":"ENGINE_AUTO_SHUTDOWN","data":0}
{"t":200,"ev":"create","id":101,"title":"KLM B738","atcId":"KLM1772","lat":50.04,"lon":8.55,"altFt":3000,"onGround":0}
{"t":1000,"ev":"position","id":101,"user":false,"lat":50.0400,"lon":8.5500,"altFt":3000,"aglFt":2636,"onGround":false}
{"t":2000,"ev":"position","id":101,"user":false,"lat":50.0500,"lon":8.5000,"altFt":4000,"aglFt":3636,"onGround":false}
{"t":2100,"ev":"event","id":101,"event":"ENGINE_AUTO_SHUTDOWN","data":0}
{"t":300,"ev":"create","id":102,"title":"DLH A321","atcId":"DLH9TX","lat":50.05,"lon":8.56,"altFt":372,"onGround":1}
{"t":310,"ev":"event","id":102,"event":"ENGINE_AUTO_SHUTDOWN","data":0}
{"t":1000,"ev":"position","id":102,"user":false,"lat":50.0500,"lon":8.5600,"altFt":372,"aglFt":8,"onGround":true}
{"t":50000,"ev":"position","id":102,"user":false,"lat":50.05001,"lon":8.5600,"altFt":372,"aglFt":8,"onGround":true}
{"t":60000,"ev":"remove","id":102}
{"t":60100,"ev":"removed","id":102,"atcId":"DLH9TX"}
{"t":400,"ev":"create","id":103,"title":"Generic C172","atcId":"DEFLY","foreign":true}
{"t":1000,"ev":"position","id":103,"user":false,"lat":50.1000,"lon":8.6000,"altFt":3500,"aglFt":3136,"onGround":false}
{"t":2000,"ev":"position","id":103,"user":false,"lat":50.1100,"lon":8.6000,"altFt":3500,"aglFt":3136,"onGround":false}
{"t":500,"ev":"refused","title":"Missing B77W","atcId":"SWR22"}
{"t":600,"ev":"create","id":104,"title":"DLH A20N","atcId":"DLH3XY","lat":50.08,"lon":8.75,"altFt":900,"onGround":0}
{"t":1000,"ev":"position","id":104,"user":false,"lat":50.0800,"lon":8.7500,"altFt":900,"aglFt":536,"onGround":false}
{"t":2000,"ev":"position","id":104,"user":false,"lat":50.0700,"lon":8.7000,"altFt":372,"aglFt":8,"onGround":true}
{"t":3000,"ev":"position","id":104,"user":false,"lat":50.0690,"lon":8.6950,"altFt":372,"aglFt":8,"onGround":true}
{"t":4000,"ev":"position","id":104,"user":false,"lat":50.0680,"lon":8.6900,"altFt":372,"aglFt":8,"onGround":true}
{"t":800,"ev":"create","id":106,"title":"BAW A319","atcId":"BAW906","lat":50.09,"lon":8.78,"altFt":900,"onGround":0}
{"t":1000,"ev":"position","id":106,"user":false,"lat":50.0900,"lon":8.7800,"altFt":900,"aglFt":536,"onGround":false}
{"t":2000,"ev":"position","id":106,"user":false,"lat":50.0800,"lon":8.7300,"altFt":204,"aglFt":0,"onGround":true}
not json at all
{"t":700,"id":5}
)";

Trace read(const std::string& text) {
    std::istringstream in(text);
    return readTrace(in);
}

}  // namespace

TEST(DemoTrace, CountsTheLifeOfEveryCreatedAircraft) {
    const Trace trace = read(kTrace);
    EXPECT_EQ(trace.badLines, 2);
    EXPECT_EQ(trace.refused, 1);
    ASSERT_TRUE(trace.objects.count(1));
    EXPECT_TRUE(trace.objects.at(1).user);
    EXPECT_TRUE(trace.objects.at(103).foreign);
    EXPECT_EQ(trace.objects.at(100).atcId, "DLH4AP");
    EXPECT_EQ(trace.objects.at(100).points.size(), 5u);

    const Summary s = summarise(trace);
    // 100 lands and shuts its engines down; 101 climbs away (an engine shut-down in the air is no
    // parking); 102 is created at a stand and removed; 104 lands and rolls on; 106 sinks below the
    // ground, which is no landing; the user and the other client's aircraft are not counted.
    EXPECT_EQ(trace.groundFt, 364.0);
    EXPECT_EQ(s.created, 5);
    EXPECT_EQ(s.moved, 4);
    EXPECT_EQ(s.landed, 2);
    EXPECT_EQ(s.parked, 2);
    EXPECT_EQ(s.removed, 1);
    EXPECT_EQ(s.refused, 1);
    EXPECT_EQ(s.belowGround, 1);
    EXPECT_EQ(summaryText(s), "created  5\nmoved    4\nlanded   2\nparked   2\nremoved  1\nrefused  1\n"
                              "(1 aircraft went more than 50 ft below the ground)\n");
}

// The closing down, after the run's lines: the counts are those of the run, and the closing line tells how many
// of the program's aircraft were in the simulator then, how many the closing removed and how many it left.
TEST(DemoTrace, TheClosingIsToldApartFromTheRun) {
    const std::string run =
        R"({"t":0,"ev":"position","id":1,"user":true,"lat":50.05,"lon":8.58,"altFt":369,"onGround":true}
{"t":100,"ev":"create","id":100,"title":"DLH A320","atcId":"DLH4AP","lat":50.07,"lon":8.70,"altFt":2000,"onGround":0}
{"t":200,"ev":"create","id":101,"title":"KLM B738","atcId":"KLM1772","lat":50.04,"lon":8.55,"altFt":3000,"onGround":0}
{"t":300,"ev":"create","id":102,"title":"DLH A321","atcId":"DLH9TX*","lat":50.05,"lon":8.56,"altFt":372,"onGround":1}
{"t":400,"ev":"create","id":103,"title":"Generic C172","atcId":"DEFLY","foreign":true}
{"t":500,"ev":"remove","id":101}
)";
    const std::string closing = R"({"t":900,"ev":"remove","id":100}
{"t":950,"ev":"removed","id":100,"atcId":"DLH4AP"}
)";
    const struct {
        const char* name;
        std::string closingLines;
        Closing want;
    } cases[] = {
        {"the closing removes one of two and leaves the other", closing, {2, 1, 1}},
        {"the closing removes both",
         closing + R"({"t":960,"ev":"remove","id":102}
)",
         {2, 2, 0}},
        {"nothing after the run", "", {2, 0, 2}},
    };
    const std::size_t runLines = static_cast<std::size_t>(std::count(run.begin(), run.end(), '\n'));
    for (const auto& c : cases) {
        std::istringstream first(run + c.closingLines), again(run + c.closingLines);
        const Trace before = readTrace(first, runLines);
        const Trace whole = readTrace(again);
        const Closing got = summariseClosing(before, whole);
        EXPECT_EQ(got.inSimulator, c.want.inSimulator) << c.name;
        EXPECT_EQ(got.removed, c.want.removed) << c.name;
        EXPECT_EQ(got.left, c.want.left) << c.name;
        EXPECT_EQ(summarise(before).removed, 1) << c.name << ": the run's removals only";
    }
    EXPECT_EQ(closingText({2, 1, 1}), "closing          2 in the simulator, 1 removed, 1 left in it\n");
}

TEST(DemoTrace, AGroundAircraftThatNeverFlewHasNotLanded) {
    const Summary s = summarise(read(
        R"({"t":0,"ev":"create","id":100,"title":"T","atcId":"TAXI1"}
{"t":1000,"ev":"position","id":100,"lat":50.0,"lon":8.0,"altFt":364,"aglFt":8,"onGround":true}
{"t":90000,"ev":"position","id":100,"lat":50.01,"lon":8.0,"altFt":364,"aglFt":8,"onGround":true}
{"t":180000,"ev":"position","id":100,"lat":50.01,"lon":8.0,"altFt":364,"aglFt":8,"onGround":true}
)"));
    EXPECT_EQ(s.created, 1);
    EXPECT_EQ(s.moved, 1);
    EXPECT_EQ(s.landed, 0);
    EXPECT_EQ(s.parked, 0);
}

TEST(DemoTrace, EmptyTraceGivesZerosAndAMap) {
    const Trace trace = read("");
    const Summary s = summarise(trace);
    EXPECT_EQ(summaryText(s), "created  0\nmoved    0\nlanded   0\nparked   0\nremoved  0\nrefused  0\n");
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(svgMap(trace, s).c_str()));
    EXPECT_STREQ(doc.first_child().name(), "svg");
}

TEST(DemoTrace, MapDrawsEveryTracedAircraftAroundTheUser) {
    const Trace trace = read(kTrace);
    const Summary s = summarise(trace);
    const std::string svg = svgMap(trace, s);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(svg.c_str())) << svg;
    auto root = doc.child("svg");
    ASSERT_TRUE(root);

    int tracks = 0;
    for (auto path : root.children("path"))
        if (path.child("title")) ++tracks;
    // The five created aircraft and the other client's one, all within the main map; the user is
    // the centre, not a track.
    EXPECT_EQ(tracks, 6);
    EXPECT_NE(svg.find("DLH4AP"), std::string::npos);
    EXPECT_NE(svg.find("user aircraft"), std::string::npos);
    EXPECT_NE(svg.find("5 created, 4 moved, 2 landed, 2 parked, 1 removed, 1 refused"), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    // The user's square sits in the middle of the 900 pixel map.
    bool centred = false;
    for (auto rect : root.children("rect"))
        if (rect.attribute("x").as_double() == 446 && rect.attribute("y").as_double() == 446) centred = true;
    EXPECT_TRUE(centred);
}

TEST(DemoTrace, TitlesAndNamesAreEscapedInTheMap) {
    const Trace trace = read(R"({"t":0,"ev":"create","id":100,"title":"A<B & \"C\"","atcId":"X&Y"}
{"t":1000,"ev":"position","id":100,"lat":50.0,"lon":8.0,"altFt":5000,"aglFt":4600,"onGround":false}
{"t":2000,"ev":"position","id":100,"lat":50.1,"lon":8.0,"altFt":5000,"aglFt":4600,"onGround":false}
)");
    const std::string svg = svgMap(trace, summarise(trace));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(svg.c_str())) << svg;
    EXPECT_NE(svg.find("X&amp;Y A&lt;B &amp; &quot;C&quot;"), std::string::npos);
}

namespace {

// A tiny airport at 50 N 8 E: 0.001 degree of latitude is 111 m. S4 is far to the east.
const char* kStands = R"(<?xml version="1.0"?>
<meta><info name="author" value="test"/></meta>
<parameters><parameter name="airport_name" value="Test &amp; Field"/></parameters>
<parkpositions>
  <parkpos id="S1" latitude="50.0000" longitude="8.0000" heading="0" radius="20" cargo="false"><opt reg="D-AAAA"/></parkpos>
  <parkpos id="S2" latitude="50.0010" longitude="8.0000" heading="0" radius="20"/>
  <parkpos id="S3" latitude="50.0020" longitude="8.0000" heading="0" radius="30"/>
  <parkpos id="S4" latitude="50.0000" longitude="8.0100" heading="90" radius="20"/>
</parkpositions>
)";
const char* kScenario = R"({"tracks":[],"parked":[{"callsign":"FEED1","stand":"S2"},{"stand":"S3"}]})";

constexpr double kDegPerMetre = 1 / 111320.0;

Apron apron(bool withScenario = true) {
    Apron a;
    std::istringstream stands(kStands);
    readStands(stands, a);
    if (withScenario) {
        std::istringstream scenario(kScenario);
        readFeedParked(scenario, a);
    }
    return a;
}

std::string create(int id, const std::string& atcId, double lat, double lon, bool onGround) {
    return fmt::format(R"({{"t":0,"ev":"create","id":{},"atcId":"{}","title":"T","lat":{:.7f},"lon":{:.7f},)"
                       R"("altFt":{},"onGround":{}}})"
                       "\n",
                       id, atcId, lat, lon, onGround ? 373 : 3000, onGround ? 1 : 0);
}

// `steps` one-second positions from (lat, lon), each moving `north` and `east` metres, with the heading
// (none when NaN) and on the ground or `aglFt` above it.
std::string positions(int id, double& lat, double& lon, int steps, double north, double east, double heading,
                      double aglFt = 0) {
    static double t = 1000;
    std::string text;
    for (int i = 0; i < steps; ++i) {
        const std::string headingField = std::isnan(heading) ? "" : fmt::format(R"("headingDeg":{},)", heading);
        text += fmt::format(R"({{"t":{},"ev":"position","id":{},"lat":{:.8f},"lon":{:.8f},"altFt":{},"aglFt":{},)"
                            R"({}"onGround":{}}})"
                            "\n",
                            t += 1000, id, lat, lon, 364 + std::max(aglFt, 9.0), std::max(aglFt, 9.0), headingField,
                            aglFt > 0 ? "false" : "true");
        lat += north * kDegPerMetre;
        lon += east * kDegPerMetre / std::cos(50 * M_PI / 180);
    }
    return text;
}

std::string event(int id, const char* name) {
    return fmt::format(R"({{"t":0,"ev":"event","id":{},"event":"{}","data":0}})"
                       "\n",
                       id, name);
}

}  // namespace

TEST(DemoTraceApron, AircraftCreatedAtStandsAreSplitByWhoPutThemThere) {
    double lat = 0, lon = 0;
    std::string text;
    text += create(100, "STAT1*", 50.0, 8.0, true);                        // on S1
    text += create(101, "FEED1*", 50.001 + 25 * kDegPerMetre, 8.0, true);  // 25 m from S2: within 20 + 10
    // A departure created "airborne" at ground height whose first position is on the ground at S3.
    text += create(102, "DEP1", 50.002, 8.0, false);
    lat = 50.002, lon = 8.0;
    text += positions(102, lat, lon, 2, 0, 0, 0);
    text += create(103, "EDGE1*", 50.0 + 32 * kDegPerMetre, 8.01, true);  // 32 m from S4: outside 20 + 10
    text += create(104, "FAR1*", 50.01, 8.0, true);
    text += create(105, "AIR1", 50.0, 8.0, false);  // over S1, in the air
    lat = 50.0, lon = 8.0;
    text += positions(105, lat, lon, 2, 100, 0, 0, 2000);
    const Trace trace = read(text);

    const Summary s = summarise(trace, apron());
    EXPECT_EQ(s.created, 6);
    EXPECT_EQ(s.atStands, 3);
    EXPECT_EQ(s.atStandsStatic, 1);
    EXPECT_EQ(s.atStandsFeedParked, 1);
    EXPECT_EQ(s.atStandsDeparting, 1);
    const std::string summary = summaryText(s);
    EXPECT_NE(summary.find("created  6\n"), std::string::npos) << summary;
    EXPECT_NE(summary.find("\nat stands        3 (static 1, feed-parked 1, departing 1)\n"), std::string::npos)
        << summary;
    EXPECT_NE(summary.find("\nparked at stand  0\n"), std::string::npos) << summary;

    // Without the scenario every starred aircraft is a static one; without stands no apron lines.
    const Summary noScenario = summarise(trace, apron(false));
    EXPECT_EQ(noScenario.atStandsStatic, 2);
    EXPECT_EQ(noScenario.atStandsFeedParked, 0);
    EXPECT_EQ(summaryText(summarise(trace)).find("at stands"), std::string::npos);
}

TEST(DemoTraceApron, PushBackTaxiOutAndTakeOff) {
    struct Leg {
        int steps;
        double north, east, heading, aglFt;
    };
    const double none = std::nan("");
    struct Case {
        const char* what;
        std::vector<Leg> legs;  // from S3, one after the other
        int pushedBack, taxiedOut, tookOff;
    };
    const Case cases[] = {
        {"push back 10 m, turn, taxi 40 m, take off",
         {{5, -2, 0, 0, 0}, {3, 0, 1.5, 300, 0}, {5, 0, 8, 90, 0}, {3, 0, 60, 90, 200}},
         1,
         1,
         1},
        {"push back 10 m and stay", {{6, -2, 0, 0, 0}}, 1, 0, 0},
        {"push back 10 m, then only 20 m forwards", {{6, -2, 0, 0, 0}, {3, 10, 0, 0, 0}}, 1, 0, 0},
        {"backwards 3 m, then 50 m forwards", {{2, -1.5, 0, 0, 0}, {6, 10, 0, 0, 0}}, 0, 0, 0},
        {"rolling south without a heading", {{10, -5, 0, none, 0}}, 0, 0, 0},
        {"sideways is no push-back", {{10, 0, 5, 0, 0}}, 0, 0, 0},
        {"landing is no take-off", {{3, -60, 0, 180, 300}, {3, -30, 0, 180, 0}}, 0, 0, 0},
    };
    for (const auto& c : cases) {
        double lat = 50.002, lon = 8.0;
        std::string text = create(100, "DEP1", lat, lon, true);
        for (const auto& leg : c.legs)
            text += positions(100, lat, lon, leg.steps, leg.north, leg.east, leg.heading, leg.aglFt);
        const Summary s = summarise(read(text), apron());
        EXPECT_EQ(s.pushedBack, c.pushedBack) << c.what;
        EXPECT_EQ(s.taxiedOut, c.taxiedOut) << c.what;
        EXPECT_EQ(s.tookOff, c.tookOff) << c.what;
    }
}

TEST(DemoTraceApron, LandedAircraftParkAtAStandOrShutTheirEnginesDown) {
    struct Case {
        const char* what;
        double endNorth;  // where the taxi ends, metres north of S1 (S2 is 111 m north)
        int stillSteps;   // positions standing still there
        bool shutdown;
        int parkedAtStand;
    };
    const Case cases[] = {
        {"stops on S2", 111, 2, false, 1},
        {"stops 15 m off S1", 15, 2, false, 1},
        {"stops between the stands", 55, 3, false, 0},
        {"rolls through S1 without stopping", 0, 0, false, 0},
        {"shuts its engines down between the stands", 55, 1, true, 1},
    };
    for (const auto& c : cases) {
        double lat = 50.0 - 1000 * kDegPerMetre, lon = 8.0;
        std::string text = create(100, "ARR1", lat, lon, false);
        text += positions(100, lat, lon, 3, 100, 0, 0, 300);  // descends from the south
        lat = 50.0 - 500 * kDegPerMetre;
        // Taxis north in 10 m steps to the end point (and beyond it when it never stops).
        const int taxiSteps = static_cast<int>((c.endNorth + 500) / 10);
        text += positions(100, lat, lon, taxiSteps, 10, 0, 0);
        lat = 50.0 + c.endNorth * kDegPerMetre;
        if (c.stillSteps > 0)
            text += positions(100, lat, lon, c.stillSteps, 0, 0, 0);
        else
            text += positions(100, lat, lon, 30, 10, 0, 0);
        if (c.shutdown) text += event(100, "ENGINE_AUTO_SHUTDOWN");
        const Summary s = summarise(read(text), apron());
        EXPECT_EQ(s.landed, 1) << c.what;
        EXPECT_EQ(s.parkedAtStand, c.parkedAtStand) << c.what;
    }
}

// Aircraft that stand together: both standing still on the ground, on one stand or closer to each other than
// the smallest stand radius (20 m here), for more than 30 s. A static stands on S1 (or 55 m north of it,
// between S1 and S2) the whole time; a second aircraft stands or rolls beside it for a while.
TEST(DemoTraceApron, AircraftThatStandTogetherForMoreThan30Seconds) {
    struct Case {
        const char* what;
        double staticNorth;  // where the static stands, metres north of S1
        double otherNorth;   // where the other one stands (or starts rolling), metres north of S1
        int seconds;         // how long both stand there
        double speed;        // the other one's roll north in metres a second; 0: it stands
        int together;
        const char* detail;
    };
    const Case cases[] = {
        {"a live aircraft stops on the static's stand for 31 s", 0, 3, 31, 0, 1,
         "  STAT1* and TOW1 on stand S1 for 31 s\n"},
        {"29 s is not yet together", 0, 3, 29, 0, 0, ""},
        {"a taxi past through the stand", 0, -100, 31, 8, 0, ""},
        {"12 m apart between the stands", 55, 67, 40, 0, 1, "  STAT1* and TOW1 12 m apart for 40 s\n"},
        {"on neighbouring stands", 0, 111, 60, 0, 0, ""},
    };
    for (const auto& c : cases) {
        const double staticLat = 50.0 + c.staticNorth * kDegPerMetre;
        double otherLat = 50.0 + c.otherNorth * kDegPerMetre;
        std::string text = create(100, "STAT1*", staticLat, 8.0, true) + create(101, "TOW1", otherLat, 8.0, true);
        // One position of each a second, at the same moment, as the stand-in samples them; the static stands
        // 20 s longer than the other.
        for (int t = 0; t <= c.seconds + 20; ++t) {
            text += fmt::format(R"({{"t":{},"ev":"position","id":100,"lat":{:.8f},"lon":8.0,"altFt":373,"aglFt":9,)"
                                R"("onGround":true}})"
                                "\n",
                                t * 1000, staticLat);
            if (t > c.seconds) continue;
            text += fmt::format(R"({{"t":{},"ev":"position","id":101,"lat":{:.8f},"lon":8.0,"altFt":373,"aglFt":9,)"
                                R"("onGround":true}})"
                                "\n",
                                t * 1000, otherLat);
            otherLat += c.speed * kDegPerMetre;
        }
        const Summary s = summarise(read(text), apron());
        EXPECT_EQ(s.standingTogether, c.together) << c.what;
        const std::string summary = summaryText(s);
        const std::string line = fmt::format("\nstood together   {}\n{}", c.together, c.detail);
        EXPECT_NE(summary.find(line), std::string::npos) << c.what << "\n" << summary;
    }
}

// Live aircraft that stand still on the ground off every stand for more than 2 minutes while their feed (played
// 30 s behind) takes them on: DEP1's feed rolls north at 50 m/s for 1000 s, HOLD1's stands still, SHORT1's rolls
// for its first 100 s only.
TEST(DemoTraceApron, LiveAircraftThatStandStillOffAStandWhileTheirFeedMoves) {
    const char* scenario = R"({"loopSec":2000,"tracks":[
        {"callsign":"DEP1","points":[{"t":0,"lat":50.01,"lon":8.02},{"t":1000,"lat":50.4591556,"lon":8.02}]},
        {"callsign":"HOLD1","points":[{"t":0,"lat":50.01,"lon":8.02},{"t":1000,"lat":50.01,"lon":8.02}]},
        {"callsign":"SHORT1","points":[{"t":0,"lat":50.01,"lon":8.02},{"t":100,"lat":50.0549156,"lon":8.02}]},
        {"points":[{"t":0,"lat":50.01,"lon":8.02},{"t":2500,"lat":50.01,"lon":8.02}]}]})";
    FeedTracks feed;
    std::istringstream in(scenario);
    readFeedTracks(in, feed);
    EXPECT_EQ(feed.loopSec, 2500) << "a track without a callsign still counts for the loop";
    ASSERT_TRUE(feed.at("DEP1", 500));
    EXPECT_NEAR(feed.at("DEP1", 500)->latitude, 50.01 + 25000 * kDegPerMetre, 1e-7);
    EXPECT_FALSE(feed.at("SHORT1", 101));
    EXPECT_TRUE(feed.at("SHORT1", 2600)) << "played again after the loop";

    struct Case {
        const char* what;
        const char* callsign;
        double lat, lon;  // where it stands (or starts rolling north with its feed)
        int fromSec;      // trace second it stands from
        int seconds;      // how long
        double speed;     // metres a second north; 0: it stands
        int still;
        const char* detail;
    };
    const Case cases[] = {
        {"stands on the runway for 150 s while its feed rolls on", "DEP1", 50.01, 8.02, 200, 150, 0, 1,
         "  DEP1 at 50.01000,8.02000 for 150 s from 200 s, while its feed moved 7500 m\n"},
        {"stands 110 s", "DEP1", 50.01, 8.02, 200, 110, 0, 0, ""},
        {"rolls with its feed", "DEP1", 50.01 + 8500 * kDegPerMetre, 8.02, 200, 150, 50, 0, ""},
        {"stands on a stand", "DEP1", 50.0, 8.0, 200, 150, 0, 0, ""},
        {"holds while its feed stands too", "HOLD1", 50.01, 8.02, 200, 300, 0, 0, ""},
        {"stands where its feed has ended", "SHORT1", 50.0549, 8.02, 200, 300, 0, 0, ""},
        {"a static has no feed", "DEP1*", 50.01, 8.02, 200, 300, 0, 0, ""},
    };
    for (const auto& c : cases) {
        std::string text = create(101, c.callsign, c.lat, c.lon, true);
        double lat = c.lat;
        for (int t = c.fromSec; t <= c.fromSec + c.seconds; ++t) {
            text += fmt::format(R"({{"t":{},"ev":"position","id":101,"lat":{:.8f},"lon":{:.8f},"altFt":373,)"
                                R"("aglFt":9,"onGround":true}})"
                                "\n",
                                t * 1000, lat, c.lon);
            lat += c.speed * kDegPerMetre;
        }
        const Summary s = summarise(read(text), apron(), feed);
        EXPECT_EQ(s.standingStill, c.still) << c.what;
        const std::string summary = summaryText(s);
        const std::string line = fmt::format("\nstood still off a stand  {}\n{}", c.still, c.detail);
        EXPECT_NE(summary.find(line), std::string::npos) << c.what << "\n" << summary;
    }
    // Without the feed's tracks nothing is said about it.
    EXPECT_EQ(summaryText(summarise(read(create(101, "DEP1", 50.01, 8.02, true)), apron())).find("stood still"),
              std::string::npos);
}

TEST(DemoTraceApron, BadStandsAndScenarioFilesAreRefusedWithTheReason) {
    struct Case {
        const char* text;
        bool stands;  // else a scenario
        const char* reason;
    };
    const Case cases[] = {
        {"<parkpositions><parkpos id=\"S1\"", true, "not XML"},
        {"<meta/><parkpositions/>", true, "no <parkpos>"},
        {R"(<parkpositions><parkpos id="S1" latitude="5O.0" longitude="8" radius="20"/></parkpositions>)", true,
         "stand \"S1\" has no valid latitude"},
        {R"(<parkpositions><parkpos id="S1" latitude="95" longitude="8" radius="20"/></parkpositions>)", true,
         "stand \"S1\" has no valid latitude"},
        {R"(<parkpositions><parkpos id="S2" latitude="50" longitude="8"/></parkpositions>)", true,
         "stand \"S2\" has no valid radius"},
        {R"(<parkpositions><parkpos id="S3" latitude="50" longitude="8" radius="nan"/></parkpositions>)", true,
         "stand \"S3\" has no valid radius"},
        {"{\"parked\": [", false, "not a JSON object"},
        {"[1, 2]", false, "not a JSON object"},
        {R"({"parked": {"callsign": "X"}})", false, "\"parked\" is not a list"},
        {R"({"tracks": {"callsign": "X"}})", false, "\"tracks\" is not a list"},
        {R"({"tracks": [{"callsign": "X", "points": [{"t": 5}, {"t": 4}]}]})", false,
         "the points of track \"X\" are not in time order"},
    };
    for (const auto& c : cases) {
        Apron a;
        std::istringstream in(c.text);
        try {
            FeedTracks feed;
            if (c.stands)
                readStands(in, a);
            else if (std::string(c.text).find("tracks") != std::string::npos)
                readFeedTracks(in, feed);
            else
                readFeedParked(in, a);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << c.text << ": " << e.what();
        }
    }
    const Apron a = apron();
    EXPECT_EQ(a.airportName, "Test & Field");
    ASSERT_EQ(a.stands.size(), 4u);
    EXPECT_EQ(a.stands[3].name, "S4");
    EXPECT_EQ(a.stands[3].radiusMetres, 20);
    EXPECT_EQ(a.stands[3].headingDeg, 90);
    EXPECT_EQ(a.feedParked, std::set<std::string>{"FEED1"});
}

TEST(DemoTraceApron, MapGetsAnAirportPanelWithEveryStand) {
    double lat = 50.0, lon = 8.0;
    std::string text = create(100, "STAT<1>*", lat, lon, true);
    text += positions(100, lat, lon, 2, 0, 0, 0);
    lat = 50.002, lon = 8.0;
    text += create(101, "DEP1", lat, lon, true);
    text += positions(101, lat, lon, 3, -25, 0, 0);
    lat = 50.0, lon = 8.01;
    text += positions(1, lat, lon, 1, 0, 0, 90);
    const Trace trace = read(std::regex_replace(text, std::regex(R"("id":1,)"), R"("id":1,"user":true,)"));
    const Apron a = apron();
    const std::string svg = svgMap(trace, summarise(trace, a), a);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(svg.c_str())) << svg;
    auto root = doc.child("svg");
    EXPECT_EQ(root.attribute("width").as_int(), 1800);

    std::set<std::string> texts;
    for (auto node : root.select_nodes("//text")) texts.insert(node.node().child_value());
    for (const char* name : {"S1", "S2", "S3", "S4", "STAT<1>*", "DEP1", "user aircraft"})
        EXPECT_TRUE(texts.count(name)) << name;
    EXPECT_TRUE(texts.count("Test & Field: 4 stands, 2 taken at the end"));
    // The static aircraft still stands on S1 and the user on S4; the departure has left S3.
    std::set<std::string> taken;
    for (auto node : root.select_nodes("//circle/title")) {
        const std::string title = node.node().child_value();
        if (title.find(", taken") != std::string::npos) taken.insert(title);
    }
    EXPECT_EQ(taken, (std::set<std::string>{"stand S1 (20 m), taken", "stand S4 (20 m), taken"}));
}

namespace {
// Midnight UTC of a day of the demo, in milliseconds since 1970.
constexpr double kMidnightMs = 1796947200000.0;

std::vector<Renewal> renewalsOf(const std::string& log) {
    std::istringstream in(log);
    return readRenewals(in);
}
}  // namespace

TEST(DemoTraceRenewals, TheLogTellsEachRenewalWithItsTimeAndCounts) {
    struct Case {
        const char* name;
        std::string log;
        std::vector<std::vector<int>> renewals;  // second of day, to be removed, to be added
    };
    const std::string plan = "\n01:10:39 (utc) It is day 5 (Fri), 1.5 hours\n5 parking positions from PT\n"
                             "14 positions (30% vs wanted 30%, with Max fit=24 hours)\n";
    const std::vector<Case> cases = {
        {"the first plan only", plan, {}},
        {"a renewal",
         plan + "\n01:30:41 (utc) It is day 5 (Fri), 2.0 hours\n0 new parking positions from PT\n"
                "Parking adjustments: 2 to be removed, 7 to be added\n",
         {{5441, 2, 7}}},
        {"two, the second in the feed's time and with parked traffic only",
         plan + "\n01:30:41 (utc) It is day 5 (Fri), 2.0 hours\nParking adjustments: 0 to be removed, 5 to be added\n" +
             "\n<<< 23:59:59 (utc) It is day 5 (Fri), 24.0 hours\nParkTraffic changes: 1 to be removed, 0 to be added\n",
         {{5441, 0, 5}, {86399, 1, 0}}},
        {"counts without a time line before them", "Parking adjustments: 2 to be removed, 7 to be added\n", {}},
        {"no time of day",
         "\n25:61:00 (utc) It is day 5 (Fri), 2.0 hours\nParking adjustments: 2 to be removed, 7 to "
         "be added\n",
         {}},
        {"live aircraft over the plan are no renewal count",
         plan + "\n01:30:41 (utc) It is day 5 (Fri), 2.0 hours\nParking adjustments: 3 more live ac than wanted\n",
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::vector<int>> got;
        for (const Renewal& r : renewalsOf(c.log)) got.push_back({r.utcSecondOfDay, r.toBeRemoved, r.toBeAdded});
        EXPECT_EQ(got, c.renewals);
    }
}

TEST(DemoTraceRenewals, StaticsPlacedAndRemovedAtARenewalOnTheTracesClock) {
    struct Case {
        const char* name;
        double startUtcMs;  // the trace's time 0
        const char* renewalAt;
    };
    // The renewal comes 1200.5 s after the trace's time 0 in both: once within a day, once past midnight.
    const std::vector<Case> cases = {{"within a day", kMidnightMs + 4240500.0, "01:30:41"},
                                     {"past midnight", kMidnightMs - 1199500.0, "00:00:01"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double r = 1200500.0;  // the renewal in trace time, within its logged second
        std::string text = fmt::format("{{\"t\":0,\"ev\":\"clock\",\"utcMs\":{:.0f}}}\n", c.startUtcMs);
        auto create = [&](int id, const char* atcId, double t) {
            text += fmt::format(
                "{{\"t\":{:.0f},\"ev\":\"create\",\"id\":{},\"atcId\":\"{}\",\"lat\":50.05,\"lon\":8.58,\"altFt\":"
                "364,\"onGround\":1}}\n",
                t, id, atcId);
        };
        auto remove = [&](int id, double t) {
            text += fmt::format("{{\"t\":{:.0f},\"ev\":\"remove\",\"id\":{}}}\n", t, id);
        };
        create(1, "DLH100*", 20000);  // the first plan's statics
        create(2, "DLH9YB*", 21000);
        create(3, "BAW902*", 22000);
        create(4, "GEC2847*", 23000);
        remove(4, 600000);   // made way for an arrival long before the renewal
        remove(2, r + 300);  // the renewal's removals
        remove(3, r + 900);
        create(5, "KLM1234*", r + 700);  // the renewal's new statics
        create(6, "UAE45*", r + 60000);
        create(7, "DLH400", r + 5000);  // a live departure, no static
        remove(1, r + 90000);           // made way later
        const Trace trace = read(text);
        ASSERT_TRUE(trace.startUtcMs);
        const RenewalSummary s = summariseRenewals(
            trace, renewalsOf(fmt::format("\n{} (utc) It is day 5 (Fri), 2.0 hours\nParking adjustments: 2 to be "
                                          "removed, 2 to be added\n",
                                          c.renewalAt)));
        EXPECT_EQ(s.renewals, 1);
        EXPECT_TRUE(s.timed);
        EXPECT_EQ(s.placed, 2);
        EXPECT_EQ(s.removed, 2);
        EXPECT_EQ(renewalText(s),
                  "renewals         1 (statics placed 2, removed 2; the log: 2 to be added, 2 to be removed)\n");
    }
}

TEST(DemoTraceRenewals, WithoutTheTracesClockOnlyTheLogsCounts) {
    const std::vector<Renewal> renewals = {{5441, 2, 7}};
    const RenewalSummary s = summariseRenewals(read(kTrace), renewals);
    EXPECT_FALSE(s.timed);
    EXPECT_EQ(renewalText(s), "renewals         1 (the log: 7 to be added, 2 to be removed; the trace has no clock)\n");
    EXPECT_EQ(renewalText(summariseRenewals(read(kTrace), {})), "renewals         0\n");
}
