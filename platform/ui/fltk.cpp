// FLTK backend.
#include "platform/ui/ui.h"

namespace ui {

bool fltkDisplayAvailable() { return false; }

std::unique_ptr<Window> createFltkWindow(WindowHandler&) { return nullptr; }

}  // namespace ui
