// CLinkState: connection events from received text, connect commands and
// own-call changes from sent text, and the norva.log line.
#include <cstdio>

#include "channel/Callsign.h"
#include "channel/ChannelRegistry.h"
#include "channel/LinkState.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "platform/UiPort.h"

namespace norva {

namespace {

constexpr int kConnectPending = 10;

std::string dateText(const LocalTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%d", t.day % 100, t.month % 100, t.year);
    return buf;
}

std::string timeText(const LocalTime& t) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d", t.hour % 100, t.minute % 100);
    return buf;
}

}  // namespace

void CLinkState::playSound(std::string_view event) const {
    if (channel_.settings().messageBeep) channel_.ui().playSound(event, false);
}

void CLinkState::logLink() {
    if (!logPending_) return;
    logPending_ = false;
    if (destCall_.empty() && aliasDestCall_.empty()) return;
    const std::string dest = destCall_ == aliasDestCall_ ? destCall_ : aliasDestCall_ + ":" + destCall_;
    std::string line = "  " + dateText(connectLocal_) + "  " + timeText(connectLocal_) + " -" +
                       timeText(lastLocal_) + "   :" + padRight(myCall_, 8) + " " + padRight(dest, 15) +
                       "    " + qrg_;
    if (!logonNode_.empty() && logonNode_ != destCall_) line += " via " + logonNode_;
    line += "\r\n";
    // A log that cannot be written is skipped.
    appendToFile(channel_.tnc().context().programDir / "norva.log", line);
}

void CLinkState::onReceive(const ReceiveRecord& record) {
    if (record.length <= 0) return;
    const std::string_view text = record.text();
    const std::string lower = toLower(text);
    const bool linkStatus = record.kind == kKindLinkStatus;

    const auto connected = lower.find("connected to");
    if (connected != std::string::npos && (linkStatus || connectPending_ != 0)) {
        if (connectEvent(text.substr(connected), linkStatus)) return;
    } else if (const auto re = lower.find("reconnected to"); re != std::string::npos) {
        if (reconnectEvent(text.substr(re + 2))) return;
    }
    if (linkStatus && (lower.find("disconnected") != std::string::npos ||
                       lower.find("link failure") != std::string::npos))
        disconnectEvent();
}

bool CLinkState::connectEvent(std::string_view fromConnectedTo, bool linkStatus) {
    const auto dest = parseDestination(fromConnectedTo);
    if (!dest) return false;
    ChannelRegistry& registry = channel_.registry();
    ChannelHooks& hooks = registry.hooks();
    ChannelSettings& settings = channel_.settings();

    playSound("connected to...");
    // A node reported an onward connect: the hop to it ends here.
    if (!linkStatus) logLink();
    stampConnect();
    logPending_ = true;
    destCall_ = dest->call;
    aliasDestCall_ = dest->alias;

    companionMark_ = false;
    if (CMapLinkJob* map = channel_.mapLinkJob()) {
        if (linkStatus)
            map->setPair(destCall_, "");
        else
            map->setPair(lastDestCall_, destCall_);
    }
    stationInfo_ = hooks.map().stationInfo(destCall_);
    reportCalls();
    hooks.station().aliasPair(aliasDestCall_, destCall_);

    if (linkStatus) {
        if (logonNode_.empty() && connectPending_ != 0) logonNode_ = destCall_;
        if (!logonNode_.empty()) defaultNode_ = logonNode_;
        if (wildcard_) {
            const bool same = aliasDestCall_ == destCall_;
            destCall_ = withWildcardSsid(destCall_);
            if (same) aliasDestCall_ = destCall_;
            wildcard_ = false;
        }
    }
    if (settings.logStation) hooks.station().updateStationFile(channel_, destCall_);
    lastDestCall_ = destCall_;
    lastAliasDestCall_ = aliasDestCall_;
    if (linkStatus && !remoteForcedOff_) savedRemote_ = settings.remote;

    if (connectPending_ == 0) {
        hooks.remote().greet(channel_);
        const bool shown = registry.topLink() == channel_.slot() && registry.mainWindowActive();
        if (!shown && settings.connectMsg) channel_.ui().connectNotice(channel_.slot());
    } else {
        // We called: the other station's text must not drive the remote server.
        if (!remoteForcedOff_) savedRemote_ = settings.remote;
        settings.remote = false;
        remoteForcedOff_ = true;
    }
    connectPending_ = 0;
    caption();
    return true;
}

bool CLinkState::reconnectEvent(std::string_view fromConnectedTo) {
    const auto dest = parseDestination(fromConnectedTo);
    if (!dest) return false;
    logLink();
    stampConnect();
    logPending_ = true;
    destCall_ = dest->call;
    aliasDestCall_ = dest->alias;
    if (CMapLinkJob* map = channel_.mapLinkJob()) map->setPair(destCall_, "");
    reportCalls();
    channel_.registry().hooks().station().aliasPair(aliasDestCall_, destCall_);
    wildcard_ = false;
    connectPending_ = 0;
    channel_.resetJobs();
    caption();
    return true;
}

void CLinkState::disconnectEvent() {
    playSound("disconnected");
    logLink();
    destCall_.clear();
    aliasDestCall_.clear();
    logonNode_.clear();
    wildcard_ = false;
    connectPending_ = 0;
    connectTime_ = 0;
    activeSeen_ = false;
    duration_ = "0:00";
    reportCalls();
    companionMark_ = false;
    // An onward connect may have changed the own call on the TNC.
    channel_.sendCommandAndReceive("i " + myCall_);
    if (defaultNode_.empty()) {
        const Profile& p = channel_.tnc().context().profile;
        defaultNode_ = toUpper(cut(trim(p.getString(section(), "DefaultNode", "")), kCallLimit));
    }
    channel_.destroyJob(JobSlot::Script);
    channel_.resetJobs();
    if (remoteForcedOff_) channel_.settings().remote = savedRemote_;
    remoteForcedOff_ = false;
    caption();
}

std::string CLinkState::onSend(int kind, std::string_view text) {
    std::string out(text);
    const int number = channel_.number();
    if (kind != kKindCommand) {
        // A connect command typed to a node.
        if (number != 0 && icontains(text, "c ")) connectPending_ = kConnectPending;
        return out;
    }
    const auto blank = text.find_first_of(" \t");
    const std::string word = toLower(text.substr(0, blank));
    const std::string_view rest = blank == std::string_view::npos ? std::string_view{} : trim(text.substr(blank));

    if (word == "i") {
        const std::string call = toUpper(cut(callWord(rest), kCallLimit));
        if (trim(rest).size() > 2 && !call.empty()) {
            myCall_ = call;
            channel_.tnc().context().profile.writeString(section(), "MyCall", myCall_);
            caption();
        }
        return out;
    }
    if (word != "c" || number == 0) return out;

    connectPending_ = kConnectPending;
    if (out.find("-*") != std::string::npos) {
        wildcard_ = true;
        const std::string ssid = "-" + std::to_string(number);
        for (auto at = out.find("-*"); at != std::string::npos; at = out.find("-*", at + ssid.size()))
            out.replace(at, 2, ssid);
    } else if (out.find('-') == std::string::npos && number <= 15) {
        // Each channel calls out with its own SSID.
        channel_.sendCommandAndReceive("i " + std::string(baseCall(myCall_)) + "-" + std::to_string(number));
    }
    return out;
}

}  // namespace norva
