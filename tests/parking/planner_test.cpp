// The parking planner: wanted count, slots, fit levels, rejection rules, parked records, renewal.
#include <set>

#include "airports/apf_reader.h"
#include "airports/park_list.h"
#include "catalogue/reference_db.h"
#include "engine/engine_state.h"
#include "engine/stands.h"
#include "engine/static_jobs.h"
#include "feed/readers.h"
#include "feed/web_api.h"
#include "foundation/clock.h"
#include "foundation/random.h"
#include "parking/planner.h"
#include "shell/display.h"
#include "simlink/commands.h"
#include "tests/airports/airports_fixture.h"

namespace {
constexpr std::uint64_t bit(int h) { return std::uint64_t{1} << h; }

StandOption option(const std::string& cs, std::uint64_t mask, int weekday, int real = 1, const std::string& reg = "",
                   const std::string& csB = "") {
    return StandOption{"DLH", "A320", reg, cs, csB, mask, 0, weekday, 1, real};
}

class PlannerTest : public AirportsTest {
public:
    PlannerHooks saved;
    double askedRange = 0.0;
    void SetUp() override {
        AirportsTest::SetUp();
        saved = gf_plannerHooks();
        gf_plannerHooks().readParkedTraffic = [] { return true; };
        // The nearest stand to the record within the range, free or not (the planner judges used stands).
        gf_plannerHooks().nearestFittingStand = [this](double lat, double lon, const SimAircraft&,
                                                       double maxNm) -> ParkPos* {
            askedRange = maxNm;
            ParkPos* best = nullptr;
            double bestD = maxNm;
            for (ParkPos& s : currentStands) {
                double d = gf_distanceNm(LatLon{lat, lon}, LatLon{s.latitude, s.longitude});
                if (d <= bestD) bestD = d, best = &s;
            }
            return best;
        };
        clearLists();
        setParkAirport("EDDF");
    }
    void TearDown() override {
        gf_plannerHooks() = saved;
        clearLists();
        AirportsTest::TearDown();
    }
    static void clearLists() {
        staticJobs.clear();
        staticList.clear();
        liveList.clear();
        trafficReader.parkedRecords.clear();
        engineBufferedCallsigns.clear();
        engineBufferedAddresses.clear();
        gf_resetPlanner();
        userReservedStand.clear();
        CUSTOM_PARKING_PERCENTAGE.value = -1;
        CUSTOM_MAX_PARK.value = -1;
        HELICOPTERS.value = HELICOPTERS.defaultValue;
    }
    // Stands 100 m apart (not coupled), each with its options, numbered 1, 2, 3 ...
    static void makeStands(std::vector<std::vector<StandOption>> options, double spacingMetres = 100.0) {
        currentStands.clear();
        for (std::size_t i = 0; i < options.size(); ++i) {
            for (std::size_t k = 0; k < options[i].size(); ++k) options[i][k].id = std::int32_t(k + 1);
            currentStands.emplace_back(fmt::format("S{}", i + 1), options[i],
                                       47.0 + double(i) * spacingMetres / 1852.0 / 60.0, 8.0, 0.0, 20.0, 1, 1, 1);
        }
        gf_numberAndCoupleStands(currentStands);
    }
    static ParkedRecord record(std::uint32_t address, const std::string& cs, int standIndex, double offsetMetres = 0.0,
                               int age = 0) {
        ParkedRecord r;
        r.address = address;
        r.identity.callsign = cs;
        r.identity.airline = "DLH";
        r.identity.icaoType = "A320";
        r.latitude = currentStands[std::size_t(standIndex)].latitude + offsetMetres / 1852.0 / 60.0;
        r.longitude = 8.0;
        r.slot = age;
        return r;
    }
};

TEST(PlannerSlots, WantedCount) {
    struct Case {
        int pct;
        int stands;
        int maxPark;
        std::int64_t wanted;
        int shown;
    };
    for (const Case& c :
         {Case{30, 0, -1, 1, 30}, Case{30, 1, -1, 1, 30}, Case{100, 1, -1, 1, 100}, Case{49, 2, -1, 1, 49},
          Case{49, 3, -1, 1, 49}, Case{50, 3, -1, 2, 50}, Case{50, 2, -1, 1, 50}, Case{30, 5, -1, 2, 30},
          Case{30, 4, -1, 1, 30}, Case{25, 10, -1, 3, 25}, Case{0, 10, -1, 0, 0}, Case{30, 100, 0, 0, 0},
          Case{30, 100, 10, 10, 10}, Case{30, 100, 50, 30, 30}, Case{30, 0, 5, 1, 0}}) {
        std::int32_t shown = -9;
        EXPECT_EQ(lf_wantedCount(c.pct, c.stands, c.maxPark, shown), c.wanted)
            << c.pct << "% of " << c.stands << " cap " << c.maxPark;
        EXPECT_EQ(shown, c.shown) << c.pct << "% of " << c.stands << " cap " << c.maxPark;
    }
}

TEST(PlannerSlots, HalfHourWrapAndOrder) {
    struct Case {
        WeekSlot slot;
        int back;
        WeekSlot expected;
    };
    for (const Case& c : {Case{{3, 10}, 0, {3, 10}}, Case{{3, 10}, 10, {3, 0}}, Case{{3, 0}, 1, {2, 47}},
                          Case{{1, 0}, 1, {7, 47}}, Case{{1, 5}, 47, {7, 6}}, Case{{2, 0}, 96, {7, 0}}})
        EXPECT_EQ(lf_slotBefore(c.slot, c.back), c.expected) << c.slot.weekday << "/" << c.slot.slot << " -" << c.back;
    EXPECT_EQ(lf_slotAfter(WeekSlot{3, 46}), (WeekSlot{3, 47}));
    EXPECT_EQ(lf_slotAfter(WeekSlot{3, 47}), (WeekSlot{4, 0}));
    EXPECT_EQ(lf_slotAfter(WeekSlot{7, 47}), (WeekSlot{1, 0}));
    EXPECT_TRUE(lf_slotEarlier(WeekSlot{7, 40}, WeekSlot{1, 0}));  // Sunday before Monday
    EXPECT_FALSE(lf_slotEarlier(WeekSlot{1, 0}, WeekSlot{7, 40}));
    EXPECT_TRUE(lf_slotEarlier(WeekSlot{3, 4}, WeekSlot{3, 5}));
    EXPECT_FALSE(lf_slotEarlier(WeekSlot{3, 5}, WeekSlot{3, 5}));
    EXPECT_TRUE(lf_sameOrEarlier(WeekSlot{3, 5}, WeekSlot{3, 5}));
}

TEST_F(PlannerTest, FitLevelsSearchBackUpToMaxFit) {
    // Stand 1 is planned now, stand 2 two half-hours ago, stand 3 at 47 of the day before (half-hour 0 now).
    struct Case {
        int maxFit;
        WeekSlot now;
        std::int64_t wanted;
        std::size_t found;
        int fitReached;
    };
    for (const Case& c : {Case{0, {3, 2}, 3, 1, 0}, Case{2, {3, 2}, 3, 2, 2}, Case{2, {3, 2}, 1, 1, 0},
                          Case{47, {3, 2}, 2, 2, 2}, Case{3, {3, 2}, 3, 3, 3}}) {
        makeStands({{option("DLH1", bit(2), 3)}, {option("DLH2", bit(0), 3)}, {option("DLH3", bit(47), 2)}});
        staticJobs.clear();
        MAX_FIT.value = c.maxFit;
        std::vector<StaticJob> level;
        const bool reached = lf_fitStands(c.now, kRealKind, c.wanted, level);
        staticJobs.insert(staticJobs.end(), level.begin(), level.end());
        EXPECT_EQ(staticJobs.size(), c.found) << "MAX_FIT " << c.maxFit << " wanted " << c.wanted;
        EXPECT_EQ(reached, std::int64_t(c.found) >= c.wanted);
        EXPECT_EQ(plannerDisplay.realFit.load(), c.fitReached) << "MAX_FIT " << c.maxFit << " wanted " << c.wanted;
        for (const StaticJob& j : staticJobs) {
            EXPECT_EQ(j.planned, 1u);
            EXPECT_EQ(j.feedHexid, 0u);
        }
    }
    // Monday half-hour 0, fit 1: Sunday 47.
    makeStands({{option("SUN", bit(47), 7)}});
    std::vector<StaticJob> level, jobs;
    lf_searchStands(WeekSlot{1, 0}, kRealKind, 1, level, jobs);
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(level[0].callsignA, "SUN");
    EXPECT_EQ(level[0].ageSlots, 1u);
}

TEST_F(PlannerTest, SearchSkipsUsedReservedWrongKindAndHelipads) {
    const WeekSlot now{4, 20};
    makeStands({{option("A", bit(20), 4)},
                {option("B", bit(20), 4)},
                {option("C", bit(20), 4, 0)},
                {option("D", bit(20), 4)},
                {option("E", bit(21), 4)},
                {option("F", bit(20), 5)}});
    currentStands[0].taken = 1;
    currentStands[1].reserved = 1;
    currentStands[3].heli = 1;
    HELICOPTERS.value = false;
    WEEK.value = false;
    std::vector<StaticJob> level, jobs;
    lf_searchStands(now, kRealKind, 0, level, jobs);
    EXPECT_TRUE(level.empty());
    HELICOPTERS.value = true;
    lf_searchStands(now, kRealKind, 0, level, jobs);
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(level[0].callsignA, "D");
    level.clear();
    lf_searchStands(now, kSoftKind, 0, level, jobs);
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(level[0].callsignA, "C");
    level.clear();
    WEEK.value = true;  // any weekday
    lf_searchStands(now, kRealKind, 0, level, jobs);
    ASSERT_EQ(level.size(), 1u);
    EXPECT_EQ(level[0].callsignA, "F");
}

TEST_F(PlannerTest, RejectionRulesSwitchTheOptionOff) {
    const WeekSlot now{4, 20};
    struct Case {
        const char* name;
        std::function<void()> arrange;
    };
    const std::vector<Case> cases = {
        {"registration already a job",
         [] {
             staticJobs.push_back(StaticJob{0, 1, 99, 0, "DLH", "A320", "X", "", "D-AIAB", 1});
         }},
        {"callsign live", [] { engineBufferedCallsigns.insert("DLH1"); }},
        {"second callsign live with _", [] { engineBufferedCallsigns.insert("LH1_"); }},
        {"static with the callsign part",
         [] {
             SimAircraft s;
             s.identity.identity6 = "LH1";
             s.standId = 42;  // on another stand
             staticList.push_back(s);
         }},
        {"job with the callsign",
         [] {
             staticJobs.push_back(StaticJob{0, 1, 99, 0, "DLH", "A320", "DLH1", "", "", 1});
         }},
        {"live stayer",
         [] {
             liveStayers.push_back(ParkedLive{"DLH1", 7, 3});
         }},
        {"active static represents it",
         [] {
             SimAircraft s;
             s.identity.callsign = "DLH1*";
             s.simState = SimState::Active;
             s.standId = 42;
             staticList.push_back(s);
         }},
    };
    for (const Case& c : cases) {
        clearLists();
        makeStands({{option("DLH1", bit(20), 4, 1, "D-AIAB", "LH1")}});
        c.arrange();
        std::vector<StaticJob> level;
        lf_searchStands(now, kRealKind, 0, level, staticJobs);
        EXPECT_TRUE(level.empty()) << c.name;
        EXPECT_EQ(currentStands[0].options[0].id, 0) << c.name;
        EXPECT_EQ(currentStands[0].taken, 0) << c.name;
    }
    clearLists();
    makeStands({{option("DLH1", bit(20), 4, 1, "D-AIAB", "LH1")}});
    std::vector<StaticJob> level;
    lf_searchStands(now, kRealKind, 0, level, staticJobs);
    ASSERT_EQ(level.size(), 1u);
    // Strings in order airline, type, callsign parts, registration; stays from the next half-hour's bit.
    EXPECT_EQ(level[0].identity0, "DLH");
    EXPECT_EQ(level[0].icaoType, "A320");
    EXPECT_EQ(level[0].callsignA, "DLH1");
    EXPECT_EQ(level[0].callsignB, "LH1");
    EXPECT_EQ(level[0].registration, "D-AIAB");
    EXPECT_EQ(level[0].preferA, 0);
}

TEST_F(PlannerTest, StaysFollowsTheNextHalfHour) {
    struct Case {
        WeekSlot now;
        std::vector<StandOption> options;
        std::uint8_t stays;
    };
    for (const Case& c :
         {Case{{4, 20}, {option("A", bit(20) | bit(21), 4, 1, "", "B")}, 1},
          Case{{4, 20}, {option("A", bit(20), 4, 1, "", "B")}, 0},
          Case{{4, 20}, {option("A", bit(20), 4)}, 1},  // no second part
          Case{{4, 47}, {option("A", bit(47), 4, 1, "", "B"), option("A", bit(0), 5, 1, "", "B")}, 1},
          Case{{4, 47}, {option("A", bit(47), 4, 1, "", "B"), option("A", bit(1), 5, 1, "", "B")}, 0},
          Case{{7, 47}, {option("A", bit(47), 7, 1, "", "B"), option("A", bit(0), 1, 1, "", "B")}, 1}}) {
        clearLists();
        makeStands({c.options});
        std::vector<StaticJob> level;
        lf_searchStands(c.now, kRealKind, 0, level, staticJobs);
        ASSERT_EQ(level.size(), 1u);
        EXPECT_EQ(level[0].preferA, c.stays) << c.now.weekday << "/" << c.now.slot;
    }
}

TEST_F(PlannerTest, ParkedRecordPlacement) {
    makeStands({{}, {}, {}, {}});
    RT_PARKTRAFFIC_ONLY.value = false;
    currentStands[1].taken = 1;
    currentStands[2].reserved = 1;
    liveList.emplace_back();
    liveList.back().id = 0x3c0003;
    liveList.back().identity.callsign = "LIVE3";
    engineBufferedCallsigns.insert("FEED4");
    const std::vector<ParkedRecord> records = {
        record(0x3c0001, "DLH1", 0, 5.0),     // placed on stand 1
        record(0x3c0002, "DLH2", 0, -200.0),  // 200 m from every stand: no stand
        record(0x3c0005, "DLH5", 1),          // used stand
        record(0x3c0006, "DLH6", 2),          // reserved stand
        record(0x3c0003, "OTHER", 3),         // same address as a live aircraft
        record(0x3c0004, "FEED4", 3),         // callsign in the feed's live set
        record(0x3c0007, "", 3),              // no callsign
    };
    for (const ParkedRecord& r : records) lf_standForParkedRecord(r, 10);
    EXPECT_DOUBLE_EQ(askedRange, kParkedRecordRangeNm);
    ASSERT_EQ(staticJobs.size(), 1u);
    EXPECT_EQ(staticJobs[0].feedHexid, 0x3c0001u);
    EXPECT_EQ(staticJobs[0].standId, currentStands[0].id);
    EXPECT_EQ(staticJobs[0].planned, 0u);
    EXPECT_EQ(staticJobs[0].preferA, 1);
    EXPECT_EQ(currentStands[0].taken, 1);
    EXPECT_TRUE(logHas("could not find a stand for PT's"));
    // The wanted count stops further placements.
    lf_standForParkedRecord(record(0x3c0008, "DLH8", 3), 1);
    EXPECT_EQ(staticJobs.size(), 1u);
}

TEST_F(PlannerTest, ParkedRecordRefusedWhenNeighbourWingspansOverlap) {
    wingspanTable["A320"] = 17.9 / 1852.0;
    makeStands({{}, {}}, 20.0);  // 20 m apart, coupled
    ASSERT_FALSE(currentStands[0].coupledIds.empty());
    lf_standForParkedRecord(record(1, "DLH1", 0), 10);
    ASSERT_EQ(staticJobs.size(), 1u);
    ASSERT_EQ(currentStands[1].coupledOccupied, 1);
    lf_standForParkedRecord(record(2, "DLH2", 1), 10);  // two A320 half spans exceed 20 m
    EXPECT_EQ(staticJobs.size(), 1u);

    clearLists();
    makeStands({{}, {}}, 60.0);  // far enough apart for two A320s even when coupled
    currentStands[1].coupledIds = {currentStands[0].id};
    lf_standForParkedRecord(record(1, "DLH1", 0), 10);
    currentStands[1].coupledOccupied = 1;
    lf_standForParkedRecord(record(2, "DLH2", 1), 10);
    EXPECT_EQ(staticJobs.size(), 2u);
    wingspanTable.erase("A320");
}

TEST_F(PlannerTest, PlannerShowsAFailedParkedTrafficRequestAndPlansFromTheWeek) {
    const WeekSlot now = gf_weekSlot();
    makeStands({{option("A", kHalfHourMask, int(now.weekday))}, {option("B", kHalfHourMask, int(now.weekday))}});
    parking_percentage.value = 100;
    gf_plannerHooks().readParkedTraffic = []() -> bool { throw std::runtime_error("No data for this license type"); };
    lf_parkingPositions();
    EXPECT_TRUE(logHas("No data for this license type"));
    EXPECT_EQ(staticJobs.size(), 2u);
    EXPECT_TRUE(logHas("0 parking positions from PT"));
}

TEST_F(PlannerTest, PlanTrimsToWantedAndReportsEmptyPlans) {
    const WeekSlot now = gf_weekSlot();
    std::vector<std::vector<StandOption>> stands;
    for (int i = 0; i < 10; ++i) stands.push_back({option(fmt::format("C{}", i), kHalfHourMask, int(now.weekday))});
    makeStands(stands);
    parking_percentage.value = 30;
    trafficReader.parkedRecords = {record(0x100, "PT1", 0, 0.0, 3)};
    lf_parkingPositions();
    ASSERT_EQ(staticJobs.size(), 3u);
    // Sorted by age descending: the parked record (age 3) is placed first, from the back... it is at the front.
    EXPECT_EQ(staticJobs.front().feedHexid, 0x100u);

    CUSTOM_MAX_PARK.value = 0;  // wanted 0 counts as none
    trafficReader.parkedRecords.clear();
    lf_parkingPositions();
    EXPECT_TRUE(staticJobs.empty());
    EXPECT_TRUE(logHas("no parking positions found"));
}

// The window's "*S*": set when the plan's soft search placed aircraft; cleared by a plan without them and by
// the renewal's start.
TEST_F(PlannerTest, SoftStandsUsedShowTheStaticPlanningMark) {
    const int today = int(gf_weekSlot().weekday);
    makeStands({{option("R", kHalfHourMask, today)},
                {option("S1", kHalfHourMask, today, 0)},
                {option("S2", kHalfHourMask, today, 0)}});
    parking_percentage.value = 100;
    PARK_SOFT.value = true;
    lf_parkingPositions();
    EXPECT_EQ(staticJobs.size(), 3u);
    EXPECT_TRUE(mainWindow.staticPlanningMark.load());

    PARK_SOFT.value = false;
    lf_parkingPositions();
    EXPECT_EQ(staticJobs.size(), 1u);
    EXPECT_FALSE(mainWindow.staticPlanningMark.load());

    PARK_SOFT.value = true;
    lf_parkingPositions();
    ASSERT_TRUE(mainWindow.staticPlanningMark.load());
    PARK_SOFT.value = false;
    gf_adjustParking(0);
    EXPECT_FALSE(mainWindow.staticPlanningMark.load());
    gf_resetPlanner();
}

TEST_F(PlannerTest, RenewalKeepsMatchingStaticsAndTrimsTheSurplus) {
    const WeekSlot now = gf_weekSlot();
    makeStands({{option("A", kHalfHourMask, int(now.weekday))},
                {option("B", kHalfHourMask, int(now.weekday))},
                {option("C", kHalfHourMask, int(now.weekday))},
                {option("D", kHalfHourMask, int(now.weekday))}});
    parking_percentage.value = 50;  // wanted 2
    // A parked-traffic static still reported on its stand is kept; one no longer reported is removed.
    for (auto [hexid, stand] : {std::pair{0x10u, 0}, std::pair{0x20u, 1}}) {
        SimAircraft s;
        s.planned = 0;
        s.feedHexid = hexid;
        s.standId = currentStands[std::size_t(stand)].id;
        s.simState = SimState::Active;
        s.identity.callsign = fmt::format("PT{}*", hexid);
        s.parkedSlot = now.packed();
        staticList.push_back(s);
    }
    trafficReader.parkedRecords = {record(0x10, "PT16", 0)};
    gf_adjustParking(0);
    ASSERT_EQ(keptStatics.size(), 1u);
    EXPECT_EQ(keptStatics[0].standId, currentStands[0].id);
    EXPECT_EQ(staticList[1].simState, SimState::RemovingFromSim);
    // Kept 1 + new plan jobs fill up to wanted 2, not more.
    EXPECT_EQ(keptStatics.size() + staticJobs.size(), 2u);

    // Wanted 0 with nothing to drop: the surplus loop ends at once.
    clearLists();
    makeStands({{option("A", kHalfHourMask, int(now.weekday))}});
    CUSTOM_MAX_PARK.value = 0;
    gf_adjustParking(0);
    EXPECT_TRUE(staticJobs.empty());
    EXPECT_TRUE(logHas("Parking adjustments: 0 to be removed, 0 to be added"));
}

TEST_F(PlannerTest, RenewalWithPtOnlyJustSetRemovesPlanMadeStatics) {
    makeStands({{}, {}});
    SimAircraft s;
    s.planned = 1;
    s.standId = currentStands[0].id;
    s.simState = SimState::Active;
    s.identity.callsign = "DLH9*";
    staticList.push_back(s);
    RT_PARKTRAFFIC_ONLY.value = true;
    gf_adjustParking(1);
    EXPECT_TRUE(logHas("ParkTraffic changes: 1 to be removed, 0 to be added"));
}
}  // namespace

namespace {
// An active plan static of DLH's A320 on the first stand, placed at the given slot.
void placePlanStatic(const std::string& callsign, const std::string& callsignA, const std::string& callsignB,
                     const std::string& registration, WeekSlot placed) {
    SimAircraft s;
    s.planned = 1;
    s.standId = currentStands[0].id;
    s.simState = SimState::Active;
    s.identity.airline = "DLH";
    s.identity.icaoType = "A320";
    s.identity.callsign = callsign;
    s.identity.identity6 = callsignA;
    s.identity.identity7 = callsignB;
    s.identity.registration = registration;
    s.parkedSlot = placed.packed();
    staticList.push_back(s);
}

TEST_F(PlannerTest, RenewalTurnsALeavingStaticIntoAJobAgedBySlotDistance) {
    const WeekSlot now = gf_weekSlot();
    makeStands({{option("DLH1", bit(int(now.slot)), int(now.weekday), 1, "", "LH1")}});
    parking_percentage.value = 100;
    placePlanStatic("DLH1*", "DLH1", "LH1", "", lf_slotBefore(now, 3));
    gf_adjustParking(0);
    ASSERT_EQ(staticJobs.size(), 1u);
    EXPECT_EQ(staticJobs[0].ageSlots, 3u);
    EXPECT_EQ(staticJobs[0].preferA, 0);
    EXPECT_TRUE(keptStatics.empty());
    EXPECT_TRUE(logHas("Parking adjustments: 1 to be removed, 1 to be added"));
}
}  // namespace

namespace {
// A plan static is named after the option's arriving callsign; in the option's last half-hour the renewal
// hands its stand to the departing callsign. One that already carries the departing callsign stays.
TEST_F(PlannerTest, PlanStaticInItsLastHalfHourMakesWayForItsDeparture) {
    const WeekSlot now = gf_weekSlot();
    struct Case {
        const char* name;
        std::string callsign;
        std::uint64_t halfHours;
        bool leaves;
    };
    const std::uint64_t nowOnly = bit(int(now.slot));
    const std::uint64_t nowAndNext = now.slot < 47 ? nowOnly | bit(int(now.slot) + 1) : nowOnly;
    const std::vector<Case> cases = {
        {"arrival callsign, last half-hour", "DLH3505*", nowOnly, true},
        {"departure callsign, last half-hour", "DLH3506*", nowOnly, false},
        {"arrival callsign, the plan goes on", "DLH3505*", nowAndNext, now.slot == 47},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clearLists();
        makeStands({{option("DLH3505", c.halfHours, int(now.weekday), 1, "D-AIKR", "DLH3506")}});
        parking_percentage.value = 100;
        placePlanStatic(c.callsign, "DLH3505", "DLH3506", "D-AIKR", lf_slotBefore(now, 2));
        gf_adjustParking(0);
        if (c.leaves) {
            ASSERT_EQ(staticJobs.size(), 1u);
            EXPECT_EQ(staticJobs[0].preferA, 0) << "the job takes the departing callsign";
            EXPECT_TRUE(keptStatics.empty());
            EXPECT_EQ(staticList[0].simState, SimState::RemovingFromSim);
        } else {
            EXPECT_TRUE(staticJobs.empty());
            ASSERT_EQ(keptStatics.size(), 1u);
            EXPECT_EQ(staticList[0].simState, SimState::Active);
        }
    }
}
}  // namespace

namespace {
// A live aircraft that parks on a stand and leaves it: its sighting holds the id of the option it was
// recorded in.
LiveAircraft parkingAircraft(std::uint32_t hexid, const std::string& callsign, const std::string& registration) {
    LiveAircraft a;
    a.id = hexid;
    a.identity.callsign = callsign;
    a.identity.registration = registration;
    a.identity.airline = "DLH";
    a.identity.icaoType = "A320";
    a.category = std::uint32_t(AircraftCategory::Large);
    return a;
}

// An option id names the same option as long as a sighting holds it: through the switch-off of a
// search, a new option learned meanwhile, and the renewal's numbering.
TEST_F(PlannerTest, OptionIdsStayWithTheirOptions) {
    const WeekSlot today = gf_weekSlot();
    // Another weekday than today, so that the renewal's own search leaves these options alone.
    const std::uint32_t day = today.weekday % 7 + 1;
    const WeekSlot parked{day, 20};
    const WeekSlot leaves{day, 22};
    struct Case {
        const char* name;
        bool renewal;      // the renewal runs between the parking and the leaving
        bool ownerLeaves;  // the aircraft of the switched-off option is the one that leaves
    };
    for (const Case& c : {Case{"new option, then renewal", true, false}, Case{"new option, no renewal", false, false},
                          Case{"the switched-off option's own aircraft", false, true},
                          Case{"the switched-off option's own aircraft after the renewal", true, true}}) {
        clearLists();
        makeStands({{option("DLH1", bit(3), int(day), 1, "D-AAAA")}});
        ParkPos& stand = currentStands[0];
        // The aircraft of the second option parks and is recorded in option 2.
        LiveAircraft owner = parkingAircraft(0x3c0002, "DLH2", "D-BBBB");
        ASSERT_TRUE(lf_addRealStandOption(stand.id, owner, parked, false)) << c.name;
        ASSERT_EQ(stand.options.size(), 2u);
        ASSERT_EQ(stand.realMap.at(owner.id).optionId, 2u);
        // It is live, so a search switches its option off.
        engineBufferedCallsigns.insert("DLH2");
        std::vector<StaticJob> level;
        lf_searchStands(parked, kRealKind, 0, level, staticJobs);
        ASSERT_TRUE(level.empty()) << c.name;
        ASSERT_EQ(stand.options[1].id, 0) << c.name;
        // Another aircraft parks meanwhile: a new option of its own.
        LiveAircraft other = parkingAircraft(0x3c0003, "DLH3", "D-CCCC");
        ASSERT_TRUE(lf_addRealStandOption(stand.id, other, parked, false)) << c.name;
        ASSERT_EQ(stand.options.size(), 3u);
        EXPECT_NE(stand.realMap.at(other.id).optionId, 2u) << c.name << ": the switched-off option keeps its id";
        if (c.renewal) gf_adjustParking(0);
        LiveAircraft& leaving = c.ownerLeaves ? owner : other;
        ASSERT_TRUE(lf_addRealStandOption(stand.id, leaving, leaves, true)) << c.name;
        const StandOption& ownerOption = stand.options[1];
        const StandOption& otherOption = stand.options[2];
        const StandOption& extended = c.ownerLeaves ? ownerOption : otherOption;
        const StandOption& untouched = c.ownerLeaves ? otherOption : ownerOption;
        EXPECT_EQ(extended.halfHours, bit(20) | bit(21) | bit(22)) << c.name;
        EXPECT_EQ(untouched.halfHours, bit(20)) << c.name;
        EXPECT_EQ(ownerOption.callsignA, "DLH2") << c.name;
        EXPECT_EQ(ownerOption.callsignB, "") << c.name;
        EXPECT_EQ(otherOption.callsignA, "DLH3") << c.name;
        EXPECT_EQ(otherOption.key, "D-CCCC") << c.name;
        EXPECT_EQ(stand.options.size(), 3u) << c.name << ": the extension needs no new option";
        EXPECT_EQ(stand.options[0].halfHours, bit(3)) << c.name;
    }
}
}  // namespace

namespace {
// One aircraft is planned on one stand only, also within the fit level being built.
TEST_F(PlannerTest, OneAircraftOnOneStandWithinALevel) {
    const WeekSlot now{4, 20};
    struct Case {
        const char* name;
        StandOption second;  // the option of the second stand; the first holds DLH1 / LH1, D-AIAB
    };
    for (const Case& c : {Case{"same registration", option("DLH9", bit(20), 4, 1, "D-AIAB")},
                          Case{"same callsign", option("DLH1", bit(20), 4, 1, "D-AIZZ")},
                          Case{"its callsign as second callsign", option("DLH7", bit(20), 4, 1, "", "DLH1")},
                          Case{"its callsign as registration", option("XYZ9", bit(20), 4, 1, "DLH1")}}) {
        clearLists();
        makeStands({{option("DLH1", bit(20), 4, 1, "D-AIAB", "LH1")}, {c.second}});
        std::vector<StaticJob> level;
        lf_searchStands(now, kRealKind, 0, level, staticJobs);
        EXPECT_EQ(level.size(), 1u) << c.name;
        EXPECT_EQ(level.at(0).standId, currentStands[0].id) << c.name;
        EXPECT_EQ(currentStands[1].options[0].id, 0) << c.name << ": switched off";
        EXPECT_EQ(currentStands[1].taken, 0) << c.name;
    }
    // Different aircraft on both stands: both planned.
    clearLists();
    makeStands({{option("DLH1", bit(20), 4, 1, "D-AIAB", "LH1")}, {option("DLH2", bit(20), 4, 1, "D-AIAC")}});
    std::vector<StaticJob> level;
    lf_searchStands(now, kRealKind, 0, level, staticJobs);
    EXPECT_EQ(level.size(), 2u);
}
}  // namespace

namespace {
// A moment of the given week slot: 2023-11-13 was a Monday.
std::int64_t unixTimeOf(WeekSlot slot) {
    return 1699833600 + std::int64_t(slot.weekday - 1) * 86400 + std::int64_t(slot.slot) * 1800 + 60;
}

// A plan-made static aircraft in the simulator, placed the given half-hours before now.
SimAircraft planMadeStatic(std::uint32_t standId, WeekSlot now, int placedBack) {
    SimAircraft s;
    s.id = 7;
    s.planned = 1;
    s.standId = standId;
    s.simState = SimState::Active;
    s.identity.airline = "DLH";
    s.identity.icaoType = "A320";
    s.identity.callsign = "DLH1*";
    s.identity.identity6 = "DLH1";
    s.halfSpanNm = 17.9 / 1852.0;
    s.parkedSlot = lf_slotBefore(now, placedBack).packed();
    return s;
}

// The renewal's check of a plan-made static aircraft against the new plan.
TEST_F(PlannerTest, RenewalChecksPlanMadeStaticsAgainstThePlan) {
    wingspanTable["A320"] = 17.9 / 1852.0;
    PARK_SOFT.value = false;
    PARK_FAKE.value = false;
    parking_percentage.value = 100;
    struct Case {
        const char* name;
        WeekSlot now;
        std::vector<StandOption> own = {};    // options of the aircraft's stand
        std::vector<StandOption> other = {};  // a second stand, when not empty or with a parked record
        double spacingMetres = 100.0;
        bool coupled = false;     // the two stands are coupled by hand
        bool reserveOwn = false;  // the aircraft's stand is the user's: the fill leaves it alone
        int maxFit = 0;           // the look-back when the fill finds nothing
        int parkedAge = -1;       // a parked record on the second stand, with this age
        int placedBack = 0;       // the aircraft was placed so many half-hours ago
        bool live = false;        // its callsign is live
        bool kept = true;
        std::size_t jobs = 0;
    };
    const WeekSlot tue2{2, 2};
    const std::vector<Case> cases = {
        {.name = "live callsign", .now = tue2, .own = {option("DLH1", kHalfHourMask, 2)}, .live = true, .kept = false},
        {.name = "candidate on the stand for the same aircraft", .now = tue2, .own = {option("DLH1", bit(2), 2)}},
        {.name = "candidate on the stand, aircraft placed earlier",
         .now = tue2,
         .own = {option("AFR5", bit(2), 2)},
         .placedBack = 3,
         .kept = false,
         .jobs = 1},
        {.name = "candidate on the stand, aircraft placed now", .now = tue2, .own = {option("AFR5", bit(2), 2)}},
        {.name = "coupled candidate close, aircraft placed earlier",
         .now = tue2,
         .spacingMetres = 20.0,
         .parkedAge = 0,
         .placedBack = 3,
         .kept = false,
         .jobs = 1},
        {.name = "coupled candidate close, aircraft placed after it was seen",
         .now = tue2,
         .spacingMetres = 20.0,
         .parkedAge = 4,
         .placedBack = 3},
        {.name = "coupled candidate too far: the plan decides",
         .now = tue2,
         .own = {option("DLH1", bit(2), 2)},
         .spacingMetres = 60.0,
         .coupled = true,
         .parkedAge = 0,
         .placedBack = 3,
         .jobs = 1},
        {.name = "plan holds now", .now = tue2, .own = {option("X", bit(2), 2)}, .reserveOwn = true},
        {.name = "plan of another airline",
         .now = tue2,
         .own = {StandOption{"AFR", "A320", "", "X", "", bit(2), 0, 2, 1, 1}},
         .reserveOwn = true,
         .kept = false},
        {.name = "look-back before midnight, last half-hour in",
         .now = tue2,
         .own = {option("X", bit(45), 1)},
         .reserveOwn = true,
         .maxFit = 5},
        {.name = "look-back before midnight, one beyond",
         .now = tue2,
         .own = {option("X", bit(44), 1)},
         .reserveOwn = true,
         .maxFit = 5,
         .kept = false},
        {.name = "look-back with today's options, last half-hour in",
         .now = tue2,
         .own = {option("X", bit(30), 2), option("X", bit(45), 1)},
         .reserveOwn = true,
         .maxFit = 5},
        {.name = "look-back with today's options, one beyond",
         .now = tue2,
         .own = {option("X", bit(30), 2), option("X", bit(44), 1)},
         .reserveOwn = true,
         .maxFit = 5,
         .kept = false},
        {.name = "whole look-back from half-hour 0",
         .now = {2, 0},
         .own = {option("X", bit(30), 2), option("X", bit(1), 1)},
         .reserveOwn = true,
         .maxFit = 47},
        {.name = "whole look-back from half-hour 0, one beyond",
         .now = {2, 0},
         .own = {option("X", bit(0), 1)},
         .reserveOwn = true,
         .maxFit = 47,
         .kept = false},
        {.name = "Monday looks back to Sunday",
         .now = {1, 1},
         .own = {option("X", bit(46), 7)},
         .reserveOwn = true,
         .maxFit = 3},
        {.name = "Monday looks back to Sunday, one beyond",
         .now = {1, 1},
         .own = {option("X", bit(45), 7), option("X", bit(30), 1)},
         .reserveOwn = true,
         .maxFit = 3,
         .kept = false},
    };
    for (const Case& c : cases) {
        clearLists();
        ManualClock clock(unixTimeOf(c.now));
        ScopedClock scoped(clock);
        ASSERT_EQ(gf_weekSlot(), c.now) << c.name;
        std::vector<std::vector<StandOption>> stands{c.own};
        if (!c.other.empty() || c.parkedAge >= 0) stands.push_back(c.other);
        makeStands(stands, c.spacingMetres);
        if (c.coupled) {
            currentStands[0].coupledIds = {currentStands[1].id};
            currentStands[1].coupledIds = {currentStands[0].id};
        }
        if (c.reserveOwn) userReservedStand = "S1";
        MAX_FIT.value = c.maxFit;
        trafficReader.bufferedCallsigns.clear();
        if (c.live) trafficReader.bufferedCallsigns.insert("DLH1");  // the renewal takes the feed's live set
        if (c.parkedAge >= 0) trafficReader.parkedRecords = {record(0x10, "PT16", 1, 0.0, c.parkedAge)};
        staticList.push_back(planMadeStatic(currentStands[0].id, c.now, c.placedBack));
        gf_adjustParking(0);
        EXPECT_EQ(staticList[0].simState, c.kept ? SimState::Active : SimState::RemovingFromSim) << c.name;
        EXPECT_EQ(keptStatics.size(), c.kept ? 1u : 0u) << c.name;
        EXPECT_EQ(staticJobs.size(), c.jobs) << c.name;
    }
    wingspanTable.erase("A320");
}
}  // namespace

namespace {
// A level entry trimmed from the fill gives its stand back whole: the stands coupled to it are free
// again for a later pass unless another stand that is still taken is coupled to them.
TEST_F(PlannerTest, TrimmedLevelEntryFreesItsNeighbours) {
    const WeekSlot now{4, 20};
    WEEK.value = false;
    bool trimmedTheCoupledOne = false;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        clearLists();
        gf_seedRandom(seed);
        // S1 and S2 are 20 m apart and coupled; S3 and S4 stand far away.
        makeStands({{option("R1", bit(20), 4)}, {option("F2", bit(20), 4, 0)}}, 20.0);
        currentStands.emplace_back("S3", std::vector<StandOption>{option("R3", bit(20), 4)}, 47.1, 8.0, 0.0, 20.0, 1, 1,
                                   1);
        currentStands.emplace_back("S4", std::vector<StandOption>{option("F4", bit(20), 4, 0)}, 47.2, 8.0, 0.0, 20.0, 1,
                                   1, 1);
        for (std::size_t i = 2; i < 4; ++i) {
            currentStands[i].id = std::uint32_t(i + 1);
            currentStands[i].options[0].id = 1;
        }
        ASSERT_EQ(currentStands[0].coupledIds, std::vector<std::uint32_t>{currentStands[1].id});
        // Both real options are found at fit 0; one of them is trimmed.
        lf_fillStands(now, 1, 0, kRealKind);
        ASSERT_EQ(staticJobs.size(), 1u) << seed;
        const bool s1Kept = currentStands[0].taken != 0;
        EXPECT_NE(s1Kept, currentStands[2].taken != 0) << seed;
        EXPECT_EQ(currentStands[1].coupledOccupied, s1Kept ? 1 : 0) << seed;
        trimmedTheCoupledOne = trimmedTheCoupledOne || !s1Kept;
        // A soft pass then finds the soft stands that no taken stand blocks.
        lf_fillStands(now, 3, 1, kSoftKind);
        std::set<std::string> soft;
        for (const StaticJob& j : staticJobs)
            if (j.callsignA.front() == 'F') soft.insert(j.callsignA);
        const std::set<std::string> expected = s1Kept ? std::set<std::string>{"F4"} : std::set<std::string>{"F2", "F4"};
        EXPECT_EQ(soft, expected) << seed;
    }
    EXPECT_TRUE(trimmedTheCoupledOne) << "some seed trims the coupled stand's entry";
}
}  // namespace

namespace {
// The soft pass after the real one: only with PARK_SOFT or PARK_FAKE, and only while the real options
// leave the wanted count unreached.
TEST_F(PlannerTest, SoftPassFillsWhatTheRealOptionsLeave) {
    const WeekSlot now{4, 20};
    WEEK.value = false;
    MAX_FIT.value = 47;
    struct Case {
        const char* name;
        bool parkSoft, parkFake;
        std::int64_t wanted;
        std::set<std::string> planned;
        int softFit;
        bool softUsed;
    };
    for (const Case& c : {
             Case{"neither", false, false, 3, {"R1"}, -1, false},
             Case{"PARK_SOFT", true, false, 3, {"R1", "F2", "F3"}, 2, true},
             Case{"PARK_FAKE", false, true, 3, {"R1", "F2", "F3"}, 2, true},
             Case{"both", true, true, 3, {"R1", "F2", "F3"}, 2, true},
             Case{"soft up to wanted", true, false, 2, {"R1", "F2"}, 0, true},
             Case{"real reaches wanted", true, true, 1, {"R1"}, -1, false},
         }) {
        clearLists();
        PARK_SOFT.value = c.parkSoft;
        PARK_FAKE.value = c.parkFake;
        makeStands({{option("R1", bit(20), 4)},
                    {option("F2", bit(20), 4, 0)},
                    {option("F3", bit(18), 4, 0)},
                    {option("F4", bit(10), 3, 0)}});
        lf_fillToWanted(now, c.wanted, 0);
        std::set<std::string> planned;
        for (const StaticJob& j : staticJobs) planned.insert(j.callsignA);
        EXPECT_EQ(planned, c.planned) << c.name;
        EXPECT_EQ(plannerDisplay.softFit.load(), c.softFit) << c.name;
        EXPECT_EQ(mainWindow.staticPlanningMark.load(), c.softUsed) << c.name;
    }
    EXPECT_TRUE(logHas("2 soft positions found"));
    PARK_SOFT.value = PARK_SOFT.defaultValue;
    PARK_FAKE.value = PARK_FAKE.defaultValue;
}
}  // namespace

namespace {
// The renewal's limits on what stays: live aircraft parked beyond the wanted count, and the surplus of
// kept static aircraft and live stayers once the candidates are gone.
TEST_F(PlannerTest, RenewalTrimsLiveStayersAndKeptStatics) {
    const WeekSlot now{3, 20};
    ManualClock clock(unixTimeOf(now));
    ScopedClock scoped(clock);
    MAX_FIT.value = 0;
    PARK_SOFT.value = false;
    PARK_FAKE.value = false;
    struct Live {
        int stand;
        int minutes;
    };
    struct Static {
        int stand;
        int placedBack;
    };
    struct Case {
        const char* name;
        std::vector<Live> live = {};
        std::vector<Static> statics = {};  // plan-made, each with its plan option on its stand now
        int maxPark = -1;
        bool ptOnly = false;
        bool initialLoadOnly = false;
        std::vector<bool> liveRemoved = {};
        std::vector<bool> staticRemoved = {};
        const char* note = nullptr;  // shown in the status line and logged
    };
    const std::vector<Case> cases = {
        {.name = "more live ac than wanted",
         .live = {{0, 30}, {1, 20}, {2, 10}},
         .liveRemoved = {true, true, false},
         .note = "Parking adjustments: 2 more live ac than wanted"},
        {.name = "as many live ac as wanted", .live = {{0, 30}}, .liveRemoved = {false}},
        {.name = "parked traffic only keeps live ac",
         .live = {{0, 30}, {1, 20}, {2, 10}},
         .ptOnly = true,
         .liveRemoved = {false, false, false}},
        {.name = "nothing wanted: live stayers leave",
         .live = {{0, 30}, {1, 20}},
         .maxPark = 0,
         .liveRemoved = {true, true},
         .note = "Parking adjustments: 0 to be removed, 0 to be added"},
        {.name = "nothing wanted, initial load only: live stayers stay",
         .live = {{0, 30}, {1, 20}},
         .maxPark = 0,
         .initialLoadOnly = true,
         .liveRemoved = {false, false}},
        {.name = "kept statics beyond wanted: the earliest placed leaves",
         .statics = {{0, 4}, {1, 1}},
         .staticRemoved = {true, false},
         .note = "Parking adjustments: 1 to be removed, 0 to be added"},
        {.name = "kept static before a live stayer",
         .live = {{2, 10}},
         .statics = {{0, 1}},
         .liveRemoved = {false},
         .staticRemoved = {true}},
    };
    for (const Case& c : cases) {
        clearLists();
        lf_clearLive();
        parking_percentage.value = 25;  // four stands: wanted 1
        CUSTOM_MAX_PARK.value = c.maxPark;
        RT_PARKTRAFFIC_ONLY.value = c.ptOnly;
        INITIAL_LOAD_ONLY.value = c.initialLoadOnly;
        std::vector<std::vector<StandOption>> options(4);
        for (const Static& st : c.statics)
            options[std::size_t(st.stand)] = {option(fmt::format("DLH{}", st.stand), bit(20), 3)};
        makeStands(options);
        const std::int64_t nowTicks = gf_utcNow().time_since_epoch() / std::chrono::nanoseconds(100);
        for (std::size_t i = 0; i < c.live.size(); ++i) {
            LiveAircraft l;
            l.id = 0x3c1000 + std::uint32_t(i);
            l.identity.callsign = fmt::format("LIVE{}", i);
            l.simState = SimState::Active;
            l.phase = MovementPhase::Parked;
            l.standId = currentStands[std::size_t(c.live[i].stand)].id;
            l.parkedSince = nowTicks - std::int64_t(c.live[i].minutes) * 600000000;
            lf_setLiveObjectId(lf_appendLive(std::move(l)), 500 + std::uint32_t(i));
        }
        for (const Static& st : c.statics) {
            SimAircraft s = planMadeStatic(currentStands[std::size_t(st.stand)].id, now, st.placedBack);
            s.identity.callsign = fmt::format("DLH{}*", st.stand);
            s.identity.identity6 = fmt::format("DLH{}", st.stand);
            s.objectId = 600 + std::uint32_t(staticList.size());
            staticList.push_back(s);
        }
        gf_adjustParking(0);
        for (std::size_t i = 0; i < c.live.size(); ++i)
            EXPECT_EQ(liveList[i].simState, c.liveRemoved[i] ? SimState::RemovingFromSim : SimState::Active)
                << c.name << ": live " << i;
        for (std::size_t i = 0; i < c.statics.size(); ++i)
            EXPECT_EQ(staticList[i].simState, c.staticRemoved[i] ? SimState::RemovingFromSim : SimState::Active)
                << c.name << ": static " << i;
        if (c.note != nullptr) {
            EXPECT_TRUE(logHas(c.note)) << c.name;
        }
    }
    lf_clearLive();
    RT_PARKTRAFFIC_ONLY.value = false;
    INITIAL_LOAD_ONLY.value = INITIAL_LOAD_ONLY.defaultValue;
    PARK_SOFT.value = PARK_SOFT.defaultValue;
    PARK_FAKE.value = PARK_FAKE.defaultValue;
}
}  // namespace

namespace {
TEST_F(PlannerTest, TheUsersStandIsReservedOnlyOnTheGround) {
    makeStands({{option("A", bit(20), 4)}, {option("B", bit(20), 4)}, {option("C", bit(20), 4)}});
    gf_publishStandPlaces();
    userReservedStand = "S3";
    struct Case {
        const char* name;
        bool onGround;
        std::vector<int> reserved;  // stand flags S1..S3
    };
    const std::vector<Case> cases = {
        {"on the ground over S1: S1 and the reserved stand", true, {1, 0, 1}},
        {"airborne over S1: only the reserved stand", false, {0, 0, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (ParkPos& s : currentStands) s.reserved = 0;
        userState.latitude = currentStands[0].latitude;
        userState.longitude = currentStands[0].longitude;
        userOnGround.store(c.onGround ? 1 : 0);
        lf_reserveUserStands();
        std::vector<int> flags;
        for (const ParkPos& s : currentStands) flags.push_back(s.reserved);
        EXPECT_EQ(flags, c.reserved);
    }
    userOnGround.store(0);
    userState = UserState{};
}
}  // namespace
