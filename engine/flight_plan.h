#pragma once
// Flight-plan files that give an AI object its origin and destination: "{}.pln" named after the
// object id, in the folder "orig_dest" of the program's roaming AppData folder.
#include <cstdint>
#include <filesystem>

#include "engine/aircraft.h"

// Sets the folder path and creates the program's AppData folder and the flight-plan folder when
// missing; true when the folder exists afterwards. A file-system failure throws.
bool gf_createFlightPlanFolder();
// Deletes the folder with all its files when it exists; an error is logged, never thrown.
void gf_removeFlightPlanFolder();
// "{}.pln" of the object id inside the flight-plan folder.
std::filesystem::path gf_flightPlanPath(uint32_t objectId);
// Writes the plan of the aircraft; false when the file could not be written.
bool gf_writeFlightPlan(const std::filesystem::path& path, const SimAircraft& ac);
// Deletes the plan of an object; a missing file is no error, a failure is logged.
void gf_deleteFlightPlan(uint32_t objectId);
