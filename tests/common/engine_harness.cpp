#include "tests/common/engine_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <list>
#include <mutex>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/parking.h"
#include "app/window_requests.h"
#include "catalogue/catalogue.h"
#include "engine/engine_state.h"
#include "engine/notices.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "feed/feed_intake.h"
#include "foundation/geodesy.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "shell/run_flags.h"
#include "simlink/commands.h"
#include "tests/common/user_link.h"

namespace {
std::list<std::string> harnessTitles;  // titles the fake catalogue holds (views into them stay valid)

void clearCommandArea() {
    std::lock_guard lock(simQueueMutex);
    positionBackBuffer->clear();
    positionFrontBuffer->clear();
    eventQueue.clear();
    createQueue.clear();
    removeQueue.clear();
}
}  // namespace

EngineHarness::EngineHarness() {
    gf_resetRunFlags();
    sandbox_.emplace(Sandbox::Options{.openLog = false, .resetSettings = false});
    folder = sandbox_->program();
    gf_resetCatalogue();
    gf_resetEngineState();
    gf_resetStaticIdCounter();
    gf_setFeedIntakeOpen(true);
    clearCommandArea();
    staticJobs.clear();
    currentStands.clear();
    currentAirport = CurrentAirport{};
    gf_seedRandom(12345);
    weekSlot.store(WeekSlot{3, 20}.packed());
    categoryHalfSpanNm.fill(0.01);
    userState = UserState{};
    userState.latitude = -40.0;  // far from every scripted aircraft
    userState.longitude = -120.0;
    userOnGround.store(1);
    liveList.reserve(512);  // references to aircraft stay valid while a test adds a few more
    staticList.reserve(256);
}

EngineHarness::~EngineHarness() {
    if (!violations.empty()) {
        // The first findings tell what broke; a fault that repeats every tick would bury them.
        constexpr size_t kShown = 20;
        std::string list;
        for (size_t i = 0; i < violations.size() && i < kShown; ++i) list += "\n  " + violations[i];
        if (violations.size() > kShown) list += fmt::format("\n  ... and {} more", violations.size() - kShown);
        ADD_FAILURE() << "engine harness: " << violations.size() << " invariant violation(s):" << list;
    }
    // Calls the engine makes on the simulator itself fail without a connection and raise the
    // run's stop; the next test starts from a clean run.
    gf_resetRunFlags();
    gf_resetEngineState();
    gf_setFeedIntakeOpen(false);
    clearCommandArea();
    staticJobs.clear();
    currentStands.clear();
    currentAirport = CurrentAirport{};
    gf_resetCatalogue();
    if (userMoved_) forgetUserAircraft();
    sandbox_.reset();
}

std::vector<std::string> EngineHarness::takeViolations() {
    std::vector<std::string> taken;
    taken.swap(violations);
    return taken;
}

void EngineHarness::addType(const std::string& type, AircraftCategory category, double halfSpanNm) {
    knownAircraftTypes.insert(type);
    switch (category) {
    case AircraftCategory::Large: largeTypes.insert(type); break;
    case AircraftCategory::Heavy: heavyTypes.insert(type); break;
    case AircraftCategory::Buzjets: buzjetTypes.insert(type); break;
    case AircraftCategory::Rotorcraft: rotorcraftTypes.insert(type); break;
    case AircraftCategory::HighPerf: highPerfTypes.insert(type); break;
    case AircraftCategory::Light: break;
    }
    wingspanTable[type] = halfSpanNm;
}

void EngineHarness::giveLivery(uint32_t hexid, std::string_view title) {
    std::string own;
    if (title.empty()) {
        own = fmt::format("Test Livery {}", hexid);
        title = own;
    }
    // Titles live as long as the run; the harness keeps them for the test's life.
    auto it = std::find(harnessTitles.begin(), harnessTitles.end(), title);
    if (it == harnessTitles.end()) {
        harnessTitles.emplace_back(title);
        it = std::prev(harnessTitles.end());
    }
    rememberedLiveries[hexid] = *it;
}

TrafficRecord EngineHarness::record(uint32_t hexid, const std::string& callsign, const std::string& type, double lat,
                                    double lon, double altitudeFt, double groundSpeedKt, double trackDeg,
                                    double timestamp) {
    TrafficRecord r;
    r.identity.callsign = callsign;
    r.identity.icaoType = type;
    r.latitude = lat;
    r.longitude = lon;
    r.altitudeFt = altitudeFt;
    r.airborne = altitudeFt > 0.0 ? 1 : 0;
    r.groundSpeedKt = groundSpeedKt;
    r.trackDeg = trackDeg;
    r.airSpeedKt = groundSpeedKt;
    r.timestamp = timestamp;
    r.address = hexid;
    return r;
}

// Defined by the engine, which keeps it to itself.
int64_t gf_nowTicks100ns();

LiveAircraft& EngineHarness::standingLive(uint32_t hexid, const std::string& callsign, uint32_t objectId, double lat,
                                          double lon, MovementPhase phase) {
    TrafficRecord r = record(hexid, callsign, "A320", lat, lon, 0, 0, 0, 100);
    SimAircraft head;
    gf_makeAiRecord(head, r);
    head.id = hexid;
    LiveAircraft& ac = lf_appendLive(LiveAircraft(streamPointOf(r), head, 100.0));
    ac.stream.front().tick = engineTick.load() + 1000000;
    ac.stream.front().engineFlag = 1;
    ac.simState = SimState::Active;
    lf_setLiveObjectId(ac, objectId);
    ac.position[kPosLat] = lat;
    ac.position[kPosLon] = lon;
    ac.onGround = 1;
    ac.setPhase(phase);
    ac.parkedSince = gf_nowTicks100ns();
    return ac;
}

void EngineHarness::handOver(std::vector<TrafficRecord> batch, uint32_t delaySec) {
    // The feed as the engine gets it, each point due as the intake times it: the delay behind the batch's
    // median time stamp. A live batch that finds the last one still pending, or the intake closed, is lost.
    if (delaySec != 30 || (gf_feedIntakeOpen() && gf_pendingFeedSize() == 0)) {
        std::vector<double> stamps;
        for (const auto& r : batch)
            if (std::isfinite(r.timestamp)) stamps.push_back(r.timestamp);
        std::sort(stamps.begin(), stamps.end());
        const double median = stamps.empty() ? 0.0 : stamps[stamps.size() / 2];
        const uint32_t base = engineTick.load() + delaySec * 100u;
        for (const auto& r : batch) {
            const double offset =
                std::isfinite(r.timestamp) ? std::clamp((r.timestamp - median) * 100.0, -3.6e5, 3.6e5) : 0.0;
            feedTrack_[r.address].push_back(
                {base + static_cast<uint32_t>(static_cast<int32_t>(offset)), r.latitude, r.longitude});
        }
    }
    double last = 1.0;
    gf_mergeTrafficRecords(batch, delaySec, last);
}

void EngineHarness::answerSimulator() {
    std::vector<SimConnectCreateRequest> creations;
    std::vector<uint32_t> removals;
    {
        std::lock_guard lock(simQueueMutex);
        for (auto& c : createQueue) pendingCreations_.push_back(std::move(c));
        createQueue.clear();
        removals.swap(removeQueue);
        positionsSent += positionFrontBuffer->size();
        positionFrontBuffer->clear();
        eventsSent += eventQueue.size();
        eventQueue.clear();
    }
    const uint32_t now = engineTick.load();
    if (answerCreations) {
        creations.swap(pendingCreations_);
        for (auto& c : creations) {
            if (holdCreation && holdCreation(c)) {
                pendingCreations_.push_back(std::move(c));
                continue;
            }
            const bool live = c.hexid > 10000;
            if (refuseHexids.count(c.hexid)) {
                refused.push_back(c.hexid);
                gf_postEngineNotice(makeCreationAnswer(0, c.hexid, NoticeKind::CreateFailed, c.requestId));
                continue;
            }
            const uint32_t objectId = nextObjectId_++;
            created.push_back({objectId, c.hexid, c.callsign, std::string(c.title), now, live});
            objects.emplace(objectId, created.back());
            if (live) objectOfHexid[c.hexid] = objectId;
            gf_postEngineNotice(makeCreationAnswer(objectId, c.hexid,
                                                   live ? NoticeKind::LiveCreated : NoticeKind::StaticCreated,
                                                   c.requestId, live ? 3000.0 : 0.0));
        }
    }
    for (uint32_t objectId : removals) {
        removalsSent.insert(objectId);
        removalRequests.push_back(objectId);
    }
    if (answerRemovals) {
        for (uint32_t objectId : removals) {
            if (std::find(removed.begin(), removed.end(), objectId) != removed.end())
                violations.push_back(fmt::format("tick {}: object {} removed twice", now, objectId));
            removed.push_back(objectId);
            objects.erase(objectId);
            confirmedAt_.emplace(objectId, now);
            gf_postEngineNotice(makeNotice(objectId, 0, NoticeKind::ObjectRemoved));
        }
    }
}

void EngineHarness::checkInvariants() {
    const uint32_t now = engineTick.load();
    // No object id waits twice for its removal.
    std::vector<uint32_t> queued(removeFifo.begin(), removeFifo.end());
    std::sort(queued.begin(), queued.end());
    if (std::adjacent_find(queued.begin(), queued.end()) != queued.end())
        violations.push_back(fmt::format("tick {}: an object id is queued twice for removal", now));
    for (uint32_t id : queued)
        if (std::find(removed.begin(), removed.end(), id) != removed.end())
            violations.push_back(fmt::format("tick {}: object {} queued again after its removal", now, id));
    // No live aircraft waits for its creation for ever.
    std::map<uint32_t, uint32_t> waiting;
    for (const auto& ac : liveList) {
        if (ac.simState != SimState::Adding2Sim) continue;
        auto it = waitingSince_.find(ac.id);
        const uint32_t since = it == waitingSince_.end() ? now : it->second;
        waiting[ac.id] = since;
        if (tickDiff(now, since) > static_cast<int32_t>(maxCreationWait))
            violations.push_back(fmt::format("tick {}: {} stuck waiting for its creation", now, ac.identity.callsign));
    }
    waitingSince_ = std::move(waiting);
    // Every live aircraft appears once.
    std::vector<uint32_t> ids;
    for (const auto& ac : liveList) ids.push_back(ac.id);
    std::sort(ids.begin(), ids.end());
    if (std::adjacent_find(ids.begin(), ids.end()) != ids.end())
        violations.push_back(fmt::format("tick {}: a hexid is twice in the live list", now));
    // The hexid and object-id indexes hold exactly the aircraft of the list, at their places.
    if (const std::string mismatch = gf_liveIndexMismatch(); !mismatch.empty())
        violations.push_back(fmt::format("tick {}: live index: {}", now, mismatch));
    // An aircraft removing from the simulator has its removal queued or sent: nothing else would ever take
    // it out of its list, and a static one would hold its stand and count as parked for good. (One taken
    // out of its creation queue, or one without an object, leaves its list without any removal.)
    auto removalUnderWay = [&](uint32_t objectId) {
        return objectId != 0 && (std::find(removeFifo.begin(), removeFifo.end(), objectId) != removeFifo.end() ||
                                 removalsSent.count(objectId) != 0);
    };
    for (const auto& s : staticList)
        if (s.simState == SimState::RemovingFromSim && !s.removedFromQueue && !removalUnderWay(s.objectId))
            violations.push_back(fmt::format("tick {}: static {} removing without a queued or sent removal (object {})",
                                             now, s.identity.callsign, s.objectId));
    for (const auto& ac : liveList)
        if (ac.simState == SimState::RemovingFromSim && !ac.removeFromBuffer && !removalUnderWay(ac.objectId))
            violations.push_back(fmt::format("tick {}: {} removing without a queued or sent removal (object {})", now,
                                             ac.identity.callsign, ac.objectId));
    // Every object in the simulator is held by exactly one aircraft, or its removal is under way; an object
    // whose creation notice still waits in the inbox is not yet known to the engine. An aircraft flagged to
    // leave its list without a removal (removeFromBuffer, removedFromQueue) holds nothing: its object would
    // stay in the simulator for good. A static aircraft learns its object id only at the end of its light
    // set-up; until then it holds the object created for its id.
    std::set<uint32_t> announced;
    for (const SimNotice& n : gf_pendingEngineNotices())
        if (n.kind == static_cast<uint32_t>(NoticeKind::LiveCreated) ||
            n.kind == static_cast<uint32_t>(NoticeKind::StaticCreated))
            announced.insert(n.objectId);
    auto leaving = [](const SimAircraft& a) { return a.removeFromBuffer != 0 || a.removedFromQueue != 0; };
    for (const auto& [objectId, object] : objects) {
        if (removalUnderWay(objectId) || announced.count(objectId) != 0) continue;
        size_t holders = 0;
        for (const auto& ac : liveList) holders += ac.objectId == objectId && !leaving(ac);
        for (const auto& s : staticList)
            holders +=
                !leaving(s) && (s.objectId == objectId || (!object.live && s.objectId == 0 &&
                                                           s.simState == SimState::Adding2Sim && s.id == object.hexid));
        if (holders == 1 || !objectsReported_.insert(objectId).second) continue;
        if (holders == 0)
            violations.push_back(
                fmt::format("tick {}: object {} ({}) is in the simulator, held by no aircraft and with no removal "
                            "under way",
                            now, objectId, object.callsign));
        else
            violations.push_back(
                fmt::format("tick {}: object {} ({}) is held by {} aircraft", now, objectId, object.callsign, holders));
    }
    // An aircraft whose object is being removed is removing (or being created again with another livery):
    // one set back to active would count as in the simulator after its object is gone.
    auto checkHolder = [&](const SimAircraft& ac) {
        if (ac.objectId == 0 || !removalUnderWay(ac.objectId) || ac.simState == SimState::RemovingFromSim ||
            ac.simState == SimState::LiveryRespawn || !objectsReported_.insert(ac.objectId).second)
            return;
        violations.push_back(fmt::format("tick {}: {} is {} while the removal of its object {} is under way", now,
                                         ac.identity.callsign, simStateName(ac.simState), ac.objectId));
    };
    for (const auto& ac : liveList) checkHolder(ac);
    for (const auto& s : staticList) checkHolder(s);
    // A removal notice is drained on the next tick: an aircraft still in its list after that waits for good.
    auto confirmedLongAgo = [&](uint32_t objectId) {
        auto it = confirmedAt_.find(objectId);
        return objectId != 0 && it != confirmedAt_.end() && tickDiff(now, it->second) >= 1;
    };
    for (const auto& s : staticList)
        if (confirmedLongAgo(s.objectId))
            violations.push_back(fmt::format("tick {}: static {} still listed after its removal was confirmed", now,
                                             s.identity.callsign));
    for (const auto& ac : liveList)
        if (confirmedLongAgo(ac.objectId))
            violations.push_back(
                fmt::format("tick {}: {} still listed after its removal was confirmed", now, ac.identity.callsign));
}

void EngineHarness::notePositionsSent() {
    const uint32_t now = engineTick.load();
    std::lock_guard lock(simQueueMutex);
    for (const PositionUpdate& p : *positionFrontBuffer) {
        auto& track = simTrack_[p.objectId];
        if (track.empty() || tickDiff(now, track.back().tick) >= 100)
            track.push_back({now, p.position.latitude, p.position.longitude});
    }
}

void EngineHarness::checkFeedFollowed() {
    const uint32_t now = engineTick.load();
    if (tickDiff(now, lastFeedCheck_) >= 0 && tickDiff(now, lastFeedCheck_) < 100) return;
    lastFeedCheck_ = now;
    constexpr int32_t kMinute = 6000;
    const uint32_t from = now - 2 * kMinute;  // the feed's minute starts here, the simulator's two minutes too
    auto span = [](const std::vector<TrackSample>& track, uint32_t begin, uint32_t end) {
        const TrackSample* first = nullptr;
        double farthest = 0.0;
        for (const auto& s : track) {
            if (tickDiff(s.tick, begin) < 0 || tickDiff(s.tick, end) > 0) continue;
            if (!first)
                first = &s;
            else
                farthest = std::max(farthest, gf_distanceNm(LatLon{first->latitude, first->longitude},
                                                            LatLon{s.latitude, s.longitude}));
        }
        return farthest;
    };
    std::map<uint32_t, std::pair<uint32_t, uint32_t>> inSim;
    for (const auto& ac : liveList) {
        if (ac.simState != SimState::Active || ac.objectId == 0 || ac.removeFromBuffer || ac.removedFromQueue) continue;
        auto it = inSimSince_.find(ac.id);
        const uint32_t since = it != inSimSince_.end() && it->second.first == ac.objectId ? it->second.second : now;
        inSim[ac.id] = {ac.objectId, since};
        if (tickDiff(now, since) < 2 * kMinute || standingReported_.count(ac.id) != 0) continue;
        auto feed = feedTrack_.find(ac.id);
        if (feed == feedTrack_.end()) continue;
        const double feedNm = span(feed->second, from, from + kMinute);
        if (feedNm <= feedMoveNm) continue;
        const double simNm = span(simTrack_[ac.objectId], from, now);
        if (simNm >= simMoveNm) continue;
        standingReported_.insert(ac.id);
        violations.push_back(fmt::format("tick {}: {} stands still in the simulator ({:.2f} nm in two minutes) while "
                                         "its feed moved {:.1f} nm in a minute",
                                         now, ac.identity.callsign, simNm, feedNm));
    }
    inSimSince_ = std::move(inSim);
    // What lies before the windows is of no use any more.
    auto old = [&](const TrackSample& s) { return tickDiff(s.tick, from) < 0; };
    for (auto it = feedTrack_.begin(); it != feedTrack_.end();) {
        std::erase_if(it->second, old);
        it = it->second.empty() ? feedTrack_.erase(it) : std::next(it);
    }
    for (auto it = simTrack_.begin(); it != simTrack_.end();) {
        std::erase_if(it->second, old);
        it = it->second.empty() ? simTrack_.erase(it) : std::next(it);
    }
}

void EngineHarness::tick(int n) {
    for (int i = 0; i < n; ++i) {
        gf_engineTick();
        notePositionsSent();
        answerSimulator();
        checkInvariants();
        checkFeedFollowed();
    }
}

void EngineHarness::serveWindowRequests() {
    gf_serveWindowRequests();
    checkInvariants();
}

void EngineHarness::moveUser(double lat, double lon, double altitudeFt, bool onGround, double groundSpeedKt) {
    userMoved_ = true;
    reportUserAircraft(lat, lon, altitudeFt, onGround, groundSpeedKt);
    userState = gf_linkUserState();
}

bool EngineHarness::tickUntil(const std::function<bool()>& done, int maxTicks) {
    for (int i = 0; i < maxTicks; ++i) {
        if (done()) return true;
        tick();
    }
    return done();
}
