#include "engine/stand_options.h"

#include <algorithm>
#include <bitset>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/learned.h"
#include "catalogue/reference_db.h"
#include "foundation/log.h"

namespace {

std::string withoutGhostMark(std::string_view callsign) {
    if (!callsign.empty() && callsign.back() == '_') callsign.remove_suffix(1);
    return std::string(callsign);
}

// By the lasting id: a sighting still extends its option while a search has switched it off.
StandOption* findOption(std::vector<StandOption>& options, int32_t id) {
    if (id == 0) return nullptr;
    for (auto& o : options)
        if (gf_lastingOptionId(o) == id) return &o;
    return nullptr;
}

uint64_t halfHourBit(uint32_t halfHour) {
    std::bitset<48> bits;
    bits.set(halfHour);  // throws std::out_of_range outside the day
    return bits.to_ullong();
}

// Operator and type of an option of the key: the registration table's (its operator before its airline), else
// the aircraft's.
void setOperatorAndType(StandOption& option, const SimAircraft& ac, const std::string& key) {
    if (const auto reg = gf_findRegcode(key)) {
        option.airline = reg->operatorCode.empty() ? reg->airline : reg->operatorCode;
        option.icaoType = reg->type;
    } else {
        option.airline = ac.identity.airline;
        option.icaoType = ac.identity.icaoType;
    }
}

}  // namespace

int32_t gf_makeStandOption(std::vector<StandOption>& options, const SimAircraft& ac, int32_t real, WeekSlot slot,
                           std::string_view callsign, const std::string& key) {
    if (key.empty()) return 0;
    const std::string cs = withoutGhostMark(callsign);
    const uint64_t mask = halfHourBit(slot.slot);
    // Also above the ids of switched-off options, which sightings may still hold.
    const int32_t id = gf_nextOptionId(options);
    StandOption made;
    setOperatorAndType(made, ac, key);
    for (const auto& o : options)
        if (o.key == key && o.weekday == static_cast<int32_t>(slot.weekday) && o.halfHours == mask && o.callsignA == cs)
            return 0;
    made.key = key;
    made.callsignA = cs;
    made.halfHours = mask;
    made.id = id;
    made.weekday = static_cast<int32_t>(slot.weekday);
    made.closed = 0;
    made.real = real;
    options.push_back(std::move(made));
    return id;
}

RecordedOption gf_recordStandOption(std::vector<StandOption>& options, const SimAircraft& ac, int32_t real,
                                    WeekSlot slot, std::string_view callsign, const std::string& key) {
    if (key.empty()) return {};
    const uint64_t bit = halfHourBit(slot.slot);
    StandOption wanted;
    setOperatorAndType(wanted, ac, key);
    wanted.key = key;
    wanted.weekday = static_cast<int32_t>(slot.weekday);
    wanted.real = real;
    for (StandOption& o : options) {
        if (o.closed != 0 || gf_lastingOptionId(o) == 0 || !lf_sameOptionIdentity(o, wanted)) continue;
        const StandOption before = o;
        o.halfHours |= bit;
        const int32_t id = gf_lastingOptionId(o);
        lf_setCoupledCallsign(options, id, callsign);
        return {id, !(o == before)};
    }
    const int32_t id = gf_makeStandOption(options, ac, real, slot, callsign, key);
    return {id, id > 0};
}

bool lf_optionMatchesAircraft(std::string_view callsign, const SimAircraft& ac, const StandOption& option) {
    if (option.real == 0 || option.id == 0) return false;
    if (option.callsignA == callsign || option.callsignB == callsign) return true;
    return option.airline == ac.identity.airline && option.icaoType == ac.identity.icaoType;
}

void lf_setCoupledCallsign(std::vector<StandOption>& options, int32_t id, std::string_view callsign) {
    const std::string cs = withoutGhostMark(callsign);
    if (cs.empty()) return;
    StandOption* o = findOption(options, id);
    if (!o) return;
    if (o->callsignA.empty())
        o->callsignA = cs;
    else if (cs != o->callsignA && cs != o->callsignB)
        o->callsignB = cs;
}

void lf_halfHoursBack(std::vector<uint32_t>& out, int count, WeekSlot start) {
    WeekSlot s = start;
    for (int i = 0; i < count; ++i) {
        out.push_back(s.slot);
        if (s.slot == 0) {
            s.slot = 47;
            s.weekday = s.weekday <= 1 ? 7 : s.weekday - 1;
        } else {
            --s.slot;
        }
    }
}

bool updateOptions(std::vector<StandOption>& options, const std::vector<uint32_t>& halfHours, int32_t id) {
    try {
        StandOption* o = findOption(options, id);
        if (!o) return false;
        uint64_t mask = 0;
        for (uint32_t h : halfHours) mask |= halfHourBit(h);
        o->halfHours |= mask;
        return true;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{} exception:{}", "updateOptions", e.what()));
        return false;
    }
}

bool updateOptionsWrapped(std::vector<StandOption>& options, const std::vector<uint32_t>& halfHours, int32_t earlierId,
                          int32_t laterId) {
    try {
        StandOption* earlier = findOption(options, earlierId);
        StandOption* later = findOption(options, laterId);
        if (!earlier || !later) return false;
        uint64_t laterMask = 0;
        uint64_t earlierMask = 0;
        bool wrapped = false;
        for (size_t i = 0; i < halfHours.size(); ++i) {
            if (i > 0 && halfHours[i] > halfHours[i - 1]) wrapped = true;
            (wrapped ? earlierMask : laterMask) |= halfHourBit(halfHours[i]);
        }
        later->halfHours |= laterMask;
        earlier->halfHours |= earlierMask;
        return true;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{} exception:{}", "updateOptionsWrapped", e.what()));
        return false;
    }
}

void lf_extendAcrossMidnight(std::vector<StandOption>& options, WeekSlot now, std::string_view callsign, int n,
                             int32_t earlierId, int32_t laterId) {
    std::vector<uint32_t> halfHours;
    lf_halfHoursBack(halfHours, n, now);
    updateOptionsWrapped(options, halfHours, earlierId, laterId);
    lf_setCoupledCallsign(options, earlierId, callsign);
    lf_setCoupledCallsign(options, laterId, callsign);
}

bool lf_updateStandSlots(WeekSlot now, std::vector<StandOption>& options, uint32_t standId, StandSighting& last,
                         const SimAircraft& ac, int32_t real) {
    if (standId == 0) return true;
    const int window = ac.cargoWanted ? 12 : ac.category == static_cast<uint32_t>(AircraftCategory::Heavy) ? 8 : 6;
    const uint32_t nextDay = last.slot.weekday >= 7 ? 1 : last.slot.weekday + 1;
    for (int k = 1; k < window; ++k) {
        const bool sameDay = now.weekday == last.slot.weekday && now.slot == (last.slot.slot + k) % 48;
        const bool followingDay =
            now.weekday == nextDay && static_cast<int>(now.slot) - static_cast<int>(last.slot.slot) + 48 == k;
        if (!sameDay && !followingDay) continue;
        const std::string& callsign = ac.identity.callsign;
        if (followingDay) {
            const std::string& key = ac.identity.registration.empty() ? callsign : ac.identity.registration;
            const int32_t id = gf_recordStandOption(options, ac, real, now, callsign, key).id;
            if (id > 0) {
                lf_extendAcrossMidnight(options, now, callsign, k, static_cast<int32_t>(last.optionId), id);
                last.optionId = static_cast<uint32_t>(id);
            }
        } else {
            std::vector<uint32_t> halfHours;
            lf_halfHoursBack(halfHours, k, now);
            updateOptions(options, halfHours, static_cast<int32_t>(last.optionId));
            lf_setCoupledCallsign(options, static_cast<int32_t>(last.optionId), callsign);
        }
        last.slot = now;
        return true;
    }
    return false;
}
