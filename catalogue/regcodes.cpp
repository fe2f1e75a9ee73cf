#include "catalogue/regcodes.h"

#include <filesystem>

TextMap<std::string_view> regcodeTitles;
std::vector<std::string_view> specialTitles;
std::vector<std::string> regcodeMessages;

namespace fs = std::filesystem;

std::string gf_aigRegcodesPath() { return (fs::path("input") / "AIG-regcodes.xml").string(); }
std::string gf_myRegcodesFolder() { return (fs::path("input") / "my_regcodes").string(); }
std::string gf_offlineRegcodesPath() { return (fs::path("output") / "info" / "OfflineRegcodes.txt").string(); }
std::string gf_inlineRegcodesPath() { return (fs::path("output") / "errors" / "InlineRegcodes.txt").string(); }

bool gf_readAigRegcodes(const std::string&, std::list<RegcodeEntry>&) { return false; }
bool gf_readRegcodeFiles(const std::string&, std::list<RegcodeEntry>&) { return false; }
void lf_processRegcodeLine(const std::string&, std::list<RegcodeEntry>&, bool&, const std::string&) {}
void gf_readExcludedTitles() {}
void lf_checkInlineRegcodes() {}
void lf_loadRegcodes() {}
void lf_applyRegcodes(const std::list<RegcodeEntry>&) {}
