// Static placement, parked-live housekeeping, park figures and the user's way.
#include "engine/static_parking.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include <fmt/format.h>

#include "airports/park_list.h"
#include "airports/parking.h"
#include "catalogue/catalogue.h"
#include "engine/aircraft_liveries.h"
#include "engine/engine_state.h"
#include "engine/static_jobs.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/time_text.h"
#include "shell/display.h"
#include "simlink/commands.h"

int64_t gf_nowTicks100ns();

namespace {

uint32_t staticIdCounter = 0;

// Turns a job waits for the confirmation of a removal that has been sent, 4 s at one turn every 50 ticks. A
// removal still queued is not counted: the queue sends one every 10 ticks.
constexpr uint8_t kMaxRemovalWaits = 8;

bool onStandOrAdjacent(uint32_t standId, const ParkPos& jobStand) {
    return standId == jobStand.id ||
           std::find(jobStand.coupledIds.begin(), jobStand.coupledIds.end(), standId) != jobStand.coupledIds.end();
}

// A static whose removal is queued or sent, or whose creation order was taken back: it leaves its list
// with the removal notice, or with this tick's compaction.
bool onItsWayOut(const SimAircraft& s) { return s.simState == SimState::RemovingFromSim || s.removedFromQueue != 0; }

bool removalStillQueued(const SimAircraft& s) {
    return s.removedFromQueue != 0 || std::find(removeFifo.begin(), removeFifo.end(), s.objectId) != removeFifo.end();
}

enum class JobTurn {
    place,
    wait,
    usedUp
};

// What the job's turn brings, by what stands on its stand or on a stand coupled to it: a live aircraft
// parked or parking there, or a static in the simulator or being created there, uses the job up. Statics
// on their way out make it wait: while a removal is still queued, and then kMaxRemovalWaits turns for the
// confirmation. A refusal is logged with LOG on.
JobTurn lf_jobTurn(StaticJob& job, const ParkPos& stand, bool log) {
    for (const auto& live : liveList) {
        if (live.phase != MovementPhase::Parked && live.phase != MovementPhase::Parking) continue;
        if (!onStandOrAdjacent(live.standId, stand)) continue;
        if (log) {
            if (live.standId == stand.id)
                gf_log(fmt::format("{:8}: no static parking for {}, live aircraft {} standing here", stand.name,
                                   job.identity0, live.identity.callsign));
            else
                gf_log(fmt::format(
                    "{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding",
                    stand.name, job.identity0, live.identity.callsign, gf_standNameById(live.standId)));
        }
        return JobTurn::usedUp;
    }
    const SimAircraft* leaving = nullptr;
    bool queued = false;
    for (const auto& s : staticList) {
        if (!onStandOrAdjacent(s.standId, stand)) continue;
        if (onItsWayOut(s)) {
            if (!leaving) leaving = &s;
            queued = queued || removalStillQueued(s);
            continue;
        }
        if (log)
            gf_log(
                fmt::format("{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
                            stand.name, job.identity0, s.identity.callsign, gf_standNameById(s.standId)));
        return JobTurn::usedUp;
    }
    if (!leaving) return JobTurn::place;
    if (queued) return JobTurn::wait;
    if (job.removalWaits < kMaxRemovalWaits) {
        ++job.removalWaits;
        return JobTurn::wait;
    }
    if (log)
        gf_log(fmt::format("{:8}: no static parking for {}, the removal of static aircraft {} at {} is not confirmed",
                           stand.name, job.identity0, leaving->identity.callsign, gf_standNameById(leaving->standId)));
    return JobTurn::usedUp;
}

struct ParkedEntry {
    uint32_t hexid;
    int64_t seconds;
};

std::vector<ParkedEntry> lf_parkedLiveList() {
    std::vector<ParkedEntry> list;
    const int64_t now = gf_nowTicks100ns();
    for (const auto& ac : liveList)
        if (ac.simState == SimState::Active && ac.phase == MovementPhase::Parked)
            list.push_back({ac.id, (now - ac.parkedSince) / 10000000});
    std::sort(list.begin(), list.end(),
              [](const ParkedEntry& a, const ParkedEntry& b) { return a.seconds > b.seconds; });
    return list;
}

// How many half-hours before now an aircraft was parked, counted back around the week, so that
// a Monday slot counts as later than a Sunday one when the week has just wrapped. Ordering by this
// age (rather than by weekday number) keeps the sort a strict weak order.
uint32_t slotAge(uint64_t packed, const WeekSlot& now) {
    constexpr int32_t kWeek = 7 * 48;
    const WeekSlot s = WeekSlot::fromPacked(packed);
    const int32_t at = static_cast<int32_t>(s.weekday) * 48 + static_cast<int32_t>(s.slot);
    const int32_t current = static_cast<int32_t>(now.weekday) * 48 + static_cast<int32_t>(now.slot);
    return static_cast<uint32_t>(((current - at) % kWeek + kWeek) % kWeek);
}

}  // namespace

uint32_t lf_nextStaticId() {
    // Notices find a static by its id: one that stays through a whole round keeps its id to itself.
    for (uint32_t tries = 0; tries < 9999; ++tries) {
        staticIdCounter = staticIdCounter >= 9999 ? 1 : staticIdCounter + 1;
        if (std::none_of(staticList.begin(), staticList.end(),
                         [](const SimAircraft& s) { return s.id == staticIdCounter; }))
            return staticIdCounter;
    }
    return 0;
}

void gf_resetStaticIdCounter() { staticIdCounter = 0; }

std::string lf_detcs(const StaticJob& job) {
    const std::string& preferred = job.preferA ? job.callsignA : job.callsignB;
    const std::string& other = job.preferA ? job.callsignB : job.callsignA;
    std::string cs = preferred.empty() ? other : preferred;
    if (cs.empty()) {
        gf_logError(fmt::format("{} callsign is empty..", "lf_detcs"));
        return {};
    }
    while (!cs.empty() && cs.back() == '_') cs.pop_back();
    if (cs.empty() || cs.back() != '*') cs = fmt::format("{}{}", cs, "*");
    return cs;
}

void gf_placeStaticAircraft() {
    if (staticJobs.empty() || currentStands.empty()) return;
    ParkPos* stand = gf_findStandById(staticJobs.back().standId);
    if (stand) {
        // A job whose stand is being cleared for it (the renewal replaces the static there) stays last.
        const JobTurn turn = lf_jobTurn(staticJobs.back(), *stand, LOG.value.load());
        if (turn == JobTurn::wait) return;
        if (turn == JobTurn::usedUp) {
            staticJobs.pop_back();
            return;
        }
    }
    const StaticJob job = staticJobs.back();
    staticJobs.pop_back();
    if (!stand) {
        gf_logError(fmt::format("stand with id {} not found", gf_standNameById(job.standId)));
        return;
    }
    const uint32_t id = lf_nextStaticId();
    if (id == 0) {
        gf_logError(
            fmt::format("{:8}: no static parking for {}, every static id is in use", stand->name, job.identity0));
        return;
    }
    const std::string callsign = !job.callsignA.empty() ? lf_detcs(job) : fmt::format("{}{}{}", job.identity0, id, "*");
    TrafficRecord record;
    record.identity.airline = job.identity0;
    record.identity.icaoType = job.icaoType;
    record.identity.callsign = callsign;
    record.identity.identity6 = job.callsignA;
    record.identity.identity7 = job.callsignB;
    record.identity.registration = job.registration;
    SimAircraft head;
    gf_makeAiRecord(head, record);
    head.id = id;
    staticList.emplace_back(head, stand->id, stand->latitude, stand->longitude, stand->heading, stand->cargo);
    SimAircraft& ac = staticList.back();
    if (!gf_matchStaticLivery(ac, *stand)) {
        staticList.pop_back();
        return;
    }
    ac.planned = job.planned;
    ac.feedHexid = job.feedHexid;
    WeekSlot slot = gf_currentWeekSlot();
    int32_t half = static_cast<int32_t>(slot.slot) - static_cast<int32_t>(job.ageSlots);
    while (half < 0) {
        half += 48;
        slot.weekday = slot.weekday <= 1 ? 7 : slot.weekday - 1;
    }
    slot.slot = static_cast<uint32_t>(half);
    ac.parkedSlot = slot.packed();
    ac.simState = SimState::Adding2Sim;
    SpawnOrder order;
    order.latitude = stand->latitude;
    order.longitude = stand->longitude;
    order.altitude = 0.0;
    order.pitch = 0.0;
    order.bank = 0.0;
    order.heading = stand->heading * 57.29577951308232;
    order.onGround = 1;
    order.airspeed = 0;
    order.callsign = ac.identity.callsign;
    order.title = ac.liveryTitle;
    order.id = ac.id;
    staticCreateFifo.push_back(std::move(order));
}

void gf_keepParkedWithinPlan(int extra) {
    if (RT_PARKTRAFFIC_ONLY.value.load()) return;
    const auto parked = lf_parkedLiveList();
    const int64_t live = static_cast<int64_t>(parked.size()) + extra;
    const int32_t wanted = gf_wantedParkedCount();
    if (!INITIAL_LOAD_ONLY.value.load() && wanted >= 1 && live > wanted && !parked.empty()) {
        for (auto& ac : liveList) {
            if (ac.id != parked.front().hexid || ac.simState != SimState::Active) continue;
            gf_log(fmt::format("{:}: {:8} max park exceeded, removed", gf_standNameById(ac.standId),
                               ac.identity.callsign));
            removeAircraftFromSim(ac);
            break;
        }
    }
    const auto statics = std::count_if(staticList.begin(), staticList.end(), [](const SimAircraft& s) {
        return s.simState == SimState::Active || s.simState == SimState::RemovingFromSim;
    });
    if (statics == 0) return;
    if (statics + live > wanted) {
        const WeekSlot now = gf_currentWeekSlot();
        std::sort(staticList.begin(), staticList.end(), [&](const SimAircraft& a, const SimAircraft& b) {
            return slotAge(a.parkedSlot, now) < slotAge(b.parkedSlot, now);
        });
        SimAircraft& earliest = staticList.back();
        if (earliest.simState == SimState::Active) {
            gf_log(fmt::format("{:}: {:8} max park exceeded, removed", gf_standNameById(earliest.standId),
                               earliest.identity.callsign));
            removeAircraftFromSim(earliest);
        }
    }
}

void gf_removeLiveParked(size_t count) {
    const auto parked = lf_parkedLiveList();
    std::set<uint32_t> ids;
    for (size_t i = 0; i < std::min(count, parked.size()); ++i) ids.insert(parked[i].hexid);
    for (auto& ac : liveList) {
        if (!ids.count(ac.id)) continue;
        gf_log(fmt::format("live parked {} at {} removed", acLabel(ac), gf_standNameById(ac.standId)));
        removeAircraftFromSim(ac);
    }
}

namespace {
template <typename List, typename Pred>
size_t refreshFigure(const List& list, Pred counts, bool show, std::atomic<float>& figure) {
    size_t n = 0;
    int64_t slots = 0;
    const WeekSlot now = gf_currentWeekSlot();
    for (const auto& ac : list) {
        if (!counts(ac)) continue;
        ++n;
        slots += gf_slotDistance(WeekSlot::fromPacked(ac.parkedSlot), now);
    }
    if (show) {
        const float value = n == 0 ? 0.0f : static_cast<float>(static_cast<double>(slots) / (2.0 * n) + 0.5);
        if (figure.exchange(value) != value) mainWindow.invalidate();
    }
    return n;
}

// The count shown beside each figure follows it whenever the figure is refreshed for the window.
void showCount(bool show, size_t n, std::atomic<std::uint64_t>& shown) {
    if (show && shown.exchange(n) != n) mainWindow.invalidate();
}
}  // namespace

size_t gf_refreshLiveParkFigure(bool show) {
    const size_t n = refreshFigure(
        liveList,
        [](const LiveAircraft& a) { return a.simState == SimState::Active && a.phase == MovementPhase::Parked; }, show,
        mainWindow.liveParkFigure);
    showCount(show, n, mainWindow.parkedLiveCount);
    return n;
}

size_t gf_refreshStaticParkFigure(bool show) {
    const size_t n = refreshFigure(
        staticList,
        [](const SimAircraft& a) { return a.simState == SimState::Active || a.simState == SimState::RemovingFromSim; },
        show && !WEEK.value.load(), mainWindow.staticParkFigure);
    showCount(show, n, mainWindow.parkedStaticCount);
    return n;
}

bool gf_checkUserWay(LiveAircraft& ac) {
    if (ac.simState != SimState::Active) return false;
    const LatLon user{userState.latitude, userState.longitude};
    const LatLon pos{ac.position[kPosLat], ac.position[kPosLon]};
    const double d = gf_distanceNm(user, pos);
    const double bearing = gf_initialBearing(user, pos);
    bool inWay;
    if (ac.onGround) {
        const double side =
            std::sin(std::fabs(std::remainder(bearing - userState.heading, 2.0 * M_PI))) * d * 6076.11549;
        inWay = userState.altitudeAboveGround < 500.0 && d <= 1.0 && side <= 50.0;
    } else {
        const double side = std::fabs(std::sin(ac.position[kPosHeading] - bearing)) * d * 6076.11549;
        inWay = d <= 4.0 && std::fabs(ac.position[kPosAlt] - userState.altitude) < 1000.0 && side <= 700.0;
    }
    if (!inWay) return false;
    removeAircraftFromSim(ac);
    return true;
}

bool gf_isParkAirport(std::string_view code) {
    std::lock_guard lock(parkAirportsMutex);
    return std::any_of(parkAirports.begin(), parkAirports.end(),
                       [&](const ParkAirportEntry& e) { return e.icao == code; });
}
