#pragma once
// Static parked aircraft on the current park airport's stands, and the live aircraft parked there:
// placement from the planner's jobs, keeping the parked aircraft within the plan, the park figures
// and the removal of aircraft in the user's way.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/aircraft.h"

// Takes the last job of staticJobs and places a static aircraft for it. A job whose stand, or a stand
// coupled to it, still holds a static on its way out stays last until that static is gone (a few turns at
// most once its removal is sent); any other aircraft there uses the job up.
void gf_placeStaticAircraft();
// The callsign of a static aircraft of a job, or empty.
std::string lf_detcs(const StaticJob& job);
// Housekeeping when a live aircraft takes a stand (extra 1 from the spawning, 0 from the parking step).
void gf_keepParkedWithinPlan(int extra);
// Removes the count live aircraft parked longest.
void gf_removeLiveParked(size_t count);
// Counts the parked live aircraft (or the static aircraft in the simulator); with show the window figure follows.
size_t gf_refreshLiveParkFigure(bool show);
size_t gf_refreshStaticParkFigure(bool show);
// True when it removed the aircraft because it stands or flies in the user's way.
bool gf_checkUserWay(LiveAircraft& ac);
// Whether an airport code stands in the park-airport list.
bool gf_isParkAirport(std::string_view code);
// The next static id (1..9999, then 1 again; process-wide) that no static of staticList holds; 0 when
// every one is held.
uint32_t lf_nextStaticId();
void gf_resetStaticIdCounter();
