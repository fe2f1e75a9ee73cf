// The parking planner: wanted count, slots, fit levels, rejection rules, parked records, renewal.
#include "airports/apf_reader.h"
#include "airports/park_list.h"
#include "catalogue/reference_db.h"
#include "engine/engine_state.h"
#include "engine/static_jobs.h"
#include "feed/readers.h"
#include "feed/web_api.h"
#include "parking/planner.h"
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
TEST_F(PlannerTest, RenewalTurnsALeavingStaticIntoAJobAgedBySlotDistance) {
    const WeekSlot now = gf_weekSlot();
    makeStands({{option("DLH1", bit(int(now.slot)), int(now.weekday), 1, "", "LH1")}});
    parking_percentage.value = 100;
    SimAircraft s;
    s.planned = 1;
    s.standId = currentStands[0].id;
    s.simState = SimState::Active;
    s.identity.airline = "DLH";
    s.identity.icaoType = "A320";
    s.identity.callsign = "DLH1*";
    s.identity.identity6 = "DLH1";
    s.identity.identity7 = "LH1";
    s.parkedSlot = lf_slotBefore(now, 3).packed();
    staticList.push_back(s);
    gf_adjustParking(0);
    ASSERT_EQ(staticJobs.size(), 1u);
    EXPECT_EQ(staticJobs[0].ageSlots, 3u);
    EXPECT_EQ(staticJobs[0].preferA, 0);
    EXPECT_TRUE(keptStatics.empty());
    EXPECT_TRUE(logHas("Parking adjustments: 1 to be removed, 1 to be added"));
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
