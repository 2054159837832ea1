// CYappJob: what the YAPP send and receive jobs share: the packet reader
// over the received bytes, the wait timer, the cancel packets both ways and
// the notices. The state machines themselves live in the two jobs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "transfer/TransferJob.h"
#include "transfer/YappProtocol.h"

namespace norva {

inline constexpr std::string_view kYappType = "yapp";

// Local notices of the YAPP jobs.
inline constexpr std::string_view kNoticeYappSendStart = "\rYAPP-Sendung gestartet.\r";
inline constexpr std::string_view kNoticeYappSendEnd = "\rYAPP-Sendung beendet.\r";
inline constexpr std::string_view kNoticeYappReceiveStart = "\rYAPP-Empfang gestartet.\r";
inline constexpr std::string_view kNoticeYappReceiveEnd = "\rYAPP-Empfang beendet.\r";

// Reasons Norva puts into its cancel and refusal packets (the field's own words).
inline constexpr std::string_view kYappByUser = "Cancelled by user";
inline constexpr std::string_view kYappTimeout = "Timeout";
inline constexpr std::string_view kYappRetries = "Retry count excessive";
inline constexpr std::string_view kYappUnknownCode = "Unknown code";
inline constexpr std::string_view kYappBadChecksum = "Bad checksum";

// How long the jobs wait. Every packet that arrives restarts the wait.
struct YappTimers {
    int initIntervalMs = 20'000;  // between two SI of the sender
    int initResends = 6;          // SI sent again this often before giving up
    int waitMs = 120'000;         // any other wait for the other side
};

class CYappJob : public CTransferJob {
public:
    // The channel hands every received byte to the job while it runs.
    bool takesReceivedBytes() const override { return true; }
    void setTimers(const YappTimers& timers) { timers_ = timers; }
    // True once the job sent or answered a cancel.
    bool aborted() const { return aborted_; }
    // The reason of the last cancel, ours or the other side's.
    const std::string& abortReason() const { return abortReason_; }

protected:
    CYappJob(CTncChannel& channel, std::filesystem::path path, std::string displayName, bool promptAfter);

    std::int64_t nowMs() const;
    void arm(int ms) { deadline_ = nowMs() + ms; }
    bool expired() const { return deadline_ != 0 && nowMs() >= deadline_; }
    void disarm() { deadline_ = 0; }
    bool armed() const { return deadline_ != 0; }

    // Feeds connected bytes to the reader and calls onPacket for every
    // packet until the job stops listening; link texts are never data.
    template <class F>
    void readPackets(const ReceiveRecord& record, F onPacket) {
        if (record.kind != kKindConnected || waitForTick_) return;
        reader_.feed(record.text());
        while (auto packet = reader_.next())
            if (!onPacket(*packet)) break;
    }
    // Our cancel: CN with the reason, and the notice.
    void sendCancel(std::string_view reason);
    // The other side's cancel: CA, and its reason shown.
    void answerCancel(const YappPacket& cancel);
    // The other side's refusal (NR).
    void noticeRefusal(const YappPacket& refusal);
    // Text the other side sent before the transfer or as a TX packet.
    void showPeerText(std::string_view text);
    // The link still stands, so packets can go out.
    bool linkUp() const;

    YappReader reader_;
    YappTimers timers_;
    bool aborted_ = false;
    std::string abortReason_;

private:
    std::int64_t deadline_ = 0;
};

}  // namespace norva
