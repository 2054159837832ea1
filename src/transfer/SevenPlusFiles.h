// 7Plus on the station's files: decoding the part set a file belongs to
// (with every part of it found beside it and in the receive folder, and a
// correction file when one is given), writing the result or the error
// report into the extraction folder under names that never overwrite, and
// preparing a file (or the answer to an error report) for sending on a
// channel. Everything read here may come from the air: files are read
// bounded, names made plain, and the folder rules of ReceiveFolders apply.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "transfer/FileArea.h"

namespace norva {

class CTncChannel;
class ReceiveFolders;

// Where the split size for sending lives: section 7Plus, key SplitLines
// (lines of 62 bytes per part, 1..512; 7PLUS's default 138 makes parts of
// about 10 kB).
inline constexpr std::string_view kSevenPlusSection = "7Plus";
inline constexpr std::string_view kSevenPlusSplitKey = "SplitLines";

// What a decode did, for the operator: one message per line, without line ends.
struct SevenPlusDecodeReport {
    std::vector<std::string> messages;
    std::filesystem::path decoded;      // the file written (or found already there); empty when none
    std::filesystem::path errorReport;  // the .err written; empty when none
};

// The operator's decode of a chosen file: a part (its set is gathered from
// the part's folder and partsDir) or a correction file (applied to the
// parts of its file found there). The result lands in extractDir.
SevenPlusDecodeReport decodeSevenPlusFile(const std::filesystem::path& file, const std::filesystem::path& partsDir,
                                          const std::filesystem::path& extractDir, ReceiveFolders& folders,
                                          const DiskLimits& limits = {});

// After a part was captured: when its folder now holds every part of its
// set, the set is decoded (or its error report written). Nothing while
// parts are still to come.
std::optional<SevenPlusDecodeReport> decodeCapturedSevenPlus(const std::filesystem::path& part,
                                                             const std::filesystem::path& extractDir,
                                                             ReceiveFolders& folders, const DiskLimits& limits = {});

// The text that goes on the air for a file: its parts, lines ended by CR.
// A 7Plus error report is answered instead: the correction is made from
// the original file it names, looked for in originalDirs. Nothing (with
// *error) when the file cannot be used.
struct SevenPlusSendText {
    std::string name;  // for the transfer status
    std::string text;
    int parts = 0;  // 0 for a correction
};
std::optional<SevenPlusSendText> sevenPlusTextForSending(const std::filesystem::path& file, int linesPerPart,
                                                         const std::vector<std::filesystem::path>& originalDirs,
                                                         std::string* error);

// Engine thread: encodes the file with the station's split size and queues
// the text for the channel. "" when queued, else what went wrong.
std::string queueSevenPlusSend(CTncChannel& channel, const std::filesystem::path& file);

}  // namespace norva
