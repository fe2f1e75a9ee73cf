#pragma once
// Downloads from the program's download server: its base address and the download-and-unzip routine
// that fetches the data archives (reference database, registration codes).
#include <filesystem>
#include <string>
#include <string_view>

// Environment variable that replaces the server's base address (tests and the demo: a local server
// or a file:// folder).
inline constexpr const char* downloadUrlVariable = "VEXA_DOWNLOAD_URL";

// The server's base address, ending in '/': VEXA_DOWNLOAD_URL when set, else the maker's server.
std::string gf_downloadServerUrl();
// The base address followed by "MSFS/" (MSFS_2020 on, or force2020) or "MSFS2024/".
std::string gf_downloadBaseUrl(bool force2020);
// Downloads the archive of that name from the base address into a local file of that name, writes
// the text of its file entries into target (the last entry wins) and removes the archive. Failures
// are logged ("downloading {} failed?", "unzipping {} failed?") and return false.
bool gf_downloadAndUnzip(std::string_view archiveName, const std::filesystem::path& target);
// gf_downloadAndUnzip of "dbase.zip".
bool gf_downloadDatabase(const std::filesystem::path& target);
