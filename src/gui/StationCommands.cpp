// StationCommands: the station window's host and the station entries of the
// main window (see StationCommands.h).
#include "gui/StationCommands.h"

// std
#include <string_view>
#include <utility>

// Qt
#include <QMessageBox>
#include <QMetaObject>
#include <QWidget>

// Norva
#include "channel/LinkState.h"
#include "channel/TncChannel.h"
#include "gui/EngineLink.h"
#include "gui/StationDialogs.h"
#include "gui/StationWindow.h"
#include "gui/TncDialogs.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "station/EntryNodes.h"
#include "station/StationList.h"

namespace norva {

namespace {

constexpr const char* kCaption = "Norva";

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

std::vector<std::filesystem::path> stationFilesOnCommandLine(int argc, char** argv) {
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--dir") {
            ++i;
            continue;
        }
        if (arg.empty() || arg.starts_with("-"))
            continue;
        std::error_code ec;
        std::filesystem::path file = std::filesystem::absolute(std::filesystem::path(arg), ec);
        files.push_back(ec ? std::filesystem::path(arg) : std::move(file));
    }
    return files;
}

StationCommands::StationCommands(EngineLink* link, Profile& profile, std::filesystem::path programDir,
                                 ScriptOperator* op, QWidget* parent)
    : link_(link),
      profile_(profile),
      programDir_(std::move(programDir)),
      op_(op),
      parent_(parent),
      editor_([](QWidget* p, const std::filesystem::path& file) { return openInEditor(p, file); }) {}

StationCommands::~StationCommands() {
    if (window_)
        delete window_.data();
}

std::filesystem::path StationCommands::scriptDir() const {
    return frameDirectory(profile_, "ScriptDir", programDir_);
}

StationWindow* StationCommands::showWindow() {
    if (!window_)
        window_ = new StationWindow(*this, parent_);
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return window_;
}

StationOpenOutcome StationCommands::openStationFile(const std::filesystem::path& file) {
    auto ask = [this](const std::string& text) {
        return QMessageBox::question(parent_, kCaption, qs(text), QMessageBox::Ok | QMessageBox::Cancel,
                                     QMessageBox::Ok) == QMessageBox::Ok;
    };
    const OutsideFile outside = inspectOutsideFile(paths(), file);
    if (!outside.ok) {
        QMessageBox::warning(parent_, kCaption, qs(outside.message));
        return StationOpenOutcome::Refused;
    }
    std::filesystem::path stn = outside.source;
    if (!outside.inStationDir) {
        if (!ask(takeOverQuestion(outside.fileName)))
            return StationOpenOutcome::Cancelled;
        if (outside.existsInStationDir && !ask(overwriteQuestion(outside.fileName)))
            return StationOpenOutcome::Cancelled;
        if (const StationResult copied = copyIntoStationDir(outside); !copied) {
            QMessageBox::warning(parent_, kCaption, qs(copied.message));
            return StationOpenOutcome::Refused;
        }
        stn = outside.target;
    }
    const StationOpen info = readOpenInfo(stn);
    if (!info.ok) {
        QMessageBox::warning(parent_, kCaption, qs(info.message));
        return StationOpenOutcome::Refused;
    }
    if (info.displayOnOpen) {
        showWindow()->loadCall(info.destCall);
        return StationOpenOutcome::Shown;
    }
    return connectStation(info.tnc, info.script).slot > 0 ? StationOpenOutcome::Connected
                                                          : StationOpenOutcome::NotStarted;
}

ConnectWithScriptResult StationCommands::connectStation(int tnc, const std::string& script) {
    if (!link_)
        return {};
    ScriptOperator* op = op_;
    const ConnectWithScriptResult result =
        link_->call([tnc, script, op](CHostMode& hostMode) { return connectWithScript(hostMode, tnc, script, op); });
    if (result.slot > 0) {
        if (activate_)
            activate_(result.slot);
    } else if (!result.message.empty()) {
        emit connectRefused(qs(result.message));
        QWidget* over = window_ && window_->isVisible() ? static_cast<QWidget*>(window_.data()) : parent_;
        QMessageBox::information(over, kCaption, qs(result.message));
    }
    return result;
}

StationCommands::ChannelCalls StationCommands::channelCalls(int slot) {
    if (!link_ || slot <= 0)
        return {};
    EngineLink* link = link_;
    return link->call([link, slot](CHostMode&) {
        ChannelCalls calls;
        if (CTncChannel* channel = link->channelOf(slot)) {
            calls.exists = true;
            calls.destCall = channel->linkState().destCall();
            calls.aliasCall = channel->linkState().aliasDestCall();
        }
        return calls;
    });
}

void StationCommands::topLinkChanged(int slot) {
    // Queued: TopLink changes while windows activate, also inside other waits for the engine.
    QMetaObject::invokeMethod(
        this,
        [this, slot] {
            if (window_ && window_->online())
                window_->followChannel(slot);
        },
        Qt::QueuedConnection);
}

bool StationCommands::chooseEntryNode(int slot) {
    if (!link_ || slot <= 0)
        return false;
    EngineLink* link = link_;
    struct Current {
        bool exists = false;
        NodeChoice choice;
    };
    const Current current = link->call([link, slot](CHostMode&) {
        Current c;
        if (CTncChannel* channel = link->channelOf(slot)) {
            c.exists = true;
            c.choice = {channel->linkState().nodesAvail(), channel->linkState().defaultNode()};
        }
        return c;
    });
    if (!current.exists)
        return false;
    EntryNodeDialog dialog(current.choice, parent_);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const NodeChoice chosen = dialog.choice();
    return link->call([link, slot, chosen](CHostMode&) {
        CTncChannel* channel = link->channelOf(slot);
        if (!channel)
            return false;
        channel->linkState().setNodesAvail(chosen.list);
        channel->linkState().setDefaultNode(chosen.chosen);
        channel->linkState().save();
        return true;
    });
}

}  // namespace norva
