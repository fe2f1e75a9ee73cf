#include "app/entry.h"

#include <cstdlib>
#include <filesystem>

#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/os/os.h"
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

}  // namespace
