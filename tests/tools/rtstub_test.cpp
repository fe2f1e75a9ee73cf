#include <gtest/gtest.h>

#include <curl/curl.h>
#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "foundation/curl_handle.h"
#include "tools/rtstub/rt_stub.h"

using nlohmann::json;

namespace {

struct Reply {
    CURLcode code = CURLE_OK;
    std::string body;
    std::string headers;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* out) {
    static_cast<std::string*>(out)->append(data, size * count);
    return size * count;
}

Reply post(const rtstub::Server& server, const std::string& endpoint, const std::string& form, bool gzip = true) {
    Reply reply;
    CurlHandle handle;
    CURL* curl = handle.get();
    const std::string url = server.baseUrl() + "/v4/" + endpoint;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, form.c_str());
    if (gzip) curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "deflate,gzip");
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, collect);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 20L);
    reply.code = curl_easy_perform(curl);
    return reply;
}

json track() {
    return {{"hex", "484a3b"},
            {"callsign", "KLM1"},
            {"type", "B738"},
            {"points",
             json::array({{{"t", 0}, {"lat", 52.0}, {"lon", 4.0}, {"alt", 1000}, {"gs", 200}, {"track", 350}},
                          {{"t", 100}, {"lat", 53.0}, {"lon", 5.0}, {"alt", 3000}, {"gs", 300}, {"track", 10}}})}};
}

class RtStub : public ::testing::Test {
protected:
    void SetUp() override {
        server.loadScenario(
            {{"tracks", json::array({track()})},
             {"loop", false},
             {"stations", json::array({{{"icao", "EHAM"}, {"lat", 52.3}, {"lon", 4.7}, {"qnh", 1021}}})},
             {"parked", json::array({{{"hex", "484001"},
                                      {"lat", 52.3},
                                      {"lon", 4.7},
                                      {"stand", "D1"},
                                      {"type", "B738"},
                                      {"seenAgoSec", 60}}})}});
        server.setUnixTime(1700000000.0);
        server.setPlayTime(50.0);
        server.start();
        auto auth = json::parse(post(server, "auth", "license=x&software=t").body);
        guid = auth.at("GUID").get<std::string>();
    }
    rtstub::Server server;
    std::string guid;
    const std::string box = "&top=54&bottom=51&left=3&right=6";
};

}  // namespace

TEST_F(RtStub, PlaysInterpolatedTracksGzipped) {
    const Reply r = post(server, "traffic", "GUID=" + guid + box + "&querytype=locationtraffic&toffset=0");
    ASSERT_EQ(r.code, CURLE_OK);
    EXPECT_NE(r.headers.find("Content-Encoding: gzip"), std::string::npos);
    const json j = json::parse(r.body);
    EXPECT_EQ(j["status"], 200);
    EXPECT_EQ(j["rrl"], 2000);
    const json& a = j["data"]["484a3b"];
    ASSERT_EQ(a.size(), 48u);
    EXPECT_DOUBLE_EQ(a[1].get<double>(), 52.5);
    EXPECT_DOUBLE_EQ(a[2].get<double>(), 4.5);
    EXPECT_DOUBLE_EQ(a[4].get<double>(), 2000);
    EXPECT_NEAR(a[3].get<double>(), 0.0, 1e-9) << "track turns the short way";
    EXPECT_TRUE(a[10].is_number_float());
    EXPECT_EQ(a[13], "KLM1");
}

TEST_F(RtStub, BufferedSnapshotsStepBackInTime) {
    const Reply r = post(server, "traffic",
                         "GUID=" + guid + box + "&querytype=locationtraffic&toffset=0&buffercount=5&buffertime=6");
    const json j = json::parse(r.body);
    ASSERT_TRUE(j["data"].contains("buffer_4"));
    EXPECT_DOUBLE_EQ(j["data"]["buffer_0"]["484a3b"][10].get<double>(), 1700000000.0);
    EXPECT_DOUBLE_EQ(j["data"]["buffer_4"]["484a3b"][10].get<double>(), 1700000000.0 - 24);
    EXPECT_LT(j["data"]["buffer_4"]["484a3b"][1].get<double>(), j["data"]["buffer_0"]["484a3b"][1].get<double>());
}

TEST_F(RtStub, StatusesOfTheService) {
    struct Case {
        const char* endpoint;
        std::string form;
        int status;
    };
    const std::vector<Case> cases = {
        {"traffic", "GUID=nope" + box + "&querytype=locationtraffic", 401},
        {"traffic", "GUID=" + guid + "&querytype=locationtraffic", 400},
        {"traffic", "GUID=" + guid + box + "&querytype=other", 400},
        {"weather", "GUID=" + guid + "&querytype=locwx&lat=52&lon=4", 200},
        {"nearestmetar", "GUID=" + guid + "&lat=52&lon=4", 200},
        {"nearestmetar", "GUID=" + guid, 400},
        {"auth", "software=x", 400},
        {"deauth", "GUID=nope", 401},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.endpoint) + " " + c.form);
        EXPECT_EQ(json::parse(post(server, c.endpoint, c.form).body)["status"], c.status);
    }
    const json weather = json::parse(post(server, "weather", "GUID=" + guid + "&querytype=locwx&lat=52&lon=4").body);
    EXPECT_EQ(weather["data"]["QNH"], 1021);
    const json parked =
        json::parse(post(server, "traffic", "GUID=" + guid + box + "&querytype=parkedtraffic&toffset=1").body);
    EXPECT_EQ(parked["data"]["484001"][5], 1700000000 - 60 - 60);
    EXPECT_EQ(json::parse(post(server, "deauth", "GUID=" + guid).body)["status"], 200);
    EXPECT_EQ(json::parse(post(server, "traffic", "GUID=" + guid + box + "&querytype=locationtraffic").body)["status"],
              401);
}

TEST_F(RtStub, LicencesAndSessions) {
    server.loadScenario(
        {{"singleSession", true},
         {"licenses", json::array({{{"license", "good"}, {"type", 2}}, {{"license", "old"}, {"expiryDays", -1}}})}});
    EXPECT_EQ(json::parse(post(server, "auth", "license=bad&software=t").body)["status"], 404);
    EXPECT_EQ(json::parse(post(server, "auth", "license=old&software=t").body)["status"], 402);
    EXPECT_EQ(json::parse(post(server, "auth", "license=good&software=t").body)["status"], 405) << "one is open";
}

TEST_F(RtStub, ScriptedFaults) {
    rtstub::ScriptedReply s;
    s.status = 406;
    s.times = 2;
    server.script("traffic", s);
    rtstub::ScriptedReply body;
    body.body = "{broken";
    server.script("traffic", body);
    rtstub::ScriptedReply drop;
    drop.dropConnection = true;
    server.script("traffic", drop);
    rtstub::ScriptedReply slow;
    slow.delayMs = 20;
    server.script("traffic", slow);
    const std::string form = "GUID=" + guid + box + "&querytype=locationtraffic";
    EXPECT_EQ(json::parse(post(server, "traffic", form).body)["status"], 406);
    EXPECT_EQ(json::parse(post(server, "traffic", form).body)["status"], 406);
    EXPECT_EQ(post(server, "traffic", form).body, "{broken");
    EXPECT_NE(post(server, "traffic", form).code, CURLE_OK);
    EXPECT_EQ(json::parse(post(server, "traffic", form).body)["status"], 200);
    EXPECT_EQ(json::parse(post(server, "traffic", form).body)["status"], 200);
    EXPECT_EQ(server.requestCount("traffic"), 6u);
}

TEST(RtStubScenario, RejectsMalformedScenarios) {
    rtstub::Server server;
    EXPECT_THROW(server.loadScenario(json::array()), std::runtime_error);
    EXPECT_THROW(server.loadScenario({{"tracks", json::array({{{"callsign", "x"}}})}}), std::runtime_error);
    EXPECT_THROW(server.loadScenarioFile("/nonexistent/scenario.json"), std::runtime_error);
    json bad = {{"tracks", json::array({{{"hex", "1"}, {"points", json::array({{{"t", 5}}, {{"t", 1}}})}}})}};
    EXPECT_THROW(server.loadScenario(bad), std::runtime_error);
}

TEST(RtStubScenario, ScenarioFileLoadsAndPlays) {
    rtstub::Server server;
    server.loadScenarioFile(std::string(VEXA_SOURCE_DIR) + "/tests/fixtures/rtstub_scenario.json");
    server.setPlayTime(100.0);
    const auto auth = server.answer("auth", {{"license", "DEMO-LICENSE-0001"}, {"software", "t"}});
    ASSERT_EQ(auth["status"], 200);
    const auto traffic = server.answer("traffic", {{"GUID", auth["GUID"].get<std::string>()},
                                                   {"top", "54"},
                                                   {"bottom", "51"},
                                                   {"left", "3"},
                                                   {"right", "7"},
                                                   {"querytype", "locationtraffic"}});
    EXPECT_GE(traffic["data"].size(), 3u);
}

TEST_F(RtStub, ParkedAircraftLeaveTheirStandsOnce) {
    server.loadScenario(
        {{"tracks", json::array({track()})},
         {"loop", true},
         {"parked",
          json::array({{{"hex", "484001"}, {"lat", 52.3}, {"lon", 4.7}, {"stand", "D1"}},
                       {{"hex", "484002"}, {"lat", 52.3}, {"lon", 4.7}, {"stand", "D2"}, {"leftAtSec", 150}}})}});
    struct Case {
        double play;
        int offsetMinutes;
        bool stillParked;
    };
    // The scenario loops every 100 s; the departure counts from the start and is not replayed. A time shift
    // moves the whole scenario, the departure with it.
    const std::vector<Case> cases = {{50, 0, true},    {149.5, 0, true}, {150, 0, false},  {260, 0, false},
                                     {1000, 0, false}, {200, 1, false},  {100, 1440, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(fmt::format("play {} s, offset {} min", c.play, c.offsetMinutes));
        server.setPlayTime(c.play);
        const json parked =
            json::parse(post(server, "traffic",
                             fmt::format("GUID={}{}&querytype=parkedtraffic&toffset={}", guid, box, c.offsetMinutes))
                            .body);
        EXPECT_TRUE(parked["data"].contains("484001"));
        EXPECT_EQ(parked["data"].contains("484002"), c.stillParked);
    }
}

// A time-shifted request is answered as the service answers it, from the scenario moved into the shifted
// time: the same aircraft at the same places, every time stamp the shift earlier (up to 4 weeks).
TEST_F(RtStub, AShiftedRequestPlaysTheScenarioMovedIntoItsTime) {
    for (const int minutes : {0, 90, 1440, 40320}) {
        SCOPED_TRACE(minutes);
        const double stamp = 1700000000.0 - minutes * 60.0;
        const std::string form = fmt::format("GUID={}{}&toffset={}&querytype=", guid, box, minutes);
        const json live = json::parse(post(server, "traffic", form + "locationtraffic").body);
        ASSERT_TRUE(live["data"].contains("484a3b")) << live.dump();
        EXPECT_DOUBLE_EQ(live["data"]["484a3b"][1].get<double>(), 52.5);
        EXPECT_DOUBLE_EQ(live["data"]["484a3b"][10].get<double>(), stamp);

        const json buffered =
            json::parse(post(server, "traffic", form + "locationtraffic&buffercount=5&buffertime=6").body);
        EXPECT_DOUBLE_EQ(buffered["data"]["buffer_0"]["484a3b"][10].get<double>(), stamp);
        EXPECT_DOUBLE_EQ(buffered["data"]["buffer_4"]["484a3b"][10].get<double>(), stamp - 24);
        EXPECT_DOUBLE_EQ(buffered["data"]["buffer_4"]["484a3b"][1].get<double>(), 52.26);

        const json parked = json::parse(post(server, "traffic", form + "parkedtraffic").body);
        EXPECT_EQ(parked["data"]["484001"][5], static_cast<std::int64_t>(stamp) - 60);
    }
}

TEST_F(RtStub, TheReplayPeriodIsTheLongestTrackOrLonger) {
    struct Case {
        double loopSec;
        double play;
        bool reported;
    };
    // The track runs from 0 to 100 s.
    const std::vector<Case> cases = {
        {0, 150, true}, {50, 150, true}, {300, 150, false}, {300, 250, false}, {300, 350, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(fmt::format("loop every {} s, play {} s", c.loopSec, c.play));
        server.loadScenario({{"tracks", json::array({track()})}, {"loop", true}, {"loopSec", c.loopSec}});
        server.setPlayTime(c.play);
        const json j =
            json::parse(post(server, "traffic", "GUID=" + guid + box + "&querytype=locationtraffic&toffset=0").body);
        EXPECT_EQ(j["data"].contains("484a3b"), c.reported);
    }
}
