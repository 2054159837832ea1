// KISS framing: exact bytes of escaped frames and parameter commands, and a
// decoder that gives the same frames however the bytes are cut, and drops
// and counts what is broken without losing the frames around it.
#include <gtest/gtest.h>

#include "kiss/Kiss.h"

namespace norva::kiss {
namespace {

std::string bytes(std::initializer_list<int> v) {
    std::string s;
    for (int b : v) s.push_back(static_cast<char>(b));
    return s;
}

std::vector<KissFrame> decodeAll(KissDecoder& d, std::string_view in) {
    std::vector<KissFrame> out;
    d.feed(in, out);
    return out;
}

TEST(KissFraming, EscapesFendAndFescAndCarriesThePortNibble) {
    EXPECT_EQ(encodeKiss(0, KissCommand::Data, bytes({0xC0, 0xDB, 'a'})),
              bytes({0xC0, 0x00, 0xDB, 0xDC, 0xDB, 0xDD, 'a', 0xC0}));
    EXPECT_EQ(encodeKiss(3, KissCommand::Data, "x"), bytes({0xC0, 0x30, 'x', 0xC0}));
    EXPECT_EQ(encodeKiss(15, KissCommand::TxDelay, bytes({40})), bytes({0xC0, 0xF1, 40, 0xC0}));
}

TEST(KissFraming, ParameterFramesComeFromTheSettings) {
    KissSettings s;
    s.port = 1;
    s.txDelay = 25;
    s.persist = 128;
    s.slotTime = 5;
    s.txTail = 2;
    s.fullDuplex = true;
    EXPECT_EQ(kissParameterFrames(s), bytes({0xC0, 0x11, 25, 0xC0, 0xC0, 0x12, 128, 0xC0, 0xC0, 0x13, 5, 0xC0,
                                             0xC0, 0x14, 2, 0xC0, 0xC0, 0x15, 1, 0xC0}));
    s.txDelay = 999;  // out of range: the largest value a byte holds
    EXPECT_EQ(static_cast<std::uint8_t>(kissParameterFrames(s)[2]), 255);
}

TEST(KissFraming, JoinedAndSplitFramesDecodeAlikeAtEveryCut) {
    const std::string payload1 = bytes({'A', 0xC0, 'B', 0xDB, 'C'});
    const std::string payload2(300, 'z');
    const std::string stream = encodeKiss(0, KissCommand::Data, payload1) + encodeKiss(2, KissCommand::Data, payload2);
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        KissDecoder d;
        std::vector<KissFrame> out;
        d.feed(std::string_view(stream).substr(0, cut), out);
        d.feed(std::string_view(stream).substr(cut), out);
        ASSERT_EQ(out.size(), 2u) << "cut at " << cut;
        EXPECT_EQ(out[0].data, payload1);
        EXPECT_EQ(out[0].port, 0);
        EXPECT_EQ(out[1].data, payload2);
        EXPECT_EQ(out[1].port, 2);
    }
    // Byte by byte, with shared FENDs between frames as many modems send them.
    KissDecoder d;
    std::vector<KissFrame> out;
    const std::string shared = bytes({0xC0, 0x00, 'a', 0xC0, 0x00, 'b', 0xDB, 0xDC, 0xC0});
    for (char c : shared) d.feed(std::string_view(&c, 1), out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].data, bytes({'b', 0xC0}));
}

TEST(KissFraming, GarbageBrokenEscapesAndOversizeFramesAreDroppedAndCounted) {
    KissDecoder d(1100);
    std::string in = "line noise before any FEND";
    in += bytes({0xC0, 0x00, 'x', 0xDB, 'q', 'y', 0xC0});  // FESC + q: broken
    in += bytes({0xC0, 0x00, 'x', 0xDB, 0xC0});            // FESC FEND: broken
    in += encodeKiss(0, KissCommand::Data, std::string(4000, 'L'));  // oversize
    in += bytes({0xC0, 0x06, 1, 0xC0});                    // a command a modem does not send
    in += bytes({0xC0, 0xC0, 0xC0});                       // only fill
    in += encodeKiss(0, KissCommand::Data, "good");
    const auto out = decodeAll(d, in);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data, "good");
    EXPECT_EQ(d.counters().garbage, 26u);
    EXPECT_EQ(d.counters().badEscapes, 2u);
    EXPECT_EQ(d.counters().oversize, 1u);
    EXPECT_EQ(d.counters().nonData, 1u);
    EXPECT_EQ(d.counters().frames, 1u);
}

TEST(KissFraming, AFrameOfExactlyTheLimitPassesOneMoreIsDropped) {
    KissDecoder d(11);  // type byte + 10 data bytes
    auto out = decodeAll(d, encodeKiss(0, KissCommand::Data, std::string(10, 'a')) +
                                encodeKiss(0, KissCommand::Data, std::string(11, 'b')));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data, std::string(10, 'a'));
    EXPECT_EQ(d.counters().oversize, 1u);
}

}  // namespace
}  // namespace norva::kiss
