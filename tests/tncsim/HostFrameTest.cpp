// Frame parser and reply encoders of the simulator.
#include <gtest/gtest.h>

#include "TncsimTestUtil.h"

namespace tncsim {
namespace {

std::optional<HostFrame> pushAll(HostFrameParser& p, std::string_view bytes, int* completions) {
    std::optional<HostFrame> last;
    for (char c : bytes) {
        if (auto f = p.push(static_cast<std::uint8_t>(c))) {
            last = std::move(f);
            ++*completions;
        }
    }
    return last;
}

TEST(HostFrameParser, CompletesExactlyAtAnnouncedLength) {
    HostFrameParser p;
    int done = 0;
    auto frame = pushAll(p, std::string("\x03\x01\x01@B", 5), &done);
    ASSERT_TRUE(frame);
    EXPECT_EQ(done, 1);
    EXPECT_EQ(frame->channel, 3);
    EXPECT_TRUE(frame->isCommand());
    EXPECT_EQ(frame->data, "@B");
    EXPECT_FALSE(p.partial());
}

TEST(HostFrameParser, AnyNonZeroCodeIsCommandAndBytesAreTakenAsTheyCome) {
    HostFrameParser p;
    int done = 0;
    // XON CAN ESC: channel 0x11, code 0x18, 28 data bytes to come.
    pushAll(p, "\x11\x18\x1b", &done);
    EXPECT_TRUE(p.partial());
    EXPECT_EQ(p.missing(), 28u);
    pushAll(p, "jhost 1\r", &done);
    EXPECT_EQ(p.missing(), 20u);
    auto frame = pushAll(p, std::string(20, '\x01'), &done);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->channel, 0x11);
    EXPECT_EQ(frame->code, 0x18);
    EXPECT_TRUE(frame->isCommand());
    EXPECT_EQ(frame->data.size(), 28u);
}

TEST(HostFrameParser, FullSizeFrameAndResetDropsPartialFrame) {
    HostFrameParser p;
    int done = 0;
    std::string data(256, 'x');
    auto frame = pushAll(p, test::info(2, data), &done);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->data, data);
    EXPECT_FALSE(frame->isCommand());
    pushAll(p, "\x01\x01\x05GG", &done);
    EXPECT_TRUE(p.partial());
    p.reset();
    EXPECT_FALSE(p.partial());
    frame = pushAll(p, test::cmd(1, "G"), &done);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->data, "G");
}

TEST(ReplyEncoding, TextCountedAndEmptyReplies) {
    EXPECT_EQ(encodeOk(4), std::string("\x04\x00", 2));
    EXPECT_EQ(encodeText(1, kOkText, "800"), std::string("\x01\x01" "800\0", 6));
    // A NUL inside a text would end it early on the wire; it is dropped.
    EXPECT_EQ(encodeText(1, kError, std::string("A\0B", 3)), std::string("\x01\x02" "AB\0", 5));
    std::string big(300, 'z');
    std::string counted = encodeCounted(2, kConnInfo, big);
    ASSERT_EQ(counted.size(), 259u);
    EXPECT_EQ(static_cast<std::uint8_t>(counted[2]), 255);
    EXPECT_EQ(encodeCounted(2, kMonInfo, ""), encodeOk(2));
    EXPECT_EQ(encodeHostFrame(0, true, ""), "");
}

}  // namespace
}  // namespace tncsim
