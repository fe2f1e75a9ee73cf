#include "app/run_preparation.h"

#include "app/entry.h"
#include "foundation/parameters_file.h"
#include "run_fixture.h"
#include "shell/range.h"

#include <fmt/format.h>

namespace {

namespace fs = std::filesystem;

class RunPreparation : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        databaseLoaded = false;
        fs::create_directories("docs");
        fs::create_directories("output");
        std::ofstream("output/LiveriesScanned.xml") << "<x/>";
        std::ofstream("RealTraffic.lic") << "{}";
    }

    // parameters.xml with the given entries, as the previous run left it.
    void writeSettings(const std::vector<std::pair<std::string, std::string>>& entries) {
        fs::create_directories(root_ / "appdata" / "Vexa");
        std::ofstream out(root_ / "appdata" / "Vexa" / "parameters.xml");
        out << "<?xml version=\"1.0\"?>\n<parameters>\n";
        // The 2024 simulator unless the entries say otherwise.
        const bool modeGiven =
            std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.first == "MSFS_2020"; });
        if (!modeGiven) out << "  <parameter name=\"MSFS_2020\" value=\"false\" />\n";
        for (const auto& [key, value] : entries)
            out << "  <parameter name=\"" << key << "\" value=\"" << value << "\" />\n";
        out << "</parameters>\n";
    }

    std::int64_t now() { return clock_.utcNow().time_since_epoch() / std::chrono::seconds(1); }

    bool statusShown(const std::string& text) {
        return std::find(calls_.statusTexts.begin(), calls_.statusTexts.end(), text) != calls_.statusTexts.end();
    }
};

TEST_F(RunPreparation, MustRunFromTheProgramFolder) {
    fs::remove_all("docs");
    try {
        lf_prepareRun();
        FAIL() << "no user error";
    } catch (const ovk::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "41: Vexa must be run from the Vexa folder!");
    }
}

TEST_F(RunPreparation, PauseBetweenLogins) {
    struct Row {
        std::int64_t lastVisitAgo;
        double hold;
    };
    // A visit in the future (a clock set back) holds no longer than 2 seconds.
    const Row rows[] = {{1, 1.0}, {0, 2.0}, {2, 0.0}, {100, 0.0}, {-100000, 2.0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lastVisitAgo);
        calls_.clear();
        writeSettings({{"PROGRAM_VERSION", "10.10.10"},
                       {"MSFS_2024_INSTALL_PATH", "/sim/packages"},
                       {"LAST_EPOCH_TIME", std::to_string(now() - row.lastVisitAgo)}});
        const auto start = clock_.steadyNow();
        EXPECT_TRUE(lf_prepareRun());
        EXPECT_NEAR(elapsedSeconds(start), row.hold, 0.01);
        const std::string text = fmt::format("Holding for {} seconds... (RT API cannnot be revisited within 2 seconds)",
                                             static_cast<int>(row.hold));
        EXPECT_EQ(statusShown(text), row.hold > 0);
    }
}

TEST_F(RunPreparation, OrderOfThePreparation) {
    writeSettings({{"PROGRAM_VERSION", "10.10.10"}, {"MSFS_2024_INSTALL_PATH", "/sim/packages"}});
    EXPECT_TRUE(lf_prepareRun());
    const std::vector<std::string> order = {"findRtCredential",       "checkNewVersion",   "updateAddonPackage",
                                            "readDatabase",           "readAirports",      "scanLiveries",
                                            "createFlightPlanFolder", "readMyParkAirports"};
    int last = -1;
    for (const std::string& name : order) {
        const int at = calls_.indexOf(name);
        EXPECT_GT(at, last) << name;
        last = at;
    }
    for (const char* folder :
         {"output/info", "output/errors", "airports/learned/stock", "airports/learned/simaddon",
          "airports/learned/thirdparty", "airports/ve_zuzuvado", "airports/my_thirdparty", "input/my_regcodes"})
        EXPECT_TRUE(fs::is_directory(folder)) << folder;
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "/sim/packages");
    EXPECT_EQ(PROGRAM_INSTALL_PATH.value(), fs::current_path().string());
    EXPECT_EQ(manualLateralRange.load(), LATERAL_RANGE.value.load());

    // The reference database is read once per process.
    calls_.clear();
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_FALSE(calls_.has("readDatabase"));
    EXPECT_TRUE(calls_.has("readAirports"));
}

TEST_F(RunPreparation, RestartSkipsTheUpdates) {
    writeSettings({{"PROGRAM_VERSION", "10.10.10"}, {"MSFS_2024_INSTALL_PATH", "/sim/packages"}});
    restartPending.store(1);
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_FALSE(calls_.has("checkNewVersion"));
    EXPECT_FALSE(calls_.has("updateAddonPackage"));

    // In 2020 mode there is no add-on package to update.
    calls_.clear();
    restartPending.store(0);
    writeSettings({{"PROGRAM_VERSION", "10.10.10"}, {"MSFS_2020", "true"}, {"MSFS_INSTALL_PATH", "/sim/2020"}});
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_TRUE(calls_.has("checkNewVersion"));
    EXPECT_FALSE(calls_.has("updateAddonPackage"));
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "/sim/2020");
}

TEST_F(RunPreparation, InstallPathWithCommunityIsTrimmed) {
    writeSettings({{"PROGRAM_VERSION", "10.10.10"}, {"MSFS_2024_INSTALL_PATH", "D:\\MSFS\\Packages\\Community"}});
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), "D:\\MSFS\\Packages");
    EXPECT_EQ(ALL_INSTALL_PATH.value(), "D:\\MSFS\\Packages");
}

TEST_F(RunPreparation, InstallPathDetectedOrUserError150) {
    writeSettings({{"PROGRAM_VERSION", "10.10.10"}});
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_EQ(MSFS_2024_INSTALL_PATH.value(), "/sim/packages");  // detected and stored

    writeSettings({{"PROGRAM_VERSION", "10.10.10"}});
    gf_runServices().prep.detectInstallPath = [] { return std::string(); };
    try {
        lf_prepareRun();
        FAIL() << "no user error";
    } catch (const ovk::UserErrorException& e) {
        EXPECT_STREQ(e.what(),
                     "150: No install path detected, type full path to your Community folder above, and press Enter");
    }
}

TEST_F(RunPreparation, FirstStartStoresTheVersionAndBringsTheCredential) {
    fs::remove("RealTraffic.lic");
    writeSettings({{"MSFS_2024_INSTALL_PATH", "/sim/packages"}});
    const fs::path theirs = root_ / "appdata" / "InsideSystems" / "RealTraffic.lic";
    fs::create_directories(theirs.parent_path());
    std::ofstream(theirs) << "{\"License\":\"abcd\"}";
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_EQ(PROGRAM_VERSION.value(), "10.10.10");
    EXPECT_TRUE(fs::exists("RealTraffic.lic"));
    EXPECT_NE(logText().find("copied your \"" + theirs.string() + "\" to here"), std::string::npos);
    EXPECT_FALSE(calls_.has("createRtCredentialFile"));

    // Without their copy the template is made.
    fs::remove("RealTraffic.lic");
    fs::remove(theirs);
    writeSettings({{"MSFS_2024_INSTALL_PATH", "/sim/packages"}});
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_TRUE(calls_.has("createRtCredentialFile"));
}

TEST_F(RunPreparation, NewerBuildRescansAndDeletesTheInstaller) {
    writeSettings({{"PROGRAM_VERSION", "1.2.3"}, {"MSFS_2024_INSTALL_PATH", "/sim/packages"}});
    std::ofstream("install_new_version.exe") << "x";
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_NE(logText().find("This is a version update from 1.2.3 -> 10.10.10"), std::string::npos);
    EXPECT_FALSE(fs::exists("install_new_version.exe"));
    EXPECT_TRUE(SCAN_LIVERIES.value.load());
    EXPECT_TRUE(SCAN_AIRPORTS.value.load());
    EXPECT_TRUE(calls_.has("scanAddonAirports"));
    EXPECT_EQ(PROGRAM_VERSION.value(), "10.10.10");
}

TEST_F(RunPreparation, MissingLiveryCacheAsksForAScan) {
    writeSettings(
        {{"PROGRAM_VERSION", "10.10.10"}, {"MSFS_2024_INSTALL_PATH", "/sim/packages"}, {"SCAN_LIVERIES", "false"}});
    fs::remove("output/LiveriesScanned.xml");
    EXPECT_TRUE(lf_prepareRun());
    EXPECT_TRUE(SCAN_LIVERIES.value.load());
    EXPECT_TRUE(statusShown(
        fmt::format("File {} is gone, rescan liveries", (fs::path("output") / "LiveriesScanned.xml").string())));
}

TEST_F(RunPreparation, StopDuringThePreparationSkipsTheRun) {
    writeSettings({{"PROGRAM_VERSION", "10.10.10"}, {"MSFS_2024_INSTALL_PATH", "/sim/packages"}});
    gf_runServices().prep.scanLiveries = [] { gf_requestStop(EXIT_NEW_SETTINGS, 2); };
    EXPECT_FALSE(lf_prepareRun());
    EXPECT_FALSE(calls_.has("readMyParkAirports"));
    EXPECT_EQ(exitReason.load(), EXIT_NEW_SETTINGS);

    // A stop after the pause marks the run as closed by the user.
    resetRunState();
    calls_.clear();
    gf_runServices().prep.scanLiveries = [] {};
    gf_runServices().prep.setAddonAirportCounts = [](std::uint64_t, std::uint64_t) {
        gf_requestStop(EXIT_NOT_YET_SET, 0);
    };
    EXPECT_FALSE(lf_prepareRun());
    EXPECT_EQ(userClosed.load(), 1);
    EXPECT_EQ(exitReason.load(), EXIT_USER_CLOSED_SIM);
}

TEST_F(RunPreparation, RangeIsClamped) {
    gf_setRange(400);
    EXPECT_EQ(LATERAL_RANGE.value.load(), 100);
    EXPECT_EQ(rangeNm.load(), 100.0);
    EXPECT_EQ(rangeMetres.load(), 195200);
    gf_setRange(10);
    EXPECT_EQ(rangeMetres.load(), 28520);
    gf_setRange(0);
    EXPECT_EQ(LATERAL_RANGE.value.load(), 2);
}

TEST_F(RunPreparation, RunThreadTurnsAUserErrorIntoAHeldError) {
    fs::remove_all("docs");
    gf_requestUserClose();  // the user closes the window that shows the error
    lf_runThread();
    EXPECT_TRUE(calls_.has("showError:41: Vexa must be run from the Vexa folder!"));
    ASSERT_EQ(calls_.posted.size(), 1u);
    EXPECT_EQ(calls_.posted[0], 0x8002u);
    EXPECT_NE(logText().find("Exiting: SYSTEM ERROR"), std::string::npos);
}

}  // namespace
