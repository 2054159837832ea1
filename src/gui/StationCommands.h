// StationCommands: the desktop side of the station files. Owns the one
// station window, opens a .stn file given from outside (drop, command line),
// connects a station by its script on the engine thread, and edits a
// channel's entry-node list. File work of the station folder runs here on
// the GUI thread; everything that touches a channel goes through the engine.
#pragma once

// std
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

// Qt
#include <QObject>
#include <QPointer>
#include <QString>

// Norva
#include "gui/StationWindow.h"
#include "gui/TransferCommands.h"
#include "script/ConnectWithScript.h"
#include "station/StationPaths.h"

class QWidget;

namespace norva {

class EngineLink;
class Profile;
class ScriptOperator;

// How opening a station file from outside ended (for the tests and the status line).
enum class StationOpenOutcome {
    Refused,     // not a usable station file, or the copy failed (a box said why)
    Cancelled,   // the operator declined taking it over or overwriting
    Shown,       // the station window shows it
    Connected,   // its script started on a channel
    NotStarted,  // its script could not start (a box said why, or no channel was free)
};

// The .stn files named on a command line (plain arguments; the value of
// --dir is skipped), made absolute against the working directory.
std::vector<std::filesystem::path> stationFilesOnCommandLine(int argc, char** argv);

class StationCommands : public QObject {
    Q_OBJECT
public:
    using Editor = std::function<bool(QWidget* parent, const std::filesystem::path& file)>;

    StationCommands(EngineLink* link, Profile& profile, std::filesystem::path programDir, ScriptOperator* op,
                    QWidget* parent);
    ~StationCommands() override;

    void setEngine(EngineLink* link) { link_ = link; }
    // Hooks of the main window (and the tests).
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    void setEditor(Editor editor) { editor_ = std::move(editor); }
    void setScriptEditor(std::function<void()> fn) { scriptEditor_ = std::move(fn); }
    void setChannelActivator(std::function<void(int)> fn) { activate_ = std::move(fn); }
    void setTopLinkSource(std::function<int()> fn) { topLink_ = std::move(fn); }

    Profile& profile() { return profile_; }
    const std::filesystem::path& programDir() const { return programDir_; }
    StationPaths paths() const { return StationPaths(profile_, programDir_); }
    std::filesystem::path scriptDir() const;
    const FileChooser& fileChooser() const { return chooser_; }
    bool edit(QWidget* parent, const std::filesystem::path& file) { return editor_(parent, file); }
    void editScript() { if (scriptEditor_) scriptEditor_(); }
    int topLink() const { return topLink_ ? topLink_() : 0; }

    // "Neue Station...": the one station window, created when needed, in front.
    StationWindow* showWindow();
    StationWindow* window() const { return window_; }
    // The program ends: the window closes and keeps its place.
    void closeWindow() { if (window_) window_->close(); }

    // A .stn file from outside: taken into the station directory after
    // asking, then shown in the window or connected by its script.
    StationOpenOutcome openStationFile(const std::filesystem::path& file);

    // Connects with the station's script on the engine thread. A message
    // when nothing started goes into a box captioned "Norva"; a started
    // script brings its channel window forward.
    ConnectWithScriptResult connectStation(int tnc, const std::string& script);

    // The destination and alias calls of a channel (engine thread); nothing when there is no channel.
    struct ChannelCalls {
        bool exists = false;
        std::string destCall;
        std::string aliasCall;
    };
    ChannelCalls channelCalls(int slot);
    // The main window's TopLink changed: an online station window follows it.
    void topLinkChanged(int slot);

    // "Einstiegsknoten auswählen" for a channel; true when OK changed the link state.
    bool chooseEntryNode(int slot);

signals:
    // A connect could not start: the text of its box.
    void connectRefused(const QString& text);

private:
    EngineLink* link_;
    Profile& profile_;
    std::filesystem::path programDir_;
    ScriptOperator* op_;
    QWidget* parent_;
    QPointer<StationWindow> window_;
    FileChooser chooser_ = chooseFileWithDialog;
    Editor editor_;
    std::function<void()> scriptEditor_;
    std::function<void(int)> activate_;
    std::function<int()> topLink_;
};

}  // namespace norva
