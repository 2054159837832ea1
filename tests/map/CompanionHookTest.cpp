// The companion hook on channels of a scripted TNC: it opens the channel's
// link to "Travo" once per connection, ten seconds after it was made, only
// while connected, and says nothing when no companion program is there.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeMap.h"
#include "channel/ChannelRig.h"
#include "dde/ChannelDde.h"
#include "dde/CompanionHook.h"

namespace norva::test {
namespace {

using Strings = std::vector<std::string>;

// Probes are answered when the test says so; sent lines are recorded.
struct LaterTransport : DdeLinkTransport {
    bool probe(const DdeLinkTarget& t, std::function<void(bool)> done) override {
        asked.push_back(t.service + " " + t.topic);
        waiting.push_back(std::move(done));
        return true;
    }
    bool send(const DdeLinkTarget& t, std::string_view line, std::function<void(const std::string&)>) override {
        lines.push_back(t.topic + ": " + std::string(line));
        return true;
    }
    void answer(bool there) {
        auto all = std::move(waiting);
        waiting.clear();
        for (auto& done : all) done(there);
    }
    Strings asked, lines;
    std::vector<std::function<void(bool)>> waiting;
};

struct HookFactory : ChannelJobFactory {
    std::unique_ptr<ChannelDdeObject> ddeObject(CTncChannel& ch) override {
        return makeChannelDde(ch, nullptr, &links, nullptr);
    }
    std::unique_ptr<CChannelJob> companionHook(CTncChannel& ch) override {
        made.push_back(ch.slot());
        return makeTravoHook(ch, &quiet);
    }
    LaterTransport links;  // how the channel's links reach other programs
    LaterTransport quiet;  // the hook's own question whether Travo is there
    std::vector<int> made;
};

class CompanionHookTest : public ::testing::Test {
protected:
    void SetUp() override {
        rig.ctx.channels.hooks().setJobs(&factory);
        rig.configure(1, 4, "DL1XYZ");
        rig.appendIni("[Link5]\r\nTravoAuto=0\r\n");
        rig.create();
    }
    void TearDown() override {
        rig.host.reset();
        rig.ctx.channels.hooks().setJobs(nullptr);
    }
    CTncChannel& ch(int n) { return rig.channel(1, n); }
    void connect(int n, const std::string& call) {
        rig.queueStatus(n, "(" + std::to_string(n) + ") CONNECTED to " + call);
        rig.poll(n);
        linkState(n, 4);
    }
    void linkState(int n, int state) {
        rig.lAnswers[n] = "0 0 0 0 0 " + std::to_string(state);
        for (int i = 0; i < 5; ++i) ch(n).poll(PollMode::StatusOnly);
    }
    void ticks(int n, int count = 3) {
        for (int i = 0; i < count; ++i) ch(n).tick();
    }
    // The channel's notices about the Travo link.
    Strings travoNotices(int n) {
        Strings out;
        for (const auto& [slot, cls, bytes] : rig.ui.texts)
            if (slot == ch(n).slot() && cls == 2 && bytes.find("Travo") != std::string::npos) out.push_back(bytes);
        return out;
    }
    ChannelDdeLinks& links(int n) { return *static_cast<CChannelDde*>(ch(n).ddeObject())->links(); }

    HookFactory factory;
    ChannelRig rig;
};

TEST(TravoLinkText, NamesTheChannelAsItsCommandTopicDoes) {
    EXPECT_EQ(travoLinkText(1, 3), "Travo Channel3");
    EXPECT_EQ(travoLinkText(2, 10), "Travo Channel2_10");
}

TEST_F(CompanionHookTest, OpensTheLinkTenSecondsOnOncePerConnectionWhenTravoIsThere) {
    // TravoAuto on (the default) for channels 1 to 3, off for 4; never channel 0.
    EXPECT_EQ(std::count(factory.made.begin(), factory.made.end(), ch(2).slot()), 1);
    EXPECT_EQ(std::count(factory.made.begin(), factory.made.end(), ch(4).slot()), 0);
    EXPECT_EQ(std::count(factory.made.begin(), factory.made.end(), ch(0).slot()), 0);

    connect(2, "DB0ABC");
    ticks(2);
    EXPECT_TRUE(factory.quiet.asked.empty()) << "not within the first ten seconds";
    rig.clock.advanceMs(CTravoHook::kDelayMs + 1);
    ticks(2);
    EXPECT_EQ(factory.quiet.asked, (Strings{"Travo Channel2"}));
    EXPECT_TRUE(ch(2).linkState().companionMark());
    factory.quiet.answer(true);
    EXPECT_EQ(factory.links.asked, (Strings{"Travo Channel2"}));
    factory.links.answer(true);
    EXPECT_EQ(travoNotices(2), (Strings{"\rDde Connection to Travo Channel2 successful.\r"}));
    EXPECT_TRUE(links(2).exists("Travo Channel2"));
    // The link carries the channel's text from now on.
    rig.queueInfo(2, "hello\r");
    rig.poll(2);
    EXPECT_NE(std::find(factory.links.lines.begin(), factory.links.lines.end(), "Channel2: 02 INFO hello\r\n"),
              factory.links.lines.end());
    // Once per connection.
    ticks(2, 5);
    EXPECT_EQ(factory.quiet.asked.size(), 1u);
}

TEST_F(CompanionHookTest, WithoutTravoNothingIsShownAndTheNextConnectionTriesAgain) {
    rig.clock.advanceMs(CTravoHook::kDelayMs + 1);
    connect(1, "DB0ABC");
    ticks(1);
    ASSERT_EQ(ch(1).linkState().linkStateValue(), 4) << ch(1).linkState().linkState();
    factory.quiet.answer(false);
    ticks(1, 5);
    EXPECT_EQ(factory.quiet.asked, (Strings{"Travo Channel1"}));
    EXPECT_TRUE(factory.links.asked.empty());
    EXPECT_TRUE(travoNotices(1).empty());
    EXPECT_EQ(links(1).openCount(), 0);
    // A new connection clears the mark: asked once more.
    rig.queueStatus(1, "(1) DISCONNECTED fm DB0ABC");
    rig.poll(1);
    connect(1, "DB0XYZ");
    ticks(1, 5);
    EXPECT_EQ(factory.quiet.asked.size(), 2u);
}

TEST_F(CompanionHookTest, NotWhileDisconnectedNorAfterTheConnectionEndedNorWithTravoAutoOff) {
    rig.clock.advanceMs(CTravoHook::kDelayMs + 1);
    // The connect text came, the TNC's status is not yet connected: nothing
    // is asked, and the try is kept for when it is.
    rig.queueStatus(3, "(3) CONNECTED to DB0ABC");
    rig.poll(3);
    linkState(3, 2);
    ticks(3);
    EXPECT_FALSE(ch(3).linkState().companionMark());
    EXPECT_TRUE(factory.quiet.asked.empty());
    linkState(3, 4);
    ticks(3);
    EXPECT_TRUE(ch(3).linkState().companionMark());
    EXPECT_EQ(factory.quiet.asked, (Strings{"Travo Channel3"}));
    factory.quiet.answer(false);
    factory.quiet.asked.clear();

    // The connection ends while the bus is asked: the late yes opens nothing.
    connect(2, "DB0ABC");
    ticks(2);
    ASSERT_EQ(factory.quiet.asked.size(), 1u);
    rig.queueStatus(2, "(2) DISCONNECTED fm DB0ABC");
    rig.poll(2);
    linkState(2, 0);
    factory.quiet.answer(true);
    EXPECT_TRUE(factory.links.asked.empty());

    // TravoAuto switched off on a running channel: the hook rests.
    connect(1, "DB0XYZ");
    ch(1).settings().travoAuto = false;
    ticks(1);
    EXPECT_FALSE(ch(1).linkState().companionMark());
    EXPECT_EQ(factory.quiet.asked.size(), 1u);
}

TEST_F(CompanionHookTest, AHookGoneBeforeTheAnswerOpensNothing) {
    rig.clock.advanceMs(CTravoHook::kDelayMs + 1);
    connect(2, "DB0ABC");
    ticks(2);
    ASSERT_EQ(factory.quiet.asked.size(), 1u);
    ch(2).destroyJob(JobSlot::CompanionHook);
    factory.quiet.answer(true);
    EXPECT_TRUE(factory.links.asked.empty());
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

// The same over a private bus, with the transports the program uses.
class CompanionHookBusTest : public MapBusTest {
protected:
    struct BusFactory : ChannelJobFactory {
        std::unique_ptr<ChannelDdeObject> ddeObject(CTncChannel& ch) override {
            return makeChannelDde(ch, nullptr, transport.get(), nullptr);
        }
        std::unique_ptr<CChannelJob> companionHook(CTncChannel& ch) override {
            return makeTravoHook(ch, transport.get());
        }
        std::unique_ptr<BusLinkTransport> transport;
    };
    struct Monitor : DdeTopicHandler {
        bool execute(std::string_view line) override {
            lines.emplace_back(line);
            return true;
        }
        Strings lines;
    };
    void SetUp() override {
        MapBusTest::SetUp();
        if (IsSkipped()) return;
        factory.transport = std::make_unique<BusLinkTransport>(*client);
        rig.ctx.channels.hooks().setJobs(&factory);
        rig.configure(1, 4, "DL1XYZ");
        rig.create();
        rig.clock.advanceMs(CTravoHook::kDelayMs + 1);
    }
    void TearDown() override {
        rig.host.reset();
        rig.ctx.channels.hooks().setJobs(nullptr);
    }
    void connect(int n) {
        rig.queueStatus(n, "(" + std::to_string(n) + ") CONNECTED to DB0ABC");
        rig.poll(n);
        rig.lAnswers[n] = "0 0 0 0 0 4";
        for (int i = 0; i < 5; ++i) rig.channel(1, n).poll(PollMode::StatusOnly);
    }
    bool anyTravoText() const {
        for (const auto& [slot, cls, bytes] : rig.ui.texts)
            if (bytes.find("Travo") != std::string::npos) return true;
        return false;
    }

    BusFactory factory;
    ChannelRig rig;
};

TEST_F(CompanionHookBusTest, NoCompanionOnTheBusNothingShows) {
    connect(2);
    ASSERT_TRUE(serve([&] {
        rig.channel(1, 2).tick();
        return rig.channel(1, 2).linkState().companionMark() && client->pending() == 0;
    }));
    EXPECT_FALSE(anyTravoText());
}

TEST_F(CompanionHookBusTest, ACompanionOnTheBusGetsTheChannelsLines) {
    Monitor monitor;
    startMap("Travo");
    ASSERT_TRUE(mapService->registerTopic("Channel2", monitor));
    connect(2);
    auto* dde = static_cast<CChannelDde*>(rig.channel(1, 2).ddeObject());
    ASSERT_TRUE(serve([&] {
        rig.channel(1, 2).tick();
        return dde->links()->anyOpen() && dde->links()->exists("Travo Channel2") && client->pending() == 0;
    }));
    rig.queueInfo(2, "hello\r");
    rig.poll(2);
    ASSERT_TRUE(serve([&] { return !monitor.lines.empty(); }));
    EXPECT_EQ(monitor.lines.back(), "02 INFO hello\r\n");
}

}  // namespace
}  // namespace norva::test
