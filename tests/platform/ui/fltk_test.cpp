// The FLTK backend on a virtual X display: the window shows what the paint handler draws, and
// messages and control changes from another thread reach the GUI thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/ui.h"
#include "tests/common/fltk_events.h"
#include "tests/common/virtual_display.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

// Font and X libraries keep caches for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libX11\nleak:libfltk\n"; }

namespace {

struct Rgb {
    int r, g, b;
};

// Pixels of a binary PPM (P6, max 255).
struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> data;
    bool load(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::string magic;
        int maxValue = 0;
        in >> magic >> width >> height >> maxValue;
        if (magic != "P6" || maxValue != 255) return false;
        in.get();
        data.resize(static_cast<std::size_t>(width) * height * 3);
        in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
        return static_cast<bool>(in);
    }
    // The first pixel of the colour, row by row (where the window's client area begins).
    bool find(Rgb c, int& fx, int& fy) const {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const Rgb p = at(x, y);
                if (p.r == c.r && p.g == c.g && p.b == c.b) {
                    fx = x;
                    fy = y;
                    return true;
                }
            }
        return false;
    }
    Rgb at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {data[i], data[i + 1], data[i + 2]};
    }
};

struct Handler : ui::WindowHandler {
    ui::Window* window = nullptr;
    std::atomic<int> paints{0};
    std::atomic<int> messages{0};
    std::atomic<int> measured{0};     // the painter's width of the text drawn at (100, 150)
    std::vector<std::string> events;  // GUI thread only
    // Events as the X server would deliver them: a click on the check box, text and Enter in the
    // edit field.
    void injectInput() {
        Fl_Window* win = Fl::first_window();
        if (win == nullptr) return;
        fltkClick(win, 11, 127);
        for (int i = 0; i < win->children(); ++i) {
            Fl_Widget* w = win->child(i);
            if (w->x() == 217 && w->y() == 231) fltkTypeAndEnter(win, w, "55");
        }
    }
    std::optional<ui::Color> controlBackground() const override { return ui::rgb(200, 100, 50); }
    void onCommand(int id) override { events.push_back("command " + std::to_string(id)); }
    void onEditEnter(int id) override { events.push_back("enter " + std::to_string(id) + " " + window->text(id)); }
    void onCreate() override {
        window->addControl(ui::ControlKind::checkBox, 1, ui::Rect{5, 121, 17, 133}, {}, true);
        window->addControl(ui::ControlKind::editField, 2, ui::Rect{217, 231, 251, 247}, {}, false);
        window->addControl(ui::ControlKind::pushButton, 3, ui::Rect{758, 369, 848, 389}, "Flush static", false);
    }
    void onPaint(ui::Painter& p) override {
        p.fillRect(ui::Rect{0, 0, 880, 28}, ui::rgb(255, 0, 0));
        p.fillRect(ui::Rect{0, 28, 880, 112}, ui::rgb(0, 0, 255));
        p.fillRect(ui::Rect{0, 112, 880, 476}, ui::rgb(153, 204, 255));
        p.line(0, 300, 880, 300, ui::rgb(0, 0, 0));
        p.text(5, 35, "Vexa", ui::rgb(255, 255, 0));
        // About 120 pixels of text in a field of 40.
        p.clippedText(500, 63, "WWWWWWWWWW", ui::rgb(255, 255, 0), 540);
        // A text whose width is measured as it is drawn.
        p.text(100, 150, "WWWWWW", ui::rgb(255, 255, 0));
        measured = p.textWidth("WWWWWW");
        ++paints;
    }
    void onMessage(unsigned message, std::intptr_t param) override {
        ++messages;
        if (message == ui::kAppMessage + 3) injectInput();
        if (message == ui::kAppMessage + 2) window->quit(static_cast<int>(param));
    }
};

TEST(FltkBackend, ShowsThePaintedWindowOnAVirtualDisplay) {
    if (!onPath("Xvfb") || !onPath("import")) GTEST_SKIP() << "Xvfb or ImageMagick import missing";
    VirtualDisplay display;
    ASSERT_TRUE(display.running());
    ::setenv("DISPLAY", display.name().c_str(), 1);
    ::unsetenv("VEXA_UI");
    ASSERT_TRUE(ui::displayAvailable());

    Handler handler;
    auto window = ui::createWindow(handler, ui::Backend::fltk);
    handler.window = window.get();
    ASSERT_EQ(window->backendName(), "fltk");
    ASSERT_TRUE(window->create("Vexa", 0, 0, 880, 476));
    ASSERT_TRUE(window->show());

    const std::string shot =
        (std::filesystem::temp_directory_path() / ("vexa_fltk_" + std::to_string(::getpid()) + ".ppm")).string();
    Image image;
    bool captured = false;
    int ox = 0;
    int oy = 0;
    std::thread other([&] {
        // From another thread: control changes and a message, then the picture once painted.
        window->setText(2, "40");
        window->setChecked(1, true);
        window->setEnabled(3, true);
        window->setTopMost(true);
        window->setEnabled(2, true);
        window->post(ui::kAppMessage + 1);
        for (int i = 0; i < 100 && !captured; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (handler.paints.load() == 0) continue;
            const std::string cmd =
                "import -display " + display.name() + " -window root -depth 8 ppm:" + shot + " 2>/dev/null";
            if (std::system(cmd.c_str()) != 0 || !image.load(shot)) continue;
            // The window manager-less server may place the window a little off its asked position.
            if (!image.find(Rgb{255, 0, 0}, ox, oy) || ox + 880 > image.width || oy + 476 > image.height) continue;
            const Rgb settings = image.at(ox + 400, oy + 200);
            captured = settings.r == 153 && settings.g == 204 && settings.b == 255;
        }
        window->post(ui::kAppMessage + 3);
        window->post(ui::kAppMessage + 2, 7);
    });
    EXPECT_EQ(window->run(), 7);
    other.join();
    if (captured) std::filesystem::remove(shot);

    ASSERT_TRUE(captured) << "the painted window did not appear; paints " << handler.paints.load() << "; last picture "
                          << shot;
    const Rgb status = image.at(ox + 600, oy + 60);
    EXPECT_EQ(status.b, 255);
    EXPECT_EQ(status.r, 0);
    // The clipped text: yellow inside its field, nothing of it right of the field.
    auto yellowIn = [&](int left, int right) {
        for (int y = 50; y < 90; ++y)
            for (int x = left; x < right; ++x)
                if (const Rgb p = image.at(ox + x, oy + y); p.r > 200 && p.g > 200 && p.b < 100) return true;
        return false;
    };
    EXPECT_TRUE(yellowIn(500, 540));
    EXPECT_FALSE(yellowIn(540, 640));
    // The measured text: its ink ends at its measured width, give or take a pixel of the glyph's side bearing.
    int inkRight = -1;
    for (int y = 135; y < 175; ++y)
        for (int x = 90; x < 300; ++x)
            if (const Rgb p = image.at(ox + x, oy + y); p.r > 200 && p.g > 200 && p.b < 100)
                inkRight = std::max(inkRight, x);
    const int width = handler.measured.load();
    EXPECT_GT(width, 30) << "six W at 12 px";
    EXPECT_GE(inkRight, 100 + width - 3) << "measured " << width;
    EXPECT_LE(inkRight, 100 + width) << "measured " << width;
    const Rgb line = image.at(ox + 600, oy + 300);
    EXPECT_EQ(line.r + line.g + line.b, 0) << "the black line";
    const Rgb field = image.at(ox + 246, oy + 239);
    EXPECT_TRUE(field.r == 200 && field.g == 100 && field.b == 50)
        << "the edit field on the handler's ground: " << field.r << "," << field.g << "," << field.b;
    const Rgb title = image.at(ox + 879, oy + 27);
    EXPECT_EQ(title.r, 255) << "the full width of the client area";
    EXPECT_EQ(handler.messages.load(), 3);
    // The click reports without toggling; the typed text reaches the model before Enter.
    EXPECT_EQ(handler.events, (std::vector<std::string>{"command 1", "enter 2 4055"}));
    EXPECT_EQ(window->text(2), "4055");
    EXPECT_TRUE(window->checked(1));
    EXPECT_TRUE(window->enabled(3));
    window.reset();
    // The display goes away with this test.
    ::unsetenv("DISPLAY");
    ::setenv("VEXA_UI", "headless", 1);
}

}  // namespace
