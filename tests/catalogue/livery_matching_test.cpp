#include <set>

#include "airports/parking.h"
#include "catalogue/livery_matching.h"
#include "catalogue_fixture.h"
#include "engine/aircraft.h"
#include "engine/aircraft_liveries.h"
#include "shell/run_flags.h"

using namespace cattest;

namespace {

const std::vector<LiveryRecord> installed{
    pax("RGC", "A320", "RGC 320 D-AIXX", "D-AIXX"),  // made for one registration
    pax("DLH", "A320", "LH 320"),
    pax("DLH", "A321", "FSLTL_LH 321"),
    pax("BAW", "A319", "BA 319"),
    pax("GEC", "MD11", "GEC MD11 pax"),
    freight("DHL", "A321", "DHL 321F"),
    pax("DHL", "A321", "DHL 321P"),
    pax("ZZZ", "B744", "Generic 744"),
    pax("ZZZ", "C172", "Generic 172"),
    pax("PVT", "C182", "Private 182"),
    pax("CLB", "PA28", "Club PA28"),
    pax("ZZZ", "H145", "Heli 145"),
    pax("", "C25A", "No airline C25A"),
};

using AC = AircraftCategory;

struct LadderCase {
    const char* name;
    int depth;
    const char* airline;
    const char* type;
    const char* registration;
    AC category;
    bool cargo;
    std::set<std::string> titles;  // any of these; empty: no livery
    int step;                      // counter that must have been raised (0: none)
};

const LadderCase ladder[] = {
    {"registration", 1, "DLH", "A320", "DAIXX", AC::Large, false, {"RGC 320 D-AIXX"}, 1},
    {"depth 1 has only the registration step", 1, "DLH", "A320", "", AC::Large, false, {}, 0},
    {"airline and type", 2, "DLH", "A320", "", AC::Large, false, {"LH 320"}, 2},
    {"registration airline when it has an operator", 2, "KLM", "A319", "GEUPA", AC::Large, false, {"BA 319"}, 2},
    {"no similar type at depth 2", 2, "DLH", "A319", "", AC::Large, false, {}, 0},
    {"similar type", 3, "DLH", "A319", "", AC::Large, false, {"LH 320", "FSLTL_LH 321"}, 3},
    {"similar type of another category is skipped", 3, "DLH", "A319", "", AC::Heavy, false, {}, 0},
    {"empty airline skips steps 2 and 3", 2, "", "C25A", "", AC::Buzjets, false, {}, 0},
    {"heavy gets no generic livery at depth 3", 3, "UAE", "B744", "", AC::Heavy, false, {}, 0},
    {"heavy gets the generic livery at depth 4", 4, "UAE", "B744", "", AC::Heavy, false, {"Generic 744"}, 4},
    {"PVT takes ZZZ first", 2, "PVT", "C172", "", AC::Light, false, {"Generic 172"}, 4},
    {"PVT without ZZZ goes on with PVT", 2, "PVT", "C182", "", AC::Light, false, {"Private 182"}, 2},
    {"light: ZZZ at depth 3", 3, "XYZ", "C172", "", AC::Light, false, {"Generic 172"}, 4},
    {"light: any livery of the type", 3, "XYZ", "PA28", "", AC::Light, false, {"Club PA28"}, 5},
    {"light: similar model", 3, "XYZ", "C182", "", AC::Light, false, {"Private 182"}, 5},
    {"light without group: random installed light model",
     3,
     "XYZ",
     "BE58",
     "",
     AC::Light,
     false,
     {"Generic 172", "Private 182", "Club PA28"},
     6},
    {"rotorcraft: random installed rotorcraft", 3, "XYZ", "EC35", "", AC::Rotorcraft, false, {"Heli 145"}, 6},
    {"empty airline: any livery of the type at step 5", 3, "", "C25A", "", AC::Buzjets, false, {"No airline C25A"}, 5},
    {"high performance never steps 5 and 6", 4, "XYZ", "F18", "", AC::HighPerf, false, {}, 0},
    {"cargo takes a cargo livery", 2, "DHL", "A321", "", AC::Large, true, {"DHL 321F"}, 2},
    {"passenger never takes a cargo livery", 2, "DHL", "A321", "", AC::Large, false, {"DHL 321P"}, 2},
    {"cargo falls back to a passenger livery", 2, "GEC", "MD11", "", AC::Large, true, {"GEC MD11 pax"}, 2},
    {"cargo: step 5 and 6 only from cargo liveries", 4, "XYZ", "PA28", "", AC::Light, true, {}, 0},
};

}  // namespace

class LiveryMatching : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        loadDatabase();
        buildLiveries(installed);
    }
    static LiveryRequest request(const char* airline, const char* type, const char* reg, AC category, bool cargo) {
        LiveryRequest r;
        r.airline = airline;
        r.type = type;
        r.registration = reg;
        r.callsign = "TST123";
        r.category = category;
        r.cargo = cargo;
        return r;
    }
};

TEST_F(LiveryMatching, LiveLadder) {
    for (const auto& c : ladder) {
        for (int round = 0; round < 8; ++round) {  // random picks and shuffles: several draws
            matchStepCounts.fill(0);
            MATCHING_DEPTH.value = c.depth;
            auto r = request(c.airline, c.type, c.registration, c.category, c.cargo);
            r.title = "stale";  // left over from an earlier match: never kept, never counted
            lf_matchLive(r);
            if (c.titles.empty()) {
                EXPECT_TRUE(r.title.empty()) << c.name << ": " << r.title;
                EXPECT_EQ(matchStepCounts, (std::array<std::uint32_t, 6>{})) << c.name;
                continue;
            }
            EXPECT_TRUE(c.titles.contains(std::string(r.title))) << c.name << ": " << r.title;
            std::array<std::uint32_t, 6> expected{};
            expected[static_cast<std::size_t>(c.step - 1)] = 1;
            EXPECT_EQ(matchStepCounts, expected) << c.name;
            // The title is a view of the catalogue's own text.
            EXPECT_EQ(r.title.data(), gf_catalogueTitle(r.title).data()) << c.name;
        }
    }
}

TEST_F(LiveryMatching, StaticLadderDifferences) {
    MATCHING_DEPTH.value = 4;
    // Empty airline: steps 2 and 3 are tried with the empty code.
    auto r = request("", "C25A", "", AC::Buzjets, false);
    EXPECT_TRUE(lf_matchStatic(r, "A12", false));
    EXPECT_EQ(r.title, "No airline C25A");
    // No category filter in step 3.
    MATCHING_DEPTH.value = 3;
    r = request("DLH", "A319", "", AC::Heavy, false);
    EXPECT_TRUE(lf_matchStatic(r, "A12", false));
    EXPECT_TRUE(r.title == "LH 320" || r.title == "FSLTL_LH 321");
    // The stand's cargo mark becomes the cargo wish.
    MATCHING_DEPTH.value = 2;
    r = request("DHL", "A321", "", AC::Large, false);
    EXPECT_TRUE(lf_matchStatic(r, "C1", true));
    EXPECT_TRUE(r.cargo);
    EXPECT_EQ(r.title, "DHL 321F");
    // Static matches are not counted and do not touch the FSLTL flag.
    EXPECT_EQ(matchStepCounts, (std::array<std::uint32_t, 6>{}));
    EXPECT_FALSE(r.fsltl);
    // A title on entry is kept.
    r = request("DLH", "A320", "", AC::Large, false);
    r.title = "kept";
    EXPECT_TRUE(lf_matchStatic(r, "C1", false));
    EXPECT_TRUE(logHas("=s= kept"));
    // No match logs the stand.
    r = request("XYZ", "F18", "", AC::HighPerf, false);
    EXPECT_FALSE(lf_matchStatic(r, "B7", false));
    EXPECT_TRUE(logHas("B7      : TST123 "));
    EXPECT_TRUE(logHas(" no livery match ..."));
}

TEST_F(LiveryMatching, SpecialTitlesAreAvoided) {
    const auto a = gf_catalogueTitle("LH 320"), b = gf_catalogueTitle("BA 319"), c = gf_catalogueTitle("Generic 172");
    specialTitles = {a, b};
    for (int i = 0; i < 50; ++i) {
        auto r = request("X", "Y", "", AC::Light, false);
        lf_pickLivery(r, {a, b, c});
        EXPECT_EQ(r.title, "Generic 172");
        r.title = {};
        lf_pickLivery(r, {a, b});
        EXPECT_TRUE(r.title.empty());
    }
    auto r = request("X", "Y", "", AC::Light, false);
    lf_pickLivery(r, {});
    EXPECT_TRUE(r.title.empty());
}

TEST_F(LiveryMatching, FailedTitlesAreNeverGivenAgainAndError81) {
    MATCHING_DEPTH.value = 2;
    lf_liveryNotCreated("TST123", "LH 320", "A320", "DLH");
    EXPECT_TRUE(logHas("TST123 \"LH 320\" could not be created by your Sim!"));
    auto r = request("DLH", "A320", "", AC::Large, false);
    lf_matchLive(r);
    EXPECT_TRUE(r.title.empty());
    EXPECT_EQ(matchStepCounts, (std::array<std::uint32_t, 6>{}));
    r = request("DLH", "A320", "", AC::Large, false);
    EXPECT_FALSE(lf_matchStatic(r, "A1", false));

    for (int i = 2; i < 20; ++i) EXPECT_NO_THROW(lf_liveryNotCreated("TST", fmt::format("t{}", i), "A320", "DLH"));
    EXPECT_THROW(lf_liveryNotCreated("TST", "t20", "B744", "UAE"), ovk::UserErrorException);
    try {
        lf_liveryNotCreated("TST", "t21", "B744", "UAE");
        FAIL();
    } catch (const ovk::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "81: there are too many liveries that could not be created by MSFS!, see Log.txt");
    }
    EXPECT_TRUE(logHas("\n===> Error 81, there are too many liveries that could not be created by MSFS!\n"));
    EXPECT_EQ(gf_notCreatedLines(), (std::vector<std::string>{"  A320 DLH", "  B744 UAE"}));

    stopRequested = 1;
    EXPECT_NO_THROW(lf_liveryNotCreated("TST", "t22", "B744", "UAE"));
    stopRequested = 0;
    EXPECT_EQ(notCreatedTitles.size(), 21u);
}

TEST_F(LiveryMatching, SummaryAndUnmatchedList) {
    gf_closeLog();
    gf_openLog(dir / "Log.txt");
    gf_writeMatchingSummary();
    auto lines = readLines(dir / "Log.txt");
    // Header line, empty line, banner, "Matches at step: ", 6 steps, closing banner with its line end.
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], std::string(31, '*') + " live traffic livery matching summary " + std::string(31, '*'));
    EXPECT_EQ(lines[3], "Matches at step: ");
    EXPECT_EQ(lines[4], "  1: 0");
    EXPECT_EQ(lines[10], std::string(100, '*'));
    EXPECT_EQ(lines[11], "");

    lf_liveryNotCreated("T1", "LH 320", "A320", "DLH");
    lf_liveryNotCreated("T2", "BA 319", "A319", "BAW");
    lf_liveryNotCreated("T3", "LH 320", "A320", "DLH");
    gf_writeMatchingSummary();
    EXPECT_TRUE(logHas("  6: 0\n\nCould not be created by MSFS:\n  A319 BAW\n  A320 DLH\n" + std::string(100, '*')));

    noMatchKeys = {"DLH A320 D-AIPB", "BAW A319 G-EUPB"};
    gf_logNoMatches();
    EXPECT_TRUE(logHas("\nNo match found for: \nBAW A319 G-EUPB\nDLH A320 D-AIPB\n\n"));
    LOG.value = false;
    gf_closeLog();
    gf_openLog(dir / "Log.txt");
    gf_logNoMatches();
    EXPECT_FALSE(logHas("No match found"));
}

TEST_F(LiveryMatching, EngineRecordsAreMatched) {
    MATCHING_DEPTH.value = 3;
    LiveAircraft live;
    live.identity.airline = "DLH";
    live.identity.icaoType = "A321";
    live.identity.callsign = "DLH4AB";
    live.identity.registration = "D-AISX";
    live.category = categoryIndex(AC::Large);
    gf_matchLivery(live);
    EXPECT_EQ(live.liveryTitle, "FSLTL_LH 321");
    EXPECT_EQ(live.titlePrefixFlag, 1);
    EXPECT_TRUE(logHas("=2= FSLTL_LH 321"));
    EXPECT_TRUE(runMatchKeys.contains("DLH A321"));

    live.identity.icaoType = "A320";
    live.liveryTitle = {};
    gf_matchLivery(live);
    EXPECT_EQ(live.liveryTitle, "LH 320");
    EXPECT_EQ(live.titlePrefixFlag, 0);

    EXPECT_EQ(gf_liveryForRegistration("DAIXX"), "RGC 320 D-AIXX");
    EXPECT_TRUE(gf_liveryForRegistration("").empty());
    EXPECT_TRUE(gf_liveryForRegistration("D-AIPQ").empty());

    SimAircraft parked;
    parked.identity.airline = "DHL";
    parked.identity.icaoType = "A321";
    parked.identity.callsign = "DHL1*";
    parked.category = categoryIndex(AC::Large);
    ParkPos stand;
    stand.name = "C12";
    stand.cargo = 1;
    EXPECT_TRUE(gf_matchStaticLivery(parked, stand));
    EXPECT_EQ(parked.liveryTitle, "DHL 321F");
    EXPECT_EQ(parked.cargoWanted, 1);
    parked.identity.icaoType = "F18";
    parked.liveryTitle = {};
    EXPECT_FALSE(gf_matchStaticLivery(parked, stand));
    EXPECT_TRUE(logHas("C12     : DHL1*"));

    SimAircraft failed;
    failed.identity = live.identity;
    failed.liveryTitle = live.liveryTitle;
    gf_liveryNotCreated(failed);
    EXPECT_TRUE(gf_isNotCreatedTitle("LH 320"));
}
