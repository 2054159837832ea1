// Text helpers and the CP437 <-> UTF-8 conversion.
#include "platform/Cp437.h"
#include "platform/Text.h"

#include <gtest/gtest.h>

#include <set>

namespace norva {
namespace {

TEST(Text, CaseChangesTouchOnlyAscii)
{
    EXPECT_EQ(toUpper("dl1abc-7 \xC3\xA4"), "DL1ABC-7 \xC3\xA4");
    EXPECT_EQ(toLower("COM2 \xC3\x84"), "com2 \xC3\x84");
    EXPECT_TRUE(iequals("TncDocuments", "TNCDOCUMENTS"));
    EXPECT_FALSE(iequals("Link1", "Link10"));
    EXPECT_FALSE(iequals("\xC3\xA4", "\xC3\x84"));
    EXPECT_TRUE(icontains("*** Connected to DB0XYZ", "connected TO"));
    EXPECT_TRUE(icontains("abc", ""));
    EXPECT_FALSE(icontains("ab", "abc"));
    EXPECT_FALSE(icontains("disconnected", "reconnected"));
}

TEST(Text, TrimSplitAndCut)
{
    EXPECT_EQ(trim(" \t x y \r\n"), "x y");
    EXPECT_EQ(trim("   "), "");
    EXPECT_EQ(splitBlanks("  c  DB0XYZ\tvia  DB0ABC "),
              (std::vector<std::string_view>{"c", "DB0XYZ", "via", "DB0ABC"}));
    EXPECT_TRUE(splitBlanks(" \t ").empty());
    EXPECT_EQ(cut("NOCALL-15", 6), "NOCALL");
    EXPECT_EQ(cut("abc", 80), "abc");
    EXPECT_EQ(cut("abc", 0), "");
}

TEST(Cp437, GermanLettersAndBoxCharacters)
{
    EXPECT_EQ(oemToUtf8("\x84\x94\x81\x8E\x99\x9A\xE1"), "äöüÄÖÜß");
    EXPECT_EQ(utf8ToOem("äöüÄÖÜß"), "\x84\x94\x81\x8E\x99\x9A\xE1");
    EXPECT_EQ(oemToUtf8("\xC9\xCD\xBB\xB3\xC4\xDA\xBF\xB0\xDB"), "╔═╗│─┌┐░█");
    EXPECT_EQ(utf8ToOem("╔═╗│─┌┐░█"), "\xC9\xCD\xBB\xB3\xC4\xDA\xBF\xB0\xDB");
    EXPECT_EQ(cp437ToUnicode(0xFF), U'\u00A0');
    EXPECT_EQ(cp437ToUnicode(0x9E), U'\u20A7');
    EXPECT_EQ(unicodeToCp437(U'\u00B0'), 0xF8);
}

TEST(Cp437, EveryByteRoundTripsThroughUtf8)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToOem(oemToUtf8(all)), all);
    std::set<char32_t> seen;
    for (int b = 0; b < 256; ++b)
        seen.insert(cp437ToUnicode(static_cast<unsigned char>(b)));
    EXPECT_EQ(seen.size(), 256u);
    // Control characters stay what they are.
    EXPECT_EQ(oemToUtf8(std::string("\r\n\x07\x1B\x7F\0", 6)), std::string("\r\n\x07\x1B\x7F\0", 6));
}

TEST(Cp437, UnmappableAndMalformedBecomeQuestionMarks)
{
    EXPECT_EQ(utf8ToOem("5 €"), "5 ?");
    EXPECT_EQ(utf8ToOem("日本"), "??");
    EXPECT_EQ(utf8ToOem("😀!"), "?!");
    EXPECT_EQ(utf8ToOem("a\xC3"), "a?");              // cut short at the end
    EXPECT_EQ(utf8ToOem("\xC3("), "?(");              // bad continuation keeps the next byte
    EXPECT_EQ(utf8ToOem("\xC0\xAF"), "??");           // overlong
    EXPECT_EQ(utf8ToOem("\xED\xA0\x80"), "???");      // surrogate
    EXPECT_EQ(utf8ToOem("\xF0\x9F\x98" "A"), "?A");   // truncated four-byte form
    EXPECT_EQ(utf8ToOem("\xF4\x90\x80\x80"), "????");  // above U+10FFFF
    EXPECT_EQ(utf8ToOem("\xFF\xFE"), "??");
    EXPECT_EQ(unicodeToCp437(0x110000), '?');
}

}  // namespace
}  // namespace norva
