// Links to archived parking files, generated files, unrecognised 2024 airports and the whole scan with its
// report and TBLO folder, on BGL files written by the BGL builder.
#include "scan_fixture.h"

#include <mutex>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/addon_links.h"
#include "airports/addon_scan.h"
#include "airports/airports.h"
#include "airports/apf_lookup.h"
#include "catalogue/reference_db.h"
#include "foundation/meta_header.h"

class AddonLinksTest : public ScanTest {
protected:
    ScopedEnv server{"VEXA_DOWNLOAD_URL", "file://" + (dir / "server").string() + "/"};
    ScopedEnv appdata{"VEXA_APPDATA", (dir / "appdata").string()};

    void SetUp() override {
        ScanTest::SetUp();
        fs::create_directories(dir / "server" / "MSFS" / "archive" / "stock");
        fs::create_directories(dir / "appdata" / "Vexa");
        fs::create_directories(dir / "airports" / "ve_zuzuvado");
        fs::create_directories(dir / "airports" / "my_thirdparty");
        gf_resetReferenceDatabase();
        gf_resetAirports();
        publisherGroups = {{"Aerosoft"}, {"Some Pub"}};
        simaddonAirports = {"EDDF"};
        publisherAirports2020 = {{"Aerosoft", {"LOWW12"}}, {"Some Pub", {"EDDM40", "EDDM"}}};
        publisherAirports2024 = {{"Some Pub", {"EDDH7"}}};
        airportList = {
            {"EDDF", "FRA", 50.03, 8.57, 364}, {"EDDH", "HAM", 53.63, 9.99, 53}, {"EGLL", "LHR", 51.47, -0.46, 83}};
        airportFilesChanged = false;
        tbloCount = 0;
        gf_resetGeneratedAirports();
        SCAN_AIRPORTS.value = true;
    }
    void TearDown() override {
        gf_resetReferenceDatabase();
        gf_resetAirports();
        airportFilesChanged = false;
        SCAN_AIRPORTS.value = SCAN_AIRPORTS.defaultValue;
        simFamilyName.set("MSFS");
        ScanTest::TearDown();
    }

    static std::vector<bgl::Stand> stands(std::uint32_t count, std::uint32_t helipadsAtEnd = 0) {
        std::vector<bgl::Stand> list;
        for (std::uint32_t i = 1; i <= count - helipadsAtEnd; ++i)
            list.push_back({.nameCode = 10, .number = i, .latitude = 50.0 + i * 0.0001});
        return list;
    }
    fs::path putBgl(const fs::path& relative, const char* icao, std::uint32_t standCount, std::uint32_t helipads = 0) {
        std::vector<bgl::Record> subs;
        for (std::uint32_t h = 0; h < helipads; ++h) subs.push_back(bgl::helipad(50.1 + h * 0.001, 8.5, 20.0f));
        if (standCount > helipads) subs.push_back(bgl::parkingList(stands(standCount, helipads)));
        const fs::path p = dir / relative;
        fs::create_directories(p.parent_path());
        bgl::write(p, bgl::file({bgl::section({bgl::airport(icao, 0, subs)})}));
        return p;
    }
    void putText(const fs::path& relative, const std::string& text) {
        fs::create_directories((dir / relative).parent_path());
        std::ofstream(dir / relative, std::ios::binary) << text;
    }
    std::string readText(const fs::path& relative) const {
        std::ifstream in(dir / relative, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The stand names of a generated file, and its publisher.
    std::vector<std::string> generatedStands(const fs::path& relative, std::string* publisherOut = nullptr) const {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file((dir / relative).c_str())) << relative;
        std::vector<std::string> ids;
        for (pugi::xml_node n : doc.child("parkpositions").children("parkpos"))
            ids.push_back(n.attribute("id").value());
        if (publisherOut) *publisherOut = gf_readApfPublisher(dir / relative);
        return ids;
    }
    void scanCommunity(const BglAirportHandlers& h = gf_addonAirportHandlers()) {
        lf_scanAirportRoots({(dir / "Community").string()}, h);
    }
};

TEST_F(AddonLinksTest, ArchivePathsAndPublisherLists) {
    std::int32_t archived = -1;
    EXPECT_EQ(lf_findThirdpartyArchive("Some Pub", "EDDM", archived),
              std::make_pair(std::string("archive/thirdparty/Some%20Pub/EDDM.xml"), true));
    EXPECT_EQ(archived, 40);
    archived = 0;
    EXPECT_FALSE(lf_findThirdpartyArchive("Some%20Pub", "EDDM", archived).second);
    EXPECT_FALSE(lf_findThirdpartyArchive("Aerosoft", "EDDM", archived).second);
    MSFS_2020.value = false;
    EXPECT_FALSE(lf_findThirdpartyArchive("Some Pub", "EDDM", archived).second);
    EXPECT_TRUE(lf_findThirdpartyArchive("Some Pub", "EDDH", archived).second);
    EXPECT_EQ(archived, 7);
    EXPECT_EQ(lf_findSimaddonArchive("EDDF"), std::make_pair(std::string("archive/simaddon/EDDF.xml"), true));
    EXPECT_FALSE(lf_findSimaddonArchive("EGLL").second);

    std::string text = "C:\\sim\\Community\\pkg\\a.bgl";
    lf_pathFromCommunity(text);
    EXPECT_EQ(text, "Community\\pkg\\a.bgl");
    text = "/sim/Official/a.bgl";
    lf_pathFromCommunity(text);
    EXPECT_EQ(text, "/sim/Official/a.bgl");
}

TEST_F(AddonLinksTest, LinksAndGeneratedFilesPerPublisher) {
    putBgl("Community/asobo-airport-eddf/scenery/a.bgl", "EDDF", 3);      // simaddon, archived
    putBgl("Community/asobo-airport-egll/scenery/a.bgl", "EGLL", 2);      // simaddon, not archived
    putBgl("Community/somepub-eddm/Some Pub/scenery/a.bgl", "EDDM", 55);  // archived with 40 stands
    putBgl("Community/aerosoft-loww/scenery/a.bgl", "LOWW", 12);          // archived with as many
    putBgl("Community/nobody-lfpg/scenery/a.bgl", "LFPG", 1);             // unknown
    putText("Community/nobody-lfpg/manifest.json", R"({"manufacturer":"Nobody Scenery","creator":"Noone"})");
    putBgl("Community/helis-ekch/scenery/a.bgl", "EKCH", 12, 2);  // unknown, no manifest
    scanCommunity();

    EXPECT_EQ(readText("airports/ve_zuzuvado/EDDF.txt"), "archive/simaddon/EDDF.xml\n");
    EXPECT_FALSE(fs::exists(dir / "airports/ve_zuzuvado/EDDF.xml"));
    EXPECT_EQ(generatedStands("airports/ve_zuzuvado/EGLL.xml"), (std::vector<std::string>{"g1", "g2"}));
    EXPECT_EQ(readText("airports/my_thirdparty/EDDM.txt"), "archive/thirdparty/Some%20Pub/EDDM.xml\n");
    EXPECT_EQ(generatedStands("airports/my_thirdparty/EDDM.xml").size(), 55u);
    EXPECT_EQ(readText("airports/my_thirdparty/LOWW.txt"), "archive/thirdparty/Aerosoft/LOWW.xml\n");
    EXPECT_FALSE(fs::exists(dir / "airports/my_thirdparty/LOWW.xml"));
    std::string publisher;
    EXPECT_EQ(generatedStands("airports/my_thirdparty/LFPG.xml", &publisher).size(), 1u);
    EXPECT_EQ(publisher, "unknown");
    EXPECT_EQ(gf_checkApfPublisher(dir / "airports/my_thirdparty/LFPG.xml"), "") << "the manifest's texts are written";
    EXPECT_EQ(generatedStands("airports/my_thirdparty/EKCH.xml").size(), 12u);
    EXPECT_TRUE(airportFilesChanged.load());

    const auto report = readText("output/info/AirportsScanLog.txt");
    for (const char* line :
         {"simaddon airport EDDF linked to archive/simaddon/EDDF.xml\n", "EGLL does not exist as simaddon\n",
          "thirdparty airport EDDM linked to archive/thirdparty/Some%20Pub/EDDM.xml\n",
          "===> EDDM has 55 parkpos while archived one has 40\n", "Generated EDDM.xml: 55 positions\n",
          "Generated LFPG.xml: 1 position\n", "Generated EKCH.xml: 12 positions, of which 2 helipads\n",
          "===> No publisher found\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line;
    EXPECT_EQ(report.find("LOWW has"), std::string::npos);
    EXPECT_TRUE(logText().find("Airports scan successful") != std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "TBLO")) << "nothing to learn offline";
}

// Run under ThreadSanitizer too: the links, the generated files and the report are shared by the tasks.
class AddonLinksThreads : public AddonLinksTest {};

TEST_F(AddonLinksThreads, TwoFilesOfOneAirportGiveOneFileWhateverTheOrder) {
    putBgl("Community/a-pack/scenery/a.bgl", "LFPG", 3);
    putBgl("Community/b-pack/scenery/b.bgl", "LFPG", 5);
    putBgl("Community/c-pack/scenery/c.bgl", "LFPG", 5);
    for (std::int32_t tasks : {1, 8}) {
        hwConcurrency = tasks;
        fs::remove_all(dir / "airports/my_thirdparty");
        scanCommunity();
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file((dir / "airports/my_thirdparty/LFPG.xml").c_str()));
        EXPECT_EQ(generatedStands("airports/my_thirdparty/LFPG.xml").size(), 5u);
        EXPECT_NE(readText("airports/my_thirdparty/LFPG.xml").find("b-pack"), std::string::npos) << tasks;
        const auto report = readText("output/info/AirportsScanLog.txt");
        EXPECT_NE(report.find("===> LFPG found twice: "), std::string::npos);
    }
    hwConcurrency = gf_hardwareThreads();
}

TEST_F(AddonLinksThreads, AnAirportOfTheSimulatorAndOfAPublisherGetsAFileInEachFolder) {
    putBgl("Official/OneStore/asobo-airport-egll/scenery/a.bgl", "EGLL", 5);  // simaddon, not archived
    putBgl("Community/nobody-egll/scenery/a.bgl", "EGLL", 3);                 // unknown publisher
    for (std::int32_t tasks : {1, 8}) {
        hwConcurrency = tasks;
        fs::remove_all(dir / "airports/ve_zuzuvado");
        fs::remove_all(dir / "airports/my_thirdparty");
        lf_scanAirportRoots({(dir / "Official").string(), (dir / "Community").string()});
        EXPECT_EQ(generatedStands("airports/ve_zuzuvado/EGLL.xml").size(), 5u) << tasks;
        EXPECT_EQ(generatedStands("airports/my_thirdparty/EGLL.xml").size(), 3u) << tasks;
        const auto report = readText("output/info/AirportsScanLog.txt");
        EXPECT_EQ(report.find("found twice"), std::string::npos) << tasks;
    }
    hwConcurrency = gf_hardwareThreads();
}

TEST_F(AddonLinksTest, AGeneratedFileThatCannotBeWrittenIsReported) {
    putBgl("Community/nobody-lfpg/scenery/a.bgl", "LFPG", 2);
    fs::create_directories(dir / "airports/my_thirdparty/LFPG.xml/in-the-way");  // no file can take its place
    EXPECT_FALSE(lf_scanAirportRoots({(dir / "Community").string()}));
    const auto report = readText("output/info/AirportsScanLog.txt");
    EXPECT_NE(report.find("Generated LFPG.xml: 2 positions\n"), std::string::npos);
    EXPECT_NE(report.find("===> Generating airports/my_thirdparty/LFPG.xml did not succeed\n"), std::string::npos);
    EXPECT_FALSE(airportFilesChanged.load());
    EXPECT_TRUE(fs::is_directory(dir / "airports/my_thirdparty/LFPG.xml/in-the-way"));
    EXPECT_EQ(logText().find("Airports scan successful"), std::string::npos);
}

TEST_F(AddonLinksTest, OutsidePublisherFilesSuitableForLearningAreCopiedToTblo) {
    const fs::path stock = fs::path("server") / "MSFS" / "archive" / "stock";
    const std::string suitable = "<?xml version=\"1.0\"?>\n<parameters><parameter name=\"Qf_soft\" value=\"3\"/>"
                                 "<parameter name=\"RT_traffic_week\" value=\"30\"/></parameters><parkpositions/>\n";
    for (const char* code : {"EDDM", "LFPG", "EKCH", "KMCI"}) putText(stock / gf_xmlPath(code), suitable);
    putText(stock / "EHAM.xml", "<?xml version=\"1.0\"?>\n<parameters/><parkpositions/>\n");
    publisherGroups.push_back({"TropicalSim"});
    putBgl("Community/somepub-eddm/Some Pub/scenery/a.bgl", "EDDM", 55);  // linked and generated
    putBgl("Community/nobody-lfpg/scenery/a.bgl", "LFPG", 1);             // generated, manifest names a maker
    putText("Community/nobody-lfpg/manifest.json", R"({"manufacturer":"Nobody Scenery","creator":"Noone"})");
    putBgl("Community/helis-ekch/scenery/a.bgl", "EKCH", 12, 2);  // unknown maker: not sent in
    putBgl("Community/nobody-eham/scenery/a.bgl", "EHAM", 3);     // its stock file has no quality factor
    putText("Community/nobody-eham/manifest.json", R"({"manufacturer":"Nobody Scenery"})");
    putBgl("Community/tropicalsim-kmci/scenery/a.bgl", "KMCI", 4);  // this publisher's KMCI is left out
    scanCommunity();

    EXPECT_TRUE(fs::exists(dir / "TBLO/EDDM.xml"));
    EXPECT_TRUE(fs::exists(dir / "TBLO/LFPG.xml"));
    EXPECT_FALSE(fs::exists(dir / "TBLO/EKCH.xml"));
    EXPECT_FALSE(fs::exists(dir / "TBLO/EHAM.xml"));
    EXPECT_FALSE(fs::exists(dir / "TBLO/KMCI.xml"));
    EXPECT_EQ(readText("TBLO/LFPG.xml"), readText("airports/my_thirdparty/LFPG.xml"));
    EXPECT_FALSE(fs::exists(dir / "airports/my_thirdparty/EDDM.xml")) << "its link file stays";
    EXPECT_TRUE(fs::exists(dir / "airports/my_thirdparty/EDDM.txt"));
    EXPECT_FALSE(fs::exists(dir / "airports/my_thirdparty/KMCI.xml"));
    for (const char* code : {"EKCH", "EHAM"})
        EXPECT_TRUE(fs::exists(dir / "airports/my_thirdparty" / gf_xmlPath(code))) << code;
    const std::string log = logText();
    EXPECT_NE(log.find("EDDM copied to " + (fs::path("TBLO") / "EDDM.xml").string()), std::string::npos);
    EXPECT_NE(log.find("LFPG copied to " + (fs::path("TBLO") / "LFPG.xml").string()), std::string::npos);
    EXPECT_NE(log.find("===> Please zip the folder \""), std::string::npos);
    EXPECT_EQ(tbloCount.load(), 2);
    EXPECT_EQ(addonAirportsFound.load(), 4) << "EDDM (linked), LFPG, EKCH and EHAM; KMCI's file was taken out";

    // A later scan that sends nothing in leaves no TBLO folder and shows no count.
    for (const char* folder : {"Community", "airports/my_thirdparty"}) {
        fs::remove_all(dir / folder);
        fs::create_directories(dir / folder);
    }
    scanCommunity();
    EXPECT_FALSE(fs::exists(dir / "TBLO"));
    EXPECT_EQ(addonAirportsFound.load(), 0);
}

TEST_F(AddonLinksTest, ATbloEntryThatCannotBeWrittenIsReportedAndNotCounted) {
    MSFS_2020.value = false;
    const std::string bglPath = (dir / "Community/y/scenery/egll.bgl").string();
    fs::create_directories(dir / "TBLO/EGLL.xml/in-the-way");
    lf_handleUnrecognisedAirport(bglPath);
    EXPECT_EQ(tbloCount.load(), 0);
    EXPECT_TRUE(reportHas("===> " + (fs::path("TBLO") / "EGLL.xml").string() + " could not be written"));
    EXPECT_FALSE(reportHas("TBLO entry EGLL.xml created"));

    fs::remove_all(dir / "TBLO/EGLL.xml");
    lf_handleUnrecognisedAirport(bglPath);
    EXPECT_EQ(tbloCount.load(), 1);
    EXPECT_TRUE(reportHas("==> TBLO entry EGLL.xml created "));
}

TEST_F(AddonLinksTest, TheResetForgetsWhatTheScanFound) {
    AirportPackage big;
    big.icao = "LFPG";
    big.publisher = "unknown";
    big.stands.resize(5);
    for (std::size_t i = 0; i < big.stands.size(); ++i) big.stands[i].name = fmt::format("g{}", i + 1);
    AirportPackage small = big;
    small.stands.resize(3);
    lf_generateAirportFile(big, 0);
    airportFilesChanged = true;
    addonAirportsFound = 4;

    gf_resetAddonAirportScan();
    EXPECT_FALSE(airportFilesChanged.load());
    EXPECT_EQ(addonAirportsFound.load(), 0);
    lf_generateAirportFile(small, 0);  // a new scan's first file of the airport
    EXPECT_EQ(generatedStands("airports/my_thirdparty/LFPG.xml").size(), 3u);
}

TEST_F(AddonLinksTest, UnrecognisedAirportsOfThe2024Simulator) {
    MSFS_2020.value = false;
    const auto undecodable = bgl::file({bgl::section({bgl::other(0x113)})});
    const auto put = [&](const fs::path& relative) {
        fs::create_directories((dir / relative).parent_path());
        bgl::write(dir / relative, undecodable);
    };
    put("Community/x/scenery/eddh.bgl");     // stem names a known airport; archived in 2024
    put("Community/y/scenery/egll.bgl");     // stem; not archived
    put("Community/t/scenery/ad_0001.bgl");  // manifest title
    putText("Community/t/manifest.json", R"({"title":"EDDF Frankfurt","creator":"Noone","manufacturer":"M"})");
    put("Community/u-egll-heathrow/scenery/ad_0002.bgl");  // code in the path, manifest without one
    putText("Community/u-egll-heathrow/manifest.json", R"({"title":"Heathrow"})");
    put("Community/v/scenery/ad_0003.bgl");  // manifest without any code: lost
    putText("Community/v/manifest.json", R"({"title":"Somewhere"})");
    put("Community/w/scenery/ad_0004.bgl");  // no manifest: nothing more
    publisherGroups = {{"Some Pub", "Community/x"}};
    scanCommunity();

    const auto report = readText("output/info/AirportsScanLog.txt");
    for (const char* line :
         {"Not recognised airport has ICAO code \"EDDH\" as BGL stem",
          "thirdparty airport EDDH linked to archive/thirdparty/Some%20Pub/EDDH.xml",
          "Not recognised airport has ICAO code \"EGLL\" as BGL stem", "==> TBLO entry EGLL.xml created ",
          "Not recognised airport has ICAO \"EDDF\" in title \"EDDF Frankfurt\" of manifest",
          "Not recognised airport has ICAO \"EGLL\" in BGL path",
          "==================> Not recognised airport lost ... "})
        EXPECT_NE(report.find(line), std::string::npos) << line;
    EXPECT_EQ(tbloCount.load(), 3);  // EGLL twice (one file) and EDDF
    EXPECT_TRUE(fs::exists(dir / "TBLO/EDDF.xml"));
    EXPECT_EQ(readText("TBLO/EDDF.xml"), (dir / "Community/t/scenery/ad_0001.bgl").string() +
                                             "\nEDDF by unknown, title: EDDF Frankfurt crea: Noone manu: M\n");
    EXPECT_TRUE(fs::exists(dir / "TBLO/EGLL.xml")) << "entries of this scan are kept";
    EXPECT_FALSE(fs::exists(dir / "TBLO/EDDH.xml"));
}

TEST_F(AddonLinksTest, TheScanSwitchesItselfOffAndKeepsTheOtherSimulatorsFiles) {
    putText("airports/ve_zuzuvado/OLD1.xml", "old");
    putText("airports/my_thirdparty/OLD2.xml", "old");
    putText("TBLO/OLD3.xml", "old");
    putBgl("Official/OneStore/asobo-airport-egll/scenery/a.bgl", "EGLL", 2);
    putBgl("Community/nobody/scenery/a.bgl", "LFPG", 2);

    MSFS_2020.value = false;
    gf_scanAddonAirports(dir / "Official", dir / "Community");
    EXPECT_TRUE(fs::exists(dir / "airports/ve_zuzuvado/OLD1.xml")) << "2024 keeps the 2020 add-on files";
    EXPECT_FALSE(fs::exists(dir / "airports/my_thirdparty/OLD2.xml"));
    EXPECT_FALSE(fs::exists(dir / "TBLO"));
    EXPECT_FALSE(fs::exists(dir / "airports/ve_zuzuvado/EGLL.xml")) << "no Official folder in 2024";
    EXPECT_TRUE(fs::exists(dir / "airports/my_thirdparty/LFPG.xml"));
    EXPECT_EQ(simFamilyName.get(), "MSFS2024");
    EXPECT_FALSE(SCAN_AIRPORTS.value.load());
    EXPECT_NE(readText("appdata/Vexa/parameters.xml").find("SCAN_AIRPORTS"), std::string::npos);
    EXPECT_EQ(taskCount.load(), 0);

    MSFS_2020.value = true;
    gf_scanAddonAirports(dir / "Official", dir / "Community");
    EXPECT_FALSE(fs::exists(dir / "airports/ve_zuzuvado/OLD1.xml"));
    EXPECT_TRUE(fs::exists(dir / "airports/ve_zuzuvado/EGLL.xml"));
    const std::string log = logText();
    EXPECT_NE(log.find("++++++++++++++++++++++++ airports scan  starts +++++++++++++++++++++++++++++"),
              std::string::npos);
    EXPECT_NE(log.find("-------------------------- airports scan ends    ----------------------------"),
              std::string::npos);
    EXPECT_NE(log.find("output/info/AirportsScanLog.txt written"), std::string::npos);
}

TEST_F(AddonLinksTest, AFirstScanThatFindsNothingWarns) {
    fs::create_directories(dir / "Community");
    gf_scanAddonAirports({}, dir / "Community");
    EXPECT_NE(logText().find("Warning: Scan has not found any add-on airports"), std::string::npos);
    EXPECT_FALSE(SCAN_AIRPORTS.value.load());
}
