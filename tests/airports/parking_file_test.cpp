// The parking-file format: half-hour lists, the stand record, reading one stand and its plan options.
#include "tests/airports/airports_fixture.h"

#include <cmath>

#include <pugixml.hpp>

#include "airports/parking_file.h"
#include "airports/stands.h"

namespace {

std::uint64_t bits(std::initializer_list<int> hours) {
    std::uint64_t m = 0;
    for (int h : hours) m |= std::uint64_t{1} << h;
    return m;
}

pugi::xml_node firstChild(pugi::xml_document& doc, const std::string& text) {
    EXPECT_TRUE(doc.load_string(text.c_str()));
    return doc.first_child();
}

}  // namespace

TEST_F(AirportsTest, HalfHourListsReadEveryValidItemAndLogTheRest) {
    struct Case {
        std::string list;
        std::uint64_t mask;
        int invalidLines;
    } cases[] = {
        {"", 0, 0},           {"0,47", bits({0, 47}), 0}, {"48,x", 0, 2},
        {"5a", bits({5}), 0}, {"1,,2", bits({1, 2}), 1},  {"1,2,", bits({1, 2}), 1},
        {"-0", bits({0}), 0}, {"-1, 3,2147483648", 0, 3}, {"30,31,0", bits({0, 30, 31}), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list);
        const std::size_t before = logText().size();
        EXPECT_EQ(gf_hours2bitset(c.list), c.mask);
        const std::string added = logText().substr(before);
        int lines = 0;
        for (std::size_t at = added.find("===> gf_hours2bitset invalid hour"); at != std::string::npos;
             at = added.find("===> gf_hours2bitset invalid hour", at + 1))
            ++lines;
        EXPECT_EQ(lines, c.invalidLines);
    }
    EXPECT_TRUE(logHas("===> gf_hours2bitset invalid hour \"48\" in 48,x"));
}

TEST_F(AirportsTest, HalfHourMasksWriteAscendingWithoutTrailingComma) {
    EXPECT_EQ(gf_bitset2hours(0), "");
    EXPECT_EQ(gf_bitset2hours(bits({0, 1, 2, 30, 31})), "0,1,2,30,31");
    std::string all;
    for (int h = 0; h < 48; ++h) all += (h ? "," : "") + std::to_string(h);
    EXPECT_EQ(gf_bitset2hours(kHalfHourMask), all);
    EXPECT_EQ(gf_hours2bitset(all), kHalfHourMask);
}

TEST_F(AirportsTest, StandRecordHoldsNauticalMilesRadiansAndInvertedFlags) {
    const ParkPos p("A1", {StandOption{}}, 47.0, 8.0, 1.0, 18.5, 0, 1, 0);
    EXPECT_DOUBLE_EQ(p.radius, 18.5 / 1852.0);
    EXPECT_EQ(p.cargo, 1);
    EXPECT_EQ(p.ramp, 0);
    EXPECT_EQ(p.heli, 1);
    EXPECT_EQ(p.id, 0u);
    EXPECT_GE(p.coupledIds.capacity(), 8u);
    EXPECT_EQ(p.options.size(), 1u);
}

TEST_F(AirportsTest, OptionIdentityFromCallsignsAndRegistrationTable) {
    registrationTable["D-AIPA"] = DbaseReg{"DLH", "A320", "EWG", false};
    registrationTable["D-AIPB"] = DbaseReg{"DLH", "A321", "", false};
    struct Case {
        std::string attributes;
        OptIdentity want;
    } cases[] = {
        {R"(cs="AB123:AB123X")", {"AB123", "AB123X", "", ""}},
        {R"(cs="AB123")", {"AB123", "", "", ""}},
        {R"(cs="X:Y:Z")", {"X", "", "", ""}},
        {R"(reg="N1" airl="UAL" type="B738")", {"", "", "UAL", "B738"}},
        {R"(reg="DAIPA" airl="XXX" type="C172")", {"", "", "EWG", "A320"}},  // a spelling of D-AIPA; operator
        {R"(reg="D-AIPB" airl="XXX")", {"", "", "DLH", "A321"}},             // no operator: the airline
        {R"(reg="" airl="KLM")", {"", "", "KLM", ""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        pugi::xml_document doc;
        const OptIdentity got = lf_readOptIdentity(firstChild(doc, "<opt " + c.attributes + "/>"));
        EXPECT_EQ(got.callsignA, c.want.callsignA);
        EXPECT_EQ(got.callsignB, c.want.callsignB);
        EXPECT_EQ(got.airline, c.want.airline);
        EXPECT_EQ(got.icaoType, c.want.icaoType);
    }
}

TEST_F(AirportsTest, StandElementBecomesOneStandWithNumberedOptions) {
    pugi::xml_document doc;
    const pugi::xml_node parkpos = firstChild(doc, R"(<parkpos id="B2" latitude="47.5" longitude="8.25" heading="90.0"
        radius="18.5" heli="false" cargo="yes" ramp="1">
        <opt reg="N1" airl="UAL" type="B738" day="3" hh="0,1" cs="UA1:UA2"/>
        <opt reg="" soft="true"/>
      </parkpos>)");
    ASSERT_TRUE(lf_readParkpos(parkpos, "B2", 1));
    ASSERT_EQ(currentStands.size(), 1u);
    const ParkPos& s = currentStands[0];
    EXPECT_EQ(s.name, "B2");
    EXPECT_DOUBLE_EQ(s.latitude, 47.5);
    EXPECT_DOUBLE_EQ(s.heading, M_PI / 2);
    EXPECT_DOUBLE_EQ(s.radius, 18.5 / 1852.0);
    EXPECT_EQ(s.cargo, 1);
    EXPECT_EQ(s.ramp, 1);
    EXPECT_EQ(s.heli, 0);
    ASSERT_EQ(s.options.size(), 2u);
    EXPECT_EQ(s.options[0], (StandOption{"UAL", "B738", "N1", "UA1", "UA2", bits({0, 1}), 1, 3, 1, 1}));
    // Without "day" and "hh": weekday 0, empty mask, kept; "soft" makes it a soft option.
    EXPECT_EQ(s.options[1], (StandOption{"", "", "", "", "", 0, 2, 0, 1, 0}));
    EXPECT_EQ(s.options.capacity(), 2u);

    pugi::xml_document zero;
    EXPECT_FALSE(lf_readParkpos(firstChild(zero, R"(<parkpos id="Z" latitude="0" longitude="0"/>)"), "Z", 1));
    pugi::xml_document nan;
    EXPECT_FALSE(lf_readParkpos(firstChild(nan, R"(<parkpos id="N" latitude="nan" longitude="8"/>)"), "N", 1));
    EXPECT_EQ(currentStands.size(), 1u);
}

TEST_F(AirportsTest, ParameterReadersTellAbsentFromEmpty) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<meta/><parameters>
        <parameter name="a" value="Yes"/><parameter name="n" value="-12x"/><parameter name="t"/>
        <parameter name="a" value="false"/></parameters>)"));
    EXPECT_EQ(lf_readBoolParameter(doc, "a"), std::optional<bool>(true));  // the first of the name
    EXPECT_EQ(lf_readIntParameter(doc, "n"), std::optional<std::int32_t>(-12));
    EXPECT_EQ(lf_readTextParameter(doc, "t"), std::optional<std::string>(""));
    EXPECT_EQ(lf_readBoolParameter(doc, "t"), std::optional<bool>(false));
    EXPECT_FALSE(lf_readIntParameter(doc, "missing"));
    EXPECT_FALSE(lf_readTextParameter(doc, "it's"));
}
