// The entry points through which the operator's commands, the remote command
// server, scripts and the headless console start transfers on a channel.
// Every function runs on the engine thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "channel/ChannelJob.h"
#include "transfer/FileArea.h"

namespace norva {

class CTncChannel;

// A long answer held in memory (oemText: on-air bytes), sent in 240-byte
// pieces while the link can take them, echoed, and followed by the remote
// prompt when promptAfter is set. For the send slot.
std::unique_ptr<CChannelJob> makeMemoryTextJob(CTncChannel& channel, std::string oemText,
                                               std::string name = "Remote", bool promptAfter = true);
// The operator's "send clipboard": a memory job named "Clip" without prompt.
std::unique_ptr<CChannelJob> makeClipboardJob(CTncChannel& channel, std::string oemText);

// A text file. stampAndEnd: the stamp line and the end marker follow when
// the channel's FileStamp / AddFileEnd ask for them (operator, scripts, send
// all files); off for help texts, greetings, //Read, program output.
// promptAfter: the remote prompt (naming promptCall, else the own call)
// follows. Null when the file cannot be read.
std::unique_ptr<CChannelJob> makeTextFileSendJob(CTncChannel& channel, const std::filesystem::path& file,
                                                 bool stampAndEnd = false, bool promptAfter = true,
                                                 std::string promptCall = {});

// A #BIN# send of a file. Null when the file cannot be read or is longer than 2^31-1 bytes.
std::unique_ptr<CChannelJob> makeBinSendJob(CTncChannel& channel, const std::filesystem::path& file,
                                            bool promptAfter = true);

// A #BIN# reception for the file-receive slot. A directory as target: the
// file gets the (plain) name the header carries and never overwrites (a
// taken name gets ".1", ...). A file as target: created empty now (truncated
// when it exists). Null when the file cannot be created.
std::unique_ptr<CChannelJob> makeBinReceiveJob(CTncChannel& channel, const std::filesystem::path& target,
                                               bool promptAfter = true, DiskLimits limits = {});

// A YAPP send of a file, for the transfer queue. Null when the file cannot
// be read or is longer than 2^31-1 bytes.
std::unique_ptr<CChannelJob> makeYappSendJob(CTncChannel& channel, const std::filesystem::path& file,
                                             bool promptAfter = true);

// A YAPP reception for the file-receive slot. A directory as target: each
// file gets the (plain) name its header carries and never overwrites. A
// file as target: it must not exist yet. Either way the data goes into a
// ".part" file first, which a later reception of the same file resumes.
// Null when the file exists or target is empty.
std::unique_ptr<CChannelJob> makeYappReceiveJob(CTncChannel& channel, const std::filesystem::path& target,
                                                bool promptAfter = true, DiskLimits limits = {});

// True when the job in the slot is a YAPP job.
bool isYappJob(const CChannelJob* job);
// The operator's stop of a YAPP job in the slot: it sends its cancel and
// waits for the answer before it ends. False when no YAPP job is there.
bool cancelYapp(CTncChannel& channel, JobSlot slot);

// Capture of received (and typed) text into a file: the operator's log
// (promptAfter off, append) or a remote station's message (//Send: promptAfter on).
std::unique_ptr<CChannelJob> makeCaptureJob(CTncChannel& channel, const std::filesystem::path& file,
                                            bool promptAfter, bool create, DiskLimits limits = {});
// The channel's LogFile capture (what ChannelJobFactory::captureJob returns).
std::unique_ptr<CChannelJob> makeLogCaptureJob(CTncChannel& channel, std::string_view path);

// Into the channel's transfer queue; false when all 50 entries are used
// (the job is then gone; the operator sees kTextQueueFull, a remote station the prompt).
bool enqueueTransfer(CTncChannel& channel, std::unique_ptr<CChannelJob> job);

// The automatic reception when a #BIN# header arrives on a channel with AutoBin.
enum class AutoBinOutcome {
    NoHeader,     // the text holds no header
    Busy,         // a send or file-receive job runs: nothing happens
    Started,      // a receive job into BinReadFileDir is in the file-receive slot
    AskOperator,  // the name is too long: the operator is asked (command 32793)
};
AutoBinOutcome autoBin(CTncChannel& channel, std::string_view text, DiskLimits limits = {});
// For the remote command scanner: true when a reception was started. The
// channel's receive dispatch then hands the same record to the new job.
bool startAutoBin(CTncChannel& channel, std::string_view headerLine);

}  // namespace norva
