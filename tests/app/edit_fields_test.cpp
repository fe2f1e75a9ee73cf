// The edit fields: text typed into the headless window and committed with Enter.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "airports/airports.h"
#include "airports/parking.h"
#include "app/edit_fields.h"
#include "app/run_services.h"
#include "app/window_proc.h"
#include "shell/run_flags.h"
#include "tests/app/commands_fixture.h"

namespace {

using EditFields = CommandsFixture;

TEST_F(EditFields, NumberFieldsClampSaveAndAnswer) {
    struct Row {
        GuiIntParameter* field;
        std::int32_t start;
        const char* typed;
        std::int32_t value;
        const char* fieldText;
        const char* note;
        std::optional<std::string> saved;  // none: not saved
    } rows[] = {
        {&MAX_LIVE, -1, "250", 250, "250", "The new MAX_LIVE is 250", "250"},
        {&MAX_LIVE, -1, "999", 300, "300", "The new MAX_LIVE is 300", "300"},
        {&MAX_LIVE, 250, "250", 250, "250", "Same MAX_LIVE value 250, no changes made", std::nullopt},
        {&parking_percentage, 30, "", 0, "0", "The new parking_percentage is 0", std::nullopt},
        {&parking_percentage, 30, "45", 45, "45", "The new parking_percentage is 45", std::nullopt},
        {&AIRPORT_RANGE, 12, "", 20, "20", "The new AIRPORT_RANGE is 20", "20"},
        {&LATERAL_RANGE, 40, "12abc", 12, "12", "The new LATERAL_RANGE is 12", "12"},
        {&AIRPORT_HEIGHT, 18000, "  -5", 2000, "2000", "The new AIRPORT_HEIGHT is 2000", "2000"},
        {&AUTO_RANGE_ABOVE_HEIGHT, 49000, "+20000", 20000, "20000", "The new AUTO_RANGE_ABOVE_HEIGHT is 20000",
         "20000"},
        {&AI_PACKAGE_ORDER, 1, "abc", 1, "abc", "invalid input: abc", std::nullopt},
        {&CUSTOM_MAX_PARK, -1, "99999999999", -1, "99999999999", "", std::nullopt},
        {&MATCHING_DEPTH, 4, "2", 2, "2", "The new MATCHING_DEPTH is 2", "2"},
    };
    for (const Row& row : rows) {
        forgetSavedSettings();
        row.field->value.store(row.start);
        enter(row.field->controlId, row.typed);
        EXPECT_EQ(row.field->value.load(), row.value) << row.field->name << " " << row.typed;
        EXPECT_EQ(window->text(row.field->controlId), row.fieldText) << row.field->name << " " << row.typed;
        EXPECT_EQ(status(), row.note) << row.field->name << " " << row.typed;
        EXPECT_EQ(saved(row.field->name), row.saved) << row.field->name << " " << row.typed;
    }
    const std::string log = logText();
    EXPECT_NE(log.find("Same MAX_LIVE value 250, no changes made"), std::string::npos);
    EXPECT_EQ(log.find("The new MAX_LIVE"), std::string::npos) << "a new value is not logged";
    EXPECT_NE(log.find("invalid input: abc"), std::string::npos);
    EXPECT_NE(log.find("===> lf_processTbInt: "), std::string::npos) << log;
    EXPECT_NE(log.find(", h=99999999999"), std::string::npos);
}

TEST_F(EditFields, NumberFieldFollowUps) {
    enter(LATERAL_RANGE.controlId, "150");
    EXPECT_EQ(LATERAL_RANGE.value.load(), 100);
    EXPECT_DOUBLE_EQ(rangeNm.load(), 100.0);
    EXPECT_EQ(rangeMetres.load(), 195200);
    EXPECT_EQ(manualLateralRange.load(), 100);
    EXPECT_EQ(airportFileChanged.load(), 1);

    // MAX_LIVE away from a park airport is the general maximum; the run thread enforces it.
    airportFileChanged.store(0);
    enter(MAX_LIVE.controlId, "50");
    EXPECT_EQ(generalMaxLive.load(), 50);
    EXPECT_EQ(airportFileChanged.load(), 0);
    EXPECT_TRUE(gf_windowRequestsPending());
    gf_serveWindowRequests();
    EXPECT_FALSE(gf_windowRequestsPending());
    parkingActive.store(1);
    enter(MAX_LIVE.controlId, "60");
    EXPECT_EQ(generalMaxLive.load(), 50) << "at a park airport the airport file keeps it";
    EXPECT_EQ(airportFileChanged.load(), 1);

    // Parking figures ask for a renewal.
    for (GuiIntParameter* field : {&CUSTOM_MAX_PARK, &parking_percentage}) {
        renewalRequested.store(0);
        enter(field->controlId, "12");
        EXPECT_EQ(renewalRequested.load(), 1) << field->name;
    }
    parkingActive.store(0);

    // A deeper matching forgets the keys that found no livery.
    MATCHING_DEPTH.value.store(2);
    enter(MATCHING_DEPTH.controlId, "3");
    EXPECT_EQ(matchListClearRequested.exchange(0), 1);
    enter(MATCHING_DEPTH.controlId, "1");
    EXPECT_EQ(matchListClearRequested.load(), 0);
    EXPECT_EQ(stopRequested.load(), 0);
}

TEST_F(EditFields, TimeShiftFieldsAreLimitedToFourWeeksAndReachTheReaders) {
    enter(TIME_SHIFT_DAYS.controlId, "28");
    enter(TIME_SHIFT_HOURS.controlId, "23");
    enter(TIME_SHIFT_MINS.controlId, "59");  // 41759 minutes
    EXPECT_EQ(window->text(TIME_SHIFT_DAYS.controlId), "28");
    EXPECT_EQ(window->text(TIME_SHIFT_HOURS.controlId), "0");
    EXPECT_EQ(window->text(TIME_SHIFT_MINS.controlId), "0");
    EXPECT_EQ(saved("TIME_SHIFT_DAYS"), "28");
    EXPECT_EQ(saved("TIME_SHIFT_HOURS"), "0");
    EXPECT_EQ(saved("TIME_SHIFT_MINS"), "0");
    EXPECT_EQ(trafficReader.toffset.load(), 40320);
    EXPECT_EQ(weatherReader.toffset.load(), 40320);
    EXPECT_EQ(timeShifted.load(), 1);
    EXPECT_EQ(status(), "Time shifted 40320 minutes");

    // 1 h 30 min, then back to 0.
    enter(TIME_SHIFT_DAYS.controlId, "0");
    enter(TIME_SHIFT_HOURS.controlId, "1");
    enter(TIME_SHIFT_MINS.controlId, "30");
    EXPECT_EQ(trafficReader.toffset.load(), 90);
    EXPECT_EQ(status(), "Time shifted 90 minutes");
    enter(TIME_SHIFT_MINS.controlId, "0");
    enter(TIME_SHIFT_HOURS.controlId, "");
    EXPECT_EQ(status(), "Time shift = 0");
    EXPECT_EQ(timeShifted.load(), 0);
    EXPECT_EQ(weatherReader.toffset.load(), 0);
    for (const GuiIntParameter* f : {&TIME_SHIFT_DAYS, &TIME_SHIFT_HOURS, &TIME_SHIFT_MINS})
        EXPECT_EQ(window->text(f->controlId), "") << f->name;

    // Quiet (the start of a run): no note and nothing leaves the simulator.
    gf_resetWindowRequests();
    markStatus();
    gf_setTimeShift(1501, true);
    EXPECT_EQ(window->text(TIME_SHIFT_DAYS.controlId), "1");
    EXPECT_EQ(window->text(TIME_SHIFT_HOURS.controlId), "1");
    EXPECT_EQ(window->text(TIME_SHIFT_MINS.controlId), "1");
    EXPECT_EQ(trafficReader.toffset.load(), 1501);
    EXPECT_EQ(status(), "(earlier note)");
    EXPECT_FALSE(gf_windowRequestsPending());
    gf_setTimeShift(-5, false);
    EXPECT_EQ(trafficReader.toffset.load(), 0) << "no shift into the future";

    const std::string log = logText();
    EXPECT_NE(log.find("Time shifting is limited to 4 weeks"), std::string::npos);
    EXPECT_NE(log.find("Time shifted 90 minutes"), std::string::npos);
}

// The aircraft of the run leave the simulator on the run thread's next step, the static ones too, and
// only then is the renewal asked for.
TEST_F(EditFields, TimeShiftTakesEveryAircraftOutOnTheRunThread) {
    liveList.push_back(liveAircraft(0xA00001, SimState::Active, 301, MovementPhase::Flying));
    liveList.push_back(liveAircraft(0xA00002, SimState::Adding2Sim, 0, MovementPhase::Birth));  // still queued
    liveList.push_back(liveAircraft(0xA00003, SimState::Adding2Sim, 0, MovementPhase::Birth));  // sent
    liveList.push_back(liveAircraft(0xA00004, SimState::Active, 304, MovementPhase::Parked));
    SpawnOrder queued;
    queued.id = 0xA00002;
    queued.callsign = "L" + std::to_string(0xA00002);
    liveCreateFifo.push_back(queued);
    staticList.push_back(staticAircraft(7, SimState::Active, 107));

    enter(TIME_SHIFT_HOURS.controlId, "2");
    EXPECT_EQ(trafficReader.toffset.load(), 120);
    EXPECT_EQ(liveList.size(), 4u) << "nothing touched on the GUI thread";
    EXPECT_TRUE(removeFifo.empty());
    EXPECT_EQ(renewalRequested.load(), 0);

    gf_serveWindowRequests();
    ASSERT_EQ(liveList.size(), 3u) << "the queued creation is dropped";
    EXPECT_EQ(liveList[0].id, 0xA00001u) << "the others keep their order";
    EXPECT_EQ(liveList[1].id, 0xA00003u);
    EXPECT_EQ(liveList[1].removeWhenCreated, 1) << "removed as soon as it exists";
    EXPECT_TRUE(liveCreateFifo.empty());
    EXPECT_EQ(std::vector<std::uint32_t>(removeFifo.begin(), removeFifo.end()),
              (std::vector<std::uint32_t>{301, 304, 107}));
    EXPECT_EQ(renewalRequested.load(), 1);
}

TEST_F(EditFields, MaxFitIsTakenOnlyWhileParkingRunsAndRejectsWhatIsNoNumber) {
    enter(MAX_FIT_FL.controlId, "3.3");
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 24.0f) << "not taken without parking";
    EXPECT_EQ(saved("MAX_FIT"), std::nullopt);
    EXPECT_EQ(status(), "");

    parkingActive.store(1);
    enter(MAX_FIT_FL.controlId, "3.3");
    EXPECT_EQ(MAX_FIT.value.load(), 6);
    EXPECT_EQ(saved("MAX_FIT"), "6");
    EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 3.5f);
    EXPECT_EQ(window->text(MAX_FIT_FL.controlId), "3.5");
    EXPECT_EQ(status(), "Vexa will respond in 15 seconds ...") << "the renewal answers last";
    EXPECT_EQ(renewalRequested.load(), 1);

    renewalRequested.store(0);
    enter(MAX_FIT_FL.controlId, "3.5");
    EXPECT_EQ(status(), "Same MAX_FIT_FL value 3.5, no changes made");
    EXPECT_EQ(renewalRequested.load(), 0);

    for (const char* bad : {"nan", "inf", "-INFINITY", "1e40", "abc"}) {
        markStatus();
        enter(MAX_FIT_FL.controlId, bad);
        EXPECT_FLOAT_EQ(MAX_FIT_FL.value.load(), 3.5f) << bad;
        EXPECT_EQ(MAX_FIT.value.load(), 6) << bad;
        EXPECT_EQ(status(), "") << bad << ": logged only";
        EXPECT_EQ(renewalRequested.load(), 0) << bad;
    }
    enter(MAX_FIT_FL.controlId, "0.1");
    EXPECT_EQ(MAX_FIT.value.load(), 0);
    EXPECT_EQ(window->text(MAX_FIT_FL.controlId), "0.5");
    enter(MAX_FIT_FL.controlId, "");
    EXPECT_EQ(MAX_FIT.value.load(), 47);
    EXPECT_EQ(saved("MAX_FIT"), "47");
    EXPECT_EQ(window->text(MAX_FIT_FL.controlId), "24");
    const std::string log = logText();
    EXPECT_NE(log.find("===> lf_processTbFloat: not a finite number, h=nan"), std::string::npos) << log;
    EXPECT_NE(log.find(", h=-INFINITY"), std::string::npos);
    EXPECT_NE(log.find(", h=1e40"), std::string::npos);
    EXPECT_NE(log.find(", h=abc"), std::string::npos);
}

TEST_F(EditFields, BlockCallsignCountsCharacters) {
    struct Row {
        const char* typed;
        const char* value;
        const char* note;
        bool unblockEnabled;
    } rows[] = {
        {"DLH", "", "callsign \"DLH\" is not valid", false},
        {"dlh4a", "DLH4A", "live aircraft with callsign \"DLH4A\" will be blocked", true},
        {"DLH4A", "DLH4A", "callsign \"DLH4A\" was already set ...", true},
        {"DLH123456", "DLH4A", "callsign \"DLH123456\" is not valid", true},
        {"\xc3\x84\xc3\x84\xc3\x84", "DLH4A", "callsign \"\xc3\x84\xc3\x84\xc3\x84\" is not valid",
         true},  // 3 of 6 bytes
        {"\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84",
         "\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84",
         "live aircraft with callsign \"\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\" will be blocked",
         true},
        {"", "",
         "no more blocking of live aircraft \"\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\"",
         false},
        {"", "", "", false},
    };
    for (const Row& row : rows) {
        blockedCallsignChanged.store(0);
        const std::string before = BLOCK_CALLSIGN.value();
        enter(BLOCK_CALLSIGN.controlId, row.typed);
        EXPECT_EQ(BLOCK_CALLSIGN.value(), row.value) << row.typed;
        EXPECT_EQ(window->text(BLOCK_CALLSIGN.controlId), row.value) << row.typed;
        EXPECT_EQ(status(), row.note) << row.typed;
        EXPECT_EQ(window->enabled(kUnblockButtonId), row.unblockEnabled) << row.typed;
        EXPECT_EQ(blockedCallsignChanged.load(), before != row.value ? 1 : 0) << row.typed;
        if (before != row.value) {
            EXPECT_EQ(saved("BLOCK_CALLSIGN"), row.value);
        }
    }
    const std::string log = logText();
    EXPECT_NE(log.find("callsign \"DLH\" is not valid"), std::string::npos);
    EXPECT_NE(log.find("live aircraft with callsign \"DLH4A\" will be blocked"), std::string::npos);
}

TEST_F(EditFields, AFailingTextCommitIsLoggedAndShownAndTheWindowGoesOn) {
    BLOCK_CALLSIGN.save("DLH4");
    enter(BLOCK_CALLSIGN.controlId, "\xff\xfe\xfd\xfc");
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "DLH4");
    EXPECT_EQ(status().rfind("BLOCK_CALLSIGN: ", 0), 0u) << status();
    enter(BLOCK_CALLSIGN.controlId, "dlh5");
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "DLH5") << "the next commit works";
    EXPECT_NE(logText().find("===> BLOCK_CALLSIGN: "), std::string::npos);
}

TEST_F(EditFields, CallsignForTheObjectIdIsNeitherLimitedNorSaved) {
    enter(CALLSIGN_2_OBJECTID.controlId, "dlh4abcdefghij");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "DLH4ABCDEFGHIJ");
    EXPECT_EQ(window->text(CALLSIGN_2_OBJECTID.controlId), "DLH4ABCDEFGHIJ");
    EXPECT_EQ(objectIdCallsignChanged.exchange(0), 1);
    EXPECT_EQ(saved("CALLSIGN_2_OBJECTID"), std::nullopt);
    enter(CALLSIGN_2_OBJECTID.controlId, "");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.value(), "");
    EXPECT_EQ(objectIdCallsignChanged.load(), 0);
}

TEST_F(EditFields, DestinationIsLookedUpAndJoinsTheParkAirportsOnTheRunThread) {
    airportList = {Airport{"EDDF", "FRA", 50.03, 8.57, 364.0}, Airport{"LOWW", "VIE", 48.11, 16.57, 600.0}};
    struct Row {
        const char* typed;
        const char* value;
        const char* note;
        bool rereadEnabled;
    } rows[] = {
        {"eddf", "EDDF", "New destination: EDDF", false},
        {"EDDF", "EDDF", "destination \"EDDF\" was already set ...", false},
        {"EDDFX", "EDDF", "destination \"EDDFX\" is not valid", false},
        {"zzzz", "EDDF", "destination \"ZZZZ\" is unknown ...", false},
        {"\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4", "EDDF", "destination \"\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\" is unknown ...",
         false},  // 4 of 8 bytes
        {"", "", "destination set to empty", true},
    };
    gf_enableControl(kRereadButtonId, true);
    for (const Row& row : rows) {
        enter(DESTINATION.controlId, row.typed);
        EXPECT_EQ(DESTINATION.value(), row.value) << row.typed;
        EXPECT_EQ(status(), row.note) << row.typed;
        EXPECT_EQ(window->enabled(kRereadButtonId), row.rereadEnabled) << row.typed;
    }
    EXPECT_EQ(window->text(DESTINATION.controlId), "");
    EXPECT_EQ(saved("DESTINATION"), "EDDF") << "the empty destination is not saved";
    EXPECT_TRUE(gf_windowRequestsPending()) << "the park airport is added by the run thread";
    gf_serveWindowRequests();
    EXPECT_FALSE(gf_windowRequestsPending());

    // The run start hands the saved destination over in the same way.
    gf_runServices().prep.setDestination("LOWW");
    EXPECT_EQ(DESTINATION.value(), "LOWW");
    EXPECT_EQ(window->text(DESTINATION.controlId), "LOWW");
    EXPECT_TRUE(gf_windowRequestsPending());
    const std::string log = logText();
    for (const Row& row : rows) EXPECT_NE(log.find(row.note), std::string::npos) << row.note;
}

class InstallPath : public CommandsFixture {
protected:
    void SetUp() override {
        CommandsFixture::SetUp();
        namespace fs = std::filesystem;
        for (const char* dir : {"sim/Community", "Community Games/sim24/Community", "empty"})
            fs::create_directories(folder / dir);
        std::ofstream(folder / "file.txt") << "x";
    }
};

TEST_F(InstallPath, TheParentOfTheLastCommunityFolderIsStored) {
    const std::string root = folder.string();
    struct Row {
        std::string typed;
        std::optional<std::string> stored;  // none: the setting is not changed
        std::string note;
    } rows[] = {
        {root + "/sim/Community", root + "/sim", "Community path found, Vexa will restart ..."},
        {root + "/sim/Community/", root + "/sim", "Community path found, Vexa will restart ..."},
        {root + "/sim", root + "/sim", "Community path found, Vexa will restart ..."},
        {root + "/sim/", root + "/sim", "Community path found, Vexa will restart ..."},
        {root + "/Community Games/sim24/Community", root + "/Community Games/sim24",
         "Community path found, Vexa will restart ..."},
        {root + "/missing", std::nullopt, "This install path does not exist: " + root + "/missing"},
        {root + "/empty", std::nullopt, "This path exists but is not a path to Community ..."},
    };
    for (const Row& row : rows) {
        gf_resetRunFlags();
        forgetSavedSettings();
        MSFS_INSTALL_PATH.set("");
        gf_showError("150: No install path detected");
        enter(ALL_INSTALL_PATH.controlId, row.typed);
        EXPECT_EQ(gf_statusSnapshot().heldErrorText, "") << row.typed;
        EXPECT_EQ(status(), row.note) << row.typed;
        EXPECT_EQ(saved("MSFS_INSTALL_PATH"), row.stored) << row.typed;
        EXPECT_EQ(stopRequested.load(), row.stored ? 1 : 0) << row.typed;
        if (row.stored) {
            EXPECT_EQ(exitReason.load(), EXIT_NEW_SETTINGS);
            EXPECT_EQ(restartDelaySec.load(), 3u);
        }
    }
    // The 2024 simulator has its own setting; an empty text empties it.
    gf_resetRunFlags();
    MSFS_2020.value.store(false);
    enter(ALL_INSTALL_PATH.controlId, root + "/sim");
    EXPECT_EQ(saved("MSFS_2024_INSTALL_PATH"), root + "/sim");
    gf_resetRunFlags();
    enter(ALL_INSTALL_PATH.controlId, "");
    EXPECT_EQ(saved("MSFS_2024_INSTALL_PATH"), "");
    EXPECT_EQ(stopRequested.load(), 0);
}

TEST_F(InstallPath, AFileSystemErrorIsShownAtTheField) {
    const std::string typed = (folder / "file.txt" / "Community").string();
    enter(ALL_INSTALL_PATH.controlId, typed);
    EXPECT_EQ(status().rfind("ALL_INSTALL_PATH: ", 0), 0u) << status();
    EXPECT_NE(status().find("exists"), std::string::npos) << status();
    EXPECT_EQ(saved("MSFS_INSTALL_PATH"), std::nullopt);
    EXPECT_EQ(stopRequested.load(), 0);
    EXPECT_NE(logText().find("===> ALL_INSTALL_PATH: "), std::string::npos);
}

TEST_F(EditFields, RunStartServicesSetTheTimeShift) {
    RunServices& s = gf_runServices();
    s.prep.splitTimeShift(1500);
    EXPECT_EQ(window->text(TIME_SHIFT_DAYS.controlId), "1");
    EXPECT_EQ(window->text(TIME_SHIFT_HOURS.controlId), "1");
    EXPECT_EQ(window->text(TIME_SHIFT_MINS.controlId), "0");
    s.prep.resetTimeShiftFields();
    EXPECT_EQ(window->text(TIME_SHIFT_DAYS.controlId), "");
    s.setTimeShift(60, true);
    EXPECT_EQ(weatherReader.toffset.load(), 60);
    EXPECT_EQ(timeShifted.load(), 1);
}

TEST_F(EditFields, AnIdThatIsNoFieldIsNotCommitted) {
    EXPECT_FALSE(gf_commitField(LOG.controlId));
    EXPECT_FALSE(gf_commitField(kRereadButtonId));
    EXPECT_TRUE(gf_commitField(DESTINATION.controlId));
}

}  // namespace
