#include <stdexcept>

#include "catalogue/cipher.h"
#include "catalogue_fixture.h"

using namespace cattest;

TEST(Cipher, EmptyInputGivesEmptyOutput) {
    EXPECT_EQ(gf_decryptAirline(""), "");
    EXPECT_EQ(gf_decryptModel(""), "");
    EXPECT_EQ(gf_decryptString(""), "");
}

TEST(Cipher, ShiftWrapsOnceAtBothEndsOfTheAlphabet) {
    for (char c : {'-', '.', '0', 'A', 'Y', 'Z'}) {
        for (int k = -46; k <= 46; ++k) {
            const char stored = gf_decryptChar(c, -k);  // adding k
            ASSERT_GE(stored, '-') << c << " " << k;
            ASSERT_LE(stored, 'Z') << c << " " << k;
            EXPECT_EQ(gf_decryptChar(stored, k), c) << c << " " << k;
        }
    }
    EXPECT_EQ(gf_decryptChar('-', 1), 'Z');
    EXPECT_EQ(gf_decryptChar('Z', -1), '-');
    // Outside the alphabet only one correction is made, so a character can stay outside.
    EXPECT_EQ(gf_decryptChar('a', 0), '3');
    EXPECT_EQ(gf_decryptChar(static_cast<char>(0xC8), 0), static_cast<char>(-10));
}

TEST(Cipher, EncipheredCodesComeBackPlain) {
    for (const char* a : {"DLH", "BAW", "ZZZ", "A1-", "---"})
        EXPECT_EQ(gf_decryptAirline(dbtool::encryptAirline(a)), a);
    for (const char* t : {"A", "B7", "A20", "B738", "ZZZZ", "C-7."})
        EXPECT_EQ(gf_decryptModel(dbtool::encryptModel(t)), t);
    for (const char* r : {"D-AIPA", "N12345", "ABCDEFGHIJKLMNOPQRSTUVWX", "G+ABC", "++++"})
        EXPECT_EQ(gf_decryptString(dbtool::encryptString(r)), r);
    EXPECT_EQ(dbtool::encryptAirline("DLH").size(), 6u);
    EXPECT_NE(dbtool::encryptAirline("DLH").substr(0, 3), "DLH");
}

TEST(Cipher, PlusSignsStayAndKeepTheirPositions) {
    const std::string plus(40, '+');
    EXPECT_EQ(gf_decryptString(plus), plus);
    const std::string plain = gf_decryptString("ABCDEFG");
    const std::string withPlus = gf_decryptString("ABC+EFG");
    EXPECT_EQ(withPlus[3], '+');
    EXPECT_EQ(withPlus.substr(0, 3), plain.substr(0, 3));
    EXPECT_EQ(withPlus.substr(4), plain.substr(4));
}

TEST(Cipher, RegistrationLongerThanTheKeyTableThrowsOutOfRange) {
    EXPECT_NO_THROW(gf_decryptString(std::string(24, 'A')));
    EXPECT_NO_THROW(gf_decryptString(std::string(24, 'A') + "++"));
    EXPECT_THROW(gf_decryptString(std::string(25, 'A')), std::out_of_range);
    try {
        gf_decryptString("ABC+" + std::string(21, 'A'));
        ADD_FAILURE();
    } catch (const std::out_of_range& e) {
        EXPECT_EQ(std::string(e.what()), "decrypt reg \"ABC+" + std::string(21, 'A') + "\" error") << "names the code";
    }
}

TEST(Cipher, AirlineLengths) {
    EXPECT_THROW(
        {
            try {
                gf_decryptAirline("ABCDE");
            } catch (const std::runtime_error& e) {
                EXPECT_STREQ(e.what(), "decrypt airl \"ABCDE\" error");
                throw;
            }
        },
        std::runtime_error);
    EXPECT_THROW(gf_decryptAirline("AB"), std::runtime_error);
}

TEST(Cipher, TypeOfOtherLengthUsesTheFirstTwoCharacters) {
    EXPECT_EQ(gf_decryptModel("ABCDE").size(), 2u);
    EXPECT_EQ(gf_decryptModel("ABCDE"), gf_decryptModel("AB"));
    EXPECT_EQ(gf_decryptModel("ABXYZQ"), gf_decryptModel("AB"));
}

class CipherLog : public CatalogueTest {};

TEST_F(CipherLog, PlainThreeCharacterAirlineIsKeptWithOneWarning) {
    EXPECT_EQ(gf_decryptAirline("DLH"), "DLH");
    const auto text = logText();
    const std::string warning = "===> Unencrypted airline DLH in decrypt airl?";
    ASSERT_NE(text.find(warning), std::string::npos);
    EXPECT_EQ(text.find(warning, text.find(warning) + 1), std::string::npos);
}
