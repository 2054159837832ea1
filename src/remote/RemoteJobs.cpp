// The //RIng and //SYS jobs.
#include "remote/RemoteJobs.h"

#include <random>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/UiPort.h"
#include "remote/RemoteText.h"

namespace norva {

namespace rt = remote_text;

// ---- CRingJob ----

CRingJob::CRingJob(CTncChannel& ch, std::int64_t limitMs, std::int64_t intervalMs)
    : ch_(ch), limitMs_(limitMs), intervalMs_(intervalMs), startMs_(now()), lastRingMs_(startMs_) {
    remoteReply(ch_, rt::kCallingSysop);
    if (ch_.settings().messageBeep) ch_.ui().playSound(rt::kSysopCallSound, true);
}

std::int64_t CRingJob::now() const { return ch_.tnc().context().clock.monotonicMs(); }

void CRingJob::enter(State next) {
    state_ = next;
    if (next == State::Answered) {
        remoteReply(ch_, rt::kSysopAnswered);
        sendRemotePrompt(ch_);
    } else if (next == State::GaveUp) {
        remoteReply(ch_, rt::kSysopNoAnswer);
        sendRemotePrompt(ch_);
    }
}

void CRingJob::ringOnce() {
    lastRingMs_ = now();
    remoteSendOnly(ch_, rt::kRing);
    remoteEchoOnly(ch_, rt::kYouAreCalled);
    if (ch_.settings().messageBeep) ch_.ui().playSound(rt::kSysopCallSound, true);
}

int CRingJob::tick() {
    if (state_ != State::Ringing) return 0;
    if (now() - lastRingMs_ > intervalMs_) ringOnce();
    if (now() - startMs_ > limitMs_) {
        enter(State::GaveUp);
        return 0;
    }
    return 1;
}

void CRingJob::sendHook(const FrameRecord&) {
    // Whatever the operator types is the answer; it is not sent.
    if (state_ == State::Ringing) enter(State::Answered);
}

// ---- CSysLoginJob ----

CSysLoginJob::CSysLoginJob(CTncChannel& ch) : ch_(ch) {}

void CSysLoginJob::enter(State next) { state_ = next; }

int CSysLoginJob::tick() {
    if (state_ == State::Done) return 0;
    if (state_ == State::Waiting) return 1;
    password_ = ch_.tnc().context().profile.getString("frame", "Password", "");
    if (password_.size() < kPasswordMin) {
        remoteReply(ch_, rt::kNoPassword);
        sendRemotePrompt(ch_);
        enter(State::Done);
        return 0;
    }
    std::random_device device;
    std::uniform_int_distribution<int> pick(1, static_cast<int>(kPasswordMin));
    std::string line;
    for (int& p : positions_) {
        p = pick(device);
        line += std::to_string(p) + " ";
    }
    remoteReply(ch_, line + "\r");
    enter(State::Waiting);
    return 1;
}

int CSysLoginJob::receive(const ReceiveRecord& record) {
    if (state_ != State::Waiting || record.kind != kKindConnected || record.length <= 0) return 1;
    judge(record.text(), record.length);
    enter(State::Done);
    return 0;
}

void CSysLoginJob::judge(std::string_view answer, int length) {
    if (length < kPositions) return;
    std::string packed;
    for (char c : answer)
        if (c != ' ') packed += c;
    bool same = packed.size() >= kPositions;
    for (int i = 0; same && i < kPositions; ++i)
        same = packed[static_cast<std::size_t>(i)] == password_[static_cast<std::size_t>(positions_[i] - 1)];
    ch_.setSuperuser(same);
    if (same) remoteEchoOnly(ch_, rt::kSuperuserIn);
}

}  // namespace norva
