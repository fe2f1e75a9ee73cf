#include "app/main_loop.h"

#include "airports/learned.h"
#include "airports/parking.h"
#include "app/main_window.h"
#include "app/run_services.h"
#include "app/window_proc.h"
#include "app/window_requests.h"
#include "engine/aircraft.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/static_parking.h"
#include "engine/upkeep.h"
#include "foundation/clock.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "platform/os/os.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/run_flags.h"
#include "simlink/commands.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <unordered_map>

std::atomic<std::uint32_t> secondCounter{0};
std::atomic<std::uint8_t> objectIdCallsignChanged{0};
std::atomic<std::uint8_t> blockedCallsignChanged{0};
std::atomic<std::uint8_t> matchListClearRequested{0};
std::atomic<std::uint8_t> planningUnderway{0};
std::atomic<std::uint8_t> flightPaused{0};
std::atomic<std::int64_t> lastSimTimeSeen{0};

namespace {
using namespace std::chrono_literals;
using Nanos = std::chrono::nanoseconds;

constexpr Nanos stepPeriod = 10ms;
constexpr Nanos oneDay = std::chrono::hours(24);

std::int32_t notRunningCountdown = 100;  // run thread only
// Positions seen by the collision checks (run thread only).
LatLon lastUserCheckPosition{};
std::unordered_map<std::uint32_t, LatLon> lastTaxiCheckPosition;

bool isActive(const SimAircraft& ac) { return ac.simState == SimState::Active; }

RunServices& svc() { return gf_runServices(); }
bool stopOrClosed() { return stopRequested.load() != 0 || userClosed.load() != 0; }
void storeWeekSlot() { weekSlot.exchange(gf_weekSlot().packed()); }

// The timer resolution is raised while the loop runs and restored however the loop ends.
class TimerResolution {
public:
    TimerResolution() { os::timeBeginPeriod(1); }
    ~TimerResolution() { os::timeEndPeriod(1); }
    TimerResolution(const TimerResolution&) = delete;
    TimerResolution& operator=(const TimerResolution&) = delete;
};

void sleepUntilDeadline(Clock::SteadyTime deadline) {
    for (;;) {
        const Nanos remaining = deadline - gf_steadyNow();
        if (remaining <= Nanos::zero()) return;
        if (remaining > oneDay) {
            gf_sleepFor(std::chrono::milliseconds(86400000));
            continue;
        }
        gf_sleepFor(std::chrono::ceil<std::chrono::milliseconds>(remaining));
    }
}
}  // namespace

void gf_resetMainLoopState() {
    secondCounter.store(0);
    flightPaused.store(0);
    renewalRequested.store(0);
    planningUnderway.store(0);
    blockedCallsignChanged.store(0);
    objectIdCallsignChanged.store(0);
    // The clean-up zeroes the time shift: the next run derives it from the simulator's clock again at once.
    lastSimTimeSeen.store(0);
    notRunningCountdown = 100;
    gf_resetWindowRequests();
    lastUserCheckPosition = LatLon{};
    lastTaxiCheckPosition.clear();
}

void lf_mainLoop() {
    RunServices& s = svc();
    // A destination set by the run preparation joins the park airports before the first parking step.
    gf_serveWindowRequests();
    s.updateParking(true);
    s.setStatusLights();
    secondCounter.store(0);
    auto deadline = gf_steadyNow() + stepPeriod;
    storeWeekSlot();
    s.setFeedIntake(true);
    s.enableObjectIdField();

    TimerResolution resolution;
    while (lf_mainStep()) {
        if (std::chrono::duration_cast<std::chrono::milliseconds>(deadline - gf_steadyNow()).count() > 0)
            sleepUntilDeadline(deadline);
        // Each once-a-second answer of the simulator pulls the schedule to the moment of its arrival.
        if (secondTick.load() != 0) deadline = gf_steadyNow();
        deadline += stepPeriod;
    }
}

bool lf_mainStep() {
    RunServices& s = svc();
    gf_serveWindowRequests();
    if (simRunning.load() == 0 || simConnectError.load() != 0) {
        lf_flightNotRunning();
        return !stopOrClosed();
    }
    s.engineTick();
    std::uint8_t tick = 1;
    // A stop raised by another thread ends the loop at once, also while the once-a-second answers are missing.
    if (!secondTick.compare_exchange_strong(tick, 0)) return !stopOrClosed();
    lf_perSecondStep();
    if (stopOrClosed()) return false;

    const std::uint32_t c = secondCounter.load();
    if (c % 15 != 0) {
        if (c % 16 == 0 && planningUnderway.load() == 0) s.updateParking(false);
        if (c % 61 == 0) s.removeStaticTwinsOfLive();
        if (c % 62 == 0 && CALLSIGN_OBJECTIDS.value.load() && MSFS_2020.value.load()) s.writeCallsignObjectIds();
        return true;
    }
    s.setStatusLights();
    s.setOwnPosition(s.userPosition());
    s.setQueryBox();
    if (s.reservedStandSet()) s.clearReservedStand();
    lf_rereadRequest();
    lf_every15Step(c);
    return true;
}

void lf_perSecondStep() {
    RunServices& s = svc();
    if (flightPaused.exchange(0) != 0) {
        gf_log(fmt::format("{} Flight resumed", gf_nowText()));
        s.setFeedIntake(true);
    }
    s.statusSecondStep();
    gf_recountLive();
    storeWeekSlot();

    if (s.professionalAccount() && SIM_TIME.value.load()) {
        const std::int64_t e = s.simUtcSeconds();
        if (std::llabs(e - lastSimTimeSeen.load()) >= 30) {
            // Whole minutes by which the simulator's time lies behind the real time; none when it is ahead.
            const std::int64_t m = (gf_unixTime() - e) / 60;
            s.setTimeShift(m < 1 ? 0 : static_cast<std::int32_t>(m), false);
        }
        lastSimTimeSeen.store(e);
    }

    secondCounter.fetch_add(1);
    s.coupledCallsignCheck();

    if (objectIdCallsignChanged.load() != 0) {
        s.showCallsignObjectId();
        objectIdCallsignChanged.store(0);
    }
    if (flushStaticRequested.load() != 0) {
        s.flushStaticAircraft();
        flushStaticRequested.store(0);
        if (!INITIAL_LOAD_ONLY.value.load()) {
            INITIAL_LOAD_ONLY.value.store(true);
            s.setCheck(INITIAL_LOAD_ONLY.controlId, true);
        }
    }
    s.userCollisions();
    if (COLLISION_LIVE_PARKED_GND.value.load()) s.liveParkedCollisions();
    if (blockedCallsignChanged.load() != 0) {
        if (!BLOCK_CALLSIGN.value().empty()) s.blockCallsign();
        blockedCallsignChanged.store(0);
    }
}

void lf_every15Step(std::uint32_t c) {
    RunServices& s = svc();
    if (renewalRequested.load() != 0) {
        if (planningUnderway.load() == 0) {
            // The renewal itself waits for the next 15-second step.
            planningUnderway.store(1);
            s.disableParkingControls();
            s.setBufferedMode();
        } else {
            planningUnderway.store(0);
            s.clearHeldError();
            if (s.parkAirportCurrent() && s.standsPresent()) {
                s.adjustParking(renewalPtOnly.load());
                renewalPtOnly.store(0);
            }
            renewalRequested.store(0);
        }
    }
    if (c % 30 != 0) return;
    if (matchListClearRequested.load() != 0) {
        s.clearUnmatchedKeys();
        matchListClearRequested.store(0);
    }
    if (AUTO_RANGE.value.load()) s.autoRange();
    if (c % 60 == 0) s.showMinutesToRenewal(20 - (c / 60) % 20);
    if (c % 1200 == 0) {
        s.logNoMatches();
        if (parkingActive.load() != 0 && (!INITIAL_LOAD_ONLY.value.load() || RT_PARKTRAFFIC_ONLY.value.load()) &&
            renewalRequested.load() == 0)
            renewalRequested.store(1);
    }
    if (c % 86400 == 0) {
        secondCounter.store(0);
        s.writeMatchingSummary();
        s.clearRunMatchKeys();
    }
}

void lf_flightNotRunning() {
    RunServices& s = svc();
    if (flightPaused.load() == 0) {
        s.setFeedIntake(false);
        flightPaused.store(1);
        notRunningCountdown = 100;
        s.clearPositionBuffers();
        gf_log(fmt::format("{} Flight not running", gf_nowText()));
    }
    s.drainEngineInbox();
    notRunningCountdown -= 1;
    if (notRunningCountdown % 100 == 0) {
        lf_rereadRequest();
        s.setQueryBox();
    }
    if (notRunningCountdown < 1) {
        notRunningCountdown = 100;
        gf_recountLive();
        storeWeekSlot();
    }
}

void lf_rereadRequest() {
    if (reReadRequested.load() == 0 || uiBusy.load() != 0) return;
    RunServices& s = svc();
    std::string message;
    if (s.rereadParkAirports(message)) s.showStatus(message, true);
    s.enableRereadControls();
    reReadRequested.store(0);
}

void gf_recountLive() { svc().recountLive(); }

void lf_removeStaticTwinsOfLive() {
    if (staticList.empty() || liveList.empty()) return;
    for (const LiveAircraft& live : liveList) {
        if (live.onGround == 0 || !isActive(live)) continue;
        const std::string staticCallsign = live.identity.callsign + "*";
        for (SimAircraft& st : staticList) {
            const bool twin =
                st.identity.callsign == staticCallsign ||
                (!live.identity.registration.empty() && st.identity.registration == live.identity.registration);
            if (twin && isActive(st)) {
                gf_logRemoval(st, fmt::format("live {} is on the ground", live.identity.callsign));
                removeAircraftFromSim(st);
                break;
            }
        }
    }
}

void lf_userCollisions() {
    const LatLon user{userState.latitude, userState.longitude};
    if (userOnGround.load() == 0) {
        if (!COLLISION_USER_AIR.value.load()) return;
        for (LiveAircraft& ac : liveList)
            if (gf_checkUserWay(ac)) return;
        return;
    }
    if (!COLLISION_USER_GND.value.load()) return;
    const double userSpan = userHalfWingSpanNm.load();
    for (LiveAircraft& ac : liveList) {
        if (ac.onGround == 0 || !isActive(ac)) continue;
        if (gf_distanceNm(user, LatLon{ac.position[kPosLat], ac.position[kPosLon]}) <=
            (userSpan + ac.halfSpanNm) * 1.15) {
            removeAircraftFromSim(ac);
            return;
        }
    }
    if (user.latitude == lastUserCheckPosition.latitude && user.longitude == lastUserCheckPosition.longitude) return;
    lastUserCheckPosition = user;
    for (SimAircraft& st : staticList) {
        if (!isActive(st)) continue;
        if (gf_distanceNm(user, LatLon{st.standLatitude, st.standLongitude}) <= (userSpan + st.halfSpanNm) * 1.1) {
            gf_logRemoval(st, "in the way of the user's aircraft");
            removeAircraftFromSim(st);
            return;
        }
    }
}

void lf_liveParkedCollisions() {
    if (staticList.empty()) return;
    for (const LiveAircraft& ac : liveList) {
        if (ac.onGround == 0 || (ac.phase != MovementPhase::Taxi && ac.phase != MovementPhase::Parking)) continue;
        if (!isActive(ac) || ac.takingOff != 0 || ac.rollingOut != 0) continue;
        const LatLon now{ac.position[kPosLat], ac.position[kPosLon]};
        auto [it, added] = lastTaxiCheckPosition.try_emplace(ac.id, now);
        if (!added) {
            if (it->second.latitude == now.latitude && it->second.longitude == now.longitude) continue;
            it->second = now;
        }
        gf_collisionAvoidance(ac);
    }
}

void lf_blockCallsign() {
    const std::string blocked = BLOCK_CALLSIGN.value();
    for (LiveAircraft& ac : liveList) {
        if (isActive(ac) && ac.identity.callsign == blocked) {
            removeAircraftFromSim(ac);
            return;
        }
    }
}

void lf_countLiveAircraft() {
    std::uint64_t count = 0;
    for (const LiveAircraft& ac : liveList)
        if (isActive(ac) && ac.phase != MovementPhase::Parked) ++count;
    if (mainWindow.liveCount.exchange(count) != count) mainWindow.invalidate(panel::status);
    const float staticShown = mainWindow.staticParkFigure.load();
    const float liveShown = mainWindow.liveParkFigure.load();
    gf_refreshStaticParkFigure(true);
    gf_refreshLiveParkFigure(true);
    if (mainWindow.staticParkFigure.load() != staticShown || mainWindow.liveParkFigure.load() != liveShown)
        mainWindow.invalidate(panel::statistics);
    // "# updates": the stand changes learned at the park airport since it was entered or last saved.
    const std::uint32_t updates = learnedUpdateCount.load();
    if (mainWindow.updateCount.exchange(updates) != updates) mainWindow.invalidate(panel::statistics);
}

void lf_coupledCallsignCheck() {
    if (standCheckList.empty()) return;
    const std::uint32_t id = standCheckList.front();
    standCheckList.erase(standCheckList.begin());
    // An id whose aircraft has left the list is dropped too: nothing could ever serve it, and the ids behind
    // it would wait for ever.
    auto live = std::find_if(liveList.begin(), liveList.end(), [id](const LiveAircraft& ac) { return ac.id == id; });
    if (live == liveList.end() || live->identity.callsign.empty()) return;
    for (SimAircraft& st : staticList) {
        if (gf_removeDuplicates(*live, st)) {
            removeAircraftFromSim(st);
            return;
        }
    }
}
