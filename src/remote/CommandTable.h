// The remote command words in the order they are tried, how a typed word
// matches one (abbreviation down to three characters, the keyword's capital
// letters preferred, //MD only whole), and
// how a received line splits into command word and argument.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace norva {

enum class RemoteCommand {
    Connect, Converse, CStat, Cd, ChDir, Catalog, Dir, Delete, Dos, Drive, Help, Info, Md,
    Nodes, Quit, Read, RBin, Ring, Rd, Send, SBin, Sys, Version, YGet, YPut,
};

// What a command needs before it runs.
enum class Gate { Remote, RemoteQuit };
struct CommandInfo {
    RemoteCommand command;
    std::string_view keyword;  // as stored, mixed case
    Gate gate;
    bool needsArea;  // the remote file area must be configured (not for a superuser)
    bool pathRule;   // a normal station may not use "/", "\" or ":" in the argument
};

// The table, in matching order.
const CommandInfo* commandTable();
inline constexpr int kCommandCount = 25;

// The command a typed word names, among those whose gate is open: the first
// in table order whose capital letters the word stays within, else the first
// it abbreviates at all (three characters at least, never longer).
std::optional<CommandInfo> matchCommand(std::string_view word, bool remote, bool remoteQuit);

// A received line cut at its first CR (or LF, from stations that end lines so) and split at its first blank; the
// argument has its leading blanks removed. Both views point into the line.
struct SplitLine {
    std::string_view line;
    std::string_view word;
    std::string_view argument;
};
SplitLine splitLine(std::string_view text);

}  // namespace norva
