// AX.25 2.0 frames as they travel inside KISS: the address field (callsign
// shifted left, SSID byte with C/R or H bit, up to 8 digipeaters), the
// modulo-8 control field of I, S and U frames, the PID, and the info field.
// Decoding treats every byte as hostile and says why it refused a frame.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva::kiss {

inline constexpr std::size_t kMaxDigis = 8;
inline constexpr std::uint8_t kPidNoL3 = 0xF0;

struct Ax25Address {
    std::string call;  // 1..6 of A-Z, 0-9
    int ssid = 0;      // 0..15
    bool bit = false;  // C bit (destination, source) or H bit (digipeater)

    bool sameStation(const Ax25Address& o) const { return call == o.call && ssid == o.ssid; }
};

// "DL1ABC-7" (any case, blanks around allowed) -> address; nullopt when it is
// no valid callsign.
std::optional<Ax25Address> parseAddress(std::string_view text);
// "DL1ABC-7", or "DL1ABC" for SSID 0.
std::string addressText(const Ax25Address& a);

enum class FrameType : std::uint8_t { I, RR, RNR, REJ, SREJ, SABM, SABME, DISC, DM, UA, FRMR, UI, XID, TEST };

struct Ax25Frame {
    Ax25Address dest;
    Ax25Address src;
    std::vector<Ax25Address> digis;  // in path order; bit = "has repeated"
    FrameType type = FrameType::UI;
    bool command = true;  // C bits 1/0 = command, 0/1 = response
    bool pf = false;
    int nr = 0;
    int ns = 0;
    std::uint8_t pid = kPidNoL3;  // I and UI frames only
    std::string info;

    bool hasInfo() const { return type == FrameType::I || type == FrameType::UI || type == FrameType::FRMR ||
                                  type == FrameType::XID || type == FrameType::TEST; }
};

enum class DecodeError {
    None,
    TooShort,
    BadCallsign,    // a character outside A-Z 0-9, an inner blank, an extension bit inside a call
    TooManyDigis,   // the address field does not end after 8 digipeaters
    BadControl,     // an unknown U frame, or an I/UI frame without PID
};

std::optional<Ax25Frame> decodeAx25(std::string_view bytes, DecodeError* why = nullptr);
// The frame on the wire (without FCS: the modem adds it).
std::string encodeAx25(const Ax25Frame& frame);

// Monitor text: "fm DL1AAA to DB0SIM via DB0XX* ctl I21^ pid F0".
std::string monitorHeader(const Ax25Frame& frame);
// The monitor filter letter the frame falls under: I, U (UI) or S (the rest).
char monitorKind(const Ax25Frame& frame);

}  // namespace norva::kiss
