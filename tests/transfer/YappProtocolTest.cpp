// The YAPP wire format: the exact bytes of every packet Norva sends, the
// stream reader cutting packets across and within frames, and hostile
// payloads (bad lengths, huge sizes, malformed headers and resumes).
#include <gtest/gtest.h>

#include <vector>

#include "transfer/YappProtocol.h"

namespace norva::test {
namespace {

using namespace std::string_literals;

std::vector<YappPacket> drain(YappReader& reader) {
    std::vector<YappPacket> out;
    while (auto p = reader.next()) out.push_back(*p);
    return out;
}

TEST(YappPackets, EveryPacketHasTheBytesOfTheProtocol) {
    EXPECT_EQ(kYappSendInit, "\x05\x01"s);
    EXPECT_EQ(kYappRcvReady, "\x06\x01"s);
    EXPECT_EQ(kYappRcvFile, "\x06\x02"s);
    EXPECT_EQ(kYappAckEof, "\x06\x03"s);
    EXPECT_EQ(kYappAckEot, "\x06\x04"s);
    EXPECT_EQ(kYappCanAck, "\x06\x05"s);
    EXPECT_EQ(kYappRcvTpk, "\x06\x06"s);
    EXPECT_EQ(kYappEof, "\x03\x01"s);
    EXPECT_EQ(kYappEot, "\x04\x01"s);
    // 2024-03-15 12:34:56 is date 586F, time 645C.
    const std::uint32_t stamp = dosDateTime(2024, 3, 15, 12, 34, 56);
    EXPECT_EQ(stamp, 0x586F645Cu);
    EXPECT_EQ(yappHeader("hello.txt", 5, stamp), "\x01\x15hello.txt\0" "5\0" "586F645C\0"s);
    EXPECT_EQ(yappHeader("a", 1234567, std::nullopt), "\x01\x0a" "a\0" "1234567\0"s);
    EXPECT_EQ(yappData("Hello", true), "\x02\x05Hello\xF4"s);
    EXPECT_EQ(yappData("Hello", false), "\x02\x05Hello"s);
    const std::string full(256, '\xff');
    EXPECT_EQ(yappData(full + "cut", false), "\x02\x00"s + full) << "256 bytes have length 0, more are cut";
    EXPECT_EQ(yappData(full, true).back(), '\x00') << "256 * 0xFF = 0xFF00";
    EXPECT_EQ(yappResume(3, true), "\x15\x06R\0" "3\0" "C\0"s);
    EXPECT_EQ(yappResume(3, false), "\x15\x04R\0" "3\0"s);
    EXPECT_EQ(yappCancel("Cancelled by user"), "\x18\x11" "Cancelled by user"s);
    EXPECT_EQ(yappNotReady("File exists"), "\x15\x0b" "File exists"s);
    // An empty reason is read as 256 bytes by some programs: never sent.
    EXPECT_GT(yappCancel("").size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(yappCancel("").at(1)), yappCancel("").size() - 2);
    EXPECT_EQ(yappCancel(std::string(400, 'x')).size(), 257u);
    // A long name is cut so the header's length byte stays true.
    const std::string header = yappHeader(std::string(300, 'n'), 99, stamp);
    EXPECT_EQ(header.size(), 257u);
    EXPECT_EQ(static_cast<unsigned char>(header[1]), 255);
    EXPECT_EQ(parseYappHeader(std::string_view(header).substr(2))->size, 99);
}

TEST(YappPackets, DosStampsRoundTripAndClamp) {
    const YappCalendar c = fromDosDateTime(0x586F645Cu);
    EXPECT_EQ(c.year, 2024);
    EXPECT_EQ(c.month, 3);
    EXPECT_EQ(c.day, 15);
    EXPECT_EQ(c.hour, 12);
    EXPECT_EQ(c.minute, 34);
    EXPECT_EQ(c.second, 56);
    // A month of 0 (a sender counting from 0) and a day of 0 are clamped, never rejected.
    const YappCalendar zero = fromDosDateTime(0x00000000u);
    EXPECT_EQ(zero.month, 1);
    EXPECT_EQ(zero.day, 1);
    EXPECT_EQ(fromDosDateTime(0xFFFFFFFFu).hour, 23);
    EXPECT_EQ(dosDateTime(1970, 1, 1, 0, 0, 0) >> 25, 0u) << "before 1980 is 1980";
}

TEST(YappReader, CutsPacketsByTypeAndLengthAcrossAndWithinFrames) {
    const std::string stream = std::string(kYappSendInit) + yappHeader("f.bin", 300, 0x586F645C) +
                               yappData(std::string(256, 'a'), true) + yappData("xyz", true) + std::string(kYappEof) +
                               std::string(kYappEot) + yappCancel("bye") + "\x10\x02hi"s + "\x05\x02"s + "\x06\x09"s;
    // Byte by byte, and all at once: the same packets.
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, stream.size()}) {
        YappReader reader;
        std::vector<YappPacket> got;
        for (std::size_t at = 0; at < stream.size(); at += piece) {
            reader.feed(std::string_view(stream).substr(at, piece));
            while (auto p = reader.next()) {
                got.push_back(*p);
                // Checksums are on from the header on, as after an RT.
                if (p->type == YappType::Header) reader.setChecksum(true);
            }
        }
        ASSERT_EQ(got.size(), 10u) << piece;
        EXPECT_EQ(got[0].type, YappType::SendInit);
        EXPECT_EQ(got[1].type, YappType::Header);
        EXPECT_EQ(got[2].type, YappType::Data);
        EXPECT_EQ(got[2].payload, std::string(256, 'a'));
        EXPECT_TRUE(got[2].checksumOk);
        EXPECT_EQ(got[3].payload, "xyz");
        EXPECT_EQ(got[4].type, YappType::Eof);
        EXPECT_EQ(got[5].type, YappType::Eot);
        EXPECT_EQ(got[6].type, YappType::Cancel);
        EXPECT_EQ(got[6].payload, "bye");
        EXPECT_EQ(got[7].type, YappType::Text);
        EXPECT_EQ(got[7].payload, "hi");
        EXPECT_EQ(got[8].type, YappType::ServerCmd) << "05 02 is two bytes";
        EXPECT_EQ(got[9].type, YappType::AckOther);
        EXPECT_EQ(reader.buffered(), 0u);
    }
}

TEST(YappReader, HostileStreamsNeverOverreadAndStayBounded) {
    YappReader reader;
    // A wrong checksum is reported, not hidden; the packet still has its length.
    reader.setChecksum(true);
    reader.feed("\x02\x03" "abc\x00" "\x03\x01"s);
    auto got = drain(reader);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_FALSE(got[0].checksumOk);
    EXPECT_EQ(got[1].type, YappType::Eof);
    // Bytes that start no packet come out one by one, as text.
    reader.setChecksum(false);
    reader.feed("ok\r\x05"s);
    got = drain(reader);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].type, YappType::Unknown);
    EXPECT_EQ(got[0].payload + got[1].payload + got[2].payload, "ok\r");
    EXPECT_EQ(reader.buffered(), 1u) << "a lone ENQ waits for its second byte";
    reader.clear();
    // Length 0 is an empty payload for the length types, 256 only for data.
    reader.feed("\x18\x00\x15\x00\x01\x00"s);
    got = drain(reader);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_TRUE(got[0].payload.empty());
    EXPECT_EQ(got[1].type, YappType::NotReady);
    EXPECT_EQ(got[2].type, YappType::Header);
    // A data packet claiming 256 bytes that never come holds at most one packet.
    reader.feed("\x02\x00"s + std::string(200, 'x'));
    EXPECT_FALSE(reader.next());
    EXPECT_LE(reader.buffered(), kYappMaxPacket);
    // Megabytes of garbage pass through without growing the buffer.
    for (int i = 0; i < 4000; ++i) {
        YappReader r2;
        r2.feed(std::string(256, static_cast<char>(0x80 + i % 64)));
        std::size_t n = 0;
        while (r2.next()) ++n;
        ASSERT_EQ(n, 256u);
        ASSERT_EQ(r2.buffered(), 0u);
    }
}

TEST(YappPayloads, HeadersAndResumesFromTheAirAreCheckedStrictly) {
    // The mailbox's right-aligned size and a lower-case stamp.
    auto h = parseYappHeader("FILE.ZIP\0      5\0" "586f645c\0"s);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->name, "FILE.ZIP");
    EXPECT_EQ(h->size, 5);
    EXPECT_EQ(h->dosDateTime, 0x586F645Cu);
    // Names keep their path here; the receiver makes them plain.
    EXPECT_EQ(parseYappHeader("../../etc/passwd\0" "1\0"s)->name, "../../etc/passwd");
    // A stamp that is not eight hex digits is no offer of checksums.
    EXPECT_FALSE(parseYappHeader("a\0" "1\0" "586F645\0"s)->dosDateTime);
    EXPECT_FALSE(parseYappHeader("a\0" "1\0" "586F645G\0"s)->dosDateTime);
    EXPECT_FALSE(parseYappHeader("a\0" "1\0" "586F645C"s)->dosDateTime) << "no NUL after the stamp";
    EXPECT_FALSE(parseYappHeader("a\0" "1\0"s)->dosDateTime);
    // Bad sizes: none, signs, junk, beyond 2^31-1, no terminating NUL.
    for (const std::string& bad : {"a\0\0"s, "a\0-1\0"s, "a\0+1\0"s, "a\0 1x\0"s, "a\0" "2147483648\0"s,
                                  "a\0" "99999999999999999999999\0"s, "a\0" "12"s, "a"s, ""s, "\0\0"s})
        EXPECT_FALSE(parseYappHeader(bad)) << bad;
    EXPECT_EQ(parseYappHeader("a\0" "2147483647\0"s)->size, 2147483647);

    EXPECT_EQ(parseYappResume("R\0" "3\0" "C\0"s)->offset, 3);
    EXPECT_TRUE(parseYappResume("R\0" "3\0" "C\0"s)->checksum);
    EXPECT_FALSE(parseYappResume("R\0" "3\0"s)->checksum);
    for (const std::string& refusal : {"File exists"s, "R"s, "R\0"s, "R\0x\0"s, "R\0" "3"s, "R\0" "9999999999\0"s})
        EXPECT_FALSE(parseYappResume(refusal)) << "a plain refusal";
}

}  // namespace
}  // namespace norva::test
