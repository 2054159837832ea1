// KISS framing between the host and a KISS modem (soundcard modem over TCP,
// KISS TNC on a tty): the escaping, the port nibble, the parameter commands,
// and a decoder that survives split and joined frames, garbage and floods.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace norva::kiss {

inline constexpr std::uint8_t kFend = 0xC0;
inline constexpr std::uint8_t kFesc = 0xDB;
inline constexpr std::uint8_t kTfend = 0xDC;
inline constexpr std::uint8_t kTfesc = 0xDD;

enum class KissCommand : std::uint8_t {
    Data = 0,
    TxDelay = 1,
    Persist = 2,
    SlotTime = 3,
    TxTail = 4,
    FullDuplex = 5,
};

// What the lead reads from the TNC's section; values in KISS units
// (TXDELAY, SLOTTIME and TXTAIL in 10 ms, persistence 0..255).
struct KissSettings {
    int port = 0;  // KISS port nibble 0..15
    int txDelay = 30;
    int persist = 63;
    int slotTime = 10;
    int txTail = 0;
    bool fullDuplex = false;
    std::string myCall = "NOCALL";  // base call until the engine sends "I"
    int channels = 10;              // highest channel number
    int paclen = 256;               // largest info field of an I frame
    int maxFrame = 4;               // window k, 1..7 (host command O)
    int frackMs = 3000;             // T1 before a round trip is known (host command F, seconds)
    int retries = 10;               // N2 (host command N)
    int t2Ms = 200;                 // acknowledgement delay (@T2, 10 ms units)
    int t3Ms = 180000;              // link check (@T3, 10 ms units)
    int maxIncoming = -1;           // links a caller may open (Y); -1: every channel
    bool traceFrames = false;       // every frame sent and heard goes to the trace
};

// One frame, escaped and wrapped in FENDs.
std::string encodeKiss(int port, KissCommand command, std::string_view data);
// The parameter frames a modem gets after each (re)connect.
std::string kissParameterFrames(const KissSettings& settings);

struct KissCounters {
    std::uint64_t frames = 0;        // data frames delivered
    std::uint64_t oversize = 0;      // frames longer than the limit, dropped
    std::uint64_t badEscapes = 0;    // FESC followed by anything but TFEND/TFESC
    std::uint64_t nonData = 0;       // commands a modem should not send us
    std::uint64_t garbage = 0;       // bytes outside any frame
};

struct KissFrame {
    int port = 0;
    std::string data;
};

// Feeds bytes in any cut; whole frames come out. A frame whose escape is
// broken or whose size passes the limit is dropped and counted.
class KissDecoder {
public:
    explicit KissDecoder(std::size_t maxFrame = 1100) : maxFrame_(maxFrame) {}
    // Appends the complete data frames found to out.
    void feed(std::string_view bytes, std::vector<KissFrame>& out);
    const KissCounters& counters() const { return counters_; }
    void reset();

private:
    void finish(std::vector<KissFrame>& out);

    std::size_t maxFrame_;
    std::string buf_;
    bool inFrame_ = false;  // a FEND was seen: bytes belong to a frame
    bool escape_ = false;
    bool bad_ = false;      // the frame being read is already lost
    KissCounters counters_;
};

}  // namespace norva::kiss
