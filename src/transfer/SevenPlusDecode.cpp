// The 7Plus decoder script: written when missing, started for a part.
#include "transfer/SevenPlusDecode.h"

#include "platform/Files.h"

#include <sys/stat.h>

#include <chrono>
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
    const std::filesystem::path script = decoderScript(programDir);
    std::error_code ec;
    if (std::filesystem::symlink_status(script, ec).type() != std::filesystem::file_type::not_found) return true;
    if (!writeFileAtomic(script, defaultDecoderScript(), 0755, Links::Refuse)) {
        if (error) *error = script.string() + " kann nicht geschrieben werden.";
        return false;
    }
    return true;
}

std::filesystem::path decoderScript(const std::filesystem::path& programDir) {
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(programDir, ec);
    return (ec ? programDir : dir) / kDecoderScriptName;
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
    launch.argv = {"sh", decoderScript(programDir).string(), dir, file.stem().string(), ext};
    launch.cwd = extractDir;
    return launch;
}

bool decoderPresent(const std::filesystem::path& programDir) {
    return static_cast<bool>(openRegularFile(decoderScript(programDir)));
}

DecodeResult runDecoder(const std::filesystem::path& programDir, const std::filesystem::path& part,
                        const std::filesystem::path& extractDir, int limitMs) {
    DecodeResult result;
    std::string error;
    if (!decoderPresent(programDir)) {
        result.output = std::string(kDecoderMissing) + " (" + decoderScript(programDir).string() + ")";
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
