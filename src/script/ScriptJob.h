// CScriptJob: a script running in a channel's Script slot. It runs lines on
// the channel's ticks (a bounded number per tick), pauses while it waits for
// text, for a transfer or for the operator, and ends when its text runs
// out, its stop text arrives or it breaks a rule. Received records reach it
// through the channel's dispatch.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "channel/ChannelJob.h"
#include "script/ScriptFile.h"

namespace norva {

class DetachedPrograms;

class CTncChannel;

// The operator side of MSGBOX. The engine must not block on a dialog: the
// box is shown and the script waits until the user interface reports it
// closed (scriptOperatorDone). Without one, the box goes to UiPort and the
// script goes on at once.
class ScriptOperator {
public:
    virtual ~ScriptOperator() = default;
    virtual void showMessage(int slot, std::string_view text) = 0;
};

// Lines run on one tick; the rest run on the following ticks.
inline constexpr int kScriptLinesPerTick = 100;
// Lines run one after another without the script ever pausing: beyond this
// a script is looping on its own and is stopped.
inline constexpr int kScriptLinesWithoutPause = 10000;
// Scripts calling scripts: at most this many stacked.
inline constexpr int kScriptMaxNesting = 8;

class CScriptJob final : public CChannelJob {
public:
    enum class State { Running, WaitingText, WaitingTransfer, WaitingOperator, Calling, Ended };

    // A script parsed and checked; use loadScript/startScript to get one.
    CScriptJob(CTncChannel& channel, std::filesystem::path path, std::vector<ScriptLine> lines,
               ScriptOperator* op = nullptr, std::vector<std::filesystem::path> callers = {});
    ~CScriptJob() override;
    CScriptJob(const CScriptJob&) = delete;
    CScriptJob& operator=(const CScriptJob&) = delete;

    int tick() override;
    int receive(const ReceiveRecord& record) override;
    std::string captionName() const override { return displayName_; }

    State state() const { return state_; }
    static std::string_view stateName(State s);
    // The innermost running script (this one, or the deepest called one).
    CScriptJob& innermost();
    // The operator closed the box of MSGBOX.
    void operatorDone();
    const std::filesystem::path& path() const { return path_; }
    const std::string& waitText() const { return waitText_; }
    const std::string& stopText() const { return stopText_; }
    bool echo() const { return echo_; }

private:
    void setState(State next, std::string_view why = {});
    bool pausedByChannel();
    int runLines();
    void execute(const ScriptLine& line);
    void runCommand(const ScriptLine& line);
    void textLine(const ScriptLine& line);
    void tncLine(const ScriptLine& line);
    void waitFor(const std::string& text);
    void startTransfer(const ScriptLine& line, bool binary);
    void sendAllFiles();
    void restart();
    void call(const ScriptLine& line);
    void run(const std::string& commandLine);
    DetachedPrograms& programs() const;
    void messageBox(const std::string& text);
    void notice(std::string_view text);
    void fail(int line, std::string_view message);

    CTncChannel& channel_;
    std::filesystem::path path_;
    std::string displayName_;
    std::vector<ScriptLine> lines_;
    std::size_t next_ = 0;  // index of the next line to run
    ScriptOperator* operator_;
    std::vector<std::filesystem::path> callers_;  // the scripts above this one, outermost first
    std::unique_ptr<CScriptJob> child_;
    State state_ = State::Running;
    std::string waitText_;
    std::string stopText_;
    std::string boxPrompt_;
    // Received text kept so that a wait or stop text split over two
    // records is still found; bounded by the text's length.
    std::string waitCarry_;
    std::string stopCarry_;
    std::string boxLine_;
    bool stopped_ = false;
    bool echo_ = true;
    bool skipNextWait_ = false;
    bool sendAllWait_ = false;
    int linesWithoutPause_ = 0;
};

// Reads, parses and checks a script file; null and *error when it cannot run.
std::unique_ptr<CScriptJob> loadScript(CTncChannel& channel, const std::filesystem::path& path,
                                       ScriptError* error, ScriptOperator* op = nullptr,
                                       std::vector<std::filesystem::path> callers = {});

}  // namespace norva
