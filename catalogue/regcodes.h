#pragma once
// Registration codes: which installed livery belongs to which real registration. Merged from the
// atc ids of the installed liveries, the downloaded "AIG-regcodes" file and the user's text files
// in input/my_regcodes, a later source replacing the mapping of an earlier one.
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/string_keys.h"

struct RegcodeEntry {
    std::string title;
    std::vector<std::string> registrations;  // file order; empty: the title must not be used
    bool special = false;                    // reserved for its registrations, never drawn at random
};

// Registration (as written in the source) -> title view into the livery catalogue.
extern TextMap<std::string_view> regcodeTitles;
// Titles of special liveries, in the order applied (a title may occur more than once).
extern std::vector<std::string_view> specialTitles;
// Lines of output/info/OfflineRegcodes.txt.
extern std::vector<std::string> regcodeMessages;

std::string gf_aigRegcodesPath();      // input/AIG-regcodes.xml
std::string gf_myRegcodesFolder();     // input/my_regcodes
std::string gf_offlineRegcodesPath();  // output/info/OfflineRegcodes.txt
std::string gf_inlineRegcodesPath();   // output/errors/InlineRegcodes.txt

bool gf_readAigRegcodes(const std::string& path, std::list<RegcodeEntry>& entries);
bool gf_readRegcodeFiles(const std::string& folder, std::list<RegcodeEntry>& entries);
void lf_processRegcodeLine(const std::string& path, std::list<RegcodeEntry>& entries, bool& failed,
                           const std::string& line);
// Scan time: fills excludedTitles from both sources.
void gf_readExcludedTitles();
// Build time (called by the livery database build, after the catalogue exists).
void lf_checkInlineRegcodes();
void lf_loadRegcodes();
void lf_applyRegcodes(const std::list<RegcodeEntry>& entries);
