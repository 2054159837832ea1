// CTnc: one TNC record. It owns the port, the reply buffer and the channel
// objects, and knows how to start (open, switch to host mode, init file),
// stop (monitor off, exit file, terminal mode), talk the host-mode codec, and
// resynchronise after a lost reply.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "hostmode/FrameRecord.h"
#include "hostmode/HostChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/TncPort.h"

namespace norva {

inline constexpr int kDummyTnc = 5;
inline constexpr int kMaxChannels = 20;
inline constexpr int kSlotCount = 105;

// Slot = (TNC - 1) * 21 + channel + 1: the program-wide index of a channel.
constexpr int slotOf(int tnc, int channel) { return (tnc - 1) * 21 + channel + 1; }
constexpr int tncOfSlot(int slot) { return (slot - 1) / 21 + 1; }
constexpr int channelOfSlot(int slot) { return (slot - 1) % 21; }

enum class InitFile { Init, Exit };
enum class OpenOutcome { Opened, AlreadyOpen, NotOpened, Cancelled };

class CTnc {
public:
    static constexpr int kRxBufferSize = 1024;
    static constexpr int kMaxReply = kMaxReplyBytes;

    // Reads the TNC's section (number 5: the dummy) and creates its channels.
    // Does not start it: the owner calls startIfWanted().
    CTnc(HostContext& ctx, int number);
    ~CTnc();
    CTnc(const CTnc&) = delete;
    CTnc& operator=(const CTnc&) = delete;

    // Starts the TNC when its Connected key is set; a failed start writes Connected = 0.
    void startIfWanted();
    // -1 when the TNC cannot be started, 1 when started, 0 when it was already open.
    int start();
    void stop();
    void sendInitFile(InitFile which);
    void initChannels();

    // Codec.
    int sendFrame(const HostChannel& channel, const FrameRecord& frame);
    int receiveReply(HostChannel* expected);
    void flush();

    // Poll engine: the extended poll's channel list, or nullopt-like markers.
    struct ExtendedResult {
        enum Kind { List, Nothing, Unavailable } kind = Unavailable;
        std::string list;  // bytes: channel + 1 each
    };
    ExtendedResult extendedPoll();
    // One resynchronisation attempt: 0 when finished (in sync or given up), 1 while trying.
    int resynchronise();
    // Sleeps up to ms for bytes (the DelayTime waits).
    void wait(int ms);

    int number() const { return number_; }
    bool isDummy() const { return number_ == kDummyTnc; }
    int channelCount() const { return channelCount_; }
    bool isOpen() const { return open_; }
    bool outOfSync() const { return outOfSync_; }
    bool extendedPollAllowed() const { return extendedPoll_; }
    bool reinitPending() const { return reinitPending_; }
    void setReinitPending(bool on) { reinitPending_ = on; }
    int resyncAttempts() const { return resyncAttempts_; }
    // Replies that carried link status, monitor or connected data so far.
    std::uint64_t traffic() const { return traffic_; }
    int minFreeBuffer() const { return minFreeBuffer_; }
    int delayTime() const { return delayTime_; }
    const std::string& name() const { return tncName_; }
    const std::string& qrg() const { return qrg_; }
    HostChannel* channel(int n) const;
    CTncPort& port() { return port_; }
    HostContext& context() { return ctx_; }
    // Reply buffer after a reception (byte 0 channel, byte 1 code, payload from 2).
    std::span<const std::uint8_t> replyBytes() const;

private:
    std::string section() const { return std::to_string(number_); }
    OpenOutcome openAndSwitch();
    bool probeHostMode();
    // Reads until the TNC has been quiet for DelayTime, and returns what came.
    // Bounded by time and bytes, so a device that never stops talking cannot
    // hold the engine.
    std::string readUntilQuiet();
    // One pass of a loop that reads a reply into `into`: waits up to leftMs
    // and reads. 0 when nothing came (yet), -1 when nothing can come (the
    // port is gone, the in-process TNC has nothing). pauseMs carries over
    // between passes: after a pass that brought nothing the next one first
    // pauses on the clock, longer each time, so a descriptor that is always
    // readable yet yields nothing never turns the loop into a spin.
    int readWithin(std::span<std::uint8_t> into, std::int64_t leftMs, int& pauseMs);
    void drain() { readUntilQuiet(); }
    void writeBytes(std::string_view bytes);
    void logLine(std::string_view what);
    void status(std::string_view text);
    void deliver(HostChannel* to, int kind, std::string_view text);
    bool completeReply(HostChannel* expected);
    bool reopenPort();
    void giveUp();
    void resetResync();
    // Every change of the sync state goes through here, so it can be traced.
    void setOutOfSync(bool lost, std::string_view why);
    void trace(std::string_view what) const;

    HostContext& ctx_;
    int number_;
    int channelCount_ = 0;
    bool open_ = false;
    int delayTime_ = 250;
    bool extendedPoll_ = true;
    bool reinitPending_ = false;
    int resyncAttempts_ = 0;
    int resyncSinceReopen_ = 0;
    std::string tncName_;
    std::string qrg_;
    std::array<std::unique_ptr<HostChannel>, kMaxChannels + 1> channels_;
    CTncPort port_;
    std::array<std::uint8_t, kRxBufferSize> rx_{};
    int readIndex_ = 0;
    int byteCount_ = 0;
    bool outOfSync_ = false;
    std::uint64_t traffic_ = 0;
    bool tfpcrWarning_ = true;
    int minFreeBuffer_ = 500;
};

}  // namespace norva
