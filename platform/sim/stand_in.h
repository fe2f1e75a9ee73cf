#pragma once
// The in-process stand-in simulator behind the client API of platform/sim/sim_api.h.
//
// Contract
// - One stand-in is installed at a time (`StandIn::install`); `vsim::open` connects to it. When
//   none is installed, the first `open` installs a real-time one from the JSON scenario named by
//   VEXA_SIM_SCENARIO (see `configFromScenario`; without the variable a default scenario: the
//   2020 simulator, a user aircraft parked at 52.3086 N, 4.7639 E). VEXA_SIM_TRACE names a file
//   that receives the trace (below). While the scenario cannot be read every open fails (the
//   reason is written to stderr once).
// - Clock: with `realTime` false (tests) time stands still until `advance` moves it; everything
//   due in that span happens inside `advance` (frames, periodic answers, added and removed
//   objects, the user's script), in time order. With `realTime` true each `callDispatch` first
//   brings the simulator up to the steady clock (at most 2 s of catching up at once).
// - Frames come at `frameRate` per second. On each frame, in order: objects whose creation is
//   `framesToAdd` frames old become visible and their ObjectAdded event is sent; objects removed
//   since the last frame send ObjectRemoved; the user aircraft follows its script; answers of
//   period SimFrame/VisualFrame are sent, and those of period Second when a second has passed
//   since their last answer (the first on the first frame after the request); the Frame event is
//   sent; positions are sampled for the trace.
// - Once answers (requests by object with period Once, requests by type) are queued at the call.
// - Objects: the user aircraft has id 1; AI objects get ids from 100 up, never reused. An AI
//   object's "ATC ID" is its tail number cut to 31 bytes. A title not installed is refused
//   (CreateObjectFailed, keyed by the packet id of the creation). More than `maxObjects` AI
//   objects: TooManyObjects. The add/remove event reports an object of a helicopter title as
//   Helicopter, any other as Aircraft.
// - Ground: one flat ground at `fieldElevationFt`. An object created on the ground stands with
//   its centre of gravity at ground + its title's static CG height. "Plane Alt Above Ground" is
//   altitude - ground (not below 0); "SIM ON GROUND" is 1 when that is at most the static CG
//   height + 1 ft. The user's altitude above ground comes from its script when given there.
// - The user aircraft: title, "ATC MODEL", lights, zulu time (advancing with the clock; "ZULU
//   DAY OF YEAR" counts from 1), in the menu (the "Sim" event says 0 and its position is 0, 0)
//   or in a flight following a path of timed waypoints (linear between them, holding the last).
// - Failures: `setRunning(false)` or `failOpens(n)` refuse opens; `failCalls(name, n)` makes the
//   next n calls of that name return failure; `quit()` sends QUIT to every connection, after
//   which every call fails and no frame comes; `loadFlight` sends the FlightLoaded file event;
//   `injectException` queues any exception.
// - Trace: one JSON object per line: {"t":ms,"ev":"create"|"refused"|"added"|"remove"|"removed"|
//   "release"|"event"|"position"|"flightplan", "id":..., ...}; positions are sampled every
//   `traceSampleMs` for every visible object (the user included).

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/sim/sim_api.h"

namespace vsim {

struct TitleInfo {
    std::string title;
    double cgHeightFt = 8.0;      // "Static CG to Ground"
    double staticPitchRad = 0.0;  // "Static Pitch"
    bool helicopter = false;
};

struct UserWaypoint {
    double t = 0;         // seconds after the flight started
    double latitude = 0;  // degrees
    double longitude = 0;
    double altitudeFt = 0;
    double aglFt = -1;  // altitude above ground; below 0: altitude - ground
    double headingDeg = 0;
    double groundSpeedKt = 0;
};

struct UserScript {
    std::string title = "Stand-in User Aircraft";
    std::string atcModel = "A320";
    bool inFlight = true;
    double menuSeconds = 0;                   // real-time scenarios: time in the menu before the flight
    std::int64_t zuluStartUnix = 1765368000;  // 2025-12-10 12:00:00 UTC
    std::int64_t lightStates = 0;
    std::vector<UserWaypoint> path{UserWaypoint{0, 52.3086, 4.7639, 5, -1, 0, 0}};
};

struct ForeignAircraft {
    std::string title;
    std::string atcId;
    InitPosition position;
};

struct StandInConfig {
    std::string applicationName = "KittyHawk";  // 2020; "SunRise" is 2024
    std::array<std::uint32_t, 4> version{11, 0, 282174, 0};
    double frameRate = 30.0;
    std::uint32_t framesToAdd = 3;
    double fieldElevationFt = 0.0;
    std::uint32_t maxObjects = 1000;
    bool realTime = false;
    std::vector<TitleInfo> titles;
    UserScript user;
    std::vector<ForeignAircraft> traffic;  // aircraft of other clients present from the start
    std::string tracePath;                 // empty: no trace
    std::int64_t traceSampleMs = 1000;
};

// What a test can see of one object.
struct ObjectInfo {
    std::uint32_t id = 0;
    bool isUser = false;
    bool visible = false;  // ObjectAdded was sent
    bool removed = false;  // removal asked for (ObjectRemoved follows on the next frame)
    bool helicopter = false;
    std::string title;
    std::string atcId;
    PositionBlock position;  // lat, lon deg; pitch, bank, heading rad; alt ft; vs ft/s; tas kt
    double groundSpeedKt = 0;
    double altitudeAboveGroundFt = 0;
    bool onGround = false;
    double cgHeightFt = 0;
    bool released = false;  // AI control released
    bool frozenLatLon = false, frozenAltitude = false, frozenAttitude = false;
    std::vector<std::pair<std::string, std::uint32_t>> events;  // client events received, in order
    double spoilers = 0, throttle1 = 0, throttle2 = 0;          // percent
    std::string flightPlan;
    std::uint32_t positionWrites = 0;
};

class StandIn {
public:
    explicit StandIn(StandInConfig config);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    // Makes a new stand-in the one `open` connects to (replacing any other) and returns it.
    static std::shared_ptr<StandIn> install(StandInConfig config);
    static void uninstall();
    static std::shared_ptr<StandIn> current();
    // Reads a scenario file (JSON; throws std::runtime_error with the reason when unreadable).
    // Every key is optional unless marked (required); absent keys keep StandInConfig's defaults:
    //   {"simulator": "KittyHawk", "version": [11, 0, 282174, 0], "frameRate": 30, "framesToAdd": 3,
    //    "fieldElevationFt": 0, "maxObjects": 1000, "traceSampleMs": 1000,
    //    "titles": [{"title" (required), "cgFt": 8, "pitchDeg": 0, "helicopter": false}],
    //    "user": {"title", "atcModel", "inFlight": true, "menuSeconds": 0 (above 0: the menu first,
    //             then the flight), "zuluUnix", "lights",
    //             "path": [{"t": 0, "lat", "lon" (required), "altFt": 0, "aglFt": -1, "headingDeg": 0,
    //                       "speedKt": 0}]},
    //    "traffic": [{"title", "lat", "lon" (required), "atcId": "", "altFt": 0, "headingDeg": 0,
    //                 "onGround": true}]}
    // The result runs in real time.
    static StandInConfig configFromScenario(const std::string& path);
    // The configuration used when none is installed: VEXA_SIM_SCENARIO or the default, real time.
    static StandInConfig configFromEnvironment();

    // ---- clock (manual clock only) ----
    void advance(std::chrono::milliseconds span);
    std::int64_t nowMs() const;

    // ---- the simulator's situation ----
    void setRunning(bool running);  // false: opens fail; true after quit: opens work again
    void failOpens(int count);
    void failCalls(const std::string& callName, int count = 1);  // e.g. "aiRemoveObject"
    void quit();
    void loadFlight(const std::string& fileName);      // sends the FlightLoaded file event
    void setInFlight(bool inFlight);                   // the "Sim" event follows a change
    void setUserPath(std::vector<UserWaypoint> path);  // restarts the path at now
    void placeUser(const UserWaypoint& point);         // the same with one point
    void setUserTitle(const std::string& title);
    void setUserModel(const std::string& atcModel);
    void setUserLights(std::int64_t mask);
    void setZulu(std::int64_t unixSeconds);
    void setFieldElevation(double feet);
    void setFrameRate(double fps);
    void installTitle(const TitleInfo& title);
    std::uint32_t addForeignAircraft(const ForeignAircraft& aircraft);  // visible on the next frame
    void removeObject(std::uint32_t objectId);                          // as if another client removed it
    void injectException(std::uint32_t code, std::uint32_t sendId = 0, std::uint32_t index = kUnused);

    // ---- inspection ----
    std::vector<ObjectInfo> objects() const;  // every object not yet gone, the user first
    std::optional<ObjectInfo> object(std::uint32_t objectId) const;
    std::optional<ObjectInfo> objectByAtcId(const std::string& atcId) const;
    std::uint32_t userObjectId() const;
    // Every call the simulator accepted (not the failed ones), one line each: the call name and its arguments, e.g.
    // "subscribeToSystemEvent 201 Sim", "addToDataDefinition 402 Plane Latitude|degree|Float64".
    std::vector<std::string> callLog() const;
    int openConnections() const;

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

}  // namespace vsim
