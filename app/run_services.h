#pragma once
// The services that the run life cycle and the main loop call in the other subsystems, gathered in one
// table. The program uses the defaults, which call the owning subsystems; a test replaces single entries to
// watch the order of calls or to play a subsystem (a reader that never stops, a flight that never loads).
//
// Every entry is set; none may be left empty.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <stop_token>
#include <string>

#include "engine/closing_removal.h"

struct UserPosition {
    double latitude = 0.0;
    double longitude = 0.0;
};

enum class FeedReader {
    weather,
    traffic
};

// The run preparation's calls.
struct PreparationServices {
    std::function<void()> repaint;  // the whole window
    std::function<void(int controlId, bool enabled)> enableControl;
    std::function<void(int controlId)> showField;  // the setting's value into its field
    std::function<void()> resetTimeShiftFields;
    std::function<void(std::int32_t minutes)> splitTimeShift;
    std::function<void(std::uint64_t simaddon, std::uint64_t thirdParty)> setAddonAirportCounts;
    std::function<void(bool on)> setTopMost;
    std::function<void()> enablePtControls;
    std::function<void()> autoRange;
    std::function<void(const std::string& icao)> setDestination;  // a known airport becomes the destination
    std::function<void()> scanLiveries;
    std::function<void()> readDatabase;
    std::function<void()> readAirports;
    std::function<void()> scanAddonAirports;
    std::function<bool()> readMyParkAirports;
    std::function<void()> findRtCredential;
    std::function<void()> createRtCredentialFile;
    std::function<void()> checkNewVersion;
    std::function<void()> updateAddonPackage;
    std::function<std::string()> detectInstallPath;  // empty when none is found
    std::function<void()> createFlightPlanFolder;
};

struct RunServices {
    // --- status line and window ---
    std::function<void(const std::string& text, bool log)> showStatus;
    std::function<void(const std::string& text)> showError;
    std::function<void()> clearHeldError;
    std::function<void(unsigned message)> postToWindow;
    std::function<bool()> windowExists;
    std::function<void()> clearRunIndicators;                   // the two status-panel indicators of a new run
    std::function<void()> clearFeedLampOff;                     // the feed lamps may be lit
    std::function<void()> setLampsStarting;                     // traffic and weather lamps: starting
    std::function<void()> resetWindowState;                     // texts, indicators, lamps, counters; simNotYetOpened
    std::function<void()> enableObjectIdField;                  // the CALLSIGN_2_OBJECTID field
    std::function<void()> enableRereadControls;                 // the "Re-read" button and the DESTINATION field
    std::function<void(bool enabled)> enableTimeShiftControls;  // the five time controls
    std::function<void(int controlId, bool checked)> setCheck;  // a check box of a setting
    std::function<void()> disableParkingControls;
    std::function<void()> releaseParkingControls;  // the clean-up released the planning lock
    std::function<void(std::uint32_t minutes)> showMinutesToRenewal;
    std::function<void()> statusSecondStep;  // counts the status line's second; clears an old text
    std::function<void()> autoRange;
    std::function<void(std::int32_t minutes, bool quiet)> setTimeShift;

    // --- simulator link ---
    std::function<void()> resetSimConnectQueues;
    std::function<void(std::stop_token)> simConnectThreadBody;
    std::function<bool()> requestUserOnGroundData;  // once-a-second on-ground data; false when it failed
    std::function<bool()> userDataDelivered;
    std::function<void()> requestUserPosition;  // asks once and copies the answer into the user state
    std::function<void()> requestUserTitleAndModel;
    std::function<UserPosition()> userPosition;  // the engine's copy of the user state
    std::function<void()> clearPositionBuffers;
    std::function<std::int64_t()> simUtcSeconds;  // the simulator's UTC time
    std::function<void()> resetSimLink;           // lists, queues, buffers and the user state
    // Empty while the link is open to a simulator that runs a flight and its requests go out; else why not.
    std::function<std::string()> simLinkClosedReason;

    // --- live-traffic feed ---
    std::function<void()> setQueryBox;
    std::function<void()> authenticate;
    std::function<bool()> loggedIn;  // the login identifier is there
    std::function<bool()> professionalAccount;
    std::function<void(FeedReader)> startReader;     // starts the reader's thread, detached
    std::function<void(FeedReader)> stopReader;      // raises the reader's stop flag
    std::function<bool(FeedReader)> readerStopped;   // the reader's loop has ended
    std::function<std::int64_t()> readerIntervalMs;  // the longest request interval of the two readers
    std::function<void(FeedReader)> resetReader;
    std::function<void()> deauthenticate;
    std::function<std::int32_t()> weatherReady;
    std::function<void(UserPosition)> setOwnPosition;
    std::function<double()> trafficDataTime;  // the traffic reader's data time (0: nothing yet)
    std::function<void()> setStatusLights;
    std::function<void()> setBufferedMode;
    std::function<void()> resetFeedSession;  // the feed back to its start, the account type of the last login

    // --- engine ---
    std::function<void()> setupSessionContainers;
    std::function<void()> cleanupSessionContainers;
    std::function<void(bool open)> setFeedIntake;  // feedIntakeOpen under the feed mutex
    std::function<void()> engineTick;
    std::function<void()> drainEngineInbox;
    std::function<void()> removeFlightPlanFolder;
    std::function<void()> clearGhostCallsigns;
    std::function<void()> recountLive;
    std::function<void()> removeStaticTwinsOfLive;  // the 61-second rule
    std::function<void()> writeCallsignObjectIds;
    std::function<bool()> reservedStandSet;
    std::function<void()> clearReservedStand;
    std::function<void()> coupledCallsignCheck;
    std::function<void()> showCallsignObjectId;
    std::function<void()> flushStaticAircraft;
    std::function<void()> userCollisions;
    std::function<void()> liveParkedCollisions;
    std::function<void()> blockCallsign;  // takes the BLOCK_CALLSIGN aircraft out
    // Closing down (engine/closing_removal.h): every live aircraft out, one step of the wait for the simulator's
    // confirmations (the aircraft and removals still waited for), and the lists emptied when the link is closed
    // (how many aircraft were in the simulator).
    std::function<void()> removeAllLiveAircraft;
    std::function<ClosingRemoval(std::uint32_t step)> closingRemovalStep;
    std::function<std::size_t()> dropAircraftOfClosedLink;

    // --- catalogue ---
    std::function<void()> reserveLiveryContainers;
    std::function<void()> clearRunMatchKeys;
    std::function<void()> clearUnmatchedKeys;
    std::function<void()> writeMatchingSummary;
    std::function<void()> logNoMatches;

    // --- airports and parking ---
    std::function<void(bool start)> updateParking;
    std::function<void(std::uint32_t mode)> adjustParking;
    std::function<bool()> parkAirportCurrent;
    std::function<bool()> standsPresent;
    std::function<void()> removeStaticParked;
    std::function<bool(std::string& message)> rereadParkAirports;

    PreparationServices prep;
};

// The table in use.
RunServices& gf_runServices();
// The table of the program's own services.
RunServices gf_defaultRunServices();
// Puts the program's own services back.
void gf_resetRunServices();
