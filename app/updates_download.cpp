#include "app/updates.h"

#include <fmt/format.h>
#include <zip.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "foundation/download.h"
#include "foundation/log.h"
#include "foundation/settings.h"

namespace {
constexpr const char* defaultServerUrl = "https://downloads.vexalane.net/downloads/";

void removeQuietly(const std::filesystem::path& p) {
    std::error_code ec;
    std::filesystem::remove(p, ec);
}

// Writes the text of every file entry of the archive into target; false when it cannot be opened.
bool unzipInto(const std::filesystem::path& archive, const std::filesystem::path& target) {
    int err = 0;
    zip_t* za = zip_open(archive.string().c_str(), ZIP_RDONLY, &err);
    if (!za) return false;
    std::unique_ptr<zip_t, void (*)(zip_t*)> guard(za, [](zip_t* z) { zip_discard(z); });
    bool ok = true;
    const zip_int64_t n = zip_get_num_entries(za, 0);
    for (zip_int64_t i = 0; i < n; ++i) {
        const char* name = zip_get_name(za, static_cast<zip_uint64_t>(i), 0);
        if (!name) continue;
        std::string_view entryName(name);
        if (!entryName.empty() && entryName.back() == '/') continue;
        zip_stat_t st;
        if (zip_stat_index(za, static_cast<zip_uint64_t>(i), 0, &st) != 0) {
            ok = false;
            continue;
        }
        zip_file_t* zf = zip_fopen_index(za, static_cast<zip_uint64_t>(i), 0);
        if (!zf) {
            ok = false;
            continue;
        }
        std::vector<char> buffer(static_cast<std::size_t>(st.size));
        const zip_int64_t got = buffer.empty() ? 0 : zip_fread(zf, buffer.data(), buffer.size());
        zip_fclose(zf);
        if (got < 0 || static_cast<std::size_t>(got) != buffer.size()) {
            ok = false;
            continue;
        }
        if (target.has_parent_path()) {
            std::error_code ec;
            std::filesystem::create_directories(target.parent_path(), ec);
        }
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        if (!out) ok = false;
    }
    return ok;
}
}  // namespace

std::string gf_downloadServerUrl() {
    std::string url = defaultServerUrl;
    if (const char* v = std::getenv(downloadUrlVariable); v && *v) url = v;
    if (url.back() != '/') url += '/';
    return url;
}

std::string gf_downloadBaseUrl(bool force2020) {
    return gf_downloadServerUrl() + ((MSFS_2020.value.load() || force2020) ? "MSFS/" : "MSFS2024/");
}

bool gf_downloadAndUnzip(std::string_view archiveName, const std::filesystem::path& target) {
    const std::filesystem::path archive{std::string(archiveName)};
    CURL* handle = curl_easy_init();
    const bool downloaded = gf_downloadToFile(handle, gf_downloadServerUrl() + std::string(archiveName), archive, true);
    if (handle) curl_easy_cleanup(handle);
    if (!downloaded) {
        gf_logError(fmt::format("downloading {} failed?", archiveName));
        removeQuietly(archive);
        return false;
    }
    if (!unzipInto(archive, target)) {
        gf_logError(fmt::format("unzipping {} failed?", archiveName));
        removeQuietly(target);
        removeQuietly(archive);
        return false;
    }
    removeQuietly(archive);
    return true;
}

bool gf_downloadDatabase(const std::filesystem::path& target) { return gf_downloadAndUnzip("dbase.zip", target); }
