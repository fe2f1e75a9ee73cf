#include <gtest/gtest.h>

#include "foundation/text_utils.h"

namespace {

using Pieces = std::vector<std::string>;

TEST(TextUtils, SplitKeepsEmptyPiecesAndTrimsEach) {
    EXPECT_EQ(gf_split("a,,b,", ','), (Pieces{"a", "", "b", ""}));
    EXPECT_EQ(gf_split("", ','), Pieces{});
    EXPECT_EQ(gf_split(",", ','), (Pieces{"", ""}));
    EXPECT_EQ(gf_split(" a ;\tb\r ; c", ';'), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(gf_splitComma("ABC, DEF ,GHI"), (Pieces{"ABC", "DEF", "GHI"}));
}

TEST(TextUtils, CommaLists) {
    EXPECT_EQ(gf_commaListToSet(" b, a ,b"), (std::set<std::string>{"a", "b"}));
    std::string list = " EDDF , EDDM,LSZH  ";
    gf_trimCommaList(list);
    EXPECT_EQ(list, "EDDF,EDDM,LSZH");
    std::string empty;
    gf_trimCommaList(empty);
    EXPECT_EQ(empty, "");
}

TEST(TextUtils, Trim) {
    EXPECT_EQ(gf_trim(" \t\r\nabc d\n\r\t "), "abc d");
    EXPECT_EQ(gf_trim(" \t\r\n"), "");
    EXPECT_EQ(gf_trim(""), "");
    EXPECT_EQ(gf_trim("x"), "x");
}

TEST(TextUtils, BetweenQuotes) {
    EXPECT_EQ(gf_betweenQuotes(R"(title = "Boeing 737" ; x)"), "Boeing 737");
    EXPECT_EQ(gf_betweenQuotes(R"(a""b)"), "");
    EXPECT_EQ(gf_betweenQuotes("no quotes"), "no quotes");
    EXPECT_EQ(gf_betweenQuotes(""), "");
    EXPECT_EQ(gf_betweenQuotes(R"(one "quote)"), "");
    EXPECT_EQ(gf_betweenQuotes(R"("a" "b")"), "a");
}

TEST(TextUtils, EqualsUpperAndSameFirst42) {
    EXPECT_TRUE(gf_equalsUpper(".XML", ".xml"));
    EXPECT_TRUE(gf_equalsUpper(".XML", ".XmL"));
    EXPECT_FALSE(gf_equalsUpper(".XML", ".xm"));
    EXPECT_FALSE(gf_equalsUpper(".xml", ".xml"));  // the first text is the upper-case one
    const std::string longText(50, 'a');
    EXPECT_TRUE(gf_sameFirst42(longText, std::string(42, 'a')));
    EXPECT_FALSE(gf_sameFirst42(longText, longText));
    EXPECT_TRUE(gf_sameFirst42("short", "short"));
}

TEST(TextUtils, FloatTextAndPlurals) {
    EXPECT_EQ(gf_floatText(2.0f), "2");
    EXPECT_EQ(gf_floatText(2.5f), "2.5");
    EXPECT_EQ(gf_floatText(-0.5f), "-0.5");
    EXPECT_EQ(gf_plural(1), "");
    EXPECT_EQ(gf_plural(0), "s");
    EXPECT_EQ(gf_plural(-1), "s");
    EXPECT_EQ(gf_pluralSuffix(1), "");
    EXPECT_EQ(gf_pluralSuffix(-1), "");
    EXPECT_EQ(gf_pluralSuffix(2), "s");
}

}  // namespace
