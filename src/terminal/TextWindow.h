// CTextWindow: the ring of character cells behind both panes of a channel
// window. Lines live in one cell array used as a ring; every line has a colour
// class. Text is appended at the caret, old lines drop out of the ring by one
// index step, and the view learns what to repaint from takeDamage().
//
// Lines are counted with ever-growing line numbers; a line's cells sit at ring
// index (number % rows). Dropping the oldest line only raises oldest_, so text
// is never moved.
#pragma once

// std
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norva {

// What the view must repaint since its last takeDamage(). Rows and columns are
// visible ones (row 0 = top line of the window).
struct TextDamage {
    struct Span {
        int row = 0;
        int firstColumn = 0;  // first damaged cell
        int endColumn = 0;    // one past the last damaged cell
    };
    bool whole = false;            // repaint every visible row; spans are then empty
    std::vector<Span> spans;       // otherwise only these cells
    bool scrollBarChanged = false;  // range, position or page changed
    bool caretMoved = false;        // caret cell (or its visibility) changed

    bool empty() const { return !whole && spans.empty() && !scrollBarChanged && !caretMoved; }
};

// Keys the text window handles itself (Insert belongs to the input pane).
enum class CaretKey { Home, End, Left, Right, Up, Down, PageUp, PageDown, Delete };

// A line finished by CR or by wrapping, as the input pane sends it.
struct FinishedLine {
    std::u32string text;  // without trailing blanks
    int colourClass = 0;
    bool byWrap = false;  // ended by the wrap check rather than by CR
};

// Vertical scroll bar: `lines` held lines, `position` of the top line counted
// from the oldest, `page` visible rows.
struct ScrollInfo {
    int lines = 1;
    int position = 0;
    int page = 1;
    bool operator==(const ScrollInfo&) const = default;
};

struct CellPos {
    int row = 0;
    int column = 0;
    bool operator==(const CellPos&) const = default;
};

class CTextWindow {
public:
    // Ring sizes are clamped into these limits; rows are reduced further so
    // that one ring never holds more than kMaxCells cells.
    static constexpr int kMinRows = 1;
    static constexpr int kMaxRows = 10000;
    static constexpr int kMinColumns = 1;
    static constexpr int kMaxColumns = 1000;
    static constexpr int kMaxCells = 2'000'000;
    // A copy of the selection is cut to this many bytes of UTF-8.
    static constexpr std::size_t kMaxCopyBytes = 65520;
    static constexpr int kDefaultDisplayRate = 50;
    // Line classes are 0..9; anything else is written as class 0.
    static constexpr int kLineClasses = 10;

    enum class SearchResult {
        Found,       // the match is selected and scrolled into view
        EndReached,  // nothing up to the write line: ask, then searchFromOldest()
        NotFound,    // nothing anywhere (or an empty search text)
    };

    using TimeSource = std::function<std::int64_t()>;  // milliseconds, monotonic

    CTextWindow(int rows = 50, int columns = 80);

    // Creates the ring anew (clamped sizes), cleared. The visible area becomes
    // the whole ring until the view reports its size.
    void initialise(int rows, int columns);
    int rows() const { return rows_; }
    int columns() const { return columns_; }

    // Settings.
    void setInsertMode(bool on) { insert_ = on; }
    bool insertMode() const { return insert_; }
    void setWordWrap(bool on) { wordWrap_ = on; }
    bool wordWrap() const { return wordWrap_; }
    // Window size in cells, from the view (clamped to 1..kMaxRows/kMaxColumns).
    void setVisibleArea(int visibleRows, int visibleColumns);
    int visibleRows() const { return visibleRows_; }
    int visibleColumns() const { return visibleColumns_; }
    // Forced-repaint interval at the start of each append (DisplayRate), >= 1.
    void setDisplayRate(int ms);
    void setTimeSource(TimeSource source);
    // Called during a long append when a forced repaint is due; the view then
    // paints takeDamage() at once.
    void setRepaintHandler(std::function<void()> handler) { repaintHandler_ = std::move(handler); }
    // Keep every finished line for takeFinishedLines() (the input pane does).
    void setCollectFinishedLines(bool on);

    // Writing.
    void append(std::u32string_view text, int colourClass);
    void clear();
    void jumpToEnd();
    // Copy of the line ended last, without trailing blanks, and its class.
    std::u32string_view lastLine() const { return lastLine_; }
    int lastLineClass() const { return lastLineClass_; }
    std::vector<FinishedLine> takeFinishedLines();

    // Scrolling moves the top line only, within the held lines.
    void scrollLines(int n);
    void scrollPages(int n);
    void scrollTo(int position);
    // Caret keys; with shift the movement extends the selection, otherwise any
    // movement removes it. Ctrl+Home/End/Up/Down as documented in the .cpp.
    void key(CaretKey key, bool shift, bool ctrl);

    // Mouse selection at a visible cell (clamped into the held text).
    void mousePress(int row, int column);
    void mouseMove(int row, int column);
    void mouseRelease(int row, int column);
    bool hasSelection() const;
    void clearSelection();
    // Selected text as UTF-8: each line's part up to its last non-blank, lines
    // joined with "\r\n", cut at kMaxCopyBytes on a character boundary.
    std::string copySelection() const;

    // Case-insensitive search from after the selection (or the top line) up to
    // the write line; a match never spans two lines.
    SearchResult search(std::string_view needleUtf8);
    SearchResult searchFromOldest(std::string_view needleUtf8);

    // Painting: visible rows beyond the held text are empty.
    bool rowHeld(int row) const;
    std::u32string_view rowText(int row) const;  // `columns()` cells, or empty
    int rowClass(int row) const;
    // Selected columns [first, end) of a visible row, if any.
    std::optional<std::pair<int, int>> selectedColumns(int row) const;
    // The caret cell when it is inside the window.
    std::optional<CellPos> caretCell() const;
    ScrollInfo scrollInfo() const;
    TextDamage takeDamage();

    // Held text, index 0 = oldest line.
    int heldLines() const { return static_cast<int>(end_ - oldest_ + 1); }
    std::u32string_view heldLine(int index) const;
    int heldLineClass(int index) const;
    int writeLineIndex() const { return static_cast<int>(write_ - oldest_); }
    int topLineIndex() const { return static_cast<int>(top_ - oldest_); }
    int caretColumn() const { return caretColumn_; }

private:
    struct TextPos {
        std::int64_t line = 0;
        int column = 0;
        bool operator==(const TextPos&) const = default;
        auto operator<=>(const TextPos&) const = default;
    };

    // Append, one character at a time (TextWindow.cpp).
    void putChar(char32_t ch, int colourClass);
    void backspace();
    void eraseWriteLine();
    void wrapCheck();
    void wordWrapLine();
    void placeChar(char32_t ch);
    void newLine(bool byWrap);
    void checkForcedRepaint();
    void setLineClass(std::int64_t line, int colourClass);
    void blankLine(std::int64_t line);
    void removeCell(std::int64_t line, int column);

    // Navigation helpers (TextWindowNav.cpp).
    void moveWriteLine(std::int64_t delta);
    void pageKey(int direction);
    void makeLineVisible(std::int64_t line);
    void setTop(std::int64_t line);
    std::int64_t maxTop() const;
    TextPos cellToPos(int row, int column) const;
    TextPos clampPos(TextPos p) const;
    std::pair<TextPos, TextPos> orderedSelection() const;
    void setSelection(TextPos anchor, TextPos active);
    SearchResult searchFrom(TextPos from, const std::u32string& needle);

    // Cells and damage.
    char32_t* lineCells(std::int64_t line);
    const char32_t* lineCells(std::int64_t line) const;
    int lineClass(std::int64_t line) const;
    int lineLength(std::int64_t line) const;  // up to the last non-blank
    bool lineVisible(std::int64_t line) const;
    void damageCells(std::int64_t line, int first, int end);
    void damageLine(std::int64_t line) { damageCells(line, 0, columns_); }
    void damageWhole();
    std::int64_t now() const;

    int rows_ = 0;
    int columns_ = 0;
    std::vector<char32_t> cells_;
    std::vector<unsigned char> classes_;

    std::int64_t oldest_ = 0;
    std::int64_t end_ = 0;
    std::int64_t write_ = 0;
    std::int64_t top_ = 0;
    int caretColumn_ = 0;

    bool insert_ = false;
    bool wordWrap_ = false;
    int visibleRows_ = 1;
    int visibleColumns_ = 1;

    bool selectionActive_ = false;  // anchor_/active_ are meaningful
    bool mouseSelecting_ = false;
    TextPos anchor_;
    TextPos active_;

    std::u32string lastLine_;
    int lastLineClass_ = 0;
    bool collectFinished_ = false;
    std::vector<FinishedLine> finished_;
    std::u32string wrapBuffer_;

    // Forced repaint of long appends.
    int displayRate_ = kDefaultDisplayRate;
    std::int64_t interval_ = kDefaultDisplayRate;
    std::int64_t stopwatch_ = 0;
    TimeSource timeSource_;
    std::function<void()> repaintHandler_;

    // Damage since the last takeDamage().
    static constexpr std::size_t kMaxSpans = 64;
    TextDamage damage_;
    std::optional<CellPos> reportedCaret_;
    ScrollInfo reportedScroll_;
};

}  // namespace norva
