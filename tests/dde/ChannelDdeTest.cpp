// The name rules and a channel's DDE items, without a bus: every record
// kind with its exact values and notification order, line ends, CP437.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "channel/ReceiveRecord.h"
#include "dde/BusNames.h"
#include "dde/ChannelDde.h"

namespace norva {
namespace {

TEST(BusNames, ServiceNamesBecomeValidBusNames) {
    EXPECT_EQ(serviceBusName("norva"), "org.norva.norva");
    EXPECT_EQ(serviceBusName(""), "org.norva.norva");
    EXPECT_EQ(serviceBusName("DL1ABC-3"), "org.norva.DL1ABC-3");
    EXPECT_EQ(serviceBusName("9x"), "org.norva._9x");
    EXPECT_EQ(serviceBusName("\xC3\xA4"), "org.norva._");           // "ä": one character, one "_"
    EXPECT_EQ(serviceBusName("a.b c/d"), "org.norva.a_b_c_d");
    EXPECT_EQ(serviceBusName("\xFF\xFE" "x"), "org.norva.__x");     // broken UTF-8, byte by byte
    EXPECT_EQ(serviceBusName("KXWIN"), "org.norva.KXWIN");
    const std::string longName = serviceBusName(std::string(1000, 'n'));
    EXPECT_EQ(longName.size(), kMaxBusNameLength);
    EXPECT_EQ(longName.substr(0, 10), "org.norva.");
}

TEST(BusNames, TopicsBecomeObjectPaths) {
    EXPECT_EQ(topicObjectPath("01/03"), "/org/norva/topic/01/03");
    EXPECT_EQ(topicObjectPath("Channel3"), "/org/norva/topic/Channel3");
    EXPECT_EQ(topicObjectPath("Channel3_2"), "/org/norva/topic/Channel3_2");
    EXPECT_EQ(topicObjectPath("OpenChannelFile"), "/org/norva/topic/OpenChannelFile");
    EXPECT_EQ(topicObjectPath("/a//b/"), "/org/norva/topic/_/a/_/b/_");
    EXPECT_EQ(topicObjectPath("x-y.\xC3\xA4"), "/org/norva/topic/x_y__");
    EXPECT_EQ(topicObjectPath(""), "");
    EXPECT_EQ(topicObjectPath(std::string(kMaxDdeNameLength + 1, 'a')), "");
}

TEST(ChannelDdeTopics, NamesFollowTncAndChannel) {
    EXPECT_EQ(ddeDataTopic(1, 3), "01/03");
    EXPECT_EQ(ddeDataTopic(4, 20), "04/20");
    EXPECT_EQ(ddeCommandTopic(1, 3), "Channel3");
    EXPECT_EQ(ddeCommandTopic(3, 2), "Channel3_2");
    EXPECT_EQ(ddeCommandTopic(2, 0), "Channel2_0");
}

TEST(ChannelDdeItems, LineEndsGetTheirLineFeed) {
    EXPECT_EQ(convertLineEnds("a\rb\r\nc\r"), "a\r\nb\r\nc\r\n");
    EXPECT_EQ(convertLineEnds("\r\r\r"), "\r\n\r\n\r\n");
    EXPECT_EQ(convertLineEnds("\n\n"), "\n\n");
    EXPECT_EQ(convertLineEnds(""), "");
}

TEST(ChannelDdeItems, ItemNamesIgnoreCaseAndPokeItemsAreNotData) {
    EXPECT_EQ(ddeItemByName("aliasDestCall"), DdeItem::AliasDestCall);
    EXPECT_EQ(ddeItemByName("all"), DdeItem::All);
    EXPECT_FALSE(ddeItemByName("CONV"));
    EXPECT_FALSE(ddeItemByName("ALL "));
    EXPECT_EQ(ddeItemName(DdeItem::MonA), "MONA");
}

// Records every call a channel's DDE object makes on the service.
class FakeHost : public DdeTopicHost {
public:
    bool registerTopic(std::string_view topic, DdeTopicHandler& h) override {
        if (refuse == topic) return false;
        return topics.emplace(std::string(topic), &h).second;
    }
    void unregisterTopic(std::string_view topic) override {
        topics.erase(std::string(topic));
        unregistered.emplace_back(topic);
    }
    void itemChanged(std::string_view topic, std::string_view item, std::string_view value) override {
        changes.push_back(std::string(topic) + " " + std::string(item) + "=" + std::string(value));
    }
    std::map<std::string, DdeTopicHandler*> topics;
    std::vector<std::string> unregistered;
    std::vector<std::string> changes;
    std::string refuse;
};

class ChannelDdeTest : public ::testing::Test {
protected:
    void feed(int kind, std::string_view text) { dde.updateItems(ReceiveRecord::of(3, kind, text)); }
    std::vector<std::string> take() { return std::exchange(host.changes, {}); }
    std::string value(DdeItem i) { return dde.items().value(i); }

    FakeHost host;
    CChannelDde dde{1, 3, &host};
};

TEST_F(ChannelDdeTest, RegistersBothTopicsAndLeavesThemWhenDestroyed) {
    ASSERT_EQ(host.topics.size(), 2u);
    EXPECT_TRUE(host.topics.count("01/03"));
    EXPECT_TRUE(host.topics.count("Channel3"));
    EXPECT_TRUE(dde.published());
    {
        CChannelDde other(2, 2, &host);
        EXPECT_TRUE(host.topics.count("02/02"));
        EXPECT_TRUE(host.topics.count("Channel2_2"));
    }
    EXPECT_EQ(host.unregistered, (std::vector<std::string>{"02/02", "Channel2_2"}));
    EXPECT_EQ(host.topics.size(), 2u);
}

TEST_F(ChannelDdeTest, EachRecordKindSetsItsItemsInOrder) {
    feed(2, "\rINVALID COMMAND: X");
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 MONA=INVALID COMMAND: X", "01/03 ALL=INVALID COMMAND: X"}));
    feed(5, "\rfm DL1ABC to CQ ctl UI^");
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 MONC=fm DL1ABC to CQ ctl UI^",
                                                "01/03 ALL=fm DL1ABC to CQ ctl UI^"}));
    feed(6, "\rfm DB0XY to DL1ABC ctl I23^ pid F0");
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 MONH=fm DB0XY to DL1ABC ctl I23^ pid F0",
                                                "01/03 ALL=fm DB0XY to DL1ABC ctl I23^ pid F0"}));
    feed(7, "\rline1\rline2\r");
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 MONI=line1\r\nline2\r\n", "01/03 ALL=line1\r\nline2\r\n"}));
    // Connected information keeps a leading CR: only the monitor kinds carry one to strip.
    feed(9, "\rhello\rworld");
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 INFO=\r\nhello\r\nworld", "01/03 ALL=\r\nhello\r\nworld"}));
    feed(11, "\r0 0 0 0 0 0");
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 LSTAT=0 0 0 0 0 0"}));
    feed(12, "DB0XY");
    feed(13, "XYNODE");
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 DESTCALL=DB0XY", "01/03 ALIASDESTCALL=XYNODE"}));
    // LSTAT, DESTCALL and ALIASDESTCALL leave ALL alone.
    EXPECT_EQ(value(DdeItem::All), "\r\nhello\r\nworld");
    for (int kind : {0, 1, 3, 8, 10, 14, -1}) feed(kind, "\rnothing");
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(value(DdeItem::Info), "\r\nhello\r\nworld");
}

TEST_F(ChannelDdeTest, LinkStatusSetsConnThenDiscWithTheWholeText) {
    const std::string both = "\r(1) CONNECTED to DB0XY, later DISCONNECTED fm DB0XY\r\n";
    feed(4, both);
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 CONN=" + both, "01/03 INFO=" + both, "01/03 ALL=" + both,
                                                "01/03 DISC=" + both, "01/03 INFO=" + both, "01/03 ALL=" + both}));
    const std::string conn = "\r(1) CONNECTED to DL2XYZ\r\n";
    feed(4, conn);
    EXPECT_EQ(take(), (std::vector<std::string>{"01/03 CONN=" + conn, "01/03 INFO=" + conn, "01/03 ALL=" + conn}));
    EXPECT_EQ(value(DdeItem::Disc), both);  // values are overwritten, never cleared
    feed(4, "\r(1) LINK RESET fm DL2XYZ\r\n");
    EXPECT_TRUE(take().empty());
    EXPECT_EQ(value(DdeItem::Conn), conn);
}

TEST_F(ChannelDdeTest, RequestsAnswerDataItemsAsUtf8) {
    DdeTopicHandler& data = *host.topics.at("01/03");
    EXPECT_EQ(data.request("LSTAT"), "");  // never set: empty, not missing
    EXPECT_FALSE(data.request("CONV"));     // poke items are no data
    EXPECT_FALSE(data.request("NOPE"));
    feed(9, "gr\x81\xE1" "e");             // CP437 "grüße"
    EXPECT_EQ(data.request("info"), "gr\xC3\xBC\xC3\x9F" "e");
    EXPECT_EQ(take().back(), "01/03 ALL=gr\xC3\xBC\xC3\x9F" "e");
    // A NUL from the air ends the text, as it ended a DDE text.
    feed(2, std::string("\rbefore\0after", 13));
    EXPECT_EQ(data.request("MONA"), "before");
    EXPECT_EQ(value(DdeItem::MonA), std::string("before\0after", 12));
    // The command topic has no items, and without a command runner nothing is processed.
    DdeTopicHandler& cmd = *host.topics.at("Channel3");
    EXPECT_FALSE(cmd.request("INFO"));
    EXPECT_FALSE(cmd.execute("03 INFO hello"));
    EXPECT_FALSE(data.poke("CONV", "hello"));
}

TEST(ChannelDdeWithoutService, KeepsValuesAndReportsNothing) {
    CChannelDde dde(1, 0, nullptr);
    EXPECT_FALSE(dde.published());
    dde.updateItems(ReceiveRecord::of(0, 6, "\rfm A to B"));
    EXPECT_EQ(dde.items().value(DdeItem::All), "fm A to B");
}

TEST(ChannelDdeRefused, AnUnpublishedDataTopicAdvisesNothing) {
    FakeHost host;
    host.refuse = "01/01";
    {
        CChannelDde dde(1, 1, &host);
        EXPECT_FALSE(dde.published());
        dde.updateItems(ReceiveRecord::of(1, 9, "x"));
        EXPECT_TRUE(host.changes.empty());
    }
    // Only what was registered is given back.
    EXPECT_EQ(host.unregistered, (std::vector<std::string>{"Channel1"}));
}

}  // namespace
}  // namespace norva
