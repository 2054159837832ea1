// CPrewrite: typed characters, finished lines and the menu lines of the input
// pane (see Prewrite.h).
#include "terminal/Prewrite.h"

// Norva
#include "platform/Cp437.h"
#include "terminal/TermText.h"

namespace norva {

namespace {

constexpr char32_t kBel = 7;
constexpr char32_t kReturn = 13;
constexpr char32_t kLineFeed = 10;
constexpr char32_t kEscape = 27;

std::u32string_view trimTrailingBlanks(std::u32string_view text)
{
    while (!text.empty() && text.back() == U' ')
        text.remove_suffix(1);
    return text;
}

}  // namespace

CPrewrite::CPrewrite(int slot, int rows, int columns, InputSink& sink, InputEvents& events,
                     PrewriteSettings settings)
    : slot_(slot), sink_(sink), events_(events), settings_(settings), window_(rows, columns)
{
    window_.setCollectFinishedLines(true);
    window_.setInsertMode(settings_.insert);
    window_.setWordWrap(settings_.wordBreak);
}

void CPrewrite::setInsert(bool on)
{
    settings_.insert = on;
    window_.setInsertMode(on);
}

void CPrewrite::setWordBreak(bool on)
{
    settings_.wordBreak = on;
    window_.setWordWrap(on);
}

void CPrewrite::typeChar(char32_t ch)
{
    if (ch == kBel && events_.messageBeep(slot_))
        events_.playSound(slot_, kBellSound);
    if (ch == kEscape && window_.caretColumn() == 0) {
        window_.append(U"* ", kCommandClass);
    } else {
        const bool command =
            window_.heldLineClass(window_.writeLineIndex()) == kCommandClass;
        if (command)
            ch = termtext::commandUpper(ch);
        window_.append({&ch, 1}, command ? kCommandClass : kTextClass);
    }
    // A CR always finishes a line; an empty one goes out as a single CR.
    sendFinished();
}

void CPrewrite::paste(std::string_view utf8)
{
    const std::u32string decoded = termtext::fromUtf8(utf8);
    std::u32string text;
    text.reserve(decoded.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == kLineFeed && (i == 0 || decoded[i - 1] != kReturn))
            text += kReturn;  // a Linux line end
        else
            text += decoded[i];
    }
    window_.append(text, kTextClass);
    sendFinished();
}

// Sends every line the last append finished. A line emptied by wrapping is
// not sent; an empty line ended by CR is one CR of text.
void CPrewrite::sendFinished()
{
    for (const FinishedLine& line : window_.takeFinishedLines()) {
        if (line.text.empty() && line.byWrap)
            continue;
        sendText(line.text, line.text.empty() ? kTextClass : line.colourClass);
    }
}

void CPrewrite::sendText(std::u32string_view text, int colourClass)
{
    std::string oem;
    oem.reserve(text.size() + 1);
    for (char32_t ch : text)
        oem += static_cast<char>(unicodeToCp437(ch));
    if (colourClass == kCommandClass) {
        sink_.sendLine(oem, kCommandKind, false);
        return;
    }
    oem += '\r';
    sink_.sendLine(oem, kTextKind, settings_.inputEcho);
}

// A CR so that what follows stands on a line of its own; a line the operator
// was typing is pushed up unsent (it was not finished by the operator).
void CPrewrite::startOwnLine()
{
    window_.append(U"\r", kTextClass);
    window_.takeFinishedLines();
}

// The command is shown as a finished command line and sent once, exactly as
// the typed line would be (the pane's own wrapping never splits it).
void CPrewrite::writeCommand(std::u32string_view command)
{
    startOwnLine();
    std::u32string shown(command);
    shown += kReturn;
    window_.append(shown, kCommandClass);
    window_.takeFinishedLines();
    sendText(trimTrailingBlanks(command), kCommandClass);
}

void CPrewrite::connectCommand(std::string_view call)
{
    writeCommand(U"* C " + termtext::fromUtf8(call));
}

void CPrewrite::disconnectCommand()
{
    writeCommand(U"* D");
}

void CPrewrite::passwordCommand()
{
    writeCommand(U"* PWD");
}

void CPrewrite::insertAndSend(std::string_view lineUtf8)
{
    const std::string_view line = termtext::firstLine(lineUtf8);
    startOwnLine();
    std::u32string shown = termtext::fromUtf8(line);
    shown += kReturn;
    window_.append(shown, kTextClass);
    window_.takeFinishedLines();
    std::string oem = utf8ToOem(line);
    oem += '\r';
    sink_.sendLine(oem, kTextKind, settings_.inputEcho);
}

void CPrewrite::insertUnsent(std::string_view utf8)
{
    std::u32string rest;
    for (char32_t ch : termtext::fromUtf8(utf8)) {
        if (ch == kLineFeed)
            continue;
        if (ch != kReturn) {
            rest += ch;
            continue;
        }
        if (!rest.empty())
            window_.append(rest, kTextClass);
        rest.clear();
        startOwnLine();
    }
    if (!rest.empty())
        window_.append(rest, kTextClass);
}

void CPrewrite::focusIn()
{
    focus_ = true;
    events_.noLongerUnderReview(slot_);
    events_.becameTopLink(slot_);
}

}  // namespace norva
