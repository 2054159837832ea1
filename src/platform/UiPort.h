// The core's only way to the user interface. The Qt program queues each call
// onto its GUI thread; the headless program prints. Texts are UTF-8 unless a
// parameter says it carries on-air (CP437) bytes.
#pragma once

#include <string>
#include <string_view>

namespace norva {

// Fields of the status bar that follow the channel of the active window.
enum class StatusField { TncChannel, DefaultNode, LinkState, Counters, Buffers, Qrg, Clock, Date };

class UiPort {
public:
    virtual ~UiPort() = default;

    // The message field of the status bar (empty clears it).
    virtual void statusMessage(std::string_view text) = 0;
    // An information box the operator must see; does not wait for an answer.
    virtual void messageBox(std::string_view caption, std::string_view text) = 0;
    // A yes/no question with an optional check box. Blocks until answered;
    // *checked carries the check box state in and out (ignored when null).
    // Returns true for OK.
    virtual bool ask(std::string_view caption, std::string_view text,
                     std::string_view checkboxText, bool* checked) = 0;
    // Appends on-air bytes (CP437) to the output pane of a channel slot in a
    // colour class; opens the channel window first when none is open.
    virtual void appendText(int slot, int colourClass, std::string_view oemBytes) = 0;
    // The title of a channel's window (UTF-8).
    virtual void windowTitle(int slot, std::string_view title) = 0;
    // Moves a channel's output pane back to the end of its text.
    virtual void jumpToEnd(int slot) = 0;

    // One field of the status bar; sent only when its text changed.
    virtual void statusField(StatusField, std::string_view) {}
    // The label of a channel's button in the channel bar.
    virtual void channelButton(int /*slot*/, std::string_view /*label*/) {}
    // A sound event by its name ("connected to...", "Klingel", ...); the user
    // interface plays its file, or beeps when asked and sounds are off.
    virtual void playSound(std::string_view /*event*/, bool /*beepWhenOff*/) {}
    // The "Verbindung wurde erstellt" notice for an incoming connect on a slot.
    virtual void connectNotice(int /*slot*/) {}
    // A #BIN# header arrived on a slot whose file name cannot be used as it
    // is: the operator is asked to start the reception into a file of their
    // choice; the sender waits meanwhile.
    virtual void askBinaryReceive(int /*slot*/) {}
    // Text for the operator to send, put into a slot's input pane where the
    // editor inserts text (CP437 bytes, CR as line break); nothing is sent.
    virtual void insertInput(int /*slot*/, std::string_view /*oemBytes*/) {}
    // Another program (the desktop, a second start) asks to open a station
    // file: the path as given, not yet checked.
    virtual void openStationFile(std::string_view /*path*/) {}
};

// A UiPort that forgets everything: for engines nobody watches.
class NullUiPort : public UiPort {
public:
    void statusMessage(std::string_view) override {}
    void messageBox(std::string_view, std::string_view) override {}
    bool ask(std::string_view, std::string_view, std::string_view, bool*) override { return true; }
    void appendText(int, int, std::string_view) override {}
    void windowTitle(int, std::string_view) override {}
    void jumpToEnd(int) override {}
};

}  // namespace norva
