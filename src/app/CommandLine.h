// The command line shared by the desktop and the headless program.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace norva {

struct CommandLine {
    bool headless = false;
    bool help = false;
    std::optional<std::filesystem::path> dir;
    std::string error;  // set when the line could not be understood
};

CommandLine parseCommandLine(int argc, char** argv);
// The --help text.
const char* usageText();
// Answers --help and a line that could not be understood on the terminal:
// the exit code when the program ends here, nullopt when it goes on.
std::optional<int> answerHelpOrError(const CommandLine& cl);

}  // namespace norva
