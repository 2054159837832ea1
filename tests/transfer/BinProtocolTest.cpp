// The #BIN# wire format on its own: the CRC, header lengths and names from
// hostile headers, the plain-name rule, the report lines.
#include <gtest/gtest.h>

#include "transfer/BinProtocol.h"

namespace norva {
namespace {

TEST(BinCrc, KnownValuesAndRunningUpdate) {
    EXPECT_EQ(binCrc(0, "abc"), 7908);
    EXPECT_EQ(binCrc(0, ""), 0);
    EXPECT_EQ(binCrc(binCrc(0, "ab"), "c"), 7908) << "a running CRC equals the CRC of the whole";
    // Bits enter from the top: one 0x80 byte shifts a single 1 in at bit 0 after 8 steps.
    EXPECT_EQ(binCrc(0, std::string("\x80", 1)), 0x0080);
    // Fed two zero bytes more, this form gives the common CRC-16/XMODEM check value.
    EXPECT_EQ(binCrc(0, std::string("123456789\0\0", 11)), 0x31C3);
}

TEST(BinHeader, LengthsAreBoundedAndStrict) {
    EXPECT_EQ(binHeaderLength("#BIN#1234#FILE.BIN"), 1234);
    EXPECT_EQ(binHeaderLength("#BIN#0#EMPTY"), 0);
    EXPECT_EQ(binHeaderLength("#BIN#77"), 77) << "the number may end the line";
    EXPECT_EQ(binHeaderLength("#BIN#2147483647#X"), 2147483647);
    EXPECT_FALSE(binHeaderLength("#BIN#2147483648#X")) << "beyond 32-bit signed";
    EXPECT_FALSE(binHeaderLength("#BIN#99999999999999999999999#X")) << "no overflow";
    EXPECT_FALSE(binHeaderLength("#BIN#-5#X"));
    EXPECT_FALSE(binHeaderLength("#BIN##X"));
    EXPECT_FALSE(binHeaderLength("#BIN#12a#X"));
}

TEST(BinHeader, FindsTheLineAndItsEnd) {
    const auto span = findBinHeader("text\r#BIN#5#A.B\rdata");
    ASSERT_TRUE(span);
    EXPECT_EQ(span->start, 5u);
    EXPECT_EQ(span->lineEnd, 15u);
    const auto split = findBinHeader("#BIN#5#A.");
    ASSERT_TRUE(split);
    EXPECT_FALSE(split->complete());
    EXPECT_FALSE(findBinHeader("#BIN 5"));
}

TEST(BinHeader, NamesFromTheAirBecomePlainNames) {
    EXPECT_EQ(binHeaderName("#BIN#10#FILE.BIN"), "FILE.BIN");
    EXPECT_EQ(binHeaderName("#BIN#10#C:\\DIR\\FILE.BIN"), "FILE.BIN");
    EXPECT_EQ(binHeaderName("#BIN#10#../x"), "x");
    EXPECT_EQ(binHeaderName("#BIN#10"), "");

    EXPECT_EQ(plainName("x"), "x");
    EXPECT_EQ(plainName("../../etc/passwd"), "passwd");
    EXPECT_EQ(plainName("A:B"), "B");
    for (const char* bad : {"", ".", "..", ".bashrc", "dir/", "dir/..", "a\\..", "a\nb", "tab\there"})
        EXPECT_FALSE(plainName(bad)) << bad;
    EXPECT_FALSE(plainName(std::string("a\0b", 3)));
}

TEST(BinHeader, AutomaticReceptionTakesShortNamesOrNamesWithADot) {
    EXPECT_TRUE(autoBinNameUsable("SHORT"));
    EXPECT_TRUE(autoBinNameUsable("EIGHTCHR"));
    EXPECT_FALSE(autoBinNameUsable("NINECHARS"));
    EXPECT_TRUE(autoBinNameUsable("LONGNAME.BIN"));
    EXPECT_FALSE(autoBinNameUsable("LONGERNAME.BIN"));
    EXPECT_FALSE(autoBinNameUsable(""));
}

TEST(BinLines, ExactBytes) {
    // The full form TNT and F6FBB read: CRC in decimal, DOS stamp in hex.
    EXPECT_EQ(binHeaderLine(100, 7908, 0x586F645C, "A.BIN", false), "#BIN#100#|7908#$586F645C#A.BIN\r");
    EXPECT_EQ(binHeaderLine(0, 0, 0x00210000, "A.BIN", true), "\r#BIN#0#|0#$00210000#A.BIN\r");
    EXPECT_EQ(binTxReport(7908), "#BIN-TX OK#7908\r");
    EXPECT_EQ(binRxReport(0), "#BIN-RX OK#0\r");
    EXPECT_EQ(kBinAbortLine, "#ABORT#\r");
}

TEST(BinLines, DosStampOfLocalTime) {
    setenv("TZ", "UTC", 1);
    tzset();
    EXPECT_EQ(dosTimestamp(1710506096), 0x586F645Cu) << "2024-03-15 12:34:56";
    EXPECT_EQ(dosTimestamp(0), 0x00210000u) << "before 1980: the DOS epoch";
}

TEST(BinHeader, AllThreeFormsTheFieldSends) {
    const std::string_view full = "#BIN#20480#|30831#$586F645C#RIG.ZIP";
    EXPECT_EQ(binHeaderLength(full), 20480);
    EXPECT_EQ(binHeaderName(full), "RIG.ZIP");
    EXPECT_EQ(binHeaderCrc(full), 30831);
    EXPECT_EQ(binHeaderLength("#BIN#20480#RIG.ZIP"), 20480);
    EXPECT_FALSE(binHeaderCrc("#BIN#20480#RIG.ZIP"));
    EXPECT_EQ(binHeaderLength("#BIN#20480"), 20480) << "F6FBB's BGET: length only";
    EXPECT_EQ(binHeaderName("#BIN#20480"), "");
    EXPECT_FALSE(binHeaderCrc("#BIN#20480#|99999#$0#X")) << "not a 16-bit value";
    EXPECT_FALSE(binHeaderCrc("#BIN#20480#|123")) << "cut before the field ends";
}

TEST(BinHeader, FbbAnnouncesTheNameOnTheLineBefore) {
    EXPECT_EQ(fbbAnnouncedName("Ready to send rig.zip with AUTOBIN protocol.\r"), "rig.zip");
    EXPECT_EQ(fbbAnnouncedName("(1) [0/0kb] C:\\>\rReady to send a.b with AUTOBIN protocol.\r\r"), "a.b");
    EXPECT_FALSE(fbbAnnouncedName("Ready to send a.b with AUTOBIN protocol.\rmore text\r")) << "not just before";
    EXPECT_FALSE(fbbAnnouncedName("Ready to send  with AUTOBIN protocol."));
    EXPECT_FALSE(fbbAnnouncedName("Ready to send a b with AUTOBIN protocol."));
}

TEST(BinLines, SenderReportOnlyWhenWhole) {
    EXPECT_EQ(findTxReport("\r#BIN-TX OK#7908\r"), 7908);
    EXPECT_EQ(findTxReport("BIN-TX OK #30831\r(1) [0/0kb] C:\\>"), 30831) << "F6FBB's form";
    EXPECT_FALSE(findTxReport("\r#BIN-TX OK#79")) << "more digits may follow";
    EXPECT_FALSE(findTxReport("\r#BIN-TX OK#99999\r")) << "not a 16-bit value";
    EXPECT_FALSE(findTxReport("#BIN-TX OK#x"));
    EXPECT_TRUE(isOnlyTxReport("\r#BIN-TX OK#7908\r"));
    EXPECT_TRUE(isOnlyTxReport("BIN-TX OK #30831\r"));
    EXPECT_FALSE(isOnlyTxReport("BIN-TX OK #30831\r(1) [0/0kb] C:\\>")) << "the prompt must go on";
    EXPECT_FALSE(isOnlyTxReport("#BIN-TX OK#\r"));
}

}  // namespace
}  // namespace norva
