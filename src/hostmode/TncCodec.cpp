// The host-mode codec of CTnc: one frame out, exactly one reply frame in.
// Waits for reply bytes sleep on the port's descriptor (never spinning on
// one that is always readable); the 2-second limit and the 300-byte limit of
// a reply are kept. The in-process TNC is never waited for.
#include <algorithm>
#include <cstring>

#include "hostmode/Tnc.h"
#include "platform/Clock.h"

namespace norva {

namespace {
constexpr int kReplyLimitMs = 2000;
// The longest pause after an empty pass: a reply that does come is at most
// this late, and an always-readable port is read a few times a second.
constexpr int kMaxEmptyPauseMs = 200;
}

int CTnc::sendFrame(const HostChannel& channel, const FrameRecord& frame) {
    if (frame.data.empty()) return 0;
    if (!open_) return 1;
    std::array<std::uint8_t, 259> out{};
    const std::size_t len = std::min<std::size_t>(frame.data.size(), 256);
    out[0] = static_cast<std::uint8_t>(channel.number());
    out[1] = frame.kind == kKindCommand ? 1 : 0;
    out[2] = static_cast<std::uint8_t>(len - 1);
    std::copy_n(frame.data.begin(), len, out.begin() + 3);
    port_.write(std::span(out).first(len + 3));
    return 1;
}

void CTnc::flush() {
    // What is already there, bounded: a chattering device must not hold the engine.
    std::array<std::uint8_t, kMaxReply> junk{};
    for (int reads = 0; reads < 64 && port_.read(junk) > 0; ++reads) {
    }
}

std::span<const std::uint8_t> CTnc::replyBytes() const {
    return std::span(rx_).first(static_cast<std::size_t>(std::clamp(byteCount_, 0, kRxBufferSize)));
}

void CTnc::deliver(HostChannel* to, int kind, std::string_view text) {
    if (!to) return;
    // Link status, monitor and connected data: the station is busy.
    if (kind >= kKindLinkStatus && kind != kKindLAnswer) ++traffic_;
    to->receiveEntry(kind, text);
}

bool CTnc::completeReply(HostChannel* expected) {
    const int code = rx_[1];
    if (code == 0) {
        if (expected) deliver(expected, 0, {});
        return true;
    }
    if (code >= 1 && code <= 5) {
        if (rx_[static_cast<std::size_t>(byteCount_ - 1)] != 0) return false;
        std::string text = "\r";
        text.append(reinterpret_cast<const char*>(&rx_[2]));
        if (code == 3) text += "\r\n";
        static constexpr int kKinds[] = {0, kKindReply, kKindReply, kKindLinkStatus, kKindMonHeader,
                                         kKindMonHeaderInfo};
        if (expected) deliver(expected, kKinds[code], text);
        return true;
    }
    if (code != 6 && code != 7) return false;  // unknown: keep reading until the limit
    if (byteCount_ < 4 || rx_[2] + 1 != byteCount_ - 3) return false;
    const std::string_view payload(reinterpret_cast<const char*>(&rx_[3]),
                                   static_cast<std::size_t>(rx_[2]) + 1);
    if (expected) {
        if (code == 6)
            deliver(expected, kKindMonInfo, "\r" + std::string(payload));
        else
            deliver(expected, kKindConnected, payload);
    }
    return true;
}

int CTnc::readWithin(std::span<std::uint8_t> into, std::int64_t leftMs, int& pauseMs) {
    if (!port_.isOpen() || port_.broken()) return -1;
    if (port_.kind() == PortKind::Dde) {
        // The in-process TNC answers the moment it is written to, or never.
        const int n = port_.read(into);
        return n > 0 ? n : -1;
    }
    if (pauseMs > 0) {
        const auto pause = static_cast<int>(std::min<std::int64_t>(pauseMs, leftMs));
        ctx_.clock.sleepMs(pause);
        leftMs -= pause;
    }
    const bool readable = port_.waitReadable(static_cast<int>(std::max<std::int64_t>(leftMs, 0)));
    const int n = readable ? port_.read(into) : 0;
    if (n > 0) {
        pauseMs = 0;
        return n;
    }
    if (port_.broken() || !port_.isOpen()) return -1;
    pauseMs = std::clamp(pauseMs * 2, 1, kMaxEmptyPauseMs);
    return 0;
}

int CTnc::receiveReply(HostChannel* expected) {
    if (!open_) return 1;
    readIndex_ = byteCount_ = 0;
    std::fill_n(rx_.begin(), kMaxReply, 0xFF);
    const std::int64_t start = ctx_.clock.monotonicMs();
    int pauseMs = 0;

    while (byteCount_ <= kMaxReply) {
        // A reply is never there the moment its request left: sleep first.
        const auto left = kReplyLimitMs - (ctx_.clock.monotonicMs() - start);
        if (left <= 0) break;
        const int n = readWithin(std::span(rx_).subspan(static_cast<std::size_t>(readIndex_), kMaxReply), left,
                                 pauseMs);
        // An unplugged adapter never answers: do not sit out the limit on it.
        if (n < 0) break;
        if (n == 0) continue;
        readIndex_ += n;
        byteCount_ += n;
        // No reply is longer than 259 bytes; more is garbage, however it ends.
        if (byteCount_ > kMaxReply) break;
        if (byteCount_ < 2) continue;
        if (expected && static_cast<std::int8_t>(rx_[0]) != expected->number()) {
            flush();
            return 0;
        }
        if (completeReply(expected)) return 1;
    }
    flush();
    setOutOfSync(true, byteCount_ == 0 ? "no reply" : "incomplete or garbled reply");
    return 0;
}

CTnc::ExtendedResult CTnc::extendedPoll() {
    if (!open_ || outOfSync_ || !extendedPoll_) return {};
    static constexpr std::uint8_t kPoll[] = {0xFF, 0x01, 0x00, 0x47};
    port_.write(kPoll);
    if (!receiveReply(nullptr)) return {};  // reception has marked the loss
    const auto* text = reinterpret_cast<const char*>(&rx_[2]);
    const std::string list(text, strnlen(text, static_cast<std::size_t>(std::max(byteCount_ - 2, 0))));
    if (list.find("INVALID CHANNEL") != std::string::npos) {
        extendedPoll_ = false;
        return {};
    }
    if (rx_[1] == 0 || list.empty()) return {ExtendedResult::Nothing, {}};
    return {ExtendedResult::List, list};
}

}  // namespace norva
