#include "foundation/time_text.h"

#include <fmt/format.h>

#include <array>
#include <cmath>
#include <ctime>

#include "foundation/clock.h"
#include "foundation/feed_time.h"

std::atomic<std::uint64_t> weekSlot{WeekSlot{}.packed()};
std::atomic<std::uint8_t> timeShifted{0};

WeekSlot gf_currentWeekSlot() { return WeekSlot::fromPacked(weekSlot.load()); }

namespace {

constexpr std::string_view unknownName = "???";

std::tm utcBrokenDown(std::int64_t unixTime) {
    std::tm tm{};
    const std::time_t t = static_cast<std::time_t>(unixTime);
    gmtime_r(&t, &tm);
    return tm;
}

// Sunday is 0 in the broken-down time and 7 here.
int isoWeekday(const std::tm& tm) { return tm.tm_wday == 0 ? 7 : tm.tm_wday; }

std::uint32_t slotOf(const std::tm& tm) {
    const bool firstHalf = tm.tm_min < 29 || (tm.tm_min == 29 && tm.tm_sec < 30);
    const auto slot = static_cast<std::uint32_t>(2 * tm.tm_hour + (firstHalf ? 0 : 1));
    return slot % 48;
}

// "hh:mm:ss": 8 characters beginning 13 before the end of the time text.
std::string clockPart(const std::string& timeText) { return timeText.substr(timeText.size() - 13, 8); }

}  // namespace

std::string_view gf_weekdayName(int weekday) {
    static const std::array<std::string_view, 7> names{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    if (weekday < 1 || weekday > 7) return unknownName;
    return names[static_cast<std::size_t>(weekday - 1)];
}

std::string_view gf_monthName(int month) {
    static constexpr std::array<std::string_view, 12> names{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                            "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};
    if (month < 1 || month > 12) return unknownName;
    return names[static_cast<std::size_t>(month - 1)];
}

std::string gf_timeText(std::int64_t unixTime) {
    const std::tm tm = utcBrokenDown(unixTime);
    return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", gf_weekdayName(isoWeekday(tm)),
                       gf_monthName(tm.tm_mon + 1), tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, tm.tm_year + 1900);
}

std::string gf_nowText() { return clockPart(gf_timeText(gf_unixTime())); }

std::string gf_dateHeader() {
    const std::string text = gf_timeText(gf_unixTime());
    return fmt::format("{}, {}", text.substr(4, 6), text.substr(20, 4));
}

SlotTimeSource gf_slotTimeSource() {
    const std::int64_t now = gf_unixTime();
    if (!professionalAccount.load() || timeShifted.load() == 0) return {now, false};
    const double feedTime = lastFeedTimestamp.load();
    // The stamp comes from the feed as it stands: one that no 64-bit second count can hold (or no UTC
    // broken-down time, years beyond 9999) is no known time.
    constexpr double latestStamp = 253402300799.0;  // 9999-12-31 23:59:59
    if (std::isfinite(feedTime) && std::fabs(feedTime) <= latestStamp) {
        const auto whole = static_cast<std::int64_t>(feedTime);
        if (whole != 0) return {whole, true};
    }
    // No aircraft came yet (or the last answer had none): the time played is the clock less the shift,
    // the time the feed asks for.
    const std::int64_t minutes = feedOffsetMinutes.load();
    return {now - minutes * 60, minutes > 0};
}

std::string gf_simTimeStamp() {
    const SlotTimeSource source = gf_slotTimeSource();
    const std::string part = clockPart(gf_timeText(source.unixTime));
    return source.shifted ? fmt::format("<<< {}", part) : part;
}

std::uint32_t gf_halfHourSlotOf(std::int64_t unixTime) { return slotOf(utcBrokenDown(unixTime)); }

WeekSlot gf_weekSlotOf(std::int64_t unixTime) {
    const std::tm tm = utcBrokenDown(unixTime);
    return WeekSlot{static_cast<std::uint32_t>(isoWeekday(tm)), slotOf(tm)};
}

std::uint32_t gf_halfHourSlot() { return gf_halfHourSlotOf(gf_slotTimeSource().unixTime); }

WeekSlot gf_weekSlot() { return gf_weekSlotOf(gf_slotTimeSource().unixTime); }

int gf_slotDistance(WeekSlot a, WeekSlot b) {
    auto isLater = [](const WeekSlot& x, const WeekSlot& y) {
        // Monday follows Sunday: the week wraps.
        if (x.weekday == 1 && y.weekday == 7) return true;
        if (x.weekday == 7 && y.weekday == 1) return false;
        if (x.weekday != y.weekday) return x.weekday > y.weekday;
        return x.slot >= y.slot;
    };
    const WeekSlot later = isLater(a, b) ? a : b;
    const WeekSlot earlier = isLater(a, b) ? b : a;
    int distance = (static_cast<int>(later.weekday) - static_cast<int>(earlier.weekday)) * 48 +
                   static_cast<int>(later.slot) - static_cast<int>(earlier.slot);
    if (later.weekday == 1 && earlier.weekday == 7) distance += 336;
    return distance;
}
