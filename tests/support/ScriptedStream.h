// Test doubles for the TNC link: a byte stream whose replies come from a
// script or a small host-mode responder, and a UiPort that records.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ByteStream.h"
#include "platform/Clock.h"
#include "platform/UiPort.h"

namespace norva::test {

// Shared between the test and the streams it hands out (a port may reopen).
struct StreamState {
    explicit StreamState(ManualClock& c) : clock(c) {}
    ManualClock& clock;
    std::vector<std::string> writes;     // every write call, in order
    std::string pending;                 // bytes the host can read
    std::size_t fragment = 0;            // at most this many bytes per read (0: all)
    std::deque<std::size_t> readSizes;   // limits of the next reads that return bytes
    bool broken = false;
    bool failOpen = false;
    int opens = 0;
    int closes = 0;
    std::vector<std::string> openedNames;
    // Answers a write with bytes to read back; null: no answer.
    std::function<std::string(const std::string& written)> responder;

    // Frames written as strings without their 3-byte head, for commands.
    std::vector<std::string> commands() const;
};

class ScriptedStream : public ByteStream {
public:
    explicit ScriptedStream(std::shared_ptr<StreamState> s) : s_(std::move(s)) {}
    ~ScriptedStream() override { ++s_->closes; }

    int read(std::span<std::uint8_t> buf) override;
    int write(std::span<const std::uint8_t> data) override;
    bool waitReadable(int timeoutMs) override;
    bool broken() const override { return s_->broken; }

private:
    std::shared_ptr<StreamState> s_;
};

// Host-mode reply bytes.
std::string reply(int channel, int code, std::string_view text = {});
std::string counted(int channel, int code, std::string_view payload);
// A host-mode frame as Norva writes it.
std::string frame(int channel, bool command, std::string_view data);

// A well-behaved TNC: answers every complete host frame; single bytes are
// gathered until they form one. Hooks let a test change single answers.
struct FakeFirmware {
    int channels = 10;
    bool extendedPoll = true;
    bool silent = false;
    bool terminalMode = false;                      // until ESC "jhost 1" CR
    std::string terminalLine;
    std::string extendedList;                       // next extended-poll answer (empty: code 0)
    std::function<std::string(int, std::string_view)> onCommand;  // overrides when it returns non-empty
    std::string partial;

    std::string respond(const std::string& written);
};

struct RecordingUi : UiPort {
    std::vector<std::string> status;
    std::vector<std::pair<std::string, std::string>> boxes;
    std::vector<std::tuple<int, int, std::string>> texts;
    std::vector<std::pair<int, std::string>> titles;
    std::vector<int> jumps;
    bool answer = true;

    void statusMessage(std::string_view t) override { status.emplace_back(t); }
    void messageBox(std::string_view c, std::string_view t) override { boxes.emplace_back(c, t); }
    bool ask(std::string_view c, std::string_view t, std::string_view, bool*) override {
        boxes.emplace_back(c, t);
        return answer;
    }
    void appendText(int slot, int cls, std::string_view b) override { texts.emplace_back(slot, cls, b); }
    void windowTitle(int slot, std::string_view t) override { titles.emplace_back(slot, t); }
    void jumpToEnd(int slot) override { jumps.push_back(slot); }
};

}  // namespace norva::test
