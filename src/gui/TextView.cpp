// TextView: painting a text window and routing user actions to its model.
#include "gui/TextView.h"

// std
#include <algorithm>

// Qt
#include <QFontMetrics>
#include <QGlyphRun>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace norva {

namespace {

// How DOS showed the control characters 1..31 (and 127).
constexpr std::array<char32_t, 32> kControlGlyphs = {
    U' ',     U'\u263A', U'\u263B', U'\u2665', U'\u2666', U'\u2663', U'\u2660', U'\u2022',
    U'\u25D8', U'\u25CB', U'\u25D9', U'\u2642', U'\u2640', U'\u266A', U'\u266B', U'\u263C',
    U'\u25BA', U'\u25C4', U'\u2195', U'\u203C', U'\u00B6', U'\u00A7', U'\u25AC', U'\u21A8',
    U'\u2191', U'\u2193', U'\u2192', U'\u2190', U'\u221F', U'\u2194', U'\u25B2', U'\u25BC',
};

QColor fromRgbIndex(const std::array<QColor, 11>& colours, int cls) {
    return colours[static_cast<std::size_t>(std::clamp(cls, 0, 10))];
}

}  // namespace

char32_t displayChar(char32_t ch) {
    if (ch < kControlGlyphs.size())
        return kControlGlyphs[ch];
    if (ch == 0x7F)
        return U'\u2302';
    return ch;
}

QColor PaneStyle::background(const QPalette& palette) const {
    return colorMode ? colours[10] : palette.color(QPalette::Base);
}

QColor PaneStyle::text(int colourClass, const QPalette& palette) const {
    return colorMode ? fromRgbIndex(colours, colourClass) : palette.color(QPalette::Text);
}

TextView::TextView(CTextWindow& window, const PaneStyle& style, QWidget* parent)
    : QAbstractScrollArea(parent), window_(window), style_(style) {
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, &TextView::scrollBarAction);
    window_.setRepaintHandler([this] {
        flushDamage();
        viewport()->repaint();
    });
    styleChanged();
}

void TextView::styleChanged() {
    viewport()->setFont(style_.font);
    const QFontMetrics fm(style_.font);
    cellWidth_ = std::max(1, fm.horizontalAdvance(QLatin1Char('M')));
    cellHeight_ = std::max(1, fm.height());
    rawFont_ = QRawFont::fromFont(style_.font);
    underline_ = style_.font.underline();
    strikeOut_ = style_.font.strikeOut();
    ascent_ = fm.ascent();
    updateVisibleArea();
    viewport()->update();
}

void TextView::setScrollBarShown(bool on) {
    setVerticalScrollBarPolicy(on ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TextView::updateVisibleArea() {
    const QSize size = viewport()->size();
    window_.setVisibleArea(std::max(1, size.height() / cellHeight_),
                           std::max(1, size.width() / cellWidth_));
    flushDamage();
}

std::pair<int, int> TextView::cellAt(QPoint p) const {
    const int row = std::clamp(p.y() / cellHeight_, 0, std::max(0, window_.visibleRows() - 1));
    const int column = std::clamp((p.x() + cellWidth_ / 2) / cellWidth_, 0, window_.columns());
    return {row, column};
}

QRect TextView::caretRect() const {
    const auto cell = window_.caretCell();
    if (!cell || !hasFocus())
        return {};
    return QRect(cell->column * cellWidth_, cell->row * cellHeight_, cellWidth_, cellHeight_);
}

void TextView::flushDamage() {
    const TextDamage damage = window_.takeDamage();
    if (damage.whole) {
        viewport()->update();
    } else {
        for (const TextDamage::Span& s : damage.spans)
            viewport()->update(QRect(s.firstColumn * cellWidth_, s.row * cellHeight_,
                                     (s.endColumn - s.firstColumn) * cellWidth_, cellHeight_));
    }
    const QRect caret = caretRect();
    if (caret != shownCaret_) {
        viewport()->update(shownCaret_);
        viewport()->update(caret);
    }
    if (damage.scrollBarChanged)
        syncScrollBar();
}

void TextView::syncScrollBar() {
    const ScrollInfo info = window_.scrollInfo();
    syncing_ = true;
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, std::max(0, info.lines - info.page));
    bar->setPageStep(std::max(1, info.page));
    bar->setSingleStep(1);
    bar->setValue(info.position);
    syncing_ = false;
}

void TextView::scrollBarAction(int action) {
    if (syncing_ || action == QAbstractSlider::SliderNoAction)
        return;
    const int position = verticalScrollBar()->sliderPosition();
    const int now = window_.scrollInfo().position;
    if (action == QAbstractSlider::SliderSingleStepAdd || action == QAbstractSlider::SliderSingleStepSub)
        modelScrollLines(position - now);
    else
        modelScrollTo(position);
    flushDamage();
}

void TextView::scrollContentsBy(int, int) {
    // The model decides what is shown; the bar only reports actions.
    viewport()->update();
}

void TextView::drawCells(QPainter& painter, std::u32string_view cells, int firstColumn,
                         int y) const {
    std::size_t n = cells.size();
    while (n > 0 && cells[n - 1] == U' ')
        --n;
    if (n == 0)
        return;
    // One UTF-16 unit per cell, so glyph i belongs to cell i.
    QString text(static_cast<qsizetype>(n), QChar(u' '));
    for (std::size_t i = 0; i < n; ++i) {
        const char32_t ch = displayChar(cells[i]);
        text[static_cast<qsizetype>(i)] = ch > 0xFFFF ? QChar(0xFFFD) : QChar(static_cast<char16_t>(ch));
    }
    const QList<quint32> glyphs = rawFont_.glyphIndexesForString(text);
    QList<QPointF> positions;
    positions.reserve(glyphs.size());
    for (qsizetype i = 0; i < glyphs.size(); ++i)
        positions.append(QPointF((firstColumn + i) * cellWidth_, y + ascent_));
    QGlyphRun run;
    run.setRawFont(rawFont_);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    run.setUnderline(underline_);
    run.setStrikeOut(strikeOut_);
    painter.drawGlyphRun(QPointF(0, 0), run);
}

void TextView::paintRow(QPainter& painter, int row) {
    const int y = row * cellHeight_;
    const QPalette& pal = palette();
    const std::u32string_view cells = window_.rowText(row);
    painter.setPen(style_.text(window_.rowClass(row), pal));
    drawCells(painter, cells, 0, y);
    const auto selected = window_.selectedColumns(row);
    if (!selected || selected->second <= selected->first)
        return;
    const auto [first, end] = *selected;
    const QRect area(first * cellWidth_, y, (end - first) * cellWidth_, cellHeight_);
    painter.fillRect(area, pal.color(QPalette::Highlight));
    painter.setPen(pal.color(QPalette::HighlightedText));
    drawCells(painter,
              cells.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(end - first)),
              first, y);
}

void TextView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    const QRect area = event->rect();
    painter.fillRect(area, style_.background(palette()));
    painter.setFont(style_.font);
    const int firstRow = std::max(0, area.top() / cellHeight_);
    const int lastRow = std::min(window_.visibleRows() - 1, area.bottom() / cellHeight_);
    for (int row = firstRow; row <= lastRow; ++row)
        if (window_.rowHeld(row))
            paintRow(painter, row);
    shownCaret_ = caretRect();
    if (shownCaret_.isNull())
        return;
    const QColor caretColour = style_.text(0, palette());
    if (barCaret())
        painter.fillRect(QRect(shownCaret_.left(), shownCaret_.top(), 2, shownCaret_.height()),
                         caretColour);
    else
        painter.fillRect(QRect(shownCaret_.left(), shownCaret_.bottom() - 2, shownCaret_.width(), 3),
                         caretColour);
}

void TextView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    updateVisibleArea();
}

void TextView::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    std::optional<CaretKey> key;
    switch (event->key()) {
    case Qt::Key_Home: key = CaretKey::Home; break;
    case Qt::Key_End: key = CaretKey::End; break;
    case Qt::Key_Left: key = CaretKey::Left; break;
    case Qt::Key_Right: key = CaretKey::Right; break;
    case Qt::Key_Up: key = CaretKey::Up; break;
    case Qt::Key_Down: key = CaretKey::Down; break;
    case Qt::Key_PageUp: key = CaretKey::PageUp; break;
    case Qt::Key_PageDown: key = CaretKey::PageDown; break;
    default: break;
    }
    if (key) {
        modelKey(*key, shift, ctrl);
        flushDamage();
        return;
    }
    if (otherKey(event)) {
        flushDamage();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool TextView::otherKey(QKeyEvent*) { return false; }

void TextView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const auto [row, column] = cellAt(event->position().toPoint());
    modelMousePress(row, column);
    flushDamage();
}

void TextView::mouseMoveEvent(QMouseEvent* event) {
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const auto [row, column] = cellAt(event->position().toPoint());
    modelMouseMove(row, column);
    flushDamage();
}

void TextView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    const auto [row, column] = cellAt(event->position().toPoint());
    modelMouseRelease(row, column);
    flushDamage();
}

void TextView::wheelEvent(QWheelEvent* event) {
    const int steps = event->angleDelta().y() / 40;  // three lines per notch
    if (steps == 0)
        return;
    modelScrollLines(-steps);
    flushDamage();
}

void TextView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    modelFocusIn();
    flushDamage();
    viewport()->update(caretRect());
    emit focusEntered();
}

void TextView::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    modelFocusOut();
    viewport()->update(shownCaret_);
}

void TextView::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuWanted(event->globalPos());
}

}  // namespace norva
