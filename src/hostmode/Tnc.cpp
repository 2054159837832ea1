// CTnc: construction from the profile, start and stop sequences, the host-mode
// switch, init and exit files, channel initialisation.
#include "hostmode/Tnc.h"

#include <algorithm>
#include <optional>

#include "hostmode/VirtualTnc.h"
#include "platform/Clock.h"
#include "platform/FileNames.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"
#include "platform/UiPort.h"

namespace norva {

namespace {

constexpr std::size_t kInitFileLimit = 8192;

// A profile integer kept inside [lo, hi]; a value outside is clamped and logged.
int clampedSetting(HostContext& ctx, const std::string& section, const char* key, int def, int lo,
                   int hi) {
    const int v = ctx.profile.getInt(section, key, def);
    if (v >= lo && v <= hi) return v;
    const int c = std::clamp(v, lo, hi);
    ctx.log.event("Tnc " + section + " " + key + " " + std::to_string(v) + " outside " +
                  std::to_string(lo) + ".." + std::to_string(hi) + ", using " + std::to_string(c) +
                  "\r\n");
    return c;
}

}  // namespace

CTnc::CTnc(HostContext& ctx, int number)
    : ctx_(ctx), number_(number), port_(ctx.openStream, ctx.virtualTnc) {
    if (isDummy()) {
        tncName_ = "Dummy";
        channelCount_ = 2;
        extendedPoll_ = false;
    } else {
        const std::string sec = section();
        tncName_ = cut(ctx.profile.getString(sec, "TncName", ""), 80);
        qrg_ = cut(ctx.profile.getString(sec, "Qrg", ""), 10);
        channelCount_ = clampedSetting(ctx, sec, "Channels", 0, 0, kMaxChannels);
        minFreeBuffer_ = ctx.profile.getInt(sec, "MinFreeBuffer", 500);
        delayTime_ = clampedSetting(ctx, sec, "DelayTime", 250, 25, 1000);
    }
    // Without a factory (the link tested on its own) the TNC has no channel objects.
    if (!ctx.makeChannel) return;
    for (int c = 0; c <= channelCount_; ++c)
        channels_[static_cast<std::size_t>(c)] = ctx.makeChannel(*this, c);
}

CTnc::~CTnc() {
    stop();
    for (auto& ch : channels_) ch.reset();
}

HostChannel* CTnc::channel(int n) const {
    if (n < 0 || n > channelCount_) return nullptr;
    return channels_[static_cast<std::size_t>(n)].get();
}

void CTnc::status(std::string_view text) { ctx_.ui.statusMessage(text); }

void CTnc::trace(std::string_view what) const {
    if (ctx_.trace) ctx_.trace("Tnc " + std::to_string(number_) + " " + std::string(what));
}

void CTnc::setOutOfSync(bool lost, std::string_view why) {
    if (outOfSync_ == lost) return;
    outOfSync_ = lost;
    trace((lost ? "out of sync: " : "in sync: ") + std::string(why));
}

void CTnc::logLine(std::string_view what) {
    ctx_.log.event("Tnc " + padRight(tncName_, 15) + std::string(what));
}

void CTnc::startIfWanted() {
    if (isDummy()) return;
    if (ctx_.profile.getInt(section(), "Connected", 0) == 0) return;
    if (start() == -1) ctx_.profile.writeInt(section(), "Connected", 0);
}

int CTnc::start() {
    if (isDummy()) return -1;
    status(tncName_ + " connect...");
    status(tncName_ + " switch to Hostmode...");
    const OpenOutcome outcome = openAndSwitch();
    const bool failed = outcome == OpenOutcome::NotOpened || outcome == OpenOutcome::Cancelled;
    logLine(failed ? "Start...->  not connected (failed)\r\n" : "Start...->  connected\r\n");
    if (failed) {
        status("");
        return -1;
    }
    const int result = outcome == OpenOutcome::AlreadyOpen ? 0 : 1;
    HostChannel* monitor = channel(0);
    if (!monitor) return result;
    monitor->poll(PollMode::Normal);
    if (outOfSync_) return result;
    sendFrame(*monitor, {kKindCommand, "MUISC"});
    if (!receiveReply(monitor)) return result;
    sendInitFile(InitFile::Init);
    initChannels();
    status("");
    return result;
}

OpenOutcome CTnc::openAndSwitch() {
    if (open_) return OpenOutcome::AlreadyOpen;
    readIndex_ = byteCount_ = 0;
    extendedPoll_ = true;
    const std::string sec = section();
    const std::string portName = ctx_.profile.getString(sec, "ComPort", "com1");
    const int baud = ctx_.profile.getInt(sec, "Baudrate", 9600);
    delayTime_ = clampedSetting(ctx_, sec, "DelayTime", 250, 25, 1000);
    tfpcrWarning_ = ctx_.profile.getInt(sec, "TfpcrWarning", 1) != 0;
    minFreeBuffer_ = ctx_.profile.getInt(sec, "MinFreeBuffer", 500);

    if (tfpcrWarning_ && icontains(portName, "tfpcr")) {
        bool again = true;
        const bool ok = ctx_.ui.ask(
            "TFPCR Betrieb",
            "Achtung, Sie haben auf diesem Tnc den TFPCR Betrieb  gewählt. \n"
            "Sollte kein TFPCR - Treiber installiert sein, wird Windows u.U. abstürzen.\n"
            "Drücken Sie abbrechen, um das Tnc nicht zu starten, OK um fortzusetzen.",
            "weiterhin anzeigen", &again);
        ctx_.profile.writeInt(sec, "TfpcrWarning", again ? 1 : 0);
        tfpcrWarning_ = again;
        if (!ok) return OpenOutcome::Cancelled;
    }

    if (port_.open(portName, baud) == -1) {
        ctx_.ui.messageBox(tncName_, "Com Port kann nicht geöffnet werden " + portName);
        return OpenOutcome::NotOpened;
    }
    open_ = true;
    setOutOfSync(false, "port opened");
    trace("opened " + portName);
    if (port_.kind() == PortKind::Dde) return OpenOutcome::Opened;

    drain();
    // A TNC left in host mode by an earlier run would take the switch
    // sequence as a garbage frame; ask it in host mode first.
    if (probeHostMode()) return OpenOutcome::Opened;
    writeBytes("\x11\x18");
    drain();
    writeBytes("\x1bjhost 1\r");
    drain();
    return OpenOutcome::Opened;
}

void CTnc::wait(int ms) {
    // No wait on a TNC needs more than a minute; a bad value must not stall the engine.
    ms = std::clamp(ms, 0, 60'000);
    if (port_.kind() == PortKind::Serial && port_.isOpen() && !port_.broken()) {
        port_.waitReadable(ms);
        return;
    }
    ctx_.clock.sleepMs(ms);
}

std::string CTnc::readUntilQuiet() {
    constexpr std::int64_t kLimitMs = 2000;
    constexpr std::size_t kLimitBytes = 16384;
    std::string got;
    std::array<std::uint8_t, 256> buf{};
    const std::int64_t start = ctx_.clock.monotonicMs();
    for (;;) {
        wait(delayTime_);
        const int n = port_.read(buf);
        if (n <= 0) break;
        got.append(reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n));
        if (got.size() >= kLimitBytes || ctx_.clock.monotonicMs() - start >= kLimitMs) break;
    }
    return got;
}

void CTnc::writeBytes(std::string_view bytes) {
    port_.write({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

bool CTnc::probeHostMode() {
    // "L" on channel 0. In host mode the answer is one well-formed frame with
    // text; a terminal-mode echo of these bytes never is.
    writeBytes(std::string_view("\x00\x01\x00L", 4));
    std::array<std::uint8_t, 512> buf{};
    std::size_t have = 0;
    const std::int64_t start = ctx_.clock.monotonicMs();
    int pauseMs = 0;
    while (have < buf.size()) {
        const std::int64_t left = delayTime_ - (ctx_.clock.monotonicMs() - start);
        if (left <= 0) break;
        const int n = readWithin(std::span(buf).subspan(have), left, pauseMs);
        if (n < 0) return false;
        have += static_cast<std::size_t>(n);
    }
    if (have < 3 || buf[0] != 0) return false;
    const int code = buf[1];
    if (code < 1 || code > 2) return false;
    // Text, NUL-terminated, nothing after it.
    return have >= 4 && buf[have - 1] == 0 &&
           std::find(buf.begin() + 2, buf.begin() + static_cast<long>(have), 0) ==
               buf.begin() + static_cast<long>(have - 1);
}

void CTnc::stop() {
    if (!open_) return;
    logLine("Stop ...->  disconnected\r\n");
    status(tncName_ + " disconnect...");
    HostChannel* monitor = channel(0);
    if (monitor) sendFrame(*monitor, {kKindCommand, "MN"});
    if (monitor && receiveReply(monitor)) {
        sendInitFile(InitFile::Exit);
        status(tncName_ + " switch to Terminal Mode...");
        if (port_.kind() != PortKind::Dde) {
            sendFrame(*monitor, {kKindCommand, "jhost 0"});
            drain();
        }
    }
    port_.close();
    open_ = false;
    trace("closed");
    resetResync();
    setOutOfSync(false, "stopped");
    reinitPending_ = false;
    status("");
}

void CTnc::resetResync() {
    resyncAttempts_ = 0;
    resyncSinceReopen_ = 0;
}

void CTnc::sendInitFile(InitFile which) {
    extendedPoll_ = true;
    const bool init = which == InitFile::Init;
    const std::string name =
        "tnc" + std::to_string(number_) + (init ? ".ini" : ".exi");
    status(tncName_ + (init ? " set Init Parameters..." : " set Exit Parameters..."));

    // Only a regular file is read, and only its head: a FIFO or a device
    // under the name must not hold the engine.
    const std::optional<std::string> file =
        readRegularFile(frameDirectory(ctx_.profile, "InitDir", ctx_.programDir) / name, kInitFileLimit);
    if (!file) return;
    const std::string& text = *file;

    HostChannel* monitor = channel(0);
    if (!monitor) return;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", pos);
        const std::string_view line =
            std::string_view(text).substr(pos, end == std::string::npos ? end : end - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        if (line.empty()) continue;
        // A command frame holds at most 256 bytes.
        sendFrame(*monitor, {kKindCommand, line.substr(0, 256)});
        if (!receiveReply(monitor)) break;
    }
}

void CTnc::initChannels() {
    status(tncName_ + " init Channels...");
    for (int c = 0; c <= channelCount_; ++c)
        if (HostChannel* ch = channel(c)) ch->initialiseLink();
    status("");
}

}  // namespace norva
