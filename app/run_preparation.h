#pragma once
// The preparation of a run on the run thread: settings, work folders, paths, credential, updates,
// databases, scans, park airports and the pause between two logins to the web service.

#include <cstdint>
#include <filesystem>
#include <string>

#include "foundation/version.h"

class StringParameter;

// The version of this program.
inline constexpr VersionData vexaVersion{10, 10, 10};

// Longest hold between two logins, whatever LAST_EPOCH_TIME says (a value in the future is no reason to
// wait longer).
inline constexpr std::int64_t loginPauseSeconds = 2;

// Runs the preparation in its order. False when a stop came first: the run is not started and goes
// straight to its closing down. Throws the user errors 41 and 150 and file-system errors.
bool lf_prepareRun();

void lf_runConfig();
void lf_loadParameters();
void lf_versionUpdate();
void lf_createWorkFolders();
void lf_trimCommunitySuffix(StringParameter& installPath);
void lf_applySimTimeSetting();
void lf_enableRunControls();

// Whether the aircraft reference database was read (once per process).
extern bool databaseLoaded;
