#include <gtest/gtest.h>

#include <fmt/format.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "airports/airports.h"
#include "airports/current_airport.h"
#include "app/main_window.h"
#include "app/window_proc.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/status_line.h"
#include "tests/app/window_fixture.h"

namespace {

using Painting = WindowFixture;
using ui::PaintOp;

TEST_F(Painting, PanelsLinesAndTitle) {
    auto ops = paint();
    EXPECT_EQ(findFill(ops, panel::title)->color, colour::black);
    EXPECT_EQ(findFill(ops, panel::status)->color, colour::black);
    EXPECT_EQ(findFill(ops, panel::settings)->color, colour::panelBlue);
    EXPECT_EQ(findFill(ops, panel::statistics)->color, colour::black);
    EXPECT_EQ(findFill(ops, panel::message)->color, colour::limeGreen);
    int white = 0;
    int black = 0;
    for (const auto& op : ops) {
        if (op.kind != PaintOp::Kind::line) continue;
        if (op.color == colour::white) ++white;
        if (op.color == colour::black) ++black;
    }
    EXPECT_EQ(white, 4);
    EXPECT_EQ(black, 9) << "seven separators, the vertical one and the line between the lamps";
    auto version = findTextStarting(ops, "Version ");
    ASSERT_TRUE(version);
    EXPECT_EQ(version->x(), 3);
    EXPECT_EQ(version->y(), 7);
    auto name = findText(ops, "Vexa");
    ASSERT_TRUE(name);
    EXPECT_EQ(name->x(), 390);
    EXPECT_EQ(name->color, colour::limeGreen);
}

TEST_F(Painting, SimLampFollowsConnectionFlightAndUserAircraft) {
    struct Case {
        bool connected, flight;
        const char* user;
        ui::Color lamp;
    } cases[] = {
        {false, false, "", colour::red},
        {true, false, "A320", colour::yellow},
        {true, true, "", colour::yellow},
        {true, true, "A320", colour::limeGreen},
    };
    for (const auto& c : cases) {
        mainWindow.simConnected = c.connected;
        mainWindow.flightRunning = c.flight;
        mainWindow.userAircraftText.set(c.user);
        auto ops = paint();
        EXPECT_EQ(findFill(ops, (ui::Rect{397, 30, 425, 112}))->color, c.lamp) << c.connected << c.flight << c.user;
        EXPECT_EQ(findText(ops, "Sim")->color, colour::black);
    }
}

TEST_F(Painting, StatusPanelTextsWhenNotConnectedAndConnected) {
    auto ops = paint();
    EXPECT_EQ(findText(ops, "MSFS 2020 mode")->color, colour::limeGreen);
    EXPECT_EQ(findText(ops, "# liveries: ...")->color, colour::red);
    EXPECT_EQ(findText(ops, "# simaddon: ...")->color, colour::yellow);
    EXPECT_EQ(findText(ops, "# thirdp: ...")->color, colour::yellow);

    MSFS_2020.value = false;
    mainWindow.simConnected = true;
    mainWindow.flightRunning = true;
    mainWindow.simulatorText.set("SunRise 12.1");
    mainWindow.userStandText.set("A12");
    mainWindow.userAircraftText.set("Cessna");
    mainWindow.userModelKnown = false;
    mainWindow.liveryCount = 1234;
    mainWindow.simaddonAirportCount = 7;
    mainWindow.simaddonCurrent = false;
    mainWindow.thirdpAirportCount = 2;
    ops = paint();
    EXPECT_FALSE(findText(ops, "MSFS 2024 mode"));
    auto sim = findText(ops, "SunRise 12.1, user stand A12");
    ASSERT_TRUE(sim);
    EXPECT_EQ(sim->color, colour::limeGreen);
    EXPECT_EQ(findText(ops, "Cessna")->color, colour::yellow) << "unknown model";
    EXPECT_EQ(findText(ops, "# liveries: 1234")->color, colour::limeGreen);
    EXPECT_EQ(findText(ops, "# simaddon: 7")->color, colour::yellow);
    EXPECT_EQ(findText(ops, "# thirdp: 2")->color, colour::limeGreen);

    mainWindow.simConnected = false;
    EXPECT_TRUE(findText(paint(), "MSFS 2024 mode"));
}

TEST_F(Painting, FeedLampWeatherTrafficQnhAndLiveCount) {
    const ui::Rect lamp{425, 30, 453, 112};
    auto ops = paint();
    EXPECT_EQ(findFill(ops, lamp)->color, colour::black) << "lamp off at start";
    mainWindow.feedLampOff = false;
    EXPECT_EQ(findFill(paint(), lamp)->color, colour::red);

    mainWindow.feedLoggedIn = true;
    mainWindow.feedText.set("RT professional license, 30 days left");
    mainWindow.qnh = 1013;
    mainWindow.liveCount = 5;
    ops = paint();
    EXPECT_EQ(findFill(ops, lamp)->color, colour::limeGreen);
    EXPECT_TRUE(findText(ops, "RT professional license, 30 days left"));
    EXPECT_FALSE(findText(ops, "Weather")) << "state 3: not shown";
    EXPECT_FALSE(findText(ops, "Traffic"));
    EXPECT_FALSE(findTextStarting(ops, "qnh:"));
    EXPECT_FALSE(findTextStarting(ops, "live:"));

    mainWindow.weatherLampState = 2;
    mainWindow.trafficLampState = 1;
    ops = paint();
    EXPECT_EQ(findText(ops, "Weather")->color, colour::yellow);
    EXPECT_EQ(findText(ops, "Traffic")->color, colour::limeGreen);
    auto qnh = findText(ops, "qnh: 1013");
    ASSERT_TRUE(qnh);
    EXPECT_EQ(qnh->x(), 642);
    EXPECT_EQ(qnh->y(), 63);
    EXPECT_TRUE(findText(ops, "live:   5"));

    mainWindow.qnh = 0;
    EXPECT_FALSE(findTextStarting(paint(), "qnh:"));
}

TEST_F(Painting, MessageLineGreenWithTextAndRedWhileAnErrorIsHeld) {
    gf_showStatus("Working", false);
    auto ops = paint();
    EXPECT_EQ(findFill(ops, panel::message)->color, colour::limeGreen);
    auto text = findText(ops, "Working");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->x(), 3);
    EXPECT_EQ(text->y(), 455);
    EXPECT_EQ(text->color, colour::yellow);

    gf_showError("150: No Community folder");
    gf_showStatus("ignored", false);
    ops = paint();
    EXPECT_EQ(findFill(ops, panel::message)->color, colour::red);
    EXPECT_TRUE(findText(ops, "150: No Community folder"));
    EXPECT_FALSE(findText(ops, "Working"));
    EXPECT_FALSE(findText(ops, "ignored"));
}

TEST_F(Painting, StatusLineWritersInvalidateTheMessageLine) {
    window->takeInvalidated();
    gf_showStatus("x", false);
    EXPECT_EQ(window->takeInvalidated(), panel::message);
}

TEST_F(Painting, SettingsLabelsFollowTheirSettings) {
    auto ops = paint();
    EXPECT_EQ(findText(ops, "Install path:")->y(), 119);
    EXPECT_EQ(findText(ops, "Scan for liveries")->color, colour::yellow);
    EXPECT_EQ(findText(ops, "Stay on top")->color, colour::black);
    EXPECT_EQ(findText(ops, "GUID changes")->color, colour::black);
    EXPECT_EQ(findText(ops, "objectids")->color, colour::black);
    EXPECT_EQ(findText(ops, "hours")->color, colour::black) << "TIME_SHIFT_HOURS 0: plural";
    EXPECT_TRUE(findText(ops, "days"));
    EXPECT_TRUE(findText(ops, "minutes"));
    EXPECT_EQ(findText(ops, "generic max park:")->color, colour::grey);
    EXPECT_EQ(findText(ops, "max live:")->color, colour::grey);
    EXPECT_EQ(findText(ops, "Airport parking")->color, colour::black);
    EXPECT_EQ(findText(ops, "ah:")->color, colour::black);
    EXPECT_EQ(findText(ops, "Light aircraft")->color, colour::black);
    EXPECT_EQ(findText(ops, "Straight push backs only")->color, colour::grey);
    EXPECT_FALSE(findTextStarting(ops, "(next in"));
    EXPECT_EQ(findText(ops, "nm,  or")->x(), 260);

    SCAN_LIVERIES.value = false;
    ALWAYS_ON_TOP.value = true;
    GUID_CHANGES.value = false;
    MSFS_2020.value = false;
    AUTO_RANGE.value = false;
    TIME_SHIFT_HOURS.value = 1;
    MAX_LIVE.value = 50;
    mainWindow.timeShiftEnabled = false;
    gf_enableControl(LIGHT_AIRCRAFT.controlId, false);
    gf_disableParkingControls();
    ops = paint();
    EXPECT_EQ(findText(ops, "Scan for liveries")->color, colour::black);
    EXPECT_EQ(findText(ops, "Stay on top")->color, colour::yellow);
    EXPECT_EQ(findText(ops, "GUID changes")->color, colour::yellow);
    EXPECT_EQ(findText(ops, "objectids")->color, colour::grey);
    EXPECT_EQ(findText(ops, "ah:")->color, colour::grey);
    EXPECT_EQ(findText(ops, "hour")->color, colour::grey);
    EXPECT_EQ(findText(ops, "Sim Time")->color, colour::grey);
    EXPECT_EQ(findText(ops, "max live:")->color, colour::yellow);
    EXPECT_EQ(findText(ops, "Light aircraft")->color, colour::grey);
    EXPECT_EQ(findText(ops, "Airport parking active")->color, colour::yellow);
}

// Every label of the settings panel at its place; nothing else is written on the panel.
TEST_F(Painting, EverySettingsLabelAtItsPlace) {
    struct Label {
        const char* text;
        int x, y;
    };
    std::vector<Label> labels = {
        {"Install path:", 25, 119},
        {"Scan for liveries", 25, 147},
        {"Automatic, selector:", 237, 147},
        {"Prioritize", 450, 147},
        {"Stub", 556, 147},
        {"Log", 672, 147},
        {"Stay on top", 768, 147},
        {"Scan for addon airports", 25, 175},
        {"Nav lights", 672, 175},
        {"Learn Soft", 768, 175},
        {"Max aircraft matching depth", 5, 203},
        {"Optional:", 253, 203},
        {"Light aircraft", 343, 203},
        {"Helicopters", 450, 203},
        {"FighterJets", 556, 203},
        {"objectids", 672, 203},
        {"GUID changes", 768, 203},
        {"Traffic injection", 5, 231},
        {"radius:", 167, 231},
        {"nm,  or", 260, 231},
        {"auto range", 343, 231},
        {"ah:", 430, 231},
        {"ft", 510, 231},
        {"Sim Time", 672, 231},
        {"hours", 788, 231},
        {"Callsigns", 5, 259},
        {"block:", 172, 259},
        {"oid:", 430, 259},
        {"Time shift:", 652, 259},
        {"days", 788, 259},
        {"Collision avoidance", 5, 287},
        {"User ground", 237, 287},
        {"User air", 343, 287},
        {"Live X parked", 450, 287},
        {"Save", 672, 287},
        {"minutes", 788, 287},
        {"Airport parking", 5, 315},
        {"generic max park:", 217, 315},
        {"max live:", 536, 315},
        {"Straight push backs only", 672, 315},
        {"destination:", 139, 343},
        {"range:", 303, 343},
        {"nm", 393, 343},
        {"height above gnd:", 440, 343},
        {"ft", 621, 343},
        {"Fake", 25, 371},
        {"Week", 91, 371},
        {"Soft", 171, 371},
        {"wanted: ", 264, 371},
        {"%", 363, 371},
        {"ILO", 450, 371},
        {"Max fit:", 506, 371},
        {"PT only", 662, 371},
    };
    auto check = [&](const std::vector<Label>& expected) {
        const auto texts = textsIn(paint(), panel::settings);
        EXPECT_EQ(texts.size(), expected.size());
        for (const Label& l : expected) {
            const bool found = std::any_of(texts.begin(), texts.end(), [&](const PaintOp& op) {
                return op.text == l.text && op.x() == l.x && op.y() == l.y;
            });
            EXPECT_TRUE(found) << l.text << " at " << l.x << "," << l.y;
        }
    };
    check(labels);

    // The labels that appear only with their state.
    const int found = addonAirportsFound;
    addonAirportsFound = 3;
    CALLSIGN_2_OBJECTID.set("DLH4");
    mainWindow.objectIdText.set("object id 1234");
    parkingActive = 1;
    mainWindow.minutesToRenewal = 7;
    labels.push_back({"3 airports in TBLO folder", 217, 175});
    labels.push_back({"object id 1234", 561, 259});
    labels.push_back({"(next in 7 min)", 5, 343});
    check(labels);
    addonAirportsFound = found;
    CALLSIGN_2_OBJECTID.set("");
}

TEST_F(Painting, ParkTrafficOnlyGreysTheParkingLabels) {
    auto ops = paint();
    for (const char* label : {"Fake", "Week", "Soft", "wanted: ", "%", "ILO", "Max fit:"})
        EXPECT_EQ(findText(ops, label)->color, colour::black) << label;
    RT_PARKTRAFFIC_ONLY.value = true;
    ops = paint();
    for (const char* label : {"Fake", "Week", "Soft", "wanted: ", "%", "ILO", "Max fit:"})
        EXPECT_EQ(findText(ops, label)->color, colour::grey) << label;
    EXPECT_EQ(findText(ops, "PT only")->color, colour::black);
    RT_PARKTRAFFIC_ONLY.value = false;
    INITIAL_LOAD_ONLY.value = true;
    EXPECT_EQ(findText(paint(), "ILO")->color, colour::yellow);
}

TEST_F(Painting, NextRenewalShownOnlyWhileParkingRuns) {
    mainWindow.minutesToRenewal = 12;
    EXPECT_FALSE(findTextStarting(paint(), "(next in"));
    parkingActive = 1;
    EXPECT_TRUE(findText(paint(), "(next in 12 min)"));
    INITIAL_LOAD_ONLY.value = true;
    EXPECT_FALSE(findTextStarting(paint(), "(next in"));
    RT_PARKTRAFFIC_ONLY.value = true;
    EXPECT_TRUE(findTextStarting(paint(), "(next in"));
    mainWindow.minutesToRenewal = 20;
    EXPECT_FALSE(findTextStarting(paint(), "(next in"));
}

TEST_F(Painting, StatisticsPanelIsGatedByAirportAndReadiness) {
    auto inStatistics = [&] { return textsIn(paint(), panel::statistics); };
    EXPECT_TRUE(inStatistics().empty()) << "no park airport";

    currentAirport.icao = "EDDF";
    currentAirport.iata = "FRA";
    auto texts = inStatistics();
    ASSERT_EQ(texts.size(), 1u) << "not ready: only the airport";
    EXPECT_EQ(texts[0].text, "EDDF (FRA)");
    EXPECT_EQ(texts[0].color, colour::yellow);
    EXPECT_EQ(texts[0].y(), 399);

    mainWindow.airportReady = true;
    mainWindow.airportSourceText.set("stock");
    mainWindow.airportFileText.set("EDDF.xml");
    mainWindow.airportFileMark = true;
    mainWindow.trafficWeek = 3;
    mainWindow.qualityText.set("A");
    mainWindow.standCount = 120;
    mainWindow.parkedLiveCount = 4;
    mainWindow.updateCount = 9;
    auto ops = paint();
    EXPECT_EQ(findText(ops, "EDDF (FRA)")->color, colour::limeGreen);
    EXPECT_TRUE(findText(ops, " stock, EDDF.xml (h), wk=3"));
    EXPECT_TRUE(findText(ops, "qf: A"));
    EXPECT_TRUE(findText(ops, "# updates:    9"));
    EXPECT_EQ(findText(ops, "# stands: 120")->y(), 427);
    EXPECT_TRUE(findText(ops, "parked live:   4"));
    EXPECT_TRUE(findText(ops, "no max park live"));
    EXPECT_FALSE(findText(ops, "*S*"));
    EXPECT_FALSE(findTextStarting(ops, "average fit"));
    EXPECT_FALSE(findTextStarting(ops, "parked static"));
    EXPECT_FALSE(findTextStarting(ops, "reserved stand"));

    currentAirport.reservedStand = "V12";
    mainWindow.staticPlanningMark = true;
    mainWindow.liveParkFigure = 2.5f;
    mainWindow.staticParkFigure = 3.0f;
    mainWindow.wantedParkedCount = 36;
    mainWindow.parkingPercentageShown = 30;
    mainWindow.parkedStaticCount = 30;
    ops = paint();
    EXPECT_EQ(findText(ops, "reserved stand: V12")->color, colour::red);
    EXPECT_TRUE(findText(ops, "*S*"));
    EXPECT_EQ(findText(ops, "average fit: 2.5")->x(), 249);
    EXPECT_EQ(findText(ops, "average fit: 3")->x(), 571);
    EXPECT_TRUE(findText(ops, "parked static:  30"));
    EXPECT_TRUE(findText(ops, "max park:  36 (=30 %)"));

    WEEK.value = true;
    RT_PARKTRAFFIC_ONLY.value = true;
    ops = paint();
    EXPECT_FALSE(findText(ops, "average fit: 3"));
    EXPECT_FALSE(findTextStarting(ops, "qf:"));
    EXPECT_FALSE(findTextStarting(ops, "max park"));
}

// Each text of a row keeps to its own field: it ends before the next text of the row begins, the last one
// inside the window. The cases: the demo's Frankfurt file (its long name ran into "qf:"), with every text of
// the rows shown and long, and the status panel's titles beside the lamps.
TEST_F(Painting, EveryTextOfARowKeepsToItsField) {
    const std::string longName(120, 'M');
    struct Case {
        const char* name;
        bool planningMark, ptOnly;
        std::string fileText, quality, stand, userAircraft;
    } cases[] = {
        {"demo", false, false, "Frankfurt am Main (demo, synthetic stands)", "80", "E3", "Airbus A320 Neo Asobo"},
        {"all long", true, false, longName, longName, longName, longName},
        {"pt only", false, true, longName, "80", "", longName},
    };
    currentAirport.icao = "EDDF";
    currentAirport.iata = "FRA";
    mainWindow.airportReady = true;
    mainWindow.airportSourceText.set("stock");
    mainWindow.trafficWeek = 24;
    mainWindow.standCount = 46;
    mainWindow.parkedLiveCount = 3;
    mainWindow.liveParkFigure = 2.5f;
    mainWindow.staticParkFigure = 3.0f;
    mainWindow.wantedParkedCount = 14;
    mainWindow.parkingPercentageShown = 30;
    mainWindow.parkedStaticCount = 14;
    mainWindow.updateCount = 1234;
    mainWindow.simConnected = true;
    mainWindow.flightRunning = true;
    mainWindow.simulatorText.set("KittyHawk 11.0.282174");
    for (const Case& c : cases) {
        mainWindow.staticPlanningMark = c.planningMark;
        RT_PARKTRAFFIC_ONLY.value = c.ptOnly;
        mainWindow.airportFileText.set(c.fileText);
        mainWindow.qualityText.set(c.quality);
        currentAirport.reservedStand = c.stand;
        mainWindow.userStandText.set(c.stand);
        mainWindow.userAircraftText.set(c.userAircraft);
        const auto ops = paint();
        auto statistics = textsIn(ops, panel::statistics);
        EXPECT_EQ(statistics.size(), c.ptOnly ? 8u : 12u - (c.planningMark ? 0 : 1)) << c.name;
        std::sort(statistics.begin(), statistics.end(),
                  [](const PaintOp& a, const PaintOp& b) { return std::pair(a.y(), a.x()) < std::pair(b.y(), b.x()); });
        for (std::size_t i = 0; i < statistics.size(); ++i) {
            const bool lastOfRow = i + 1 == statistics.size() || statistics[i + 1].y() != statistics[i].y();
            const int fieldEnd = lastOfRow ? panel::statistics.right : statistics[i + 1].x();
            EXPECT_LE(statistics[i].rect.right, fieldEnd) << c.name << ": " << statistics[i].text;
        }
        for (int y : {35, 63}) {
            const auto title = std::find_if(ops.begin(), ops.end(), [y](const PaintOp& op) {
                return op.kind == PaintOp::Kind::text && op.x() == 5 && op.y() == y;
            });
            ASSERT_NE(title, ops.end()) << c.name << " " << y;
            EXPECT_LE(title->rect.right, 397) << c.name << ": " << title->text << " runs into the lamps";
        }
    }
}

// The airport text of the statistics row, " <publisher>, <airport name>[ (h)], wk=N", keeps the publisher, the
// handmade mark and the week when the name is too long for its field: the name is cut, with "…" where it is cut,
// never inside a character and no more than needed. The field ends 4 px before the next text of the row; widths
// are measured in the headless font, as the window measures them.
TEST_F(Painting, ALongAirportNameIsShortenedSoThatPublisherMarkAndWeekShow) {
    const std::string demoName = "Frankfurt am Main (demo, synthetic stands)";
    const std::string accented = "Zürich–Kloten, Südseite mit Vorfeld Ost und West (Übersicht)";
    const std::string longName(120, 'M');
    struct Case {
        const char* name;
        std::string fileText;
        bool handmade, planningMark, ptOnly;
        int nextText;  // x of the next text of the row
        bool cut;
    } cases[] = {
        {"demo name, handmade", demoName, true, false, false, 430, true},
        {"demo name, not handmade", demoName, false, false, false, 430, true},
        {"demo name before *S*", demoName, true, true, false, 370, true},
        {"long name up to the updates", longName, true, false, true, 748, true},
        {"characters of several bytes", accented, true, false, false, 430, true},
        {"a short name stays whole", "Frankfurt am Main", true, false, false, 430, false},
    };
    currentAirport.icao = "EDDF";
    currentAirport.iata = "FRA";
    mainWindow.airportReady = true;
    mainWindow.airportSourceText.set("stock");
    mainWindow.trafficWeek = 24;
    mainWindow.qualityText.set("80");
    constexpr int x = 85;
    constexpr int gap = 4;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mainWindow.airportFileText.set(c.fileText);
        mainWindow.airportFileMark = c.handmade;
        mainWindow.staticPlanningMark = c.planningMark;
        RT_PARKTRAFFIC_ONLY.value = c.ptOnly;
        const auto ops = paint();
        const auto shown = std::find_if(ops.begin(), ops.end(), [](const PaintOp& op) {
            return op.kind == PaintOp::Kind::text && op.x() == x && op.y() == 399;
        });
        ASSERT_NE(shown, ops.end()) << "the airport text is drawn (valid UTF-8)";
        const std::string& text = shown->text;
        const std::string head = " stock, ";
        const std::string tail = std::string(c.handmade ? " (h)" : "") + ", wk=24";
        ASSERT_GE(text.size(), head.size() + tail.size()) << text;
        EXPECT_EQ(text.substr(0, head.size()), head) << text;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
        const int width = ui::headlessTextWidth(text);
        EXPECT_EQ(shown->rect.right, x + width) << "nothing of \"" << text << "\" is clipped";
        EXPECT_LE(x + width, c.nextText - gap) << text;
        std::string name = text.substr(head.size(), text.size() - head.size() - tail.size());
        if (!c.cut) {
            EXPECT_EQ(name, c.fileText);
            continue;
        }
        const std::string ellipsis = "…";
        ASSERT_GE(name.size(), ellipsis.size()) << text;
        EXPECT_EQ(name.substr(name.size() - ellipsis.size()), ellipsis) << text;
        name.resize(name.size() - ellipsis.size());
        EXPECT_EQ(c.fileText.rfind(name, 0), 0u) << "the name's beginning: " << text;
        // A blank before the cut is dropped, so one character's room may stay free.
        EXPECT_LT(c.nextText - gap - (x + width), 2 * ui::kHeadlessCharWidth) << "cut no more than needed: " << text;
    }
}

TEST_F(Painting, InvalidUtf8IsLoggedOnceAndNotDrawnWhilePaintingGoesOn) {
    openLog();
    gf_showStatus("bad \xff text", false);
    mainWindow.liveryCount = 3;
    auto ops = paint();
    paint();
    EXPECT_FALSE(findTextStarting(ops, "bad "));
    EXPECT_TRUE(findText(ops, "# liveries: 3")) << "painting went on";
    const std::string log = logText();
    const std::string line = "bad \xff text conversion exception";
    ASSERT_NE(log.find(line), std::string::npos) << log;
    EXPECT_EQ(log.find(line), log.rfind(line)) << "logged once";
    EXPECT_NE(log.find("error code: 1113"), std::string::npos);
}

TEST_F(Painting, AirportCountLabel) {
    EXPECT_EQ(gf_formatAirportCount("{} airport{} in {} folder", 1), "1 airport in TBLO folder");
    EXPECT_EQ(gf_formatAirportCount("{} airport{} in {} folder", 12), "12 airports in TBLO folder");
}

TEST_F(Painting, EachBadTextIsLoggedOnceWhileSeveralAreOnScreen) {
    openLog();
    gf_showStatus("first \xff bad", false);
    mainWindow.simConnected = true;
    mainWindow.simulatorText.set("second \xc3 bad");
    for (int i = 0; i < 3; ++i) paint();
    const std::string log = logText();
    for (const std::string line : {"first \xff bad conversion exception", "second \xc3 bad conversion exception"}) {
        ASSERT_NE(log.find(line), std::string::npos) << log;
        EXPECT_EQ(log.find(line), log.rfind(line)) << "logged once: " << line;
    }
}

using PaintingThreads = WindowFixture;

// Writers on several threads while the GUI thread paints: the status line and the display texts
// are read as copies, the counters are atomics.
TEST_F(PaintingThreads, WritersAndPainterShareTheDisplayFields) {
    std::atomic<bool> go{false};
    std::atomic<int> running{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            ++running;
            while (!go.load()) std::this_thread::yield();
            for (int i = 0; i < 300; ++i) {
                gf_showStatus(fmt::format("note {} {}", t, i), false);
                if (t == 0 && i % 50 == 0) gf_showError("held");
                if (t == 1 && i % 50 == 25) gf_clearHeldError();
                if (t == 2) gf_statusSecondStep();
                mainWindow.feedText.set(fmt::format("feed {}", i));
                mainWindow.liveCount = static_cast<std::uint64_t>(i);
                mainWindow.simConnected = (i & 1) != 0;
                mainWindow.userAircraftText.set(std::string(static_cast<std::size_t>(i % 40), 'x'));
                gf_enableControl(LIGHT_AIRCRAFT.controlId, (i & 1) != 0);
                LATERAL_RANGE.value = 2 + i % 90;
                gf_showIntField(LATERAL_RANGE);
            }
            --running;
        });
    }
    while (running.load() < 4) std::this_thread::yield();
    go = true;
    int paints = 0;
    while (running.load() > 0 || paints < 5) {
        auto ops = paint();
        ASSERT_FALSE(ops.empty());
        ++paints;
    }
    for (auto& w : writers) w.join();
    gf_clearHeldError();
    gf_showStatus("last", false);
    EXPECT_TRUE(findText(paint(), "last"));
}

// The run thread replaces the park airport while the GUI thread paints the statistics panel.
TEST_F(PaintingThreads, ParkAirportReplacedWhilePainting) {
    mainWindow.airportReady = true;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 500; ++i) {
            CurrentAirport airport;
            airport.icao = i % 2 == 0 ? "EDDF" : "LOWW";
            airport.iata = std::string(static_cast<std::size_t>(i % 30), 'X');
            airport.reservedStand = i % 3 == 0 ? "V12" : "";
            gf_setCurrentAirport(airport);
        }
        done = true;
    });
    int paints = 0;
    while (!done.load() || paints < 5) {
        ASSERT_FALSE(paint().empty());
        ++paints;
    }
    writer.join();
    gf_setCurrentAirport(CurrentAirport{});
}

}  // namespace
