#pragma once
// The user's park airports ("airports/my_park_airports.txt"), the airport file of the current park
// airport, and the wanted number of static parked aircraft.
//
// Threads: parkAirports is read by the GUI thread (auto range), the simulator thread (the user's stand)
// and the run thread; every access holds parkAirportsMutex, or works on a copy taken under it. The list
// file is rewritten (gf_changeParkAirports, gf_updateMyParkAirports) by the run and the simulator thread,
// one at a time under a lock of its own, taken before parkAirportsMutex; a caller holds neither then.
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "airports/parking.h"

extern std::mutex parkAirportsMutex;

// A copy of the list, and of its first entry (none when the list is empty), taken under the lock.
std::list<ParkAirportEntry> gf_parkAirportsCopy();
std::optional<ParkAirportEntry> gf_firstParkAirport();

// One line of the list file (the caller holds the lock): skipped when blank, refused with three or more
// fields, with an airport the database does not know (okay becomes false) or twice; else appended.
void lf_addParkAirportLine(bool& okay, std::string_view line);
// The airports named by the files of airports/my_thirdparty that are not in the list yet.
void lf_addThirdPartyParkAirports();
// Changes the list and writes its first entry into the list file as the change left it, all under the
// file lock, which is taken before parkAirportsMutex (the change runs under both): the entry written is
// the entry changed, whatever another thread re-sorts after the change. A change that returns false
// writes nothing; so does an empty list. True when the file was written.
bool gf_changeParkAirports(const std::function<bool(std::list<ParkAirportEntry>& list)>& change);
// Puts the entry at the front of the list: an entry with the same code is moved there (its reserved stand
// replaced by the given one when that is not empty) rather than added twice. Takes the lock.
void lf_putParkAirportFirst(const ParkAirportEntry& entry);
// Whether the line names the first entry's airport; then it is replaced by "code,stand" (the bare code
// when the entry has no stand).
bool lf_updateParkAirportLine(std::string& line, const ParkAirportEntry& first);

// Reads the current park airport's file into currentStands; the text is empty on success. userStand is
// the stand name under the user aircraft when the user state is valid (empty off a stand and in the air),
// none otherwise.
std::string lf_readParkedFile(const std::optional<std::string>& userStand);
// Whether soft learning is allowed at the current park airport (cleared for good files).
extern std::atomic<std::uint8_t> softLearningAllowed;
// The user's reserved stand at the current park airport (run thread).
extern std::string userReservedStand;

// The wanted count from a percentage, a stand count and the custom cap (-1: none); shownPct the
// percentage shown for it.
std::int64_t lf_wantedCount(std::int32_t pct, std::int64_t stands, std::int32_t maxPark, std::int32_t& shownPct);
// Whole-number rounding of a percentage of stands, halves away from zero; 0 without stands.
std::int32_t lf_percentOf(std::int64_t count, std::int64_t stands);
