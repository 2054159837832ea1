// Parsing of norva's command line.
#include "app/CommandLine.h"

#include <string_view>

namespace norva {

CommandLine parseCommandLine(int argc, char** argv) {
    CommandLine cl;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--headless") {
            cl.headless = true;
        } else if (arg == "--help" || arg == "-h") {
            cl.help = true;
        } else if (arg == "--dir" && i + 1 < argc) {
            cl.dir = std::filesystem::path(argv[++i]);
        } else if (arg.starts_with("--dir=")) {
            cl.dir = std::filesystem::path(std::string(arg.substr(6)));
        } else if (arg.starts_with("-")) {
            cl.error = "unknown option: " + std::string(arg);
        }
        // A plain argument is a file to open (station files); handled by the desktop program.
    }
    return cl;
}

const char* usageText() {
    return "usage: norva [--headless] [--dir DIR]\n"
           "\n"
           "  --dir DIR    program directory holding norva.ini and the logs\n"
           "               (default: the registry file's CurrentDir, else ~/.local/share/norva)\n"
           "  --headless   run without a display: channel text goes to standard output,\n"
           "               status and messages to standard error; stops on SIGINT/SIGTERM\n";
}

}  // namespace norva
