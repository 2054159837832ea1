// Parser of the tncsim program's options.
#include "tncsim/CommandLine.h"

// std
#include <charconv>

// tncsim
#include "Text.h"

namespace tncsim {

namespace {

std::optional<long> number(std::string_view text, long lo, long hi) {
    long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < lo || value > hi) {
        return std::nullopt;
    }
    return value;
}

struct Parser {
    explicit Parser(const std::vector<std::string_view>& a) : args(a) {}

    const std::vector<std::string_view>& args;
    std::size_t pos = 0;
    ProgramOptions opt;
    bool stationsGiven = false;
    bool ptyGiven = false;
    std::string error;

    std::optional<std::string_view> value(std::string_view name) {
        if (pos + 1 >= args.size()) {
            error = std::string(name) + " needs a value";
            return std::nullopt;
        }
        return args[++pos];
    }

    bool numberOption(std::string_view name, long lo, long hi, long& out) {
        auto v = value(name);
        if (!v) return false;
        auto n = number(*v, lo, hi);
        if (!n) {
            error = std::string(name) + ": expected a number from " + std::to_string(lo) + " to " +
                    std::to_string(hi) + ", got \"" + std::string(*v) + "\"";
            return false;
        }
        out = *n;
        return true;
    }

    bool callOption(std::string_view name, std::vector<std::string>& into) {
        auto v = value(name);
        if (!v) return false;
        auto call = parseCall(*v);
        if (!call) {
            error = std::string(name) + ": not a callsign: \"" + std::string(*v) + "\"";
            return false;
        }
        into.push_back(*call);
        return true;
    }

    bool one();
};

bool Parser::one() {
    std::string_view a = args[pos];
    long n = 0;
    if (a == "-h" || a == "--help") {
        opt.help = true;
        return true;
    }
    if (a == "--pty") {
        ptyGiven = true;
        return true;
    }
    if (a == "--verbose" || a == "-v") {
        opt.verbose = true;
        return true;
    }
    if (a == "--no-ext-poll") {
        opt.tnc.extendedPoll = false;
        return true;
    }
    if (a == "--empty-poll-text") {
        opt.tnc.emptyPollAsText = true;
        return true;
    }
    if (a == "--send-before-disconnect") {
        opt.tnc.sendBeforeDisconnect = true;
        return true;
    }
    if (a == "--host-mode") {
        opt.tnc.startInHostMode = true;
        return true;
    }
    if (a == "--no-station") {
        stationsGiven = true;
        opt.stations.clear();
        return true;
    }
    if (a == "--tcp") {
        if (!numberOption(a, 0, 65535, n)) return false;
        opt.tcp = true;
        opt.tcpPort = static_cast<std::uint16_t>(n);
        return true;
    }
    if (a == "--tncs") return numberOption(a, 1, 4, n) && ((opt.tncs = int(n)), true);
    if (a == "--channels") return numberOption(a, 1, 254, n) && ((opt.tnc.channels = int(n)), true);
    if (a == "--frame-interval") {
        return numberOption(a, 0, 10000, n) && ((opt.tnc.frameIntervalMs = std::uint32_t(n)), true);
    }
    if (a == "--baud") {
        return numberOption(a, 0, 1000000, n) && ((opt.tnc.serialBaud = int(n)), true);
    }
    if (a == "--fragment") {
        return numberOption(a, 0, 1024, n) && ((opt.tnc.fragmentSize = std::size_t(n)), true);
    }
    if (a == "--fragment-gap") {
        return numberOption(a, 0, 1000, n) && ((opt.tnc.fragmentGapMs = std::uint32_t(n)), true);
    }
    if (a == "--connect-delay") {
        return numberOption(a, 0, 60000, n) && ((opt.radio.connectDelayMs = std::uint32_t(n)), true);
    }
    if (a == "--link-failure") {
        return numberOption(a, 0, 600000, n) && ((opt.radio.linkFailureMs = std::uint32_t(n)), true);
    }
    if (a == "--tx-delay") {
        return numberOption(a, 0, 10000, n) && ((opt.radio.txDelayMs = std::uint32_t(n)), true);
    }
    if (a == "--call") return callOption(a, opt.calls);
    if (a == "--station") {
        if (!stationsGiven) opt.stations.clear();
        stationsGiven = true;
        return callOption(a, opt.stations);
    }
    if (a == "--link") {
        auto v = value(a);
        if (!v) return false;
        if (v->empty()) {
            error = "--link needs a path";
            return false;
        }
        opt.links.emplace_back(*v);
        return true;
    }
    error = "unknown option \"" + std::string(a) + "\"";
    return false;
}

}  // namespace

ParsedCommandLine parseCommandLine(const std::vector<std::string_view>& args) {
    Parser p(args);
    for (; p.pos < args.size(); ++p.pos) {
        if (!p.one()) return {std::nullopt, p.error};
    }
    if (p.ptyGiven && p.opt.tcp) return {std::nullopt, "--pty and --tcp exclude each other"};
    if (p.opt.calls.size() > static_cast<std::size_t>(p.opt.tncs)) {
        return {std::nullopt, "more --call options than TNCs"};
    }
    if (p.opt.links.size() > static_cast<std::size_t>(p.opt.tncs)) {
        return {std::nullopt, "more --link options than TNCs"};
    }
    if (p.opt.tcp && !p.opt.links.empty()) return {std::nullopt, "--link needs --pty"};
    if (p.opt.tcp && p.opt.tcpPort != 0 && p.opt.tcpPort + p.opt.tncs - 1 > 65535) {
        return {std::nullopt, "--tcp: not enough ports above the first one"};
    }
    return {std::move(p.opt), {}};
}

std::string usageText() {
    return "usage: tncsim [options]\n"
           "Simulates WA8DED host-mode TNCs on one radio, with a test station.\n"
           "  --pty                 serve each TNC on a pseudo-terminal (default)\n"
           "  --tcp PORT            serve on 127.0.0.1:PORT, PORT+1, ... (0: any free port)\n"
           "  --tncs N              number of TNCs on the radio, 1..4 (default 1)\n"
           "  --channels N          channels per TNC, 1..254 (default 10)\n"
           "  --call CALL           base call of the next TNC (default NOCALL)\n"
           "  --station CALL        a test station on the radio (default DB0SIM; repeatable)\n"
           "  --no-station          no test station\n"
           "  --no-ext-poll         answer channel 255 with \"INVALID CHANNEL\"\n"
           "  --empty-poll-text     extended poll with nothing pending: code 1 \"\"\n"
           "  --frame-interval MS   at most one host frame per MS milliseconds\n"
           "  --baud N              serial speed of the host link (8N1; 0: unlimited)\n"
           "  --fragment N          write replies in pieces of N bytes\n"
           "  --fragment-gap MS     pause between reply pieces\n"
           "  --connect-delay MS    connect/disconnect handshake time (default 300)\n"
           "  --link-failure MS     time until LINK FAILURE (default 2000)\n"
           "  --tx-delay MS         airtime per info frame (default 20)\n"
           "  --host-mode           start in host mode instead of terminal mode\n"
           "  --send-before-disconnect  the first D sends the queued info first (as F6FBB expects)\n"
           "  --link PATH           symlink to the pty of the next TNC\n"
           "  --verbose             print mode and link changes\n";
}

}  // namespace tncsim
