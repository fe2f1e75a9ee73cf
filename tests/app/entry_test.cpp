#include "app/entry.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <unistd.h>

#include "foundation/log.h"
#include "platform/os/os.h"
#include "shell/status_line.h"
#include "tests/common/sandbox.h"

namespace {

TEST(Entry, SecondInstanceEndsAtOnceWithoutLog) {
    Sandbox sandbox(Sandbox::Options{.openLog = false, .resetSettings = false});
    {
        os::InstanceLock first(singleInstanceName);  // the first instance
        ASSERT_TRUE(first.held());
        EXPECT_EQ(wWinMain(), -1);
    }
    EXPECT_FALSE(std::filesystem::exists(sandbox.logPath()));
    EXPECT_TRUE(std::filesystem::is_empty(sandbox.appData()));
}

TEST(Entry, LogThatCannotBeOpenedIsReportedAndTheProgramGoesOn) {
    const auto root = std::filesystem::temp_directory_path() / ("vexa_entry_log_" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root / "Log.txt");  // a folder where the log file should be
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(root);
    gf_clearHeldError();
    gf_clearStatus();
    ::testing::internal::CaptureStderr();
    EXPECT_NO_THROW(lf_openProgramLog());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(gf_logIsOpen());
    EXPECT_NE(err.find("No log file: "), std::string::npos) << err;
    EXPECT_NE(gf_statusSnapshot().statusText.find("No log file: "), std::string::npos);
    gf_clearStatus();
    std::filesystem::current_path(oldCwd);
    std::filesystem::remove_all(root);
}

}  // namespace
