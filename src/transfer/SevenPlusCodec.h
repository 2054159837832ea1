// The 7Plus line codec (format of 7PLUS v2.x): the 216-symbol code table,
// the CRC the format uses, one data line of 62 bytes as 69 characters, the
// checks of header, name and stop lines, and the repair of a line that lost,
// gained or garbled one character. Pure text work on bytes from the air: no
// files, no channel, so the decoder can be fed hostile input directly.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace norva {

inline constexpr std::size_t kSevenPlusLineBytes = 62;  // file bytes per data line
inline constexpr std::size_t kSevenPlusLineChars = 69;  // characters per line, without its end
inline constexpr int kSevenPlusMaxIndex = 511;          // line index within a part

// The byte of symbol value 0..215.
unsigned char sevenPlusCode(int value);
// The value of a byte, or -1 for a byte the code does not use.
int sevenPlusValue(unsigned char byte);

// The format's CRC: polynomial 0x1021, each byte shifted into the low end
// of the register (no augmenting zeros), continuing from crc.
std::uint16_t sevenPlusCrc(std::string_view bytes, std::uint16_t crc = 0);

// A data line: 64 code characters, line index and 14-bit CRC in three,
// the backward check in the last two.
std::string encodeSevenPlusLine(std::span<const unsigned char, kSevenPlusLineBytes> bytes, int index);

struct SevenPlusDataLine {
    int index = 0;
    std::array<unsigned char, kSevenPlusLineBytes> bytes{};
    bool repaired = false;
};
// Decodes a line as it arrived (line end and trailing blanks already cut).
// A line whose 14-bit CRC fails is repaired when one character was changed,
// lost or added; nothing when it cannot be trusted.
std::optional<SevenPlusDataLine> decodeSevenPlusLine(std::string_view line);

// Header, name and stop lines: 66 characters of text, then the mini check
// and the backward check. Appends both to the 66 characters.
std::string withSevenPlusChecks(std::string_view text66);
// The 69 characters of such a line when its mini check holds, repaired when
// one character went wrong; nothing otherwise.
std::optional<std::string> checkedSevenPlusLine(std::string_view line);

}  // namespace norva
