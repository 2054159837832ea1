// The two small text files 7PLUS uses to mend a damaged transfer: the
// error report (.err) a receiver writes, listing the lines it lacks, and
// the correction (.cor) the originator answers with, carrying just those
// lines. Both are protected by a CRC over their lines; the readers check it
// and every number before anything is believed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

// Lines of a text, split at CR, LF or CR LF, without their ends.
std::vector<std::string_view> sevenPlusLines(std::string_view text);

struct SevenPlusMissingPart {
    int part = 0;
    std::vector<int> lines;  // indices within the part, increasing
    bool operator==(const SevenPlusMissingPart&) const = default;
};

struct SevenPlusErrorReport {
    std::string headerName;  // "RANDOM40.BIN"
    int linesPerPart = 0;
    std::string longName;  // written only when it differs from the lower-case 8.3 name
    std::int64_t size = 0;
    std::vector<SevenPlusMissingPart> missing;
    std::uint32_t stamp = 0;  // of the parts' stop lines, 0 when none was read
};
// " go_text. RANDOM40.ERR" ... " stop_text." with its CRC line.
std::string writeSevenPlusErrorReport(const SevenPlusErrorReport& report, std::string_view lineEnd = "\n");
// "random40.err" for "RANDOM40.BIN".
std::string sevenPlusErrorReportName(std::string_view headerName);
// Nothing (with *error) when the CRC line is missing or wrong or a field is out of range.
std::optional<SevenPlusErrorReport> parseSevenPlusErrorReport(std::string_view text, std::string* error = nullptr);

struct SevenPlusCorrectionLine {
    int part = 0;
    int index = 0;
    std::string line;  // the data line as it came
};
struct SevenPlusCorrection {
    std::string headerName;
    std::int64_t size = 0;
    int linesPerPart = 0;
    std::uint32_t stamp = 0;
    std::vector<SevenPlusCorrectionLine> lines;
};
// The originator's answer to a report, from the original file (data, its
// name and its MS-DOS time). Nothing (with *error) when the report names
// another file or another size.
std::optional<std::string> writeSevenPlusCorrection(const SevenPlusErrorReport& report, std::string_view data,
                                                    std::string_view originalName, std::uint32_t stamp,
                                                    std::string_view lineEnd = "\n", std::string* error = nullptr);
std::optional<SevenPlusCorrection> parseSevenPlusCorrection(std::string_view text, std::string* error = nullptr);

// What a text holds, judged by its first framing line.
enum class SevenPlusTextKind { None, Part, ErrorReport, Correction };
SevenPlusTextKind sevenPlusTextKind(std::string_view text);

}  // namespace norva
