// OutputView and PrewriteView: key handling of the two panes.
#include "gui/PaneViews.h"

// Qt
#include <QKeyEvent>

namespace norva {

void PrewriteView::typeText(const QString& text) {
    for (const char32_t ch : text.toUcs4())
        model_.typeChar(ch);
    flushDamage();
}

bool PrewriteView::otherKey(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Insert:
        model_.toggleInsert();
        emit insertModeChanged(model_.settings().insert);
        return true;
    case Qt::Key_Delete:
        model_.key(CaretKey::Delete, false, false);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        model_.typeChar(13);
        return true;
    case Qt::Key_Backspace:
        model_.typeChar(8);
        return true;
    case Qt::Key_Escape:
        model_.typeChar(27);
        return true;
    case Qt::Key_Tab:
        model_.typeChar(9);
        return true;
    default:
        break;
    }
    if (event->modifiers() & (Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = event->text();
    if (text.isEmpty())
        return false;
    for (const char32_t ch : text.toUcs4())
        model_.typeChar(ch);
    return true;
}

}  // namespace norva
