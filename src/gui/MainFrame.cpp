// CMainFrame: channel windows, UiPort requests, TopLink, title and closing.
// The menu commands are in MainFrameMenus.cpp.
#include "gui/MainFrame.h"

// std
#include <algorithm>

// Qt
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

// Norva
#include "gui/ChannelBar.h"
#include "gui/EngineLink.h"
#include "gui/FindDialog.h"
#include "gui/FontMap.h"
#include "gui/NorvaSplit.h"
#include "gui/PaneViews.h"
#include "gui/SoundPlayer.h"
#include "gui/StatusBar.h"
#include "gui/ScriptCommands.h"
#include "gui/StationCommands.h"
#include "gui/TransferCommands.h"
#include "gui/TransferStatusWindow.h"
#include "gui/UserMenuCommands.h"
#include "gui/MapCommands.h"
#include "gui/SevenPlusCommands.h"
#include "app/Engine.h"
#include "app/StationServices.h"
#include "platform/Cp437.h"
#include "platform/Profile.h"

namespace norva {

namespace {
constexpr int kSlots = 105;
bool validSlot(int slot) { return slot >= 1 && slot <= kSlots; }

QString qs(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CMainFrame::CMainFrame(Profile& profile, AppSettings& settings, std::filesystem::path programDir,
                       QWidget* parent)
    : QMainWindow(parent),
      profile_(profile),
      settings_(settings),
      programDir_(std::move(programDir)),
      sounds_(std::make_unique<SoundPlayer>(profile, programDir_)) {
    setObjectName("NorvaMainFrame");
    transfers_ = std::make_unique<TransferCommands>(nullptr, profile_, programDir_.string(), this);
    scripts_ = std::make_unique<ScriptCommands>(nullptr, profile_, programDir_.string(), this);
    sevenPlus_ = std::make_unique<SevenPlusCommands>(profile_, programDir_, this);
    menus_ = std::make_unique<UserMenuCommands>(nullptr, profile_, programDir_, scripts_.get(),
                                                [this] { return topLinkWindow() ? topLink() : -1; }, this);
    stations_ = std::make_unique<StationCommands>(nullptr, profile_, programDir_, scripts_.get(), this);
    stations_->setScriptEditor([this] { editScript(); });
    stations_->setChannelActivator([this](int slot) { activateChannel(slot); });
    stations_->setTopLinkSource([this] { return topLink(); });
    // Connected before the session's shut-down: the station window's place is saved with the rest.
    connect(this, &CMainFrame::closeAccepted, stations_.get(), &StationCommands::closeWindow);
    setAcceptDrops(true);
    connect(menus_.get(), &UserMenuCommands::problems, this,
            [this](const QString& text) { statusBar()->showMessage(text, 8000); });
    sounds_->setSoundOn(settings_.frame.sound != 0);
    style_.font = paneFont(settings_.font);
    updateColours();
    mdi_ = new QMdiArea;
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &CMainFrame::subWindowActivated);
    buildBars();
    buildMenus();
    applyWindowSettings();
    updateTitle();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::setEngine(EngineLink* engine) {
    engine_ = engine;
    transfers_->setEngine(engine);
    scripts_->setEngine(engine);
    if (engine && !mapCommands_) {
        Engine* core = &engine->engine();
        mapCommands_ = new MapCommands(*engine, [core] { return &core->stationServices().map(); }, profile_,
                                       programDir_, this);
    }
    menus_->setEngine(engine);
    stations_->setEngine(engine);
    if (!engine_)
        return;
    engine_->setTopLink(settings_.frame.topLink);
    engine_->setMainWindowActive(isActiveWindow());
}

void CMainFrame::updateColours() {
    style_.colorMode = settings_.colorMode != 0;
    for (int c = 0; c < ColourTable::kClasses; ++c) {
        const Rgb rgb = settings_.colours.colour(c);
        style_.colours[static_cast<std::size_t>(c)] = QColor(rgb.red, rgb.green, rgb.blue);
    }
}

void CMainFrame::styleChanged() {
    style_.font = paneFont(settings_.font);
    updateColours();
    for (auto& [slot, window] : windows_)
        window->styleChanged();
}

void CMainFrame::buildBars() {
    toolBar_ = addToolBar("Symbolleiste");
    toolBar_->setObjectName("ToolBar");
    toolBar_->setMovable(false);
    channelBar_ = new CNorvaChannelBar(this);
    addToolBarBreak();
    addToolBar(Qt::TopToolBarArea, channelBar_);
    connect(channelBar_, &CNorvaChannelBar::channelChosen, this, &CMainFrame::activateChannel);
    statusBar_ = new CNorvaStatusBar(this);
    connect(statusBar_->nodeButton(), &QToolButton::clicked, this,
            [this] { stations_->chooseEntryNode(settings_.frame.topLink); });
    addToolBar(Qt::BottomToolBarArea, statusBar_);
    insertLabel_ = new QLabel("INS");
    insertLabel_->setMinimumWidth(fontMetrics().horizontalAdvance("OVR") + 10);
    insertLabel_->setAlignment(Qt::AlignCenter);
    statusBar()->addPermanentWidget(insertLabel_);
}

void CMainFrame::applyWindowSettings() {
    const MainWindowSettings& w = settings_.window;
    resize(w.right - w.left, w.bottom - w.top);
    move(w.left, w.top);
    toolBar_->setVisible(w.toolBar);
    statusBar()->setVisible(w.statusBar);
    statusBar_->setVisible(w.channelStatus);
    channelBar_->setVisible(w.channelBar);
    channelBar_->setTncSelectorShown(w.channelBarTnc);
    if (w.alwaysOnTop)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

bool CMainFrame::saveWindowSettings(std::vector<std::string>& messages) {
    MainWindowSettings& w = settings_.window;
    // Position of the frame (as move() takes it) and size of the window, so
    // that a restart puts the window exactly where it was.
    const bool normal = !isMaximized() && !isMinimized();
    const QRect g = normal ? geometry() : normalGeometry();
    const QPoint at = normal ? pos() : g.topLeft();
    if (g.isValid()) {
        w.left = at.x();
        w.top = at.y();
        w.right = at.x() + g.width();
        w.bottom = at.y() + g.height();
    }
    w.toolBar = !toolBar_->isHidden();
    w.statusBar = !statusBar()->isHidden();
    w.channelStatus = !statusBar_->isHidden();
    w.channelBar = !channelBar_->isHidden();
    w.channelBarTnc = channelBar_->tncSelectorShown();
    w.alwaysOnTop = windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    return saveWindowAndFont(profile_, w, settings_.font, messages);
}

// ------------------------------------------------------------ channel windows

CNorvaSplit* CMainFrame::channelWindow(int slot) const {
    const auto it = windows_.find(slot);
    return it == windows_.end() ? nullptr : it->second;
}

QRect CMainFrame::clientRect() const { return QRect(QPoint(0, 0), mdi_->viewport()->size()); }

CNorvaSplit* CMainFrame::openChannel(int slot) {
    if (!validSlot(slot) || shuttingDown_)
        return nullptr;
    if (CNorvaSplit* open = channelWindow(slot))
        return open;
    auto* window = new CNorvaSplit(slot, *this);
    windows_[slot] = window;
    mdi_->addSubWindow(window);
    if (const auto it = captions_.find(slot); it != captions_.end())
        window->setCaption(it->second);
    window->placeAtOpen(settings_.frame.autoArrange != 0, clientRect(), settings_.frame.ratio);
    settings_.frame.topLink = slot;  // a new pane makes its slot TopLink
    return window;
}

void CMainFrame::activateChannel(int slot) {
    CNorvaSplit* window = openChannel(slot);
    if (!window)
        return;
    if (window->isMinimized())
        window->showNormal();
    mdi_->setActiveSubWindow(window);
    window->prewriteView().setFocus();
}

std::vector<int> CMainFrame::openSlots() const {
    std::vector<int> open;
    for (const auto& [slot, window] : windows_)
        open.push_back(slot);
    return open;
}

void CMainFrame::channelWindowClosing(CNorvaSplit* window) {
    dirty_.erase(window);
    const auto it = windows_.find(window->slot());
    if (it != windows_.end() && it->second == window)
        windows_.erase(it);
}

void CMainFrame::restoreDocuments() {
    for (int slot : loadTncDocuments(profile_))
        openChannel(slot);
}

void CMainFrame::bringTopLinkToFront() {
    const int slot = std::clamp(profile_.getInt("Frame", "TopLink", 1), 1, kSlots);
    settings_.frame.topLink = slot;
    if (engine_)
        engine_->setTopLink(slot);
    if (CNorvaSplit* window = channelWindow(slot)) {
        mdi_->setActiveSubWindow(window);
        window->prewriteView().setFocus();
    }
}

void CMainFrame::arrangeAll() {
    for (QMdiSubWindow* sub : mdi_->subWindowList())
        if (auto* window = qobject_cast<CNorvaSplit*>(sub))
            window->arrange(clientRect(), settings_.frame.ratio);
}

void CMainFrame::setAutoArrange(bool on) {
    settings_.frame.autoArrange = on ? 1 : 0;
    if (on)
        arrangeAll();
}

CNorvaSplit* CMainFrame::activeChannel() const {
    return qobject_cast<CNorvaSplit*>(mdi_->activeSubWindow());
}

CNorvaSplit* CMainFrame::topLinkWindow() const { return channelWindow(settings_.frame.topLink); }

TextView* CMainFrame::focusedPane() const {
    for (QWidget* w = QApplication::focusWidget(); w; w = w->parentWidget())
        if (auto* view = qobject_cast<TextView*>(w))
            return view;
    return nullptr;
}

void CMainFrame::subWindowActivated(QMdiSubWindow* sub) {
    auto* window = qobject_cast<CNorvaSplit*>(sub);
    if (!window)
        return;
    becameTopLink(window->slot());
}

void CMainFrame::sendLine(int slot, std::string_view oemBytes, int kind, bool echo) {
    if (engine_)
        engine_->sendLine(slot, std::string(oemBytes), kind, echo);
}

void CMainFrame::showInsertMode(bool insert) { insertLabel_->setText(insert ? "INS" : "OVR"); }

QString CMainFrame::insertIndicator() const { return insertLabel_->text(); }

// ------------------------------------------------------------ title and marks

void CMainFrame::updateTitle() { setWindowTitle(qs(marks_.titleFor(settings_.frame.appName))); }

void CMainFrame::markUnseen(int slot) {
    if (marks_.mark(slot))
        updateTitle();
}

void CMainFrame::becameTopLink(int slot) {
    // Windows closing at exit activate each other: TopLink stays as it was.
    if (!validSlot(slot) || shuttingDown_)
        return;
    settings_.frame.topLink = slot;
    if (marks_.clear(slot))
        updateTitle();
    channelBar_->showTnc((slot - 1) / 21 + 1);
    statusBar_->setField(StatusField::TncChannel,
                         QString("%1/%2").arg((slot - 1) / 21 + 1).arg((slot - 1) % 21));
    if (engine_)
        engine_->setTopLink(slot);
    if (stations_)
        stations_->topLinkChanged(slot);
}

namespace {
// The local .stn files of a drag.
std::vector<std::filesystem::path> droppedStationFiles(const QMimeData* data) {
    std::vector<std::filesystem::path> files;
    if (data)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile() && url.toLocalFile().endsWith(".stn", Qt::CaseInsensitive))
                files.emplace_back(url.toLocalFile().toStdString());
    return files;
}
}  // namespace

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedStationFiles(event->mimeData()).empty())
        event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const auto files = droppedStationFiles(event->mimeData());
    if (files.empty())
        return;
    event->acceptProposedAction();
    // Opened after the drop has ended: the questions are modal.
    QMetaObject::invokeMethod(
        this,
        [this, files] {
            for (const auto& file : files)
                stations_->openStationFile(file);
        },
        Qt::QueuedConnection);
}

void CMainFrame::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange)
        return;
    if (engine_)
        engine_->setMainWindowActive(isActiveWindow());
    if (isActiveWindow() && marks_.clear(settings_.frame.topLink))
        updateTitle();
}

bool CMainFrame::isTopLink(int slot) const { return slot == settings_.frame.topLink; }

bool CMainFrame::mainWindowActive() const { return isActiveWindow(); }

bool CMainFrame::messageBeep(int slot) const {
    const auto it = messageBeeps_.find(slot);
    if (it != messageBeeps_.end())
        return it->second;
    return channelMessageBeep(profile_, slot);
}

void CMainFrame::playSound(int, std::string_view event) {
    sounds_->play(event, event == COutput::kBellSound);
}

void CMainFrame::restartReviewDeadline(int slot) {
    if (engine_)
        engine_->holdForReview(slot);
}

void CMainFrame::noLongerUnderReview(int slot) {
    if (engine_)
        engine_->resumePolling(slot);
}

// ------------------------------------------------------------ UiTarget

void CMainFrame::uiStatusMessage(const std::string& text) {
    if (text.empty())
        statusBar()->clearMessage();
    else
        statusBar()->showMessage(qs(text));
}

void CMainFrame::uiMessageBox(const std::string& caption, const std::string& text) {
    // The core does not wait for the answer: the box is not modal.
    auto* box = new QMessageBox(QMessageBox::Information, qs(caption), qs(text), QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

bool CMainFrame::uiAsk(const std::string& caption, const std::string& text,
                       const std::string& checkboxText, bool* checked) {
    QMessageBox box(QMessageBox::Question, qs(caption), qs(text),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    QCheckBox* check = nullptr;
    if (!checkboxText.empty()) {
        check = new QCheckBox(qs(checkboxText));
        check->setChecked(checked && *checked);
        box.setCheckBox(check);
    }
    const bool ok = box.exec() == QMessageBox::Ok;
    if (check && checked)
        *checked = check->isChecked();
    return ok;
}

void CMainFrame::uiAppendText(int slot, int colourClass, std::string_view oemBytes) {
    if (oemBytes.empty() || shuttingDown_)
        return;
    CNorvaSplit* window = openChannel(slot);
    if (!window)
        return;
    window->appendText(colourClass, oemBytes);
    dirty_.insert(window);
}

void CMainFrame::uiSliceDone() {
    for (CNorvaSplit* window : dirty_)
        window->flush();
    dirty_.clear();
}

void CMainFrame::uiWindowTitle(int slot, const std::string& title) {
    captions_[slot] = title;
    if (CNorvaSplit* window = channelWindow(slot))
        window->setCaption(title);
    // A new caption may mean a new partner: an online station window shows it.
    if (slot == settings_.frame.topLink && stations_)
        stations_->topLinkChanged(slot);
}

void CMainFrame::uiJumpToEnd(int slot) {
    if (CNorvaSplit* window = channelWindow(slot)) {
        window->output().window().jumpToEnd();
        window->flush();
    }
}

void CMainFrame::uiStatusField(StatusField field, const std::string& text) {
    statusBar_->setField(field, qs(text));
    if (field == StatusField::LinkState)
        channelBar_->setLinkState(qs(text));
}

void CMainFrame::uiChannelButton(int slot, const std::string& label) {
    channelBar_->setLabel(slot, qs(label));
}

void CMainFrame::uiPlaySound(const std::string& event, bool beepWhenOff) {
    sounds_->play(event, beepWhenOff);
}

void CMainFrame::uiAskBinaryReceive(int slot) {
    // "Binärdatei empfangen" with its file chooser, once the queued UI work
    // of this slice is done: the chooser is modal.
    QMetaObject::invokeMethod(
        this, [this, slot] { transfers_->receiveBinaryFile(slot); }, Qt::QueuedConnection);
}

void CMainFrame::uiInsertInput(int slot, const std::string& oemBytes) {
    CNorvaSplit* window = openChannel(slot);
    if (!window)
        return;
    window->prewrite().insertUnsent(oemToUtf8(oemBytes));
    window->flush();
}

void CMainFrame::uiOpenStationFile(const std::string& path) {
    // After this slice of UI work: opening may ask questions (modal).
    QMetaObject::invokeMethod(
        this, [this, path] { stations_->openStationFile(path); }, Qt::QueuedConnection);
}

void CMainFrame::uiConnectNotice(int slot) {
    const int tnc = (slot - 1) / 21 + 1;
    const int channel = (slot - 1) % 21;
    auto* box = new QMessageBox(QMessageBox::Question, "Verbindung wurde erstellt",
                                QString("Verbindung erstellt auf \n Tnc %1 / Kanal %2\n\n"
                                        "Verbindung anzeigen ?")
                                    .arg(tnc)
                                    .arg(channel),
                                QMessageBox::Ok | QMessageBox::Cancel, this);
    auto* check = new QCheckBox("Diese Meldung nächstes Mal anzeigen ?");
    check->setChecked(true);
    box->setCheckBox(check);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    connect(box, &QMessageBox::finished, this, [this, check, slot](int result) {
        if (!check->isChecked() && engine_)
            engine_->setConnectMsg(slot, false);
        if (result == QMessageBox::Ok)
            activateChannel(slot);
    });
    box->show();
}

// ------------------------------------------------------------ closing

void CMainFrame::showStartMessages(const std::vector<std::string>& messages) {
    if (messages.empty())
        return;
    std::string text;
    for (const std::string& m : messages)
        text += m + "\n";
    uiMessageBox("Norva", text);
}

void CMainFrame::quitWithoutAsking() {
    askOnClose_ = false;
    // Questions and dialogs that are open are answered with Cancel first.
    while (QWidget* modal = QApplication::activeModalWidget()) {
        modal->close();
        if (QApplication::activeModalWidget() == modal)
            break;
    }
    QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
}

void CMainFrame::saveDocumentsAndCloseWindows() {
    shuttingDown_ = true;
    {
        // TncDocuments and every window's keys in one rewrite of norva.ini.
        Profile::Batch batch(profile_);
        saveTncDocuments(profile_, openSlots());
        for (auto& [slot, window] : windows_)
            window->saveSettings();
    }
    const auto windows = windows_;
    for (auto& [slot, window] : windows)
        window->close();
    windows_.clear();
    dirty_.clear();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (closingDone_) {
        event->accept();
        return;
    }
    if (askOnClose_) {
        const auto answer = QMessageBox::question(this, "Norva", "Norva beenden?",
                                                  QMessageBox::Ok | QMessageBox::Cancel,
                                                  QMessageBox::Ok);
        if (answer != QMessageBox::Ok) {
            event->ignore();
            return;
        }
    }
    saveDocumentsAndCloseWindows();
    closingDone_ = true;
    if (findDialog_)
        findDialog_->close();
    event->accept();
    emit closeAccepted();
}

}  // namespace norva
