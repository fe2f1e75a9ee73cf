#include "foundation/log.h"

#include <fmt/format.h>

#include <atomic>
#include <fstream>
#include <mutex>

#include "foundation/clock.h"
#include "foundation/file_utils.h"
#include "foundation/time_text.h"
#include "foundation/version.h"

namespace ovk {

namespace {
std::string userErrorText(std::int32_t number, const std::string& message) {
    if (number == 99) return message;
    return fmt::format("{}: ", number) + message;
}
}  // namespace

UserErrorException::UserErrorException(std::int32_t number, const std::string& message)
    : std::runtime_error(userErrorText(number, message)) {}

}  // namespace ovk

namespace {

struct LogFile {
    std::ofstream stream;
    std::mutex mutex;
    // Read before locking by every writer; written only while no other thread writes.
    std::atomic<bool> open{false};
};

LogFile& logFile() {
    static LogFile instance;
    return instance;
}

void writeLine(std::string_view prefix, std::string_view message) {
    LogFile& log = logFile();
    if (!log.open.load(std::memory_order_acquire)) return;
    std::lock_guard lock(log.mutex);
    if (!log.stream.is_open()) return;
    log.stream << prefix << message << std::endl;
}

}  // namespace

void gf_openLog(const std::filesystem::path& path) {
    LogFile& log = logFile();
    gf_backupFile(path, BackupNaming::zeros);
    std::lock_guard lock(log.mutex);
    if (log.stream.is_open()) {
        log.open.store(false, std::memory_order_release);
        log.stream.close();
    }
    log.stream.clear();
    log.stream.open(path, std::ios::out | std::ios::trunc);
    if (!log.stream.is_open()) {
        log.stream.clear();
        throw std::runtime_error("Failed to write file " + path.string());
    }
    log.stream << fmt::format("{} (utc) {} version {} for {}", gf_timeText(gf_unixTime()), programShortName,
                              gf_versionString(programVersion), "MSFS 2020/2024")
               << std::endl;
    log.open.store(true, std::memory_order_release);
}

void gf_closeLog() {
    LogFile& log = logFile();
    std::lock_guard lock(log.mutex);
    log.open.store(false, std::memory_order_release);
    if (log.stream.is_open()) log.stream.close();
}

bool gf_logIsOpen() { return logFile().open.load(std::memory_order_acquire); }

void gf_log(std::string_view message) { writeLine({}, message); }

void gf_logError(std::string_view message) { writeLine("===> ", message); }

void gf_logContinuation(std::string_view message) { writeLine("          ", message); }

namespace {
std::atomic<bool (*)()> stopTest{nullptr};
std::atomic<void (*)(std::string_view, bool)> statusWriter{nullptr};
}  // namespace

void gf_logLine(std::string_view message) {
    if (auto* test = stopTest.load(); test != nullptr && test()) return;
    writeLine({}, message);
}

void gf_setStopTest(bool (*stopUnderWay)()) { stopTest.store(stopUnderWay); }

void gf_setStatusWriter(void (*writer)(std::string_view text, bool log)) { statusWriter.store(writer); }

void gf_noteStatus(std::string_view text, bool log) {
    if (auto* writer = statusWriter.load()) {
        writer(text, log);
        return;
    }
    if (log && !text.empty()) gf_logLine(text);
}

std::string gf_bannerLine(int width, int extra, bool leadingLineEnd, bool trailingLineEnd, std::string_view title) {
    std::string banner = leadingLineEnd ? "\n" : "";
    int n = width + extra;
    if (n % 2 != 0) ++n;
    const int length = static_cast<int>(title.size());
    if (title.empty()) {
        if (n > 0) banner.append(static_cast<std::size_t>(n), '*');
    } else if (n > length + 2) {
        const auto stars = static_cast<std::size_t>(n / 2 - 1);
        banner.append(stars, '*');
        banner += ' ';
        banner += title;
        banner += ' ';
        banner.append(stars, '*');
    } else {
        banner += title;
    }
    if (trailingLineEnd) banner += '\n';
    return banner;
}
