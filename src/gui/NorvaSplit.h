// CNorvaSplit: the channel window, an MDI child with a splitter: the input
// pane (CPrewrite) over the output pane (COutput). It keeps its geometry, show
// state and input row height in the channel's Link section, and the pane
// switches (Insert, WordBreak, InputEcho, scroll bars) beside them.
#pragma once

// std
#include <memory>
#include <string>
#include <string_view>

// Qt
#include <QMdiSubWindow>

// Norva
#include "app/AppSettings.h"
#include "terminal/Output.h"
#include "terminal/Prewrite.h"

class QSplitter;

namespace norva {

class CMainFrame;
class OutputView;
class PrewriteView;

class CNorvaSplit : public QMdiSubWindow {
    Q_OBJECT
public:
    CNorvaSplit(int slot, CMainFrame& frame);
    ~CNorvaSplit() override;

    int slot() const { return slot_; }
    int tnc() const { return (slot_ - 1) / 21 + 1; }
    int channel() const { return (slot_ - 1) % 21; }

    COutput& output() { return *output_; }
    CPrewrite& prewrite() { return *prewrite_; }
    OutputView& outputView() { return *outputView_; }
    PrewriteView& prewriteView() { return *prewriteView_; }

    // Received or program text (on-air bytes) in a colour class.
    void appendText(int colourClass, std::string_view oemBytes);
    // Repaints what changed since the last call.
    void flush();
    void setCaption(const std::string& caption);
    void styleChanged();

    // Top left of the client area, full width, Ratio percent of its height
    // (a monitor window the full height), input row four text lines high.
    void arrange(const QRect& client, int ratio);
    // Geometry from the Link section, or arranged when AutoArrange is on.
    void placeAtOpen(bool autoArrange, const QRect& client, int ratio);
    // Writes geometry and pane keys (once: closing writes them too).
    void saveSettings();
    // Windows show state of the window now.
    int showState() const;

    PaneSettings paneSettings() const;
    void applyPaneSettings(const PaneSettings& p);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class Sink;

    int slot_;
    CMainFrame& frame_;
    std::unique_ptr<Sink> sink_;
    std::unique_ptr<COutput> output_;
    std::unique_ptr<CPrewrite> prewrite_;
    QSplitter* splitter_ = nullptr;
    PrewriteView* prewriteView_ = nullptr;
    OutputView* outputView_ = nullptr;
    bool outputScrollbar_ = true;
    bool saved_ = false;
};

}  // namespace norva
