#include "foundation/disk_file.h"

#include <atomic>
#include <mutex>
#include <set>
#include <system_error>

#include <fmt/format.h>

#include "foundation/log.h"
#include "platform/os/os.h"

namespace fs = std::filesystem;

namespace {

std::atomic<DiskFileFault> injectedFault{DiskFileFault::none};

// The read-only files whose refusal was logged, by absolute path; a file leaves the set when it is found
// writable. Any thread may refuse a file: the set has its own lock, which is let go before the log is written.
std::mutex readOnlyReportsMutex;
std::set<fs::path> readOnlyReported;

bool faultAt(DiskFileFault step) { return injectedFault.load(std::memory_order_relaxed) == step; }

}  // namespace

DiskFile::DiskFile(const fs::path& path) : descriptor_(os::openFileForWriting(path)) {}

DiskFile::~DiskFile() {
    // A file that was not committed is given up; its close has nothing left to report.
    if (descriptor_ >= 0) os::closeFile(descriptor_);
}

bool DiskFile::write(std::string_view bytes) {
    if (descriptor_ < 0) return false;
    if (faultAt(DiskFileFault::write)) return false;
    return os::writeToFile(descriptor_, bytes.data(), bytes.size());
}

bool DiskFile::commit() {
    if (descriptor_ < 0) return false;
    const bool flushed = !faultAt(DiskFileFault::flush) && os::syncFileToDisk(descriptor_);
    const bool closed = os::closeFile(descriptor_) && !faultAt(DiskFileFault::close);
    descriptor_ = -1;
    return flushed && closed;
}

void gf_setDiskFileFault(DiskFileFault fault) { injectedFault.store(fault, std::memory_order_relaxed); }

bool gf_isReadOnlyFile(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status) || fs::is_directory(status)) return false;
    // The permission bits, not a failing write: an administrator's process may write any file.
    return (status.permissions() & fs::perms::owner_write) == fs::perms::none;
}

bool gf_refuseReadOnlyFile(const fs::path& path, std::string_view consequence) {
    std::error_code ec;
    fs::path key = fs::absolute(path, ec);
    if (ec) key = path;
    const bool readOnly = gf_isReadOnlyFile(path);
    bool first = false;
    {
        std::lock_guard lock{readOnlyReportsMutex};
        if (!readOnly) {
            readOnlyReported.erase(key);
            return false;
        }
        first = readOnlyReported.insert(std::move(key)).second;
    }
    // A user who keeps the file read-only learns it once; the stores and saves that follow are refused quietly.
    if (first)
        gf_logError(fmt::format("\"{}\" is read-only: not written over{}{}", path.string(),
                                consequence.empty() ? "" : "; ", consequence));
    return true;
}

void gf_resetReadOnlyReports() {
    std::lock_guard lock{readOnlyReportsMutex};
    readOnlyReported.clear();
}

ReplaceResult gf_replaceFile(const fs::path& path, std::string_view bytes) {
    if (gf_refuseReadOnlyFile(path)) return ReplaceResult::readOnly;
    static std::atomic<unsigned> counter{0};
    fs::path temporary = path;
    temporary += fmt::format(".{}.tmp", counter.fetch_add(1));
    std::error_code ec;
    bool written = false;
    {
        DiskFile file(temporary);
        if (!file.open()) return ReplaceResult::failed;
        written = file.write(bytes) && file.commit();
    }
    if (written) {
        // The new file keeps what the user set for the old one (a file only its owner may read stays so).
        const fs::file_status old = fs::status(path, ec);
        if (!ec && fs::exists(old)) fs::permissions(temporary, old.permissions(), ec);
        fs::rename(temporary, path, ec);
        if (!ec) return ReplaceResult::replaced;
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
    return ReplaceResult::failed;
}
