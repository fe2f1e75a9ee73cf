#pragma once
// The add-on airport scan: walks the simulator's package folders for BGL files that hold airports and runs
// one decoding task per file, at most hwConcurrency at once (taskCount, foundation/tasks.h).
//
// Threads: the walk runs on the run thread; the decoding tasks run on threads of their own and have all
// ended, their results fetched, when lf_scanFolderForAirports returns.
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "airports/bgl_decoder.h"

// Folders and files the walk leaves out: paths of 250 characters or more, and paths naming (exact case)
// the simulator's base, tutorials, aircraft, AI traffic and ground-service packages.
bool lf_skipScanPath(std::string_view pathText);
// Exactly ".BGL" or ".bgl".
bool lf_isBglExtension(std::string_view extension);
// Walks one root: an empty text is passed over, a missing root or one that is not a folder is shown in the
// status line.
void lf_scanRoot(const std::string& root, const BglAirportHandlers& handlers);
// The recursive walk of one root; every failure is reported and the walk goes on (or, when the walk itself
// fails, ends) and every started task is waited for.
void lf_scanFolderForAirports(const std::filesystem::path& root, const BglAirportHandlers& handlers);

// The whole scan (run thread, when SCAN_AIRPORTS is on): in 2020 mode the simulator's "Official" folder and
// "Community", in 2024 mode "Community" alone (an empty path is left out). Removes the files of the previous
// scan, writes the scan report and the TBLO folder, and switches SCAN_AIRPORTS off and saves it.
void gf_scanAddonAirports(const std::filesystem::path& official, const std::filesystem::path& community);
// Scans the roots with the given handlers (the scan's own by default), writes
// output/info/AirportsScanLog.txt, fills the TBLO folder and sets addonAirportsFound to the add-on airports
// that got a file; returns airportFilesChanged.
bool lf_scanAirportRoots(const std::vector<std::string>& roots);
bool lf_scanAirportRoots(const std::vector<std::string>& roots, const BglAirportHandlers& handlers);
