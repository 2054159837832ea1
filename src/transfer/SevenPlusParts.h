// 7Plus parts: the names 7PLUS derives from a file name, the header,
// extended-name and stop lines that frame each part, and the encoder that
// cuts a file into parts. The parsers take lines from the air and check
// every field before anything is believed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

inline constexpr std::string_view kSevenPlusStart = " go_7+.";
inline constexpr std::string_view kSevenPlusStop = " stop_7+.";
inline constexpr int kSevenPlusMaxParts = 255;
inline constexpr int kSevenPlusMaxLinesPerPart = 512;
inline constexpr int kSevenPlusDefaultLinesPerPart = 138;
// 255 parts of 512 lines of 62 bytes.
inline constexpr std::int64_t kSevenPlusMaxSize = 255LL * 512 * 62;
// The longest original name the extended-name line carries.
inline constexpr std::size_t kSevenPlusMaxLongName = 60;

// The 8.3 names 7PLUS gives a file: base and extension lower case, cut to
// 8 and 3 characters, every character a DOS name may not hold made "_".
struct SevenPlusNames {
    std::string base;       // "random40"
    std::string extension;  // "bin", may be empty
    // "RANDOM40.BIN" (just "RANDOM40" without extension): the header's name.
    std::string headerName() const;
    // "random40.bin": what the decoder falls back to without a long name.
    std::string shortName() const;
};
SevenPlusNames sevenPlusNames(std::string_view originalName);
// The header name split again at its dot (lower case).
SevenPlusNames sevenPlusNamesOfHeader(std::string_view headerName);
// The original name as the extended-name line carries it: at most 60
// characters, a longer one keeps 56 base characters and its extension.
std::string sevenPlusLongName(std::string_view originalName);

// Lines of the file: ceil(size / 62).
std::int64_t sevenPlusLineCount(std::int64_t size);

struct SevenPlusHeader {
    int part = 0;
    int parts = 0;
    std::string name;  // header name, as written (upper case)
    std::int64_t size = 0;
    int linesPerPart = 0;
    bool longNameFollows = false;  // position 65 is "*": part 1 carries the extended-name line
    // Data lines in this part.
    int lines() const;
    // Same file: parts, name, size and split agree.
    bool sameFile(const SevenPlusHeader& o) const {
        return parts == o.parts && name == o.name && size == o.size && linesPerPart == o.linesPerPart;
    }
};

enum class SevenPlusHeaderError { None, Corrupted, EightBitStripped, BadFields };
struct ParsedSevenPlusHeader {
    std::optional<SevenPlusHeader> header;
    SevenPlusHeaderError error = SevenPlusHeaderError::None;
    bool repaired = false;
};
// A header line as it arrived (starting " go_7+.", line end cut): checked,
// repaired when one character went wrong, every field in range and the
// number of parts the one size and split give.
ParsedSevenPlusHeader parseSevenPlusHeader(std::string_view line);
std::string sevenPlusHeaderLine(const SevenPlusHeader& header);

// The extended-name line: the name when the line's check holds.
std::optional<std::string> parseSevenPlusLongName(std::string_view line);
std::string sevenPlusLongNameLine(std::string_view longName);

// The stop line's time stamp (MS-DOS date and time), when its check holds:
// nothing for a damaged line, 0 when it carries none.
std::optional<std::uint32_t> parseSevenPlusStop(std::string_view line);
std::string sevenPlusStopLine(const SevenPlusHeader& header, std::string_view base, std::uint32_t stamp);
// Upper-case hex without leading zeros, as the stop line and reports write it.
std::string sevenPlusStampText(std::uint32_t stamp);

// The MS-DOS date and time of a local calendar time; 0 before 1980.
std::uint32_t sevenPlusDosTime(int year, int month, int day, int hour, int minute, int second);

struct SevenPlusEncodeOptions {
    int linesPerPart = kSevenPlusDefaultLinesPerPart;  // 1..512
    std::string lineEnd = "\n";
    std::uint32_t stamp = 0;  // MS-DOS time of the file
};
struct SevenPlusPart {
    std::string fileName;  // "random40.p01", or "random40.7pl" for a file in one part
    std::string text;
};
// The parts of a file, or nothing (with *error) for an empty file or one
// that needs more than 255 parts.
std::optional<std::vector<SevenPlusPart>> encodeSevenPlus(std::string_view data, std::string_view originalName,
                                                          const SevenPlusEncodeOptions& options,
                                                          std::string* error = nullptr);

}  // namespace norva
