// The 7Plus decoder script: written when missing, started for a part.
#include "transfer/SevenPlusDecode.h"

#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace norva {

std::string defaultDecoderScript() {
    return "#!/bin/sh\n"
           "# Decodes a 7Plus part for Norva: 7pluse.sh DIR NAME EXT, run in the\n"
           "# extraction directory. DIR ends in \"/\". Written by Norva when missing;\n"
           "# change it to call another decoder (Debian: apt-get install 7plus).\n"
           "exec 7plus \"$1$2.$3\"\n";
}

bool ensureDecoderScript(const std::filesystem::path& programDir, std::string* error) {
    const std::filesystem::path script = programDir / kDecoderScriptName;
    std::error_code ec;
    if (std::filesystem::exists(script, ec)) return true;
    {
        std::ofstream out(script, std::ios::binary);
        out << defaultDecoderScript();
        if (!out) {
            if (error) *error = script.string() + " kann nicht geschrieben werden.";
            return false;
        }
    }
    ::chmod(script.c_str(), 0755);
    return true;
}

ChildProcess::Launch decoderLaunch(const std::filesystem::path& programDir, const std::filesystem::path& part,
                                   const std::filesystem::path& extractDir) {
    ChildProcess::Launch launch;
    // Through sh: a script written by hand need not be executable.
    launch.program = "/bin/sh";
    const std::filesystem::path file = part.filename();
    std::string ext = file.extension().string();
    if (!ext.empty()) ext.erase(0, 1);
    std::string dir = part.parent_path().string();
    if (dir.empty() || dir.back() != '/') dir += '/';
    launch.argv = {"sh", (programDir / kDecoderScriptName).string(), dir, file.stem().string(), ext};
    launch.cwd = extractDir;
    return launch;
}

DecodeResult runDecoder(const std::filesystem::path& programDir, const std::filesystem::path& part,
                        const std::filesystem::path& extractDir, int limitMs) {
    DecodeResult result;
    std::string error;
    if (!ensureDecoderScript(programDir, &error)) {
        result.output = error;
        return result;
    }
    auto child = ChildProcess::start(decoderLaunch(programDir, part, extractDir), &error);
    if (!child) {
        result.output = std::string(kDecoderMissing) + " (" + error + ")";
        return result;
    }
    result.started = true;
    constexpr std::size_t kLimit = 64 * 1024;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (!child->ended()) {
        child->readAvailable(result.output, kLimit);
        if (std::chrono::steady_clock::now() > deadline) {
            child->kill();
            result.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    child->readAvailable(result.output, kLimit);
    return result;
}

}  // namespace norva
