#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>

#include "platform/os/os.h"
#include "tests/common/sandbox.h"

namespace fs = std::filesystem;

namespace {

TEST(Utf, RoundTripsEveryPlane) {
    const std::string utf8 = "Z\xC3\xBCrich \xE2\x82\xAC \xF0\x9F\x9B\xA9 \xEF\xBF\xBF";
    const std::u16string utf16 = u"Z\u00FCrich \u20AC \U0001F6E9 \uFFFF";
    EXPECT_EQ(win32::Utf8ToUtf16(utf8), utf16);
    EXPECT_EQ(win32::Utf16ToUtf8(utf16), utf8);
    EXPECT_EQ(win32::Utf8ToUtf16(""), u"");
    EXPECT_EQ(win32::Utf16ToUtf8(u""), "");
    EXPECT_EQ(win32::Utf8ToUtf16(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
}

TEST(Utf, InvalidUtf8IsRejectedLikeTheStrictConverter) {
    const char* invalid[] = {
        "\x80",              // stray continuation byte
        "\xC0\xAF",          // overlong
        "\xE0\x80\xAF",      // overlong
        "\xED\xA0\x80",      // surrogate
        "\xF4\x90\x80\x80",  // beyond U+10FFFF
        "\xF5\x80\x80\x80",  // invalid lead byte
        "abc\xE2\x82",       // truncated
        "\xC3\x28",          // bad continuation
        "\xFF",
    };
    for (const char* text : invalid) {
        try {
            win32::Utf8ToUtf16(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const win32::Utf8ConversionException& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid UTF-8 sequence found in input string.");
            EXPECT_EQ(e.errorCode(), 1113u);
            EXPECT_EQ(e.kind(), 0u);
        }
    }
}

TEST(Utf, InvalidUtf16IsRejected) {
    const std::u16string invalid[] = {std::u16string(1, u'\xD800'), u"a" + std::u16string(1, u'\xDC00'),
                                      std::u16string(1, u'\xD800') + u"x", std::u16string(2, u'\xD800')};
    for (const auto& text : invalid) {
        try {
            win32::Utf16ToUtf8(text);
            ADD_FAILURE() << "accepted";
        } catch (const win32::Utf8ConversionException& e) {
            EXPECT_EQ(std::string(e.what()), "Invalid UTF-16 sequence found in input string.");
            EXPECT_EQ(e.errorCode(), 1113u);
            EXPECT_EQ(e.kind(), 1u);
        }
    }
}

TEST(AppData, OverridesThenXdgThenHome) {
    ScopedEnv roaming("VEXA_APPDATA", std::nullopt);
    ScopedEnv local("VEXA_LOCALAPPDATA", std::nullopt);
    ScopedEnv home("HOME", "/home/pilot");
    {
        ScopedEnv xdgConfig("XDG_CONFIG_HOME", std::nullopt);
        ScopedEnv xdgData("XDG_DATA_HOME", std::nullopt);
        EXPECT_EQ(os::appDataFolder(), fs::path("/home/pilot/.config"));
        EXPECT_EQ(os::localAppDataFolder(), fs::path("/home/pilot/.local/share"));
    }
    ScopedEnv xdgConfig("XDG_CONFIG_HOME", "/xdg/config");
    ScopedEnv xdgData("XDG_DATA_HOME", "/xdg/data");
    EXPECT_EQ(os::appDataFolder(), fs::path("/xdg/config"));
    EXPECT_EQ(os::localAppDataFolder(), fs::path("/xdg/data"));
    EXPECT_EQ(win32::GetFolderPathUtf8(win32::csidlAppData), fs::path("/xdg/config"));
    EXPECT_EQ(win32::GetFolderPathUtf8(win32::csidlLocalAppData), fs::path("/xdg/data"));
    EXPECT_EQ(win32::GetFolderPathUtf8(5), std::nullopt);
    ScopedEnv roaming2("VEXA_APPDATA", "/over/roaming");
    ScopedEnv local2("VEXA_LOCALAPPDATA", "/over/local");
    EXPECT_EQ(os::appDataFolder(), fs::path("/over/roaming"));
    EXPECT_EQ(os::localAppDataFolder(), fs::path("/over/local"));
}

TEST(CopyFile, OverwritesOnlyWhenAsked) {
    TempFolder folder;
    std::ofstream(folder / "a") << "new";
    std::ofstream(folder / "b") << "old";
    EXPECT_FALSE(os::copyFile(folder / "a", folder / "b", false));
    EXPECT_TRUE(os::copyFile(folder / "a", folder / "b", true));
    std::string text;
    std::ifstream(folder / "b") >> text;
    EXPECT_EQ(text, "new");
    EXPECT_TRUE(os::copyFile(folder / "a", folder / "c", false));
    EXPECT_FALSE(os::copyFile(folder / "missing", folder / "d", true));
    os::timeBeginPeriod(1);
    os::timeEndPeriod(1);
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstLetsGo) {
    TempFolder folder;
    ScopedEnv local("VEXA_LOCALAPPDATA", (folder / "local").string());
    EXPECT_EQ(os::lockFilePath("Local\\$Vexalane$"), folder / "local" / "LocalVexalane.lock");
    {
        os::InstanceLock first("Local\\$Vexalane$");
        ASSERT_TRUE(first.held());
        os::InstanceLock second("Local\\$Vexalane$");
        EXPECT_FALSE(second.held());
        EXPECT_FALSE(os::acquireSingleInstance("Local\\$Vexalane$"));
    }
    os::InstanceLock third("Local\\$Vexalane$");
    EXPECT_TRUE(third.held());
}

TEST(SingleInstance, ProcessKeepsItsGuard) {
    TempFolder folder;
    ScopedEnv local("VEXA_LOCALAPPDATA", (folder / "local").string());
    EXPECT_TRUE(os::acquireSingleInstance("guard"));
    EXPECT_TRUE(os::acquireSingleInstance("guard"));
    os::InstanceLock other("guard");
    EXPECT_FALSE(other.held());

    // Another process is refused too.
    const pid_t child = ::fork();
    if (child == 0) {
        os::InstanceLock inChild("guard");
        ::_exit(inChild.held() ? 1 : 0);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
