// A UiPort without a display. Every channel's text goes to standard output
// as "#slot [tnc/channel] class: text" lines in UTF-8 (a line is printed when
// its CR arrives); sounds, notices, status and messages go to standard error.
// Window titles, status bar fields and channel buttons are the desktop's
// bookkeeping: they are printed ("title", "bar", "button" lines) only when
// verbose. Every printed line is one line of printable UTF-8, whatever came
// from the air, so a journal or a terminal shows it as it is. Questions are
// answered with OK; a #BIN# file that needs a name tells the console line to use.
#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "platform/UiPort.h"

namespace norva {

class HeadlessUi : public UiPort {
public:
    // Verbose by default: the test rigs read the bookkeeping lines; the
    // program asks for them with --verbose only.
    explicit HeadlessUi(std::FILE* out = stdout, std::FILE* err = stderr, bool verbose = true)
        : out_(out), err_(err), verbose_(verbose) {}

    void statusMessage(std::string_view text) override;
    void messageBox(std::string_view caption, std::string_view text) override;
    bool ask(std::string_view caption, std::string_view text, std::string_view checkboxText,
             bool* checked) override;
    void appendText(int slot, int colourClass, std::string_view oemBytes) override;
    void windowTitle(int slot, std::string_view title) override;
    void jumpToEnd(int) override {}
    void statusField(StatusField field, std::string_view text) override;
    void channelButton(int slot, std::string_view label) override;
    void playSound(std::string_view event, bool beepWhenOff) override;
    void connectNotice(int slot) override;
    // No file chooser here: the operator is told which console lines receive it.
    void askBinaryReceive(int slot) override;
    // No input pane: the line to send is shown; the operator types it.
    void insertInput(int slot, std::string_view oemBytes) override;
    void openStationFile(std::string_view path) override;

private:
    // Text of a slot is gathered until a line ends, so a line split across
    // frames prints as one.
    void emitLine(int slot, int colourClass, const std::string& utf8);
    void note(const std::string& text);

    std::mutex mutex_;
    std::FILE* out_;
    std::FILE* err_;
    const bool verbose_;
    std::map<int, std::pair<int, std::string>> pending_;
};

}  // namespace norva
