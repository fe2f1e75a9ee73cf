#include <map>
#include <regex>
#include <thread>

#include "catalogue/livery_cache.h"
#include "catalogue_fixture.h"

using namespace cattest;

class LiveryCache : public CatalogueTest {
protected:
    void writeCache(const std::string& liveries) {
        writeText(gf_liveryCachePath(), "<meta><info name=\"author\" value=\"Vexa\"/><info name=\"date\" value=\"x\"/>"
                                        "<info name=\"version\" value=\"1\"/></meta>" +
                                            liveries);
    }
    int errorNumberOfRead() {
        try {
            lf_readLiveriesScanned();
        } catch (const ovk::UserErrorException& e) {
            EXPECT_TRUE(liveryList.empty());
            return std::stoi(e.what());
        }
        return 0;
    }
};

TEST_F(LiveryCache, RoundTripKeepsEveryFieldAndOmitsEmptyOnes) {
    liveryList = {pax("DLH", "A320", "Lufthansa A320 D-AIPA", "D-AIPA"), freight("DHL", "B752", "DHL 757"),
                  pax("ZZZ", "C172", "Cessna <&> \"quoted\"")};
    liveryList.sort(liveryOrderLess);
    const std::vector<LiveryRecord> written(liveryList.begin(), liveryList.end());
    lf_writeLiveriesScanned();
    EXPECT_TRUE(logHas("3 liveries in output/LiveriesScanned.xml"));

    const auto text = readText(gf_liveryCachePath());
    EXPECT_NE(text.find("<liv airl=\"DHL\" type=\"B752\" cargo=\"true\" title=\"DHL 757\" />"), std::string::npos)
        << text;
    EXPECT_NE(text.find("<liv airl=\"DLH\" type=\"A320\" title=\"Lufthansa A320 D-AIPA\" atcid=\"D-AIPA\" />"),
              std::string::npos);
    EXPECT_EQ(text.find("atcid=\"\""), std::string::npos);
    EXPECT_NE(text.find("<meta>"), std::string::npos);

    liveryList.clear();
    lf_readLiveriesScanned();
    EXPECT_EQ(std::vector<LiveryRecord>(liveryList.begin(), liveryList.end()), written);
    EXPECT_TRUE(logHas("3 liveries read from output/LiveriesScanned.xml"));
}

TEST_F(LiveryCache, EmptyListWritesNothing) {
    lf_writeLiveriesScanned();
    EXPECT_FALSE(fs::exists(gf_liveryCachePath()));
}

TEST_F(LiveryCache, CargoValuesAndOrder) {
    writeCache(R"(<liveries>
      <liv airl="ZZZ" type="C172" title="b" cargo="no"/>
      <liv airl="DLH" type="A320" title="z" cargo="Y"/>
      <liv airl="DLH" type="A320" title="a" cargo="yes"/>
      <liv airl="DLH" type="A319" title="q" cargo="1"/>
      <liv airl="BAW" type="A319" title="m" cargo="true"/>
      <liv airl="BAW" type="A320" title="n" cargo="0"/>
      <liv airl="BAW" type="A321" title="o" cargo="false"/>
      <liv airl="BAW" type="A322" title="p"/>
      <other airl="XXX"/>
    </liveries>)");
    lf_readLiveriesScanned();
    std::vector<std::string> order;
    std::vector<bool> cargo;
    for (const auto& r : liveryList) {
        order.push_back(r.airline + " " + r.type + " " + r.title);
        cargo.push_back(r.cargo);
        EXPECT_EQ(r.rootIndex, 0u);
        EXPECT_EQ(r.atcId, "");
    }
    EXPECT_EQ(order, (std::vector<std::string>{"BAW A319 m", "BAW A320 n", "BAW A321 o", "BAW A322 p", "DLH A319 q",
                                               "DLH A320 a", "DLH A320 z", "ZZZ C172 b"}));
    EXPECT_EQ(cargo, (std::vector<bool>{true, false, false, false, true, true, true, false}));
}

TEST_F(LiveryCache, Failures) {
    EXPECT_EQ(errorNumberOfRead(), 51);  // missing
    writeText(gf_liveryCachePath(), "<meta/><liveries><liv airl=\"DLH\" type=\"A320\" ti");
    EXPECT_EQ(errorNumberOfRead(), 51);  // truncated
    writeCache("<livs/>");
    EXPECT_EQ(errorNumberOfRead(), 52);
    writeCache("<liveries><other/></liveries>");
    EXPECT_EQ(errorNumberOfRead(), 533);
    try {
        lf_readLiveriesScanned();
    } catch (const ovk::UserErrorException& e) {
        EXPECT_STREQ(e.what(), "533: output/LiveriesScanned.xml does not contain liveries");
    }
}

TEST_F(LiveryCache, BadMetaHeaderIsOnlyLogged) {
    writeText(gf_liveryCachePath(), "<liveries><liv airl=\"DLH\" type=\"A320\" title=\"t\"/></liveries>");
    lf_readLiveriesScanned();
    EXPECT_EQ(liveryList.size(), 1u);
    EXPECT_TRUE(logHas("meta data incorrect?"));
}

TEST(LiveryRecordTest, TitleRegisterGivesTheEmptyRecordForASecondTitle) {
    gf_resetLiveryRecords();
    LiveryRecord a(2, "DLH", "A320", true, "Title", "D-AIPA");
    EXPECT_EQ(a.rootIndex, 2u);
    EXPECT_FALSE(a.cargo);
    LiveryRecord b(3, "BAW", "A319", false, "Title", "");
    EXPECT_TRUE(b.empty());
    LiveryRecord c(3, "BAW", "A319", false, "Other", "");
    EXPECT_TRUE(c.cargo);
    LiveryRecord moved(std::move(c));
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(moved.title, "Other");
    // Equality ignores the root index.
    EXPECT_EQ(LiveryRecord::make("A", "B", "C", "D", true, 1), LiveryRecord::make("A", "B", "C", "D", true, 9));
    EXPECT_NE(LiveryRecord::make("A", "B", "C", "D", true), LiveryRecord::make("A", "B", "C", "E", true));
    gf_resetLiveryRecords();
}

TEST(LiveryRecordTest, KeyReaders) {
    std::string v = "old";
    EXPECT_TRUE(lf_readTitle("  Title = \"Airbus A320 Lufthansa\"  ", v));
    EXPECT_EQ(v, "Airbus A320 Lufthansa");
    v = "old";
    EXPECT_TRUE(lf_readTitle("title=\"half", v));  // one quote: empty value, not taken, still a title line
    EXPECT_EQ(v, "old");
    EXPECT_FALSE(lf_readTitle("xtitle=abc", v));
    EXPECT_FALSE(lf_readTitle("title=", v));

    EXPECT_FALSE(lf_readAtcId("atc_id=ABCD", v));  // 4 characters are no registration
    EXPECT_TRUE(lf_readAtcId("ATC_ID = \"D-AIPA\"", v));
    EXPECT_EQ(v, "D-AIPA");

    EXPECT_EQ(lf_readIcaoType("icao_type_designator = \"b738x\""), "B738");
    EXPECT_EQ(lf_readIcaoType("icao_type = B738"), "");

    EXPECT_TRUE(lf_readIcaoAirline("icao_airline=\"\"", v));
    EXPECT_EQ(v, "ZZZ");
    EXPECT_TRUE(lf_readIcaoAirline("icao_airline=ZZZZ", v));
    EXPECT_EQ(v, "ZZZ");
    EXPECT_TRUE(lf_readIcaoAirline("icao_airline = dlh", v));
    EXPECT_EQ(v, "DLH");

    EXPECT_TRUE(lf_readTexture("texture=LH", v));
    EXPECT_EQ(v, "LH");
    EXPECT_TRUE(lf_readParkingTypes("atc_parking_types = \"GATE,RAMP\"", v));
    EXPECT_EQ(v, "GATE,RAMP");
    EXPECT_TRUE(lf_hasAtcIdKey("x atc_id=1"));
    EXPECT_FALSE(lf_hasAtcIdKey("atc_id = 1"));
    EXPECT_TRUE(lf_hasParkingTypesKey("; atc_parking_types"));
}

// The readers keep the meaning of the whole-line, case-insensitive pattern \s*(key)\s*=\s*(.*\S)\s*; the
// library's regular expressions serve as the reference on short lines.
TEST(LiveryRecordTest, KeyReadersMatchTheirPatternAndSurviveLongLines) {
    const std::regex pattern(R"(\s*(title)\s*=\s*(.*\S)\s*)", std::regex::ECMAScript | std::regex::icase);
    const char* lines[] = {"title=A",
                           " \tTITLE\t=\t B C \t",
                           "title = a = b",
                           "title=\"q\" x",
                           "title=",
                           "title=   ",
                           "title",
                           "titles=a",
                           "xtitle=a",
                           "title=a\r",
                           "title=a\rb",
                           "title=a\nb",
                           "\r\ntitle=\r\na\r\n",
                           "title:a",
                           "title=\x80\xA0",
                           "title=a\v\f",
                           "tItLe=\"\"",
                           "title =\"open"};
    for (const char* text : lines) {
        const std::string line = text;
        std::smatch m;
        const bool expected = std::regex_match(line, m, pattern);
        std::string value = "old";
        EXPECT_EQ(lf_readTitle(line, value), expected) << line;
        if (expected && m[2].str().front() != '"') {
            EXPECT_EQ(value, m[2].str()) << line;
        }
    }
    // A line far longer than any stack-bound matcher could take.
    const std::string longValue(400000, 'x');
    std::string value;
    EXPECT_TRUE(lf_readTitle("title=" + longValue + "  ", value));
    EXPECT_EQ(value, longValue);
    EXPECT_FALSE(lf_readAtcId("atc_id=" + longValue + "\ny", value));
}

TEST(LiveryRecordThreads, OneRecordPerTitleAcrossThreads) {
    gf_resetLiveryRecords();
    constexpr int threads = 8, titles = 200;
    std::vector<std::vector<LiveryRecord>> results(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back([t, &results] {
            for (int i = 0; i < titles; ++i)
                results[static_cast<std::size_t>(t)].emplace_back(static_cast<std::uint32_t>(t), "DLH", "A320", true,
                                                                  fmt::format("title {}", i), "");
        });
    for (auto& w : workers) w.join();
    std::map<std::string, int> kept;
    for (const auto& list : results)
        for (const auto& r : list)
            if (!r.empty()) ++kept[r.title];
    EXPECT_EQ(kept.size(), static_cast<std::size_t>(titles));
    for (const auto& [title, n] : kept) EXPECT_EQ(n, 1) << title;
    EXPECT_EQ(liveryTitles.size(), static_cast<std::size_t>(titles));
    gf_resetLiveryRecords();
}
