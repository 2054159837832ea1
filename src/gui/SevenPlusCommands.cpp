// SevenPlusCommands: decoding a chosen part set, sending a file as 7Plus.
#include "gui/SevenPlusCommands.h"

// Qt
#include <QFileInfo>
#include <QMessageBox>

// Norva
#include "app/Engine.h"
#include "channel/ChannelContext.h"
#include "gui/EngineLink.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/ReceiveFolders.h"
#include "transfer/SevenPlusFiles.h"

namespace norva {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

constexpr const char* kTitleSend = "7Plus Datei senden";

}  // namespace

SevenPlusCommands::SevenPlusCommands(Profile& profile, std::filesystem::path programDir, QWidget* parent)
    : QObject(parent), profile_(profile), programDir_(std::move(programDir)), parent_(parent) {}

bool SevenPlusCommands::extract(EngineLink* link) {
    if (!link) return false;
    const QString rx = qs(receiveDirectory(profile_, programDir_, "7PlusRxDir").string());
    const QString part = chooser_(parent_, {FileRequest::Mode::Open, "7Plus Datei auswählen", rx, {}, {}, {}});
    if (part.isEmpty()) return false;
    const std::filesystem::path partPath = part.toStdString();
    const QString extractDir = qs(receiveDirectory(profile_, programDir_, "7PlusExtractDir").string());
    const QString target = chooser_(parent_, {FileRequest::Mode::Save, "7Plus Datei auspacken nach", extractDir,
                                              qs(partPath.stem().string()), {}, {}});
    if (target.isEmpty()) return false;
    profile_.writeString("frame", "7PlusExtractDir", std::filesystem::path(target.toStdString()).parent_path().string());

    // The receive folders decide where the file really lands (never among Norva's own files).
    const SevenPlusDecodeReport report = link->call([link, partPath](CHostMode&) {
        ChannelContext& ctx = link->engine().context();
        const auto rxDir = ctx.receiveFolders.directoryFor("7PlusRxDir");
        const auto dir = ctx.receiveFolders.directoryFor("7PlusExtractDir");
        if (rxDir && dir) return decodeSevenPlusFile(partPath, *rxDir, *dir, ctx.receiveFolders);
        SevenPlusDecodeReport none;
        none.messages.push_back("7Plus: kein sicheres Empfangsverzeichnis (siehe system.log).");
        return none;
    });
    QString text;
    for (const std::string& line : report.messages) text += qs(line) + "\n";
    emit finished(text);
    auto* box = new QMessageBox(QMessageBox::Information, "7Plus", text.trimmed(), QMessageBox::Ok, parent_);
    box->setObjectName("SevenPlusOutput");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return !report.decoded.empty();
}

TransferOutcome SevenPlusCommands::send(EngineLink* link, int slot) {
    if (!link) return TransferOutcome::NoChannel;
    const QString start = qs(frameDirectory(profile_, "BinSendFileDir", programDir_).string());
    const QString chosen = chooser_(parent_, {FileRequest::Mode::Open, kTitleSend, start, {}, {}, {}});
    if (chosen.isEmpty()) return TransferOutcome::Cancelled;
    const std::filesystem::path file = chosen.toStdString();
    struct Result {
        TransferOutcome outcome = TransferOutcome::NoChannel;
        std::string error;
    };
    const Result r = link->call([link, slot, file](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel) return Result{};
        std::string error = queueSevenPlusSend(*channel, file);
        return Result{error.empty() ? TransferOutcome::Done : TransferOutcome::Unusable, std::move(error)};
    });
    if (r.outcome == TransferOutcome::NoChannel) return r.outcome;
    profile_.writeString("frame", "BinSendFileDir", QFileInfo(chosen).absolutePath().toStdString());
    if (!r.error.empty()) QMessageBox::warning(parent_, "Norva", qs(r.error));
    return r.outcome;
}

}  // namespace norva
