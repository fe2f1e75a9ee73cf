// A few commands and edit fields through the real FLTK window on a virtual X display: the events go
// through FLTK's own event handling to the window procedure, as a user's clicks and keys would.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "app/main_window.h"
#include "app/window_proc.h"
#include "shell/run_flags.h"
#include "tests/app/commands_fixture.h"
#include "tests/common/fltk_events.h"
#include "tests/common/virtual_display.h"

// Font and X libraries keep caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libX11\nleak:libfltk\n"; }

namespace {

// The widget whose top-left corner is at (x, y) of the main window, made active as the run start would.
Fl_Widget* widgetAt(Fl_Window* win, int x, int y) {
    for (int i = 0; i < win->children(); ++i) {
        Fl_Widget* w = win->child(i);
        if (w->x() == x && w->y() == y) {
            if (!w->active()) w->activate();
            return w;
        }
    }
    return nullptr;
}

class RealWindow : public CommandsFixture {
protected:
    void openWindow() override {}  // opened by the test once the display runs
};

TEST_F(RealWindow, CommandsAndFieldsThroughTheFltkWindow) {
    if (!onPath("Xvfb")) GTEST_SKIP() << "Xvfb missing";
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    ::setenv("DISPLAY", display.name().c_str(), 1);
    ::unsetenv("VEXA_UI");
    ASSERT_TRUE(ui::displayAvailable());
    MAIN_WINDOW_X.value.store(0);
    MAIN_WINDOW_Y.value.store(0);
    ASSERT_TRUE(initInstance("Vexa", ui::Backend::fltk));
    ASSERT_EQ(mainWindow.window.load()->backendName(), "fltk");

    std::atomic<bool> injected{false};
    gf_setStartRunAction([&] {
        Fl_Window* win = Fl::first_window();
        if (win == nullptr) return;
        fltkClick(win, 71 + 6, static_cast<int>(WEEK.rowY) + 8);  // the WEEK check box
        if (Fl_Widget* field = widgetAt(win, 601, static_cast<int>(MAX_LIVE.rowY))) fltkTypeAndEnter(win, field, "250");
        if (Fl_Widget* field = widgetAt(win, 217, static_cast<int>(BLOCK_CALLSIGN.rowY)))
            fltkTypeAndEnter(win, field, "dlh4");
        if (widgetAt(win, 758, 369) != nullptr) fltkClick(win, 800, 379);  // "Flush static"
        injected = true;
    });
    std::thread other([&] {
        // The run start enables the fields and buttons from its own thread.
        gf_enableControl(MAX_LIVE.controlId, true);
        gf_enableControl(BLOCK_CALLSIGN.controlId, true);
        gf_enableControl(kFlushStaticButtonId, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        gf_postWindowMessage(kMsgStartRun);
        for (int i = 0; i < 100 && !injected; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        gf_postWindowMessage(kMsgQuit);
    });
    EXPECT_EQ(gf_runMessageLoop(), 0);
    other.join();
    ui::Window* w = mainWindow.window.load();
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(injected);

    EXPECT_TRUE(WEEK.value.load());
    EXPECT_TRUE(w->checked(WEEK.controlId));
    EXPECT_EQ(saved("WEEK"), "true");
    EXPECT_EQ(MAX_LIVE.value.load(), 250);
    EXPECT_EQ(saved("MAX_LIVE"), "250");
    EXPECT_EQ(w->text(MAX_LIVE.controlId), "250");
    EXPECT_EQ(BLOCK_CALLSIGN.value(), "DLH4");
    EXPECT_EQ(w->text(BLOCK_CALLSIGN.controlId), "DLH4");
    EXPECT_TRUE(w->enabled(kUnblockButtonId));
    EXPECT_EQ(flushStaticRequested.load(), 1);
    EXPECT_FALSE(w->enabled(kFlushStaticButtonId));
    EXPECT_EQ(status(), "All static parked aircraft will be removed ...");
    const std::string log = logText();
    EXPECT_NE(log.find("live aircraft with callsign \"DLH4\" will be blocked"), std::string::npos) << log;

    // The window goes before its display does.
    gf_destroyMainWindow();
    ::unsetenv("DISPLAY");
    ::setenv("VEXA_UI", "headless", 1);
}

}  // namespace
