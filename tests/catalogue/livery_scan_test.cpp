// The livery scan: its roots, the walk, the post-processing, the cache and the reports, the switch that
// asks for a scan, and a stop in the middle.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "catalogue/livery_db.h"
#include "foundation/file_utils.h"
#include "foundation/meta_header.h"
#include "scan_fixture.h"
#include "shell/display.h"
#include "shell/run_flags.h"

using namespace cattest;

class LiveryScan : public ScanTest {
protected:
    // A package root below the test folder with one aircraft.cfg per entry (relative folder, file text).
    fs::path makeRoot(const std::string& name, const std::vector<std::pair<std::string, std::string>>& files) {
        const auto root = dir / name;
        fs::create_directories(root);
        for (const auto& [folder, text] : files) writeText(root / folder / "aircraft.cfg", text);
        return root;
    }
    static std::string oneLivery(const std::string& type, const std::string& title, const std::string& airline,
                                 const std::string& atcId = "") {
        return cfgText("icao_type_designator = " + type, {livery(title, airline, atcId)});
    }
    int scanError() {
        try {
            gf_scanLiveries();
        } catch (const ovk::UserErrorException& e) {
            return std::stoi(e.what());
        }
        return 0;
    }
    std::vector<std::string> cacheTitles() const {
        std::vector<std::string> titles;
        pugi::xml_document doc;
        if (!doc.load_file(gf_liveryCachePath().c_str())) return titles;
        for (auto liv : doc.child("liveries").children("liv")) titles.push_back(liv.attribute("title").value());
        return titles;
    }
    // Many small files in every encoding below one root.
    fs::path manyFilesRoot(int files) {
        std::vector<std::pair<std::string, std::string>> entries;
        const char* types[] = {"A320", "B738", "A319", "B77W"};
        const char* airlines[] = {"DLH", "KLM", "BAW"};
        for (int i = 0; i < files; ++i) {
            std::vector<std::vector<std::string>> sections;
            for (int s = 0; s < 3; ++s)
                sections.push_back(livery(fmt::format("Livery {} {} \xC3\xA9", i, s), airlines[(i + s) % 3]));
            std::string text = cfgText(std::string("icao_type_designator = ") + types[i % 4], sections);
            switch (i % 5) {
            case 1: text = toUtf16(text, false); break;
            case 2: text = toUtf16(withCrlf(text), true); break;
            case 3: text = toCp1252(withCrlf(text)); break;
            case 4: text = "\xEF\xBB\xBF" + text; break;
            default: break;
            }
            entries.emplace_back(fmt::format("pkg{}/SimObjects/Airplanes/a{}", i % 7, i), text);
        }
        return makeRoot("many", entries);
    }
};

TEST_F(LiveryScan, AutomaticRootsFollowThePackageOrder) {
    const auto community = dir / "Community";
    for (const char* name : {"user-aitraffic-mine", "justflight-fstraffic-module", "fsltl-traffic-base_CVT_x",
                             "fsltl-traffic-base", "aig-aitraffic-oci-beta", "other"})
        fs::create_directories(community / name);
    const std::string A = (community / "aig-aitraffic-oci-beta").string(),
                      F = (community / "fsltl-traffic-base").string(),
                      J = (community / "justflight-fstraffic-module").string(),
                      U = (community / "user-aitraffic-mine").string();
    const std::vector<LiveryRoots> expected{{A, F, J, U}, {A, J, F, U}, {F, A, J, U},
                                            {F, J, A, U}, {J, A, F, U}, {J, F, A, U}};
    for (int order = 1; order <= 6; ++order) {
        AI_PACKAGE_ORDER.value = order;
        EXPECT_EQ(lf_automaticRoots(community), expected[order - 1]) << order;
    }
    EXPECT_TRUE(logHas("Automatic FSLTL scan found folder: \"" + F + "\""));

    const auto onlyTwo = dir / "Community2";
    for (const char* name : {"user-aitraffic", "aig-aitraffic-oci_CVT_", "aig-aitraffic-oci"})
        fs::create_directories(onlyTwo / name);
    AI_PACKAGE_ORDER.value = 6;
    EXPECT_EQ(lf_automaticRoots(onlyTwo),
              (LiveryRoots{(onlyTwo / "aig-aitraffic-oci").string(), (onlyTwo / "user-aitraffic").string()}));
    EXPECT_TRUE(lf_automaticRoots(dir / "missing").empty());
}

TEST_F(LiveryScan, ErrorsWhenNothingCanBeScanned) {
    EXPECT_EQ(scanError(), 48);
    writeText(dir / "a-file", "x");
    useManualRoots({dir / "missing", dir / "a-file", dir / "empty"});
    fs::create_directories(dir / "empty");
    EXPECT_EQ(scanError(), 53);
    EXPECT_TRUE(logHas((dir / "missing").string() + " does not exist, skipped!"));
    EXPECT_TRUE(logHas((dir / "a-file").string() + " is not a folder name, skipped!"));
    EXPECT_TRUE(logHas("No liveries found in " + (dir / "empty").string()));
    EXPECT_TRUE(logHas("liveries scan manual starts"));

    LIG_AUTOMATIC.value = true;
    EXPECT_EQ(scanError(), 43);
    gf_setCommunityFolderSource([this] { return dir / "Community"; });
    fs::create_directories(dir / "Community" / "nothing-here");
    EXPECT_EQ(scanError(), 43);
    EXPECT_TRUE(SCAN_LIVERIES.value.load());
    EXPECT_EQ(mainWindow.liveryCount.load(), 0u);
}

TEST_F(LiveryScan, TheWalkSkipsExcludedAndLongPathsAndFindsAnyCase) {
    const auto root = makeRoot("root", {});
    const auto put = [&](const fs::path& relative, const std::string& title) {
        writeText(root / relative, oneLivery("A320", title, "DLH"));
    };
    put("a/Aircraft.CFG", "upper and lower");
    put("b/AIRCRAFT.cfg", "upper");
    put("c/aircraft.cfg.bak", "backup");
    put("d/aircraft_old.cfg", "old");
    put("e/simwings-pack/aircraft.cfg", "simwings");
    put("f/x_CVT_y/aircraft.cfg", "cvt");
    put("g/inibuilds/deeper/aircraft.cfg", "inibuilds");
    put(fs::path("h") / std::string(260 - root.string().size(), 'x') / "aircraft.cfg", "long");
    // A root whose own path holds an excluded name: only the files directly in it.
    const auto excludedRoot = makeRoot("flytampa-root", {});
    writeText(excludedRoot / "aircraft.cfg", oneLivery("A320", "directly in it", "DLH"));
    writeText(excludedRoot / "sub" / "aircraft.cfg", oneLivery("A320", "below it", "DLH"));
    useManualRoots({root, excludedRoot});
    gf_scanLiveries();
    EXPECT_EQ(cacheTitles(), (std::vector<std::string>{"directly in it", "upper", "upper and lower"}));
    EXPECT_TRUE(logHas("2 liveries found in " + root.string()));
    EXPECT_TRUE(logHas("1 liverie found in " + excludedRoot.string()));
    EXPECT_TRUE(logHas("3 in total"));
}

TEST_F(LiveryScan, ACompleteScanWritesTheCacheSwitchesTheScanOffAndBuilds) {
    MSFS_2020.value = false;
    const auto first =
        makeRoot("first", {{"a", oneLivery("A320", "LH one", "DLH", "D-ABCD")},
                           {"b", cfgText("icao_type_designator = B738",
                                         {livery("KLM two", "KLM", "", "CARGO"), livery("KLM one", "KLM")})}});
    const auto second = makeRoot("second", {{"a", oneLivery("A320", "LH one", "DLH")}});
    useManualRoots({first, second});
    gf_scanLiveries();
    EXPECT_FALSE(SCAN_LIVERIES.value.load());
    EXPECT_NE(readText(sandbox->appData() / "Vexa" / "parameters.xml").find("name=\"SCAN_LIVERIES\" value=\"false\""),
              std::string::npos);
    EXPECT_EQ(simFamilyName.get(), "MSFS2024");
    EXPECT_NE(readText(gf_liveryCachePath()).find("<info name=\"MSFS\" value=\"2024\""), std::string::npos);
    EXPECT_EQ(cacheLines(),
              (std::vector<std::string>{"\t<liv airl=\"DLH\" type=\"A320\" title=\"LH one\" atcid=\"D-ABCD\" />",
                                        "\t<liv airl=\"KLM\" type=\"B738\" title=\"KLM one\" />",
                                        "\t<liv airl=\"KLM\" type=\"B738\" cargo=\"true\" title=\"KLM two\" />"}));
    // The second root's copy of a title is a duplicate, never a second livery.
    EXPECT_TRUE(logHas("0 liveries found in " + second.string()));
    EXPECT_TRUE(logHas("3 in total"));
    EXPECT_TRUE(liveriesProcessed.load());
    EXPECT_EQ(mainWindow.liveryCount.load(), 3u);
    EXPECT_TRUE(liveryList.empty());
    EXPECT_TRUE(liveryTitles.empty());
    EXPECT_TRUE(logHas("liveries scan ends"));
    const auto incomplete = readLines(scanReport::incompleteSections());
    ASSERT_EQ(incomplete.size(), 1u);
    EXPECT_NE(incomplete[0].find("title \"LH one\" already exists"), std::string::npos);
}

TEST_F(LiveryScan, PriorityKeepsTheFirstRootOfEachAirlineAndType) {
    const auto first =
        makeRoot("first", {{"a", oneLivery("A320", "LH1", "DLH")}, {"b", oneLivery("A319", "BA1", "BAW")}});
    const auto second =
        makeRoot("second", {{"a", cfgText("icao_type_designator = A320", {livery("LH2", "DLH"), livery("LH3", "DLH")})},
                            {"b", oneLivery("B738", "KL2", "KLM")}});
    useManualRoots({first, second});
    LIG_PRIORITIZE.value = true;
    gf_scanLiveries();
    EXPECT_EQ(cacheTitles(), (std::vector<std::string>{"BA1", "LH1", "KL2"}));

    SCAN_LIVERIES.value = true;
    LIG_PRIORITIZE.value = false;
    gf_scanLiveries();
    EXPECT_EQ(cacheTitles(), (std::vector<std::string>{"BA1", "LH1", "LH2", "LH3", "KL2"}));

    std::list<LiveryRecord> list{LiveryRecord::make("DLH", "A320", "x", "", false, 3),
                                 LiveryRecord::make("DLH", "A320", "y", "", false, 2),
                                 LiveryRecord::make("DLH", "A321", "z", "", false, 3)};
    lf_prioritizeLiveries(list);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list.front().title, "y");
    EXPECT_EQ(list.back().title, "z");
}

// Each part of a registration entry fixes its own field: the cargo flag and the type apply also when the entry
// names no airline, and the airline is the operator's, else the owner's. Only an empty wanted airline (and an
// empty type) leaves the record's field as it is.
TEST_F(LiveryScan, ReferenceDatabaseFixes) {
    registrationTable["D-NOAI"] = DbaseReg{"", "A321", "", true};
    registrationTable["D-NOTY"] = DbaseReg{"DLH", "", "", true};
    registrationTable["D-AEWA"] = DbaseReg{"", "A320", "EWG", false};
    registrationTable["D-ABOT"] = DbaseReg{"DLH", "A20N", "EWG", true};
    registrationTable["D-ONLY"] = DbaseReg{"", "", "", false};
    registrationTable["D-SAME"] = DbaseReg{"", "B738", "KLM", false};
    struct Case {
        LiveryRecord before;
        LiveryRecord after;
        std::vector<std::string> lines;
    };
    const std::string pad(76, ' ');
    const std::vector<Case> cases{
        {LiveryRecord::make("DLH", "B738", "T1", "G-EUPA"),
         LiveryRecord::make("KLM", "A319", "T1", "G-EUPA"),
         {"T1" + pad + "   G-EUPA airl DLH => KLM", "T1" + pad + "   G-EUPA model B738 => A319"}},
        {LiveryRecord::make("GEC", "MD11", "T2", "D-ALCA"),
         LiveryRecord::make("GEC", "MD11", "T2", "D-ALCA", true),
         {"T2" + pad + "   D-ALCA cargo false => true"}},
        // No airline and no operator: the cargo flag and the type still apply, the airline stays.
        {LiveryRecord::make("BAW", "A319", "T3", "D-NOAI"),
         LiveryRecord::make("BAW", "A321", "T3", "D-NOAI", true),
         {"T3" + pad + "   D-NOAI cargo false => true", "T3" + pad + "   D-NOAI model A319 => A321"}},
        {LiveryRecord::make("KLM", "B738", "T4", "D-NOTY"),
         LiveryRecord::make("DLH", "B738", "T4", "D-NOTY", true),
         {"T4" + pad + "   D-NOTY cargo false => true", "T4" + pad + "   D-NOTY airl KLM => DLH"}},
        {LiveryRecord::make("KLM", "B738", "T5", ""), LiveryRecord::make("KLM", "B738", "T5", ""), {}},
        {LiveryRecord::make("KLM", "B738", "T6", "X-UNKN"), LiveryRecord::make("KLM", "B738", "T6", "X-UNKN"), {}},
        // An operator without an airline: the operator is the airline, and the type applies.
        {LiveryRecord::make("DLH", "A319", "T7", "D-AEWA", true),
         LiveryRecord::make("EWG", "A320", "T7", "D-AEWA"),
         {"T7" + pad + "   D-AEWA cargo true => false", "T7" + pad + "   D-AEWA airl DLH => EWG",
          "T7" + pad + "   D-AEWA model A319 => A320"}},
        // Operator and airline: the operator wins.
        {LiveryRecord::make("DLH", "A320", "T8", "D-ABOT"),
         LiveryRecord::make("EWG", "A20N", "T8", "D-ABOT", true),
         {"T8" + pad + "   D-ABOT cargo false => true", "T8" + pad + "   D-ABOT airl DLH => EWG",
          "T8" + pad + "   D-ABOT model A320 => A20N"}},
        // An entry that names nothing but the cargo flag fixes only the cargo flag.
        {LiveryRecord::make("KLM", "B738", "T9", "D-ONLY", true),
         LiveryRecord::make("KLM", "B738", "T9", "D-ONLY"),
         {"T9" + pad + "   D-ONLY cargo true => false"}},
        // Everything already as the entry says: no line.
        {LiveryRecord::make("KLM", "B738", "T10", "D-SAME"), LiveryRecord::make("KLM", "B738", "T10", "D-SAME"), {}},
    };
    for (const auto& c : cases) {
        dbaseConversions.clear();
        auto record = c.before;
        lf_applyDbaseToLivery(record);
        EXPECT_EQ(record, c.after) << c.before.title;
        EXPECT_EQ(dbaseConversions, c.lines) << c.before.title;
    }
}

TEST_F(LiveryScan, ReportsOfAScan) {
    // Leftovers of an earlier scan: all go; a folder in the place of Fixes.txt can neither be removed nor
    // written over, which is reported twice while every other file is handled.
    writeText(scanReport::invalidCfgs(), "old");
    writeText(scanReport::noFltsimCfgs(), "old");
    writeText(scanReport::modelFixes() / "blocker", "x");
    writeText(scanReport::dbaseConversions(), "kept");
    const auto root =
        makeRoot("root", {
                             {"a", cfgText("icao_type_designator = C172",
                                           {livery("Bad airline 1", "XYZ"), livery("Bad airline 2", "QQQ", "D-ABCD")})},
                             {"b", oneLivery("A20N", "Fixed type", "DLH", "G-EUPA")},
                             {"c", oneLivery("ZZZZ", "Unknown type", "DLH")},
                             {"d", "[GENERAL]\nicao_type_designator = A320\n"},
                             {"e", "[fltsim.1]\ntitle = x\n"},
                             {"f", cfgText("icao_type_designator = A320", {{"icao_airline = DLH"}})},
                         });
    useManualRoots({root});
    gf_scanLiveries();
    EXPECT_TRUE(logHas("problems with removing previous files: "));
    EXPECT_TRUE(logHas("\nErrors:\n"));
    EXPECT_TRUE(logHas("2 invalid airline codes, see " + scanReport::invalidAirlines().string()));
    EXPECT_TRUE(logHas("1 invalid model code, see " + scanReport::invalidAircraft().string()));
    EXPECT_TRUE(logHas("1 invalid aircraft.cfg files, see " + scanReport::invalidCfgs().string()));
    EXPECT_TRUE(logHas("===> could not write " + scanReport::modelFixes().string()));
    EXPECT_FALSE(logHas("code fixes, see"));
    EXPECT_TRUE(logHas("1 incomplete [fltsim.x] sections, see " + scanReport::incompleteSections().string()));
    EXPECT_TRUE(logHas("\nInformation:\n"));
    EXPECT_TRUE(logHas("1 empty aircraft.cfg files, see " + scanReport::noFltsimCfgs().string()));
    EXPECT_TRUE(
        logHas("2 liveries updated with real live data from dbase, see " + scanReport::dbaseConversions().string()));
    const auto airlines = readLines(scanReport::invalidAirlines());
    ASSERT_EQ(airlines.size(), 2u);
    EXPECT_EQ(airlines[0].substr(0, 16), "QQQ          in ");
    EXPECT_EQ(airlines[1].substr(0, 16), "XYZ          in ");
    EXPECT_EQ(readLines(scanReport::invalidCfgs()),
              std::vector<std::string>{(root / "e" / "aircraft.cfg").string() +
                                       " contains non-consecutive [fltsim.x] numbers at .x=1"});
    EXPECT_EQ(readLines(scanReport::invalidAircraft()),
              std::vector<std::string>{"ZZZZ             in " + (root / "c" / "aircraft.cfg").string()});
    EXPECT_EQ(readLines(scanReport::dbaseConversions()).size(), 2u);
    EXPECT_EQ(cacheTitles(), (std::vector<std::string>{"Fixed type", "Bad airline 1", "Bad airline 2"}));
    EXPECT_TRUE(fs::exists(scanReport::modelFixes() / "blocker"));
    EXPECT_TRUE(logHas("problems with removing previous files: " + scanReport::modelFixes().string()));

    // A clean scan in a new program run: the errors folder goes once it is empty, and the conversions of
    // the scan before stay.
    fs::remove_all(scanReport::modelFixes());
    modelFixes.clear();
    fs::remove_all(root);
    makeRoot("root", {{"a", oneLivery("A320", "Clean", "DLH")}});
    SCAN_LIVERIES.value = true;
    gf_scanLiveries();
    EXPECT_TRUE(logHas("\nNo errors\n"));
    EXPECT_FALSE(fs::exists(dataNames::errorsFolder));
    EXPECT_FALSE(fs::exists(scanReport::noFltsimCfgs()));
    EXPECT_EQ(readLines(scanReport::dbaseConversions()).size(), 2u);
}

TEST_F(LiveryScan, AStopBeforeTheScanLeavesItOnAndBuildsNothing) {
    const auto root = makeRoot("root", {{"a", oneLivery("A320", "LH1", "DLH")}});
    useManualRoots({root});
    writeText(gf_liveryCachePath(), "stale");
    stopRequested = 1;
    gf_scanLiveries();
    stopRequested = 0;
    EXPECT_TRUE(SCAN_LIVERIES.value.load());
    EXPECT_FALSE(fs::exists(gf_liveryCachePath()));
    EXPECT_FALSE(liveriesProcessed.load());
    EXPECT_TRUE(logHas("liveries scan stopped"));
    EXPECT_FALSE(logHas("liveries found in"));
}

namespace {

// Lowers the limit of open files of the process so that only `free` more can be opened, and puts the
// old limit back at the end. The walk of a folder holds one open folder per level, so a tree deeper
// than `free` cannot be walked: a folder that cannot be opened, also for root. Free numbers below the
// highest open file are taken by placeholders, since a new file gets the lowest free number.
class OpenFileLimit {
public:
    explicit OpenFileLimit(int free) {
        getrlimit(RLIMIT_NOFILE, &old_);
        int highest = 0;
        for (const auto& entry : fs::directory_iterator("/proc/self/fd"))
            highest = std::max(highest, std::stoi(entry.path().filename().string()));
        rlimit lowered = old_;
        lowered.rlim_cur = static_cast<rlim_t>(highest + 1 + free);
        setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;) {
            if (fd > highest) {
                ::close(fd);
                break;
            }
            placeholders_.push_back(fd);
        }
    }
    ~OpenFileLimit() {
        for (const int fd : placeholders_) ::close(fd);
        setrlimit(RLIMIT_NOFILE, &old_);
    }
    OpenFileLimit(const OpenFileLimit&) = delete;
    OpenFileLimit& operator=(const OpenFileLimit&) = delete;

private:
    rlimit old_{};
    std::vector<int> placeholders_;
};

}  // namespace

TEST_F(LiveryScan, AFolderThatCannotBeOpenedEndsItsRootAndTheNextRootFollows) {
    // Which of three roots holds the folder that cannot be opened.
    for (const int blocked : {0, 1, 2}) {
        SCAN_LIVERIES.value = true;
        hwConcurrency = 1;
        const auto base = dir / fmt::format("case{}", blocked);
        std::vector<fs::path> roots;
        std::vector<std::string> titles;
        for (int i = 0; i < 3; ++i) {
            const auto root = base / fmt::format("root{}", i);
            if (i == blocked) {
                fs::create_directories(root);
            } else {
                const auto title = fmt::format("LH root {}", i);
                writeText(root / "a" / "aircraft.cfg", oneLivery("A320", title, "DLH"));
                titles.push_back(title);
            }
            roots.push_back(root);
        }
        useManualRoots(roots);
        {
            // A chain of folders deeper than the open files allowed, with a livery at its end.
            constexpr int freeFiles = 16;
            fs::path deep = roots[blocked];
            for (int level = 0; level < freeFiles + 8; ++level) deep /= "d";
            ASSERT_LT(deep.string().size(), 240u) << blocked;
            writeText(deep / "aircraft.cfg", oneLivery("A320", "LH too deep", "DLH"));
            OpenFileLimit limit(freeFiles);
            gf_scanLiveries();
        }
        EXPECT_TRUE(
            logHas("liveries search in folder " + roots[blocked].string() + " aborted because of iterator problem: "))
            << blocked;
        EXPECT_EQ(cacheTitles(), titles) << blocked;
        EXPECT_FALSE(SCAN_LIVERIES.value.load()) << blocked;
        for (int i = blocked + 1; i < 3; ++i) {
            EXPECT_TRUE(logHas("1 liverie found in " + roots[i].string())) << blocked;
        }
        EXPECT_EQ(gf_liveryTasksRunning(), 0);
    }
}

TEST_F(LiveryScan, AFileWhoseReadingFailsLosesNoOtherFilesLiveries) {
    // The texture folder of an IVAO livery cannot be queried: its name is too long for the file system, or
    // it is a link to itself. Reading that file fails; the task reads the next files on.
    struct Case {
        const char* name;
        std::function<std::string(const fs::path& aircraftFolder)> badTexture;  // the texture key
    };
    const std::vector<Case> cases{
        {"name too long", [](const fs::path&) { return std::string(300, 'K'); }},
        {"link to itself",
         [](const fs::path& folder) {
             fs::create_directory_symlink("texture.LOOP", folder / "texture.LOOP");
             return std::string("LOOP");
         }},
    };
    for (const int tasks : {1, 3}) {
        for (const auto& c : cases) {
            const std::string label = fmt::format("{}, {} task(s)", c.name, tasks);
            SCAN_LIVERIES.value = true;
            hwConcurrency = tasks;
            const auto base = dir / fmt::format("{} {}", c.name, tasks);
            const auto aircraft = base / "first" / "IVAO_MTL" / "SimObjects" / "Airplanes" / "IVAO_B738";
            fs::create_directories(aircraft / "texture.KLM");
            const auto badTexture = c.badTexture(aircraft);
            writeText(aircraft / "aircraft.cfg", cfgText("", {{"title = B738 KLM good", "texture = KLM"},
                                                              {"title = B738 KLM bad", "texture = " + badTexture}}));
            for (const char* folder : {"a", "m", "z"})
                writeText(base / "first" / folder / "aircraft.cfg",
                          oneLivery("A320", fmt::format("LH {}", folder), "DLH"));
            writeText(base / "second" / "a" / "aircraft.cfg", oneLivery("A319", "BA one", "BAW"));
            useManualRoots({base / "first", base / "second"});
            gf_scanLiveries();
            EXPECT_TRUE(logHas("===> liveries search in " + (aircraft / "aircraft.cfg").string() + " aborted, cause: "))
                << label;
            EXPECT_EQ(cacheTitles(), (std::vector<std::string>{"BA one", "LH a", "LH m", "LH z"})) << label;
            EXPECT_TRUE(logHas("3 liveries found in " + (base / "first").string())) << label;
            EXPECT_FALSE(SCAN_LIVERIES.value.load()) << label;
            EXPECT_EQ(gf_liveryTasksRunning(), 0) << label;
        }
    }
}

TEST_F(LiveryScan, FixesOfEveryScanOfTheProgramRun) {
    struct Case {
        const char* name;
        const char* secondType;          // the type of the second scan's file
        bool newProgram;                 // the program started anew between the scans
        std::vector<std::string> fixes;  // of the files "one" and "two"
    };
    const std::vector<Case> cases{
        {"fix in both scans", "A20N", false, {"one", "two"}},
        {"fix in the first scan only", "A320", false, {"one"}},
        {"a new program", "A20N", true, {"two"}},
        {"a new program without fixes", "A320", true, {}},
    };
    for (const auto& c : cases) {
        modelFixes.clear();
        const auto base = dir / c.name;
        const auto one = base / "one" / "aircraft.cfg", two = base / "two" / "aircraft.cfg";
        writeText(one, oneLivery("A20N", fmt::format("{} one", c.name), "DLH"));
        useManualRoots({base / "one"});
        SCAN_LIVERIES.value = true;
        gf_scanLiveries();
        if (c.newProgram) modelFixes.clear();
        writeText(two, oneLivery(c.secondType, fmt::format("{} two", c.name), "DLH"));
        useManualRoots({base / "two"});
        SCAN_LIVERIES.value = true;
        gf_scanLiveries();

        std::vector<std::string> expected;
        for (const auto& file : c.fixes)
            expected.push_back(
                fmt::format("Model fix: A20N found in {} changed into A320", (file == "one" ? one : two).string()));
        if (expected.empty()) {
            EXPECT_FALSE(fs::exists(scanReport::modelFixes())) << c.name;
        } else {
            EXPECT_EQ(readLines(scanReport::modelFixes()), expected) << c.name;
            EXPECT_TRUE(
                logHas(fmt::format("{} code fixes, see {}", expected.size(), scanReport::modelFixes().string())))
                << c.name;
        }
    }
}

class LiveryScanThreads : public LiveryScan {};

TEST_F(LiveryScanThreads, OneTaskAndManyTasksGiveTheSameCache) {
    useManualRoots({manyFilesRoot(60)});
    hwConcurrency = 1;
    gf_scanLiveries();
    const auto single = cacheLines();
    EXPECT_EQ(single.size(), 180u);

    SCAN_LIVERIES.value = true;
    hwConcurrency = 8;
    gf_scanLiveries();
    EXPECT_EQ(cacheLines(), single);
    EXPECT_EQ(gf_liveryTasksRunning(), 0);
    EXPECT_EQ(taskCount.load(), 0);
}

TEST_F(LiveryScanThreads, AStopInTheMiddle) {
    const auto first = manyFilesRoot(300);
    const auto second = makeRoot("second", {{"a", oneLivery("A320", "LH1", "DLH")}});
    useManualRoots({first, second});
    hwConcurrency = 2;
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        for (;;) {
            {
                std::lock_guard lock(liveryTitlesMutex);
                if (liveryTitles.size() >= 6) break;
            }
            if (done.load()) return;
            std::this_thread::yield();
        }
        stopRequested = 1;
    });
    gf_scanLiveries();
    done = true;
    stopper.join();
    const bool stopped = stopRequested.load() != 0;
    stopRequested = 0;
    ASSERT_TRUE(stopped);
    EXPECT_TRUE(SCAN_LIVERIES.value.load());
    EXPECT_FALSE(fs::exists(gf_liveryCachePath()));
    EXPECT_FALSE(liveriesProcessed.load());
    EXPECT_FALSE(logHas("found in " + second.string()));
    EXPECT_EQ(gf_liveryTasksRunning(), 0);
    EXPECT_TRUE(liveryList.empty());
    std::lock_guard lock(liveryTitlesMutex);
    EXPECT_TRUE(liveryTitles.empty());
}

TEST_F(LiveryScanThreads, LinkedPackageFoldersAreWalkedOnceAndALinkLoopEnds) {
    const auto root = makeRoot("Community", {{"real/a", oneLivery("A320", "in a folder", "DLH")}});
    const auto outside = makeRoot("elsewhere", {{"pkg/b", oneLivery("B738", "in a linked package", "KLM")}});
    fs::create_directory_symlink(outside / "pkg", root / "linked");
    fs::create_directory_symlink(outside / "pkg", root / "linked-again");  // one package, two links: one walk
    fs::create_directory_symlink(root, root / "real" / "loop");            // a link to a folder above
    fs::create_symlink(dir / "gone", root / "dangling");
    fs::create_directory_symlink(root, dir / "community-link");
    for (const fs::path& scanned : {root, dir / "community-link"}) {
        for (std::int32_t tasks : {1, 8}) {
            SCAN_LIVERIES.value = true;
            hwConcurrency = tasks;
            useManualRoots({scanned});
            gf_scanLiveries();
            EXPECT_EQ(cacheTitles(), (std::vector<std::string>{"in a folder", "in a linked package"})) << scanned;
            EXPECT_TRUE(logHas("2 liveries found in " + scanned.string())) << scanned;
            for (const auto& line : readLines(scanReport::incompleteSections()))
                EXPECT_EQ(line.find("already exists"), std::string::npos) << line;
            EXPECT_EQ(taskCount.load(), 0);
        }
    }
}
