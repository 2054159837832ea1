// CTncChannel: text out, the one road for everything the user or the program
// sends on a channel, including the dummy TNC's two consoles.
#include "channel/ChannelHooks.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"

namespace norva {

void CTncChannel::receiveAsRemote(std::string_view text) {
    // A job answering console text through text out would be fed its own
    // answer again, without end: its answer is only shown.
    if (consoleDepth_ > 0) {
        show(text, kClassInputEcho);
        return;
    }
    ++consoleDepth_;
    receiveEntry(kKindConnected, text);
    dispatch();
    flushToOutput();
    --consoleDepth_;
}

// Typed text goes into the capture in record-sized pieces: a long pasted
// line must reach the file whole.
void CTncChannel::captureTyped(std::string_view text, int kind) {
    constexpr std::size_t kPiece = ReceiveRecord::kCapacity - 1;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        CChannelJob* capture = job(JobSlot::Capture);
        if (!capture) return;
        if (capture->receive(ReceiveRecord::of(number_, kind, text.substr(at, kPiece))) == 0) {
            if (job(JobSlot::Capture) == capture) destroyJob(JobSlot::Capture);
            return;
        }
    }
}

void CTncChannel::textOut(std::string_view text, int kind, bool echo) {
    if (tnc_.outOfSync()) return;
    // A typed command still carries the two characters of its input prefix.
    if (kind == kKindCommand) text = text.size() >= 2 ? text.substr(2) : std::string_view{};

    if (settings_.inputToFile) captureTyped(text, kind);

    // The remote console: the operator plays a remote station.
    if (isRemoteConsole()) {
        receiveAsRemote(text);
        return;
    }
    // The converse console: "/" lines are conference commands, the rest goes to the conference.
    if (isConverseConsole()) {
        if (kind == kKindCommand) return;
        if (!text.empty() && text.front() == '/')
            receiveAsRemote(text);
        else
            registry().hooks().remote().converseLine(*this, text);
        return;
    }

    const std::string out = linkState_.onSend(kind, text);
    const FrameRecord frame{kind, out};
    if (CChannelJob* mailbox = job(JobSlot::Mailbox); mailbox && !job(JobSlot::Send) && !receivingFile())
        mailbox->sendHook(frame);
    if (CChannelJob* session = job(JobSlot::RemoteSession)) {
        session->sendHook(frame);
        return;
    }
    if (echo) show(out, kClassInputEcho);
    if (!tnc_.isOpen()) return;
    if (registry().hooks().password().takesOver(*this, kind, out)) return;
    // A running transfer owns the channel's text; commands still pass.
    if (job(JobSlot::Send) && kind != kKindCommand) return;
    sendOperation(frame);
}

}  // namespace norva
