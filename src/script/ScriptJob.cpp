// CScriptJob: the state machine of a running script.
#include "script/ScriptJob.h"

#include <sys/wait.h>

#include <utility>

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UiPort.h"

namespace norva {
namespace {

constexpr std::string_view kStoppedByCondition = "\rScript stoped by Condition ";
constexpr std::size_t kBoxLineLimit = 256;

// Keeps the last n bytes: enough to find a text of n+1 bytes that starts here.
void keepTail(std::string& s, std::size_t n) {
    if (s.size() > n) s.erase(0, s.size() - n);
}

}  // namespace

CScriptJob::CScriptJob(CTncChannel& channel, std::filesystem::path path, std::vector<ScriptLine> lines,
                       ScriptOperator* op, std::vector<std::filesystem::path> callers)
    : channel_(channel),
      path_(std::move(path)),
      lines_(std::move(lines)),
      operator_(op),
      callers_(std::move(callers)) {
    displayName_ = scriptUpper(path_.filename().string());
    if (displayName_.size() < 12) displayName_.resize(12, ' ');
    if (channel_.settings().messageBeep) channel_.ui().playSound("Script starten", false);
    setState(State::Running, "start");
}

CScriptJob::~CScriptJob() {
    child_.reset();
    if (channel_.settings().messageBeep) channel_.ui().playSound("Script beenden", false);
}

std::string_view CScriptJob::stateName(State s) {
    switch (s) {
        case State::Running: return "running";
        case State::WaitingText: return "waiting for text";
        case State::WaitingTransfer: return "waiting for a transfer";
        case State::WaitingOperator: return "waiting for the operator";
        case State::Calling: return "calling";
        case State::Ended: return "ended";
    }
    return "?";
}

void CScriptJob::setState(State next, std::string_view why) {
    const State before = state_;
    state_ = next;
    // A wait that ended is a pause: the script is not looping on its own.
    if (next == State::Running && before != State::Running) linesWithoutPause_ = 0;
    const auto& trace = channel_.tnc().context().trace;
    if (!trace) return;
    std::string line = "script " + std::to_string(channel_.slot()) + " " + path_.filename().string() + ": " +
                       std::string(stateName(before)) + " -> " + std::string(stateName(next));
    if (!why.empty()) line += " (" + std::string(why) + ")";
    trace(line);
}

CScriptJob& CScriptJob::innermost() { return child_ ? child_->innermost() : *this; }

void CScriptJob::operatorDone() {
    if (state_ == State::WaitingOperator) setState(State::Running, "box closed");
}

void CScriptJob::notice(std::string_view text) { channel_.show(text, kClassTncEcho); }

void CScriptJob::fail(int line, std::string_view message) {
    const ScriptError error{path_.filename().string(), line, std::string(message)};
    notice("\r" + error.text() + "\r");
    setState(State::Ended, message);
}

int CScriptJob::tick() {
    if (state_ == State::Ended) return 0;
    if (child_) {
        // While a called script runs, this one does nothing, not even its stop text.
        if (child_->tick() == 0) {
            child_.reset();
            setState(State::Running, "call ended");
        }
        return 1;
    }
    return runLines();
}

// True while the channel holds the script back (a transfer, a full TNC).
bool CScriptJob::pausedByChannel() {
    if (sendAllWait_) {
        CTransferQueue& queue = channel_.transferQueue();
        if (!queue.empty() && !queue.paused()) return true;
        sendAllWait_ = false;
    }
    if (channel_.job(JobSlot::Send) || channel_.receivingFile()) return true;
    if (state_ == State::WaitingTransfer) setState(State::Running, "transfer ended");
    return !channel_.linkState().maySend();
}

int CScriptJob::runLines() {
    for (int i = 0; i < kScriptLinesPerTick; ++i) {
        if (stopped_) {
            if (echo_) notice(std::string(kStoppedByCondition) + stopText_ + "\r");
            setState(State::Ended, "stop text");
            return 0;
        }
        if (state_ == State::Ended) return 0;
        if (state_ == State::WaitingOperator || state_ == State::WaitingText || child_) return 1;
        if (pausedByChannel()) return 1;
        if (next_ >= lines_.size()) {
            setState(State::Ended, "end of text");
            return 0;
        }
        const ScriptLine line = lines_[next_++];
        if (++linesWithoutPause_ > kScriptLinesWithoutPause) {
            fail(line.number, kErrNoPause);
            return 0;
        }
        if (echo_) notice("\r" + line.raw);
        execute(line);
    }
    return state_ == State::Ended ? 0 : 1;
}

void CScriptJob::execute(const ScriptLine& line) {
    switch (line.kind) {
        case LineKind::Ignored: return;
        case LineKind::Text: textLine(line); return;
        case LineKind::Command: runCommand(line); return;
    }
}

// A connect to the station the channel is already connected to is a hop
// already made: not sent, and the wait for its answer is skipped.
void CScriptJob::textLine(const ScriptLine& line) {
    const CLinkState& link = channel_.linkState();
    const std::string upper = scriptUpper(line.raw);
    auto names = [&](const std::string& call) { return !call.empty() && upper.find(call) != std::string::npos; };
    if (upper.front() == 'C' && (names(link.destCall()) || names(link.aliasDestCall()))) {
        skipNextWait_ = true;
        return;
    }
    channel_.textOut(line.raw + "\r", kKindInfo, false);
}

void CScriptJob::tncLine(const ScriptLine& line) {
    if (!line.word.empty() && line.word.front() == 'C' && channel_.linkState().linkStateValue() != 0) {
        skipNextWait_ = true;
        return;
    }
    // From the marker on: text out drops the marker's two characters.
    channel_.textOut(std::string_view(line.raw).substr(line.marker), kKindCommand, false);
}

void CScriptJob::waitFor(const std::string& text) {
    if (skipNextWait_) {
        skipNextWait_ = false;
        return;
    }
    waitText_ = text;
    waitCarry_.clear();
    setState(State::WaitingText, text);
}

void CScriptJob::runCommand(const ScriptLine& line) {
    const std::string& arg = line.argument;
    switch (line.command) {
        case ScriptCommand::None:
        case ScriptCommand::Rem: return;
        case ScriptCommand::Tnc: tncLine(line); return;
        case ScriptCommand::Logon:
            if (channel_.linkState().linkStateValue() != 0)
                skipNextWait_ = true;
            else
                channel_.textOut("* C " + channel_.linkState().defaultNode(), kKindCommand, true);
            return;
        case ScriptCommand::Logoff: channel_.textOut("* D", kKindCommand, true); return;
        case ScriptCommand::WaitFor: waitFor(arg); return;
        case ScriptCommand::StopOn:
            stopText_ = arg;
            stopCarry_.clear();
            return;
        case ScriptCommand::Send: startTransfer(line, false); return;
        case ScriptCommand::SendBin: startTransfer(line, true); return;
        case ScriptCommand::SendAllFiles: sendAllFiles(); return;
        case ScriptCommand::Beep:
            if (channel_.settings().messageBeep) channel_.ui().playSound("Klingel", true);
            return;
        case ScriptCommand::WaitForBoxPrompt:
            boxPrompt_ = scriptUpper(channel_.tnc().context().profile.getString("DieBox", "DirBoxPrompt", "()de>"));
            boxLine_.clear();
            if (!boxPrompt_.empty()) setState(State::WaitingText, "box prompt");
            return;
        case ScriptCommand::Restart: restart(); return;
        case ScriptCommand::Call: call(line); return;
        case ScriptCommand::Run: run(arg); return;
        case ScriptCommand::MsgBox: messageBox(arg); return;
        case ScriptCommand::Print: channel_.show(arg + "\r", kClassInputEcho); return;
        case ScriptCommand::Echo: echo_ = arg != "OFF"; return;
    }
}

int CScriptJob::receive(const ReceiveRecord& record) {
    if (child_) return child_->receive(record);
    if (state_ == State::Ended) return 1;
    const std::string text = scriptUpper(record.text());
    if (text.empty()) return 1;
    if (!stopText_.empty()) {
        std::string seen = stopCarry_ + text;
        if (seen.find(stopText_) != std::string::npos) {
            stopped_ = true;
            return 1;
        }
        keepTail(seen, stopText_.size() - 1);
        stopCarry_ = std::move(seen);
    }
    if (channel_.job(JobSlot::Send) || channel_.receivingFile()) return 1;
    if (!waitText_.empty()) {
        std::string seen = waitCarry_ + text;
        if (seen.find(waitText_) != std::string::npos) {
            waitText_.clear();
            waitCarry_.clear();
            setState(State::Running, "text arrived");
            return 1;
        }
        keepTail(seen, waitText_.size() - 1);
        waitCarry_ = std::move(seen);
    } else if (!boxPrompt_.empty()) {
        // The prompt is the last line; a line may come in two records.
        boxLine_ += text;
        const std::size_t end = boxLine_.find_last_of("\r\n");
        if (end != std::string::npos) boxLine_.erase(0, end + 1);
        keepTail(boxLine_, kBoxLineLimit);
        if (hasCharsInOrder(boxLine_, boxPrompt_)) {
            boxPrompt_.clear();
            boxLine_.clear();
            setState(State::Running, "box prompt arrived");
        }
    }
    return 1;
}

}  // namespace norva
