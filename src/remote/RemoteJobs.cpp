// The //RIng and //SYS jobs.
#include "remote/RemoteJobs.h"

#include <algorithm>
#include <random>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
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

// ---- SysGuard ----

namespace {

// The call without its SSID.
std::string baseCall(std::string_view call) { return toUpper(call.substr(0, call.find('-'))); }

}  // namespace

std::optional<std::int64_t> SysGuard::waitBeforeChallenge(std::string_view call, std::int64_t nowMs) {
    const auto it = calls_.find(baseCall(call));
    if (it == calls_.end()) return 0;
    Record& r = it->second;
    if (r.lockedUntilMs > nowMs) return std::nullopt;
    if (r.lockedUntilMs != 0) {
        calls_.erase(it);  // the lock has run out: a fresh start
        return 0;
    }
    // 2 s after the first wrong answer, 4 s after the second.
    const std::int64_t delay = kFirstDelayMs << (r.failures - 1);
    return std::max<std::int64_t>(0, r.lastFailureMs + delay - nowMs);
}

void SysGuard::failed(std::string_view call, std::int64_t nowMs, SystemLog& log) {
    const std::string key = baseCall(call);
    Record& r = calls_[key];
    ++r.failures;
    r.lastFailureMs = nowMs;
    log.event("//SYS: wrong answer from " + std::string(call) + " (" + std::to_string(r.failures) + " in a row)\r\n");
    if (r.failures < kFailuresBeforeLock) return;
    r.lockedUntilMs = nowMs + kLockMs;
    log.event("//SYS: " + key + " locked out for 10 minutes\r\n");
}

void SysGuard::succeeded(std::string_view call) { calls_.erase(baseCall(call)); }

// ---- CSysLoginJob ----

CSysLoginJob::CSysLoginJob(CTncChannel& ch, SysGuard& guard) : ch_(ch), guard_(guard) {}

std::int64_t CSysLoginJob::now() const { return ch_.tnc().context().clock.monotonicMs(); }

void CSysLoginJob::enter(State next) { state_ = next; }

int CSysLoginJob::tick() {
    if (state_ == State::Done) return 0;
    if (state_ == State::Waiting) return 1;
    if (state_ == State::Delaying) {
        if (now() < challengeAtMs_) return 1;
        challenge();
        return state_ == State::Done ? 0 : 1;
    }
    password_ = ch_.tnc().context().profile.getString("frame", "Password", "");
    if (password_.size() < kPasswordMin) {
        remoteReply(ch_, rt::kNoPassword);
        sendRemotePrompt(ch_);
        enter(State::Done);
        return 0;
    }
    const auto wait = guard_.waitBeforeChallenge(ch_.linkState().destCall(), now());
    if (!wait) {
        remoteReply(ch_, rt::kSysLocked);
        sendRemotePrompt(ch_);
        enter(State::Done);
        return 0;
    }
    challengeAtMs_ = now() + *wait;
    enter(State::Delaying);
    return tick();
}

void CSysLoginJob::challenge() {
    std::random_device device;
    std::uniform_int_distribution<int> pick(1, static_cast<int>(kPasswordMin));
    std::string line;
    for (int& p : positions_) {
        p = pick(device);
        line += std::to_string(p) + " ";
    }
    remoteReply(ch_, line + "\r");
    enter(State::Waiting);
}

int CSysLoginJob::receive(const ReceiveRecord& record) {
    if (state_ != State::Waiting || record.kind != kKindConnected || record.length <= 0) return 1;
    judge(record.text(), record.length);
    enter(State::Done);
    return 0;
}

void CSysLoginJob::judge(std::string_view answer, int length) {
    const std::string& call = ch_.linkState().destCall();
    if (length < kPositions) {
        // The flag stays as it is, but it was a try: it must not be a free one.
        guard_.failed(call, now(), ch_.tnc().context().log);
        return;
    }
    std::string packed;
    for (char c : answer)
        if (c != ' ') packed += c;
    bool same = packed.size() >= kPositions;
    for (int i = 0; same && i < kPositions; ++i)
        same = packed[static_cast<std::size_t>(i)] == password_[static_cast<std::size_t>(positions_[i] - 1)];
    ch_.setSuperuser(same);
    if (same) {
        guard_.succeeded(call);
        remoteEchoOnly(ch_, rt::kSuperuserIn);
        return;
    }
    guard_.failed(call, now(), ch_.tnc().context().log);
}

}  // namespace norva
