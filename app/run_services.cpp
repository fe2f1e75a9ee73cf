#include "app/run_services.h"

#include "airports/addon_scan.h"
#include "airports/airports.h"
#include "airports/parking.h"
#include "app/edit_fields.h"
#include "app/install_detection.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/run_life_cycle.h"
#include "app/updates.h"
#include "app/window_proc.h"
#include "catalogue/livery_db.h"
#include "catalogue/livery_matching.h"
#include "catalogue/livery_scan.h"
#include "catalogue/reference_db.h"
#include "engine/closing_removal.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/flight_plan.h"
#include "engine/notices.h"
#include "engine/upkeep.h"
#include "feed/credential.h"
#include "feed/feed_intake.h"
#include "feed/readers.h"
#include "feed/web_api.h"
#include "foundation/feed_time.h"
#include "foundation/settings.h"
#include "parking/park_airport.h"
#include "parking/planner.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/status_line.h"
#include "simlink/commands.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"

#include <algorithm>
#include <mutex>

namespace {
RunServices& table() {
    static RunServices services = gf_defaultRunServices();
    return services;
}

RtApiConnection& readerObject(FeedReader reader) {
    if (reader == FeedReader::weather) return weatherReader;
    return trafficReader;
}

}  // namespace

RunServices& gf_runServices() { return table(); }

void gf_resetRunServices() { table() = gf_defaultRunServices(); }

RunServices gf_defaultRunServices() {
    RunServices s;
    // Status line and window.
    s.showStatus = [](const std::string& text, bool log) { gf_showStatus(text, log); };
    s.showError = [](const std::string& text) { gf_showError(text); };
    s.clearHeldError = [] { gf_clearHeldError(); };
    s.postToWindow = [](unsigned message) { gf_postWindowMessage(message); };
    s.windowExists = [] { return mainWindow.window.load() != nullptr; };
    s.clearRunIndicators = [] {
        mainWindow.simConnected.store(false);
        mainWindow.flightRunning.store(false);
        mainWindow.invalidate(panel::status);
    };
    s.clearFeedLampOff = [] {
        mainWindow.feedLampOff.store(false);
        mainWindow.invalidate(panel::status);
    };
    s.setLampsStarting = [] {
        mainWindow.trafficLampState.store(2);
        mainWindow.weatherLampState.store(2);
        mainWindow.invalidate(panel::status);
    };
    s.resetWindowState = [] {
        mainWindow.resetRunFields();
        simNotYetOpened.store(1);
        mainWindow.invalidate();
    };
    s.enableObjectIdField = [] { gf_enableControl(CALLSIGN_2_OBJECTID.controlId, true); };
    s.enableRereadControls = [] {
        gf_enableControl(kRereadButtonId, true);
        gf_enableControl(DESTINATION.controlId, true);
    };
    s.enableTimeShiftControls = [](bool enabled) {
        for (const ParameterControl* c : std::initializer_list<const ParameterControl*>{
                 &TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS, &SIM_TIME, &KEEP_SIM_TIME_PAR})
            gf_enableControl(c->controlId, enabled);
        if (!enabled) {
            mainWindow.timeShiftEnabled.store(false);
            mainWindow.invalidate();
        }
    };
    s.setCheck = [](int controlId, bool checked) { gf_setCheck(controlId, checked); };
    s.disableParkingControls = [] { gf_disableParkingControls(); };
    s.releaseParkingControls = [] { gf_releaseParkingControls(); };
    s.showMinutesToRenewal = [](std::uint32_t minutes) {
        mainWindow.minutesToRenewal.store(static_cast<std::int32_t>(minutes));
        mainWindow.invalidate(panel::statistics);
    };
    s.statusSecondStep = [] { gf_statusSecondStep(); };
    s.autoRange = [] { gf_autoRange(); };
    s.setTimeShift = [](std::int32_t minutes, bool quiet) { gf_setTimeShift(minutes, quiet); };

    // Simulator link.
    s.resetSimConnectQueues = [] { gf_resetSimConnectQueues(); };
    s.simConnectThreadBody = [](std::stop_token token) { SimClient(token); };
    s.requestUserOnGroundData = [] {
        gf_requestUserOnGround();
        return true;
    };
    s.userDataDelivered = [] { return userDataReceived.load() != 0; };
    s.requestUserPosition = [] { userState = gf_requestUserPosition(); };
    s.requestUserTitleAndModel = [] { gf_requestUserTitleAndModel(); };
    s.userPosition = [] { return UserPosition{userState.latitude, userState.longitude}; };
    s.clearPositionBuffers = [] {
        std::lock_guard lock(simQueueMutex);
        if (positionBackBuffer != nullptr) positionBackBuffer->clear();
        if (positionFrontBuffer != nullptr) positionFrontBuffer->clear();
    };
    s.simUtcSeconds = [] { return simUtcEpoch.load(); };
    s.resetSimLink = [] { gf_resetSimLink(); };
    s.simLinkClosedReason = [] {
        if (gf_simHandle() == nullptr) return std::string("the link to it is closed");
        if (simRunning.load() == 0) return std::string("it runs no flight");
        if (simConnectError.load() != 0) return std::string("a request to it failed");
        return std::string();
    };

    // Live-traffic feed.
    s.setQueryBox = [] { gf_setQueryBox(LatLon{userState.latitude, userState.longitude}); };
    s.authenticate = [] { gf_authenticater(); };
    s.loggedIn = [] { return !weatherReader.guid.empty(); };
    s.professionalAccount = [] { return professionalAccount.load(); };
    s.startReader = [](FeedReader r) {
        if (r == FeedReader::weather)
            gf_startWeatherReaderThread();
        else
            gf_startTrafficReaderThread();
    };
    s.stopReader = [](FeedReader r) { readerObject(r).readerStop.store(1); };
    s.readerStopped = [](FeedReader r) { return readerObject(r).readerStopped.load() != 0; };
    s.resetReader = [](FeedReader r) { gf_resetReader(readerObject(r)); };
    s.readerIntervalMs = [] {
        return std::int64_t{std::max({weatherReader.rrl.load(), weatherReader.wrrl.load(), trafficReader.rrl.load(),
                                      trafficReader.wrrl.load()})};
    };
    s.deauthenticate = [] { gf_deauthenticate(trafficReader); };
    s.weatherReady = [] { return mainWindow.qnh.load(); };
    // The weather request also sends the user altitude (run thread: userState may be read here).
    s.setOwnPosition = [](UserPosition p) {
        trafficReader.setOwnPosition(LatLon{p.latitude, p.longitude}, userState.altitude);
    };
    s.trafficDataTime = [] { return lastFeedTimestamp.load(); };
    s.setStatusLights = [] { gf_setStatusLights(); };
    s.setBufferedMode = [] { trafficReader.bufferedMode.exchange(1); };
    // The whole feed goes back to its start (data time, query box, buffered mode, QNH, counters), unless a
    // reader of the closed run is still running: its state stays until it has stopped.
    s.resetFeedSession = [] {
        if (!gf_strayReaderRunning()) gf_resetFeed();
        professionalAccount.store(false);
    };

    // Engine.
    s.setupSessionContainers = [] { gf_setupSessionContainers(); };
    s.cleanupSessionContainers = [] { gf_cleanupSessionContainers(); };
    s.setFeedIntake = [](bool open) { gf_setFeedIntakeOpen(open); };
    s.engineTick = [] { gf_engineTick(); };
    s.drainEngineInbox = [] { gf_drainEngineInbox(); };
    s.removeFlightPlanFolder = [] { gf_removeFlightPlanFolder(); };
    s.clearGhostCallsigns = [] { removedGhosts.clear(); };
    s.recountLive = [] { lf_countLiveAircraft(); };
    s.removeStaticTwinsOfLive = [] { lf_removeStaticTwinsOfLive(); };
    s.writeCallsignObjectIds = [] { gf_writeCallsignObjectIds(); };
    s.reservedStandSet = [] { return !currentAirport.reservedStand.empty(); };
    s.clearReservedStand = [] { gf_clearReservedStand(); };
    s.coupledCallsignCheck = [] { lf_coupledCallsignCheck(); };
    s.showCallsignObjectId = [] { gf_showCallsignObjectId(); };
    s.flushStaticAircraft = [] { gf_flushStaticAircraft(); };
    s.userCollisions = [] { lf_userCollisions(); };
    s.liveParkedCollisions = [] { lf_liveParkedCollisions(); };
    s.blockCallsign = [] { lf_blockCallsign(); };
    s.removeAllLiveAircraft = [] { gf_removeAllLiveAircraft(); };
    s.closingRemovalStep = [](std::uint32_t step) { return gf_closingRemovalStep(step); };
    s.dropAircraftOfClosedLink = [] { return gf_dropAircraftOfClosedLink(); };

    // Catalogue.
    s.reserveLiveryContainers = [] { gf_reserveLiveryContainers(); };
    s.clearRunMatchKeys = [] { runMatchKeys.clear(); };
    s.clearUnmatchedKeys = [] { noMatchKeys.clear(); };
    s.writeMatchingSummary = [] { gf_writeMatchingSummary(); };
    s.logNoMatches = [] { gf_logNoMatches(); };

    // Airports and parking.
    s.updateParking = [](bool start) { gf_updateParking(start); };
    s.adjustParking = [](std::uint32_t mode) { gf_adjustParking(mode); };
    s.parkAirportCurrent = [] { return !currentAirport.icao.empty(); };
    s.standsPresent = [] { return !currentStands.empty(); };
    s.removeStaticParked = [] { gf_removeStaticParked(); };
    s.rereadParkAirports = [](std::string& message) { return gf_rereadParkAirports(true, message); };

    // Run preparation.
    PreparationServices& p = s.prep;
    p.repaint = [] { mainWindow.invalidate(); };
    p.enableControl = [](int controlId, bool enabled) { gf_enableControl(controlId, enabled); };
    p.showField = [](int controlId) {
        if (controlId == ALL_INSTALL_PATH.controlId) gf_showTextField(ALL_INSTALL_PATH);
    };
    p.resetTimeShiftFields = [] {
        for (const GuiIntParameter* field : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS})
            gf_clearField(field->controlId);
    };
    p.splitTimeShift = [](std::int32_t minutes) { gf_splitTimeShift(minutes); };
    p.setAddonAirportCounts = [](std::uint64_t simaddon, std::uint64_t thirdParty) {
        mainWindow.simaddonAirportCount.store(simaddon);
        mainWindow.thirdpAirportCount.store(thirdParty);
    };
    p.setTopMost = [](bool on) {
        if (ui::Window* w = mainWindow.window.load()) w->setTopMost(on);
    };
    p.enablePtControls = [] { gf_enablePtControls(); };
    p.autoRange = [] { gf_autoRange(); };
    p.setDestination = [](const std::string& icao) {
        if (const std::optional<Airport> airport = gf_findAirport(icao))
            gf_setDestination(airport->icao, airport->latitude, airport->longitude);
    };
    p.scanLiveries = [] { gf_scanLiveries(); };
    p.readDatabase = [] { gf_readDatabase(); };
    p.readAirports = [] { gf_readAirports(); };
    p.scanAddonAirports = [] {
        gf_scanAddonAirports(gf_officialPath(gf_officialFolderName()), gf_officialPath("Community"));
        gf_setCheck(SCAN_AIRPORTS.controlId, SCAN_AIRPORTS.value.load());
        mainWindow.invalidate();
    };
    p.readMyParkAirports = [] {
        gf_resetParkAirportSight();
        return lf_readMyParkAirports();
    };
    p.findRtCredential = [] { gf_findRtCredential(); };
    p.createRtCredentialFile = [] { gf_createRtCredentialFile(); };
    p.checkNewVersion = [] { gf_checkNewVersion(); };
    p.updateAddonPackage = [] { gf_updateAddonPackage(); };
    p.detectInstallPath = [] { return gf_detectInstallPath().string(); };
    p.createFlightPlanFolder = [] { gf_createFlightPlanFolder(); };
    return s;
}
