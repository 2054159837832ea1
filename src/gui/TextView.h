// TextView: paints a CTextWindow in a fixed-pitch font, one colour per line
// class, and hands keys, mouse and scroll-bar actions to its pane model. It
// holds no text of its own: what to repaint comes from the model's damage.
// OutputView and PrewriteView (PaneViews.h) bind it to COutput and CPrewrite.
#pragma once

// std
#include <array>
#include <optional>

// Qt
#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QRawFont>
#include <QRect>

// Norva
#include "terminal/TextWindow.h"

namespace norva {

// Font and colours shared by every pane; the main window owns it.
struct PaneStyle {
    QFont font;
    std::array<QColor, 11> colours{};  // colour classes 0..9 and the background (10)
    bool colorMode = true;             // false: the system window colours

    QColor background(const QPalette& palette) const;
    QColor text(int colourClass, const QPalette& palette) const;
};

class TextView : public QAbstractScrollArea {
    Q_OBJECT
public:
    TextView(CTextWindow& window, const PaneStyle& style, QWidget* parent = nullptr);

    CTextWindow& textWindow() { return window_; }
    // Repaints what the model changed and brings the scroll bar up to date.
    void flushDamage();
    // Font or colours changed: new cell size, repaint everything.
    void styleChanged();
    void setScrollBarShown(bool on);

    QSize cellSize() const { return {cellWidth_, cellHeight_}; }
    // The cell under a point of the viewport (clamped to the visible area).
    std::pair<int, int> cellAt(QPoint p) const;

signals:
    void contextMenuWanted(QPoint globalPos);
    void focusEntered();

protected:
    // What the pane model does with user actions.
    virtual void modelKey(CaretKey key, bool shift, bool ctrl) = 0;
    virtual void modelMousePress(int row, int column) = 0;
    virtual void modelMouseMove(int row, int column) = 0;
    virtual void modelMouseRelease(int row, int column) = 0;
    virtual void modelScrollLines(int n) = 0;
    virtual void modelScrollTo(int position) = 0;
    virtual void modelFocusIn() = 0;
    virtual void modelFocusOut() = 0;
    // Keys the caret keys did not take (characters in the input pane).
    virtual bool otherKey(QKeyEvent* event);
    // Caret drawn as a bar (insert) or a block outline (overwrite).
    virtual bool barCaret() const { return false; }

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void scrollBarAction(int action);
    void updateVisibleArea();
    void syncScrollBar();
    QRect caretRect() const;
    void paintRow(QPainter& painter, int row);
    void drawCells(QPainter& painter, std::u32string_view cells, int firstColumn, int y) const;

    CTextWindow& window_;
    const PaneStyle& style_;
    int cellWidth_ = 8;
    // The pane font's glyphs, placed one per cell by position: a text layout
    // would advance by fractional widths and drift out of the cells that the
    // model's damage names, and a repaint of one cell would cut its glyph.
    QRawFont rawFont_;
    bool underline_ = false;
    bool strikeOut_ = false;
    int cellHeight_ = 16;
    int ascent_ = 12;
    bool syncing_ = false;
    QRect shownCaret_;
};

// The character shown for a cell: the DOS glyphs for control characters.
char32_t displayChar(char32_t ch);

}  // namespace norva
