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

}  // namespace norva
