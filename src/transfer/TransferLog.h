// files.log (one line per finished transfer) and sf.log (which files of the
// outgoing directory were queued already) with the send-all-files core.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Clock.h"

namespace norva {

class CTncChannel;

inline constexpr std::string_view kArrowSent = "  ->  ";
inline constexpr std::string_view kArrowReceived = "  <-  ";
// Outcomes added to a files.log line of a transfer that did not end well.
inline constexpr std::string_view kOutcomeAborted = "  abgebrochen";
inline constexpr std::string_view kOutcomeCrcMismatch = "  CRC-Fehler";

// "  DD.MM.YYYY HH:MM  NAME(15)  ->  CALL(10)%6ld Byte  %5ld Byte / min" + outcome + CR LF.
std::string filesLogLine(const LocalTime& when, std::string_view displayName, std::string_view arrow,
                         std::string_view remoteCall, std::int64_t fileLength, std::int64_t rate,
                         std::string_view outcome = {});

// What the send-all-files command finds before it asks the operator.
enum class SendAllCheck {
    NoOwnDirectory,  // SendFileDir is the program directory: "Definieren Sie bitte ..."
    NoFiles,         // "Es sind keine Dateien im Ausgangsverzeichnis vorhanden."
    Ready,
};
inline constexpr std::string_view kTextNoOwnSendDir =
    "Definieren Sie bitte ein eigenes Verzeichnis\nzum Aussenden von Textdateien";
inline constexpr std::string_view kTextNoFilesToSend = "Es sind keine Dateien im Ausgangsverzeichnis vorhanden.";
inline constexpr std::string_view kTextQueueFull = "Keine weitere Datei möglich.\r\n\r\n Transfer Queue ist voll.";

struct SendAllPlan {
    SendAllCheck check = SendAllCheck::NoFiles;
    std::filesystem::path directory;
    std::vector<std::string> files;  // names in listing order (for the dialog)
};
SendAllPlan planSendAll(CTncChannel& channel);

struct SendAllResult {
    int queued = 0;
    bool queueFull = false;  // stopped at a file that did not fit (the operator sees 61245)
};
// Queues every file of the outgoing directory that sf.log does not mark "ok"
// as a text send job with stamp and end marker. fresh: forget sf.log first
// (the operator's command, after the dialog's OK).
SendAllResult queueAllUnsentFiles(CTncChannel& channel, bool fresh);

}  // namespace norva
