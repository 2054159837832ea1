// CBinReceiveJob: receives one file by the #BIN# protocol. It waits for the
// header (which may come split over several frames), refuses what it cannot
// take safely, writes the bytes as they arrive, and compares its CRC with the
// sender's report.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "transfer/FileArea.h"
#include "transfer/TransferJob.h"

namespace norva {

enum class BinReceiveState {
    WaitHeader = 6,  // waiting for the header
    Data = 8,        // receiving data
    Aborted = 10,    // aborted by the sender (or the file could not be written)
    Complete = 11,   // complete, report sent; waits briefly for the sender's report
    Refused = 12,    // header refused with "#NO#"
};

class CBinReceiveJob : public CTransferJob {
public:
    // Into a chosen file, created empty now (an existing one is truncated:
    // the operator was asked, a remote command checked it does not exist).
    // Null when it cannot be created.
    static std::unique_ptr<CBinReceiveJob> intoFile(CTncChannel& channel, const std::filesystem::path& path,
                                                    bool promptAfter, DiskLimits limits = {});
    // Into a directory under the name the header carries; never overwrites:
    // a taken name gets ".1", ".2", ... The file is made when the header is whole.
    // A header without a name ("#BIN#20480") takes announcedName (F6FBB's
    // "Ready to send NAME ..." line) when it is usable, else a generated one.
    static std::unique_ptr<CBinReceiveJob> intoDirectory(CTncChannel& channel, const std::filesystem::path& dir,
                                                         bool promptAfter, DiskLimits limits = {},
                                                         std::string announcedName = {});
    ~CBinReceiveJob() override;

    int tick() override;
    int receive(const ReceiveRecord& record) override;
    bool finishing() const override { return state_ == BinReceiveState::Complete; }
    std::string takeLeftover() override { return std::exchange(leftover_, {}); }
    bool takeFinalRecord(const ReceiveRecord& record) override;

    BinReceiveState state() const { return state_; }
    // The CRC the sender reported, once its report arrived.
    std::optional<std::uint16_t> senderCrc() const { return senderCrc_; }

    // How long a complete reception waits for the sender's report; it
    // holds nothing meanwhile and ends with the next record.
    static constexpr int kReportWaitSeconds = 10;
    // A header line longer than this is taken as it is.
    static constexpr std::size_t kMaxHeaderLine = 256;

private:
    CBinReceiveJob(CTncChannel& channel, std::filesystem::path path, bool promptAfter, DiskLimits limits);
    void setState(BinReceiveState next);
    void onHeaderText(std::string_view text);
    bool acceptHeader(std::string_view line);
    void refuse(std::string_view why);
    // Writes what the announced length still takes; returns the bytes beyond it.
    std::string_view writeData(std::string_view text);
    void complete(std::string_view rest);
    std::optional<std::string> storedName(std::string_view line);

    BinReceiveState state_ = BinReceiveState::WaitHeader;
    std::optional<std::filesystem::path> autoDir_;
    DiskLimits limits_;
    UniqueFd file_;
    std::string header_;   // header text gathered until its CR
    std::string announcedName_;
    std::string leftover_;  // text after the last byte, passed on by the channel
    std::optional<std::uint16_t> senderCrc_;
    std::optional<std::uint16_t> headerCrc_;
    std::int64_t completedAt_ = 0;
};

}  // namespace norva
