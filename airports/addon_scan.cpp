#include "airports/addon_scan.h"

#include <array>
#include <deque>
#include <future>
#include <system_error>

#include <fmt/format.h>

#include "airports/scan_report.h"
#include "foundation/tasks.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

namespace {

bool stopping() { return stopRequested.load() != 0 || userClosed.load() != 0; }

// Files in these folders are statics, airport updates of other simulators or heliport collections.
bool leftOutBgl(std::string_view pathText) {
    static constexpr std::array<std::string_view, 3> words = {"statics", "AFCAD Updates", "_heliports"};
    for (std::string_view w : words)
        if (pathText.find(w) != std::string_view::npos) return true;
    return false;
}

// The started decoding tasks of one walk, oldest first.
class PendingTasks {
public:
    PendingTasks(const std::string& root) : root_(root) {}
    ~PendingTasks() { waitAll(); }

    void add(std::future<void> task) { tasks_.push_back(std::move(task)); }
    std::size_t size() const { return tasks_.size(); }

    // The oldest task's result, fetched while the walk goes on.
    void fetchOldest(const std::string& currentPath) {
        std::future<void> task = std::move(tasks_.front());
        tasks_.pop_front();
        try {
            task.get();
        } catch (const std::exception& e) {
            lf_scanReport(fmt::format("{} airports search aborted, futs inner, \n{}\n{}\n{}", scanAttention, e.what(),
                                      tasks_.size(), currentPath));
        }
    }
    void waitAll() {
        while (!tasks_.empty()) {
            std::future<void> task = std::move(tasks_.front());
            tasks_.pop_front();
            try {
                task.get();
            } catch (const std::exception& e) {
                lf_scanReport(fmt::format("{} airports search in {} aborted, futs outer error: {}", scanAttention,
                                          root_, e.what()));
            }
        }
    }

private:
    std::string root_;
    std::deque<std::future<void>> tasks_;
};

}  // namespace

bool lf_skipScanPath(std::string_view pathText) {
    static constexpr std::array<std::string_view, 14> words = {
        "fs-base",    "tutorials",       "aircraft",      "bushtrip",           "discovery", "point-of-interest",
        "simobjects", "vcockpits",       "aig-aitraffic", "justflight-aicraft", "fsltl",     "gsx-pro",
        "gsx-world",  "landingchallenge"};
    if (pathText.size() >= 250) return true;
    for (std::string_view w : words)
        if (pathText.find(w) != std::string_view::npos) return true;
    return false;
}

bool lf_isBglExtension(std::string_view extension) { return extension == ".BGL" || extension == ".bgl"; }

void lf_scanFolderForAirports(const fs::path& root, const BglAirportHandlers& handlers) {
    const std::string rootText = root.string();
    lf_scanReport(fmt::format("Scanning for addon airports in {}", rootText));
    PendingTasks pending(rootText);
    std::error_code ec;
    fs::recursive_directory_iterator it(root, ec);
    const fs::recursive_directory_iterator end;
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        const std::string pathText = entry.path().string();
        try {
            if (lf_skipScanPath(pathText)) {
                if (entry.is_directory()) it.disable_recursion_pending();
                continue;
            }
            if (!entry.is_regular_file() || !lf_isBglExtension(entry.path().extension().string()) ||
                leftOutBgl(pathText) || !lf_isAirportBgl(entry.path()))
                continue;
            if (stopping()) break;
            gf_waitForTaskSlot();
            pending.add(std::async(std::launch::async,
                                   [path = entry.path(), &handlers] { lf_toParkingPositions(path, handlers); }));
            taskCount.fetch_add(1);
            if (pending.size() > static_cast<std::size_t>(std::max(1, hwConcurrency.load())))
                pending.fetchOldest(pathText);
        } catch (const std::exception& e) {
            lf_scanReport(
                fmt::format("{} airports search in folder {} aborted, cause: {}", scanAttention, rootText, e.what()));
        }
    }
    if (ec)
        lf_scanReport(fmt::format("{} airports search in folder {} aborted because of iterator problem: {}",
                                  scanAttention, rootText, ec.message()));
    pending.waitAll();
}

void lf_scanRoot(const std::string& root, const BglAirportHandlers& handlers) {
    if (root.empty()) return;
    std::error_code ec;
    const fs::file_status status = fs::status(root, ec);
    if (!fs::exists(status)) {
        gf_showStatus(root + " does not exist, skipped!", true);
        return;
    }
    if (!fs::is_directory(status)) {
        gf_showStatus(root + " is not a folder name, skipped!", true);
        return;
    }
    lf_scanFolderForAirports(root, handlers);
}
