// AX.25 address and control field coding, and the monitor header text.
#include "kiss/Ax25Frame.h"

#include <cctype>
#include <cstdio>

namespace norva::kiss {

namespace {

constexpr std::size_t kAddrLen = 7;

bool isCallChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

struct UCode {
    FrameType type;
    std::uint8_t bits;  // control byte with the P/F bit cleared
    const char* name;
};
constexpr UCode kUCodes[] = {
    {FrameType::SABM, 0x2F, "SABM"}, {FrameType::SABME, 0x6F, "SABME"}, {FrameType::DISC, 0x43, "DISC"},
    {FrameType::DM, 0x0F, "DM"},     {FrameType::UA, 0x63, "UA"},       {FrameType::FRMR, 0x87, "FRMR"},
    {FrameType::UI, 0x03, "UI"},     {FrameType::XID, 0xAF, "XID"},     {FrameType::TEST, 0xE3, "TEST"},
};

const char* typeName(FrameType t) {
    switch (t) {
    case FrameType::I: return "I";
    case FrameType::RR: return "RR";
    case FrameType::RNR: return "RNR";
    case FrameType::REJ: return "REJ";
    case FrameType::SREJ: return "SREJ";
    default: break;
    }
    for (const UCode& u : kUCodes)
        if (u.type == t) return u.name;
    return "?";
}

// One 7-byte address; false when the bytes are no callsign.
bool decodeAddress(std::string_view b, Ax25Address& a) {
    a.call.clear();
    bool blank = false;
    for (std::size_t i = 0; i < 6; ++i) {
        const auto byte = static_cast<std::uint8_t>(b[i]);
        if (byte & 1) return false;  // extension bit inside the call
        const char c = static_cast<char>(byte >> 1);
        if (c == ' ') {
            blank = true;
            continue;
        }
        if (blank || !isCallChar(c)) return false;
        a.call.push_back(c);
    }
    if (a.call.empty()) return false;
    const auto ssidByte = static_cast<std::uint8_t>(b[6]);
    a.ssid = (ssidByte >> 1) & 0x0F;
    a.bit = (ssidByte & 0x80) != 0;
    return true;
}

void encodeAddress(std::string& out, const Ax25Address& a, bool last) {
    for (std::size_t i = 0; i < 6; ++i) {
        const char c = i < a.call.size() ? a.call[i] : ' ';
        out.push_back(static_cast<char>(static_cast<std::uint8_t>(c) << 1));
    }
    std::uint8_t ssid = static_cast<std::uint8_t>(0x60 | ((a.ssid & 0x0F) << 1));
    if (a.bit) ssid |= 0x80;
    if (last) ssid |= 0x01;
    out.push_back(static_cast<char>(ssid));
}

std::nullopt_t fail(DecodeError* why, DecodeError e) {
    if (why) *why = e;
    return std::nullopt;
}

bool decodeControl(std::uint8_t c, Ax25Frame& f) {
    f.pf = (c & 0x10) != 0;
    if ((c & 0x01) == 0) {
        f.type = FrameType::I;
        f.ns = (c >> 1) & 7;
        f.nr = (c >> 5) & 7;
        return true;
    }
    if ((c & 0x03) == 0x01) {
        static constexpr FrameType kS[] = {FrameType::RR, FrameType::RNR, FrameType::REJ, FrameType::SREJ};
        f.type = kS[(c >> 2) & 3];
        f.nr = (c >> 5) & 7;
        return true;
    }
    const std::uint8_t bits = c & static_cast<std::uint8_t>(~0x10);
    for (const UCode& u : kUCodes) {
        if (u.bits == bits) {
            f.type = u.type;
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<Ax25Address> parseAddress(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    Ax25Address a;
    const auto dash = text.find('-');
    const std::string_view call = text.substr(0, dash);
    if (call.empty() || call.size() > 6) return std::nullopt;
    for (char c : call) {
        const char u = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (!isCallChar(u)) return std::nullopt;
        a.call.push_back(u);
    }
    if (dash != std::string_view::npos) {
        const std::string_view ssid = text.substr(dash + 1);
        if (ssid.empty() || ssid.size() > 2) return std::nullopt;
        int v = 0;
        for (char c : ssid) {
            if (c < '0' || c > '9') return std::nullopt;
            v = v * 10 + (c - '0');
        }
        if (v > 15) return std::nullopt;
        a.ssid = v;
    }
    return a;
}

std::string addressText(const Ax25Address& a) {
    return a.ssid == 0 ? a.call : a.call + "-" + std::to_string(a.ssid);
}

std::optional<Ax25Frame> decodeAx25(std::string_view b, DecodeError* why) {
    if (why) *why = DecodeError::None;
    Ax25Frame f;
    std::size_t pos = 0;
    std::size_t count = 0;
    for (;;) {
        if (b.size() < pos + kAddrLen) return fail(why, DecodeError::TooShort);
        if (count >= 2 + kMaxDigis) return fail(why, DecodeError::TooManyDigis);
        Ax25Address a;
        if (!decodeAddress(b.substr(pos, kAddrLen), a)) return fail(why, DecodeError::BadCallsign);
        const bool last = (static_cast<std::uint8_t>(b[pos + 6]) & 1) != 0;
        pos += kAddrLen;
        if (count == 0) f.dest = a;
        else if (count == 1) f.src = a;
        else f.digis.push_back(a);
        ++count;
        if (last) break;
    }
    if (count < 2) return fail(why, DecodeError::TooShort);
    if (b.size() <= pos) return fail(why, DecodeError::TooShort);
    if (!decodeControl(static_cast<std::uint8_t>(b[pos++]), f))
        return fail(why, DecodeError::BadControl);
    // Version 1 frames carry equal C bits; take them as commands.
    f.command = f.dest.bit || !f.src.bit;
    if (f.type == FrameType::I || f.type == FrameType::UI) {
        if (b.size() <= pos) return fail(why, DecodeError::BadControl);
        f.pid = static_cast<std::uint8_t>(b[pos++]);
    }
    if (f.hasInfo()) f.info.assign(b.substr(pos));
    return f;
}

std::string encodeAx25(const Ax25Frame& f) {
    std::string out;
    out.reserve(16 + kAddrLen * f.digis.size() + f.info.size());
    Ax25Address dest = f.dest;
    Ax25Address src = f.src;
    dest.bit = f.command;
    src.bit = !f.command;
    const std::size_t digis = f.digis.size() < kMaxDigis ? f.digis.size() : kMaxDigis;
    encodeAddress(out, dest, false);
    encodeAddress(out, src, digis == 0);
    for (std::size_t i = 0; i < digis; ++i) encodeAddress(out, f.digis[i], i + 1 == digis);
    std::uint8_t c = 0;
    const auto pf = static_cast<std::uint8_t>(f.pf ? 0x10 : 0);
    switch (f.type) {
    case FrameType::I: c = static_cast<std::uint8_t>(((f.nr & 7) << 5) | pf | ((f.ns & 7) << 1)); break;
    case FrameType::RR: c = static_cast<std::uint8_t>(((f.nr & 7) << 5) | pf | 0x01); break;
    case FrameType::RNR: c = static_cast<std::uint8_t>(((f.nr & 7) << 5) | pf | 0x05); break;
    case FrameType::REJ: c = static_cast<std::uint8_t>(((f.nr & 7) << 5) | pf | 0x09); break;
    case FrameType::SREJ: c = static_cast<std::uint8_t>(((f.nr & 7) << 5) | pf | 0x0D); break;
    default:
        for (const UCode& u : kUCodes)
            if (u.type == f.type) c = static_cast<std::uint8_t>(u.bits | pf);
        break;
    }
    out.push_back(static_cast<char>(c));
    if (f.type == FrameType::I || f.type == FrameType::UI) out.push_back(static_cast<char>(f.pid));
    if (f.hasInfo()) out += f.info;
    return out;
}

std::string monitorHeader(const Ax25Frame& f) {
    std::string h = "fm " + addressText(f.src) + " to " + addressText(f.dest);
    std::size_t lastRepeated = f.digis.size();
    for (std::size_t i = 0; i < f.digis.size(); ++i)
        if (f.digis[i].bit) lastRepeated = i;
    for (std::size_t i = 0; i < f.digis.size(); ++i) {
        h += (i == 0 ? " via " : " ") + addressText(f.digis[i]);
        if (i == lastRepeated) h += "*";
    }
    h += " ctl ";
    h += typeName(f.type);
    if (f.type == FrameType::I) h += std::to_string(f.nr) + std::to_string(f.ns);
    else if (f.type == FrameType::RR || f.type == FrameType::RNR || f.type == FrameType::REJ ||
             f.type == FrameType::SREJ)
        h += std::to_string(f.nr);
    h += f.command ? (f.pf ? "+" : "^") : (f.pf ? "-" : "v");
    if ((f.type == FrameType::I || f.type == FrameType::UI) && !f.info.empty()) {
        char pid[8];
        std::snprintf(pid, sizeof pid, " pid %02X", f.pid);
        h += pid;
    }
    return h;
}

char monitorKind(const Ax25Frame& f) {
    if (f.type == FrameType::I) return 'I';
    if (f.type == FrameType::UI) return 'U';
    return 'S';
}

}  // namespace norva::kiss
