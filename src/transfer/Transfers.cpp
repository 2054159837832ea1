// The entry points that make transfer jobs and the automatic #BIN# reception.
#include "transfer/Transfers.h"

#include "platform/ReceiveFolders.h"

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "transfer/BinProtocol.h"
#include "transfer/BinReceiveJob.h"
#include "transfer/BinSendJob.h"
#include "transfer/TextJobs.h"
#include "transfer/YappReceiveJob.h"
#include "transfer/YappSendJob.h"

namespace norva {

std::unique_ptr<CChannelJob> makeMemoryTextJob(CTncChannel& channel, std::string oemText, std::string name,
                                               bool promptAfter) {
    return std::make_unique<CClipSendJob>(channel, std::move(name), std::move(oemText), promptAfter);
}

std::unique_ptr<CChannelJob> makeClipboardJob(CTncChannel& channel, std::string oemText) {
    return makeMemoryTextJob(channel, std::move(oemText), "Clip", false);
}

std::unique_ptr<CChannelJob> makeTextFileSendJob(CTncChannel& channel, const std::filesystem::path& file,
                                                 bool stampAndEnd, bool promptAfter, std::string promptCall) {
    return CTextSendJob::create(channel, file, stampAndEnd, promptAfter, std::move(promptCall));
}

std::unique_ptr<CChannelJob> makeBinSendJob(CTncChannel& channel, const std::filesystem::path& file,
                                            bool promptAfter) {
    return CBinSendJob::create(channel, file, promptAfter);
}

std::unique_ptr<CChannelJob> makeBinReceiveJob(CTncChannel& channel, const std::filesystem::path& target,
                                               bool promptAfter, DiskLimits limits) {
    std::error_code ec;
    std::unique_ptr<CChannelJob> job =
        std::filesystem::is_directory(target, ec)
            ? CBinReceiveJob::intoDirectory(channel, target, promptAfter, std::move(limits))
            : CBinReceiveJob::intoFile(channel, target, promptAfter, std::move(limits));
    // A sender whose announcement had to wait for the operator is answered now.
    if (job) {
        if (const std::string header = channel.takeHeldFileHeader(); !header.empty())
            job->receive(ReceiveRecord::of(channel.number(), kKindConnected, header));
    }
    return job;
}

std::unique_ptr<CChannelJob> makeYappSendJob(CTncChannel& channel, const std::filesystem::path& file,
                                             bool promptAfter) {
    return CYappSendJob::create(channel, file, promptAfter);
}

std::unique_ptr<CChannelJob> makeYappReceiveJob(CTncChannel& channel, const std::filesystem::path& target,
                                                bool promptAfter, DiskLimits limits) {
    std::error_code ec;
    if (std::filesystem::is_directory(target, ec))
        return CYappReceiveJob::intoDirectory(channel, target, promptAfter, std::move(limits));
    return CYappReceiveJob::intoFile(channel, target, promptAfter, std::move(limits));
}

bool isYappJob(const CChannelJob* job) { return dynamic_cast<const CYappJob*>(job) != nullptr; }

bool cancelYapp(CTncChannel& channel, JobSlot slot) {
    auto* yapp = dynamic_cast<CYappJob*>(channel.job(slot));
    if (!yapp) return false;
    yapp->cancel();
    return true;
}

std::unique_ptr<CChannelJob> makeCaptureJob(CTncChannel& channel, const std::filesystem::path& file,
                                            bool promptAfter, bool create, DiskLimits limits) {
    return std::make_unique<CTextCaptureJob>(channel, file, promptAfter, create, std::move(limits));
}

std::unique_ptr<CChannelJob> makeLogCaptureJob(CTncChannel& channel, std::string_view path) {
    std::filesystem::path file{std::string(path)};
    // A relative LogFile lives in the program directory, not wherever the program was started.
    if (file.is_relative()) file = channel.tnc().context().programDir / file;
    return makeCaptureJob(channel, file, false, false);
}

bool enqueueTransfer(CTncChannel& channel, std::unique_ptr<CChannelJob> job) {
    return job && channel.transferQueue().add(std::move(job));
}

AutoBinOutcome autoBin(CTncChannel& channel, std::string_view text, DiskLimits limits) {
    const auto span = findBinHeader(text);
    if (!span) return AutoBinOutcome::NoHeader;
    if (channel.job(JobSlot::Send) || channel.receivingFile()) return AutoBinOutcome::Busy;
    if (span->complete()) {
        // A plain name that is merely too long goes to the operator; a
        // hostile one is refused by the job, which creates nothing then.
        const std::string_view line = text.substr(span->start, span->lineEnd - span->start);
        const auto name = plainName(binHeaderName(line));
        if (name && !autoBinNameUsable(*name)) {
            channel.holdFileHeader(std::string(line) + "\r");
            return AutoBinOutcome::AskOperator;
        }
    }
    // F6FBB names the file only on the line before its header.
    const std::string_view before = text.substr(0, span->start);
    const bool nothingBefore = before.find_first_not_of("\r\n ") == std::string_view::npos;
    const auto announced = fbbAnnouncedName(nothingBefore ? channel.previousText() : before);
    // No safe directory: the job refuses the header, so the sender hears #NO#.
    const auto dir = channel.receiveFolders().directoryFor("BinReadFileDir");
    channel.setJob(JobSlot::FileReceive,
                   CBinReceiveJob::intoDirectory(channel, dir.value_or(std::filesystem::path()), false, std::move(limits),
                                                 std::string(announced.value_or(std::string_view{}))));
    return AutoBinOutcome::Started;
}

bool startAutoBin(CTncChannel& channel, std::string_view headerLine) {
    return autoBin(channel, headerLine) == AutoBinOutcome::Started;
}

}  // namespace norva
