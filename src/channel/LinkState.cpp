// CLinkState: creation and storage, the "L" and "@B" answers, the may-send
// test and the link-state texts.
#include "channel/LinkState.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "channel/Callsign.h"
#include "channel/ChannelSettings.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace {

constexpr std::size_t kNodeListLimit = 255;
constexpr std::size_t kCounterLimit = 12;

constexpr std::array<std::string_view, 11> kLongTexts = {
    "disconnected", " link setup ", "frame reject", "disc in prog", "inf transfer", "reject  send",
    "wait for ack", "device busy ", "remote busy ", " both busy  ", "... busy ..."};
constexpr std::array<std::string_view, 11> kShortTexts = {
    "dsc", "lsu", "rej", "dip", "ifx", "rej", "nack", "busy", "busy", "busy", "busy"};

std::size_t textIndex(int state) { return static_cast<std::size_t>(std::clamp(state, 0, 10)); }

}  // namespace

std::string_view CLinkState::longText(int state) { return kLongTexts[textIndex(state)]; }
std::string_view CLinkState::shortText(int state) { return kShortTexts[textIndex(state)]; }

std::string CLinkState::section() const { return linkSection(channel_.slot()); }

CLinkState::CLinkState(CTncChannel& channel) : channel_(channel) {
    CTnc& tnc = channel.tnc();
    const Profile& p = tnc.context().profile;
    const std::string sec = section();
    auto call = [&](const char* key) { return toUpper(cut(callWord(trim(p.getString(sec, key, ""))), kCallLimit)); };
    destCall_ = call("DestCall");
    lastDestCall_ = call("LastDestCall");
    aliasDestCall_ = call("AliasDestCall");
    lastAliasDestCall_ = call("LastAliasDestCall");
    logonNode_ = call("LogonNode");
    defaultNode_ = cut(trim(p.getString(sec, "DefaultNode", "")), kCallLimit);
    nodesAvail_ = cut(trim(p.getString(sec, "NodesAvail", "")), kNodeListLimit);
    tncName_ = tnc.name();
    qrg_ = tnc.qrg();
    savedRemote_ = channel.settings().remote;

    if (tnc.isDummy() && channel.number() == 1) {
        myCall_ = "REMOTE";
    } else if (tnc.isDummy() && channel.number() == 2) {
        myCall_ = "CONVERSE";
    } else {
        myCall_ = call("MyCall");
        if (myCall_.empty() || myCall_ == "NOCALL")
            myCall_ = toUpper(cut(callWord(trim(p.getString(std::to_string(tnc.number()), "MyCall", "NOCALL"))),
                                  kCallLimit));
        if (myCall_.empty()) myCall_ = "NOCALL";
    }
}

void CLinkState::save() const {
    Profile& p = channel_.tnc().context().profile;
    const std::string sec = section();
    // The own call that only repeats the TNC's default stays unwritten, so a
    // later change of the TNC's call still reaches this channel.
    const std::string tncCall =
        toUpper(cut(callWord(trim(p.getString(std::to_string(channel_.tncNumber()), "MyCall", "NOCALL"))), kCallLimit));
    if (!channel_.tnc().isDummy()) writeIfChanged(p, sec, "MyCall", myCall_, tncCall);
    writeIfChanged(p, sec, "DestCall", destCall_, "");
    writeIfChanged(p, sec, "LastDestCall", lastDestCall_, "");
    writeIfChanged(p, sec, "AliasDestCall", aliasDestCall_, "");
    writeIfChanged(p, sec, "LastAliasDestCall", lastAliasDestCall_, "");
    writeIfChanged(p, sec, "LogonNode", logonNode_, "");
    writeIfChanged(p, sec, "NodesAvail", nodesAvail_, "");
    writeIfChanged(p, sec, "DefaultNode", defaultNode_, "");
}

bool CLinkState::remoteToStore() const {
    return remoteForcedOff_ ? savedRemote_ : channel_.settings().remote;
}

void CLinkState::setLogonNode(std::string_view node) {
    logonNode_ = toUpper(cut(callWord(trim(node)), kCallLimit));
}
void CLinkState::setDefaultNode(std::string_view node) { defaultNode_ = cut(trim(node), kCallLimit); }
void CLinkState::setNodesAvail(std::string_view nodes) { nodesAvail_ = cut(trim(nodes), kNodeListLimit); }

void CLinkState::reportCalls() {
    channel_.reportToDde(ReceiveRecord::of(channel_.number(), kKindDestCall, destCall_));
    channel_.reportToDde(ReceiveRecord::of(channel_.number(), kKindAliasDestCall, aliasDestCall_));
}

void CLinkState::initialise() {
    reportCalls();
    if (channel_.tnc().isOpen() && destCall_.empty()) channel_.sendCommandAndReceive("i " + myCall_);
    caption();
}

void CLinkState::caption() { channel_.refreshCaption(); }

void CLinkState::stampConnect() {
    const Clock& clock = channel_.tnc().context().clock;
    connectTime_ = lastTime_ = clock.wallSeconds();
    connectLocal_ = lastLocal_ = clock.localTime();
}

void CLinkState::onLAnswer(std::string_view text) {
    if (!text.empty() && text.front() == '\r') text.remove_prefix(1);
    const auto fields = splitBlanks(text);
    std::string* targets[] = {&unsent_, &unacked_, &tries_, &linkState_};
    for (std::size_t i = 0; i < 4; ++i)
        if (fields.size() > i + 2) *targets[i] = cut(callWord(fields[i + 2]), kCounterLimit);
    if (channel_.tnc().isDummy()) {
        caption();
        return;
    }
    const Clock& clock = channel_.tnc().context().clock;
    if (linkActive()) {
        // A link nobody announced (kept by the TNC across a restart): count it from now.
        if (connectTime_ == 0) {
            stampConnect();
            logPending_ = !destCall_.empty() || !aliasDestCall_.empty();
        }
        activeSeen_ = true;
        lastTime_ = clock.wallSeconds();
        lastLocal_ = clock.localTime();
        const std::int64_t up = std::max<std::int64_t>(0, lastTime_ - connectTime_);
        char buf[40];
        std::snprintf(buf, sizeof buf, " %ld:%02d ", static_cast<long>(up / 3600),
                      static_cast<int>(up / 60 % 60));
        duration_ = buf;
    } else {
        // Only the answer that sees the link gone ends it; the idle answers
        // every fifth poll must not log or reset again.
        if (activeSeen_) {
            logLink();
            connectTime_ = 0;
            channel_.resetJobs();
        }
        activeSeen_ = false;
        duration_ = "0:00";
    }
    caption();
}

void CLinkState::onBAnswer(std::string_view text) {
    if (!text.empty() && text.front() == '\r') text.remove_prefix(1);
    freeBuffers_ = cut(callWord(trim(text)), kCounterLimit);
}

int CLinkState::linkStateValue() const { return leadingInt(linkState_); }

bool CLinkState::maySend() const {
    const CTnc& tnc = channel_.tnc();
    if (tnc.isDummy()) return true;
    if (leadingInt(unsent_) > 8) return false;
    return leadingInt(freeBuffers_) > tnc.minFreeBuffer();
}

}  // namespace norva
