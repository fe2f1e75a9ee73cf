#include "app/main_window.h"
#include "catalogue/livery_db.h"
#include "catalogue/livery_scan.h"
#include "catalogue/similar_models.h"
#include "catalogue_fixture.h"
#include "shell/display.h"

using namespace cattest;

class LiveryDb : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        loadDatabase();
    }
    static std::vector<std::string> sorted(std::vector<std::string_view> v) {
        std::vector<std::string> out(v.begin(), v.end());
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(LiveryDb, CargoAndPassengerMapsAndTheTypeIndex) {
    buildLiveries({pax("DLH", "A320", "LH pax"), freight("DLH", "A320", "LH cargo"), pax("BAW", "A320", "BA pax"),
                   pax("BAW", "A319", "BA 319")});
    EXPECT_EQ(sorted(airlineLiveries[0].at("DLH").at("A320")), (std::vector<std::string>{"LH pax"}));
    EXPECT_EQ(sorted(airlineLiveries[1].at("DLH").at("A320")), (std::vector<std::string>{"LH cargo"}));
    EXPECT_FALSE(airlineLiveries[1].contains("BAW"));
    EXPECT_EQ(sorted(modelLiveries[0].at("A320")), (std::vector<std::string>{"BA pax", "LH pax"}));
    EXPECT_EQ(sorted(modelLiveries[1].at("A320")), (std::vector<std::string>{"LH cargo"}));
    EXPECT_FALSE(modelLiveries[1].contains("A319"));
    // Every view points into the catalogue's own title.
    EXPECT_EQ(modelLiveries[1].at("A320")[0].data(), gf_catalogueTitle("LH cargo").data());
    EXPECT_TRUE(gf_catalogueTitle("nothing like it").empty());
    EXPECT_TRUE(gf_catalogueHasAirlineModel("BAW", "A319"));
    EXPECT_FALSE(gf_catalogueHasAirlineModel("DLH", "A319"));
    EXPECT_TRUE(gf_hasLiveryForModel("A319"));
    EXPECT_FALSE(gf_hasLiveryForModel("B738"));
    EXPECT_EQ(mainWindow.liveryCount.load(), 4u);
    EXPECT_TRUE(logHas("2 airlines, 2 pax aircraft models and 1 cargo aircraft models"));
    EXPECT_TRUE(logHas("No generic liveries"));
    EXPECT_TRUE(logHas("Category Large: 3 pax liveries and 1 cargo liverie\n"));
    EXPECT_TRUE(logHas("Category Heavy: No livery found"));
}

TEST_F(LiveryDb, EmptyCategoriesAreSwitchedOffAndStored) {
    HIGH_PERF_AIRCRAFT.value = false;
    buildLiveries({pax("ZZZ", "C172", "Cessna"), pax("ZZZ", "C25A", "Citation")});
    EXPECT_FALSE(HELICOPTERS.value.load());
    EXPECT_TRUE(logHas("HELICOPTERS temporary switched off because you do not have Helicopters installed"));
    EXPECT_FALSE(logHas("HIGH_PERF_AIRCRAFT temporary switched off"));  // already off
    EXPECT_TRUE(LIGHT_AIRCRAFT.value.load());
    EXPECT_NE(readText(sandbox->appData() / "Vexa" / "parameters.xml").find("HELICOPTERS"), std::string::npos);
    EXPECT_TRUE(logHas("2 models have a generic livery\n  C172,C25A\n"));
    EXPECT_EQ(installedLightModels, (std::vector<std::string>{"C172"}));
    EXPECT_EQ(installedBuzjetModels, (std::vector<std::string>{"C25A"}));
    EXPECT_TRUE(installedRotorcraftModels.empty());
}

TEST_F(LiveryDb, ModelListsAreLoggedTwentyToALine) {
    std::vector<LiveryRecord> records;
    for (int i = 0; i < 25; ++i)
        records.push_back(pax("ZZZ", fmt::format("L{:03}", i).c_str(), fmt::format("t{}", i).c_str()));
    buildLiveries(records);
    EXPECT_EQ(installedLightModels.size(), 25u);
    std::string first = "  ";
    for (int i = 0; i < 20; ++i) first += fmt::format("L{:03}{}", i, i < 19 ? "," : "");
    EXPECT_TRUE(logHas("Category Light: 25 pax liveries\n" + first + "\n  L020,L021,L022,L023,L024\n"));
}

TEST_F(LiveryDb, SecondBuildIsSkippedAndClearIsDeferredToTheNextRun) {
    buildLiveries({pax("DLH", "A320", "LH pax")});
    const std::string_view title = modelLiveries[0].at("A320")[0];
    lf_processLiveries();
    EXPECT_TRUE(logHas("Processing scanned liveries skipped; already done in previous start-up"));

    // The window asks for a clear while the run still holds the title: nothing is emptied yet.
    gf_clearLiveryDatabase();
    liveriesProcessed = false;
    EXPECT_TRUE(gf_liveryClearPending());
    EXPECT_EQ(title, "LH pax");
    EXPECT_EQ(gf_catalogueTitle("LH pax").data(), title.data());

    // The next run start empties and rebuilds from the new cache.
    liveryList = {pax("BAW", "A319", "BA 319")};
    lf_writeLiveriesScanned();
    liveryList.clear();
    gf_reserveLiveryContainers();
    EXPECT_FALSE(gf_liveryClearPending());
    EXPECT_TRUE(liveryCatalogue.empty());
    gf_scanLiveries();
    EXPECT_TRUE(gf_catalogueTitle("LH pax").empty());
    EXPECT_FALSE(gf_catalogueTitle("BA 319").empty());
    EXPECT_TRUE(liveriesProcessed.load());
}

// The run reset between two runs zeroes the window's livery count; the next run's build, skipped because the
// database is kept, shows the count of the database it keeps.
TEST_F(LiveryDb, SkippedBuildShowsTheCountAgainAfterTheRunReset) {
    buildLiveries({pax("DLH", "A320", "LH pax"), pax("BAW", "A320", "BA pax"), freight("DLH", "A320", "LH cargo")});
    EXPECT_EQ(mainWindow.liveryCount.load(), 3u);
    mainWindow.resetRunFields();
    EXPECT_EQ(mainWindow.liveryCount.load(), 0u);
    gf_scanLiveries();  // SCAN_LIVERIES off: the build from the cache, skipped
    EXPECT_TRUE(logHas("Processing scanned liveries skipped; already done in previous start-up"));
    EXPECT_EQ(mainWindow.liveryCount.load(), 3u);

    // A database asked to be cleared is built anew from the cache, and the count is that of the new build.
    gf_clearLiveryDatabase();
    liveriesProcessed = false;
    liveryList = {pax("BAW", "A319", "BA 319")};
    lf_writeLiveriesScanned();
    liveryList.clear();
    mainWindow.resetRunFields();
    gf_reserveLiveryContainers();
    gf_scanLiveries();
    EXPECT_EQ(mainWindow.liveryCount.load(), 1u);
    mainWindow.resetRunFields();
    gf_scanLiveries();
    EXPECT_EQ(mainWindow.liveryCount.load(), 1u);
}

TEST_F(LiveryDb, ScanSwitchOffReadsTheCache) {
    liveryList = {pax("DLH", "A320", "LH pax")};
    lf_writeLiveriesScanned();
    liveryList.clear();
    SCAN_LIVERIES.value = false;
    gf_scanLiveries();
    EXPECT_FALSE(logHas("liveries scan"));
    EXPECT_FALSE(gf_catalogueTitle("LH pax").empty());
}

TEST_F(LiveryDb, MissingCacheEndsTheBuildWithError51) {
    EXPECT_THROW(gf_scanLiveries(), ovk::UserErrorException);
    EXPECT_FALSE(liveriesProcessed.load());
}

TEST_F(LiveryDb, SimilarModelTables) {
    // Groups: {A319,A320,A321}, {B737,B738}, {C172,C182,PA28}. Installed: A320 (DLH), A321 (BAW), C182.
    buildLiveries({pax("DLH", "A320", "LH 320"), pax("BAW", "A321", "BA 321"), pax("ZZZ", "C182", "C182")});
    EXPECT_EQ(similarModelTable.at("A319"), (std::vector<std::string>{"A320", "A321"}));
    EXPECT_EQ(similarModelTable.at("A320"), (std::vector<std::string>{"A321"}));
    EXPECT_EQ(similarModelTable.at("C172"), (std::vector<std::string>{"C182"}));
    EXPECT_EQ(similarModelTable.at("PA28"), (std::vector<std::string>{"C182"}));
    EXPECT_FALSE(similarModelTable.contains("C182"));
    EXPECT_FALSE(similarModelTable.contains("B737"));
    EXPECT_TRUE(logHas("5 similar model definitions"));
    // Per airline: only types it has no livery of, mapped to the similar types it has.
    EXPECT_EQ(airlineSimilarModelTable.at("DLH").at("A319"), (std::vector<std::string>{"A320"}));
    EXPECT_FALSE(airlineSimilarModelTable.at("DLH").contains("A320"));
    EXPECT_EQ(airlineSimilarModelTable.at("DLH").at("A321"), (std::vector<std::string>{"A320"}));
    EXPECT_EQ(airlineSimilarModelTable.at("BAW").at("A320"), (std::vector<std::string>{"A321"}));
    EXPECT_FALSE(airlineSimilarModelTable.contains("ZZZ") && airlineSimilarModelTable.at("ZZZ").contains("C182"));
    EXPECT_TRUE(gf_airlineSimilarModels("KLM", "A319").empty());

    // Substitutes: table entry, else a random installed model of a small category, else nothing.
    EXPECT_EQ(gf_similarModels("PA28"), (std::vector<std::string>{"C182"}));
    EXPECT_EQ(gf_similarModels("BE58"), (std::vector<std::string>{"C182"}));  // light, no group
    EXPECT_TRUE(gf_similarModels("F18").empty());
    EXPECT_TRUE(gf_similarModels("B744").empty());
    EXPECT_TRUE(gf_similarModels("EC35").empty());  // no rotorcraft installed
}

TEST_F(LiveryDb, TypeInTwoGroupsKeepsTheSmallestList) {
    std::string plain = plainDatabase;
    plain.replace(plain.find("<similar types=\"B738,B737\"/>"), 28,
                  "<similar types=\"B738,B737\"/><similar types=\"A321,B738\"/>");
    gf_resetCatalogue();
    loadDatabase(plain);
    buildLiveries({pax("DLH", "A320", "LH 320"), pax("DLH", "B738", "LH 738")});
    // A321 -> "A321,A320" (first group) and "A321,B738" (second): the first sorts lower.
    EXPECT_EQ(similarModelTable.at("A321"), (std::vector<std::string>{"A320"}));
}
