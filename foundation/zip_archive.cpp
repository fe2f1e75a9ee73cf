#include "foundation/zip_archive.h"

#include <zip.h>

#include <algorithm>
#include <memory>

ZipArchive::~ZipArchive() { close(); }

bool ZipArchive::open(const std::filesystem::path& path) {
    close();
    openError_ = 0;
    archive_ = zip_open(path.c_str(), ZIP_RDONLY, &openError_);
    return archive_ != nullptr;
}

void ZipArchive::close() {
    if (archive_) {
        zip_discard(archive_);  // read-only: nothing to write back
        archive_ = nullptr;
    }
}

std::vector<ZipArchive::Entry> ZipArchive::entries() const {
    std::vector<Entry> result;
    if (!archive_) return result;
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(i), 0, &stat) != 0 || !(stat.valid & ZIP_STAT_NAME))
            continue;
        Entry entry;
        entry.index = static_cast<std::uint64_t>(i);
        entry.name = stat.name;
        entry.size = (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0;
        result.push_back(std::move(entry));
    }
    return result;
}

int ZipArchive::stream(const Entry& entry, std::size_t chunkSize,
                       const std::function<bool(const char*, std::size_t)>& sink) const {
    if (!archive_) return ZIP_ER_INVAL;
    if (chunkSize == 0) chunkSize = 65536;
    zip_file_t* file = zip_fopen_index(archive_, entry.index, 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(archive_));
        return code != 0 ? code : ZIP_ER_READ;
    }
    std::unique_ptr<zip_file_t, int (*)(zip_file_t*)> guard(file, &zip_fclose);
    std::vector<char> buffer(chunkSize);
    std::uint64_t total = 0;
    while (true) {
        const zip_int64_t got = zip_fread(file, buffer.data(), buffer.size());
        if (got < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(file));
            return code != 0 ? code : ZIP_ER_READ;
        }
        if (got == 0) break;
        total += static_cast<std::uint64_t>(got);
        if (!sink(buffer.data(), static_cast<std::size_t>(got))) return -1;
    }
    return total == entry.size ? 0 : -1;
}

std::optional<std::string> ZipArchive::read(const Entry& entry) const {
    std::string content;
    // The size is what the archive claims: a few hostile bytes may claim gigabytes. Room beyond the first
    // 16 MB is taken only as the data really arrives.
    content.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, 16u << 20)));
    const int result = stream(entry, 1 << 20, [&](const char* data, std::size_t size) {
        content.append(data, size);
        return true;
    });
    if (result != 0) return std::nullopt;
    return content;
}

std::string ZipArchive::safeFileName(std::string_view entryName) {
    // Both separators: archives made on Windows may use backslashes.
    const auto slash = entryName.find_last_of("/\\");
    std::string_view name = slash == std::string_view::npos ? entryName : entryName.substr(slash + 1);
    // A drive prefix such as "C:" cannot stand in a file name either.
    if (const auto colon = name.find_last_of(':'); colon != std::string_view::npos) name = name.substr(colon + 1);
    // Checked after the drive prefix is gone: "C:.." names the parent folder too.
    if (name == "." || name == "..") return {};
    return std::string(name);
}

bool ZipArchive::create(const std::filesystem::path& path,
                        const std::vector<std::pair<std::string, std::string>>& entries) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return false;
    for (const auto& [name, content] : entries) {
        if (!name.empty() && name.back() == '/') {
            if (zip_dir_add(archive, name.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
                zip_discard(archive);
                return false;
            }
            continue;
        }
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (!source || zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            if (source) zip_source_free(source);
            zip_discard(archive);
            return false;
        }
    }
    // The sources read the caller's texts while the archive is written here.
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return false;
    }
    return true;
}
