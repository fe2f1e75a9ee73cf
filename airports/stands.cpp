#include "airports/stands.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

#include <fmt/format.h>

#include "foundation/log.h"

std::vector<ParkPos> currentStands;

ParkPos::ParkPos(std::string standName, std::vector<StandOption> planOptions, double lat, double lon, double headingRad,
                 double radiusMetres, std::int32_t notCargo, std::int32_t notRamp, std::int32_t notHeli)
    : options(std::move(planOptions)), name(std::move(standName)), latitude(lat), longitude(lon), heading(headingRad),
      radius(radiusMetres * standUnits::nmPerMetre), cargo(notCargo == 0 ? 1 : 0), ramp(notRamp == 0 ? 1 : 0),
      heli(notHeli == 0 ? 1 : 0) {
    coupledIds.reserve(8);
}

void gf_switchOffOption(StandOption& option) {
    if (option.id == 0) return;
    option.heldId = option.id;
    option.id = 0;
}

std::int32_t gf_nextOptionId(const std::vector<StandOption>& options) {
    std::int32_t next = 1;
    for (const StandOption& o : options) next = std::max(next, gf_lastingOptionId(o) + 1);
    return next;
}

void gf_renumberStandOptions(ParkPos& stand) {
    std::int32_t n = 0;
    for (StandOption& o : stand.options) {
        o.id = ++n;
        o.heldId = 0;
    }
}

namespace {

// An optional '-' and at least one digit, characters behind the digits ignored; nothing when the item does
// not start so or the value leaves the signed 32-bit range.
bool leadingInt(std::string_view item, std::int32_t& value) {
    const char* first = item.data();
    const char* last = item.data() + item.size();
    const auto [end, error] = std::from_chars(first, last, value);
    return error == std::errc{} && end != first;
}

}  // namespace

std::uint64_t gf_hours2bitset(std::string_view list) {
    std::uint64_t mask = 0;
    if (list.empty()) return mask;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string_view item = list.substr(start, comma == std::string_view::npos ? list.npos : comma - start);
        std::int32_t hour = -1;
        if (leadingInt(item, hour) && hour >= 0 && hour <= 47)
            mask |= std::uint64_t{1} << hour;
        else
            gf_logError(fmt::format("{} invalid hour \"{}\" in {}", "gf_hours2bitset", item, list));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return mask;
}

std::string gf_bitset2hours(std::uint64_t mask) {
    std::string text;
    for (int h = 0; h < 48; ++h)
        if ((mask >> h) & 1u) fmt::format_to(std::back_inserter(text), "{},", h);
    if (!text.empty()) text.pop_back();
    return text;
}
