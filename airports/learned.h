#pragma once
// Learned airports: what the program and the user changed about one airport's parking (stands made by hand,
// changed radii and cargo marks, plan options learned at the park airport, the settings in force there),
// kept in an airport parking file below airports/learned beside the file it was learned from. It is merged
// into the stands each time the park airport's file is read and written back when the airport is left. A
// learned file marked "handmade" replaces the airport file's stands altogether.
//
// Threads: everything here runs on the run thread (inside the file read and the leaving of the park
// airport); the counters are atomics because the window paints them.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include <pugixml.hpp>

#include "airports/stands.h"

struct ApfHeader;

// Set when the learned file just merged carries the parameter "handmade"; cleared before each read and when
// the park airport is left.
extern std::atomic<std::uint8_t> handmadeLearned;
// Changes made since the last save (the engine and the planner raise it); reset by the save.
extern std::atomic<std::uint32_t> learnedUpdateCount;
// A setting kept in the learned file was changed; reset by the save.
extern std::atomic<std::uint8_t> learnedParamsChanged;
// Set while the airport's files have not been read whole: during the read of the airport file, when it failed,
// and when its learned file could not be taken (an incorrect meta header, a duplicate stand id of a handmade
// file, a file-system error). The stands in memory are then not what the learned file holds, and the save
// refuses to write them over it.
extern std::atomic<std::uint8_t> learnedReadFailed;

// The learned folder of a publisher: airports/learned/stock, airports/learned/simaddon, or
// airports/learned/thirdparty/<publisher> (airports/learned/thirdparty itself for an empty publisher). Empty for
// a publisher that cannot be a folder name (".", holding a path separator, ".." or a NUL byte, or longer than
// 255 bytes).
std::filesystem::path gf_learnedFolderOf(std::string_view publisher);
// The learned file of an airport file's path (as gf_apfPathOf gives it) and its publisher, the one place that
// the read merges it from and the save writes it to:
// - "archive/..." (a server path): below the learned folder, each "%20" a blank;
// - "airports/my_thirdparty/<file>" (also my_thirdparty2024): airports/learned/thirdparty/<publisher>/<file>;
// - "airports/ve_zuzuvado/<file>": the publisher's learned folder (gf_learnedFolderOf) / <file>;
// - any other "airports/..." path: the same path below airports/learned;
// empty for an empty path, a path that is neither, or a name that would leave the learned folder.
std::filesystem::path gf_learnedPathOf(std::string_view apfPath, std::string_view publisher);

// Merges the learned file into currentStands and applies its settings. A file that does not load is moved
// aside to a name of its own (EGLL-unreadable.xml), which the log names.
void lf_readLearned(const std::filesystem::path& path, const ApfHeader& header);
// Applies a learned edit ("parkpos" that is not manual) to the stand when the names match; true then. A learned
// option loses the half-hours that an option of the airport file for the same aircraft (lf_sameOptionIdentity)
// holds, and is left out only when none remains; one that shares a half-hour with a learned option of the same
// aircraft (lf_sameStandOption) adds its half-hours to it. No learned half-hour is lost.
bool lf_applyLearnedStand(const pugi::xml_node& parkpos, ParkPos& stand);
// Same weekday, real flag, key, airline and type.
bool lf_sameOptionIdentity(const StandOption& existing, const StandOption& added);
// The same identity and at least one common half-hour.
bool lf_sameStandOption(const StandOption& existing, const StandOption& added);

// Writes the learned file of the current park airport to the header's learned path (from the last read), after
// backing up the old file. Each identity (lf_sameOptionIdentity) has one learned option per stand in the file:
// its options are written as one, with all their half-hours. A file the user made read-only is not written ("is read-only" logged). Never throws:
// a failure (also of the backup) is logged and the old file stays.
void gf_saveLearned();
// The learned state of the park airport that is left: handmade mark and failed-read mark cleared.
void gf_leaveLearned();
