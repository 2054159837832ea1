// Script files: line kinds, every command word, line ends, the size limits
// and every error that keeps a script from starting.
#include <gtest/gtest.h>

#include "script/ScriptFile.h"

namespace norva::test {
namespace {

TEST(ScriptLines, EveryKeywordItsArgumentInUpperCaseAndTheMarkers) {
    const std::pair<std::string_view, ScriptCommand> cases[] = {
        {"logon", ScriptCommand::Logon},         {"LOGOFF", ScriptCommand::Logoff},
        {"WaitFor x", ScriptCommand::WaitFor},   {"STOPON", ScriptCommand::StopOn},
        {"SEND f", ScriptCommand::Send},         {"SENDBIN f", ScriptCommand::SendBin},
        {"SENDALLFILES", ScriptCommand::SendAllFiles}, {"BEEP", ScriptCommand::Beep},
        {"REM x y", ScriptCommand::Rem},         {"WAITFORBOXPROMPT", ScriptCommand::WaitForBoxPrompt},
        {"RESTART", ScriptCommand::Restart},     {"CALL sub", ScriptCommand::Call},
        {"RUN prog", ScriptCommand::Run},        {"MSGBOX hi", ScriptCommand::MsgBox},
        {"PRINT hi", ScriptCommand::Print},      {"ECHO off", ScriptCommand::Echo},
        {"I DA1AAA", ScriptCommand::Tnc},        {"@T2 500", ScriptCommand::Tnc},
    };
    for (const auto& [text, command] : cases) {
        const ScriptLine l = parseScriptLine("**" + std::string(text), 7);
        EXPECT_EQ(l.kind, LineKind::Command) << text;
        EXPECT_EQ(l.command, command) << text;
        EXPECT_EQ(l.number, 7);
    }
    ScriptLine l = parseScriptLine("**waitfor  Box de >", 1);
    EXPECT_EQ(l.word, "WAITFOR");
    EXPECT_EQ(l.argument, " BOX DE >") << "everything after the first blank, blanks kept";
    EXPECT_EQ(l.raw, "**waitfor  Box de >");

    l = parseScriptLine("go * print a **rem b", 1);
    EXPECT_EQ(l.command, ScriptCommand::Rem) << "\"**\" wins over an earlier \"* \"";
    EXPECT_EQ(l.marker, 13u);
    l = parseScriptLine("x * c db0abc", 1);
    EXPECT_EQ(l.command, ScriptCommand::Tnc);
    EXPECT_EQ(l.word, "C");
    EXPECT_EQ(l.argument, "DB0ABC");
    EXPECT_EQ(l.marker, 2u);
    l = parseScriptLine("**BEEP", 1);
    EXPECT_TRUE(l.argument.empty());

    EXPECT_EQ(parseScriptLine("", 1).kind, LineKind::Ignored);
    EXPECT_EQ(parseScriptLine("; **WAITFOR x", 1).kind, LineKind::Ignored);
    EXPECT_EQ(parseScriptLine("hello *there", 1).kind, LineKind::Text) << "\"*\" without a blank is text";
    EXPECT_EQ(parseScriptLine(" ;not a comment", 1).kind, LineKind::Text);
}

TEST(ScriptFiles, LineEndsTheDroppedLastLineAndTheSizeLimit) {
    ParsedScript p = parseScript("a\r\nb\n\r\n;c\r\nlost", "t.scr");
    ASSERT_FALSE(p.error);
    ASSERT_EQ(p.lines.size(), 4u);
    EXPECT_EQ(p.lines[0].raw, "a");
    EXPECT_EQ(p.lines[1].raw, "b") << "a bare LF ends a line too";
    EXPECT_EQ(p.lines[2].kind, LineKind::Ignored);
    EXPECT_EQ(p.lines[3].number, 4);

    // 16384 bytes are read: the line that crosses the limit is cut and dropped.
    std::string big;
    while (big.size() < kScriptMaxBytes - 5) big += "1234567890\r\n";
    big.resize(kScriptMaxBytes - 5);
    const std::size_t whole = big.size() / 12;
    big += "xxxxx\r\n**WAITFOR never\r\n";
    p = parseScript(big, "big.scr");
    ASSERT_FALSE(p.error);
    EXPECT_EQ(p.lines.size(), whole);
    EXPECT_EQ(p.lines.back().raw, "1234567890");

    const std::string longest(kScriptMaxLine, 'x');
    EXPECT_FALSE(parseScript(longest + "\r\n", "t.scr").error);
    EXPECT_TRUE(parseScript("", "t.scr").lines.empty());
}

TEST(ScriptFiles, EveryErrorNamesFileLineAndReasonAndYieldsNoLines) {
    auto error = [](std::string_view text) {
        ParsedScript p = parseScript(text, "Bad.scr");
        if (p.error) {
            EXPECT_TRUE(p.lines.empty());
        }
        return p.error ? p.error->text() : std::string("no error");
    };
    EXPECT_EQ(error("ok\r\n" + std::string(kScriptMaxLine + 1, 'x') + "\r\n"),
              "Script Bad.scr, Zeile 2: Zeile zu lang (max. 126 Zeichen)");
    EXPECT_EQ(error(std::string("MZ\x90\0\x03\r\n", 7)), "Script Bad.scr: keine Textdatei");
    EXPECT_EQ(error("\x1b[0m\r\n"), "Script Bad.scr: keine Textdatei");
    EXPECT_EQ(error("a\r\n\r\n**WAITFR DB0ABC>\r\n"), "Script Bad.scr, Zeile 3: unbekannter Befehl WAITFR");
    EXPECT_EQ(error("**WAITFOR\r\n"), "Script Bad.scr, Zeile 1: WAITFOR ohne Text");
    EXPECT_EQ(error("**WAITFOR \r\n"), "Script Bad.scr, Zeile 1: WAITFOR ohne Text");
    EXPECT_EQ(error("**send\r\n"), "Script Bad.scr, Zeile 1: Argument fehlt: SEND");
    EXPECT_EQ(error("**SENDBIN\r\n"), "Script Bad.scr, Zeile 1: Argument fehlt: SENDBIN");
    EXPECT_EQ(error("**CALL\r\n"), "Script Bad.scr, Zeile 1: Argument fehlt: CALL");
    EXPECT_EQ(error("**RUN\r\n"), "Script Bad.scr, Zeile 1: Argument fehlt: RUN");
    // Tabs, a DOS end-of-file mark and text beyond the limit are no reason to refuse.
    EXPECT_EQ(error("a\tb\r\n\x1a"), "no error");
    EXPECT_EQ(error(std::string(kScriptMaxBytes, ';') + std::string(1, '\0')), "no error");
}

}  // namespace
}  // namespace norva::test
