// A channel's DDE object made through the channel hooks: records polled
// from a scripted TNC reach the items and the service in arrival order.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "channel/ChannelRig.h"
#include "dde/ChannelDde.h"

namespace norva::test {
namespace {

struct RecordingHost : DdeTopicHost {
    bool registerTopic(std::string_view topic, DdeTopicHandler& h) override {
        topics.emplace_back(topic);
        handlers[std::string(topic)] = &h;
        return true;
    }
    std::map<std::string, DdeTopicHandler*> handlers;
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

struct RecordingRunner : DdeJobRunner {
    bool sendText(CTncChannel& ch, std::string_view text) override {
        calls.push_back("sendText " + std::to_string(ch.number()) + " " + std::to_string(text.size()));
        return true;
    }
    bool sendFile(CTncChannel&, std::string_view path, bool binary) override {
        calls.push_back(std::string(binary ? "sbin " : "send ") + std::string(path));
        return path == "exists.txt";
    }
    bool receiveFile(CTncChannel&, std::string_view path, bool binary) override {
        calls.push_back(std::string(binary ? "rbin " : "read ") + std::string(path));
        return true;
    }
    bool script(CTncChannel&, std::string_view path) override {
        calls.push_back("script " + std::string(path));
        return false;
    }
    void logoff(CTncChannel& ch) override { calls.push_back("logoff " + std::to_string(ch.number())); }
    std::vector<std::string> calls;
};

struct DdeFactory : ChannelJobFactory {
    explicit DdeFactory(DdeTopicHost& h) : host(h) {}
    std::unique_ptr<ChannelDdeObject> ddeObject(CTncChannel& ch) override {
        auto dde = makeChannelDde(ch, &host, &transport, &runner);
        made.push_back(dde.get());
        return dde;
    }
    DdeTopicHost& host;
    InstantTransport transport;
    RecordingRunner runner;
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

class ChannelCommands : public ChannelDdeHook {
protected:
    bool execute(const std::string& topic, std::string_view command) {
        return host.handlers.at(topic)->execute(command);
    }
    bool poke(std::string_view item, std::string_view data) { return host.handlers.at("01/02")->poke(item, data); }
    std::vector<std::string> echoes() {
        std::vector<std::string> out;
        for (const auto& [slot, cls, bytes] : rig.ui.texts)
            if (slot == 3 && cls == kClassDdeEcho) out.push_back(bytes);
        return out;
    }
    void SetUp() override {
        ChannelDdeHook::SetUp();
        rig.state->writes.clear();
    }
};

TEST_F(ChannelCommands, ExecuteChecksTheLayoutAndTheChannelNumber) {
    EXPECT_TRUE(execute("Channel2", "02 INFO hello \xC3\xA4"));
    EXPECT_TRUE(execute("Channel2", " 2 info again"));
    EXPECT_FALSE(execute("Channel3", "02 INFO wrong channel"));
    EXPECT_FALSE(execute("Channel2", "02 INF"));
    EXPECT_FALSE(execute("Channel2", "02 BLAH x"));
    EXPECT_TRUE(execute("Channel2", "02 INFO"));  // seven characters: an empty argument
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"hello \x84", "again"}));
    EXPECT_EQ(echoes(), (std::vector<std::string>{"hello \x84", "again"}));

    EXPECT_TRUE(execute("Channel2", "02 ATNC C DB0XY"));
    EXPECT_TRUE(poke("cmd", "C DL1ABC"));
    std::vector<std::string> connects;  // the channel sets its own call ("i") first
    for (const std::string& c : rig.commands())
        if (c.rfind("i ", 0) != 0) connects.push_back(c);
    EXPECT_EQ(connects, (std::vector<std::string>{"C DB0XY", "C DL1ABC"}));

    EXPECT_TRUE(execute("Channel2", "02 QUIT"));
    EXPECT_TRUE(poke("QUIT", ""));
    EXPECT_EQ(factory.runner.calls, (std::vector<std::string>{"logoff 2", "logoff 2"}));
}

TEST_F(ChannelCommands, LongTextBecomesASendJobUnlessOneRuns) {
    auto sent = [&] {
        std::string all;
        for (const std::string& piece : rig.infos()) all += piece;
        return all;
    };
    EXPECT_TRUE(poke("CONV", std::string(255, 'a')));
    EXPECT_EQ(sent(), std::string(255, 'a'));  // at once, in Packlen pieces
    EXPECT_TRUE(poke("CONV", std::string(256, 'b')));
    EXPECT_EQ(sent(), std::string(255, 'a'));
    EXPECT_EQ(factory.runner.calls, (std::vector<std::string>{"sendText 2 256"}));
    ch(2).setJob(JobSlot::Send, std::make_unique<RecJob>("send", rig.events));
    EXPECT_FALSE(poke("CONV", std::string(256, 'c')));
    EXPECT_FALSE(execute("Channel2", "02 INFO " + std::string(300, 'd')));
    EXPECT_EQ(factory.runner.calls.size(), 1u);
    EXPECT_TRUE(poke("STOP", ""));
    EXPECT_EQ(ch(2).job(JobSlot::Send), nullptr);
}

TEST_F(ChannelCommands, PokeItemsSwitchRemoteAndHandJobsToTheRunner) {
    EXPECT_TRUE(poke("REM", ""));
    EXPECT_FALSE(ch(2).settings().remote);
    EXPECT_TRUE(poke("rem", "on"));
    EXPECT_TRUE(ch(2).settings().remote);
    EXPECT_TRUE(poke("REMQUIT", ""));
    EXPECT_FALSE(ch(2).settings().remoteQuit);
    EXPECT_FALSE(poke("SBIN", ""));  // nothing being sent: no file to open
    EXPECT_TRUE(poke("SEND", "exists.txt"));
    EXPECT_FALSE(poke("SBIN", "missing.bin"));
    EXPECT_TRUE(poke("RBIN", "in.bin"));
    EXPECT_FALSE(poke("SCRIPT", "x.scr"));
    EXPECT_FALSE(poke("INFO", "data items are not poked"));
    EXPECT_EQ(factory.runner.calls,
              (std::vector<std::string>{"send exists.txt", "sbin missing.bin", "rbin in.bin", "script x.scr"}));
}

TEST_F(ChannelCommands, LinkCommandsUseTheDefinitions) {
    EXPECT_FALSE(execute("Channel2", "02 CDDE log"));  // opened with the channel already
    EXPECT_TRUE(execute("Channel2", "02 DDDE log"));
    EXPECT_TRUE(execute("Channel2", "02 CDDE log"));
    EXPECT_FALSE(execute("Channel2", "02 DDDE nolink"));
    std::vector<std::string> notices;
    for (const auto& [slot, cls, bytes] : rig.ui.texts)
        if (slot == 3 && cls == 2) notices.push_back(bytes);
    EXPECT_EQ(notices, (std::vector<std::string>{
                           "\rDde Connection to Logger Monitor successful.\r", "\rDde Connect: log\r",
                           "\rDde Connection alrady exists.\r", "\rDde Disconnection from Logger Monitor successful.\r",
                           "\rDde Connect: log\r", "\rDde Connection to Logger Monitor successful.\r",
                           "\rDde Destination not found.\r"}));
}

TEST_F(ChannelDdeHook, ChannelsLeaveTheServiceWhenTheyGo) {
    rig.host.reset();
    EXPECT_EQ(host.left.size(), host.topics.size());
}

}  // namespace
}  // namespace norva::test
