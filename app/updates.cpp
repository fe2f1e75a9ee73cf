#include "app/updates.h"

#include <curl/curl.h>
#include <fmt/format.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <system_error>

#include "app/window_proc.h"
#include "foundation/curl_handle.h"
#include "foundation/download.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/zip_archive.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

namespace {

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

bool download(const std::string& url, const fs::path& target) {
    CurlHandle curl;
    return gf_downloadToFile(curl.get(), url, target, true);
}

VersionData fetchVersion(const std::string& url) {
    CurlHandle curl;
    return gf_downloadText(curl.get(), url);
}

// Streams one installer entry into install_new_version.exe; true when it was written whole.
bool lf_extractInstallerEntry(const ZipArchive& archive, const ZipArchive::Entry& entry) {
    const fs::path target{std::string(installerFile)};
    if (fs::exists(target)) fs::remove(target);
    int result = 0;
    {
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        if (!out.is_open()) {
            gf_logError(fmt::format("could not open {}", target.string()));
            return false;
        }
        result = archive.stream(entry, installerChunkBytes, [&](const char* data, std::size_t size) {
            out.write(data, static_cast<std::streamsize>(size));
            return static_cast<bool>(out);
        });
        out.close();
        if (result == 0 && !out) result = -1;
    }
    if (result != 0) {
        gf_logError(fmt::format("unzipping error code : {}", result));
        removeQuietly(target);  // a partial installer must never be run
        return false;
    }
    gf_log(fmt::format("{} unzipped to {}", entry.name, target.string()));
    return true;
}

// Writes one package entry as a ".txt" airport file; false when it could not be read or written.
bool lf_unzipAddonEntry(const ZipArchive& archive, const ZipArchive::Entry& entry, int& count) {
    if (entry.isFolder()) return true;
    const std::string name = ZipArchive::safeFileName(entry.name);
    if (name.empty()) {
        gf_logError(fmt::format("unusable entry name {} skipped?", entry.name));
        return true;
    }
    const auto content = archive.read(entry);
    if (!content) {
        gf_logError(fmt::format("unzipping {} failed?", entry.name));
        return false;
    }
    fs::path target = gf_addonPackageFolder() / name;
    target.replace_extension(".txt");
    if (!gf_writeFile(*content, target, false)) {
        gf_logError(fmt::format("could not write {}?", target.string()));
        return false;
    }
    ++count;
    return true;
}

}  // namespace

fs::path gf_addonPackageFolder() { return fs::path("airports") / "ve_zuzuvado"; }

VersionData lf_fetchProgramVersion() { return fetchVersion(gf_downloadServerUrl() + std::string(programVersionFile)); }

VersionData lf_fetchAddonVersion(std::string_view packageFolder) {
    return fetchVersion(gf_downloadServerUrl() + std::string(packageFolder) + "/version.json");
}

std::string lf_installerArchiveName(const VersionData& version) {
    return fmt::format("setup_{}_d_v{}.zip", programShortName, version.toString());
}

bool lf_downloadInstaller(const VersionData& version) {
    const std::string name = lf_installerArchiveName(version);
    const fs::path archivePath{name};
    if (!download(gf_downloadServerUrl() + std::string(releaseFolder) + name, archivePath)) {
        gf_showStatus(fmt::format("Downloading program installer file version {} failed", version.toString()), true);
        if (fs::exists(archivePath)) fs::remove(archivePath);
        return false;
    }
    gf_log(fmt::format("downloaded {}", archivePath.string()));
    bool ok = false;
    {
        ZipArchive archive;
        if (!archive.open(archivePath)) {
            gf_logError(fmt::format("could not open {}", archivePath.string()));
        } else {
            for (const auto& entry : archive.entries()) {
                if (entry.isFolder()) continue;
                ok = lf_extractInstallerEntry(archive, entry);
                if (!ok) break;
            }
        }
    }
    if (fs::exists(archivePath)) fs::remove(archivePath);
    return ok;
}

void gf_checkNewVersion() {
    const VersionData server = lf_fetchProgramVersion();
    if (server == VersionData{}) {
        gf_logError("Program Version file not found?");
        return;
    }
    if (!(server > programVersion)) return;
    if (lf_downloadInstaller(server)) {
        const fs::path installer = fs::path(PROGRAM_INSTALL_PATH.value()) / std::string(installerFile);
        throw ovk::UserErrorException(99, fmt::format("New version {} available, exit {}. Run as administrator: \"{}\"",
                                                      server.toString(), programShortName, installer.string()));
    }
    gf_showStatus(fmt::format("New version {} could not be installed, this version goes on", server.toString()), true);
}

bool gf_updateAddonPackage() {
    const VersionData server = lf_fetchAddonVersion(addonFolder);
    if (server == VersionData{}) {
        gf_logError("No mysimaddon version info found at the Vexa server?");
        return false;
    }
    const VersionData installed(REZEVAVEDI24_VERSION.value());
    const fs::path folder = gf_addonPackageFolder();
    if (!(server > installed) && fs::exists(folder)) return true;

    const fs::path archivePath{std::string(addonArchive)};
    bool ok = false;
    if (!download(gf_downloadServerUrl() + std::string(addonFolder) + "/" + std::string(addonArchive), archivePath)) {
        gf_logError(fmt::format("downloading {} failed?", archivePath.string()));
    } else {
        ZipArchive archive;
        // The installed files are removed only once the new archive is known to open.
        if (!archive.open(archivePath)) {
            gf_logError(fmt::format("could not open {}", archivePath.string()));
        } else {
            if (fs::exists(folder)) gf_removeFilesIn(folder);
            fs::create_directories(folder);
            int count = 0;
            ok = true;
            for (const auto& entry : archive.entries()) {
                if (!lf_unzipAddonEntry(archive, entry, count)) {
                    ok = false;
                    break;
                }
            }
            archive.close();
            if (ok) {
                gf_showStatus(fmt::format("{} unzipped {} files", archivePath.string(), count), true);
                REZEVAVEDI24_VERSION.save(server.toString());
                gf_showStatus(fmt::format("mysimaddon has been updated to version {}", server.toString()), true);
            }
        }
    }
    if (fs::exists(archivePath)) fs::remove(archivePath);
    return ok;
}
