// CTncChannel: construction, settings, receive entry, output and the send operation.
#include "channel/TncChannel.h"

#include <algorithm>
#include <cstring>

#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "platform/UiPort.h"

namespace norva {

CTncChannel::CTncChannel(CTnc& tnc, int number)
    : tnc_(tnc),
      number_(number),
      slot_(slotOf(tnc.number(), number)),
      linkState_(*this),
      caption_("[" + std::to_string(tnc.number()) + "/" + std::to_string(number) + "]") {
    readSettings();
}

CTncChannel::~CTncChannel() = default;

int CTncChannel::tncNumber() const { return tnc_.number(); }

int CTncChannel::readClamped(const char* key, int def, int lo, int hi) {
    Profile& p = tnc_.context().profile;
    const std::string section = "Link" + std::to_string(slot_);
    const auto raw = p.find(section, key);
    if (!raw) return def;
    const auto value = parseIntStrict(*raw);
    if (!value) {
        tnc_.context().log.event(section + " " + key + " \"" + *raw + "\" is not a number, using " +
                                 std::to_string(def) + "\r\n");
        return def;
    }
    if (*value >= lo && *value <= hi) return static_cast<int>(*value);
    const int c = static_cast<int>(std::clamp<long>(*value, lo, hi));
    tnc_.context().log.event(section + " " + key + " " + std::to_string(*value) + " outside " +
                             std::to_string(lo) + ".." + std::to_string(hi) + ", using " +
                             std::to_string(c) + "\r\n");
    return c;
}

void CTncChannel::readSettings() {
    packlen_ = readClamped("Packlen", 64, 1, 256);
    maxReviewTime_ = readClamped("MaxReviewTime", 60, 0, 86400);
}

int CTncChannel::receiveEntry(int kind, std::string_view data) {
    if (data.empty()) {
        if (number_ != 0) gCountdown_ = 4;
        return 1;
    }
    gCountdown_ = 1;
    const std::size_t n = std::min<std::size_t>(data.size(), ReceiveRecord::kCapacity - 1);
    std::memcpy(rx_.data.data(), data.data(), n);
    rx_.data[n] = '\0';
    rx_.kind = kind;
    rx_.length = static_cast<int>(n);
    return 1;
}

void CTncChannel::flushToOutput() {
    if (rx_.length > 0) tnc_.context().ui.appendText(slot_, rx_.kind, rx_.text());
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

void CTncChannel::sendOperation(const FrameRecord& frame) {
    if (!tnc_.isOpen()) return;
    const std::size_t piece = static_cast<std::size_t>(std::clamp(packlen_, 1, 256));
    for (std::size_t pos = 0; pos < frame.data.size(); pos += piece) {
        const FrameRecord part{frame.kind, frame.data.substr(pos, piece)};
        if (!tnc_.sendFrame(*this, part)) continue;
        flushToOutput();
        if (!tnc_.receiveReply(this)) return;
    }
    lCountdown_ = 1;
    bCountdown_ = 1;
}

void CTncChannel::holdForReview(std::int64_t nowSeconds) {
    pollingEnabled_ = false;
    reviewDeadline_ = nowSeconds + maxReviewTime_;
}

void CTncChannel::tick() {}

void CTncChannel::dispatch() {}

}  // namespace norva
