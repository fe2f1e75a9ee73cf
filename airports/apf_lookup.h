#pragma once
// Where the airport parking file of an airport comes from: a file of an outside publisher or of the
// program's simulator add-on in the local folders (the file itself, or a one-line pointer file naming a file
// on the download server), or a stock file on the download server; and the small questions about such a
// file that the park airport choice and the add-on airport scan ask.
//
// Paths: a local path begins with "airports"; every other path is relative to the download server's folder
// (it begins with "archive") and is downloaded before it is read. Temporary download targets are in the
// program folder (the working folder).
//
// Threads: run thread, and the add-on airport scan's tasks for the publisher checks; every download makes
// its own download handle.
#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/geodesy.h"

namespace apfFiles {
inline const std::filesystem::path addonFolder = std::filesystem::path("airports") / "ve_zuzuvado";
inline const std::filesystem::path publisherFolder = std::filesystem::path("airports") / "my_thirdparty";
inline const std::filesystem::path parkAirportDownload = std::filesystem::path("airports") / "park_airport.xml";
inline const std::filesystem::path destinationDownload = "airport.xml";
inline constexpr std::string_view stockServerFolder = "archive/stock/";
inline constexpr std::string_view localPrefix = "airports";
inline constexpr std::string_view serverPrefix = "archive";
}  // namespace apfFiles

// code + ".xml" as a text; code + ".xml" and code + ".txt" as paths.
std::string gf_xmlName(std::string_view code);
std::filesystem::path gf_xmlPath(std::string_view code);
std::filesystem::path gf_txtPath(std::string_view code);

// Whether the path is local (begins with "airports").
bool gf_isLocalApfPath(std::string_view path);

// The path of the airport's parking file, first hit of: pointer file and file in airports/my_thirdparty,
// pointer file and file in airports/ve_zuzuvado, the stock file on the server ("archive/stock/CODE.xml");
// empty when there is none. A pointer file that cannot be read or names no path is passed over. An
// existence test that the file system answers with an error throws.
std::string gf_apfPathOf(std::string_view code);
// Whether the airport has a local file or pointer file, or a stock file on the server.
bool gf_airportFileAvailable(std::string_view code);
// The first line of a pointer file without the characters behind its last 'l' ("....xml"): true and the
// path stored; false (the string untouched) when the file cannot be read, has no line, or the path is empty.
bool lf_readPointerFile(const std::filesystem::path& path, std::string& target);
// Whether the server has the stock file of the airport (downloaded into CODE.xml and removed again).
bool gf_stockFileOnServer(std::string_view code);
// Downloads a server path into the target; empty on success, else "failed to download: \"{}\"" (logged).
// Stock and simulator add-on files always come from the "MSFS/" folder, publisher files from the folder of
// the simulator in use.
std::string gf_downloadApf(std::string_view relativePath, const std::filesystem::path& target);
// Distance in nautical miles to the closest stand of the airport's file (the stand's name into standName);
// 100.0 when no stand is closer or the file is missing or unreadable.
double gf_readDestApfForClosestStand(std::string_view code, const LatLon& position, std::string& standName);
// The "publisher" parameter of a file; empty when absent or the file does not load.
std::string gf_readApfPublisher(const std::filesystem::path& path);
// Empty when the file's publisher is acceptable; else a complaint ("\"{}\" not found", or the manufacturer
// and creator texts of an "unknown" publisher when both are shorter than 4 characters).
std::string gf_checkApfPublisher(const std::filesystem::path& path);
// Whether the airport's stock file has a quality factor and at least 24 in "RT_traffic_week".
bool gf_suitableForOfflineLearning(std::string_view code);
