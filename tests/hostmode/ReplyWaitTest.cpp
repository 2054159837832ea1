// Waiting for a reply: the in-process TNC takes frames of the full host-mode
// size and is never waited for, and a port that claims to be readable but
// yields nothing is not read in a spin. The clock here moves on with every
// reading, so a loop that spins ends (after the reply limit) and shows up in
// the counts instead of hanging the test.
#include <gtest/gtest.h>

#include <atomic>

#include "channel/ChannelContext.h"
#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "support/ScriptedStream.h"
#include "support/TempDir.h"

namespace norva::test {
namespace {

// One millisecond passes with every look at the clock.
class TickingClock final : public Clock {
public:
    std::int64_t monotonicMs() const override {
        ++readings;
        return ms_ += 1;
    }
    std::int64_t wallSeconds() const override { return 1'700'000'000 + ms_ / 1000; }
    LocalTime localTime() const override { return civilFromSeconds(wallSeconds()); }
    void sleepMs(int ms) override { ms_ += ms; }

    mutable std::atomic<std::uint64_t> readings{0};

private:
    mutable std::atomic<std::int64_t> ms_{1'000'000};
};

// A firmware until told to go bad; then always readable, giving the bytes
// of `garbage` once and nothing after.
class FickleStream final : public ByteStream {
public:
    struct State {
        FakeFirmware fw;
        std::string pending;
        bool bad = false;
        std::string garbage;
        int reads = 0;  // while bad
    };
    explicit FickleStream(State& s) : s_(s) {}

    int read(std::span<std::uint8_t> buf) override {
        std::string& from = s_.bad ? s_.garbage : s_.pending;
        if (s_.bad) ++s_.reads;
        const std::size_t n = std::min(buf.size(), from.size());
        std::copy_n(from.begin(), n, buf.begin());
        from.erase(0, n);
        return static_cast<int>(n);
    }
    int write(std::span<const std::uint8_t> data) override {
        if (!s_.bad) s_.pending += s_.fw.respond(std::string(data.begin(), data.end()));
        return static_cast<int>(data.size());
    }
    bool waitReadable(int) override { return s_.bad || !s_.pending.empty(); }
    bool broken() const override { return false; }

private:
    State& s_;
};

struct Partner : VirtualTncPartner {
    std::vector<std::pair<int, std::string>> frames;
    void infoFrame(int channel, std::string_view data) override { frames.emplace_back(channel, data); }
};

struct TickingRig {
    TempDir dir;
    TickingClock clock;
    Profile profile{dir.path() / "norva.ini"};
    RecordingUi ui;
    SystemLog log{dir.path(), clock};
    FickleStream::State port;
    ChannelContext ctx{HostContext{profile, clock, ui, log, dir.path(), {}, {}, nullptr}};
    std::unique_ptr<CHostMode> host;

    explicit TickingRig(const std::string& portName) {
        ctx.openStream = [this](const std::string&, int, std::string*) {
            return std::unique_ptr<ByteStream>(std::make_unique<FickleStream>(port));
        };
        profile.writeString("Tnc", "1", "1");
        profile.writeString("1", "TncName", "T1");
        profile.writeInt("1", "Channels", 2);
        profile.writeString("1", "ComPort", portName);
        profile.writeInt("1", "Connected", 1);
        host = std::make_unique<CHostMode>(ctx);
        host->createTncs();
    }
    ~TickingRig() { host.reset(); }
    CTnc& tnc() { return *host->tnc(1); }
    CTncChannel& ch(int n) { return *static_cast<CTncChannel*>(tnc().channel(n)); }
};

TEST(InProcessTnc, FramesOfTheFullSizeArriveWholeAndAreAnswered) {
    TickingRig rig("dde");
    ASSERT_TRUE(rig.tnc().isOpen());
    Partner partner;
    rig.host->virtualTnc().setPartner(&partner);

    std::string info(256, '\0');
    for (std::size_t i = 0; i < info.size(); ++i) info[i] = static_cast<char>(i);
    ASSERT_EQ(rig.tnc().sendFrame(rig.ch(2), {kKindInfo, info}), 1);
    ASSERT_EQ(partner.frames.size(), 1u);
    EXPECT_EQ(partner.frames[0].first, 2);
    EXPECT_EQ(partner.frames[0].second, info) << "all 256 bytes, the last one included";
    EXPECT_EQ(rig.tnc().receiveReply(&rig.ch(2)), 1);

    // A command of 256 bytes gets its answer too.
    EXPECT_TRUE(rig.ch(1).sendCommandAndReceive("x" + std::string(255, 'y')));
    EXPECT_EQ(rig.ch(1).received().text(), "\rINVALID COMMAND");
    EXPECT_FALSE(rig.tnc().outOfSync());
}

TEST(InProcessTnc, AReplyThatNeverComesIsNotWaitedFor) {
    TickingRig rig("dde");
    ASSERT_TRUE(rig.tnc().isOpen());
    // The answer to the last frame was taken; nothing else is coming.
    ASSERT_TRUE(rig.ch(1).sendCommandAndReceive("i"));
    const std::uint64_t before = rig.clock.readings.load();
    EXPECT_EQ(rig.tnc().receiveReply(&rig.ch(1)), 0);
    EXPECT_LE(rig.clock.readings.load() - before, 3u) << "the in-process TNC was waited for";
    // The loss is healed at once: it cannot lose a frame.
    rig.host->pollStep();
    EXPECT_FALSE(rig.tnc().outOfSync());
}

TEST(SerialReply, AnAlwaysReadablePortIsNotReadInASpin) {
    for (const std::string& garbage : {std::string(), std::string("\x01\x07", 2)}) {
        TickingRig rig("/dev/ttyFICKLE");
        ASSERT_TRUE(rig.tnc().isOpen());
        ASSERT_FALSE(rig.tnc().outOfSync());
        rig.port.bad = true;
        rig.port.garbage = garbage;
        EXPECT_EQ(rig.tnc().receiveReply(&rig.ch(1)), 0);
        EXPECT_TRUE(rig.tnc().outOfSync());
        // The 2-second limit is sat out, with a few reads, not thousands.
        EXPECT_LE(rig.port.reads, 32) << (garbage.empty() ? "no bytes" : "half a reply");
        EXPECT_GE(rig.port.reads, 2);

        // The host-mode probe of a new start does the same.
        rig.tnc().stop();
        rig.port.reads = 0;
        EXPECT_EQ(rig.tnc().start(), 1);
        EXPECT_LE(rig.port.reads, 64) << "the start sequence spun on the port";
    }
}

}  // namespace
}  // namespace norva::test
