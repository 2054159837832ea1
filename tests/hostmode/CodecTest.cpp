// The host-mode codec: frame encoding and reply reception, on a scripted stream.
#include <gtest/gtest.h>

#include "channel/TncChannel.h"
#include "hostmode/TfpcrDriver.h"
#include "support/HostRig.h"

namespace norva::test {
namespace {

class CodecTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.configure(1, 4);
        rig.create();
        tnc = rig.host->tnc(1);
        ASSERT_TRUE(tnc && tnc->isOpen());
        rig.state->writes.clear();
        rig.state->responder = nullptr;  // each test scripts its reply
        rig.ui.texts.clear();
    }
    CTncChannel& ch(int n) { return *channelOf(*tnc, n); }

    HostRig rig;
    CTnc* tnc = nullptr;
};

TEST_F(CodecTest, FrameEncodingAndZeroLengthRefused) {
    EXPECT_EQ(tnc->sendFrame(ch(2), {kKindCommand, "C DL1ABC"}), 1);
    EXPECT_EQ(tnc->sendFrame(ch(3), {kKindInfo, "hi"}), 1);
    EXPECT_EQ(tnc->sendFrame(ch(3), {kKindInfo, ""}), 0);
    ASSERT_EQ(rig.state->writes.size(), 2u);
    EXPECT_EQ(rig.state->writes[0], frame(2, true, "C DL1ABC"));
    EXPECT_EQ(rig.state->writes[1], frame(3, false, "hi"));
}

TEST_F(CodecTest, TextReplyInPiecesIsAssembled) {
    rig.state->pending = reply(2, 1, "CHANNEL NOT CONNECTED");
    rig.state->fragment = 1;  // one byte per read
    EXPECT_EQ(tnc->receiveReply(&ch(2)), 1);
    EXPECT_FALSE(tnc->outOfSync());
    EXPECT_EQ(ch(2).received().kind, kKindReply);
    EXPECT_EQ(ch(2).received().text(), "\rCHANNEL NOT CONNECTED");
}

TEST_F(CodecTest, ReplyCodesBecomeKinds) {
    struct Case {
        std::string bytes;
        int kind;
        std::string text;
    } cases[] = {
        {reply(2, 2, "INVALID COMMAND"), kKindReply, "\rINVALID COMMAND"},
        {reply(2, 3, "(2) CONNECTED to DL1ABC-3"), kKindLinkStatus, "\r(2) CONNECTED to DL1ABC-3\r\n"},
        {reply(2, 4, "fm A to B ctl UA"), kKindMonHeader, "\rfm A to B ctl UA"},
        {reply(2, 5, "fm A to B ctl I00"), kKindMonHeaderInfo, "\rfm A to B ctl I00"},
        {counted(2, 6, "mon"), kKindMonInfo, "\rmon"},
        {counted(2, 7, std::string("a\0b", 3)), kKindConnected, std::string("a\0b", 3)},
    };
    for (const auto& c : cases) {
        rig.state->pending = c.bytes;
        ASSERT_EQ(tnc->receiveReply(&ch(2)), 1) << c.text;
        EXPECT_EQ(ch(2).received().kind, c.kind) << c.text;
        EXPECT_EQ(ch(2).received().text(), c.text);
    }
}

TEST_F(CodecTest, EmptyReplySetsIdleCountdownExceptOnMonitor) {
    rig.state->pending = reply(3, 0);
    EXPECT_EQ(tnc->receiveReply(&ch(3)), 1);
    EXPECT_EQ(ch(3).gCountdown(), 4);
    rig.state->pending = reply(0, 0);
    EXPECT_EQ(tnc->receiveReply(&ch(0)), 1);
    EXPECT_EQ(ch(0).gCountdown(), 1);
}

TEST_F(CodecTest, CountedReplyOf256BytesCompletesAt259) {
    const std::string payload(256, 'x');
    rig.state->pending = counted(1, 7, payload);
    rig.state->fragment = 100;
    EXPECT_EQ(tnc->receiveReply(&ch(1)), 1);
    EXPECT_EQ(ch(1).received().length, 256);
}

TEST_F(CodecTest, ReplyForAnotherChannelFailsWithoutLosingSync) {
    rig.state->pending = reply(3, 1, "x") + "trailing junk";
    EXPECT_EQ(tnc->receiveReply(&ch(2)), 0);
    EXPECT_FALSE(tnc->outOfSync());
    EXPECT_TRUE(rig.state->pending.empty()) << "input flushed";
}

// The longest text replies the codec accepts reach the channel whole.
TEST_F(CodecTest, LongestTextRepliesArriveWhole) {
    const std::string text(kMaxReplyBytes - 3, 't');  // head, text and NUL fill the frame
    rig.state->pending = reply(2, 2, text);
    EXPECT_EQ(tnc->receiveReply(&ch(2)), 1);
    EXPECT_EQ(ch(2).received().text(), "\r" + text);
    rig.state->pending = reply(2, 3, text);
    EXPECT_EQ(tnc->receiveReply(&ch(2)), 1);
    EXPECT_EQ(ch(2).received().text(), "\r" + text + "\r\n");
    EXPECT_FALSE(tnc->outOfSync());
    // One byte more is no reply at all.
    rig.state->pending = reply(2, 2, text + "t");
    EXPECT_EQ(tnc->receiveReply(&ch(2)), 0);
    EXPECT_TRUE(tnc->outOfSync());
}

TEST_F(CodecTest, MissingGarbledOrOversizedRepliesMarkOutOfSync) {
    const std::string bad[] = {
        "",                                        // nothing at all
        std::string("\x02\x09garbage", 9),         // unknown code
        reply(2, 1, std::string(400, 'y')),        // longer than 300 bytes
        counted(2, 7, "abc") + "more",             // grew past its length
        std::string("\x02", 1),                    // cut short
    };
    for (const auto& b : bad) {
        ASSERT_FALSE(tnc->outOfSync());
        rig.state->pending = b;
        const auto before = rig.clock.monotonicMs();
        EXPECT_EQ(tnc->receiveReply(&ch(2)), 0);
        EXPECT_TRUE(tnc->outOfSync());
        EXPECT_LE(rig.clock.monotonicMs() - before, 2100) << "reply limit kept";
        EXPECT_TRUE(rig.state->pending.empty());
        // An answer in host mode brings it back in sync for the next case.
        rig.state->pending = reply(1, 2, "INVALID COMMAND");
        EXPECT_EQ(tnc->resynchronise(), 0);
    }
}

TEST_F(CodecTest, BrokenPortDoesNotWaitOutTheLimit) {
    rig.state->broken = true;
    const auto before = rig.clock.monotonicMs();
    EXPECT_EQ(tnc->receiveReply(&ch(1)), 0);
    EXPECT_TRUE(tnc->outOfSync());
    EXPECT_LT(rig.clock.monotonicMs() - before, 100);
}

TEST_F(CodecTest, ClosedTncSendsNothingAndReceivesSuccess) {
    rig.state->responder = [this](const std::string& w) { return rig.fw.respond(w); };
    tnc->stop();
    rig.state->writes.clear();
    EXPECT_EQ(tnc->sendFrame(ch(1), {kKindInfo, "x"}), 1);
    EXPECT_EQ(tnc->receiveReply(&ch(1)), 1);
    EXPECT_TRUE(rig.state->writes.empty());
}

TEST(PortKind, NamesSelectKinds) {
    EXPECT_EQ(portKindOf("COM2"), PortKind::Serial);
    EXPECT_EQ(portKindOf("TFPCR254"), PortKind::Tfpcr);
    EXPECT_EQ(tfpcrInterrupt("TFPCR254"), 254);
    EXPECT_EQ(portKindOf("dde"), PortKind::Dde);
    EXPECT_EQ(portKindOf("DDE"), PortKind::Dde);
    EXPECT_EQ(portKindOf("xtfpcr253"), PortKind::Serial);
    EXPECT_EQ(portKindOf("/dev/ttyUSB0"), PortKind::Serial);
}

TEST(PortKind, DevicePathKeepsItsCase) {
    HostRig rig;
    rig.configure(1, 2, "/dev/serial/by-id/USB-Adapter_AB12");
    rig.create();
    ASSERT_FALSE(rig.state->openedNames.empty());
    EXPECT_EQ(rig.state->openedNames[0], "/dev/serial/by-id/USB-Adapter_AB12");
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

// A TFPCR driver in memory: bytes the "TNC" has for the host, bytes it got.
struct FakeDriver : TfpcrDriver {
    std::string toHost;
    std::string fromHost;
    std::vector<int> interrupts;
    int status(int irq) override {
        interrupts.push_back(irq);
        return toHost.empty() ? 0 : 1;
    }
    std::uint8_t fetch(int) override {
        const auto b = static_cast<std::uint8_t>(toHost.front());
        toHost.erase(0, 1);
        return b;
    }
    void send(int, std::uint8_t b) override { fromHost += static_cast<char>(b); }
};

TEST(Tfpcr, ByteTransferThroughTheDriver) {
    FakeDriver d;
    CTncPort port({}, nullptr, &d);
    ASSERT_EQ(port.open("TFPCR254", 9600), 254);
    EXPECT_EQ(port.kind(), PortKind::Tfpcr);
    const std::uint8_t frame[] = {0, 1, 0, 'G'};
    EXPECT_EQ(port.write(frame), 4);
    EXPECT_EQ(d.fromHost, std::string("\0\1\0G", 4));
    d.toHost = std::string("\0\0xyz", 5);
    std::array<std::uint8_t, 3> buf{};
    EXPECT_EQ(port.read(buf), 3) << "stops at the maximum";
    EXPECT_EQ(d.toHost, "yz");
    EXPECT_EQ(d.interrupts.front(), 254);
}

TEST(Tfpcr, OtherInterruptsDoNothingAndNoDriverMeansNoPort) {
    FakeDriver d;
    CTncPort port({}, nullptr, &d);
    ASSERT_EQ(port.open("tfpcr199", 9600), 199);
    const std::uint8_t byte[] = {1};
    EXPECT_EQ(port.write(byte), 0);
    EXPECT_TRUE(d.fromHost.empty());
    CTncPort none({}, nullptr);
    EXPECT_EQ(none.open("tfpcr253", 9600), -1);
}

}  // namespace
}  // namespace norva::test
