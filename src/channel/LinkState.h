// CLinkState: what the TNC reports about one channel's link: the counters of
// the last "L" answer, the free buffers of the last "@B" answer, and the
// may-send test that bulk senders ask before each piece.
#pragma once

#include <string>
#include <string_view>

namespace norva {

class CTncChannel;

class CLinkState {
public:
    explicit CLinkState(CTncChannel& channel);

    // At channel initialisation: a channel without a destination gets its own
    // callsign back with "i".
    void initialise();

    // Answer to "L" (text without the leading CR): fields 3 to 6 are unsent,
    // unacknowledged, tries and link state.
    void onLAnswer(std::string_view text);
    // Answer to "@B": the free-buffer count.
    void onBAnswer(std::string_view text);

    // Dummy TNC: always; else not with more than 8 unsent frames, and only
    // with more free buffers than the TNC's MinFreeBuffer.
    bool maySend() const;
    bool linkActive() const { return linkStateValue() >= 1; }
    int linkStateValue() const;

    const std::string& freeBuffers() const { return freeBuffers_; }
    const std::string& unsent() const { return unsent_; }
    const std::string& unacked() const { return unacked_; }
    const std::string& tries() const { return tries_; }
    const std::string& linkState() const { return linkState_; }
    const std::string& myCall() const { return myCall_; }
    const std::string& destCall() const { return destCall_; }

private:
    CTncChannel& channel_;
    std::string myCall_;
    std::string destCall_;
    std::string unsent_ = "0";
    std::string unacked_ = "0";
    std::string tries_ = "0";
    std::string freeBuffers_ = "800";
    std::string linkState_ = "0";
};

// Leading decimal number of a text, 0 when there is none (atoi on a TNC field).
int leadingInt(std::string_view text);

}  // namespace norva
