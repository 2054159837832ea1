// Resynchronisation of a TNC that lost a reply: single 0x01 bytes until the
// TNC answers, a port reopen after every 5 unanswered attempts, and after 255
// attempts the TNC is stopped and not started again next time.
#include <string>

#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/UiPort.h"

namespace norva {

namespace {
constexpr int kAttemptsBeforeReopen = 5;
constexpr int kAttemptsBeforeGivingUp = 255;

bool contains(std::string_view bytes, std::string_view what) {
    return bytes.find(what) != std::string_view::npos;
}
}  // namespace

int CTnc::resynchronise() {
    if (!open_) return 0;
    if (port_.kind() == PortKind::Dde) {
        // The in-process TNC cannot lose a frame; nothing to resynchronise.
        setOutOfSync(false, "in-process TNC");
        return 0;
    }
    status(tncName_ + ": Tnc Resynch No. " + std::to_string(resyncAttempts_));
    static constexpr std::uint8_t kOne[] = {0x01};
    port_.write(kOne);
    ++resyncAttempts_;
    ++resyncSinceReopen_;

    // Slow lines deliver the answer a few bytes at a time: judge all of it.
    const std::string answer = readUntilQuiet();
    if (!answer.empty()) {
        const int attempts = resyncAttempts_;
        logLine("Resynch OK afer " + std::to_string(attempts) + "\r\n");
        if (!contains(answer, "INVALID CHANNEL") && !contains(answer, "INVALID COMMAND")) {
            // Not a host-mode answer: the TNC fell back to terminal mode.
            port_.close();
            open_ = false;
            openAndSwitch();
        }
        status("");
        resetResync();
        setOutOfSync(false, "answer after " + std::to_string(attempts) + " attempts");
        return 0;
    }

    if (resyncAttempts_ >= kAttemptsBeforeGivingUp) {
        giveUp();
        return 0;
    }
    if (resyncSinceReopen_ >= kAttemptsBeforeReopen) {
        resyncSinceReopen_ = 0;
        reopenPort();
    }
    return 1;
}

bool CTnc::reopenPort() {
    const std::string sec = section();
    const std::string portName = ctx_.profile.getString(sec, "ComPort", "com1");
    const int baud = ctx_.profile.getInt(sec, "Baudrate", 9600);
    port_.close();
    return port_.open(portName, baud) != -1;
}

void CTnc::giveUp() {
    logLine("no Resynch afer " + std::to_string(resyncAttempts_) + "\r\n");
    stop();
    resetResync();
    status("");
    ctx_.profile.writeInt(section(), "Connected", 0);
    ctx_.ui.messageBox("Norva Tnc Resynch ", "Tnc kann nicht resynchronisiert werden.");
}

}  // namespace norva
