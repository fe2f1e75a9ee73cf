// Stand options, the stand choice for arrivals, the nearest fitting stand, the option recorders, the
// claims on a stand and try2Park.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "airports/current_airport.h"
#include "airports/learned.h"
#include "airports/parking.h"
#include "airports/stand_option.h"
#include "engine/conflicts.h"
#include "engine/engine_state.h"
#include "engine/stand_options.h"
#include "engine/stands.h"
#include "foundation/geodesy.h"
#include "foundation/random.h"
#include "foundation/settings.h"
#include "simlink/commands.h"
#include "tests/common/engine_harness.h"

namespace {

constexpr double kMetre = 0.0005399568034557236;  // nm
constexpr double kFeetPerNm = 6076.11549;
constexpr double kLat = 47.0;
constexpr double kLon = 8.0;

LatLon east(double metres) {
    return gf_destinationPoint({kLat, kLon}, 1.5707963267948966, metres * kMetre * kFeetPerNm);
}

uint64_t bits(std::initializer_list<int> hs) {
    uint64_t m = 0;
    for (int h : hs) m |= uint64_t{1} << h;
    return m;
}

struct StandSpec {
    std::string name;
    double metresEast = 0;
    double radiusMetres = 20;
    bool cargo = false, ramp = false, heli = false;
};

// Stands east of the reference point, numbered 1, 2, 3 ...
void makeStands(const std::vector<StandSpec>& specs) {
    currentStands.clear();
    for (const auto& s : specs) {
        const LatLon p = east(s.metresEast);
        currentStands.emplace_back(s.name, std::vector<StandOption>{}, p.latitude, p.longitude, 0.0, s.radiusMetres,
                                   s.cargo ? 0 : 1, s.ramp ? 0 : 1, s.heli ? 0 : 1);
        currentStands.back().id = static_cast<uint32_t>(currentStands.size());
    }
    gf_publishStandPlaces();
}

SimAircraft aircraft(AircraftCategory c, double halfSpanMetres, const std::string& callsign = "DLH4",
                     const std::string& airline = "DLH") {
    SimAircraft a;
    a.id = 0x400001;
    a.category = categoryIndex(c);
    a.halfSpanNm = halfSpanMetres * kMetre;
    a.identity.callsign = callsign;
    a.identity.airline = airline;
    a.identity.icaoType = "A320";
    a.identity.registration = "DAIPA";
    return a;
}

LiveAircraft liveOn(uint32_t hexid, const std::string& callsign, uint32_t standId, MovementPhase phase) {
    LiveAircraft l;
    l.id = hexid;
    l.identity.callsign = callsign;
    l.identity.icaoType = "A320";
    l.standId = standId;
    l.simState = SimState::Active;
    l.objectId = hexid & 0xffff;
    l.phase = phase;
    return l;
}

std::string chosen(WeekSlot slot, const SimAircraft& a, bool retry = true) {
    const ParkPos* s = gf_chooseStand(slot, a, retry);
    return s ? s->name : std::string("-");
}

}  // namespace

// ---------------------------------------------------------------- options

TEST(StandOptions, BuildingIdsAndDuplicates) {
    EngineHarness h;
    std::vector<StandOption> list;
    const SimAircraft a = aircraft(AircraftCategory::Large, 17);
    EXPECT_EQ(gf_makeStandOption(list, a, 1, {2, 10}, "DLH4_", "DAIPA"), 1);
    EXPECT_EQ(list[0].callsignA, "DLH4");
    EXPECT_EQ(list[0].halfHours, bits({10}));
    EXPECT_EQ(list[0].airline, "DLH");
    EXPECT_EQ(gf_makeStandOption(list, a, 1, {2, 10}, "DLH4", "DAIPA"), 0);  // the same again
    EXPECT_EQ(gf_makeStandOption(list, a, 1, {2, 10}, "DLH4", ""), 0);       // no key
    EXPECT_EQ(gf_makeStandOption(list, a, 0, {2, 11}, "DLH4", "DAIPA"), 2);
    // The last option switched off (id 0): its id stays taken, the new one follows it.
    gf_switchOffOption(list.back());
    EXPECT_EQ(gf_makeStandOption(list, a, 1, {2, 12}, "DLH4", "DAIPA"), 3);
    EXPECT_EQ(gf_makeStandOption(list, a, 1, {2, 13}, "DLH4", "DAIPA"), 4);
    EXPECT_THROW(gf_makeStandOption(list, a, 1, {2, 48}, "DLH4", "DAIPA"), std::out_of_range);
    EXPECT_EQ(list.size(), 4u);
}

// A recorded half-hour goes into the aircraft's own learned option: the one of the same weekday, real flag, key,
// operator and type, also when the planner switched it off; an option of the airport file or of another identity
// is never taken, and without an option of its own the aircraft gets a new one.
TEST(StandOptions, RecordingGoesIntoTheAircraftsOwnOption) {
    EngineHarness h;
    SimAircraft a = aircraft(AircraftCategory::Large, 17, "DLH4");
    auto option = [](int32_t weekday, int32_t real, const std::string& airline, int32_t closed) {
        return StandOption{airline, "A320", "DAIPA", "DLH4", "", bits({10}), 1, weekday, closed, real};
    };
    struct Case {
        const char* what;
        StandOption before;
        bool switchedOff;
        bool taken;  // the record goes into it
    };
    const Case cases[] = {
        {"its option", option(2, 1, "DLH", 0), false, true},
        {"its option, switched off by the planner", option(2, 1, "DLH", 0), true, true},
        {"another weekday", option(3, 1, "DLH", 0), false, false},
        {"a soft option", option(2, 0, "DLH", 0), false, false},
        {"another operator", option(2, 1, "CLH", 0), false, false},
        {"the airport file's option", option(2, 1, "DLH", 1), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<StandOption> list{c.before};
        if (c.switchedOff) gf_switchOffOption(list[0]);
        a.identity.callsign = "DLH5";
        const RecordedOption recorded = gf_recordStandOption(list, a, 1, {2, 12}, a.identity.callsign, "DAIPA");
        EXPECT_TRUE(recorded.changed);
        if (c.taken) {
            ASSERT_EQ(list.size(), 1u);
            EXPECT_EQ(recorded.id, 1);
            EXPECT_EQ(list[0].halfHours, bits({10, 12}));
            EXPECT_EQ(list[0].callsignB, "DLH5");
        } else {
            ASSERT_EQ(list.size(), 2u);
            EXPECT_EQ(list[0], c.before);
            EXPECT_EQ(recorded.id, 2);
            EXPECT_EQ(list[1].halfHours, bits({12}));
        }
        // The same half-hour again changes nothing.
        const std::vector<StandOption> after = list;
        const RecordedOption again = gf_recordStandOption(list, a, 1, {2, 12}, a.identity.callsign, "DAIPA");
        EXPECT_EQ(again.id, recorded.id);
        EXPECT_FALSE(again.changed);
        EXPECT_EQ(list, after);
    }
}

TEST(StandOptions, MatchingAndCoupledCallsigns) {
    const SimAircraft a = aircraft(AircraftCategory::Large, 17);
    StandOption o{"AFR", "B738", "FGKXA", "DLH4", "", 1, 3, 1, 0, 1};
    struct Case {
        std::string callsign;
        std::string airline;
        int32_t id, real;
        bool match;
    } cases[] = {
        {"DLH4", "AFR", 3, 1, true},  {"DLH5", "AFR", 3, 1, false}, {"DLH4", "AFR", 0, 1, false},
        {"DLH4", "AFR", 3, 0, false}, {"XXX", "DLH", 3, 1, false},
    };
    for (const auto& c : cases) {
        o.airline = c.airline;
        o.id = c.id;
        o.real = c.real;
        EXPECT_EQ(lf_optionMatchesAircraft(c.callsign, a, o), c.match) << c.callsign << " " << c.id << " " << c.real;
    }
    o = StandOption{"DLH", "A320", "DAIPA", "", "", 1, 3, 1, 0, 1};
    EXPECT_TRUE(lf_optionMatchesAircraft("ZZZ", a, o));  // operator and type
    o.icaoType = "A321";
    EXPECT_FALSE(lf_optionMatchesAircraft("ZZZ", a, o));

    std::vector<StandOption> list{StandOption{}};
    list[0].id = 5;
    lf_setCoupledCallsign(list, 5, "");
    EXPECT_EQ(list[0].callsignA, "");
    lf_setCoupledCallsign(list, 5, "DLH4_");
    EXPECT_EQ(list[0].callsignA, "DLH4");
    lf_setCoupledCallsign(list, 5, "DLH4");
    EXPECT_EQ(list[0].callsignB, "");
    lf_setCoupledCallsign(list, 5, "DLH5");
    lf_setCoupledCallsign(list, 5, "DLH6");  // a third one replaces the second
    EXPECT_EQ(list[0].callsignB, "DLH6");
    lf_setCoupledCallsign(list, 0, "DLH7");  // id 0 is no option
    EXPECT_EQ(list[0].callsignB, "DLH6");
}

TEST(StandOptions, HalfHoursBackAndRanges) {
    std::vector<uint32_t> hs;
    lf_halfHoursBack(hs, 3, {1, 1});
    EXPECT_EQ(hs, (std::vector<uint32_t>{1, 0, 47}));

    std::vector<StandOption> list(2);
    list[0].id = 1;
    list[1].id = 2;
    EXPECT_TRUE(updateOptionsWrapped(list, {1, 0, 47, 46}, 1, 2));
    EXPECT_EQ(list[1].halfHours, bits({0, 1}));
    EXPECT_EQ(list[0].halfHours, bits({46, 47}));
    // Both ids are looked up before any bit is set.
    EXPECT_FALSE(updateOptionsWrapped(list, {5, 4}, 1, 9));
    EXPECT_FALSE(updateOptionsWrapped(list, {5, 4}, 0, 2));
    EXPECT_EQ(list[1].halfHours, bits({0, 1}));
    EXPECT_FALSE(updateOptions(list, {5}, 0));
    EXPECT_TRUE(updateOptions(list, {5, 6}, 1));
    EXPECT_EQ(list[0].halfHours, bits({5, 6, 46, 47}));
}

// A half-hour outside the day is logged with the routine's name and refused; nothing is set and
// nothing is thrown at the caller.
TEST(StandOptions, HalfHourOutsideTheDayIsLoggedAndRefused) {
    struct Case {
        const char* name;
        std::function<bool(std::vector<StandOption>&)> call;
    };
    const Case cases[] = {
        {"updateOptions",
         [](std::vector<StandOption>& l) {
             return updateOptions(l, {5, 48}, 1);
         }},
        {"updateOptions", [](std::vector<StandOption>& l) { return updateOptions(l, {48}, 2); }},
        {"updateOptionsWrapped",
         [](std::vector<StandOption>& l) {
             return updateOptionsWrapped(l, {1, 0, 48}, 1, 2);
         }},
        {"updateOptionsWrapped",
         [](std::vector<StandOption>& l) {
             return updateOptionsWrapped(l, {60, 59}, 1, 2);
         }},
    };
    for (const Case& c : cases) {
        CapturedLog log;
        std::vector<StandOption> list(2);
        list[0].id = 1;
        list[1].id = 2;
        bool result = true;
        EXPECT_NO_THROW(result = c.call(list)) << c.name;
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(list[0].halfHours, 0u) << c.name;
        EXPECT_EQ(list[1].halfHours, 0u) << c.name;
        EXPECT_NE(log.text().find(std::string(c.name) + " exception:"), std::string::npos) << c.name << log.text();
    }
}

// The week wrap: slots k half-hours later on the same day or across midnight, within the window.
TEST(StandOptions, UpdateStandSlotsWeekWrap) {
    EngineHarness h;
    SimAircraft a = aircraft(AircraftCategory::Large, 17);
    struct Case {
        WeekSlot last, now;
        uint32_t category;
        uint8_t cargo;
        bool ok;
    } cases[] = {
        {{1, 10}, {1, 15}, 2, 0, true},                                  // k = 5 < 6
        {{1, 10}, {1, 16}, 2, 0, false},                                 // k = 6: outside the window of 6
        {{1, 10}, {1, 17}, 3, 0, true},                                  // Heavy: 8
        {{1, 10}, {1, 21}, 2, 1, true},                                  // cargo: 12
        {{1, 10}, {1, 22}, 2, 1, false}, {{7, 46}, {1, 1}, 2, 0, true},  // Sunday to Monday
        {{1, 46}, {3, 1}, 2, 0, false},                                  // two days later
        {{1, 10}, {1, 10}, 2, 0, false},                                 // k = 0
    };
    for (const auto& c : cases) {
        std::vector<StandOption> list;
        a.category = c.category;
        a.cargoWanted = c.cargo;
        const int32_t id = gf_makeStandOption(list, a, 1, c.last, "DLH4", "DAIPA");
        StandSighting sighting{c.last, static_cast<uint32_t>(id)};
        EXPECT_EQ(lf_updateStandSlots(c.now, list, 1, sighting, a, 1), c.ok)
            << c.last.weekday << "/" << c.last.slot << " -> " << c.now.weekday << "/" << c.now.slot;
        if (c.ok) {
            EXPECT_EQ(sighting.slot, c.now);
        }
    }
    std::vector<StandOption> none;
    StandSighting s{{1, 1}, 1};
    EXPECT_TRUE(lf_updateStandSlots({5, 5}, none, 0, s, a, 1));  // stand id 0
}

TEST(StandOptions, ExtensionAcrossMidnightSplitsTheRange) {
    EngineHarness h;
    SimAircraft a = aircraft(AircraftCategory::Large, 17);
    std::vector<StandOption> list;
    const int32_t monday = gf_makeStandOption(list, a, 1, {1, 47}, "DLH4", "DAIPA");
    StandSighting s{{1, 47}, static_cast<uint32_t>(monday)};
    a.identity.callsign = "DLH5";
    ASSERT_TRUE(lf_updateStandSlots({2, 1}, list, 1, s, a, 1));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].halfHours, bits({47}));
    EXPECT_EQ(list[1].weekday, 2);
    EXPECT_EQ(list[1].halfHours, bits({0, 1}));
    EXPECT_EQ(list[0].callsignB, "DLH5");
    EXPECT_EQ(s.optionId, 2u);
    // The same day: the half-hours between are filled on the recorded option.
    s.slot = {2, 1};
    ASSERT_TRUE(lf_updateStandSlots({2, 4}, list, 1, s, a, 1));
    EXPECT_EQ(list[1].halfHours, bits({0, 1, 2, 3, 4}));
}

// ---------------------------------------------------------------- the stand choice

TEST(StandChoice, SizeRule) {
    EngineHarness h;
    const WeekSlot slot{3, 20};
    struct Case {
        double radius;
        double span;
        bool fits;
    } cases[] = {{18.3, 20, true}, {18.1, 20, false}, {30, 20, true}, {10, 9, true}};
    // A second stand far larger fits too, but worse: it is chosen only when the first one does not fit.
    for (const auto& c : cases) {
        makeStands({{"R1", 0, c.radius, false, true}, {"R2", 100, 60, false, true}});
        EXPECT_EQ(chosen(slot, aircraft(AircraftCategory::Light, c.span), false), c.fits ? "R1" : "R2")
            << c.radius << " " << c.span;
    }
}

TEST(StandChoice, CategoryPasses) {
    EngineHarness h;
    const WeekSlot slot{3, 20};
    makeStands(
        {{"GATE", 0, 25}, {"RAMP", 10, 25, false, true}, {"CARGO", 20, 25, true}, {"HELI", 30, 25, false, true, true}});
    struct Case {
        AircraftCategory category;
        uint8_t cargo;
        std::string airline;
        std::string airport;
        std::string stand;
    } cases[] = {
        {AircraftCategory::Rotorcraft, 0, "DLH", "EDDF", "HELI"}, {AircraftCategory::Large, 1, "DLH", "EDDF", "CARGO"},
        {AircraftCategory::Heavy, 0, "DLH", "KJFK", "GATE"},      {AircraftCategory::Large, 0, "PVT", "KJFK", "RAMP"},
        {AircraftCategory::Light, 0, "DLH", "KJFK", "RAMP"},
    };
    for (const auto& c : cases) {
        CurrentAirport ap;
        ap.icao = c.airport;
        gf_setCurrentAirport(ap);
        SimAircraft a = aircraft(c.category, 17, "DLH4", c.airline);
        a.cargoWanted = c.cargo;
        for (uint32_t seed = 1; seed < 20; ++seed) {
            gf_seedRandom(seed);
            EXPECT_EQ(chosen(slot, a), c.stand) << categoryName(c.category) << " " << c.airline;
        }
    }
    // Without a ramp stand the light aircraft takes none; at a non-"K" airport a heavy jet goes to a
    // ramp now and then.
    makeStands({{"GATE", 0, 25}, {"RAMP", 10, 25, false, true}});
    CurrentAirport ap;
    ap.icao = "EDDF";
    gf_setCurrentAirport(ap);
    std::set<std::string> seen;
    for (uint32_t seed = 1; seed < 200; ++seed) {
        gf_seedRandom(seed);
        seen.insert(chosen(slot, aircraft(AircraftCategory::Heavy, 17)));
    }
    EXPECT_EQ(seen, (std::set<std::string>{"GATE", "RAMP"}));
}

TEST(StandChoice, ReservedStandsAndTheRetry) {
    EngineHarness h;
    const SimAircraft a = aircraft(AircraftCategory::Light, 10);
    auto reserveAll = [](WeekSlot slot) {
        for (auto& s : currentStands)
            s.options.push_back(StandOption{"X", "Y", "Z", "", "", uint64_t{1} << slot.slot, 1,
                                            static_cast<int32_t>(slot.weekday), 0, 1});
    };
    std::vector<StandSpec> ten;
    for (int i = 0; i < 10; ++i) ten.push_back({"R" + std::to_string(i + 1), i * 50.0, 20, false, true});
    makeStands(ten);
    reserveAll({7, 47});
    EXPECT_NE(chosen({7, 47}, a), "-");         // the retry takes Monday 0
    EXPECT_EQ(chosen({7, 47}, a, false), "-");  // no retry
    reserveAll({1, 0});
    EXPECT_EQ(chosen({7, 47}, a), "-");
    ten.push_back({"R11", 600, 20, false, true});
    makeStands(ten);
    reserveAll({7, 47});
    EXPECT_EQ(chosen({7, 47}, a), "-");          // 11 stands: no retry
    currentStands.back().options.back().id = 0;  // an option switched off reserves nothing
    EXPECT_EQ(chosen({7, 47}, a), "R11");
}

// The order puts a candidate in front of its predecessor while it matches no worse and fits no worse;
// whatever the shuffle, a candidate that is best in both ways comes first, and unrelated candidates keep
// the order they came in.
TEST(StandChoice, OrderingUnderManySeeds) {
    for (uint32_t seed = 1; seed <= 500; ++seed) {
        gf_seedRandom(seed);
        std::vector<StandCandidate> c{{"A", 3, 0}, {"B", 1, 1}, {"C", 2, 0}, {"D", 1, 0}, {"E", 4, 1}, {"F", 2, 1}};
        std::shuffle(c.begin(), c.end(), gf_randomEngine());
        gf_orderStandCandidates(c);
        ASSERT_EQ(c.size(), 6u);
        EXPECT_EQ(c.front().name, "B") << seed;
        std::set<std::string> names;
        for (const auto& x : c) names.insert(x.name);
        EXPECT_EQ(names.size(), 6u);
    }
    std::vector<StandCandidate> unrelated{{"FIT", 0, 0}, {"MATCH", 2, 1}};
    gf_orderStandCandidates(unrelated);
    EXPECT_EQ(unrelated.front().name, "FIT");
    std::vector<StandCandidate> equal{{"P", 1, 1}, {"Q", 1, 1}, {"R", 1, 1}};
    gf_orderStandCandidates(equal);  // equals each go in front of the other: the order turns round
    EXPECT_EQ(equal.front().name, "R");
    EXPECT_EQ(equal.back().name, "P");
}

TEST(StandChoice, OperatorMatchIsPreferred) {
    EngineHarness h;
    makeStands({{"R1", 0, 20, false, true}, {"R2", 50, 20, false, true}, {"R3", 100, 20, false, true}});
    currentStands[1].options.push_back(StandOption{"DLH", "A320", "DAIPB", "DLH9", "", uint64_t{1} << 5, 1, 1, 0, 1});
    for (uint32_t seed = 1; seed < 50; ++seed) {
        gf_seedRandom(seed);
        EXPECT_EQ(chosen({3, 20}, aircraft(AircraftCategory::Light, 10)), "R2");
    }
}

// ---------------------------------------------------------------- nearest fitting stand and names

TEST(NearestStand, DistanceSizeAndFallback) {
    EngineHarness h;
    makeStands({{"S1", 0, 18.1}, {"S2", 40, 30}, {"H1", 200, 30, false, false, true}});
    const SimAircraft a = aircraft(AircraftCategory::Large, 20);
    const uint32_t before = learnedUpdateCount.load();
    // 25 m from the small stand: too far for a stand that is too small; S2 is 15 m away.
    LatLon p = east(25);
    EXPECT_EQ(gf_nearestFittingStand(p.latitude, p.longitude, a, 55 * kMetre, false), &currentStands[1]);
    // 15 m from the small stand: taken, and its radius lowered to the aircraft less 1 m.
    p = east(15);
    ParkPos* s = gf_nearestFittingStand(p.latitude, p.longitude, a, 55 * kMetre, false);
    ASSERT_EQ(s, &currentStands[0]);
    EXPECT_NEAR(s->radius, 19 * kMetre, 1e-9);
    EXPECT_EQ(s->sizeAdjusted, 1);
    EXPECT_EQ(learnedUpdateCount.load(), before + 1);
    // Occupied stands are skipped; a helipad is refused to an aeroplane.
    currentStands[0].occupied = currentStands[1].occupied = 1;
    p = east(200);
    EXPECT_EQ(gf_nearestFittingStand(p.latitude, p.longitude, a, 55 * kMetre, false), nullptr);
    currentStands[0].occupied = currentStands[1].occupied = 0;
    // Option fallback: a stand within 85 m with an option for the callsign, when nothing is within reach.
    currentStands[1].options.push_back(StandOption{"AFR", "B738", "X", "DLH4", "", 1, 1, 1, 0, 1});
    p = east(110);
    EXPECT_EQ(gf_nearestFittingStand(p.latitude, p.longitude, a, 20 * kMetre, false), nullptr);
    EXPECT_EQ(gf_nearestFittingStand(p.latitude, p.longitude, a, 20 * kMetre, true), &currentStands[1]);
}

TEST(NearestStand, NameAtPositionAndItsCache) {
    EngineHarness h;
    makeStands({{"A1", 0, 20}, {"A2", 100, 20}});
    LatLon p = east(90);
    EXPECT_EQ(gf_standNameAt(p.latitude, p.longitude), "A2");
    p = east(40);
    EXPECT_EQ(gf_standNameAt(p.latitude, p.longitude), "A1");
    EXPECT_EQ(gf_standNameAt(p.latitude, p.longitude), "A1");  // cached
    // Reloaded stands forget the kept answer.
    makeStands({{"B1", 0, 20}, {"B2", 100, 20}});
    EXPECT_EQ(gf_standNameAt(p.latitude, p.longitude), "B1");
    p = east(200);
    EXPECT_EQ(gf_standNameAt(p.latitude, p.longitude), "");
    currentStands.clear();
    gf_publishStandPlaces();
    EXPECT_EQ(gf_standNameAt(kLat, kLon), "");
}

// ---------------------------------------------------------------- recorders

TEST(StandRecorders, RealOptions) {
    EngineHarness h;
    makeStands({{"A1", 0, 20}});
    LiveAircraft a;
    static_cast<SimAircraft&>(a) = aircraft(AircraftCategory::Large, 17);
    ParkPos& s = currentStands[0];
    uint32_t count = learnedUpdateCount.load();
    ASSERT_TRUE(lf_addRealStandOption(1, a, {3, 20}, false));
    ASSERT_EQ(s.options.size(), 1u);
    EXPECT_EQ(s.realMap.at(a.id).optionId, 1u);
    EXPECT_EQ(learnedUpdateCount.load(), ++count);
    // Parked again in the same half-hour: taken, nothing changes, nothing counted.
    EXPECT_TRUE(lf_addRealStandOption(1, a, {3, 20}, false));
    EXPECT_EQ(s.options.size(), 2u - 1u);
    EXPECT_EQ(learnedUpdateCount.load(), count);
    // Leaving three half-hours later extends the option and forgets the sighting.
    EXPECT_TRUE(lf_addRealStandOption(1, a, {3, 23}, true));
    EXPECT_EQ(s.options[0].halfHours, bits({20, 21, 22, 23}));
    EXPECT_TRUE(s.realMap.empty());
    EXPECT_EQ(learnedUpdateCount.load(), ++count);
    // No key, no stand: nothing.
    LiveAircraft nobody;
    EXPECT_FALSE(lf_addRealStandOption(1, nobody, {3, 20}, false));
    EXPECT_FALSE(lf_addRealStandOption(9, a, {3, 20}, false));
    // A closed option lacking the half-hour refuses; an out-of-day half-hour is logged and refused.
    s.options[0].closed = 1;
    EXPECT_FALSE(lf_addRealStandOption(1, a, {3, 30}, false));
    EXPECT_FALSE(lf_addRealStandOption(1, a, {3, 48}, false));
    EXPECT_EQ(s.options.size(), 1u);
}

TEST(StandRecorders, DepartingWithoutSightingAndRefusedExtension) {
    EngineHarness h;
    makeStands({{"A1", 0, 20}});
    LiveAircraft a;
    static_cast<SimAircraft&>(a) = aircraft(AircraftCategory::Large, 17);
    ParkPos& s = currentStands[0];
    ASSERT_TRUE(lf_addRealStandOption(1, a, {3, 10}, false));
    // 20 half-hours: too long to extend; the half-hour goes into the aircraft's option, without the ones between.
    ASSERT_TRUE(lf_addRealStandOption(1, a, {3, 30}, true));
    ASSERT_EQ(s.options.size(), 1u);
    EXPECT_EQ(s.options[0].halfHours, bits({10, 30}));
    EXPECT_TRUE(s.realMap.empty());
    ASSERT_TRUE(lf_addRealStandOption(1, a, {3, 31}, true));  // no sighting: into its option as well
    ASSERT_EQ(s.options.size(), 1u);
    EXPECT_EQ(s.options[0].halfHours, bits({10, 30, 31}));
    EXPECT_TRUE(s.realMap.empty());
}

// One identity never holds one half-hour twice on one stand: a real record in a half-hour that an option of
// the aircraft already holds leaves that option alone, whether the option was learned in this visit, read
// from the learned file or from the airport file; a departure there forgets the sighting.
TEST(StandRecorders, RealRecordInAHalfHourAlreadyHeldAddsNothing) {
    EngineHarness h;
    struct Record {
        uint32_t halfHour;
        bool departing;
    };
    struct Case {
        const char* what;
        std::vector<StandOption> before;  // of the aircraft, on weekday 5
        std::vector<Record> records;
        std::vector<uint64_t> after;  // the half-hours of its options
    };
    auto held = [](uint64_t halfHours, int32_t closed, const std::string& callsign = "DLH400") {
        return StandOption{"DLH", "A320", "DAIPA", callsign, "", halfHours, 1, 5, closed, 1};
    };
    const std::vector<Case> cases = {
        {"created, created again in the next half-hour, leaving then",
         {},
         {{9, false}, {10, false}, {10, true}},
         {bits({9, 10})}},
        {"learned option, parked in one of its half-hours",
         {held(bits({9, 10, 11}), 0)},
         {{10, false}},
         {bits({9, 10, 11})}},
        {"learned option, leaving in one of its half-hours", {held(bits({9, 10}), 0)}, {{10, true}}, {bits({9, 10})}},
        {"airport-file option under another flight, parked in its half-hour",
         {held(bits({10}), 1, "DLH402")},
         {{10, false}, {10, true}},
         {bits({10})}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        makeStands({{"A1", 0, 20}});
        ParkPos& s = currentStands[0];
        s.options = c.before;
        LiveAircraft a;
        static_cast<SimAircraft&>(a) = aircraft(AircraftCategory::Large, 17, "DLH400");
        for (const Record& r : c.records) EXPECT_TRUE(lf_addRealStandOption(1, a, {5, r.halfHour}, r.departing));
        std::vector<uint64_t> after;
        for (const StandOption& o : s.options) after.push_back(o.halfHours);
        EXPECT_EQ(after, c.after);
        EXPECT_TRUE(s.realMap.empty()) << "no sighting is left behind";
    }
}

// A soft record in a half-hour that an airport-file option of the aircraft holds adds nothing either: not a
// new option, and not the half-hour to an open option of the aircraft.
TEST(StandRecorders, SoftRecordInAHalfHourAnAirportFileOptionHoldsAddsNothing) {
    EngineHarness h;
    const StandOption fromFile{"DLH", "A320", "DAIPA", "DLH400", "", bits({20}), 1, 3, 1, 0};
    const StandOption learned{"DLH", "A320", "DAIPA", "DLH400", "", bits({30}), 2, 3, 0, 0};
    for (const std::vector<StandOption>& before : {std::vector<StandOption>{fromFile}, {fromFile, learned}}) {
        SCOPED_TRACE(before.size());
        makeStands({{"A1", 0, 20}});
        ParkPos& s = currentStands[0];
        s.options = before;
        const SimAircraft a = aircraft(AircraftCategory::Large, 17, "DLH400");
        for (const bool closing : {false, true}) EXPECT_TRUE(lf_addSoftStandOption(1, a, false, {3, 20}, closing));
        EXPECT_EQ(s.options, before);
        EXPECT_TRUE(s.softMap.empty()) << "no sighting is left behind";
    }
}

TEST(StandRecorders, SoftOptions) {
    EngineHarness h;
    makeStands({{"A1", 0, 20}});
    const SimAircraft a = aircraft(AircraftCategory::Large, 17);
    ParkPos& s = currentStands[0];
    ASSERT_TRUE(lf_addSoftStandOption(1, a, false, {3, 20}, false));
    ASSERT_EQ(s.options.size(), 1u);
    EXPECT_EQ(s.options[0].real, 0);
    EXPECT_EQ(s.softMap.at(a.id).optionId, 1u);
    const uint32_t count = learnedUpdateCount.load();
    EXPECT_TRUE(lf_addSoftStandOption(1, a, false, {3, 20}, false));  // already there
    EXPECT_EQ(learnedUpdateCount.load(), count);
    EXPECT_TRUE(lf_addSoftStandOption(1, a, false, {3, 25}, false));  // not moved, not closing: the bit
    EXPECT_EQ(s.options[0].halfHours, bits({20, 25}));
    // Moved two half-hours later: extended from the sighting.
    EXPECT_TRUE(lf_addSoftStandOption(1, a, true, {3, 22}, false));
    EXPECT_EQ(s.options[0].halfHours, bits({20, 21, 22, 25}));
    EXPECT_EQ(s.softMap.at(a.id).slot, (WeekSlot{3, 22}));
    // Closing far later: refused extension, the half-hour in the aircraft's option, the sighting forgotten.
    EXPECT_TRUE(lf_addSoftStandOption(1, a, true, {3, 40}, true));
    ASSERT_EQ(s.options.size(), 1u);
    EXPECT_EQ(s.options[0].halfHours, bits({20, 21, 22, 25, 40}));
    EXPECT_TRUE(s.softMap.empty());
}

TEST(StandRecorders, SoftLearningAndCoupledCallsigns) {
    EngineHarness h;
    LEARN_SOFT.value.store(true);
    makeStands({{"R1", 0, 20, false, true}});
    standsLoaded = 1;
    CurrentAirport ap;
    ap.icao = "EDDF";
    ap.latitude = kLat;
    ap.longitude = kLon;
    gf_setCurrentAirport(ap);
    LiveAircraft a;
    static_cast<SimAircraft&>(a) = aircraft(AircraftCategory::Light, 10);
    a.position[kPosLat] = kLat;
    a.position[kPosLon] = kLon;
    a.heightAglFt = 300;
    lf_learnSoftStand(a, false);
    ASSERT_EQ(currentStands[0].options.size(), 1u);
    EXPECT_EQ(currentStands[0].options[0].real, 0);
    lf_learnSoftStand(a, false);  // same slot, not due again
    EXPECT_EQ(currentStands[0].options.size(), 1u);
    a.heightAglFt = 3000;
    a.id = 0x400002;
    a.identity.registration = "DAIPC";
    lf_learnSoftStand(a, false);  // too high
    EXPECT_EQ(currentStands[0].options.size(), 1u);
    LEARN_SOFT.value.store(false);
    standsLoaded = 0;

    // Coupled callsigns: the first option around the slot holding the callsign and a second one.
    currentStands[0].options.push_back(StandOption{"DLH", "A320", "DAIPA", "DLH4", "DLH5", bits({30}), 7, 3, 0, 1});
    SimAircraft b = aircraft(AircraftCategory::Large, 17, "DLH5_");
    lf_searchForCoupledCsAroundThisTime({3, 21}, b);  // 9 half-hours away
    EXPECT_EQ(b.identity.identity6, "DLH4");
    EXPECT_EQ(b.identity.identity7, "DLH5");
    SimAircraft c = aircraft(AircraftCategory::Large, 17, "DLH5");
    lf_searchForCoupledCsAroundThisTime({3, 19}, c);  // 11 away: outside
    EXPECT_EQ(c.identity.identity6, "");
    c.category = categoryIndex(AircraftCategory::Heavy);
    lf_searchForCoupledCsAroundThisTime({3, 19}, c);
    EXPECT_EQ(c.identity.identity6, "DLH4");
}

// ---------------------------------------------------------------- claims, neighbours, parking

TEST(StandClaims, CasesAtCreation) {
    struct Case {
        std::string existing;
        MovementPhase phase;
        uint8_t departing;
        std::string incoming;
        bool newTakes;
        bool existingRemoved;
    } cases[] = {
        {"DLH4", MovementPhase::Parked, 0, "DLH4", true, true},
        {"DLH4_", MovementPhase::Parked, 0, "DLH4", true, true},
        {"DLH4", MovementPhase::PushedBack, 0, "DLH4_", false, false},
        {"AFR1", MovementPhase::PushingBack, 1, "DLH4", false, false},
        {"AFR1", MovementPhase::Parked, 0, "DLH4", true, true},
        {"AFR1", MovementPhase::Taxi, 0, "DLH4", true, false},
    };
    for (const auto& c : cases) {
        EngineHarness h;
        makeStands({{"A1", 0, 20}});
        LiveAircraft l = liveOn(0x400010, c.existing, 1, c.phase);
        l.departing = c.departing;
        lf_appendLive(std::move(l));
        LiveAircraft n = liveOn(0x400020, c.incoming, 0, MovementPhase::Birth);
        EXPECT_EQ(lf_claimStand(n, 1), c.newTakes) << c.existing << " " << c.incoming;
        EXPECT_EQ(liveList[0].simState == SimState::RemovingFromSim, c.existingRemoved) << c.existing;
    }
}

TEST(StandClaims, AdjacentStandsCollide) {
    struct Case {
        double apart;
        bool removed;
    } cases[] = {{41, true}, {42, false}};
    for (const auto& c : cases) {
        EngineHarness h;
        makeStands({{"A1", 0, 20}, {"A2", c.apart, 20}});
        h.addType("B744", AircraftCategory::Heavy, 20 * kMetre);
        h.addType("A359", AircraftCategory::Heavy, 18 * kMetre);
        LiveAircraft l = liveOn(0x400010, "AFR1", 2, MovementPhase::Parked);
        l.identity.icaoType = "B744";
        lf_appendLive(std::move(l));
        LiveAircraft p = liveOn(0x400020, "DLH4", 0, MovementPhase::Taxi);
        p.identity.icaoType = "A359";
        lf_removeAdjacentColliding(2, p, currentStands[0], liveList[0]);
        EXPECT_EQ(liveList[0].simState == SimState::RemovingFromSim, c.removed) << c.apart;
        lf_removeAdjacentColliding(9, p, currentStands[0], liveList[0]);  // no such stand: nothing
    }
}

TEST(StandClaims, ReservedStandNotFoundFreesNothing) {
    EngineHarness h;
    makeStands({{"A1", 0, 20}});
    LiveAircraft l = liveOn(0x400010, "AFR1", 0, MovementPhase::Parked);
    lf_appendLive(std::move(l));
    SimAircraft s;
    s.id = 5;
    s.simState = SimState::Active;
    s.objectId = 55;
    staticList.push_back(s);
    CurrentAirport ap;
    ap.icao = "EDDF";
    ap.reservedStand = "V99";
    gf_setCurrentAirport(ap);
    gf_clearReservedStand();
    EXPECT_EQ(liveList[0].simState, SimState::Active);
    EXPECT_EQ(staticList[0].simState, SimState::Active);
    staticList.clear();
}

TEST(StandClaims, Try2ParkTakesTheStandOnce) {
    EngineHarness h;
    makeStands({{"FAR", 1000, 20}});
    LiveAircraft p = liveOn(0x400020, "DLH4", 0, MovementPhase::Taxi);
    p.halfSpanNm = 17 * kMetre;
    p.standTaxiSpeedKt = 5;
    StreamPoint head;
    const LatLon at = east(5);
    head.latitude = at.latitude;
    head.longitude = at.longitude;
    head.engineFlag = 1;
    p.stream.push_back(head);
    LiveAircraft& ac = lf_appendLive(std::move(p));
    try2Park(ac, false);
    EXPECT_EQ(ac.standId, 0u);
    // Stands near by now, but the newest position is the one tried already.
    makeStands({{"A1", 0, 20}, {"A2", 30, 20}});
    try2Park(ac, false);
    EXPECT_EQ(ac.standId, 0u);
    ac.stream.back().longitude += 1e-7;
    try2Park(ac, false);
    EXPECT_EQ(ac.standId, 1u);
    EXPECT_EQ(ac.phase, MovementPhase::Parking);
    EXPECT_EQ(currentStands[0].occupied, 1);
    EXPECT_EQ(ac.stream.back().latitude, currentStands[0].latitude);
    EXPECT_EQ(ac.stream.back().longitude, currentStands[0].longitude);

    // A second arrival at the same place does not get the taken stand; wide, it reaches A2 (25 m).
    LiveAircraft q = liveOn(0x400030, "AFR1", 0, MovementPhase::Taxi);
    q.halfSpanNm = 17 * kMetre;
    q.stream.push_back(head);
    LiveAircraft& second = lf_appendLive(std::move(q));
    try2Park(second, false);
    EXPECT_EQ(second.standId, 0u);
    second.stream.back().latitude += 1e-7;
    try2Park(second, true);
    EXPECT_EQ(second.standId, 2u);

    LiveAircraft empty;
    try2Park(empty, false);  // no positions: logged, nothing else
    EXPECT_EQ(empty.standId, 0u);
}

// A taxiing aircraft whose last feed point lies on the first stand (kLat, kLon).
static LiveAircraft taxiingOnFirstStand(std::uint32_t hexid, const std::string& callsign) {
    LiveAircraft p = liveOn(hexid, callsign, 0, MovementPhase::Taxi);
    StreamPoint head;
    head.latitude = kLat;
    head.longitude = kLon;
    p.stream.push_back(head);
    return p;
}

// An arrival that dropped back to taxi after taking a stand (a feed point beyond the limit, or not within
// 2 m of the stand) and parks elsewhere leaves its first stand free for the next arrival.
TEST(StandClaims, Try2ParkElsewhereFreesTheStandHeldBefore) {
    EngineHarness h;
    makeStands({{"A1", 0, 20}, {"A2", 100, 20}});
    LiveAircraft p = taxiingOnFirstStand(0x400020, "DLH4");
    p.halfSpanNm = 17 * kMetre;
    LiveAircraft& ac = lf_appendLive(std::move(p));
    try2Park(ac, false);
    ASSERT_EQ(ac.standId, 1u);
    ASSERT_EQ(currentStands[0].occupied, 1);
    ac.setPhase(MovementPhase::Taxi);
    const LatLon at = east(100);
    ac.stream.back().latitude = at.latitude;
    ac.stream.back().longitude = at.longitude;
    try2Park(ac, false);
    ASSERT_EQ(ac.standId, 2u);
    EXPECT_EQ(currentStands[1].occupied, 1);
    EXPECT_EQ(currentStands[0].occupied, 0);
    LiveAircraft q = taxiingOnFirstStand(0x400030, "AFR1");
    q.halfSpanNm = 17 * kMetre;
    LiveAircraft& second = lf_appendLive(std::move(q));
    try2Park(second, false);
    EXPECT_EQ(second.standId, 1u);
}

TEST(StandClaims, Try2ParkSparesReservedAndUserStand) {
    EngineHarness h;
    makeStands({{"A1", 0, 20}});
    CurrentAirport ap;
    ap.icao = "EDDF";
    ap.reservedStand = "A1";
    gf_setCurrentAirport(ap);
    LiveAircraft p = taxiingOnFirstStand(0x400020, "DLH4");
    LiveAircraft& ac = lf_appendLive(std::move(p));
    try2Park(ac, false);
    EXPECT_EQ(ac.standId, 0u);
    ap.reservedStand.clear();
    gf_setCurrentAirport(ap);
    userState.latitude = kLat;
    userState.longitude = kLon;
    ac.stream.back().longitude += 1e-7;
    try2Park(ac, false);
    EXPECT_EQ(ac.standId, 0u);  // the user stands there
    userOnGround.store(0);
    ac.stream.back().longitude += 1e-7;
    try2Park(ac, false);
    EXPECT_EQ(ac.standId, 1u);  // airborne users stand nowhere
}

// ---------------------------------------------------------------- duplicates

TEST(Duplicates, Table) {
    EngineHarness h;
    struct Case {
        std::string what;
        uint32_t planned, feedHexid;
        std::string sReg, s6, s7;
        std::string lCs, lReg, l7;
        bool dup;
    } cases[] = {
        {"same hexid", 0, 0x400001, "X", "", "", "DLH4", "Y", "", true},
        {"hexid of a planned aircraft", 1, 0x400001, "X", "", "", "DLH4", "Y", "", false},
        {"same registration", 1, 0, "DAIPA", "", "", "DLH4", "DAIPA", "", true},
        {"both registrations empty", 1, 0, "", "", "", "DLH4", "", "", false},
        {"same callsign", 1, 0, "", "DLH4", "", "DLH4", "", "", true},
        {"coupled callsign", 1, 0, "", "DLH3", "DLH4", "DLH4", "", "", true},
        {"second coupled callsign", 1, 0, "", "DLH3", "", "AFR1", "", "DLH3", true},
        {"ghost callsign", 1, 0, "", "", "DLH4", "DLH4_", "", "", true},
        {"empty callsigns never match", 1, 0, "", "", "", "", "", "", false},
        {"empty live callsign", 1, 0, "", "", "DLH4", "", "", "", false},
        {"other", 1, 0, "A", "B", "C", "D", "E", "F", false},
    };
    for (const auto& c : cases) {
        LiveAircraft l;
        l.id = 0x400001;
        l.identity.callsign = c.lCs;
        l.identity.registration = c.lReg;
        l.identity.identity7 = c.l7;
        SimAircraft s;
        s.simState = SimState::Active;
        s.planned = c.planned;
        s.feedHexid = c.feedHexid;
        s.identity.registration = c.sReg;
        s.identity.identity6 = c.s6;
        s.identity.identity7 = c.s7;
        EXPECT_EQ(gf_removeDuplicates(l, s), c.dup) << c.what;
    }
}
