#include <gtest/gtest.h>

#include <fmt/format.h>

#include "foundation/clock.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/time_text.h"
#include "foundation/version.h"
#include "foundation_test_support.h"
#include "platform/os/os.h"

namespace {

// 2026-12-10 13:45:07 UTC, a Thursday.
constexpr std::int64_t kThursday = 1796910307;

std::string headerFor(std::int64_t unixTime, const std::string& version) {
    return gf_timeText(unixTime) + " (utc) Vexa version " + version + " for MSFS 2020/2024\n";
}

class LogFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        stopRequested = 0;
        userClosed = 0;
        savedVersion_ = programVersion;
        programVersion = VersionData{1, 4, 2};
    }
    void TearDown() override {
        gf_closeLog();
        programVersion = savedVersion_;
        stopRequested = 0;
        userClosed = 0;
    }
    ManualClock clock_{kThursday};
    ScopedClock installed_{clock_};
    ShellHooksRegistered hooks_;
    VersionData savedVersion_;
};

TEST_F(LogFileTest, FirstStartInEmptyFolderWritesOnlyTheHeader) {
    InTempWorkingFolder folder;
    gf_openLog();  // Log.txt in the working folder
    gf_closeLog();
    EXPECT_EQ(readWholeFile(folder.path() / "Log.txt"), headerFor(kThursday, "1.4.2"));
    EXPECT_EQ(readWholeFile(folder.path() / "Log.txt"),
              "Thu Dec 10 13:45:07 2026 (utc) Vexa version 1.4.2 for MSFS 2020/2024\n");
    EXPECT_FALSE(fs::exists(folder.path() / "Log0.txt"));
    EXPECT_FALSE(fs::exists(folder.path() / "Log00.txt"));
}

TEST_F(LogFileTest, ThirdStartKeepsTheTwoPreviousLogs) {
    InTempWorkingFolder folder;
    for (int run = 1; run <= 3; ++run) {
        gf_openLog();
        gf_log(fmt::format("run {}", run));
        gf_closeLog();
        clock_.advance(std::chrono::seconds(60));
    }
    EXPECT_EQ(readWholeFile(folder.path() / "Log00.txt"), headerFor(kThursday, "1.4.2") + "run 1\n");
    EXPECT_EQ(readWholeFile(folder.path() / "Log0.txt"), headerFor(kThursday + 60, "1.4.2") + "run 2\n");
    EXPECT_EQ(readWholeFile(folder.path() / "Log.txt"), headerFor(kThursday + 120, "1.4.2") + "run 3\n");
}

TEST_F(LogFileTest, WritersMarkTheirLinesAndEachLineIsInTheFileAtOnce) {
    TempFolder folder;
    gf_openLog(folder / "Log.txt");
    gf_log("plain");
    gf_logError("bad");
    gf_logContinuation("more");
    gf_logLine("status");
    // Flushed per line: readable while the log is still open.
    const std::string text = readWholeFile(folder / "Log.txt");
    EXPECT_EQ(text.substr(text.find('\n') + 1), "plain\n===> bad\n          more\nstatus\n");
}

TEST_F(LogFileTest, LogLineFallsSilentOnceAStopIsUnderWay) {
    TempFolder folder;
    gf_openLog(folder / "Log.txt");
    stopRequested = 1;
    gf_logLine("not written");
    gf_log("written");
    stopRequested = 0;
    userClosed = 1;
    gf_logLine("not written either");
    gf_logError("still written");
    const std::string text = readWholeFile(folder / "Log.txt");
    EXPECT_EQ(text.substr(text.find('\n') + 1), "written\n===> still written\n");
}

TEST_F(LogFileTest, ClosedLogWritesNothingAndThrowsNothing) {
    TempFolder folder;
    gf_openLog(folder / "Log.txt");
    gf_closeLog();
    EXPECT_FALSE(gf_logIsOpen());
    EXPECT_NO_THROW(gf_log("after close"));
    EXPECT_NO_THROW(gf_logError("after close"));
    EXPECT_EQ(readWholeFile(folder / "Log.txt"), headerFor(kThursday, "1.4.2"));
}

TEST_F(LogFileTest, OpenFailureThrowsAndLeavesTheLogSilent) {
    TempFolder folder;
    const fs::path path = folder / "missing" / "Log.txt";
    try {
        gf_openLog(path);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Failed to write file " + path.string());
    }
    EXPECT_FALSE(gf_logIsOpen());
    EXPECT_NO_THROW(gf_log("nowhere"));
}

TEST(UserErrorException, TextCarriesTheNumberExceptForNinetyNine) {
    const struct {
        int number;
        const char* text;
    } cases[] = {{99, "x"}, {5, "5: x"}, {0, "0: x"}, {77, "77: x"}, {-3, "-3: x"}};
    for (const auto& c : cases) {
        const ovk::UserErrorException error(c.number, "x");
        EXPECT_EQ(std::string(error.what()), c.text) << c.number;
    }
    EXPECT_THROW(throw ovk::UserErrorException(1, "y"), std::runtime_error);
}

TEST(Utf8ConversionException, KeepsMessageCodeAndKindAndCopies) {
    const win32::Utf8ConversionException error("m", 1113, 1);
    const win32::Utf8ConversionException copy = error;
    EXPECT_EQ(std::string(copy.what()), "m");
    EXPECT_EQ(copy.errorCode(), 1113u);
    EXPECT_EQ(copy.kind(), 1u);
}

TEST(BannerLine, Shapes) {
    const std::string stars34(34, '*');
    EXPECT_EQ(gf_bannerLine(70, 0, true, false, "parameters"), "\n" + stars34 + " parameters " + stars34);
    EXPECT_EQ(gf_bannerLine(70, 10, false, true, ""), std::string(80, '*') + "\n");
    // Odd sums round up to the next even number.
    EXPECT_EQ(gf_bannerLine(7, 0, false, false, ""), std::string(8, '*'));
    // n = 8 is not greater than the title's length + 2: the title alone.
    EXPECT_EQ(gf_bannerLine(8, 0, true, true, "abcdef"), "\nabcdef\n");
    EXPECT_EQ(gf_bannerLine(8, 0, false, false, "abcde"), "*** abcde ***");
}

TEST(BackupFile, CopiesGoBeforeTheExtensionOfTheFileName) {
    const struct {
        BackupNaming naming;
        const char* first;
        const char* second;
    } cases[] = {
        {BackupNaming::zeros, "data0.xml", "data00.xml"},
        {BackupNaming::tildeZeros, "data~0.xml", "data~00.xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        TempFolder folder;
        const fs::path dotted = folder / "my.folder";
        fs::create_directories(dotted);
        writeWholeFile(dotted / "data.xml", "one");
        gf_backupFile(dotted / "data.xml", c.naming);
        EXPECT_EQ(readWholeFile(dotted / c.first), "one");
        EXPECT_FALSE(fs::exists(dotted / c.second));
        writeWholeFile(dotted / "data.xml", "two");
        gf_backupFile(dotted / "data.xml", c.naming);
        EXPECT_EQ(readWholeFile(dotted / c.first), "two");
        EXPECT_EQ(readWholeFile(dotted / c.second), "one");

        // A file name without an extension in a dotted folder: nothing at all, never "my0.folder".
        writeWholeFile(dotted / "plain", "p");
        gf_backupFile(dotted / "plain", c.naming);
        EXPECT_EQ(std::distance(fs::directory_iterator(folder.path()), fs::directory_iterator()), 1);
        EXPECT_EQ(std::distance(fs::directory_iterator(dotted), fs::directory_iterator()), 4);
        EXPECT_NO_THROW(gf_backupFile("", c.naming));
    }
    // A read-only file gives copies that the next rotation can replace.
    TempFolder folder;
    const fs::path file = folder / "MD1.xml";
    for (const char* text : {"one", "two", "three"}) {
        writeWholeFile(file, text);
        fs::permissions(file, fs::perms::owner_read);
        gf_backupFile(file, BackupNaming::tildeZeros);
        fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_EQ(readWholeFile(folder / "MD1~0.xml"), "three");
    EXPECT_EQ(readWholeFile(folder / "MD1~00.xml"), "two");
    for (const char* copy : {"MD1~0.xml", "MD1~00.xml"})
        EXPECT_NE(fs::status(folder / copy).permissions() & fs::perms::owner_write, fs::perms::none) << copy;

    // The copies of an airport's file are never the file of an airport whose code is one digit longer.
    EXPECT_EQ(gf_backupName("learned/MD1.xml", BackupNaming::tildeZeros, 1), fs::path("learned/MD1~0.xml"));
    EXPECT_EQ(gf_backupName("learned/MD1.xml", BackupNaming::tildeZeros, 2), fs::path("learned/MD1~00.xml"));
}

}  // namespace
