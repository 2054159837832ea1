// Decoding collected 7Plus parts: the outside decoder is reached through
// 7pluse.sh in the program directory, started without a shell of ours as
// "sh 7pluse.sh DIR/ NAME EXT" in the extraction directory. A missing
// script is written at start-up with a call of Debian's 7plus, so a station works
// out of the box and the operator can adapt it to another decoder.
#pragma once

#include <filesystem>
#include <string>

#include "platform/Programs.h"

namespace norva {

inline constexpr std::string_view kDecoderScriptName = "7pluse.sh";
inline constexpr std::string_view kDecoderMissing = "Kann 7Plus.exe nicht finden.";

// The script's text as Norva writes it when missing; every argument quoted.
std::string defaultDecoderScript();
// The decoder script by its absolute path: programDir/7pluse.sh. It is
// never looked for anywhere else (a receive folder above all).
std::filesystem::path decoderScript(const std::filesystem::path& programDir);
// Written (mode 0755) when it does not exist: at start-up only, never while
// files arrive. False with *error when it cannot be written.
bool ensureDecoderScript(const std::filesystem::path& programDir, std::string* error);
// The script is there as a regular file (not a FIFO or device).
bool decoderPresent(const std::filesystem::path& programDir);
// How the decoder is started for a part, in the extraction directory.
ChildProcess::Launch decoderLaunch(const std::filesystem::path& programDir, const std::filesystem::path& part,
                                   const std::filesystem::path& extractDir);

// Runs the decoder and waits for it (at most limitMs, then it is killed):
// for the headless console, which runs on a thread of its own. Its output
// (stdout and stderr, at most 64 KiB), or the reason it could not run.
struct DecodeResult {
    bool started = false;
    bool timedOut = false;
    std::string output;
};
DecodeResult runDecoder(const std::filesystem::path& programDir, const std::filesystem::path& part,
                        const std::filesystem::path& extractDir, int limitMs);

}  // namespace norva
