// The window's display model as the program's own writers leave it: a headless run against the stand-ins,
// laid out as scripts/demo lays it out (the demo's simulator scenario with the user parked at Frankfurt, the
// demo's traffic on the stand-in web service, its download server, aircraft packages and park-airport list).
// The run scans the liveries, reaches the park airport and plans it; the test then reads the display fields and
// the painted statistics and status panels. A restart follows, whose run keeps the livery database and must
// show its count again. Nothing here sets a display value: a value that stays at its default is a finding.
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "tests/app/demo_run_fixture.h"

namespace {

using namespace demorun;
using namespace std::chrono_literals;

class DisplayRun : public DemoRun {
protected:
    // The statistics row's airport text: the publisher, the demo file's airport name (shortened to its field, the
    // painting's own test covers how) and the traffic week.
    static void expectAirportText(const std::optional<std::string>& shown) {
        ASSERT_TRUE(shown.has_value());
        EXPECT_EQ(shown->rfind(" stock, Frankfurt am Main (demo", 0), 0u) << *shown;
        EXPECT_TRUE(shown->ends_with(", wk=24")) << *shown;
    }
};

TEST_F(DisplayRun, ParkAirportAndLiveryCountAreShownFromTheirWriters) {
    const std::size_t demoLiveries = countOf(readWholeFile(demoDir / "catalogue" / "LiveriesScanned.xml"), "<liv ");
    ASSERT_GT(demoLiveries, 0u);

    startTheProgram();
    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();

    // Status panel: the livery count of the scan of the simulator's Community folder.
    EXPECT_EQ(mainWindow.liveryCount.load(), demoLiveries);
    EXPECT_EQ(paintedAt(5, 91), fmt::format("# liveries: {}", demoLiveries));

    // Statistics panel: the park airport, the airport file's publisher, airport name and traffic week, the
    // stands, the reserved stand (the user's, from the park-airport list) and the wanted count of the plan.
    const CurrentAirport airport = gf_currentAirportCopy();
    ASSERT_EQ(airport.icao, "EDDF");
    const int row1 = mainWindow.statisticsRow.load();
    const int row2 = row1 + 28;
    EXPECT_EQ(paintedAt(5, row1), gf_parkAirportText(airport));
    EXPECT_EQ(mainWindow.airportFileText.get(), "Frankfurt am Main (demo, synthetic stands)");
    expectAirportText(paintedAt(85, row1));
    EXPECT_EQ(mainWindow.standCount.load(), 46u);
    EXPECT_EQ(paintedAt(5, row2), "# stands:  46");
    EXPECT_EQ(airport.reservedStand, "E3");
    EXPECT_TRUE(mainWindow.reservedStandValid.load());
    EXPECT_EQ(paintedAt(571, row1), "reserved stand: E3");
    // 30 % of 46 stands, rounded.
    EXPECT_EQ(mainWindow.wantedParkedCount.load(), 14);
    EXPECT_EQ(mainWindow.parkingPercentageShown.load(), 30);
    EXPECT_EQ(paintedAt(708, row2), "max park:  14 (=30 %)");
    EXPECT_FALSE(mainWindow.qualityText.empty());
    EXPECT_TRUE(window_->enabled(kFlushStaticButtonId)) << "a park airport's file was read";

    // A restart: the reset empties the window; the next run keeps the livery database (no scan, the build
    // skipped) and shows its count again.
    gf_requestStop(EXIT_NEW_SETTINGS, 1);
    ASSERT_TRUE(pumpUntil([this] { return logText().find("Restarting after 1 seconds") != std::string::npos; }, 120s))
        << logTail();
    ASSERT_TRUE(pumpUntil(
        [this] {
            return countOf(logText(), "Processing scanned liveries skipped; already done in previous start-up") > 0;
        },
        120s))
        << logTail();
    EXPECT_FALSE(SCAN_LIVERIES.value.load());
    ASSERT_TRUE(pumpUntil([] { return mainWindow.liveryCount.load() > 0; }, 60s));
    EXPECT_EQ(mainWindow.liveryCount.load(), demoLiveries);
    EXPECT_EQ(paintedAt(5, 91), fmt::format("# liveries: {}", demoLiveries));

    // The second run reaches the park airport again; the parking controls agree with the lock after the
    // restart.
    ASSERT_TRUE(pumpUntil(parkAirportPlanned())) << logTail();
    EXPECT_TRUE(window_->enabled(RT_PARKTRAFFIC_ONLY.controlId));
    EXPECT_EQ(mainWindow.liveryCount.load(), demoLiveries);
    expectAirportText(paintedAt(85, row1));
}

// The add-on airport scan of the run's preparation finds the demo's add-on airport package (demo/community) and
// the settings panel says so beside "Scan for addon airports".
TEST_F(DisplayRun, AddonAirportCountFromTheScan) {
    startTheProgram();
    ASSERT_TRUE(pumpUntil([] { return mainWindow.feedLoggedIn.load(); })) << logTail();
    EXPECT_EQ(addonAirportsFound.load(), 1);
    EXPECT_EQ(paintedAt(217, static_cast<int>(SCAN_AIRPORTS.rowY)), "1 airport in TBLO folder");
}

}  // namespace
