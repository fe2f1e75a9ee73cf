#pragma once
// Motion of live aircraft: take-off, flight and landing, ground movement, pushback, curves, the
// last leg into a stand, and what happens when an aircraft's stream of positions runs out.
#include "engine/aircraft.h"

// The engine tick reached the head's tick: takes the head as the point reached and aims at the
// next one. Errors are logged with the aircraft's label and thrown on.
void nextPosMain(LiveAircraft& ac);
// The per-tick steps of position and attitude towards the aim point.
void stepMotion(LiveAircraft& ac);
// The take-off roll begins.
void startTakeOff(LiveAircraft& ac);
// Whether the step from one point to the next shows a take-off roll: the next point is off the ground, or both
// are at 43 kt or more, and the roll does not slow down. A landing's roll-out slows down; without the field's
// elevation the feed reports its fast part as off the ground at the field's height, as it does a take-off's.
bool gf_showsTakeOffRoll(const StreamPoint& from, const StreamPoint& to);
// Restarts the aircraft with a new livery (removal, then creation again).
void liveryRespawn(LiveAircraft& ac);
// Marks the aircraft's stand as a cargo stand when the aircraft carries a cargo livery.
void markCargoStand(LiveAircraft& ac);

// A stand as the last leg of a taxi sees it.
struct StandPoint {
    double latitude = 0.0;   // deg
    double longitude = 0.0;  // deg
    double heading = 0.0;    // rad
};
// Appends the last leg into the stand (a moving point at the stand and a stop after it).
void drive2Stand(LiveAircraft& ac, const StandPoint& stand);
