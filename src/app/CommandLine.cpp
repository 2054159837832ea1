// Parsing of norva's command line.
#include "app/CommandLine.h"

#include <cstdio>
#include <string_view>

namespace norva {

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--headless") {
            cl.headless = true;
        } else if (arg == "--trace") {
            cl.trace = true;
        } else if (arg == "--verbose" || arg == "-v") {
            cl.verbose = true;
        } else if (arg == "--help" || arg == "-h") {
            cl.help = true;
        } else if (arg == "--dir" && i + 1 < argc) {
            cl.dir = std::filesystem::path(argv[++i]);
        } else if (arg.starts_with("--dir=")) {
            cl.dir = std::filesystem::path(std::string(arg.substr(6)));
        } else if (arg == "--bus-address" && i + 1 < argc) {
            cl.busAddress = argv[++i];
        } else if (arg.starts_with("--bus-address=")) {
            cl.busAddress = std::string(arg.substr(14));
        } else if (arg.starts_with("-")) {
            cl.error = "unknown option: " + std::string(arg);
        } else {
            // A station file to open.
            cl.files.emplace_back(arg);
        }
    }
    return cl;
}

const char* usageText() {
    return "usage: norva [--headless] [--dir DIR] [--trace] [--verbose] [--bus-address ADDR] [FILE.stn]\n"
           "\n"
           "  FILE.stn     open this station file (handed to a Norva already running)\n"
           "  --bus-address ADDR  the D-Bus address of the IPC service (default: the\n"
           "               session bus, DBUS_SESSION_BUS_ADDRESS)\n"
           "  --dir DIR    program directory holding norva.ini and the logs\n"
           "               (default: CurrentDir of $XDG_CONFIG_HOME/norva/registry.ini,\n"
           "               else $XDG_DATA_HOME/norva, i.e. ~/.local/share/norva)\n"
           "  --trace      report every change of a TNC's link (opened, in or out of\n"
           "               sync, closed) on standard error\n"
           "  --headless   run without a display until SIGINT or SIGTERM (the end of\n"
           "               standard input does not stop it)\n"
           "  -v, --verbose  headless: also print the desktop's bookkeeping (window\n"
           "               titles, status bar fields, channel buttons) on standard error\n"
           "\n"
           "Headless output: every line a channel shows goes to standard output as\n"
           "  #SLOT [TNC/CHANNEL] CLASS: TEXT\n"
           "CLASS is the line's colour class (its key in section [Color]):\n"
           "  0 sent text (Input)         5 monitor header (MonHead1)\n"
           "  1 TNC command (Command)     6 monitor header, info follows (MonHead2)\n"
           "  2 TNC reply (TncEcho)       7 monitor info (MonInfo)\n"
           "  3 input echo (InputEcho)    8 text from other programs (DDEEcho)\n"
           "  4 link status (LinkStatus)  9 received text (ChannelInfo)\n"
           "Control characters from the air are shown as their Unicode pictures\n"
           "(ESC as U+241B); every event is one line. Sounds, notices and messages\n"
           "go to standard error.\n"
           "\n"
           "Headless input: each line read from standard input is one line typed into\n"
           "the input pane of the current channel (at start TNC 1, channel 1):\n"
           "  :ch T/C     make channel C of TNC T the current channel (also \":ch T C\")\n"
           "  \\e CMD      send CMD to the TNC as a command, like a line started with Esc\n"
           "              (a line starting with the ESC character works too)\n"
           "  ::text      send \":text\"\n"
           "  :help       list every console line (transfers, scripts, stations, 7Plus,\n"
           "              the mailbox reader)\n"
           "  other lines are sent as text with CR; UTF-8 is converted to CP437\n";
}

std::optional<int> answerHelpOrError(const CommandLine& cl) {
    if (cl.help) {
        std::fputs(usageText(), stdout);
        return 0;
    }
    if (!cl.error.empty()) {
        std::fprintf(stderr, "norva: %s\n%s", cl.error.c_str(), usageText());
        return 2;
    }
    return std::nullopt;
}

std::function<void(std::string_view)> traceSink(const CommandLine& cl) {
    if (!cl.trace) return {};
    return [](std::string_view line) {
        std::fprintf(stderr, "trace: %.*s\n", static_cast<int>(line.size()), line.data());
    };
}

}  // namespace norva
