// CTextSendJob, CClipSendJob and CTextCaptureJob.
#include "transfer/TextJobs.h"

#include <array>
#include <cstdio>

#include "channel/TncChannel.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "transfer/TransferLog.h"

namespace norva {

namespace {
constexpr std::size_t kBlock = 1024;
}

// ---- text file ----

std::unique_ptr<CTextSendJob> CTextSendJob::create(CTncChannel& channel, const std::filesystem::path& path,
                                                   bool stampAndEnd, bool promptAfter, std::string promptCall) {
    const auto length = fileSize(path);
    if (!length) return nullptr;
    auto job = std::unique_ptr<CTextSendJob>(new CTextSendJob(channel, path, *length, stampAndEnd, promptAfter));
    job->setPromptCall(std::move(promptCall));
    return job;
}

CTextSendJob::CTextSendJob(CTncChannel& channel, const std::filesystem::path& path, std::int64_t length,
                           bool stampAndEnd, bool promptAfter)
    : CTransferJob(channel, path, padRight(path.filename().string(), 12), "text", promptAfter),
      stampAndEnd_(stampAndEnd) {
    fileLength_ = remaining_ = length;
    playSound(kSoundSendStart);
}

CTextSendJob::~CTextSendJob() {
    file_.reset();
    if (promptAfter_) sendPrompt();
    playSound(kSoundSendStop);
}

int CTextSendJob::tick() {
    if (cancelled_) return 0;
    if (!file_) {
        file_ = openRegularFile(path_);
        if (!file_) return 0;
        startTime_ = now();
        status_ = std::string(kStatusTransmit);
    }
    if (!channel().linkState().maySend()) return 1;
    std::array<char, kBlock> block{};
    const long got = readSome(file_.get(), block.data(), kBlock);
    if (got < 0) return 0;
    remaining_ = std::max<std::int64_t>(0, remaining_ - got);
    done_ = fileLength_ - remaining_;
    updateFigures();
    sendData(std::string_view(block.data(), static_cast<std::size_t>(got)));
    if (static_cast<std::size_t>(got) == kBlock) return 1;
    file_.reset();
    writeFilesLog(kArrowSent, {});
    sendStampAndEnd();
    return 0;
}

std::string stampLine(const LocalTime& t, std::string_view ownCall) {
    char line[128];
    std::snprintf(line, sizeof line, "%02d.%02d.%04d %2d:%02d %s S: ", t.day, t.month, t.year, t.hour, t.minute,
                  "NORVA426");
    return std::string(line) + std::string(ownCall) + "\r\n";
}

void CTextSendJob::sendStampAndEnd() {
    if (!stampAndEnd_) return;
    const ChannelSettings& settings = channel().settings();
    if (settings.fileStamp) reply(stampLine(clock().localTime(), channel().linkState().myCall()));
    if (settings.addFileEnd) reply(profile().getString("DieBox", "MessageEnd", "***end"));
}

int CTextSendJob::receive(const ReceiveRecord& record) {
    if (record.kind != kKindConnected) return 1;
    const std::string_view text = record.text();
    if (text == "\r" || text == "\r\n") {
        notice(kNoticeCanceledByRemote);
        cancel();
    }
    return 1;
}

// ---- memory text ----

CClipSendJob::CClipSendJob(CTncChannel& channel, std::string name, std::string oemText, bool promptAfter)
    : CTransferJob(channel, {}, std::move(name), "text", promptAfter), text_(std::move(oemText)) {
    fileLength_ = remaining_ = static_cast<std::int64_t>(text_.size());
    startTime_ = now();
    status_ = std::string(kStatusTransmit);
}

CClipSendJob::~CClipSendJob() {
    if (promptAfter_) sendPrompt();
}

int CClipSendJob::tick() {
    if (cancelled_) return 0;
    if (!channel().linkState().maySend()) return 1;
    if (sent_ >= text_.size()) return 0;
    const std::string_view piece = std::string_view(text_).substr(sent_, kPiece);
    sent_ += piece.size();
    remaining_ = static_cast<std::int64_t>(text_.size() - sent_);
    done_ = fileLength_ - remaining_;
    updateFigures();
    reply(piece);
    return 1;
}

// ---- capture ----

CTextCaptureJob::CTextCaptureJob(CTncChannel& channel, const std::filesystem::path& path, bool promptAfter,
                                 bool create, DiskLimits limits)
    : CTransferJob(channel, path, path.filename().string(), "text", promptAfter), limits_(std::move(limits)) {
    status_ = std::string(kStatusReceive);
    startTime_ = now();
    if (!openForWriting(path_, create ? CreateMode::Truncate : CreateMode::Append)) cancel();
}

CTextCaptureJob::~CTextCaptureJob() {
    if (!cancelled_) flush();
    if (promptAfter_) sendPrompt();
}

void CTextCaptureJob::write(std::string_view text) {
    if (cancelled_) return;
    if (buffer_.empty() && !text.empty()) bufferedSince_ = now();
    for (std::size_t i = 0; i < text.size(); ++i) {
        buffer_ += text[i];
        // Every CR not followed by LF gets one, a CR at the end too.
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) buffer_ += '\n';
        if (buffer_.size() >= kBufferSize && !flush()) return;
    }
}

int CTextCaptureJob::receive(const ReceiveRecord& record) {
    if (waitForTick_) return 1;
    write(record.text());
    return cancelled_ ? 0 : 1;
}

int CTextCaptureJob::tick() {
    waitForTick_ = false;
    // Text waits in the buffer at most a second or two: a station that goes
    // down keeps what it had received.
    if (!buffer_.empty() && now() - bufferedSince_ >= 1) flush();
    return cancelled_ ? 0 : 1;
}

bool CTextCaptureJob::flush() {
    if (buffer_.empty()) return true;
    const std::filesystem::path dir = path_.has_parent_path() ? path_.parent_path() : std::filesystem::path(".");
    if (!limits_.allows(dir, buffer_.size())) {
        fail(kNoticeDiskFloor);
        return false;
    }
    UniqueFd fd = openForWriting(path_, CreateMode::Append);
    if (!fd || !writeAll(fd.get(), buffer_)) {
        fail({});
        return false;
    }
    done_ += static_cast<std::int64_t>(buffer_.size());
    buffer_.clear();
    return true;
}

void CTextCaptureJob::fail(std::string_view why) {
    const std::string text = std::string(why) + std::string(kNoticeCannotWrite);
    notice(text);
    if (promptAfter_) sendData(text);
    buffer_.clear();
    cancel();
}

}  // namespace norva
