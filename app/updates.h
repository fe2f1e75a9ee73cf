#pragma once
// Updates from the program's download server: the program's own version (an installer archive is fetched and
// unpacked next to the program; the user runs it) and the "ve_zuzuvado" add-on airport package of the 2024
// simulator. The server's address and the download-and-unzip of data archives are in foundation/download.h.
//
// Failures are logged and returned as false; only a newer program that was downloaded ends the run (user
// error 99).
#include <filesystem>
#include <string>
#include <string_view>

#include "foundation/download.h"
#include "foundation/version.h"

// Fixed names on the server and in the program folder.
inline constexpr std::string_view programVersionFile = "release/version.json";
inline constexpr std::string_view releaseFolder = "release/";
inline constexpr std::string_view addonFolder = "rezevavedi24";
inline constexpr std::string_view addonArchive = "ve_zuzuvado2024.zip";
inline constexpr std::string_view installerFile = "install_new_version.exe";
inline constexpr std::size_t installerChunkBytes = 524288;
// "airports"/"ve_zuzuvado": the package's airport files.
std::filesystem::path gf_addonPackageFolder();

// Asks the server for the program's current version; when it is newer than the running one, downloads and
// unpacks the installer and throws user error 99 ("New version {} available, exit {}. Run as administrator:
// \"{}\""). Every failure is logged and the run goes on.
void gf_checkNewVersion();
// The 2024 simulator's add-on airport package: fetched and unpacked into airports/ve_zuzuvado when the server
// has a newer version or the folder is missing. False when the server gave no version or the update failed;
// true when the package is current or was updated.
bool gf_updateAddonPackage();

// Steps of the updates.
VersionData lf_fetchProgramVersion();
VersionData lf_fetchAddonVersion(std::string_view packageFolder);
// "setup_{}_d_v{}.zip" with the short name and the version.
std::string lf_installerArchiveName(const VersionData& version);
// Downloads and unpacks the installer into "install_new_version.exe"; true only when it is there whole.
bool lf_downloadInstaller(const VersionData& version);
