// Writing airport parking files: the parameters of each kind, the three stand forms, plan options, and the
// quality factor.
#include "tests/airports/airports_fixture.h"

#include <pugixml.hpp>

#include "airports/apf_writer.h"
#include "airports/parking_file.h"

namespace {

ParkPos makeStand(const std::string& name, double radiusMetres = 37.04) {
    return ParkPos(name, {}, 47.123456789, 8.5, 1.5707963267948966, radiusMetres, 1, 0, 1);
}

StandOption option(std::int32_t id, std::int32_t weekday, std::uint64_t mask, std::int32_t real = 1) {
    StandOption o;
    o.airline = "KLM";
    o.icaoType = "B738";
    o.key = "PH-BXA";
    o.id = id;
    o.weekday = weekday;
    o.halfHours = mask;
    o.real = real;
    return o;
}

std::vector<std::string> attributeNames(const pugi::xml_node& node) {
    std::vector<std::string> names;
    for (const pugi::xml_attribute& a : node.attributes()) names.emplace_back(a.name());
    return names;
}

std::vector<std::string> parameterNames(const pugi::xml_document& doc) {
    std::vector<std::string> names;
    for (const pugi::xml_node& p : doc.child("parameters").children("parameter"))
        names.emplace_back(p.attribute("name").value());
    return names;
}

using Names = std::vector<std::string>;

}  // namespace

TEST_F(AirportsTest, GeneratedFileHasItsParametersAndFullStandsWithoutOptions) {
    AirportPackage record;
    record.icao = "EGLL";
    record.name = "Heathrow";
    record.publisher = "unknown";
    record.bglPath = "a/b.bgl";
    record.creator = "someone";
    record.altitude = 83;
    record.stands.push_back(makeStand("A1"));
    record.stands.back().options.push_back(option(1, 3, 1));
    record.stands.push_back(ParkPos("H1", {}, 47.0, 8.0, 0.0, 10.0, 1, 1, 0));
    handmadeLearned = 1;  // a generated file never takes the handmade mark of the learned state
    ASSERT_TRUE(gf_writeApf(record, "EGLL.xml", apfGenerated));
    handmadeLearned = 0;

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file("EGLL.xml"));
    EXPECT_TRUE(doc.child("meta").find_child_by_attribute("info", "name", "author"));
    EXPECT_EQ(parameterNames(doc),
              (Names{"airport_name", "publisher", "altitude", "num_parkpos", "BGLpath", "manufacturer", "creator"}));
    EXPECT_EQ(*lf_readIntParameter(doc, "num_parkpos"), 2);
    const pugi::xml_node a1 = doc.child("parkpositions").child("parkpos");
    EXPECT_EQ(attributeNames(a1), (Names{"id", "latitude", "longitude", "heading", "radius", "cargo", "ramp"}));
    EXPECT_STREQ(a1.attribute("latitude").value(), "47.123457");
    EXPECT_STREQ(a1.attribute("heading").value(), "90.0");
    EXPECT_STREQ(a1.attribute("radius").value(), "37.0");
    EXPECT_STREQ(a1.attribute("ramp").value(), "true");
    EXPECT_FALSE(a1.child("opt"));
    EXPECT_EQ(attributeNames(a1.next_sibling()),
              (Names{"id", "latitude", "longitude", "heading", "radius", "heli", "ramp"}));
}

TEST_F(AirportsTest, LearnedFileWritesSettingsAndOnlyWhatWasLearned) {
    MAX_LIVE.value = -1;
    WEEK.value = true;
    AirportPackage record;
    record.name = "X";
    record.publisher = "stock";
    record.altitude = 100;
    ParkPos plain = makeStand("P1");
    plain.options.push_back(option(1, 2, 6));
    plain.options.push_back(option(0, 2, 6));  // no option: not written
    plain.options.push_back(option(2, 4, 8));
    gf_switchOffOption(plain.options.back());  // switched off by a search until the renewal: still saved
    ParkPos changed = makeStand("R1", 25.0);
    changed.radiusChanged = 1;
    changed.cargoChanged = 1;
    ParkPos manual = makeStand("M1");
    manual.manual = 1;
    record.stands = {plain, changed, manual};
    ASSERT_TRUE(gf_writeApf(record, "L.xml", apfLearned));

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file("L.xml"));
    EXPECT_EQ(parameterNames(doc), (Names{"airport_name", "publisher", "num_parkpos", "LATERAL_RANGE", "AUTO_RANGE",
                                          "WEEK", "PARK_FAKE", "PARK_SOFT", "parking_percentage", "INITIAL_LOAD_ONLY",
                                          "MAX_FIT", "RT_PARKTRAFFIC_ONLY", "LEARN_SOFT"}));
    EXPECT_EQ(*lf_readTextParameter(doc, "WEEK"), "true");
    const pugi::xml_node p1 = doc.child("parkpositions").child("parkpos");
    EXPECT_EQ(attributeNames(p1), Names{"id"});
    EXPECT_EQ(std::distance(p1.children("opt").begin(), p1.children("opt").end()), 2);
    EXPECT_STREQ(p1.child("opt").next_sibling("opt").attribute("hh").value(), "3");
    const pugi::xml_node r1 = p1.next_sibling();
    EXPECT_EQ(attributeNames(r1), (Names{"id", "radius_change", "radius", "cargo_change", "cargo"}));
    EXPECT_STREQ(r1.attribute("radius").value(), "25.0");
    const pugi::xml_node m1 = r1.next_sibling();
    EXPECT_EQ(attributeNames(m1),
              (Names{"id", "latitude", "longitude", "heading", "radius", "cargo", "ramp", "manual"}));

    MAX_LIVE.value = 12;
    ASSERT_TRUE(gf_writeApf(record, "L.xml", apfLearned));
    ASSERT_TRUE(doc.load_file("L.xml"));
    EXPECT_EQ(*lf_readIntParameter(doc, "MAX_LIVE"), 12);
}

TEST_F(AirportsTest, HandmadeLearnedFileKeepsPositionsOfChangedStands) {
    handmadeLearned = 1;
    AirportPackage record;
    record.altitude = 55;
    record.qfReal = 63;
    record.qfSoft = 0;
    ParkPos changed = makeStand("R1", 25.0);
    changed.radiusChanged = 1;
    changed.options.push_back(option(1, 1, 1));
    record.stands = {changed};
    ASSERT_TRUE(gf_writeApf(record, "H.xml", apfLearned));
    handmadeLearned = 0;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file("H.xml"));
    EXPECT_EQ(*lf_readTextParameter(doc, "handmade"), "true");
    EXPECT_EQ(*lf_readIntParameter(doc, "altitude"), 55);
    EXPECT_EQ(*lf_readIntParameter(doc, "Qf_real"), 63);
    const pugi::xml_node r1 = doc.child("parkpositions").child("parkpos");
    EXPECT_EQ(attributeNames(r1),
              (Names{"id", "latitude", "longitude", "heading", "radius", "cargo", "ramp", "radius_change"}));
    EXPECT_TRUE(r1.child("opt"));
}

TEST_F(AirportsTest, OptionsWriteIdentityOnlyWhereTheTableLacksIt) {
    registrationTable["PH-BXA"] = DbaseReg{"KLM", "B738", "", false};
    pugi::xml_document doc;
    pugi::xml_node parkpos = doc.append_child("parkpos");
    StandOption known = option(1, 5, 0b1011);
    known.callsignA = "KLM12";
    lf_writeOpt(parkpos, known);
    StandOption unknown = option(2, 6, 0, 0);
    unknown.key = "";
    unknown.callsignA = "KLM1";
    unknown.callsignB = "KLM2";
    lf_writeOpt(parkpos, unknown);
    StandOption bare = option(3, 7, 1);
    bare.key = "N1";
    lf_writeOpt(parkpos, bare);
    const pugi::xml_node first = parkpos.child("opt");
    EXPECT_EQ(attributeNames(first), (Names{"reg", "day", "hh", "cs"}));
    EXPECT_STREQ(first.attribute("hh").value(), "0,1,3");
    EXPECT_STREQ(first.attribute("cs").value(), "KLM12");
    const pugi::xml_node second = first.next_sibling();
    EXPECT_EQ(attributeNames(second), (Names{"reg", "airl", "type", "soft", "day", "hh", "cs"}));
    EXPECT_STREQ(second.attribute("cs").value(), "KLM1:KLM2");
    EXPECT_STREQ(second.attribute("hh").value(), "");
    EXPECT_EQ(attributeNames(second.next_sibling()), (Names{"reg", "airl", "type", "day", "hh"}));
}

TEST_F(AirportsTest, QualityFactorAndItsText) {
    const std::uint64_t fourBits = 0b1111;
    ParkPos one("A", {option(1, 3, fourBits)}, 47, 8, 0, 18.52, 1, 1, 1);
    ParkPos none("B", {}, 47, 8, 0, 18.52, 1, 1, 1);
    ParkPos soft("C", {option(1, 3, fourBits, 0), option(0, 4, fourBits, 0)}, 47, 8, 0, 18.52, 1, 1, 1);
    struct Case {
        std::vector<ParkPos> stands;
        QualityFactors want;
        std::string text;
    } cases[] = {
        {{}, {-1, -1}, "  "},
        {{none}, {-1, -1}, "  "},
        {{one}, {63, 0}, "63"},
        {{one, none}, {32, 0}, "32/ 0"},
        {{one, soft}, {32, 32}, "32/32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QualityFactors got = gf_qualityFactor(c.stands);
        EXPECT_EQ(got, c.want);
        EXPECT_EQ(gf_qualityText(got), c.text);
    }
    EXPECT_EQ(gf_qualityText({45, 3}), "45");
    EXPECT_EQ(gf_qualityText({5, -1}), " 5/-1");
}

TEST_F(AirportsTest, WriterFailureLeavesTheOldFile) {
    writeText("keep.xml", "old");
    AirportPackage record;
    fs::create_directories("dir.xml");
    EXPECT_FALSE(gf_writeApf(record, "missing/folder/x.xml", apfGenerated));
    EXPECT_FALSE(gf_writeApf(record, "dir.xml", apfGenerated));
    EXPECT_EQ(readText("keep.xml"), "old");
    EXPECT_TRUE(fs::is_directory("dir.xml"));
}
