// CSevenPlusJob: collects a 7Plus part arriving as text on a channel (from
// its " go_7+." line to the CR LF after its " stop_7+." line) and writes it
// into 7PlusRxDir; when that completes its set, the set is decoded into
// 7PlusExtractDir (or its error report written there). Names come from the
// air, so they are cut to plain names and never overwrite a file; a part
// that never ends is closed as incomplete so memory stays bounded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "transfer/TransferJob.h"

namespace norva {

inline constexpr std::string_view kNoticeSevenPlusStart = "7Plus Dateiempfang gestarted";
inline constexpr std::string_view kSoundSevenPlusStart = "Dateiempfang starten (binaer)";
inline constexpr std::string_view kSoundSevenPlusEnd = "Dateiempfang stoppen (binaer)";

class CSevenPlusJob final : public CTransferJob {
public:
    enum class State { WaitingForStart = 6, Collecting = 8, Complete = 11, Incomplete = 12 };

    // More than any 7Plus part holds (512 lines of 71 bytes and its frame).
    static constexpr std::size_t kMaxPart = 48 * 1024;
    // A part with no new text for this long is given up.
    static constexpr std::int64_t kQuietLimitMs = 10 * 60 * 1000;

    // Puts a capture into the channel's file receive slot when the received
    // text holds " go_7+." and neither a send nor a file receive runs. The
    // record itself then reaches the job through the channel's dispatch.
    static bool startCapture(CTncChannel& channel, std::string_view receivedText);

    CSevenPlusJob(CTncChannel& channel, std::filesystem::path path);
    ~CSevenPlusJob() override;

    int tick() override;
    int receive(const ReceiveRecord& record) override;

    State state() const { return state_; }
    const std::filesystem::path& savedPath() const { return saved_; }

private:
    void setState(State next);
    // The text from a " go_7+." line on: a part begins.
    void beginPart(std::string text);
    void collect(std::string_view converted);
    void save(std::string_view name, std::string_view suffix);
    // The saved part was the last one its set lacked: decode it.
    void decodeSet();
    void updateCounts();

    State state_ = State::WaitingForStart;
    std::string collected_;
    std::int64_t estimate_ = 10000;
    std::int64_t lastDataMs_ = 0;
    std::filesystem::path saved_;
    bool lfAdded_ = false;  // the last record ended in CR and got its LF here
};

// Fields of a 7Plus line: runs of blanks separate, CR and LF end a field.
// Field 1 is the first word of text.
std::string sevenPlusField(std::string_view text, int n);
// The part's file name from its stop line: the second field without its
// first character, up to the first "/" or ")".
std::string sevenPlusStopName(std::string_view stopLine);

}  // namespace norva
