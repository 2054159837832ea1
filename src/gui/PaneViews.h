// The two panes of a channel window: OutputView paints a COutput (received
// text, overwrite, no typing), PrewriteView a CPrewrite (typing, insert mode,
// Esc command lines). Both only forward to their model and repaint.
#pragma once

// Norva
#include "gui/TextView.h"
#include "terminal/Output.h"
#include "terminal/Prewrite.h"

namespace norva {

class OutputView : public TextView {
    Q_OBJECT
public:
    OutputView(COutput& model, const PaneStyle& style, QWidget* parent = nullptr);
    COutput& model() { return model_; }

protected:
    void modelKey(CaretKey key, bool shift, bool ctrl) override { model_.key(key, shift, ctrl); }
    void modelMousePress(int row, int column) override { model_.mousePress(row, column); }
    void modelMouseMove(int row, int column) override { model_.mouseMove(row, column); }
    void modelMouseRelease(int row, int column) override { model_.mouseRelease(row, column); }
    void modelScrollLines(int n) override { model_.scrollLines(n); }
    void modelScrollTo(int position) override { model_.scrollTo(position); }
    void modelFocusIn() override { model_.focusIn(); }
    void modelFocusOut() override { model_.focusOut(); }

private:
    COutput& model_;
};

class PrewriteView : public TextView {
    Q_OBJECT
public:
    PrewriteView(CPrewrite& model, const PaneStyle& style, QWidget* parent = nullptr);
    CPrewrite& model() { return model_; }
    // Types text as if it came from the keyboard (tests, paste of single keys).
    void typeText(const QString& text);

signals:
    void insertModeChanged(bool insert);

protected:
    void modelKey(CaretKey key, bool shift, bool ctrl) override { model_.key(key, shift, ctrl); }
    void modelMousePress(int row, int column) override { model_.mousePress(row, column); }
    void modelMouseMove(int row, int column) override { model_.mouseMove(row, column); }
    void modelMouseRelease(int row, int column) override { model_.mouseRelease(row, column); }
    void modelScrollLines(int n) override { model_.scrollLines(n); }
    void modelScrollTo(int position) override { model_.scrollTo(position); }
    void modelFocusIn() override { model_.focusIn(); }
    void modelFocusOut() override { model_.focusOut(); }
    bool otherKey(QKeyEvent* event) override;
    bool barCaret() const override { return model_.settings().insert; }
    // Tab is a character here, not a move to the next widget.
    bool focusNextPrevChild(bool) override { return false; }

private:
    CPrewrite& model_;
};

}  // namespace norva
