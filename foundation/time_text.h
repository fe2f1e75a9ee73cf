#pragma once
// Time texts (always UTC) and the half-hour slots of the UTC week that the parking plans use.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Weekday 1 (Monday) .. 7 (Sunday) and half-hour 0..47 of the UTC day. Laid out as one 64-bit word
// (weekday in the low 32 bits, slot in the high 32 bits) so that it can be stored and read atomically.
struct WeekSlot {
    std::uint32_t weekday = 1;
    std::uint32_t slot = 0;

    constexpr std::uint64_t packed() const { return (std::uint64_t{slot} << 32) | weekday; }
    static constexpr WeekSlot fromPacked(std::uint64_t value) {
        return WeekSlot{static_cast<std::uint32_t>(value & 0xffffffffu), static_cast<std::uint32_t>(value >> 32)};
    }
    friend constexpr bool operator==(const WeekSlot&, const WeekSlot&) = default;
};

// The current week slot, stored by the main loop once a second; everybody else reads this.
extern std::atomic<std::uint64_t> weekSlot;
WeekSlot gf_currentWeekSlot();  // weekSlot unpacked

// Set while a time shift of more than 0 minutes is in force.
extern std::atomic<std::uint8_t> timeShifted;

// "Mon".."Sun" for 1..7, "???" otherwise.
std::string_view gf_weekdayName(int weekday);
// "Jan".."Dec" for 1..12 (October is "Okt"), "???" otherwise.
std::string_view gf_monthName(int month);

// "{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}": weekday, month, day, hours, minutes, seconds, year (24 characters).
std::string gf_timeText(std::int64_t unixTime);
// "hh:mm:ss" of the current real UTC time.
std::string gf_nowText();
// "{}, {}": month and day ("Dec 10") and year of the current real time.
std::string gf_dateHeader();

// The time that slots follow. With a professional account and a time shift set: the feed's time of the last
// parsed aircraft when that time (whole seconds) is not 0, else the real time less the shift (the time the
// feed asks for). The current real time otherwise.
struct SlotTimeSource {
    std::int64_t unixTime;
    bool shifted;  // the time played is not the real time
};
SlotTimeSource gf_slotTimeSource();

// Clock part of the slot time source: "<<< hh:mm:ss" when it is a shifted time, "hh:mm:ss" otherwise.
std::string gf_simTimeStamp();

// Half-hour slot 0..47; the second half of an hour begins at hh:29:30.
std::uint32_t gf_halfHourSlotOf(std::int64_t unixTime);
WeekSlot gf_weekSlotOf(std::int64_t unixTime);
std::uint32_t gf_halfHourSlot();  // of the slot time source
WeekSlot gf_weekSlot();           // of the slot time source (read once)

// Half-hours from the earlier to the later of two slots; Monday counts as after Sunday (the week wraps).
int gf_slotDistance(WeekSlot a, WeekSlot b);
