#include "airports/manifest.h"

#include <vector>

#include <fmt/format.h>

#include "airports/scan_report.h"
#include "catalogue/reference_db.h"
#include "foundation/file_utils.h"

namespace fs = std::filesystem;

namespace {

// Package paths come from Windows (backslashes) and from this platform (slashes); both separate folders.
bool isSeparator(char c) { return c == '\\' || c == '/'; }

std::size_t findSeparator(std::string_view text, std::size_t from) {
    for (std::size_t i = from; i < text.size(); ++i)
        if (isSeparator(text[i])) return i;
    return std::string_view::npos;
}

std::optional<ManifestInfo> readFoundManifest(const fs::path& manifest) {
    lf_scanReport(fmt::format("{} found", manifest.string()));
    return lf_readManifest(manifest);
}

}  // namespace

fs::path lf_findManifestFile(const fs::path& folder) {
    if (!fs::is_directory(folder)) return {};
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const fs::path& p = entry.path();
        if (p.stem() == "manifest" && p.extension() == ".json" && entry.is_regular_file()) return p;
    }
    return {};
}

std::string lf_jsonText(const nlohmann::json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->empty()) return {};
    return it->get<std::string>();
}

std::optional<ManifestInfo> lf_manifestFromText(std::string_view text) {
    const nlohmann::json document = nlohmann::json::parse(text);
    if (!document.is_object()) return std::nullopt;
    return ManifestInfo{lf_jsonText(document, "manufacturer"), lf_jsonText(document, "creator"),
                        lf_jsonText(document, "title")};
}

std::optional<ManifestInfo> lf_readManifest(const fs::path& path) {
    const auto lines = gf_readFile(path, 64);
    if (!lines) return std::nullopt;
    std::string text;
    for (const std::string& line : *lines) text += line;
    return lf_manifestFromText(text);
}

std::optional<ManifestInfo> lf_searchManifest(std::string_view pathText) {
    try {
        // Below "Community" the package is the folder one level down, and its manifest is the only one tried.
        if (const std::size_t community = pathText.find("Community"); community != std::string_view::npos) {
            const std::size_t first = findSeparator(pathText, community);
            const std::size_t second = first == std::string_view::npos ? first : findSeparator(pathText, first + 1);
            if (second != std::string_view::npos) {
                const fs::path package{std::string(pathText.substr(0, second))};
                if (fs::is_directory(package)) {
                    if (const fs::path manifest = lf_findManifestFile(package); !manifest.empty())
                        return readFoundManifest(manifest);
                }
            }
        }
        // Elsewhere every folder on the path is tried from the root down (each prefix of the path, so that a
        // folder name that also occurs higher up still names its own folder); the first readable manifest
        // wins.
        std::size_t end = 0;
        while (end != std::string_view::npos) {
            end = findSeparator(pathText, end + 1);
            const std::string_view prefix = pathText.substr(0, end);
            if (prefix.empty() || isSeparator(prefix.back())) continue;
            if (const fs::path manifest = lf_findManifestFile(fs::path{std::string(prefix)}); !manifest.empty()) {
                if (auto info = readFoundManifest(manifest)) return info;
            }
        }
        return std::nullopt;
    } catch (const std::exception& e) {
        lf_scanReport(fmt::format("exception in lf_searchManifest: {}", e.what()));
        return std::nullopt;
    }
}

PublisherResult gf_findPublisher(std::string_view pathText) {
    lf_scanReport(fmt::format("\nTry find publisher in: {}", pathText));
    PublisherResult result{"unknown", {}, {}, {}};
    if (gf_containsNoCase(pathText, "microsoft-airport") || gf_containsNoCase(pathText, "asobo-airport")) {
        result.publisher = "simaddon";
        lf_scanReport(fmt::format("from filename => publisher {}", result.publisher));
        return result;
    }
    if (std::string name = gf_publisherOf(pathText); name != "unknown") {
        result.publisher = std::move(name);
        lf_scanReport(fmt::format("publisher \"{}\" found", result.publisher));
        return result;
    }
    const std::optional<ManifestInfo> manifest = lf_searchManifest(pathText);
    if (!manifest) {
        lf_scanReport(fmt::format("{}No publisher found", scanAttention));
        return result;
    }
    // The manifest's texts travel with the result: a generated file of an "unknown" publisher needs them to
    // pass the publisher check.
    result.manufacturer = manifest->manufacturer;
    result.creator = manifest->creator;
    result.title = manifest->title;
    if (!manifest->manufacturer.empty()) {
        if (std::string name = gf_publisherOf(manifest->manufacturer); name != "unknown") {
            result.publisher = std::move(name);
            lf_scanReport(fmt::format("from manifest.json: manufacturer \"{}\" => publisher \"{}\"",
                                      manifest->manufacturer, result.publisher));
            return result;
        }
    }
    if (!manifest->creator.empty()) {
        if (std::string name = gf_publisherOf(manifest->creator); name != "unknown") {
            result.publisher = std::move(name);
            lf_scanReport(fmt::format("from manifest.json creator \"{}\" => publisher \"{}\"", manifest->creator,
                                      result.publisher));
            return result;
        }
    }
    lf_scanReport(fmt::format("no valid info found in manifest about publisher, manufacturer:\"{}\", creator:\"{}\" {}",
                              manifest->manufacturer, manifest->creator, pathText));
    return result;
}
