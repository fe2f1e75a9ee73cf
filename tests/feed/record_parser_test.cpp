#include "airports/apf_reader.h"
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include <fmt/format.h>

#include "airports/current_airport.h"
#include "engine/notices.h"
#include "feed/record_parser.h"
#include "tests/feed/feed_fixture.h"

using feedtest::aircraftLine;
using nlohmann::json;

namespace {

class RecordParser : public feedtest::FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        gf_setCurrentAirport(CurrentAirport{});
    }
    void TearDown() override {
        gf_setCurrentAirport(CurrentAirport{});
        FeedTest::TearDown();
    }

    // Parses one line; returns the record when it was kept.
    std::optional<TrafficRecord> parse(const json& line) {
        trafficReader.records.clear();
        trafficReader.currentLine = line;
        processLine(trafficReader);
        if (trafficReader.records.empty()) return std::nullopt;
        EXPECT_EQ(trafficReader.records.size(), 1u);
        return trafficReader.records.back();
    }
};

struct Case {
    const char* name;
    std::function<void(json&)> change;
    bool kept;
    std::function<void(const TrafficRecord&)> check = nullptr;
};

}  // namespace

TEST_F(RecordParser, ReadsEveryFieldOfAValidLine) {
    auto r = parse(aircraftLine());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->identity.icaoType, "B738");
    EXPECT_EQ(r->identity.registration, "PH-BXA");
    EXPECT_EQ(r->identity.callsign, "KLM123");
    EXPECT_EQ(r->identity.origin, "EHAM");
    EXPECT_EQ(r->identity.destination, "EGLL");
    EXPECT_TRUE(r->identity.airline.empty());
    EXPECT_DOUBLE_EQ(r->latitude, 52.3);
    EXPECT_DOUBLE_EQ(r->longitude, 4.76);
    EXPECT_EQ(r->address, 0x484a3bu);
    EXPECT_DOUBLE_EQ(r->altitudeFt, 3000.0);
    EXPECT_EQ(r->airborne, 1);
    EXPECT_DOUBLE_EQ(r->groundSpeedKt, 250.0);
    EXPECT_DOUBLE_EQ(r->trackDeg, 90.0);
    EXPECT_DOUBLE_EQ(r->verticalSpeed, -500.0);
    EXPECT_DOUBLE_EQ(r->airSpeedKt, 210.0);
    EXPECT_EQ(r->hasTrueHeading, 1);
    EXPECT_EQ(r->feedHeading, 1);
    EXPECT_DOUBLE_EQ(r->trueHeadingRad, 92.0 * 0.017453292519943295);
    EXPECT_EQ(r->hasElement23, 1);
    EXPECT_DOUBLE_EQ(r->element23Rad, -5.0 * 0.017453292519943295);
    EXPECT_DOUBLE_EQ(r->timestamp, 1700000000.5);
    EXPECT_EQ(r->tick, 0u);
    EXPECT_EQ(r->engineFlag, 0);
    EXPECT_DOUBLE_EQ(trafficReader.lastFeedTimestamp.load(), 1700000000.5);
}

TEST_F(RecordParser, AcceptanceTable) {
    const std::vector<Case> cases = {
        // position
        {"unset position box",
         [](json& l) {
             l[1] = 0.0005;
             l[2] = 0.01;
         },
         false},
        {"latitude above 90", [](json& l) { l[1] = 90.5; }, false},
        {"longitude below -180", [](json& l) { l[2] = -180.5; }, false},
        {"integer-valued position",
         [](json& l) {
             l[1] = 52;
             l[2] = 5;
         },
         true},
        {"position not a number", [](json& l) { l[1] = "52.3"; }, false},
        {"beyond the lateral range", [](json& l) { l[1] = 53.0; }, false},
        // address
        {"address 2710 (10000)", [](json& l) { l[0] = "2710"; }, false},
        {"address 2711", [](json& l) { l[0] = "2711"; }, true,
         [](const TrafficRecord& r) { EXPECT_EQ(r.address, 10001u); }},
        {"address read up to a non-hex character", [](json& l) { l[0] = "4ca123~x"; }, true,
         [](const TrafficRecord& r) { EXPECT_EQ(r.address, 0x4ca123u); }},
        {"address overflowing 32 bits", [](json& l) { l[0] = "123456789"; }, false},
        {"address not hexadecimal", [](json& l) { l[0] = "xyz"; }, false},
        // registration and type
        {"registration of 13 characters", [](json& l) { l[9] = "ABCDEFGHIJKLM"; }, false},
        {"registration null", [](json& l) { l[9] = "null"; }, true,
         [](const TrafficRecord& r) { EXPECT_TRUE(r.identity.registration.empty()); }},
        // category and type
        {"category A3 with type GLID", [](json& l) { l[8] = "GLID"; }, false},
        {"empty category with type GLID",
         [](json& l) {
             l[8] = "GLID";
             l[28] = "";
         },
         true},
        {"category null with type GLID",
         [](json& l) {
             l[8] = "GLID";
             l[28] = "null";
         },
         true},
        {"empty type",
         [](json& l) {
             l[8] = "";
             l[28] = "";
         },
         false},
        {"type ZZZZ", [](json& l) { l[8] = "ZZZZ"; }, false},
        {"type 0", [](json& l) { l[8] = "0"; }, false},
        {"glider emitter category", [](json& l) { l[28] = "B1"; }, false},
        {"surface vehicle category", [](json& l) { l[28] = "C2"; }, false},
        {"type longer than 4", [](json& l) { l[8] = "B7378"; }, false},
        // callsign
        {"callsign null keeps the registration", [](json& l) { l[13] = "null"; }, true,
         [](const TrafficRecord& r) { EXPECT_TRUE(r.identity.callsign.empty()); }},
        {"callsign with @", [](json& l) { l[13] = "KL@1"; }, true,
         [](const TrafficRecord& r) { EXPECT_TRUE(r.identity.callsign.empty()); }},
        {"callsign ERARMTR0", [](json& l) { l[13] = "ERARMTR0"; }, false},
        {"callsign AIRPORT1", [](json& l) { l[13] = "AIRPORT1"; }, false},
        {"callsign and registration empty",
         [](json& l) {
             l[13] = "null";
             l[9] = "null";
         },
         false},
        // heading
        {"true heading exactly 0 and track 0",
         [](json& l) {
             l[25] = 0;
             l[3] = 0;
         },
         true,
         [](const TrafficRecord& r) {
             EXPECT_DOUBLE_EQ(r.trueHeadingRad, 6.283185307179586);
             EXPECT_NEAR(r.trackDeg, 360.0, 1e-9);
         }},
        {"true heading above 360", [](json& l) { l[25] = 360.5; }, false},
        {"true heading 360", [](json& l) { l[25] = 360; }, true},
        {"negative true heading stores nothing",
         [](json& l) {
             l[25] = -3;
             l[3] = nullptr;
         },
         true,
         [](const TrafficRecord& r) {
             EXPECT_EQ(r.hasTrueHeading, 0);
             EXPECT_EQ(r.feedHeading, 0);
             EXPECT_DOUBLE_EQ(r.trackDeg, 0.0);
         }},
        {"heading ignored for other sources",
         [](json& l) {
             l[17] = "mlat";
             l[25] = 400;
         },
         true, [](const TrafficRecord& r) { EXPECT_EQ(r.hasTrueHeading, 0); }},
        {"track falls back to the heading",
         [](json& l) {
             l[3] = nullptr;
             l[25] = 45;
         },
         true, [](const TrafficRecord& r) { EXPECT_NEAR(r.trackDeg, 45.0, 1e-9); }},
        // speeds and bank
        {"air speed -1 at 3000 ft", [](json& l) { l[20] = -1; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.airSpeedKt, 220.0); }},
        {"air speed null at 25000 ft",
         [](json& l) {
             l[20] = nullptr;
             l[4] = 25000;
         },
         true, [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.airSpeedKt, 430.0); }},
        {"bank -1 counts as absent", [](json& l) { l[23] = -1; }, true,
         [](const TrafficRecord& r) { EXPECT_EQ(r.hasElement23, 0); }},
        {"origin null",
         [](json& l) {
             l[11] = "null";
             l[12] = 7;
         },
         true,
         [](const TrafficRecord& r) {
             EXPECT_TRUE(r.identity.origin.empty());
             EXPECT_TRUE(r.identity.destination.empty());
         }},
        {"integer time stamp", [](json& l) { l[10] = 1700000001; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.timestamp, 1700000001.0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        json line = aircraftLine();
        c.change(line);
        auto r = parse(line);
        EXPECT_EQ(r.has_value(), c.kept);
        if (r && c.check) c.check(*r);
    }
    EXPECT_FALSE(logHas("processLine")) << "rejections are silent";
}

// A time stamp that is not a usable number of seconds within a day of the time asked for (now less the
// time shift, up to 4 weeks) is dropped with a log line: the engine times every record of a reply from
// them. A kept stamp is the feed's time.
TEST_F(RecordParser, TimeStampsFarFromTheAskedTimeAreDroppedWithALogLine) {
    constexpr double now = 1700000000;
    constexpr double day = 86400;
    struct StampCase {
        std::int32_t shiftMinutes;
        json stamp;
        bool kept;
    };
    for (const auto& c : std::vector<StampCase>{{0, now + 0.5, true},
                                                {0, now - 3600, true},
                                                {0, 1e300, false},
                                                {0, -1e300, false},
                                                {0, 0, false},
                                                {0, nullptr, false},
                                                {0, now + 3 * day, false},
                                                {0, now - 3 * day, false},
                                                {1440, now - day + 2.5, true},
                                                {1440, now - day - 3600, true},
                                                {1440, now - 3 * day, false},
                                                {40320, now - 28 * day + 1, true},
                                                {40320, now - 2 * day, false},
                                                {40320, now - 31 * day, false}}) {
        SCOPED_TRACE(fmt::format("shift {} min, stamp {}", c.shiftMinutes, c.stamp.dump()));
        trafficReader.toffset = c.shiftMinutes;
        trafficReader.lastFeedTimestamp = 5.0;
        json line = aircraftLine();
        line[10] = c.stamp;
        EXPECT_EQ(parse(line).has_value(), c.kept);
        EXPECT_DOUBLE_EQ(trafficReader.lastFeedTimestamp.load(), c.kept ? c.stamp.get<double>() : 5.0)
            << "a kept stamp is the feed's time, a dropped one is not";
    }
    trafficReader.toffset = 0;
    EXPECT_TRUE(
        logHas("processLine: 484a3b dropped, time stamp 1e+300 is not within a day of Tue Nov 14 22:13:20 2023"));
    EXPECT_TRUE(logHas("time stamp 1697321600.0 is not within a day of Tue Okt 17 22:13:20 2023"));
}

// Every value the simulator receives from a record lies within a physical range. Altitude and ground speed place
// the aircraft: a record outside their range is dropped with one log line. Vertical speed and bank are cut to their
// range; a track or an air speed outside theirs is read as the one the feed did not send.
TEST_F(RecordParser, AbsurdValuesAreDroppedOrCut) {
    constexpr double pi = 3.141592653589793;
    const std::vector<Case> cases = {
        {"altitude 1e300", [](json& l) { l[4] = 1e300; }, false},
        {"altitude 1e300 of element 18",
         [](json& l) {
             l[4] = nullptr;
             l[18] = 1e300;
         },
         false},
        {"altitude 100000 ft", [](json& l) { l[4] = 100000; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.altitudeFt, 100000.0); }},
        {"altitude 100001 ft", [](json& l) { l[4] = 100001; }, false},
        {"ground speed 1e300", [](json& l) { l[5] = 1e300; }, false},
        {"ground speed 2001 kt", [](json& l) { l[5] = 2001; }, false},
        {"negative ground speed", [](json& l) { l[5] = -5; }, false},
        {"ground speed 2000 kt", [](json& l) { l[5] = 2000; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.groundSpeedKt, 2000.0); }},
        {"vertical speed 1e300", [](json& l) { l[15] = 1e300; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.verticalSpeed, 20000.0); }},
        {"vertical speed -1e300", [](json& l) { l[15] = -1e300; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.verticalSpeed, -20000.0); }},
        {"air speed 1e300 at 3000 ft", [](json& l) { l[20] = 1e300; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.airSpeedKt, 220.0); }},
        {"negative air speed at 3000 ft", [](json& l) { l[20] = -50; }, true,
         [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.airSpeedKt, 220.0); }},
        {"track 1e300 falls back to the heading", [](json& l) { l[3] = 1e300; }, true,
         [](const TrafficRecord& r) { EXPECT_NEAR(r.trackDeg, 92.0, 1e-9); }},
        {"negative track without a heading",
         [](json& l) {
             l[3] = -10;
             l[17] = "mlat";
         },
         true, [](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.trackDeg, 0.0); }},
        {"bank 1e300", [](json& l) { l[23] = 1e300; }, true,
         [&](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.element23Rad, -pi / 2); }},
        {"bank -200", [](json& l) { l[23] = -200; }, true,
         [&](const TrafficRecord& r) { EXPECT_DOUBLE_EQ(r.element23Rad, pi / 2); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        json line = aircraftLine();
        c.change(line);
        auto r = parse(line);
        EXPECT_EQ(r.has_value(), c.kept);
        if (r && c.check) c.check(*r);
    }
    for (const char* text : {"processLine: 484a3b dropped, altitude 1e+300 ft is out of range",
                             "processLine: 484a3b dropped, altitude 100001 ft is out of range",
                             "processLine: 484a3b dropped, ground speed 1e+300 kt is out of range",
                             "processLine: 484a3b dropped, ground speed -5 kt is out of range"})
        EXPECT_TRUE(logHas(text)) << text;
}

TEST_F(RecordParser, AltitudeAndGroundTable) {
    struct AltCase {
        const char* name;
        double raw;
        double gs;
        int qnh;
        bool fieldKnown;
        double field;
        double expectedAlt;  // 0 = on the ground
    };
    const std::vector<AltCase> cases = {
        {"QNH 1023 adds 300 ft", 1500, 250, 1023, false, 0, 1800},
        {"field 1750, h 50, 70 kt: ground", 1500, 70, 1023, true, 1750, 0},
        {"field 1750, h 50, 100 kt: airborne", 1500, 100, 1023, true, 1750, 1800},
        {"field unknown (h 2800), 36 kt: airborne", 1500, 36, 1023, false, 0, 1800},
        {"30 kt at 5000 ft: ground", 5000, 30, 1013, false, 0, 0},
        {"below the field: ground", 1000, 200, 1013, true, 1200, 0},
        {"h 120 and 43 kt: ground", 1120, 43, 1013, true, 1000, 0},
        {"h 120 and 44 kt: airborne", 1120, 44, 1013, true, 1000, 1120},
        {"negative raw altitude", -50, 200, 1013, false, 0, 0},
        {"low QNH pushes below 0", 100, 200, 990, false, 0, 0},
        {"14000 ft skips the ground rule", 14000, 100, 1013, true, 14000, 14000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qnhHpa = c.qnh;
        fieldElevationKnown = c.fieldKnown ? 1 : 0;
        fieldElevationFt = c.field;
        CurrentAirport airport;
        airport.icao = "EHAM";
        airport.latitude = 52.3;
        airport.longitude = 4.76;
        gf_setCurrentAirport(airport);
        json line = aircraftLine();
        line[4] = c.raw;
        line[5] = c.gs;
        auto r = parse(line);
        ASSERT_TRUE(r);
        EXPECT_DOUBLE_EQ(r->altitudeFt, c.expectedAlt);
        EXPECT_EQ(r->airborne, c.expectedAlt > 0 ? 1 : 0);
        if (c.expectedAlt == 0) {
            EXPECT_EQ(r->hasElement23, 0) << "no bank on the ground";
        }
    }
}

TEST_F(RecordParser, PointJustOutsideTheUnsetBoxIsKept) {
    trafficReader.setOwnPosition(LatLon{0.0, 0.0});
    json line = aircraftLine();
    line[1] = 0.0005;
    line[2] = 0.06;
    EXPECT_TRUE(parse(line));
    line[2] = 0.01;
    EXPECT_FALSE(parse(line));
}

TEST_F(RecordParser, AltitudeFallsBackToElement18) {
    json line = aircraftLine();
    line[4] = "ground";
    line[18] = 4200;
    auto r = parse(line);
    ASSERT_TRUE(r);
    EXPECT_DOUBLE_EQ(r->altitudeFt, 4200.0);
}

TEST_F(RecordParser, GroundTrafficOnlyNearTheSelectedAirport) {
    json line = aircraftLine();
    line[5] = 20.0;  // taxiing
    EXPECT_FALSE(parse(line)) << "no airport selected";

    CurrentAirport airport;
    airport.icao = "EHAM";
    airport.latitude = 52.3;
    airport.longitude = 4.76 + 4.9 / 60.0 / std::cos(52.3 * 0.017453292519943295);  // 4.9 NM east
    gf_setCurrentAirport(airport);
    EXPECT_TRUE(parse(line));

    airport.longitude = 4.76 + 5.2 / 60.0 / std::cos(52.3 * 0.017453292519943295);
    gf_setCurrentAirport(airport);
    EXPECT_FALSE(parse(line));
}

TEST_F(RecordParser, BufferedModeCollectsAcceptedAircraft) {
    trafficReader.bufferedMode = 1;
    parse(aircraftLine());
    json second = aircraftLine();
    second[0] = "4ca123";
    second[13] = "null";
    parse(second);
    json rejected = aircraftLine();
    rejected[0] = "2710";
    rejected[13] = "XXX1";
    parse(rejected);
    EXPECT_EQ(trafficReader.bufferedCallsigns, (std::set<std::string>{"KLM123"}));
    EXPECT_EQ(trafficReader.bufferedAddresses, (std::set<std::uint32_t>{0x484a3b, 0x4ca123}));

    gf_takeBufferedHistory();
    EXPECT_EQ(trafficReader.bufferedMode.load(), 0);
    EXPECT_TRUE(trafficReader.bufferedCallsigns.empty());
    EXPECT_EQ(engineBufferedCallsigns, (std::set<std::string>{"KLM123"}));
    EXPECT_EQ(engineBufferedAddresses.size(), 2u);
}

TEST_F(RecordParser, BlockingPostsOneNoticeAndReleasesOnChange) {
    const auto blockedNotices = [] {
        std::size_t n = 0;
        for (const auto& notice : gf_pendingEngineNotices())
            n += notice.kind == static_cast<std::uint32_t>(NoticeKind::Blocked) ? 1 : 0;
        return n;
    };
    const std::size_t before = blockedNotices();
    BLOCK_CALLSIGN.set("KLM123");
    EXPECT_FALSE(parse(aircraftLine()));
    EXPECT_FALSE(parse(aircraftLine()));
    EXPECT_EQ(blockedNotices(), before + 1);
    EXPECT_EQ(gf_blockedCallsignSeen(), "KLM123");
    EXPECT_EQ(gf_statusSnapshot().statusText, "Reader: Live aircraft KLM123 blocked");

    json other = aircraftLine();
    other[13] = "RYR45";
    EXPECT_TRUE(parse(other)) << "other callsigns pass";

    BLOCK_CALLSIGN.set("RYR45");
    EXPECT_FALSE(parse(other));
    EXPECT_EQ(gf_statusSnapshot().statusText, "Reader: Live aircraft KLM123 no longer blocked");
    EXPECT_EQ(blockedNotices(), before + 1);
    EXPECT_FALSE(parse(other));
    EXPECT_EQ(gf_statusSnapshot().statusText, "Reader: Live aircraft RYR45 blocked");
    EXPECT_EQ(blockedNotices(), before + 2);
    EXPECT_TRUE(parse(aircraftLine())) << "the old callsign is free again";
    EXPECT_TRUE(logHas("Reader: Live aircraft KLM123 no longer blocked"));
}

TEST_F(RecordParser, ElementOfTheWrongTypeIsLoggedNotFatal) {
    json line = aircraftLine();
    line[20] = json::object();  // not a number: default speed, no exception
    EXPECT_TRUE(parse(line));
    trafficReader.currentLine = json::array({1, 2});  // too short: caught and logged
    processLine(trafficReader);
    EXPECT_TRUE(logHas("processLine: "));
}

TEST(RecordParserHelpers, LeadingHexAndPositionRule) {
    EXPECT_EQ(gf_leadingHex("ffffffff"), 0xffffffffu);
    EXPECT_EQ(gf_leadingHex("100000000"), 0u);
    EXPECT_EQ(gf_leadingHex(""), 0u);
    EXPECT_EQ(gf_leadingHex("0a_"), 10u);
    EXPECT_TRUE(gf_invalidPosition(0.0009, 0.05));
    EXPECT_FALSE(gf_invalidPosition(0.00091, 0.0));
    EXPECT_FALSE(gf_invalidPosition(-0.0001, 0.0));
    EXPECT_TRUE(gf_invalidPosition(std::nan(""), 0.0));
}
