#include <gtest/gtest.h>

#include <fstream>

#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/window_proc.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "shell/command_flags.h"
#include "shell/display.h"
#include "shell/fields.h"
#include "shell/range.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"
#include "simlink/commands.h"
#include "tests/app/window_fixture.h"

namespace {

using WindowProc = WindowFixture;

TEST_F(WindowProc, CreatesEveryControlOfTheSettingsPanel) {
    auto controls = window->controls();
    ASSERT_EQ(controls.size(), 47u);
    int boxes = 0, fields = 0, buttons = 0;
    for (const auto& c : controls) {
        switch (c.kind) {
        case ui::ControlKind::checkBox:
            ++boxes;
            EXPECT_TRUE(c.enabled) << c.id;
            EXPECT_EQ(c.rect.width(), 12);
            EXPECT_EQ(c.rect.height(), 12);
            break;
        case ui::ControlKind::editField:
            ++fields;
            EXPECT_FALSE(c.enabled) << c.id;
            EXPECT_EQ(c.rect.height(), 16);
            EXPECT_EQ(c.text, "");
            break;
        case ui::ControlKind::pushButton:
            ++buttons;
            EXPECT_FALSE(c.enabled) << c.id;
            EXPECT_EQ(c.rect.height(), 20);
            break;
        }
    }
    EXPECT_EQ(boxes, 27);
    EXPECT_EQ(fields, 17);
    EXPECT_EQ(buttons, 3);
    // Creation order and placement of a few.
    EXPECT_EQ(controls.front().id, MSFS_2020.controlId);
    EXPECT_EQ(controls.front().rect, (ui::Rect{5, 121, 17, 133}));
    EXPECT_EQ(controls[1].rect, (ui::Rect{111, 119, 1311, 135})) << "ALL_INSTALL_PATH runs past the edge";
    EXPECT_EQ(controls.back().caption, "Flush static");
    EXPECT_EQ(controls.back().rect, (ui::Rect{758, 369, 848, 389}));
    EXPECT_EQ(window->control(kUnblockButtonId).rect, (ui::Rect{323, 257, 393, 277}));
    EXPECT_EQ(window->control(MAX_FIT_FL.controlId).rect, (ui::Rect{566, 371, 600, 387}));
    EXPECT_FALSE(window->hasControl(MAX_FIT.controlId)) << "MAX_FIT has no control";
    // Check marks follow the settings.
    EXPECT_TRUE(window->checked(MSFS_2020.controlId));
    EXPECT_FALSE(window->checked(WEEK.controlId));
    EXPECT_TRUE(window->shown());
    EXPECT_EQ(window->title(), "Vexa");
}

// Every control in creation order: id, kind, x, row and width (check boxes sit 2 below their row).
TEST_F(WindowProc, ControlTableInCreationOrder) {
    using K = ui::ControlKind;
    constexpr K box = K::checkBox, field = K::editField, button = K::pushButton;
    struct Row {
        int id;
        K kind;
        int x, row, width;
        const char* caption;
    } table[] = {
        {32790, box, 5, 119, 12, ""},
        {32788, field, 111, 119, 1200, ""},
        {32797, box, 5, 147, 12, ""},
        {32798, box, 217, 147, 12, ""},
        {32800, field, 368, 147, 24, ""},
        {32799, box, 430, 147, 12, ""},
        {32801, box, 536, 147, 12, ""},
        {32779, box, 652, 147, 12, ""},
        {32771, box, 748, 147, 12, ""},
        {32802, box, 5, 175, 12, ""},
        {32778, box, 652, 175, 12, ""},
        {32777, box, 748, 175, 12, ""},
        {32808, field, 217, 203, 24, ""},
        {32809, box, 323, 203, 12, ""},
        {32810, box, 430, 203, 12, ""},
        {32811, box, 536, 203, 12, ""},
        {32773, box, 748, 203, 12, ""},
        {32818, field, 217, 231, 34, ""},
        {32819, box, 323, 231, 12, ""},
        {32820, field, 455, 231, 50, ""},
        {32822, box, 652, 203, 12, ""},
        {32859, field, 748, 259, 30, ""},
        {32834, box, 217, 287, 12, ""},
        {32833, box, 323, 287, 12, ""},
        {32835, box, 430, 287, 12, ""},
        {32862, box, 652, 231, 12, ""},
        {32860, field, 748, 231, 30, ""},
        {32828, field, 217, 259, 100, ""},
        {32829, button, 323, 257, 70, "Unblock"},
        {32774, field, 460, 259, 95, ""},
        {32863, box, 652, 287, 12, ""},
        {32861, field, 748, 287, 30, ""},
        {32865, field, 353, 315, 34, ""},
        {32821, field, 601, 315, 34, ""},
        {32840, field, 217, 343, 50, ""},
        {32841, field, 353, 343, 34, ""},
        {32842, field, 566, 343, 50, ""},
        {32856, box, 652, 315, 12, ""},
        {32852, box, 5, 371, 12, ""},
        {32854, box, 71, 371, 12, ""},
        {32851, box, 151, 371, 12, ""},
        {32848, field, 323, 371, 34, ""},
        {32850, box, 430, 371, 12, ""},
        {32855, field, 566, 371, 34, ""},
        {32857, box, 642, 371, 12, ""},
        {32838, button, 758, 341, 90, "Re-read"},
        {32858, button, 758, 369, 90, "Flush static"},
    };
    const auto controls = window->controls();
    ASSERT_EQ(controls.size(), std::size(table));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        const Row& r = table[i];
        const ui::ControlState& c = controls[i];
        EXPECT_EQ(c.id, r.id) << i;
        EXPECT_EQ(c.kind, r.kind) << r.id;
        const int top = r.kind == box ? r.row + 2 : r.row;
        const int height = r.kind == box ? 12 : r.kind == field ? 16 : 20;
        EXPECT_EQ(c.rect, (ui::Rect{r.x, top, r.x + r.width, top + height})) << r.id;
        EXPECT_EQ(c.caption, r.caption) << r.id;
        // Edit fields and check boxes take the ground of the settings panel.
        if (r.kind == button)
            EXPECT_FALSE(c.background) << r.id;
        else
            EXPECT_EQ(c.background, std::optional<ui::Color>(colour::panelBlue)) << r.id;
    }
}

TEST_F(WindowProc, StoredPositionAtALimitGoesBackToTheDefault) {
    struct Case {
        std::int32_t storedX, expectX;
    } cases[] = {{-30000, 400}, {30000, 400}, {-29999, -29999}, {29999, 29999}, {123, 123}};
    for (const auto& c : cases) {
        gf_destroyMainWindow();
        gf_resetSettings();
        MAIN_WINDOW_X.save(c.storedX);
        MAIN_WINDOW_Y.save(55);
        MAIN_WINDOW_X.value = 400;
        MAIN_WINDOW_Y.value = 20;
        ASSERT_TRUE(initInstance("Vexa", ui::Backend::headless));
        EXPECT_EQ(MAIN_WINDOW_X.value.load(), c.expectX) << c.storedX;
        EXPECT_EQ(gf_headlessWindow()->frame().left, c.expectX);
        EXPECT_EQ(gf_headlessWindow()->frame().top, 55);
        // What was put back is saved.
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(gf_parametersPath().c_str()));
        EXPECT_EQ(doc.select_node(gf_parameterXPath("MAIN_WINDOW_X").c_str()).node().attribute("value").as_int(),
                  c.expectX);
    }
}

TEST_F(WindowProc, CloseAsksTheRunToStopAndKeepsAnEarlierReason) {
    window->close();
    EXPECT_EQ(gf_statusSnapshot().statusText, "Close window button clicked, closing Vexa ...");
    EXPECT_EQ(userClosed.load(), 1);
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_USER_CLOSED_SIM);
    EXPECT_FALSE(window->quitRequested()) << "the window stays until the run has closed down";

    gf_resetRunFlags();
    gf_requestStop(EXIT_NEW_FLIGHT, 0);
    window->close();
    EXPECT_EQ(exitReason.load(), EXIT_NEW_FLIGHT);
    EXPECT_EQ(userClosed.load(), 1);
}

TEST_F(WindowProc, PostedCloseActsAsTheCloseButton) {
    std::thread([] { gf_postWindowMessage(kMsgClose); }).join();
    EXPECT_EQ(userClosed.load(), 0) << "posted, handled on the GUI thread";
    window->pump();
    EXPECT_EQ(userClosed.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_USER_CLOSED_SIM);
}

TEST_F(WindowProc, StartRunMessageRunsTheStartAction) {
    int started = 0;
    gf_setStartRunAction([&] { ++started; });
    EXPECT_TRUE(gf_postWindowMessage(kMsgStartRun));
    EXPECT_EQ(started, 0) << "posted, not sent";
    EXPECT_EQ(window->pump(), 1);
    EXPECT_EQ(started, 1);
}

TEST_F(WindowProc, QuitMessageSavesThePositionWritesTheTimeClosesTheLogAndEnds) {
    openLog();
    window->moveTo(640, 300);
    EXPECT_TRUE(gf_postWindowMessage(kMsgQuit));
    window->pump();
    EXPECT_TRUE(window->quitRequested());
    EXPECT_EQ(window->quitCode(), 0);
    EXPECT_FALSE(gf_logIsOpen());
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), 640);
    EXPECT_EQ(MAIN_WINDOW_Y.value.load(), 300);
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(gf_parametersPath().c_str()));
    EXPECT_EQ(doc.select_node(gf_parameterXPath("MAIN_WINDOW_Y").c_str()).node().attribute("value").as_int(), 300);
    const std::string log = logText();
    EXPECT_NE(log.find(" (utc) "), std::string::npos) << "header";
    EXPECT_GE(std::count(log.begin(), log.end(), '\n'), 2) << "the time line after the header: " << log;
}

TEST_F(WindowProc, QuitWhileMinimisedKeepsThePreviousPosition) {
    window->moveTo(-32000, -32000);
    gf_postWindowMessage(kMsgQuit);
    window->pump();
    EXPECT_EQ(MAIN_WINDOW_X.value.load(), 400);
    EXPECT_EQ(MAIN_WINDOW_Y.value.load(), 20);
}

TEST_F(WindowProc, MessageLoopEndsAfterTheQuitMessageFromAnotherThread) {
    std::thread poster([] { gf_postWindowMessage(kMsgQuit); });
    EXPECT_EQ(gf_runMessageLoop(), 0);
    poster.join();
}

TEST_F(WindowProc, FieldWritersWriteTheValueInItsNormalForm) {
    LATERAL_RANGE.value = 25;
    gf_showIntField(LATERAL_RANGE);
    EXPECT_EQ(window->text(LATERAL_RANGE.controlId), "25");
    MAX_LIVE.value = -1;
    gf_showIntField(MAX_LIVE);
    EXPECT_EQ(window->text(MAX_LIVE.controlId), "-1");
    MAX_FIT_FL.value = 24.0f;
    gf_showFloatField(MAX_FIT_FL);
    EXPECT_EQ(window->text(MAX_FIT_FL.controlId), "24");
    MAX_FIT_FL.value = 3.5f;
    gf_showFloatField(MAX_FIT_FL);
    EXPECT_EQ(window->text(MAX_FIT_FL.controlId), "3.5");
    DESTINATION.set("EDDF");
    gf_showTextField(DESTINATION);
    EXPECT_EQ(window->text(DESTINATION.controlId), "EDDF");
    window->takeInvalidated();
    gf_clearField(DESTINATION.controlId);
    EXPECT_EQ(window->text(DESTINATION.controlId), "");
}

TEST_F(WindowProc, AnInvalidTextIsLoggedAndTheFieldKeepsItsText) {
    openLog();
    BLOCK_CALLSIGN.set("DLH4");
    gf_showTextField(BLOCK_CALLSIGN);
    BLOCK_CALLSIGN.set("D\xc3");
    gf_showTextField(BLOCK_CALLSIGN);
    EXPECT_EQ(window->text(BLOCK_CALLSIGN.controlId), "DLH4");
    EXPECT_NE(logText().find("===> "), std::string::npos);
}

TEST_F(WindowProc, LoaderShowsValuesThroughTheControlHooks) {
    gf_registerSettingsControlHooks();
    auto hooks = gf_settingsControlHooks();
    ASSERT_NE(hooks.setCheck, nullptr);
    hooks.setCheck(WEEK, true);
    hooks.showInt(AIRPORT_RANGE, 12);
    hooks.showText(DESTINATION, "LOWW");
    EXPECT_TRUE(window->checked(WEEK.controlId));
    EXPECT_EQ(window->text(AIRPORT_RANGE.controlId), "12");
    EXPECT_EQ(window->text(DESTINATION.controlId), "LOWW");
    gf_setSettingsControlHooks({});
}

TEST_F(WindowProc, CheckBoxToggleSavesTheSetting) {
    EXPECT_FALSE(gf_onParameterCheckBox(LOG.controlId, WEEK));
    EXPECT_TRUE(window->click(WEEK.controlId));
    EXPECT_TRUE(WEEK.value.load());
    EXPECT_TRUE(window->checked(WEEK.controlId));
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(gf_parametersPath().c_str()));
    EXPECT_STREQ(doc.select_node(gf_parameterXPath("WEEK").c_str()).node().attribute("value").as_string(), "true");
    EXPECT_TRUE(window->click(WEEK.controlId));
    EXPECT_FALSE(WEEK.value.load());
    EXPECT_FALSE(lf_HandleWMCOMMAND(LATERAL_RANGE.controlId)) << "an edit field's id is not a command";
}

TEST_F(WindowProc, ParkingControlsAroundPlanning) {
    for (int id : {static_cast<int>(CUSTOM_MAX_PARK.controlId), static_cast<int>(parking_percentage.controlId),
                   static_cast<int>(MAX_FIT_FL.controlId), kRereadButtonId, kFlushStaticButtonId})
        gf_enableControl(id, true);
    gf_showStatus("planning", false);
    gf_disableParkingControls();
    EXPECT_EQ(uiBusy.load(), 1);
    for (int id : {parking_percentage.controlId, INITIAL_LOAD_ONLY.controlId, PARK_FAKE.controlId, PARK_SOFT.controlId,
                   CUSTOM_MAX_PARK.controlId, RT_PARKTRAFFIC_ONLY.controlId, MAX_FIT_FL.controlId, WEEK.controlId})
        EXPECT_FALSE(window->enabled(id)) << id;
    EXPECT_FALSE(window->enabled(kRereadButtonId));
    EXPECT_FALSE(window->enabled(kFlushStaticButtonId));
    EXPECT_TRUE(window->enabled(LOG.controlId));
    EXPECT_EQ(gf_statusSnapshot().statusText, "");

    RT_PARKTRAFFIC_ONLY.value = true;
    gf_enableParkingControls();
    EXPECT_EQ(uiBusy.load(), 0);
    EXPECT_EQ(mainWindow.minutesToRenewal.load(), 19);
    EXPECT_TRUE(window->enabled(CUSTOM_MAX_PARK.controlId));
    EXPECT_TRUE(window->enabled(RT_PARKTRAFFIC_ONLY.controlId));
    EXPECT_TRUE(window->enabled(kRereadButtonId));
    EXPECT_FALSE(window->enabled(WEEK.controlId)) << "PT only keeps its dependants off";
    EXPECT_FALSE(window->enabled(parking_percentage.controlId));
    EXPECT_EQ(window->text(parking_percentage.controlId), "30");
    EXPECT_EQ(window->text(MAX_FIT_FL.controlId), "24");

    RT_PARKTRAFFIC_ONLY.value = false;
    gf_enablePtControls();
    EXPECT_TRUE(window->enabled(WEEK.controlId));
    EXPECT_TRUE(window->enabled(parking_percentage.controlId));
}

TEST_F(WindowProc, ParkingRenewalAnswersWithTheSecondsToTheNextStep) {
    gf_requestParkingRenewal();
    EXPECT_EQ(renewalRequested.load(), 0) << "no parking active";
    parkingActive = 1;
    struct Case {
        std::uint32_t counter;
        const char* text;
    } cases[] = {{30, "Vexa will respond in 15 seconds ..."},
                 {44, "Vexa will respond in 1 second ..."},
                 {0, "Vexa will respond in 15 seconds ..."},
                 {31, "Vexa will respond in 14 seconds ..."}};
    for (const auto& c : cases) {
        renewalRequested = 0;
        airportFileChanged = 0;
        secondCounter = c.counter;
        gf_requestParkingRenewal();
        EXPECT_EQ(gf_statusSnapshot().statusText, c.text);
        EXPECT_EQ(renewalRequested.load(), 1);
        EXPECT_EQ(airportFileChanged, 1);
    }
    renewalRequested = 0;
    INITIAL_LOAD_ONLY.value = true;
    gf_requestParkingRenewal();
    EXPECT_EQ(gf_statusSnapshot().statusText, "");
    EXPECT_EQ(renewalRequested.load(), 0);
    secondCounter = 0;
}

TEST_F(WindowProc, AutoRangeFromGroundHeightAndNearestParkAirport) {
    auto run = [&](bool ground, double altitude, double distanceNm) {
        userOnGround = ground ? 1 : 0;
        userState = {};
        userState.latitude = 50.0;
        userState.longitude = 8.0;
        userState.altitude = altitude;
        parkAirports.clear();
        if (distanceNm >= 0) {
            ParkAirportEntry e;
            e.icao = "EDDF";
            e.latitude = 50.0 + distanceNm / 60.0;  // one minute of latitude is one nautical mile
            e.longitude = 8.0;
            parkAirports.push_back(e);
        }
        gf_autoRange();
        return LATERAL_RANGE.value.load();
    };
    EXPECT_EQ(run(true, 30000, 8.4), 10);
    EXPECT_EQ(rangeMetres.load(), 28520);
    EXPECT_EQ(run(false, 49001, 8.4), 100);
    EXPECT_EQ(rangeMetres.load(), 195200);
    EXPECT_EQ(run(false, 20000, 8.4), 40) << "above AIRPORT_HEIGHT";
    EXPECT_EQ(rangeMetres.load(), 84080);
    EXPECT_EQ(run(false, 3000, 8.4), 11);
    EXPECT_EQ(rangeMetres.load(), 11 * 1852 + 10000);
    EXPECT_DOUBLE_EQ(rangeNm.load(), 11.0);
    EXPECT_EQ(window->text(LATERAL_RANGE.controlId), "11") << "changed: field written";
    EXPECT_EQ(run(false, 3000, 7.0), 10);
    EXPECT_EQ(run(false, 3000, 36.6), 40);
    EXPECT_EQ(run(false, 3000, 37.0), 40);
    EXPECT_EQ(run(false, 3000, -1), 40) << "no park airport: 10000 nm away";
    userOnGround = 0;
    userState = {};
    parkAirports.clear();
}

TEST_F(WindowProc, ReaderStoppedAndSimDisconnectedStopTheRunOnce) {
    openLog();
    gf_readerStopped("Traffic Reader", true);
    EXPECT_EQ(gf_statusSnapshot().statusText, "The Traffic Reader has stopped with an error");
    EXPECT_EQ(stopRequested.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_READER_ERROR);
    EXPECT_EQ(restartDelaySec.load(), 15u);
    gf_readerStopped("Weather Reader", false);
    EXPECT_EQ(exitReason.load(), EXIT_READER_ERROR) << "the first cause wins";
    gf_simDisconnected();
    EXPECT_EQ(exitReason.load(), EXIT_READER_ERROR);

    gf_resetRunFlags();
    gf_readerStopped("Weather Reader", false);
    EXPECT_EQ(exitReason.load(), EXIT_SYSTEM_ERROR);
    EXPECT_EQ(restartDelaySec.load(), 0u);

    gf_resetRunFlags();
    gf_simDisconnected();
    EXPECT_EQ(exitReason.load(), EXIT_SIM_WAS_CLOSED);
    EXPECT_EQ(stopRequested.load(), 1);
    gf_resetRunFlags();
    const std::string log = logText();
    EXPECT_NE(log.find("The Traffic Reader has stopped with an error"), std::string::npos);
    EXPECT_NE(log.find(" Flight Simulator no longer connected, Vexa will stop ..."), std::string::npos);
}

TEST_F(WindowProc, RemoveFilesInEmptiesTheFolder) {
    const auto dir = folder / "TBLO";
    gf_removeFilesIn(dir);  // missing: nothing happens
    std::filesystem::create_directories(dir / "sub");
    std::ofstream(dir / "a.xml") << "a";
    std::ofstream(dir / "sub" / "b.xml") << "b";
    gf_removeFilesIn(dir);
    EXPECT_TRUE(std::filesystem::exists(dir));
    EXPECT_TRUE(std::filesystem::is_empty(dir));
}

}  // namespace
