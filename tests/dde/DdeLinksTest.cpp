// A channel's outgoing links without a bus: the line of every record kind,
// link definitions, the five slots, drops on failure, links by name.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dde/DdeLinks.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

namespace norva {
namespace {

TEST(LinkLine, EachKindHasItsLine) {
    EXPECT_EQ(formatLinkLine(1, 3, 2, "\rCHANNEL NOT CONNECTED"), "03 MONA CHANNEL NOT CONNECTED\r\n");
    EXPECT_EQ(formatLinkLine(1, 0, 5, "\rfm A to B ctl UI^"), "00 MONC fm A to B ctl UI^\r\n");
    EXPECT_EQ(formatLinkLine(2, 0, 6, "\rfm A to B ctl I00"), "002MONH fm A to B ctl I00\r\n");
    EXPECT_EQ(formatLinkLine(1, 0, 7, "\rone\rtwo\r"), "00 MONI one\r\ntwo\r\n");
    EXPECT_EQ(formatLinkLine(1, 12, 9, "hi\r"), "12 INFO hi\r\n");
    EXPECT_EQ(formatLinkLine(3, 4, 11, "\r0 0 3 0 0 0"), "043STAT 3 0 0 0");
    EXPECT_EQ(formatLinkLine(1, 0, 11, "\r5 5 5 5 5 5"), "00 STAT 0 0 0 0");
    EXPECT_EQ(formatLinkLine(1, 1, 11, "\rno-blanks"), "01 STAT ");  // too short: nothing to take
    for (int kind : {0, 1, 3, 8, 10, 12, 13}) EXPECT_FALSE(formatLinkLine(1, 1, kind, "\rx")) << kind;
}

TEST(LinkLine, LinkStatusGivesTheCallOrTheDisconnect) {
    EXPECT_EQ(formatLinkLine(1, 1, 4, "\r(1) CONNECTED to dl1abc-3:\r\n"), "01 CONN DL1ABC-3");
    EXPECT_EQ(formatLinkLine(2, 1, 4, "\r(1) CONNECTED to DL1ABC via DB0XY\r\n"), "012CONN DL1ABC");
    EXPECT_EQ(formatLinkLine(1, 1, 4, "\r(1) CONNECTED to"), "01 CONN ");
    EXPECT_EQ(formatLinkLine(1, 1, 4, "\r(1) DISCONNECTED fm DL1ABC\r\n"), "01 DISC \r\n");
    EXPECT_EQ(formatLinkLine(1, 1, 4, "\rconnected to X, then disconnected"), "01 DISC \r\n");
    EXPECT_FALSE(formatLinkLine(1, 1, 4, "\r(1) LINK RESET fm DL1ABC\r\n"));
}

TEST(LinkDefinition, WordsEndAtBlanksAndLineEnds) {
    const auto t = parseLinkDefinition("  KXWIN   Map\tX  Item\r\nmore");
    ASSERT_TRUE(t);
    EXPECT_EQ(t->service, "KXWIN");
    EXPECT_EQ(t->topic, "Map\tX");
    EXPECT_EQ(t->item, "Item");
    const auto two = parseLinkDefinition("Logger Monitor\r\n");
    ASSERT_TRUE(two);
    EXPECT_EQ(two->item, "");
    EXPECT_FALSE(parseLinkDefinition("Lonely"));
    EXPECT_FALSE(parseLinkDefinition(" \r\n "));
}

// A transport whose answers the test gives by hand.
struct FakeTransport : DdeLinkTransport {
    bool probe(const DdeLinkTarget& t, std::function<void(bool)> done) override {
        probes.push_back(t.service);
        pendingProbes.push_back(std::move(done));
        return probeWorks;
    }
    bool send(const DdeLinkTarget& t, std::string_view line, std::function<void(const std::string&)> done) override {
        sent.push_back((t.item.empty() ? "execute " : "poke " + t.item + " ") + t.service + "/" + t.topic + ": " +
                       std::string(line));
        pendingSends.push_back(std::move(done));
        return true;
    }
    void answerProbes(bool ok) {
        auto all = std::exchange(pendingProbes, {});
        for (auto& p : all) p(ok);
    }
    std::vector<std::string> probes, sent;
    std::vector<std::function<void(bool)>> pendingProbes;
    std::vector<std::function<void(const std::string&)>> pendingSends;
    bool probeWorks = true;
};

class LinkSlots : public ::testing::Test {
protected:
    std::vector<std::string> notices() { return std::exchange(shown, {}); }
    FakeTransport transport;
    std::vector<std::string> shown;
    ChannelDdeLinks links{1, 2, transport, [this](std::string_view t) { shown.emplace_back(t); }};
};

TEST_F(LinkSlots, FiveLinksOpenTheSixthFails) {
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(links.open("P" + std::to_string(i) + " Topic"));
    EXPECT_FALSE(links.anyOpen()) << "open only once the bus answered";
    EXPECT_TRUE(links.exists("p0 TOPIC"));
    EXPECT_FALSE(links.open("P5 Topic"));
    EXPECT_EQ(notices(), (std::vector<std::string>{"\rDde Connection to P5 Topic failed.\r"}));
    transport.answerProbes(true);
    EXPECT_EQ(links.openCount(), 5);
    EXPECT_EQ(notices().front(), "\rDde Connection to P0 Topic successful.\r");
}

TEST_F(LinkSlots, AnAbsentServiceFailsAndFreesItsSlot) {
    EXPECT_TRUE(links.open("Gone Topic Item"));
    transport.answerProbes(false);
    EXPECT_EQ(notices(), (std::vector<std::string>{"\rDde Connection to Gone Topic Item failed.\r"}));
    EXPECT_FALSE(links.exists("Gone Topic Item"));
    transport.probeWorks = false;
    EXPECT_FALSE(links.open("Other Topic"));
    EXPECT_EQ(links.openCount(), 0);
}

TEST_F(LinkSlots, LinesGoToEveryOpenLinkInSlotOrderAndFailuresDropOnlyTheirLink) {
    links.forward(9, "ignored: nothing open");
    links.open("Logger Monitor Lines");
    links.open("Map Route");
    transport.answerProbes(true);
    notices();
    links.forward(9, "hello\r");
    links.forward(12, "DL1ABC");  // not forwarded
    EXPECT_EQ(transport.sent, (std::vector<std::string>{"poke Lines Logger/Monitor: 02 INFO hello\r\n",
                                                        "execute Map/Route: 02 INFO hello\r\n"}));
    transport.pendingSends[0]({});  // delivered
    transport.pendingSends[1]("DMLERR_EXECACKTIMEOUT");
    EXPECT_EQ(notices(), (std::vector<std::string>{
                             "\rError during Dde Transfer. Connection canceled by Norva.\r\rReason: DMLERR_EXECACKTIMEOUT\r"}));
    EXPECT_EQ(links.openCount(), 1);
    transport.sent.clear();
    links.forward(2, "\rOK");
    EXPECT_EQ(transport.sent, (std::vector<std::string>{"poke Lines Logger/Monitor: 02 MONA OK\r\n"}));
}

TEST_F(LinkSlots, APeerThatNeverAnswersIsDroppedBeforeTheBacklogGrows) {
    links.open("Slow Topic");
    transport.answerProbes(true);
    notices();
    for (int i = 0; i < ChannelDdeLinks::kMaxUnanswered; ++i) links.forward(9, "x");
    EXPECT_TRUE(links.anyOpen());
    links.forward(9, "one too many");
    EXPECT_FALSE(links.anyOpen());
    EXPECT_EQ(notices(), (std::vector<std::string>{
                             "\rError during Dde Transfer. Connection canceled by Norva.\r\rReason: DMLERR_BUSY\r"}));
    EXPECT_EQ(transport.sent.size(), std::size_t(ChannelDdeLinks::kMaxUnanswered));
    transport.pendingSends.back()("late");  // an answer for a dropped link changes nothing
    EXPECT_TRUE(notices().empty());
}

TEST_F(LinkSlots, CloseMatchesServiceAndTopicIgnoringCase) {
    links.open("Logger Monitor Lines");
    transport.answerProbes(true);
    notices();
    EXPECT_FALSE(links.close("Logger Other"));
    EXPECT_TRUE(links.close("LOGGER monitor"));  // the item is not compared
    EXPECT_EQ(notices(), (std::vector<std::string>{"\rDde Disconnection from Logger Other failed.\r",
                                                   "\rDde Disconnection from LOGGER monitor successful.\r"}));
    EXPECT_FALSE(links.anyOpen());
    // Closed while opening: the late answer is ignored.
    links.open("Logger Monitor");
    links.close("Logger Monitor");
    notices();
    transport.answerProbes(true);
    EXPECT_FALSE(links.anyOpen());
    EXPECT_TRUE(notices().empty());
}

TEST(LinkSlotsGone, AnswersAfterTheChannelWentAreIgnored) {
    FakeTransport transport;
    {
        ChannelDdeLinks links(1, 1, transport, {});
        links.open("A B");
    }
    transport.answerProbes(true);  // must not touch the destroyed links
    SUCCEED();
}

TEST(LinksByName, TheCommandsFindTheirDefinitions) {
    test::TempDir dir;
    Profile profile(dir / "norva.ini");
    profile.writeString("DdeLinks", "log", "Logger Monitor Lines");
    profile.writeString("DdeLinks", "empty", "");
    profile.writeString("DdeLinks", "map", "Map Route");
    FakeTransport transport;
    std::vector<std::string> shown;
    ChannelDdeLinks links(1, 1, transport, [&](std::string_view t) { shown.emplace_back(t); });

    EXPECT_FALSE(links.connectNamed("empty", profile));
    EXPECT_FALSE(links.connectNamed("missing", profile));
    EXPECT_TRUE(links.connectNamed("LOG", profile));
    EXPECT_FALSE(links.connectNamed("log", profile));
    transport.answerProbes(false);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "\rDde Connect: empty\r", "\rDde Destination not found.\r", "\rDde Connect: missing\r",
                         "\rDde Destination not found.\r", "\rDde Connect: LOG\r", "\rDde Connect: log\r",
                         "\rDde Connection alrady exists.\r", "\rDde Connection to Logger Monitor Lines failed.\r",
                         "\rDde Connection failed.\r"}));
    shown.clear();
    EXPECT_FALSE(links.disconnectNamed("empty", profile));
    EXPECT_EQ(shown, (std::vector<std::string>{"\rDde Destination not found.\r"}));

    // Automatic links: defined names in order, up to the first empty one.
    links.openAutomatic("map,empty,log,,missing", profile);
    EXPECT_EQ(transport.probes, (std::vector<std::string>{"Logger", "Map", "Logger"}));
}

}  // namespace
}  // namespace norva
