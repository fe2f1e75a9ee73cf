#pragma once
// The ICAO type of an aircraft.cfg: all liveries of one file belong to one aircraft. Taken from the
// icao_type_designator key, else from the base_container key through the table of the simulator's stock
// aircraft folders, and for the IVAO model packages from the file's path. A type that the reference
// database does not know is corrected through its model fix table or reported.
//
// Called on the scan's task threads, many at once: the table and the reference database are only read;
// report lines go to the issue lists under their own mutexes.
#include <span>
#include <string>
#include <string_view>

// The type of an ordinary aircraft.cfg; empty when the file has none that can be used.
std::string lf_cfgModel(const std::string& cfgPath, std::span<const std::string_view> lines);
// The type of an IVAO package's aircraft.cfg from its path (either path separator); empty when none.
std::string lf_ivaoModel(const std::string& cfgPath);
// The type that a base_container line points to ("..\Asobo_C152" -> "C152"), or empty. A value shorter
// than three characters points nowhere.
std::string lf_readBaseContainer(std::string_view line);
// The type itself when the reference database knows it, its fix (reported in modelFixes), or empty
// (reported in invalidAircraft).
std::string lf_testCfgModel(const std::string& candidate, const std::string& cfgPath);
