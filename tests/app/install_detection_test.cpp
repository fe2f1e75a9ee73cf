#include <gtest/gtest.h>

#include "app/install_detection.h"
#include "foundation/settings.h"
#include "tests/foundation/foundation_test_support.h"

namespace {

class InstallDetection : public ::testing::Test {
protected:
    void SetUp() override { gf_resetSettings(); }
    void TearDown() override { gf_resetSettings(); }

    // A packages folder with the given sub-folders.
    fs::path packages(const fs::path& path, std::initializer_list<const char*> subFolders) {
        fs::create_directories(path);
        for (const char* sub : subFolders) fs::create_directories(path / sub);
        return path;
    }
    void userCfg(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        writeWholeFile(path, text);
    }
    fs::path storeCfg2020() const {
        return local() / "Packages" / "Microsoft.FlightSimulator_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    }
    fs::path roaming() const { return root_ / "roaming"; }
    fs::path local() const { return root_ / "local"; }

    TempFolder root_;
    ScopedEnv roamingEnv_{"VEXA_APPDATA", (root_ / "roaming").string()};
    ScopedEnv localEnv_{"VEXA_LOCALAPPDATA", (root_ / "local").string()};
};

TEST_F(InstallDetection, SteamPackagesFolderComesFirst) {
    CapturedLog log;
    const fs::path steam = packages(roaming() / "Microsoft Flight Simulator" / "Packages", {"Community", "Official"});
    const fs::path other = packages(root_ / "other", {"Community", "Official"});
    userCfg(storeCfg2020(), "InstalledPackagesPath \"" + other.string() + "\"\n");
    EXPECT_EQ(gf_detectInstallPath(), steam);
    EXPECT_EQ(log.text(), "Steam packages:" + steam.string() + "\n");
}

TEST_F(InstallDetection, IncompleteSteamFolderIsPassedOverForUserCfg) {
    packages(roaming() / "Microsoft Flight Simulator" / "Packages", {"Official"});
    const fs::path configured = packages(root_ / "D drive" / "Packages", {"Community", "Official"});
    userCfg(storeCfg2020(), "Version 1\r\nInstalledPackagesPath \"" + configured.string() + "\"\r\n");
    CapturedLog log;
    EXPECT_EQ(gf_detectInstallPath(), configured);
    EXPECT_NE(log.text().find("UserCfg.opt: InstalledPackagesPath=" + configured.string() + "\n"), std::string::npos);
}

TEST_F(InstallDetection, PathThatDoesNotExistGivesNothing) {
    userCfg(storeCfg2020(), "InstalledPackagesPath \"" + (root_ / "gone").string() + "\"\n");
    CapturedLog log;
    EXPECT_EQ(lf_readInstalledPackagesPath(), fs::path());
    EXPECT_EQ(gf_detectInstallPath(), fs::path());
    EXPECT_NE(log.text().find("UserCfg.opt: InstalledPackagesPath=???\n"), std::string::npos);
}

TEST_F(InstallDetection, OnlyTheFirstLineWithTheKeyCounts) {
    const fs::path good = packages(root_ / "good", {"Community", "Official"});
    userCfg(storeCfg2020(), "InstalledPackagesPath \"" + (root_ / "gone").string() + "\"\nInstalledPackagesPath \"" +
                                good.string() + "\"\n");
    EXPECT_EQ(gf_detectInstallPath(), fs::path());
}

TEST_F(InstallDetection, The2024SimulatorNeedsItsOwnOfficialFolder) {
    MSFS_2020.value = false;
    const fs::path p2020 = packages(root_ / "p2020", {"Community", "Official"});
    const fs::path store2024 =
        local() / "Packages" / "Microsoft.Limitless_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    userCfg(store2024, "InstalledPackagesPath \"" + p2020.string() + "\"\n");
    EXPECT_EQ(gf_detectInstallPath(), fs::path());
    fs::create_directories(p2020 / "Official2024");
    EXPECT_EQ(gf_detectInstallPath(), p2020);

    // The 2024 Steam folder has its own application folder name.
    const fs::path steam =
        packages(roaming() / "Microsoft Flight Simulator 2024" / "Packages", {"Community", "Official2024"});
    EXPECT_EQ(gf_detectInstallPath(), steam);
}

TEST_F(InstallDetection, UserCfgPlacesInOrder) {
    const fs::path store = storeCfg2020();
    const fs::path steam1 = roaming() / "Microsoft Flight Simulator" / "UserCfg.opt";
    const fs::path steam2 =
        local() / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    const fs::path boxed = local() / "MSFSPackages" / "UserCfg.opt";
    {
        CapturedLog log;
        EXPECT_EQ(lf_findUserCfgOpt(), boxed);  // none exists: the last place tried
        EXPECT_EQ(log.text(), "MSFS detection, no Store:" + store.string() + "\nMSFS detection, no Steam1:" +
                                  steam1.string() + "\nMSFS detection, no Steam2:" + steam2.string() +
                                  "\nMSFS detection, no Boxed:" + boxed.string() + "\n");
    }
    {
        CapturedLog log;
        EXPECT_EQ(lf_readInstalledPackagesPath(), fs::path());
        EXPECT_NE(log.text().find("No UserCfg.opt found?\n"), std::string::npos);
    }
    userCfg(boxed, "x");
    EXPECT_EQ(lf_findUserCfgOpt(), boxed);
    userCfg(steam2, "x");
    EXPECT_EQ(lf_findUserCfgOpt(), steam2);
    userCfg(steam1, "x");
    EXPECT_EQ(lf_findUserCfgOpt(), steam1);
    userCfg(store, "x");
    CapturedLog log;
    EXPECT_EQ(lf_findUserCfgOpt(), store);
    EXPECT_EQ(log.text(), "");
}

TEST_F(InstallDetection, OfficialPathFollowsTheSelectedSimulator) {
    MSFS_INSTALL_PATH.set("/sims/2020");
    MSFS_2024_INSTALL_PATH.set("/sims/2024");
    EXPECT_EQ(gf_officialPath("Community"), fs::path("/sims/2020/Community"));
    EXPECT_EQ(gf_officialPath(gf_officialFolderName()), fs::path("/sims/2020/Official"));
    MSFS_2020.value = false;
    EXPECT_EQ(gf_officialPath("Community"), fs::path("/sims/2024/Community"));
    EXPECT_EQ(gf_officialFolderName(), "Official2024");
    EXPECT_EQ(lf_storePackageFamily(), "Microsoft.Limitless_8wekyb3d8bbwe");
}

}  // namespace
