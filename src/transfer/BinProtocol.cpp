// The #BIN# wire format: CRC, header parsing, report lines, plain names.
#include "transfer/BinProtocol.h"

#include <cstdio>
#include <ctime>

namespace norva {

namespace {

// The decimal number at the start of text (at most six digits), and how many
// digits it had; it is whole only when something that is not a digit follows.
std::optional<std::uint16_t> wholeNumber(std::string_view text) {
    unsigned value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && digits < 6 && text[digits] >= '0' && text[digits] <= '9')
        value = value * 10 + static_cast<unsigned>(text[digits++] - '0');
    if (digits == 0 || digits == text.size() || value > 0xffff) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string_view trimLineEnds(std::string_view text) {
    const auto first = text.find_first_not_of("\r\n ");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of("\r\n ");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::uint16_t binCrc(std::uint16_t crc, std::string_view bytes) {
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        for (int bit = 7; bit >= 0; --bit) {
            const bool top = (crc & 0x8000) != 0;
            crc = static_cast<std::uint16_t>((crc << 1) | ((byte >> bit) & 1));
            if (top) crc ^= 0x1021;
        }
    }
    return crc;
}

std::optional<BinHeaderSpan> findBinHeader(std::string_view text) {
    const std::size_t start = text.find(kBinTag);
    if (start == std::string_view::npos) return std::nullopt;
    BinHeaderSpan span;
    span.start = start;
    span.lineEnd = text.find('\r', start);
    return span;
}

std::optional<std::int64_t> binHeaderLength(std::string_view line) {
    if (line.substr(0, kBinTag.size()) == kBinTag) line.remove_prefix(kBinTag.size());
    std::int64_t value = 0;
    std::size_t digits = 0;
    for (const char c : line) {
        if (c == '#' || c == '\r' || c == '\n') break;
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > kBinMaxLength) return std::nullopt;
        ++digits;
    }
    if (digits == 0) return std::nullopt;
    return value;
}

std::string_view binHeaderName(std::string_view line) {
    if (line.substr(0, kBinTag.size()) == kBinTag) line.remove_prefix(kBinTag.size());
    const std::size_t cr = line.find('\r');
    if (cr != std::string_view::npos) line = line.substr(0, cr);
    const std::size_t cut = line.find_last_of(":#\\/");
    // Without a separator there is no name part, only the length.
    if (cut == std::string_view::npos) return {};
    return line.substr(cut + 1);
}

bool binHeaderLengthOnly(std::string_view line) {
    if (line.starts_with(kBinTag)) line.remove_prefix(kBinTag.size());
    line = trimLineEnds(line.substr(0, line.find('\r')));
    return !line.empty() && line.find_first_not_of("0123456789") == std::string_view::npos;
}

std::optional<std::uint16_t> binHeaderCrc(std::string_view line) {
    line = line.substr(0, line.find('\r'));
    const std::size_t at = line.find("#|");
    if (at == std::string_view::npos) return std::nullopt;
    // The CRC field ends at the next '#'; a header cut after it has no CRC.
    const std::string_view field = line.substr(at + 2);
    if (field.find('#') == std::string_view::npos) return std::nullopt;
    return wholeNumber(field);
}

std::optional<std::string_view> fbbAnnouncedName(std::string_view text) {
    constexpr std::string_view kStart = "Ready to send ";
    constexpr std::string_view kEnd = " with AUTOBIN protocol.";
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
    const std::size_t lineStart = text.find_last_of("\r\n");
    const std::string_view line = lineStart == std::string_view::npos ? text : text.substr(lineStart + 1);
    if (!line.starts_with(kStart) || !line.ends_with(kEnd)) return std::nullopt;
    const std::string_view name = line.substr(kStart.size(), line.size() - kStart.size() - kEnd.size());
    if (name.empty() || name.find(' ') != std::string_view::npos) return std::nullopt;
    return name;
}

bool autoBinNameUsable(std::string_view name) {
    return !name.empty() && name.size() <= 12 &&
           (name.size() < 9 || name.find('.') != std::string_view::npos);
}

std::string binHeaderLine(std::int64_t length, std::uint16_t crc, std::uint32_t dosStamp, std::string_view airName,
                          bool mailbox) {
    char stamp[9];
    std::snprintf(stamp, sizeof stamp, "%08X", static_cast<unsigned>(dosStamp));
    std::string line = mailbox ? "\r" : "";
    line += kBinTag;
    line += std::to_string(length);
    line += "#|";
    line += std::to_string(crc);
    line += "#$";
    line += stamp;
    line += '#';
    line += airName;
    line += '\r';
    return line;
}

std::uint32_t dosTimestamp(std::int64_t unixSeconds) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm local{};
    if (!localtime_r(&t, &local) || local.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1980-01-01
    const auto date = static_cast<std::uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const auto time = static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
    return date << 16 | time;
}

std::string binTxReport(std::uint16_t crc) { return "#BIN-TX OK#" + std::to_string(crc) + "\r"; }
std::string binRxReport(std::uint16_t crc) { return "#BIN-RX OK#" + std::to_string(crc) + "\r"; }

std::optional<std::uint16_t> findTxReport(std::string_view text) {
    for (const std::string_view tag : {kBinTxReportTag, kFbbTxReportTag}) {
        const std::size_t at = text.find(tag);
        if (at == std::string_view::npos) continue;
        // "#BIN-TX OK#" holds "BIN-TX OK" but not F6FBB's tag, so the forms never mix.
        return wholeNumber(text.substr(at + tag.size()));
    }
    return std::nullopt;
}

bool isOnlyTxReport(std::string_view text) {
    const std::string_view body = trimLineEnds(text);
    for (const std::string_view tag : {kBinTxReportTag, kFbbTxReportTag}) {
        if (!body.starts_with(tag)) continue;
        const std::string_view number = body.substr(tag.size());
        return !number.empty() && number.size() <= 5 &&
               number.find_first_not_of("0123456789") == std::string_view::npos && std::stoul(std::string(number)) <= 0xffff;
    }
    return false;
}

}  // namespace norva
