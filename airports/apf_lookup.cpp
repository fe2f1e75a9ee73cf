#include "airports/apf_lookup.h"

#include <exception>
#include <vector>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/parking_file.h"
#include "foundation/curl_handle.h"
#include "foundation/download.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"

namespace fs = std::filesystem;

namespace {

// Downloads one file with a handle of its own, in text mode.
bool downloadText(const std::string& url, const fs::path& target) {
    CurlHandle curl;
    return gf_downloadToFile(curl.get(), url, target, false);
}

void removeQuietly(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

std::string stockUrl(std::string_view code) {
    return gf_downloadBaseUrl(true) + std::string(apfFiles::stockServerFolder) + gf_xmlName(code);
}

}  // namespace

std::string gf_xmlName(std::string_view code) { return std::string(code) + ".xml"; }
fs::path gf_xmlPath(std::string_view code) { return fs::path(gf_xmlName(code)); }
fs::path gf_txtPath(std::string_view code) { return fs::path(std::string(code) + ".txt"); }

bool gf_isLocalApfPath(std::string_view path) { return path.starts_with(apfFiles::localPrefix); }

bool lf_readPointerFile(const fs::path& path, std::string& target) {
    const std::optional<std::vector<std::string>> lines = gf_readFile(path, 1);
    if (!lines || lines->empty()) return false;
    std::string line = lines->front();
    while (!line.empty() && line.back() != 'l') line.pop_back();
    // A line that names no file is no pointer: the lookup goes on with the next source.
    if (line.empty()) return false;
    target = std::move(line);
    return true;
}

std::string gf_apfPathOf(std::string_view code) {
    for (const fs::path& folder : {apfFiles::publisherFolder, apfFiles::addonFolder}) {
        const fs::path pointer = folder / gf_txtPath(code);
        std::string named;
        if (fs::exists(pointer) && lf_readPointerFile(pointer, named)) return named;
        const fs::path file = folder / gf_xmlPath(code);
        if (fs::exists(file)) return file.string();
    }
    if (gf_stockFileOnServer(code)) return std::string(apfFiles::stockServerFolder) + gf_xmlName(code);
    return {};
}

bool gf_airportFileAvailable(std::string_view code) {
    for (const fs::path& folder : {apfFiles::publisherFolder, apfFiles::addonFolder})
        if (fs::exists(folder / gf_xmlPath(code)) || fs::exists(folder / gf_txtPath(code))) return true;
    return gf_stockFileOnServer(code);
}

bool gf_stockFileOnServer(std::string_view code) {
    const fs::path probe = gf_xmlPath(code);
    if (downloadText(stockUrl(code), probe)) {
        fs::remove(probe);
        return true;
    }
    // A failed transfer leaves an empty or partial file behind; it is of no use.
    removeQuietly(probe);
    return false;
}

std::string gf_downloadApf(std::string_view relativePath, const fs::path& target) {
    const bool force =
        relativePath.find("simaddon") != std::string_view::npos || relativePath.find("stock") != std::string_view::npos;
    const std::string url = gf_downloadBaseUrl(force) + std::string(relativePath);
    if (downloadText(url, target)) return {};
    std::string error = fmt::format("failed to download: \"{}\"", url);
    gf_log(error);
    return error;
}

double gf_readDestApfForClosestStand(std::string_view code, const LatLon& position, std::string& standName) {
    constexpr double noStand = 100.0;
    try {
        const std::string path = gf_apfPathOf(code);
        if (path.empty()) return noStand;
        fs::path file = path;
        if (!gf_isLocalApfPath(path)) {
            if (!gf_downloadApf(path, apfFiles::destinationDownload).empty()) return noStand;
            file = apfFiles::destinationDownload;
        }
        pugi::xml_document document;
        const pugi::xml_node stands =
            document.load_file(file.c_str()) ? document.child(apf::standsElement) : pugi::xml_node{};
        if (!stands) {
            removeQuietly(apfFiles::destinationDownload);
            return noStand;
        }
        double best = noStand;
        for (const pugi::xml_node& stand : stands.children(apf::standElement)) {
            const LatLon at{gf_apfDouble(stand.attribute("latitude")), gf_apfDouble(stand.attribute("longitude"))};
            const double d = gf_distanceNm(position, at);
            if (d < best) {
                best = d;
                standName = stand.attribute("id").value();
            }
        }
        return best;
    } catch (const std::exception& e) {
        gf_logError(fmt::format("{}: {}", "gf_readDestApfForClosestStand", e.what()));
        return noStand;
    }
}

std::string gf_readApfPublisher(const fs::path& path) {
    pugi::xml_document document;
    if (!document.load_file(path.c_str())) return {};
    return lf_readTextParameter(document, apf::publisher).value_or(std::string{});
}

std::string gf_checkApfPublisher(const fs::path& path) {
    pugi::xml_document document;
    if (!document.load_file(path.c_str())) return fmt::format("\"{}\" not found", path.string());
    const std::optional<std::string> publisher = lf_readTextParameter(document, apf::publisher);
    if (!publisher || *publisher != apf::unknownPublisher) return {};
    const std::optional<std::string> manufacturer = lf_readTextParameter(document, apf::manufacturer);
    const std::optional<std::string> creator = lf_readTextParameter(document, apf::creator);
    if ((manufacturer && manufacturer->size() >= 4) || (creator && creator->size() >= 4)) return {};
    return fmt::format("{}={}, {}={}", apf::manufacturer, manufacturer.value_or(""), apf::creator,
                       creator.value_or(""));
}

bool gf_suitableForOfflineLearning(std::string_view code) {
    const std::string url = stockUrl(code);
    gf_log(url);
    const fs::path file = gf_xmlPath(code);
    auto refuse = [&] {
        removeQuietly(file);
        gf_logError(fmt::format("{} Not suitable for offline learning", code));
        return false;
    };
    if (!downloadText(url, file)) {
        gf_logError(fmt::format("Failed to download {}", file.string()));
        return refuse();
    }
    pugi::xml_document document;
    if (!document.load_file(file.c_str())) {
        gf_logError(fmt::format("Failed to load {}", file.string()));
        return refuse();
    }
    fs::remove(file);
    const std::optional<std::int32_t> real = lf_readIntParameter(document, apf::qfReal);
    const std::optional<std::int32_t> soft = lf_readIntParameter(document, apf::qfSoft);
    if ((real && *real >= 0) || (soft && *soft >= 0)) {
        const std::optional<std::int32_t> week = lf_readIntParameter(document, apf::rtTrafficWeek);
        return week && *week >= 24;
    }
    return false;
}
