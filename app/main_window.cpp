#include "app/main_window.h"

#include <chrono>
#include <thread>
#include <utility>

#include "app/window_proc.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "shell/display.h"
#include "shell/status_line.h"

WindowPaint windowPaint;

namespace {
std::unique_ptr<ui::Window> windowHolder;
}  // namespace

WindowPaint::WindowPaint() {
    separatorLines = {{{0, 140, 880, 140},
                       {0, 168, 642, 168},
                       {0, 196, 642, 196},
                       {0, 224, 880, 224},
                       {0, 252, 642, 252},
                       {0, 280, 642, 280},
                       {0, 308, 880, 308}}};
}

bool initInstance(const std::string& className) { return initInstance(className, ui::Backend::automatic); }

bool initInstance(const std::string& className, ui::Backend backend) {
    for (int i = 0; i < 18 && !mainWindow.ready.load(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!mainWindow.ready.load()) return false;
    if (windowHolder) return false;

    // The stored position; a coordinate at a limit of its range (a window that was minimised or
    // pushed off the screen) goes back to its default.
    pugi::xml_document document;
    if (document.load_file(gf_parametersPath().c_str())) {
        for (IntParameter* p : {&MAIN_WINDOW_X, &MAIN_WINDOW_Y}) {
            p->read(document, false);
            const std::int32_t v = p->value.load();
            if (v == p->min || v == p->max) p->save(p->clamp(p->defaultValue));
        }
    }
    const int x = MAIN_WINDOW_X.value.load();
    const int y = MAIN_WINDOW_Y.value.load();
    auto w = ui::createWindow(gf_windowHandler(), backend);
    mainWindow.window.store(w.get());
    if (!w->create(className, x, y, kClientWidth, kClientHeight)) {
        mainWindow.window.store(nullptr);
        return false;
    }
    windowHolder = std::move(w);
    return windowHolder->show();
}

int gf_runMessageLoop() {
    if (!windowHolder) return 0;
    // Being told to end (the session closes, Ctrl+C) is closing the window: the run closes down.
    ui::closeOnTerminationSignals();
    return windowHolder->run();
}

bool gf_postWindowMessage(unsigned message) {
    ui::Window* w = mainWindow.window.load();
    if (w == nullptr) return false;
    w->post(message);
    return true;
}

ui::HeadlessWindow* gf_headlessWindow() { return dynamic_cast<ui::HeadlessWindow*>(windowHolder.get()); }

void gf_destroyMainWindow() {
    mainWindow.window.store(nullptr);
    windowHolder.reset();
}

void gf_storeWindowPosition(std::int32_t previousX, std::int32_t previousY) {
    const std::pair<IntParameter*, std::int32_t> coordinates[] = {{&MAIN_WINDOW_X, previousX},
                                                                  {&MAIN_WINDOW_Y, previousY}};
    for (const auto& [p, previous] : coordinates) {
        const std::int32_t v = p->value.load();
        if (v == p->min || v == p->max) p->save(p->clamp(previous));
    }
}
