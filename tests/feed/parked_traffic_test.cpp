#include <gtest/gtest.h>

#include "airports/current_airport.h"
#include "airports/stands.h"
#include "catalogue/reference_db.h"
#include "feed/parked_traffic.h"
#include "tests/common/user_link.h"
#include "tests/feed/feed_fixture.h"

using nlohmann::json;

namespace {

// 2023-11-14 22:13:20 UTC: half-hour slot 44.
constexpr double now = 1700000000.0;

json parked(const std::string& hex, const std::string& stand, const std::string& type, const std::string& reg,
            const std::string& callsign, double seenAgoSec, double lat = 52.31, double lon = 4.77) {
    return {{"hex", hex},   {"lat", lat},          {"lon", lon},           {"stand", stand},
            {"type", type}, {"registration", reg}, {"callsign", callsign}, {"seenAgoSec", seenAgoSec}};
}

class ParkedTraffic : public feedtest::FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        gf_resetReferenceDatabase();
        for (const char* t : {"B738", "A320", "B744", "A388"}) knownAircraftTypes.insert(t);
        registrationTable["PH-BXB"] = DbaseReg{"KLM", "B738", "", false};
        registrationTable["G-EUPA"] = DbaseReg{"BAW", "A320", "SHT", false};
        CurrentAirport airport;
        airport.icao = "EHAM";
        airport.latitude = 52.31;
        airport.longitude = 4.76;
        airport.reservedStand = "R1";
        gf_setCurrentAirport(airport);
        RT_PARKTRAFFIC_ONLY.value = false;
        MAX_FIT.value = 47;
        login();
        professionalAccount = false;  // ages follow the real clock
    }
    void TearDown() override {
        gf_resetReferenceDatabase();
        gf_setCurrentAirport(CurrentAirport{});
        RT_PARKTRAFFIC_ONLY.value = false;
        MAX_FIT.value = 47;
        FeedTest::TearDown();
    }
    void serve(const json& list) {
        json scenario = feedtest::basicScenario();
        scenario["parked"] = list;
        stub.loadScenario(scenario);
    }
    std::vector<std::string> stands() const {
        std::vector<std::string> out;
        for (const auto& r : trafficReader.parkedRecords) out.push_back(r.standName);
        return out;
    }
};

}  // namespace

TEST_F(ParkedTraffic, RecordsAreAgedSortedAndDeduplicated) {
    serve(json::array({
        parked("484001", "D1", "B738", "PH-BXB", "KLM9", 3 * 1800),  // age 3
        parked("484002", "D1", "B738", "null", "KLM10", 1800),       // same stand, age 1: wins
        parked("484003", "E7", "A320", "G-EUPA", "BAW1", 0),         // age 0, operator replaces airline
        parked("484004", "E8", "A320", "null", "BAW1", 2 * 1800),    // same callsign, older: dropped
        parked("484005", "", "B738", "null", "KLM11", 1800),         // empty stand
        parked("484006", "", "B738", "null", "KLM12", 2 * 1800),     // second empty stand: dropped
    }));
    ASSERT_TRUE(gf_readParkedTraffic());
    EXPECT_EQ(stands(), (std::vector<std::string>{"E7", "D1", ""}));
    const auto& first = trafficReader.parkedRecords[0];
    EXPECT_EQ(first.identity.airline, "SHT");
    EXPECT_EQ(first.identity.icaoType, "A320");
    EXPECT_EQ(first.identity.callsign, "BAW1");
    EXPECT_EQ(first.address, 0x484003u);
    EXPECT_EQ(first.slot, 0);
    EXPECT_EQ(trafficReader.parkedRecords[1].slot, 1);
    EXPECT_EQ(trafficReader.parkedRecords[1].identity.callsign, "KLM10");

    const auto form = stub.requests().back().form;
    EXPECT_EQ(form.at("querytype"), "parkedtraffic");
    EXPECT_EQ(form.at("top"), "52.36");
    EXPECT_EQ(form.at("bottom"), "52.26");
}

TEST_F(ParkedTraffic, AgeLimit) {
    serve(json::array(
        {parked("484001", "D1", "B738", "null", "KLM9", 0), parked("484002", "D2", "B738", "null", "KLM10", 1800)}));
    MAX_FIT.value = 0;
    ASSERT_TRUE(gf_readParkedTraffic());
    EXPECT_EQ(stands(), (std::vector<std::string>{"D1"}));
    RT_PARKTRAFFIC_ONLY.value = true;
    ASSERT_TRUE(gf_readParkedTraffic());
    EXPECT_EQ(stands(), (std::vector<std::string>{"D1", "D2"}));
}

TEST_F(ParkedTraffic, MemberFilters) {
    serve(json::array({
        parked("2710", "A1", "B738", "null", "KLM1", 0),                  // address 10000
        parked("zz", "A2", "B738", "null", "KLM2", 0),                    // not hexadecimal
        parked("484003", "A3", "B747", "null", "KLM3", 0),                // becomes B744 (known)
        parked("484004", "A4", "B757", "null", "KLM4", 0),                // becomes B752 (unknown)
        parked("484005", "R1", "B738", "null", "KLM5", 0),                // reserved stand
        parked("484006", "A6", "ZZZZ", "null", "KLM6", 0),                // no type
        parked("484007", "A7", "B738", "null", "KLM7", 0, 0.0005, 0.01),  // unset position
        parked("484008", "A8", "B738", "ABCDEFGHIJKLM", "PH-BXB", 0),     // long registration: looked up by callsign
        parked("484009", "A9", "B738", "null", ".KLM99", 0),              // leading dot removed
        parked("48400a", "B1", "B738", "null", "KLM000001", 0),           // callsign emptied
        parked("48400b", "B2", "A380", "null", "null", 0),                // becomes A388
    }));
    ASSERT_TRUE(gf_readParkedTraffic());
    EXPECT_EQ(stands().size(), 5u);
    std::map<std::string, ParkedRecord> byStand;
    for (const auto& r : trafficReader.parkedRecords) byStand[r.standName] = r;
    EXPECT_EQ(byStand.at("A3").identity.icaoType, "B744");
    EXPECT_EQ(byStand.at("A8").identity.registration, "PH-BXB");
    EXPECT_EQ(byStand.at("A8").identity.airline, "KLM");
    EXPECT_EQ(byStand.at("A9").identity.callsign, "KLM99");
    EXPECT_TRUE(byStand.at("B1").identity.callsign.empty());
    EXPECT_EQ(byStand.at("B2").identity.icaoType, "A388");
}

// The stand under the user aircraft is left free of parked traffic only while the user stands on it: the
// stand the simulator link names, as the program registers it, for a user on the ground and hovering.
TEST_F(ParkedTraffic, TheStandUnderTheUserIsLeftFreeOnlyOnTheGround) {
    currentStands.clear();
    currentStands.emplace_back("D9", std::vector<StandOption>{}, 52.312, 4.772, 0.0, 20.0, 1, 1, 1);
    gf_publishStandPlaces();
    gf_setUserStandSource(&gf_standAtUserPosition);
    serve(json::array({parked("484001", "D9", "B738", "null", "KLM1", 0, 52.312, 4.772),
                       parked("484002", "D2", "B738", "null", "KLM2", 0)}));
    struct Case {
        const char* name;
        double altitudeFt;
        bool onGround;
        std::vector<std::string> stands;
    };
    for (const Case& c : {Case{"on the ground", 0, true, {"D2"}}, Case{"hovering", 80, false, {"D9", "D2"}}}) {
        SCOPED_TRACE(c.name);
        reportUserAircraft(52.312, 4.772, c.altitudeFt, c.onGround);
        ASSERT_TRUE(gf_readParkedTraffic());
        std::vector<std::string> kept = stands();
        std::sort(kept.begin(), kept.end(), std::greater<>());
        EXPECT_EQ(kept, c.stands);
    }
    gf_setUserStandSource(nullptr);
    forgetUserAircraft();
    currentStands.clear();
    gf_publishStandPlaces();
}

TEST_F(ParkedTraffic, ShortMembersAreSkipped) {
    json reply = {
        {"status", 200},
        {"data",
         {{"484001", {52.31, 4.77, "D1", "B738"}}, {"484002", {52.31, 4.77, "D2", "B738", "null", now, "KLM2"}}}}};
    rtstub::ScriptedReply r;
    r.body = reply.dump();
    stub.script("traffic", r);
    ASSERT_TRUE(gf_readParkedTraffic());
    EXPECT_EQ(stands(), (std::vector<std::string>{"D2"}));
}

TEST_F(ParkedTraffic, SlotTurnsAtTwentyNineThirty) {
    // Now 10:45:00 (slot 21); seen at 10:29:20 (slot 20, age 1) and 10:29:40 (slot 21, age 0).
    const double tenFortyFive = 1700000000.0 - (22 * 3600 + 13 * 60 + 20) + (10 * 3600 + 45 * 60);
    clock.setUnixTime(static_cast<std::int64_t>(tenFortyFive));
    stub.setUnixTime(tenFortyFive);
    serve(json::array({parked("484001", "D1", "B738", "null", "KLM1", 15 * 60 + 40),
                       parked("484002", "D2", "B738", "null", "KLM2", 15 * 60 + 20)}));
    ASSERT_TRUE(gf_readParkedTraffic());
    ASSERT_EQ(trafficReader.parkedRecords.size(), 2u);
    EXPECT_EQ(trafficReader.parkedRecords[0].standName, "D2");
    EXPECT_EQ(trafficReader.parkedRecords[0].slot, 0);
    EXPECT_EQ(trafficReader.parkedRecords[1].slot, 1);
}

TEST_F(ParkedTraffic, StatusTable) {
    struct Case {
        int status;
        const char* thrown;
        const char* logText;
    };
    const std::vector<Case> cases = {
        {400, "RT API parameter fault", nullptr},
        {403, "No data for this license type", nullptr},
        {401, nullptr, "RT Parked traffic: re-authentication to RT API is needed Vexa"},
        {500, nullptr, "RT parkedtraffic error status: 500"},
        {406, nullptr, "RT parkedtraffic error status: 406"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.status);
        rtstub::ScriptedReply r;
        r.status = c.status;
        stub.script("traffic", r);
        if (c.thrown) {
            try {
                gf_readParkedTraffic();
                ADD_FAILURE() << "no exception";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), c.thrown);
            }
        } else {
            EXPECT_FALSE(gf_readParkedTraffic());
            EXPECT_TRUE(logHas(c.logText));
        }
    }
    rtstub::ScriptedReply drop;
    drop.dropConnection = true;
    stub.script("traffic", drop);
    EXPECT_FALSE(gf_readParkedTraffic()) << "a failed transfer is no empty success";
    EXPECT_TRUE(logHas("curl parkedtraffic code_pt: "));

    trafficReader.guid.clear();
    EXPECT_FALSE(gf_readParkedTraffic());
}
