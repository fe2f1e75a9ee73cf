#pragma once
// The rules for one [fltsim.N] section of an aircraft.cfg: read its keys, check them, repair what can be
// repaired (airline codes, registrations) and create one LiveryRecord, or reject the section with a
// report line. Two rule sets: the standard one (airline in an icao_airline key) and the one of the IVAO
// model packages (airline after the type in the title, texture folder must exist).
//
// Run on the scan's task threads, many at once. Shared: the title register and the issue lists (each
// under its own mutex), the log; the settings, the excluded titles and the reference database are only
// read while a scan runs.
#include <cstdint>
#include <list>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/livery_record.h"

// `section` holds the section's lines, its header line first. The result holds at most one record.
std::list<LiveryRecord> lf_procesFltSimSection(std::uint32_t rootIndex, std::span<const std::string_view> section,
                                               const std::string& type, const std::string& cfgPath,
                                               const std::string& folder);
// The empty record when the section yields nothing.
LiveryRecord lf_procesIvaoFltSimSection(std::uint32_t rootIndex, std::span<const std::string_view> section,
                                        const std::string& type, const std::string& cfgPath, const std::string& folder);

// Indexes excludedTitles for the section rules; called after the list is filled and before the
// sections are read (the scan does this on the run thread before it starts any task).
void lf_indexExcludedTitles();
bool lf_isExcludedTitle(const std::string& title);
