// RemoteServer: the scanner over received text, the conference, the
// greeting, and the commands that are not about files.
#include "remote/RemoteServer.h"

#include "platform/ReceiveFolders.h"

#include <cstdio>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "remote/RemoteArea.h"
#include "remote/RemoteJobs.h"
#include "remote/RemoteText.h"

namespace norva {

namespace rt = remote_text;
namespace fs = std::filesystem;

namespace {

bool startsOrFollowsLineEnd(std::string_view upper, std::string_view marker) {
    if (upper.starts_with(marker)) return true;
    const std::string cr = "\r" + std::string(marker);
    const std::string lf = "\n" + std::string(marker);
    return upper.find(cr) != std::string_view::npos || upper.find(lf) != std::string_view::npos;
}

std::string pad(std::string_view s, std::size_t width) {
    std::string out(s);
    if (out.size() < width) out.append(width - out.size(), ' ');
    return out;
}

fs::path hostDirectory(const CTncChannel& ch, std::string_view key) {
    const HostContext& ctx = ch.tnc().context();
    return frameDirectory(ctx.profile, key, ctx.programDir);
}

// One row of the connect and conference tables.
std::string tableRow(const CTncChannel& c) {
    const CLinkState& link = c.linkState();
    std::string name = c.tnc().name();
    name = name.substr(0, name.find(' '));
    const std::string via = link.logonNode() == link.destCall() ? std::string(10, ' ') : pad(link.logonNode(), 10);
    char head[32];
    std::snprintf(head, sizeof head, " %02d     %02d   ", c.number(), c.tncNumber());
    return head + pad(name, 9) + " " + pad(link.myCall(), 9) + " " + pad(link.destCall(), 10) + " " + via + " " +
           link.duration() + "\r";
}

template <class Listed>
std::string statusTable(const CTncChannel& asker, std::string_view title, std::string_view dashes,
                        std::string_view columns, Listed listed) {
    std::string text = "\r" + std::string(rt::kVersion) + " : " + asker.linkState().myCall() + " > " +
                       std::string(title) + "\r\r";
    text += std::string(dashes) + std::string(columns) + std::string(dashes);
    int previousTnc = 1;
    const ChannelRegistry& reg = asker.registry();
    for (int slot = 1; slot <= ChannelRegistry::kSlots; ++slot) {
        const CTncChannel* c = reg.channel(slot);
        if (!c || !listed(*c)) continue;
        if (c->tncNumber() != previousTnc) text += "\r";
        previousTnc = c->tncNumber();
        text += tableRow(*c);
    }
    return text + "\r";
}

}  // namespace

RemoteServer::RemoteServer(RemoteTransfers& transfers, RemoteGateway& gateway, RemoteMarkers& markers)
    : RemoteServer(transfers, gateway, markers, Options{}) {}

RemoteServer::RemoteServer(RemoteTransfers& transfers, RemoteGateway& gateway, RemoteMarkers& markers,
                           Options options)
    : transfers_(transfers), gateway_(gateway), markers_(markers), options_(options) {}

// ---- scanner ----

void RemoteServer::scan(CTncChannel& ch, const ReceiveRecord& record) {
    if (ch.number() == 0 || record.kind != kKindConnected) return;
    if (ch.job(JobSlot::Send) || ch.receivingFile()) return;
    const std::string_view text = record.text();
    if (text.empty()) return;
    const std::string upper = toUpper(text);
    if (ch.registry().converseGroup(ch.slot()) > 0) {
        converseMode(ch, text, upper);
        return;
    }
    bool consumed = false;
    markers(ch, text, upper, consumed);
    if (!consumed) interpret(ch, text, upper);
}

void RemoteServer::markers(CTncChannel& ch, std::string_view text, std::string_view upper, bool& consumed) {
    if (const auto at = upper.find("LOGIN:"); at != std::string_view::npos) {
        const std::string_view login = upper.substr(at);
        markers_.loginText(ch, login.substr(0, login.find('\r')));
    }
    if (ch.job(JobSlot::RemoteInput) && startsOrFollowsLineEnd(upper, "***END")) {
        remoteReply(ch, rt::kMessageOk);
        // The capture closes its file; the marker line never reaches it.
        ch.destroyJob(JobSlot::RemoteInput);
    }
    if (!ch.settings().autoBin) return;
    if (startsOrFollowsLineEnd(upper, "#BIN#")) {
        transfers_.autoBin(ch, text);
        consumed = true;
    } else if (upper.find(" GO_7+.") != std::string_view::npos) {
        markers_.sevenPlus(ch, text);
        consumed = true;
    }
}

void RemoteServer::interpret(CTncChannel& ch, std::string_view text, std::string_view upper) {
    const SplitLine split = splitLine(upper);
    const ChannelSettings& set = ch.settings();
    const auto info = matchCommand(split.word, set.remote, set.remoteQuit);
    if (!info) {
        if (set.remote && split.line.starts_with("//")) {
            ch.flushToOutput();
            remoteReply(ch, rt::kUnknown);
            sendRemotePrompt(ch);
        }
        return;
    }
    // The argument keeps the case it was typed in: it may name a file.
    std::string_view argument;
    if (!split.argument.empty())
        argument = text.substr(static_cast<std::size_t>(split.argument.data() - upper.data()), split.argument.size());
    ch.flushToOutput();
    if (checksPass(ch, *info, argument)) run(ch, info->command, argument);
}

bool RemoteServer::checksPass(CTncChannel& ch, const CommandInfo& info, std::string_view argument) {
    if (ch.superuser()) return true;
    std::string_view refusal;
    if (info.command == RemoteCommand::Delete) {
        refusal = rt::kNotAllowed;
    } else if (info.command == RemoteCommand::Dos) {
        const HostContext& ctx = ch.tnc().context();
        // A run area that stations can write into would run their uploads.
        if (!configuredArea(ctx.profile, ctx.programDir, "RunDir") || !areaRoot(ch) ||
            !ch.receiveFolders().runAreaIsSafe())
            refusal = rt::kNotConfigured;
    } else if (info.needsArea && !areaRoot(ch)) {
        refusal = rt::kNotConfigured;
    }
    if (refusal.empty() && info.pathRule && argument.find_first_of("/\\:") != std::string_view::npos)
        refusal = rt::kNotAllowed;
    if (refusal.empty()) return true;
    remoteReply(ch, refusal);
    sendRemotePrompt(ch);
    return false;
}

void RemoteServer::run(CTncChannel& ch, RemoteCommand command, std::string_view argument) {
    using C = RemoteCommand;
    switch (command) {
        case C::Connect: connect(ch, argument); return;
        case C::Converse: joinConverse(ch); return;
        case C::CStat: sendTable(ch, connectStatusTable(ch)); return;
        case C::Cd: case C::ChDir: changeDir(ch, argument); return;
        case C::Catalog: case C::Dir: listDir(ch, argument); return;
        case C::Delete: deleteFile(ch, argument); return;
        case C::Dos: runProgram(ch, argument); return;
        case C::Drive:
            if (argument.empty()) listDrives(ch); else changeDir(ch, argument);
            return;
        case C::Help: sendHelpFile(ch, argument.empty() ? "norvaem.hlp" : std::string(argument) + ".hlp"); return;
        case C::Info: sendHelpFile(ch, "norva.inf"); return;
        case C::Md: makeDir(ch, argument); return;
        case C::Nodes:
            remoteReply(ch, nodesText(ch.tnc().context().profile));
            sendRemotePrompt(ch);
            return;
        case C::Quit: quit(ch); return;
        case C::Read: readFile(ch, argument, false); return;
        case C::RBin: readFile(ch, argument, true); return;
        case C::Ring: ring(ch); return;
        case C::Rd: removeDir(ch, argument); return;
        case C::Send: deliverFile(ch, argument, false); return;
        case C::SBin: deliverFile(ch, argument, true); return;
        case C::Sys: sys(ch); return;
        case C::YGet: yappGet(ch, argument); return;
        case C::YPut: yappPut(ch, argument); return;
        case C::Version:
            remoteReply(ch, "\r" + std::string(rt::kVersion) + "\r");
            sendRemotePrompt(ch);
            return;
    }
}

// ---- conference ----

void RemoteServer::converseMode(CTncChannel& ch, std::string_view text, std::string_view upper) {
    ChannelRegistry& reg = ch.registry();
    if (upper.starts_with("/H")) {
        sendHelpFile(ch, "conv.hlp");
    } else if (upper.starts_with("/Q")) {
        remoteReply(ch, rt::kConverseLeft);
        if (!ch.isConverseConsole()) {
            sendConverseLine(ch, rt::kConverseLeftLine);
            reg.setConverseGroup(ch.slot(), 0);
        }
    } else if (upper.starts_with("/WHO")) {
        sendTable(ch, converseStatusTable(ch));
    } else {
        sendConverseLine(ch, text);
    }
}

void RemoteServer::converseLine(CTncChannel& ch, std::string_view text) { sendConverseLine(ch, text); }

void RemoteServer::sendConverseLine(CTncChannel& ch, std::string_view oemText) {
    ChannelRegistry& reg = ch.registry();
    const std::string name = ch.isConverseConsole() ? std::string("SYSOP") : ch.linkState().destCall();
    const std::string line = name + "> " + std::string(oemText);
    const int group = reg.converseGroup(ch.slot());
    if (CTncChannel* console = reg.channel(kDummyTnc, 2)) console->show(line, kKindConnected);
    if (group <= 0) return;
    for (int slot = 1; slot <= ChannelRegistry::kSlots; ++slot) {
        CTncChannel* other = reg.channel(slot);
        if (other && slot != ch.slot() && reg.converseGroup(slot) == group)
            other->sendOperation({kKindInfo, line});
    }
}

void RemoteServer::joinConverse(CTncChannel& ch) {
    if (ch.isRemoteConsole()) return;
    ch.registry().setConverseGroup(ch.slot(), 1);
    remoteReply(ch, rt::kConverseJoined);
    sendConverseLine(ch, rt::kConverseJoinedLine);
}

// ---- the other commands ----

void RemoteServer::connect(CTncChannel& ch, std::string_view destination) {
    if (ch.gatewayJob()) return;
    std::unique_ptr<CGatewayJob> job = gateway_.makeGateway(ch, destination);
    if (!job) {
        sendRemotePrompt(ch);
        return;
    }
    CGatewayJob* started = job.get();
    ch.setGatewayJob(std::move(job));
    // No partner found: the job reports it on its first tick and goes.
    if (started->tick() == 0 && ch.gatewayJob() == started) ch.setGatewayJob(nullptr);
}

void RemoteServer::sendHelpFile(CTncChannel& ch, std::string_view name) {
    const fs::path dir = hostDirectory(ch, "HelpDir");
    std::error_code ec;
    const auto file = isPlainName(name) ? findIgnoringCase(dir, name) : std::nullopt;
    if (file && fs::is_regular_file(*file, ec) &&
        transfers_.sendTextFile(ch, *file, RemoteTransfers::Place::SendSlot, true))
        return;
    remoteReply(ch, rt::kHelpNotFound);
    sendRemotePrompt(ch);
}

void RemoteServer::sendTable(CTncChannel& ch, std::string text) {
    if (!transfers_.sendMemoryText(ch, "Clip", std::move(text), true)) sendRemotePrompt(ch);
}

void RemoteServer::quit(CTncChannel& ch) {
    ch.resetJobs();
    dirs_[static_cast<std::size_t>(ch.slot())].clear();
    const LocalTime now = ch.tnc().context().clock.localTime();
    remoteReply(ch, "\r" + dateTimeText(now) + "\rLogoff from " + ch.linkState().myCall() + "\r\r");
    ch.sendOperation({kKindCommand, "D"});
}

void RemoteServer::ring(CTncChannel& ch) {
    if (ch.job(JobSlot::RemoteSession)) return;
    ch.setJob(JobSlot::RemoteSession,
              std::make_unique<CRingJob>(ch, options_.ringLimitMs, options_.ringIntervalMs));
}

void RemoteServer::sys(CTncChannel& ch) {
    if (ch.job(JobSlot::Send)) {
        remoteReply(ch, rt::kBusy);
        sendRemotePrompt(ch);
        return;
    }
    ch.setJob(JobSlot::Send, std::make_unique<CSysLoginJob>(ch, sysGuard_));
}

std::string RemoteServer::connectStatusTable(const CTncChannel& asker) {
    return statusTable(asker, "Connect Status:", std::string(68, '-') + "\r",
                       "Channel Tnc  Tnc Name  Mycall    Remote     via        connect time\r",
                       [](const CTncChannel& c) { return c.linkState().linkStateValue() >= 4; });
}

std::string RemoteServer::converseStatusTable(const CTncChannel& asker) {
    const ChannelRegistry& reg = asker.registry();
    return statusTable(asker, "Converse Status:", std::string(61, '-') + "\r",
                       "Channel   Tnc  Mycall     Remote     via        connect time\r",
                       [&reg](const CTncChannel& c) { return reg.converseGroup(c.slot()) >= 1; });
}

std::string RemoteServer::nodesText(const Profile& profile) {
    std::string text;
    for (int n = 1; n <= 4; ++n) {
        const std::string sec = std::to_string(n);
        if (profile.getInt("tnc", sec, 0) == 0) continue;
        char head[32];
        std::snprintf(head, sizeof head, "\rTnc: %d\r-------\r", n);
        text += head;
        text += "Name  : " + cut(profile.getString(sec, "TncName", ""), 80) + "\r";
        text += "Qrg   : " + cut(profile.getString(sec, "Qrg", ""), 80) + "\r";
        text += std::string("Status: ") + (profile.getInt(sec, "Connected", 0) != 0 ? "active" : "not active");
        text += "\r\r";
    }
    return text;
}

// ---- greeting ----

void RemoteServer::greet(CTncChannel& ch) {
    const bool remote = ch.settings().remote;
    // The connect text that brought us here is shown before the greeting.
    ch.flushToOutput();
    const LocalTime now = ch.tnc().context().clock.localTime();
    remoteReply(ch, "\r*** " + std::string(rt::kVersion) + " ***\r\rConnected to " + ch.linkState().myCall() +
                        " Port " + std::to_string(ch.number()) + " on Tnc " + std::to_string(ch.tncNumber()) +
                        ".\r" + dateTimeText(now) + "\r\r\r");
    dirs_[static_cast<std::size_t>(ch.slot())].clear();
    if (remote) remoteReply(ch, "     //h fuer Hilfe\r\r\r");

    std::error_code ec;
    auto regular = [&ec](std::optional<fs::path> p) {
        return p && fs::is_regular_file(*p, ec) ? p : std::nullopt;
    };
    const auto tncGreeting =
        regular(findIgnoringCase(hostDirectory(ch, "InitDir"), "whello" + std::to_string(ch.tncNumber()) + ".txt"));
    const std::string dest = ch.linkState().destCall();
    const std::string call = dest.substr(0, dest.find('-'));
    const auto stationGreeting =
        isPlainName(call) ? regular(findIgnoringCase(hostDirectory(ch, "HelloTextDir"), call + ".txt")) : std::nullopt;

    using Place = RemoteTransfers::Place;
    if (tncGreeting) {
        remoteReply(ch, "\r\r");
        if (!transfers_.sendTextFile(ch, *tncGreeting, Place::Queue, remote && !stationGreeting))
            sendRemotePrompt(ch);
    } else if (remote && !stationGreeting) {
        sendRemotePrompt(ch);
    }
    if (stationGreeting && !transfers_.sendTextFile(ch, *stationGreeting, Place::Queue, remote))
        sendRemotePrompt(ch);
}

}  // namespace norva
