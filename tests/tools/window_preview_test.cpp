// The window preview's settings folder: its own for each preview, or the one it is given.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tests/common/sandbox.h"
#include "tools/window_preview/settings_folder.h"

namespace {

std::string appDataVariable() {
    const char* value = std::getenv("VEXA_APPDATA");
    return value != nullptr ? value : "";
}

// Without a folder given, each preview makes one of its own under the system's temporary folder and
// removes it at its end: two previews, or two users, never share a settings file.
TEST(WindowPreview, MakesItsOwnSettingsFolderAndRemovesIt) {
    TempFolder tmp;
    ScopedEnv tmpdir("TMPDIR", tmp.path().string());
    ScopedEnv appData("VEXA_APPDATA", std::nullopt);
    fs::path first;
    {
        window_preview::SettingsFolder folder(std::nullopt);
        first = folder.path();
        EXPECT_EQ(first.parent_path(), tmp.path());
        EXPECT_TRUE(fs::is_directory(first));
        EXPECT_EQ(appDataVariable(), first.string());
        // Another preview starts without VEXA_APPDATA too.
        ScopedEnv another("VEXA_APPDATA", std::nullopt);
        window_preview::SettingsFolder second(std::nullopt);
        EXPECT_NE(second.path(), first);
    }
    EXPECT_FALSE(fs::exists(first));
}

// A folder given (--appdata) or set in VEXA_APPDATA is used and kept.
TEST(WindowPreview, UsesAndKeepsAGivenSettingsFolder) {
    TempFolder given;
    struct Case {
        std::optional<fs::path> argument;
        std::optional<std::string> variable;
    } cases[] = {{given.path(), std::nullopt}, {std::nullopt, given.path().string()}};
    for (const Case& c : cases) {
        ScopedEnv appData("VEXA_APPDATA", c.variable);
        {
            window_preview::SettingsFolder folder(c.argument);
            EXPECT_EQ(folder.path(), given.path());
            EXPECT_EQ(appDataVariable(), given.path().string());
        }
        EXPECT_TRUE(fs::is_directory(given.path()));
    }
}

}  // namespace
