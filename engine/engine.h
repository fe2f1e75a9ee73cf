#pragma once
// Everything the rest of the program calls of the traffic engine.
#include "airports/stand_option.h"  // stand options and testRange
#include "engine/aircraft.h"        // records, states, phases, categories, labels, removal
#include "engine/conflicts.h"       // ghosts, duplicates, flush, reserved stand, parked too long
#include "engine/engine_state.h"    // lists, tick, set-up and clean-up of a run
#include "engine/flight_plan.h"     // flight-plan folder and files
#include "engine/notices.h"         // the inbox
#include "engine/static_parking.h"  // static placement, park figures, user's way
#include "engine/upkeep.h"          // MAX_LIVE, object-id file, collision avoidance
#include "feed/feed_intake.h"       // the feed's hand-over (and the engine clock)
