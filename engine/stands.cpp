// Stands for arrivals: the choice, the nearest fitting stand, the option recorders and soft learning.
#include "engine/stands.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/parking.h"
#include "airports/stands.h"
#include "engine/engine_state.h"
#include "engine/stand_options.h"
#include "foundation/geodesy.h"
#include "foundation/log.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "shell/display.h"
#include "simlink/commands.h"

void gf_noteArrivalTried(uint32_t id, uint32_t halfHour);
void gf_forgetArrivalTried(uint32_t id);

namespace {

constexpr double kNm1_8m = 0.0009719222462203025;
constexpr double kNm20m = 0.010799136069114472;
constexpr double kNm85m = 0.0458963282937365;
constexpr double kNm17_8m = 0.009611230689557531;
constexpr double kNm14m = 0.00755939524838013;
constexpr double kNm21m = 0.011339092872570195;
constexpr double kNm1m = 0.0005399568034557236;

bool isCategory(const SimAircraft& ac, AircraftCategory c) { return ac.category == categoryIndex(c); }

std::string keyOf(const SimAircraft& ac) {
    return ac.identity.registration.empty() ? ac.identity.callsign : ac.identity.registration;
}

uint64_t bitOf(uint32_t halfHour) {
    if (halfHour > 47) throw std::out_of_range(fmt::format("half-hour {} outside the day", halfHour));
    return uint64_t{1} << halfHour;
}

bool reservedAt(const ParkPos& s, WeekSlot slot) {
    for (const auto& o : s.options)
        if (o.id != 0 && o.weekday == static_cast<int32_t>(slot.weekday) && slot.slot < 48 &&
            ((o.halfHours >> slot.slot) & 1u))
            return true;
    return false;
}

bool matchesAny(const ParkPos& s, const SimAircraft& ac) {
    for (const auto& o : s.options)
        if (lf_optionMatchesAircraft(ac.identity.callsign, ac, o)) return true;
    return false;
}

// One pass over the stands that pass the filter; sizeRule false is the any-size rule.
template <class Filter>
void collect(std::vector<StandCandidate>& out, WeekSlot slot, const SimAircraft& ac, bool sizeRule, Filter filter) {
    const double size = ac.halfSpanNm;
    const double step = size <= kNm17_8m ? kNm14m : kNm21m;
    int64_t best = 100;
    for (const auto& s : currentStands) {
        if (!filter(s)) continue;
        int64_t difference = 0;
        if (sizeRule) {
            if (size - s.radius > kNm1_8m) continue;
            difference = std::llround((s.radius - size) / step);
        } else {
            difference = std::llround(std::fabs(size - s.radius));
        }
        if (difference > best) continue;
        if (reservedAt(s, slot)) continue;
        best = difference;
        out.push_back({s.name, difference, !ac.identity.callsign.empty() && matchesAny(s, ac) ? 1 : 0});
    }
}

// Size rule, then any-size, over the stands of one filter; true when something was found.
template <class Filter>
bool collectBoth(std::vector<StandCandidate>& out, WeekSlot slot, const SimAircraft& ac, Filter filter) {
    collect(out, slot, ac, true, filter);
    if (out.empty()) collect(out, slot, ac, false, filter);
    return !out.empty();
}

WeekSlot nextSlot(WeekSlot s) {
    if (s.slot < 47) return {s.weekday, s.slot + 1};
    return {s.weekday >= 7 ? 1u : s.weekday + 1, 0};
}

// What both recorders work on: the aircraft's key, its stand, the slot's bit and weekday, and the recording of
// the half-hour in the aircraft's own option (a new one only when it has none), which notes whether anything
// changed.
struct StandRecord {
    std::string key;
    ParkPos* stand = nullptr;
    uint64_t bit = 0;
    int32_t weekday = 0;
    bool changed = false;

    // Throws std::out_of_range for a half-hour outside the day.
    StandRecord(uint32_t standId, const SimAircraft& ac, WeekSlot slot)
        : key(keyOf(ac)), stand(key.empty() ? nullptr : gf_findStandById(standId)), bit(bitOf(slot.slot)),
          weekday(static_cast<int32_t>(slot.weekday)) {}

    int32_t record(const SimAircraft& ac, int32_t real, WeekSlot slot) {
        const RecordedOption recorded = gf_recordStandOption(stand->options, ac, real, slot, ac.identity.callsign, key);
        changed = changed || recorded.changed;
        return recorded.id;
    }
};

void countChange() {
    learnedUpdateCount.fetch_add(1);
    mainWindow.invalidate();
}

}  // namespace

void gf_orderStandCandidates(std::vector<StandCandidate>& c) {
    auto before = [](const StandCandidate& a, const StandCandidate& b) {
        return a.match >= b.match && a.difference <= b.difference;
    };
    for (size_t i = 1; i < c.size(); ++i)
        for (size_t j = i; j > 0 && before(c[j], c[j - 1]); --j) std::swap(c[j], c[j - 1]);
}

ParkPos* gf_chooseStand(WeekSlot slot, const SimAircraft& ac, bool retry) {
    std::vector<StandCandidate> found;
    if (isCategory(ac, AircraftCategory::Rotorcraft)) {
        auto heli = [](const ParkPos& s) { return s.heli != 0; };
        auto ramp = [](const ParkPos& s) { return s.ramp != 0; };
        collect(found, slot, ac, true, heli);
        if (found.empty()) collect(found, slot, ac, true, ramp);
        if (found.empty()) collect(found, slot, ac, false, heli);
        if (found.empty()) collect(found, slot, ac, false, ramp);
    } else if (ac.cargoWanted) {
        if (!collectBoth(found, slot, ac, [](const ParkPos& s) { return s.cargo != 0 && s.heli == 0; }))
            collectBoth(found, slot, ac, [](const ParkPos& s) { return s.heli == 0; });
    } else if ((isCategory(ac, AircraftCategory::Large) || isCategory(ac, AircraftCategory::Heavy) ||
                isCategory(ac, AircraftCategory::HighPerf)) &&
               ac.identity.airline != "PVT") {
        const std::string icao = gf_currentAirportCopy().icao;
        const bool gates = (!icao.empty() && icao.front() == 'K') || gf_randomDraw() % 100 > 9;
        auto kind = [](bool gate) {
            return [gate](const ParkPos& s) { return s.cargo == 0 && s.heli == 0 && (s.ramp == 0) == gate; };
        };
        if (!collectBoth(found, slot, ac, kind(gates))) collectBoth(found, slot, ac, kind(!gates));
    } else {
        collectBoth(found, slot, ac, [](const ParkPos& s) { return s.cargo == 0 && s.heli == 0 && s.ramp != 0; });
    }
    if (found.empty()) {
        if (retry && currentStands.size() <= 10) return gf_chooseStand(nextSlot(slot), ac, false);
        return nullptr;
    }
    if (found.size() > 1) {
        std::shuffle(found.begin(), found.end(), gf_randomEngine());
        gf_orderStandCandidates(found);
    }
    return gf_findStandByName(found.front().name);
}

ParkPos* gf_nearestFittingStand(double latitude, double longitude, const SimAircraft& ac, double maxNm,
                                bool allowOptionMatch) {
    const LatLon at{latitude, longitude};
    const double size = ac.halfSpanNm;
    ParkPos* best = nullptr;
    double bestR = 900.0;
    bool bestTooSmall = false;
    ParkPos* fallback = nullptr;
    double fallbackR = 900.0;
    bool fallbackOn = allowOptionMatch;
    // No stand farther north or south than this can count; the latitude difference alone (a degree is a
    // little over 60 nm) rules most stands out without the full distance.
    const double reach = std::max(maxNm, allowOptionMatch ? kNm85m : 0.0);
    for (auto& s : currentStands) {
        if (s.occupied) continue;
        if (std::fabs(s.latitude - latitude) * 60.0 > reach) continue;
        const double r = gf_distanceNm(at, LatLon{s.latitude, s.longitude});
        bool counted = false;
        if (r <= maxNm && r < bestR) {
            const bool tooSmall = s.radius + kNm1_8m < size;
            if (!tooSmall || r <= kNm20m) {
                best = &s;
                bestR = r;
                bestTooSmall = tooSmall;
                fallbackOn = false;
                counted = true;
            }
        }
        if (!counted && fallbackOn && r <= kNm85m && r < fallbackR && s.radius + kNm1_8m >= size && matchesAny(s, ac)) {
            fallback = &s;
            fallbackR = r;
        }
    }
    ParkPos* result = best ? best : fallback;
    if (!result) return nullptr;
    const bool rotor = isCategory(ac, AircraftCategory::Rotorcraft);
    if ((result->heli != 0) != rotor) return nullptr;
    if (result == best && bestTooSmall) {
        result->radius = size - kNm1m;
        result->sizeAdjusted = 1;
        countChange();
    }
    return result;
}

bool lf_addRealStandOption(uint32_t standId, LiveAircraft& ac, WeekSlot slot, bool departing) {
    try {
        StandRecord r(standId, ac, slot);
        if (!r.stand) return false;
        ParkPos& stand = *r.stand;
        StandOption* open = nullptr;
        bool held = false;
        for (auto& o : stand.options) {
            if (o.real == 0 || o.key != r.key || o.weekday != r.weekday) continue;
            if (o.halfHours & r.bit) {
                held = true;
                continue;
            }
            if (o.closed) return false;
            if (!open) open = &o;
        }
        if (held) {
            // The half-hour is recorded already: one identity holds one half-hour once on a stand, so the
            // option holding it is left alone. A departure ends the stay all the same.
            if (departing) stand.realMap.erase(ac.id);
        } else if (!open) {
            const int32_t id = r.record(ac, 1, slot);
            if (!departing && id > 0) stand.realMap[ac.id] = {slot, static_cast<uint32_t>(id)};
        } else if (!departing) {
            open->halfHours |= r.bit;
            r.changed = true;
        } else if (auto it = stand.realMap.find(ac.id); it == stand.realMap.end()) {
            r.record(ac, 1, slot);
        } else {
            if (!(it->second.slot == slot)) {
                if (lf_updateStandSlots(slot, stand.options, stand.id, it->second, ac, 1))
                    r.changed = true;
                else
                    r.record(ac, 1, slot);
            }
            stand.realMap.erase(ac.id);
        }
        if (r.changed) countChange();
        return true;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: hh_now: {}, {}", "lf_addRealStandOption", slot.slot, e.what()));
        return false;
    }
}

bool lf_addSoftStandOption(uint32_t standId, const SimAircraft& ac, bool moved, WeekSlot slot, bool closing) {
    try {
        StandRecord r(standId, ac, slot);
        if (!r.stand) return false;
        ParkPos& stand = *r.stand;
        StandOption* open = nullptr;
        bool heldByFile = false;
        for (auto& o : stand.options) {
            if (o.real != 0 || o.key != r.key || o.weekday != r.weekday) continue;
            if (o.closed) {
                if (!(o.halfHours & r.bit)) return false;
                heldByFile = true;
                continue;
            }
            if (!open) open = &o;
        }
        if (heldByFile) {
            // The airport file has the aircraft here in this half-hour: one identity holds one half-hour once
            // on a stand, so nothing is learned, and a closing sighting is forgotten.
            if (closing) stand.softMap.erase(ac.id);
        } else if (!open) {
            const int32_t id = r.record(ac, 0, slot);
            if (id > 0) stand.softMap[ac.id] = {slot, static_cast<uint32_t>(id)};
        } else if (open->halfHours & r.bit) {
            // Already recorded for this half-hour.
        } else if (!moved && !closing) {
            open->halfHours |= r.bit;
            r.changed = true;
        } else if (auto it = stand.softMap.find(ac.id); it == stand.softMap.end()) {
            const int32_t id = r.record(ac, 0, slot);
            if (!closing && id > 0) stand.softMap[ac.id] = {slot, static_cast<uint32_t>(id)};
        } else {
            if (!(it->second.slot == slot)) {
                if (lf_updateStandSlots(slot, stand.options, stand.id, it->second, ac, 0))
                    r.changed = true;
                else if (closing)
                    r.record(ac, 0, slot);
            }
            if (closing) stand.softMap.erase(ac.id);
        }
        if (r.changed) countChange();
        return true;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: hh_now: {}, {}", "lf_addSoftStandOption", slot.slot, e.what()));
        return false;
    }
}

void lf_learnSoftStand(LiveAircraft& ac, bool force) {
    if (!LEARN_SOFT.value.load() || !standsLoaded) return;
    const CurrentAirport airport = gf_currentAirportCopy();
    if (airport.icao.empty()) return;
    if (gf_distanceNm(LatLon{ac.position[kPosLat], ac.position[kPosLon]}, LatLon{airport.latitude, airport.longitude}) >
        5.0)
        return;
    if (!force && ac.heightAglFt >= 2500.0) return;
    if (ac.standId != 0) return;
    const WeekSlot slot = gf_currentWeekSlot();
    for (auto& s : currentStands) {
        auto it = s.softMap.find(ac.id);
        if (it == s.softMap.end() || it->second.slot == slot) continue;
        if (lf_addSoftStandOption(s.id, ac, true, slot, !force)) gf_noteArrivalTried(ac.id, slot.slot);
        return;
    }
    if (!isArrivalDue(slot.packed(), ac.id, false)) return;
    const std::string& registration = ac.identity.registration;
    const uint64_t around = bitOf(slot.slot) | bitOf((slot.slot + 47) % 48) | bitOf((slot.slot + 1) % 48);
    for (const auto& s : currentStands)
        for (const auto& o : s.options)
            if (o.real && o.weekday == static_cast<int32_t>(slot.weekday) && o.key == registration &&
                (o.halfHours & around))
                return;
    ParkPos* stand = gf_chooseStand(slot, ac, true);
    if (!stand) return;
    if (!lf_addSoftStandOption(stand->id, ac, false, slot, !force)) gf_forgetArrivalTried(ac.id);
}

void lf_searchForCoupledCsAroundThisTime(WeekSlot slot, SimAircraft& ac) {
    try {
        const int window = isCategory(ac, AircraftCategory::Heavy) ? 14 : 10;
        const int from = std::max(0, static_cast<int>(slot.slot) - window);
        const int to = std::min(47, static_cast<int>(slot.slot) + window);
        uint64_t mask = 0;
        for (int h = from; h <= to; ++h) mask |= uint64_t{1} << h;
        std::string key = ac.identity.callsign;
        if (!key.empty() && key.back() == '_') key.pop_back();
        for (const auto& s : currentStands) {
            for (const auto& o : s.options) {
                if (o.id == 0 || o.weekday != static_cast<int32_t>(slot.weekday) || !(o.halfHours & mask) ||
                    o.airline != ac.identity.airline || o.callsignB.empty() ||
                    (key != o.callsignA && key != o.callsignB))
                    continue;
                ac.identity.identity6 = o.callsignA;
                ac.identity.identity7 = o.callsignB;
                return;
            }
        }
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "lf_searchForCoupledCsAroundThisTime", e.what()));
    }
}

std::string lf_userStandName() {
    if (!lf_userOnGround()) return {};
    return gf_standNameAt(userState.latitude, userState.longitude);
}
