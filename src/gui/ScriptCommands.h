// ScriptCommands: the Scripte menu of the desktop. Starting and stopping the
// script of a channel, the schedule dialog, and the boxes a script's MSGBOX
// opens: shown without blocking anyone, and the script told on the engine
// thread once the operator closed the box.
#pragma once

// std
#include <string>
#include <string_view>

// Qt
#include <QObject>
#include <QString>

// Norva
#include "gui/TransferCommands.h"
#include "script/ScriptJob.h"

class QWidget;

namespace norva {

class EngineLink;
class Profile;

enum class ScriptOutcome {
    NoChannel,  // the slot has no channel (or the engine is gone)
    Started,    // the chosen script runs
    Stopped,    // the running script was ended after asking
    Cancelled,  // the operator said no or chose nothing
    Refused,    // the script could not start (the reason is in the channel window)
};

// A chooser for *.scr files (the desktop's file dialog with the script filter).
QString chooseScriptWithDialog(QWidget* parent, const FileRequest& request);

class ScriptCommands : public QObject, public ScriptOperator {
    Q_OBJECT
public:
    ScriptCommands(EngineLink* link, Profile& profile, std::string programDir, QWidget* parent);

    void setEngine(EngineLink* link) { link_ = link; }
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }
    const FileChooser& fileChooser() const { return chooser_; }

    // "Script starten...": asks to stop a running script, else starts a chosen one.
    ScriptOutcome startOrStop(int slot);
    // "Script Zeitsteuerung...": the schedule dialog, preset to the slot's TNC and channel.
    void editSchedule(int slot);
    // The script directory the choosers start in.
    QString scriptDirectory() const;

    // ScriptOperator; called on the engine thread.
    void showMessage(int slot, std::string_view text) override;

signals:
    // A MSGBOX box is open (for the tests and the status line).
    void messageShown(int slot, const QString& text);

private:
    void openMessageBox(int slot, const QString& text);

    EngineLink* link_;
    Profile& profile_;
    std::string programDir_;
    QWidget* parent_;
    FileChooser chooser_ = chooseScriptWithDialog;
};

}  // namespace norva
