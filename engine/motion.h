#pragma once
// Motion of live aircraft: take-off, flight and landing, ground movement, pushback and curves.
// The engine core calls these; until the motion is built they carry the least behaviour: an
// aircraft jumps to each stream point when it is due and holds at the last one.
#include "engine/aircraft.h"

// The engine tick reached the head's tick: takes the head as the point reached and aims at the next.
void nextPosMain(LiveAircraft& ac);
// The per-tick steps of position and attitude towards the aim point.
void stepMotion(LiveAircraft& ac);
// The take-off roll begins.
void startTakeOff(LiveAircraft& ac);
// Restarts the aircraft with a new livery (removal, then creation again).
void liveryRespawn(LiveAircraft& ac);
// Marks the aircraft's stand as a cargo stand when the aircraft carries a cargo livery.
void markCargoStand(LiveAircraft& ac);
