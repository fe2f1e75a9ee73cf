// The demo's catalogue data: the archives in demo/downloads must be readable and made from their
// plain sources in demo/catalogue (scripts/make_catalogue_data).
#include "catalogue/livery_matching.h"
#include "catalogue/livery_scan.h"
#include "catalogue_fixture.h"

using namespace cattest;

class DemoData : public CatalogueTest {
protected:
    const fs::path source = fs::path(VEXA_SOURCE_DIR);
    void useDemoServer() {
        setenv("VEXA_DOWNLOAD_URL", ("file://" + (source / "demo" / "downloads").string() + "/").c_str(), 1);
    }
};

TEST_F(DemoData, ArchivesMatchTheirPlainSources) {
    loadDatabase(readText(source / "demo" / "catalogue" / "dbase_plain.xml"));
    const auto types = knownAircraftTypes;
    const auto registrations = registrationTable;
    const auto spans = wingspanTable;
    const auto groups = similarGroups;
    gf_resetCatalogue();

    useDemoServer();
    gf_readDatabase();
    EXPECT_EQ(knownAircraftTypes, types);
    EXPECT_EQ(registrationTable, registrations);
    EXPECT_EQ(wingspanTable, spans);
    EXPECT_EQ(similarGroups, groups);
    EXPECT_FALSE(fs::exists(source / "demo" / "downloads" / "temp2.xml"));
    EXPECT_TRUE(fs::exists(source / "demo" / "downloads" / "dbase.zip"));
}

TEST_F(DemoData, DemoCatalogueMatchesItsAircraft) {
    useDemoServer();
    gf_readDatabase();
    fs::copy_file(source / "demo" / "catalogue" / "LiveriesScanned.xml", dir / "output" / "LiveriesScanned.xml");
    gf_readExcludedTitles();
    EXPECT_EQ(excludedTitles, (std::vector<std::string>{"Broken demo livery"}));
    gf_scanLiveries();
    EXPECT_FALSE(logHas("meta data incorrect?"));
    EXPECT_EQ(gf_liveryForRegistration("DAIPA"), "Lufthansa A320 D-AIPA");
    EXPECT_EQ(gf_liveryForRegistration("HB-JNB"), "Swiss B77W");
    EXPECT_EQ(specialTitles.size(), 1u);

    LiveryRequest r;
    r.airline = "DLH";
    r.type = "A321";
    r.category = gf_aircraftCategory("A321");
    lf_matchLive(r);
    EXPECT_EQ(r.title, "DLH A321 FSLTL_demo");
    EXPECT_TRUE(r.fsltl);
}

// The demo's aircraft packages (scripts/make_demo_packages) give exactly the demo's livery list when
// scanned as the stand-in simulator's Community folder.
TEST_F(DemoData, ScanningTheDemoPackagesGivesTheDemoLiveries) {
    useDemoServer();
    gf_readDatabase();
    const auto liveries = [](const fs::path& cache) {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file(cache.c_str())) << cache;
        std::vector<std::string> out;
        for (auto liv : doc.child("liveries").children("liv")) {
            std::string text;
            for (auto a : liv.attributes()) text += fmt::format("{}={} ", a.name(), a.value());
            out.push_back(text);
        }
        return out;
    };
    fs::copy(source / "demo" / "packages", dir / "Community", fs::copy_options::recursive);
    gf_setCommunityFolderSource([this] { return dir / "Community"; });
    SCAN_LIVERIES.value = true;
    LIG_AUTOMATIC.value = true;
    gf_scanLiveries();
    LIG_AUTOMATIC.value = LIG_AUTOMATIC.defaultValue;
    gf_setCommunityFolderSource({});
    EXPECT_EQ(liveries(dir / "output" / "LiveriesScanned.xml"),
              liveries(source / "demo" / "catalogue" / "LiveriesScanned.xml"));
    EXPECT_TRUE(logHas("Automatic AIG scan found folder"));
    EXPECT_TRUE(logHas("Automatic user-aitraffic scan found folder"));
    EXPECT_TRUE(logHas("1 incomplete [fltsim.x] sections"));
    EXPECT_FALSE(SCAN_LIVERIES.value.load());
}
