// The walk of the add-on airport scan: which folders and files it reads, its bounded decoding tasks and
// what it reports.
#include "scan_fixture.h"

#include <mutex>

#include <fmt/format.h>

#include "airports/addon_scan.h"
#include "shell/run_flags.h"

TEST(AddonScanRules, SkippedPathsAndExtensions) {
    const struct {
        std::string path;
        bool skipped;
    } cases[] = {
        {"/p/Community/author-airport-eddf/scenery/a.bgl", false},
        {"/p/Community/SimObjects/Aircraft/x", false},  // exact case only
        {"/p/Community/pkg/simobjects/x", true},
        {"/p/Official/OneStore/fs-base/scenery", true},
        {"/p/Community/my-aircraft-pack", true},
        {"/p/Community/fsltl-traffic-base", true},
        {"/p/Community/gsx-pro-data", true},
        {"/p/Community/justflight-aicraft-x", true},
        {"/p/Community/landingchallenge-eddf", true},
        {"/p/" + std::string(246, 'x'), false},  // 249 characters
        {"/p/" + std::string(247, 'x'), true},   // 250 characters
    };
    for (const auto& c : cases) EXPECT_EQ(lf_skipScanPath(c.path), c.skipped) << c.path;
    EXPECT_TRUE(lf_isBglExtension(".bgl"));
    EXPECT_TRUE(lf_isBglExtension(".BGL"));
    EXPECT_FALSE(lf_isBglExtension(".Bgl"));
    EXPECT_FALSE(lf_isBglExtension("bgl"));
    EXPECT_FALSE(lf_isBglExtension(".bgl2"));
}

class AddonScanThreads : public ScanTest {
protected:
    std::mutex mutex;
    std::vector<std::string> found;  // "code stands file"

    BglAirportHandlers collecting() {
        BglAirportHandlers h;
        h.link = [](AirportPackage& p, std::int32_t&, const std::string& path) {
            p.bglPath = path;
            p.publisher = "unknown";
            return false;
        };
        h.generate = [this](AirportPackage& p, std::int32_t) {
            std::lock_guard lock(mutex);
            found.push_back(fmt::format("{} {} {}", p.icao, p.stands.size(), fs::path(p.bglPath).filename().string()));
        };
        return h;
    }
    static std::vector<std::uint8_t> airportFile(const char* icao, std::uint32_t stands) {
        std::vector<bgl::Stand> list;
        for (std::uint32_t i = 1; i <= stands; ++i) list.push_back({.number = i});
        return bgl::file({bgl::section({bgl::airport(icao, 0, {bgl::parkingList(list)})})});
    }
    void put(const fs::path& relative, const std::vector<std::uint8_t>& bytes) {
        fs::create_directories((dir / relative).parent_path());
        bgl::write(dir / relative, bytes);
    }
    void TearDown() override {
        stopRequested = 0;
        hwConcurrency = gf_hardwareThreads();
        ScanTest::TearDown();
    }
};

TEST_F(AddonScanThreads, OneTaskAndManyTasksFindTheSameAirports) {
    auto damaged = airportFile("LOWW", 1);
    damaged[56 + 12] = 0xF0;  // the subsection table lies far beyond the end
    damaged[56 + 13] = 0xF0;
    put("Community/a/scenery/EDDF.bgl", airportFile("EDDF", 3));
    put("Community/b/scenery/EGLL.BGL", airportFile("EGLL", 2));
    put("Community/b/scenery/KJFK.Bgl", airportFile("KJFK", 2));        // not a BGL extension
    put("Community/b/statics/EDDM.bgl", airportFile("EDDM", 2));        // statics
    put("Community/b/AFCAD Updates/EDDH.bgl", airportFile("EDDH", 2));  // other simulators' updates
    put("Community/x_heliports/EDDK.bgl", airportFile("EDDK", 2));
    put("Community/c-aircraft/scenery/LFPG.bgl", airportFile("LFPG", 2));  // skipped folder
    put("Community/c/scenery/objects.bgl", bgl::file({bgl::section({bgl::other(0x22)}, 9)}));
    put("Community/c/scenery/damaged.bgl", damaged);
    for (int i = 0; i < 12; ++i)
        put(fmt::format("Community/many/scenery/Z{:03}.bgl", i), airportFile(fmt::format("Y{:03}", i).c_str(), i % 4));

    std::vector<std::string> results[2];
    const std::int32_t limits[2] = {1, 8};
    for (int run = 0; run < 2; ++run) {
        found.clear();
        gf_resetScanReport();
        hwConcurrency = limits[run];
        const auto handlers = collecting();
        lf_scanRoot((dir / "Community").string(), handlers);
        EXPECT_EQ(taskCount.load(), 0);
        std::sort(found.begin(), found.end());
        results[run] = found;
        EXPECT_TRUE(reportHas("Scanning for addon airports in " + (dir / "Community").string()));
        EXPECT_TRUE(reportHas(" airports search ")) << "the damaged file's failure is reported";
    }
    EXPECT_EQ(results[0], results[1]);
    ASSERT_EQ(results[0].size(), 14u);
    EXPECT_EQ(results[0][0], "EDDF 3 EDDF.bgl");
    EXPECT_EQ(results[0][1], "EGLL 2 EGLL.BGL");
    EXPECT_NE(logText().find("===> Exception in lf_toParkingPositions: " +
                             (dir / "Community/c/scenery/damaged.bgl").string()),
              std::string::npos);
}

TEST_F(AddonScanThreads, RootsThatCannotBeWalkedAndAStop) {
    const auto handlers = collecting();
    put("file.bgl", airportFile("EDDF", 1));
    lf_scanRoot("", handlers);
    lf_scanRoot((dir / "missing").string(), handlers);
    lf_scanRoot((dir / "file.bgl").string(), handlers);
    EXPECT_NE(logText().find((dir / "missing").string() + " does not exist, skipped!"), std::string::npos);
    EXPECT_NE(logText().find((dir / "file.bgl").string() + " is not a folder name, skipped!"), std::string::npos);
    EXPECT_TRUE(gf_scanReportLines().empty());

    put("root/a.bgl", airportFile("EDDF", 1));
    stopRequested = 1;
    lf_scanRoot((dir / "root").string(), handlers);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(taskCount.load(), 0);
}

TEST_F(AddonScanThreads, LinkedPackageFoldersAreWalkedOnceAndALinkLoopEnds) {
    put("Community/real-pkg/scenery/LFPG.bgl", airportFile("LFPG", 2));
    put("elsewhere/linked-pkg/scenery/EGLL.bgl", airportFile("EGLL", 3));
    fs::create_directory_symlink(dir / "elsewhere/linked-pkg", dir / "Community/linked-pkg");
    fs::create_directory_symlink(dir / "elsewhere/linked-pkg", dir / "Community/linked-again");  // one walk
    fs::create_directory_symlink(dir / "Community", dir / "Community/real-pkg/scenery/loop");    // a folder above
    fs::create_symlink(dir / "gone", dir / "Community/dangling");
    fs::create_directory_symlink(dir / "Community", dir / "community-link");
    for (const char* root : {"Community", "community-link"}) {
        for (std::int32_t tasks : {1, 8}) {
            found.clear();
            gf_resetScanReport();
            hwConcurrency = tasks;
            const auto handlers = collecting();
            lf_scanRoot((dir / root).string(), handlers);
            std::sort(found.begin(), found.end());
            EXPECT_EQ(found, (std::vector<std::string>{"EGLL 3 EGLL.bgl", "LFPG 2 LFPG.bgl"})) << root << tasks;
            EXPECT_FALSE(reportHas("aborted")) << root << tasks;
            EXPECT_EQ(taskCount.load(), 0);
        }
    }
}
