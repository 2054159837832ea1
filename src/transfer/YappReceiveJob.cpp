// CYappReceiveJob: the receiver's side of YAPP, one state per step.
#include "transfer/YappReceiveJob.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>

#include "channel/TncChannel.h"
#include "platform/Cp437.h"
#include "platform/ReceiveFolders.h"
#include "transfer/TransferLog.h"

namespace norva {

namespace {

std::filesystem::path partOf(const std::filesystem::path& file) {
    std::filesystem::path part = file;
    part += std::string(kYappPartSuffix);
    return part;
}

// The sender's date and time on the file (local time, as it was sent).
void applyStamp(int fd, std::uint32_t stamp) {
    const YappCalendar c = fromDosDateTime(stamp);
    std::tm local{};
    local.tm_year = c.year - 1900;
    local.tm_mon = c.month - 1;
    local.tm_mday = c.day;
    local.tm_hour = c.hour;
    local.tm_min = c.minute;
    local.tm_sec = c.second;
    local.tm_isdst = -1;
    const std::time_t when = std::mktime(&local);
    if (when == static_cast<std::time_t>(-1)) return;
    const timespec times[2] = {{when, 0}, {when, 0}};
    ::futimens(fd, times);
}

}  // namespace

std::unique_ptr<CYappReceiveJob> CYappReceiveJob::intoFile(CTncChannel& channel, const std::filesystem::path& path,
                                                           bool promptAfter, DiskLimits limits) {
    std::error_code ec;
    if (path.empty() || std::filesystem::exists(std::filesystem::symlink_status(path, ec))) return nullptr;
    auto job = std::unique_ptr<CYappReceiveJob>(new CYappReceiveJob(channel, path, promptAfter, std::move(limits)));
    job->chosen_ = path;
    return job;
}

std::unique_ptr<CYappReceiveJob> CYappReceiveJob::intoDirectory(CTncChannel& channel,
                                                                const std::filesystem::path& dir, bool promptAfter,
                                                                DiskLimits limits) {
    auto job = std::unique_ptr<CYappReceiveJob>(new CYappReceiveJob(channel, dir, promptAfter, std::move(limits)));
    job->autoDir_ = dir;
    return job;
}

CYappReceiveJob::CYappReceiveJob(CTncChannel& channel, std::filesystem::path path, bool promptAfter,
                                 DiskLimits limits)
    : CYappJob(channel, path, path.filename().string(), promptAfter), limits_(std::move(limits)) {
    status_ = std::string(kStatusReceive);
    startTime_ = now();
    notice(kNoticeYappReceiveStart);
    playSound(kSoundBinReceiveStart);
}

CYappReceiveJob::~CYappReceiveJob() {
    file_.reset();
    const bool running = state_ == YappReceiveState::WaitHeader || state_ == YappReceiveState::Data;
    // Taken out of its slot while the sender still talks: it hears why, unless the link is gone.
    if (running && linkUp()) sendData(yappCancel(kYappByUser));
    if (inFile_) {
        notice(kNoticeAborted);
        notice("\rTeil bleibt fuer die Wiederaufnahme: " + utf8ToOem(path_.string()) + "\r");
        writeFilesLog(kArrowReceived, kOutcomeAborted);
    }
    if (promptAfter_) sendPrompt();
    playSound(kSoundBinReceiveStop);
}

void CYappReceiveJob::setState(YappReceiveState next) {
    traceState(static_cast<int>(state_), static_cast<int>(next));
    state_ = next;
}

void CYappReceiveJob::abort(std::string_view reason) {
    sendCancel(reason);
    setState(YappReceiveState::CancelWait);
}

void CYappReceiveJob::refuse(std::string_view reason) {
    sendData(yappNotReady(reason));
    aborted_ = true;
    abortReason_ = std::string(reason);
    notice("\rYAPP-Empfang abgelehnt: " + abortReason_ + "\r");
    setState(YappReceiveState::Done);
}

int CYappReceiveJob::tick() {
    waitForTick_ = false;
    updateFigures();
    switch (state_) {
        case YappReceiveState::WaitInit:
            // Nobody started sending yet: the operator's stop just ends the wait.
            if (!armed()) arm(timers_.waitMs);
            if (cancelled_) setState(YappReceiveState::Done);
            else if (expired()) abort(kYappTimeout);
            break;
        case YappReceiveState::WaitHeader:
        case YappReceiveState::Data:
            if (cancelled_) abort(kYappByUser);
            else if (expired()) abort(kYappTimeout);
            break;
        case YappReceiveState::CancelWait:
            if (expired()) setState(YappReceiveState::Done);
            break;
        case YappReceiveState::Done: break;
    }
    return state_ == YappReceiveState::Done ? 0 : 1;
}

int CYappReceiveJob::receive(const ReceiveRecord& record) {
    std::string peerText;
    readPackets(record, [&](const YappPacket& p) { return onPacket(p, peerText); });
    if (!peerText.empty()) showPeerText(peerText);
    return 1;
}

bool CYappReceiveJob::onPacket(const YappPacket& packet, std::string& peerText) {
    if (state_ == YappReceiveState::Done) {
        reader_.clear();
        return false;
    }
    if (state_ == YappReceiveState::CancelWait) {
        // In-flight data is ignored until the cancel is answered.
        if (packet.type == YappType::CanAck) setState(YappReceiveState::Done);
        if (packet.type == YappType::Cancel) {
            sendData(kYappCanAck);
            setState(YappReceiveState::Done);
        }
        return true;
    }
    if (packet.type == YappType::Cancel) {
        answerCancel(packet);
        setState(YappReceiveState::Done);
        return true;
    }
    if (packet.type == YappType::Text) {
        showPeerText(packet.payload);
        return true;
    }
    if (state_ != YappReceiveState::WaitInit) arm(timers_.waitMs);
    switch (state_) {
        case YappReceiveState::WaitInit: onInitPacket(packet, peerText); break;
        case YappReceiveState::WaitHeader: onHeaderPacket(packet); break;
        case YappReceiveState::Data: onDataPacket(packet); break;
        default: break;
    }
    return true;
}

void CYappReceiveJob::onInitPacket(const YappPacket& packet, std::string& peerText) {
    switch (packet.type) {
        case YappType::SendInit:
            sendData(kYappRcvReady);
            setState(YappReceiveState::WaitHeader);
            arm(timers_.waitMs);
            return;
        case YappType::NotReady:
            noticeRefusal(packet);
            setState(YappReceiveState::Done);
            return;
        // Before the sender's SI everything is the other side's text (a
        // mailbox's prompt); control bytes in it start nothing.
        case YappType::Unknown: peerText += packet.payload; return;
        default: return;
    }
}

void CYappReceiveJob::onHeaderPacket(const YappPacket& packet) {
    switch (packet.type) {
        case YappType::Header:
            if (const auto header = parseYappHeader(packet.payload)) {
                acceptHeader(*header);
            } else {
                refuse("Bad header");
            }
            return;
        // The sender resent SI before our RR reached it.
        case YappType::SendInit: return;
        case YappType::Eot:
            sendData(kYappAckEot);
            notice(kNoticeYappReceiveEnd);
            setState(YappReceiveState::Done);
            return;
        default: abort(kYappUnknownCode); return;
    }
}

std::optional<std::filesystem::path> CYappReceiveJob::finalPath(const YappHeader& header, std::string& why) {
    if (!autoDir_) return chosen_;
    const auto plain = plainName(oemToUtf8(header.name));
    if (!plain) {
        why = "Bad file name";
        return std::nullopt;
    }
    // Never into a directory Norva reads its own files from, never under
    // the name of one of them near such a directory.
    const auto stored = autoDir_->empty() ? std::nullopt : channel().receiveFolders().storeName(*autoDir_, *plain);
    if (!stored) {
        why = "Directory not allowed";
        return std::nullopt;
    }
    return *autoDir_ / *stored;
}

bool CYappReceiveJob::openPart(const std::filesystem::path& part, const YappHeader& header, std::string& why) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(part, ec);
    const bool exists = std::filesystem::exists(status);
    if (exists && !std::filesystem::is_regular_file(status)) {
        why = "Cannot create file";
        return false;
    }
    const auto held = exists ? fileSize(part) : std::optional<std::int64_t>(0);
    // Only a sender that knows the extension can resume; for another the old part starts anew.
    const bool resume = held && *held > 0 && *held < header.size && header.dosDateTime;
    resumedAt_ = resume ? *held : 0;
    const std::filesystem::path dir = part.has_parent_path() ? part.parent_path() : std::filesystem::path(".");
    if (!limits_.allows(dir, static_cast<std::uint64_t>(header.size - resumedAt_))) {
        why = "No room";
        return false;
    }
    file_ = openForWriting(part, resume ? CreateMode::Append : exists ? CreateMode::Truncate : CreateMode::Exclusive);
    if (!file_) why = "Cannot create file";
    return static_cast<bool>(file_);
}

void CYappReceiveJob::acceptHeader(const YappHeader& header) {
    std::string why;
    const auto target = finalPath(header, why);
    if (!target) {
        refuse(why);
        return;
    }
    const std::filesystem::path part = partOf(*target);
    if (!openPart(part, header, why)) {
        refuse(why);
        return;
    }
    final_ = *target;
    path_ = part;
    displayName_ = target->filename().string();
    fileLength_ = header.size;
    done_ = resumedAt_;
    remaining_ = fileLength_ - done_;
    stamp_ = header.dosDateTime;
    inFile_ = true;
    const bool checksum = header.dosDateTime.has_value();
    reader_.setChecksum(checksum);
    std::string mode = checksum ? "YAPPC" : "YAPP";
    if (resumedAt_ > 0) mode += ", fortgesetzt bei " + std::to_string(resumedAt_);
    notice("\rYAPP: " + utf8ToOem(displayName_) + ", " + std::to_string(fileLength_) + " Byte, " + mode + "\r");
    if (resumedAt_ > 0) sendData(yappResume(resumedAt_, checksum));
    else sendData(checksum ? kYappRcvTpk : kYappRcvFile);
    setState(YappReceiveState::Data);
}

void CYappReceiveJob::onDataPacket(const YappPacket& packet) {
    if (packet.type == YappType::Eof) {
        finishFile();
        return;
    }
    if (packet.type != YappType::Data) {
        abort(kYappUnknownCode);
        return;
    }
    if (!packet.checksumOk) {
        abort(kYappBadChecksum);
        return;
    }
    // More than announced would pass the disk check made for the header.
    if (static_cast<std::int64_t>(packet.payload.size()) > remaining_) {
        abort("Too much data");
        return;
    }
    if (!writeAll(file_.get(), packet.payload)) {
        abort("Write error");
        return;
    }
    done_ += static_cast<std::int64_t>(packet.payload.size());
    remaining_ = fileLength_ - done_;
}

void CYappReceiveJob::finishFile() {
    if (stamp_) applyStamp(file_.get(), *stamp_);
    const bool closed = file_.close();
    inFile_ = false;
    if (remaining_ > 0) {
        // Bytes went missing somewhere (a lost frame): the part is no prefix
        // of the file, so a resume would build a wrong one. It goes, and the
        // sender hears that the file did not arrive.
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        notice("\r" + utf8ToOem(displayName_) + ": nur " + std::to_string(done_) + " von " +
               std::to_string(fileLength_) + " Byte angekommen, verworfen\r");
        writeFilesLog(kArrowReceived, kOutcomeAborted);
        abort("Data missing");
        return;
    }
    if (!closed) {
        notice("\rDatei nicht speicherbar, Teil bleibt: " + utf8ToOem(path_.string()) + "\r");
        writeFilesLog(kArrowReceived, kOutcomeAborted);
        abort("Write error");
        return;
    }
    sendData(kYappAckEof);
    setState(YappReceiveState::WaitHeader);
    // The final name is taken only now, and never over an existing file.
    CreatedFile made = createFreeName(final_.parent_path(), final_.filename().string());
    std::error_code ec;
    if (made.fd) std::filesystem::rename(path_, made.path, ec);
    if (!made.fd || ec) {
        if (made.fd) std::filesystem::remove(made.path, ec);
        notice("\rDatei nicht speicherbar, Teil bleibt: " + utf8ToOem(path_.string()) + "\r");
        writeFilesLog(kArrowReceived, kOutcomeAborted);
        return;
    }
    path_ = made.path;
    displayName_ = path_.filename().string();
    ++filesStored_;
    notice("\r" + utf8ToOem(displayName_) + ": " + std::to_string(done_) + " Byte empfangen, ok\r");
    writeFilesLog(kArrowReceived, {});
}

}  // namespace norva
