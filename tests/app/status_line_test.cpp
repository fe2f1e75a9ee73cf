#include "shell/status_line.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "app/main_window.h"
#include "foundation/log.h"
#include "shell/display.h"

namespace {

class StatusLine : public ::testing::Test {
protected:
    void SetUp() override { mainWindow.resetRunFields(); }
    void TearDown() override { mainWindow.resetRunFields(); }
};

TEST_F(StatusLine, PluralLetter) {
    EXPECT_EQ(gf_pluralLetter(1), "");
    EXPECT_EQ(gf_pluralLetter(-1), "");
    EXPECT_EQ(gf_pluralLetter(-7), "");
    EXPECT_EQ(gf_pluralLetter(0), "s");
    EXPECT_EQ(gf_pluralLetter(2), "s");
    EXPECT_EQ(gf_pluralLetter(1000), "s");
}

TEST_F(StatusLine, MessageShownAtZeroExpiresAtTwentySix) {
    gf_showStatus("hello", false);
    EXPECT_EQ(gf_statusSnapshot().shownAt, 1u);
    for (int i = 0; i < 25; ++i) gf_statusSecondStep();
    EXPECT_EQ(gf_statusSnapshot().statusText, "hello");
    gf_statusSecondStep();  // counter 26
    EXPECT_EQ(gf_statusSnapshot().statusText, "");
    EXPECT_EQ(gf_statusSnapshot().shownAt, 0u);
}

TEST_F(StatusLine, HeldErrorBlocksOrdinaryTexts) {
    gf_showStatus("note", false);
    gf_showError("broken");
    auto s = gf_statusSnapshot();
    EXPECT_EQ(s.statusText, "");
    EXPECT_EQ(s.heldErrorText, "broken");
    gf_showStatus("ignored", true);
    EXPECT_EQ(gf_statusSnapshot().statusText, "");
    gf_clearStatus();
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, "broken");
    gf_clearHeldError();
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, "");
    gf_showStatus("shown", false);
    EXPECT_EQ(gf_statusSnapshot().statusText, "shown");
}

TEST_F(StatusLine, LogsOnlyShownNonEmptyTextsAndTheHeldError) {
    const auto path = std::filesystem::temp_directory_path() / ("vexa_status_" + std::to_string(::getpid()) + ".txt");
    gf_openLog(path);
    gf_showStatus("logged note", true);
    gf_showStatus("quiet note", false);
    gf_showStatus("", true);
    EXPECT_EQ(gf_statusSnapshot().shownAt, 0u);
    gf_showError("it broke");
    gf_showStatus("hidden note", true);
    gf_closeLog();
    std::ifstream in(path);
    const std::string log((std::istreambuf_iterator<char>(in)), {});
    std::filesystem::remove(path);
    EXPECT_NE(log.find("\nlogged note\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\nError it broke\n"), std::string::npos);
    EXPECT_EQ(log.find("quiet note"), std::string::npos);
    EXPECT_EQ(log.find("hidden note"), std::string::npos);
    EXPECT_EQ(log.find("\n\n"), std::string::npos) << "no empty line";
}

TEST_F(StatusLine, NoExpiryWithoutSecondsAndAHeldErrorNeverExpires) {
    gf_showStatus("stays", false);
    EXPECT_EQ(gf_statusSnapshot().statusText, "stays") << "no counted second, no expiry";
    gf_showError("held");
    for (int i = 0; i < 100; ++i) gf_statusSecondStep();
    EXPECT_EQ(gf_statusSnapshot().heldErrorText, "held");
    gf_clearHeldError();
    for (int i = 0; i < 10; ++i) gf_statusSecondStep();
    gf_showStatus("later", false);
    EXPECT_EQ(gf_statusSnapshot().shownAt, 110u);
    for (int i = 0; i < 24; ++i) gf_statusSecondStep();
    EXPECT_EQ(gf_statusSnapshot().statusText, "later");
    gf_statusSecondStep();
    EXPECT_EQ(gf_statusSnapshot().statusText, "");
}

}  // namespace
