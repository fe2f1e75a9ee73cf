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

// The plan files of the objects are written and deleted by the engine's flight-plan writer
// thread, in the order asked for, never inside an engine tick. The run thread asks; the writer
// logs a failure as the synchronous calls would have. The writer starts with the first job.

// Run thread: asks for the plan of the aircraft's new object; with `assign` the writer then hands
// its path (without the extension) to the simulator. A failed write or assignment logs
// "{} creating a flight plan failed" with the aircraft's label.
void gf_queueFlightPlan(const SimAircraft& ac, uint32_t objectId, bool assign);
// Run thread: asks for the deletion of an object's plan, after every job asked before it; a
// missing file is no error, a failure is logged.
void gf_deleteFlightPlan(uint32_t objectId);
// Run thread: waits until every job asked for so far is done (sleep-and-poll).
void gf_waitFlightPlanWriter();
// Run thread: does the jobs still queued, then ends and joins the writer (a later job starts it
// again). Called when the run cleans up, before the folder and the engine's state go.
void gf_stopFlightPlanWriter();
