#include <gtest/gtest.h>

#include <fmt/format.h>

#include "feed/credential.h"
#include "feed/web_api.h"
#include "shell/display.h"
#include "tests/feed/feed_fixture.h"

using nlohmann::json;

namespace {

class WebApi : public feedtest::FeedTest {
protected:
    void scriptBody(const std::string& endpoint, const json& body) {
        rtstub::ScriptedReply r;
        r.body = body.dump();
        stub.script(endpoint, r);
    }
    void scriptStatus(const std::string& endpoint, int status) {
        rtstub::ScriptedReply r;
        r.status = status;
        stub.script(endpoint, r);
    }
};

}  // namespace

TEST_F(WebApi, LoginFillsTheSessionAndTheWindow) {
    login();
    EXPECT_FALSE(weatherReader.guid.empty());
    EXPECT_EQ(trafficReader.guid, weatherReader.guid);
    EXPECT_EQ(weatherReader.wrrl.load(), 3000);
    EXPECT_TRUE(professionalAccount.load());
    EXPECT_TRUE(mainWindow.feedLoggedIn.load());
    EXPECT_EQ(mainWindow.feedText.get(), "RT professional license, 30 days left");
    EXPECT_TRUE(logHas("Authenticated at RT server \"rtstub\""));
    EXPECT_EQ(LAST_EPOCH_TIME.value.load(), 1700000000);
    const auto requests = stub.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].form.at("license"), "LIC-12345678");
    EXPECT_EQ(requests[0].form.at("software"), "Vexa_10.10.10");
    EXPECT_NE(requests[0].acceptEncoding.find("gzip"), std::string::npos);
    EXPECT_FALSE(logHas("LIC-12345678")) << "the credential never reaches the log";
}

TEST_F(WebApi, FormValuesAreUrlEncoded) {
    EXPECT_EQ(gf_formEncode("a b&c=d+e/é"), "a+b%26c%3Dd%2Be%2F%C3%A9");
    stub.loadScenario({{"licenses", json::array({{{"license", "a b&c=d+e"}}})}});
    rtCredential = "a b&c=d+e";
    std::int32_t status = 0;
    EXPECT_TRUE(lf_authenticate(status));
    EXPECT_EQ(stub.requests().at(0).form.at("license"), "a b&c=d+e");
}

TEST_F(WebApi, LoginReplyTable) {
    struct Case {
        const char* name;
        json reply;
        const char* feedText;
        bool warning;
        std::int32_t wrrl;
        const char* guid;
    };
    const double now = 1700000000.0;
    const std::vector<Case> cases = {
        {"no GUID",
         {{"status", 200}, {"expiry", now + 10 * 86400}},
         "RT standard license, 10 days left",
         false,
         2000,
         "empty GUID?"},
        {"2.5 days",
         {{"status", 200}, {"GUID", "g"}, {"expiry", now + 2.5 * 86400}, {"wrrl", 500}},
         "RT standard license, 2 days left",
         true,
         500,
         "g"},
        {"3.5 days",
         {{"status", 200}, {"GUID", "g"}, {"type", 2}, {"expiry", now + 3.5 * 86400}},
         "RT professional license, 3 days left",
         false,
         2000,
         "g"},
        {"expired yesterday",
         {{"status", 200}, {"GUID", "g"}, {"expiry", now - 86400 - 10}},
         "RT standard license, -1 day left",
         true,
         2000,
         "g"},
        {"one day",
         {{"status", 200}, {"GUID", "g"}, {"expiry", now + 86400 + 10}},
         "RT standard license, 1 day left",
         true,
         2000,
         "g"},
    };
    rtCredential = "LIC-12345678";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gf_clearStatus();
        clock.setUnixTime(1700000000);
        scriptBody("auth", c.reply);
        std::int32_t status = 0;
        EXPECT_TRUE(lf_authenticate(status));
        EXPECT_EQ(weatherReader.guid, c.guid);
        EXPECT_EQ(mainWindow.feedText.get(), c.feedText);
        EXPECT_EQ(weatherReader.wrrl.load(), c.wrrl);
        EXPECT_EQ(gf_statusSnapshot().statusText == "Warning: Your RT license will expire soon", c.warning);
    }
}

TEST_F(WebApi, LoginSucceedsOnlyOnStatus200) {
    rtCredential = "LIC-12345678";
    for (int s : {400, 401, 402, 403, 404, 405, 406, 500, 201}) {
        SCOPED_TRACE(s);
        scriptStatus("auth", s);
        std::int32_t status = 0;
        EXPECT_FALSE(lf_authenticate(status));
        EXPECT_EQ(status, s);
        EXPECT_TRUE(weatherReader.guid.empty());
    }
    // A reply without a status, a malformed reply and a dropped connection are failures too.
    scriptBody("auth", {{"GUID", "g"}});
    std::int32_t status = 0;
    EXPECT_FALSE(lf_authenticate(status));
    EXPECT_EQ(status, 100);
    rtstub::ScriptedReply garbage;
    garbage.body = "<html>";
    stub.script("auth", garbage);
    status = 0;
    EXPECT_FALSE(lf_authenticate(status));
    EXPECT_TRUE(logHas("authenticate: "));
    rtstub::ScriptedReply drop;
    drop.dropConnection = true;
    stub.script("auth", drop);
    status = 0;
    EXPECT_FALSE(lf_authenticate(status));
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(logHas("Authentication code: "));
    EXPECT_TRUE(weatherReader.guid.empty());
}

TEST_F(WebApi, AuthenticaterTurnsStatusesIntoErrors) {
    rtCredential = "LIC-12345678";
    struct Case {
        int status;
        const char* text;  // user error text, or runtime error text
        bool userError;
    };
    const std::vector<Case> errors = {
        {402, "402: Your RT license is expired", true},
        {404, "404: RT did not recognize your license", true},
        {405, "405: More than one RealTraffic session is not possible, do not run the RealTraffic app", true},
        {500, "No RT database connection", false},
    };
    for (const auto& c : errors) {
        SCOPED_TRACE(c.status);
        scriptStatus("auth", c.status);
        const auto before = clock.steadyNow();
        try {
            gf_authenticater();
            ADD_FAILURE() << "no exception";
        } catch (const ovk::UserErrorException& e) {
            EXPECT_TRUE(c.userError);
            EXPECT_EQ(std::string(e.what()), c.text);
            EXPECT_GE(clock.steadyNow() - before, std::chrono::seconds(10)) << "the message stays 10 s";
        } catch (const std::runtime_error& e) {
            EXPECT_FALSE(c.userError);
            EXPECT_EQ(std::string(e.what()), c.text);
        }
    }

    scriptStatus("auth", 400);
    trafficReader.guid = "old";
    EXPECT_EQ(stopRequested.load(), 0);
    EXPECT_NO_THROW(gf_authenticater()) << "a reader error ends the run without an exception";
    EXPECT_TRUE(trafficReader.guid.empty()) << "the empty session is copied";
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_READER_ERROR);
    EXPECT_EQ(restartDelaySec.load(), 15u);
    EXPECT_TRUE(logHas("The Authenticater has stopped with an error"));
}

TEST_F(WebApi, LogoutAndItsFailure) {
    login();
    mainWindow.feedLoggedIn = true;
    clock.setUnixTime(1700000100);
    gf_deauthenticate(trafficReader);
    EXPECT_FALSE(mainWindow.feedLoggedIn.load());
    EXPECT_TRUE(logHas("Logged out from RT server \"rtstub\""));
    EXPECT_EQ(LAST_EPOCH_TIME.value.load(), 1700000100) << "stored at logout too";
    EXPECT_EQ(stub.requests().back().form.at("GUID"), trafficReader.guid);

    gf_deauthenticate(trafficReader);  // the session is gone: 401
    EXPECT_TRUE(logHas("Deauthentication failed, status: 401"));
}

TEST_F(WebApi, NearestMetarStatusTable) {
    std::int32_t status = 0;
    EXPECT_FALSE(lf_getNearestMetar(status)) << "no session";
    EXPECT_EQ(stub.requestCount("nearestmetar"), 0u);

    login();
    EXPECT_TRUE(lf_getNearestMetar(status));
    EXPECT_EQ(weatherReader.metarIcao, "EHAM");
    EXPECT_EQ(weatherReader.weatherOk.load(), 1);
    const auto form = stub.requests().back().form;
    EXPECT_EQ(form.at("lat"), "52.3000");
    EXPECT_EQ(form.at("lon"), "4.7600");
    EXPECT_EQ(form.at("toffset"), "0");

    scriptBody("nearestmetar", {{"status", 200}, {"data", nullptr}});
    EXPECT_FALSE(lf_getNearestMetar(status));
    EXPECT_TRUE(weatherReader.metarIcao.empty());

    for (int s : {406, 500, 400, 401}) {
        SCOPED_TRACE(s);
        status = 0;
        scriptStatus("nearestmetar", s);
        EXPECT_FALSE(lf_getNearestMetar(status));
        EXPECT_EQ(status, s);
    }
    EXPECT_TRUE(logHas("406 json nearestmetar scripted status 406"));
    EXPECT_TRUE(logHas("500 json nearestmetar scripted status 500"));

    const auto before = clock.steadyNow();
    scriptBody("nearestmetar", json::array());
    status = 0;
    EXPECT_FALSE(lf_getNearestMetar(status));
    EXPECT_EQ(clock.steadyNow() - before, std::chrono::milliseconds(3000)) << "waits wrrl also after a failure";
}

TEST_F(WebApi, WaitMsHalvesAndHonoursTheStopFlag) {
    auto before = clock.steadyNow();
    lf_waitMs(trafficReader, 2001);
    EXPECT_EQ(clock.steadyNow() - before, std::chrono::milliseconds(2000));
    trafficReader.readerStop = 1;
    before = clock.steadyNow();
    lf_waitMs(trafficReader, 2000);
    EXPECT_EQ(clock.steadyNow() - before, std::chrono::milliseconds(0));
}

TEST_F(WebApi, BaseAddressOverride) {
    ::setenv("VEXA_API_URL", "http://127.0.0.1:1234", 1);
    EXPECT_EQ(gf_apiBaseUrl(), "http://127.0.0.1:1234/v4/");
    ::setenv("VEXA_API_URL", "http://127.0.0.1:1234/v4/", 1);
    EXPECT_EQ(gf_apiBaseUrl(), "http://127.0.0.1:1234/v4/");
    ::unsetenv("VEXA_API_URL");
    EXPECT_EQ(gf_apiBaseUrl().substr(0, 8), "https://");
    EXPECT_EQ(gf_apiBaseUrl().substr(gf_apiBaseUrl().size() - 4), "/v4/");
}

TEST_F(WebApi, ReplyKeyDefaults) {
    const json reply = {{"status", "200"}, {"rrl", 1500.7}, {"server", 5}};
    EXPECT_EQ(gf_replyNumber(reply, "status", 100), 100);
    EXPECT_EQ(gf_replyNumber(reply, "rrl", 2000), 1500);
    EXPECT_EQ(gf_replyNumber(reply, "wrrl", 2000), 2000);
    EXPECT_EQ(gf_replyString(reply, "server"), "?");
    EXPECT_EQ(gf_replyString(reply, "message"), "");
    EXPECT_EQ(gf_replyNumber(json::array(), "status", 100), 100);

    // Numbers beyond 32 bits read as absent (no wrapped success); intervals are held within 0.5 .. 60 s.
    struct Case {
        json value;
        std::int32_t status;
        std::int32_t interval;
    };
    for (const auto& c : std::vector<Case>{{200, 200, 500},
                                           {4294967496LL, 100, 2000},
                                           {-4294967096LL, 100, 2000},
                                           {-5, -5, 500},
                                           {1e12, 100, 2000}}) {
        SCOPED_TRACE(c.value.dump());
        EXPECT_EQ(gf_replyStatus({{"status", c.value}}), c.status);
        EXPECT_EQ(gf_replyInterval({{"rrl", c.value}}, "rrl"), c.interval);
    }
}

// An interval from a reply is held between half a second (no flood of requests) and a minute (closing
// down and the next request never wait longer); a value outside is logged.
TEST_F(WebApi, IntervalsAreClampedWithALogLine) {
    struct Case {
        json value;
        std::int32_t interval;
        bool logged;
    };
    for (const auto& c : std::vector<Case>{{0, 500, true},
                                           {499, 500, true},
                                           {500, 500, false},
                                           {2000, 2000, false},
                                           {60000, 60000, false},
                                           {60001, 60000, true},
                                           {2147483647, 60000, true},
                                           {"fast", 2000, false}}) {
        SCOPED_TRACE(c.value.dump());
        const auto before = logText().size();
        EXPECT_EQ(gf_replyInterval({{"wrrl", c.value}}, "wrrl"), c.interval);
        const std::string added = logText().substr(before);
        EXPECT_EQ(added.find(fmt::format("wrrl {} ms of the reply is outside 500..60000 ms, {} ms used", c.value.dump(),
                                         c.interval)) != std::string::npos,
                  c.logged)
            << added;
    }
}

TEST_F(WebApi, ResetReaderClearsTheSession) {
    login();
    weatherReader.currentLine = json::array({1, 2});
    weatherReader.toffset = 60;
    weatherReader.readerStop = 1;
    weatherReader.readerStopped = 1;
    gf_resetReader(weatherReader);
    EXPECT_TRUE(weatherReader.guid.empty());
    EXPECT_TRUE(weatherReader.currentLine.empty());
    EXPECT_EQ(weatherReader.toffset, 0);
    EXPECT_EQ(weatherReader.readerStop.load(), 0);
    EXPECT_EQ(weatherReader.readerStopped.load(), 0);
}

TEST(WebApiWriter, AppendsAndRefusesAMissingResponse) {
    std::string response = "ab";
    char data[] = "cdef";
    EXPECT_EQ(lf_callbackwriter(data, 2, 2, &response), 4u);
    EXPECT_EQ(response, "abcdef");
    EXPECT_EQ(lf_callbackwriter(data, 1, 4, nullptr), 0u);
}
