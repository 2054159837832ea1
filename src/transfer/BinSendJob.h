// CBinSendJob: sends one file by the #BIN# protocol. It announces name and
// length, waits for the go-ahead, sends the bytes in 1024-byte blocks while
// the link can take them, and closes with its CRC report.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "transfer/FileArea.h"
#include "transfer/TransferJob.h"

namespace norva {

enum class BinSendState {
    Start = 1,   // created, file not yet announced
    WaitOk = 2,  // header sent, waiting for the go-ahead
    Data = 3,    // sending blocks
    End = 4,     // all data sent, report due
    Stopped = 5, // refused or aborted
};

class CBinSendJob : public CTransferJob {
public:
    // Null when the file cannot be read or is too long for the protocol.
    static std::unique_ptr<CBinSendJob> create(CTncChannel& channel, const std::filesystem::path& path,
                                               bool promptAfter);
    ~CBinSendJob() override;

    int tick() override;
    int receive(const ReceiveRecord& record) override;

    BinSendState state() const { return state_; }
    // The name as the header carries it: upper case, on-air characters.
    const std::string& airName() const { return airName_; }

private:
    CBinSendJob(CTncChannel& channel, const std::filesystem::path& path, std::int64_t length, bool promptAfter);
    void setState(BinSendState next);
    int stepStart();
    int stepData();
    int stepEnd();
    bool peerIsMailbox() const;
    std::optional<std::uint16_t> fileCrc() const;

    BinSendState state_ = BinSendState::Start;
    UniqueFd file_;
    std::string airName_;
};

}  // namespace norva
