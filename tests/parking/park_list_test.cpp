// The park-airport list file: reading, the my_thirdparty airports, writing the first entry back.
#include <algorithm>
#include <optional>
#include <thread>

#include "airports/current_airport.h"
#include "airports/park_list.h"
#include "airports/stands.h"
#include "foundation/file_utils.h"
#include "shell/display.h"
#include "simlink/sim_client.h"
#include "tests/airports/airports_fixture.h"
#include "tests/common/user_link.h"

namespace {
class ParkListTest : public AirportsTest {
public:
    void SetUp() override {
        AirportsTest::SetUp();
        airportList = {Airport{"EDDF", "FRA", 50.03, 8.57, 364}, Airport{"EDDM", "MUC", 48.35, 11.79, 1487},
                       Airport{"LSZH", "ZRH", 47.46, 8.55, 1416}};
    }
    fs::path listFile() const { return program() / "airports" / "my_park_airports.txt"; }
    // Temporary files left beside the list.
    std::vector<std::string> temporaryFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(program() / "airports"))
            if (entry.path().extension() == ".tmp") names.push_back(entry.path().filename().string());
        return names;
    }
    static std::vector<std::string> codes() {
        std::vector<std::string> out;
        for (const auto& e : gf_parkAirportsCopy()) out.push_back(e.icao + "|" + e.reservedStand);
        return out;
    }
};

TEST_F(ParkListTest, ReadsEntriesAndRefusesBadLines) {
    struct Case {
        const char* name;
        std::string text;
        bool okay;
        std::vector<std::string> entries;
        const char* logged;
    };
    const std::vector<Case> cases = {
        {"code alone", "EDDF\n", true, {"EDDF|"}, "1 park airport read from"},
        {"code and stand", "EDDF,V155\n", true, {"EDDF|V155"}, ""},
        {"three fields", "EDDF,V1,X\nEDDM\n", true, {"EDDM|"}, "my_park_airports.txt:EDDF,V1,X wrong syntax, skipped"},
        {"blank lines", "\n  \nEDDF\n\r\nEDDM\n", true, {"EDDF|", "EDDM|"}, ""},
        {"byte order mark",
         "\xEF\xBB\xBF"
         "EDDF,A1\r\n",
         true,
         {"EDDF|A1"},
         ""},
        {"double", "EDDF,A1\nEDDF,B2\n", true, {"EDDF|A1"}, "my_park_airports.txt:EDDF double, skipped"},
        {"unknown", "XXXX\nEDDM\n", false, {"EDDM|"}, "airport XXXX is unknown"},
    };
    for (const Case& c : cases) {
        writeText(listFile(), c.text);
        EXPECT_EQ(lf_readMyParkAirports(), c.okay) << c.name;
        EXPECT_EQ(codes(), c.entries) << c.name;
        if (*c.logged) {
            EXPECT_TRUE(logHas(c.logged)) << c.name;
        }
    }
}

TEST_F(ParkListTest, MissingFileGivesThirdPartyAirportsOnly) {
    writeText(program() / "airports" / "my_thirdparty" / "LSZH.xml", "x");
    writeText(program() / "airports" / "my_thirdparty" / "ZZZZ.xml", "x");  // not in the database
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(codes(), std::vector<std::string>{"LSZH|"});
    EXPECT_TRUE(logHas("my_park_airports.txt not found"));
    EXPECT_TRUE(logHas("1 park airport added from my_thirdparty folder(-s) "));

    writeText(listFile(), "LSZH,B5\n");  // already listed: the folder adds nothing
    EXPECT_TRUE(lf_readMyParkAirports());
    EXPECT_EQ(codes(), std::vector<std::string>{"LSZH|B5"});
}

TEST_F(ParkListTest, WarnsAboveThreeThousandAirports) {
    for (std::size_t count : {std::size_t(3000), std::size_t(3001)}) {
        airportList.clear();
        std::string text;
        for (std::size_t i = 0; i < count; ++i) {
            std::string code = fmt::format("A{:04}", i);
            airportList.push_back(Airport{code, "", 1.0, 1.0, 0});
            text += code + "\n";
        }
        writeText(listFile(), text);
        gf_closeLog();
        gf_openLog(program() / "Log.txt");
        EXPECT_TRUE(lf_readMyParkAirports());
        EXPECT_EQ(logHas("Warning: There are a lot of airports"), count == 3001) << count;
    }
}

TEST_F(ParkListTest, WritingTheFirstEntry) {
    // No file yet: created with the entry.
    lf_putParkAirportFirst(ParkAirportEntry{"EDDM", "", 48.35, 11.79, 0});
    gf_updateMyParkAirports();
    EXPECT_EQ(readText(listFile()), "EDDM\n");
    EXPECT_TRUE(logHas("my_park_airports.txt created with EDDM"));

    // Other lines are kept and sorted; the entry's line is replaced.
    writeText(listFile(), "LSZH\nEDDM,A1\nEDDF\n");
    lf_putParkAirportFirst(ParkAirportEntry{"EDDM", "B7", 48.35, 11.79, 0});
    gf_updateMyParkAirports();
    EXPECT_EQ(readText(listFile()), "EDDF\nEDDM,B7\nLSZH\n");
    EXPECT_TRUE(logHas("my_park_airports.txt:EDDM,B7 updated stand"));

    // A new entry is appended; without a stand it is the bare code.
    writeText(listFile(), "LSZH\n");
    lf_putParkAirportFirst(ParkAirportEntry{"EDDF", "", 50.03, 8.57, 0});
    gf_updateMyParkAirports();
    EXPECT_EQ(readText(listFile()), "EDDF\nLSZH\n");
    EXPECT_TRUE(logHas("my_park_airports.txt:EDDF new entry"));
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});
}

TEST_F(ParkListTest, AnExistingEntryMovesToTheFrontInsteadOfAddingASecond) {
    writeText(listFile(), "EDDF\nEDDM\nLSZH\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    gf_addParkAirport("LSZH", 47.46, 8.55);
    EXPECT_EQ(codes(), (std::vector<std::string>{"LSZH|", "EDDF|", "EDDM|"}));
    EXPECT_EQ(readText(listFile()), "EDDF\nEDDM\nLSZH\n");  // nothing new written

    lf_putParkAirportFirst(ParkAirportEntry{"EDDM", "C3", 48.35, 11.79, 0});
    EXPECT_EQ(codes(), (std::vector<std::string>{"EDDM|C3", "LSZH|", "EDDF|"}));

    gf_addParkAirport("EDDX", 1.0, 2.0);  // a new destination: added first and written
    EXPECT_EQ(codes().front(), "EDDX|");
    EXPECT_EQ(codes().size(), 4u);
    EXPECT_NE(readText(listFile()).find("EDDX\n"), std::string::npos);
}

TEST_F(ParkListTest, ReadingAirportFileSwitchesSoftLearningOffForGoodFiles) {
    struct Case {
        int quality;
        int stands;
        bool learnSoftAfter;
    };
    for (const Case& c : {Case{45, 20, false}, Case{44, 20, true}, Case{45, 19, true}}) {
        std::string stands;
        for (int i = 0; i < c.stands; ++i) stands += stand(fmt::format("S{}", i), i * 100.0);
        writeText(
            program() / "airports" / "my_thirdparty" / "EDDF.xml",
            apfText({{"altitude", "364"}, {"publisher", "Vexa test"}, {"Qf_real", std::to_string(c.quality)}}, stands));
        setParkAirport("EDDF");
        LEARN_SOFT.value = true;
        std::string error = lf_readParkedFile(std::nullopt);
        ASSERT_EQ(error, "") << c.quality;
        ASSERT_EQ(currentStands.size(), std::size_t(c.stands));
        EXPECT_EQ(LEARN_SOFT.value.load(), c.learnSoftAfter) << c.quality << " " << c.stands;
        EXPECT_EQ(softLearningAllowed.load() != 0, c.learnSoftAfter);
    }
}

TEST_F(ParkListTest, ReadingAirportFileTakesTheUsersStandAsReserved) {
    writeText(program() / "airports" / "my_thirdparty" / "EDDF.xml",
              apfText({{"altitude", "364"}, {"publisher", "Vexa test"}}, stand("A1", 0) + stand("A2", 200)));
    writeText(listFile(), "EDDM\nEDDF,A2\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    setParkAirport("EDDF");
    // The user stands on A1: the entry moves to the front with that stand, and the file follows.
    EXPECT_EQ(lf_readParkedFile(std::string("A1")), "");
    EXPECT_EQ(codes().front(), "EDDF|A1");
    EXPECT_EQ(userReservedStand, "A1");
    EXPECT_EQ(gf_currentAirportCopy().reservedStand, "A1");
    EXPECT_EQ(readText(listFile()), "EDDF,A1\nEDDM\n");
    // A reserved stand that the file does not hold is not shown.
    lf_putParkAirportFirst(ParkAirportEntry{"EDDF", "Z9", 0, 0, 0});
    EXPECT_EQ(lf_readParkedFile(std::nullopt), "");
    EXPECT_EQ(userReservedStand, "");
    EXPECT_FALSE(mainWindow.reservedStandValid.load());

    setParkAirport("EDDM");  // no file anywhere
    EXPECT_EQ(lf_readParkedFile(std::nullopt), "lf_readParkedFile EDDM not found");
}

// A stand already known for an airport is never replaced by an empty one: the user aircraft on no stand
// (or not known) keeps the list's reserved stand, in memory and in the file.
TEST_F(ParkListTest, AKnownReservedStandIsNeverReplacedByAnEmptyOne) {
    writeText(program() / "airports" / "my_thirdparty" / "EDDF.xml",
              apfText({{"altitude", "364"}, {"publisher", "Vexa test"}}, stand("V12", 0) + stand("A1", 200)));
    struct Case {
        const char* name;
        const char* list;
        std::optional<std::string> userStand;
        const char* entry;
        const char* file;
        const char* reserved;
    };
    const std::vector<Case> cases = {
        {"second entry, user on no stand", "EDDM\nEDDF,V12\n", "", "EDDF|V12", "EDDF,V12\nEDDM\n", "V12"},
        {"second entry, user state unknown", "EDDM\nEDDF,V12\n", std::nullopt, "EDDM|", "EDDM\nEDDF,V12\n", ""},
        {"second entry, user on A1", "EDDM\nEDDF,V12\n", "A1", "EDDF|A1", "EDDF,A1\nEDDM\n", "A1"},
        {"second entry without stand, user on no stand", "EDDM\nEDDF\n", "", "EDDF|", "EDDF\nEDDM\n", ""},
        {"first entry, user on no stand", "EDDF,V12\nEDDM\n", "", "EDDF|V12", "EDDF,V12\nEDDM\n", "V12"},
        {"not listed, user on no stand", "EDDM\n", "", "EDDF|", "EDDF\nEDDM\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeText(listFile(), c.list);
        ASSERT_TRUE(lf_readMyParkAirports());
        setParkAirport("EDDF");
        EXPECT_EQ(lf_readParkedFile(c.userStand), "");
        EXPECT_EQ(codes().front(), c.entry);
        EXPECT_EQ(readText(listFile()), c.file);
        EXPECT_EQ(userReservedStand, c.reserved);
    }
    // Put first directly: an empty stand keeps the entry's, a named one replaces it.
    writeText(listFile(), "EDDM\nEDDF,V12\n");
    ASSERT_TRUE(lf_readMyParkAirports());
    lf_putParkAirportFirst(ParkAirportEntry{"EDDF", "", 50.03, 8.57, 0});
    EXPECT_EQ(codes().front(), "EDDF|V12");
    lf_putParkAirportFirst(ParkAirportEntry{"EDDM", "B2", 48.35, 11.79, 0});
    EXPECT_EQ(codes(), (std::vector<std::string>{"EDDM|B2", "EDDF|V12"}));
}

// A path that holds "unknown" names a file of no known publisher: nothing is read and the list is left alone.
TEST_F(ParkListTest, AnAirportFileOfAnUnknownPublisherIsNotRead) {
    const std::string stands = stand("V12", 0);
    writeText(program() / "airports" / "unknown" / "EDDF.xml",
              apfText({{"altitude", "364"}, {"publisher", "unknown"}}, stands));
    writeText(program() / "airports" / "pub_unknown_x" / "EDDF.xml",
              apfText({{"altitude", "364"}, {"publisher", "Vexa test"}}, stands));
    writeText(program() / "airports" / "known" / "EDDF.xml",
              apfText({{"altitude", "364"}, {"publisher", "Vexa test"}}, stands));
    struct Case {
        const char* pointer;  // the line of my_thirdparty/EDDF.txt
        std::string error;
    };
    const std::vector<Case> cases = {
        {"airports/unknown/EDDF.xml", "lf_readParkedFile EDDF has publisher:unknown, airports/unknown/EDDF.xml"},
        {"airports/pub_unknown_x/EDDF.xml",
         "lf_readParkedFile EDDF has publisher:unknown, airports/pub_unknown_x/EDDF.xml"},
        {"airports/known/EDDF.xml", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pointer);
        writeText(program() / "airports" / "my_thirdparty" / "EDDF.txt", std::string(c.pointer) + "\n");
        writeText(listFile(), "EDDF\n");
        ASSERT_TRUE(lf_readMyParkAirports());
        setParkAirport("EDDF");
        currentStands.clear();
        EXPECT_EQ(lf_readParkedFile(std::string("V12")), c.error);
        EXPECT_EQ(mainWindow.airportReady.load(), c.error.empty());
        EXPECT_EQ(currentStands.size(), c.error.empty() ? 1u : 0u);
        EXPECT_EQ(readText(listFile()), c.error.empty() ? "EDDF,V12\n" : "EDDF\n");
    }
}

// Shared with the GUI and simulator threads: readers take copies while the run thread rewrites the list.
class ParkAirportsThreads : public ParkListTest {};

TEST_F(ParkAirportsThreads, CopiesWhileTheListIsRewritten) {
    writeText(listFile(), "EDDF\nEDDM\nLSZH\n");
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop.load()) {
            auto first = gf_firstParkAirport();
            auto copy = gf_parkAirportsCopy();
            (void)first;
            (void)copy;
        }
    });
    for (int i = 0; i < 50; ++i) {
        lf_readMyParkAirports();
        lf_putParkAirportFirst(ParkAirportEntry{"EDDM", "X", 0, 0, 0});
    }
    stop.store(true);
    reader.join();
    EXPECT_EQ(codes().front(), "EDDM|X");
}

// The run thread and the simulator thread both rewrite the list file: one writer at a time, so that no
// line is lost, no write fails on the other's temporary file, and the file ends with the last change.
TEST_F(ParkAirportsThreads, TwoWritersLoseNoUpdate) {
    std::string text = "EDDF,S0\n";
    std::vector<std::string> others;
    for (int i = 0; i < 300; ++i) others.push_back(fmt::format("X{:04}", i));
    for (const std::string& line : others) text += line + "\n";
    writeText(listFile(), text);
    airportList.push_back(Airport{"X0000", "", 1.0, 1.0, 0});
    {
        std::lock_guard lock(parkAirportsMutex);
        parkAirports = {ParkAirportEntry{"EDDF", "S0", 50.03, 8.57, 0}};
    }
    auto writer = [](const char* prefix) {
        for (int i = 0; i < 60; ++i) {
            {
                std::lock_guard lock(parkAirportsMutex);
                parkAirports.front().reservedStand = fmt::format("{}{}", prefix, i);
            }
            gf_updateMyParkAirports();
        }
    };
    std::thread simulatorThread(writer, "B");
    writer("A");
    simulatorThread.join();
    gf_updateMyParkAirports();  // nothing changed since the last write: the same file again

    std::vector<std::string> expected = others;
    expected.push_back("EDDF," + gf_firstParkAirport()->reservedStand);
    std::sort(expected.begin(), expected.end());
    std::string want;
    for (const std::string& line : expected) want += line + "\n";
    EXPECT_EQ(readText(listFile()), want);
    EXPECT_FALSE(logHas("could not be written"));
    EXPECT_EQ(temporaryFiles(), std::vector<std::string>{});
}

// The simulator thread stores the user's stand at the current park airport while the run thread re-sorts
// the list: the entry whose stand changed is the entry written, whichever airport comes first between the
// change and the write.
TEST_F(ParkAirportsThreads, TheUsersStandIsWrittenForTheAirportWhoseStandChanged) {
    writeText(listFile(), "EDDF\nEHAM,S0\n");
    {
        std::lock_guard lock(parkAirportsMutex);
        parkAirports = {ParkAirportEntry{"EHAM", "S0", 52.31, 4.76, 0}, ParkAirportEntry{"EDDF", "", 50.03, 8.57, 0}};
    }
    setParkAirport("EHAM");
    const double stand2 = 52.3 + 100.0 / 1852.0 / 60.0;
    currentStands.emplace_back("S1", std::vector<StandOption>{}, 52.3, 4.76, 0.0, 20.0, 1, 1, 1);
    currentStands.emplace_back("S2", std::vector<StandOption>{}, stand2, 4.76, 0.0, 20.0, 1, 1, 1);
    gf_publishStandPlaces();

    std::atomic<bool> stop{false};
    std::thread runThread([&] {
        while (!stop.load()) {
            std::lock_guard lock(parkAirportsMutex);
            parkAirports.reverse();
        }
    });
    // The EHAM line of the file and EHAM's entry after each store of the user's stand.
    std::vector<std::string> differing;
    for (int i = 0; i < 300 && differing.empty(); ++i) {
        reportUserAircraft(i % 2 == 0 ? 52.3 : stand2, 4.76, 0, true);
        lf_checkUserStand();
        std::string listed;
        for (const ParkAirportEntry& e : gf_parkAirportsCopy())
            if (e.icao == "EHAM") listed = "EHAM," + e.reservedStand;
        const std::string text = readText(listFile());
        const auto at = text.find("EHAM");
        const std::string written = at == std::string::npos ? "" : text.substr(at, text.find('\n', at) - at);
        if (written != listed) differing.push_back(fmt::format("step {}: list {}, file {}", i, listed, written));
    }
    stop.store(true);
    runThread.join();
    EXPECT_EQ(differing, std::vector<std::string>{});
    forgetUserAircraft();
}
}  // namespace
