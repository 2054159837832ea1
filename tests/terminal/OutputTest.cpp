// The output pane model: staging and conversion of received bytes, sounds,
// unseen-text marks, the jump to the end after focus and the review reports;
// and the unseen-text marks of the main window title.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TermTestUtil.h"
#include "terminal/Output.h"
#include "terminal/UnseenMarks.h"

namespace norva {
namespace {

using test::held;

struct FakeOutputEvents : OutputEvents {
    bool beep = true;
    int topLink = 0;
    bool active = true;
    std::vector<std::string> sounds;
    std::vector<int> marks;
    int reviews = 0;
    std::vector<int> topLinks;

    bool messageBeep(int) const override { return beep; }
    bool isTopLink(int slot) const override { return slot == topLink; }
    bool mainWindowActive() const override { return active; }
    void playSound(int, std::string_view event) override { sounds.emplace_back(event); }
    void markUnseen(int slot) override { marks.push_back(slot); }
    void restartReviewDeadline(int) override { ++reviews; }
    void becameTopLink(int slot) override { topLinks.push_back(slot); }
};

// Slot 23 is TNC 2, channel 1.
constexpr int kSlot = 23;

TEST(Output, SlotGivesTncAndChannel)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 50, 80, ev);
    EXPECT_EQ(out.tnc(), 2);
    EXPECT_EQ(out.channel(), 1);
    COutput monitor(1, 50, 80, ev);
    EXPECT_EQ(monitor.tnc(), 1);
    EXPECT_EQ(monitor.channel(), 0);
    EXPECT_FALSE(out.window().insertMode());
    EXPECT_FALSE(out.window().wordWrap());
}

TEST(Output, LongTextGoesThroughTheStagingBufferWithNothingLost)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 200, 80, ev);
    std::string text;
    std::vector<std::string> lines;
    while (text.size() < 4000) {
        std::string line = "frame" + std::to_string(lines.size()) + ":" +
                           std::string(lines.size() % 50, '-');
        lines.push_back(line);
        text += line + "\r";
    }
    text.resize(4000);
    out.append(text, 7);

    std::string shown;
    for (int i = 0; i < out.window().heldLines(); ++i)
        shown += held(out.window(), i) + (i + 1 < out.window().heldLines() ? "\r" : "");
    EXPECT_EQ(shown, text);
    EXPECT_EQ(out.window().heldLineClass(0), 7);
}

TEST(Output, OemBytesAreShownAsUnicode)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 50, 80, ev);
    out.append("Gr\x81\xe1" "e \x84\x94\x8e", 9);
    EXPECT_EQ(held(out.window(), 0), "Grüße äöÄ");
    // NUL and other control bytes stay characters; nothing is cut at a NUL.
    out.append(std::string_view("a\0b", 3), 9);
    EXPECT_EQ(out.window().heldLine(0).substr(9, 3), std::u32string_view(U"a\0b", 3));
}

TEST(Output, BellAndArrivalSounds)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 50, 80, ev);
    ev.topLink = kSlot;
    out.append("ring\a\a", 9);
    EXPECT_EQ(ev.sounds, (std::vector<std::string>{"Klingel", "Text auf diesem Kanal eingelaufen"}));

    ev.sounds.clear();
    ev.topLink = 5;
    out.append("text", 9);
    EXPECT_EQ(ev.sounds, (std::vector<std::string>{"Text auf anderem Kanal eingelaufen"}));

    ev.sounds.clear();
    ev.beep = false;
    out.append("\a more", 9);
    EXPECT_TRUE(ev.sounds.empty());

    // The monitor channel rings the bell but makes no arrival sound.
    ev.beep = true;
    ev.sounds.clear();
    COutput monitor(1, 50, 80, ev);
    monitor.append("mon\a", 5);
    EXPECT_EQ(ev.sounds, (std::vector<std::string>{"Klingel"}));
}

TEST(Output, UnseenMarkUnlessTopLinkInTheActiveMainWindow)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 50, 80, ev);
    ev.topLink = kSlot;
    ev.active = true;
    out.append("seen", 9);
    EXPECT_TRUE(ev.marks.empty());

    ev.active = false;
    out.append("main window in the background", 9);
    EXPECT_EQ(ev.marks, std::vector<int>{kSlot});

    ev.active = true;
    ev.topLink = 1;
    ev.beep = false;  // the mark does not depend on MessageBeep
    out.append("other channel on top", 9);
    EXPECT_EQ(ev.marks, (std::vector<int>{kSlot, kSlot}));

    // Empty text changes nothing; the monitor channel is never marked.
    out.append("", 9);
    COutput monitor(1, 50, 80, ev);
    monitor.append("mon", 5);
    EXPECT_EQ(ev.marks.size(), 2u);
}

TEST(Output, FocusBringsTheNextTextToTheEnd)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 50, 40, ev);
    out.window().setVisibleArea(5, 40);
    for (int i = 0; i < 20; ++i)
        out.append("line " + std::to_string(i) + "\r", 9);
    out.append("partial", 9);

    // Without focus a moved caret is where text arrives (a terminal screen).
    out.key(CaretKey::Home, false, true);
    out.append("X", 9);
    EXPECT_EQ(held(out.window(), 0), "Xine 0");

    out.focusIn();
    EXPECT_EQ(ev.topLinks, std::vector<int>{kSlot});
    EXPECT_TRUE(out.jumpToEndPending());
    out.key(CaretKey::Home, false, true);
    out.append("", 9);  // empty text does not use up the flag
    EXPECT_TRUE(out.jumpToEndPending());
    out.append(" and more", 9);
    EXPECT_FALSE(out.jumpToEndPending());
    EXPECT_EQ(held(out.window(), 20), "partial and more");
    EXPECT_EQ(held(out.window(), 0), "Xine 0");
    EXPECT_EQ(out.window().topLineIndex(), 16);

    // Only the first text after the focus jumps.
    out.key(CaretKey::Home, false, true);
    out.append("Y", 9);
    EXPECT_EQ(held(out.window(), 0), "Yine 0");
}

TEST(Output, UserActionsRestartTheReviewDeadlineOnlyWithFocus)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 50, 80, ev);
    out.append("a\rb\rc", 9);
    out.key(CaretKey::Up, false, false);
    out.scrollLines(-1);
    out.mousePress(0, 0);
    EXPECT_EQ(ev.reviews, 0);

    out.focusIn();
    out.key(CaretKey::Up, false, false);
    out.mousePress(0, 0);
    out.mouseMove(1, 1);
    out.mouseRelease(1, 1);
    out.scrollLines(1);
    out.scrollPages(-1);
    out.scrollTo(0);
    EXPECT_EQ(ev.reviews, 7);
    EXPECT_EQ(out.copySelection(), "a\r\nb");

    out.focusOut();
    out.key(CaretKey::Down, false, false);
    EXPECT_EQ(ev.reviews, 7);
}

TEST(Output, ClearEmptiesThePane)
{
    FakeOutputEvents ev;
    COutput out(kSlot, 50, 80, ev);
    out.append("one\rtwo", 4);
    out.clear();
    EXPECT_EQ(out.window().heldLines(), 1);
    EXPECT_EQ(held(out.window(), 0), "");
    EXPECT_EQ(out.window().heldLineClass(0), 0);
}

TEST(UnseenMarks, TitleListsMarkedChannelsInSlotOrder)
{
    UnseenMarks marks;
    EXPECT_EQ(marks.titleFor("Norva"), "Norva");
    EXPECT_TRUE(marks.mark(105));
    EXPECT_TRUE(marks.mark(23));
    EXPECT_TRUE(marks.mark(2));
    EXPECT_FALSE(marks.mark(23));  // already marked
    EXPECT_EQ(marks.titleFor("Norva"), "Norva 1/1  2/1  5/20 ");

    EXPECT_TRUE(marks.clear(23));
    EXPECT_FALSE(marks.clear(23));
    EXPECT_FALSE(marks.isMarked(23));
    EXPECT_EQ(marks.titleFor("Station"), "Station 1/1  5/20 ");

    EXPECT_FALSE(marks.mark(0));
    EXPECT_FALSE(marks.mark(106));
    EXPECT_FALSE(marks.mark(-3));
    EXPECT_FALSE(marks.isMarked(106));
    EXPECT_EQ(marks.titleFor("Norva"), "Norva 1/1  5/20 ");
}

}  // namespace
}  // namespace norva
