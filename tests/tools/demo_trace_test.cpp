// The demo's trace summary and map, on small hand-made traces.
#include <sstream>
#include <string>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "tools/demotrace/demo_trace.h"

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
