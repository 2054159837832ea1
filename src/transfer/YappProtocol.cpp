// The YAPP packets: builders, the stream reader and the payload parsers.
#include "transfer/YappProtocol.h"

#include <algorithm>
#include <cstdio>

namespace norva {

namespace {

constexpr char kSoh = 0x01;
constexpr char kStx = 0x02;
constexpr char kEtx = 0x03;
constexpr char kEot = 0x04;
constexpr char kEnq = 0x05;
constexpr char kAck = 0x06;
constexpr char kDle = 0x10;
constexpr char kNak = 0x15;
constexpr char kCan = 0x18;
constexpr std::size_t kMaxPayload = 255;

YappType ackType(unsigned char second) {
    switch (second) {
        case 1: return YappType::RcvReady;
        case 2: return YappType::RcvFile;
        case 3: return YappType::AckEof;
        case 4: return YappType::AckEot;
        case 5: return YappType::CanAck;
        case 6: return YappType::RcvTpk;
        default: return YappType::AckOther;
    }
}

std::optional<YappType> lengthType(char first) {
    switch (first) {
        case kSoh: return YappType::Header;
        case kNak: return YappType::NotReady;
        case kCan: return YappType::Cancel;
        case kDle: return YappType::Text;
        default: return std::nullopt;
    }
}

std::string withLength(char type, std::string_view payload) {
    const std::string_view cut = payload.substr(0, kMaxPayload);
    std::string out;
    out.reserve(cut.size() + 2);
    out += type;
    out += static_cast<char>(cut.size());
    out.append(cut);
    return out;
}

std::string reasonPacket(char type, std::string_view reason) {
    return withLength(type, reason.empty() ? std::string_view("Cancelled") : reason);
}

// Decimal digits after optional leading blanks, up to kYappMaxLength.
std::optional<std::int64_t> decimal(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    text.remove_prefix(first);
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kYappMaxLength) return std::nullopt;
    }
    return value;
}

// The NUL-terminated field at pos; moves pos behind its NUL. Nothing when no NUL follows.
std::optional<std::string_view> field(std::string_view payload, std::size_t& pos) {
    const auto nul = payload.find('\0', pos);
    if (nul == std::string_view::npos) return std::nullopt;
    const std::string_view f = payload.substr(pos, nul - pos);
    pos = nul + 1;
    return f;
}

std::optional<std::uint32_t> hex8(std::string_view text) {
    if (text.size() != 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        int digit = 0;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

}  // namespace

std::optional<YappPacket> YappReader::next() {
    // Consumed bytes go once they are a good part of the buffer.
    if (pos_ > 0 && pos_ * 2 >= buffer_.size()) {
        buffer_.erase(0, pos_);
        pos_ = 0;
    }
    const std::string_view in = std::string_view(buffer_).substr(pos_);
    if (in.empty()) return std::nullopt;
    const char first = in[0];
    YappPacket packet;
    auto take = [&](std::size_t n) {
        pos_ += n;
        return packet;
    };
    const bool known = first == kEnq || first == kAck || first == kEtx || first == kEot || first == kStx ||
                       lengthType(first).has_value();
    if (!known) {
        packet.payload.assign(1, first);
        return take(1);
    }
    if (in.size() < 2) return std::nullopt;
    const auto second = static_cast<unsigned char>(in[1]);
    switch (first) {
        case kEnq: packet.type = second == 1 ? YappType::SendInit : YappType::ServerCmd; return take(2);
        case kAck: packet.type = ackType(second); return take(2);
        case kEtx: packet.type = YappType::Eof; return take(2);
        case kEot: packet.type = YappType::Eot; return take(2);
        default: break;
    }
    if (first == kStx) {
        const std::size_t n = second == 0 ? kYappMaxData : second;
        const std::size_t whole = 2 + n + (checksum_ ? 1 : 0);
        if (in.size() < whole) return std::nullopt;
        packet.type = YappType::Data;
        packet.payload.assign(in.substr(2, n));
        if (checksum_) packet.checksumOk = static_cast<std::uint8_t>(in[2 + n]) == yappChecksum(packet.payload);
        return take(whole);
    }
    // A length of 0 is an empty payload here; only data packets read it as 256.
    if (in.size() < 2u + second) return std::nullopt;
    packet.type = *lengthType(first);
    packet.payload.assign(in.substr(2, second));
    return take(2 + second);
}

std::uint8_t yappChecksum(std::string_view data) {
    unsigned sum = 0;
    for (char c : data) sum += static_cast<unsigned char>(c);
    return static_cast<std::uint8_t>(sum & 0xff);
}

std::string yappHeader(std::string_view name, std::int64_t size, std::optional<std::uint32_t> dosDateTime) {
    const std::string sizeText = std::to_string(std::clamp<std::int64_t>(size, 0, kYappMaxLength));
    std::string tail = '\0' + sizeText + '\0';
    if (dosDateTime) {
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(*dosDateTime));
        tail += std::string(hex, 8) + '\0';
    }
    const std::string_view cutName = name.substr(0, kMaxPayload - tail.size());
    return withLength(kSoh, std::string(cutName) + tail);
}

std::string yappData(std::string_view data, bool checksum) {
    const std::string_view cut = data.substr(0, kYappMaxData);
    std::string out;
    out.reserve(cut.size() + 3);
    out += kStx;
    out += static_cast<char>(cut.size() == kYappMaxData ? 0 : cut.size());
    out.append(cut);
    if (checksum) out += static_cast<char>(yappChecksum(cut));
    return out;
}

std::string yappNotReady(std::string_view reason) { return reasonPacket(kNak, reason); }
std::string yappCancel(std::string_view reason) { return reasonPacket(kCan, reason); }

std::string yappResume(std::int64_t offset, bool checksum) {
    std::string payload = std::string("R") + '\0' + std::to_string(std::clamp<std::int64_t>(offset, 0, kYappMaxLength)) + '\0';
    if (checksum) payload += std::string("C") + '\0';
    return withLength(kNak, payload);
}

std::optional<YappHeader> parseYappHeader(std::string_view payload) {
    std::size_t pos = 0;
    const auto name = field(payload, pos);
    const auto sizeField = name ? field(payload, pos) : std::nullopt;
    if (!sizeField) return std::nullopt;
    const auto size = decimal(*sizeField);
    if (!size) return std::nullopt;
    YappHeader header{std::string(*name), *size, std::nullopt};
    // The offer of YappC: a third field of exactly eight hex digits.
    if (const auto stamp = field(payload, pos)) header.dosDateTime = hex8(*stamp);
    return header;
}

std::optional<YappResume> parseYappResume(std::string_view payload) {
    if (payload.size() < 2 || payload[0] != 'R' || payload[1] != '\0') return std::nullopt;
    std::size_t pos = 2;
    const auto number = field(payload, pos);
    const auto offset = number ? decimal(*number) : std::nullopt;
    if (!offset) return std::nullopt;
    const bool checksum = pos < payload.size() && payload[pos] == 'C';
    return YappResume{*offset, checksum};
}

std::uint32_t dosDateTime(int year, int month, int day, int hour, int minute, int second) {
    const auto clampTo = [](int v, int lo, int hi) { return static_cast<std::uint32_t>(std::clamp(v, lo, hi)); };
    const std::uint32_t date = clampTo(year - 1980, 0, 127) << 9 | clampTo(month, 1, 12) << 5 | clampTo(day, 1, 31);
    const std::uint32_t time = clampTo(hour, 0, 23) << 11 | clampTo(minute, 0, 59) << 5 | clampTo(second, 0, 59) / 2;
    return date << 16 | time;
}

YappCalendar fromDosDateTime(std::uint32_t value) {
    const std::uint32_t date = value >> 16;
    const std::uint32_t time = value & 0xffff;
    const auto clampTo = [](std::uint32_t v, int lo, int hi) { return std::clamp(static_cast<int>(v), lo, hi); };
    return YappCalendar{1980 + static_cast<int>(date >> 9),   clampTo(date >> 5 & 0xf, 1, 12),
                        clampTo(date & 0x1f, 1, 31),         clampTo(time >> 11, 0, 23),
                        clampTo(time >> 5 & 0x3f, 0, 59),    clampTo((time & 0x1f) * 2, 0, 59)};
}

}  // namespace norva
