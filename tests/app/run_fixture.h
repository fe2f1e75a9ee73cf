#pragma once
// A run with every neighbouring subsystem played by a recorder: the services table records each call by
// name, a manual clock runs every wait without real time, settings and log live in a temporary folder.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/main_loop.h"
#include "app/run_life_cycle.h"
#include "app/run_services.h"
#include "app/window_proc.h"
#include "foundation/clock.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "shell/command_flags.h"
#include "shell/run_flags.h"
#include "tests/common/sandbox.h"

struct CallRecorder {
    std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<std::string> statusTexts;
    std::vector<unsigned> posted;

    void add(std::string name) {
        std::lock_guard lock(mutex);
        calls.push_back(std::move(name));
    }
    int count(const std::string& name) {
        std::lock_guard lock(mutex);
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }
    bool has(const std::string& name) { return count(name) > 0; }
    // Index of the first call of that name, or -1.
    int indexOf(const std::string& name) {
        std::lock_guard lock(mutex);
        auto it = std::find(calls.begin(), calls.end(), name);
        return it == calls.end() ? -1 : static_cast<int>(it - calls.begin());
    }
    void clear() {
        std::lock_guard lock(mutex);
        calls.clear();
        statusTexts.clear();
        posted.clear();
    }
};

// Every service records its name; the feed is logged in, readers stop at once, a flight is loaded.
inline RunServices recordingServices(CallRecorder& r) {
    RunServices s;
    auto rec = [&r](const char* name) { return [&r, name] { r.add(name); }; };
    s.showStatus = [&r](const std::string& text, bool) {
        std::lock_guard lock(r.mutex);
        r.statusTexts.push_back(text);
    };
    s.showError = [&r](const std::string& text) { r.add("showError:" + text); };
    s.clearHeldError = rec("clearHeldError");
    s.postToWindow = [&r](unsigned m) {
        std::lock_guard lock(r.mutex);
        r.posted.push_back(m);
    };
    s.windowExists = [] { return true; };
    s.clearRunIndicators = rec("clearRunIndicators");
    s.clearFeedLampOff = rec("clearFeedLampOff");
    s.setLampsStarting = rec("setLampsStarting");
    s.resetWindowState = rec("resetWindowState");
    s.enableObjectIdField = rec("enableObjectIdField");
    s.enableRereadControls = rec("enableRereadControls");
    s.enableTimeShiftControls = [&r](bool on) {
        r.add(on ? "enableTimeShiftControls:1" : "enableTimeShiftControls:0");
    };
    s.setCheck = [](int, bool) {};
    s.disableParkingControls = rec("disableParkingControls");
    s.releaseParkingControls = rec("releaseParkingControls");
    s.showMinutesToRenewal = [&r](std::uint32_t m) { r.add("showMinutesToRenewal:" + std::to_string(m)); };
    s.statusSecondStep = rec("statusSecondStep");
    s.autoRange = rec("autoRange");
    s.setTimeShift = [&r](std::int32_t m, bool) { r.add("setTimeShift:" + std::to_string(m)); };

    s.resetSimConnectQueues = rec("resetSimConnectQueues");
    s.simConnectThreadBody = [](std::stop_token) {};
    s.requestUserOnGroundData = [] { return true; };
    s.userDataDelivered = [] { return true; };
    s.requestUserPosition = rec("requestUserPosition");
    s.requestUserTitleAndModel = rec("requestUserTitleAndModel");
    s.userPosition = [] { return UserPosition{52.3, 4.76}; };
    s.clearPositionBuffers = rec("clearPositionBuffers");
    s.simUtcSeconds = [] { return std::int64_t{0}; };
    s.resetSimLink = rec("resetSimLink");
    s.simLinkClosedReason = [] { return std::string("the link to it is closed"); };

    s.setQueryBox = rec("setQueryBox");
    s.authenticate = rec("authenticate");
    s.loggedIn = [] { return true; };
    s.professionalAccount = [] { return false; };
    s.startReader = [&r](FeedReader f) { r.add(f == FeedReader::weather ? "startWeather" : "startTraffic"); };
    s.stopReader = [&r](FeedReader f) { r.add(f == FeedReader::weather ? "stopWeather" : "stopTraffic"); };
    s.readerStopped = [](FeedReader) { return true; };
    s.readerIntervalMs = [] { return std::int64_t{2000}; };
    s.resetReader = [&r](FeedReader f) { r.add(f == FeedReader::weather ? "resetWeather" : "resetTraffic"); };
    s.deauthenticate = rec("deauthenticate");
    s.weatherReady = [] { return std::int32_t{1013}; };
    s.setOwnPosition = [&r](UserPosition) { r.add("setOwnPosition"); };
    s.trafficDataTime = [] { return 1700000000.0; };
    s.setStatusLights = rec("setStatusLights");
    s.setBufferedMode = rec("setBufferedMode");
    s.resetFeedSession = rec("resetFeedSession");

    s.setupSessionContainers = rec("setupSessionContainers");
    s.cleanupSessionContainers = rec("cleanupSessionContainers");
    s.setFeedIntake = [&r](bool open) { r.add(open ? "feedIntake:1" : "feedIntake:0"); };
    s.engineTick = rec("engineTick");
    s.drainEngineInbox = rec("drainEngineInbox");
    s.removeFlightPlanFolder = rec("removeFlightPlanFolder");
    s.clearGhostCallsigns = rec("clearGhostCallsigns");
    s.recountLive = rec("recountLive");
    s.removeStaticTwinsOfLive = rec("removeStaticTwinsOfLive");
    s.writeCallsignObjectIds = rec("writeCallsignObjectIds");
    s.reservedStandSet = [] { return false; };
    s.clearReservedStand = rec("clearReservedStand");
    s.coupledCallsignCheck = rec("coupledCallsignCheck");
    s.showCallsignObjectId = rec("showCallsignObjectId");
    s.flushStaticAircraft = rec("flushStaticAircraft");
    s.userCollisions = rec("userCollisions");
    s.liveParkedCollisions = rec("liveParkedCollisions");
    s.blockCallsign = rec("blockCallsign");
    s.removeAllLiveAircraft = rec("removeAllLiveAircraft");
    s.closingRemovalStep = [](std::uint32_t) { return ClosingRemoval{}; };
    s.dropAircraftOfClosedLink = [&r] {
        r.add("dropAircraftOfClosedLink");
        return std::size_t{0};
    };

    s.reserveLiveryContainers = rec("reserveLiveryContainers");
    s.clearRunMatchKeys = rec("clearRunMatchKeys");
    s.clearUnmatchedKeys = rec("clearUnmatchedKeys");
    s.writeMatchingSummary = rec("writeMatchingSummary");
    s.logNoMatches = rec("logNoMatches");

    s.updateParking = [&r](bool start) { r.add(start ? "updateParking:1" : "updateParking:0"); };
    s.adjustParking = [&r](std::uint32_t mode) { r.add("adjustParking:" + std::to_string(mode)); };
    s.parkAirportCurrent = [] { return false; };
    s.standsPresent = [] { return false; };
    s.removeStaticParked = rec("removeStaticParked");
    s.rereadParkAirports = [&r](std::string&) {
        r.add("rereadParkAirports");
        return false;
    };

    PreparationServices& p = s.prep;
    p.repaint = [] {};
    p.enableControl = [](int, bool) {};
    p.showField = [](int) {};
    p.resetTimeShiftFields = rec("resetTimeShiftFields");
    p.splitTimeShift = [](std::int32_t) {};
    p.setAddonAirportCounts = [](std::uint64_t, std::uint64_t) {};
    p.setTopMost = [](bool) {};
    p.enablePtControls = [] {};
    p.autoRange = rec("prep.autoRange");
    p.setDestination = [&r](const std::string& icao) { r.add("setDestination:" + icao); };
    p.scanLiveries = rec("scanLiveries");
    p.readDatabase = rec("readDatabase");
    p.readAirports = rec("readAirports");
    p.scanAddonAirports = rec("scanAddonAirports");
    p.readMyParkAirports = [&r] {
        r.add("readMyParkAirports");
        return false;
    };
    p.findRtCredential = rec("findRtCredential");
    p.createRtCredentialFile = rec("createRtCredentialFile");
    p.checkNewVersion = rec("checkNewVersion");
    p.updateAddonPackage = rec("updateAddonPackage");
    p.detectInstallPath = [] { return std::string("/sim/packages"); };
    p.createFlightPlanFolder = rec("createFlightPlanFolder");
    return s;
}

inline void resetRunState() {
    gf_resetRunFlags();
    restartPending.store(0);
    restartDelaySec.store(0);
    gf_resetMainLoopState();
    gf_resetRunLifeCycle();
    flushStaticRequested.store(0);
    reReadRequested.store(0);
    renewalRequested.store(0);
    renewalPtOnly.store(0);
    uiBusy.store(0);
    matchListClearRequested.store(0);
}

// Temporary program and AppData folders, a manual clock, the recording services and an open log.
class RunFixture : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox_.emplace(Sandbox::Options{.openLog = false});
        root_ = sandbox_->root();
        gf_setClock(&clock_);
        resetRunState();
        gf_runServices() = recordingServices(calls_);
        sandbox_->openLog();
    }

    void TearDown() override {
        gf_closeLog();
        gf_resetRunServices();
        resetRunState();
        gf_setClock(nullptr);
        sandbox_.reset();
    }

    std::string logText() { return sandbox_->logText(); }

    double elapsedSeconds(Clock::SteadyTime since) {
        return std::chrono::duration<double>(clock_.steadyNow() - since).count();
    }

    ManualClock clock_;
    CallRecorder calls_;
    std::filesystem::path root_;
    std::optional<Sandbox> sandbox_;
};
