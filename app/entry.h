#pragma once
// The program's entry: single instance, log, window and message loop.

// Name of the single-instance guard.
inline constexpr const char* singleInstanceName = "Local\\$Vexalane$";

// The one place where the hooks through which the lower subsystems reach the levels above them are
// registered: the log's stop test and status notes (foundation, answered by the shell's run flags and status
// line), the settings loader's control writers (foundation, answered by the window), the user's stand for
// parked traffic (feed), the airport file's window hooks (airports), the planner's parking controls (parking)
// and the livery scan's Community folder (catalogue). The entry calls it first. A hook left unregistered keeps
// a default that does less than the real function, so a test checks each one's effect after this call.
void lf_connectSubsystems();
// The entry: returns the exit code; -1 at once, without window or log, when another instance runs.
int wWinMain();
// Opens Log.txt with its backups; when that fails the program goes on without a log, and says so on
// the status line and on standard error.
void lf_openProgramLog();
// Creates the main window, makes sure the AppData folder exists, starts the first run and runs the message
// loop; returns the quit code, or 0 when the window could not be made.
int lf_runApplication();
