// Script files: lines, their kinds and the checks made before a script runs.
#include "script/ScriptFile.h"

#include <array>
#include <utility>

namespace norva {
namespace {

struct Keyword {
    std::string_view word;
    ScriptCommand command;
    bool needsArgument;
};

// Compared in this order; the first exact match runs.
constexpr std::array<Keyword, 16> kKeywords{{
    {"LOGON", ScriptCommand::Logon, false},
    {"LOGOFF", ScriptCommand::Logoff, false},
    {"WAITFOR", ScriptCommand::WaitFor, true},
    {"STOPON", ScriptCommand::StopOn, false},
    {"SEND", ScriptCommand::Send, true},
    {"SENDBIN", ScriptCommand::SendBin, true},
    {"SENDALLFILES", ScriptCommand::SendAllFiles, false},
    {"BEEP", ScriptCommand::Beep, false},
    {"REM", ScriptCommand::Rem, false},
    {"WAITFORBOXPROMPT", ScriptCommand::WaitForBoxPrompt, false},
    {"RESTART", ScriptCommand::Restart, false},
    {"CALL", ScriptCommand::Call, true},
    {"RUN", ScriptCommand::Run, true},
    {"MSGBOX", ScriptCommand::MsgBox, false},
    {"PRINT", ScriptCommand::Print, false},
    {"ECHO", ScriptCommand::Echo, false},
}};

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// TNC commands are a letter or two, or start with "@" or "%"; a longer word
// of letters only is a mistyped keyword rather than something for the TNC.
bool looksLikeKeyword(std::string_view word) {
    if (word.size() < 3) return false;
    for (char c : word)
        if (!isLetter(c)) return false;
    return true;
}

bool isForeignByte(unsigned char c) { return c < 0x20 && c != '\r' && c != '\n' && c != '\t' && c != 0x1A; }

std::optional<std::string> checkLine(const ScriptLine& line) {
    if (line.raw.size() > kScriptMaxLine) return std::string(kErrLineTooLong);
    if (line.kind != LineKind::Command) return std::nullopt;
    if (line.command == ScriptCommand::Tnc && looksLikeKeyword(line.word))
        return std::string(kErrUnknownCommand) + line.word;
    if (line.command == ScriptCommand::WaitFor && line.argument.empty()) return std::string(kErrWaitWithoutText);
    for (const Keyword& k : kKeywords)
        if (k.command == line.command && k.needsArgument && line.argument.empty())
            return std::string(kErrArgumentMissing) + line.word;
    return std::nullopt;
}

}  // namespace

std::string scriptUpper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string ScriptError::text() const {
    std::string out = "Script " + file;
    if (line > 0) out += ", Zeile " + std::to_string(line);
    return out + ": " + message;
}

ScriptLine parseScriptLine(std::string_view line, int number) {
    ScriptLine out;
    out.number = number;
    out.raw = std::string(line);
    if (line.empty() || line.front() == ';') return out;
    std::size_t at = line.find("**");
    if (at == std::string_view::npos) at = line.find("* ");
    if (at == std::string_view::npos) {
        out.kind = LineKind::Text;
        return out;
    }
    out.kind = LineKind::Command;
    out.marker = at;
    const std::string_view rest = line.substr(at + 2);
    const std::size_t blank = rest.find(' ');
    out.word = scriptUpper(rest.substr(0, blank));
    if (blank != std::string_view::npos) out.argument = scriptUpper(rest.substr(blank + 1));
    out.command = ScriptCommand::Tnc;
    for (const Keyword& k : kKeywords)
        if (out.word == k.word) {
            out.command = k.command;
            break;
        }
    return out;
}

ParsedScript parseScript(std::string_view bytes, std::string_view fileName) {
    ParsedScript out;
    bytes = bytes.substr(0, kScriptMaxBytes);
    auto fail = [&](int line, std::string message) {
        out.lines.clear();
        out.error = ScriptError{std::string(fileName), line, std::move(message)};
        return std::move(out);
    };
    for (char c : bytes)
        if (isForeignByte(static_cast<unsigned char>(c))) return fail(0, std::string(kErrNotText));

    int number = 0;
    std::size_t start = 0;
    for (std::size_t lf = bytes.find('\n'); lf != std::string_view::npos; lf = bytes.find('\n', start)) {
        std::string_view line = bytes.substr(start, lf - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = lf + 1;
        ScriptLine parsed = parseScriptLine(line, ++number);
        if (auto problem = checkLine(parsed)) return fail(number, std::move(*problem));
        out.lines.push_back(std::move(parsed));
    }
    return out;
}

}  // namespace norva
