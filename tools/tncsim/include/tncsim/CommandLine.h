// The options of the tncsim program and their parser.
#pragma once

// std
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// tncsim
#include "tncsim/SimConfig.h"

namespace tncsim {

struct ProgramOptions {
    bool tcp = false;               // serve on TCP instead of ptys
    std::uint16_t tcpPort = 0;      // first port; TNC n gets port + n - 1 (0: any free port each)
    int tncs = 1;
    TncConfig tnc;                  // template for every TNC (call: see calls)
    std::vector<std::string> calls; // --call per TNC in order; missing ones keep "NOCALL"
    std::vector<std::string> stations{"DB0SIM"};
    std::vector<std::string> links; // --link per TNC in order
    RadioConfig radio;
    bool verbose = false;
    bool help = false;
};

struct ParsedCommandLine {
    std::optional<ProgramOptions> options;  // nothing on error
    std::string error;
};

ParsedCommandLine parseCommandLine(const std::vector<std::string_view>& args);
std::string usageText();

}  // namespace tncsim
