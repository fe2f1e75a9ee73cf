#include "app/run_preparation.h"

#include "airports/airports.h"
#include "airports/parking.h"
#include "app/main_loop.h"
#include "app/run_services.h"
#include "app/window_proc.h"
#include "foundation/clock.h"
#include "foundation/file_utils.h"
#include "foundation/log.h"
#include "foundation/parameters_file.h"
#include "foundation/settings.h"
#include "foundation/tasks.h"
#include "foundation/time_text.h"
#include "platform/os/os.h"
#include "shell/range.h"
#include "shell/run_flags.h"

#include <fmt/format.h>

#include <algorithm>
#include <system_error>

bool databaseLoaded = false;

namespace {
namespace fs = std::filesystem;

constexpr const char* shortName = "Vexa";
constexpr int rereadButtonId = 32838;
constexpr int unblockButtonId = 32829;

RunServices& svc() { return gf_runServices(); }
PreparationServices& prep() { return gf_runServices().prep; }
bool stopOrClosed() { return stopRequested.load() != 0 || userClosed.load() != 0; }

StringParameter& installPathSetting() { return MSFS_2020.value.load() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH; }

// The work folders, relative to the program folder, in the order they are made.
const fs::path workFolders[] = {
    "output",
    fs::path("output") / "info",
    fs::path("output") / "errors",
    "airports",
    fs::path("airports") / "learned",
    fs::path("airports") / "learned" / "stock",
    fs::path("airports") / "learned" / "simaddon",
    fs::path("airports") / "learned" / "thirdparty",
    fs::path("airports") / "ve_zuzuvado",
    fs::path("airports") / "my_thirdparty",
    fs::path("input") / "my_regcodes",
};

void createCredentialTemplateIfMissing() {
    if (!fs::exists("RealTraffic.lic")) prep().createRtCredentialFile();
}
}  // namespace

bool lf_prepareRun() {
    RunServices& s = svc();
    PreparationServices& p = s.prep;

    std::error_code error;
    const bool hasDocs = fs::is_directory(fs::current_path() / "docs", error);
    if (error && error != std::errc::no_such_file_or_directory)
        throw fs::filesystem_error("is_directory", fs::current_path() / "docs", error);
    if (!hasDocs)
        throw ovk::UserErrorException(41, fmt::format("{} must be run from the {} folder!", shortName, shortName));

    lf_runConfig();

    const std::int64_t sinceLastVisit = gf_unixTime() - LAST_EPOCH_TIME.value.load();

    hwConcurrency.store(gf_hardwareThreads());
    taskCount.store(0);

    if (!fs::exists(dataNames::liveryCacheFile) && !SCAN_LIVERIES.value.load()) {
        s.showStatus(fmt::format("File {} is gone, rescan liveries", dataNames::liveryCacheFile.string()), true);
        SCAN_LIVERIES.save(true);
        s.setCheck(SCAN_LIVERIES.controlId, true);
        p.repaint();
    }
    p.scanLiveries();
    if (stopOrClosed()) return false;

    if (SCAN_AIRPORTS.value.load()) {
        p.setAddonAirportCounts(0, 0);
        p.repaint();
        p.scanAddonAirports();
    }

    // The web service must not be visited twice within 2 seconds. A stored time in the future (a clock set
    // back) holds no longer than that either.
    if (sinceLastVisit < loginPauseSeconds) {
        const std::int64_t hold = std::min(loginPauseSeconds, loginPauseSeconds - sinceLastVisit);
        s.showStatus(fmt::format("Holding for {} seconds... (RT API cannnot be revisited within 2 seconds)", hold),
                     true);
        gf_sleepFor(std::chrono::seconds(hold));
    }

    p.setAddonAirportCounts(gf_countFolderEntries(fs::path("airports") / "ve_zuzuvado"),
                            gf_countFolderEntries(fs::path("airports") / "my_thirdparty"));
    p.repaint();

    if (stopOrClosed()) {
        userClosed.store(1);
        gf_setExitReasonIfUnset(EXIT_USER_CLOSED_SIM);
        stopRequested.store(1);
        return false;
    }

    p.createFlightPlanFolder();
    p.readMyParkAirports();
    p.enableControl(rereadButtonId, true);

    const std::string destination = DESTINATION.value();
    if (!destination.empty() && gf_findAirport(destination)) p.setDestination(destination);

    p.setTopMost(ALWAYS_ON_TOP.value.load());
    if (AUTO_RANGE.value.load()) {
        p.autoRange();
        p.enableControl(LATERAL_RANGE.controlId, false);
    }
    return true;
}

void lf_runConfig() {
    PreparationServices& p = prep();
    lf_loadParameters();
    p.repaint();

    lf_trimCommunitySuffix(installPathSetting());
    lf_createWorkFolders();
    generalMaxLive = MAX_LIVE.value.load();
    p.findRtCredential();

    const bool restart = restartPending.load() != 0;
    if (!restart) p.checkNewVersion();
    if (!MSFS_2020.value.load() && !restart) p.updateAddonPackage();

    lf_enableRunControls();

    p.enableControl(KEEP_SIM_TIME_PAR.controlId, true);
    if (SIM_TIME.value.load()) {
        lf_applySimTimeSetting();
        p.enableControl(SIM_TIME.controlId, true);
    } else if (!TIME_SHIFT_DAYS.isDefault() || !TIME_SHIFT_HOURS.isDefault() || !TIME_SHIFT_MINS.isDefault()) {
        svc().setTimeShift((TIME_SHIFT_DAYS.value.load() * 24 + TIME_SHIFT_HOURS.value.load()) * 60 +
                               TIME_SHIFT_MINS.value.load(),
                           true);
    } else {
        p.resetTimeShiftFields();
    }
    for (const ParameterControl* c :
         {static_cast<const ParameterControl*>(&TIME_SHIFT_DAYS),
          static_cast<const ParameterControl*>(&TIME_SHIFT_HOURS),
          static_cast<const ParameterControl*>(&TIME_SHIFT_MINS), static_cast<const ParameterControl*>(&SIM_TIME),
          static_cast<const ParameterControl*>(&KEEP_SIM_TIME_PAR)})
        p.enableControl(c->controlId, true);

    const std::string workingFolder = fs::current_path().string();
    if (workingFolder != PROGRAM_INSTALL_PATH.value()) PROGRAM_INSTALL_PATH.save(workingFolder);

    weekSlot.exchange(gf_weekSlot().packed());

    if (!databaseLoaded) {
        p.readDatabase();
        databaseLoaded = true;
    }
    p.readAirports();

    ALL_INSTALL_PATH.set(installPathSetting().value());
    p.enableControl(ALL_INSTALL_PATH.controlId, true);
    p.showField(ALL_INSTALL_PATH.controlId);

    if (ALL_INSTALL_PATH.value().empty()) {
        const std::string detected = p.detectInstallPath();
        if (detected.empty())
            throw ovk::UserErrorException(
                150, "No install path detected, type full path to your Community folder above, and press Enter");
        installPathSetting().save(detected);
        ALL_INSTALL_PATH.set(detected);
        p.showField(ALL_INSTALL_PATH.controlId);
    }

    p.repaint();
    manualLateralRange.store(LATERAL_RANGE.value.load());
}

void lf_loadParameters() {
    gf_readParameters(gf_buildSettingsRegistry());
    lf_versionUpdate();
    gf_setRange(LATERAL_RANGE.value.load());
}

void lf_versionUpdate() {
    PreparationServices& p = prep();
    if (PROGRAM_VERSION.isDefault()) {
        PROGRAM_VERSION.save(vexaVersion.toString());
        if (!fs::exists("RealTraffic.lic")) {
            const std::optional<fs::path> appData = os::appDataFolder();
            const fs::path source = appData ? *appData / "InsideSystems" / "RealTraffic.lic" : fs::path();
            if (!source.empty() && fs::exists(source) && os::copyFile(source, "RealTraffic.lic", false))
                gf_log(fmt::format("copied your \"{}\" to here", source.string()));
            else
                p.createRtCredentialFile();
        }
        return;
    }
    const VersionData stored(PROGRAM_VERSION.value());
    if (stored != vexaVersion) PROGRAM_VERSION.save(vexaVersion.toString());
    if (vexaVersion > stored) {
        gf_log(fmt::format("This is a version update from {} -> {}", stored.toString(), vexaVersion.toString()));
        std::error_code error;
        fs::remove("install_new_version.exe", error);
        if (error) throw fs::filesystem_error("remove", fs::path("install_new_version.exe"), error);
        SCAN_LIVERIES.save(true);
        SCAN_AIRPORTS.save(true);
        svc().setCheck(SCAN_LIVERIES.controlId, true);
        svc().setCheck(SCAN_AIRPORTS.controlId, true);
        return;
    }
    createCredentialTemplateIfMissing();
}

void lf_createWorkFolders() {
    for (const fs::path& folder : workFolders)
        if (!fs::exists(folder)) fs::create_directories(folder);
}

void lf_trimCommunitySuffix(StringParameter& installPath) {
    std::string path = installPath.value();
    for (const std::string_view suffix : {std::string_view("\\Community"), std::string_view("/Community")}) {
        if (path.size() >= suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
            path.erase(path.size() - suffix.size());
            installPath.save(path);
            return;
        }
    }
}

void lf_applySimTimeSetting() {
    PreparationServices& p = prep();
    const bool simTime = SIM_TIME.value.load();
    if (!simTime) {
        p.splitTimeShift(0);
        svc().setTimeShift(0, false);
        lastSimTimeSeen.store(svc().simUtcSeconds());
    } else {
        lastSimTimeSeen.store(0);
    }
    for (const ParameterControl* c : {static_cast<const ParameterControl*>(&TIME_SHIFT_DAYS),
                                      static_cast<const ParameterControl*>(&TIME_SHIFT_HOURS),
                                      static_cast<const ParameterControl*>(&TIME_SHIFT_MINS)})
        p.enableControl(c->controlId, !simTime);
}

void lf_enableRunControls() {
    PreparationServices& p = prep();
    const bool autoRange = AUTO_RANGE.value.load();
    p.enableControl(LATERAL_RANGE.controlId, !autoRange);
    p.enableControl(AUTO_RANGE_ABOVE_HEIGHT.controlId, autoRange);
    p.enableControl(unblockButtonId, !BLOCK_CALLSIGN.value().empty());
    p.enableControl(CALLSIGN_OBJECTIDS.controlId, MSFS_2020.value.load());
    p.enableControl(CALLSIGN_2_OBJECTID.controlId, false);
    p.enableControl(DESTINATION.controlId, false);
    p.enableControl(rereadButtonId, false);
    for (const ParameterControl* c : std::initializer_list<const ParameterControl*>{
             &AI_PACKAGE_ORDER, &MATCHING_DEPTH, &BLOCK_CALLSIGN, &CUSTOM_MAX_PARK, &MAX_LIVE, &AIRPORT_RANGE,
             &AIRPORT_HEIGHT, &parking_percentage, &MAX_FIT_FL})
        p.enableControl(c->controlId, true);
    p.enableControl(AI_PACKAGE_ORDER.controlId, LIG_AUTOMATIC.value.load());
    parking_percentage.value.store(30);
    MAX_FIT_FL.value.store(gf_maxFitHours(MAX_FIT.value.load()));
    p.enablePtControls();
}
