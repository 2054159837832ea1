// CPrewrite: the model of a channel window's input pane. Typed characters go
// into the pane's text window (insert mode, word wrap by default); every line
// that gets finished (Enter, word wrap, a CR in pasted text) is converted to
// on-air bytes (CP437) and handed to the InputSink: text lines with CR, kind 0,
// echoed per InputEcho; command lines (started with Esc, shown as "* ") without
// CR, kind 1, never echoed. The Qt view owns the model, paints its text window
// and forwards keys, characters, mouse and menu commands to it.
#pragma once

// std
#include <string>
#include <string_view>
#include <vector>

// Norva
#include "terminal/TextWindow.h"

namespace norva {

// Where finished lines go: the channel's output sink in mode 0.
class InputSink {
public:
    virtual ~InputSink() = default;
    // kind 0: connected-mode text ending in CR; kind 1: a TNC command still
    // carrying its "* " prefix (the channel drops the first two characters).
    virtual void sendLine(std::string_view oemBytes, int kind, bool echo) = 0;
};

// What the input pane asks and tells the rest of the program.
class InputEvents {
public:
    virtual ~InputEvents() = default;
    // The channel's MessageBeep setting (false when the channel does not exist).
    virtual bool messageBeep(int slot) const = 0;
    virtual void playSound(int slot, std::string_view event) = 0;
    // The pane got the focus: the channel's review deadline stops running.
    virtual void noLongerUnderReview(int slot) = 0;
    // The pane got the focus: the slot becomes TopLink, the channel bar shows it.
    virtual void becameTopLink(int slot) = 0;
};

// The channel keys of the pane (section Link<slot>); reading and writing them
// is up to whoever creates the pane.
struct PrewriteSettings {
    bool insert = true;          // Insert
    bool wordBreak = true;       // WordBreak
    bool inputEcho = false;      // InputEcho
    bool inputScrollbar = true;  // InputScrollbar
};

class CPrewrite {
public:
    static constexpr int kTextClass = 0;
    static constexpr int kCommandClass = 1;
    static constexpr int kTextKind = 0;
    static constexpr int kCommandKind = 1;
    static constexpr std::string_view kBellSound = "Klingel";

    // rows/columns: PreRows/PreCols.
    CPrewrite(int slot, int rows, int columns, InputSink& sink, InputEvents& events,
              PrewriteSettings settings = {});

    int slot() const { return slot_; }
    CTextWindow& window() { return window_; }
    const CTextWindow& window() const { return window_; }

    const PrewriteSettings& settings() const { return settings_; }
    void setInsert(bool on);
    void toggleInsert() { setInsert(!settings_.insert); }
    // "INS" in insert mode, "OVR" in overwrite mode.
    std::string_view insertIndicator() const { return settings_.insert ? "INS" : "OVR"; }
    void setWordBreak(bool on);
    void setInputEcho(bool on) { settings_.inputEcho = on; }
    void setInputScrollbar(bool on) { settings_.inputScrollbar = on; }

    // One typed character (Enter is CR 13, Backspace 8, Esc 27).
    void typeChar(char32_t ch);
    // Clipboard text appended in class 0; CR, CR LF and LF end lines, and every
    // line finished that way is sent at once, in order. The unfinished rest
    // stays in the pane.
    void paste(std::string_view utf8);

    // Channel commands: "* C <call>", "* D", "* PWD" as a finished command line.
    void connectCommand(std::string_view call);
    void disconnectCommand();
    void passwordCommand();
    // A line built by "Connect <...>" or "Read <...>" (UTF-8, CR added when
    // missing, cut at its first line end): shown on a line of its own and sent
    // once as text, echoed per InputEcho.
    void insertAndSend(std::string_view lineUtf8);
    // Text the program prepared for the operator (a password answer): CR
    // starts a line of its own (a line being typed is pushed up unsent); the
    // rest is appended where typing goes on. Nothing is sent: Enter does that.
    void insertUnsent(std::string_view utf8);

    void focusIn();
    void focusOut() { focus_ = false; }
    bool hasFocus() const { return focus_; }

    // Caret keys (Insert is toggleInsert()), mouse, scrolling, copy, clear.
    void key(CaretKey key, bool shift, bool ctrl) { window_.key(key, shift, ctrl); }
    void mousePress(int row, int column) { window_.mousePress(row, column); }
    void mouseMove(int row, int column) { window_.mouseMove(row, column); }
    void mouseRelease(int row, int column) { window_.mouseRelease(row, column); }
    void scrollLines(int n) { window_.scrollLines(n); }
    void scrollPages(int n) { window_.scrollPages(n); }
    void scrollTo(int position) { window_.scrollTo(position); }
    std::string copySelection() const { return window_.copySelection(); }
    void clear() { window_.clear(); }

private:
    void sendFinished();
    void sendText(std::u32string_view text, int colourClass);
    void startOwnLine();
    void writeCommand(std::u32string_view command);

    int slot_;
    InputSink& sink_;
    InputEvents& events_;
    PrewriteSettings settings_;
    CTextWindow window_;
    bool focus_ = false;
};

}  // namespace norva
