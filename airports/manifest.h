#pragma once
// The manifest.json of a simulator package and the publisher of an add-on airport: the package's manifest
// is found from the path of a file inside it, and the publisher is taken from the path, the reference
// database's publisher table or the manifest, in this order. Messages go to the scan report.
//
// Threads: called from the add-on airport scan's decoding tasks (under the scan's link mutex); reads only
// the publisher table, which is filled before the scan.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

// The texts of a manifest; each is empty when the key is missing or its value empty.
struct ManifestInfo {
    std::string manufacturer;
    std::string creator;
    std::string title;
    bool operator==(const ManifestInfo&) const = default;
};

// "simaddon" (the simulator's own airports), a publisher of the publisher table, or "unknown"; with the
// manifest's texts whenever a manifest was read on the way.
struct PublisherResult {
    std::string publisher;
    std::string manufacturer;
    std::string creator;
    std::string title;
    bool operator==(const PublisherResult&) const = default;
};

// The file "manifest.json" (exact case) directly inside the folder, or the empty path. Throws the
// filesystem error when the folder's entries cannot be read.
std::filesystem::path lf_findManifestFile(const std::filesystem::path& folder);
// Nothing when the file cannot be read, has no line or does not hold a JSON object. Throws the JSON
// library's errors (syntax, a value that is not a text).
std::optional<ManifestInfo> lf_readManifest(const std::filesystem::path& path);
// The manifest texts of a JSON document's text (the lines of the file joined).
std::optional<ManifestInfo> lf_manifestFromText(std::string_view text);
// The key's text; empty for a missing key, null, {} or []; the JSON type error for any other non-text.
std::string lf_jsonText(const nlohmann::json& object, const char* key);
// The manifest of the package that holds the file or folder; never throws (reported instead).
std::optional<ManifestInfo> lf_searchManifest(std::string_view pathText);
PublisherResult gf_findPublisher(std::string_view pathText);
