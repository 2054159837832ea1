// CTncChannel: construction and destruction, receive entry, output, the send
// operation and its local commands.
#include "channel/TncChannel.h"

#include <algorithm>

#include "channel/ChannelContext.h"
#include "channel/ChannelHooks.h"
#include "channel/ChannelRegistry.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/ProgramDir.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "platform/UiPort.h"

namespace norva {

namespace {

std::string remoteDirOf(const HostContext& ctx) {
    std::string dir = frameDirectory(ctx.profile, "RemoteDir", ctx.programDir).string();
    if (dir.empty() || dir.back() != '/') dir += '/';
    return dir;
}

}  // namespace

ChannelContext::ChannelContext(HostContext base)
    : HostContext(std::move(base)), receiveFolders(profile, programDir, log, registryFile().parent_path()) {
    makeChannel = [this](CTnc& tnc, int number) -> std::unique_ptr<HostChannel> {
        return std::make_unique<CTncChannel>(tnc, number, channels, receiveFolders);
    };
}

CTncChannel::CTncChannel(CTnc& tnc, int number, ChannelRegistry& registry, ReceiveFolders& receiveFolders)
    : tnc_(tnc),
      registry_(registry),
      receiveFolders_(receiveFolders),
      number_(number),
      slot_(slotOf(tnc.number(), number)),
      settings_(readChannelSettings(tnc.context().profile, tnc.context().log, slot_)),
      remoteDir_(remoteDirOf(tnc.context())),
      linkState_(*this),
      sink_(registry, tnc.context().ui, slot_, COutputSink::ToWindow) {
    ChannelRegistry& reg = registry_;
    reg.enter(slot_, this);
    superuser_ = linkState_.myCall() == "REMOTE";
    reg.setConverseGroup(slot_, isConverseConsole() ? 1 : 0);
    createStandingJobs();
    caption_ = buildCaption();
}

CTncChannel::~CTncChannel() {
    ChannelSettings stored = settings_;
    stored.remote = linkState_.remoteToStore();
    writeChannelSettings(tnc_.context().profile, slot_, stored);
    linkState_.save();
    // Jobs may still call the channel while they go, so it stays whole until they are gone.
    endSendJob();
    for (int s = 0; s < kJobSlotCount; ++s) retire(static_cast<JobSlot>(s));
    while (!queue_.empty()) queue_.remove(queue_.first(true));
    retired_.clear();
    dde_.reset();
    registry().leave(slot_, this);
}

void CTncChannel::createStandingJobs() {
    ChannelJobFactory& make = registry().hooks().jobs();
    dde_ = make.ddeObject(*this);
    if (!settings_.logFile.empty()) slotRef(JobSlot::Capture) = make.captureJob(*this, settings_.logFile);
    slotRef(JobSlot::MapLink) = make.mapLinkJob(*this);
    if (number_ == 0) return;
    if (settings_.dieBox) slotRef(JobSlot::Mailbox) = make.mailboxJob(*this);
    if (settings_.travoAuto) slotRef(JobSlot::CompanionHook) = make.companionHook(*this);
    slotRef(JobSlot::SchedulerHook) = make.schedulerHook(*this);
}

int CTncChannel::tncNumber() const { return tnc_.number(); }
bool CTncChannel::isRemoteConsole() const { return tnc_.isDummy() && number_ == 1; }
bool CTncChannel::isConverseConsole() const { return tnc_.isDummy() && number_ == 2; }
UiPort& CTncChannel::ui() const { return tnc_.context().ui; }

void CTncChannel::reportToDde(const ReceiveRecord& record) {
    if (!dde_) return;
    if (dde_->active()) dde_->advise(record);
    dde_->updateItems(record);
}

int CTncChannel::receiveEntry(int kind, std::string_view data) {
    if (data.empty()) {
        if (number_ != 0) gCountdown_ = 4;
        return 1;
    }
    gCountdown_ = 1;
    rx_.channel = number_;
    rx_.assign(kind, data);
    rxHeld_ = false;
    // The free-buffer answer is kept by the poll, not reported.
    if (bOutstanding_) return 1;
    ReceiveRecord report = rx_;
    if (lOutstanding_) report.kind = kKindLAnswer;
    reportToDde(report);
    return 1;
}

void CTncChannel::flushToOutput() {
    if (rx_.length > 0 && !rxHeld_ && !receivedTextHeld()) sink_.put(rx_.text(), rx_.kind);
    rx_.length = 0;
}

void CTncChannel::sendCommand(std::string_view command) {
    tnc_.sendFrame(*this, {kKindCommand, command});
}

bool CTncChannel::sendCommandAndReceive(std::string_view command) {
    sendCommand(command);
    flushToOutput();
    return tnc_.receiveReply(this) != 0;
}

bool CTncChannel::localCommand(std::string_view command) {
    const std::string upper = toUpper(command);
    const auto blank = upper.find(' ');
    const std::string_view word = std::string_view(upper).substr(0, blank);
    const std::string_view args =
        blank == std::string::npos ? std::string_view{} : command.substr(blank + 1);
    if (word == "PWD") {
        registry().hooks().password().pwdCommand(*this, args);
        return true;
    }
    if (word != "PACKLEN") return false;
    const int wanted = leadingInt(args);
    if (wanted >= 8 && wanted <= 255) {
        settings_.packlen = wanted;
        return true;
    }
    show("\rPACKLEN " + std::to_string(settings_.packlen) + "\r", kClassTncEcho);
    return true;
}

void CTncChannel::sendOperation(const FrameRecord& frame) {
    if (!tnc_.isOpen()) return;
    if (frame.kind == kKindCommand && localCommand(frame.data)) return;
    if (frame.kind == kKindInfo && !frame.data.empty()) sentLineOpen_ = frame.data.back() != '\r';
    const auto piece = static_cast<std::size_t>(
        std::clamp(settings_.packlen, ChannelSettings::kMinPacklen, ChannelSettings::kMaxPacklen));
    for (std::size_t pos = 0; pos < frame.data.size(); pos += piece) {
        const FrameRecord part{frame.kind, frame.data.substr(pos, piece)};
        if (!tnc_.sendFrame(*this, part)) continue;
        flushToOutput();
        if (!tnc_.receiveReply(this)) return;
    }
    lCountdown_ = 1;
    bCountdown_ = 1;
}

void CTncChannel::sendLine(std::string_view line) {
    if (line.empty()) return;
    std::string out;
    if (sentLineOpen_) out.push_back('\r');
    out.append(line);
    if (out.back() != '\r') out.push_back('\r');
    sendOperation(FrameRecord{kKindInfo, out});
}

void CTncChannel::holdForReview(std::int64_t nowSeconds) {
    pollingEnabled_ = false;
    reviewDeadline_ = nowSeconds + settings_.maxReviewTime;
}

}  // namespace norva
