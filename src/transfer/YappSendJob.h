// CYappSendJob: sends one file by YAPP. It offers the file (SI), announces
// name, size and date (HD, the date being the offer of checksums), streams
// the data packets while the link can take them (from the offset the
// receiver asks for when it resumes), and closes with EF and ET.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "transfer/FileArea.h"
#include "transfer/YappJob.h"

namespace norva {

enum class YappSendState {
    Start = 1,       // created, nothing sent yet
    Init = 2,        // SI sent, waiting for RR (or RF)
    Header = 3,      // HD sent, waiting for RF, RT or a resume
    Data = 4,        // sending data packets
    Eof = 5,         // EF sent, waiting for AF
    Eot = 6,         // ET sent, waiting for AT
    CancelWait = 7,  // CN sent, waiting for CA
    Done = 8,
};

class CYappSendJob : public CYappJob {
public:
    // Null when the file cannot be read or is longer than kYappMaxLength.
    static std::unique_ptr<CYappSendJob> create(CTncChannel& channel, const std::filesystem::path& path,
                                                bool promptAfter);
    ~CYappSendJob() override;

    int tick() override;
    int receive(const ReceiveRecord& record) override;

    YappSendState state() const { return state_; }
    // The receiver took the whole file (AF arrived).
    bool delivered() const { return delivered_; }
    // Data packets carry checksums in this transfer.
    bool checksumMode() const { return checksum_; }
    // Where the data began (0, or the receiver's resume offset).
    std::int64_t startOffset() const { return startOffset_; }

private:
    CYappSendJob(CTncChannel& channel, const std::filesystem::path& path, std::int64_t length, bool promptAfter);
    void setState(YappSendState next);
    bool active() const;
    void abort(std::string_view reason);
    int stepStart();
    void stepInit();
    void stepData();
    bool startData(bool checksum, std::int64_t offset);
    // Returns false when the job stops listening.
    bool onPacket(const YappPacket& packet, std::string& peerText);
    void onInitPacket(const YappPacket& packet, std::string& peerText);
    void onHeaderPacket(const YappPacket& packet);
    std::size_t dataPerPacket() const;

    YappSendState state_ = YappSendState::Start;
    UniqueFd file_;
    std::optional<std::uint32_t> stamp_;
    int resends_ = 0;
    bool checksum_ = false;
    bool delivered_ = false;
    std::int64_t startOffset_ = 0;
};

}  // namespace norva
