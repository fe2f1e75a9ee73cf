#pragma once
// The aircraft.cfg reader: the body of one scan task. Reads the file in its encoding (cfg_text.h), checks
// the numbering of its [fltsim.N] headers, determines the file's ICAO type (cfg_model.h), cuts the file
// into its sections and hands each to the section rules (livery_sections.h). The result is the file's
// records in livery order. Problems go to the issue lists or the log.
//
// Many readers run at once, one per task thread; each one's lines and result are its own.
#include <cstdint>
#include <filesystem>
#include <list>
#include <span>
#include <string>
#include <string_view>

#include "catalogue/livery_record.h"

// The number text of a section header line: its digits for "[fltsim.N]" (any letter case, blanks around),
// "10000" for any other line holding "[fltsim." or "[FLTSIM.", "" for a comment or any other line.
std::string lf_fltsimNumber(std::string_view line);
inline constexpr std::string_view headerWithoutNumber = "10000";
// True when the section numbers are exactly 0..n-1 in any order (or there is no header: the path then
// goes to noFltsimCfgs). Otherwise reports to invalidCfgs or logs an unreadable number.
bool lf_checkFltsimNumbers(std::span<const std::string_view> lines, const std::string& cfgPath);

// The readers of one file, for ordinary packages and for the IVAO model packages. A file that is
// missing, unreadable, badly numbered or without a type yields nothing. An exception of the section
// rules or the file system is logged (standard reader) and thrown on.
std::list<LiveryRecord> lf_searchLiveriesinFile(std::uint32_t rootIndex, const std::filesystem::path& cfgPath);
std::list<LiveryRecord> lf_searchLiveriesinIvaoFile(std::uint32_t rootIndex, const std::filesystem::path& cfgPath);

// The records of one aircraft.cfg given as its bytes (the readers above after reading the file).
std::list<LiveryRecord> lf_liveriesFromCfgText(std::uint32_t rootIndex, std::string_view bytes,
                                               const std::string& cfgPath, bool ivao);
// The path's text up to its last separator (either kind); empty when it has none.
std::string lf_cfgFolderText(const std::string& cfgPath);
