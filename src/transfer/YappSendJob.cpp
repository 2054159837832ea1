// CYappSendJob: the sender's side of YAPP, one state per step.
#include "transfer/YappSendJob.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>

#include "channel/TncChannel.h"
#include "platform/Cp437.h"
#include "transfer/TransferLog.h"

namespace norva {

namespace {
// What one tick hands to the channel at most, as the #BIN# sender does.
constexpr std::size_t kBytesPerTick = 1024;

std::optional<std::uint32_t> fileStamp(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::nullopt;
    std::tm local{};
    const std::time_t when = st.st_mtime;
    if (!::localtime_r(&when, &local)) return std::nullopt;
    return dosDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                       local.tm_sec);
}
}  // namespace

std::unique_ptr<CYappSendJob> CYappSendJob::create(CTncChannel& channel, const std::filesystem::path& path,
                                                   bool promptAfter) {
    const auto length = fileSize(path);
    if (!length || *length > kYappMaxLength) return nullptr;
    return std::unique_ptr<CYappSendJob>(new CYappSendJob(channel, path, *length, promptAfter));
}

CYappSendJob::CYappSendJob(CTncChannel& channel, const std::filesystem::path& path, std::int64_t length,
                           bool promptAfter)
    : CYappJob(channel, path, path.filename().string(), promptAfter) {
    fileLength_ = remaining_ = length;
    playSound(kSoundSendStart);
}

CYappSendJob::~CYappSendJob() {
    file_.reset();
    // Taken out of its slot while the transfer runs (the operator, a reset):
    // the other side hears why, unless the link is gone.
    if (active() && !delivered_ && linkUp()) sendData(yappCancel(kYappByUser));
    if (delivered_) {
        notice(kNoticeYappSendEnd);
        writeFilesLog(kArrowSent, {});
    } else if (state_ != YappSendState::Start) {
        notice(kNoticeAborted);
        writeFilesLog(kArrowSent, kOutcomeAborted);
    }
    if (promptAfter_) sendPrompt();
    playSound(kSoundSendStop);
}

void CYappSendJob::setState(YappSendState next) {
    traceState(static_cast<int>(state_), static_cast<int>(next));
    state_ = next;
}

bool CYappSendJob::active() const {
    return state_ != YappSendState::Start && state_ != YappSendState::CancelWait && state_ != YappSendState::Done;
}

void CYappSendJob::abort(std::string_view reason) {
    sendCancel(reason);
    setState(YappSendState::CancelWait);
}

int CYappSendJob::tick() {
    waitForTick_ = false;
    if (state_ == YappSendState::Start && cancelled_) return 0;
    if (cancelled_ && active() && state_ != YappSendState::Eot) abort(kYappByUser);
    updateFigures();
    switch (state_) {
        case YappSendState::Start: return channel().linkState().maySend() ? stepStart() : 1;
        case YappSendState::Init: stepInit(); break;
        case YappSendState::Header:
        case YappSendState::Eof:
            if (expired()) abort(kYappTimeout);
            break;
        case YappSendState::Data:
            if (channel().linkState().maySend()) stepData();
            break;
        case YappSendState::Eot:
            // The file is complete anyway; a missing AT ends the job all the same.
            if (expired() || cancelled_) setState(YappSendState::Done);
            break;
        case YappSendState::CancelWait:
            if (expired()) setState(YappSendState::Done);
            break;
        case YappSendState::Done: break;
    }
    return state_ == YappSendState::Done ? 0 : 1;
}

int CYappSendJob::stepStart() {
    file_ = openRegularFile(path_);
    if (!file_) return 0;
    stamp_ = fileStamp(file_.get());
    startTime_ = now();
    status_ = std::string(kStatusTransmit);
    notice(kNoticeYappSendStart);
    sendData(kYappSendInit);
    setState(YappSendState::Init);
    arm(timers_.initIntervalMs);
    return 1;
}

void CYappSendJob::stepInit() {
    if (!expired()) return;
    if (resends_ >= timers_.initResends) {
        abort(kYappRetries);
        return;
    }
    ++resends_;
    sendData(kYappSendInit);
    arm(timers_.initIntervalMs);
}

std::size_t CYappSendJob::dataPerPacket() const {
    // One data packet with its checksum fits one frame.
    const int packlen = channel().settings().packlen;
    return static_cast<std::size_t>(std::clamp(packlen - 3, 1, static_cast<int>(kYappMaxData)));
}

void CYappSendJob::stepData() {
    const std::size_t per = dataPerPacket();
    std::string block;
    for (std::size_t sent = 0; sent < kBytesPerTick && remaining_ > 0; sent += per + 3) {
        char buffer[kYappMaxData];
        const auto want = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(per), remaining_));
        const long got = readSome(file_.get(), buffer, want);
        // A file that shrank cannot deliver what was announced.
        if (got <= 0) {
            abort("File read error");
            return;
        }
        // Each packet its own frame: a lost frame never takes two packets along.
        sendData(yappData(std::string_view(buffer, static_cast<std::size_t>(got)), checksum_));
        remaining_ -= got;
        done_ = fileLength_ - remaining_;
    }
    notice(".");
    if (remaining_ > 0) return;
    file_.reset();
    sendData(kYappEof);
    setState(YappSendState::Eof);
    arm(timers_.waitMs);
}

bool CYappSendJob::startData(bool checksum, std::int64_t offset) {
    if (offset > fileLength_ || ::lseek(file_.get(), static_cast<off_t>(offset), SEEK_SET) != offset) {
        abort("Invalid resume position");
        return false;
    }
    checksum_ = checksum;
    startOffset_ = offset;
    remaining_ = fileLength_ - offset;
    done_ = offset;
    std::string mode = checksum ? "YAPPC" : "YAPP";
    if (offset > 0) mode += ", fortgesetzt bei " + std::to_string(offset);
    notice("\rYAPP: " + utf8ToOem(displayName_) + ", " + std::to_string(fileLength_) + " Byte, " + mode + "\r");
    setState(YappSendState::Data);
    disarm();
    return true;
}

int CYappSendJob::receive(const ReceiveRecord& record) {
    std::string peerText;
    readPackets(record, [&](const YappPacket& p) { return onPacket(p, peerText); });
    if (!peerText.empty()) showPeerText(peerText);
    return 1;
}

bool CYappSendJob::onPacket(const YappPacket& packet, std::string& peerText) {
    if (state_ == YappSendState::Done || state_ == YappSendState::Start) {
        reader_.clear();
        return false;
    }
    if (state_ == YappSendState::CancelWait) {
        // Late data and acknowledgements are ignored until the cancel is answered.
        if (packet.type == YappType::CanAck) setState(YappSendState::Done);
        if (packet.type == YappType::Cancel) {
            sendData(kYappCanAck);
            setState(YappSendState::Done);
        }
        return true;
    }
    if (packet.type == YappType::Cancel) {
        answerCancel(packet);
        setState(YappSendState::Done);
        return true;
    }
    if (packet.type == YappType::Text) {
        showPeerText(packet.payload);
        return true;
    }
    if (state_ != YappSendState::Init) arm(timers_.waitMs);
    switch (state_) {
        case YappSendState::Init: onInitPacket(packet, peerText); break;
        case YappSendState::Header: onHeaderPacket(packet); break;
        case YappSendState::Data: abort(kYappUnknownCode); break;
        case YappSendState::Eof:
            if (packet.type != YappType::AckEof) {
                abort(kYappUnknownCode);
                break;
            }
            delivered_ = true;
            sendData(kYappEot);
            setState(YappSendState::Eot);
            break;
        case YappSendState::Eot: setState(YappSendState::Done); break;
        default: break;
    }
    return true;
}

void CYappSendJob::onInitPacket(const YappPacket& packet, std::string& peerText) {
    switch (packet.type) {
        case YappType::RcvReady:
            sendData(yappHeader(utf8ToOem(displayName_), fileLength_, stamp_));
            setState(YappSendState::Header);
            arm(timers_.waitMs);
            return;
        case YappType::RcvFile: startData(false, 0); return;
        case YappType::NotReady:
            noticeRefusal(packet);
            setState(YappSendState::Done);
            return;
        // A prompt of the other side before its first packet is its text.
        case YappType::Unknown: peerText += packet.payload; return;
        case YappType::ServerCmd: return;
        default: abort(kYappUnknownCode); return;
    }
}

void CYappSendJob::onHeaderPacket(const YappPacket& packet) {
    switch (packet.type) {
        case YappType::RcvFile: startData(false, 0); return;
        case YappType::RcvTpk: startData(true, 0); return;
        case YappType::NotReady:
            if (const auto resume = parseYappResume(packet.payload)) {
                startData(resume->checksum, resume->offset);
                return;
            }
            noticeRefusal(packet);
            setState(YappSendState::Done);
            return;
        // The receiver's repeated RR after a resent SI.
        case YappType::RcvReady: return;
        default: abort(kYappUnknownCode); return;
    }
}

}  // namespace norva
