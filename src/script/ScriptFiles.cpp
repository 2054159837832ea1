// Scripts and the files they name: loading, starting, and the commands of a
// script that open files or start other things (transfers, called scripts,
// programs).
#include "script/ScriptFiles.h"

#include <algorithm>
#include <cerrno>
#include <iterator>
#include <system_error>
#include <vector>

#include "channel/ChannelContext.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/FileNames.h"
#include "platform/Files.h"
#include "platform/Text.h"
#include "platform/UiPort.h"
#include "script/ScriptJob.h"
#include "transfer/TransferLog.h"
#include "transfer/Transfers.h"

namespace norva {
namespace {

constexpr std::string_view kErrFileNotFound = "Datei nicht gefunden: ";
constexpr std::string_view kErrFileUnusable = "Datei lässt sich nicht senden: ";

std::optional<std::string> readHead(const std::filesystem::path& path) {
    return readRegularFile(path, kScriptMaxBytes);
}

std::filesystem::path canonicalOr(const std::filesystem::path& p) {
    std::error_code ec;
    auto c = std::filesystem::weakly_canonical(p, ec);
    return ec ? p : c;
}

}  // namespace

std::filesystem::path scriptDirectory(const CTncChannel& channel) {
    const HostContext& ctx = channel.tnc().context();
    return frameDirectory(ctx.profile, "ScriptDir", ctx.programDir);
}

std::unique_ptr<CScriptJob> loadScript(CTncChannel& channel, const std::filesystem::path& path,
                                       ScriptError* error, ScriptOperator* op,
                                       std::vector<std::filesystem::path> callers) {
    const std::string name = path.filename().string();
    const auto bytes = readHead(path);
    if (!bytes) {
        if (error) *error = ScriptError{name, 0, std::string(kErrNotFound)};
        return nullptr;
    }
    ParsedScript parsed = parseScript(*bytes, name);
    if (parsed.error) {
        if (error) *error = *parsed.error;
        return nullptr;
    }
    return std::make_unique<CScriptJob>(channel, path, std::move(parsed.lines), op, std::move(callers));
}

bool startScript(CTncChannel& channel, std::string_view name, std::string* error, ScriptOperator* op) {
    auto refuse = [&](const std::string& why) {
        channel.show("\r" + why + "\r", kClassTncEcho);
        if (error) *error = why;
        return false;
    };
    if (channel.job(JobSlot::Script)) return refuse(std::string(kErrAlreadyRunning));
    std::string file(name);
    if (file.find('.') == std::string::npos) file += ".scr";
    const auto path = resolveIgnoringCase(scriptDirectory(channel), file);
    if (!path) return refuse(ScriptError{file, 0, std::string(kErrNotFound)}.text());
    ScriptError problem;
    auto job = loadScript(channel, canonicalOr(*path), &problem, op);
    if (!job) return refuse(problem.text());
    channel.setJob(JobSlot::Script, std::move(job));
    return true;
}

bool stopScript(CTncChannel& channel) {
    if (!channel.job(JobSlot::Script)) return false;
    channel.destroyJob(JobSlot::Script);
    return true;
}

void scriptOperatorDone(CTncChannel& channel) {
    if (auto* script = dynamic_cast<CScriptJob*>(channel.job(JobSlot::Script))) script->innermost().operatorDone();
}

// ---- the commands of CScriptJob that open files or start things ----

// SEND and SENDBIN look where ":send" and ":sendbin" do: SendFileDir or
// BinSendFileDir, then the program directory.
void CScriptJob::startTransfer(const ScriptLine& line, bool binary) {
    const HostContext& ctx = channel_.tnc().context();
    const char* key = binary ? "BinSendFileDir" : "SendFileDir";
    const auto file = findFileToSend(ctx.profile, key, ctx.programDir, line.argument);
    std::unique_ptr<CChannelJob> job;
    if (file)
        job = binary ? makeBinSendJob(channel_, *file, false) : makeTextFileSendJob(channel_, *file, true, false);
    if (!job) {
        std::string why = std::string(kErrFileNotFound) + line.argument;
        if (file) {
            why = std::string(kErrFileUnusable) + file->string();
        } else {
            const std::filesystem::path dir = frameDirectory(ctx.profile, key, ctx.programDir);
            why += " (gesucht in " + dir.string();
            why += dir == ctx.programDir ? ")" : " und " + ctx.programDir.string() + ")";
        }
        notice("\r" + ScriptError{path_.filename().string(), line.number, why}.text() + "\r");
        return;
    }
    channel_.setJob(JobSlot::Send, std::move(job));
    setState(State::WaitingTransfer, line.word);
}

void CScriptJob::sendAllFiles() {
    if (planSendAll(channel_).check == SendAllCheck::NoOwnDirectory) {
        notice(kTextNoOwnSendDir);
        return;
    }
    queueAllUnsentFiles(channel_, false);
    sendAllWait_ = true;
    setState(State::WaitingTransfer, "SENDALLFILES");
}

void CScriptJob::restart() {
    const auto bytes = readHead(path_);
    if (!bytes) return;  // the file went away: go on with what is loaded
    ParsedScript parsed = parseScript(*bytes, path_.filename().string());
    if (parsed.error) {
        fail(parsed.error->line, parsed.error->message);
        return;
    }
    lines_ = std::move(parsed.lines);
    next_ = 0;
    stopText_.clear();
    stopCarry_.clear();
    stopped_ = false;
}

void CScriptJob::call(const ScriptLine& line) {
    std::string name = line.argument;
    const bool isPath = name.find('\\') != std::string::npos || name.find('/') != std::string::npos;
    if (!isPath && name.find('.') == std::string::npos) name += ".SCR";
    const auto found = resolveIgnoringCase(path_.parent_path(), name);
    if (!found) {
        // A missing script is skipped; the caller goes on.
        notice("\r" + ScriptError{path_.filename().string(), line.number,
                                  std::string(kErrNotFound) + ": " + line.argument}.text() + "\r");
        return;
    }
    const auto target = canonicalOr(*found);
    std::vector<std::filesystem::path> chain = callers_;
    chain.push_back(path_);
    if (std::find(chain.begin(), chain.end(), target) != chain.end())
        return fail(line.number, std::string(kErrRecursion) + line.argument);
    if (static_cast<int>(chain.size()) >= kScriptMaxNesting) return fail(line.number, kErrTooDeep);
    ScriptError problem;
    child_ = loadScript(channel_, target, &problem, operator_, std::move(chain));
    if (!child_) {
        notice("\r" + problem.text() + "\r");
        return fail(line.number, "CALL " + line.argument);
    }
    setState(State::Calling, line.argument);
}

// The program's name is looked up in the program directory (ignoring case)
// and then on the PATH; its arguments are split at blanks and handed over
// as they are, without a shell. The program outlives the script; the
// engine never waits for it (its loop collects ended ones), and it
// inherits none of the engine's descriptors.
void CScriptJob::run(const std::string& commandLine) {
    std::vector<std::string> args;
    for (std::string_view word : splitBlanks(commandLine)) args.emplace_back(word);
    if (args.empty()) return;
    if (auto local = resolveIgnoringCase(channel_.tnc().context().programDir, args[0])) args[0] = local->string();
    std::string error;
    if (!programs().start(args, {}, &error, DetachedPrograms::Output::Discard))
        notice("\rRUN " + args[0] + ": " + error + "\r");
}

DetachedPrograms& CScriptJob::programs() const {
    // Every channel is made by a ChannelContext (its factory is the only one).
    return static_cast<ChannelContext&>(channel_.tnc().context()).programs;
}

void CScriptJob::messageBox(const std::string& text) {
    if (!operator_) {
        channel_.ui().messageBox("Norva", text);
        return;
    }
    operator_->showMessage(channel_.slot(), text);
    setState(State::WaitingOperator, "MSGBOX");
}

}  // namespace norva
