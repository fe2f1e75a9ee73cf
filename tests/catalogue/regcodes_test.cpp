#include "catalogue/regcodes.h"
#include "catalogue_fixture.h"

using namespace cattest;

class Regcodes : public CatalogueTest {
protected:
    std::list<RegcodeEntry> linesToEntries(const std::vector<std::string>& lines, bool& failed) {
        std::list<RegcodeEntry> entries;
        failed = false;
        for (const auto& l : lines) lf_processRegcodeLine("my.txt", entries, failed, l);
        return entries;
    }
    const std::vector<LiveryRecord> installed{
        pax("DLH", "A320", "LH A", "D-AIPA"), pax("DLH", "A320", "LH B", "D-AIPA"), pax("DLH", "A321", "LH C"),
        pax("BAW", "A319", "BA A"),           pax("BAW", "A319", "BA B"),           freight("DHL", "B752", "DHL A"),
    };
};

TEST_F(Regcodes, TextLines) {
    struct Case {
        const char* line;
        bool entry;
        std::vector<std::string> regs;
        bool special;
        bool failed;
        const char* logLine;
    };
    const Case cases[] = {
        {"", false, {}, false, false, nullptr},
        {"Title only", true, {}, false, false, nullptr},
        {"T;D-AIPA", true, {"D-AIPA"}, true, false, nullptr},
        {"T;D-AIPA;x", true, {"D-AIPA"}, true, false, nullptr},
        {"T;D-AIPA,D-AIPB", true, {"D-AIPA", "D-AIPB"}, false, false, nullptr},
        {"T;D-AIPA,D-AIPB;#", true, {"D-AIPA", "D-AIPB"}, true, false, nullptr},
        {"T;D-AIPA,D-AIPB;x", true, {"D-AIPA", "D-AIPB"}, false, false, nullptr},
        {"T;DA", false, {}, false, true, "===> wrong regcode length \"DA\" in my.txt"},
        {"T;DA,D-AIPA", true, {"D-AIPA"}, false, true, "===> wrong regcode length \"DA\" in my.txt"},
        {"T;DA,ABCDEFGHIJKLM", false, {}, false, true, "===> my.txt ; regs empty? "},
        {"T;", false, {}, false, false, nullptr},
        {"T;  ;#", false, {}, false, false, nullptr},
        {"T;A;B;C", false, {}, false, true, "===> my.txt: wrong format \"T;A;B;C\""},
    };
    for (const auto& c : cases) {
        bool failed = false;
        auto entries = linesToEntries({c.line}, failed);
        EXPECT_EQ(entries.size(), c.entry ? 1u : 0u) << c.line;
        EXPECT_EQ(failed, c.failed) << c.line;
        if (c.entry && !entries.empty()) {
            EXPECT_EQ(entries.front().registrations, c.regs) << c.line;
            EXPECT_EQ(entries.front().special, c.special) << c.line;
        }
        if (c.logLine) {
            EXPECT_TRUE(logHas(c.logLine)) << c.line;
        }
    }
}

TEST_F(Regcodes, AigFileIsDecipheredAndBackedUp) {
    pugi::xml_document doc;
    doc.load_string(R"(<AIG-regcodes>
        <livery title="LH A" reg="D-AIPA, D-AIPB" special="yes"/>
        <livery title="LH B" reg="D-AIPC" special="0"/>
        <livery title="LH C" reg="D-AIPD"/>
        <livery title="" reg="D-AIPE"/>
        <livery reg="D-AIPF"/>
        <livery title="Do not use"/>
        <other title="x"/>
      </AIG-regcodes>)");
    dbtool::encipherRegcodes(doc);
    // One registration damaged in the file: longer than the key table.
    auto lhB = doc.child("AIG-regcodes").find_child_by_attribute("livery", "title", "LH B");
    lhB.attribute("reg").set_value((std::string(lhB.attribute("reg").value()) + ",ABCDEFGHIJKLMNOPQRSTUVWXYZ").c_str());
    const auto path = (dir / "input" / "AIG-regcodes.xml").string();
    writeText(path, dbtool::xmlText(doc));

    std::list<RegcodeEntry> entries;
    ASSERT_TRUE(gf_readAigRegcodes(path, entries));
    ASSERT_EQ(entries.size(), 4u);
    auto it = entries.begin();
    EXPECT_EQ(it->title, "LH A");
    EXPECT_EQ(it->registrations, (std::vector<std::string>{"D-AIPA", "D-AIPB"}));
    EXPECT_TRUE(it->special);
    ++it;
    EXPECT_EQ(it->registrations, (std::vector<std::string>{"D-AIPC"}));  // the damaged one skipped
    EXPECT_FALSE(it->special);
    ++it;
    EXPECT_FALSE(it->special);
    ++it;
    EXPECT_EQ(it->title, "Do not use");
    EXPECT_TRUE(it->registrations.empty());
    EXPECT_TRUE(logHas("===> malformed registration"));
    EXPECT_TRUE(logHas("4 liveries read from " + path));
    EXPECT_TRUE(fs::exists(dir / "input" / "AIG-regcodes0.xml"));

    EXPECT_FALSE(gf_readAigRegcodes((dir / "input" / "missing.xml").string(), entries));
    EXPECT_TRUE(logHas("===> Failed to load "));
}

TEST_F(Regcodes, FolderReadsTxtFilesOfAnyCaseOnly) {
    const auto folder = dir / "input" / "my_regcodes";
    writeText(folder / "a.txt", "LH A;D-AIPA\n");
    writeText(folder / "b.TxT", "LH B;D-AIPB\n");
    writeText(folder / "c.csv", "LH C;D-AIPC\n");
    writeText(folder / "sub" / "d.txt", "LH C;D-AIPD\n");
    std::list<RegcodeEntry> entries;
    EXPECT_TRUE(gf_readRegcodeFiles(folder.string(), entries));
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_TRUE(logHas("Processing regcodes file \""));
    EXPECT_TRUE(logHas("2 liveries read"));

    writeText(folder / "e.txt", "LH B;X\n");
    entries.clear();
    EXPECT_FALSE(gf_readRegcodeFiles(folder.string(), entries));
    EXPECT_EQ(entries.size(), 2u);  // the good lines still count
}

TEST_F(Regcodes, SourcesAreMergedInOrderAndReported) {
    serveAigRegcodes(R"(<AIG-regcodes>
        <livery title="LH A" reg="D-AIPX,D-AIPY"/>
        <livery title="BA A" reg="G-EUPA" special="true"/>
        <livery title="Not installed" reg="D-AIPZ"/>
      </AIG-regcodes>)");
    writeText(dir / "input" / "my_regcodes" / "mine.txt", "LH C;D-AIPX,D-AIPW\nDHL A;D-ALEA\nbad;D\n");
    buildLiveries(installed);

    // In-line atc ids first: the first livery of the list keeps D-AIPA.
    EXPECT_EQ(regcodeTitles.at("D-AIPA"), "LH A");
    const auto inlineReport = readLines(dir / "output" / "errors" / "InlineRegcodes.txt");
    ASSERT_EQ(inlineReport.size(), 1u);
    EXPECT_EQ(inlineReport[0], "D-AIPA \"LH B\" => already in use by \"LH A\"");
    EXPECT_TRUE(logHas("1 in-line regcode clashes, see \"output/errors/InlineRegcodes.txt\""));

    // The user's file wins over the AIG file.
    EXPECT_EQ(regcodeTitles.at("D-AIPX"), "LH C");
    EXPECT_EQ(regcodeTitles.at("D-AIPY"), "LH A");
    EXPECT_EQ(regcodeTitles.at("G-EUPA"), "BA A");
    EXPECT_EQ(regcodeTitles.at("D-ALEA"), "DHL A");
    EXPECT_FALSE(regcodeTitles.contains("D-AIPZ"));
    // Titles are the catalogue's own copies.
    EXPECT_EQ(regcodeTitles.at("D-AIPX").data(), gf_catalogueTitle("LH C").data());
    // "BA A" is special; the single registration of "LH C"'s line has two: normal; "DHL A" single: special.
    EXPECT_EQ(specialTitles.size(), 2u);

    const auto report = readLines(dir / "output" / "info" / "OfflineRegcodes.txt");
    const std::vector<std::string> expected{
        "Processing file input/AIG-regcodes.xml",
        "3 new regcodes added, 1 regcode defined as special",
        "Processing files in input/my_regcodes",
        "   regcode D-AIPX for \"LH C\", instead of the same for \"LH A\"",
        "2 new regcodes added, 1 regcode replaced, 1 regcode defined as special",
    };
    EXPECT_EQ(report, expected);
    EXPECT_TRUE(
        logHas("There were errors in processing the regcode files in folder \"input/my_regcodes\", see the Log.txt"));
    EXPECT_TRUE(logHas("2 special liveries"));
    EXPECT_TRUE(logHas("6 registration codes"));
    EXPECT_FALSE(fs::exists(dir / "input" / "AIG-regcodes.xml"));
    EXPECT_TRUE(fs::exists(dir / "input" / "AIG-regcodes0.xml"));
}

TEST_F(Regcodes, MissingAigDownloadIsLoggedAndTheBuildGoesOn) {
    buildLiveries(installed);
    EXPECT_TRUE(logHas("===> reading AIG-regcodes failed?"));
    EXPECT_FALSE(fs::exists(dir / "output" / "info" / "OfflineRegcodes.txt"));
    EXPECT_TRUE(liveriesProcessed.load());
}

TEST_F(Regcodes, ExcludedTitlesAtScanTime) {
    serveAigRegcodes(R"(<AIG-regcodes><livery title="Bad one"/><livery title="LH A" reg="D-AIPA"/></AIG-regcodes>)");
    writeText(dir / "input" / "my_regcodes" / "mine.txt", "Bad two\nLH B;D-AIPB\n");
    gf_readExcludedTitles();
    EXPECT_EQ(excludedTitles, (std::vector<std::string>{"Bad one", "Bad two"}));
    EXPECT_TRUE(logHas("1 don't use title read\n"));
    EXPECT_TRUE(logHas("1 don't use title read from files in input/my_regcodes"));
    EXPECT_FALSE(fs::exists(dir / "input" / "AIG-regcodes.xml"));
}
