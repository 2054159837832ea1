// The headless program's main flow, its console and the line reader.
#include "app/Headless.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <system_error>

#include "app/CommandLine.h"
#include "app/Engine.h"
#include "app/HeadlessUi.h"
#include "app/MailboxConsole.h"
#include "app/SingleInstance.h"
#include "app/StationConsole.h"
#include "channel/ChannelRegistry.h"
#include "channel/ChannelSettings.h"
#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"
#include "platform/FileNames.h"
#include "platform/ProgramDir.h"
#include "platform/ReceiveFolders.h"
#include "platform/Text.h"
#include "script/ScriptFiles.h"
#include "transfer/FileArea.h"
#include "transfer/SevenPlusFiles.h"
#include "transfer/TransferJob.h"
#include "transfer/TransferLog.h"
#include "transfer/TransferStatus.h"
#include "transfer/Transfers.h"

namespace norva {

namespace {

constexpr const char* kConsoleHelp =
    "  :ch T/C         make channel C of TNC T the current channel (also \":ch T C\")\n"
    "  \\e CMD          send CMD to the TNC as a command (a line starting with ESC too)\n"
    "  ::text          send \":text\"\n"
    "  :send FILE      queue a text file (stamp and end marker as the channel asks)\n"
    "  :sendbin FILE   queue a #BIN# send of a file\n"
    "  :recvbin FILE   receive a #BIN# file into FILE (a directory: the sender's name);\n"
    "                  the other station starts its sender; \":recvbin off\" ends it\n"
    "  :sendyapp FILE  queue a YAPP send of a file\n"
    "  :recvyapp FILE  receive a file by YAPP into FILE (a directory: the sender's name);\n"
    "                  a kept FILE.part is resumed; \":recvyapp off\" cancels it\n"
    "  :capture FILE   append the channel's text to FILE; \":capture off\" closes it\n"
    "  :queue          list the channel's transfers\n"
    "  :script NAME    run the script NAME (found in ScriptDir) on the channel\n"
    "  :stop           end the channel's script\n"
    "  :pwd            answer the connected node's password challenge (the answer is shown as \"input\")\n"
    "  :station CALL   show the station file of CALL (or of the call an alias stands for)\n"
    "  :connect ALIAS  connect the station by its script or its connect path\n"
    "  :send7p FILE    send FILE as 7Plus parts ([7Plus] SplitLines lines each); for a\n"
    "                  7Plus error report: the correction from the original file\n"
    "  :decode7p FILE  decode the 7Plus set of a part, or apply a correction (.cor),\n"
    "                  FILE relative to 7PlusRxDir; the result goes to 7PlusExtractDir\n"
    "  :mailbox [FILE [MASK]]  the captured DieBox listings, or the messages of one\n"
    "  :mailbox FILE read N..  write readbox.scr for those messages (\"erase\" for e)\n"
    "  :help           list these lines\n"
    "  other lines are sent to the current channel as text with CR\n"
    "  A relative FILE lies in the directory SendFileDir, BinSendFileDir, BinReadFileDir\n"
    "  or ReadFileDir of section Frame names (the program directory when empty).\n";

// "1/3", "1 3": TNC and channel; nothing when out of range.
bool parseChannel(std::string_view args, int& tnc, int& channel) {
    std::string text(trim(args));
    for (char& c : text)
        if (c == '/') c = ' ';
    const auto parts = splitBlanks(text);
    if (parts.size() != 2) return false;
    const auto t = parseIntStrict(parts[0]);
    const auto c = parseIntStrict(parts[1]);
    if (!t || !c || *t < 1 || *t > kDummyTnc || *c < 0 || *c > kMaxChannels) return false;
    tnc = static_cast<int>(*t);
    channel = static_cast<int>(*c);
    return true;
}

enum class ConsoleTransfer {
    SendText, SendBin, SendSevenPlus, ReceiveBin, ReceiveOff, SendYapp, ReceiveYapp, ReceiveYappOff, Capture,
    CaptureOff, Queue
};

struct TransferWord {
    std::string_view word;
    ConsoleTransfer what;
    const char* dirKey;  // where a relative file name lies
    const char* usage;
};

constexpr TransferWord kTransferWords[] = {
    {":send", ConsoleTransfer::SendText, "SendFileDir", "norva: \":send FILE\" needs a file name"},
    {":sendbin", ConsoleTransfer::SendBin, "BinSendFileDir", "norva: \":sendbin FILE\" needs a file name"},
    {":send7p", ConsoleTransfer::SendSevenPlus, "BinSendFileDir", "norva: \":send7p FILE\" needs a file name"},
    {":recvbin", ConsoleTransfer::ReceiveBin, "BinReadFileDir",
     "norva: \":recvbin FILE\" needs a file name (\":recvbin off\" ends a reception)"},
    {":sendyapp", ConsoleTransfer::SendYapp, "BinSendFileDir", "norva: \":sendyapp FILE\" needs a file name"},
    {":recvyapp", ConsoleTransfer::ReceiveYapp, "BinReadFileDir",
     "norva: \":recvyapp FILE\" needs a file name (\":recvyapp off\" ends a reception)"},
    {":capture", ConsoleTransfer::Capture, "ReadFileDir",
     "norva: \":capture FILE\" needs a file name (\":capture off\" closes it)"},
    {":queue", ConsoleTransfer::Queue, nullptr, "norva: \":queue\" takes no file name"},
};

// Longer names are no file name anybody typed.
constexpr std::size_t kMaxTypedPath = 4096;

std::string channelLabel(int slot) {
    return "[" + std::to_string(tncOfSlot(slot)) + "/" + std::to_string(channelOfSlot(slot)) + "]";
}


std::string_view trimRight(std::string_view s) {
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::string unusable(const std::filesystem::path& file) {
    return "Die Datei " + file.string() + " lässt sich nicht verwenden.";
}

// As the desktop's file chooser starts there: a relative name lies in the
// directory the command's key of section Frame names. A file to send is
// found as the scripts' SEND finds it (then in the program directory too,
// ignoring case); one that is not names the path the key gives.
std::filesystem::path consolePath(CTncChannel& ch, const char* key, const std::string& typed) {
    if (const std::string_view k(key); k == "SendFileDir" || k == "BinSendFileDir") {
        const HostContext& ctx = ch.tnc().context();
        if (auto found = findFileToSend(ctx.profile, key, ctx.programDir, typed)) return found->lexically_normal();
    }
    std::filesystem::path file(typed);
    if (file.is_relative()) {
        const HostContext& ctx = ch.tnc().context();
        // Receptions go where received files land, never among our own files.
        const auto rx = isReceiveKey(key) ? ch.receiveFolders().directoryFor(key) : std::nullopt;
        file = (rx ? *rx : frameDirectory(ctx.profile, key, ctx.programDir)) / file;
    }
    return file.lexically_normal();
}

// Engine thread, as every function below: "" when done, else what went wrong.
std::string queueSend(CTncChannel& ch, const std::filesystem::path& file, bool binary) {
    auto job = binary ? makeBinSendJob(ch, file, false) : makeTextFileSendJob(ch, file, true, false);
    if (!job) return unusable(file);
    return enqueueTransfer(ch, std::move(job)) ? std::string() : oneLine(kTextQueueFull);
}

std::string startReceive(CTncChannel& ch, const std::filesystem::path& file) {
    if (ch.receivingFile())
        return "a #BIN# reception is already running on " + channelLabel(ch.slot()) +
               " (\":recvbin off\" ends it)";
    // Nobody can be asked before a file is cut: an existing one is refused.
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(file, ec);
    if (std::filesystem::exists(status) && !std::filesystem::is_directory(file, ec))
        return file.string() + " exists; \":recvbin\" never overwrites a file";
    auto job = makeBinReceiveJob(ch, file, false);
    if (!job) return unusable(file);
    ch.setJob(JobSlot::FileReceive, std::move(job));
    return {};
}

std::string queueYapp(CTncChannel& ch, const std::filesystem::path& file) {
    auto job = makeYappSendJob(ch, file, false);
    if (!job) return unusable(file);
    return enqueueTransfer(ch, std::move(job)) ? std::string() : oneLine(kTextQueueFull);
}

std::string startYappReceive(CTncChannel& ch, const std::filesystem::path& target) {
    if (ch.job(JobSlot::FileReceive))
        return "a reception is already running on " + channelLabel(ch.slot()) + " (\":recvyapp off\" ends a YAPP one)";
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(target, ec)) &&
        !std::filesystem::is_directory(target, ec))
        return target.string() + " exists; \":recvyapp\" never overwrites a file";
    auto job = makeYappReceiveJob(ch, target, false);
    if (!job) return unusable(target);
    ch.setJob(JobSlot::FileReceive, std::move(job));
    return {};
}

std::string startCapture(CTncChannel& ch, const std::filesystem::path& file) {
    // Appending: an existing log grows, it is never cut.
    auto job = makeCaptureJob(ch, file, false, false);
    const auto* capture = dynamic_cast<const CTransferJob*>(job.get());
    if (!capture || capture->cancelled()) return unusable(file);
    ch.setJob(JobSlot::Capture, std::move(job));
    return {};
}

void listTransfers(CTncChannel& ch, std::FILE* out) {
    const TransferStatus status = transferStatus(ch);
    std::string text = status.title() + (status.paused ? " (Halt)" : "") + "\n";
    if (status.queue.empty() && !status.receiving) {
        text += "  no transfers\n";
    } else {
        for (const char* column : kTransferColumns) text += std::string("  ") + column;
        text += "\n";
        for (const TransferRow& row : status.queue) text += std::string(trimRight(row.text())) + "\n";
        if (status.receiving) text += std::string(trimRight(status.receiving->text())) + "\n";
    }
    std::fputs(text.c_str(), out);
    std::fflush(out);
}

std::string carryOut(CTncChannel& ch, ConsoleTransfer what, const std::filesystem::path& file, std::FILE* out) {
    switch (what) {
        case ConsoleTransfer::SendText: return queueSend(ch, file, false);
        case ConsoleTransfer::SendBin: return queueSend(ch, file, true);
        case ConsoleTransfer::SendSevenPlus: return queueSevenPlusSend(ch, file);
        case ConsoleTransfer::ReceiveBin: return startReceive(ch, file);
        case ConsoleTransfer::ReceiveOff:
            if (!ch.receivingFile()) return "no #BIN# reception runs on " + channelLabel(ch.slot());
            cancelReceive(ch);
            return {};
        case ConsoleTransfer::SendYapp: return queueYapp(ch, file);
        case ConsoleTransfer::ReceiveYapp: return startYappReceive(ch, file);
        case ConsoleTransfer::ReceiveYappOff:
            if (!cancelYapp(ch, JobSlot::FileReceive)) return "no YAPP reception runs on " + channelLabel(ch.slot());
            return {};
        case ConsoleTransfer::Capture: return startCapture(ch, file);
        case ConsoleTransfer::CaptureOff:
            if (!ch.job(JobSlot::Capture)) return "no capture runs on " + channelLabel(ch.slot());
            ch.destroyJob(JobSlot::Capture);
            return {};
        case ConsoleTransfer::Queue: listTransfers(ch, out); return {};
    }
    return {};
}

}  // namespace

HeadlessConsole::HeadlessConsole(Engine& engine, std::FILE* err)
    : engine_(engine), err_(err), slot_(slotOf(1, 1)) {
    const int slot = slot_.load();
    // No main window can be in front: incoming connects are always announced.
    engine_.post([&engine = engine_, slot] {
        engine.context().channels.setMainWindowActive(false);
        engine.context().channels.activate(slot);
    });
}

void HeadlessConsole::line(std::string_view utf8) {
    if (!utf8.empty() && utf8.back() == '\r') utf8.remove_suffix(1);
    if (utf8.starts_with("::")) {
        send(utf8ToOem(utf8.substr(1)) + "\r", kKindInfo);
        return;
    }
    if (utf8.starts_with(":ch ") || utf8 == ":ch") {
        choose(utf8.substr(3));
        return;
    }
    if (utf8 == ":help") {
        std::fputs(kConsoleHelp, err_);
        std::fflush(err_);
        return;
    }
    if (utf8 == ":script" || utf8.starts_with(":script ")) {
        script(trim(utf8.substr(7)));
        return;
    }
    if (utf8 == ":stop") {
        stopScript();
        return;
    }
    if (utf8 == ":pwd") {
        send("* PWD", kKindCommand);
        return;
    }
    if (utf8 == ":mailbox" || utf8.starts_with(":mailbox ")) {
        engine_.post([&engine = engine_, err = err_, args = std::string(utf8.substr(8))] {
            const HostContext& ctx = engine.context();
            std::fputs(mailboxConsole(ctx.profile, ctx.programDir, args).c_str(), err);
            std::fflush(err);
        });
        return;
    }
    if (utf8 == ":decode7p" || utf8.starts_with(":decode7p ")) {
        decodeSevenPlus(trim(utf8.substr(9)));
        return;
    }
    if (utf8.starts_with(":station ") || utf8.starts_with(":connect ")) {
        station(utf8.substr(1, 7) == "connect", trim(utf8.substr(9)));
        return;
    }
    if (utf8.starts_with(":")) {
        const std::size_t blank = utf8.find(' ');
        const std::string_view args = blank == std::string_view::npos ? std::string_view() : utf8.substr(blank + 1);
        if (!transfer(utf8.substr(0, blank), args))
            complain("norva: unknown console line (\":help\" lists them; \"::\" sends a \":\")");
        return;
    }
    std::string_view command;
    if (utf8.starts_with("\\e"))
        command = utf8.substr(2);
    else if (utf8.starts_with("\x1b"))
        command = utf8.substr(1);
    else {
        send(utf8ToOem(utf8) + "\r", kKindInfo);
        return;
    }
    // As the input pane writes a command line: "* " and the command in upper case.
    send("* " + toUpper(utf8ToOem(trim(command))), kKindCommand);
}

void HeadlessConsole::choose(std::string_view args) {
    int tnc = 0;
    int channel = 0;
    if (!parseChannel(args, tnc, channel)) {
        std::fprintf(err_, "norva: \":ch T/C\" needs a TNC 1..5 and a channel 0..20\n");
        std::fflush(err_);
        return;
    }
    const int slot = slotOf(tnc, channel);
    slot_ = slot;
    engine_.post([&engine = engine_, slot] { engine.context().channels.activate(slot); });
}

void HeadlessConsole::complain(const char* text) {
    // Through the engine, so every answer comes in the order the lines were typed.
    auto say = [err = err_, text] {
        std::fprintf(err, "%s\n", text);
        std::fflush(err);
    };
    if (!engine_.post(say)) say();
}

bool HeadlessConsole::transfer(std::string_view word, std::string_view args) {
    const TransferWord* entry = nullptr;
    for (const TransferWord& w : kTransferWords)
        if (w.word == word) entry = &w;
    if (!entry) return false;
    const std::string typed(trim(args));
    ConsoleTransfer what = entry->what;
    if ((what == ConsoleTransfer::Queue) != typed.empty()) {
        complain(entry->usage);
        return true;
    }
    if (typed.size() > kMaxTypedPath || typed.find('\0') != std::string::npos) {
        complain("norva: that is no usable file name");
        return true;
    }
    if (typed == "off" && what == ConsoleTransfer::ReceiveBin) what = ConsoleTransfer::ReceiveOff;
    if (typed == "off" && what == ConsoleTransfer::ReceiveYapp) what = ConsoleTransfer::ReceiveYappOff;
    if (typed == "off" && what == ConsoleTransfer::Capture) what = ConsoleTransfer::CaptureOff;
    const int slot = slot_.load();
    engine_.post([&engine = engine_, err = err_, slot, what, typed, key = entry->dirKey] {
        CTncChannel* ch = engine.context().channels.channel(slot);
        std::string error;
        if (!ch)
            error = "there is no channel " + channelLabel(slot);
        else
            error = carryOut(*ch, what, key ? consolePath(*ch, key, typed) : std::filesystem::path(), err);
        if (error.empty()) return;
        std::fprintf(err, "norva: %s\n", error.c_str());
        std::fflush(err);
    });
    return true;
}

void HeadlessConsole::script(std::string_view name) {
    if (name.empty() || name.size() > kMaxTypedPath || name.find('\0') != std::string_view::npos) {
        complain("norva: \":script NAME\" needs the name of a script");
        return;
    }
    const int slot = slot_.load();
    engine_.post([&engine = engine_, err = err_, slot, name = std::string(name)] {
        CTncChannel* ch = engine.context().channels.channel(slot);
        std::string error;
        if (!ch)
            error = "there is no channel " + channelLabel(slot);
        else if (!startScript(*ch, name, &error) && error.empty())
            error = "the script " + name + " could not be started";
        if (error.empty()) return;
        std::fprintf(err, "norva: %s\n", oneLine(error).c_str());
        std::fflush(err);
    });
}

void HeadlessConsole::station(bool connect, std::string_view call) {
    if (call.empty() || call.size() > 80) {
        complain(connect ? "norva: \":connect ALIAS\" needs a call or an alias"
                         : "norva: \":station CALL\" needs a call or an alias");
        return;
    }
    engine_.post([&engine = engine_, err = err_, connect, call = std::string(call)] {
        const std::string text = connect ? connectStation(engine.hostMode(), call)
                                         : describeStation(engine.hostMode(), call);
        std::fprintf(err, "%s%s", text.c_str(), text.ends_with('\n') ? "" : "\n");
        std::fflush(err);
    });
}

void HeadlessConsole::decodeSevenPlus(std::string_view file) {
    if (file.empty() || file.size() > kMaxTypedPath || file.find('\0') != std::string_view::npos) {
        complain("norva: \":decode7p FILE\" needs the name of a 7Plus part");
        return;
    }
    // On the engine thread, which owns the receive folders; a set decodes in milliseconds.
    engine_.post([&engine = engine_, err = err_, typed = std::string(file)] {
        ChannelContext& ctx = engine.context();
        const auto rx = ctx.receiveFolders.directoryFor("7PlusRxDir");
        const auto extract = ctx.receiveFolders.directoryFor("7PlusExtractDir");
        std::string text = "norva: no safe receive folder for 7Plus parts (see system.log)\n";
        if (rx && extract) {
            text.clear();
            const std::filesystem::path part = (*rx / typed).lexically_normal();
            for (const std::string& line : decodeSevenPlusFile(part, *rx, *extract, ctx.receiveFolders).messages)
                text += line + "\n";
        }
        std::fputs(text.c_str(), err);
        std::fflush(err);
    });
}

void HeadlessConsole::stopScript() {
    const int slot = slot_.load();
    engine_.post([&engine = engine_, err = err_, slot] {
        CTncChannel* ch = engine.context().channels.channel(slot);
        if (ch && norva::stopScript(*ch)) return;
        std::fprintf(err, "norva: no script runs on %s\n", channelLabel(slot).c_str());
        std::fflush(err);
    });
}

void HeadlessConsole::send(std::string oem, int kind) {
    const int slot = slot_.load();
    engine_.post([&engine = engine_, err = err_, slot, oem = std::move(oem), kind] {
        ChannelContext& ctx = engine.context();
        const bool echo = kind != kKindCommand && ctx.profile.getInt(linkSection(slot), "InputEcho", 0) != 0;
        if (ctx.channels.sendToChannel(slot, oem, kind, echo)) return;
        std::fprintf(err, "norva: there is no channel [%d/%d]\n", tncOfSlot(slot), channelOfSlot(slot));
        std::fflush(err);
    });
}

LineReader::LineReader(int fd, std::function<void(std::string_view)> onLine)
    : fd_(fd), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), onLine_(std::move(onLine)) {
    thread_ = std::thread([this] { run(); });
}

LineReader::~LineReader() {
    stop();
    if (wakeFd_ >= 0) ::close(wakeFd_);
}

void LineReader::stop() {
    if (!thread_.joinable()) return;
    const std::uint64_t one = 1;
    if (wakeFd_ >= 0) [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
}

void LineReader::run() {
    std::string pending;
    char buf[4096];
    for (;;) {
        pollfd fds[2] = {{fd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[1].revents & POLLIN) return;
        if (fds[0].revents & POLLNVAL) break;  // no input at all
        if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) continue;
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        pending.append(buf, static_cast<std::size_t>(n));
        for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
            onLine_(std::string_view(pending).substr(0, end));
            pending.erase(0, end + 1);
        }
    }
    if (!pending.empty()) onLine_(pending);
    finished_ = true;
}

int runHeadless(int argc, char** argv) {
    const CommandLine cl = parseCommandLine(argc, argv);
    if (const auto exitCode = answerHelpOrError(cl)) return *exitCode;
    const ProgramDirResult dir = resolveProgramDir(cl.dir);
    if (!dir.error.empty()) {
        std::fprintf(stderr, "norva: %s\n", dir.error.c_str());
        return 1;
    }

    // The signals are taken by sigwait below; block them before any thread starts.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A reader of our output that goes away must not end the station: the
    // write fails instead, and the TNCs are still stopped properly later.
    std::signal(SIGPIPE, SIG_IGN);

    Profile profile(dir.dir / "norva.ini");
    profile.setPrivate(true);  // it holds the //SYS password
    if (handOffToRunningNorva(cl.busAddress, profile.getString("Frame", "MyName", "norva"),
                              {cl.files.begin(), cl.files.end()})) {
        std::fprintf(stderr, "norva: handed to the Norva already running\n");
        return 0;
    }
    RealClock clock;
    HeadlessUi ui{stdout, stderr, cl.verbose};
    SystemLog log(dir.dir, clock);
    // Settings that cannot be written are said, never lost silently.
    profile.setFailureReport([&log](const std::string& message) {
        log.event(message + "\r\n");
        std::fprintf(stderr, "norva: %s\n", message.c_str());
    });
    log.event("Norva Start...\r\n");

    EngineConfig config;
    config.programDir = dir.dir;
    config.settings.noExtHostMode = profile.getInt("Frame", "NoExtHostMode", 0) != 0;
    config.settings.yield = profile.getInt("Frame", "Yield", 1) != 0;
    config.trace = traceSink(cl);
    config.busAddress = cl.busAddress;
    Engine engine(config, profile, ui, clock);
    engine.start();
    HeadlessConsole console(engine);
    LineReader reader(STDIN_FILENO, [&console](std::string_view line) { console.line(line); });

    int signal = 0;
    sigwait(&stopSignals, &signal);
    std::fprintf(stderr, "norva: stopping (signal %d)\n", signal);
    reader.stop();
    engine.shutdown();
    log.event("Norva Stop...\r\n");
    if (!profile.flush()) {
        const std::string lost = "Die Einstellungen können nicht gespeichert werden: " + profile.path().string();
        log.event(lost + "\r\n");
        std::fprintf(stderr, "norva: %s\n", lost.c_str());
        return 1;
    }
    return 0;
}

}  // namespace norva
