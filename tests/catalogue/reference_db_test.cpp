#include <cmath>

#include "app/updates.h"
#include "catalogue/reference_db.h"
#include "catalogue_fixture.h"

using namespace cattest;

class ReferenceDb : public CatalogueTest {};

TEST_F(ReferenceDb, ReadsGeneratedDatabaseAndDeletesTheFile) {
    loadDatabase();
    EXPECT_FALSE(fs::exists(dir / "input" / "temp2.xml"));
    EXPECT_TRUE(gf_isKnownModel("B738"));
    EXPECT_FALSE(gf_isKnownModel("XXXX"));
    EXPECT_FALSE(gf_isKnownModel(""));
    EXPECT_TRUE(gf_isIcaoAirline("DLH"));
    EXPECT_FALSE(gf_isIcaoAirline(""));
    EXPECT_TRUE(cargoOperators.contains("GEC"));
    EXPECT_TRUE(cargoTypes.contains("MD11"));
    EXPECT_TRUE(simaddonAirports.contains("EGLL"));
    ASSERT_EQ(publisherAirports2020.size(), 1u);
    EXPECT_EQ(publisherAirports2020[0].publisher, "Aerosoft");
    EXPECT_EQ(publisherAirports2020[0].airports, (std::vector<std::string>{"EDDM", "LOWW"}));
    ASSERT_EQ(publisherAirports2024.size(), 1u);
    // Similar groups are stored sorted.
    ASSERT_EQ(similarGroups.size(), 3u);
    EXPECT_EQ(similarGroups[0], (std::vector<std::string>{"A319", "A320", "A321"}));
    EXPECT_EQ(similarGroups[2], (std::vector<std::string>{"C172", "C182", "PA28"}));
}

TEST_F(ReferenceDb, CategoriesFollowTheSetOrder) {
    loadDatabase();
    const std::pair<const char*, AircraftCategory> cases[] = {
        {"MD11", AircraftCategory::Large},  // in "large" and "heavy": large is tested first
        {"B744", AircraftCategory::Heavy},      {"C25A", AircraftCategory::Buzjets},
        {"H145", AircraftCategory::Rotorcraft}, {"F18", AircraftCategory::HighPerf},
        {"C172", AircraftCategory::Light},      {"XXXX", AircraftCategory::Light},
        {"", AircraftCategory::Light},
    };
    for (const auto& [type, cat] : cases) EXPECT_EQ(gf_aircraftCategory(type), cat) << type;
}

TEST_F(ReferenceDb, Wingspans) {
    loadDatabase();
    // Two entries for A320: the first value stays, the largest span sees both.
    EXPECT_DOUBLE_EQ(gf_wingspan("A320"), 35.8 * 0.5 / 1852);
    EXPECT_DOUBLE_EQ(largestHalfSpanNm, 64.4 * 0.5 / 1852);
    EXPECT_DOUBLE_EQ(gf_wingspan("B744"), 64.4 * 0.5 / 1852);
    // Without its own entry a type gets its category's average (Large: A320 and A321).
    EXPECT_DOUBLE_EQ(gf_wingspan("B738"), 35.8 * 0.5 / 1852);
    EXPECT_DOUBLE_EQ(gf_wingspan("PA28"), 11 * 0.5 / 1852);
    // A category without any entry (Rotorcraft) gets the average of all types instead of 0.
    EXPECT_GT(gf_wingspan("H145"), 0.0);
}

TEST_F(ReferenceDb, WingspanOfUnknownModelAndBadFixesAreSkippedWithErrorLines) {
    std::string plain = plainDatabase;
    plain.replace(plain.find("<wingspans>"), 11, "<wingspans><wingspan type=\"QQ\" meters=\"zz\"/>");
    loadDatabase(plain);
    EXPECT_TRUE(logHas("===> wingspan model QQ is no valid model, skipped"));
    EXPECT_EQ(modelFixTable.at("A20N"), "A320");
    EXPECT_TRUE(logHas("===> wrong part of fix: \"A20N\", already exists, skipped"));
    EXPECT_TRUE(logHas("===> wrong fix XYZ->QQQ, the latter is not a valid model"));
    EXPECT_FALSE(modelFixTable.contains("XYZ"));
}

TEST_F(ReferenceDb, PublishersCollapseDuplicatesAndMatchIgnoringCase) {
    loadDatabase();
    EXPECT_EQ(publisherGroups.size(), 2u);
    EXPECT_EQ(gf_publisherOf("aerosoft-airport-eddm"), "Aerosoft");
    EXPECT_EQ(gf_publisherOf("my-as-package"), "Aerosoft");
    EXPECT_EQ(gf_publisherOf("flytampa-loww"), "FlyTampa");
    EXPECT_EQ(gf_publisherOf("nobody"), "unknown");
}

TEST_F(ReferenceDb, RegistrationSpellingsAndLookups) {
    const std::pair<const char*, std::vector<std::string>> spellings[] = {
        {"ABCDE", {"AB-CDE", "A-BCDE", "ABCDE"}},
        {"ABCD", {"ABCD"}},
        {"NABCD", {"NABCD"}},
        {"A-BCD", {"A-BCD"}},
        {"", {""}},
    };
    for (const auto& [reg, expected] : spellings) EXPECT_EQ(gf_regSpellings(reg), expected) << reg;

    loadDatabase();
    // Duplicate key: the first record stays.
    EXPECT_TRUE(logHas("===> regcode D-AIPA already exists"));
    // The dashed spelling wins over the plain record DAIPA.
    auto r = gf_findRegcode("DAIPA");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->airline, "DLH");
    EXPECT_EQ(r->type, "A320");
    auto cargo = gf_findRegcode("DALCA");
    ASSERT_TRUE(cargo);
    EXPECT_TRUE(cargo->cargo);
    EXPECT_EQ(cargo->type, "MD11");
    EXPECT_FALSE(gf_findRegcode(""));
    EXPECT_FALSE(gf_findRegcode("ZZ-TOP"));
    EXPECT_EQ(gf_regOperator("GEUPA"), "KLM");
    EXPECT_EQ(gf_regAirline("GEUPA"), "BAW");
    EXPECT_EQ(gf_regAirline("XX-XXX"), "");
    EXPECT_EQ(gf_regOperator(""), "");

    std::optional<DbaseReg> found;
    EXPECT_FALSE(gf_lookupRegcode(found, "DAIPX"));
    EXPECT_FALSE(found);
    EXPECT_TRUE(gf_lookupRegcode(found, "DAIPA"));
    EXPECT_EQ(found->airline, "BAW");

    EXPECT_EQ(gf_privateRegPrefix("N172AB"), "N172");
    EXPECT_EQ(gf_privateRegPrefix("D-EABC"), "");  // key of 5 or more characters
}

TEST_F(ReferenceDb, TextHelpers) {
    EXPECT_TRUE(gf_containsNoCase("Hello", ""));
    EXPECT_FALSE(gf_containsNoCase("He", "Hello"));
    EXPECT_TRUE(gf_containsNoCase("FlyTampa", "TAMPA"));
    EXPECT_FALSE(gf_containsChar("", 'a'));
    EXPECT_TRUE(gf_containsChar("abc", 'c'));
    pugi::xml_document doc;
    doc.load_string(R"(<w a="35.8x" b="" c="x"/>)");
    auto w = doc.child("w");
    EXPECT_DOUBLE_EQ(gf_attributeDouble(w, "a"), 35.8);
    EXPECT_DOUBLE_EQ(gf_attributeDouble(w, "b"), 0.0);
    EXPECT_DOUBLE_EQ(gf_attributeDouble(w, "c"), 0.0);
    EXPECT_DOUBLE_EQ(gf_attributeDouble(w, "missing"), 0.0);
    EXPECT_DOUBLE_EQ(gf_attributeDouble(pugi::xml_node{}, "a"), 0.0);
}

TEST_F(ReferenceDb, TypeListsCollapseDuplicatesAndKeepEmptyCodes) {
    std::string plain = plainDatabase;
    plain.replace(plain.find("<rotorcraft><rot types=\"EC35,H145\"/>"), 36, "<rotorcraft><rot types=\"EC35,,EC35\"/>");
    loadDatabase(plain);
    EXPECT_EQ(rotorcraftTypes, (TextOrderedSet{"", "EC35"}));
    EXPECT_FALSE(gf_isKnownModel(""));
}

TEST_F(ReferenceDb, MissingOrEmptySectionThrowsUserError61) {
    struct Case {
        std::string section, replacement, message;
    };
    const Case cases[] = {
        {"<buzjet><bzj types=\"C25A,C56X\"/></buzjet>", "", "61: In an xml file section buzjet bzj types is empty "},
        {"<buzjet><bzj types=\"C25A,C56X\"/></buzjet>", "<buzjet><bzj type=\"C25A\"/></buzjet>",
         "61: In an xml file section buzjet bzj types is empty "},
        {"<cargo_operators><ICAO codes=\"GEC,DHL\"/></cargo_operators>", "<cargo_operators/>",
         "61: In an xml file section cargo_operators ICAO codes is empty "},
        {"<simaddons20><simaddon20 arpts=\"EDDF,EGLL\"/></simaddons20>", "",
         "61: In an xml file section simaddons20 simaddon20 arpts is empty "},
    };
    for (const auto& c : cases) {
        gf_resetCatalogue();
        std::string plain = plainDatabase;
        const auto pos = plain.find(c.section);
        ASSERT_NE(pos, std::string::npos) << c.section;
        plain.replace(pos, c.section.size(), c.replacement);
        writeDatabaseFile(plain);
        try {
            gf_readDatabaseFile(gf_databasePath());
            ADD_FAILURE() << "no error for " << c.section;
        } catch (const ovk::UserErrorException& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST_F(ReferenceDb, UnparsableFileThrows60AndStays) {
    writeText(dir / "input" / "temp2.xml", "<aircrafts><aircraft types=\"A320\"></aircrafts");
    try {
        gf_readDatabaseFile(gf_databasePath());
        FAIL();
    } catch (const ovk::UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()).rfind("60: \"input/temp2.xml\" not read because of ", 0), 0u) << e.what();
    }
    EXPECT_TRUE(fs::exists(dir / "input" / "temp2.xml"));
}

// A damaged code costs its own record, never the read: the record is logged and skipped, the rest of the
// database loads and the file is deleted as after any read.
TEST_F(ReferenceDb, BadRecordsAreLoggedAndSkipped) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(encipheredDatabase(plainDatabase).c_str()));
    auto db = doc.child("dbase").children("db").begin();
    (db++)->attribute("airl").set_value("ABCDE");                     // D-AIPA of DLH: an airline of 5 characters
    (db++)->attribute("reg").set_value("ABCDEFGHIJKLMNOPQRSTUVWXY");  // DAIPA: a 25th character that is no '+'
    db->attribute("opr").set_value("AB");                             // G-EUPA: an operator of 2 characters
    doc.child("ICAO_airlines").append_child("ICAO").append_attribute("codes").set_value("ABCD");
    writeText(dir / "input" / "temp2.xml", dbtool::xmlText(doc));

    ASSERT_NO_THROW(gf_readDatabaseFile(gf_databasePath()));
    EXPECT_FALSE(fs::exists(dir / "input" / "temp2.xml"));
    for (const char* line :
         {"===> dbase record \"D-AIPA\" skipped: decrypt airl \"ABCDE\" error",
          "===> dbase record \"ABCDEFGHIJKLMNOPQRSTUVWXY\" skipped: decrypt reg \"ABCDEFGHIJKLMNOPQRSTUVWXY\" error",
          "===> dbase record \"G-EUPA\" skipped: decrypt airl \"AB\" error",
          "===> ICAO_airlines code \"ABCD\" skipped: decrypt airl \"ABCD\" error"})
        EXPECT_TRUE(logHas(line)) << line;
    EXPECT_FALSE(gf_findRegcode("G-EUPA"));
    EXPECT_EQ(gf_regAirline("D-AIPA"), "KLM") << "the later record of the same registration takes its place";
    EXPECT_FALSE(logHas("regcode D-AIPA already exists"));
    EXPECT_EQ(gf_regAirline("D-ALCA"), "GEC");
    EXPECT_EQ(gf_regAirline("N172"), "PVT");
    EXPECT_TRUE(gf_isIcaoAirline("DLH"));
    EXPECT_TRUE(gf_isIcaoAirline("DHL"));
    EXPECT_TRUE(cargoOperators.contains("GEC")) << "the sections after the bad code are read";
}

TEST_F(ReferenceDb, DownloadsTheDatabaseFromTheServer) {
    serveDatabase();
    gf_readDatabase();
    EXPECT_TRUE(gf_isKnownModel("A320"));
    EXPECT_FALSE(fs::exists(dir / "input" / "temp2.xml"));
    EXPECT_FALSE(fs::exists(dir / "dbase.zip"));
}

TEST_F(ReferenceDb, MissingDownloadIsARuntimeError) {
    try {
        gf_readDatabase();
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "data base could not be read from on-line?");
    }
    EXPECT_TRUE(logHas("===> downloading dbase.zip failed?"));
}
