// A channel's DDE object made through the channel hooks: records polled
// from a scripted TNC reach the items and the service in arrival order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/ChannelRig.h"
#include "dde/ChannelDde.h"

namespace norva::test {
namespace {

struct RecordingHost : DdeTopicHost {
    bool registerTopic(std::string_view topic, DdeTopicHandler&) override {
        topics.emplace_back(topic);
        return true;
    }
    void unregisterTopic(std::string_view topic) override { left.emplace_back(topic); }
    void itemChanged(std::string_view topic, std::string_view item, std::string_view value) override {
        if (topic == watch) changes.push_back(std::string(item) + "=" + std::string(value));
    }
    std::vector<std::string> topics, left, changes;
    std::string watch = "01/02";
};

// Every service is there at once; lines are recorded.
struct InstantTransport : DdeLinkTransport {
    bool probe(const DdeLinkTarget&, std::function<void(bool)> done) override {
        done(true);
        return true;
    }
    bool send(const DdeLinkTarget& t, std::string_view line, std::function<void(const std::string&)>) override {
        lines.push_back(t.service + ": " + std::string(line));
        return true;
    }
    std::vector<std::string> lines;
};

struct DdeFactory : ChannelJobFactory {
    explicit DdeFactory(DdeTopicHost& h) : host(h) {}
    std::unique_ptr<ChannelDdeObject> ddeObject(CTncChannel& ch) override {
        auto dde = makeChannelDde(ch, &host, &transport);
        made.push_back(dde.get());
        return dde;
    }
    DdeTopicHost& host;
    InstantTransport transport;
    std::vector<CChannelDde*> made;
};

class ChannelDdeHook : public ::testing::Test {
protected:
    void SetUp() override {
        rig.ctx.channels.hooks().setJobs(&factory);
        rig.configure(1, 4, "DL1XYZ");
        // Channel 2 of TNC 1 (slot 3) opens its link when it is created.
        rig.appendIni("[DdeLinks]\r\nlog=Logger Monitor\r\n[Link3]\r\nDde=log,nolink\r\n");
        rig.create();
    }
    void TearDown() override {
        rig.host.reset();
        rig.ctx.channels.hooks().setJobs(nullptr);
    }
    CTncChannel& ch(int n) { return rig.channel(1, n); }

    RecordingHost host;
    DdeFactory factory{host};
    ChannelRig rig;
};

TEST_F(ChannelDdeHook, EveryChannelPublishesItsTopicsAndPolledRecordsReachThem) {
    EXPECT_EQ(factory.made.size(), 8u);  // channels 0 to 4, and 0 to 2 of the dummy TNC 5
    EXPECT_NE(std::find(host.topics.begin(), host.topics.end(), "Channel5_1"), host.topics.end());
    EXPECT_NE(std::find(host.topics.begin(), host.topics.end(), "01/00"), host.topics.end());
    EXPECT_NE(std::find(host.topics.begin(), host.topics.end(), "Channel4"), host.topics.end());

    // The link state reports the empty destination calls when it starts.
    EXPECT_EQ(host.changes, (std::vector<std::string>{"DESTCALL=", "ALIASDESTCALL="}));
    host.changes.clear();
    rig.queueStatus(2, "(2) CONNECTED to DL1ABC-3");
    rig.poll(2);
    rig.queueInfo(2, "hello\rworld\r");
    rig.poll(2);
    const std::string status = "\r(2) CONNECTED to DL1ABC-3\r\n";
    const std::vector<std::string> expected = {"CONN=" + status, "INFO=" + status, "ALL=" + status,
                                               "DESTCALL=DL1ABC-3", "ALIASDESTCALL=DL1ABC-3",
                                               "INFO=hello\r\nworld\r\n", "ALL=hello\r\nworld\r\n"};
    // Status polls may add LSTAT in between; everything else comes in this order.
    std::vector<std::string> got;
    for (const std::string& c : host.changes)
        if (c.rfind("LSTAT=", 0) != 0) got.push_back(c);
    EXPECT_EQ(got, expected);
    const CChannelDde* dde = static_cast<const CChannelDde*>(ch(2).ddeObject());
    EXPECT_EQ(dde->busValue(DdeItem::Conn), status);
}

TEST_F(ChannelDdeHook, AutomaticLinksOpenWithTheChannelAndForwardBeforeTheItemsChange) {
    const CChannelDde* dde = static_cast<const CChannelDde*>(ch(2).ddeObject());
    ASSERT_TRUE(dde->links());
    EXPECT_EQ(dde->links()->openCount(), 1);
    EXPECT_FALSE(static_cast<const CChannelDde*>(ch(1).ddeObject())->active());
    bool shown = false;
    for (const auto& [slot, cls, bytes] : rig.ui.texts)
        if (slot == 3 && cls == 2 && bytes == "\rDde Connection to Logger Monitor successful.\r") shown = true;
    EXPECT_TRUE(shown);
    rig.queueInfo(2, "hi\r");
    rig.poll(2);
    rig.queueStatus(2, "(2) CONNECTED to DL1ABC-3");
    rig.poll(2);
    std::vector<std::string> lines;
    for (const std::string& l : factory.transport.lines)
        if (l.rfind("Logger: 02 STAT", 0) != 0) lines.push_back(l);
    EXPECT_EQ(lines, (std::vector<std::string>{"Logger: 02 INFO hi\r\n", "Logger: 02 CONN DL1ABC-3"}));
}

TEST_F(ChannelDdeHook, ChannelsLeaveTheServiceWhenTheyGo) {
    rig.host.reset();
    EXPECT_EQ(host.left.size(), host.topics.size());
}

}  // namespace
}  // namespace norva::test
