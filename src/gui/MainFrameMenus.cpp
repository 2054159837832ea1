// CMainFrame: the menus, the tool bar, the context menus and the commands
// behind them. Entries of features that are not built yet are present and
// disabled.
#include "gui/MainFrame.h"

// std
#include <fstream>

// Qt
#include <QApplication>
#include <QClipboard>
#include <QFontDialog>
#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QProcess>
#include <QStatusBar>
#include <QToolBar>

// Norva
#include "app/UserMenus.h"
#include "channel/TncChannel.h"
#include "gui/ChannelBar.h"
#include "gui/ChannelSettingsDialog.h"
#include "gui/EngineLink.h"
#include "gui/FindDialog.h"
#include "gui/NorvaSplit.h"
#include "gui/PaneViews.h"
#include "gui/SettingsDialogs.h"
#include "gui/SoundPlayer.h"
#include "gui/StationCommands.h"
#include "gui/StatusBar.h"
#include "gui/TncDialogs.h"
#include "gui/ScriptCommands.h"
#include "gui/TransferCommands.h"
#include "gui/TransferStatusWindow.h"
#include "gui/UserMenuCommands.h"
#include "gui/DdeLinksDialog.h"
#include "gui/MailboxWindow.h"
#include "gui/PasswordDialogs.h"
#include "gui/MapCommands.h"
#include "gui/SevenPlusCommands.h"
#include "app/Engine.h"
#include "app/StationServices.h"
#include "map/MapProgram.h"
#include "platform/Profile.h"
#include "terminal/MenuLines.h"
#include "transfer/TransferStatus.h"

namespace norva {

namespace {

constexpr const char* kVersionText = "Norva 4.26 / 32 Bit Version";

QAction* addCommand(QMenu* menu, const QString& text, const QString& name, QObject* receiver,
                    std::function<void()> fn, const QKeySequence& shortcut = {}) {
    QAction* a = menu->addAction(text);
    a->setObjectName(name);
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    QObject::connect(a, &QAction::triggered, receiver, [fn = std::move(fn)] { fn(); });
    return a;
}

// An entry of a feature that comes later: shown, not usable.
QAction* addLater(QMenu* menu, const QString& text) {
    QAction* a = menu->addAction(text);
    a->setEnabled(false);
    return a;
}

bool askOkCancel(QWidget* parent, const QString& caption, const QString& text) {
    return QMessageBox::question(parent, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

// Clipboard text as the Linux desktop holds it; the panes take LF as line end.
std::string clipboardText() { return QApplication::clipboard()->text().toStdString(); }

}  // namespace

QAction* CMainFrame::action(const QString& objectName) const {
    return findChild<QAction*>(objectName);
}

void CMainFrame::buildMenus() {
    QMenuBar* bar = menuBar();
    buildFileAndEditMenus(bar);
    buildLinkMenus(bar);
    buildTransferAndSettingsMenus(bar);
    buildViewMenus(bar);
}

// Datei and Bearbeiten.
void CMainFrame::buildFileAndEditMenus(QMenuBar* bar) {

    QMenu* file = bar->addMenu("&Datei");
    addCommand(file, "Neue Station...", "newStation", this, [this] { stations_->showWindow(); });
    file->addSeparator();
    addCommand(file, "&Drucken...", "print", this, [this] { printSelection(); },
               QKeySequence::Print);
    file->addSeparator();
    addCommand(file, "Run Menü bearbeiten...", "editRunMenu", this, [this] { menus_->edit(UserMenuKind::Run); });
    file->addSeparator();
    addCommand(file, "&Beenden", "quit", this, [this] { close(); });
    menus_->attach(UserMenuKind::Run, file);

    QMenu* edit = bar->addMenu("&Bearbeiten");
    addCommand(edit, "&Kopieren", "copy", this, [this] { copySelection(); }, QKeySequence::Copy);
    addCommand(edit, "&Einfügen", "paste", this, [this] { paste(); }, QKeySequence::Paste);
    addCommand(edit, "Einfügen und Senden", "pasteAndSend", this,
               [this] { transfers_->sendClipboard(settings_.frame.topLink); });
    edit->addSeparator();
    addCommand(edit, "Suchen...", "find", this, [this] { findText(); }, QKeySequence::Find);
    edit->addSeparator();
    addCommand(edit, "Fenster löschen", "clearOutput", this, [this] { clearOutput(); });
    addCommand(edit, "Vorschreibfenster löschen", "clearInput", this, [this] { clearInput(); });
    edit->addSeparator();
    addCommand(edit, "Station zeigen", "showStationOnMap", this, [this] {
        if (mapCommands_) mapCommands_->showStation();
    });
    addCommand(edit, "aktuelle Route anzeigen", "showRouteOnMap", this, [this] {
        if (mapCommands_) mapCommands_->showCurrentRoute(topLink());
    });
    addCommand(edit, "neue Route bearbeiten", "editRoute", this, [this] {
        if (mapCommands_) mapCommands_->editRoute();
    });
}

// Verbindungen, Tnc, Text (with the user menus) and Scripte.
void CMainFrame::buildLinkMenus(QMenuBar* bar) {
    QMenu* links = bar->addMenu("&Verbindungen");
    addCommand(links, "&Logon", "logon", this, [this] { logon(); }, QKeySequence(Qt::CTRL | Qt::Key_L));
    addCommand(links, "Logo&ff", "logoff", this, [this] { logoff(); },
               QKeySequence(Qt::CTRL | Qt::Key_D));
    addCommand(links, "&Passwort senden", "password", this, [this] { sendPassword(); });
    links->addSeparator();
    addCommand(links, "Verbindungsmenü bearbeiten...", "editConnectMenu", this,
               [this] { menus_->edit(UserMenuKind::Connect); });
    menus_->attach(UserMenuKind::Connect, links);

    QMenu* tnc = bar->addMenu("&Tnc");
    addCommand(tnc, "Kommando Menü bearbeiten...", "editTncMenu", this, [this] { menus_->edit(UserMenuKind::Tnc); });
    menus_->attach(UserMenuKind::Tnc, tnc);
    QMenu* text = bar->addMenu("Te&xt");
    addCommand(text, "Text Menü bearbeiten...", "editTextMenu", this, [this] { menus_->edit(UserMenuKind::Text); });
    menus_->attach(UserMenuKind::Text, text);
    menus_->loadAll();

    QMenu* scripts = bar->addMenu("&Scripte");
    addCommand(scripts, "Script starten...", "startScript", this,
               [this] { scripts_->startOrStop(settings_.frame.topLink); });
    addCommand(scripts, "Script bearbeiten...", "editScript", this, [this] { editScript(); });
    addCommand(scripts, "Script Zeitsteuerung...", "scheduleScripts", this,
               [this] { scripts_->editSchedule(settings_.frame.topLink); });
}

// Transfer and Einstellungen.
void CMainFrame::buildTransferAndSettingsMenus(QMenuBar* bar) {
    QMenu* transfer = bar->addMenu("T&ransfer");
    addCommand(transfer, "Textdatei senden...", "sendTextFile", this,
               [this] { transfers_->sendTextFile(settings_.frame.topLink, kTitleSendText); });
    addCommand(transfer, "Binärdatei senden...", "sendBinaryFile", this,
               [this] { transfers_->sendBinaryFile(settings_.frame.topLink, kTitleSendBinary); });
    addCommand(transfer, "Binärdatei empfangen...", "receiveBinaryFile", this,
               [this] { transfers_->receiveBinaryFile(settings_.frame.topLink); });
    addCommand(transfer, "YAPP senden...", "sendYappFile", this,
               [this] { transfers_->sendYappFile(settings_.frame.topLink); });
    addCommand(transfer, "YAPP empfangen...", "receiveYappFile", this,
               [this] { transfers_->receiveYappFile(settings_.frame.topLink); });
    addCommand(transfer, "Logdatei schreiben...", "writeLog", this,
               [this] { transfers_->toggleLog(settings_.frame.topLink); });
    addCommand(transfer, "Sendung abbrechen", "stopSending", this,
               [this] { transfers_->stopSending(settings_.frame.topLink); });
    addCommand(transfer, "Alle Dateien aussenden...", "sendAllFiles", this,
               [this] { transfers_->sendAllFiles(settings_.frame.topLink); });
    transfer->addSeparator();
    addCommand(transfer, "Transferstatus...", "transferStatus", this, [this] { showTransferStatus(); });
    addCommand(transfer, "7Plus Datei entpacken...", "extractSevenPlus", this, [this] { sevenPlus_->extract(engine()); });
    addCommand(transfer, "7Plus Datei senden...", "sendSevenPlus", this,
               [this] { sevenPlus_->send(engine(), settings_.frame.topLink); });

    QMenu* settings = bar->addMenu("&Einstellungen");
    addCommand(settings, "Tn&c...", "tncSettings", this, [this] { tncSettings(); });
    addCommand(settings, "&Kanal...", "channelSettings", this, [this] { channelSettings(); });
    addCommand(settings, "&Allgemein...", "generalSettings", this, [this] { generalSettings(); });
    addCommand(settings, "Verzeichnisse...", "directories", this, [this] { directories(); });
    addCommand(settings, "Systemklänge...", "sounds", this, [this] { soundSettings(); });
    settings->addSeparator();
    addCommand(settings, "Remote Passwort...", "remotePassword", this, [this] {
        RemotePasswordDialog dialog(profile_, this);
        dialog.exec();
    });
    addCommand(settings, "DDE ...", "ddeLinks", this, [this] { ddeLinks(); });
    addCommand(settings, "DieBox Verzeichnis...", "mailboxReader", this, [this] { mailboxReader(); });
    addCommand(settings, "DieBox Einstellungen...", "mailboxSettings", this, [this] {
        MailboxSettingsDialog dialog(profile_, this);
        dialog.exec();
    });
    addCommand(settings, "Travo Status...", "travoStatus", this, [this] { startCompanion(); });
    addCommand(settings, "Mailbox Dateiverwaltung...", "travoMailbox", this, [this] { startCompanion(); });
}

// Ansicht, Fenster, Hilfe and the tool bar.
void CMainFrame::buildViewMenus(QMenuBar* bar) {
    QMenu* view = bar->addMenu("&Ansicht");
    auto toggle = [this, view](const QString& label, const QString& name, QWidget* w) {
        QAction* a = view->addAction(label);
        a->setObjectName(name);
        a->setCheckable(true);
        a->setChecked(!w->isHidden());
        connect(a, &QAction::toggled, w, &QWidget::setVisible);
    };
    toggle("Symbolleiste", "viewToolBar", toolBar_);
    toggle("Statusleiste", "viewStatusBar", statusBar());
    toggle("Kanalstatus", "viewChannelStatus", statusBar_);
    toggle("Kanalleiste", "viewChannelBar", channelBar_);
    QAction* tncSelector = view->addAction("Kanalleiste mit Tnc Auswahl");
    tncSelector->setObjectName("viewChannelBarTnc");
    tncSelector->setCheckable(true);
    tncSelector->setChecked(settings_.window.channelBarTnc);
    connect(tncSelector, &QAction::toggled, channelBar_, &CNorvaChannelBar::setTncSelectorShown);
    QAction* onTop = view->addAction("Immer im Vordergrund");
    onTop->setObjectName("viewAlwaysOnTop");
    onTop->setCheckable(true);
    onTop->setChecked(settings_.window.alwaysOnTop);
    connect(onTop, &QAction::toggled, this, [this](bool on) {
        setWindowFlag(Qt::WindowStaysOnTopHint, on);
        show();
    });

    view->addSeparator();
    addCommand(view, "Schriftart...", "font", this, [this] { chooseFont(); });
    addCommand(view, "Farben...", "colours", this, [this] { chooseColours(); });

    QMenu* windows = bar->addMenu("&Fenster");
    QAction* autoArrange = windows->addAction("Automatisch anordnen");
    autoArrange->setObjectName("autoArrange");
    autoArrange->setCheckable(true);
    autoArrange->setChecked(settings_.frame.autoArrange != 0);
    connect(autoArrange, &QAction::toggled, this, &CMainFrame::setAutoArrange);
    addCommand(windows, "Anordnen", "arrange", this, [this] { arrangeAll(); });
    addCommand(windows, "Überlappend", "cascade", mdi_, [this] { mdi_->cascadeSubWindows(); });
    addCommand(windows, "Nebeneinander", "tile", mdi_, [this] { mdi_->tileSubWindows(); });
    windows->addSeparator();
    QAction* listStart = windows->addSeparator();
    connect(windows, &QMenu::aboutToShow, this, [this, windows, listStart] {
        const auto actions = windows->actions();
        for (qsizetype i = actions.indexOf(listStart) + 1; i < actions.size(); ++i)
            windows->removeAction(actions[i]), actions[i]->deleteLater();
        for (const auto& [slot, window] : windows_) {
            QAction* a = windows->addAction(window->windowTitle());
            const int s = slot;
            connect(a, &QAction::triggered, this, [this, s] { activateChannel(s); });
        }
    });

    QMenu* help = bar->addMenu("&Hilfe");
    addLater(help, "&Hilfe...");
    addCommand(help, "Info über Norva...", "about", this, [this] { about(); });

    toolBar_->addAction(action("copy"));
    toolBar_->addAction(action("paste"));
    toolBar_->addAction(action("find"));
    toolBar_->addAction(action("print"));
    toolBar_->addSeparator();
    toolBar_->addAction(action("tncSettings"));
    toolBar_->addAction(action("channelSettings"));
    toolBar_->addAction(action("generalSettings"));
}

void CMainFrame::showContextMenu(CNorvaSplit* window, bool outputPane, QPoint globalPos) {
    QMenu menu(this);
    menu.addAction("&Kopieren", this, [this] { copySelection(); });
    menu.addAction("&Einfügen", this, [window] {
        window->prewrite().paste(clipboardText());
        window->flush();
    });
    if (outputPane) {
        menu.addAction("Suchen...", this, [this] { findText(); });
        menu.addAction("Fenster löschen", this, [this] { clearOutput(); });
    } else {
        menu.addAction("Fenster löschen", this, [this] { clearInput(); });
        menu.addAction("Drucken...", this, [this] { printSelection(); });
    }
    menu.addSeparator();
    menu.addAction("Connect <...>", this, [this, window] { connectFromClipboard(window); });
    menu.addAction("Read <...>", this, [this, window] { readFromClipboard(window); });
    if (outputPane && mapCommands_) {
        menu.addAction("Station zeigen", mapCommands_, &MapCommands::showStation);
        menu.addAction("aktuelle Route anzeigen", this, [this, window] { mapCommands_->showCurrentRoute(window->slot()); });
    }
    menu.addSeparator();
    addLater(&menu, "&Hilfe...");
    becameTopLink(window->slot());
    menu.exec(globalPos);
}

// ------------------------------------------------------------ edit commands

void CMainFrame::copySelection() {
    TextView* pane = focusedPane();
    if (!pane) {
        if (CNorvaSplit* window = topLinkWindow())
            pane = &window->outputView();
    }
    if (!pane)
        return;
    QString text = QString::fromStdString(pane->textWindow().copySelection());
    text.replace("\r\n", "\n");
    if (!text.isEmpty())
        QApplication::clipboard()->setText(text);
}

void CMainFrame::paste() {
    CNorvaSplit* window = topLinkWindow();
    if (!window)
        return;
    window->prewrite().paste(clipboardText());
    window->flush();
}

void CMainFrame::findText() {
    if (!findDialog_) {
        findDialog_ = new FindDialog(QString::fromStdString(settings_.frame.search), this);
        connect(findDialog_, &FindDialog::findNext, this, [this](const QString& needle) {
            settings_.frame.search = needle.toStdString();
            profile_.writeString("Frame", "Search", settings_.frame.search);
            CNorvaSplit* window = topLinkWindow();
            if (!window)
                return;
            COutput& out = window->output();
            auto result = out.search(settings_.frame.search);
            if (result == CTextWindow::SearchResult::EndReached &&
                askOkCancel(findDialog_, "Norva Textsuche",
                            "Das Textende ist erreicht\n\nSuche von vorn beginnen ?"))
                result = out.searchFromOldest(settings_.frame.search);
            if (result == CTextWindow::SearchResult::NotFound)
                statusBar()->showMessage("\"" + needle + "\" nicht gefunden", 3000);
            window->flush();
        });
    }
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}

void CMainFrame::clearOutput() {
    CNorvaSplit* window = topLinkWindow();
    if (!window || !askOkCancel(this, "Norva", "Ausgabefenster Window löschen?"))
        return;
    window->output().clear();
    window->flush();
}

void CMainFrame::clearInput() {
    CNorvaSplit* window = topLinkWindow();
    if (!window || !askOkCancel(this, "Norva", "Terminal Window löschen?"))
        return;
    window->prewrite().clear();
    window->flush();
}

void CMainFrame::printSelection() {
    TextView* pane = focusedPane();
    if (!pane) {
        if (CNorvaSplit* window = topLinkWindow())
            pane = &window->outputView();
    }
    if (!pane)
        return;
    const std::string text = pane->textWindow().copySelection();
    if (text.empty()) {
        statusBar()->showMessage("Kein Text selektiert", 3000);
        return;
    }
    if (!askOkCancel(this, "Norva Text drucken", "Selektierten Text drucken ?"))
        return;
    writeSelectionToPrinter(text);
}

void CMainFrame::writeSelectionToPrinter(const std::string& text) {
    const std::filesystem::path file = programDir_ / "norvant.txt";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text << "\r\n";
        if (!out) {
            uiMessageBox("Norva", file.string() + " kann nicht geschrieben werden.");
            return;
        }
    }
    if (!QProcess::startDetached("lp", {QString::fromStdString(file.string())}))
        uiMessageBox("Norva", "Der Drucker kann nicht erreicht werden: lp lässt sich nicht starten.");
}

void CMainFrame::connectFromClipboard(CNorvaSplit* window) {
    const ConnectPlan plan = planConnect({}, clipboardText());
    std::string line = plan.line;
    if (plan.kind == ConnectPlan::Kind::Nothing)
        return;
    if (plan.kind == ConnectPlan::Kind::Choose) {
        bool ok = false;
        const QString call = QInputDialog::getItem(
            this, "Station auswahlen", "Station:",
            {QString::fromStdString(plan.mapCall), QString::fromStdString(plan.clipboardCall)}, 0,
            false, &ok);
        if (!ok)
            return;
        line = connectLine(call.toStdString());
    }
    window->prewrite().insertAndSend(line);
    window->flush();
}

void CMainFrame::readFromClipboard(CNorvaSplit* window) {
    const auto line = buildReadLine(clipboardText());
    if (!line)
        return;
    window->prewrite().insertAndSend(*line);
    window->flush();
}

void CMainFrame::logon() {
    // The window may close (and delete itself) while the engine answers.
    QPointer<CNorvaSplit> window = topLinkWindow();
    if (!window || !engine_)
        return;
    const int slot = window->slot();
    EngineLink* link = engine_;
    const std::string node = link->call([link, slot](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        return channel ? channel->linkState().defaultNode() : std::string();
    });
    if (!window)
        return;
    if (node.empty()) {
        statusBar()->showMessage("Kein Einstiegsknoten für diesen Kanal gewählt", 3000);
        return;
    }
    window->prewrite().connectCommand(node);
    window->flush();
}

void CMainFrame::logoff() {
    CNorvaSplit* window = topLinkWindow();
    if (!window || !askOkCancel(this, "Norva", "Verbindung auf diesem Kanal beenden ?"))
        return;
    window->prewrite().disconnectCommand();
    window->flush();
}

void CMainFrame::sendPassword() {
    if (CNorvaSplit* window = topLinkWindow()) {
        window->prewrite().passwordCommand();
        window->flush();
    }
}

// ------------------------------------------------------------ transfers

void CMainFrame::showTransferStatus() {
    if (!engine_)
        return;
    if (!transferStatus_)
        transferStatus_ = new TransferStatusWindow(engine_, *transfers_, profile_, settings_.frame.topLink, this);
    else if (transferStatus_->isHidden())
        transferStatus_->showSlot(settings_.frame.topLink);
    transferStatus_->show();
    transferStatus_->raise();
    transferStatus_->activateWindow();
}

// ------------------------------------------------------------ dialogs

void CMainFrame::tncSettings() {
    if (!engine_)
        return;
    {
        TncListDialog dialog(*engine_, profile_, programDir_, settings_.frame, this);
        dialog.exec();
    }
    refreshTncList();
}

void CMainFrame::refreshTncList() {
    std::vector<std::pair<int, std::string>> tncs;
    for (int n = 1; n <= 4; ++n)
        if (profile_.getString("Tnc", std::to_string(n)) == "1")
            tncs.emplace_back(n, profile_.getString(std::to_string(n), "TncName"));
    tncs.emplace_back(5, "Dummy");
    channelBar_->setTncs(tncs);
}

void CMainFrame::channelSettings() {
    if (!engine_)
        return;
    ChannelSettingsDialog dialog(*this, settings_.frame.topLink);
    dialog.exec();
}

void CMainFrame::generalSettings() {
    GeneralSettingsDialog dialog(profile_, settings_.frame, this);
    if (dialog.exec() != QDialog::Accepted || !engine_)
        return;
    // "Kartex benutzen" switches the map link the engine holds.
    const bool on = settings_.frame.kartexDde != 0;
    engine_->post([core = &engine_->engine(), on](CHostMode&) {
        core->stationServices().map().availability() = MapAvailability(on);
    });
}

void CMainFrame::directories() {
    DirectoriesDialog dialog(profile_, programDir_, this);
    dialog.exec();
}

void CMainFrame::soundSettings() {
    SoundsDialog dialog(profile_, programDir_, settings_.frame, *sounds_, this);
    dialog.exec();
    sounds_->setSoundOn(settings_.frame.sound != 0);
}

void CMainFrame::chooseFont() {
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, style_.font, this, "Schriftart",
                                            QFontDialog::MonospacedFonts);
    if (!ok)
        return;
    takeFont(settings_.font, font);
    styleChanged();
}

void CMainFrame::chooseColours() {
    ColoursDialog dialog(settings_, this);
    if (dialog.exec() == QDialog::Accepted)
        styleChanged();
}

void CMainFrame::about() {
    QMessageBox::about(this, "Info über Norva",
                       QString("%1\n%2").arg(kVersionText).arg(QStringLiteral(__DATE__)));
}

}  // namespace norva

namespace norva {

void CMainFrame::editScript() {
    const QString chosen = scripts_->fileChooser()(
        this, {FileRequest::Mode::Open, "Script bearbeiten", scripts_->scriptDirectory(), {}, {}, {}});
    if (!chosen.isEmpty())
        openInEditor(this, chosen.toStdString());
}

}  // namespace norva

namespace norva {

void CMainFrame::ddeLinks() {
    const int slot = topLink();
    const int tnc = slot > 0 ? (slot - 1) / 21 + 1 : 1;
    const int channel = slot > 0 ? std::max((slot - 1) % 21, 1) : 1;
    DdeLinksDialog dialog(engine_, profile_, std::min(tnc, 4), channel, this);
    dialog.exec();
}

void CMainFrame::mailboxReader() {
    if (mailbox_) {
        mailbox_->show();
        mailbox_->raise();
        mailbox_->activateWindow();
        return;
    }
    // Lines go out on the channel whose window was active last, shown in the echo colour.
    auto send = [this](const std::string& line) {
        const int slot = topLink();
        if (!engine_ || !channelWindow(slot))
            return;
        EngineLink* link = engine_;
        link->post([link, slot, line](CHostMode&) {
            if (CTncChannel* channel = link->channelOf(slot)) sendMenuText(*channel, line);
        });
    };
    auto* window = new MailboxWindow(profile_, programDir_, scripts_->fileChooser(), send, this);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setModal(false);
    mailbox_ = window;
    window->show();
}

}  // namespace norva

namespace norva {

void CMainFrame::startCompanion() {
    // The companion monitor program, when it is installed ("travo" in PATH);
    // it reaches the channels over the IPC service by itself.
    std::string error;
    if (!menus_->programs().start({"travo"}, {}, &error))
        QMessageBox::warning(this, "Norva 3.1", "Der Travo kann nicht geladen werden");
}

}  // namespace norva
