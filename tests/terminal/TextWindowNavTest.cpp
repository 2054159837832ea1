// The text window's caret keys, selection, copy and search.
#include <gtest/gtest.h>

#include <string>

#include "TermTestUtil.h"
#include "terminal/TermText.h"
#include "terminal/TextWindow.h"

namespace norva {
namespace {

using test::held;
using test::put;
using test::row;

CTextWindow numbered(int lines, int visibleRows)
{
    CTextWindow w(50, 40);
    w.setVisibleArea(visibleRows, 40);
    for (int i = 0; i < lines; ++i)
        put(w, "line " + std::to_string(i) + "\r");
    put(w, "last");
    return w;
}

TEST(TextWindowKeys, HomeEndAndTheirCtrlForms)
{
    CTextWindow w = numbered(30, 10);
    EXPECT_EQ(w.caretColumn(), 4);
    w.key(CaretKey::Home, false, false);
    EXPECT_EQ(w.caretColumn(), 0);
    w.key(CaretKey::End, false, false);
    EXPECT_EQ(w.caretColumn(), 4);

    w.key(CaretKey::Home, false, true);
    EXPECT_EQ(w.topLineIndex(), 0);
    EXPECT_EQ(w.writeLineIndex(), 0);
    EXPECT_EQ(w.caretColumn(), 0);
    // Text now goes to the caret, as on a terminal screen.
    put(w, "LINE");
    EXPECT_EQ(held(w, 0), "LINE 0");

    w.key(CaretKey::End, false, true);
    EXPECT_EQ(w.writeLineIndex(), 30);
    EXPECT_EQ(w.caretColumn(), 4);
    EXPECT_EQ(w.topLineIndex(), 21);
    put(w, "!");
    EXPECT_EQ(held(w, 30), "last!");
}

TEST(TextWindowKeys, ArrowsAndPagesMoveTheCaretAndTheWindowFollows)
{
    CTextWindow w = numbered(30, 10);
    w.key(CaretKey::Up, false, false);
    EXPECT_EQ(w.writeLineIndex(), 29);
    for (int i = 0; i < 15; ++i)
        w.key(CaretKey::Up, false, false);
    EXPECT_EQ(w.writeLineIndex(), 14);
    EXPECT_EQ(w.topLineIndex(), 14);  // scrolled with the caret
    w.key(CaretKey::PageUp, false, false);
    EXPECT_EQ(w.writeLineIndex(), 4);
    EXPECT_EQ(w.topLineIndex(), 4);
    w.key(CaretKey::PageUp, false, false);
    EXPECT_EQ(w.writeLineIndex(), 0);
    EXPECT_EQ(w.topLineIndex(), 0);
    w.key(CaretKey::Up, false, false);
    EXPECT_EQ(w.writeLineIndex(), 0);
    w.key(CaretKey::PageDown, false, false);
    EXPECT_EQ(w.writeLineIndex(), 10);
    EXPECT_EQ(w.topLineIndex(), 10);
    for (int i = 0; i < 50; ++i)
        w.key(CaretKey::Down, false, false);
    EXPECT_EQ(w.writeLineIndex(), 30);
    EXPECT_EQ(w.topLineIndex(), 21);

    // Ctrl+Up/Down scroll without moving the caret.
    w.key(CaretKey::Up, false, true);
    EXPECT_EQ(w.topLineIndex(), 20);
    EXPECT_EQ(w.writeLineIndex(), 30);

    w.key(CaretKey::Left, false, false);
    EXPECT_EQ(w.caretColumn(), 3);
    for (int i = 0; i < 100; ++i)
        w.key(CaretKey::Right, false, false);
    EXPECT_EQ(w.caretColumn(), 40);
    for (int i = 0; i < 100; ++i)
        w.key(CaretKey::Left, false, false);
    EXPECT_EQ(w.caretColumn(), 0);
}

TEST(TextWindowKeys, DeleteRemovesTheCharacterAtTheCaret)
{
    CTextWindow w(10, 10);
    put(w, "abcdefghij");
    w.key(CaretKey::Home, false, false);
    w.key(CaretKey::Right, false, false);
    w.key(CaretKey::Delete, false, false);
    EXPECT_EQ(held(w, 0), "acdefghij");
    EXPECT_EQ(w.caretColumn(), 1);
    w.key(CaretKey::End, false, false);
    w.key(CaretKey::Delete, false, false);  // behind the text: nothing
    EXPECT_EQ(held(w, 0), "acdefghij");
}

TEST(TextWindowSelection, MouseSelectionAcrossLinesAndCopy)
{
    CTextWindow w(10, 20);
    put(w, "hello world\rsecond line   \rthird");
    w.mousePress(0, 6);
    w.mouseMove(1, 2);
    w.mouseRelease(2, 3);
    ASSERT_TRUE(w.hasSelection());
    EXPECT_EQ(w.copySelection(), "world\r\nsecond line\r\nthi");
    ASSERT_TRUE(w.selectedColumns(0).has_value());
    EXPECT_EQ(*w.selectedColumns(0), std::make_pair(6, 20));
    EXPECT_EQ(*w.selectedColumns(1), std::make_pair(0, 20));
    EXPECT_EQ(*w.selectedColumns(2), std::make_pair(0, 3));

    // Dragging backwards selects the same text.
    w.mousePress(2, 3);
    w.mouseRelease(0, 6);
    EXPECT_EQ(w.copySelection(), "world\r\nsecond line\r\nthi");

    // A click without moving selects nothing; moves after release change nothing.
    w.mousePress(1, 1);
    w.mouseRelease(1, 1);
    EXPECT_FALSE(w.hasSelection());
    w.mouseMove(2, 2);
    EXPECT_FALSE(w.hasSelection());
    EXPECT_EQ(w.copySelection(), "");

    // Rows below the held text clamp to the end line.
    w.mousePress(0, 0);
    w.mouseRelease(9, 30);
    EXPECT_EQ(w.copySelection(), "hello world\r\nsecond line\r\nthird");
}

TEST(TextWindowSelection, ShiftExtendsOtherMovementRemoves)
{
    CTextWindow w(10, 20);
    put(w, "alpha\rbeta gamma");
    w.key(CaretKey::Left, true, false);
    w.key(CaretKey::Left, true, false);
    EXPECT_EQ(w.copySelection(), "ma");
    w.key(CaretKey::Home, true, false);
    EXPECT_EQ(w.copySelection(), "beta gamma");
    w.key(CaretKey::Up, true, false);
    EXPECT_EQ(w.copySelection(), "alpha\r\nbeta gamma");
    w.key(CaretKey::Right, false, false);
    EXPECT_FALSE(w.hasSelection());

    // Appending removes a selection.
    w.key(CaretKey::Home, true, true);
    EXPECT_TRUE(w.hasSelection());
    put(w, "x");
    EXPECT_FALSE(w.hasSelection());
}

TEST(TextWindowSelection, CopyIsCutAt65520Bytes)
{
    CTextWindow w(1000, 100);
    for (int i = 0; i < 700; ++i)
        put(w, std::string(99, 'x') + "\r");
    w.key(CaretKey::Home, false, true);
    w.key(CaretKey::End, true, true);
    const std::string copy = w.copySelection();
    EXPECT_EQ(copy.size(), CTextWindow::kMaxCopyBytes);
    EXPECT_EQ(copy.substr(0, 101), std::string(99, 'x') + "\r\n");

    // Multi-byte characters are never cut in half.
    CTextWindow euro(1000, 100);
    const std::u32string line = std::u32string(98, U'€') + U"\r";
    for (int i = 0; i < 700; ++i)
        euro.append(line, 0);
    euro.key(CaretKey::Home, false, true);
    euro.key(CaretKey::End, true, true);
    const std::string cut = euro.copySelection();
    EXPECT_LE(cut.size(), CTextWindow::kMaxCopyBytes);
    EXPECT_GT(cut.size(), CTextWindow::kMaxCopyBytes - 3);
    EXPECT_EQ(termtext::fromUtf8(cut).find(U'?'), std::u32string::npos);
}

TEST(TextWindowSearch, FindsCaseInsensitivelyLineByLineUpToTheWriteLine)
{
    CTextWindow w(10, 11);
    put(w, "Hello World\rfoo bar\ra hello\r");
    EXPECT_EQ(w.search("HELLO"), CTextWindow::SearchResult::Found);
    EXPECT_EQ(w.copySelection(), "Hello");
    EXPECT_EQ(w.search("hello"), CTextWindow::SearchResult::Found);
    EXPECT_EQ(*w.selectedColumns(2), std::make_pair(2, 7));
    EXPECT_EQ(w.search("hello"), CTextWindow::SearchResult::EndReached);
    // The caller asked and the user wants to start again from the oldest line.
    EXPECT_EQ(w.searchFromOldest("hello"), CTextWindow::SearchResult::Found);
    EXPECT_EQ(*w.selectedColumns(0), std::make_pair(0, 5));

    // A match never spans two lines.
    EXPECT_EQ(w.search("worldfoo"), CTextWindow::SearchResult::EndReached);
    EXPECT_EQ(w.searchFromOldest("worldfoo"), CTextWindow::SearchResult::NotFound);
    EXPECT_EQ(w.search(""), CTextWindow::SearchResult::NotFound);
    EXPECT_EQ(w.search("much longer than a line"), CTextWindow::SearchResult::EndReached);
}

TEST(TextWindowSearch, NonAsciiLettersAndLinesAfterTheWriteLine)
{
    CTextWindow w(10, 20);
    w.append(U"Grüße aus ÄGYPTEN\rzweite\r", 0);
    EXPECT_EQ(w.search("GRÜßE"), CTextWindow::SearchResult::Found);
    EXPECT_EQ(w.copySelection(), "Grüße");
    EXPECT_EQ(w.search("ägypten"), CTextWindow::SearchResult::Found);
    EXPECT_EQ(w.copySelection(), "ÄGYPTEN");

    // Lines after the write line are not searched.
    w.key(CaretKey::Home, false, true);
    w.clearSelection();
    EXPECT_EQ(w.search("zweite"), CTextWindow::SearchResult::EndReached);
    EXPECT_EQ(w.searchFromOldest("zweite"), CTextWindow::SearchResult::NotFound);
}

TEST(TextWindowSearch, MatchIsScrolledIntoView)
{
    CTextWindow w(50, 20);
    w.setVisibleArea(5, 20);
    put(w, "needle here\r");
    for (int i = 0; i < 30; ++i)
        put(w, "hay\r");
    EXPECT_EQ(w.topLineIndex(), 27);
    EXPECT_EQ(w.search("needle"), CTextWindow::SearchResult::EndReached);
    EXPECT_EQ(w.searchFromOldest("NEEDLE"), CTextWindow::SearchResult::Found);
    EXPECT_EQ(w.topLineIndex(), 0);
    EXPECT_EQ(row(w, 0), "needle here");
    EXPECT_EQ(*w.selectedColumns(0), std::make_pair(0, 6));
}

}  // namespace
}  // namespace norva
