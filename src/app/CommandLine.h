// The command line shared by the desktop and the headless program.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

struct CommandLine {
    bool headless = false;
    bool help = false;
    bool trace = false;  // --trace: TNC link-state changes on standard error
    bool verbose = false;  // --verbose: headless also prints titles, status bar and buttons
    std::optional<std::filesystem::path> dir;
    std::string busAddress;                // --bus-address: the D-Bus address of the IPC service
    std::vector<std::string> files;        // plain arguments: station files to open
    std::string error;  // set when the line could not be understood
};

CommandLine parseCommandLine(int argc, char** argv);
// The --help text.
const char* usageText();
// Answers --help and a line that could not be understood on the terminal:
// the exit code when the program ends here, nullopt when it goes on.
std::optional<int> answerHelpOrError(const CommandLine& cl);
// With --trace: prints each line to standard error; otherwise empty.
std::function<void(std::string_view)> traceSink(const CommandLine& cl);

}  // namespace norva
