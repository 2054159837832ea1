// The two panes of a channel window: OutputView paints a COutput (received
// text, overwrite, no typing), PrewriteView a CPrewrite (typing, insert mode,
// Esc command lines). Both only forward to their model and repaint.
#pragma once

// Norva
#include "gui/TextView.h"
#include "terminal/Output.h"
#include "terminal/Prewrite.h"

namespace norva {

// A TextView that hands every key, mouse and scroll action to its pane model
// (COutput or CPrewrite), so the model can keep its review and focus rules.
template <class Model>
class PaneView : public TextView {
public:
    Model& model() { return model_; }

protected:
    PaneView(Model& model, const PaneStyle& style, QWidget* parent)
        : TextView(model.window(), style, parent), model_(model) {}

    void modelKey(CaretKey key, bool shift, bool ctrl) override { model_.key(key, shift, ctrl); }
    void modelMousePress(int row, int column) override { model_.mousePress(row, column); }
    void modelMouseMove(int row, int column) override { model_.mouseMove(row, column); }
    void modelMouseRelease(int row, int column) override { model_.mouseRelease(row, column); }
    void modelScrollLines(int n) override { model_.scrollLines(n); }
    void modelScrollTo(int position) override { model_.scrollTo(position); }
    void modelFocusIn() override { model_.focusIn(); }
    void modelFocusOut() override { model_.focusOut(); }

    Model& model_;
};

class OutputView : public PaneView<COutput> {
    Q_OBJECT
public:
    OutputView(COutput& model, const PaneStyle& style, QWidget* parent = nullptr)
        : PaneView(model, style, parent) {}
};

class PrewriteView : public PaneView<CPrewrite> {
    Q_OBJECT
public:
    PrewriteView(CPrewrite& model, const PaneStyle& style, QWidget* parent = nullptr)
        : PaneView(model, style, parent) {}
    // Types text as if it came from the keyboard (tests, paste of single keys).
    void typeText(const QString& text);

signals:
    void insertModeChanged(bool insert);

protected:
    bool otherKey(QKeyEvent* event) override;
    bool barCaret() const override { return model_.settings().insert; }
    // Tab is a character here, not a move to the next widget.
    bool focusNextPrevChild(bool) override { return false; }
};

}  // namespace norva
