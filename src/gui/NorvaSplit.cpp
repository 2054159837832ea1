// CNorvaSplit: the channel window (see NorvaSplit.h).
#include "gui/NorvaSplit.h"

// Qt
#include <QCloseEvent>
#include <QSplitter>

// Norva
#include "gui/MainFrame.h"
#include "gui/PaneViews.h"
#include "platform/Profile.h"

namespace norva {

// The channel's output sink in mode 0: finished lines of the input pane go to
// the channel's text out on the engine thread.
class CNorvaSplit::Sink : public InputSink {
public:
    Sink(CMainFrame& frame, int slot) : frame_(frame), slot_(slot) {}
    void sendLine(std::string_view oemBytes, int kind, bool echo) override {
        frame_.sendLine(slot_, oemBytes, kind, echo);
    }

private:
    CMainFrame& frame_;
    int slot_;
};

CNorvaSplit::CNorvaSplit(int slot, CMainFrame& frame)
    : slot_(slot), frame_(frame), sink_(std::make_unique<Sink>(frame, slot)) {
    setAttribute(Qt::WA_DeleteOnClose);
    const FrameSettings& fs = frame.settings().frame;
    const PaneSettings panes = loadPaneSettings(frame.profile(), slot);
    PrewriteSettings pre;
    pre.insert = panes.insert;
    pre.wordBreak = panes.wordBreak;
    pre.inputEcho = panes.inputEcho;
    pre.inputScrollbar = panes.inputScrollbar;
    output_ = std::make_unique<COutput>(slot, fs.outRows, fs.outCols, frame);
    prewrite_ = std::make_unique<CPrewrite>(slot, fs.preRows, fs.preCols, *sink_, frame, pre);
    output_->setScrollBarShown(panes.outputScrollbar);
    outputScrollbar_ = panes.outputScrollbar;
    output_->window().setDisplayRate(fs.displayRate);
    prewrite_->window().setDisplayRate(fs.displayRate);

    splitter_ = new QSplitter(Qt::Vertical);
    splitter_->setChildrenCollapsible(false);
    prewriteView_ = new PrewriteView(*prewrite_, frame.paneStyle(), splitter_);
    outputView_ = new OutputView(*output_, frame.paneStyle(), splitter_);
    prewriteView_->setScrollBarShown(pre.inputScrollbar);
    outputView_->setScrollBarShown(panes.outputScrollbar);
    splitter_->addWidget(prewriteView_);
    splitter_->addWidget(outputView_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    setWidget(splitter_);
    setFocusProxy(prewriteView_);

    setWindowTitle(QString("[%1/%2]").arg(tnc()).arg(channel()));
    connect(prewriteView_, &TextView::contextMenuWanted, this,
            [this](QPoint at) { frame_.showContextMenu(this, false, at); });
    connect(outputView_, &TextView::contextMenuWanted, this,
            [this](QPoint at) { frame_.showContextMenu(this, true, at); });
    connect(prewriteView_, &PrewriteView::insertModeChanged, &frame_, &CMainFrame::showInsertMode);
    connect(prewriteView_, &TextView::focusEntered, this,
            [this] { frame_.showInsertMode(prewrite_->settings().insert); });
}

CNorvaSplit::~CNorvaSplit() {
    // The views paint the models: they go first.
    delete splitter_;
    splitter_ = nullptr;
}

void CNorvaSplit::appendText(int colourClass, std::string_view oemBytes) {
    output_->append(oemBytes, colourClass);
}

void CNorvaSplit::flush() {
    outputView_->flushDamage();
    prewriteView_->flushDamage();
}

void CNorvaSplit::setCaption(const std::string& caption) {
    setWindowTitle(QString::fromStdString(caption));
}

void CNorvaSplit::styleChanged() {
    outputView_->styleChanged();
    prewriteView_->styleChanged();
}

void CNorvaSplit::arrange(const QRect& client, int ratio) {
    if (isMinimized() || isMaximized())
        return;
    const int height = channel() == 0 ? client.height() : client.height() * ratio / 100;
    setGeometry(client.left(), client.top(), client.width(), std::max(height, minimumSizeHint().height()));
    const int inputRow = 4 * prewriteView_->cellSize().height() + 2 * prewriteView_->frameWidth();
    const int total = splitter_->height();
    splitter_->setSizes({inputRow, std::max(total - inputRow, 1)});
}

void CNorvaSplit::placeAtOpen(bool autoArrange, const QRect& client, int ratio) {
    const ChannelWindowSettings w = loadChannelWindow(frame_.profile(), slot_);
    if (autoArrange) {
        arrange(client, ratio);
    } else {
        setGeometry(w.left, w.top, w.right - w.left, w.bottom - w.top);
        const int total = std::max(splitter_->height(), w.rowInfo + 1);
        splitter_->setSizes({w.rowInfo, std::max(total - w.rowInfo, 1)});
    }
    if (w.show == kShowMaximised)
        showMaximized();
    else if (isMinimisedShow(w.show))
        showMinimized();
    else
        show();
}

int CNorvaSplit::showState() const {
    if (isMinimized())
        return kShowMinimised;
    if (isMaximized())
        return kShowMaximised;
    return kShowNormal;
}

PaneSettings CNorvaSplit::paneSettings() const {
    const PrewriteSettings& pre = prewrite_->settings();
    PaneSettings p;
    p.insert = pre.insert;
    p.wordBreak = pre.wordBreak;
    p.inputEcho = pre.inputEcho;
    p.inputScrollbar = pre.inputScrollbar;
    p.outputScrollbar = outputScrollbar_;
    return p;
}

void CNorvaSplit::applyPaneSettings(const PaneSettings& p) {
    prewrite_->setInsert(p.insert);
    prewrite_->setWordBreak(p.wordBreak);
    prewrite_->setInputEcho(p.inputEcho);
    prewrite_->setInputScrollbar(p.inputScrollbar);
    output_->setScrollBarShown(p.outputScrollbar);
    outputScrollbar_ = p.outputScrollbar;
    prewriteView_->setScrollBarShown(p.inputScrollbar);
    outputView_->setScrollBarShown(p.outputScrollbar);
}

void CNorvaSplit::saveSettings() {
    if (saved_)
        return;
    saved_ = true;
    ChannelWindowSettings w;
    const QRect g = geometry();
    w.left = g.left();
    w.top = g.top();
    w.right = g.left() + g.width();
    w.bottom = g.top() + g.height();
    w.show = showState();
    w.rowInfo = splitter_->sizes().value(0, 55);
    saveChannelWindow(frame_.profile(), slot_, w);
    savePaneSettings(frame_.profile(), slot_, paneSettings());
}

void CNorvaSplit::closeEvent(QCloseEvent* event) {
    saveSettings();
    frame_.channelWindowClosing(this);
    QMdiSubWindow::closeEvent(event);
}

}  // namespace norva
