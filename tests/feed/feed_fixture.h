#pragma once
// Shared fixture of the feed tests: a temporary program folder and AppData, the log there, a
// manual clock (no real waits) and the web-service stand-in on a free loopback port.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "airports/apf_reader.h"
#include "app/main_window.h"
#include "app/window_proc.h"
#include "feed/credential.h"
#include "feed/readers.h"
#include "feed/web_api.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "shell/display.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "tests/common/sandbox.h"
#include "tools/rtstub/rt_stub.h"

namespace feedtest {

// A valid airborne ADS-B aircraft near 52.3, 4.76 as the service sends it.
inline nlohmann::json aircraftLine() {
    nlohmann::json a = nlohmann::json::array();
    for (int i = 0; i < 48; ++i) a.push_back(nullptr);
    a[0] = "484a3b";
    a[1] = 52.3;
    a[2] = 4.76;
    a[3] = 90.0;
    a[4] = 3000;
    a[5] = 250.0;
    a[8] = "B738";
    a[9] = "PH-BXA";
    a[10] = 1700000000.5;
    a[11] = "EHAM";
    a[12] = "EGLL";
    a[13] = "KLM123";
    a[15] = -500;
    a[17] = "adsb_icao";
    a[18] = 3100;
    a[20] = 210;
    a[23] = 5.0;
    a[25] = 92.0;
    a[28] = "A3";
    return a;
}

// One track for the stand-in that sits still at a position for an hour.
inline nlohmann::json steadyTrack(const std::string& hex, const std::string& callsign, double lat, double lon,
                                  double alt = 3000, double gs = 250) {
    return {{"hex", hex},
            {"callsign", callsign},
            {"type", "B738"},
            {"registration", "PH-" + hex.substr(0, 3)},
            {"origin", "EHAM"},
            {"destination", "EGLL"},
            {"category", "A3"},
            {"points", nlohmann::json::array(
                           {{{"t", 0}, {"lat", lat}, {"lon", lon}, {"alt", alt}, {"gs", gs}, {"track", 90}},
                            {{"t", 3600}, {"lat", lat}, {"lon", lon}, {"alt", alt}, {"gs", gs}, {"track", 90}}})}};
}

inline nlohmann::json basicScenario() {
    return {{"licenses", nlohmann::json::array({{{"license", "LIC-12345678"}, {"type", 2}, {"expiryDays", 30}}})},
            {"rrl", 2000},
            {"wrrl", 3000},
            {"stations", nlohmann::json::array({{{"icao", "EHAM"}, {"lat", 52.31}, {"lon", 4.76}, {"qnh", 1023}},
                                                {{"icao", "EGLL"}, {"lat", 51.47}, {"lon", -0.45}, {"qnh", 1001}}})},
            {"tracks", nlohmann::json::array({steadyTrack("484a3b", "KLM123", 52.35, 4.80),
                                              steadyTrack("4ca123", "RYR45", 52.20, 4.60, 12000, 300)})}};
}

class FeedTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox.emplace(Sandbox::Options{.openLog = false, .resetSettings = false});
        folder = sandbox->program();
        gf_setClock(&clock);
        gf_resetRunFlags();
        sandbox->openLog();
        gf_resetFeed();
        gf_leaveApf();  // no park airport: the field elevation is unknown
        mainWindow.resetRunFields();
        gf_clearHeldError();
        BLOCK_CALLSIGN.set("");
        rangeNm = 40.0;
        trafficReader.setOwnPosition(LatLon{52.3, 4.76}, 2500.0);
        stub.loadScenario(basicScenario());
        stub.setUnixTime(1700000000.0);
        stub.setPlayTime(600.0);
        stub.start();
        sandbox->setEnv("VEXA_API_URL", stub.baseUrl());
    }

    void TearDown() override {
        stub.stop();
        gf_closeLog();
        gf_setClock(nullptr);
        gf_resetFeed();
        gf_leaveApf();
        gf_resetRunFlags();
        sandbox.reset();
    }

    std::string logText() const {
        std::ifstream in(folder / "Log.txt");
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    bool logHas(const std::string& text) const { return logText().find(text) != std::string::npos; }

    // Logs in through the stand-in with its licence (the weather reader's session).
    void login() {
        rtCredential = "LIC-12345678";
        std::int32_t status = 0;
        ASSERT_TRUE(lf_authenticate(status));
        trafficReader.guid = weatherReader.guid;
    }

    ManualClock clock{1700000000};
    rtstub::Server stub;
    std::filesystem::path folder;
    std::optional<Sandbox> sandbox;
};

}  // namespace feedtest
