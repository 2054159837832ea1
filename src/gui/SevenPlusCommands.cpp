// SevenPlusCommands: running the 7Plus decoder on a chosen part.
#include "gui/SevenPlusCommands.h"

// Qt
#include <QMessageBox>

// Norva
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/ReceiveFolders.h"
#include "transfer/SevenPlusDecode.h"

namespace norva {

namespace {

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

constexpr int kPollMs = 100;
constexpr int kLimitTicks = 1200;  // two minutes: a decoder is not meant to run longer

}  // namespace

SevenPlusCommands::SevenPlusCommands(Profile& profile, std::filesystem::path programDir, QWidget* parent)
    : QObject(parent), profile_(profile), programDir_(std::move(programDir)), parent_(parent) {
    timer_.setInterval(kPollMs);
    connect(&timer_, &QTimer::timeout, this, &SevenPlusCommands::poll);
}

bool SevenPlusCommands::extract() {
    if (child_) return false;
    const QString rx = qs(receiveDirectory(profile_, programDir_, "7PlusRxDir").string());
    const QString part = chooser_(parent_, {FileRequest::Mode::Open, "7Plus Datei auswählen", rx, {}, {}, {}});
    if (part.isEmpty()) return false;
    const std::filesystem::path partPath = part.toStdString();
    const QString extractDir = qs(receiveDirectory(profile_, programDir_, "7PlusExtractDir").string());
    const QString target = chooser_(parent_, {FileRequest::Mode::Save, "7Plus Datei auspacken nach", extractDir,
                                              qs(partPath.stem().string()), {}, {}});
    if (target.isEmpty()) return false;
    const std::filesystem::path dir = std::filesystem::path(target.toStdString()).parent_path();
    profile_.writeString("frame", "7PlusExtractDir", dir.string());

    std::string error;
    if (decoderPresent(programDir_))
        child_ = ChildProcess::start(decoderLaunch(programDir_, partPath, dir), &error);
    if (!child_) {
        QMessageBox::warning(parent_, "Norva", qs(kDecoderMissing));
        return false;
    }
    output_.clear();
    ticks_ = 0;
    timer_.start();
    return true;
}

void SevenPlusCommands::poll() {
    child_->readAvailable(output_, 64 * 1024);
    const bool overdue = ++ticks_ > kLimitTicks;
    if (!child_->ended() && !overdue) return;
    if (overdue) child_->kill();
    child_->readAvailable(output_, 64 * 1024);
    child_.reset();
    timer_.stop();
    const QString text = qs(output_);
    emit finished(text);
    QMessageBox* box = new QMessageBox(QMessageBox::Information, "7Plus", text.isEmpty() ? "7Plus beendet." : text,
                                       QMessageBox::Ok, parent_);
    box->setObjectName("SevenPlusOutput");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace norva
