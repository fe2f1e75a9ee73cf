// The engine's side of its inbox (shell/engine_inbox.h): the notices drained by the run thread
// once per tick; and the light set-up of every new object over its first 200 ticks.
#include "engine/notices.h"

#include <algorithm>
#include <mutex>

#include <fmt/format.h>

#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/aircraft_liveries.h"
#include "engine/engine_state.h"
#include "engine/flight_plan.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "shell/run_flags.h"
#include "simlink/commands.h"

namespace {
// A new object's light set-up: its creation notice and the ticks counted so far (-1 = done).
struct LightToggle {
    SimNotice notice;
    int32_t ticks = 0;
};
std::vector<LightToggle> lightToggleList;  // under inboxMutex

constexpr double kDeg = 0.017453292519943295;

void lf_objectRemoved(const SimNotice& n) {
    lf_removalConfirmed(n.objectId);
    lf_objectGone(n.objectId);
}

void lf_groundInfo(const SimNotice& n) {
    LiveAircraft* ac = gf_liveByObjectId(n.objectId);
    if (!ac) return;
    if (n.id == 1 && !ac->onGround && ac->rotationCountdown < 2) lf_onGroundContact(*ac);
    ac->heightAglFt = n.b;
    if (ac->onGround || ac->rotationCountdown >= 2) ac->position[kPosAlt] = ac->staticCgFt + n.a;
}

void lf_staticCg(const SimNotice& n) {
    LiveAircraft* ac = gf_liveByObjectId(n.objectId);
    if (!ac) return;
    if (n.a >= 1.0 && n.a <= 35.0)
        ac->staticCgFt = n.a;
    else if (LOG.value.load())
        gf_log(fmt::format("{}: static CG {:.1F}ft wrong?", acLabel(*ac), n.a));
    ac->staticPitch = (n.b <= -1.0 * kDeg || n.b > 0.04363323129985824) ? 0.012217304763960306 : n.b;
}

void lf_blocked(const SimNotice& n) {
    LiveAircraft* ac = gf_liveByHexid(n.id);
    if (!ac) return;
    if (ac->simState == SimState::Buffer) {
        gf_log(fmt::format("{} will be removed from buffer while blocked", acLabel(*ac)));
        ac->removeFromBuffer = 1;
    } else if (ac->simState == SimState::Active) {
        gf_log(fmt::format("{} removed from simulator immediately while blocked", acLabel(*ac)));
        removeAircraftFromSim(*ac);
    }
}

// A created object that no aircraft waits for: the answer to a creation given up before, or to one whose
// aircraft left its list meanwhile (and may be back, waiting for a creation of its own). Nothing else would
// ever take it out of the simulator.
void lf_removeUnclaimedObject(const SimNotice& n) {
    if (n.objectId < 3) return;
    gf_log(fmt::format("object {} created for {} by request {}, which no aircraft waits for, is removed", n.objectId,
                       n.id, n.request));
    gf_queueRemoval(n.objectId);
}

// A refusal of a creation that no aircraft waits for any more changes nothing.
void lf_createFailed(const SimNotice& n) {
    SimAircraft* refused = lf_creationAnswered(n.id, n.request);
    if (!refused) return;
    gf_liveryNotCreated(*refused);
    // An aircraft placed at a stand never got there: the stand is free again.
    lf_dropUncreated(*refused);
}

void lf_handleNotice(const SimNotice& n) {
    // Object id 0 names no object: such a notice must not match an aircraft that has no object yet.
    const auto kind = static_cast<NoticeKind>(n.kind);
    if (n.objectId == 0 &&
        (kind == NoticeKind::ObjectRemoved || kind == NoticeKind::GroundInfo || kind == NoticeKind::StaticCg))
        return;
    switch (static_cast<NoticeKind>(n.kind)) {
    case NoticeKind::LiveCreated: {
        // The object is the aircraft's only when it answers the creation the aircraft waits for, whatever
        // state the aircraft is in (an aircraft back after a creation given up waits for a new one).
        SimAircraft* owner = n.id > 10000 ? lf_creationAnswered(n.id, n.request) : nullptr;
        if (!owner) {
            lf_removeUnclaimedObject(n);
            break;
        }
        if (lf_onLiveCreated(static_cast<LiveAircraft&>(*owner), n)) lightToggleList.push_back(LightToggle{n});
        break;
    }
    case NoticeKind::StaticCreated: {
        if (n.id > 10000 || !lf_creationAnswered(n.id, n.request)) {
            lf_removeUnclaimedObject(n);
            break;
        }
        lightToggleList.push_back(LightToggle{n});
        break;
    }
    case NoticeKind::ObjectRemoved: lf_objectRemoved(n); break;
    case NoticeKind::GroundInfo: lf_groundInfo(n); break;
    case NoticeKind::StaticCg: lf_staticCg(n); break;
    case NoticeKind::Blocked: lf_blocked(n); break;
    case NoticeKind::CreateFailed: lf_createFailed(n); break;
    default: break;
    }
}

}  // namespace

void lf_objectGone(uint32_t objectId) {
    if (LiveAircraft* found = gf_liveByObjectId(objectId)) {
        LiveAircraft& ac = *found;
        if (ac.simState == SimState::LiveryRespawn) {
            // The next object gets a plan of its own; this one's file is not left behind.
            if (ac.hasFlightPlan) gf_deleteFlightPlan(ac.objectId);
            ac.hasFlightPlan = 0;
            ac.simState = SimState::Buffer;
            ac.throttleIndex = kNoThrottleSent;
            ac.flapsIndex = kNoFlapsSent;
            lf_setLiveObjectId(ac, 0);
            return;
        }
        if (ac.hasFlightPlan) gf_deleteFlightPlan(ac.objectId);
        // Also an object the simulator took out on its own: its stand is offered again.
        lf_releaseStand(ac);
        lf_eraseLive(static_cast<size_t>(&ac - liveList.data()));
        return;
    }
    for (size_t i = 0; i < staticList.size(); ++i) {
        if (staticList[i].objectId != objectId) continue;
        if (i + 1 != staticList.size()) staticList[i] = std::move(staticList.back());
        staticList.pop_back();
        return;
    }
}

// One tick of one new object's light set-up; `finished` is raised when the entry is done.
void gf_allLightsToggle(LightToggle& toggle, bool& finished) {
    const SimNotice& entry = toggle.notice;
    int32_t& ticks = toggle.ticks;
    if (ticks < 0) return;
    if (entry.kind == static_cast<uint32_t>(NoticeKind::LiveCreated)) {
        if (ticks < 200) {
            ++ticks;
            if (ticks == 50 || ticks == 100) {
                if (!lf_allLightsToggleNow(entry.objectId)) {
                    gf_logError("SimConnect gf_allLightsToggle fails");
                    gf_logSimConnectRequestError();
                }
            }
        }
        if (ticks >= 200) {
            ticks = -1;
            finished = true;
            // Only the aircraft that holds the object: one with the same hexid may hold another by now.
            if (LiveAircraft* ac = gf_liveByHexid(entry.id); ac && ac->objectId == entry.objectId) {
                lf_initialLights(*ac);
                if (ac->removeWhenCreated) {
                    ac->removeWhenCreated = 0;
                    removeAircraftFromSim(*ac);
                }
            }
        }
        return;
    }
    if (ticks < 200) ++ticks;
    if (ticks >= 200) {
        ticks = -1;
        finished = true;
        // A static learns its object id here: the one with the entry's id that still waits for it.
        if (SimAircraft* ac = lf_aircraftById(entry.id);
            ac && ac->simState == SimState::Adding2Sim && ac->objectId == 0) {
            ac->simState = SimState::Active;
            ac->objectId = entry.objectId;
            parkedLightPattern(*ac);
            if (LOG.value.load())
                gf_log(fmt::format("{:8}: {:8} parked", gf_standNameById(ac->standId), ac->identity.callsign));
            if (ac->removeWhenCreated) {
                ac->removeWhenCreated = 0;
                removeAircraftFromSim(*ac);
            }
        }
    }
}

void gf_drainEngineInbox() {
    std::lock_guard lock(inboxMutex);
    for (const auto& n : engineInbox) lf_handleNotice(n);
    engineInbox.clear();
    bool anyFinished = false;
    for (auto& entry : lightToggleList) gf_allLightsToggle(entry, anyFinished);
    if (anyFinished)
        lightToggleList.erase(std::remove_if(lightToggleList.begin(), lightToggleList.end(),
                                             [](const LightToggle& e) { return e.ticks < 0; }),
                              lightToggleList.end());
}

void lf_clearInboxAndLights() {
    std::lock_guard lock(inboxMutex);
    engineInbox.clear();
    lightToggleList.clear();
    static bool reserved = false;
    if (!reserved) {
        reserved = true;
        engineInbox.reserve(256);
        lightToggleList.reserve(128);
    }
}

size_t gf_lightToggleCount() {
    std::lock_guard lock(inboxMutex);
    return lightToggleList.size();
}
