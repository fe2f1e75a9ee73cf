#include "app/status_line.h"

#include <gtest/gtest.h>

#include "app/main_window.h"

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

}  // namespace
