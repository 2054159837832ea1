// The text jobs: CTextSendJob sends a text file in 1024-byte blocks and may
// close with the stamp line and the end marker; CClipSendJob sends a text
// held in memory (clipboard, long remote answers) in 240-byte pieces;
// CTextCaptureJob writes received (and typed) text into a file.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "transfer/FileArea.h"
#include "platform/Clock.h"
#include "transfer/TransferJob.h"

namespace norva {

inline constexpr std::string_view kNoticeCanceledByRemote = "\rText File Transfer canceled by Remote.\r";
inline constexpr std::string_view kNoticeCannotWrite = "\r\nCannot write data.\r\nTextfile closed.\r\n";
inline constexpr std::string_view kNoticeDiskFloor = "\r\nZu wenig freier Speicherplatz.";

class CTextSendJob : public CTransferJob {
public:
    // Null when the file cannot be read.
    static std::unique_ptr<CTextSendJob> create(CTncChannel& channel, const std::filesystem::path& path,
                                                bool stampAndEnd, bool promptAfter, std::string promptCall = {});
    ~CTextSendJob() override;

    int tick() override;
    int receive(const ReceiveRecord& record) override;

private:
    CTextSendJob(CTncChannel& channel, const std::filesystem::path& path, std::int64_t length, bool stampAndEnd,
                 bool promptAfter);
    void sendStampAndEnd();

    UniqueFd file_;
    bool stampAndEnd_ = false;
};

// The stamp line: "DD.MM.YYYY HH:MM NORVA426 S: CALL\r\n" (hour blank-padded).
std::string stampLine(const LocalTime& t, std::string_view ownCall);

class CClipSendJob : public CTransferJob {
public:
    CClipSendJob(CTncChannel& channel, std::string name, std::string oemText, bool promptAfter);
    ~CClipSendJob() override;

    int tick() override;

    static constexpr std::size_t kPiece = 240;

private:
    std::string text_;
    std::size_t sent_ = 0;
};

class CTextCaptureJob : public CTransferJob {
public:
    // create: the file starts empty (an existing one is truncated); else
    // text is appended (a missing file is created). A file that cannot be
    // made cancels the job at once.
    CTextCaptureJob(CTncChannel& channel, const std::filesystem::path& path, bool promptAfter, bool create,
                    DiskLimits limits = {});
    ~CTextCaptureJob() override;

    int tick() override;
    int receive(const ReceiveRecord& record) override;
    // Text for the file (CR gets its LF as received text does).
    void write(std::string_view text);

    static constexpr std::size_t kBufferSize = 4096;

private:
    bool flush();
    void fail(std::string_view why);

    DiskLimits limits_;
    std::string buffer_;
    std::int64_t bufferedSince_ = 0;  // wall seconds: when the buffer last filled from empty
};

}  // namespace norva
