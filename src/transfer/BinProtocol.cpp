// The #BIN# wire format: CRC, header parsing, report lines, plain names.
#include "transfer/BinProtocol.h"

namespace norva {

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

bool autoBinNameUsable(std::string_view name) {
    return !name.empty() && name.size() <= 12 &&
           (name.size() < 9 || name.find('.') != std::string_view::npos);
}

std::string binHeaderLine(std::int64_t length, std::string_view airName, bool mailbox) {
    std::string line = mailbox ? "\r" : "";
    line += kBinTag;
    line += std::to_string(length);
    line += '#';
    line += airName;
    line += '\r';
    return line;
}

std::string binTxReport(std::uint16_t crc) { return "\r#BIN-TX OK#" + std::to_string(crc) + "\r"; }
std::string binRxReport(std::uint16_t crc) { return "\r#BIN-RX OK#" + std::to_string(crc) + "\r"; }

std::optional<std::uint16_t> findTxReport(std::string_view text) {
    const std::size_t at = text.find(kBinTxReportTag);
    if (at == std::string_view::npos) return std::nullopt;
    text.remove_prefix(at + kBinTxReportTag.size());
    unsigned value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && digits < 6 && text[digits] >= '0' && text[digits] <= '9')
        value = value * 10 + static_cast<unsigned>(text[digits++] - '0');
    // The number is whole only once something that is not a digit follows it.
    if (digits == 0 || digits == text.size() || value > 0xffff) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace norva
