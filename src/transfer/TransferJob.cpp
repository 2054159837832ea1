// CTransferJob: figures, the channel's roads for data, replies and notices,
// the remote prompt and the files.log line of a job.
#include "transfer/TransferJob.h"

#include <cstdio>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Clock.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "platform/UiPort.h"
#include "transfer/TransferLog.h"

namespace norva {

CTransferJob::CTransferJob(CTncChannel& channel, std::filesystem::path path, std::string displayName,
                           std::string_view type, bool promptAfter)
    : path_(std::move(path)),
      displayName_(std::move(displayName)),
      type_(type),
      promptAfter_(promptAfter),
      peerCall_(channel.linkState().destCall()),
      channel_(channel) {}

Clock& CTransferJob::clock() const { return channel_.tnc().context().clock; }
Profile& CTransferJob::profile() const { return channel_.tnc().context().profile; }
const std::filesystem::path& CTransferJob::programDir() const { return channel_.tnc().context().programDir; }
std::int64_t CTransferJob::now() const { return clock().wallSeconds(); }

void CTransferJob::updateFigures() {
    const std::int64_t elapsed = now() - startTime_;
    if (elapsed > 0) rate_ = done_ * 60 / elapsed;
    if (rate_ != 0) minutesLeft_ = remaining_ / rate_ + 1;
}

void CTransferJob::sendData(std::string_view bytes) {
    if (bytes.empty()) return;
    channel_.sendOperation(FrameRecord{kKindInfo, bytes});
}

void CTransferJob::reply(std::string_view text) {
    sendData(text);
    channel_.show(text, kClassInputEcho);
}

void CTransferJob::notice(std::string_view text) { channel_.show(text, kClassTncEcho); }

void CTransferJob::sendPrompt() { sendRemotePrompt(channel_, promptCall_); }

void CTransferJob::playSound(std::string_view event) {
    if (channel_.settings().messageBeep) channel_.ui().playSound(event, false);
}

void CTransferJob::writeFilesLog(std::string_view arrow, std::string_view outcome) {
    const std::string& dest = channel_.linkState().destCall();
    const std::string line = filesLogLine(clock().localTime(), displayName_, arrow, dest.empty() ? peerCall_ : dest,
                                          fileLength_, rate_, outcome);
    appendToFile(programDir() / "files.log", line);
}


}  // namespace norva
