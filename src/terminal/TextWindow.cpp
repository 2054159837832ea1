// CTextWindow: the ring, appending text, new lines, damage and the read-out
// used for painting. Navigation, selection and search are in TextWindowNav.cpp.
#include "terminal/TextWindow.h"

// std
#include <algorithm>
#include <chrono>

namespace norva {

namespace {

constexpr char32_t kBlank = U' ';
constexpr char32_t kBackspace = 8;
constexpr char32_t kLineFeed = 10;
constexpr char32_t kReturn = 13;
constexpr char32_t kCtrlY = 25;
constexpr std::int64_t kMaxInterval = std::int64_t{1} << 40;

std::int64_t steadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CTextWindow::CTextWindow(int rows, int columns)
{
    initialise(rows, columns);
}

void CTextWindow::initialise(int rows, int columns)
{
    columns_ = std::clamp(columns, kMinColumns, kMaxColumns);
    rows_ = std::clamp(rows, kMinRows, kMaxRows);
    rows_ = std::min(rows_, kMaxCells / columns_);
    cells_.assign(static_cast<std::size_t>(rows_) * columns_, kBlank);
    classes_.assign(static_cast<std::size_t>(rows_), 0);
    visibleRows_ = rows_;
    visibleColumns_ = columns_;
    wrapBuffer_.reserve(static_cast<std::size_t>(columns_));
    lastLine_.reserve(static_cast<std::size_t>(columns_));
    clear();
}

void CTextWindow::setVisibleArea(int visibleRows, int visibleColumns)
{
    const bool writeWasVisible = lineVisible(write_);
    visibleRows_ = std::clamp(visibleRows, 1, kMaxRows);
    visibleColumns_ = std::clamp(visibleColumns, 1, kMaxColumns);
    if (writeWasVisible && write_ >= top_ + visibleRows_)
        top_ = write_ - visibleRows_ + 1;
    top_ = std::clamp(top_, oldest_, maxTop());
    damageWhole();
}

void CTextWindow::setDisplayRate(int ms)
{
    displayRate_ = std::max(ms, 1);
}

void CTextWindow::setTimeSource(TimeSource source)
{
    timeSource_ = std::move(source);
}

void CTextWindow::setCollectFinishedLines(bool on)
{
    collectFinished_ = on;
    if (!on)
        finished_.clear();
}

std::vector<FinishedLine> CTextWindow::takeFinishedLines()
{
    std::vector<FinishedLine> out;
    out.swap(finished_);
    return out;
}

std::int64_t CTextWindow::now() const
{
    return timeSource_ ? timeSource_() : steadyMs();
}

// ---------------------------------------------------------------- writing

void CTextWindow::append(std::u32string_view text, int colourClass)
{
    if (colourClass < 0 || colourClass >= kLineClasses)
        colourClass = 0;
    clearSelection();
    mouseSelecting_ = false;
    stopwatch_ = now();
    interval_ = displayRate_;
    for (char32_t ch : text) {
        putChar(ch, colourClass);
        checkForcedRepaint();
    }
}

void CTextWindow::putChar(char32_t ch, int colourClass)
{
    switch (ch) {
    case kBackspace:
        backspace();
        return;
    case kLineFeed:
        return;
    case kReturn:
        newLine(false);
        return;
    case kCtrlY:
        eraseWriteLine();
        return;
    default:
        break;
    }
    wrapCheck();
    setLineClass(write_, colourClass);
    placeChar(ch);
}

// Writes one character at the caret (insert or overwrite) and advances it.
// The caller has made sure the caret is inside the line.
void CTextWindow::placeChar(char32_t ch)
{
    char32_t* cells = lineCells(write_);
    if (insert_) {
        std::copy_backward(cells + caretColumn_, cells + columns_ - 1, cells + columns_);
        damageCells(write_, caretColumn_, columns_);
    } else {
        damageCells(write_, caretColumn_, caretColumn_ + 1);
    }
    cells[caretColumn_] = ch;
    ++caretColumn_;
}

void CTextWindow::backspace()
{
    if (caretColumn_ <= 0)
        return;
    removeCell(write_, caretColumn_ - 1);
    --caretColumn_;
    if (caretColumn_ == 0)
        setLineClass(write_, 0);
}

void CTextWindow::removeCell(std::int64_t line, int column)
{
    char32_t* cells = lineCells(line);
    std::copy(cells + column + 1, cells + columns_, cells + column);
    cells[columns_ - 1] = kBlank;
    damageCells(line, column, columns_);
}

void CTextWindow::eraseWriteLine()
{
    blankLine(write_);
    caretColumn_ = 0;
}

void CTextWindow::wrapCheck()
{
    if (!wordWrap_) {
        if (caretColumn_ >= columns_)
            newLine(true);
        return;
    }
    const int limit = std::min(visibleColumns_, columns_);
    if (caretColumn_ >= limit)
        wordWrapLine();
}

// Moves the word being written (after the last blank left of the caret) to a
// new line; without a blank the line simply ends.
void CTextWindow::wordWrapLine()
{
    char32_t* cells = lineCells(write_);
    int blank = caretColumn_ - 1;
    while (blank >= 0 && cells[blank] != kBlank)
        --blank;
    if (blank < 0) {
        newLine(true);
        return;
    }
    wrapBuffer_.assign(cells + blank + 1, cells + caretColumn_);
    std::fill(cells + blank + 1, cells + caretColumn_, kBlank);
    damageCells(write_, blank + 1, caretColumn_);
    newLine(true);
    for (char32_t ch : wrapBuffer_)
        placeChar(ch);
}

void CTextWindow::newLine(bool byWrap)
{
    const char32_t* cells = lineCells(write_);
    lastLine_.assign(cells, cells + lineLength(write_));
    lastLineClass_ = lineClass(write_);
    if (collectFinished_)
        finished_.push_back({lastLine_, lastLineClass_, byWrap});

    const bool followed = lineVisible(write_);
    caretColumn_ = 0;
    const bool atEnd = write_ == end_;
    ++write_;
    if (atEnd) {
        end_ = write_;
        if (end_ - oldest_ >= rows_)
            oldest_ = end_ - rows_ + 1;
        blankLine(write_);
    }
    // The window follows the caret only when the caret was in view: an
    // operator reading older text is not pulled away by every new line.
    const int limit = std::min(visibleRows_, rows_);
    if (followed && write_ - top_ >= limit) {
        top_ = write_ - limit + 1;
        damageWhole();
    }
    if (top_ < oldest_) {
        top_ = oldest_;
        damageWhole();
    }
}

void CTextWindow::checkForcedRepaint()
{
    const std::int64_t t = now();
    if (t - stopwatch_ <= interval_)
        return;
    if (repaintHandler_)
        repaintHandler_();
    stopwatch_ = now();
    interval_ = std::min(interval_ * 2, kMaxInterval);
}

void CTextWindow::clear()
{
    std::fill(cells_.begin(), cells_.end(), kBlank);
    std::fill(classes_.begin(), classes_.end(), 0);
    oldest_ = end_ = write_ = top_ = 0;
    caretColumn_ = 0;
    selectionActive_ = false;
    mouseSelecting_ = false;
    lastLine_.clear();
    lastLineClass_ = 0;
    finished_.clear();
    damageWhole();
}

void CTextWindow::jumpToEnd()
{
    write_ = end_;
    setTop(std::max(oldest_, end_ - visibleRows_ + 1));
    caretColumn_ = lineLength(end_);
    damageWhole();
}

// ---------------------------------------------------------------- cells

char32_t* CTextWindow::lineCells(std::int64_t line)
{
    return cells_.data() + static_cast<std::size_t>(line % rows_) * columns_;
}

const char32_t* CTextWindow::lineCells(std::int64_t line) const
{
    return cells_.data() + static_cast<std::size_t>(line % rows_) * columns_;
}

int CTextWindow::lineClass(std::int64_t line) const
{
    return classes_[static_cast<std::size_t>(line % rows_)];
}

void CTextWindow::setLineClass(std::int64_t line, int colourClass)
{
    auto& stored = classes_[static_cast<std::size_t>(line % rows_)];
    if (stored == colourClass)
        return;
    stored = static_cast<unsigned char>(colourClass);
    damageLine(line);  // every cell of the line changes colour
}

int CTextWindow::lineLength(std::int64_t line) const
{
    const char32_t* cells = lineCells(line);
    int length = columns_;
    while (length > 0 && cells[length - 1] == kBlank)
        --length;
    return length;
}

void CTextWindow::blankLine(std::int64_t line)
{
    char32_t* cells = lineCells(line);
    std::fill(cells, cells + columns_, kBlank);
    classes_[static_cast<std::size_t>(line % rows_)] = 0;
    damageLine(line);
}

bool CTextWindow::lineVisible(std::int64_t line) const
{
    return line >= top_ && line < top_ + visibleRows_;
}

// ---------------------------------------------------------------- damage

void CTextWindow::damageCells(std::int64_t line, int first, int end)
{
    if (damage_.whole || !lineVisible(line))
        return;
    first = std::max(first, 0);
    end = std::min(end, columns_);
    if (first >= end)
        return;
    const int row = static_cast<int>(line - top_);
    if (!damage_.spans.empty()) {
        auto& last = damage_.spans.back();
        if (last.row == row && first <= last.endColumn && end >= last.firstColumn) {
            last.firstColumn = std::min(last.firstColumn, first);
            last.endColumn = std::max(last.endColumn, end);
            return;
        }
    }
    if (damage_.spans.size() >= kMaxSpans) {
        damageWhole();
        return;
    }
    damage_.spans.push_back({row, first, end});
}

void CTextWindow::damageWhole()
{
    damage_.whole = true;
    damage_.spans.clear();
}

TextDamage CTextWindow::takeDamage()
{
    TextDamage out = std::move(damage_);
    damage_ = TextDamage{};
    const auto caret = caretCell();
    out.caretMoved = caret != reportedCaret_;
    reportedCaret_ = caret;
    const auto scroll = scrollInfo();
    out.scrollBarChanged = !(scroll == reportedScroll_);
    reportedScroll_ = scroll;
    return out;
}

// ---------------------------------------------------------------- read-out

bool CTextWindow::rowHeld(int row) const
{
    return row >= 0 && row < visibleRows_ && top_ + row <= end_;
}

std::u32string_view CTextWindow::rowText(int row) const
{
    if (!rowHeld(row))
        return {};
    return {lineCells(top_ + row), static_cast<std::size_t>(columns_)};
}

int CTextWindow::rowClass(int row) const
{
    return rowHeld(row) ? lineClass(top_ + row) : 0;
}

std::optional<CellPos> CTextWindow::caretCell() const
{
    if (!lineVisible(write_))
        return std::nullopt;
    return CellPos{static_cast<int>(write_ - top_), caretColumn_};
}

ScrollInfo CTextWindow::scrollInfo() const
{
    return {heldLines(), static_cast<int>(top_ - oldest_), visibleRows_};
}

std::u32string_view CTextWindow::heldLine(int index) const
{
    if (index < 0 || index >= heldLines())
        return {};
    return {lineCells(oldest_ + index), static_cast<std::size_t>(columns_)};
}

int CTextWindow::heldLineClass(int index) const
{
    if (index < 0 || index >= heldLines())
        return 0;
    return lineClass(oldest_ + index);
}

}  // namespace norva
