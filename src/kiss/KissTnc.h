// An in-process TNC for KISS modems: towards the engine it is a byte stream
// that speaks WA8DED host mode (JHOST frames) with the replies of TF
// firmware; towards the radio it runs its own AX.25 links over KISS. All of
// its work happens inside the engine's calls (write, read, waitReadable), on
// the engine's thread; it never starts a thread and never blocks longer than
// the caller asked.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kiss/Ax25Link.h"
#include "kiss/Kiss.h"
#include "kiss/ModemLink.h"
#include "platform/ByteStream.h"

namespace norva {
class Clock;
}

namespace norva::kiss {

// True for "kiss:..." in any case.
bool isKissPortName(std::string_view name);

// Where a kiss: name leads: a device ("kiss:/dev/ttyUSB0") or a TCP modem
// ("kiss:tcp:HOST:PORT", "kiss:tcp:HOST" = port 8001).
struct KissTarget {
    bool tcp = false;
    std::string device;
    std::string host;
    int port = 8001;
};
std::optional<KissTarget> parseKissPortName(std::string_view name);

// Counters for the trace and the tests.
struct KissTncCounters {
    std::uint64_t badFrames = 0;     // AX.25 frames that did not decode
    std::uint64_t tooManyDigis = 0;
    std::uint64_t badCallsigns = 0;
    std::uint64_t notForUs = 0;
    std::uint64_t refused = 0;       // SABMs answered with DM (no free channel)
    std::uint64_t monitorDropped = 0;
};

class KissTnc final : public ByteStream {
public:
    KissTnc(ModemOpener opener, KissSettings settings, Clock& clock, TraceFn trace = {});
    ~KissTnc() override;

    // Opens the modem the first time; false with the reason when it cannot be.
    bool open(std::string* error);

    int read(std::span<std::uint8_t> buf) override;
    int write(std::span<const std::uint8_t> data) override;
    bool waitReadable(int timeoutMs) override;
    bool broken() const override { return false; }  // a lost modem is reopened, the TNC stays
    int fd() const override { return modem_.fd(); }

    // Work that is due: modem input, link timers, a lost modem's reopen.
    void service();

    // For tests and the trace.
    LinkState linkState(int channel) const;
    std::size_t pendingItems(int channel) const;
    int freeBuffers() const;
    const KissTncCounters& counters() const { return counters_; }
    const ModemLink& modem() const { return modem_; }
    const LinkParams& params() const { return params_; }

private:
    struct Item {
        std::uint8_t code = 0;
        std::string data;
    };
    struct Channel;
    class ChannelUser;

    // Host side (KissTncCommands.cpp).
    void hostByte(std::uint8_t b);
    void terminalByte(std::uint8_t b);
    std::string processFrame(int channel, bool command, std::string_view data);
    std::string infoFrame(int ch, std::string_view data);
    std::string command(int ch, std::string_view text);
    std::string cmdGet(int ch);
    std::string cmdLinkStatus(int ch);
    std::string cmdAt(int ch, std::string_view cmd);
    std::string cmdIdent(int ch, std::string_view arg);
    std::string cmdConnect(int ch, std::string_view arg);
    std::string cmdDisconnect(int ch);
    std::string cmdMonitor(int ch, std::string_view arg);
    std::string cmdJhost(int ch, std::string_view cmd);
    std::string cmdNumber(int ch, char letter, std::string_view arg);
    std::string cmdParameter(int ch, const std::string& name, std::string_view arg);
    std::string extendedPoll(bool command, std::string_view data);

    // Radio side (KissTnc.cpp).
    void radioFrame(std::string_view bytes);
    void transmit(const Ax25Frame& f);
    void monitorFrame(const Ax25Frame& f);
    bool incomingConnect(const Ax25Frame& f);
    void answerNoLink(const Ax25Frame& f);
    void sendDm(const Ax25Frame& f);
    void linkEvent(int ch, LinkEvent e);
    void linkData(int ch, std::string_view info);
    void pushItem(int ch, std::uint8_t code, std::string data);
    void updateBusy(int ch);
    Ax25Address channelCall(int ch) const;
    bool isOurs(const Ax25Address& a) const;
    void applyParams();
    void trace(std::string_view line) const;
    std::int64_t now() const;

    KissSettings settings_;
    LinkParams params_;
    Clock& clock_;
    TraceFn trace_;
    ModemLink modem_;
    std::vector<std::unique_ptr<Channel>> channels_;  // 0..settings_.channels
    std::string monitorFlags_;
    Ax25Address unprotoDest_;
    std::vector<Ax25Address> unprotoVia_;
    int maxIncoming_;
    bool hostMode_ = true;
    std::string termLine_;

    // Host frame being assembled: channel, code, length, data.
    int have_ = 0;
    std::uint8_t frameChannel_ = 0;
    std::uint8_t frameCode_ = 0;
    std::size_t frameLength_ = 0;
    std::string frameData_;

    std::string out_;  // replies not yet read
    std::size_t outPos_ = 0;
    KissTncCounters counters_;
};

// Opens a KISS TNC by port name (see parseKissPortName). Null with *error
// filled when the name is bad or the device cannot be opened.
std::unique_ptr<ByteStream> openKissTnc(const std::string& portName, int baud, const KissSettings& settings,
                                        Clock& clock, std::string* error, TraceFn trace = {});

}  // namespace norva::kiss
