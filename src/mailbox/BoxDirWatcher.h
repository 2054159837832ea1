// CBoxDirWatcher: the mailbox job of a connection channel. While the
// operator browses a DieBox (or an F6FBB BBS), a listing that arrives soon after
// something was sent (within ten TNC commands) is captured into a directory
// file in DieBoxDir, from its heading to the mailbox prompt, for the
// mailbox reader to open later. The settings learn the file's name
// (LastDirFile) once, when its capture ends: the frames of a listing cost
// no rewrite of the settings file.
#pragma once

#include <memory>
#include <string>

#include "channel/ChannelJob.h"
#include "mailbox/MailboxSettings.h"

namespace norva {

class CTncChannel;
class CTextCaptureJob;

enum class BoxListing { User, Info, Check, Fbb };

class CBoxDirWatcher final : public CChannelJob {
public:
    enum class State { Idle, Armed, Capturing };
    static constexpr int kArmedCommands = 10;

    explicit CBoxDirWatcher(CTncChannel& channel);
    ~CBoxDirWatcher() override;

    int tick() override { return 1; }
    int receive(const ReceiveRecord& record) override;
    void sendHook(const FrameRecord& text) override;

    State state() const { return state_; }
    int armed() const { return armed_; }

private:
    void setState(State next);
    void open(BoxListing kind, std::string_view text, std::size_t at);
    void close();
    void storeLastDirFile();

    bool endsCapture(std::string_view text);

    CTncChannel& channel_;
    MailboxSettings settings_;
    State state_ = State::Idle;
    BoxListing capturing_ = BoxListing::User;  // what the running capture holds
    int armed_ = 0;
    std::unique_ptr<CChannelJob> capture_;
    std::string lastDirFile_;  // the running capture's file, stored when it ends
    std::string lineCarry_;    // the capture's unfinished last line
};

// The directory file name a listing is stored under: the first word after
// the heading's first blank (blanks removed) + ".b01", "checks.b01" for the
// check list. A word that is no plain name gives "box.b01". FBB's heading
// names no board: its listing is named after the BBS, the call the channel
// is connected to ("DB0FBB.b01"; "fbb.b01" when that is no call).
std::string boxListingName(BoxListing kind, std::string_view fromHeading);
std::string fbbListingName(std::string_view bbsCall);

}  // namespace norva
