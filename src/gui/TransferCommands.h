// TransferCommands: the operator's file transfer commands on a channel slot
// (send a text or binary file, receive a binary file, write a log, stop
// sending, send the clipboard, send all files). The GUI asks the questions
// and shows the file choosers; the jobs are made and queued on the engine
// thread, and their outcome comes back as a plain value.
#pragma once

// std
#include <functional>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

// Qt
#include <QString>

// Norva
#include "channel/ChannelJob.h"

class QWidget;

namespace norva {

class CTncChannel;
class EngineLink;
class Profile;

// What a file chooser is asked for. Tests replace the chooser.
struct FileRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString title;
    QString directory;     // where the chooser starts
    QString proposedName;  // Save: the name offered
    QString defaultSuffix; // Save: added when the operator typed none
    QString filter;        // the files offered; empty: all files
};
// The chosen path, or empty when the operator cancelled.
using FileChooser = std::function<QString(QWidget* parent, const FileRequest&)>;
// The desktop's chooser (asks before overwriting in Save mode).
QString chooseFileWithDialog(QWidget* parent, const FileRequest& request);

// How a command ended, for the tests and the status window.
enum class TransferOutcome {
    NoChannel,   // the slot has no channel (or the engine is gone): first, so a dropped call means it
    Done,        // the job was made and placed
    Cancelled,   // the operator said no or chose nothing
    Unusable,    // the file could not be read or created
    QueueFull,   // all 50 queue entries are used
    Stopped,     // an existing job was ended instead (receive, log)
    Nothing,     // there was nothing to act on (empty clipboard, no files)
};

class TransferCommands {
public:
    TransferCommands(EngineLink* link, Profile& profile, std::string programDir, QWidget* parent);

    void setEngine(EngineLink* link) { link_ = link; }
    void setFileChooser(FileChooser chooser) { chooser_ = std::move(chooser); }

    // Queues a text file (stamp and end marker as the channel asks) or a
    // #BIN# send; the chooser starts in SendFileDir / BinSendFileDir, and
    // the chosen directory is stored back. title: the chooser's title.
    TransferOutcome sendTextFile(int slot, const QString& title);
    TransferOutcome sendBinaryFile(int slot, const QString& title);
    // Ends a running reception (after asking) or starts one into a chosen file.
    TransferOutcome receiveBinaryFile(int slot);
    // YAPP: queues a send of a chosen file (the chooser starts in
    // BinSendFileDir); ends a running reception after asking (a YAPP one
    // with its cancel to the sender) or starts one into a chosen new file.
    TransferOutcome sendYappFile(int slot);
    TransferOutcome receiveYappFile(int slot);
    // Closes the log (after asking) or opens one, proposed as prlog<tnc><channel>.txt.
    TransferOutcome toggleLog(int slot);
    // Ends the job being sent after asking; the queue goes on.
    TransferOutcome stopSending(int slot);
    // "Einfügen und Senden": the clipboard text as a "Clip" job.
    TransferOutcome sendClipboard(int slot);
    // Every file of SendFileDir, after the operator saw the list.
    TransferOutcome sendAllFiles(int slot);

private:
    TransferOutcome sendFile(int slot, const QString& title, bool binary, bool yapp = false);
    // A running job in the slot: asks the question and, on yes, stops it.
    // Nothing when the slot is empty; NoChannel when the channel is gone.
    using ReceiveJobMaker = std::unique_ptr<CChannelJob> (*)(CTncChannel&, const std::filesystem::path&);
    TransferOutcome receiveIntoChosenFile(int slot, const QString& title, ReceiveJobMaker make);
    std::optional<TransferOutcome> offerToStop(int slot, JobSlot jobSlot, const QString& question,
                                               void (*stop)(CTncChannel&));
    QString startDirectory(const char* key) const;
    void storeDirectory(const char* key, const QString& chosenFile);
    void showOutcome(TransferOutcome outcome, const QString& file);
    bool ask(const QString& caption, const QString& text);

    EngineLink* link_;
    Profile& profile_;
    std::string programDir_;
    QWidget* parent_;
    FileChooser chooser_ = chooseFileWithDialog;
};

// Clipboard text for the air: CP437, each line ending in CR alone.
std::string clipboardToAir(const QString& text);

}  // namespace norva
