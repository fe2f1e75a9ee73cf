#include "app/run_services.h"

#include "airports/parking.h"
#include "app/main_window.h"
#include "app/status_line.h"
#include "catalogue/livery_db.h"
#include "catalogue/livery_matching.h"
#include "engine/feed_handover.h"
#include "engine/notices.h"
#include "feed/feed_state.h"
#include "feed/readers.h"
#include "feed/web_api.h"
#include "foundation/settings.h"
#include "simlink/commands.h"

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

void nothing() {}
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
    mainWindow.invalidate();
  };
  s.enableObjectIdField = [] {
    if (ui::Window* w = mainWindow.window.load()) w->setEnabled(CALLSIGN_2_OBJECTID.controlId, true);
  };
  s.enableRereadControls = [] {
    if (ui::Window* w = mainWindow.window.load()) {
      w->setEnabled(32838, true);  // "Re-read"
      w->setEnabled(DESTINATION.controlId, true);
    }
  };
  s.enableTimeShiftControls = [](bool enabled) {
    if (ui::Window* w = mainWindow.window.load()) {
      for (const ParameterControl* c : std::initializer_list<const ParameterControl*>{
               &TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS, &SIM_TIME, &KEEP_SIM_TIME_PAR})
        w->setEnabled(c->controlId, enabled);
    }
    if (!enabled) {
      mainWindow.timeShiftEnabled.store(false);
      mainWindow.invalidate();
    }
  };
  s.setCheck = [](int controlId, bool checked) {
    if (ui::Window* w = mainWindow.window.load()) w->setChecked(controlId, checked);
  };
  s.disableParkingControls = nothing;
  s.showMinutesToRenewal = [](std::uint32_t minutes) {
    mainWindow.minutesToRenewal.store(static_cast<std::int32_t>(minutes));
    mainWindow.invalidate(panel::statistics);
  };
  s.statusSecondStep = [] { gf_statusSecondStep(); };
  s.autoRange = nothing;
  s.setTimeShift = [](std::int32_t, bool) {};

  // Simulator link.
  s.resetSimConnectQueues = [] { gf_resetSimConnectQueues(); };
  s.simConnectThreadBody = [](std::stop_token) {};
  s.requestUserOnGroundData = [] {
    gf_requestUserOnGround();
    return true;
  };
  s.userDataDelivered = [] { return userOnGroundValid.load() != 0; };
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

  // Live-traffic feed.
  s.setQueryBox = [] { gf_setQueryBox(); };
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
  s.deauthenticate = [] { gf_deauthenticate(trafficReader); };
  s.weatherReady = [] { return mainWindow.qnh.load(); };
  s.setOwnPosition = [](UserPosition p) { trafficReader.setOwnPosition(LatLon{p.latitude, p.longitude}); };
  s.trafficDataTime = [] { return lastFeedTimestamp.load(); };
  s.setStatusLights = [] { gf_setStatusLights(); };
  s.setBufferedMode = [] { trafficReader.bufferedMode.exchange(1); };
  s.resetFeedSession = [] { professionalAccount.store(false); };

  // Engine.
  s.setupSessionContainers = nothing;
  s.cleanupSessionContainers = nothing;
  s.setFeedIntake = [](bool open) { gf_setFeedIntakeOpen(open); };
  s.engineTick = nothing;
  s.drainEngineInbox = [] { gf_drainEngineInbox(); };
  s.removeFlightPlanFolder = nothing;
  s.clearGhostCallsigns = nothing;
  s.recountLive = nothing;
  s.removeStaticTwinsOfLive = nothing;
  s.writeCallsignObjectIds = nothing;
  s.reservedStandSet = [] { return !currentAirport.reservedStand.empty(); };
  s.clearReservedStand = nothing;
  s.coupledCallsignCheck = nothing;
  s.showCallsignObjectId = nothing;
  s.flushStaticAircraft = nothing;
  s.userCollisions = nothing;
  s.liveParkedCollisions = nothing;
  s.blockCallsign = nothing;

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
  return s;
}
