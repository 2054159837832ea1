// CLinkState: who the station is on one channel and whom it is connected
// to. It follows the TNC's link-status texts and "L" answers (connects,
// disconnects, link failures) and the info text of nodes (onward connects,
// reconnects), watches what the user sends (connect commands, a new own
// call), writes norva.log, and keeps the texts the caption and the bars show.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "channel/ReceiveRecord.h"
#include "platform/Clock.h"

namespace norva {

class CTncChannel;

class CLinkState {
public:
    // Reads the Link<slot> keys and finds the own call.
    explicit CLinkState(CTncChannel& channel);
    // Writes the Link<slot> keys back (called when the channel goes).
    void save() const;

    // At channel initialisation: reports the destination calls to the DDE
    // side; a channel without a destination gets its own call back with "i".
    void initialise();

    // Answer to "L": fields 3 to 6 are unsent, unacknowledged, tries and link state.
    void onLAnswer(std::string_view text);
    // Answer to "@B": the free-buffer count.
    void onBAnswer(std::string_view text);
    // A received record (channels other than 0): connect, reconnect and disconnect texts.
    void onReceive(const ReceiveRecord& record);
    // Text about to be sent: connect commands and own-call changes. Returns
    // the text to send (a wildcard SSID is filled in).
    std::string onSend(int kind, std::string_view text);

    // Dummy TNC: always; else not with more than 8 unsent frames, and only
    // with more free buffers than the TNC's MinFreeBuffer.
    bool maySend() const;
    bool linkActive() const { return linkStateValue() >= 1; }
    int linkStateValue() const;
    // Rebuilds the channel window's caption.
    void caption();

    // The twelve-character text of a link state and its short form.
    static std::string_view longText(int state);
    static std::string_view shortText(int state);
    std::string_view longText() const { return longText(linkStateValue()); }
    std::string_view shortText() const { return shortText(linkStateValue()); }

    const std::string& myCall() const { return myCall_; }
    const std::string& destCall() const { return destCall_; }
    const std::string& lastDestCall() const { return lastDestCall_; }
    const std::string& aliasDestCall() const { return aliasDestCall_; }
    const std::string& lastAliasDestCall() const { return lastAliasDestCall_; }
    const std::string& logonNode() const { return logonNode_; }
    const std::string& nodesAvail() const { return nodesAvail_; }
    const std::string& defaultNode() const { return defaultNode_; }
    const std::string& tncName() const { return tncName_; }
    const std::string& qrg() const { return qrg_; }
    const std::string& freeBuffers() const { return freeBuffers_; }
    const std::string& unsent() const { return unsent_; }
    const std::string& unacked() const { return unacked_; }
    const std::string& tries() const { return tries_; }
    const std::string& linkState() const { return linkState_; }
    const std::string& duration() const { return duration_; }
    std::int64_t connectTime() const { return connectTime_; }
    std::int64_t lastTime() const { return lastTime_; }
    int connectPending() const { return connectPending_; }
    bool wildcardSsid() const { return wildcard_; }
    // The map program's station information for the current destination.
    const std::string& stationInfo() const { return stationInfo_; }
    // Set once per connection by the companion hook; cleared by connects and disconnects.
    bool companionMark() const { return companionMark_; }
    void setCompanionMark(bool on) { companionMark_ = on; }
    // The Remote setting to store: the one from before a link this side
    // started (which switched Remote off for its duration).
    bool remoteToStore() const;

    // Used by onward connects (gateway, connect scripts).
    void setConnectPending(int value) { connectPending_ = value; }
    void setLogonNode(std::string_view node);
    void setDefaultNode(std::string_view node);
    void setNodesAvail(std::string_view nodes);

private:
    bool connectEvent(std::string_view fromConnectedTo, bool linkStatus);
    bool reconnectEvent(std::string_view fromConnectedTo);
    void disconnectEvent();
    // norva.log: one line for the link (or hop) that ended, once.
    void logLink();
    void reportCalls();
    void stampConnect();
    void playSound(std::string_view event) const;
    std::string section() const;

    CTncChannel& channel_;
    std::string defaultNode_;
    std::string tncName_;
    std::string destCall_;
    std::string lastDestCall_;
    std::string aliasDestCall_;
    std::string lastAliasDestCall_;
    std::string logonNode_;
    std::string nodesAvail_;
    std::string myCall_;
    std::string unsent_ = "0";
    std::string unacked_ = "0";
    std::string tries_ = "0";
    std::string freeBuffers_ = "800";
    std::string linkState_ = "0";
    std::int64_t connectTime_ = 0;
    std::int64_t lastTime_ = 0;
    LocalTime connectLocal_{};
    LocalTime lastLocal_{};
    std::string duration_ = "0:00";
    int connectPending_ = 0;
    std::string qrg_;
    bool wildcard_ = false;
    bool savedRemote_ = true;
    bool remoteForcedOff_ = false;
    bool companionMark_ = false;
    std::string stationInfo_;
    bool logPending_ = false;   // a link or hop began that norva.log has not recorded yet
    bool activeSeen_ = false;   // the last "L" answer reported an active link
};

}  // namespace norva
