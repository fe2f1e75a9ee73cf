#pragma once
// Finding the simulator's packages folder: the folder that holds "Community" and the simulator's own
// "Official" (2020) or "Official2024" (2024) folder. The MSFS_2020 setting selects the simulator.
//
// The Windows places (roaming and local application data) are the application-data folders of platform/os.

#include <filesystem>
#include <string_view>

// The packages folder, or an empty path when none was found (a Steam installation first, then the
// "InstalledPackagesPath" of the simulator's "UserCfg.opt").
std::filesystem::path gf_detectInstallPath();
// The install path setting of the selected simulator (MSFS_INSTALL_PATH or MSFS_2024_INSTALL_PATH) joined
// with subFolder ("Community" or the official packages folder).
std::filesystem::path gf_officialPath(std::string_view subFolder);
// "Official" or "Official2024" for the selected simulator.
std::string_view gf_officialFolderName();

// The steps of the detection.
std::string_view lf_storePackageFamily();
std::string_view lf_appFolderName();
std::filesystem::path lf_findUserCfgOpt();
std::filesystem::path lf_steamPackagesPath();
std::filesystem::path lf_readInstalledPackagesPath();
bool lf_validPackagesPath(const std::filesystem::path& path);
