// CTncChannel: one host-mode channel of a TNC, the meeting point of the
// program. The poll engine feeds it replies (receive entry) and asks it to
// poll; it shows received text through its output sink, offers it to the
// link state and to the jobs in its twelve slots in a fixed order, and sends
// text and commands (text out, the send operation, cut into Packlen pieces).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "channel/ChannelJob.h"
#include "channel/ChannelSettings.h"
#include "channel/LinkState.h"
#include "channel/OutputSink.h"
#include "channel/ReceiveRecord.h"
#include "channel/TransferQueue.h"
#include "hostmode/FrameRecord.h"
#include "hostmode/HostChannel.h"

namespace norva {

class CTnc;
class ChannelDdeObject;
class ChannelRegistry;
class ReceiveFolders;
class UiPort;

// Colour classes the channel itself writes in.
inline constexpr int kClassTncEcho = 2;    // program notices
inline constexpr int kClassInputEcho = 3;  // text the station itself sent

class CTncChannel final : public HostChannel {
public:
    // Registers in the channel table, reads the Link<slot> settings and
    // creates the standing jobs.
    CTncChannel(CTnc& tnc, int number, ChannelRegistry& registry, ReceiveFolders& receiveFolders);
    // Writes the settings back, destroys the jobs, leaves the channel table.
    ~CTncChannel() override;
    CTncChannel(const CTncChannel&) = delete;
    CTncChannel& operator=(const CTncChannel&) = delete;

    // ---- from the poll engine ----
    // Every reply for this channel arrives here.
    int receiveEntry(int kind, std::string_view data) override;
    // Shows the receive record's text (unless a file is being received) and empties it.
    void flushToOutput();
    // One channel poll; true when the TNC is out of sync afterwards.
    bool poll(PollMode mode) override;
    void initialiseLink() override { linkState_.initialise(); }
    // Cuts the data into Packlen pieces; each is sent and its reply read.
    // A command may be a local one (PACKLEN, PWD) that never reaches the TNC.
    void sendOperation(const FrameRecord& frame);
    // A protocol line (#OK#, a #BIN# header, a report): it must begin a
    // line at the other end, which reads whole lines, so a CR goes first
    // when the last text sent on the channel did not end in one.
    void sendLine(std::string_view line);
    // One command frame and its reply (status commands, "i").
    // False when the reply did not come.
    bool sendCommandAndReceive(std::string_view command);
    // Runs the jobs (start of every channel poll; channel 0 runs none).
    void tick();
    // Offers the receive record to the link state and the jobs.
    void dispatch();

    // ---- sending ----
    // Everything the user or the program sends on the channel. kind 1 is a
    // command that still carries the two characters of its input prefix.
    void textOut(std::string_view text, int kind, bool echo);
    // Shows text in the channel window in a colour class (the output sink, mode 1).
    void show(std::string_view oemBytes, int colourClass) { sink_.put(oemBytes, colourClass); }
    COutputSink& output() { return sink_; }

    // ---- jobs ----
    CChannelJob* job(JobSlot slot) const;
    // Puts a job into a slot, destroying the one there. The gateway and map
    // link slots take their own job types (below); false for them here.
    bool setJob(JobSlot slot, std::unique_ptr<CChannelJob> job);
    void setGatewayJob(std::unique_ptr<CGatewayJob> job);
    void setMapLinkJob(std::unique_ptr<CMapLinkJob> job);
    CGatewayJob* gatewayJob() const;
    CMapLinkJob* mapLinkJob() const;
    // A file is coming in (a finishing reception no longer counts).
    bool receivingFile() const;
    // Received text belongs to a transfer now: not shown, not interpreted.
    bool receivedTextHeld() const;
    // Destroys the job of a slot (the send job leaves the transfer queue first).
    void destroyJob(JobSlot slot);
    // After a disconnect: ends the send job (pausing a queue that still holds
    // jobs), destroys the file-receive, remote-input, password and
    // remote-session jobs and a home-side gateway, resets the remote flags.
    void resetJobs();
    CTransferQueue& transferQueue() { return queue_; }
    // A file announcement the station made while no reception could start
    // (the operator must name the file first). The reception the operator
    // starts takes it, so the waiting sender is answered; a reset drops it.
    void holdFileHeader(std::string header) { heldFileHeader_ = std::move(header); }
    std::string takeHeldFileHeader() { return std::exchange(heldFileHeader_, {}); }

    // ---- caption and bars ----
    const std::string& caption() const { return caption_; }
    // Rebuilds the caption; the window title and the channel bar button are
    // sent when they changed.
    void refreshCaption();
    // The status bar fields of this channel, each sent when its text changed.
    void refreshStatusBar();

    // ---- identity and state ----
    int number() const override { return number_; }
    int slot() const { return slot_; }
    int tncNumber() const;
    CTnc& tnc() const { return tnc_; }
    bool isRemoteConsole() const;
    bool isConverseConsole() const;
    CLinkState& linkState() { return linkState_; }
    const CLinkState& linkState() const { return linkState_; }
    const ReceiveRecord& received() const { return rx_; }
    // The connected text received before the record now being dispatched
    // (a header's announcement may come in the frame before it).
    std::string_view previousText() const { return previousText_; }
    void clearReceived() { rx_.length = 0; }
    ChannelRegistry& registry() const { return registry_; }
    // Where files this channel receives may land (program-wide).
    ReceiveFolders& receiveFolders() const { return receiveFolders_; }
    UiPort& ui() const;

    ChannelSettings& settings() { return settings_; }
    const ChannelSettings& settings() const { return settings_; }
    int packlen() const { return settings_.packlen; }
    int maxReviewTime() const { return settings_.maxReviewTime; }
    // Root of the remote file commands, copied at creation, ends in "/".
    const std::string& remoteDir() const { return remoteDir_; }
    // The station on this channel may use the superuser commands.
    bool superuser() const { return superuser_; }
    void setSuperuser(bool on) { superuser_ = on; }
    ChannelDdeObject* ddeObject() const { return dde_.get(); }
    // Hands a record to the DDE object: its advise step while active, then its items.
    void reportToDde(const ReceiveRecord& record);

    bool pollingEnabled() const { return pollingEnabled_; }
    // The operator reviews old text: polling pauses until the deadline.
    void holdForReview(std::int64_t nowSeconds);
    void resumePolling() { pollingEnabled_ = true; }
    int gCountdown() const { return gCountdown_; }
    int lCountdown() const { return lCountdown_; }
    int bCountdown() const { return bCountdown_; }
    bool lOutstanding() const { return lOutstanding_; }
    bool bOutstanding() const { return bOutstanding_; }

private:
    // Keeps jobs that end during a tick or dispatch alive until it is over.
    class JobScope;

    bool mayBePolled();
    bool pollB();
    bool pollL();
    void pollG(PollMode mode);
    void sendCommand(std::string_view command);
    void createStandingJobs();
    bool localCommand(std::string_view command);
    void receiveAsRemote(std::string_view text);
    void captureTyped(std::string_view text, int kind);

    void tickSlot(JobSlot slot);
    void dispatchRecord(const ReceiveRecord& record);
    void passOnLeftover(const ReceiveRecord& record);
    void receiveSlot(JobSlot slot, const ReceiveRecord& record, bool honourFinished = false);
    void refillSendSlot();
    void endSendJob();
    void retire(JobSlot slot);
    std::unique_ptr<CChannelJob>& slotRef(JobSlot slot) {
        return jobs_[static_cast<std::size_t>(slot)];
    }
    std::string buildCaption() const;
    void sendTitle();

    CTnc& tnc_;
    ChannelRegistry& registry_;
    ReceiveFolders& receiveFolders_;
    int number_;
    int slot_;
    ChannelSettings settings_;
    std::string remoteDir_;
    CLinkState linkState_;
    COutputSink sink_;
    CTransferQueue queue_;
    std::array<std::unique_ptr<CChannelJob>, kJobSlotCount> jobs_{};
    std::vector<std::unique_ptr<CChannelJob>> retired_;
    int jobDepth_ = 0;
    int consoleDepth_ = 0;  // typed console text being dispatched
    std::unique_ptr<ChannelDdeObject> dde_;
    ReceiveRecord rx_;
    // The receive record arrived while a transfer held the channel's text:
    // it is never shown whole, even when the transfer ended on it.
    bool rxHeld_ = false;
    std::string previousText_;
    // The last information sent did not end in CR (a prompt, say).
    bool sentLineOpen_ = false;
    bool superuser_ = false;
    int gCountdown_ = 1;
    int lCountdown_ = 1;
    int bCountdown_ = 1;
    bool lOutstanding_ = false;
    bool bOutstanding_ = false;
    bool pollingEnabled_ = true;
    std::int64_t reviewDeadline_ = 0;
    std::string caption_;
    std::string shownTitle_;
    std::string heldFileHeader_;
};

}  // namespace norva
