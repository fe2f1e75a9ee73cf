#pragma once
// Downloads: a URL into a file with libcurl's easy interface, the program's download server and the
// download-and-unzip of its data archives. Failures are logged and returned as false, never thrown.

#include <curl/curl.h>

#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/version.h"

// Temporary file of a version download, in the working folder.
inline constexpr std::string_view versionDownloadFile = "version.json";

// Downloads url into target ("wb" when binary, else "w"). For HTTP(S) a status outside 2xx is a failure.
// Follows redirects; connect timeout and low-speed limit. The file is closed on every path; a failed transfer
// leaves what was written.
bool gf_downloadToFile(CURL* handle, std::string_view url, const std::filesystem::path& target, bool binary);
// Downloads a version description into "version.json", reads its first line and removes the file; 0.0.0 on
// failure ("downloading \"{}\" failed").
VersionData gf_downloadText(CURL* handle, std::string_view url);

// Environment variable that replaces the server's base address (tests and the demo: a local server
// or a file:// folder).
inline constexpr const char* downloadUrlVariable = "VEXA_DOWNLOAD_URL";

// The server's base address, ending in '/': VEXA_DOWNLOAD_URL when set, else the maker's server.
std::string gf_downloadServerUrl();
// The base address followed by "MSFS/" (MSFS_2020 on, or force2020) or "MSFS2024/".
std::string gf_downloadBaseUrl(bool force2020);

// Downloads the archive of that name from the server's base address into a local file of that name,
// writes the content of its file entries into target (the last entry wins) and removes the archive.
// Failures are logged ("downloading {} failed?", "unzipping {} failed?") and return false.
bool gf_downloadAndUnzip(std::string_view archiveName, const std::filesystem::path& target);
// gf_downloadAndUnzip of "dbase.zip".
bool gf_downloadDatabase(const std::filesystem::path& target);
