#include "airports/addon_scan.h"

#include <array>
#include <deque>
#include <future>
#include <system_error>

#include <fmt/format.h>

#include "airports/addon_links.h"
#include "airports/airports.h"
#include "airports/apf_lookup.h"
#include "airports/scan_report.h"
#include "foundation/file_utils.h"
#include "foundation/folder_walk.h"
#include "foundation/log.h"
#include "foundation/meta_header.h"
#include "foundation/settings.h"
#include "foundation/tasks.h"
#include "shell/run_flags.h"
#include "shell/status_line.h"

namespace fs = std::filesystem;

namespace {

constexpr std::string_view supportAddress = "airports@vexa-traffic.example";

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
    // Packages installed as directory links are walked like folders; each real folder once.
    fs::recursive_directory_iterator it(root, fs::directory_options::follow_directory_symlink, ec);
    const fs::recursive_directory_iterator end;
    WalkedFolders walked(root);
    for (; !ec && it != end; it.increment(ec)) {
        const fs::directory_entry& entry = *it;
        const std::string pathText = entry.path().string();
        try {
            if (lf_skipScanPath(pathText)) {
                it.disable_recursion_pending();
                continue;
            }
            walked.enterOnce(it);
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

namespace {

// Outside-publisher files that traffic can teach better stands go to TBLO, for the user to send in.
void copyForOfflineLearning() {
    const std::vector<std::string> codes = gf_xmlFilesIn();
    if (codes.empty()) return;
    fs::create_directories(addonFiles::tbloFolder);
    std::int32_t copied = 0;
    for (const std::string& code : codes) {
        const fs::path file = apfFiles::publisherFolder / gf_xmlPath(code);
        if (code == "KMCI" && gf_readApfPublisher(file) == "TropicalSim") {
            fs::remove(file);
            continue;
        }
        if (!gf_suitableForOfflineLearning(code) || !gf_checkApfPublisher(file).empty()) continue;
        const fs::path target = addonFiles::tbloFolder / gf_xmlPath(code);
        if (!fs::copy_file(file, target, fs::copy_options::overwrite_existing)) {
            gf_logError(fmt::format("\"{}\" failed to copy \"{}\"", file.string(), target.string()));
            continue;
        }
        gf_log(fmt::format("{} copied to {}", code, target.string()));
        ++copied;
        if (fs::exists(apfFiles::publisherFolder / gf_txtPath(code))) fs::remove(file);
    }
    if (copied == 0) {
        gf_log("All your third party airports are done, no off line learning needed.");
        // Entries of unrecognised airports written by this scan stay for the user to send.
        if (tbloCount.load() == 0) fs::remove_all(addonFiles::tbloFolder);
        return;
    }
    tbloCount.fetch_add(copied);
    gf_log("");
    gf_logError(fmt::format("Please zip the folder \"{}\" and mail it to {}, so that these airports get parking files "
                            "learned from real traffic",
                            fs::absolute(addonFiles::tbloFolder).string(), supportAddress));
}

}  // namespace

bool lf_scanAirportRoots(const std::vector<std::string>& roots) {
    return lf_scanAirportRoots(roots, gf_addonAirportHandlers());
}

bool lf_scanAirportRoots(const std::vector<std::string>& roots, const BglAirportHandlers& handlers) {
    std::error_code ec;
    fs::remove(addonFiles::scanLogFile, ec);
    if (ec) gf_log("problems with removing previous files (maybe still open?)");
    tbloCount = 0;
    gf_resetScanReport(2048);
    gf_resetGeneratedAirports();
    // The TBLO folder holds what this scan sends in, nothing of an earlier one.
    fs::remove_all(addonFiles::tbloFolder);
    // Set once here: the decoding tasks' generated files all read it.
    simFamilyName.set(MSFS_2020.value.load() ? "MSFS" : "MSFS2024");

    for (const std::string& root : roots) lf_scanRoot(root, handlers);

    fs::create_directories(addonFiles::scanLogFile.parent_path());
    gf_writeLinesToFile(gf_scanReportLines(), addonFiles::scanLogFile);
    gf_log(fmt::format("{} written", addonFiles::scanLogFile.string()));
    gf_clearStatus();
    gf_resetScanReport(0);

    copyForOfflineLearning();
    addonAirportsFound.store(gf_countAddonAirportsFound());
    const bool changed = airportFilesChanged.load();
    if (changed) gf_log("Airports scan successful");
    return changed;
}

void gf_scanAddonAirports(const fs::path& official, const fs::path& community) {
    gf_showStatus("Scanning for addon airports ...", false);
    gf_log(fmt::format("\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++", ""));
    const bool mode2020 = MSFS_2020.value.load();
    std::vector<std::string> roots;
    roots.reserve(10);
    if (mode2020 && !official.empty()) roots.push_back(official.string());
    if (!community.empty()) roots.push_back(community.string());
    gf_readAirportNames();
    if (mode2020) gf_removeFilesIn(apfFiles::addonFolder);
    gf_removeFilesIn(apfFiles::publisherFolder);
    if (!lf_scanAirportRoots(roots)) gf_showStatus("Warning: Scan has not found any add-on airports", true);
    SCAN_AIRPORTS.save(false);
    airportNames.clear();
    gf_log("-------------------------- airports scan ends    ----------------------------\n");
}
