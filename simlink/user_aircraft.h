#pragma once
// The user aircraft as the simulator link follows it: its state answers, the teleport test, its
// title and the deduction of its ICAO type, half wing span and category, and its stand.
//
// Everything here is written on the SimClient thread. The state answer and the copy taken by
// gf_requestUserPosition (commands.h) are made under simQueueMutex.

#include <atomic>
#include <cstdint>
#include <string>

#include "foundation/geodesy.h"
#include "simlink/commands.h"

// The link's copy of the last state answer (under simQueueMutex).
UserState gf_linkUserState();
// Position of the previous state answer (0, 0 at program start; kept across runs).
extern LatLon previousPosition;
// Set when the first state answer arrived in this run.
extern std::atomic<std::uint8_t> userDataReceived;
// The user's title (at most 48 characters) and the stand last found under the user.
std::string gf_userTitle();
std::string gf_userStandName();

void lf_onUserTitle(const vsim::RecvSimObjectDataMsg& message);
void lf_deduceUserModel(const vsim::RecvSimObjectDataMsg& message);
// The rule table that turns the simulator's "ATC MODEL" into an ICAO type (model of the deduction).
std::string lf_modelFromAtcModel(const std::string& raw, const std::string& title);

// The user state back to zero and the per-run marks cleared (run clean-up).
void lf_resetUserAircraft();
