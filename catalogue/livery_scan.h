#pragma once
// The livery scan: finds every installed livery that the simulator can use for AI traffic. Walks the scan
// roots (the AI-traffic package folders below the Community folder in the user's order, or the folders
// the user names), reads every aircraft.cfg on a task of its own, corrects the records from the reference
// database, keeps for each airline and type only the earliest root's liveries when asked, sorts and
// de-duplicates them, and writes the scan cache and the reports. The livery database is then built from
// the cache.
//
// Run thread only. The files of a root are read by tasks on detached threads of their own, one task per
// free slot of the shared task count (at most hwConcurrency), each reading the root's files in turn.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "catalogue/livery_record.h"

// Called once per run after the reference database is loaded. With SCAN_LIVERIES off it only builds the
// livery database from the cache. A complete scan switches SCAN_LIVERIES off and saves it; a scan stopped
// by the run's stop leaves it on and returns without building. Throws ovk::UserErrorException 48 (manual,
// no folder), 53 (manual, nothing found), 43 (automatic, nothing found) and lets file-system and cache
// errors pass.
void gf_scanLiveries();

// Where the automatic roots are looked for: the simulator's Community folder of the version in use, or an
// empty path when none is known. The application registers the source once at start-up (lf_connectSubsystems,
// app/entry.h) and it is asked at each automatic scan; without one there is no folder.
void gf_setCommunityFolderSource(std::function<std::filesystem::path()> source);

using LiveryRoots = std::vector<std::string>;

// Finders of the automatic roots: each lists the Community folder (one level) and appends at most one path.
void lf_findAigFolder(const std::filesystem::path& community, LiveryRoots& roots);
void lf_findFsltlFolder(const std::filesystem::path& community, LiveryRoots& roots);
void lf_findJfFolder(const std::filesystem::path& community, LiveryRoots& roots);
void lf_findUserTrafficFolder(const std::filesystem::path& community, LiveryRoots& roots);
// The automatic roots in AI_PACKAGE_ORDER, then user-aitraffic.
LiveryRoots lf_automaticRoots(const std::filesystem::path& community);

// Scans every root and post-processes the result into the cache and the reports. True when liveries were
// found or a stop came during the scan (nothing is then written), false when none were found.
bool lf_scanLiveryRoots(const LiveryRoots& roots);

// Counters of one scan of all roots.
struct RootScanCounters {
    std::uint32_t rootIndex = 0;
    std::uint64_t total = 0;
    std::uint64_t previousSize = 0;
};
void lf_scanLiveryRoot(const std::string& root, RootScanCounters& counters);
// Walks the root (excluded names and paths of 250 bytes or more not descended into), reads every
// aircraft.cfg found (any letter case) on the tasks and merges their records into the list in livery
// order. Returns once every task has ended. A stop ends the walk and the reading between two files.
void lf_scanFolderForLiveries(std::uint32_t rootIndex, const std::string& root, std::list<LiveryRecord>& list);

// The reference database's fixes of one record with an atc id whose registration it knows (lines in
// dbaseConversions): its cargo flag; its airline, the entry's operator or else its airline, unless the entry has
// neither; its type, unless the entry has none.
void lf_applyDbaseToLivery(LiveryRecord& record);
// Keeps, for each airline and type, only the records of the lowest root index that has them.
void lf_prioritizeLiveries(std::list<LiveryRecord>& list);

// The number of scan tasks whose body has not ended yet (also those abandoned by a failed walk).
std::int32_t gf_liveryTasksRunning();
