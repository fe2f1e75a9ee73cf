#pragma once
// A deterministic engine for tests: scripted feed batches, a fake simulator that answers the
// creations and removals of the command area, stepped ticks, seeded random numbers, a fixed
// week slot, temporary program and AppData folders, and invariants checked after every tick. A harness
// that found a violation fails the running test when it ends, listing what it found.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/aircraft.h"
#include "feed/traffic_record.h"
#include "simlink/commands.h"
#include "tests/common/sandbox.h"

class EngineHarness {
public:
    EngineHarness();
    ~EngineHarness();
    EngineHarness(const EngineHarness&) = delete;
    EngineHarness& operator=(const EngineHarness&) = delete;

    // Catalogue: a known type of a category with a half span.
    void addType(const std::string& type, AircraftCategory category, double halfSpanNm = 0.01);
    // Gives the live aircraft with this hexid a livery before it spawns (by default one of its own,
    // "Test Livery <hexid>", so that a refused creation spoils no other aircraft's livery).
    void giveLivery(uint32_t hexid, std::string_view title = {});

    // One feed record (timestamp in seconds; altitude 0 = on the ground).
    static TrafficRecord record(uint32_t hexid, const std::string& callsign, const std::string& type, double lat,
                                double lon, double altitudeFt, double groundSpeedKt, double trackDeg, double timestamp);
    // An active live aircraft standing still on the ground at a position (its one point far in the future),
    // with its object id; the caller gives the fake simulator the object where the test needs it.
    static LiveAircraft& standingLive(uint32_t hexid, const std::string& callsign, uint32_t objectId, double lat,
                                      double lon, MovementPhase phase);
    // Hands a batch to the engine as the traffic reader would (30 s for live answers).
    void handOver(std::vector<TrafficRecord> batch, uint32_t delaySec = 30);

    // Runs n engine ticks; after each the fake simulator answers and the invariants are checked:
    // no object id queued twice or again after its removal; no live aircraft waiting for its creation
    // for ever, none twice in the list, the live indexes right; no aircraft, static or live, removing
    // without its removal queued or sent; no aircraft still in its list a tick after its removal notice;
    // every object the fake simulator holds held by exactly one aircraft of the lists, or its removal
    // queued or sent (so none is left behind when its aircraft leaves); no aircraft other than a
    // removing one whose object's removal is under way; and no live aircraft standing still in the
    // simulator while its feed moves on (below).
    void tick(int n = 1);
    // Ticks until the predicate holds (at most maxTicks); true when it held.
    bool tickUntil(const std::function<bool()>& done, int maxTicks);
    // Serves the window's requests as the main loop does before a tick; the invariants are checked
    // after them as after a tick.
    void serveWindowRequests();
    // Moves the user aircraft: the simulator link gets its state and on-ground answers as from the
    // simulator (steps of more than 10 nm count as a teleport), and the engine's copy follows at once.
    void moveUser(double lat, double lon, double altitudeFt, bool onGround, double groundSpeedKt = 0.0);

    // Fake simulator.
    struct Created {
        uint32_t objectId;
        uint32_t hexid;
        std::string callsign;
        std::string title;
        uint32_t tick;  // engine tick at which the creation reached the simulator
        bool live;
    };
    std::vector<Created> created;                // accepted creations in order
    std::vector<uint32_t> refused;               // hexids whose creation was refused
    std::vector<uint32_t> removed;               // object ids removed, in order
    std::set<uint32_t> removalsSent;             // object ids whose removal reached the simulator (answered or not)
    std::vector<uint32_t> removalRequests;       // every removal that reached the simulator, in order (answered or not)
    std::set<uint32_t> refuseHexids;             // creations of these ids are refused
    std::map<uint32_t, uint32_t> objectOfHexid;  // live objects in the simulator
    std::map<uint32_t, Created> objects;         // every object the simulator holds, by object id
    size_t positionsSent = 0;
    size_t eventsSent = 0;
    bool answerCreations = true;
    bool answerRemovals = true;
    // While answerCreations is on, a creation for which this holds stays unanswered for now (asked again
    // every tick): a test delays one answer and lets the others through.
    std::function<bool(const SimConnectCreateRequest&)> holdCreation;

    // The invariant checker's findings (empty when every tick was sound). Whatever is left here when the
    // harness ends fails the test; a test that breaks an invariant on purpose takes its findings out.
    std::vector<std::string> violations;
    std::vector<std::string> takeViolations();
    // Ticks an aircraft may wait in adding2sim before it counts as stuck.
    uint32_t maxCreationWait = 6000;
    // A live aircraft whose feed takes it more than feedMoveNm from where it was within a minute of due
    // points also moves in the simulator: in that minute and the next (the engine may run up to a minute
    // late), the positions sent for its object take it at least simMoveNm from the first of them. Only an
    // aircraft that was in the simulator, with one object and not removing, for those two minutes counts.
    double feedMoveNm = 1.0;
    double simMoveNm = 0.25;

    std::filesystem::path folder;  // temporary program folder (the working directory)

private:
    void answerSimulator();
    void checkInvariants();
    void notePositionsSent();
    void checkFeedFollowed();
    uint32_t nextObjectId_ = 100;
    std::vector<SimConnectCreateRequest> pendingCreations_;
    std::map<uint32_t, uint32_t> waitingSince_;  // hexid -> tick it entered adding2sim
    std::map<uint32_t, uint32_t> confirmedAt_;   // object id -> tick its removal notice was posted
    std::set<uint32_t> objectsReported_;         // object ids already named in a violation (once each)
    struct TrackSample {
        uint32_t tick;  // engine tick at which the feed point is due, or at which the position was sent
        double latitude, longitude;
    };
    std::map<uint32_t, std::vector<TrackSample>> feedTrack_;        // hexid -> the feed points handed over
    std::map<uint32_t, std::vector<TrackSample>> simTrack_;         // object id -> a position sent each second
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> inSimSince_;  // hexid -> object id, tick it was active since
    std::set<uint32_t> standingReported_;                           // hexids named standing still (once each)
    uint32_t lastFeedCheck_ = 0;
    std::optional<Sandbox> sandbox_;
    bool userMoved_ = false;
};
