// CYappReceiveJob: receives files by YAPP. It answers the sender's SI,
// takes the header, refuses what it cannot store safely, asks for
// checksums whenever the sender offers them, resumes a reception that Norva
// kept as a partial file, and stores each file under its final name only
// when it is whole. While a file comes in it lives beside its final name
// with kYappPartSuffix; a cut transfer leaves that part for a later resume.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "transfer/FileArea.h"
#include "transfer/YappJob.h"

namespace norva {

inline constexpr std::string_view kYappPartSuffix = ".part";

enum class YappReceiveState {
    WaitInit = 1,    // waiting for the sender's SI
    WaitHeader = 2,  // RR sent, waiting for HD (or ET)
    Data = 3,        // receiving data packets until EF
    CancelWait = 4,  // CN sent, waiting for CA
    Done = 5,
};

class CYappReceiveJob : public CYappJob {
public:
    // Into a chosen file (it must not exist; its part may, for a resume).
    static std::unique_ptr<CYappReceiveJob> intoFile(CTncChannel& channel, const std::filesystem::path& path,
                                                     bool promptAfter, DiskLimits limits = {});
    // Into a directory under the plain name the header carries; an empty
    // directory refuses every header.
    static std::unique_ptr<CYappReceiveJob> intoDirectory(CTncChannel& channel, const std::filesystem::path& dir,
                                                          bool promptAfter, DiskLimits limits = {});
    ~CYappReceiveJob() override;

    int tick() override;
    int receive(const ReceiveRecord& record) override;

    YappReceiveState state() const { return state_; }
    // Files stored whole in this transfer.
    int filesStored() const { return filesStored_; }
    bool checksumMode() const { return reader_.checksum(); }
    // Where the current or last file's data began.
    std::int64_t resumedAt() const { return resumedAt_; }
    // The current or last file: its part while it comes in, then its final name.
    const std::filesystem::path& currentFile() const { return path_; }

private:
    CYappReceiveJob(CTncChannel& channel, std::filesystem::path path, bool promptAfter, DiskLimits limits);
    void setState(YappReceiveState next);
    void abort(std::string_view reason);
    void refuse(std::string_view reason);
    bool onPacket(const YappPacket& packet, std::string& peerText);
    void onInitPacket(const YappPacket& packet, std::string& peerText);
    void onHeaderPacket(const YappPacket& packet);
    void onDataPacket(const YappPacket& packet);
    void acceptHeader(const YappHeader& header);
    // The final path for the header's name, or the reason of the refusal.
    std::optional<std::filesystem::path> finalPath(const YappHeader& header, std::string& why);
    bool openPart(const std::filesystem::path& part, const YappHeader& header, std::string& why);
    void finishFile();

    YappReceiveState state_ = YappReceiveState::WaitInit;
    std::optional<std::filesystem::path> autoDir_;
    std::filesystem::path chosen_;  // the chosen file, when not into a directory
    std::filesystem::path final_;   // where the current file goes when whole
    DiskLimits limits_;
    UniqueFd file_;
    std::optional<std::uint32_t> stamp_;
    std::int64_t resumedAt_ = 0;
    int filesStored_ = 0;
    bool inFile_ = false;  // a file's data is being written
};

}  // namespace norva
