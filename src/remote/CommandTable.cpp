// The remote command table and the matching of typed command words.
#include "remote/CommandTable.h"

#include <array>

#include "platform/Text.h"

namespace norva {

namespace {

using C = RemoteCommand;
constexpr std::array<CommandInfo, kCommandCount> kTable = {{
    {C::Connect, "//Connect", Gate::Remote, false, false},
    {C::Converse, "//COnverse", Gate::Remote, false, false},
    {C::CStat, "//CStat", Gate::Remote, false, false},
    {C::Cd, "//CD", Gate::Remote, true, true},
    {C::ChDir, "//CHDIR", Gate::Remote, true, true},
    {C::Catalog, "//CATalog", Gate::Remote, true, true},
    {C::Dir, "//DIR", Gate::Remote, true, true},
    {C::Delete, "//DELete", Gate::Remote, false, false},
    {C::Dos, "//DOS", Gate::Remote, false, true},
    {C::Drive, "//DRIVE", Gate::Remote, true, true},
    {C::Help, "//HELP", Gate::Remote, false, false},
    {C::Info, "//INFO", Gate::Remote, false, false},
    {C::Md, "//MD", Gate::Remote, true, true},
    {C::Nodes, "//Nodes", Gate::Remote, false, false},
    {C::Quit, "//QUIT", Gate::RemoteQuit, false, false},
    {C::Read, "//Read", Gate::Remote, true, true},
    {C::RBin, "//RBin", Gate::Remote, true, true},
    {C::Ring, "//RIng", Gate::Remote, false, false},
    {C::Rd, "//RD", Gate::Remote, true, true},
    {C::Send, "//Send", Gate::Remote, true, true},
    {C::SBin, "//SBin", Gate::Remote, true, true},
    {C::Sys, "//SYS", Gate::Remote, false, false},
    {C::Version, "//Version", Gate::Remote, false, false},
    // YAPP transfers of the remote file area; last, so no older abbreviation changes.
    {C::YGet, "//YGet", Gate::Remote, true, true},
    {C::YPut, "//YPut", Gate::Remote, true, true},
}};

// The capital letters of a stored keyword are the part a station types at
// least ("//CO" of "//COnverse"). A word within that part is a strong match;
// a word that goes on into the small letters matches only when no keyword
// matches strongly. So "//c" is //Connect (first in order), "//co" is
// //COnverse although it also begins "//Connect", and "//conn" is //Connect.
std::string_view mandatoryPart(std::string_view keyword) {
    const auto lower = keyword.find_first_of("abcdefghijklmnopqrstuvwxyz");
    return keyword.substr(0, lower);
}

enum class Strength { None, Weak, Strong };

Strength wordMatches(std::string_view word, const CommandInfo& info) {
    if (info.command == C::Md) return iequals(word, info.keyword) ? Strength::Strong : Strength::None;
    if (word.size() < 3 || word.size() > info.keyword.size()) return Strength::None;
    if (!iequals(word, info.keyword.substr(0, word.size()))) return Strength::None;
    return word.size() <= mandatoryPart(info.keyword).size() ? Strength::Strong : Strength::Weak;
}

}  // namespace

const CommandInfo* commandTable() { return kTable.data(); }

std::optional<CommandInfo> matchCommand(std::string_view word, bool remote, bool remoteQuit) {
    for (Strength wanted : {Strength::Strong, Strength::Weak}) {
        for (const CommandInfo& info : kTable) {
            const bool open = info.gate == Gate::Remote ? remote : remoteQuit;
            if (open && wordMatches(word, info) == wanted) return info;
        }
    }
    return std::nullopt;
}

SplitLine splitLine(std::string_view text) {
    SplitLine s;
    s.line = text.substr(0, text.find_first_of("\r\n"));
    const auto blank = s.line.find(' ');
    s.word = s.line.substr(0, blank);
    if (blank == std::string_view::npos) return s;
    s.argument = s.line.substr(blank + 1);
    const auto first = s.argument.find_first_not_of(' ');
    s.argument = first == std::string_view::npos ? std::string_view{} : s.argument.substr(first);
    return s;
}

}  // namespace norva
