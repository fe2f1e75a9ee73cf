// Learned airport files: where they live, how they merge into the stands, and how they are saved.
#include "tests/airports/airports_fixture.h"

#include <algorithm>
#include <bit>
#include <map>

#include <pugixml.hpp>

#include "airports/airport_ui.h"
#include "airports/apf_writer.h"
#include "airports/parking_file.h"
#include "engine/stands.h"
#include "foundation/disk_file.h"
#include "foundation/file_utils.h"
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
        // Names that the file system refuses: a NUL byte, more than 255 bytes.
        {"airports/my_thirdparty/EGLL.xml", std::string("P\0x", 3), {}},
        {"airports/my_thirdparty/EGLL.xml", std::string(255, 'P'),
         learned / "thirdparty" / std::string(255, 'P') / "EGLL.xml"},
        {"airports/my_thirdparty/EGLL.xml", std::string(256, 'P'), {}},
        {"archive/thirdparty/" + std::string(256, 'P') + "/EGLL.xml", "x", {}},
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
    // The file's option (closed, id 1) holds half-hour 4: the learned 4,5 keeps 5 (id 2), 5,6 merges into it,
    // 10 overlaps nothing so far (id 3).
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

// A learned option is never dropped for sharing a half-hour with another: against an option of the airport file
// for the same aircraft it keeps the half-hours that the file's option lacks, and two learned options of one
// aircraft merge theirs.
TEST_F(AirportsTest, LearnedOptionsKeepEveryHalfHourTheAirportFileLacks) {
    struct Opt {
        std::string reg;
        std::uint64_t hours;
        std::int32_t closed;  // 1: of the airport file
        std::int32_t id;
        bool operator==(const Opt&) const = default;
    };
    auto learnedXml = [](const std::vector<std::pair<std::string, std::string>>& opts) {
        std::string xml = "<parkpos id=\"A1\">";
        for (const auto& [reg, hh] : opts)
            xml += fmt::format(R"(<opt reg="{}" airl="KLM" type="B738" day="1" hh="{}"/>)", reg, hh);
        return xml + "</parkpos>";
    };
    struct Case {
        std::string name;
        std::vector<std::uint64_t> fileHours;  // options of U1 in the airport file
        std::vector<std::pair<std::string, std::string>> learned;
        std::vector<Opt> want;
    } cases[] = {
        {"one half-hour shared with the file",
         {0b10000},
         {{"U1", "4,5"}},
         {{"U1", 0b10000, 1, 1}, {"U1", 0b100000, 0, 2}}},
        {"all its half-hours in the file", {0b110000}, {{"U1", "4"}}, {{"U1", 0b110000, 1, 1}}},
        {"across two options of the file",
         {0b10000, 0b1000000},
         {{"U1", "4,5,6"}},
         {{"U1", 0b10000, 1, 1}, {"U1", 0b1000000, 1, 2}, {"U1", 0b100000, 0, 3}}},
        {"another aircraft at the file's half-hour",
         {0b10000},
         {{"U2", "4"}},
         {{"U1", 0b10000, 1, 1}, {"U2", 0b10000, 0, 2}}},
        {"two learned options that overlap merge", {}, {{"U1", "5,6"}, {"U1", "6,7"}}, {{"U1", 0b11100000, 0, 1}}},
        {"two learned options apart stay two",
         {},
         {{"U1", "5"}, {"U1", "10"}},
         {{"U1", 0b100000, 0, 1}, {"U1", 0b10000000000, 0, 2}}},
        {"less the file's, then merged",
         {0b10000},
         {{"U1", "4,5"}, {"U1", "4,5,6"}},
         {{"U1", 0b10000, 1, 1}, {"U1", 0b1100000, 0, 2}}},
        {"no half-hours at all", {0b10000}, {{"U1", ""}}, {{"U1", 0b10000, 1, 1}, {"U1", 0, 0, 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ParkPos a1;
        a1.name = "A1";
        for (std::uint64_t hours : c.fileHours)
            a1.options.push_back(StandOption{"KLM", "B738", "U1", "", "", hours,
                                             static_cast<std::int32_t>(a1.options.size() + 1), 1, 1, 1});
        pugi::xml_document document;
        ASSERT_TRUE(document.load_string(learnedXml(c.learned).c_str()));
        ASSERT_TRUE(lf_applyLearnedStand(document.first_child(), a1));
        std::vector<Opt> got;
        for (const StandOption& o : a1.options) got.push_back({o.key, o.halfHours, o.closed, o.id});
        EXPECT_EQ(got, c.want);
    }
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
    EXPECT_EQ(readText("airports/learned/thirdparty/Pub/EGLL-unreadable.xml"), "<broken");
    EXPECT_TRUE(logHas("airports/learned/thirdparty/Pub/EGLL.xml found, but could not be loaded, saved as *.0.xml: "));
    EXPECT_TRUE(logHas("          moved aside to \"airports/learned/thirdparty/Pub/EGLL-unreadable.xml\"\n"));
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
    EXPECT_EQ(readText(saved.parent_path() / "EGLL~0.xml"), first);
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

namespace {

// The learned files of the folder, with their contents, names relative to the learned folder.
std::map<std::string, std::string> learnedFiles() {
    std::map<std::string, std::string> files;
    const fs::path folder = fs::path("airports") / "learned";
    if (!fs::exists(folder)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), folder).string()] = AirportsTest::readText(entry.path());
    return files;
}

StandOption learnedOption(const std::string& reg, std::int32_t id) {
    return StandOption{"KLM", "B738", reg, "", "", 0b1, id, 1, 0, 1};
}

bool holdsOption(const ParkPos& stand, const std::string& reg) {
    return std::any_of(stand.options.begin(), stand.options.end(), [&](const StandOption& o) { return o.key == reg; });
}

// The half-hours that the stand's options of the registration hold together.
std::uint64_t hoursOf(const ParkPos& stand, const std::string& reg) {
    std::uint64_t hours = 0;
    for (const StandOption& o : stand.options)
        if (o.key == reg) hours |= o.halfHours;
    return hours;
}

}  // namespace

// An airport file whose publisher names no folder that the file system takes is read and left like any other,
// without a learned file: a clear line, no exception, nothing written below the learned folder.
TEST_F(AirportsTest, APublisherTheFileSystemRefusesGivesNoLearnedFile) {
    const std::string tooLong(300, 'P');
    const struct {
        const char* name;
        std::string publisher;
        bool inFile;  // a NUL byte cannot come from an XML file: the read's header is set directly
    } cases[] = {
        {"300 bytes", tooLong, true},
        {"a NUL byte", std::string("Pub\0x", 5), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("airports/learned");
        gf_closeLog();
        gf_openLog(program() / "Log.txt");
        const std::string quoted = fmt::format("{:?}", c.publisher);
        setParkAirport("EGLL");
        writeText("airports/my_thirdparty/EGLL.xml",
                  apfText({{"publisher", c.inFile ? c.publisher : "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
        ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
        ASSERT_EQ(currentStands.size(), 1u);
        if (c.inFile) {
            EXPECT_TRUE(logHas("===> no learned file for EGLL: its publisher " + quoted + " cannot be a folder name"));
        } else {
            currentApfHeader.publisher = c.publisher;
            currentApfHeader.learnedPath = gf_learnedPathOf("airports/my_thirdparty/EGLL.xml", c.publisher);
        }
        currentStands[0].options.push_back(learnedOption("L1", 2));
        learnedUpdateCount = 1;
        EXPECT_NO_THROW(gf_removeStaticParked());
        EXPECT_TRUE(logHas("===> learned file of EGLL not saved: publisher " + quoted + " cannot be a folder name"));
        EXPECT_TRUE(logHas("saving \"\" did not succeed"));
        EXPECT_FALSE(fs::exists("airports/learned"));
    }
}

TEST_F(AirportsTest, MovedAsideLearnedFileOutlivesEverySave) {
    setParkAirport("EGLL");
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
    const fs::path learned = "airports/learned/thirdparty/Pub/EGLL.xml";
    // Two unreadable files in turn: the second must not take the place of the first.
    for (const std::string broken : {"<broken", "<broken again"}) {
        SCOPED_TRACE(broken);
        writeText(learned, broken);
        ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
        for (int save = 0; save < 3; ++save) {
            learnedUpdateCount = 1;
            gf_saveLearned();
            ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
        }
    }
    std::vector<std::string> keptAside;
    for (const auto& [name, text] : learnedFiles())
        if (text == "<broken" || text == "<broken again") keptAside.push_back(name);
    ASSERT_EQ(keptAside.size(), 2u);
    // Neither is one of the copies that the save rotates, and the log names where each went.
    for (const std::string& name : keptAside) {
        EXPECT_NE(fs::path(name).filename(), "EGLL~0.xml");
        EXPECT_NE(fs::path(name).filename(), "EGLL~00.xml");
        EXPECT_TRUE(logHas((fs::path("airports") / "learned" / name).string())) << name;
    }
}

TEST_F(AirportsTest, LearnedFileWithAnIncorrectHeaderIsNeverSavedOver) {
    const std::string noVersion = R"(<meta><info name="author" value="a"/><info name="date" value="d"/></meta>)";
    struct Case {
        std::string name;
        std::string text;
    } cases[] = {
        {"no header", apfText({{"WEEK", "true"}}, stand("A1", 0, 20, "", R"(<opt reg="U1" day="1" hh="1"/>)"), "")},
        {"handmade without version", apfText({{"handmade", "true"}}, stand("H1", 0) + stand("H2", 100), noVersion)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setParkAirport("EGLL");
        writeText("airports/my_thirdparty/EGLL.xml",
                  apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
        const fs::path learned = "airports/learned/thirdparty/Pub/EGLL.xml";
        writeText(learned, c.text);
        ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
        EXPECT_TRUE(logHas("===> meta data incorrect?"));
        learnedUpdateCount = 1;
        gf_saveLearned();
        gf_removeStaticParked();
        EXPECT_EQ(readText(learned), c.text);
        EXPECT_FALSE(fs::exists(learned.parent_path() / "EGLL~0.xml"));
        EXPECT_TRUE(logHas("saving \"" + learned.string() + "\" did not succeed"));
    }
}

TEST_F(AirportsTest, LearnedFileIsSavedWhereItIsRead) {
    const fs::path learned = fs::path("airports") / "learned";
    struct Case {
        std::string path;
        std::string publisher;  // empty: no "publisher" parameter
        fs::path where;
    } cases[] = {
        {"airports/my_thirdparty/EGLL.xml", "stock", learned / "thirdparty" / "stock" / "EGLL.xml"},
        {"airports/my_thirdparty/EGLL.xml", "simaddon", learned / "thirdparty" / "simaddon" / "EGLL.xml"},
        {"airports/my_thirdparty/EGLL.xml", "Pub", learned / "thirdparty" / "Pub" / "EGLL.xml"},
        {"archive/stock/EGLL.xml", "", learned / "stock" / "EGLL.xml"},
        {"archive/stock/EGLL.xml", "stock", learned / "stock" / "EGLL.xml"},
        {"airports/ve_zuzuvado/EGLL.xml", "simaddon", learned / "simaddon" / "EGLL.xml"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + c.publisher);
        fs::remove_all("airports/learned");
        fs::remove_all("airports/my_thirdparty");
        fs::remove_all("airports/ve_zuzuvado");
        setParkAirport("EGLL");
        std::vector<std::pair<std::string, std::string>> parameters{{"altitude", "83"}};
        if (!c.publisher.empty()) parameters.emplace_back("publisher", c.publisher);
        const std::string airportFile = apfText(parameters, stand("A1", 0));
        writeText(c.path.starts_with("archive") ? server() / "MSFS" / c.path : fs::path(c.path), airportFile);
        // What was learned at an earlier visit.
        writeText(c.where, apfText({}, R"(<parkpos id="A1"><opt reg="U1" airl="KLM" type="B738" day="1" hh="1"/>
                                         </parkpos>)"));
        ASSERT_EQ(readApf(c.path), "");
        ASSERT_TRUE(holdsOption(currentStands[0], "U1"));
        currentStands[0].options.push_back(learnedOption("L1", 2));
        learnedUpdateCount = 1;
        gf_saveLearned();
        EXPECT_TRUE(logHas("\"" + c.where.string() + "\" saved with 1 update"));
        // The next visit finds both, and no second learned file was started elsewhere.
        ASSERT_EQ(readApf(c.path), "");
        EXPECT_TRUE(holdsOption(currentStands[0], "U1"));
        EXPECT_TRUE(holdsOption(currentStands[0], "L1"));
        for (const auto& [name, text] : learnedFiles())
            EXPECT_EQ((learned / name).parent_path(), c.where.parent_path()) << name;
    }
}

TEST_F(AirportsTest, FailedBackupRefusesTheSaveAndKeepsTheFile) {
    setParkAirport("EGLL");
    writeText("airports/my_thirdparty/EGLL.xml", apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
    const fs::path learned = "airports/learned/thirdparty/Pub/EGLL.xml";
    writeText(learned, apfText({}, R"(<parkpos id="A1"><opt reg="U1" airl="KLM" type="B738" day="1" hh="1"/>
                                     </parkpos>)"));
    const std::string before = readText(learned);
    ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
    // The first copy of the rotation cannot be replaced: a folder holds its name.
    fs::create_directories(learned.parent_path() / "EGLL~0.xml" / "x");
    currentStands[0].options.push_back(learnedOption("L1", 2));
    learnedUpdateCount = 2;
    learnedParamsChanged = 1;
    EXPECT_NO_THROW(gf_saveLearned());
    EXPECT_EQ(readText(learned), before);
    EXPECT_TRUE(logHas("saving \"" + learned.string() + "\" did not succeed"));
    EXPECT_EQ(learnedUpdateCount.load(), 0u);
    EXPECT_EQ(learnedParamsChanged.load(), 0);
}

// Any order of visits, failed visits and failed saves, from any state of the learned file, keeps what the user
// made or learned: a file the program cannot take whole stays byte for byte, a file it can take keeps every
// option, half-hour and setting saved into it, and a file the user made read-only is never written.
TEST_F(AirportsTest, NoSequenceOfReadsAndSavesLosesAUserFile) {
    const fs::path learned = "airports/learned/thirdparty/Pub/EGLL.xml";
    const std::string option = R"(<opt reg="U1" airl="KLM" type="B738" day="1" hh="1"/>)";
    const std::string noVersion = R"(<meta><info name="author" value="a"/><info name="date" value="d"/></meta>)";
    const std::string airportFile = apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0));
    // The airport file plans U1 at half-hour 1; the learned file holds U1 at half-hours 1 and 2.
    const std::string airportFileWithU1 =
        apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0, 20, "", option));
    const std::string overlapping = R"(<opt reg="U1" airl="KLM" type="B738" day="1" hh="1,2"/>)";
    struct Start {
        std::string name;
        std::string text;  // empty: no learned file
        bool readable;     // the program takes it
        bool keptWhole;    // its bytes must stay somewhere, as the program cannot (or may not) write all of it again
        std::uint64_t u1 = 0;      // the half-hours of U1 that it holds
        std::string airport = {};  // the airport file, when not the plain one
        bool readOnly = false;     // the user made it read-only: never written, saves refused
    } starts[] = {
        {"none", "", true, false},
        {"learned", apfText({}, "<parkpos id=\"A1\">" + option + "</parkpos>"), true, false, 0b10},
        {"handmade", apfText({{"handmade", "true"}}, stand("H1", 0, 20, "", option) + stand("A1", 100)), true, false,
         0b10},
        {"learned with an edit of a missing stand",
         apfText({}, "<parkpos id=\"A1\">" + option + "</parkpos><parkpos id=\"GONE\">" + option + "</parkpos>"), true,
         true, 0b10},
        {"learned overlapping the airport file's option",
         apfText({}, "<parkpos id=\"A1\">" + overlapping + "</parkpos>"), true, false, 0b110, airportFileWithU1},
        {"read-only handmade",
         apfText({{"handmade", "true"}}, stand("H1", 0, 20, "", option) + stand("A1", 100)),
         true,
         true,
         0b10,
         {},
         true},
        {"unloadable", "<parameters><parameter", false, true},
        {"no header", apfText({}, "<parkpos id=\"A1\">" + option + "</parkpos>", ""), false, true},
        {"handmade without version", apfText({{"handmade", "true"}}, stand("H1", 0, 20, "", option), noVersion), false,
         true},
        {"handmade with a repeated stand",
         apfText({{"handmade", "true"}}, stand("H1", 0, 20, "", option) + stand("H1", 50)), false, true},
    };
    enum Step {
        visit,
        settingsVisit,
        failedVisit,
        failedSave
    };
    const char* stepNames[] = {"visit", "settings", "failed read", "failed save"};
    for (const Start& start : starts) {
        const std::string& startAirport = start.airport.empty() ? airportFile : start.airport;
        const bool handmade = start.text.find("\"handmade\"") != std::string::npos;
        for (int sequence = 0; sequence < 64; ++sequence) {
            const Step steps[] = {Step(sequence % 4), Step(sequence / 4 % 4), Step(sequence / 16)};
            std::string trace = start.name;
            fs::remove_all("airports/learned");
            writeText("airports/my_thirdparty/EGLL.xml", startAirport);
            if (!start.text.empty()) writeText(learned, start.text);
            if (start.readOnly)
                fs::permissions(learned, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                fs::perm_options::remove);
            resetState();
            // A file moved aside leaves the place to a fresh one, which keeps what later saves put in it.
            const bool savesKept = (start.readable && !start.readOnly) || start.name == "unloadable";
            // The half-hours of each registration that the file holds: what it held, and what a save put in.
            std::vector<std::pair<std::string, std::uint64_t>> saved;
            if (start.readable && start.u1 != 0) saved.emplace_back("U1", start.u1);
            std::optional<bool> savedWeek;
            int learnedCount = 0;
            for (Step step : steps) {
                trace += std::string(", ") + stepNames[step];
                SCOPED_TRACE(trace);
                setParkAirport("EGLL");
                if (step == failedVisit) writeText("airports/my_thirdparty/EGLL.xml", "<parameters");
                try {
                    readApf("airports/my_thirdparty/EGLL.xml");
                } catch (const ovk::UserErrorException&) {}
                writeText("airports/my_thirdparty/EGLL.xml", startAirport);
                const std::string reg = "L" + std::to_string(++learnedCount);
                if (step == settingsVisit) {
                    WEEK.value = !WEEK.value.load();
                    airportFileChanged = 1;
                } else if (!currentStands.empty()) {
                    currentStands[0].options.push_back(learnedOption(reg, 90 + learnedCount));
                    learnedUpdateCount = 1;
                }
                // A failed save: the first copy of the rotation cannot be replaced, a folder holds its name.
                const fs::path copy = gf_backupName(learned, BackupNaming::tildeZeros, 1);
                const fs::path keptCopy = learned.parent_path() / "copy.keep";
                if (step == failedSave) {
                    if (fs::exists(copy)) fs::rename(copy, keptCopy);
                    fs::create_directories(copy / "x");
                }
                EXPECT_NO_THROW(gf_removeStaticParked());
                if (step == failedSave) {
                    fs::remove_all(copy);
                    if (fs::exists(keptCopy)) fs::rename(keptCopy, copy);
                }
                if (step == visit && savesKept) saved.emplace_back(reg, 0b1);
                if (step == settingsVisit && savesKept) savedWeek = WEEK.value.load();

                const std::map<std::string, std::string> files = learnedFiles();
                if (start.keptWhole) {
                    // Kept byte for byte under a name that the rotation of the save's copies never touches.
                    bool kept = false;
                    for (const auto& [name, text] : files)
                        kept |=
                            text == start.text && fs::path(name).filename() != copy.filename() &&
                            fs::path(name).filename() != gf_backupName(learned, BackupNaming::tildeZeros, 2).filename();
                    EXPECT_TRUE(kept);
                }
                if (start.readOnly) {
                    EXPECT_EQ(readText(learned), start.text);
                    EXPECT_TRUE(gf_isReadOnlyFile(learned));
                }
                if (!saved.empty() || savedWeek) {
                    resetState();
                    WEEK.value = !savedWeek.value_or(false);
                    setParkAirport("EGLL");
                    ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
                    const ParkPos* first = handmade && start.readable ? standNamed("H1") : standNamed("A1");
                    ASSERT_NE(first, nullptr);
                    for (const auto& [r, hours] : saved) EXPECT_EQ(hoursOf(*first, r) & hours, hours) << r;
                    if (handmade && start.readable) {
                        EXPECT_EQ(handmadeLearned.load(), 1);
                    }
                    if (savedWeek) {
                        EXPECT_EQ(WEEK.value.load(), *savedWeek);
                    }
                    gf_removeStaticParked();
                }
            }
        }
    }

    // Two airports whose codes differ by a trailing 0 keep their learned files side by side: in every order of
    // three visits of each, neither airport's file or copy takes the place of the other's file.
    for (unsigned order = 0; order < 64; ++order) {
        if (std::popcount(order) != 3) continue;  // bit k set: the k-th visit is one of MD10
        fs::remove_all("airports/learned");
        resetState();
        std::map<std::string, std::vector<std::string>> learnedAt;
        std::string trace;
        for (int k = 0; k < 6; ++k) {
            const std::string code = (order >> k & 1u) != 0 ? "MD10" : "MD1";
            trace += " " + code;
            SCOPED_TRACE(trace);
            const std::string airport = "airports/my_thirdparty/" + code + ".xml";
            writeText(airport, airportFile);
            setParkAirport(code);
            ASSERT_EQ(readApf(airport), "");
            const std::string reg = code + "-" + std::to_string(k);
            currentStands[0].options.push_back(learnedOption(reg, 90 + k));
            learnedUpdateCount = 1;
            gf_removeStaticParked();
            learnedAt[code].push_back(reg);
            for (const auto& [other, regs] : learnedAt) {
                setParkAirport(other);
                ASSERT_EQ(readApf("airports/my_thirdparty/" + other + ".xml"), "");
                const ParkPos* a1 = standNamed("A1");
                ASSERT_NE(a1, nullptr);
                for (const std::string& r : regs) EXPECT_TRUE(holdsOption(*a1, r)) << other << " " << r;
                // Nothing learned at the other airport.
                for (const ParkPos& s : currentStands)
                    for (const StandOption& o : s.options)
                        EXPECT_TRUE(o.key.starts_with(other + "-")) << other << " holds " << o.key;
                gf_removeStaticParked();
            }
        }
    }
}

// What a read of the learned file cannot place (an edit of a stand the airport file lacks, a stand made by hand
// that already exists or has no position, a handmade stand without a position) is kept in a copy before the
// first save writes the file without it.
TEST_F(AirportsTest, LearnedPartsTheReadCannotPlaceAreKeptBeforeTheSave) {
    const fs::path learned = "airports/learned/thirdparty/Pub/EGLL.xml";
    struct Case {
        std::string name;
        std::string text;
    } cases[] = {
        {"edit of a stand not in the airport file",
         apfText({}, R"(<parkpos id="GONE"><opt reg="U1" day="1" hh="1"/></parkpos>)")},
        {"stand made by hand that exists", apfText({}, stand("A1", 30, 20, R"(manual="true")"))},
        {"stand made by hand without a position",
         apfText({}, R"(<parkpos id="M1" manual="true" latitude="0" longitude="0" radius="20"/>)")},
        {"handmade stand without a position",
         apfText({{"handmade", "true"}}, stand("H1", 0) + R"(<parkpos id="H2" latitude="95" longitude="8"/>)")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("airports/learned");
        setParkAirport("EGLL");
        writeText("airports/my_thirdparty/EGLL.xml",
                  apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0)));
        writeText(learned, c.text);
        for (int visit = 0; visit < 4; ++visit) {
            setParkAirport("EGLL");
            ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
            learnedUpdateCount = 1;
            gf_removeStaticParked();
        }
        std::vector<std::string> copies;
        for (const auto& [name, text] : learnedFiles())
            if (text == c.text) copies.push_back(name);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_NE(fs::path(copies[0]).filename(), "EGLL~0.xml");
        EXPECT_NE(fs::path(copies[0]).filename(), "EGLL~00.xml");
        EXPECT_TRUE(logHas((fs::path("airports") / "learned" / copies[0]).string()));
    }
}

namespace {

// What a saved learned file holds for each option identity (weekday, real flag, key, airline, type) of each
// stand: how many "opt" elements there are, and their half-hours together.
struct SavedIdentity {
    int options = 0;
    std::uint64_t hours = 0;
};
std::map<std::string, SavedIdentity> savedIdentities(const fs::path& file) {
    std::map<std::string, SavedIdentity> found;
    pugi::xml_document document;
    if (!document.load_file(file.c_str())) return found;
    for (const pugi::xml_node& parkpos : document.child("parkpositions").children("parkpos"))
        for (const pugi::xml_node& opt : parkpos.children("opt")) {
            const std::string identity =
                fmt::format("{} day {} {} {} {} {}", parkpos.attribute("id").value(), opt.attribute("day").value(),
                            gf_apfBool(opt.attribute("soft")) ? "soft" : "real", opt.attribute("reg").value(),
                            opt.attribute("airl").value(), opt.attribute("type").value());
            SavedIdentity& saved = found[identity];
            ++saved.options;
            saved.hours |= gf_hours2bitset(opt.attribute("hh").value());
        }
    return found;
}

std::uint64_t halfHourSpan(int from, int to) {
    std::uint64_t span = 0;
    for (int h = from; h <= to; ++h) span |= std::uint64_t{1} << h;
    return span;
}

}  // namespace

// One aircraft has one option per stand in every learned file: over three visits in a row, the engine's real and
// soft records of an aircraft that stays at its stand, first seen at any point of its stay, go into the option
// that its earlier visits learned, and the save writes each identity (lf_sameOptionIdentity) once, also when the
// file it read held an identity twice. No half-hour at which an aircraft was recorded is lost, and none is made up.
TEST_F(AirportsTest, EachAircraftKeepsOneLearnedOptionPerStandOverVisits) {
    // One stay at the stand on Friday: the half-hour of the first record (-1: first seen when it leaves) and of
    // the departure (-1: still there when the user leaves the airport).
    struct Stay {
        const char* name;
        int arrives;
        int leaves;
    };
    const Stay stays[] = {
        {"in one half-hour", 22, 22},   {"into the next half-hour", 22, 23}, {"over four half-hours", 21, 24},
        {"first seen leaving", -1, 23}, {"longer than a stay", 10, 30},      {"still there", 22, -1},
        {"before the others", 20, 20},
    };
    constexpr int kStays = static_cast<int>(std::size(stays));
    const fs::path learned = "airports/learned/thirdparty/Pub/EGLL.xml";
    // The airport file plans another aircraft on A1; its option is never saved into the learned file.
    const std::string airportFile =
        apfText({{"publisher", "Pub"}, {"altitude", "83"}},
                stand("A1", 0, 30, "", R"(<opt reg="G-FILE" airl="BAW" type="A319" day="5" hh="22"/>)"));
    writeText("airports/my_thirdparty/EGLL.xml", airportFile);
    const struct Start {
        const char* name;
        std::string text;  // empty: no learned file
        int visits;
        std::uint64_t hours;  // of each aircraft in the file
    } starts[] = {
        {"no learned file", "", 3, 0},
        {"each aircraft twice, as an earlier save left it", apfText({}, R"(<parkpos id="A1">
             <opt reg="D-AEWA" airl="EWG" type="A320" day="5" hh="22" cs="EWG9AB"/>
             <opt reg="D-AEWA" airl="EWG" type="A320" day="5" hh="23" cs="EWG9AB"/>
             <opt reg="D-AIPA" airl="DLH" type="A320" day="5" hh="22" cs="DLH400" soft="true"/>
             <opt reg="D-AIPA" airl="DLH" type="A320" day="5" hh="23" cs="DLH400" soft="true"/></parkpos>)"),
         1, 0b11ull << 22},
    };

    LiveAircraft real;
    real.id = 0x3C4A01;
    real.identity.registration = "D-AEWA";
    real.identity.callsign = "EWG9AB";
    real.identity.airline = "EWG";
    real.identity.icaoType = "A320";
    LiveAircraft soft = real;
    soft.id = 0x3C4A02;
    soft.identity.registration = "D-AIPA";
    soft.identity.callsign = "DLH400";
    soft.identity.airline = "DLH";
    const std::string realIdentity = "A1 day 5 real D-AEWA EWG A320";
    const std::string softIdentity = "A1 day 5 soft D-AIPA DLH A320";
    // The learned options of each identity on the stand, as the engine holds them.
    auto learnedInMemory = [] {
        std::map<std::string, int> count;
        for (const StandOption& o : currentStands[0].options)
            if (o.closed == 0) ++count[fmt::format("{} {} {} {} {}", o.weekday, o.real, o.key, o.airline, o.icaoType)];
        return count;
    };

    for (const Start& start : starts) {
        int sequences = 1;
        for (int visit = 0; visit < start.visits; ++visit) sequences *= kStays;
        for (int sequence = 0; sequence < sequences; ++sequence) {
            fs::remove_all("airports/learned");
            if (!start.text.empty()) writeText(learned, start.text);
            resetState();
            // The half-hours that the file holds and each visit recorded (which the file must keep), and those
            // the aircraft stood there.
            std::uint64_t recorded = start.hours;
            std::uint64_t stood = start.hours;
            std::string trace = start.name;
            for (int visit = 0, rest = sequence; visit < start.visits; ++visit, rest /= kStays) {
                const Stay& stay = stays[rest % kStays];
                trace += std::string(", ") + stay.name;
                SCOPED_TRACE(trace);
                setParkAirport("EGLL");
                ASSERT_EQ(readApf("airports/my_thirdparty/EGLL.xml"), "");
                ASSERT_EQ(currentStands.size(), 1u);
                const std::map<std::string, int> read = learnedInMemory();
                const std::uint32_t a1 = currentStands[0].id;
                if (stay.arrives >= 0) {
                    const WeekSlot slot{5, static_cast<std::uint32_t>(stay.arrives)};
                    EXPECT_TRUE(lf_addRealStandOption(a1, real, slot, false));
                    EXPECT_TRUE(lf_addSoftStandOption(a1, soft, false, slot, false));
                    recorded |= std::uint64_t{1} << stay.arrives;
                }
                if (stay.leaves >= 0) {
                    const WeekSlot slot{5, static_cast<std::uint32_t>(stay.leaves)};
                    EXPECT_TRUE(lf_addRealStandOption(a1, real, slot, true));
                    EXPECT_TRUE(lf_addSoftStandOption(a1, soft, true, slot, true));
                    recorded |= std::uint64_t{1} << stay.leaves;
                }
                const int from = stay.arrives >= 0 ? stay.arrives : stay.leaves;
                stood |= halfHourSpan(from, stay.leaves >= 0 ? stay.leaves : from);
                // The records went into the option the aircraft had, or into one new option.
                for (const auto& [identity, count] : learnedInMemory()) {
                    const auto before = read.find(identity);
                    EXPECT_LE(count, before == read.end() ? 1 : std::max(before->second, 1)) << identity;
                }
                gf_removeStaticParked();

                // A visit that learned nothing new leaves the file as it was.
                const std::map<std::string, SavedIdentity> saved = savedIdentities(learned);
                if (readText(learned) != start.text) {
                    for (const auto& [identity, options] : saved) EXPECT_EQ(options.options, 1) << identity;
                }
                for (const std::string& identity : {realIdentity, softIdentity}) {
                    const auto it = saved.find(identity);
                    ASSERT_NE(it, saved.end()) << identity;
                    EXPECT_EQ(it->second.hours & recorded, recorded) << identity;
                    EXPECT_EQ(it->second.hours & ~stood, 0u) << identity;
                }
                EXPECT_EQ(saved.size(), 2u);
            }
        }
    }
}
