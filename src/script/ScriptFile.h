// Script files (*.scr): reading the bytes into lines, telling comments,
// command lines and text lines apart, and the checks that keep a broken or
// foreign file from starting at all. Pure functions, no channel needed.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

// Only this much of a file is read; the rest is ignored.
inline constexpr std::size_t kScriptMaxBytes = 16384;
// The longest line a script may hold (without its line end).
inline constexpr std::size_t kScriptMaxLine = 126;

enum class ScriptCommand {
    None,  // an ignored or text line
    Logon,
    Logoff,
    WaitFor,
    StopOn,
    Send,
    SendBin,
    SendAllFiles,
    Beep,
    Rem,
    WaitForBoxPrompt,
    Restart,
    Call,
    Run,
    MsgBox,
    Print,
    Echo,
    Tnc,  // not a keyword: the line goes to the TNC as a command
};

enum class LineKind { Ignored, Text, Command };

struct ScriptLine {
    int number = 0;    // 1-based line number in the file
    LineKind kind = LineKind::Ignored;
    std::string raw;   // the line as written, without its line end
    ScriptCommand command = ScriptCommand::None;
    std::string word;      // command word, upper case
    std::string argument;  // everything after the first blank, upper case
    std::size_t marker = 0;  // where "**" or "* " starts in raw
};

struct ScriptError {
    std::string file;  // the script's file name
    int line = 0;      // 0: the file as a whole
    std::string message;
    // "Script NAME, Zeile N: MESSAGE" (or without the line part).
    std::string text() const;
};

struct ParsedScript {
    std::vector<ScriptLine> lines;
    std::optional<ScriptError> error;  // set: the script must not run
};

// Classifies one line (no line end). Does not check limits.
ScriptLine parseScriptLine(std::string_view line, int number);
// Splits at CR LF or LF (a final line without its end is dropped), cuts the
// input at kScriptMaxBytes, classifies every line and checks it.
ParsedScript parseScript(std::string_view bytes, std::string_view fileName);

// ASCII upper case (scripts compare words and texts this way).
std::string scriptUpper(std::string_view text);

// Error texts.
inline constexpr std::string_view kErrLineTooLong = "Zeile zu lang (max. 126 Zeichen)";
inline constexpr std::string_view kErrNotText = "keine Textdatei";
inline constexpr std::string_view kErrUnknownCommand = "unbekannter Befehl ";
inline constexpr std::string_view kErrWaitWithoutText = "WAITFOR ohne Text";
inline constexpr std::string_view kErrArgumentMissing = "Argument fehlt: ";
inline constexpr std::string_view kErrNotFound = "Script nicht gefunden";
inline constexpr std::string_view kErrRecursion = "rekursiver Aufruf von ";
inline constexpr std::string_view kErrTooDeep = "zu viele verschachtelte Aufrufe";
inline constexpr std::string_view kErrNoPause = "Endlosschleife ohne Warten, Script beendet";
inline constexpr std::string_view kErrAlreadyRunning = "Ein Script ist bereits aktiv.";

}  // namespace norva
