// ":mailbox" on the headless console: the captured DieBox listings, their
// messages, and the read script for chosen messages. Runs on the engine
// thread; returns the text for the operator.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace norva {

class Profile;

// ""                     the directory files of DieBoxDir
// "FILE [MASK]"          the messages of FILE, numbered
// "FILE read|erase N.."  readbox.scr in ScriptDir for messages N.. (as numbered)
std::string mailboxConsole(Profile& profile, const std::filesystem::path& programDir, std::string_view args);

}  // namespace norva
