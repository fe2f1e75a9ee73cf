#pragma once
// The engine's handling of the notices in its inbox (shell/engine_inbox.h): the run thread drains
// the inbox once per engine tick and is the only one that acts on the engine's lists.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "shell/engine_inbox.h"

// Run thread: handles every waiting notice in arrival order, empties the inbox and steps the
// light set-up of newly created objects. Defined with the notice handling of the engine.
void gf_drainEngineInbox();
// What the simulator's confirmation of an object's removal does to the lists: a live aircraft with the object
// leaves its list (or, being created again with another livery, goes back to the buffer), a static one leaves
// its list. Also for a removal that is never confirmed, when its wait is over.
void lf_objectGone(uint32_t objectId);
// How many new objects are in their light set-up (tests and diagnostics); takes the inbox mutex.
size_t gf_lightToggleCount();
