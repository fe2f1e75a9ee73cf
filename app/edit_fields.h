// The edit fields of the settings panel: what Enter in a field commits (checks, conversion, clamps,
// save, the note in the message line, the value written back in its normal form and the field's
// follow-up), and the time shift that the three time-shift fields, the run start and the simulator's
// clock set.
//
// Threads: the commits run on the GUI thread. gf_setTimeShift and gf_splitTimeShift also run on the run
// thread; work on the run thread's lists is handed over as requests (app/window_requests.h). Settings
// texts are read and written as copies under their own locks.
#pragma once

#include <cstdint>
#include <string>

class GuiIntParameter;
class GuiFloatParameter;
class StringParameter;

// Enter in the field with this control id; false for an id that is no edit field. An exception of a
// commit is caught here, logged and shown; the program goes on.
bool gf_commitField(int controlId);

// The field's text as UTF-8, at most 1023 characters (empty when the control has no text).
std::string gf_readFieldText(int controlId);

// Number field commit; true when the value changed. A text that is no number is shown as invalid
// input; the setting keeps its value.
bool lf_processTbInt(GuiIntParameter& setting);
// MAX_FIT_FL commit (stores MAX_FIT); true when the value changed. A text that is no finite number is
// logged; the setting keeps its value.
bool lf_processTbFloat(GuiFloatParameter& setting);

// The time shift in minutes (limited to 4 weeks): the time-shift settings and fields, the feed
// readers' time offset and, unless quiet, every aircraft out of the simulator and a renewal of the
// static parking (carried out by the run thread).
void gf_setTimeShift(std::int32_t minutes, bool quiet);
// TIME_SHIFT_DAYS, TIME_SHIFT_HOURS and TIME_SHIFT_MINS from minutes: clamped, saved, shown.
void gf_splitTimeShift(std::int32_t minutes);

// The install path typed for the simulator in use: a Community folder, or the folder that holds one.
// A valid path is saved and the run restarts.
void lf_newSimPath(StringParameter& installPath, const std::string& text);
// "Community path found" and a restart after 3 seconds, unless a stop is pending.
void gf_restartForNewPath();

// BLOCK_CALLSIGN emptied and saved; live aircraft with that callsign are no longer blocked.
void gf_unblockCallsign();
// The airport becomes the destination: DESTINATION saved and shown, the airport added to the park
// airports (by the run thread).
void gf_setDestination(const std::string& icao, double latitude, double longitude);
