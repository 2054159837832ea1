// //DOS: finding the program in the run area, starting it with posix_spawn,
// and the run job that collects its output.
#include "remote/RunJob.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"
#include "platform/ReceiveFolders.h"
#include "platform/Text.h"
#include "remote/RemoteArea.h"
#include "remote/RemoteSeams.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteText.h"

namespace norva {

namespace rt = remote_text;
namespace fs = std::filesystem;

// ---- CRunJob ----

std::string programOutputToOem(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        text += bytes[i] == '\n' ? '\r' : bytes[i];
    }
    return utf8ToOem(text);
}

CRunJob::CRunJob(CTncChannel& ch, RemoteTransfers& transfers, std::unique_ptr<ChildProcess> child,
                 std::int64_t limitMs, std::size_t outputLimit)
    : ch_(ch), transfers_(transfers), child_(std::move(child)), limitMs_(limitMs), outputLimit_(outputLimit),
      startMs_(now()) {}

std::int64_t CRunJob::now() const { return ch_.tnc().context().clock.monotonicMs(); }

void CRunJob::enter(State next) {
    state_ = next;
    if (next == State::TimedOut) {
        child_->kill();
        child_.reset();
        remoteReply(ch_, rt::kTimeout);
        sendRemotePrompt(ch_);
    } else if (next == State::Delivered) {
        child_.reset();
        std::string text = programOutputToOem(output_);
        // The memory text takes this job's place in the send slot.
        if (text.empty() || !transfers_.sendMemoryText(ch_, "Run", std::move(text), true)) sendRemotePrompt(ch_);
    }
}

int CRunJob::tick() {
    if (state_ != State::Running) return 0;
    child_->readAvailable(output_, outputLimit_);
    if (child_->ended()) {
        child_->readAvailable(output_, outputLimit_);
        enter(State::Delivered);
        return 0;
    }
    if (now() - startMs_ > limitMs_) {
        enter(State::TimedOut);
        return 0;
    }
    return 1;
}

// ---- //DOS ----

namespace {

std::optional<fs::path> runArea(CTncChannel& ch) {
    const HostContext& ctx = ch.tnc().context();
    if (auto area = configuredArea(ctx.profile, ctx.programDir, "RunDir"))
        return ch.superuser() || ch.receiveFolders().runAreaIsSafe() ? area : std::nullopt;
    if (!ch.superuser()) return std::nullopt;
    std::error_code ec;
    const fs::path dir = fs::canonical(frameDirectory(ctx.profile, "RunDir", ctx.programDir), ec);
    if (!ec && fs::is_directory(dir, ec)) return dir;
    return fs::weakly_canonical(ctx.programDir, ec);
}

// An executable regular file of the run area, by a name typed on the air.
std::optional<fs::path> runFile(const fs::path& area, const std::string& name) {
    if (!isPlainName(name)) return std::nullopt;
    const auto entry = findIgnoringCase(area, name);
    if (!entry) return std::nullopt;
    auto real = realInside(area, *entry);
    std::error_code ec;
    if (!real || !fs::is_regular_file(*real, ec)) return std::nullopt;
    return real;
}

}  // namespace

void RemoteServer::runProgram(CTncChannel& ch, std::string_view argument) {
    const std::string text = oemToUtf8(argument);
    const auto blank = text.find(' ');
    const std::string word = text.substr(0, blank);
    const std::string params = blank == std::string::npos ? std::string() : text.substr(blank + 1);
    const auto area = runArea(ch);

    ChildProcess::Launch launch;
    launch.cwd = currentDir(ch);
    bool viaShell = false;
    std::optional<fs::path> program;
    if (area) program = runFile(*area, word);
    if (area && !program && word.find('.') == std::string::npos) program = runFile(*area, word + ".sh");
    std::optional<fs::path> marker;
    if (area && !program && word.find('.') == std::string::npos) marker = runFile(*area, word + ".int");
    if (program) {
        launch.program = *program;
        launch.argv.push_back(program->filename().string());
    } else if (marker && !ch.superuser()) {
        // A marker lets a normal station use a system command by that name
        // (spelled as the marker is), still without a shell.
        launch.program = marker->stem();
        launch.searchPath = true;
        launch.argv.push_back(marker->stem().string());
    } else if (ch.superuser() && !text.empty()) {
        launch.program = "/bin/sh";
        launch.argv = {"sh", "-c", text};
        viaShell = true;
    } else {
        remoteReply(ch, rt::kRunNotFound);
        sendRemotePrompt(ch);
        return;
    }
    if (!viaShell)
        for (std::string_view arg : splitBlanks(params)) launch.argv.emplace_back(arg);
    if (!ch.superuser()) launch.env = {"PATH=/usr/local/bin:/usr/bin:/bin", "HOME=" + launch.cwd.string(), "LANG=C.UTF-8"};

    remoteReply(ch, rt::kProgramStarted);
    if (ch.job(JobSlot::Send)) {
        remoteReply(ch, rt::kOtherProgram);
        sendRemotePrompt(ch);
        return;
    }
    std::string error;
    auto child = ChildProcess::start(launch, &error);
    if (!child) {
        remoteReply(ch, rt::kCannotStart);
        sendRemotePrompt(ch);
        return;
    }
    ch.setJob(JobSlot::Send, std::make_unique<CRunJob>(ch, transfers_, std::move(child), options_.runLimitMs,
                                                       options_.runOutputLimit));
}

}  // namespace norva
