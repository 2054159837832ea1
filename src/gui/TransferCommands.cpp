// TransferCommands: the transfer commands of the menus and the status window.
#include "gui/TransferCommands.h"

// std
#include <filesystem>
#include <optional>

// Qt
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QVBoxLayout>

// Norva
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "platform/Cp437.h"
#include "platform/Profile.h"
#include "platform/ReceiveFolders.h"
#include "transfer/FileArea.h"
#include "transfer/TransferLog.h"
#include "transfer/TransferStatus.h"
#include "transfer/Transfers.h"

namespace norva {

namespace {

constexpr const char* kDirSection = "frame";
constexpr const char* kCaptionNorva = "Norva";
// Qt's form of the filter "Alle Dateien (*.*)": names without a dot are files too.
constexpr const char* kQtFilterAll = "Alle Dateien (*)";

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::filesystem::path pathOf(const QString& s) { return std::filesystem::path(s.toStdString()); }

// The file list of "Dateien aussenden"; true for OK.
bool confirmSendAll(QWidget* parent, const std::vector<std::string>& files) {
    QDialog dialog(parent);
    dialog.setObjectName("SendAllDialog");
    dialog.setWindowTitle("Dateien aussenden");
    auto* layout = new QVBoxLayout(&dialog);
    auto* list = new QListWidget;
    for (const std::string& f : files)
        list->addItem(qs(f));
    layout->addWidget(list);
    layout->addWidget(new QLabel("Alle oben stehenden Dateien werden nochmals ausgesendet."));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

QString chooseFileWithDialog(QWidget* parent, const FileRequest& request) {
    QFileDialog dialog(parent, request.title, request.directory,
                       request.filter.isEmpty() ? QString(kQtFilterAll) : request.filter);
    if (request.mode == FileRequest::Mode::Open) {
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
    } else {
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(request.defaultSuffix);
        if (!request.proposedName.isEmpty())
            dialog.selectFile(request.proposedName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

std::string clipboardToAir(const QString& text) {
    QString lines = text;
    lines.replace("\r\n", "\r");
    lines.replace('\n', '\r');
    return utf8ToOem(lines.toStdString());
}

TransferCommands::TransferCommands(EngineLink* link, Profile& profile, std::string programDir,
                                   QWidget* parent)
    : link_(link), profile_(profile), programDir_(std::move(programDir)), parent_(parent) {}

QString TransferCommands::startDirectory(const char* key) const {
    // Receptions start where received files land, never among our own files.
    if (isReceiveKey(key)) return qs(receiveDirectory(profile_, programDir_, key).string());
    return qs(frameDirectory(profile_, key, programDir_).string());
}

void TransferCommands::storeDirectory(const char* key, const QString& chosenFile) {
    profile_.writeString(kDirSection, key, QFileInfo(chosenFile).absolutePath().toStdString());
}

bool TransferCommands::ask(const QString& caption, const QString& text) {
    return QMessageBox::question(parent_, caption, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

void TransferCommands::showOutcome(TransferOutcome outcome, const QString& file) {
    if (outcome == TransferOutcome::QueueFull)
        QMessageBox::information(parent_, kCaptionTransfer, qs(kTextQueueFull));
    else if (outcome == TransferOutcome::Unusable)
        QMessageBox::warning(parent_, kCaptionTransfer,
                             "Die Datei " + file + " lässt sich nicht verwenden.");
}

TransferOutcome TransferCommands::sendFile(int slot, const QString& title, bool binary, bool yapp) {
    if (!link_)
        return TransferOutcome::NoChannel;
    const char* key = binary ? "BinSendFileDir" : "SendFileDir";
    const QString chosen = chooser_(parent_, {FileRequest::Mode::Open, title, startDirectory(key), {}, {}, {}});
    if (chosen.isEmpty())
        return TransferOutcome::Cancelled;
    EngineLink* link = link_;
    const std::filesystem::path file = pathOf(chosen);
    const TransferOutcome outcome = link->call([link, slot, file, binary, yapp](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return TransferOutcome::NoChannel;
        auto job = yapp     ? makeYappSendJob(*channel, file, false)
                   : binary ? makeBinSendJob(*channel, file, false)
                            : makeTextFileSendJob(*channel, file, true, false);
        if (!job)
            return TransferOutcome::Unusable;
        return enqueueTransfer(*channel, std::move(job)) ? TransferOutcome::Done : TransferOutcome::QueueFull;
    });
    if (outcome != TransferOutcome::NoChannel)
        storeDirectory(key, chosen);
    showOutcome(outcome, chosen);
    return outcome;
}

TransferOutcome TransferCommands::sendTextFile(int slot, const QString& title) {
    return sendFile(slot, title, false);
}

TransferOutcome TransferCommands::sendBinaryFile(int slot, const QString& title) {
    return sendFile(slot, title, true);
}

TransferOutcome TransferCommands::receiveBinaryFile(int slot) {
    if (!link_)
        return TransferOutcome::NoChannel;
    if (const auto stopped = offerToStop(slot, JobSlot::FileReceive, kAskCancelBinReceive,
                                         [](CTncChannel& c) { cancelReceive(c); }))
        return *stopped;
    return receiveIntoChosenFile(slot, kTitleReceiveBinary, [](CTncChannel& c, const std::filesystem::path& f) {
        return makeBinReceiveJob(c, f, false);
    });
}

// The save dialog, then the reception the chosen file gets; the directory
// is remembered when it started.
TransferOutcome TransferCommands::receiveIntoChosenFile(int slot, const QString& title, ReceiveJobMaker make) {
    EngineLink* link = link_;
    const QString chosen =
        chooser_(parent_, {FileRequest::Mode::Save, title, startDirectory("BinReadFileDir"), {}, {}, {}});
    if (chosen.isEmpty())
        return TransferOutcome::Cancelled;
    const std::filesystem::path file = pathOf(chosen);
    const TransferOutcome outcome = link->call([link, slot, file, make](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return TransferOutcome::NoChannel;
        // A reception that began meanwhile (a header with AutoBin) is not cut off.
        if (channel->receivingFile())
            return TransferOutcome::Nothing;
        auto job = make(*channel, file);
        if (!job)
            return TransferOutcome::Unusable;
        channel->setJob(JobSlot::FileReceive, std::move(job));
        return TransferOutcome::Done;
    });
    if (outcome == TransferOutcome::Done)
        storeDirectory("BinReadFileDir", chosen);
    showOutcome(outcome, chosen);
    return outcome;
}

TransferOutcome TransferCommands::sendYappFile(int slot) { return sendFile(slot, kTitleSendYapp, true, true); }

TransferOutcome TransferCommands::receiveYappFile(int slot) {
    if (!link_)
        return TransferOutcome::NoChannel;
    // A YAPP reception hears its cancel; any other reception simply ends.
    if (const auto stopped = offerToStop(slot, JobSlot::FileReceive, kAskCancelYappReceive, [](CTncChannel& c) {
            if (!cancelYapp(c, JobSlot::FileReceive))
                cancelReceive(c);
        }))
        return *stopped;
    // Never over an existing file: the job refuses one.
    return receiveIntoChosenFile(slot, kTitleReceiveYapp, [](CTncChannel& c, const std::filesystem::path& f) {
        return makeYappReceiveJob(c, f, false);
    });
}

std::optional<TransferOutcome> TransferCommands::offerToStop(int slot, JobSlot jobSlot, const QString& question,
                                                            void (*stop)(CTncChannel&)) {
    EngineLink* link = link_;
    const auto busy = link->call([link, slot, jobSlot](CHostMode&) -> std::optional<bool> {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return std::nullopt;
        return channel->job(jobSlot) != nullptr;
    });
    if (!busy)
        return TransferOutcome::NoChannel;
    if (!*busy)
        return std::nullopt;
    if (!ask(kCaptionNorva, question))
        return TransferOutcome::Cancelled;
    link->call([link, slot, stop](CHostMode&) {
        if (CTncChannel* channel = link->channelOf(slot))
            stop(*channel);
    });
    return TransferOutcome::Stopped;
}

TransferOutcome TransferCommands::toggleLog(int slot) {
    if (!link_)
        return TransferOutcome::NoChannel;
    EngineLink* link = link_;
    if (const auto stopped = offerToStop(slot, JobSlot::Capture, kAskCloseLog,
                                         [](CTncChannel& c) { c.destroyJob(JobSlot::Capture); }))
        return *stopped;
    const int tnc = tncOfSlot(slot);
    const int number = channelOfSlot(slot);
    const QString chosen =
        chooser_(parent_, {FileRequest::Mode::Save, kTitleWriteLog, startDirectory("ReadFileDir"),
                           qs(proposedLogName(tnc, number)), "txt", {}});
    if (chosen.isEmpty())
        return TransferOutcome::Cancelled;
    const std::filesystem::path file = pathOf(chosen);
    const TransferOutcome outcome = link->call([link, slot, file](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return TransferOutcome::NoChannel;
        // Append mode: an existing log grows, it is never cut.
        channel->setJob(JobSlot::Capture, makeCaptureJob(*channel, file, false, false));
        return TransferOutcome::Done;
    });
    if (outcome == TransferOutcome::Done)
        storeDirectory("ReadFileDir", chosen);
    return outcome;
}

TransferOutcome TransferCommands::stopSending(int slot) {
    if (!link_)
        return TransferOutcome::NoChannel;
    if (!ask(kCaptionNorva, kAskStopAll))
        return TransferOutcome::Cancelled;
    EngineLink* link = link_;
    return link->call([link, slot](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return TransferOutcome::NoChannel;
        if (!channel->job(JobSlot::Send))
            return TransferOutcome::Nothing;
        norva::stopSending(*channel);
        return TransferOutcome::Stopped;
    });
}

TransferOutcome TransferCommands::sendClipboard(int slot) {
    if (!link_)
        return TransferOutcome::NoChannel;
    const QString text = QApplication::clipboard()->text();
    if (text.isEmpty())
        return TransferOutcome::Nothing;
    if (!ask(kCaptionNorva, kAskSendClipboard))
        return TransferOutcome::Cancelled;
    EngineLink* link = link_;
    const TransferOutcome outcome = link->call([link, slot, air = clipboardToAir(text)](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return TransferOutcome::NoChannel;
        auto job = makeClipboardJob(*channel, air);
        // A transfer already being sent keeps running: the clipboard waits in
        // the queue behind it instead of replacing it.
        if (channel->job(JobSlot::Send))
            return enqueueTransfer(*channel, std::move(job)) ? TransferOutcome::Done : TransferOutcome::QueueFull;
        channel->setJob(JobSlot::Send, std::move(job));
        return TransferOutcome::Done;
    });
    showOutcome(outcome, {});
    return outcome;
}

TransferOutcome TransferCommands::sendAllFiles(int slot) {
    if (!link_)
        return TransferOutcome::NoChannel;
    EngineLink* link = link_;
    const auto plan = link->call([link, slot](CHostMode&) -> std::optional<SendAllPlan> {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return std::nullopt;
        return planSendAll(*channel);
    });
    if (!plan)
        return TransferOutcome::NoChannel;
    if (plan->check == SendAllCheck::NoOwnDirectory) {
        QMessageBox::information(parent_, kCaptionNorva, qs(kTextNoOwnSendDir));
        return TransferOutcome::Nothing;
    }
    if (plan->check == SendAllCheck::NoFiles) {
        QMessageBox::information(parent_, kCaptionNorva, qs(kTextNoFilesToSend));
        return TransferOutcome::Nothing;
    }
    if (!confirmSendAll(parent_, plan->files))
        return TransferOutcome::Cancelled;
    const auto result = link->call([link, slot](CHostMode&) -> std::optional<SendAllResult> {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return std::nullopt;
        return queueAllUnsentFiles(*channel, true);
    });
    if (!result)
        return TransferOutcome::NoChannel;
    if (result->queueFull) {
        showOutcome(TransferOutcome::QueueFull, {});
        return TransferOutcome::QueueFull;
    }
    return TransferOutcome::Done;
}

}  // namespace norva
