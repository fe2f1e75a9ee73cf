// The window procedure of the main window: control creation, painting, close, the start-run and
// quit messages and the commands of check boxes and buttons. Also the small services that other
// subsystems call to write a setting into its control and to stop a run.
#pragma once

#include "platform/ui/ui.h"

// The handler that initInstance gives the window.
ui::WindowHandler& gf_windowHandler();
