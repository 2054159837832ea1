// The transfer status of a channel as plain data for the status window: one
// row per job in the send queue (the one being sent included) and one for
// the file reception, plus the operations of the window's buttons.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace norva {

class CChannelJob;
class CTncChannel;
class ChannelRegistry;

struct TransferRow {
    const CChannelJob* job = nullptr;  // identifies the row for the operations below
    std::int64_t fileLength = 0;
    std::int64_t remaining = 0;
    std::int64_t rate = 0;
    std::int64_t minutesLeft = 0;
    std::string status;  // "waiting ", "transmit", "receive "
    std::string type;    // "text", "bin"
    std::string name;
    bool active = false;  // being sent now
    // "%8ld %8ld %6ld %6ld     %s  %s  %s" (status padded to 8, type to 4).
    std::string text() const;
};

struct TransferStatus {
    int tnc = 0;
    int channel = 0;
    bool paused = false;
    std::vector<TransferRow> queue;
    std::optional<TransferRow> receiving;
    // "Transfer Status / Tnc %d Channel %d"
    std::string title() const;
};

// Questions and messages of the transfer commands (the window asks, the core acts).
inline constexpr const char* kCaptionTransfer = "Norva Dateiübertragung";
inline constexpr const char* kCaptionSpooler = "Norva File Spooler";
inline constexpr const char* kAskRemoveQueued = "Datei aus Transfer Queue löschen ?";
inline constexpr const char* kAskCloseLog = "Logdatei schließen ?";
inline constexpr const char* kAskCancelBinReceive = "Binärdateiempfang abbrechen ?";
inline constexpr const char* kAskStopAll = "Alle Übertragungen abbrechen ?";
inline constexpr const char* kAskSendClipboard = "Zwischenablage senden";
inline constexpr const char* kTitleSendText = "Textdatei senden";
inline constexpr const char* kTitleSendBinary = "Binärdatei senden";
inline constexpr const char* kTitleReceiveBinary = "Binärdatei empfangen";
inline constexpr const char* kTitleSendYapp = "YAPP senden";
inline constexpr const char* kTitleReceiveYapp = "YAPP empfangen";
inline constexpr const char* kAskCancelYappReceive = "YAPP-Empfang abbrechen ?";
inline constexpr const char* kTitleWriteLog = "Logdatei schreiben";
inline constexpr const char* kFileFilterAll = "Alle Dateien (*.*) | *.*||";

// The column heads of the window.
inline constexpr const char* kTransferColumns[] = {"Total:",  "Restlänge:", "Byte/Min:", "Restzeit:",
                                                   "Status:", "Typ:",       "Dateiname:"};

TransferStatus transferStatus(CTncChannel& channel);
// Every connection channel that sends, queues or receives something, in slot order.
std::vector<TransferStatus> allTransferStatus(ChannelRegistry& channels);

// The name the receive-text command proposes: "prlog<tnc><channel>.txt".
std::string proposedLogName(int tnc, int channel);

// "Halt" / "Weiter".
void pauseTransfers(CTncChannel& channel, bool paused);
// "löschen": removes and destroys a waiting job; the one being sent stays. False when nothing was removed.
bool removeWaitingTransfer(CTncChannel& channel, const CChannelJob* job);
// Stop sending: ends the job in the send slot (the next queued one follows).
void stopSending(CTncChannel& channel);
// Ends the file reception.
void cancelReceive(CTncChannel& channel);
// Moves a waiting job one place towards the front or the back of the queue.
// The job being sent keeps its place. False when it cannot move.
bool moveTransferUp(CTncChannel& channel, const CChannelJob* job);
bool moveTransferDown(CTncChannel& channel, const CChannelJob* job);

}  // namespace norva
