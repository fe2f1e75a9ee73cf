#include "catalogue/livery_scan.h"

#include <fmt/format.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <unordered_map>

#include "catalogue/aircraft_cfg.h"
#include "catalogue/livery_cache.h"
#include "catalogue/livery_db.h"
#include "catalogue/livery_sections.h"
#include "catalogue/reference_db.h"
#include "catalogue/regcodes.h"
#include "catalogue/scan_reports.h"
#include "foundation/clock.h"
#include "foundation/folder_walk.h"
#include "foundation/log.h"
#include "foundation/meta_header.h"
#include "foundation/settings.h"
#include "foundation/tasks.h"
#include "foundation/text_utils.h"
#include "shell/display.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

namespace {

std::function<fs::path()> communityFolderSource;
std::atomic<std::int32_t> liveryTasks{0};
// Set by lf_scanLiveryRoots when the run's stop cut the scan short.
bool scanStopped = false;

// Folder names the walk never descends into, tested in the whole path text.
constexpr std::string_view excludedFolderNames[] = {"airport",   "lvfr",     "mkstudios", "simwings", "fsdreamteam",
                                                    "navigraph", "flytampa", "inibuilds", "_CVT_"};
constexpr std::size_t longestPathBytes = 250;

bool stopOrClosed() { return stopRequested.load() != 0 || userClosed.load() != 0; }

bool contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::string upper(std::string text) {
    for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Lowers both task counts once, however the task body ends.
struct TaskEnd {
    TaskEnd() = default;
    TaskEnd(const TaskEnd&) = delete;
    TaskEnd& operator=(const TaskEnd&) = delete;
    ~TaskEnd() {
        gf_taskDone();
        liveryTasks.fetch_sub(1);
    }
};

// Every scan task has ended: the shared lists may be read and cleared.
void waitForLiveryTasks() {
    while (liveryTasks.load() > 0) gf_sleepFor(std::chrono::milliseconds(1));
}

// The first entry of the Community folder whose path holds one of the names (and not "_CVT_").
void findPackageFolder(const fs::path& community, LiveryRoots& roots, std::initializer_list<std::string_view> names,
                       std::string_view family) {
    for (const auto& entry : fs::directory_iterator(community)) {
        const auto text = entry.path().string();
        if (contains(text, "_CVT_")) continue;
        for (const auto name : names) {
            if (!contains(text, name)) continue;
            gf_log(fmt::format("Automatic {} scan found folder: \"{}\"", family, text));
            roots.push_back(text);
            return;
        }
    }
}

using RecordList = std::list<LiveryRecord>;

struct CfgFile {
    fs::path path;
    bool ivao = false;
};

// What the tasks of one root share: the files found by the walk and the index of the next one to read.
struct RootFiles {
    std::vector<CfgFile> files;
    std::atomic<std::size_t> next{0};
    std::uint32_t rootIndex = 0;
};

// One task: reads files of the root until none is left or the run stops. A file whose reading fails is
// logged and yields nothing; the others are read on.
RecordList readRootFiles(const std::shared_ptr<RootFiles>& shared) {
    TaskEnd end;
    RecordList records;
    for (std::size_t i; !stopOrClosed() && (i = shared->next.fetch_add(1)) < shared->files.size();) {
        const auto& file = shared->files[i];
        try {
            auto found = file.ivao ? lf_searchLiveriesinIvaoFile(shared->rootIndex, file.path)
                                   : lf_searchLiveriesinFile(shared->rootIndex, file.path);
            records.splice(records.end(), found);
        } catch (const std::exception& e) {
            gf_logError(fmt::format("liveries search in {} aborted, cause: {}", file.path.string(), e.what()));
        }
    }
    return records;
}

// Starts one task in a free slot on a thread of its own, detached at once.
std::future<RecordList> startTask(const std::shared_ptr<RootFiles>& shared) {
    gf_waitForTaskSlot();
    std::packaged_task<RecordList()> task([shared] { return readRootFiles(shared); });
    auto future = task.get_future();
    liveryTasks.fetch_add(1);
    taskCount.fetch_add(1);
    try {
        std::thread(std::move(task)).detach();
    } catch (...) {
        liveryTasks.fetch_sub(1);
        taskCount.fetch_sub(1);
        throw;
    }
    return future;
}

void setLiveryCount(std::uint64_t n) {
    mainWindow.liveryCount.store(n);
    mainWindow.invalidate();
}

}  // namespace

void gf_setCommunityFolderSource(std::function<fs::path()> source) { communityFolderSource = std::move(source); }

std::int32_t gf_liveryTasksRunning() { return liveryTasks.load(); }

void lf_findAigFolder(const fs::path& community, LiveryRoots& roots) {
    findPackageFolder(community, roots, {"aig-aitraffic-oci"}, "AIG");
}
void lf_findFsltlFolder(const fs::path& community, LiveryRoots& roots) {
    findPackageFolder(community, roots, {"fsltl-traffic-base"}, "FSLTL");
}
void lf_findJfFolder(const fs::path& community, LiveryRoots& roots) {
    findPackageFolder(community, roots, {"justflight-aircraft-traffic-fleet", "justflight-fstraffic-module"}, "JF");
}
void lf_findUserTrafficFolder(const fs::path& community, LiveryRoots& roots) {
    findPackageFolder(community, roots, {"user-aitraffic"}, "user-aitraffic");
}

LiveryRoots lf_automaticRoots(const fs::path& community) {
    LiveryRoots roots;
    roots.reserve(10);
    std::error_code ec;
    if (community.empty() || !fs::is_directory(community, ec)) return roots;
    using Finder = void (*)(const fs::path&, LiveryRoots&);
    constexpr Finder A = lf_findAigFolder, F = lf_findFsltlFolder, J = lf_findJfFolder;
    constexpr Finder orders[6][3] = {{A, F, J}, {A, J, F}, {F, A, J}, {F, J, A}, {J, A, F}, {J, F, A}};
    const auto order = AI_PACKAGE_ORDER.clamp(AI_PACKAGE_ORDER.value.load());
    for (const Finder finder : orders[order - 1]) finder(community, roots);
    lf_findUserTrafficFolder(community, roots);
    return roots;
}

void lf_scanFolderForLiveries(std::uint32_t rootIndex, const std::string& root, RecordList& list) {
    auto shared = std::make_shared<RootFiles>();
    shared->rootIndex = rootIndex;
    try {
        // Packages installed as directory links are walked like folders; each real folder once.
        fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink), end;
        WalkedFolders walked(root);
        for (; it != end; ++it) {
            if (stopOrClosed()) break;
            try {
                const auto& entry = *it;
                const auto text = entry.path().string();
                bool excluded = text.size() >= longestPathBytes;
                for (const auto name : excludedFolderNames) excluded = excluded || contains(text, name);
                if (excluded)
                    it.disable_recursion_pending();
                else
                    walked.enterOnce(it);
                if (!entry.is_regular_file() || upper(entry.path().extension().string()) != ".CFG" ||
                    upper(entry.path().stem().string()) != "AIRCRAFT")
                    continue;
                shared->files.push_back({entry.path(), contains(text, "ivao_x-csl") || contains(text, "IVAO_MTL")});
            } catch (const std::exception& e) {
                gf_logError(fmt::format("liveries search in {} aborted, cause: {}", it->path().string(), e.what()));
            }
        }
    } catch (const std::exception& e) {
        // The files found so far are still read.
        gf_logError(
            fmt::format("liveries search in folder {} aborted because of iterator problem: {}", root, e.what()));
    }

    // At most one task per free slot; each reads files until none is left.
    const std::size_t taskLimit = static_cast<std::size_t>(std::max(1, hwConcurrency.load()));
    std::vector<std::future<RecordList>> futures;
    while (futures.size() < std::min(taskLimit, shared->files.size()) && !stopOrClosed()) {
        try {
            futures.push_back(startTask(shared));
        } catch (const std::exception& e) {
            gf_logError(fmt::format("liveries search in {} aborted, cause: {}", root, e.what()));
            break;
        }
    }
    RecordList found;
    for (auto& future : futures) {
        try {
            auto records = future.get();
            found.splice(found.end(), records);
        } catch (const std::exception& e) {
            gf_logError(fmt::format("liveries search aborted, futs outer, {}", e.what()));
        }
    }
    // Stable: the list's own records stay before new ones equal to them in livery order.
    found.sort(liveryOrderLess);
    list.merge(found, liveryOrderLess);
}

void lf_scanLiveryRoot(const std::string& root, RootScanCounters& counters) {
    if (root.empty()) return;
    if (!fs::exists(root)) {
        gf_log(root + " does not exist, skipped!");
        return;
    }
    if (!fs::is_directory(root)) {
        gf_log(root + " is not a folder name, skipped!");
        return;
    }
    const std::string foundIn = "found in " + root;
    counters.rootIndex = std::min<std::uint32_t>(counters.rootIndex + 1, 10);
    if (stopOrClosed()) return;
    lf_scanFolderForLiveries(counters.rootIndex, root, liveryList);
    const std::uint64_t n = liveryList.size();
    if (n == 0) {
        gf_log(fmt::format("No liveries {}", foundIn));
        return;
    }
    const std::uint64_t added = n - counters.previousSize;
    gf_log(fmt::format("{} liverie{} {}", added, gf_pluralSuffix(static_cast<std::int64_t>(added)), foundIn));
    counters.total += added;
    counters.previousSize = n;
}

void lf_applyDbaseToLivery(LiveryRecord& record) {
    if (record.atcId.empty()) return;
    const auto reg = gf_findRegcode(record.atcId);
    if (!reg) return;
    // Each field of the entry fixes its own: an entry that names an operator and no airline, or no airline at
    // all, still gives the cargo flag and the type.
    if (record.cargo != reg->cargo) {
        dbaseConversions.push_back(
            fmt::format("{:80} {} cargo {} => {}", record.title, record.atcId, record.cargo, reg->cargo));
        record.cargo = reg->cargo;
    }
    // Neither airline nor operator: the livery keeps its airline.
    const std::string& wanted = reg->operatorCode.empty() ? reg->airline : reg->operatorCode;
    if (!wanted.empty() && record.airline != wanted) {
        dbaseConversions.push_back(
            fmt::format("{:80} {} airl {} => {}", record.title, record.atcId, record.airline, wanted));
        record.airline = wanted;
    }
    // No type in the entry: the livery keeps its own, which the matching needs.
    if (!reg->type.empty() && record.type != reg->type) {
        dbaseConversions.push_back(
            fmt::format("{:80} {} model {} => {}", record.title, record.atcId, record.type, reg->type));
        record.type = reg->type;
    }
}

void lf_prioritizeLiveries(RecordList& list) {
    std::unordered_map<std::string, std::uint32_t> lowestRoot;
    const auto key = [](const LiveryRecord& r) { return r.airline + '\n' + r.type; };
    for (const auto& r : list) {
        auto [it, inserted] = lowestRoot.try_emplace(key(r), r.rootIndex);
        if (!inserted) it->second = std::min(it->second, r.rootIndex);
    }
    list.remove_if([&](const LiveryRecord& r) { return r.rootIndex > lowestRoot[key(r)]; });
}

namespace {

// Clears the scan's lists when the scan ends by an exception, once no task can write them any more.
struct ScanListsGuard {
    bool armed = true;
    ScanListsGuard() = default;
    ScanListsGuard(const ScanListsGuard&) = delete;
    ScanListsGuard& operator=(const ScanListsGuard&) = delete;
    ~ScanListsGuard() {
        if (!armed) return;
        waitForLiveryTasks();
        liveryList.clear();
        lf_clearScanLists();
    }
};

}  // namespace

bool lf_scanLiveryRoots(const LiveryRoots& roots) {
    ScanListsGuard guard;
    waitForLiveryTasks();
    scanStopped = false;
    liveryList.clear();
    lf_clearScanLists();
    lf_removeScanReports();
    gf_readExcludedTitles();
    lf_indexExcludedTitles();

    RootScanCounters counters;
    for (const auto& root : roots) lf_scanLiveryRoot(root, counters);
    waitForLiveryTasks();

    if (stopOrClosed()) {
        scanStopped = true;
        liveryList.clear();
        lf_clearScanLists();
        guard.armed = false;
        gf_clearStatus();
        return true;
    }
    if (liveryList.empty()) {
        setLiveryCount(0);
        lf_clearScanLists();
        guard.armed = false;
        gf_clearStatus();
        return false;
    }
    if (roots.size() >= 2) gf_log(fmt::format("{} in total", counters.total));
    for (auto& record : liveryList) lf_applyDbaseToLivery(record);
    if (LIG_PRIORITIZE.value.load()) lf_prioritizeLiveries(liveryList);
    liveryList.sort(liveryOrderLess);
    liveryList.unique();
    lf_writeLiveriesScanned();
    liveryList.clear();
    lf_writeScanReports();
    lf_clearScanLists();
    guard.armed = false;
    gf_clearStatus();
    return true;
}

void gf_scanLiveries() {
    lf_carryOutLiveryClear();
    if (!SCAN_LIVERIES.value.load()) {
        lf_processLiveries();
        return;
    }
    simFamilyName.set(MSFS_2020.value.load() ? "MSFS" : "MSFS2024");
    const bool automatic = LIG_AUTOMATIC.value.load();
    gf_showStatus(
        fmt::format("Scanning {} for liveries ...", LIG_PRIORITIZE.value.load() && !automatic ? "prioritized " : ""),
        false);
    gf_log(fmt::format("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
                       automatic ? "automatic" : "manual"));

    LiveryRoots roots;
    roots.reserve(10);
    if (automatic) {
        roots = lf_automaticRoots(communityFolderSource ? communityFolderSource() : fs::path());
    } else {
        for (const auto* folder : lfolders)
            if (auto value = folder->value(); !value.empty()) roots.push_back(std::move(value));
        if (roots.empty())
            throw ovk::UserErrorException(
                48, "Set lfolder parameter(-s) to your liveries first, see Manual 5.1 (or check Liveries automatic)");
    }

    const bool found = lf_scanLiveryRoots(roots);
    if (scanStopped) {
        // Nothing was written: SCAN_LIVERIES stays on, so that the next start scans again.
        gf_log("\n++++++++++++++++++++++++ liveries scan stopped ++++++++++++++++++++++++++++++++\n");
        return;
    }
    if (!found) {
        if (automatic)
            throw ovk::UserErrorException(43, "Automatic scan has not found any liveries, switch off automatic and set "
                                              "lfolder parameter(-s), Manual 5.1");
        throw ovk::UserErrorException(53, "no liveries found");
    }
    SCAN_LIVERIES.save(false);
    if (auto* window = mainWindow.window.load()) window->setChecked(SCAN_LIVERIES.controlId, false);
    mainWindow.invalidate();
    gf_log("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
    roots.clear();
    lf_processLiveries();
}
