#pragma once
// The parking planner's result: the stands it wants filled with static parked aircraft. The
// planner fills the list; the engine takes one job every 50 ticks while no live creation waits.
#include <vector>

#include "engine/aircraft.h"

extern std::vector<StaticJob> staticJobs;
