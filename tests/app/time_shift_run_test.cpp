// A time shift of one day played end to end: the program's own headless run against the stand-ins as the demo lays
// them out, with the demo's professional licence and the shift saved in the settings. The stand-in web service
// answers with its traffic moved one day into the past; the live aircraft must be created and fly, and the week
// slot and the parking plan must be those of yesterday, with traffic and before any (the feed's time, else the
// clock less the shift).
#include <cmath>
#include <set>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "foundation/clock.h"
#include "foundation/feed_time.h"
#include "foundation/time_text.h"
#include "tests/app/demo_run_fixture.h"

namespace {

using namespace demorun;
using namespace std::chrono_literals;

constexpr std::int64_t kDay = 86400;

class TimeShiftRun : public DemoRun {
protected:
    TimeShiftRun() { extraSettings_ = {{"TIME_SHIFT_DAYS", "1"}}; }

    // Yesterday's weekday; the test may run across midnight, so both ends count.
    void noteShiftedWeekday() { shiftedWeekdays_.insert(gf_weekSlotOf(gf_unixTime() - kDay).weekday); }

    // The plan's "It is day N (Ddd)" line names yesterday, on the shifted clock ("<<< ").
    bool planIsOfYesterday() const {
        const std::string log = logText();
        for (const std::uint32_t day : shiftedWeekdays_) {
            const std::string line =
                fmt::format(" (utc) It is day {} ({}), ", day, gf_weekdayName(static_cast<int>(day)));
            const auto at = log.find(line);
            if (at != std::string::npos && at >= 12 && log.compare(at - 12, 4, "<<< ") == 0) return true;
        }
        return false;
    }

    // The live aircraft in flight in the simulator (static ones carry a callsign ending in '*').
    std::vector<vsim::ObjectInfo> flyingLiveObjects() const {
        std::vector<vsim::ObjectInfo> out;
        for (const auto& o : sim_->objects())
            if (!o.isUser && o.visible && !o.removed && !o.atcId.empty() && o.atcId.back() != '*' &&
                o.position.altitude > 1000.0)
                out.push_back(o);
        return out;
    }

    std::set<std::uint32_t> shiftedWeekdays_;
};

TEST_F(TimeShiftRun, WithTrafficTheAircraftFlyAndTheWeekIsTheFeeds) {
    noteShiftedWeekday();
    startTheProgram();

    // A live aircraft is created and flies on.
    ASSERT_TRUE(pumpUntil([this] { return !flyingLiveObjects().empty(); })) << logTail();
    const vsim::ObjectInfo first = flyingLiveObjects().front();
    ASSERT_TRUE(pumpUntil([&] {
        const auto now = sim_->object(first.id);
        return now && (now->position.latitude != first.position.latitude ||
                       now->position.longitude != first.position.longitude);
    })) << first.atcId
        << " does not move";

    // The feed's time is yesterday's, and the week slot follows it.
    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();
    noteShiftedWeekday();
    const double feedTime = lastFeedTimestamp.load();
    EXPECT_LT(std::fabs(feedTime - static_cast<double>(gf_unixTime() - kDay)), 120.0) << fmt::format("{}", feedTime);
    EXPECT_EQ(shiftedWeekdays_.count(gf_currentWeekSlot().weekday), 1u) << gf_currentWeekSlot().weekday;
    EXPECT_TRUE(planIsOfYesterday()) << logTail();
    EXPECT_EQ(logText().find("dropped, time stamp"), std::string::npos) << "the shifted traffic is the feed's time";
}

TEST_F(TimeShiftRun, WithoutTrafficThePlanIsOfTheShiftedClock) {
    nlohmann::json scenario = nlohmann::json::parse(readWholeFile(demoDir / "traffic.json"));
    scenario["tracks"] = nlohmann::json::array();
    stub_.loadScenario(scenario);
    noteShiftedWeekday();
    startTheProgram();

    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();
    noteShiftedWeekday();
    EXPECT_NE(logText().find("No traffic in this region?"), std::string::npos) << logTail();
    EXPECT_EQ(lastFeedTimestamp.load(), 0.0);
    EXPECT_EQ(shiftedWeekdays_.count(gf_currentWeekSlot().weekday), 1u) << gf_currentWeekSlot().weekday;
    EXPECT_TRUE(planIsOfYesterday()) << logTail();
}

}  // namespace
