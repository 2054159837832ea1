// The #BIN# wire format: the CRC of the data, the header line and its
// parts, the report and abort lines, and the rule that turns a name from the
// air into a plain file name. Everything here is pure text work, so the
// parsers can be fed hostile input directly (tests and the fuzz target).
#pragma once

#include "platform/FileNames.h"
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

inline constexpr std::string_view kBinTag = "#BIN#";
inline constexpr std::string_view kBinOk = "#OK#";
inline constexpr std::string_view kBinNo = "#NO#";
inline constexpr std::string_view kBinAbortTag = "#ABORT#";
// Protocol lines; the channel puts a CR before one when the line it
// follows is still open (CTncChannel::sendLine).
inline constexpr std::string_view kBinAbortLine = "#ABORT#\r";
inline constexpr std::string_view kBinGoAhead = "#OK#\r";
inline constexpr std::string_view kBinRefusal = "#NO#\r";
inline constexpr std::string_view kBinTxReportTag = "#BIN-TX OK#";
// F6FBB's form of the report: "BIN-TX OK #30831" (and BIN-RX after a BPUT).
inline constexpr std::string_view kFbbTxReportTag = "BIN-TX OK #";
// The largest length a header may announce (the length fields are 32-bit signed).
inline constexpr std::int64_t kBinMaxLength = 0x7fffffff;

// CRC of the data bytes: polynomial 0x1021, bits fed in from the most
// significant one, register starting at crc.
std::uint16_t binCrc(std::uint16_t crc, std::string_view bytes);

// Where a header starts in a text and where its line ends (the first CR
// after the tag, or npos when the line is not complete yet).
struct BinHeaderSpan {
    std::size_t start = 0;
    std::size_t lineEnd = std::string_view::npos;
    bool complete() const { return lineEnd != std::string_view::npos; }
};
std::optional<BinHeaderSpan> findBinHeader(std::string_view text);

// The announced length: the decimal number after the tag up to '#', CR, LF
// or the end. Nothing when there are no digits, a sign, other characters,
// or the value exceeds kBinMaxLength.
std::optional<std::int64_t> binHeaderLength(std::string_view line);

// The name part of a header line (tag to CR): what follows the last ':',
// '#', '\' or '/'. Empty for a length-only header ("#BIN#20480").
std::string_view binHeaderName(std::string_view line);

// "#BIN#20480": the length and nothing else (F6FBB's BGET).
bool binHeaderLengthOnly(std::string_view line);

// The CRC a full header carries ("#BIN#len#|crc#$stamp#NAME"), if any.
std::optional<std::uint16_t> binHeaderCrc(std::string_view line);

// The file name of F6FBB's announcement "Ready to send NAME with AUTOBIN
// protocol." when it is the last line of a text (a CR may end it).
std::optional<std::string_view> fbbAnnouncedName(std::string_view text);


// Names the automatic reception takes without asking: 1 to 12 characters,
// shorter than 9 or holding a dot.
bool autoBinNameUsable(std::string_view name);

// The full header TNT and F6FBB read: "#BIN#<length>#|<crc>#$<stamp>#<NAME>\r",
// the CRC in decimal, the stamp the file's DOS date and time in 8 hex
// digits; with a leading CR for mailboxes.
std::string binHeaderLine(std::int64_t length, std::uint16_t crc, std::uint32_t dosStamp, std::string_view airName,
                          bool mailbox);
// The DOS date and time (local) of a Unix time, as FAT and the #BIN# stamp hold it.
std::uint32_t dosTimestamp(std::int64_t unixSeconds);
std::string binTxReport(std::uint16_t crc);
std::string binRxReport(std::uint16_t crc);
// The CRC of a sender report in a text ("#BIN-TX OK#<crc>" or F6FBB's
// "BIN-TX OK #<crc>"), when there is a whole one.
std::optional<std::uint16_t> findTxReport(std::string_view text);
// The text is a sender report and nothing else but line ends and blanks.
bool isOnlyTxReport(std::string_view text);

}  // namespace norva
