// Package manifests and the publisher of an add-on airport.
#include "scan_fixture.h"

#include "airports/manifest.h"
#include "catalogue/reference_db.h"

class ManifestTest : public ScanTest {
protected:
    void SetUp() override {
        ScanTest::SetUp();
        publisherGroups = {{"Aerosoft", "AS-"}, {"FlyTampa"}};
    }
    void TearDown() override {
        publisherGroups.clear();
        ScanTest::TearDown();
    }
    // Writes the file (and its folders) and returns its path as text.
    std::string put(const fs::path& relative, const std::string& text = "") {
        const fs::path p = dir / relative;
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
};

TEST_F(ManifestTest, ManifestTexts) {
    const struct {
        const char* json;
        std::optional<ManifestInfo> info;
        const char* report;
    } cases[] = {
        {R"({"title":"EDDF Frankfurt","creator":"Someone","manufacturer":"Maker"})",
         ManifestInfo{"Maker", "Someone", "EDDF Frankfurt"}, nullptr},
        {R"({"title":null,"creator":{},"manufacturer":[]})", ManifestInfo{}, nullptr},
        {R"({"other":1})", ManifestInfo{}, nullptr},
        {R"(["title"])", std::nullopt, nullptr},
        {"\xEF\xBB\xBF{\"title\":\"with byte-order mark\"}", ManifestInfo{"", "", "with byte-order mark"}, nullptr},
        {R"({"title":12})", std::nullopt,
         "exception in lf_searchManifest: [json.exception.type_error.302] type must be string, but is number"},
        {R"({"title":"open)", std::nullopt, "exception in lf_searchManifest: [json.exception.parse_error"},
        {"", std::nullopt, nullptr},  // no line: no manifest
    };
    int n = 0;
    for (const auto& c : cases) {
        gf_resetScanReport();
        const std::string package = "Community/pkg" + std::to_string(++n);
        put(fs::path(package) / "manifest.json", c.json);
        const std::string bgl = put(fs::path(package) / "scenery" / "world.bgl");
        EXPECT_EQ(lf_searchManifest(bgl), c.info) << c.json;
        EXPECT_TRUE(reportHas((dir / package / "manifest.json").string() + " found")) << c.json;
        if (c.report) {
            EXPECT_TRUE(reportHas(c.report)) << c.json;
        }
    }
}

TEST_F(ManifestTest, WhichFolderHoldsThePackagesManifest) {
    const std::string good = R"({"title":"good"})";
    // Below Community: only the package folder is tried, even when its manifest is unreadable.
    put("Community/broken/manifest.json", "");
    put("Community/manifest.json", good);
    EXPECT_EQ(lf_searchManifest(put("Community/broken/scenery/a.bgl")), std::nullopt);
    // A package folder without a manifest: the walk from the root down takes over.
    EXPECT_EQ(lf_searchManifest(put("Community/none/scenery/a.bgl"))->title, "good");
    // Elsewhere the shallowest readable manifest wins and an unreadable one lets the walk go on.
    put("Official/pkg/manifest.json", "");
    put("Official/pkg/deep/manifest.json", R"({"title":"deep"})");
    put("Official/pkg/deep/more/manifest.json", R"({"title":"deeper"})");
    EXPECT_EQ(lf_searchManifest(put("Official/pkg/deep/more/scenery/a.bgl"))->title, "deep");
    // A folder name that also occurs higher up still names its own folder.
    put("Official/q/sub/q/manifest.json", R"({"title":"own"})");
    EXPECT_EQ(lf_searchManifest(put("Official/q/sub/q/a.bgl"))->title, "own");
    // Other letter cases are not the manifest.
    put("Official/cases/Manifest.json", good);
    put("Official/cases/manifest.JSON", good);
    EXPECT_EQ(lf_findManifestFile(dir / "Official" / "cases"), fs::path());
    EXPECT_EQ(lf_findManifestFile(dir / "Official" / "missing"), fs::path());
    EXPECT_EQ(lf_findManifestFile(dir / "Official" / "pkg" / "deep"),
              dir / "Official" / "pkg" / "deep" / "manifest.json");
}

TEST_F(ManifestTest, PublisherOrder) {
    put("Community/tampa/manifest.json", R"({"manufacturer":"FlyTampa Simulations","creator":"AS-Team","title":"T"})");
    put("Community/creator/manifest.json", R"({"manufacturer":"","creator":"made by as-team","title":"C"})");
    put("Community/nobody/manifest.json", R"({"manufacturer":"Nobody","creator":"Noone","title":"N"})");
    put("Community/aerosoft-eddf/manifest.json", R"({"manufacturer":"FlyTampa"})");
    const struct {
        std::string path;
        PublisherResult result;
        const char* report;
    } cases[] = {
        {put("Official/ASOBO-AIRPORT-eddf/a.bgl"), {"simaddon", "", "", ""}, "from filename => publisher simaddon"},
        {put("Official/microsoft-airport-egll/a.bgl"), {"simaddon", "", "", ""}, "from filename => publisher simaddon"},
        {put("Community/aerosoft-eddf/a.bgl"), {"Aerosoft", "", "", ""}, "publisher \"Aerosoft\" found"},
        {put("Community/tampa/a.bgl"),
         {"FlyTampa", "FlyTampa Simulations", "AS-Team", "T"},
         "from manifest.json: manufacturer \"FlyTampa Simulations\" => publisher \"FlyTampa\""},
        {put("Community/creator/a.bgl"),
         {"Aerosoft", "", "made by as-team", "C"},
         "from manifest.json creator \"made by as-team\" => publisher \"Aerosoft\""},
        {put("Community/nobody/a.bgl"),
         {"unknown", "Nobody", "Noone", "N"},
         "no valid info found in manifest about publisher, manufacturer:\"Nobody\", creator:\"Noone\" "},
        {put("Community/bare/a.bgl"), {"unknown", "", "", ""}, "===> No publisher found"},
    };
    for (const auto& c : cases) {
        gf_resetScanReport();
        EXPECT_EQ(gf_findPublisher(c.path), c.result) << c.path;
        const auto lines = gf_scanReportLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "\nTry find publisher in: " + c.path);
        EXPECT_TRUE(hasLine(lines, c.report)) << c.path;
        EXPECT_EQ(hasLine(lines, "manifest.json found"), !c.result.title.empty()) << c.path;
    }
}
