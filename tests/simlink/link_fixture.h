#pragma once
// A simulator link connected to a stand-in simulator with a manual clock, driven step by step on
// the test's thread (open, then one dispatch per step), as the client thread would do it.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/window_proc.h"
#include "catalogue/reference_db.h"
#include "engine/notices.h"
#include "foundation/feed_time.h"
#include "foundation/settings.h"
#include "platform/sim/stand_in.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "simlink/commands.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"
#include "tests/foundation/foundation_test_support.h"

inline constexpr const char* kTitleA320 = "Airbus A320neo KLM";
inline constexpr const char* kTitleHeli = "EC135 Police";

inline vsim::StandInConfig linkStandInConfig() {
    vsim::StandInConfig c;
    c.applicationName = "KittyHawk";
    c.frameRate = 20;  // a frame every 50 ms
    c.framesToAdd = 2;
    c.fieldElevationFt = 0;
    c.titles = {{kTitleA320, 9.0, 0.01, false}, {kTitleHeli, 4.0, 0.0, true}};
    c.user.title = "Asobo Cessna 172";
    c.user.atcModel = "C172";
    c.user.path = {vsim::UserWaypoint{0, 52.3, 4.76, 5, -1, 90, 0}};
    return c;
}

inline void resetLinkWorld() {
    gf_resetSimLink();
    stopRequested = 0;
    userClosed = 0;
    exitReason = EXIT_NOT_YET_SET;
    restartDelaySec = 0;
    secondTick = 0;
    userOnGround = 0;
    userOnGroundValid = 0;
    userModelKnown = 0;
    previousPosition = {};
    professionalAccount = false;
    simNotYetOpened = 1;
    mainWindow.resetRunFields();
    mainWindow.simConnected = false;
    mainWindow.userModelKnown = true;
    gf_drainEngineInbox();
}

class LinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        resetLinkWorld();
        MSFS_2020.value = true;
        sim = vsim::StandIn::install(config());
    }
    void TearDown() override {
        lf_endSimClient();
        vsim::StandIn::uninstall();
        resetLinkWorld();
        gf_resetReferenceDatabase();
        MSFS_2020.value = true;
    }
    virtual vsim::StandInConfig config() { return linkStandInConfig(); }

    // Opens the connection and handles the first answers (OPEN, the "Sim" event).
    void connect() {
        ASSERT_TRUE(lf_openSimConnect());
        ASSERT_TRUE(pump());
    }
    // Lets the simulator run `ms`, then dispatches once as the client thread does, with its
    // exception handlers and end sequence. False when the client ended.
    bool pump(int ms = 0) {
        if (ms) sim->advance(std::chrono::milliseconds(ms));
        try {
            lf_dispatchOnce();
            return true;
        } catch (...) {
            lf_onSimClientException(std::current_exception());
            lf_endSimClient();
            return false;
        }
    }
    // Engine side: the objects request (101) under the command area.
    void scan() {
        std::lock_guard lock(simQueueMutex);
        ASSERT_EQ(vsim::requestDataOnSimObjectType(gf_simHandle(), vsim::kReqAircraftInRange, vsim::kDefGround, 20000,
                                                   vsim::SimObjectType::Aircraft),
                  vsim::kOk);
    }
    // Engine side: learns the user's object id from a state answer.
    void learnUser() {
        gf_requestUserPosition();
        ASSERT_TRUE(pump());
        ASSERT_EQ(userObjectId.load(), sim->userObjectId());
    }
    std::vector<SimNotice> takeNotices() {
        auto n = gf_pendingEngineNotices();
        gf_drainEngineInbox();
        return n;
    }
    void queueCreate(const std::string& callsign, const std::string& title, std::uint32_t hexid, bool onGround = true,
                     double lat = 52.301, double lon = 4.761, double altFt = 0) {
        titles.push_back(std::make_unique<std::string>(title));
        SimConnectCreateRequest r;
        r.initPosition = vsim::InitPosition{lat, lon, altFt, 0, 0, 90, onGround ? 1u : 0u, 0};
        r.callsign = callsign;
        r.title = *titles.back();
        r.hexid = hexid;
        r.requestId = ++lastRequest;
        gf_queueCreateRequest(std::move(r));
    }
    // Create, flush, add and recognise one object; returns its notice.
    SimNotice createAndRecognise(const std::string& callsign, std::uint32_t hexid) {
        queueCreate(callsign, kTitleA320, hexid);
        EXPECT_TRUE(pump(50));   // the frame flush sends the creation
        EXPECT_TRUE(pump(100));  // two frames later the object is added
        scan();
        EXPECT_TRUE(pump());
        auto n = takeNotices();
        EXPECT_EQ(n.size(), 1u);
        return n.empty() ? SimNotice{} : n.front();
    }
    std::size_t countCalls(const std::string& prefix) const {
        std::size_t n = 0;
        for (const auto& l : sim->callLog())
            if (l.rfind(prefix, 0) == 0) ++n;
        return n;
    }

    std::shared_ptr<vsim::StandIn> sim;
    std::vector<std::unique_ptr<std::string>> titles;  // the livery database's titles
    std::uint32_t lastRequest = 1000;                  // request id of the last creation queued
};
