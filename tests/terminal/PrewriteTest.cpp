// The input pane model: typed characters, text and command lines, word wrap,
// the on-air conversion, paste and the channel commands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TermTestUtil.h"
#include "terminal/Prewrite.h"
#include "terminal/TermText.h"

namespace norva {
namespace {

using test::held;

struct Sent {
    std::string bytes;
    int kind;
    bool echo;
    bool operator==(const Sent&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Sent& s)
{
    return os << '"' << s.bytes << "\" kind " << s.kind << " echo " << s.echo;
}

struct FakeSink : InputSink {
    std::vector<Sent> sent;
    void sendLine(std::string_view oem, int kind, bool echo) override
    {
        sent.push_back({std::string(oem), kind, echo});
    }
};

struct FakeInputEvents : InputEvents {
    bool beep = true;
    std::vector<std::string> sounds;
    int reviewEnded = 0;
    int topLinks = 0;
    bool messageBeep(int) const override { return beep; }
    void playSound(int, std::string_view event) override { sounds.emplace_back(event); }
    void noLongerUnderReview(int) override { ++reviewEnded; }
    void becameTopLink(int) override { ++topLinks; }
};

struct PrewriteFixture : ::testing::Test {
    FakeSink sink;
    FakeInputEvents events;
    CPrewrite pane{2, 50, 80, sink, events};

    void type(std::u32string_view text)
    {
        for (char32_t ch : text)
            pane.typeChar(ch);
    }
};

TEST_F(PrewriteFixture, DefaultsAreInsertWordBreakNoEchoScrollbar)
{
    EXPECT_TRUE(pane.settings().insert);
    EXPECT_TRUE(pane.settings().wordBreak);
    EXPECT_FALSE(pane.settings().inputEcho);
    EXPECT_TRUE(pane.settings().inputScrollbar);
    EXPECT_TRUE(pane.window().insertMode());
    EXPECT_TRUE(pane.window().wordWrap());
    EXPECT_EQ(pane.insertIndicator(), "INS");
}

TEST_F(PrewriteFixture, TextLineIsSentWithCrAndTheEchoSetting)
{
    type(U"hello\r");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0], (Sent{"hello\r", 0, false}));

    pane.setInputEcho(true);
    type(U"again  \r");  // trailing blanks are not sent
    ASSERT_EQ(sink.sent.size(), 2u);
    EXPECT_EQ(sink.sent[1], (Sent{"again\r", 0, true}));
    EXPECT_EQ(held(pane.window(), 0), "hello");
    EXPECT_EQ(pane.window().heldLineClass(0), 0);
}

TEST_F(PrewriteFixture, EnterOnAnEmptyLineSendsExactlyOneCr)
{
    type(U"\r");
    EXPECT_EQ(sink.sent, (std::vector<Sent>{{"\r", 0, false}}));
    type(U"   \r");
    EXPECT_EQ(sink.sent.size(), 2u);
    EXPECT_EQ(sink.sent[1], (Sent{"\r", 0, false}));
    type(U"abc\b\b\b\r");
    EXPECT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[2], (Sent{"\r", 0, false}));
}

TEST_F(PrewriteFixture, EscAtColumnZeroMakesAnUpperCaseCommandLine)
{
    type(U"\x1b" U"c db0abc\r");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0], (Sent{"* C DB0ABC", 1, false}));
    EXPECT_EQ(held(pane.window(), 0), "* C DB0ABC");
    EXPECT_EQ(pane.window().heldLineClass(0), 1);

    // Echo never applies to commands.
    pane.setInputEcho(true);
    type(U"\x1bm ä\r");
    EXPECT_EQ(sink.sent[1], (Sent{"* M \x8e", 1, false}));

    // "* " alone is an empty command (the channel drops "* ").
    type(U"\x1b\r");
    EXPECT_EQ(sink.sent[2], (Sent{"*", 1, false}));
}

TEST_F(PrewriteFixture, EscInTheMiddleOfALineIsAnOrdinaryCharacter)
{
    type(U"ab\x1b" U"cd\r");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0], (Sent{"ab\x1b" "cd\r", 0, false}));
    EXPECT_EQ(pane.window().heldLineClass(0), 0);
}

TEST_F(PrewriteFixture, BackspacingOverTheStarTurnsTheLineBackIntoText)
{
    type(U"\x1b\b\bhello\r");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0], (Sent{"hello\r", 0, false}));
}

TEST_F(PrewriteFixture, UmlautReachesTheSinkAsCp437)
{
    type(U"ä\r");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0].bytes, "\x84\r");
    type(U"Grüße €\r");  // no CP437 form: '?'
    EXPECT_EQ(sink.sent[1].bytes, "Gr\x81\xe1" "e ?\r");
}

TEST_F(PrewriteFixture, WordWrapSendsALongSentenceLineByLine)
{
    const std::u32string sentence =
        U"the quick brown fox jumps over the lazy dog and keeps running through the "
        U"field until the evening comes and the sun sets behind the hills far away "
        U"from the village where it was born";
    type(sentence);
    ASSERT_EQ(sink.sent.size(), 2u);
    std::string joined;
    for (const Sent& s : sink.sent) {
        ASSERT_FALSE(s.bytes.empty());
        EXPECT_EQ(s.bytes.back(), '\r');
        EXPECT_LE(s.bytes.size(), 81u);
        EXPECT_EQ(s.kind, 0);
        joined += s.bytes.substr(0, s.bytes.size() - 1) + " ";
    }
    type(U"\r");
    ASSERT_EQ(sink.sent.size(), 3u);
    joined += sink.sent[2].bytes.substr(0, sink.sent[2].bytes.size() - 1);
    EXPECT_EQ(joined, termtext::toUtf8(sentence));
}

TEST_F(PrewriteFixture, WordWrapFollowsTheVisibleWidth)
{
    pane.window().setVisibleArea(4, 12);
    type(U"one two three four");
    EXPECT_EQ(sink.sent, (std::vector<Sent>{{"one two\r", 0, false}}));
    EXPECT_EQ(held(pane.window(), 1), "three four");
}

TEST_F(PrewriteFixture, WithoutWordBreakALineEndsAtTheLineLength)
{
    pane.setWordBreak(false);
    EXPECT_FALSE(pane.window().wordWrap());
    type(std::u32string(80, U'a') + U"b");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0].bytes, std::string(80, 'a') + "\r");
}

TEST_F(PrewriteFixture, InsertKeyTogglesTheMode)
{
    type(U"hello");
    pane.toggleInsert();
    EXPECT_EQ(pane.insertIndicator(), "OVR");
    EXPECT_FALSE(pane.settings().insert);
    EXPECT_FALSE(pane.window().insertMode());
    pane.key(CaretKey::Home, false, false);
    type(U"J");
    EXPECT_EQ(held(pane.window(), 0), "Jello");
    pane.toggleInsert();
    EXPECT_EQ(pane.insertIndicator(), "INS");
    type(U"-");
    EXPECT_EQ(held(pane.window(), 0), "J-ello");
    pane.key(CaretKey::Delete, false, false);
    EXPECT_EQ(held(pane.window(), 0), "J-llo");
}

TEST_F(PrewriteFixture, EditedEarlierLineIsSentAgain)
{
    type(U"first\rsecond\r");
    pane.key(CaretKey::Up, false, false);
    pane.key(CaretKey::Up, false, false);
    pane.key(CaretKey::End, false, false);
    type(U"!\r");
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[2].bytes, "first!\r");
    EXPECT_EQ(held(pane.window(), 1), "second");  // the following line is kept
}

TEST_F(PrewriteFixture, PasteSendsEveryFinishedLineAtOnce)
{
    pane.paste("one\r\ntwo\nthree");
    EXPECT_EQ(sink.sent,
              (std::vector<Sent>{{"one\r", 0, false}, {"two\r", 0, false}}));
    EXPECT_EQ(held(pane.window(), 2), "three");
    type(U"\r");
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[2].bytes, "three\r");

    // Pasted text is class 0 even on a command line.
    type(U"\x1b");
    pane.paste("text\r");
    EXPECT_EQ(sink.sent[3], (Sent{"* text\r", 0, false}));
}

TEST_F(PrewriteFixture, ChannelCommandsAreFinishedCommandLines)
{
    type(U"par");
    pane.connectCommand("DB0ABC");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0], (Sent{"* C DB0ABC", 1, false}));
    EXPECT_EQ(held(pane.window(), 0), "par");  // pushed up, not sent
    EXPECT_EQ(held(pane.window(), 1), "* C DB0ABC");
    EXPECT_EQ(pane.window().heldLineClass(1), 1);
    EXPECT_EQ(held(pane.window(), 2), "");

    pane.disconnectCommand();
    pane.passwordCommand();
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[1], (Sent{"* D", 1, false}));
    EXPECT_EQ(sink.sent[2], (Sent{"* PWD", 1, false}));

    // The next typed line is sent on its own, nothing repeated.
    type(U"hi\r");
    ASSERT_EQ(sink.sent.size(), 4u);
    EXPECT_EQ(sink.sent[3], (Sent{"hi\r", 0, false}));
}

TEST_F(PrewriteFixture, MenuLinesAreShownAndSentOnce)
{
    pane.setInputEcho(true);
    pane.insertAndSend("c DB0ABC\r");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0], (Sent{"c DB0ABC\r", 0, true}));
    EXPECT_EQ(held(pane.window(), 1), "c DB0ABC");

    pane.insertAndSend("r 12 15");  // CR added; nothing after a line end
    pane.insertAndSend("r 1\rmore");
    ASSERT_EQ(sink.sent.size(), 3u);
    EXPECT_EQ(sink.sent[1].bytes, "r 12 15\r");
    EXPECT_EQ(sink.sent[2].bytes, "r 1\r");

    type(U"x\r");
    ASSERT_EQ(sink.sent.size(), 4u);
    EXPECT_EQ(sink.sent[3].bytes, "x\r");
}

TEST_F(PrewriteFixture, AnAnswerPutIntoThePaneWaitsForEnter)
{
    type(U"half typ");
    pane.insertUnsent("\r");
    pane.insertUnsent("35");
    EXPECT_TRUE(sink.sent.empty()) << "nothing goes out before the operator sends it";
    EXPECT_EQ(held(pane.window(), 0), "half typ");
    EXPECT_EQ(held(pane.window(), 1), "35");
    type(U"\r");
    ASSERT_EQ(sink.sent.size(), 1u);
    EXPECT_EQ(sink.sent[0].bytes, "35\r");
}

TEST_F(PrewriteFixture, BellFocusAndClear)
{
    type(U"\a");
    EXPECT_EQ(events.sounds, std::vector<std::string>{"Klingel"});
    events.beep = false;
    type(U"\a");
    EXPECT_EQ(events.sounds.size(), 1u);

    pane.focusIn();
    EXPECT_TRUE(pane.hasFocus());
    EXPECT_EQ(events.reviewEnded, 1);
    EXPECT_EQ(events.topLinks, 1);

    pane.clear();
    EXPECT_EQ(pane.window().heldLines(), 1);
    type(U"\r");
    EXPECT_EQ(sink.sent.back(), (Sent{"\r", 0, false}));
}

}  // namespace
}  // namespace norva
