#pragma once
// The one download primitive: a URL into a file with libcurl's easy interface.
// Failures are logged and returned as false, never thrown.

#include <curl/curl.h>

#include <filesystem>
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
