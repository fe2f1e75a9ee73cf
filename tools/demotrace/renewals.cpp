#include "tools/demotrace/renewals.h"

#include <cmath>
#include <optional>
#include <string_view>

#include <fmt/format.h>

namespace demotrace {

namespace {

constexpr int kSecondsPerDay = 86400;

bool isStatic(const TracedObject& o) { return o.created && !o.atcId.empty() && o.atcId.back() == '*'; }

constexpr std::string_view kTimeMark = " (utc) It is day";
constexpr std::string_view kAdjustmentsMark = "Parking adjustments: ";
constexpr std::string_view kParkTrafficMark = "ParkTraffic changes: ";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// "hh:mm:ss" as seconds of the day; -1 when it is no time of day.
int secondOfDay(std::string_view t) {
    if (t.size() != 8 || t[2] != ':' || t[5] != ':') return -1;
    for (std::size_t i : {0, 1, 3, 4, 6, 7})
        if (!isDigit(t[i])) return -1;
    const int h = (t[0] - '0') * 10 + (t[1] - '0'), m = (t[3] - '0') * 10 + (t[4] - '0'),
              s = (t[6] - '0') * 10 + (t[7] - '0');
    return h < 24 && m < 60 && s < 60 ? h * 3600 + m * 60 + s : -1;
}

// The whole number at the start of the text (at most 9 digits), taken off it.
std::optional<int> leadingCount(std::string_view& text) {
    std::size_t n = 0;
    int value = 0;
    while (n < text.size() && n < 9 && isDigit(text[n])) value = value * 10 + (text[n++] - '0');
    if (n == 0 || (n < text.size() && isDigit(text[n]))) return std::nullopt;
    text.remove_prefix(n);
    return value;
}

bool skip(std::string_view& text, std::string_view part) {
    if (!text.starts_with(part)) return false;
    text.remove_prefix(part.size());
    return true;
}

}  // namespace

std::vector<Renewal> readRenewals(std::istream& log) {
    std::vector<Renewal> renewals;
    int lastTime = -1;
    std::string line;
    while (std::getline(log, line)) {
        if (const auto at = line.find(kTimeMark); at != std::string::npos) {
            lastTime = at >= 8 ? secondOfDay(std::string_view(line).substr(at - 8, 8)) : -1;
            continue;
        }
        for (std::string_view mark : {kAdjustmentsMark, kParkTrafficMark}) {
            const auto at = line.find(mark);
            if (at == std::string::npos) continue;
            std::string_view rest = std::string_view(line).substr(at + mark.size());
            const auto removed = leadingCount(rest);
            if (!removed || !skip(rest, " to be removed, ")) break;
            const auto added = leadingCount(rest);
            if (!added || !skip(rest, " to be added")) break;
            if (lastTime >= 0) renewals.push_back(Renewal{lastTime, *removed, *added});
            lastTime = -1;
            break;
        }
    }
    return renewals;
}

RenewalSummary summariseRenewals(const Trace& trace, const std::vector<Renewal>& renewals) {
    RenewalSummary s;
    s.renewals = static_cast<int>(renewals.size());
    for (const Renewal& r : renewals) {
        s.toBeRemoved += r.toBeRemoved;
        s.toBeAdded += r.toBeAdded;
    }
    if (!trace.startUtcMs || renewals.empty()) return s;
    s.timed = true;
    // The trace's time 0 as a second of the UTC day; a run may pass midnight, none lasts a day.
    const double startSecond = std::fmod(std::floor(*trace.startUtcMs / 1000.0), kSecondsPerDay);
    const double startFraction = std::fmod(*trace.startUtcMs, 1000.0);
    std::vector<double> at;
    for (const Renewal& r : renewals) {
        double seconds = r.utcSecondOfDay - startSecond;
        if (seconds < 0) seconds += kSecondsPerDay;
        at.push_back(seconds * 1000.0 - startFraction);
    }
    for (const auto& entry : trace.objects) {
        const TracedObject& o = entry.second;
        if (!isStatic(o)) continue;
        for (std::size_t i = 0; i < at.size(); ++i) {
            const double from = at[i] - kRenewalSlackMs;
            const double until = i + 1 < at.size() ? at[i + 1] - kRenewalSlackMs : INFINITY;
            if (o.createdMs && *o.createdMs >= from && *o.createdMs < until) ++s.placed;
            if (o.removeMs && *o.removeMs >= from && *o.removeMs <= at[i] + kRenewalRemovalMs) ++s.removed;
        }
    }
    return s;
}

std::string renewalText(const RenewalSummary& s) {
    const std::string planned = fmt::format("the log: {} to be added, {} to be removed", s.toBeAdded, s.toBeRemoved);
    if (s.renewals == 0) return "renewals         0\n";
    if (!s.timed) return fmt::format("renewals         {} ({}; the trace has no clock)\n", s.renewals, planned);
    return fmt::format("renewals         {} (statics placed {}, removed {}; {})\n", s.renewals, s.placed, s.removed,
                       planned);
}

}  // namespace demotrace
