#pragma once
// A thin wrapper of libzip: read-only access to the entries of a zip archive, and the writing of a small
// archive from texts (used by tests and tools to build archives).

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct zip;

class ZipArchive {
public:
    struct Entry {
        std::uint64_t index = 0;
        std::string name;        // as stored in the archive ("folder/file.txt", "folder/")
        std::uint64_t size = 0;  // uncompressed bytes
        bool isFolder() const { return !name.empty() && name.back() == '/'; }
    };

    ZipArchive() = default;
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Opens read-only; false when the file is missing or no zip archive (the libzip error code is kept).
    bool open(const std::filesystem::path& path);
    bool isOpen() const { return archive_ != nullptr; }
    int openError() const { return openError_; }
    void close();

    std::vector<Entry> entries() const;
    // The entry's whole content; nothing when it cannot be read.
    std::optional<std::string> read(const Entry& entry) const;
    // Streams the entry to sink in chunks of at most chunkSize bytes; 0 when all was read, otherwise a
    // non-zero error code (a libzip error, or -1 when the sink refused a chunk or the size did not match).
    int stream(const Entry& entry, std::size_t chunkSize,
               const std::function<bool(const char* data, std::size_t size)>& sink) const;

    // The file-name part of an entry name: never a folder, "..", or an absolute path. Empty when nothing
    // usable is left.
    static std::string safeFileName(std::string_view entryName);

    // Writes an archive with the given (name, content) entries; a name ending in '/' adds a folder entry.
    static bool create(const std::filesystem::path& path,
                       const std::vector<std::pair<std::string, std::string>>& entries);

private:
    zip* archive_ = nullptr;
    int openError_ = 0;
};
