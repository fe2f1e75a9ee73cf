// The main window shows what the airport file reader reports through its hooks.
#include <gtest/gtest.h>

#include "airports/airport_ui.h"
#include "app/airport_hooks.h"
#include "app/main_window.h"

TEST(AirportHooks, FiguresOfTheParkAirportFileReachTheWindow)
{
    gf_registerAirportHooks();
    gf_apfShowFigures(ApfFigures{212, "stock", true, "63", 30});
    EXPECT_EQ(mainWindow.standCount.load(), 212u);
    EXPECT_EQ(mainWindow.airportSourceText.get(), "stock");
    EXPECT_TRUE(mainWindow.airportFileMark.load());
    EXPECT_EQ(mainWindow.qualityText.get(), "63");
    EXPECT_EQ(mainWindow.trafficWeek.load(), 30);
    gf_setAirportUiHooks({});
    mainWindow.resetRunFields();
}
