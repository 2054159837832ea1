// CMainFrame: the main window. An MDI area holds the channel windows; menus,
// tool bar, status bar, channel status bar and channel bar frame it. It is the
// GUI side of the UiPort (text for a slot opens the slot's window), keeps
// TopLink and the unseen-text marks in its title, and on closing asks
// "Norva beenden?", records the open windows in TncDocuments and saves them.
#pragma once

// std
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

// Qt
#include <QMainWindow>
#include <QPointer>

// Norva
#include "app/AppSettings.h"
#include "gui/QtUiPort.h"
#include "gui/TextView.h"
#include "gui/TransferStatusWindow.h"
#include "terminal/Output.h"
#include "terminal/Prewrite.h"
#include "terminal/UnseenMarks.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QMenuBar;

namespace norva {

class CNorvaChannelBar;
class CNorvaSplit;
class CNorvaStatusBar;
class EngineLink;
class FindDialog;
class Profile;
class SoundPlayer;
class ScriptCommands;
class StationCommands;
class TransferCommands;
class UserMenuCommands;
class MapCommands;
class SevenPlusCommands;

class CMainFrame : public QMainWindow, public UiTarget, public OutputEvents, public InputEvents {
    Q_OBJECT
public:
    CMainFrame(Profile& profile, AppSettings& settings, std::filesystem::path programDir,
               QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The engine is started after the windows; until then lines typed are dropped.
    void setEngine(EngineLink* engine);
    EngineLink* engine() const { return engine_; }

    Profile& profile() { return profile_; }
    AppSettings& settings() { return settings_; }
    const std::filesystem::path& programDir() const { return programDir_; }
    const PaneStyle& paneStyle() const { return style_; }
    SoundPlayer& sounds() { return *sounds_; }
    QMdiArea* mdiArea() const { return mdi_; }
    CNorvaStatusBar* channelStatusBar() const { return statusBar_; }
    CNorvaChannelBar* channelBar() const { return channelBar_; }
    QAction* action(const QString& objectName) const;

    // Channel windows.
    CNorvaSplit* channelWindow(int slot) const;
    // Opens the slot's window (arranged when AutoArrange is on) or returns the open one.
    CNorvaSplit* openChannel(int slot);
    void activateChannel(int slot);
    std::vector<int> openSlots() const;
    int topLink() const { return settings_.frame.topLink; }
    // Start-up: the windows of TncDocuments, then TopLink to the front.
    void restoreDocuments();
    void bringTopLinkToFront();
    void arrangeAll();
    // The TNC selector's choices (after start and after the TNC settings).
    void refreshTncList();
    bool unseen(int slot) const { return marks_.isMarked(slot); }
    // The channel's MessageBeep as the channel settings dialog last set it.
    void setMessageBeep(int slot, bool on) { messageBeeps_[slot] = on; }

    // The close question is skipped (SIGTERM, SIGINT): as OK would.
    void quitWithoutAsking();
    bool closingDone() const { return closingDone_; }

    // From the channel windows.
    void sendLine(int slot, std::string_view oemBytes, int kind, bool echo);
    void channelWindowClosing(CNorvaSplit* window);
    void showContextMenu(CNorvaSplit* window, bool outputPane, QPoint globalPos);
    void showInsertMode(bool insert);
    QString insertIndicator() const;

    // UiTarget.
    void uiStatusMessage(const std::string& text) override;
    void uiMessageBox(const std::string& caption, const std::string& text) override;
    bool uiAsk(const std::string& caption, const std::string& text, const std::string& checkboxText,
               bool* checked) override;
    void uiAppendText(int slot, int colourClass, std::string_view oemBytes) override;
    void uiWindowTitle(int slot, const std::string& title) override;
    void uiJumpToEnd(int slot) override;
    void uiStatusField(StatusField field, const std::string& text) override;
    void uiChannelButton(int slot, const std::string& label) override;
    void uiPlaySound(const std::string& event, bool beepWhenOff) override;
    void uiConnectNotice(int slot) override;
    void uiAskBinaryReceive(int slot) override;
    void uiInsertInput(int slot, const std::string& oemBytes) override;
    void uiOpenStationFile(const std::string& path) override;
    void uiSliceDone() override;

    // OutputEvents and InputEvents.
    bool messageBeep(int slot) const override;
    bool isTopLink(int slot) const override;
    bool mainWindowActive() const override;
    void playSound(int slot, std::string_view event) override;
    void markUnseen(int slot) override;
    void restartReviewDeadline(int slot) override;
    void becameTopLink(int slot) override;
    void noLongerUnderReview(int slot) override;

    // Menu commands (public for the tests).
    void copySelection();
    void paste();
    void findText();
    void clearOutput();
    void clearInput();
    void printSelection();
    void connectFromClipboard(CNorvaSplit* window);
    void readFromClipboard(CNorvaSplit* window);
    void logon();
    void logoff();
    void sendPassword();
    // "Script bearbeiten...": a script of ScriptDir chosen and opened in the editor.
    void editScript();
    // "DDE ...": the channel links of the active channel.
    void ddeLinks();
    // "DieBox Verzeichnis...": the mailbox reader (one window).
    void mailboxReader();
    // "Travo Status...", "Mailbox Dateiverwaltung...": starts the companion program.
    void startCompanion();
    void tncSettings();
    void channelSettings();
    void generalSettings();
    void directories();
    void soundSettings();
    void chooseFont();
    void chooseColours();
    void about();
    void setAutoArrange(bool on);
    // The transfer commands on the TopLink channel and the status window.
    TransferCommands& transfers() { return *transfers_; }
    TransferStatusWindow* transferStatusWindow() const { return transferStatus_; }
    void showTransferStatus();
    // The Scripte menu's commands on the TopLink channel, and the MSGBOX boxes.
    ScriptCommands& scripts() { return *scripts_; }
    // The four user menus (run, connect, TNC commands, texts).
    UserMenuCommands& userMenus() { return *menus_; }
    // The map program commands (none before the engine runs).
    MapCommands* mapCommands() const { return mapCommands_; }
    SevenPlusCommands& sevenPlus() { return *sevenPlus_; }
    // The station window, station files opened from outside, the entry nodes.
    StationCommands& stations() { return *stations_; }
    // A colour or font change: every pane repaints.
    void styleChanged();

    // Messages of the start (settings that could not be used) in one box.
    void showStartMessages(const std::vector<std::string>& messages);
    // Writes the main window keys and the font.
    bool saveWindowSettings(std::vector<std::string>& messages);

signals:
    // The quit question was answered with OK (or skipped): the channel
    // windows are saved and closed, TncDocuments is written.
    void closeAccepted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // .stn files dropped on the window are opened as from outside.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildMenus();
    void buildFileAndEditMenus(QMenuBar* bar);
    void buildLinkMenus(QMenuBar* bar);
    void buildTransferAndSettingsMenus(QMenuBar* bar);
    void buildViewMenus(QMenuBar* bar);
    void buildBars();
    void applyWindowSettings();
    void updateTitle();
    void saveDocumentsAndCloseWindows();
    void subWindowActivated(QMdiSubWindow* window);
    QRect clientRect() const;
    CNorvaSplit* activeChannel() const;
    CNorvaSplit* topLinkWindow() const;
    TextView* focusedPane() const;
    void writeSelectionToPrinter(const std::string& text);
    void updateColours();

    Profile& profile_;
    AppSettings& settings_;
    std::filesystem::path programDir_;
    EngineLink* engine_ = nullptr;
    std::unique_ptr<SoundPlayer> sounds_;
    PaneStyle style_;
    QMdiArea* mdi_ = nullptr;
    CNorvaStatusBar* statusBar_ = nullptr;
    CNorvaChannelBar* channelBar_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* insertLabel_ = nullptr;
    std::map<int, CNorvaSplit*> windows_;
    std::set<CNorvaSplit*> dirty_;
    std::map<int, std::string> captions_;
    std::map<int, bool> messageBeeps_;
    UnseenMarks marks_;
    QPointer<FindDialog> findDialog_;
    std::unique_ptr<TransferCommands> transfers_;
    std::unique_ptr<ScriptCommands> scripts_;
    std::unique_ptr<UserMenuCommands> menus_;
    std::unique_ptr<SevenPlusCommands> sevenPlus_;
    MapCommands* mapCommands_ = nullptr;  // a child of the frame, made with the engine
    QPointer<QDialog> mailbox_;
    std::unique_ptr<StationCommands> stations_;
    QPointer<TransferStatusWindow> transferStatus_;
    bool askOnClose_ = true;
    bool closingDone_ = false;
    bool shuttingDown_ = false;
    friend class MainFrameMenus;
};

}  // namespace norva
