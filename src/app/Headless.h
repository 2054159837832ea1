// The headless program: norva --headless [--dir DIR]. Runs the engine without
// a display until SIGINT or SIGTERM, then stops every TNC cleanly. Channel
// text goes to standard output; lines typed on standard input go to the
// current channel as the input pane would send them (see usageText()).
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace norva {

class Engine;

// Returns the process exit code.
int runHeadless(int argc, char** argv);

// Typed input of a station without a screen. Each line is one finished line
// of the input pane of the current channel:
//   :ch T/C  (or ":ch T C")  makes channel C of TNC T the current channel
//   \e CMD   (or ESC CMD)    sends CMD to the TNC as a command (upper-cased)
//   ::text                   sends ":text"
//   :send FILE               queues a text file (stamp and end marker per the channel)
//   :sendbin FILE            queues a #BIN# send of a file
//   :send7p FILE             queues a file as 7Plus parts (an error report: its correction)
//   :decode7p FILE           decodes the 7Plus set of a part, or applies a correction
//   :recvbin FILE            receives a #BIN# file into FILE (":recvbin off" ends it)
//   :capture FILE            appends the channel's text to FILE (":capture off" closes it)
//   :queue                   lists the channel's transfers on the error stream
//   :help                    lists these lines on the error stream
//   anything else            is sent as text with CR (echoed per InputEcho)
// A relative FILE lies in the directory the desktop's file chooser for the
// same command starts in. Text is converted from UTF-8 to CP437. Everything
// reaches the channel through engine.post, in the order typed; a line that
// cannot be carried out changes nothing and says why on the error stream.
class HeadlessConsole {
public:
    explicit HeadlessConsole(Engine& engine, std::FILE* err = stderr);
    // One line as typed, UTF-8, without its line end.
    void line(std::string_view utf8);
    // The current channel's slot (1..105).
    int slot() const { return slot_.load(); }

private:
    void choose(std::string_view args);
    void send(std::string oem, int kind);
    // The transfer lines; false when the line is none of them.
    bool transfer(std::string_view word, std::string_view args);
    // ":script NAME" starts a script on the current channel, ":stop" ends it.
    void script(std::string_view name);
    void stopScript();
    // :station CALL, :connect ALIAS.
    void station(bool connect, std::string_view call);
    // :decode7p FILE, run on the engine thread.
    void decodeSevenPlus(std::string_view file);
    void complain(const char* text);

    Engine& engine_;
    std::FILE* err_;
    std::atomic<int> slot_;
};

// Reads lines from a descriptor on a thread of its own and hands each to a
// callback. The end of the input only ends the reading: a station runs on
// after its console is closed.
class LineReader {
public:
    LineReader(int fd, std::function<void(std::string_view)> onLine);
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    void stop();
    // True once the end of the input was read.
    bool finished() const { return finished_.load(); }

private:
    void run();

    int fd_;
    int wakeFd_ = -1;
    std::function<void(std::string_view)> onLine_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

}  // namespace norva
