// CLinkState: link counters, free buffers and the may-send test.
#include "channel/LinkState.h"

#include <cstdlib>

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

int leadingInt(std::string_view text) {
    text = trim(text);
    bool negative = false;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > 1'000'000'000) break;
    }
    return static_cast<int>(negative ? -value : value);
}

CLinkState::CLinkState(CTncChannel& channel) : channel_(channel) {
    CTnc& tnc = channel.tnc();
    if (tnc.isDummy() && channel.number() == 1) {
        myCall_ = "REMOTE";
    } else if (tnc.isDummy() && channel.number() == 2) {
        myCall_ = "CONVERSE";
    } else {
        Profile& p = tnc.context().profile;
        myCall_ = toUpper(cut(p.getString("Link" + std::to_string(channel.slot()), "MyCall", ""), 80));
        if (myCall_.empty() || myCall_ == "NOCALL")
            myCall_ = toUpper(cut(p.getString(std::to_string(tnc.number()), "MyCall", "NOCALL"), 80));
    }
}

void CLinkState::initialise() {
    CTnc& tnc = channel_.tnc();
    if (!tnc.isOpen() || !destCall_.empty()) return;
    channel_.sendCommandAndReceive("i " + myCall_);
}

void CLinkState::onLAnswer(std::string_view text) {
    if (!text.empty() && text.front() == '\r') text.remove_prefix(1);
    const auto fields = splitBlanks(text);
    std::string* targets[] = {&unsent_, &unacked_, &tries_, &linkState_};
    for (std::size_t i = 0; i < 4; ++i)
        if (fields.size() > i + 2) *targets[i] = cut(fields[i + 2], 12);
}

void CLinkState::onBAnswer(std::string_view text) {
    if (!text.empty() && text.front() == '\r') text.remove_prefix(1);
    freeBuffers_ = cut(trim(text), 12);
}

int CLinkState::linkStateValue() const { return leadingInt(linkState_); }

bool CLinkState::maySend() const {
    const CTnc& tnc = channel_.tnc();
    if (tnc.isDummy()) return true;
    if (leadingInt(unsent_) > 8) return false;
    return leadingInt(freeBuffers_) > tnc.minFreeBuffer();
}

}  // namespace norva
