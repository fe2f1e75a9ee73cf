#include <gtest/gtest.h>

#include <limits>

#include "foundation/clock.h"
#include "foundation/feed_time.h"
#include "foundation/time_text.h"

namespace {

constexpr std::int64_t kMonday1029_29 = 1796639369;  // Mon 2026-12-07 10:29:29 UTC
constexpr std::int64_t kSunday235959 = 1797206399;   // Sun 2026-12-13 23:59:59 UTC

TEST(TimeText, FixedFormatOfTwentyFourCharacters) {
    EXPECT_EQ(gf_timeText(1796910307), "Thu Dec 10 13:45:07 2026");
    EXPECT_EQ(gf_timeText(0), "Thu Jan 01 00:00:00 1970");
    EXPECT_EQ(gf_timeText(1791108000), "Sun Okt 04 10:00:00 2026");  // October is "Okt"
    EXPECT_EQ(gf_timeText(1796910307).size(), 24u);
}

TEST(TimeText, NowTextAndDateHeaderFollowTheClock) {
    ManualClock clock(1796910307);
    ScopedClock installed(clock);
    EXPECT_EQ(gf_nowText(), "13:45:07");
    EXPECT_EQ(gf_dateHeader(), "Dec 10, 2026");
}

TEST(TimeText, NameTables) {
    EXPECT_EQ(gf_weekdayName(1), "Mon");
    EXPECT_EQ(gf_weekdayName(7), "Sun");
    EXPECT_EQ(gf_weekdayName(0), "???");
    EXPECT_EQ(gf_weekdayName(8), "???");
    EXPECT_EQ(gf_monthName(10), "Okt");
    EXPECT_EQ(gf_monthName(0), "???");
    EXPECT_EQ(gf_monthName(13), "???");
}

TEST(WeekSlot, HalfHourBoundaryIsThirtySecondsEarly) {
    const struct {
        std::int64_t offset;
        std::uint32_t slot;
    } cases[] = {{0, 20}, {1, 21}, {-10 * 3600 - 29 * 60 - 29, 0}, {31, 21}, {1830, 21}, {1831, 22}};
    for (const auto& c : cases) EXPECT_EQ(gf_halfHourSlotOf(kMonday1029_29 + c.offset), c.slot) << c.offset;
    EXPECT_EQ(gf_halfHourSlotOf(kSunday235959 - 29), 47u);  // 23:59:30
    EXPECT_EQ(gf_halfHourSlotOf(kSunday235959), 47u);
}

TEST(WeekSlot, SundayIsSevenAndPackingKeepsWeekdayLow) {
    const WeekSlot sunday = gf_weekSlotOf(kSunday235959);
    EXPECT_EQ(sunday.weekday, 7u);
    EXPECT_EQ(sunday.slot, 47u);
    EXPECT_EQ(gf_weekSlotOf(kSunday235959 + 1), (WeekSlot{1, 0}));
    EXPECT_EQ(sunday.packed(), (std::uint64_t{47} << 32) | 7u);
    EXPECT_EQ(WeekSlot::fromPacked(sunday.packed()), sunday);
}

TEST(WeekSlot, SlotDistanceWrapsFromSundayToMonday) {
    const struct {
        WeekSlot a, b;
        int distance;
    } cases[] = {
        {{1, 0}, {7, 47}, 1}, {{7, 47}, {1, 0}, 1},   {{2, 0}, {1, 47}, 1}, {{1, 47}, {2, 0}, 1},
        {{3, 5}, {3, 5}, 0},  {{4, 10}, {2, 4}, 102}, {{1, 0}, {7, 0}, 48}, {{6, 0}, {1, 0}, 240},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gf_slotDistance(c.a, c.b), c.distance)
            << c.a.weekday << "/" << c.a.slot << " " << c.b.weekday << "/" << c.b.slot;
}

class SlotSourceTest : public ::testing::Test {
protected:
    void TearDown() override {
        professionalAccount = false;
        timeShifted = 0;
        feedOffsetMinutes = 0;
        lastFeedTimestamp = 0.0;
    }
    ManualClock clock_{1796910307};  // Thu 13:45:07
    ScopedClock installed_{clock_};
};

TEST_F(SlotSourceTest, FeedTimeIsUsedOnlyWithProfessionalAccountTimeShiftAndAKnownTime) {
    const double feedTime = kMonday1029_29 + 0.75;
    lastFeedTimestamp = feedTime;
    EXPECT_EQ(gf_simTimeStamp(), "13:45:07");
    EXPECT_EQ(gf_weekSlot(), (WeekSlot{4, 27}));

    professionalAccount = true;
    EXPECT_EQ(gf_simTimeStamp(), "13:45:07");  // no time shift
    timeShifted = 1;
    EXPECT_EQ(gf_simTimeStamp(), "<<< 10:29:29");
    EXPECT_EQ(gf_weekSlot(), (WeekSlot{1, 20}));
    EXPECT_EQ(gf_halfHourSlot(), 20u);

    // Cut to whole seconds 0, or beyond any date: not known.
    for (const double unknown : {0.4, 1e30, -1e30, std::numeric_limits<double>::infinity()}) {
        lastFeedTimestamp = unknown;
        EXPECT_EQ(gf_simTimeStamp(), "13:45:07") << unknown;
        EXPECT_EQ(gf_weekSlot(), (WeekSlot{4, 27})) << unknown;
    }
}

// Until the feed's first time stamp (and after an answer without aircraft) a time shift is played on the
// clock less the shift, never on the real clock: the plan of a shifted Thursday is a Thursday plan.
TEST_F(SlotSourceTest, WithoutAFeedTimeTheShiftedClockIsUsed) {
    professionalAccount = true;
    timeShifted = 1;
    struct Case {
        std::int32_t minutes;
        const char* stamp;
        WeekSlot slot;
    };
    for (const auto& c : std::vector<Case>{
             {1440, "<<< 13:45:07", {3, 27}}, {90, "<<< 12:15:07", {4, 24}}, {40320, "<<< 13:45:07", {4, 27}}}) {
        SCOPED_TRACE(c.minutes);
        feedOffsetMinutes = c.minutes;
        for (const double unknown : {0.0, 1e30}) {
            lastFeedTimestamp = unknown;
            EXPECT_EQ(gf_simTimeStamp(), c.stamp);
            EXPECT_EQ(gf_weekSlot(), c.slot);
            EXPECT_EQ(gf_halfHourSlot(), c.slot.slot);
        }
        lastFeedTimestamp = kMonday1029_29;
        EXPECT_EQ(gf_weekSlot(), (WeekSlot{1, 20})) << "the feed's time comes first";
    }
    professionalAccount = false;
    lastFeedTimestamp = 0.0;
    EXPECT_EQ(gf_weekSlot(), (WeekSlot{4, 27})) << "a shift plays only with a professional account";
}

// A clock whose UTC time moves one second at every reading.
class TickingClock final : public Clock {
public:
    explicit TickingClock(std::int64_t start) : next_(start) {}
    SteadyTime steadyNow() override { return SteadyTime{}; }
    UtcTime utcNow() override { return UtcTime(std::chrono::seconds(next_++)); }
    void sleepUntil(SteadyTime) override {}
    void sleepFor(std::chrono::nanoseconds) override {}

private:
    std::int64_t next_;
};

TEST(WeekSlot, ReadsTheClockOnceForWeekdayAndSlot) {
    // Sunday 23:59:59 then Monday 00:00:00: two readings would mix Sunday with Monday's first slot.
    TickingClock clock(kSunday235959);
    ScopedClock installed(clock);
    EXPECT_EQ(gf_weekSlot(), (WeekSlot{7, 47}));
}

TEST(WeekSlot, CurrentWeekSlotIsOneAtomicWord) {
    weekSlot = WeekSlot{3, 17}.packed();
    EXPECT_EQ(gf_currentWeekSlot(), (WeekSlot{3, 17}));
    weekSlot = WeekSlot{}.packed();
}

}  // namespace
