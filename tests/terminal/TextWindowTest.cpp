// The text window ring: appending, new lines, dropping old lines, classes,
// wrapping, size limits, damage records and forced repaints.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "TermTestUtil.h"
#include "terminal/TextWindow.h"

namespace norva {
namespace {

using test::held;
using test::put;
using test::row;

std::string lineOf(int n)
{
    return "line " + std::to_string(n);
}

TEST(TextWindowRing, HoldsOnlyTheNewestRowsIncludingTheLineBeingWritten)
{
    CTextWindow w(50, 80);
    w.setVisibleArea(20, 80);
    for (int i = 0; i < 60; ++i)
        put(w, lineOf(i) + "\r");

    EXPECT_EQ(w.heldLines(), 50);
    EXPECT_EQ(held(w, 0), lineOf(11));
    EXPECT_EQ(held(w, 48), lineOf(59));
    EXPECT_EQ(held(w, 49), "");  // the write line
    EXPECT_EQ(w.writeLineIndex(), 49);
    EXPECT_EQ(w.scrollInfo().lines, 50);

    // The window follows the writing: the write line is the last visible row.
    EXPECT_EQ(w.topLineIndex(), 30);
    EXPECT_EQ(row(w, 18), lineOf(59));
    ASSERT_TRUE(w.caretCell().has_value());
    EXPECT_EQ(w.caretCell()->row, 19);

    // Scrolling back stops at the oldest held line.
    w.scrollLines(-1000);
    EXPECT_EQ(w.topLineIndex(), 0);
    EXPECT_EQ(row(w, 0), lineOf(11));
    w.scrollLines(-1);
    w.scrollPages(-3);
    EXPECT_EQ(w.topLineIndex(), 0);
    EXPECT_EQ(w.scrollInfo().position, 0);

    // And forward it stops where the end line is the last visible row.
    w.scrollPages(10);
    EXPECT_EQ(w.topLineIndex(), 30);
    w.scrollTo(12);
    EXPECT_EQ(w.topLineIndex(), 12);
    EXPECT_EQ(row(w, 0), lineOf(23));
}

TEST(TextWindowRing, ReadingOldTextIsNotInterruptedByNewLinesUntilTheyDropIt)
{
    CTextWindow w(50, 80);
    w.setVisibleArea(10, 80);
    for (int i = 0; i < 20; ++i)
        put(w, lineOf(i) + "\r");
    w.scrollTo(0);
    put(w, "more\r");
    EXPECT_EQ(w.topLineIndex(), 0);
    EXPECT_EQ(row(w, 0), lineOf(0));
    // Once the ring drops the line at the top, the view keeps to the oldest.
    for (int i = 0; i < 40; ++i)
        put(w, "x\r");
    EXPECT_EQ(w.topLineIndex(), 0);
    EXPECT_EQ(w.heldLines(), 50);
}

TEST(TextWindowAppend, CarriageReturnAndLineFeed)
{
    CTextWindow w(10, 80);
    put(w, "abc\r\n");
    EXPECT_EQ(w.heldLines(), 2);
    EXPECT_EQ(held(w, 0), "abc");
    EXPECT_EQ(held(w, 1), "");
    EXPECT_EQ(w.caretColumn(), 0);

    CTextWindow lf(10, 80);
    put(lf, "abc\ndef");
    EXPECT_EQ(lf.heldLines(), 1);
    EXPECT_EQ(held(lf, 0), "abcdef");

    CTextWindow cr(10, 80);
    put(cr, "abc\rdef");
    EXPECT_EQ(cr.heldLines(), 2);
    EXPECT_EQ(held(cr, 0), "abc");
    EXPECT_EQ(held(cr, 1), "def");
    EXPECT_EQ(std::u32string(cr.lastLine()), U"abc");
}

TEST(TextWindowAppend, LongLineContinuesOnTheNextLineWithoutWordWrap)
{
    CTextWindow w(10, 10);
    put(w, "aaaa bbbbbbb cc");
    EXPECT_EQ(w.heldLines(), 2);
    EXPECT_EQ(held(w, 0), "aaaa bbbbb");
    EXPECT_EQ(held(w, 1), "bb cc");

    CTextWindow exact(10, 10);
    put(exact, std::string(10, 'x'));
    EXPECT_EQ(exact.heldLines(), 1);  // the line ends only when the next character comes
    EXPECT_EQ(exact.caretColumn(), 10);
    put(exact, "y");
    EXPECT_EQ(exact.heldLines(), 2);
    EXPECT_EQ(held(exact, 1), "y");
}

TEST(TextWindowAppend, WordWrapMovesTheWordBeingWritten)
{
    CTextWindow w(10, 20);
    w.setVisibleArea(10, 10);
    w.setWordWrap(true);
    w.setInsertMode(true);
    w.setCollectFinishedLines(true);
    put(w, "hello world again");
    EXPECT_EQ(held(w, 0), "hello");
    EXPECT_EQ(held(w, 1), "world");
    EXPECT_EQ(held(w, 2), "again");
    auto lines = w.takeFinishedLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, U"hello");
    EXPECT_TRUE(lines[0].byWrap);
    EXPECT_EQ(lines[1].text, U"world");

    // A word without a blank before it is simply cut at the width.
    CTextWindow nob(10, 20);
    nob.setVisibleArea(10, 8);
    nob.setWordWrap(true);
    put(nob, "abcdefghij");
    EXPECT_EQ(held(nob, 0), "abcdefgh");
    EXPECT_EQ(held(nob, 1), "ij");
}

TEST(TextWindowAppend, Backspace)
{
    CTextWindow w(10, 80);
    put(w, "\b");
    EXPECT_EQ(w.caretColumn(), 0);
    EXPECT_EQ(w.heldLines(), 1);

    put(w, "abc", 4);
    EXPECT_EQ(w.heldLineClass(0), 4);
    put(w, "\b", 4);
    EXPECT_EQ(held(w, 0), "ab");
    EXPECT_EQ(w.heldLineClass(0), 4);
    put(w, "\b\b", 4);
    EXPECT_EQ(held(w, 0), "");
    EXPECT_EQ(w.heldLineClass(0), 0);
    EXPECT_EQ(w.caretColumn(), 0);
    put(w, "\b");
    EXPECT_EQ(w.caretColumn(), 0);

    // In the middle of a line the rest moves left.
    put(w, "abcd");
    w.key(CaretKey::Left, false, false);
    w.key(CaretKey::Left, false, false);
    put(w, "\b");
    EXPECT_EQ(held(w, 0), "acd");
    EXPECT_EQ(w.caretColumn(), 1);
}

TEST(TextWindowAppend, CtrlYErasesTheLineWrittenSoFar)
{
    CTextWindow w(10, 80);
    put(w, "first\r");
    put(w, "hello", 9);
    put(w, "\x19");
    EXPECT_EQ(held(w, 1), "");
    EXPECT_EQ(w.heldLineClass(1), 0);
    EXPECT_EQ(w.caretColumn(), 0);
    put(w, "ok");
    EXPECT_EQ(held(w, 1), "ok");
    EXPECT_EQ(held(w, 0), "first");
}

TEST(TextWindowAppend, LineTakesTheClassOfItsLastCharacter)
{
    CTextWindow w(10, 80);
    put(w, "abc", 0);
    put(w, "def", 4);
    EXPECT_EQ(held(w, 0), "abcdef");
    EXPECT_EQ(w.heldLineClass(0), 4);
    put(w, "\r", 7);  // a CR does not colour the new line
    EXPECT_EQ(w.heldLineClass(1), 0);
    put(w, "x", 12);  // no line class: written as class 0
    EXPECT_EQ(w.heldLineClass(1), 0);
    put(w, "\x01\x1b", 2);  // control characters other than BS, LF, CR, ^Y are characters
    EXPECT_EQ(w.heldLine(1).substr(0, 3), std::u32string_view(U"x\x01\x1b"));
}

TEST(TextWindowAppend, InsertModeShiftsTheRestOfTheLine)
{
    CTextWindow w(10, 5);
    w.setInsertMode(true);
    put(w, "abcde");
    w.key(CaretKey::Home, false, false);
    put(w, "X");
    EXPECT_EQ(held(w, 0), "Xabcd");  // the last cell is lost
    w.setInsertMode(false);
    put(w, "Y");
    EXPECT_EQ(held(w, 0), "XYbcd");
}

TEST(TextWindowLimits, AbsurdSizesAreClamped)
{
    CTextWindow tiny(0, 0);
    EXPECT_EQ(tiny.rows(), 1);
    EXPECT_EQ(tiny.columns(), 1);
    put(tiny, "abc\r\r\bx\x19yz");
    EXPECT_EQ(tiny.heldLines(), 1);
    EXPECT_EQ(held(tiny, 0), "z");

    CTextWindow huge(1'000'000'000, 1'000'000'000);
    EXPECT_EQ(huge.columns(), CTextWindow::kMaxColumns);
    EXPECT_LE(static_cast<long>(huge.rows()) * huge.columns(), CTextWindow::kMaxCells);
    EXPECT_GE(huge.rows(), 1);

    CTextWindow negative(-5, -7);
    EXPECT_EQ(negative.rows(), 1);
    negative.setVisibleArea(0, -3);
    EXPECT_EQ(negative.visibleRows(), 1);
    EXPECT_EQ(negative.visibleColumns(), 1);
    EXPECT_EQ(negative.rowText(5), std::u32string_view());
    EXPECT_EQ(negative.heldLine(-1), std::u32string_view());
}

TEST(TextWindowLimits, ClearResetsEverything)
{
    CTextWindow w(5, 10);
    for (int i = 0; i < 8; ++i)
        put(w, "text\r", 5);
    w.mousePress(0, 0);
    w.mouseRelease(1, 3);
    w.clear();
    EXPECT_EQ(w.heldLines(), 1);
    EXPECT_EQ(held(w, 0), "");
    EXPECT_EQ(w.heldLineClass(0), 0);
    EXPECT_EQ(w.caretColumn(), 0);
    EXPECT_FALSE(w.hasSelection());
    EXPECT_TRUE(w.takeDamage().whole);
}

// ---------------------------------------------------------------- damage

TEST(TextWindowDamage, OverwriteAppendDamagesOnlyTheWrittenCells)
{
    CTextWindow w(50, 80);
    w.setVisibleArea(10, 80);
    put(w, "abc");
    w.takeDamage();
    put(w, "de");
    TextDamage d = w.takeDamage();
    EXPECT_FALSE(d.whole);
    ASSERT_EQ(d.spans.size(), 1u);
    EXPECT_EQ(d.spans[0].row, 0);
    EXPECT_EQ(d.spans[0].firstColumn, 3);
    EXPECT_EQ(d.spans[0].endColumn, 5);
    EXPECT_TRUE(d.caretMoved);

    // A new class recolours the whole line.
    put(w, "f", 4);
    d = w.takeDamage();
    ASSERT_EQ(d.spans.size(), 1u);
    EXPECT_EQ(d.spans[0].firstColumn, 0);
    EXPECT_EQ(d.spans[0].endColumn, 80);

    EXPECT_TRUE(w.takeDamage().empty());
}

TEST(TextWindowDamage, InsertDamagesTheRestOfTheLine)
{
    CTextWindow w(50, 80);
    w.setInsertMode(true);
    put(w, "abcdef");
    w.key(CaretKey::Home, false, false);
    w.key(CaretKey::Right, false, false);
    w.takeDamage();
    put(w, "X");
    const TextDamage d = w.takeDamage();
    ASSERT_EQ(d.spans.size(), 1u);
    EXPECT_EQ(d.spans[0].firstColumn, 1);
    EXPECT_EQ(d.spans[0].endColumn, 80);
}

TEST(TextWindowDamage, ScrollingDamagesTheWholeWindow)
{
    CTextWindow w(50, 80);
    w.setVisibleArea(3, 80);
    put(w, "a\rb\r");
    w.takeDamage();
    put(w, "c\r");  // the caret leaves the last visible row: the window scrolls
    TextDamage d = w.takeDamage();
    EXPECT_TRUE(d.whole);
    EXPECT_TRUE(d.spans.empty());
    EXPECT_TRUE(d.scrollBarChanged);

    w.scrollLines(-1);
    d = w.takeDamage();
    EXPECT_TRUE(d.whole);
    EXPECT_TRUE(d.scrollBarChanged);

    w.scrollLines(-1);  // already at the oldest line: nothing changes
    EXPECT_TRUE(w.takeDamage().empty());
}

TEST(TextWindowDamage, ManySpansCoalesceIntoWholeWindow)
{
    CTextWindow w(1000, 80);
    w.setVisibleArea(1000, 80);
    w.takeDamage();
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "123456789\r";
    put(w, text);
    const TextDamage d = w.takeDamage();
    EXPECT_TRUE(d.whole);
    EXPECT_TRUE(d.spans.empty());
}

TEST(TextWindowDamage, WritesOutsideTheWindowAreNotRecorded)
{
    CTextWindow w(50, 80);
    w.setVisibleArea(5, 80);
    for (int i = 0; i < 20; ++i)
        put(w, "x\r");
    put(w, "partial");
    w.scrollTo(0);
    w.takeDamage();
    put(w, "more");  // the write line is below the window
    const TextDamage d = w.takeDamage();
    EXPECT_FALSE(d.whole);
    EXPECT_TRUE(d.spans.empty());
    EXPECT_FALSE(w.caretCell().has_value());
}

// A clock that advances by one millisecond every time it is read.
struct TickingClock {
    std::int64_t now = 1000;
    std::int64_t operator()() { return now++; }
};

TEST(TextWindowDamage, ForcedRepaintIntervalsDoubleWithinOneAppend)
{
    CTextWindow w(100, 80);
    auto clock = std::make_shared<TickingClock>();
    w.setTimeSource([clock] { return (*clock)(); });
    w.setDisplayRate(50);
    std::vector<std::int64_t> repaints;
    w.setRepaintHandler([&] {
        repaints.push_back(clock->now);
        w.takeDamage();
    });

    const std::int64_t start = clock->now;
    put(w, std::string(1000, 'x'));
    ASSERT_EQ(repaints.size(), 4u);  // after ~50, ~100, ~200, ~400 ms
    std::int64_t previous = start;
    std::int64_t interval = 50;
    for (std::int64_t at : repaints) {
        EXPECT_GT(at - previous, interval);
        EXPECT_LE(at - previous, interval + 3);
        previous = at;
        interval *= 2;
    }

    // Every append starts again at DisplayRate.
    repaints.clear();
    put(w, std::string(60, 'y'));
    EXPECT_EQ(repaints.size(), 1u);

    // A short append forces nothing.
    repaints.clear();
    put(w, "z");
    EXPECT_TRUE(repaints.empty());
}

}  // namespace
}  // namespace norva
