#include <gtest/gtest.h>

#include "app/updates.h"
#include "foundation/download.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "foundation/zip_archive.h"
#include "shell/status_line.h"
#include "tests/foundation/foundation_test_support.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

// The program folder is the working folder; the download server is a file:// folder built by the test.
class Updates : public ::testing::Test {
protected:
    void SetUp() override {
        gf_resetSettings();
        savedVersion_ = programVersion;
        programVersion = VersionData{10, 10, 10};
        fs::create_directories(server_.path() / "release");
        fs::create_directories(server_.path() / "rezevavedi24");
        PROGRAM_INSTALL_PATH.set(working_.path().string());
        gf_clearHeldError();
    }
    void TearDown() override {
        programVersion = savedVersion_;
        gf_resetSettings();
        gf_clearHeldError();
    }
    void serve(const std::string& relative, const std::string& content) {
        fs::create_directories((server_.path() / relative).parent_path());
        writeWholeFile(server_.path() / relative, content);
    }
    void serveZip(const std::string& relative, const Entries& entries) {
        fs::create_directories((server_.path() / relative).parent_path());
        ASSERT_TRUE(ZipArchive::create(server_.path() / relative, entries));
    }
    fs::path program(const fs::path& relative) const { return working_.path() / relative; }

    InTempWorkingFolder working_;
    TempFolder server_;
    TempFolder appData_;
    ScopedEnv urlEnv_{"VEXA_DOWNLOAD_URL", "file://" + server_.path().string()};
    ScopedEnv appDataEnv_{"VEXA_APPDATA", appData_.path().string()};
    VersionData savedVersion_;
};

TEST_F(Updates, BaseAddresses) {
    EXPECT_EQ(gf_downloadServerUrl(), "file://" + server_.path().string() + "/");
    EXPECT_EQ(gf_downloadBaseUrl(false), gf_downloadServerUrl() + "MSFS/");
    MSFS_2020.value = false;
    EXPECT_EQ(gf_downloadBaseUrl(false), gf_downloadServerUrl() + "MSFS2024/");
    EXPECT_EQ(gf_downloadBaseUrl(true), gf_downloadServerUrl() + "MSFS/");
    ScopedEnv unset("VEXA_DOWNLOAD_URL", std::nullopt);
    EXPECT_EQ(gf_downloadServerUrl().rfind("https://", 0), 0u);
    EXPECT_EQ(gf_downloadServerUrl().back(), '/');
}

TEST_F(Updates, MissingVersionFileLetsTheRunGoOn) {
    CapturedLog log;
    EXPECT_NO_THROW(gf_checkNewVersion());
    EXPECT_NE(log.text().find("===> Program Version file not found?\n"), std::string::npos);
}

TEST_F(Updates, SameOrOlderVersionDoesNothing) {
    serveZip("release/setup_Vexa_d_v10.10.10.zip", {{"setup.exe", "exe"}});
    for (const char* version : {"10.10.10\n", "10.9.99\n"}) {
        serve("release/version.json", version);
        EXPECT_NO_THROW(gf_checkNewVersion());
        EXPECT_FALSE(fs::exists(program(installerFile)));
    }
}

TEST_F(Updates, NewerVersionDownloadsTheInstallerAndEndsTheRun) {
    serve("release/version.json", "10.10.11\r\n");
    serveZip("release/setup_Vexa_d_v10.10.11.zip", {{"setup_Vexa.exe", std::string(600000, 'x') + "end"}});
    EXPECT_EQ(lf_installerArchiveName(VersionData(10, 10, 11)), "setup_Vexa_d_v10.10.11.zip");
    CapturedLog log;
    try {
        gf_checkNewVersion();
        FAIL() << "no user error";
    } catch (const ovk::UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()), "New version 10.10.11 available, exit Vexa. Run as administrator: \"" +
                                             (working_.path() / "install_new_version.exe").string() + "\"");
    }
    EXPECT_EQ(readWholeFile(program(installerFile)), std::string(600000, 'x') + "end");
    EXPECT_FALSE(fs::exists(program("setup_Vexa_d_v10.10.11.zip")));
    EXPECT_FALSE(fs::exists(program("version.json")));
    EXPECT_NE(log.text().find("downloaded setup_Vexa_d_v10.10.11.zip\n"), std::string::npos);
    EXPECT_NE(log.text().find("setup_Vexa.exe unzipped to install_new_version.exe\n"), std::string::npos);
}

TEST_F(Updates, InstallerThatCannotBeHadIsNoNewVersion) {
    serve("release/version.json", "11.0.0\n");
    {
        // Not on the server.
        EXPECT_NO_THROW(gf_checkNewVersion());
        EXPECT_EQ(gf_statusSnapshot().statusText, "New version 11.0.0 could not be installed, this version goes on");
        EXPECT_FALSE(fs::exists(program("setup_Vexa_d_v11.0.0.zip")));
    }
    {
        // On the server, but no zip archive: never reported as downloaded.
        serve("release/setup_Vexa_d_v11.0.0.zip", "this is no archive");
        CapturedLog log;
        EXPECT_NO_THROW(gf_checkNewVersion());
        EXPECT_NE(log.text().find("===> could not open setup_Vexa_d_v11.0.0.zip\n"), std::string::npos);
        EXPECT_FALSE(fs::exists(program(installerFile)));
        EXPECT_FALSE(fs::exists(program("setup_Vexa_d_v11.0.0.zip")));
    }
}

TEST_F(Updates, AddonPackageIsUnpackedAsTextFiles) {
    serve("rezevavedi24/version.json", "1.0.1\n");
    serveZip("rezevavedi24/ve_zuzuvado2024.zip",
             {{"EDDF.xml", "<eddf/>"}, {"sub/", ""}, {"sub/LSZH", "lszh"}, {"../../evil.xml", "evil"}});
    EXPECT_TRUE(gf_updateAddonPackage());
    const fs::path folder = program("airports/ve_zuzuvado");
    EXPECT_EQ(readWholeFile(folder / "EDDF.txt"), "<eddf/>");
    EXPECT_EQ(readWholeFile(folder / "LSZH.txt"), "lszh");
    EXPECT_EQ(readWholeFile(folder / "evil.txt"), "evil");  // the entry's file-name part only
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 3);
    EXPECT_FALSE(fs::exists(working_.path().parent_path() / "evil.txt"));
    EXPECT_FALSE(fs::exists(program("ve_zuzuvado2024.zip")));
    EXPECT_EQ(REZEVAVEDI24_VERSION.value(), "1.0.1");
    EXPECT_NE(readWholeFile(gf_parametersPath()).find("1.0.1"), std::string::npos);
    EXPECT_EQ(gf_statusSnapshot().statusText, "mysimaddon has been updated to version 1.0.1");
}

TEST_F(Updates, AddonPackageCountsOnlyFileEntries) {
    serve("rezevavedi24/version.json", "1.0.1\n");
    serveZip("rezevavedi24/ve_zuzuvado2024.zip", {{"a/", ""}, {"a/EDDF", "x"}, {"b/", ""}});
    CapturedLog log;
    EXPECT_TRUE(gf_updateAddonPackage());
    EXPECT_NE(log.text().find("ve_zuzuvado2024.zip unzipped 1 files"), std::string::npos) << log.text();
}

TEST_F(Updates, CurrentAddonPackageIsFetchedAgainOnlyWhenItsFolderIsGone) {
    serve("rezevavedi24/version.json", "1.0.1\n");
    serveZip("rezevavedi24/ve_zuzuvado2024.zip", {{"EDDF.xml", "new"}});
    REZEVAVEDI24_VERSION.set("1.0.1");
    fs::create_directories(program("airports/ve_zuzuvado"));
    writeWholeFile(program("airports/ve_zuzuvado/EDDF.txt"), "old");
    EXPECT_TRUE(gf_updateAddonPackage());
    EXPECT_EQ(readWholeFile(program("airports/ve_zuzuvado/EDDF.txt")), "old");

    fs::remove_all(program("airports/ve_zuzuvado"));
    EXPECT_TRUE(gf_updateAddonPackage());
    EXPECT_EQ(readWholeFile(program("airports/ve_zuzuvado/EDDF.txt")), "new");
}

TEST_F(Updates, BrokenAddonArchiveLeavesTheInstalledPackageAlone) {
    serve("rezevavedi24/version.json", "2.0.0\n");
    serve("rezevavedi24/ve_zuzuvado2024.zip", "broken");
    REZEVAVEDI24_VERSION.set("1.0.0");
    fs::create_directories(program("airports/ve_zuzuvado"));
    writeWholeFile(program("airports/ve_zuzuvado/EDDF.txt"), "installed");
    CapturedLog log;
    EXPECT_FALSE(gf_updateAddonPackage());
    EXPECT_EQ(readWholeFile(program("airports/ve_zuzuvado/EDDF.txt")), "installed");
    EXPECT_EQ(REZEVAVEDI24_VERSION.value(), "1.0.0");
    EXPECT_FALSE(fs::exists(program("ve_zuzuvado2024.zip")));
    EXPECT_NE(log.text().find("===> could not open ve_zuzuvado2024.zip\n"), std::string::npos);
}

TEST_F(Updates, AddonWithoutServerVersion) {
    CapturedLog log;
    EXPECT_FALSE(gf_updateAddonPackage());
    EXPECT_NE(log.text().find("===> No mysimaddon version info found at the Vexa server?\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(program("airports/ve_zuzuvado")));
}

TEST_F(Updates, DownloadAndUnzipKeepsTheLastFileEntry) {
    serveZip("dbase.zip", {{"first.xml", "one"}, {"dir/", ""}, {"temp2.xml", "two"}});
    EXPECT_TRUE(gf_downloadDatabase(program("input/temp2.xml")));
    EXPECT_EQ(readWholeFile(program("input/temp2.xml")), "two");
    EXPECT_FALSE(fs::exists(program("dbase.zip")));
}

TEST_F(Updates, DownloadAndUnzipFailures) {
    CapturedLog log;
    EXPECT_FALSE(gf_downloadAndUnzip("AIG-regcodes.zip", program("AIG-regcodes.xml")));
    EXPECT_FALSE(fs::exists(program("AIG-regcodes.zip")));

    serve("AIG-regcodes.zip", "no zip");
    writeWholeFile(program("AIG-regcodes.xml"), "stale");
    EXPECT_FALSE(gf_downloadAndUnzip("AIG-regcodes.zip", program("AIG-regcodes.xml")));
    EXPECT_FALSE(fs::exists(program("AIG-regcodes.xml")));
    EXPECT_FALSE(fs::exists(program("AIG-regcodes.zip")));
    EXPECT_EQ(log.text(), "===> downloading AIG-regcodes.zip failed?\n===> unzipping AIG-regcodes.zip failed?\n");
}

TEST(ZipArchiveNames, FileNamePartOnly) {
    const struct {
        const char* entry;
        const char* name;
    } cases[] = {{"EDDF.xml", "EDDF.xml"},
                 {"a/b/EDDF.xml", "EDDF.xml"},
                 {"../../x", "x"},
                 {"/etc/passwd", "passwd"},
                 {"a\\b\\c.txt", "c.txt"},
                 {"..", ""},
                 {"dir/", ""},
                 {"C:evil", "evil"},
                 {"C:..", ""}};
    for (const auto& c : cases) EXPECT_EQ(ZipArchive::safeFileName(c.entry), c.name) << c.entry;
}

TEST(ZipArchiveTest, ReadsStreamsAndRefusesNonArchives) {
    TempFolder folder;
    const std::string big(300000, 'q');
    ASSERT_TRUE(ZipArchive::create(folder / "a.zip", {{"d/", ""}, {"d/big", big}, {"empty", ""}}));
    ZipArchive archive;
    ASSERT_TRUE(archive.open(folder / "a.zip"));
    const auto entries = archive.entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_TRUE(entries[0].isFolder());
    EXPECT_EQ(entries[1].name, "d/big");
    EXPECT_EQ(archive.read(entries[1]), big);
    EXPECT_EQ(archive.read(entries[2]), "");
    std::size_t chunks = 0, bytes = 0;
    EXPECT_EQ(archive.stream(entries[1], 65536,
                             [&](const char*, std::size_t n) {
                                 ++chunks;
                                 bytes += n;
                                 return true;
                             }),
              0);
    EXPECT_EQ(bytes, big.size());
    EXPECT_GE(chunks, 5u);
    EXPECT_NE(archive.stream(entries[1], 1000, [](const char*, std::size_t) { return false; }), 0);

    writeWholeFile(folder / "b.zip", "not a zip");
    ZipArchive other;
    EXPECT_FALSE(other.open(folder / "b.zip"));
    EXPECT_FALSE(other.open(folder / "missing.zip"));
    EXPECT_TRUE(other.entries().empty());
}

}  // namespace
