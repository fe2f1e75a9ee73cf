#include "foundation/download.h"

#include <fmt/format.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "foundation/curl_handle.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/settings.h"
#include "foundation/zip_archive.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const {
        if (file) std::fclose(file);
    }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

std::size_t writeToFile(char* data, std::size_t size, std::size_t count, void* userData) {
    return std::fwrite(data, size, count, static_cast<std::FILE*>(userData));
}

bool isHttp(std::string_view url) {
    auto startsWithNoCase = [&](std::string_view prefix) {
        if (url.size() < prefix.size()) return false;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(url[i])) != prefix[i]) return false;
        return true;
    };
    return startsWithNoCase("http://") || startsWithNoCase("https://");
}

}  // namespace

bool gf_downloadToFile(CURL* handle, std::string_view url, const std::filesystem::path& target, bool binary) {
    if (!handle) return false;
    try {
        FileHandle file(std::fopen(target.c_str(), binary ? "wb" : "w"));
        if (!file) {
            gf_log(fmt::format("could not open output file: {}", target.string()));
            return false;
        }
        const std::string address(url);
        curl_easy_setopt(handle, CURLOPT_URL, address.c_str());
        curl_easy_setopt(handle, CURLOPT_USERAGENT, "Vexa");
        curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &writeToFile);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, file.get());
        curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
        // A download must never hang a closing program: limit the connect and give up on a stalled transfer.
        curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 20L);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 10L);
        curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 60L);
        const CURLcode result = curl_easy_perform(handle);
        bool ok = result == CURLE_OK;
        if (ok && isHttp(url)) {
            long status = 0;
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
            ok = status >= 200 && status < 300;
        }
        const bool closed = std::fclose(file.release()) == 0;
        return ok && closed;
    } catch (const std::exception& e) {
        gf_log(fmt::format("downloader exception: \"{}\", {} => {}", e.what(), url, target.string()));
    } catch (...) {
        gf_log(fmt::format("downloader exception: \"{}\", {} => {}", "", url, target.string()));
    }
    return false;
}

VersionData gf_downloadText(CURL* handle, std::string_view url) {
    const std::filesystem::path file{std::string(versionDownloadFile)};
    if (!gf_downloadToFile(handle, url, file, false)) {
        gf_logError(fmt::format("downloading \"{}\" failed", url));
        std::error_code ignored;  // the temporary file is of no use after a failure
        std::filesystem::remove(file, ignored);
        return VersionData{};
    }
    std::vector<std::string> lines;
    {
        TextFile text;
        if (text.open(file)) text.readLines(lines);
    }
    gf_removeFile(file);
    if (lines.empty()) return VersionData{};
    return VersionData(lines.front());
}

namespace {

constexpr const char* defaultServerUrl = "https://downloads.vexalane.net/downloads/";

void removeQuietly(const std::filesystem::path& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
}

}  // namespace

std::string gf_downloadServerUrl() {
    std::string url = defaultServerUrl;
    if (const char* value = std::getenv(downloadUrlVariable); value && *value) url = value;
    if (url.back() != '/') url += '/';
    return url;
}

std::string gf_downloadBaseUrl(bool force2020) {
    return gf_downloadServerUrl() + ((MSFS_2020.value.load() || force2020) ? "MSFS/" : "MSFS2024/");
}

bool gf_downloadAndUnzip(std::string_view archiveName, const std::filesystem::path& target) {
    const std::filesystem::path archivePath{std::string(archiveName)};
    bool downloaded = false;
    {
        CurlHandle curl;
        downloaded =
            gf_downloadToFile(curl.get(), gf_downloadServerUrl() + std::string(archiveName), archivePath, true);
    }
    if (!downloaded) {
        gf_logError(fmt::format("downloading {} failed?", archiveName));
        removeQuietly(archivePath);
        return false;
    }
    bool ok = false;
    {
        ZipArchive archive;
        if (archive.open(archivePath)) {
            ok = true;
            for (const auto& entry : archive.entries()) {
                if (entry.isFolder()) continue;
                const auto content = archive.read(entry);
                if (!content) {
                    ok = false;
                    break;
                }
                if (target.has_parent_path()) {
                    std::error_code ignored;
                    std::filesystem::create_directories(target.parent_path(), ignored);
                }
                if (!gf_writeFile(*content, target, false)) {
                    ok = false;
                    break;
                }
            }
        }
    }
    if (!ok) {
        gf_logError(fmt::format("unzipping {} failed?", archiveName));
        removeQuietly(target);
    }
    removeQuietly(archivePath);
    return ok;
}

bool gf_downloadDatabase(const std::filesystem::path& target) { return gf_downloadAndUnzip("dbase.zip", target); }
