// CBinReceiveJob: the receiver's side of #BIN#, one state per step.
#include "transfer/BinReceiveJob.h"

#include "platform/ReceiveFolders.h"

#include <algorithm>

#include "channel/TncChannel.h"
#include "platform/Cp437.h"
#include "transfer/BinProtocol.h"
#include "transfer/TransferLog.h"

namespace norva {

std::unique_ptr<CBinReceiveJob> CBinReceiveJob::intoFile(CTncChannel& channel, const std::filesystem::path& path,
                                                         bool promptAfter, DiskLimits limits) {
    UniqueFd fd = openForWriting(path, CreateMode::Truncate);
    if (!fd) return nullptr;
    auto job = std::unique_ptr<CBinReceiveJob>(new CBinReceiveJob(channel, path, promptAfter, std::move(limits)));
    job->file_ = std::move(fd);
    return job;
}

std::unique_ptr<CBinReceiveJob> CBinReceiveJob::intoDirectory(CTncChannel& channel,
                                                              const std::filesystem::path& dir,
                                                              bool promptAfter, DiskLimits limits,
                                                              std::string announcedName) {
    auto job = std::unique_ptr<CBinReceiveJob>(new CBinReceiveJob(channel, dir, promptAfter, std::move(limits)));
    job->autoDir_ = dir;
    job->announcedName_ = std::move(announcedName);
    return job;
}

CBinReceiveJob::CBinReceiveJob(CTncChannel& channel, std::filesystem::path path, bool promptAfter,
                               DiskLimits limits)
    : CTransferJob(channel, path, path.filename().string(), "bin", promptAfter), limits_(std::move(limits)) {
    status_ = std::string(kStatusReceive);
    startTime_ = now();
    notice(kNoticeBinReceiveStart);
    playSound(kSoundBinReceiveStart);
}

CBinReceiveJob::~CBinReceiveJob() {
    file_.reset();
    if (state_ != BinReceiveState::Refused && remaining_ != 0) {
        channel().sendLine(kBinAbortLine);
        notice(kNoticeAborted);
        writeFilesLog(kArrowReceived, kOutcomeAborted);
    } else if (state_ == BinReceiveState::Complete) {
        // The report's CRC, else the one the header announced.
        const auto expected = senderCrc_ ? senderCrc_ : headerCrc_;
        if (expected && *expected != crc_) {
            notice("\rCRC-Fehler: Sender " + std::to_string(*expected) + ", Empfang " + std::to_string(crc_) +
                   "\r");
            writeFilesLog(kArrowReceived, kOutcomeCrcMismatch);
        } else {
            writeFilesLog(kArrowReceived, {});
        }
    }
    if (promptAfter_) sendPrompt();
    playSound(kSoundBinReceiveStop);
}

void CBinReceiveJob::setState(BinReceiveState next) {
    traceState(static_cast<int>(state_), static_cast<int>(next));
    state_ = next;
}

int CBinReceiveJob::tick() {
    waitForTick_ = false;
    switch (state_) {
        case BinReceiveState::WaitHeader:
        case BinReceiveState::Data: return cancelled_ ? 0 : 1;
        case BinReceiveState::Aborted:
        case BinReceiveState::Refused: return 0;
        case BinReceiveState::Complete:
            return senderCrc_ || cancelled_ || now() - completedAt_ >= kReportWaitSeconds ? 0 : 1;
    }
    return 0;
}

int CBinReceiveJob::receive(const ReceiveRecord& record) {
    // Only connected information carries the file; link texts never become data.
    if (record.kind != kKindConnected || waitForTick_) return 1;
    const std::string_view text = record.text();
    updateFigures();
    const bool inTransfer = state_ == BinReceiveState::WaitHeader || state_ == BinReceiveState::Data;
    // A short record with the abort tag is the sender's abort; a longer one is data.
    if (inTransfer && text.size() < 14 && text.find(kBinAbortTag) != std::string_view::npos) {
        setState(BinReceiveState::Aborted);
        return 1;
    }
    switch (state_) {
        case BinReceiveState::WaitHeader: onHeaderText(text); break;
        case BinReceiveState::Data: {
            const std::string_view rest = writeData(text);
            if (state_ == BinReceiveState::Data && remaining_ == 0) complete(rest);
            break;
        }
        case BinReceiveState::Complete:
        case BinReceiveState::Aborted:
        case BinReceiveState::Refused: break;
    }
    return 1;
}

void CBinReceiveJob::onHeaderText(std::string_view text) {
    if (header_.empty()) {
        const auto span = findBinHeader(text);
        if (!span) return;
        text.remove_prefix(span->start);
    }
    header_.append(text);
    const std::size_t cr = header_.find('\r');
    // A header split over frames waits for the rest of its line.
    if (cr == std::string::npos && header_.size() < kMaxHeaderLine) return;
    const std::size_t lineEnd = std::min(cr, header_.size());
    const std::string line = header_.substr(0, lineEnd);
    const std::string rest = lineEnd < header_.size() ? header_.substr(lineEnd + 1) : std::string();
    header_.clear();

    notice(line + "\r");
    if (!acceptHeader(line)) return;
    setState(BinReceiveState::Data);
    // Bytes that came with the header are on disk before the go-ahead goes out.
    const std::string_view after = writeData(rest);
    channel().sendLine(kBinGoAhead);
    if (state_ == BinReceiveState::Data && remaining_ == 0) complete(after);
}

bool CBinReceiveJob::acceptHeader(std::string_view line) {
    const auto length = binHeaderLength(line);
    if (!length) {
        refuse("Laenge ungueltig");
        return false;
    }
    std::string name;
    if (autoDir_) {
        const auto stored = storedName(line);
        if (!stored) return false;
        name = *stored;
    }
    const std::filesystem::path where = autoDir_ ? *autoDir_ : path_.parent_path();
    if (!limits_.allows(where.empty() ? std::filesystem::path(".") : where, static_cast<std::uint64_t>(*length))) {
        refuse("zu wenig Platz");
        return false;
    }
    if (autoDir_) {
        CreatedFile made = createFreeName(*autoDir_, name);
        if (!made.fd) {
            refuse("Datei nicht anlegbar");
            return false;
        }
        file_ = std::move(made.fd);
        path_ = made.path;
        displayName_ = path_.filename().string();
        if (displayName_ != name) notice("\rDatei " + name + " existiert, Empfang als " + displayName_ + "\r");
    }
    fileLength_ = remaining_ = *length;
    headerCrc_ = binHeaderCrc(line);
    return true;
}

// The name an automatic reception stores under, or nothing (refused).
std::optional<std::string> CBinReceiveJob::storedName(std::string_view line) {
    std::string_view airName = binHeaderName(line);
    bool generated = false;
    std::string fallback;
    if (airName.empty() && binHeaderLengthOnly(line)) {
        // F6FBB announces the name on the line before a length-only header.
        const auto announced = plainName(announcedName_);
        if (announced && autoBinNameUsable(*announced)) {
            fallback = *announced;
        } else {
            fallback = "AUTOBIN.BIN";
            generated = true;
        }
        airName = fallback;
    }
    const auto plain = plainName(airName);
    if (!plain || !autoBinNameUsable(*plain)) {
        refuse("Dateiname ungueltig");
        return std::nullopt;
    }
    // Never into a directory Norva reads its own files from, never
    // under the name of one of them near such a directory.
    const auto stored =
        autoDir_->empty() ? std::nullopt : channel().receiveFolders().storeName(*autoDir_, oemToUtf8(*plain));
    if (!stored) {
        refuse("Empfangsverzeichnis nicht erlaubt");
        return std::nullopt;
    }
    if (generated) notice("\rKein Dateiname im Kopf, Empfang als " + *stored + "\r");
    return stored;
}

void CBinReceiveJob::refuse(std::string_view why) {
    channel().sendLine(kBinRefusal);
    notice("\rBinaerdateiempfang abgelehnt: " + std::string(why) + "\r");
    remaining_ = 0;
    setState(BinReceiveState::Refused);
}

std::string_view CBinReceiveJob::writeData(std::string_view text) {
    const auto take = static_cast<std::size_t>(std::min<std::int64_t>(remaining_, static_cast<std::int64_t>(text.size())));
    const std::string_view bytes = text.substr(0, take);
    if (bytes.empty()) return text;
    if (!file_ || !writeAll(file_.get(), bytes)) {
        // A hole in the file would be reported as a whole file: stop here instead.
        notice("\r\nCannot write data.\r\n");
        setState(BinReceiveState::Aborted);
        return {};
    }
    crc_ = binCrc(crc_, bytes);
    done_ += static_cast<std::int64_t>(take);
    remaining_ = fileLength_ - done_;
    notice(".");
    return text.substr(take);
}

void CBinReceiveJob::complete(std::string_view rest) {
    file_.reset();
    const std::string report = binRxReport(crc_);
    channel().sendLine(report);
    setState(BinReceiveState::Complete);
    completedAt_ = now();
    notice(kNoticeBinReceiveEnd);
    notice(report);
    // Whatever came after the last byte is received text again.
    leftover_ = std::string(rest);
}

bool CBinReceiveJob::takeFinalRecord(const ReceiveRecord& record) {
    if (record.kind != kKindConnected) return false;
    const std::string_view text = record.text();
    if (!senderCrc_) senderCrc_ = findTxReport(text);
    return isOnlyTxReport(text);
}

}  // namespace norva
