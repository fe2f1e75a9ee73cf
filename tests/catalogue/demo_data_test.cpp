// The demo's catalogue data: the archives in demo/downloads must be readable and made from their
// plain sources in demo/catalogue (scripts/make_catalogue_data).
#include "catalogue/livery_matching.h"
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
