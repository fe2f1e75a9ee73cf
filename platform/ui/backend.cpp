#include <cstdlib>
#include <string_view>

#include "platform/ui/ui.h"

namespace ui {

std::unique_ptr<Window> createFltkWindow(WindowHandler& handler);  // fltk.cpp
bool fltkDisplayAvailable();                                       // fltk.cpp

bool displayAvailable() {
    const char* forced = std::getenv("VEXA_UI");
    if (forced != nullptr && std::string_view(forced) == "headless") return false;
    return fltkDisplayAvailable();
}

std::unique_ptr<Window> createWindow(WindowHandler& handler, Backend backend) {
    if (backend != Backend::headless && displayAvailable()) {
        if (auto w = createFltkWindow(handler)) return w;
    }
    return createHeadlessWindow(handler);
}

}  // namespace ui
