// A simulated WA8DED/TF host-mode TNC, the firmware side. It is pure: bytes
// and the current time go in, reply bytes come out, nothing runs on its own.
// The servers (PtyServer, TcpServer) drive it from a thread under the radio's
// mutex; unit tests drive it directly with made-up times.
#pragma once

// std
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

// tncsim
#include "tncsim/HostFrame.h"
#include "tncsim/SimConfig.h"

namespace tncsim {

class Radio;

enum class TncMode { Terminal, Host };

// Link states as the "L" command reports them (sixth field).
enum LinkState : int {
    kDisconnected = 0,
    kLinkSetup = 1,
    kFrameReject = 2,
    kDiscInProgress = 3,
    kInfoTransfer = 4,
};

// One host frame as it arrived, for test assertions.
struct LoggedFrame {
    std::uint8_t channel = 0;
    std::uint8_t code = 0;
    std::string data;
};

// Connected info of a channel, one way, from a position on.
struct ChannelText {
    std::uint64_t end = 0;  // position after the last byte received so far
    std::string text;
};

struct SimCounters {
    std::uint64_t framesHandled = 0;   // host frames processed (answered or reply dropped)
    std::uint64_t framesIgnored = 0;   // host frames read while silent
    std::uint64_t repliesWritten = 0;  // replies queued for output (garbled and cut ones too)
    std::uint64_t repliesDropped = 0;  // replies swallowed by dropReplies()
    std::uint64_t terminalBytes = 0;   // bytes received in terminal mode
    std::uint64_t hostModeEntries = 0; // switches from terminal into host mode
};

class SimTnc {
public:
    // Only a Radio creates TNCs (Radio::addTnc); the key keeps it that way.
    class Key {
        friend class Radio;
        Key() = default;
    };
    SimTnc(Key, Radio& radio, TncConfig config);
    SimTnc(const SimTnc&) = delete;
    SimTnc& operator=(const SimTnc&) = delete;
    ~SimTnc();

    // --- byte interface -------------------------------------------------
    // Processes bytes from the host at nowMs and returns the output due by then.
    std::string feed(std::string_view bytes, std::uint64_t nowMs);
    // Runs timers up to nowMs and returns the output due by then.
    std::string advance(std::uint64_t nowMs);
    // The same in separate steps; takeOutput returns the pieces as they are
    // to be written (one write each, so fragmented replies stay fragmented).
    void receive(std::string_view bytes, std::uint64_t nowMs);
    void tick(std::uint64_t nowMs);
    std::vector<std::string> takeOutput(std::uint64_t nowMs);
    // When output or a paced frame becomes due; nothing while idle.
    std::optional<std::uint64_t> nextWakeMs() const;

    // --- state ------------------------------------------------------------
    TncMode mode() const;
    bool framePartial() const { return parser_.partial(); }
    std::size_t frameMissing() const { return parser_.missing(); }
    const TncConfig& config() const { return config_; }
    int channels() const { return config_.channels; }
    Radio& radio() { return radio_; }
    std::string baseCall() const { return config_.call; }
    std::string channelCall(int channel) const;  // own call of a channel ("I")
    int linkState(int channel) const;
    std::string peerCall(int channel) const;     // empty while no link
    std::size_t pendingItems(int channel) const;
    std::size_t unsentFrames(int channel) const;
    int unackedFrames(int channel) const;
    bool monitorOn() const { return !monitorFlags_.empty(); }
    int freeBuffers() const;

    // --- test hooks (call under the radio's mutex when a server runs) -------
    void queueConnectedData(int channel, std::string_view bytes);
    void queueLinkStatus(int channel, std::string_view text);
    void queueMonitor(std::string_view header, std::string_view info);

    // --- fault injection (thread-safe) --------------------------------------
    void dropReplies(int count);            // process the next frames, write no reply
    void garbleNextReply();                 // random bytes of the same length
    void cutNextReply(std::size_t keepBytes);  // only the first bytes of the next reply
    void fallBackToTerminal();              // as after a reset; takes effect at the next byte
    void setReplyDelay(std::uint32_t ms);   // every reply leaves this much later
    void setSilent(bool silent);            // read frames, answer nothing
    void clearFaults();

    // --- observation (thread-safe) -------------------------------------------
    std::vector<LoggedFrame> frameLog() const;
    std::string terminalLog() const;  // raw bytes received in terminal mode
    SimCounters counters() const;
    void clearLogs();
    // Connected info that reached the channel from the air (what "G" hands
    // the host as code 7), and the info frames the host gave it to send,
    // from position `from` on. Positions count every byte of that way, so a
    // test marks where it stood and waits for what comes after. The newest
    // bytes are kept (at least half of channelLogLimit, at most all of it);
    // clearLogs() keeps them too. The command log (frameLog) holds polls as
    // well and soon forgets a long session.
    ChannelText receivedSince(int channel, std::uint64_t from = 0) const;
    ChannelText sentSince(int channel, std::uint64_t from = 0) const;

    // Optional event trace (mode and link changes, frames); for the program's --verbose.
    void setTrace(std::function<void(std::string_view)> trace) { trace_ = std::move(trace); }

private:
    friend class Radio;

    struct Item {
        std::uint8_t code = 0;  // 3, 4, 5, 6 or 7
        std::string data;
    };
    struct Channel {
        std::string call;  // own call; empty: the TNC's base call
        int state = kDisconnected;
        std::string peer;
        std::uint64_t linkId = 0;
        std::deque<Item> pending;
        std::deque<std::string> unsent;
        int unacked = 0;
        bool disconnectWhenSent = false;  // a "D" waits for the queued info (sendBeforeDisconnect)
        std::map<std::string, std::string> params;  // values of accepted parameter commands
    };
    struct Chunk {
        std::uint64_t due = 0;
        std::string bytes;
    };
    struct TextLog {
        std::string bytes;
        std::uint64_t dropped = 0;  // bytes forgotten before bytes[0]
    };
    struct Faults {
        int drop = 0;
        bool garble = false;
        std::optional<std::size_t> cut;
        bool reset = false;
        std::uint32_t delayMs = 0;
        bool silent = false;
    };

    // Input path (SimTnc.cpp).
    void applyPendingReset();
    void processInput(std::uint64_t nowMs);
    void handleFrame(const HostFrame& frame, std::uint64_t atMs);
    void emitReply(std::string reply, std::uint64_t atMs);
    void emitTerminal(std::string_view text, std::uint64_t atMs);
    void setMode(TncMode mode);
    void log(const HostFrame& frame);
    void trace(std::string_view text) const;

    // Terminal mode (SimTncTerminal.cpp).
    void terminalByte(std::uint8_t byte, std::uint64_t nowMs);
    std::string terminalCommand(std::string_view line);

    // Host-mode commands (SimTncCommands.cpp).
    std::string processFrame(const HostFrame& frame, bool& leaveHostMode);
    std::string extendedPoll(const HostFrame& frame);
    std::string infoFrame(int channel, std::string_view data);
    std::string command(int channel, std::string_view text, bool& leaveHostMode);
    std::string cmdGet(int channel);
    std::string cmdLinkStatus(int channel);
    std::string cmdAt(int channel, std::string_view text);
    std::string cmdIdent(int channel, std::string_view arg);
    std::string cmdConnect(int channel, std::string_view arg);
    std::string cmdDisconnect(int channel);
    std::string cmdMonitor(int channel, std::string_view arg);
    std::string cmdJhost(int channel, std::string_view text, bool& leaveHostMode);
    std::string cmdParameter(int channel, std::string_view name, std::string_view arg);

    // Used by the radio.
    Channel* channel(int number);
    const Channel* channel(int number) const;
    void setLinkState(int channel, int state);
    void pushItem(int channel, std::uint8_t code, std::string data);
    void note(std::vector<TextLog>& logs, int channel, std::string_view data);
    ChannelText textSince(const std::vector<TextLog>& logs, int channel, std::uint64_t from) const;
    bool monitorShows(char kind) const;

    Radio& radio_;
    TncConfig config_;
    TncMode mode_ = TncMode::Terminal;
    std::vector<Channel> channels_;  // 0..channels
    std::string monitorFlags_;       // empty: monitor off
    std::string unprotoDest_ = "CQ";

    std::string input_;              // bytes not yet processed
    std::size_t inputPos_ = 0;
    HostFrameParser parser_;
    std::optional<HostFrame> ready_;  // complete frame waiting for its main-loop pass
    std::uint64_t readyAt_ = 0;
    std::uint64_t nextPassMs_ = 0;

    std::string termLine_;
    bool termCommand_ = false;

    std::deque<Chunk> output_;
    std::mt19937 rng_;
    std::function<void(std::string_view)> trace_;

    mutable std::mutex sideMutex_;  // guards the members below
    Faults faults_;
    std::deque<LoggedFrame> frameLog_;
    std::string terminalLog_;
    std::vector<TextLog> received_;  // by channel
    std::vector<TextLog> sent_;      // by channel
    SimCounters counters_;
};

}  // namespace tncsim
