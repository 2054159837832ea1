// CTncChannel: one host-mode channel of a TNC, the meeting point of the
// program. The poll engine feeds it replies (receive entry) and asks it to
// poll; it shows received text through its output sink and sends text and
// commands with the send operation, cut into Packlen pieces.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "channel/LinkState.h"
#include "hostmode/FrameRecord.h"

namespace norva {

class CTnc;

// The last reply delivered to a channel.
struct ReceiveRecord {
    static constexpr int kCapacity = 260;  // CR, 256 payload bytes, NUL, spare
    int kind = 0;
    int length = 0;
    std::array<char, kCapacity> data{};
    std::string_view text() const { return {data.data(), static_cast<std::size_t>(length)}; }
};

enum class PollMode { StatusOnly = -1, Normal = 0, ForceGet = 1 };

class CTncChannel {
public:
    CTncChannel(CTnc& tnc, int number);
    ~CTncChannel();
    CTncChannel(const CTncChannel&) = delete;
    CTncChannel& operator=(const CTncChannel&) = delete;

    // Every reply for this channel arrives here.
    int receiveEntry(int kind, std::string_view data);
    // Shows the receive record's text (if any) and empties it.
    void flushToOutput();
    // One channel poll; true when the TNC is out of sync afterwards.
    bool poll(PollMode mode);
    // Cuts the data into Packlen pieces; each is sent and its reply read.
    void sendOperation(const FrameRecord& frame);
    // One command frame and its reply (status commands, "i", init lines).
    // False when the reply did not come.
    bool sendCommandAndReceive(std::string_view command);
    // Runs the jobs of the channel (start of every channel poll).
    void tick();
    // Offers the record of a "G" reply to the link state and the jobs.
    void dispatch();
    // The window caption; the review countdown is shown after it.
    const std::string& caption() const { return caption_; }

    int number() const { return number_; }
    int slot() const { return slot_; }
    int tncNumber() const;
    CTnc& tnc() const { return tnc_; }
    CLinkState& linkState() { return linkState_; }
    const CLinkState& linkState() const { return linkState_; }
    const ReceiveRecord& received() const { return rx_; }
    void clearReceived() { rx_.length = 0; }

    int packlen() const { return packlen_; }
    int maxReviewTime() const { return maxReviewTime_; }
    bool pollingEnabled() const { return pollingEnabled_; }
    // The operator reviews old text: polling pauses until the deadline.
    void holdForReview(std::int64_t nowSeconds);
    void resumePolling() { pollingEnabled_ = true; }

    int gCountdown() const { return gCountdown_; }
    int lCountdown() const { return lCountdown_; }
    int bCountdown() const { return bCountdown_; }

private:
    bool mayBePolled();
    bool pollB();
    bool pollL();
    void pollG(PollMode mode);
    void sendCommand(std::string_view command);
    void readSettings();
    int readClamped(const char* key, int def, int lo, int hi);

    CTnc& tnc_;
    int number_;
    int slot_;
    CLinkState linkState_;
    ReceiveRecord rx_;
    int gCountdown_ = 1;
    int lCountdown_ = 1;
    int bCountdown_ = 1;
    bool lOutstanding_ = false;
    bool bOutstanding_ = false;
    bool pollingEnabled_ = true;
    std::int64_t reviewDeadline_ = 0;
    int maxReviewTime_ = 60;
    int packlen_ = 64;
    std::string caption_;
    std::string shownTitle_;
};

}  // namespace norva
