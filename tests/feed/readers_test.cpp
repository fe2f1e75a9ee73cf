#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <fmt/format.h>

#include "airports/current_airport.h"
#include "catalogue/reference_db.h"
#include "feed/feed_intake.h"
#include "feed/parked_traffic.h"
#include "feed/readers.h"
#include "feed/record_parser.h"
#include "foundation/time_text.h"
#include "shell/display.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "simlink/commands.h"
#include "tests/feed/feed_fixture.h"

using nlohmann::json;

namespace {

class Readers : public feedtest::FeedTest {
protected:
    void SetUp() override {
        FeedTest::SetUp();
        login();
        stub.clearScripts();
    }
    void scriptBody(const std::string& endpoint, const std::string& body) {
        rtstub::ScriptedReply r;
        r.body = body;
        stub.script(endpoint, r);
    }
    void scriptStatus(const std::string& endpoint, int status, int times = 1) {
        rtstub::ScriptedReply r;
        r.status = status;
        r.times = times;
        stub.script(endpoint, r);
    }
    // Runs one weather cycle whose weather reply is `reply`; the next METAR request ends the loop.
    std::int32_t weatherCycle(const json& reply) {
        scriptStatus("nearestmetar", 200);
        scriptBody("weather", reply.dump());
        scriptStatus("nearestmetar", 401);
        std::int32_t code = 0;
        EXPECT_FALSE(weatherReader.receive(code));
        return code;
    }
    void setQnh(std::int32_t q) {
        qnhHpa = q;
        mainWindow.qnh = 0;
    }
};

json weatherReply(const json& qnh) { return {{"status", 200}, {"wrrl", 2500}, {"data", {{"QNH", qnh}}}}; }

}  // namespace

TEST_F(Readers, WeatherQnhTable) {
    struct Case {
        const char* name;
        json qnh;
        std::int32_t start;
        std::int32_t expected;  // 0: nothing stored
        const char* logText;
    };
    const std::vector<Case> cases = {
        {"plain hPa", 1009, 1000, 1009, nullptr},
        {"inches x 100", 2992, 1000, 1013, nullptr},
        {"inches as a float are strange", 29.92, 1000, 0, "Strange QNH 30 found in"},
        {"upper limit", 1080, 1000, 1080, nullptr},
        {"above the limit converts to 366", 1081, 1000, 0, "Strange QNH 366 found in"},
        {"lower limit", 930, 1000, 930, nullptr},
        {"below the limit", 929, 1000, 0, "Strange QNH 929 found in"},
        {"float rounds", 1012.6, 1000, 1013, nullptr},
        {"leading number of a text", "1007 hPa", 1000, 1007, nullptr},
        {"text without a number", "n/a", 1000, 1013, "No QNH found in"},
        {"not a number", true, 1000, 1013, "No QNH found in"},
        {"equal to the stored value", 1005, 1005, 0, nullptr},
        {"1013 is stored every time", 1013, 1013, 1013, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        setQnh(c.start);
        EXPECT_EQ(weatherCycle(weatherReply(c.qnh)), 401);
        if (c.expected == 0) {
            EXPECT_EQ(mainWindow.qnh.load(), 0);
            EXPECT_EQ(qnhHpa.load(), c.start);
        } else {
            EXPECT_EQ(mainWindow.qnh.load(), c.expected);
            EXPECT_EQ(qnhHpa.load(), c.expected);
        }
        if (c.logText) {
            EXPECT_TRUE(logHas(c.logText));
        }
        EXPECT_EQ(weatherReader.wrrl.load(), 2500);
    }
    setQnh(1000);
    EXPECT_EQ(weatherCycle({{"status", 200}, {"data", nullptr}}), 401);
    EXPECT_EQ(mainWindow.qnh.load(), 0) << "no data stores nothing";
}

TEST_F(Readers, WeatherRequestAndLamp) {
    mainWindow.weatherLampState = 2;
    EXPECT_EQ(weatherCycle(weatherReply(1023)), 401);
    EXPECT_EQ(mainWindow.weatherLampState.load(), 1u);
    EXPECT_EQ(weatherReader.weatherOk.load(), 1);
    const auto requests = stub.requests();
    const auto weather = std::find_if(requests.begin(), requests.end(),
                                      [](const rtstub::ReceivedRequest& r) { return r.endpoint == "weather"; });
    ASSERT_NE(weather, requests.end());
    EXPECT_EQ(weather->form.at("querytype"), "locwx");
    EXPECT_EQ(weather->form.at("airports"), "EHAM");
    EXPECT_EQ(weather->form.at("alt"), "2500");
    EXPECT_EQ(weather->form.at("lat"), "52.3000");
}

TEST_F(Readers, WeatherStatusTable) {
    struct Case {
        const char* endpoint;
        int status;
        bool ends;
    };
    const std::vector<Case> cases = {
        {"weather", 406, false},      {"weather", 500, false},      {"weather", 400, true},
        {"weather", 401, true},       {"weather", 403, true},       {"weather", 999, true},
        {"nearestmetar", 400, true},  {"nearestmetar", 401, true},  {"nearestmetar", 406, false},
        {"nearestmetar", 500, false}, {"nearestmetar", 403, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.endpoint) + " " + std::to_string(c.status));
        stub.clearScripts();
        if (std::string(c.endpoint) == "weather") scriptStatus("nearestmetar", 200);
        scriptStatus(c.endpoint, c.status);
        if (!c.ends)
            scriptStatus("nearestmetar", 402);  // ends the loop on the next cycle with a code that is not 400/401
        if (!c.ends) scriptStatus("weather", 402);
        std::int32_t code = 0;
        EXPECT_FALSE(weatherReader.receive(code));
        EXPECT_EQ(code, c.ends ? c.status : 402);
        if (!c.ends && std::string(c.endpoint) == "weather") {
            EXPECT_TRUE(logHas(fmt::format("{} json weather scripted status {}", c.status, c.status)));
        }
    }
}

TEST_F(Readers, WeatherSurvivesTransferErrorsAndMalformedReplies) {
    scriptStatus("nearestmetar", 200);
    rtstub::ScriptedReply drop;
    drop.dropConnection = true;
    stub.script("weather", drop);
    scriptStatus("nearestmetar", 200);
    scriptBody("weather", "{not json");
    scriptStatus("nearestmetar", 200);
    scriptBody("weather", "");
    scriptStatus("nearestmetar", 400);
    std::int32_t code = 0;
    EXPECT_FALSE(weatherReader.receive(code));
    EXPECT_EQ(code, 400);
    EXPECT_TRUE(logHas("weather code_w: "));
    EXPECT_TRUE(logHas("receive: "));
    EXPECT_TRUE(logHas("Empty content?, no QNH to be found"));
    EXPECT_EQ(weatherReader.weatherOk.load(), 0);
}

TEST_F(Readers, WeatherStopsOnRequest) {
    weatherReader.readerStop = 1;
    std::int32_t code = 0;
    EXPECT_FALSE(weatherReader.receive(code));
    EXPECT_EQ(code, 9999);
    weatherReader.readerStop = 0;
    weatherReader.guid.clear();
    code = 0;
    EXPECT_FALSE(weatherReader.receive(code));
    EXPECT_EQ(code, 0);
}

TEST_F(Readers, BufferedThenLiveTraffic) {
    scriptStatus("traffic", 200, 3);  // buffered, two live answers
    scriptStatus("traffic", 500);     // ends the reader
    std::int32_t code = 0;
    EXPECT_FALSE(trafficReader.receive(code));
    EXPECT_EQ(code, 500);

    const auto requests = stub.requests();
    std::vector<rtstub::ReceivedRequest> traffic;
    for (const auto& r : requests)
        if (r.endpoint == "traffic") traffic.push_back(r);
    ASSERT_EQ(traffic.size(), 4u);
    EXPECT_EQ(traffic[0].form.at("buffercount"), "5");
    EXPECT_EQ(traffic[0].form.at("buffertime"), "6");
    EXPECT_EQ(traffic[1].form.count("buffercount"), 0u);
    EXPECT_EQ(traffic[1].form.at("querytype"), "locationtraffic");
    EXPECT_EQ(traffic[1].form.at("top"), "52.44");
    EXPECT_EQ(traffic[1].form.at("left"), "4.54");

    EXPECT_EQ(trafficReader.bufferedMode.load(), 1);
    EXPECT_EQ(trafficReader.bufferedCallsigns, (std::set<std::string>{"KLM123", "RYR45"}));
    EXPECT_EQ(trafficReader.liveCount.load(), 2);
    EXPECT_TRUE(trafficReader.records.empty()) << "handed over";
    EXPECT_EQ(trafficReader.rrl.load(), 2000);
    EXPECT_DOUBLE_EQ(trafficReader.lastFeedTimestamp.load(), 1700000000.0);
}

TEST_F(Readers, TrafficStatusTable) {
    struct Case {
        int status;
        bool ends;
    };
    for (const auto& c :
         std::vector<Case>{{400, true}, {401, true}, {403, true}, {500, true}, {406, false}, {200, false}}) {
        SCOPED_TRACE(c.status);
        stub.clearScripts();
        scriptStatus("traffic", 200);       // buffered
        scriptStatus("traffic", c.status);  // the case
        scriptStatus("traffic", 402);       // ends the loop when the case did not
        std::int32_t code = 0;
        EXPECT_FALSE(trafficReader.receive(code));
        EXPECT_EQ(code, c.ends ? c.status : 402);
    }
    EXPECT_TRUE(logHas("curl traffic msg scripted status 406"));
}

// A failed buffered request is only logged: the live polling starts all the same.
TEST_F(Readers, BufferedStatusTable) {
    for (int status : {400, 401, 403, 406, 500}) {
        SCOPED_TRACE(status);
        stub.clearScripts();
        trafficReader.bufferedMode = 0;
        scriptStatus("traffic", status);  // buffered
        scriptStatus("traffic", 200);     // live
        scriptStatus("traffic", 402);     // ends the loop
        const auto before = stub.requestCount("traffic");
        std::int32_t code = 0;
        EXPECT_FALSE(trafficReader.receive(code));
        EXPECT_EQ(code, 402);
        EXPECT_EQ(stub.requestCount("traffic") - before, 3u);
        EXPECT_TRUE(logHas(fmt::format("buffer failed {}", status)));
        EXPECT_EQ(trafficReader.bufferedMode.load(), 0) << "no buffered answer, no buffered mode";
        EXPECT_EQ(trafficReader.liveCount.load(), 2) << "the live answer was handed over";
    }
}

TEST_F(Readers, MalformedTrafficRepliesCostOneInterval) {
    scriptStatus("traffic", 200);  // buffered
    scriptBody("traffic", "<html>busy</html>");
    scriptBody("traffic", R"({"rrl":1000})");
    scriptBody("traffic", R"({"status":200,"data":[1,2,3]})");
    scriptBody("traffic", "");
    rtstub::ScriptedReply drop;
    drop.dropConnection = true;
    stub.script("traffic", drop);
    scriptStatus("traffic", 200);  // a good one after all that
    scriptStatus("traffic", 401);
    const auto before = clock.steadyNow();
    std::int32_t code = 0;
    EXPECT_FALSE(trafficReader.receive(code));
    EXPECT_EQ(code, 401);
    EXPECT_EQ(trafficReader.liveCount.load(), 2);
    EXPECT_TRUE(logHas("traffic receive: "));
    EXPECT_TRUE(logHas("traffic receive: empty content"));
    EXPECT_TRUE(logHas("curl traffic code_t: "));
    // Buffered sleep plus six waits of the interval.
    EXPECT_EQ(clock.steadyNow() - before, std::chrono::milliseconds(7 * 2000));
}

TEST_F(Readers, TrafficAnswerShapes) {
    json line = feedtest::aircraftLine();
    json shortLine = line;
    shortLine.erase(shortLine.size() - 1);
    json reply = {{"status", 200}, {"rrl", 1500}, {"data", {{"484a3b", line}, {"4ca123", shortLine}, {"x", 5}}}};
    scriptStatus("traffic", 200);  // buffered
    scriptBody("traffic", reply.dump());
    scriptStatus("traffic", 401);
    std::int32_t code = 0;
    trafficReader.receive(code);
    EXPECT_EQ(trafficReader.liveCount.load(), 1) << "only the 48-element array counts";
    EXPECT_EQ(trafficReader.rrl.load(), 1500);

    stub.clearScripts();
    trafficReader.lastFeedTimestamp = 5.0;
    scriptStatus("traffic", 200);
    scriptBody("traffic", R"({"status":200,"data":null})");
    scriptStatus("traffic", 401);
    trafficReader.receive(code);
    EXPECT_EQ(trafficReader.liveCount.load(), 0);
    EXPECT_DOUBLE_EQ(trafficReader.lastFeedTimestamp.load(), 0.0) << "an empty answer zeroes the time stamp";
}

// A time shift (up to 4 weeks) reaches every reader of the service's answers: the buffered blocks and the live
// answer hand their aircraft to the engine with the shifted time as the feed's time, and the parked aircraft
// are aged on the shifted clock, with the feed's time and, before any, on the clock less the shift.
TEST_F(Readers, TimeShiftedAnswersReachEveryCaller) {
    const double now = 1700000000.0;
    knownAircraftTypes.insert("B738");
    CurrentAirport airport;
    airport.icao = "EHAM";
    airport.latitude = 52.31;
    airport.longitude = 4.76;
    gf_setCurrentAirport(airport);
    json scenario = feedtest::basicScenario();
    scenario["parked"] = json::array({{{"hex", "484a3c"},
                                       {"lat", 52.31},
                                       {"lon", 4.77},
                                       {"stand", "D4"},
                                       {"type", "B738"},
                                       {"registration", "PH-BXB"},
                                       {"callsign", "KLM9"},
                                       {"seenAgoSec", 60}}});
    stub.loadScenario(scenario);
    MAX_FIT.value = 0;  // the current half-hour only
    professionalAccount = true;
    for (const std::int32_t minutes : {0, 90, 1440, 40320}) {
        SCOPED_TRACE(minutes);
        timeShifted = minutes > 0 ? 1 : 0;
        trafficReader.toffset = minutes;
        trafficReader.readerStop = 0;
        gf_clearPendingFeed();
        stub.clearScripts();
        scriptStatus("traffic", 200, 2);  // buffered, live
        scriptStatus("traffic", 402);     // ends the loop
        std::int32_t code = 0;
        EXPECT_FALSE(trafficReader.receive(code));
        EXPECT_EQ(code, 402);
        EXPECT_EQ(trafficReader.liveCount.load(), 2) << "the live answer";
        EXPECT_DOUBLE_EQ(trafficReader.lastFeedTimestamp.load(), now - minutes * 60.0);
        int buffered = 0;
        gf_takeFeedIntake(0, [&](TrafficRecord&) { ++buffered; });
        EXPECT_EQ(buffered, 10) << "two aircraft in each of the five buffered blocks";

        for (const double feedTime : {now - minutes * 60.0, 0.0}) {
            SCOPED_TRACE(feedTime);
            trafficReader.lastFeedTimestamp = feedTime;
            ASSERT_TRUE(gf_readParkedTraffic());
            ASSERT_EQ(trafficReader.parkedRecords.size(), 1u) << "seen a minute ago: age 0";
            EXPECT_EQ(trafficReader.parkedRecords[0].slot, 0);
        }
    }
    professionalAccount = false;
    timeShifted = 0;
    trafficReader.toffset = 0;
    MAX_FIT.value = 47;
    gf_setCurrentAirport(CurrentAirport{});
    gf_resetReferenceDatabase();
}

// An aircraft with an absurd altitude never leaves the feed, on the live and the buffered path alike, while the
// sound aircraft of the same answer reach the engine.
TEST_F(Readers, AbsurdAircraftStayInTheFeedOnEveryPath) {
    json sound = feedtest::aircraftLine();
    json absurd = feedtest::aircraftLine();
    absurd[0] = "4ca123";
    absurd[13] = "RYR45";
    absurd[4] = 1e300;
    absurd[15] = 1e300;
    const json aircraft = {{"484a3b", sound}, {"4ca123", absurd}};
    scriptBody("traffic", json{{"status", 200}, {"data", {{"buffer_4", aircraft}, {"buffer_0", aircraft}}}}.dump());
    scriptBody("traffic", json{{"status", 200}, {"data", aircraft}}.dump());
    scriptStatus("traffic", 402);  // ends the loop
    gf_clearPendingFeed();
    gf_setFeedIntakeOpen(true);
    std::int32_t code = 0;
    EXPECT_FALSE(trafficReader.receive(code));
    EXPECT_EQ(trafficReader.liveCount.load(), 1);
    std::vector<std::uint32_t> reached;
    gf_takeFeedIntake(10, [&](TrafficRecord& r) {
        EXPECT_LT(r.altitudeFt, 1e5);
        reached.push_back(r.address);
    });
    gf_setFeedIntakeOpen(false);
    EXPECT_EQ(reached, (std::vector<std::uint32_t>{0x484a3b, 0x484a3b, 0x484a3b})) << "two buffered blocks, one live";
}

TEST_F(Readers, BufferedSnapshotsAreHandedOverEvenWhenMissing) {
    json line = feedtest::aircraftLine();
    json reply = {
        {"status", 200},
        {"data", {{"buffer_4", {{"484a3b", line}}}, {"buffer_2", nullptr}, {"buffer_0", {{"484a3b", line}}}}}};
    scriptBody("traffic", reply.dump());
    std::int32_t code = 0;
    EXPECT_TRUE(trafficReader.buffer(code));
    EXPECT_EQ(trafficReader.bufferedMode.load(), 1);
    EXPECT_TRUE(trafficReader.records.empty());

    scriptStatus("traffic", 406);
    code = 0;
    EXPECT_FALSE(trafficReader.buffer(code));
    EXPECT_EQ(code, 406);
    EXPECT_TRUE(logHas(" buffer traffic msg scripted status 406"));
}

// A clock that runs like the manual one, remembers the longest single sleep since the stop was raised
// and raises the stop at a given sleep.
class StoppingClock final : public Clock {
public:
    StoppingClock(ManualClock& inner, std::function<void()> stop, int stopAtSleep)
        : inner_(inner), stop_(std::move(stop)), stopAt_(stopAtSleep) {}
    SteadyTime steadyNow() override { return inner_.steadyNow(); }
    UtcTime utcNow() override { return inner_.utcNow(); }
    void sleepUntil(SteadyTime deadline) override {
        note(deadline - inner_.steadyNow());
        inner_.sleepUntil(deadline);
    }
    void sleepFor(std::chrono::nanoseconds d) override {
        note(d);
        inner_.sleepFor(d);
    }
    std::chrono::nanoseconds sleptAfterStop{0};
    bool stopped = false;

private:
    void note(std::chrono::nanoseconds d) {
        if (++sleeps_ == stopAt_) {
            stop_();
            stopped = true;
        }
        if (stopped) sleptAfterStop += d;
    }
    ManualClock& inner_;
    std::function<void()> stop_;
    int stopAt_;
    int sleeps_ = 0;
};

// Every wait of a reader, and the login's, ends within 100 ms of a stop, however long the interval the
// service asked for: closing down never waits on an interval.
TEST_F(Readers, EveryWaitWakesForAStopWithinATenthOfASecond) {
    const json slow = {{"status", 200},
                       {"rrl", 2147483647},
                       {"wrrl", 2147483647},
                       {"GUID", "g"},
                       {"data", {{"QNH", 1023}, {"ICAO", "EHAM"}}}};
    auto raiseReaders = [] {
        trafficReader.readerStop = 1;
        weatherReader.readerStop = 1;
    };
    auto raiseRun = [] { gf_requestStop(EXIT_USER_CLOSED_SIM, 0); };
    struct Case {
        const char* name;
        const char* endpoint;
        std::function<void()> stop;
        std::function<void()> call;
    };
    const std::vector<Case> cases = {
        {"buffered traffic", "traffic", raiseReaders,
         [] {
             std::int32_t code = 0;
             trafficReader.buffer(code);
         }},
        {"live traffic", "traffic", raiseReaders,
         [] {
             std::int32_t code = 0;
             trafficReader.receive(code);
         }},
        {"weather", "weather", raiseReaders,
         [] {
             std::int32_t code = 0;
             weatherReader.receive(code);
         }},
        {"login", "auth", raiseRun,
         [] {
             std::int32_t status = 0;
             lf_authenticate(status);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        stub.clearScripts();
        scriptBody(c.endpoint, slow.dump());
        scriptBody(c.endpoint, slow.dump());
        trafficReader.readerStop = 0;
        weatherReader.readerStop = 0;
        gf_resetRunFlags();
        StoppingClock stopping(clock, c.stop, 3);
        gf_setClock(&stopping);
        c.call();
        gf_setClock(&clock);
        EXPECT_TRUE(stopping.stopped);
        EXPECT_LE(stopping.sleptAfterStop, std::chrono::milliseconds(100));
    }
    gf_resetRunFlags();
    trafficReader.readerStop = 0;
    weatherReader.readerStop = 0;
}

// A reply above the size limit is refused with a log line, and the reader's buffers give their memory
// back; a large reply within the limit leaves no large buffer behind either.
TEST_F(Readers, OversizedReplyIsRefusedAndBuffersShrinkAgain) {
    const json line = feedtest::aircraftLine();
    auto replyWith = [&](int aircraft) {
        std::string body = R"({"status":200,"rrl":2000,"data":{)";
        for (int i = 0; i < aircraft; ++i) {
            json a = line;
            a[0] = fmt::format("{:06x}", 0x400000 + i);
            a[13] = fmt::format("T{}", i);
            body += fmt::format("{}\"{:x}\":{}", i == 0 ? "" : ",", i, a.dump());
        }
        return body + "}}";
    };
    scriptStatus("traffic", 200);  // buffered
    const std::string large = replyWith(1500);
    ASSERT_LT(large.size(), 16u << 20);
    scriptBody("traffic", large);
    std::string huge = R"({"status":200,"data":{"x":")" + std::string(17u << 20, 'a') + R"("}})";
    scriptBody("traffic", huge);
    scriptStatus("traffic", 401);
    std::int32_t code = 0;
    EXPECT_FALSE(trafficReader.receive(code));
    EXPECT_EQ(code, 401);
    EXPECT_TRUE(logHas("Web service reply refused: more than 16 MB"));
    EXPECT_LT(trafficReader.response.capacity(), 1u << 20);
    EXPECT_LT(trafficReader.records.capacity(), 1024u) << logText();
}

TEST_F(Readers, TrafficThreadEndsOnServerFaultAndStopsTheOther) {
    scriptStatus("traffic", 200, 2);
    scriptStatus("traffic", 500);
    gf_trafficReader();  // runs on this thread until the loop ends
    EXPECT_EQ(trafficReader.readerStopped.load(), 1);
    EXPECT_EQ(weatherReader.readerStop.load(), 1);
    EXPECT_EQ(mainWindow.trafficLampState.load(), 3u);
    EXPECT_TRUE(logHas("Traffic Reader connected"));
    EXPECT_TRUE(logHas("===> Traffic RT API error: 500"));
    EXPECT_EQ(exitReason.load(), EXIT_SYSTEM_ERROR) << "a server fault ends the run";
    EXPECT_TRUE(logHas("The Traffic Reader has stopped with an error"));
}

TEST_F(Readers, ThreadMessagesByCode) {
    struct Case {
        int status;
        const char* text;
    };
    for (const auto& c : std::vector<Case>{{401, "re-authentication to RT API is needed, restart Vexa"},
                                           {400, "Weather RT API: parameter fault"},
                                           {403, "Weather RT API: No data for this license type"}}) {
        SCOPED_TRACE(c.status);
        stub.clearScripts();
        weatherReader.readerStopped = 0;
        scriptStatus("nearestmetar", 200);
        scriptStatus("weather", c.status);
        gf_resetRunFlags();
        gf_weatherReader();
        EXPECT_TRUE(logHas(c.text));
        EXPECT_EQ(exitReason.load(), c.status == 401 ? EXIT_READER_ERROR : EXIT_SYSTEM_ERROR);
        EXPECT_EQ(restartDelaySec.load(), c.status == 401 ? 15u : 0u);
        EXPECT_EQ(trafficReader.readerStop.load(), 1);
        trafficReader.readerStop = 0;
    }
}

TEST_F(Readers, QueryBoxAround) {
    const GeoBox box = gf_queryBoxAround(LatLon{50.0, 8.0}, 10.0);
    EXPECT_NEAR(box.top, 50.16655, 1e-5);
    EXPECT_NEAR(box.bottom, 49.83345, 1e-5);
    EXPECT_NEAR(box.right - 8.0, 8.0 - box.left, 1e-9);
    EXPECT_NEAR(box.right - 8.0, 10.0 / 60.0 / std::cos(50.0 * 0.017453292519943295), 2e-3);
}

TEST_F(Readers, QueryBoxFollowsTheUserAircraft) {
    const UserState saved = userState;
    rangeNm = 10.0;
    userState.latitude = 0.0005;
    userState.longitude = 0.01;
    gf_setQueryBox(LatLon{userState.latitude, userState.longitude});
    EXPECT_DOUBLE_EQ(trafficReader.liveBoxCopy().top, 52.44) << "an unset position changes nothing";

    userState.latitude = 50.0;
    userState.longitude = 8.0;
    gf_setQueryBox(LatLon{userState.latitude, userState.longitude});
    EXPECT_NEAR(trafficReader.liveBoxCopy().top, 50.16655, 1e-5);
    EXPECT_DOUBLE_EQ(trafficReader.lastRange, 10.0);

    userState.latitude = 50.0001;  // less than 0.00015 degrees: the box stays
    gf_setQueryBox(LatLon{userState.latitude, userState.longitude});
    EXPECT_NEAR(trafficReader.liveBoxCopy().top, 50.16655, 1e-5);
    rangeNm = 20.0;  // a new range recomputes it
    gf_setQueryBox(LatLon{userState.latitude, userState.longitude});
    EXPECT_NEAR(trafficReader.liveBoxCopy().top, 50.0001 + 0.3331, 1e-4);
    userState = saved;
    rangeNm = 40.0;
}

TEST_F(Readers, StatusLightsFollowTheData) {
    mainWindow.feedLoggedIn = true;
    weatherReader.weatherOk = 1;
    trafficReader.liveCount = 3;
    gf_setStatusLights();
    EXPECT_EQ(mainWindow.weatherLampState.load(), 1u);
    EXPECT_EQ(mainWindow.trafficLampState.load(), 1u);
    weatherReader.weatherOk = 0;
    trafficReader.liveCount = 0;
    gf_setStatusLights();
    EXPECT_EQ(mainWindow.weatherLampState.load(), 2u);
    EXPECT_EQ(mainWindow.trafficLampState.load(), 2u);
    mainWindow.feedLoggedIn = false;
    weatherReader.weatherOk = 1;
    gf_setStatusLights();
    EXPECT_EQ(mainWindow.weatherLampState.load(), 2u) << "nothing changes while logged out";
}

// Both reader threads against the stand-in, then closing down as the run does it.
class ReadersThreads : public Readers {};

TEST_F(ReadersThreads, EndToEnd) {
    gf_setFeedIntakeOpen(true);
    gf_startWeatherReaderThread();
    gf_startTrafficReaderThread();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while ((stub.requestCount("traffic") < 4 || stub.requestCount("weather") < 2 || mainWindow.qnh.load() == 0) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    weatherReader.readerStop = 1;
    trafficReader.readerStop = 1;
    while ((weatherReader.readerStopped.load() == 0 || trafficReader.readerStopped.load() == 0) &&
           std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(weatherReader.readerStopped.load(), 1);
    ASSERT_EQ(trafficReader.readerStopped.load(), 1);
    gf_setFeedIntakeOpen(false);

    EXPECT_EQ(qnhHpa.load(), 1023);
    EXPECT_EQ(weatherReader.metarIcao, "EHAM");
    EXPECT_EQ(trafficReader.liveCount.load(), 2);
    EXPECT_GE(stub.requestCount("nearestmetar"), 2u);

    gf_deauthenticate(trafficReader);
    EXPECT_TRUE(logHas("Logged out from RT server"));
    EXPECT_EQ(stub.requestCount("deauth"), 1u);
}

// The run thread changes what the traffic reader reads (blocked callsign, park airport, own
// position, query box, buffered history) while the reader parses.
TEST_F(ReadersThreads, SharedInputsChangeWhileTheReaderParses) {
    gf_startTrafficReaderThread();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    for (int i = 0; stub.requestCount("traffic") < 30 && std::chrono::steady_clock::now() < until; ++i) {
        BLOCK_CALLSIGN.set(i % 2 == 0 ? "KLM123" : "RYR45");
        CurrentAirport airport;
        airport.icao = i % 3 == 0 ? "" : "EHAM";
        airport.latitude = 52.31;
        airport.longitude = 4.76;
        gf_setCurrentAirport(airport);
        trafficReader.setOwnPosition(LatLon{52.3 + (i % 5) * 0.001, 4.76}, 2000.0);
        trafficReader.setLiveBox(gf_queryBoxAround(LatLon{52.3, 4.76}, 20.0 + i % 3));
        trafficReader.bufferedMode = 1;
        gf_takeBufferedHistory();
        (void)gf_blockedCallsignSeen();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    trafficReader.readerStop = 1;
    while (trafficReader.readerStopped.load() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(trafficReader.readerStopped.load(), 1);
    EXPECT_GE(stub.requestCount("traffic"), 30u);
    gf_setCurrentAirport(CurrentAirport{});
    BLOCK_CALLSIGN.set("");
}

// Closing down does not wait for a service that hangs: the transfer ends with the stop flag.
TEST_F(ReadersThreads, StopAbortsAHangingRequest) {
    scriptStatus("traffic", 200);  // buffered
    rtstub::ScriptedReply hang;
    hang.delayMs = 120000;
    stub.script("traffic", hang);
    gf_startTrafficReaderThread();
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (stub.requestCount("traffic") < 2 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    trafficReader.readerStop = 1;
    while (trafficReader.readerStopped.load() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_EQ(trafficReader.readerStopped.load(), 1) << "the reader still waits for the service";
    EXPECT_FALSE(logHas("curl traffic code_t")) << "an abort on request is no error";
}

// A reader counts as stopped only after its last action. Closing down waits for the stopped flag and a restart
// then clears the stop flags for the new run: a reader that ended on an error code at that moment must already
// have stopped the other reader and reported its end, never the new run's reader or the new run.
TEST_F(ReadersThreads, AStoppedReaderTouchesNothingAfterwards) {
    for (int round = 0; round < 10; ++round) {
        SCOPED_TRACE(round);
        stub.clearScripts();
        scriptStatus("traffic", 200);  // buffered
        scriptStatus("traffic", 500);  // ends the reader with an error
        gf_resetRunFlags();
        weatherReader.readerStop = 0;
        trafficReader.readerStop = 0;
        trafficReader.readerStopped = 0;
        std::thread reader(gf_trafficReader);
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (trafficReader.readerStopped.load() == 0 && std::chrono::steady_clock::now() < until)
            std::this_thread::yield();
        const bool reported = stopRequested.load() != 0 && weatherReader.readerStop.load() != 0;
        // The restart: the new run's flags.
        gf_resetRunFlags();
        weatherReader.readerStop = 0;
        reader.join();
        EXPECT_TRUE(reported) << "stopped before its end was reported";
        EXPECT_EQ(weatherReader.readerStop.load(), 0) << "the old reader stopped the new run's reader";
        EXPECT_EQ(stopRequested.load(), 0) << "the old reader ended the new run";
    }
}
