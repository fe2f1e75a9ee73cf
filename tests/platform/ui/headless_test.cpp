#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/ui.h"

namespace {

struct RecordingHandler : ui::WindowHandler {
    std::vector<std::string> events;
    ui::Window* window = nullptr;
    int measured = 0;  // the painter's width of the text drawn at y 30
    void onCreate() override {
        events.push_back("create");
        window->addControl(ui::ControlKind::checkBox, 1, ui::Rect{5, 5, 17, 17}, {}, false);
        window->addControl(ui::ControlKind::pushButton, 2, ui::Rect{20, 5, 90, 25}, "Go", false);
        window->addControl(ui::ControlKind::editField, 3, ui::Rect{100, 5, 150, 21}, {}, false);
    }
    void onPaint(ui::Painter& p) override {
        p.fillRect(ui::Rect{0, 0, 10, 10}, ui::rgb(1, 2, 3));
        p.line(0, 5, 10, 5, ui::rgb(4, 5, 6));
        p.text(3, 4, "hi", ui::rgb(7, 8, 9));
        p.clippedText(3, 30, "h\xc3\xa9llo", ui::rgb(7, 8, 9), 100);
        p.clippedText(3, 50, "hello", ui::rgb(7, 8, 9), 20);
        p.clippedText(3, 70, "none", ui::rgb(7, 8, 9), 3);
        measured = p.textWidth("h\xc3\xa9llo");
    }
    void onClose() override { events.push_back("close"); }
    void onCommand(int id) override { events.push_back("command " + std::to_string(id)); }
    void onEditEnter(int id) override { events.push_back("enter " + std::to_string(id) + " " + window->text(id)); }
    void onMessage(unsigned m, std::intptr_t p) override {
        events.push_back("message " + std::to_string(m) + " " + std::to_string(p));
        if (m == ui::kAppMessage + 9) window->quit(static_cast<int>(p));
    }
};

class Headless : public ::testing::Test {
protected:
    void SetUp() override {
        window = ui::createHeadlessWindow(handler);
        handler.window = window.get();
        ASSERT_TRUE(window->create("Vexa", 400, 20, 880, 476));
    }
    RecordingHandler handler;
    std::unique_ptr<ui::HeadlessWindow> window;
};

TEST_F(Headless, CreatesControlsAndRefusesDuplicateIds) {
    EXPECT_EQ(handler.events, std::vector<std::string>{"create"});
    EXPECT_FALSE(window->addControl(ui::ControlKind::pushButton, 2, ui::Rect{}, "again", true));
    auto controls = window->controls();
    ASSERT_EQ(controls.size(), 3u);
    EXPECT_TRUE(controls[0].enabled) << "check boxes are enabled from creation";
    EXPECT_FALSE(controls[1].enabled);
    EXPECT_EQ(controls[1].caption, "Go");
    EXPECT_FALSE(window->shown());
    EXPECT_TRUE(window->show());
    EXPECT_EQ(window->title(), "Vexa");
    EXPECT_EQ(window->frame().left, 400);
    EXPECT_EQ(window->frame().top, 20);
}

TEST_F(Headless, ClicksReachOnlyEnabledControlsAndCheckBoxesDoNotToggleThemselves) {
    EXPECT_TRUE(window->click(1));
    EXPECT_FALSE(window->checked(1));
    EXPECT_FALSE(window->click(2)) << "disabled button";
    window->setEnabled(2, true);
    EXPECT_TRUE(window->click(2));
    EXPECT_FALSE(window->click(3)) << "an edit field is not clicked";
    EXPECT_FALSE(window->click(99));
    EXPECT_EQ(handler.events, (std::vector<std::string>{"create", "command 1", "command 2"}));
}

TEST_F(Headless, EditFieldsTakeTextAndEnterOnlyWhileEnabled) {
    EXPECT_FALSE(window->type(3, "abc"));
    EXPECT_FALSE(window->pressEnter(3));
    window->setEnabled(3, true);
    EXPECT_TRUE(window->type(3, "EDDF"));
    EXPECT_TRUE(window->pressEnter(3));
    EXPECT_EQ(handler.events.back(), "enter 3 EDDF");
    EXPECT_FALSE(window->type(1, "x")) << "a check box takes no text";
}

TEST_F(Headless, RecordsControlChangesOnlyWhenTheStateChanges) {
    window->takeControlChanges();
    window->setChecked(1, true);
    window->setChecked(1, true);
    window->setText(3, "a");
    window->setEnabled(2, true);
    auto changes = window->takeControlChanges();
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].what, ui::ControlChange::What::checked);
    EXPECT_TRUE(changes[0].flag);
    EXPECT_EQ(changes[1].text, "a");
    EXPECT_EQ(changes[2].what, ui::ControlChange::What::enabled);
    EXPECT_TRUE(window->takeControlChanges().empty());
}

TEST_F(Headless, PaintRecordsOperationsAndClearsTheInvalidArea) {
    window->invalidate(ui::Rect{0, 448, 880, 476});
    window->invalidate(ui::Rect{0, 28, 880, 112});
    EXPECT_EQ(window->takeInvalidated(), (ui::Rect{0, 28, 880, 476}));
    window->invalidate();
    auto ops = window->paint();
    EXPECT_TRUE(window->takeInvalidated().empty());
    ASSERT_EQ(ops.size(), 5u) << "a clipped text without room paints nothing";
    EXPECT_EQ(ops[0].kind, ui::PaintOp::Kind::fill);
    EXPECT_EQ(ops[0].color, ui::rgb(1, 2, 3));
    EXPECT_EQ(ops[1].kind, ui::PaintOp::Kind::line);
    EXPECT_EQ(ops[2].text, "hi");
    EXPECT_EQ(ops[2].x(), 3);
    EXPECT_EQ(ops[2].y(), 4);
    // A text covers the headless font's width of its characters, a clipped one no more than its field.
    const int w = ui::kHeadlessCharWidth;
    EXPECT_EQ(ops[2].rect, (ui::Rect{3, 4, 3 + 2 * w, 4 + ui::kHeadlessLineHeight}));
    EXPECT_EQ(ops[3].rect.right, 3 + 5 * w) << "five characters in six bytes";
    EXPECT_EQ(handler.measured, 5 * w) << "the painter measures what it draws";
    EXPECT_EQ(ui::headlessTextWidth("h\xc3\xa9llo"), 5 * w);
    EXPECT_EQ(ops[4].text, "hello");
    EXPECT_EQ(ops[4].rect.right, 20);
}

TEST_F(Headless, PostedMessagesArriveInOrderAndCloseOnlyReports) {
    window->post(ui::kAppMessage + 1, 7);
    window->post(ui::kAppMessage + 2);
    EXPECT_EQ(window->pendingMessages().size(), 2u);
    EXPECT_EQ(window->pump(), 2);
    window->close();
    EXPECT_EQ(handler.events, (std::vector<std::string>{"create", "message 32769 7", "message 32770 0", "close"}));
    EXPECT_FALSE(window->quitRequested());
}

TEST(HeadlessBackend, ForcedByEnvironment) {
    RecordingHandler handler;
    ::setenv("VEXA_UI", "headless", 1);
    EXPECT_FALSE(ui::displayAvailable());
    auto w = ui::createWindow(handler);
    EXPECT_EQ(w->backendName(), "headless");
}

TEST(HeadlessBackend, ATerminationSignalActsAsTheCloseButton) {
    struct CloseQuits : RecordingHandler {
        void onClose() override {
            RecordingHandler::onClose();
            window->quit(3);
        }
    } handler;
    auto window = ui::createHeadlessWindow(handler);
    handler.window = window.get();
    ASSERT_TRUE(window->create("Vexa", 0, 0, 880, 476));
    ui::closeOnTerminationSignals();
    std::raise(SIGTERM);
    EXPECT_EQ(window->run(), 3);
    EXPECT_EQ(handler.events.back(), "close");
    std::signal(SIGINT, SIG_DFL);
}

TEST(UiThreads, MessageLoopServesOtherThreadsAndEndsWithTheQuitCode) {
    RecordingHandler handler;
    auto window = ui::createHeadlessWindow(handler);
    handler.window = window.get();
    ASSERT_TRUE(window->create("Vexa", 0, 0, 880, 476));
    std::atomic<bool> go{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            while (!go.load()) std::this_thread::yield();
            for (int i = 0; i < 200; ++i) {
                window->setText(3, std::to_string(t * 1000 + i));
                window->setChecked(1, (i & 1) != 0);
                window->setEnabled(2, (i & 1) == 0);
                window->invalidate(ui::Rect{0, 0, 10, 10});
                (void)window->text(3);
            }
            window->post(ui::kAppMessage + 1, t);
        });
    }
    std::thread quitter([&] {
        for (auto& w : writers) w.join();
        window->post(ui::kAppMessage + 9, 42);
    });
    go = true;
    EXPECT_EQ(window->run(), 42);
    quitter.join();
    EXPECT_EQ(std::count_if(handler.events.begin(), handler.events.end(),
                            [](const std::string& e) { return e.rfind("message 32769", 0) == 0; }),
              4);
}

}  // namespace
