#include "parking/planner.h"

#include <fmt/format.h>

#include <algorithm>
#include <random>
#include <string_view>

#include "airports/learned.h"
#include "airports/park_list.h"
#include "airports/parking.h"
#include "airports/stand_option.h"
#include "airports/stands.h"
#include "catalogue/reference_db.h"
#include "engine/engine_state.h"
#include "engine/stands.h"
#include "engine/static_jobs.h"
#include "engine/static_parking.h"
#include "feed/parked_traffic.h"
#include "feed/readers.h"
#include "feed/web_api.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"
#include "shell/display.h"
#include "shell/status_line.h"
#include "simlink/commands.h"

std::vector<RemovalEntry> removalList;
std::vector<KeptStatic> keptStatics;
std::vector<ParkedLive> liveStayers;
PlannerDisplay plannerDisplay;

PlannerHooks& gf_plannerHooks() {
    static PlannerHooks hooks{[] {},
                              [] {},
                              [] {},
                              [] {},
                              [] { return gf_readParkedTraffic(); },
                              [](double lat, double lon, const SimAircraft& ac, double maxNm) {
                                  return gf_nearestFittingStand(lat, lon, ac, maxNm, false);
                              }};
    return hooks;
}

namespace {
std::string lf_halfHourHours(std::int64_t halfHour) { return gf_floatText(float(halfHour) * 0.5f + 0.5f); }

std::size_t lf_usedStands() {
    return std::size_t(
        std::count_if(currentStands.begin(), currentStands.end(), [](const ParkPos& s) { return s.taken != 0; }));
}

bool lf_inLiveCallsigns(const std::string& callsign) {
    return !callsign.empty() &&
           (engineBufferedCallsigns.count(callsign) != 0 || engineBufferedCallsigns.count(callsign + "_") != 0);
}

std::string lf_withoutLast(const std::string& text) { return text.empty() ? text : text.substr(0, text.size() - 1); }

void lf_sortJobsByAge(bool ascending) {
    std::sort(staticJobs.begin(), staticJobs.end(), [ascending](const StaticJob& a, const StaticJob& b) {
        return ascending ? std::int32_t(a.ageSlots) < std::int32_t(b.ageSlots)
                         : std::int32_t(a.ageSlots) > std::int32_t(b.ageSlots);
    });
}

// A job's aircraft by its callsign, or by its airline and type when it has none.
std::string lf_jobName(const StaticJob& job) {
    return !job.callsignA.empty() ? job.callsignA : fmt::format("{} {}", job.identity0, job.icaoType);
}

// Removes the static aircraft now, through the engine's one removal request: an active one is then
// removing (which also keeps it out of the renewal's later checks) with its object queued for removal;
// one still being created loses its creation order, or is removed once created. Its entry in
// removalList counts it among the renewal's removals.
void lf_removeStatic(SimAircraft& s, std::string_view reason) {
    if (s.simState != SimState::RemovingFromSim) gf_logRemoval(s, reason);
    removeAircraftFromSim(s);
    removalList.push_back(RemovalEntry{s.standId, std::string(reason)});
}

void lf_occupy(std::uint32_t standId) {
    if (ParkPos* stand = gf_findStandById(standId)) gf_occupyStand(*stand);
}

// Gives a stand back that a level entry had taken: its coupled stands stay neighbour-taken only while
// another taken stand is coupled to them.
void lf_releaseStand(ParkPos& stand) {
    stand.taken = 0;
    for (std::uint32_t coupled : stand.coupledIds) {
        ParkPos* other = gf_findStandById(coupled);
        if (other == nullptr) continue;
        other->coupledOccupied = std::any_of(currentStands.begin(), currentStands.end(), [&](const ParkPos& s) {
            return s.taken != 0 && std::find(s.coupledIds.begin(), s.coupledIds.end(), coupled) != s.coupledIds.end();
        });
    }
}

bool lf_sameAirlineTypeStrings(const std::string& airlineA, const std::string& typeA, const std::string& airlineB,
                               const std::string& typeB) {
    AircraftIdentity a, b;
    a.airline = airlineA;
    a.icaoType = typeA;
    b.airline = airlineB;
    b.icaoType = typeB;
    return sameAirlineType(a, b);
}

// An active static aircraft on a coupled stand of the stand, closer than the two half wingspans.
bool lf_staticTooClose(const ParkPos& stand, const std::string& icaoType) {
    for (const SimAircraft& s : staticList) {
        if (s.simState != SimState::Active) continue;
        if (std::find(stand.coupledIds.begin(), stand.coupledIds.end(), s.standId) == stand.coupledIds.end()) continue;
        double d = gf_distanceNm(LatLon{stand.latitude, stand.longitude}, LatLon{s.standLatitude, s.standLongitude});
        if (gf_wingspan(icaoType) + s.halfSpanNm > d) return true;
    }
    return false;
}

bool lf_equalNonEmpty(const std::string& a, const std::string& b) { return !a.empty() && a == b; }

// Whether the option's aircraft is already there (or live): then it is switched off. The entries
// planned count with those of the level being built, so that one aircraft gets one stand.
// A static aircraft on the stand itself does not count: the search prefers the option that agrees with
// it, and the renewal then keeps it.
bool lf_optionRejected(const StandOption& opt, std::uint32_t standId, const std::vector<StaticJob>& jobs,
                       const std::vector<StaticJob>& level) {
    const std::string& a = opt.callsignA;
    const std::string& b = opt.callsignB;
    auto anyPlanned = [&](auto&& same) {
        return std::any_of(jobs.begin(), jobs.end(), same) || std::any_of(level.begin(), level.end(), same);
    };
    if (anyPlanned([&](const StaticJob& j) { return lf_equalNonEmpty(opt.key, j.registration); })) return true;
    if (lf_inLiveCallsigns(a) || lf_inLiveCallsigns(b)) return true;
    for (const SimAircraft& s : staticList)
        if (s.standId != standId &&
            (lf_equalNonEmpty(s.identity.identity6, a) || lf_equalNonEmpty(s.identity.identity6, b) ||
             lf_equalNonEmpty(s.identity.identity6, opt.key)))
            return true;
    if (anyPlanned([&](const StaticJob& j) {
            return lf_equalNonEmpty(j.callsignA, a) || lf_equalNonEmpty(j.callsignA, b) ||
                   lf_equalNonEmpty(j.callsignA, opt.key);
        }))
        return true;
    for (const ParkedLive& l : liveStayers)
        if (lf_equalNonEmpty(l.callsign, a) || lf_equalNonEmpty(l.callsign, b)) return true;
    for (const SimAircraft& s : staticList) {
        if (s.simState != SimState::Active || s.standId == standId) continue;
        if ((!a.empty() && s.identity.callsign == a + "*") || (!b.empty() && s.identity.callsign == b + "*") ||
            lf_equalNonEmpty(s.identity.registration, opt.key))
            return true;
    }
    return false;
}

// Whether the option's aircraft is still planned in the half-hour after now.
std::uint8_t lf_nextSlotStays(const ParkPos& stand, const StandOption& opt, WeekSlot now) {
    if (opt.callsignB.empty()) return 1;
    WeekSlot next = lf_slotAfter(now);
    if (next.weekday == now.weekday) return std::uint8_t((opt.halfHours >> next.slot) & 1);
    for (const StandOption& o : stand.options)
        if (o.id > 0 && std::uint32_t(o.weekday) == next.weekday &&
            lf_sameAirlineTypeStrings(o.airline, o.icaoType, opt.airline, opt.icaoType) && (o.halfHours & 1))
            return 1;
    return 0;
}

bool lf_liveMatchesParked(const LiveAircraft& live, const ParkedRecord& r) {
    if (live.id == r.address) return true;
    const std::string& cs = r.identity.callsign;
    if (live.identity.callsign == cs || live.identity.callsign == cs + "_") return true;
    return lf_equalNonEmpty(live.identity.registration, r.identity.registration);
}

// A static aircraft on the record's stand: removed when it was placed before the record was seen
// there (the record then takes the stand), else kept and the record dropped.
bool lf_matchStaticAtStand(SimAircraft& s, const ParkedRecord& r, std::uint32_t standId, WeekSlot now, bool& adjusted) {
    if (s.planned != 0 || s.standId != standId || s.identity.callsign == r.identity.callsign + "*") return false;
    // One already on its way out no longer holds the stand.
    if (s.simState == SimState::RemovingFromSim || s.removeWhenCreated || s.removedFromQueue) return false;
    WeekSlot slotR = lf_slotBefore(now, r.slot);
    WeekSlot slotS = WeekSlot::fromPacked(s.parkedSlot);
    if (lf_sameOrEarlier(slotS, slotR)) {
        lf_removeStatic(s, fmt::format("{} was parked there later", r.identity.callsign));
        return true;
    }
    staticJobs.push_back(StaticJob{s.id, 0, standId, std::uint32_t(gf_slotDistance(now, slotS)), s.identity.airline,
                                   s.identity.icaoType, lf_withoutLast(s.identity.callsign), std::string{},
                                   s.identity.registration, 1});
    adjusted = true;
    return true;
}

void lf_applyRemovals() {
    while (!removalList.empty()) {
        RemovalEntry e = removalList.back();
        removalList.pop_back();
        for (SimAircraft& s : staticList)
            if (s.standId == e.standId && (s.simState == SimState::Active || s.simState == SimState::RemovingFromSim)) {
                // One removed by the checks already was logged then.
                if (s.simState == SimState::Active) gf_logRemoval(s, e.reason);
                removeAircraftFromSim(s);
                break;
            }
    }
    if (!staticJobs.empty()) gf_plannerHooks().disableParkingControls();
}

// The parked-traffic request; a refusal of the service is shown and counts as a failed request.
bool lf_readParkedTraffic() {
    try {
        return gf_plannerHooks().readParkedTraffic();
    } catch (const std::exception& e) {
        gf_showStatus(e.what(), true);
        return false;
    }
}

WeekSlot lf_currentWeekSlot() {
    WeekSlot slot = gf_weekSlot();
    gf_log(fmt::format("\n{} (utc) It is day {} ({}), {} hours", gf_simTimeStamp(), slot.weekday,
                       gf_weekdayName(slot.weekday), lf_halfHourHours(slot.slot)));
    return slot;
}

void lf_clearStandFlags(bool renumber) {
    for (ParkPos& s : currentStands) {
        s.taken = 0;
        s.reserved = 0;
        s.coupledOccupied = 0;
        if (renumber) gf_renumberStandOptions(s);
    }
}
}  // namespace

WeekSlot lf_slotBefore(WeekSlot slot, std::int64_t halfHours) {
    std::int64_t h = std::int64_t(slot.slot) - halfHours;
    std::uint32_t day = slot.weekday;
    while (h < 0) {
        h += 48;
        day = day <= 1 ? 7 : day - 1;
    }
    return WeekSlot{day, std::uint32_t(h)};
}

WeekSlot lf_slotAfter(WeekSlot slot) {
    if (slot.slot < 47) return WeekSlot{slot.weekday, slot.slot + 1};
    return WeekSlot{slot.weekday >= 7 ? 1u : slot.weekday + 1, 0};
}

bool lf_slotEarlier(WeekSlot a, WeekSlot b) {
    if (a.weekday == 7 && b.weekday == 1) return true;
    if (a.weekday == 1 && b.weekday == 7) return false;
    return a.weekday != b.weekday ? a.weekday < b.weekday : a.slot < b.slot;
}

bool lf_sameOrEarlier(WeekSlot a, WeekSlot b) { return a == b || lf_slotEarlier(a, b); }

void lf_reserveUserStands() {
    if (!userReservedStand.empty())
        if (ParkPos* s = gf_findStandByName(userReservedStand)) s->reserved = 1;
    std::string under = lf_userStandName();
    if (!under.empty() && under != userReservedStand)
        if (ParkPos* s = gf_findStandByName(under)) s->reserved = 1;
}

void lf_standForParkedRecord(const ParkedRecord& record, std::int64_t wanted) {
    const bool ptOnly = RT_PARKTRAFFIC_ONLY.value.load();
    if (!ptOnly && std::int64_t(staticJobs.size()) >= wanted) return;
    if (engineBufferedAddresses.count(record.address) != 0 || lf_inLiveCallsigns(record.identity.callsign)) return;
    if (record.identity.callsign.empty()) return;
    for (const LiveAircraft& live : liveList)
        if (lf_liveMatchesParked(live, record)) return;
    TrafficRecord t;
    t.identity = record.identity;
    t.latitude = record.latitude;
    t.longitude = record.longitude;
    if (t.identity.airline.empty() && !airlineFromCallsign(t.identity)) t.identity.airline = "PVT";
    SimAircraft ac;
    gf_makeAiRecord(ac, t);
    ParkPos* stand = gf_plannerHooks().nearestFittingStand(record.latitude, record.longitude, ac, kParkedRecordRangeNm);
    if (stand == nullptr) {
        gf_logContinuation(fmt::format("[{:10}: {:8x} {:8} {:12}, hh:{} ===> could not find a stand for PT's {}]",
                                       record.standName, record.address, record.identity.callsign,
                                       record.identity.registration, record.slot,
                                       fmt::format("{:.6f},{:.6f}", record.latitude, record.longitude)));
        return;
    }
    if (stand->taken || stand->reserved) return;
    if (stand->coupledOccupied) {
        for (std::uint32_t coupled : stand->coupledIds) {
            const ParkPos* other = gf_findStandById(coupled);
            if (other == nullptr) continue;
            for (const StaticJob& j : staticJobs) {
                if (j.standId != coupled) continue;
                double d =
                    gf_distanceNm(LatLon{stand->latitude, stand->longitude}, LatLon{other->latitude, other->longitude});
                if (gf_wingspan(t.identity.icaoType) + gf_wingspan(j.icaoType) > d) return;
            }
        }
    }
    WeekSlot now = gf_weekSlot();
    bool adjusted = false;
    for (SimAircraft& s : staticList)
        if (lf_matchStaticAtStand(s, record, stand->id, now, adjusted)) break;
    if (adjusted) return;
    staticJobs.push_back(StaticJob{record.address, 0, stand->id, std::uint32_t(record.slot), t.identity.airline,
                                   t.identity.icaoType, record.identity.callsign, std::string{},
                                   record.identity.registration, 1});
    gf_occupyStand(*stand);
}

void lf_searchStands(WeekSlot slot, int kind, int fit, std::vector<StaticJob>& level, std::vector<StaticJob>& jobs) {
    const WeekSlot target = lf_slotBefore(slot, fit);
    try {
        for (ParkPos& stand : currentStands) {
            if (stand.taken || stand.reserved || stand.coupledOccupied) continue;
            if (stand.heli && !HELICOPTERS.value.load()) continue;
            std::vector<std::int32_t> ids;
            for (const StandOption& o : stand.options) {
                if (o.id == 0 || o.real != kind) continue;
                if (!WEEK.value.load() && std::uint32_t(o.weekday) != target.weekday) continue;
                if (((o.halfHours >> target.slot) & 1) == 0) continue;
                if (lf_staticTooClose(stand, o.icaoType)) continue;
                ids.push_back(o.id);
            }
            if (ids.empty()) continue;
            if (ids.size() > 1) {
                std::int32_t agreeing = 0;
                for (const SimAircraft& s : staticList) {
                    if (s.planned != 1 || s.standId != stand.id) continue;
                    for (const StandOption& o : stand.options)
                        if (o.id > 0 &&
                            (gf_sameFirst42(o.callsignA, s.identity.callsign) ||
                             gf_sameFirst42(o.callsignB, s.identity.callsign)) &&
                            o.airline == s.identity.airline && o.icaoType == s.identity.icaoType) {
                            agreeing = o.id;
                            break;
                        }
                    if (agreeing) break;
                }
                auto pos = std::find(ids.begin(), ids.end(), agreeing);
                if (agreeing && pos != ids.end()) {
                    std::iter_swap(ids.begin(), pos);
                } else {
                    std::mt19937& rng = gf_randomEngine();
                    for (std::size_t i = ids.size() - 1; i > 0; --i) std::swap(ids[i], ids[rng() % (i + 1)]);
                }
            }
            auto it = std::find_if(stand.options.begin(), stand.options.end(),
                                   [&](const StandOption& o) { return o.id > 0 && o.id == ids.front(); });
            if (it == stand.options.end()) continue;
            if (lf_optionRejected(*it, stand.id, jobs, level)) {
                gf_switchOffOption(*it);
                continue;
            }
            level.push_back(StaticJob{0, 1, stand.id, std::uint32_t(fit), it->airline, it->icaoType, it->callsignA,
                                      it->callsignB, it->key, lf_nextSlotStays(stand, *it, slot)});
            gf_occupyStand(stand);
        }
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: day: {}, offset {}: {}", "lf_searchStands",
                                fmt::format("[{},{}]", target.weekday, target.slot), fit, e.what()));
    }
}

bool lf_fitStands(WeekSlot slot, int kind, std::int64_t wanted, std::vector<StaticJob>& level) {
    const std::size_t before = lf_usedStands();
    const int maxFit = std::clamp(MAX_FIT.value.load(), 0, 47);
    bool reached = false;
    int fit = 0;
    for (;; ++fit) {
        lf_searchStands(slot, kind, fit, level, staticJobs);
        if (std::int64_t(lf_usedStands()) >= wanted) {
            reached = true;
            break;
        }
        staticJobs.insert(staticJobs.end(), level.begin(), level.end());
        level.clear();
        if (fit >= maxFit) break;
    }
    if (kind == kRealKind) {
        plannerDisplay.realFit.store(fit);
        plannerDisplay.softFit.store(-1);
    } else {
        plannerDisplay.softFit.store(fit);
    }
    const std::int64_t found = std::int64_t(lf_usedStands()) - std::int64_t(before);
    if (found > 0)
        gf_log(fmt::format("{} {} position{} found, Max fit={} hours{}{}", found, kind == kRealKind ? "real" : "soft",
                           gf_plural(found), lf_halfHourHours(maxFit),
                           WEEK.value.load() ? std::string(", week") : fmt::format(", day {}", slot.weekday),
                           fmt::format(" fit: {} hour, hh:{} or {} hrs", lf_halfHourHours(fit), slot.slot,
                                       lf_halfHourHours(slot.slot))));
    mainWindow.staticPlanningMark.store(kind == kSoftKind && found > 0);
    mainWindow.invalidate();
    return reached;
}

void lf_fillStands(WeekSlot slot, std::int64_t wanted, std::int64_t base, int kind) {
    const std::size_t jobsBefore = staticJobs.size();
    std::vector<StaticJob> level;
    level.reserve(512);
    if (!lf_fitStands(slot, kind, wanted, level)) return;
    // Room left for the last level's options: base already counts the occupants placed before this fill.
    const std::int64_t room = std::max<std::int64_t>(0, wanted - base - std::int64_t(staticJobs.size() - jobsBefore));
    if (std::int64_t(level.size()) > room) {
        std::mt19937& rng = gf_randomEngine();
        for (std::size_t i = level.size() - 1; i > 0; --i) std::swap(level[i], level[rng() % (i + 1)]);
        for (std::size_t i = std::size_t(room); i < level.size(); ++i)
            if (ParkPos* s = gf_findStandById(level[i].standId)) lf_releaseStand(*s);
        level.resize(std::size_t(room));
    }
    staticJobs.insert(staticJobs.end(), level.begin(), level.end());
}

void lf_fillToWanted(WeekSlot slot, std::int64_t wanted, std::int64_t base) {
    plannerDisplay.realFit.store(0);
    plannerDisplay.softFit.store(-1);
    const std::size_t jobsBefore = staticJobs.size();
    lf_fillStands(slot, wanted, base, kRealKind);
    const std::int64_t filled = base + std::int64_t(staticJobs.size() - jobsBefore);
    if (wanted > filled && (PARK_SOFT.value.load() || PARK_FAKE.value.load()))
        lf_fillStands(slot, wanted, filled, kSoftKind);
}

void lf_parkingPositions() {
    const WeekSlot slot = lf_currentWeekSlot();
    gf_showStatus("Making changes to airport parking parameters is disabled while static parking takes place ...",
                  false);
    staticJobs.clear();
    keptStatics.clear();
    liveStayers.clear();
    removalList.clear();
    mainWindow.staticParkFigure.store(-1.0f);
    mainWindow.liveParkFigure.store(-1.0f);
    mainWindow.staticPlanningMark.store(false);
    mainWindow.invalidate();
    gf_takeBufferedHistory();
    lf_clearStandFlags(false);
    lf_reserveUserStands();
    gf_plannerHooks().enablePtControls();
    const bool ptOnly = RT_PARKTRAFFIC_ONLY.value.load();
    if (lf_readParkedTraffic()) {
        std::int64_t wanted = std::max<std::int64_t>(0, gf_wantedParkedCount());
        if (wanted > 0 || ptOnly)
            for (const ParkedRecord& r : trafficReader.parkedRecords) lf_standForParkedRecord(r, wanted);
    }
    const std::int64_t stands = std::int64_t(currentStands.size());
    if (!ptOnly) {
        gf_log(fmt::format("{} parking position{} from PT", staticJobs.size(),
                           gf_plural(std::int64_t(staticJobs.size()))));
        const std::int64_t base = std::int64_t(staticJobs.size());
        const std::int64_t wanted = std::max<std::int64_t>(0, gf_wantedParkedCount());
        if (wanted - base > 0) lf_fillToWanted(slot, wanted, base);
        lf_sortJobsByAge(true);
        if (std::int64_t(staticJobs.size()) > wanted) staticJobs.resize(std::size_t(wanted));
    } else {
        lf_sortJobsByAge(false);
    }
    if (staticJobs.empty()) {
        gf_log("no parking positions found");
        gf_plannerHooks().enableParkingControls();
        return;
    }
    const std::int64_t count = std::int64_t(staticJobs.size());
    if (ptOnly)
        gf_log(fmt::format("{} positions from RT parktraffic only\n", count));
    else
        gf_log(fmt::format("{} positions ({}% vs wanted {}%, with Max fit={} hours)\n", count,
                           lf_percentOf(count, stands), parking_percentage.value.load(),
                           lf_halfHourHours(MAX_FIT.value.load())));
    lf_sortJobsByAge(false);
    gf_plannerHooks().disableParkingControls();
}

namespace {
KeptStatic lf_keptOf(const SimAircraft& s) {
    return KeptStatic{s.identity.airline,
                      s.identity.icaoType,
                      s.identity.identity6,
                      s.identity.identity7,
                      s.identity.registration,
                      s.identity.callsign,
                      WeekSlot::fromPacked(s.parkedSlot),
                      s.standId,
                      0,
                      false};
}

// A static aircraft against the parked records. One from parked traffic stays while a candidate on its
// stand is the same aircraft (the candidate is then dropped), and is removed when its aircraft is live
// again or no longer reported there. A plan-made one meets the first candidate on its stand or of its
// callsign: the candidate is dropped when it was parked before this one was placed, or is this aircraft;
// otherwise this one gives way.
void lf_staticStaysForParked(SimAircraft& s, std::uint32_t ptOnlyJustSet, WeekSlot now) {
    if (s.simState != SimState::Active) return;
    if (s.planned == 0) {
        if (engineBufferedAddresses.count(s.feedHexid) != 0) {
            lf_removeStatic(s, "its aircraft is live again");
            return;
        }
        auto k = std::find_if(staticJobs.begin(), staticJobs.end(), [&](const StaticJob& j) {
            return j.planned == 0 && j.standId == s.standId &&
                   (j.feedHexid == s.feedHexid || (!j.callsignA.empty() && s.identity.callsign == j.callsignA + "*") ||
                    lf_equalNonEmpty(j.registration, s.identity.registration));
        });
        if (k == staticJobs.end()) {
            lf_removeStatic(s, "no longer reported parked there");
            return;
        }
        keptStatics.push_back(lf_keptOf(s));
        staticJobs.erase(k);
        return;
    }
    if (ptOnlyJustSet != 0) return;
    auto k = std::find_if(staticJobs.begin(), staticJobs.end(), [&](const StaticJob& j) {
        return j.standId == s.standId || gf_sameFirst42(j.callsignA, s.identity.callsign);
    });
    if (k == staticJobs.end()) return;
    const WeekSlot slotK = lf_slotBefore(now, k->ageSlots);
    if (lf_sameOrEarlier(slotK, WeekSlot::fromPacked(s.parkedSlot))) {
        staticJobs.erase(k);
        return;
    }
    const bool same = k->callsignA + "*" == s.identity.callsign &&
                      lf_sameAirlineTypeStrings(k->identity0, k->icaoType, s.identity.airline, s.identity.icaoType);
    if (same)
        staticJobs.erase(k);
    else
        lf_removeStatic(s, fmt::format("{} was parked there later", lf_jobName(*k)));
}

// Whether a plan option of the stand allows the aircraft within the look-back up to now: the
// half-hours from now back to now - lookBack, those before midnight on the previous weekday.
bool lf_planHolds(const ParkPos& stand, const SimAircraft& s, WeekSlot now, std::int32_t lookBack) {
    auto holds = [&](std::uint32_t weekday, std::int32_t start, std::int32_t offset) {
        for (const StandOption& o : stand.options) {
            if (o.id <= 0 || std::uint32_t(o.weekday) != weekday || o.airline != s.identity.airline ||
                o.icaoType != s.identity.icaoType)
                continue;
            std::int32_t remainder = -1;
            if (testRange(o, start, offset, remainder)) return true;
        }
        return false;
    };
    if (holds(now.weekday, std::int32_t(now.slot), lookBack)) return true;
    // The same count of half-hours before midnight whether or not today has options of the aircraft.
    const std::int32_t beforeMidnight = lookBack - std::int32_t(now.slot);
    if (beforeMidnight <= 0) return false;
    return holds(now.weekday <= 1 ? 7 : now.weekday - 1, 47, beforeMidnight - 1);
}

// A plan-made static aircraft against the new plan: removed when its flight is live; against a candidate
// on its stand, or on a coupled stand within reach of its wings, the one placed earlier gives way unless
// the candidate is this aircraft; otherwise it stays while an option of its stand for its airline and type
// holds a half-hour within the look-back of the fill.
void lf_checkStaticAgainstPlan(SimAircraft& s, WeekSlot now) {
    if (s.planned != 1 || s.simState != SimState::Active) return;
    if (lf_inLiveCallsigns(s.identity.identity6) || lf_inLiveCallsigns(s.identity.identity7)) {
        lf_removeStatic(s, "its flight is live");
        return;
    }
    auto keepOrDrop = [&](std::vector<StaticJob>::iterator k) {
        const WeekSlot slotK = lf_slotBefore(now, k->ageSlots);
        if (lf_slotEarlier(WeekSlot::fromPacked(s.parkedSlot), slotK)) {
            lf_removeStatic(s, fmt::format("the plan gives the stand to {}", lf_jobName(*k)));
        } else {
            keptStatics.push_back(lf_keptOf(s));
            staticJobs.erase(k);
        }
    };
    auto k =
        std::find_if(staticJobs.begin(), staticJobs.end(), [&](const StaticJob& j) { return j.standId == s.standId; });
    if (k != staticJobs.end()) {
        if (lf_sameAirlineTypeStrings(k->identity0, k->icaoType, s.identity.airline, s.identity.icaoType) &&
            ((!k->callsignA.empty() && k->callsignA + "*" == s.identity.callsign) ||
             (!k->callsignB.empty() && k->callsignB + "*" == s.identity.callsign))) {
            keptStatics.push_back(lf_keptOf(s));
            staticJobs.erase(k);
        } else {
            keepOrDrop(k);
        }
        return;
    }
    const ParkPos* stand = gf_findStandById(s.standId);
    if (stand != nullptr)
        for (std::uint32_t coupled : stand->coupledIds) {
            auto c = std::find_if(staticJobs.begin(), staticJobs.end(),
                                  [&](const StaticJob& j) { return j.standId == coupled; });
            if (c == staticJobs.end()) continue;
            const ParkPos* other = gf_findStandById(coupled);
            if (other &&
                gf_distanceNm(LatLon{stand->latitude, stand->longitude}, LatLon{other->latitude, other->longitude}) <
                    s.halfSpanNm + gf_wingspan(c->icaoType)) {
                keepOrDrop(c);
                return;
            }
        }
    if (stand == nullptr) {
        lf_removeStatic(s, "its stand is not in the airport file");
        return;
    }
    const std::int32_t lookBack = std::min(47, std::max(plannerDisplay.realFit.load(), plannerDisplay.softFit.load()));
    if (lf_planHolds(*stand, s, now, lookBack))
        keptStatics.push_back(lf_keptOf(s));
    else
        lf_removeStatic(s, "the plan no longer holds it");
}

// Sorts the kept statics latest placed first and marks those whose plan option ends with this half-hour.
void lf_markLeaving(WeekSlot now) {
    std::stable_sort(keptStatics.begin(), keptStatics.end(),
                     [](const KeptStatic& a, const KeptStatic& b) { return lf_slotEarlier(b.slot, a.slot); });
    for (KeptStatic& k : keptStatics) {
        if (k.callsignA.empty() || k.callsign.find(k.callsignA) == std::string::npos) continue;
        const ParkPos* stand = gf_findStandById(k.standId);
        if (stand == nullptr) continue;
        const std::string bare = lf_withoutLast(k.callsign);
        auto opt = std::find_if(stand->options.begin(), stand->options.end(), [&](const StandOption& o) {
            return o.id > 0 && std::uint32_t(o.weekday) == now.weekday && o.callsignA == bare &&
                   o.icaoType == k.icaoType && o.airline == k.airline;
        });
        if (opt == stand->options.end()) continue;
        k.leaving = lf_nextSlotStays(*stand, *opt, now) == 0;
    }
}

// Empties the lists of the last plan, frees every stand and numbers its options anew. When parked
// traffic only has just been switched on, every active plan-made static is listed for removal.
void lf_startRenewal(std::uint32_t ptOnlyJustSet) {
    gf_takeBufferedHistory();
    gf_plannerHooks().disableParkingControls();
    mainWindow.staticPlanningMark.store(false);
    removalList.clear();
    keptStatics.clear();
    liveStayers.clear();
    staticJobs.clear();
    lf_clearStandFlags(true);
    lf_reserveUserStands();
    if (ptOnlyJustSet != 0)
        for (SimAircraft& s : staticList)
            if (s.planned == 1 && s.simState == SimState::Active)
                removalList.push_back(RemovalEntry{s.standId, "parked traffic only"});
}

// The live aircraft parked at the airport stay on their stands; those parked longest go while they
// outnumber the wanted count.
void lf_keepLiveStayers(std::int64_t wanted, bool ptOnly) {
    liveStayers = gf_listLiveParked();
    if (!ptOnly && wanted >= 1 && std::int64_t(liveStayers.size()) > wanted) {
        const std::int64_t more = std::int64_t(liveStayers.size()) - wanted;
        gf_showStatus(fmt::format("Parking adjustments: {} more live ac than wanted", more), true);
        gf_removeLiveParked(std::size_t(more));
        liveStayers = gf_listLiveParked();
    }
    for (const ParkedLive& l : liveStayers) lf_occupy(l.standId);
}

// The parked records become candidates in staticJobs; a static from parked traffic stays while its
// aircraft is still reported on its stand, and a plan-made one makes way for a candidate reported later.
void lf_matchParkedTraffic(std::int64_t wanted, bool ptOnly, std::uint32_t ptOnlyJustSet, WeekSlot now) {
    if (wanted >= 1 || ptOnly)
        for (const ParkedRecord& r : trafficReader.parkedRecords) lf_standForParkedRecord(r, wanted);
    for (SimAircraft& s : staticList) lf_staticStaysForParked(s, ptOnlyJustSet, now);
    gf_log(fmt::format("{} new parking position{} from PT", staticJobs.size(),
                       gf_plural(std::int64_t(staticJobs.size()))));
}

// With parked traffic only the parked records alone decide; without an answer of the feed nothing changes.
void lf_renewFromParkedTrafficOnly(bool havePt, std::int64_t wanted, std::uint32_t ptOnlyJustSet, WeekSlot now) {
    if (!havePt) {
        lf_sortJobsByAge(false);
        return;
    }
    lf_matchParkedTraffic(wanted, true, ptOnlyJustSet, now);
    gf_showStatus(
        fmt::format("ParkTraffic changes: {} to be removed, {} to be added", removalList.size(), staticJobs.size()),
        true);
    lf_applyRemovals();
}

// The week plan fills the stands that kept statics, candidates and live stayers leave, and then
// decides which plan-made statics stay.
void lf_fillFromPlan(WeekSlot now, std::int64_t wanted) {
    for (const KeptStatic& k : keptStatics) lf_occupy(k.standId);
    const std::int64_t base = std::int64_t(keptStatics.size() + staticJobs.size() + liveStayers.size());
    if (wanted > base) lf_fillToWanted(now, wanted, base);
    for (SimAircraft& s : staticList) lf_checkStaticAgainstPlan(s, now);
}

// A kept static whose option ends with this half-hour is replaced on its stand by a job for the same
// option, which names the aircraft by its departing callsign.
void lf_replaceLeavingStatics(WeekSlot now) {
    lf_markLeaving(now);
    for (const KeptStatic& k : keptStatics)
        if (k.leaving) {
            // Its age is the half-hours since it was placed, as every other entry's.
            staticJobs.push_back(StaticJob{0, 1, k.standId, std::uint32_t(gf_slotDistance(now, k.slot)), k.airline,
                                           k.icaoType, k.callsignA, k.callsignB, k.registration, 0});
            removalList.push_back(RemovalEntry{k.standId, fmt::format("makes way for its departure {}", k.callsignB)});
        }
    std::erase_if(keptStatics, [](const KeptStatic& k) { return k.leaving; });
}

// The surplus over the wanted count is dropped from the candidates first, the oldest first (staticJobs
// sorted youngest first); returns what is left of it.
std::int64_t lf_dropSurplusCandidates(std::int64_t surplus) {
    lf_sortJobsByAge(true);
    for (; surplus > 0 && !staticJobs.empty(); --surplus) staticJobs.pop_back();
    return surplus;
}

// Then the kept statics, from the end of keptStatics (the earliest placed).
std::int64_t lf_dropSurplusKept(std::int64_t surplus) {
    for (; surplus > 0 && !keptStatics.empty(); --surplus) {
        removalList.push_back(RemovalEntry{keptStatics.back().standId, "more parked aircraft than wanted"});
        keptStatics.pop_back();
    }
    return surplus;
}

// Then, unless only the first load counts, the live stayers parked shortest.
void lf_removeSurplusLiveStayers(std::int64_t surplus) {
    if (INITIAL_LOAD_ONLY.value.load()) return;
    for (; surplus > 0 && !liveStayers.empty(); --surplus) {
        const ParkedLive l = liveStayers.back();
        liveStayers.pop_back();
        for (LiveAircraft& live : liveList)
            if (live.identity.callsign == l.callsign && live.standId == l.standId) {
                removeAircraftFromSim(live);
                break;
            }
    }
}

// The jobs go to the engine oldest first (it places from the back), and the listed statics are removed.
void lf_finishRenewal() {
    lf_sortJobsByAge(false);
    gf_showStatus(
        fmt::format("Parking adjustments: {} to be removed, {} to be added\n", removalList.size(), staticJobs.size()),
        true);
    lf_applyRemovals();
}
}  // namespace

void gf_adjustParking(std::uint32_t ptOnlyJustSet) {
    const WeekSlot now = lf_currentWeekSlot();
    lf_startRenewal(ptOnlyJustSet);
    const bool ptOnly = RT_PARKTRAFFIC_ONLY.value.load();
    const std::int64_t wanted = std::max<std::int64_t>(0, gf_wantedParkedCount());
    lf_keepLiveStayers(wanted, ptOnly);
    const bool havePt = lf_readParkedTraffic();
    if (ptOnly) {
        lf_renewFromParkedTrafficOnly(havePt, wanted, ptOnlyJustSet, now);
        return;
    }
    if (havePt) lf_matchParkedTraffic(wanted, ptOnly, ptOnlyJustSet, now);
    lf_fillFromPlan(now, wanted);
    lf_replaceLeavingStatics(now);
    std::int64_t surplus = std::int64_t(staticJobs.size() + keptStatics.size() + liveStayers.size()) - wanted;
    surplus = lf_dropSurplusCandidates(surplus);
    surplus = lf_dropSurplusKept(surplus);
    lf_removeSurplusLiveStayers(surplus);
    lf_finishRenewal();
}

void gf_resetPlanner() {
    removalList.clear();
    keptStatics.clear();
    liveStayers.clear();
    plannerDisplay.realFit.store(0);
    plannerDisplay.softFit.store(-1);
    mainWindow.staticPlanningMark.store(false);
}
