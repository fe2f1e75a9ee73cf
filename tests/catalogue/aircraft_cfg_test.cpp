// The aircraft.cfg reader: encodings, malformed files, section headers and their numbering, the cutting
// into sections, the section rules and the ICAO type of a file.
#include "catalogue/cfg_model.h"
#include "catalogue/cfg_text.h"
#include "catalogue/livery_sections.h"
#include "scan_fixture.h"

using namespace cattest;

class CfgReader : public ScanTest {};

namespace {

LiveryRecord rec(const char* airline, const char* type, const char* title, const char* atc = "", bool cargo = false) {
    return LiveryRecord::make(airline, type, title, atc, cargo, 1);
}

const std::string encodingsText = cfgText(
    "icao_type_designator = \"B738\"", {livery("KLM B738 Caf\xC3\xA9", "KLM", "PH-BXA"),
                                        livery("\xC3\x98rsted B738", "BAW"), livery("Generic B738", "ZZZZ", "N12345")});

}  // namespace

TEST_F(CfgReader, EveryEncodingAndLineEndGivesTheSameLiveries) {
    const std::vector<LiveryRecord> expected{rec("BAW", "B738", "\xC3\x98rsted B738"),
                                             rec("KLM", "B738", "KLM B738 Caf\xC3\xA9", "PH-BXA"),
                                             rec("ZZZ", "B738", "Generic B738")};
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {"utf8", encodingsText},
        {"utf8 crlf", withCrlf(encodingsText)},
        {"utf8 bom", "\xEF\xBB\xBF" + encodingsText},
        {"utf8 bom crlf", "\xEF\xBB\xBF" + withCrlf(encodingsText)},
        {"utf16le", toUtf16(encodingsText, false)},
        {"utf16le crlf", toUtf16(withCrlf(encodingsText), false)},
        {"utf16be", toUtf16(encodingsText, true)},
        {"utf16be crlf", toUtf16(withCrlf(encodingsText), true)},
        {"cp1252", toCp1252(encodingsText)},
        {"cp1252 crlf", toCp1252(withCrlf(encodingsText))},
    };
    for (const auto& c : cases) {
        const auto path = writeCfg(fs::path(c.name) / "aircraft.cfg", c.bytes);
        EXPECT_EQ(readCfg(path), expected) << c.name;
    }
    EXPECT_TRUE(invalidCfgs.empty());
    EXPECT_TRUE(incompleteSections.empty());
}

TEST_F(CfgReader, MalformedFilesNeverCrashTheReader) {
    const auto utf16 = toUtf16(encodingsText, false);
    std::string binary;
    for (int i = 0; i < 4096; ++i) binary += static_cast<char>((i * 131) & 0xFF);
    struct Case {
        const char* name;
        std::string bytes;
        std::size_t liveries;
        const char* logLine;
    };
    const std::vector<Case> cases{
        {"odd byte count", utf16 + "A", 3, nullptr},
        {"utf16 cut short", toUtf16(encodingsText.substr(0, encodingsText.find("[FLTSIM.2]") + 4), false) + "A", 2,
         nullptr},
        {"lone surrogate", utf16 + std::string("\x00\xD8", 2), 0,
         "conversion from error from utf16 to utf8, code: 1113"},
        {"long line",
         cfgText("icao_type_designator = B738", {{"title = " + std::string(400000, '['), "icao_airline = KLM"}}), 1,
         nullptr},
        {"long header line", "[fltsim.0" + std::string(400000, '1') + "]\n", 0, nullptr},
        {"number overflows", "[fltsim.99999999999]\ntitle = x\n", 0, "fltsim num [fltsim.99999999999] incorrect"},
        {"empty", "", 0, nullptr},
        {"only a mark", "\xFF\xFE", 0, nullptr},
        {"one byte", "\xFE", 0, nullptr},
        {"binary", binary, 0, nullptr},
    };
    for (const auto& c : cases) {
        const auto path = writeCfg(fs::path(c.name) / "aircraft.cfg", c.bytes);
        EXPECT_EQ(readCfg(path).size(), c.liveries) << c.name;
        if (c.logLine) {
            EXPECT_TRUE(logHas(c.logLine)) << c.name;
        }
    }
}

TEST_F(CfgReader, SectionHeaders) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"[fltsim.0]", "0"},
        {"  [FLTSIM.12]  ", "12"},
        {"[FltSim.3]", "3"},
        {"[fltsim.0] // c", "10000"},
        {"[fltsim.]", "10000"},
        {"[fltsim.x]", "10000"},
        {"x [FLTSIM.4]", "10000"},
        {"[Fltsim.x]", ""},
        {"// [fltsim.0]", ""},
        {"[GENERAL]", ""},
        {"", ""},
        {"title=[fltsim.", "10000"},
    };
    for (const auto& [line, number] : cases) EXPECT_EQ(lf_fltsimNumber(line), number) << line;
}

TEST_F(CfgReader, NumberingChecks) {
    struct Case {
        std::vector<std::string> lines;
        bool usable;
        const char* invalidLine;  // after "P contains "
    };
    const std::vector<Case> cases{
        {{"[fltsim.1]", "[fltsim.2]"}, false, "non-consecutive [fltsim.x] numbers at .x=1"},
        {{"[fltsim.0]", "[fltsim.0]"}, false, "non-consecutive [fltsim.x] numbers at .x=0"},
        {{"[fltsim.0] // c"}, false, "a [fltsim.] section without a number"},
        {{"[fltsim.]"}, false, "a [fltsim.] section without a number"},
        {{"[fltsim.x]"}, false, "a [fltsim.] section without a number"},
        {{"[fltsim.0] // c", "[fltsim.1]"}, false, "non-consecutive [fltsim.x] numbers at .x=1"},
        {{"[fltsim.2]", "x", "[fltsim.0]", "[FLTSIM.1]"}, true, nullptr},
        {{"[fltsim.99999999999]"}, false, nullptr},
    };
    for (const auto& c : cases) {
        invalidCfgs.clear();
        EXPECT_EQ(lf_checkFltsimNumbers(views(c.lines), "P"), c.usable) << c.lines.front();
        EXPECT_EQ(copy(invalidCfgs), c.invalidLine
                                         ? std::vector<std::string>{std::string("P contains ") + c.invalidLine}
                                         : std::vector<std::string>{})
            << c.lines.front();
    }
    EXPECT_TRUE(noFltsimCfgs.empty());
    EXPECT_TRUE(lf_checkFltsimNumbers(views({"[GENERAL]"}), "P"));
    EXPECT_EQ(copy(noFltsimCfgs), std::vector<std::string>{"P"});
}

TEST_F(CfgReader, AFileWithoutSectionsIsListedAndStillHasItsTypeChecked) {
    const auto path = writeCfg("a/aircraft.cfg", "[GENERAL]\nicao_type_designator = QQQQ\n");
    EXPECT_TRUE(readCfg(path).empty());
    EXPECT_EQ(copy(noFltsimCfgs), std::vector<std::string>{path.string()});
    EXPECT_EQ(copy(invalidAircraft), std::vector<std::string>{"QQQQ             in " + path.string()});
}

TEST_F(CfgReader, WhereASectionEnds) {
    // A '[' after the sixth character keeps the section open; "  [GENERAL]" and "// [" end it.
    const std::string text =
        cfgText("icao_type_designator = B738", {{"title = Open [old]", "icao_airline = KLM"},
                                                {"title = Closed", "  [GENERAL]", "icao_airline = KLM"},
                                                {"title = Comment", "// [", "icao_airline = KLM"}});
    const auto path = writeCfg("a/aircraft.cfg", text);
    EXPECT_EQ(readCfg(path), std::vector<LiveryRecord>{rec("KLM", "B738", "Open [old]")});
    EXPECT_EQ(incompleteSections.size(), 2u);
    for (const auto& line : incompleteSections)
        EXPECT_NE(line.find("has no airline and no regcode info"), std::string::npos);
}

TEST_F(CfgReader, StandardSectionRules) {
    registrationTable["D-EMPT"] = DbaseReg{"", "A320", "", false};
    excludedTitles = {"Do not use"};
    lf_indexExcludedTitles();
    struct Case {
        const char* name;
        const char* type;
        std::vector<std::string> lines;  // after the header [fltsim.0]
        const char* airline;             // "" when the section yields nothing
        const char* atcId;
        bool cargo;
        const char* report;  // the one line of incompleteSections or invalidAirlines, or ""
    };
    const std::vector<Case> cases{
        {"plain", "B738", {"title = A", "icao_airline = klm", "atc_id = PH-BXA"}, "KLM", "PH-BXA", false, ""},
        {"quoted title", "B738", {"title = \"B\" ", "icao_airline = KLM"}, "KLM", "", false, ""},
        {"two titles",
         "B738",
         {"title = C", "title = C", "icao_airline = KLM"},
         "",
         "",
         false,
         "F [fltsim.0] has more than one title key"},
        {"ZZZZ", "B738", {"title = D", "icao_airline = ZZZZ", "atc_id = PH-BXA"}, "ZZZ", "", false, ""},
        {"empty quoted airline", "B738", {"title = E", "icao_airline = \"\""}, "ZZZ", "", false, ""},
        {"four letters with X", "B738", {"title = F", "icao_airline = klmx"}, "KLM", "", false, ""},
        {"four letters with C", "B738", {"title = G", "icao_airline = DLHC"}, "DLH", "", false, ""},
        {"unknown airline, registration known",
         "B738",
         {"title = H", "icao_airline = XYZ", "atc_id = G-EUPA"},
         "BAW",
         "G-EUPA",
         false,
         "XYZ          in P [fltsim.0]"},
        {"RFO", "B738", {"title = I", "icao_airline = RFO"}, "", "", false, ""},
        {"two airline keys",
         "B738",
         {"title = J", "icao_airline = KLM", "icao_airline = KLM"},
         "",
         "",
         false,
         "F [fltsim.0] has more than one icao_airline key"},
        {"registration cut at ;",
         "B738",
         {"title = K", "icao_airline = DLH", "atc_id = D-ABCD;x"},
         "DLH",
         "D-ABCD",
         false,
         ""},
        {"two registrations",
         "B738",
         {"title = L", "icao_airline = DLH", "atc_id = D-ABC,D-XYZ"},
         "DLH",
         "",
         false,
         ""},
        {"wild card", "B738", {"title = M", "icao_airline = DLH", "atc_id = D-A*CD"}, "DLH", "", false, ""},
        {"13 characters", "B738", {"title = N", "icao_airline = DLH", "atc_id = D-ABCDEFGHIJK"}, "DLH", "", false, ""},
        {"4 characters", "B738", {"title = O", "icao_airline = DLH", "atc_id = D-AB"}, "DLH", "", false, ""},
        {"two atc ids",
         "B738",
         {"title = P", "icao_airline = DLH", "atc_id = D-ABCD", "atc_id=D-ABCE"},
         "",
         "",
         false,
         "F, [fltsim.0], has more than one atc_id key"},
        {"gate and cargo",
         "B738",
         {"title = Q", "icao_airline = DHL", "atc_parking_types = GATE, CARGO"},
         "DHL",
         "",
         false,
         ""},
        {"cargo", "B738", {"title = R", "icao_airline = DHL", "atc_parking_types = cargo"}, "DHL", "", true, ""},
        {"two parking keys",
         "B738",
         {"title = S", "atc_parking_types = GATE", "atc_parking_types = GATE"},
         "",
         "",
         false,
         "F [fltsim.0] has more than one atc_parking_types key"},
        {"large without airline",
         "B738",
         {"title = T"},
         "",
         "",
         false,
         "\"F\" \"[fltsim.0]\" has no airline and no regcode info"},
        {"light without airline", "C172", {"title = Cessna N172 U"}, "PVT", "N172", false, ""},
        {"large, unknown registration",
         "B738",
         {"title = V", "atc_id = D-UNKN"},
         "",
         "",
         false,
         "\"F\" \"[fltsim.0]\" has no airline and its regcode is not in my dbase (very old liv?)"},
        {"light, unknown registration", "C172", {"title = W", "atc_id = D-UNKN"}, "PVT", "D-UNKN", false, ""},
        {"registration without airline",
         "B738",
         {"title = W2", "atc_id = D-EMPT"},
         "",
         "",
         false,
         "\"F\" \"[fltsim.0]\" has no airline and its regcode is not in my dbase (very old liv?)"},
        {"stub", "B738", {"title = X-STUB", "icao_airline = KLM"}, "", "", false, ""},
        {"fenix", "A320", {"title = FenixA320 DLH", "icao_airline = DLH"}, "", "", false, ""},
        {"excluded", "B738", {"title = Do not use", "icao_airline = KLM"}, "", "", false, ""},
        {"no title", "B738", {"icao_airline = KLM", "", "// end"}, "", "", false, "F [fltsim.0] misses title"},
        {"title again",
         "B738",
         {"title = A", "icao_airline = KLM"},
         "",
         "",
         false,
         "F [fltsim.0] title \"A\" already exists"},
    };
    for (const auto& c : cases) {
        incompleteSections.clear();
        invalidAirlines.clear();
        std::vector<std::string> lines{"[fltsim.0]"};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        const auto result = lf_procesFltSimSection(1, views(lines), c.type, "P", "F");
        if (*c.airline == '\0') {
            EXPECT_TRUE(result.empty()) << c.name;
        } else {
            ASSERT_EQ(result.size(), 1u) << c.name;
            EXPECT_EQ(result.front().airline, c.airline) << c.name;
            EXPECT_EQ(result.front().type, c.type) << c.name;
            EXPECT_EQ(result.front().atcId, c.atcId) << c.name;
            EXPECT_EQ(result.front().cargo, c.cargo) << c.name;
            EXPECT_EQ(result.front().rootIndex, 1u) << c.name;
        }
        std::vector<std::string> reports = copy(incompleteSections);
        for (const auto& l : invalidAirlines) reports.push_back(l);
        EXPECT_EQ(reports, *c.report ? std::vector<std::string>{c.report} : std::vector<std::string>{}) << c.name;
    }
    EXPECT_TRUE(logHas("===> M D-A*CD wild cards no longer supported, atc_id skipped "));
    EXPECT_TRUE(logHas("regcode: D-ABCDEFGHIJK, has more than 12 chars or contains UTF16 chars in \"N\"?"));
}

TEST_F(CfgReader, StubTitlesAreKeptWhenNotSuppressed) {
    SUPPRESS_STUB.value = false;
    const std::vector<std::string> lines{"[fltsim.0]", "title = X-STUB", "icao_airline = KLM"};
    EXPECT_EQ(lf_procesFltSimSection(1, views(lines), "B738", "P", "F").size(), 1u);
}

TEST_F(CfgReader, IvaoPackages) {
    const fs::path folder = fs::path("Community") / "ivao_x-csl" / "SimObjects" / "Airplanes" / "IVAO_B738WLfa";
    fs::create_directories(dir / folder / "texture.KLM");
    const std::string text = cfgText("", {{"title = B738W KLM Royal", "texture = KLM"},
                                          {"title = B738W DLH", "texture = MISSING"},
                                          {"title = B738W XYZ", "texture = KLM"},
                                          {"title = Boeing BA", "atc_id = G-EUPA", "texture = KLM"},
                                          {"title = Boeing none", "texture = KLM"},
                                          {"texture = KLM", "ui = a [b]", "title = B738W BAW"}});
    const auto path = writeCfg(folder / "aircraft.cfg", text);
    const std::string folderText = (dir / folder).string();
    auto records = lf_searchLiveriesinIvaoFile(2, path);
    const std::vector<LiveryRecord> expected{LiveryRecord::make("BAW", "B738", "Boeing BA", "G-EUPA", false, 2),
                                             LiveryRecord::make("KLM", "B738", "B738W KLM Royal", "", false, 2)};
    EXPECT_EQ(std::vector<LiveryRecord>(records.begin(), records.end()), expected);
    incompleteSections.sort();
    EXPECT_EQ(
        copy(incompleteSections),
        (std::vector<std::string>{folderText + " [FLTSIM.4] misses airlinecode in title: Boeing none, and no regcode",
                                  folderText + " [FLTSIM.5] misses title",
                                  (dir / folder / "texture.MISSING").string() + " [FLTSIM.1] does not exist"}));
    EXPECT_EQ(copy(invalidAirlines), std::vector<std::string>{"XYZ          in " + path.string() + " [FLTSIM.2]"});

    const auto elsewhere = writeCfg("Community/other/SimObjects/Airplanes/IVAO_B738/aircraft.cfg", text);
    EXPECT_TRUE(lf_searchLiveriesinIvaoFile(2, elsewhere).empty());
    EXPECT_EQ(invalidAircraft.back(), "                 in " + elsewhere.string());
}

TEST_F(CfgReader, IvaoTextureFolderIsFoundInAnyLetterCase) {
    // The simulator's file system ignores letter case and drops the trailing dots of a name, so an empty
    // texture key ("texture.") names the folder "texture".
    struct Case {
        const char* name;
        std::vector<std::string> folders;  // below the aircraft's folder; "=file" at the end makes a file
        const char* textureLine;           // "" for a section without a texture key
        const char* missing;               // the folder named in the report, "" when the livery is kept
    };
    const std::vector<Case> cases{
        {"same case", {"texture.KLM"}, "texture = KLM", ""},
        {"key in lower case", {"texture.KLM"}, "texture = klm", ""},
        {"folder in lower case", {"texture.klm"}, "texture = KLM", ""},
        {"mixed case throughout", {"TEXTURE.kLm"}, "texture = Klm", ""},
        {"trailing dot of the key", {"texture.KLM"}, "texture = KLM.", ""},
        {"no key", {"texture"}, "", ""},
        {"empty key", {"Texture"}, "texture = \"\"", ""},
        {"no key, only named folders", {"texture.KLM"}, "", "texture."},
        {"another name", {"texture.KLMX", "texture.KL"}, "texture = klm", "texture.klm"},
        {"a file of that name", {"texture.klm=file"}, "texture = KLM", "texture.KLM"},
        {"a file named texture", {"texture=file"}, "", "texture."},
    };
    for (const auto& c : cases) {
        incompleteSections.clear();
        const auto folder = dir / "IVAO_MTL" / c.name;
        fs::create_directories(folder);
        for (std::string entry : c.folders) {
            if (entry.ends_with("=file")) {
                writeText(folder / entry.substr(0, entry.size() - 5), "x");
            } else {
                fs::create_directories(folder / entry);
            }
        }
        std::vector<std::string> lines{"[fltsim.0]", std::string("title = B738 KLM ") + c.name};
        if (*c.textureLine) lines.push_back(c.textureLine);
        const auto record =
            lf_procesIvaoFltSimSection(1, views(lines), "B738", (folder / "aircraft.cfg").string(), folder.string());
        if (*c.missing) {
            EXPECT_TRUE(record.empty()) << c.name;
            EXPECT_EQ(copy(incompleteSections),
                      std::vector<std::string>{(folder / c.missing).string() + " [fltsim.0] does not exist"})
                << c.name;
        } else {
            EXPECT_EQ(record, LiveryRecord::make("KLM", "B738", std::string("B738 KLM ") + c.name, "", false, 1))
                << c.name;
            EXPECT_TRUE(incompleteSections.empty()) << c.name;
        }
    }
}

TEST_F(CfgReader, IvaoSectionRules) {
    registrationTable["D-EMPT"] = DbaseReg{"", "B738", "", false};
    excludedTitles = {"B738 KLM excluded"};
    lf_indexExcludedTitles();
    {
        std::lock_guard lock(liveryTitlesMutex);
        liveryTitles.insert("B738 KLM taken");
    }
    const auto folder = dir / "IVAO_MTL" / "IVAO_B738";
    fs::create_directories(folder / "texture.KLM");
    const std::string F = folder.string();
    struct Case {
        std::vector<std::string> lines;  // after the header [fltsim.0]; "texture = KLM" follows them
        const char* airline;             // "" when the section yields nothing
        const char* atcId;
        std::string report;  // the one line of incompleteSections or invalidAirlines, or ""
        const char* logLine;
    };
    const std::vector<Case> cases{
        {{"title = B738 KLM 1", "atc_id = PH-BXA"}, "KLM", "PH-BXA", "", nullptr},
        {{"title = B738 KLM 2", "atc_id = G-BAFM"}, "KLM", "", "", nullptr},
        {{"title = B738 KLM 3", "atc_id = PH-BXA,,"}, "KLM", "", "", " empty regcode in: PH-BXA,,"},
        {{"title = B738 KLM 4", "atc_id = PH-BXAXXXXXXX"},
         "KLM",
         "",
         "",
         "regcode: 13, has more than 12 chars in title: B738 KLM 4"},
        {{"atc_id = PH-BXAXXXXXXY", "title = B738 KLM 5"},
         "KLM",
         "",
         "",
         "regcode: 13, has more than 12 chars in title: \n"},
        {{"title = B738 KLM 6", "atc_id = PH-B*A"},
         "KLM",
         "",
         "",
         "===> B738 KLM 6 PH-B*A wild cards no longer supported, atc_id skipped "},
        {{"title = B738 KLM 7", "atc_id = PH-BXA,PH-BXB"}, "KLM", "", "", nullptr},
        {{"title = B738 KLM 8", "atc_id = PH-BXA;x"}, "KLM", "PH-BXA;x", "", nullptr},
        {{"title = B738 KLM 9", "title = B738 KLM 9"}, "", "", F + " [fltsim.0] has more than one title key", nullptr},
        {{"title = B738 KLM 10", "atc_parking_types = GATE", "atc_parking_types = CARGO"},
         "",
         "",
         F + " [fltsim.0] has more than one atc_parking_types key",
         nullptr},
        {{"title = B738 KLM 11", "atc_parking_types = cargo"}, "KLM", "", "", nullptr},
        {{"title = B738 KLM 12", "atc_id = PH-BXA", "atc_id=PH-BXB"},
         "",
         "",
         F + ", [fltsim.0], has more than one atc_id key",
         nullptr},
        {{"title = Boeing 13", "atc_id = D-UNKN"},
         "",
         "",
         F + " [fltsim.0] misses airlinecode in title: Boeing 13, and regcode unknownD-UNKN",
         nullptr},
        {{"title = Boeing 14", "atc_id = D-EMPT"},
         "",
         "",
         F + " [fltsim.0] misses airlinecode in title: Boeing 14, and regcode unknownD-EMPT",
         nullptr},
        {{"title = Boeing 15", "atc_id = G-EUPA"}, "BAW", "G-EUPA", "", nullptr},
        {{"title = Boeing 16"},
         "",
         "",
         F + " [fltsim.0] misses airlinecode in title: Boeing 16, and no regcode",
         nullptr},
        {{"title = B738 KLM taken"}, "", "", F + " [fltsim.0] title already exists: B738 KLM taken", nullptr},
        {{"title = B738 ZZZ 18", "atc_id = PH-BXA"}, "ZZZ", "", "", nullptr},
        {{"title = B738 XYZ 19"}, "", "", "XYZ          in P [fltsim.0]", nullptr},
        {{"title = B738 KLM excluded"}, "", "", "", nullptr},
        {{"atc_id = PH-BXA"}, "", "", F + " [fltsim.0] misses title", nullptr},
        {{"title = \" B738 KLM 22 \""},
         "KLM",
         "",
         "",
         "removed spaces around title \" B738 KLM 22 \" --> \"B738 KLM 22\""},
    };
    for (const auto& c : cases) {
        incompleteSections.clear();
        invalidAirlines.clear();
        std::vector<std::string> lines{"[fltsim.0]"};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        lines.push_back("texture = KLM");
        const auto record = lf_procesIvaoFltSimSection(1, views(lines), "B738", "P", F);
        const std::string name = c.lines.front();
        if (*c.airline == '\0') {
            EXPECT_TRUE(record.empty()) << name;
        } else {
            EXPECT_EQ(record.airline, c.airline) << name;
            EXPECT_EQ(record.type, "B738") << name;
            EXPECT_EQ(record.atcId, c.atcId) << name;
            EXPECT_FALSE(record.cargo) << name;
        }
        std::vector<std::string> reports = copy(incompleteSections);
        for (const auto& l : invalidAirlines) reports.push_back(l);
        EXPECT_EQ(reports, c.report.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.report}) << name;
        if (c.logLine) {
            EXPECT_TRUE(logHas(c.logLine)) << name;
        }
    }
    // Only the log lines above: the registration G-BAFM and a second registration are dropped silently.
    EXPECT_FALSE(logHas("G-BAFM"));
    EXPECT_FALSE(logHas("PH-BXB"));
}

TEST_F(CfgReader, IcaoTypeOfAFile) {
    struct Case {
        const char* name;
        std::vector<std::string> lines;
        const char* path;
        const char* type;
        const char* listed;  // start of the one report line (any list), or ""
    };
    const std::vector<Case> cases{
        {"designator quoted",
         {"icao_type_designator = \"B738\"", "base_container = ..\\Asobo_C172sp_classic"},
         "P",
         "B738",
         ""},
        {"designator cut to 4", {"icao_type_designator = b737800"}, "P", "B737", ""},
        {"designator fixed",
         {"icao_type_designator = a20n"},
         "P",
         "A32",
         "Model fix: A20N found in P changed into A32"},
        {"designator unknown",
         {"icao_type_designator = B7", "base_container = ..\\Asobo_C172sp_classic"},
         "P",
         "",
         "B7               in P"},
        {"base container", {"base_container = \"..\\Asobo_C172sp_classic\""}, "P", "C172", ""},
        {"base container, other separator", {"base_container = ../Asobo_C172sp_classic"}, "P", "C172", ""},
        {"base container, other case",
         {"base_container = ..\\asobo_c172sp_classic"},
         "P",
         "",
         "Line icao_type_designator= is missing in [General] section of P"},
        {"base container too short",
         {"base_container = .."},
         "P",
         "",
         "Line icao_type_designator= is missing in [General] section of P"},
        {"pmdg", {"[GENERAL]"}, "x/pmdg-aircraft-77w/aircraft.cfg", "", ""},
    };
    for (const auto& c : cases) {
        modelFixes.clear();
        invalidAircraft.clear();
        invalidCfgs.clear();
        const auto type = lf_cfgModel(c.path, views(c.lines));
        EXPECT_EQ(type.substr(0, std::string_view(c.type).size()), c.type) << c.name;
        EXPECT_EQ(type.empty(), *c.type == '\0') << c.name;
        std::vector<std::string> listed = modelFixes;
        for (const auto& l : invalidAircraft) listed.push_back(l);
        for (const auto& l : invalidCfgs) listed.push_back(l);
        if (*c.listed) {
            ASSERT_EQ(listed.size(), 1u) << c.name;
            EXPECT_EQ(listed.front().rfind(c.listed, 0), 0u) << c.name << ": " << listed.front();
        } else {
            EXPECT_TRUE(listed.empty()) << c.name;
        }
    }
    EXPECT_EQ(lf_readBaseContainer("base_container = ab"), "");
    EXPECT_EQ(lf_readBaseContainer("base_container = ..\\Asobo_Icon"), "A5");
}

TEST_F(CfgReader, IcaoTypeOfAnIvaoPath) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/x/IVAO_MTL/SimObjects/Airplanes/IVAO_B738WLfa/aircraft.cfg", "B738"},
        {"C:\\x\\IVAO_MTL\\SimObjects\\Airplanes\\IVAO_A320wCFM\\aircraft.cfg", "A320"},
        {"/x/ivao_x-csl/simobjects/airplanes/ivao_a319/AIRCRAFT.CFG", ""},  // "a319" keeps its case: unknown
        {"/x/IVAO_X-CSL/SimObjects/Airplanes/IVAO_B77W/aircraft.cfg", "B77W"},
        {"/x/other/SimObjects/Airplanes/IVAO_B738/aircraft.cfg", ""},
        {"/IVAO_MTL/SimObjects/Airplanes/IVAO_B738/aircraft.cfg", ""},
        {"/x/IVAO_MTL/SimObjects/Airplanes/IVAO_B7-8/aircraft.cfg", ""},
    };
    for (const auto& [path, type] : cases) EXPECT_EQ(lf_ivaoModel(path), type) << path;
    EXPECT_EQ(invalidAircraft.size(), 4u);
}

TEST_F(CfgReader, TextDecoding) {
    EXPECT_EQ(lf_cp1252ToUtf8("\x80\x81\x9F\xA0\xFF"), "\xE2\x82\xAC\xC2\x81\xC5\xB8\xC2\xA0\xC3\xBF");
    for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"})
        EXPECT_FALSE(lf_isValidUtf8(bad)) << bad;
    EXPECT_TRUE(lf_isValidUtf8("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"));
    std::vector<std::string_view> lines;
    std::string converted;
    EXPECT_TRUE(lf_cfgTextLines("a\r\nb\n\nc", converted, lines));
    EXPECT_EQ(lines, (std::vector<std::string_view>{"a", "b", "", "c"}));
}
