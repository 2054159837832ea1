// The YAPP wire format (WA7MBL rev 1.1 with the YappC checksum and resume
// extension): builders for every packet Norva sends, an incremental reader
// that cuts packets out of a byte stream by their type and length bytes
// (never by frame boundaries), and the parsers for the header and resume
// payloads. Pure byte work, so hostile input can be fed directly (tests and
// the fuzz target).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

// The largest file size a header may announce or a job sends.
inline constexpr std::int64_t kYappMaxLength = 0x7fffffff;
// Data bytes of one DT packet at most (a length byte of 0 means 256).
inline constexpr std::size_t kYappMaxData = 256;
// Longest packet: STX, len, 256 data bytes, checksum.
inline constexpr std::size_t kYappMaxPacket = 259;

enum class YappType {
    SendInit,   // SI 05 01
    ServerCmd,  // 05 02 .. 05 FF: server mode (RI and the reserved codes), never used by Norva
    RcvReady,   // RR 06 01
    RcvFile,    // RF 06 02
    RcvTpk,     // RT 06 06: send the data with checksums
    AckEof,     // AF 06 03
    AckEot,     // AT 06 04
    CanAck,     // CA 06 05
    AckOther,   // 06 with an undefined second byte
    Header,     // HD 01 len payload
    Data,       // DT 02 len data [checksum]
    Eof,        // EF 03 xx
    Eot,        // ET 04 xx
    NotReady,   // NR 15 len reason (RE when the payload is a resume)
    Cancel,     // CN 18 len reason
    Text,       // TX 10 len text
    Unknown,    // one byte that starts no packet
};

struct YappPacket {
    YappType type = YappType::Unknown;
    // Header, resume or reason payload, data bytes, text; the byte itself for Unknown.
    std::string payload;
    bool checksumOk = true;  // Data in checksum mode: the sum matched
};

// Cuts packets out of the received bytes. Only whole packets leave it; the
// rest waits for the next feed. Callers drain next() after every feed, so
// what stays buffered is always shorter than one packet.
class YappReader {
public:
    void feed(std::string_view bytes) { buffer_.append(bytes); }
    // Data packets carry a checksum byte from now on (after RT or a resume with 'C').
    void setChecksum(bool on) { checksum_ = on; }
    bool checksum() const { return checksum_; }
    std::optional<YappPacket> next();
    std::size_t buffered() const { return buffer_.size() - pos_; }
    void clear() {
        buffer_.clear();
        pos_ = 0;
    }

private:
    std::string buffer_;
    std::size_t pos_ = 0;
    bool checksum_ = false;
};

// Sum of the data bytes modulo 256.
std::uint8_t yappChecksum(std::string_view data);

// Fixed two-byte packets.
inline constexpr std::string_view kYappSendInit{"\x05\x01", 2};
inline constexpr std::string_view kYappRcvReady{"\x06\x01", 2};
inline constexpr std::string_view kYappRcvFile{"\x06\x02", 2};
inline constexpr std::string_view kYappRcvTpk{"\x06\x06", 2};
inline constexpr std::string_view kYappAckEof{"\x06\x03", 2};
inline constexpr std::string_view kYappAckEot{"\x06\x04", 2};
inline constexpr std::string_view kYappCanAck{"\x06\x05", 2};
inline constexpr std::string_view kYappEof{"\x03\x01", 2};
inline constexpr std::string_view kYappEot{"\x04\x01", 2};

// HD: name NUL size NUL [8 hex digits of the DOS date and time NUL]. The
// name is cut so the payload fits its length byte.
std::string yappHeader(std::string_view name, std::int64_t size, std::optional<std::uint32_t> dosDateTime);
// DT with 1..256 data bytes (more are cut), and the checksum when asked.
std::string yappData(std::string_view data, bool checksum);
// NR and CN always carry a reason (an empty one would be read as 256 bytes
// by some programs); it is cut to 255 bytes.
std::string yappNotReady(std::string_view reason);
std::string yappCancel(std::string_view reason);
// RE: 'R' NUL offset NUL, and 'C' NUL when the data is to carry checksums.
std::string yappResume(std::int64_t offset, bool checksum);

struct YappHeader {
    std::string name;  // as sent: may hold a path, is not yet a plain name
    std::int64_t size = 0;
    std::optional<std::uint32_t> dosDateTime;  // present: the sender offers YappC
};
// Nothing when the size field is missing, not decimal (leading blanks are
// allowed), or larger than kYappMaxLength.
std::optional<YappHeader> parseYappHeader(std::string_view payload);

struct YappResume {
    std::int64_t offset = 0;
    bool checksum = false;
};
// An NR payload that is a resume ('R' NUL digits NUL ['C' NUL]); nothing for a plain refusal.
std::optional<YappResume> parseYappResume(std::string_view payload);

// The DOS date (high half) and time (low half) of a local calendar time.
// Years outside 1980..2107 are clamped.
std::uint32_t dosDateTime(int year, int month, int day, int hour, int minute, int second);
struct YappCalendar {
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
// Fields out of range (a month of 0 from some senders) are clamped.
YappCalendar fromDosDateTime(std::uint32_t value);

}  // namespace norva
