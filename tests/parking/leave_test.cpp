// Leaving the park airport: what changed there reaches its learned file, and the leave always finishes.
#include "tests/airports/airports_fixture.h"

#include <functional>

#include <pugixml.hpp>

#include "airports/parking_file.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

namespace {

class LeaveTest : public AirportsTest {
public:
    const fs::path learned = fs::path("airports") / "learned" / "thirdparty" / "Pub" / "EGLL.xml";

    void SetUp() override {
        AirportsTest::SetUp();
        airportFileChanged = 0;
        writeText("airports/my_thirdparty/EGLL.xml",
                  apfText({{"publisher", "Pub"}, {"altitude", "83"}}, stand("A1", 0) + stand("B1", 100)));
    }
    void TearDown() override {
        airportFileChanged = 0;
        AirportsTest::TearDown();
    }
    static void enter() {
        setParkAirport("EGLL");
        currentStands.clear();
        currentApfHeader = ApfHeader{};
        ASSERT_EQ(gf_readApf("airports/my_thirdparty/EGLL.xml", currentApfHeader, currentQualityFactors), "");
    }
    std::optional<std::int32_t> savedParameter(const char* name) const {
        pugi::xml_document doc;
        if (!doc.load_file(learned.c_str())) return std::nullopt;
        return lf_readIntParameter(doc, name);
    }
};

TEST_F(LeaveTest, SettingChangedAtTheParkAirportIsSavedOnLeaving) {
    enter();
    // The window's fields and commands mark a setting that the airport's file keeps; no stand changed.
    MAX_LIVE.value = 17;
    airportFileChanged = 1;
    lf_leaveParkAirport();
    EXPECT_EQ(savedParameter("MAX_LIVE"), 17);
    EXPECT_EQ(airportFileChanged.load(), 0);
    EXPECT_TRUE(logHas("saved with 0 updates and one or more parameter changes"));

    // The next visit takes it back from the file.
    MAX_LIVE.value = 5;
    enter();
    EXPECT_EQ(MAX_LIVE.value.load(), 17);
    lf_leaveParkAirport();
}

// The save on leaving is logged also when the run is closing down, when the window was closed, and while
// the status line holds an error.
TEST_F(LeaveTest, SaveIsLoggedAlsoWhileTheRunStops) {
    struct Case {
        const char* what;
        std::function<void()> set;
    };
    const Case cases[] = {
        {"running", [] {}},
        {"closing down", [] { stopRequested = 1; }},
        {"window closed", [] { userClosed = 1; }},
        {"error held on the status line", [] { gf_showError("99: test"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        enter();
        learnedUpdateCount = 1;
        const std::size_t before = logText().size();
        c.set();
        gf_removeStaticParked();
        stopRequested = 0;
        userClosed = 0;
        gf_clearHeldError();
        EXPECT_EQ(logLinesWith(logText().substr(before), {learned.string(), "saved with 1 update"}).size(), 1u)
            << logText().substr(before);
    }
}

TEST_F(LeaveTest, ChangeMadeAwayFromTheParkAirportSavesNothing) {
    // A range changed in flight belongs to no airport: the next visit that changes nothing writes no file.
    airportFileChanged = 1;
    enter();
    lf_leaveParkAirport();
    EXPECT_FALSE(fs::exists(learned));
    EXPECT_EQ(airportFileChanged.load(), 0);
}

TEST_F(LeaveTest, FailedSaveStillLeavesTheAirport) {
    writeText(learned, apfText({}, "<parkpos id=\"A1\"><opt reg=\"U1\" day=\"1\" hh=\"1\"/></parkpos>"));
    const std::string before = readText(learned);
    fs::create_directories(learned.parent_path() / "EGLL~0.xml" / "x");  // the backup cannot be made
    enter();
    learnedUpdateCount = 1;
    EXPECT_NO_THROW(gf_removeStaticParked());
    EXPECT_EQ(readText(learned), before);
    EXPECT_EQ(gf_currentAirportCopy().icao, "");
    EXPECT_TRUE(currentStands.empty());
    EXPECT_EQ(parkingActive.load(), 0);
    EXPECT_EQ(learnedUpdateCount.load(), 0u);
}

}  // namespace
