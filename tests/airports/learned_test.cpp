// Learned airport files: where they live, how they merge into the stands, and how they are saved.
#include "tests/airports/airports_fixture.h"

#include <pugixml.hpp>

#include "airports/airport_ui.h"
#include "airports/apf_writer.h"
#include "airports/parking_file.h"
#include "shell/range.h"

namespace {

std::string readApf(const std::string& path) {
    currentStands.clear();
    currentApfHeader = ApfHeader{};
    return gf_readApf(path, currentApfHeader, currentQualityFactors);
}

const ParkPos* standNamed(const std::string& name) {
    for (const ParkPos& s : currentStands)
        if (s.name == name) return &s;
    return nullptr;
}

const std::string kEdit = R"(<parkpos id="A1" radius_change="true" radius="25">
  <opt reg="PH-1" airl="KLM" type="B738" day="2" hh="4,5"/>
  <opt reg="PH-1" airl="KLM" type="B738" day="2" hh="5,6"/>
  <opt reg="PH-1" airl="KLM" type="B738" day="2" hh="10"/>
</parkpos>
)";

// The add-on's file of EGLL: stand A1 with one plan option of the file, stand B1 100 m north.
void writeAddonAirport(const std::string& publisher) {
    AirportsTest::writeText(
        "airports/ve_zuzuvado/EGLL.xml",
        AirportsTest::apfText(
            {{"airport_name", "Heathrow"}, {"publisher", publisher}, {"altitude", "83"}},
            AirportsTest::stand("A1", 0, 20, "", R"(<opt reg="PH-1" airl="KLM" type="B738" day="2" hh="4"/>)") +
                AirportsTest::stand("B1", 100)));
}

}  // namespace

TEST_F(AirportsTest, LearnedPathsFollowTheSaveFolders) {
    const fs::path learned = fs::path("airports") / "learned";
    struct Case {
        std::string path;
        std::string publisher;
        fs::path want;
    } cases[] = {
        {"", "stock", {}},
        {"archive/stock/EGLL.xml", "stock", learned / "stock" / "EGLL.xml"},
        {"archive/thirdparty/Some%20Pub/EGLL.xml", "x", learned / "thirdparty" / "Some Pub" / "EGLL.xml"},
        {"archive/simaddon/EGLL.xml", "simaddon", learned / "simaddon" / "EGLL.xml"},
        {"airports/my_thirdparty/EGLL.xml", "P", learned / "thirdparty" / "P" / "EGLL.xml"},
        {"airports/my_thirdparty2024/EGLL.xml", "P", learned / "thirdparty" / "P" / "EGLL.xml"},
        {"airports/ve_zuzuvado/EGLL.xml", "simaddon", learned / "simaddon" / "EGLL.xml"},
        {"airports/ve_zuzuvado/EGLL.xml", "unknown", learned / "thirdparty" / "unknown" / "EGLL.xml"},
        {"airports/other/EGLL.xml", "P", learned / "other" / "EGLL.xml"},
        // "archive" counts only as the prefix of a server path.
        {"airports/my_thirdparty/archive.xml", "P", learned / "thirdparty" / "P" / "archive.xml"},
        {"somewhere/archive/EGLL.xml", "P", {}},
        // Names that would leave the learned folder are refused.
        {"airports/my_thirdparty/EGLL.xml", "../../x", {}},
        {"airports/my_thirdparty/EGLL.xml", "a/b", {}},
        {"airports/ve_zuzuvado/EGLL.xml", "a\\b", {}},
        {"archive/thirdparty/..%2F/../EGLL.xml", "x", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + c.publisher);
        EXPECT_EQ(gf_learnedPathOf(c.path, c.publisher), c.want);
    }
    EXPECT_EQ(gf_learnedFolderOf("Pub"), learned / "thirdparty" / "Pub");
    EXPECT_EQ(gf_learnedFolderOf(".."), fs::path{});
}

TEST_F(AirportsTest, LearnedEditsMergeIntoTheAirportFile) {
    setParkAirport("EGLL");
    writeAddonAirport("simaddon");
    writeText("airports/learned/simaddon/EGLL.xml",
              apfText({{"airport_name", "Old name"},
                       {"publisher", "simaddon"},
                       {"MAX_FIT", "9"},
                       {"parking_percentage", "250"},
                       {"WEEK", "yes"},
                       {"LATERAL_RANGE", "250"},
                       {"AUTO_RANGE", "false"}},
                      kEdit + R"(<parkpos id="B1" cargo_change="true" cargo="true"/>
                      <parkpos id="Q9" radius_change="true" radius="5"/>
                      <parkpos id="B1" manual="true" latitude="47.1" longitude="8.1" radius="10"/>
                      <parkpos id="M1" manual="true" latitude="0.0005" longitude="0.01" radius="10"/>
                      <parkpos id="M2" manual="true" latitude="47.2" longitude="8.2" radius="12"/>)"));
    MAX_LIVE.value = 20;
    std::vector<bool> autoRangeCalls;
    gf_setAirportUiHooks(AirportUiHooks{[&](bool on) { autoRangeCalls.push_back(on); }, {}});
    ASSERT_EQ(readApf("airports/ve_zuzuvado/EGLL.xml"), "");
    gf_setAirportUiHooks({});
    EXPECT_EQ(LATERAL_RANGE.value.load(), 100);  // clamped, and the traffic radius follows
    EXPECT_DOUBLE_EQ(rangeNm.load(), 100.0);
    EXPECT_EQ(autoRangeCalls, std::vector<bool>{false});
    EXPECT_FALSE(AUTO_RANGE.value.load());
    const ParkPos* a1 = standNamed("A1");
    ASSERT_NE(a1, nullptr);
    EXPECT_DOUBLE_EQ(a1->radius, 25.0 / 1852.0);
    EXPECT_EQ(a1->radiusChanged, 1);
    // The file's option (closed, id 1) holds half-hour 4: the learned 4,5 overlaps it and is dropped, 5,6 is
    // a new option (id 2, it does not overlap the file's option), 10 overlaps nothing so far (id 3).
    ASSERT_EQ(a1->options.size(), 3u);
    EXPECT_EQ(a1->options[0].closed, 1);
    EXPECT_EQ(a1->options[1].id, 2);
    EXPECT_EQ(a1->options[1].halfHours, 0b1100000u);
    EXPECT_EQ(a1->options[1].closed, 0);
    EXPECT_EQ(a1->options[2].id, 3);
    EXPECT_EQ(standNamed("B1")->cargo, 1);
    EXPECT_EQ(standNamed("B1")->cargoChanged, 1);
    EXPECT_EQ(standNamed("M1"), nullptr);
    ASSERT_NE(standNamed("M2"), nullptr);
    EXPECT_EQ(standNamed("M2")->manual, 1);
    EXPECT_EQ(standNamed("M2")->options.size(), 0u);
    EXPECT_EQ(currentStands.back().id, currentStands.size());
    EXPECT_EQ(MAX_FIT.value.load(), 9);
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 5.0f);
    EXPECT_EQ(parking_percentage.value.load(), 100);  // clamped
    EXPECT_EQ(MAX_LIVE.value.load(), -1);             // absent
    EXPECT_TRUE(WEEK.value.load());
    EXPECT_EQ(handmadeLearned.load(), 0);
    for (const char* line :
         {"Read from learned airport file: \"airports/learned/simaddon/EGLL.xml\"",
          "Warning: learned file airport name: \"Old name\" differs from archived file airport name: \"Heathrow\"",
          "learned stand Q9 in airports/learned/simaddon/EGLL.xml not found?",
          "===> manually created standid B1 already exists in airports/learned/simaddon/EGLL.xml",
          "===> manually created standid M1 misses correct attributes in airports/learned/simaddon/EGLL.xml",
          "          MAX_FIT                 : 9 (max number of half hours, is 5 hrs decimal)",
          "          WEEK                    : true"})
        EXPECT_TRUE(logHas(line)) << line;
    EXPECT_NE(currentQualityFactors.real, -1);
}

TEST_F(AirportsTest, HandmadeLearnedFileReplacesTheStands) {
    setParkAirport("EGLL");
    writeText("airports/my_thirdparty/EGLL.xml",
              apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0) + stand("B1", 100)));
    writeText("airports/learned/thirdparty/Pub/EGLL.xml",
              apfText({{"handmade", "false"}}, stand("H1", 0, 30, R"(radius_change="true")") + stand("H2", 200)));
    ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
    EXPECT_EQ(handmadeLearned.load(), 1);  // presence counts, not the value
    ASSERT_EQ(currentStands.size(), 2u);
    EXPECT_EQ(currentStands[0].name, "H1");
    EXPECT_EQ(currentStands[0].radiusChanged, 1);
    EXPECT_TRUE(logHas("A handmade airport file overruled the archived file!"));
    EXPECT_TRUE(logHas("Airport file read from \"airports/learned/thirdparty/Pub/EGLL.xml\""));
    EXPECT_TRUE(logHas("          handmade                : false"));

    // Leaving the airport clears the mark: it never leaks into the next airport's save.
    gf_removeStaticParked();
    EXPECT_EQ(handmadeLearned.load(), 0);
}

TEST_F(AirportsTest, UnreadableLearnedFileIsMovedAsideAndTheAirportStays) {
    setParkAirport("EGLL");
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
    writeText("airports/learned/thirdparty/Pub/EGLL.xml", "<broken");
    ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
    EXPECT_EQ(currentStands.size(), 1u);
    EXPECT_FALSE(fs::exists("airports/learned/thirdparty/Pub/EGLL.xml"));
    EXPECT_EQ(readText("airports/learned/thirdparty/Pub/EGLL0.xml"), "<broken");
    EXPECT_TRUE(logHas("airports/learned/thirdparty/Pub/EGLL.xml found, but could not be loaded, saved as *.0.xml: "));
}

TEST_F(AirportsTest, SaveWritesOnlyLearnedStandsAndBacksUpTheOldFile) {
    setParkAirport("EGLL");
    writeAddonAirport("unknown");
    ASSERT_EQ(readApf("airports/ve_zuzuvado/EGLL.xml"), "");
    const fs::path saved = fs::path("airports") / "learned" / "thirdparty" / "unknown" / "EGLL.xml";

    // Nothing learned: a file without stands.
    learnedUpdateCount = 1;
    gf_saveLearned();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(saved.c_str()));
    EXPECT_FALSE(doc.child("parkpositions").child("parkpos"));
    EXPECT_TRUE(logHas("\"" + saved.string() + "\" saved with 1 update \n"));
    EXPECT_EQ(learnedUpdateCount.load(), 0u);

    // Learn an option and a radius, save again: the old file becomes the backup.
    const std::string first = readText(saved);
    StandOption learned{"KLM", "B738", "PH-2", "KL1", "", 0b11, 2, 4, 0, 1};
    currentStands[0].options.push_back(learned);
    currentStands[1].radius = 30.0 / 1852.0;
    currentStands[1].radiusChanged = 1;
    learnedUpdateCount = 2;
    learnedParamsChanged = 1;
    gf_saveLearned();
    EXPECT_EQ(readText(saved.parent_path() / "EGLL0.xml"), first);
    EXPECT_TRUE(logHas("saved with 2 updates and one or more parameter changes"));
    EXPECT_EQ(learnedParamsChanged.load(), 0);
    // The file's own option left the stand in memory; the learned one stays.
    ASSERT_EQ(currentStands[0].options.size(), 1u);
    EXPECT_EQ(currentStands[0].options[0].key, "PH-2");

    // Read back: the ve_zuzuvado file finds its learned file in the folder the save wrote to.
    ASSERT_EQ(readApf("airports/ve_zuzuvado/EGLL.xml"), "");
    ASSERT_EQ(currentStands[0].options.size(), 2u);
    EXPECT_EQ(currentStands[0].options[1].key, "PH-2");
    EXPECT_EQ(currentStands[0].options[1].id, 2);
    EXPECT_DOUBLE_EQ(currentStands[1].radius, 30.0 / 1852.0);
}

TEST_F(AirportsTest, HandmadeSaveRoundTripsChangedStandsWithTheirOptions) {
    setParkAirport("EGLL");
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
    writeText("airports/learned/thirdparty/Pub/EGLL.xml", apfText({{"handmade", "true"}}, stand("H1", 0)));
    ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
    ASSERT_EQ(currentStands.size(), 1u);
    currentStands[0].radius = 33.0 / 1852.0;
    currentStands[0].radiusChanged = 1;
    currentStands[0].options.push_back(StandOption{"KLM", "B738", "PH-3", "", "", 1, 1, 1, 0, 1});
    learnedUpdateCount = 1;
    gf_saveLearned();
    EXPECT_TRUE(logHas(" handmade \"airports/learned/thirdparty/Pub/EGLL.xml\" saved with 1 update"));

    ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
    ASSERT_EQ(currentStands.size(), 1u);
    EXPECT_DOUBLE_EQ(currentStands[0].latitude, 47.0);
    EXPECT_DOUBLE_EQ(currentStands[0].radius, 33.0 / 1852.0);
    EXPECT_EQ(currentStands[0].radiusChanged, 1);
    ASSERT_EQ(currentStands[0].options.size(), 1u);
    EXPECT_EQ(currentStands[0].options[0].key, "PH-3");
    EXPECT_EQ(currentApfHeader.altitude, 83);
}

TEST_F(AirportsTest, FailedHandmadeReadIsNeverSavedOver) {
    setParkAirport("EGLL");
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
    const std::string handmade = apfText({{"handmade", "true"}}, stand("H1", 0) + stand("H2", 50) + stand("H1", 100));
    writeText("airports/learned/thirdparty/Pub/EGLL.xml", handmade);
    ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
    EXPECT_EQ(currentStands.size(), 2u);
    EXPECT_TRUE(logHas("lf_readLearned: 94: Parking position H1 appears more than once?"));
    learnedUpdateCount = 3;
    gf_saveLearned();
    EXPECT_EQ(readText("airports/learned/thirdparty/Pub/EGLL.xml"), handmade);
    EXPECT_TRUE(logHas("===> learned file of EGLL not saved: its stands were not read whole"));
    EXPECT_TRUE(logHas("saving \"airports/learned/thirdparty/Pub/EGLL.xml\" did not succeed"));
    EXPECT_EQ(learnedUpdateCount.load(), 0u);

    // A user error in the airport file itself leaves the stands half read: no save either.
    writeText("airports/my_thirdparty/EGLL.xml",
              apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0) + stand("A1", 5)));
    EXPECT_THROW(readApf("airports/my_thirdparty/EGLL.xml"), ovk::UserErrorException);
    gf_saveLearned();
    EXPECT_EQ(readText("airports/learned/thirdparty/Pub/EGLL.xml"), handmade);
}

TEST_F(AirportsTest, SaveRefusesAPublisherThatIsNoFolderName) {
    setParkAirport("EGLL");
    currentApfHeader.publisher = "../evil";
    gf_saveLearned();
    EXPECT_TRUE(logHas("publisher \"../evil\" cannot be a folder name"));
    EXPECT_FALSE(fs::exists("airports/evil"));
    EXPECT_FALSE(fs::exists("airports/learned/evil"));
}
