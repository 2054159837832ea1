// The channel poll: status commands every fifth poll, "G" when due, each
// request followed at once by its reply; a TNC out of sync is resynchronised
// instead.
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Clock.h"
#include "platform/UiPort.h"

namespace norva {

bool CTncChannel::mayBePolled() {
    // A gateway channel is read only as fast as its partner can send.
    if (const CGatewayJob* gw = gatewayJob()) {
        const CTncChannel* partner = registry().channel(gw->partnerSlot());
        if (partner && !partner->linkState().maySend()) return false;
    }
    if (pollingEnabled_) return true;
    HostContext& ctx = tnc_.context();
    const std::int64_t now = ctx.clock.wallSeconds();
    if (now >= reviewDeadline_) {
        pollingEnabled_ = true;
        ctx.ui.jumpToEnd(slot_);
        shownTitle_ = caption_;
        ctx.ui.windowTitle(slot_, caption_);
        return true;
    }
    const std::string left = "[REVIEW:" + std::to_string(reviewDeadline_ - now) + "]";
    const std::string title = (number_ == 0 ? std::string("Monitor") : caption_) + " " + left;
    if (title != shownTitle_) {
        shownTitle_ = title;
        ctx.ui.windowTitle(slot_, title);
    }
    return false;
}

bool CTncChannel::pollB() {
    if (--bCountdown_ > 0) return false;
    bCountdown_ = 5;
    bOutstanding_ = true;
    sendCommand("@B");
    flushToOutput();
    tnc_.receiveReply(this);
    if (!tnc_.outOfSync() && tnc_.isOpen()) {
        linkState_.onBAnswer(rx_.text());
        rx_.length = 0;
    }
    bOutstanding_ = false;
    return tnc_.outOfSync();
}

bool CTncChannel::pollL() {
    if (number_ == 0 || --lCountdown_ > 0) return false;
    lCountdown_ = 5;
    lOutstanding_ = true;
    sendCommand("L");
    flushToOutput();
    tnc_.receiveReply(this);
    if ((!tnc_.outOfSync() && tnc_.isOpen()) || tnc_.isDummy()) {
        linkState_.onLAnswer(rx_.text());
        rx_.length = 0;
    }
    lOutstanding_ = false;
    return tnc_.outOfSync();
}

void CTncChannel::pollG(PollMode mode) {
    if (mode == PollMode::StatusOnly) return;
    --gCountdown_;
    if (gCountdown_ > 0 && mode != PollMode::ForceGet) return;
    gCountdown_ = (number_ == 0 || linkState_.linkStateValue() != 0) ? 1 : 4;
    sendCommand("G");
    flushToOutput();
    tnc_.receiveReply(this);
    if (!tnc_.outOfSync()) dispatch();
    if (number_ != 0) flushToOutput();
}

bool CTncChannel::poll(PollMode mode) {
    if (!mayBePolled()) return false;
    if (tnc_.outOfSync()) return tnc_.resynchronise() != 0;
    tick();
    if (pollB()) return true;
    if (pollL()) return true;
    pollG(mode);
    if (registry().topLink() == slot_) refreshStatusBar();
    return tnc_.outOfSync();
}

}  // namespace norva
