// SevenPlusDecoder: puts a 7Plus file together from its parts. Parts come
// in any order, from files or channels, and may come twice (a part sent
// again); every line is checked, kept by its part and index, and a line
// that is still missing can be filled later by a correction file. What is
// missing becomes the error report for the originator.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "transfer/SevenPlusCodec.h"
#include "transfer/SevenPlusParts.h"
#include "transfer/SevenPlusReports.h"

namespace norva {

enum class SevenPlusPartOutcome {
    Taken,             // the part's lines are kept
    NoHeader,          // no " go_7+." line
    HeaderCorrupted,   // the header's check fails and cannot be repaired
    EightBitStripped,  // the channel lost bit 8: nothing can be decoded
    BadHeader,         // a field is missing or out of range
    OtherFile,         // the header belongs to another file than the parts before
};

struct SevenPlusPartResult {
    SevenPlusPartOutcome outcome = SevenPlusPartOutcome::NoHeader;
    int part = 0;
    int badLines = 0;  // lines that failed their check and could not be repaired
    int rebuilt = 0;   // lines repaired
};

struct SevenPlusCorrectionResult {
    bool applied = false;
    std::string error;  // why the correction was refused
    int filled = 0;     // missing lines it filled
};

class SevenPlusDecoder {
public:
    // Every part in a text (a captured part, a part file, parts joined
    // into one upload); text outside header ... stop line is ignored.
    std::vector<SevenPlusPartResult> addText(std::string_view text);
    SevenPlusCorrectionResult addCorrection(const SevenPlusCorrection& correction);

    // The file the first good header named.
    const std::optional<SevenPlusHeader>& file() const { return file_; }
    bool complete() const;
    // Missing lines of every part, increasing; a part never seen lacks all its lines.
    std::vector<SevenPlusMissingPart> missing() const;
    int missingCount() const;
    bool partSeen(int part) const { return seen_.count(part) != 0; }
    int rebuilt() const { return rebuilt_; }
    // The decoded file; complete() must hold.
    std::string data() const;
    // The original name from part 1 (empty when it did not arrive).
    const std::string& longName() const { return longName_; }
    // The MS-DOS time from the first stop line that passed its check.
    std::optional<std::uint32_t> stamp() const { return stamp_; }
    // The report for the originator (file() must be known).
    SevenPlusErrorReport errorReport() const;

private:
    std::size_t addPart(const std::vector<std::string_view>& lines, std::size_t header, SevenPlusPartResult& result);
    std::size_t addLines(const std::vector<std::string_view>& lines, std::size_t from, const SevenPlusHeader& h,
                         SevenPlusPartResult& result);
    std::int64_t totalLines() const;

    std::optional<SevenPlusHeader> file_;
    std::set<int> seen_;
    std::map<std::int64_t, std::array<unsigned char, kSevenPlusLineBytes>> lines_;  // by line number in the file
    std::string longName_;
    std::optional<std::uint32_t> stamp_;
    int rebuilt_ = 0;
};

}  // namespace norva
