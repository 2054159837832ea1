// ScriptCommands: the Scripte menu and the desktop side of MSGBOX.
#include "gui/ScriptCommands.h"

// std
#include <filesystem>

// Qt
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>

// Norva
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/ScheduleDialog.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "script/ScriptFiles.h"

namespace norva {

namespace {

constexpr const char* kCaptionNorva = "Norva";

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

QString chooseScriptWithDialog(QWidget* parent, const FileRequest& request) {
    FileRequest scripts = request;
    scripts.filter = "Script Dateien (*.scr)";
    return chooseFileWithDialog(parent, scripts);
}

ScriptCommands::ScriptCommands(EngineLink* link, Profile& profile, std::string programDir, QWidget* parent)
    : link_(link), profile_(profile), programDir_(std::move(programDir)), parent_(parent) {}

QString ScriptCommands::scriptDirectory() const {
    return qs(frameDirectory(profile_, "ScriptDir", programDir_).string());
}

ScriptOutcome ScriptCommands::startOrStop(int slot) {
    if (!link_)
        return ScriptOutcome::NoChannel;
    EngineLink* link = link_;
    // 0: no channel, 1: free, 2: a script runs.
    const int state = link->call([link, slot](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        return channel ? (channel->job(JobSlot::Script) ? 2 : 1) : 0;
    });
    if (state == 0)
        return ScriptOutcome::NoChannel;
    if (state == 2) {
        if (QMessageBox::question(parent_, kCaptionNorva, "Script stoppen ?",
                                  QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok) != QMessageBox::Ok)
            return ScriptOutcome::Cancelled;
        const bool stopped = link->call([link, slot](CHostMode&) {
            CTncChannel* channel = link->channelOf(slot);
            return channel && stopScript(*channel);
        });
        return stopped ? ScriptOutcome::Stopped : ScriptOutcome::NoChannel;
    }
    const QString chosen = chooser_(parent_, {FileRequest::Mode::Open, "Script starten", scriptDirectory(), {}, {}, {}});
    if (chosen.isEmpty())
        return ScriptOutcome::Cancelled;
    const std::string file = std::filesystem::absolute(chosen.toStdString()).string();
    ScriptOperator* op = this;
    // 0: no channel, 1: refused, 2: started.
    const int started = link->call([link, slot, file, op](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return 0;
        return startScript(*channel, file, nullptr, op) ? 2 : 1;
    });
    return started == 2 ? ScriptOutcome::Started : started == 1 ? ScriptOutcome::Refused : ScriptOutcome::NoChannel;
}

void ScriptCommands::editSchedule(int slot) {
    const int tnc = tncOfSlot(slot);
    const int channel = channelOfSlot(slot);
    ScheduleDialog dialog(profile_, scriptDirectory(), chooser_, tnc, channel, parent_);
    dialog.exec();
}

void ScriptCommands::showMessage(int slot, std::string_view text) {
    const QString shown = qs(oemToUtf8(text));
    QMetaObject::invokeMethod(this, [this, slot, shown] { openMessageBox(slot, shown); }, Qt::QueuedConnection);
}

void ScriptCommands::openMessageBox(int slot, const QString& text) {
    auto* box = new QMessageBox(QMessageBox::Information, kCaptionNorva, text, QMessageBox::Ok, parent_);
    box->setObjectName("ScriptMessageBox");
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    // However the box goes (Ok, Escape, the window's close), the script goes on.
    connect(box, &QMessageBox::finished, this, [this, slot] {
        if (!link_)
            return;
        EngineLink* link = link_;
        link->post([link, slot](CHostMode&) {
            if (CTncChannel* channel = link->channelOf(slot))
                scriptOperatorDone(*channel);
        });
    });
    box->show();
    emit messageShown(slot, text);
}

}  // namespace norva
