// CTransferJob: what every transfer job has in common: the file and its
// display name, the figures the transfer status shows (length, remaining,
// rate, minutes left), the CRC, the cancelled and prompt-after flags, and
// the ways a job talks through its channel (data, replies, local notices,
// the remote prompt, sound events).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "channel/RemotePrompt.h"
#include "channel/ChannelJob.h"

namespace norva {

class CTncChannel;
class Clock;
class Profile;

// Status texts of the transfer status window.
inline constexpr std::string_view kStatusWaiting = "waiting ";
inline constexpr std::string_view kStatusTransmit = "transmit";
inline constexpr std::string_view kStatusReceive = "receive ";

// Local notices of the #BIN# jobs.
inline constexpr std::string_view kNoticeBinSendStart = "\rBinaerdateisendung gestartet.\r";
inline constexpr std::string_view kNoticeBinSendEnd = "\rBinaerdateisendung beendet.\r";
inline constexpr std::string_view kNoticeBinReceiveStart = "\rBinaerdateiempfang gestartet.\r";
inline constexpr std::string_view kNoticeBinReceiveEnd = "\rBinaerdateiempfang beendet.\r";
inline constexpr std::string_view kNoticeAborted = "\rUebertragung abgebrochen !\r";

// Sound events.
inline constexpr std::string_view kSoundSendStart = "Dateisendung starten";
inline constexpr std::string_view kSoundSendStop = "Dateisendung stoppen";
inline constexpr std::string_view kSoundBinReceiveStart = "Dateiempfang starten (binaer)";
inline constexpr std::string_view kSoundBinReceiveStop = "Dateiempfang stoppen (binaer)";

class CTransferJob : public CChannelJob {
public:
    CTransferJob(CTncChannel& channel, std::filesystem::path path, std::string displayName,
                 std::string_view type, bool promptAfter);

    std::string captionName() const override { return displayName_; }

    const std::filesystem::path& path() const { return path_; }
    const std::string& displayName() const { return displayName_; }
    const std::string& status() const { return status_; }
    std::string_view type() const { return type_; }
    std::int64_t fileLength() const { return fileLength_; }
    std::int64_t remaining() const { return remaining_; }
    std::int64_t done() const { return done_; }
    std::int64_t rate() const { return rate_; }
    std::int64_t minutesLeft() const { return minutesLeft_; }
    std::uint16_t crc() const { return crc_; }
    bool cancelled() const { return cancelled_; }
    bool promptAfter() const { return promptAfter_; }
    // Stops the job at its next step (the station's empty line, the operator).
    void cancel() { cancelled_ = true; }
    // The callsign the remote prompt names instead of the channel's own.
    void setPromptCall(std::string call) { promptCall_ = std::move(call); }
    // A job a remote command starts is offered the record that held the
    // command in the same dispatch; it takes records only from its first
    // tick on, so the command never becomes file content.
    void takeRecordsAfterFirstTick() { waitForTick_ = true; }
    // Called with (from, to) on every state change of a job that has states.
    void setStateTrace(std::function<void(int, int)> trace) { trace_ = std::move(trace); }

protected:
    CTncChannel& channel() const { return channel_; }
    Clock& clock() const;
    Profile& profile() const;
    const std::filesystem::path& programDir() const;
    std::int64_t now() const;

    // Elapsed time, bytes per minute and minutes left from done and remaining.
    void updateFigures();
    // Data bytes on the air (cut into Packlen pieces by the channel).
    void sendData(std::string_view bytes);
    // Sent and echoed in the channel's own colour for sent text.
    void reply(std::string_view text);
    // Shown in the channel's output only.
    void notice(std::string_view text);
    void sendPrompt();
    void playSound(std::string_view event);
    // One line of files.log for this job.
    void writeFilesLog(std::string_view arrow, std::string_view outcome);
    void traceState(int from, int to) const {
        if (trace_) trace_(from, to);
    }

    std::filesystem::path path_;
    std::string displayName_;
    std::string status_{kStatusWaiting};
    std::string_view type_;
    std::int64_t fileLength_ = 0;
    std::int64_t remaining_ = 0;
    std::int64_t done_ = 0;
    std::int64_t rate_ = 0;
    std::int64_t minutesLeft_ = 0;
    std::int64_t startTime_ = 0;
    std::uint16_t crc_ = 0;
    bool cancelled_ = false;
    bool promptAfter_ = false;
    bool waitForTick_ = false;
    std::string promptCall_;
    // The station at the other end, kept for files.log: a disconnect clears
    // the channel's destination before the job goes.
    std::string peerCall_;

private:
    CTncChannel& channel_;
    std::function<void(int, int)> trace_;
};


}  // namespace norva
