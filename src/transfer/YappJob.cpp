// CYappJob: the reader, the timer and the cancel handling of the YAPP jobs.
#include "transfer/YappJob.h"

#include "channel/TncChannel.h"
#include "platform/Clock.h"

namespace norva {

namespace {
// A reason from the air is shown on one line without control characters.
std::string printable(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '.';
    return out;
}
}  // namespace

CYappJob::CYappJob(CTncChannel& channel, std::filesystem::path path, std::string displayName, bool promptAfter)
    : CTransferJob(channel, std::move(path), std::move(displayName), kYappType, promptAfter) {}

std::int64_t CYappJob::nowMs() const { return clock().monotonicMs(); }

void CYappJob::sendCancel(std::string_view reason) {
    sendData(yappCancel(reason));
    aborted_ = true;
    abortReason_ = std::string(reason);
    notice("\rYAPP abgebrochen: " + abortReason_ + "\r");
    arm(timers_.waitMs);
}

void CYappJob::answerCancel(const YappPacket& cancel) {
    sendData(kYappCanAck);
    aborted_ = true;
    abortReason_ = printable(cancel.payload);
    notice("\rYAPP von der Gegenstation abgebrochen: " + abortReason_ + "\r");
}

void CYappJob::noticeRefusal(const YappPacket& refusal) {
    aborted_ = true;
    abortReason_ = printable(refusal.payload);
    notice("\rYAPP abgelehnt: " + abortReason_ + "\r");
}

void CYappJob::showPeerText(std::string_view text) { channel().show(text, kKindConnected); }

// A disconnect clears the destination before the jobs go.
bool CYappJob::linkUp() const { return !channel().linkState().destCall().empty(); }

}  // namespace norva
