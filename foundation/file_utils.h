#pragma once
// Reading and writing text files, the user's application-data folders and the fixed names of the program's
// data tree.

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <istream>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

// Fixed folder and file names, relative to the program folder unless said.
namespace dataNames {
inline const std::filesystem::path docsFolder = "docs";
inline const std::filesystem::path airportsFolder = "airports";
inline const std::string stockFolder = "stock";
inline const std::string simaddonFolder = "simaddon";
inline const std::string thirdpartyFolder = "thirdparty";
inline const std::string learnedFolder = "learned";
inline const std::filesystem::path myThirdpartyFolder = airportsFolder / "my_thirdparty";
inline const std::filesystem::path archiveFolder = "archive";
inline const std::filesystem::path outputFolder = "output";
inline const std::filesystem::path infoFolder = outputFolder / "info";
inline const std::filesystem::path errorsFolder = outputFolder / "errors";
inline const std::filesystem::path inputFolder = "input";
inline const std::filesystem::path learnedStockFolder = airportsFolder / "learned" / "stock";
inline const std::filesystem::path learnedSimaddonFolder = airportsFolder / "learned" / "simaddon";
inline const std::filesystem::path learnedThirdpartyFolder = airportsFolder / "learned" / "thirdparty";
inline const std::filesystem::path liveryCacheFile = outputFolder / "LiveriesScanned.xml";
inline const std::filesystem::path regcodesFile = "AIG-regcodes.xml";
inline const std::filesystem::path inputRegcodesFile = inputFolder / "AIG-regcodes.xml";
inline const std::filesystem::path myRegcodesFolder = inputFolder / "my_regcodes";
inline const std::filesystem::path referenceDatabaseFile = "dbase.xml";
inline const std::string settingsFileName = "parameters.xml";
inline const std::filesystem::path myParkAirportsFile = airportsFolder / "my_park_airports.txt";
inline const std::filesystem::path callsignListFile = "Callsign2ObjectId.txt";
inline const std::filesystem::path airportsP3dFile = "airports_p3d.xml";
inline const std::filesystem::path airportsMsfsFile = "airports_msfs.xml";
inline const std::string steamFolder = "Steam";
inline const std::string oneStoreFolder = "OneStore";
inline const std::string fsBaseFolder = "fs-base";
}  // namespace dataNames

// Reads the lines of one text file. Lines are split at '\n'; a trailing '\r' is removed from each line, as
// the text mode of the platform the files come from does.
class TextFile {
public:
    TextFile() = default;
    virtual ~TextFile();
    TextFile(const TextFile&) = delete;
    TextFile& operator=(const TextFile&) = delete;

    bool open(const std::filesystem::path& path);
    // Appends every remaining line, then clears the stream's state.
    void readLines(std::vector<std::string>& lines);

private:
    std::ifstream stream_;
};

// How the two older copies of a rotated file are named: a mark and one or two "0" before the extension of its
// file name. A copy must never bear the name of another file that the program reads.
enum class BackupNaming {
    // Log.txt -> Log0.txt, Log00.txt: for files whose folder holds no file the program reads by such a name.
    zeros,
    // MD1.xml -> MD1~0.xml, MD1~00.xml: for files named after an airport code, which may end in a digit (the
    // plain zero of MD1's copy would make MD10.xml, the file of another airport). No code holds a '~'.
    tildeZeros
};
// Keeps two older copies before a file is rewritten: the first copy is copied over the second, then the file
// over the first. The copies are writable whatever the file's mode, so that a read-only file never blocks the
// next rotation. Nothing for a file name without an extension. Filesystem failures throw
// std::filesystem::filesystem_error.
void gf_backupFile(const std::filesystem::path& path, BackupNaming naming);
// The first (depth 1) or second (depth 2) copy's path; empty for a file name without an extension.
std::filesystem::path gf_backupName(const std::filesystem::path& path, BackupNaming naming, int depth);

// Character encoding by the first two bytes: 1 UTF-16 LE (FF FE), 2 UTF-16 BE (FE FF), 3 UTF-8 with
// byte-order mark (EF BB), 0 anything else (also a shorter file); 5 when the file cannot be opened (logged).
inline constexpr int encodingUnreadable = 5;
int gf_fileEncoding(const std::filesystem::path& path);
// Appends the file's lines in UTF-8 (the encoding as gf_fileEncoding gives it). False when the file cannot be
// opened or a UTF-16 line cannot be converted.
bool gf_readFileLines(int encoding, const std::filesystem::path& path, std::vector<std::string>& lines);
// The file's lines (reserving room for reserveCount), or nothing when it cannot be opened or has no line.
std::optional<std::vector<std::string>> gf_readFile(const std::filesystem::path& path, std::size_t reserveCount);
bool gf_writeFile(std::string_view text, const std::filesystem::path& path, bool addLineEnd);
bool gf_writeLinesToFile(const std::vector<std::string>& lines, const std::filesystem::path& path);
bool gf_writeListToFile(const std::list<std::string>& lines, const std::filesystem::path& path);
std::list<std::string> gf_readStreamLines(std::istream& stream);
// True when the file did not exist or was removed; failures throw std::filesystem::filesystem_error.
bool gf_removeFile(const std::filesystem::path& path);
// Entries of a folder; 0 when it does not exist.
std::size_t gf_countFolderEntries(const std::filesystem::path& folder);
// Names without extension of the files in airports/my_thirdparty with the extension ".XML" in any case.
std::vector<std::string> gf_xmlFilesIn();

// Saves an XML document in place of the file at the path through gf_replaceFile (foundation/disk_file.h): only
// a whole file, flushed to the disk, replaces the old one; no log line.
bool gf_saveXmlReplacing(const pugi::xml_document& document, const std::filesystem::path& path);
// The same, and logs "\"{}\" saved" or "could not save to \"{}\"".
bool gf_saveXml(const pugi::xml_document& document, const std::filesystem::path& path);
// The attribute's value; empty when the node or the attribute is missing.
std::string gf_attributeString(const pugi::xml_node& node, const char* attributeName);

// Removes every entry of the folder (nothing when it is missing); ovk::UserErrorException 5 on failure.
void gf_removeFilesIn(const std::filesystem::path& folder);

// The user's roaming and local application-data folders; empty (and logged) when unknown.
std::filesystem::path gf_getAppDataPath();
std::filesystem::path gf_getLocalAppDataPath();
