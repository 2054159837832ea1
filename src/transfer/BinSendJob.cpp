// CBinSendJob: the sender's side of #BIN#, one state per step.
#include "transfer/BinSendJob.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "transfer/BinProtocol.h"
#include "transfer/TransferLog.h"

namespace norva {

namespace {
constexpr std::size_t kBlock = 1024;
}

std::unique_ptr<CBinSendJob> CBinSendJob::create(CTncChannel& channel, const std::filesystem::path& path,
                                                 bool promptAfter) {
    const auto length = fileSize(path);
    if (!length || *length > kBinMaxLength) return nullptr;
    return std::unique_ptr<CBinSendJob>(new CBinSendJob(channel, path, *length, promptAfter));
}

CBinSendJob::CBinSendJob(CTncChannel& channel, const std::filesystem::path& path, std::int64_t length,
                         bool promptAfter)
    : CTransferJob(channel, path, path.filename().string(), "bin", promptAfter),
      airName_(toUpper(utf8ToOem(path.filename().string()))) {
    fileLength_ = remaining_ = length;
    playSound(kSoundSendStart);
}

CBinSendJob::~CBinSendJob() {
    file_.reset();
    if (remaining_ > 0 && status_ == kStatusTransmit) {
        channel().sendLine(kBinAbortLine);
        notice(kNoticeAborted);
        writeFilesLog(kArrowSent, kOutcomeAborted);
    }
    if (promptAfter_) sendPrompt();
    playSound(kSoundSendStop);
}

void CBinSendJob::setState(BinSendState next) {
    traceState(static_cast<int>(state_), static_cast<int>(next));
    state_ = next;
}

int CBinSendJob::tick() {
    if (cancelled_ || state_ == BinSendState::Stopped) return 0;
    if (!channel().linkState().maySend()) return 1;
    updateFigures();
    switch (state_) {
        case BinSendState::Start: return stepStart();
        case BinSendState::WaitOk: return 1;
        case BinSendState::Data: return stepData();
        case BinSendState::End: return stepEnd();
        case BinSendState::Stopped: return 0;
    }
    return 0;
}

bool CBinSendJob::peerIsMailbox() const {
    const HostContext& ctx = channel().tnc().context();
    const std::string& call = channel().linkState().destCall();
    if (call.empty()) return false;
    const auto file = findIgnoringCase(frameDirectory(ctx.profile, "StationDir", ctx.programDir), call + ".stn");
    if (!file) return false;
    const Profile station(*file);
    const std::string type = cut(station.getString("Station", "StationType", "undefined"), 10);
    return toUpper(type).find("MAILBOX") != std::string::npos;
}

// The header carries the CRC of what will be sent: the file is read once
// before, in blocks, never beyond the length announced.
std::optional<std::uint16_t> CBinSendJob::fileCrc() const {
    std::array<char, 64 * kBlock> block{};
    std::uint16_t crc = 0;
    std::int64_t left = fileLength_;
    while (left > 0) {
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        const long got = readSome(file_.get(), block.data(), want);
        if (got <= 0) return std::nullopt;
        crc = binCrc(crc, std::string_view(block.data(), static_cast<std::size_t>(got)));
        left -= got;
    }
    if (::lseek(file_.get(), 0, SEEK_SET) != 0) return std::nullopt;
    return crc;
}

int CBinSendJob::stepStart() {
    file_ = openRegularFile(path_);
    if (!file_) return 0;
    const auto crc = fileCrc();
    struct stat st {};
    if (!crc || ::fstat(file_.get(), &st) != 0) return 0;
    startTime_ = now();
    status_ = std::string(kStatusTransmit);
    notice(kNoticeBinSendStart);
    const std::string header = binHeaderLine(fileLength_, *crc, dosTimestamp(st.st_mtime), airName_, peerIsMailbox());
    // A mailbox gets its blank line before the header in any case.
    if (header.front() == '\r')
        sendData(header);
    else
        channel().sendLine(header);
    setState(BinSendState::WaitOk);
    return 1;
}

int CBinSendJob::stepData() {
    std::array<char, kBlock> block{};
    // Never more than announced, even when the file grew meanwhile.
    const auto want = static_cast<std::size_t>(std::min<std::int64_t>(kBlock, remaining_));
    const long got = readSome(file_.get(), block.data(), want);
    if (got < 0) {
        setState(BinSendState::Stopped);
        return 1;
    }
    const std::string_view bytes(block.data(), static_cast<std::size_t>(got));
    remaining_ -= got;
    done_ = fileLength_ - remaining_;
    crc_ = binCrc(crc_, bytes);
    sendData(bytes);
    notice(".");
    if (static_cast<std::size_t>(got) < kBlock) {
        file_.reset();
        // A file that shrank cannot deliver what was announced: abort, never report it complete.
        if (state_ == BinSendState::Data) setState(remaining_ == 0 ? BinSendState::End : BinSendState::Stopped);
    }
    return 1;
}

int CBinSendJob::stepEnd() {
    writeFilesLog(kArrowSent, {});
    const std::string report = binTxReport(crc_);
    channel().sendLine(report);
    notice(kNoticeBinSendEnd);
    notice(report);
    return 0;
}

int CBinSendJob::receive(const ReceiveRecord& record) {
    if (record.kind != kKindConnected) return 1;
    const std::string_view text = record.text();
    const bool stop = text.find(kBinNo) != std::string_view::npos ||
                      text.find(kBinAbortTag) != std::string_view::npos;
    switch (state_) {
        case BinSendState::Start:
            // Nothing was announced yet: a go-ahead here is somebody else's.
            if (stop) setState(BinSendState::Stopped);
            break;
        case BinSendState::WaitOk:
            if (text.find(kBinOk) != std::string_view::npos)
                setState(BinSendState::Data);
            else if (stop)
                setState(BinSendState::Stopped);
            break;
        case BinSendState::Data:
            if (stop) setState(BinSendState::Stopped);
            break;
        case BinSendState::End:
        case BinSendState::Stopped:
            break;
    }
    return 1;
}

}  // namespace norva
