// CTextWindow: scrolling, caret keys, mouse and keyboard selection, copy and
// search. Scrolling moves the top line only; caret keys move the write line
// (where appended text goes) and the caret column.
#include "terminal/TextWindow.h"

// std
#include <algorithm>

// Norva
#include "terminal/TermText.h"

namespace norva {

namespace {
constexpr char32_t kBlank = U' ';
}

// ---------------------------------------------------------------- scrolling

std::int64_t CTextWindow::maxTop() const
{
    return std::max(oldest_, end_ - visibleRows_ + 1);
}

void CTextWindow::setTop(std::int64_t line)
{
    line = std::clamp(line, oldest_, maxTop());
    if (line == top_)
        return;
    top_ = line;
    damageWhole();
}

void CTextWindow::scrollLines(int n)
{
    setTop(top_ + n);
}

void CTextWindow::scrollPages(int n)
{
    setTop(top_ + static_cast<std::int64_t>(n) * visibleRows_);
}

void CTextWindow::scrollTo(int position)
{
    setTop(oldest_ + std::max(position, 0));
}

void CTextWindow::makeLineVisible(std::int64_t line)
{
    if (line < top_)
        setTop(line);
    else if (line >= top_ + visibleRows_)
        setTop(line - visibleRows_ + 1);
}

// ---------------------------------------------------------------- caret keys

// Home: caret to the start of the line. Ctrl+Home: the oldest line becomes the
// top line and the write line. End: caret behind the last non-blank. Ctrl+End:
// jump to the end. Arrows move the caret (Up/Down within the held lines), and
// the window follows. Ctrl+Up/Down scroll by one line without moving the
// caret. Page Up/Down move window and caret by one window height. Delete
// removes the character at the caret.
void CTextWindow::key(CaretKey key, bool shift, bool ctrl)
{
    const TextPos before{write_, caretColumn_};
    switch (key) {
    case CaretKey::Delete:
        if (caretColumn_ < columns_)
            removeCell(write_, caretColumn_);
        return;
    case CaretKey::Up:
    case CaretKey::Down:
        if (ctrl) {
            scrollLines(key == CaretKey::Up ? -1 : 1);
            return;
        }
        moveWriteLine(key == CaretKey::Up ? -1 : 1);
        break;
    case CaretKey::Home:
        if (ctrl) {
            write_ = oldest_;
            setTop(oldest_);
        }
        caretColumn_ = 0;
        break;
    case CaretKey::End:
        if (ctrl)
            jumpToEnd();
        else
            caretColumn_ = lineLength(write_);
        break;
    case CaretKey::Left:
        caretColumn_ = std::max(caretColumn_ - 1, 0);
        break;
    case CaretKey::Right:
        caretColumn_ = std::min(caretColumn_ + 1, columns_);
        break;
    case CaretKey::PageUp:
        pageKey(-1);
        break;
    case CaretKey::PageDown:
        pageKey(1);
        break;
    }
    makeLineVisible(write_);
    const TextPos after{write_, caretColumn_};
    if (!shift) {
        clearSelection();
        return;
    }
    setSelection(hasSelection() ? anchor_ : before, after);
}

void CTextWindow::moveWriteLine(std::int64_t delta)
{
    write_ = std::clamp(write_ + delta, oldest_, end_);
}

void CTextWindow::pageKey(int direction)
{
    const std::int64_t delta = static_cast<std::int64_t>(direction) * visibleRows_;
    moveWriteLine(delta);
    setTop(top_ + delta);
}

// ---------------------------------------------------------------- selection

CTextWindow::TextPos CTextWindow::clampPos(TextPos p) const
{
    if (p.line < oldest_)
        return {oldest_, 0};
    if (p.line > end_)
        return {end_, columns_};
    p.column = std::clamp(p.column, 0, columns_);
    return p;
}

CTextWindow::TextPos CTextWindow::cellToPos(int row, int column) const
{
    const std::int64_t line = std::clamp(top_ + row, oldest_, end_);
    return {line, std::clamp(column, 0, columns_)};
}

std::pair<CTextWindow::TextPos, CTextWindow::TextPos> CTextWindow::orderedSelection() const
{
    const TextPos a = clampPos(anchor_);
    const TextPos b = clampPos(active_);
    return a < b ? std::pair{a, b} : std::pair{b, a};
}

bool CTextWindow::hasSelection() const
{
    if (!selectionActive_)
        return false;
    const auto [first, last] = orderedSelection();
    return first != last;
}

void CTextWindow::setSelection(TextPos anchor, TextPos active)
{
    selectionActive_ = true;
    anchor_ = anchor;
    active_ = active;
    damageWhole();
}

void CTextWindow::clearSelection()
{
    if (hasSelection())
        damageWhole();
    selectionActive_ = false;
}

void CTextWindow::mousePress(int row, int column)
{
    clearSelection();
    const TextPos p = cellToPos(row, column);
    selectionActive_ = true;
    anchor_ = active_ = p;
    mouseSelecting_ = true;
}

void CTextWindow::mouseMove(int row, int column)
{
    if (!mouseSelecting_)
        return;
    const TextPos p = cellToPos(row, column);
    if (p == active_)
        return;
    setSelection(anchor_, p);
}

void CTextWindow::mouseRelease(int row, int column)
{
    mouseMove(row, column);
    mouseSelecting_ = false;
}

std::optional<std::pair<int, int>> CTextWindow::selectedColumns(int row) const
{
    if (!rowHeld(row) || !hasSelection())
        return std::nullopt;
    const std::int64_t line = top_ + row;
    const auto [first, last] = orderedSelection();
    if (line < first.line || line > last.line)
        return std::nullopt;
    const int from = line == first.line ? first.column : 0;
    const int to = line == last.line ? last.column : columns_;
    if (from >= to)
        return std::nullopt;
    return std::pair{from, to};
}

std::string CTextWindow::copySelection() const
{
    std::string out;
    if (!hasSelection())
        return out;
    const auto [first, last] = orderedSelection();
    std::string piece;
    for (std::int64_t line = first.line; line <= last.line; ++line) {
        if (line > first.line) {
            if (out.size() + 2 > kMaxCopyBytes)
                return out;
            out += "\r\n";
        }
        const char32_t* cells = lineCells(line);
        const int from = line == first.line ? first.column : 0;
        int to = line == last.line ? last.column : columns_;
        while (to > from && cells[to - 1] == kBlank)
            --to;
        for (int c = from; c < to; ++c) {
            piece.clear();
            termtext::appendUtf8(piece, cells[c]);
            if (out.size() + piece.size() > kMaxCopyBytes)
                return out;
            out += piece;
        }
    }
    return out;
}

// ---------------------------------------------------------------- search

CTextWindow::SearchResult CTextWindow::search(std::string_view needleUtf8)
{
    std::u32string needle = termtext::fromUtf8(needleUtf8);
    for (char32_t& ch : needle)
        ch = termtext::foldCase(ch);
    if (needle.empty())
        return SearchResult::NotFound;
    const TextPos from = hasSelection() ? orderedSelection().second : TextPos{top_, 0};
    return searchFrom(from, needle);
}

CTextWindow::SearchResult CTextWindow::searchFromOldest(std::string_view needleUtf8)
{
    std::u32string needle = termtext::fromUtf8(needleUtf8);
    for (char32_t& ch : needle)
        ch = termtext::foldCase(ch);
    if (needle.empty())
        return SearchResult::NotFound;
    const auto result = searchFrom({oldest_, 0}, needle);
    return result == SearchResult::Found ? result : SearchResult::NotFound;
}

// Line by line up to the write line; the needle is already in lower case.
CTextWindow::SearchResult CTextWindow::searchFrom(TextPos from, const std::u32string& needle)
{
    from = clampPos(from);
    const int length = static_cast<int>(needle.size());
    for (std::int64_t line = from.line; line <= write_; ++line) {
        const char32_t* cells = lineCells(line);
        const int start = line == from.line ? from.column : 0;
        for (int c = start; c + length <= columns_; ++c) {
            int i = 0;
            while (i < length && termtext::foldCase(cells[c + i]) == needle[i])
                ++i;
            if (i < length)
                continue;
            setSelection({line, c}, {line, c + length});
            makeLineVisible(line);
            return SearchResult::Found;
        }
    }
    return SearchResult::EndReached;
}

}  // namespace norva
