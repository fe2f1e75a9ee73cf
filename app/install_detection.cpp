#include "app/install_detection.h"

#include <fmt/format.h>

#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/text_utils.h"

namespace fs = std::filesystem;

namespace {

bool msfs2020() { return MSFS_2020.value.load(); }

constexpr std::string_view communityFolder = "Community";
constexpr std::string_view userCfgName = "UserCfg.opt";
constexpr std::string_view packagesFolder = "Packages";
constexpr std::string_view localCacheFolder = "LocalCache";
constexpr std::string_view boxedFolder = "MSFSPackages";
constexpr std::string_view steamStoreFamily = "Microsoft.FlightDashboard_8wekyb3d8bbwe";
constexpr std::string_view packagesKey = "InstalledPackagesPath";

// A place below an application-data folder; nothing when that folder is unknown (a path relative to the
// working folder would be looked up in the wrong place).
fs::path below(const fs::path& base, const fs::path& rest) {
    if (base.empty()) return {};
    return base / rest;
}

}  // namespace

std::string_view lf_storePackageFamily() {
    return msfs2020() ? "Microsoft.FlightSimulator_8wekyb3d8bbwe" : "Microsoft.Limitless_8wekyb3d8bbwe";
}

std::string_view lf_appFolderName() {
    return msfs2020() ? "Microsoft Flight Simulator" : "Microsoft Flight Simulator 2024";
}

std::string_view gf_officialFolderName() { return msfs2020() ? "Official" : "Official2024"; }

fs::path gf_officialPath(std::string_view subFolder) {
    const std::string installPath = msfs2020() ? MSFS_INSTALL_PATH.value() : MSFS_2024_INSTALL_PATH.value();
    return fs::path(installPath) / fs::path(std::string(subFolder));
}

bool lf_validPackagesPath(const fs::path& path) {
    if (path.empty() || !fs::exists(path)) return false;
    return fs::exists(path / communityFolder) && fs::exists(path / gf_officialFolderName());
}

fs::path lf_steamPackagesPath() {
    const fs::path candidate = below(gf_getAppDataPath(), fs::path(lf_appFolderName()) / packagesFolder);
    if (!candidate.empty() && fs::exists(candidate)) {
        gf_log(fmt::format("Steam packages:{}", candidate.string()));
        return candidate;
    }
    return {};
}

fs::path lf_findUserCfgOpt() {
    const fs::path local = gf_getLocalAppDataPath();
    const fs::path roaming = gf_getAppDataPath();
    const struct {
        fs::path path;
        const char* missing;
    } places[] = {
        {below(local, fs::path(packagesFolder) / lf_storePackageFamily() / localCacheFolder / userCfgName),
         "MSFS detection, no Store:{}"},
        {below(roaming, fs::path(lf_appFolderName()) / userCfgName), "MSFS detection, no Steam1:{}"},
        {below(local, fs::path(packagesFolder) / steamStoreFamily / localCacheFolder / userCfgName),
         "MSFS detection, no Steam2:{}"},
        {below(local, fs::path(boxedFolder) / userCfgName), "MSFS detection, no Boxed:{}"},
    };
    fs::path tried;
    for (const auto& place : places) {
        tried = place.path;
        if (!tried.empty() && fs::exists(tried)) return tried;
        gf_log(fmt::format(fmt::runtime(place.missing), tried.string()));
    }
    return tried;
}

fs::path lf_readInstalledPackagesPath() {
    const fs::path userCfg = lf_findUserCfgOpt();
    if (userCfg.empty() || !fs::exists(userCfg)) {
        gf_log("No UserCfg.opt found?");
        return {};
    }
    std::vector<std::string> lines;
    {
        TextFile file;
        if (file.open(userCfg)) file.readLines(lines);
    }
    fs::path result;
    for (const auto& line : lines) {
        if (line.find(packagesKey) == std::string::npos) continue;
        const std::string value = gf_betweenQuotes(line);
        // A line without quotes would give the whole line: that is no path.
        if (line.find('"') != std::string::npos && !value.empty()) {
            result = fs::path(value);
            if (!fs::exists(result)) result.clear();
        }
        break;  // only the first line holding the key counts
    }
    gf_log(fmt::format("UserCfg.opt: InstalledPackagesPath={}", result.empty() ? std::string("???") : result.string()));
    return result;
}

fs::path gf_detectInstallPath() {
    if (fs::path steam = lf_steamPackagesPath(); lf_validPackagesPath(steam)) return steam;
    if (fs::path configured = lf_readInstalledPackagesPath(); lf_validPackagesPath(configured)) return configured;
    return {};
}
