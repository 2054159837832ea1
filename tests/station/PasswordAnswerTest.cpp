// The answers of the three procedures for known challenges, and what they
// make of texts that are no challenge.
#include <gtest/gtest.h>

#include "station/PasswordFile.h"
#include "station/PasswordJob.h"

namespace norva {
namespace {

TEST(PasswordModes, EachModeNamesItsProcedureInAnyCase) {
    EXPECT_EQ(procedureForMode("TheNet"), PasswordProcedure::TheNet);
    EXPECT_EQ(procedureForMode("Norva"), PasswordProcedure::TheNet);
    EXPECT_EQ(procedureForMode("FLEXNET"), PasswordProcedure::FlexNet);
    EXPECT_EQ(procedureForMode("Sp"), PasswordProcedure::FlexNet);
    EXPECT_EQ(procedureForMode("diebox"), PasswordProcedure::DieBox);
    EXPECT_EQ(procedureForMode("fbb"), PasswordProcedure::Fbb);
    for (const char* none : {"no Password", "", "Baycom", "THENETX", "S P"})
        EXPECT_FALSE(procedureForMode(none)) << none;
}

TEST(TheNetAnswer, NumbersPickCharactersUntilOneIsOutOfRange) {
    const std::string pw = "abcdefgh";
    EXPECT_EQ(theNetAnswer("3 1 4", pw), "c a d ");
    // The prompt word is skipped when the line holds ":" or ">".
    EXPECT_EQ(theNetAnswer("DB0XYZ:DL1ABC> 3 1 4", pw), "c a d ");
    EXPECT_EQ(theNetAnswer("Passwort: 2 2", pw), "b b ");
    EXPECT_EQ(theNetAnswer("DB0XYZ> 8 9 1", pw), "h ") << "9 is beyond the password";
    EXPECT_EQ(theNetAnswer("2 x 3", pw), "b ") << "a word without digits reads as 0";
    EXPECT_EQ(theNetAnswer("2 0 3", pw), "b ");
    EXPECT_EQ(theNetAnswer("2 -1 3", pw), "b ");
    EXPECT_EQ(theNetAnswer("4th 5x", pw), "d e ") << "leading digits count";
    EXPECT_EQ(theNetAnswer("1 1 1 1 1 1 1 1 1 1 1 1", pw), "a a a a a a a a a a ") << "at most 10";
    EXPECT_EQ(theNetAnswer("\r\nDB0XYZ> 1 2\r3 4", pw), "a b ") << "only the first line";
    EXPECT_EQ(theNetAnswer("99999999999999999999 1", pw), "");
    EXPECT_EQ(theNetAnswer("1 2 3", ""), "") << "no password, no answer";
}

TEST(FbbAnswer, LettersTogetherAndTheClockIsNoPosition) {
    const std::string pw = "abcdefghijklmnopqrstuvwxyz";
    // F6FBB 7.0.11's SYS challenge exactly as it comes.
    EXPECT_EQ(fbbAnswer("DB0FBB-0>  6 16 7 15 10 [1796787269]\r", pw), "fpgoj");
    EXPECT_EQ(fbbAnswer("\rDB0FBB-0>  1 2 3 4 5 [1]", "abc"), "abc") << "positions beyond the password end it";
}

TEST(FlexNetAnswer, DigitsArePairedInTheSameOrder) {
    EXPECT_EQ(flexNetAnswer("54321", "12345"), "35");
    EXPECT_EQ(flexNetAnswer("12345", "12345"), "55");
    EXPECT_EQ(flexNetAnswer("4567", "1203"), "35") << "1*4 + 2*5 + 0*6 + 3*7";
    EXPECT_EQ(flexNetAnswer("99999", "99999"), "405");
    EXPECT_EQ(flexNetAnswer("00000", "98765"), "0");
    EXPECT_EQ(flexNetAnswer("1a3", "111"), "4") << "a character that is no digit counts 0";
    EXPECT_FALSE(flexNetAnswer("5432", "12345")) << "lengths differ";
    EXPECT_FALSE(flexNetAnswer("543210", "12345"));
}

TEST(FlexNetChallenge, TheWordBeforeTheFirstPromptSign) {
    EXPECT_EQ(flexNetChallenge("DB0NOD 54321>"), "54321");
    EXPECT_EQ(flexNetChallenge("\rDB0NOD (Test) 54321> 99>"), "54321");
    EXPECT_FALSE(flexNetChallenge("Welcome to DB0NOD\r"));
    EXPECT_FALSE(flexNetChallenge("54321>")) << "no blank";
    EXPECT_FALSE(flexNetChallenge(" 54321>")) << "the only blank is the first character";
    EXPECT_FALSE(flexNetChallenge("DB0NOD >")) << "no word";
    EXPECT_FALSE(flexNetChallenge(""));
}

TEST(DieBoxCode, LoginAtDay31At2359GivesIndex833) {
    const auto login = parseDieBoxLogin("LOGIN: 31.12.96 23:59");
    ASSERT_TRUE(login);
    EXPECT_EQ(login->day, 31);
    EXPECT_EQ(login->hour, 23);
    EXPECT_EQ(login->minute, 59);
    EXPECT_EQ(dieBoxIndex(*login), 833u);
    EXPECT_EQ(dieBoxIndex({1, 0, 0}), 27u);
    EXPECT_EQ(dieBoxIndex({0, 7, 1}), 34u);
    const auto other = parseDieBoxLogin("LOGIN:05.03.97 08:04 DL1ABC");
    ASSERT_TRUE(other);
    EXPECT_EQ(dieBoxIndex(*other), 4u * 27 + 8 + 5 * 27);
}

TEST(DieBoxCode, MissingOrForgedLoginPartsGiveNoTime) {
    for (const char* bad : {"", "LOGIN", "LOGIN:", "LOGIN: 31.12.96", "LOGIN: 31.12.96 2359",
                            "LOGIN: xx.12.96 23:59", "LOGIN: 31.12.96 :59", "LOGIN: 31.12.96 23:"})
        EXPECT_FALSE(parseDieBoxLogin(bad)) << bad;
    // Absurd numbers still give an index inside the block.
    const auto forged = parseDieBoxLogin("LOGIN: 99999999999.1 99999999999:99999999999");
    ASSERT_TRUE(forged);
    EXPECT_LT(dieBoxIndex(*forged), kDieBoxBlockLength);
}

TEST(DieBoxCode, FourCharactersWrappingAtTheEndOfTheBlock) {
    std::string secret;
    for (std::size_t i = 0; i < kDieBoxBlockLength; ++i) secret.push_back(static_cast<char>('!' + i % 90));
    EXPECT_EQ(dieBoxCode(secret, 0), secret.substr(0, 4));
    EXPECT_EQ(dieBoxCode(secret, 833), secret.substr(833, 4));
    EXPECT_EQ(dieBoxCode(secret, 1616), secret.substr(1616, 4));
    EXPECT_EQ(dieBoxCode(secret, 1617), secret.substr(1617, 3) + secret.substr(0, 1));
    EXPECT_EQ(dieBoxCode(secret, 1619), secret.substr(1619, 1) + secret.substr(0, 3));
    // A longer stored block: its tail beyond 1620 is not part of the code.
    EXPECT_EQ(dieBoxCode(secret + "ZZZZ", 1618), secret.substr(1618, 2) + secret.substr(0, 2));
    EXPECT_FALSE(dieBoxCode(secret.substr(1), 0)) << "1619 characters are refused";
    EXPECT_FALSE(dieBoxCode("", 0));
}

}  // namespace
}  // namespace norva
