// Directory files of the mailbox reader: kinds, message lines, commands.
#include "mailbox/BoxDirectory.h"

#include <fnmatch.h>

#include <algorithm>

#include "mailbox/FbbListing.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace norva {

namespace {

// Blank-separated fields (runs of blanks count as one), with where each starts.
struct Field {
    std::string_view text;
    std::size_t at;
};
std::vector<Field> fields(std::string_view line) {
    std::vector<Field> out;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        const std::size_t end = std::min(line.find(' ', i), line.size());
        out.push_back({line.substr(i, end - i), i});
        i = end;
    }
    return out;
}

// The board after a heading: from the heading's first blank on, up to CR or blank.
std::string boardAfter(std::string_view upper, std::size_t headingAt) {
    const auto blank = upper.find(' ', headingAt);
    if (blank == std::string_view::npos) return {};
    std::string_view rest = upper.substr(blank);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    return std::string(rest.substr(0, rest.find_first_of(" \r\n")));
}

bool isMessageLine(std::string_view line) {
    const auto f = fields(line);
    return !f.empty() && leadingInt(f[0].text) > 0 && f[0].text.front() >= '0' && f[0].text.front() <= '9';
}

// The next line of rest, taken off it. Lines end in CR LF as captured; a
// file edited on Linux may end them in LF alone, a log of the raw text in
// CR alone.
std::string_view nextLine(std::string_view& rest) {
    const auto end = rest.find_first_of("\r\n");
    const std::string_view line = rest.substr(0, end);
    std::size_t taken = end == std::string_view::npos ? rest.size() : end + 1;
    if (taken < rest.size() && rest[taken - 1] == '\r' && rest[taken] == '\n') ++taken;
    rest.remove_prefix(taken);
    return line;
}

// A FIFO or device picked as a directory file reads as empty, never waited on.
std::string readAtMost(const std::filesystem::path& file, std::size_t limit) {
    return readRegularFile(file, limit).value_or(std::string());
}

// A DieBox heading in the head of the file; false when there is none.
bool classifyDieBox(BoxDirectory& dir, std::string_view head, const MailboxSettings& s) {
    const std::string upper = toUpper(head);
    if (const auto at = upper.find(s.userHeading); !s.userHeading.empty() && at != std::string::npos) {
        dir.kind = BoxFileKind::User;
        dir.board = boardAfter(upper, at);
    } else if (const auto at2 = upper.find(s.infoHeading); !s.infoHeading.empty() && at2 != std::string::npos) {
        dir.kind = BoxFileKind::Info;
        dir.board = boardAfter(upper, at2);
    } else if (!s.checkHeading.empty() && squeezedUpper(head).find(s.checkHeading) != std::string::npos) {
        dir.kind = BoxFileKind::Check;
        dir.board.clear();
    } else {
        return false;
    }
    return true;
}

// The message line as listed, or nothing; an FBB prompt line is kept in dir.
std::optional<std::string> listedLine(BoxDirectory& dir, std::string_view line) {
    if (dir.kind != BoxFileKind::Fbb) return isMessageLine(line) ? std::optional<std::string>(line) : std::nullopt;
    if (auto message = parseFbbLine(line)) return fbbDisplayLine(*message);
    if (auto prompt = fbbPromptText(line)) dir.prompt = std::move(*prompt);
    return std::nullopt;
}

// Script lines are text; bytes below blank would keep the script from running.
std::string scriptSafe(std::string_view text) {
    std::string out = cut(text, kReadScriptLineLimit);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return out;
}

// A command that a script sends as text: a script reads "**" or "* "
// anywhere in a line, and ";" at its start, as its own.
bool staysText(std::string_view command) {
    return !command.empty() && command.front() != ';' && command.find("**") == std::string_view::npos &&
           command.find("* ") == std::string_view::npos && scriptSafe(command) == command;
}

}  // namespace

BoxDirectory readBoxDirectory(const std::filesystem::path& file, const MailboxSettings& settings,
                              std::string_view mask, const BoxDirectory& previous) {
    BoxDirectory dir{previous.kind, previous.board, {}, previous.prompt};
    const std::string text = readAtMost(file, kDirectoryReadLimit);
    if (classifyDieBox(dir, std::string_view(text).substr(0, 127), settings)) {
        dir.prompt.clear();
    } else if (findFbbHeading(text)) {
        // Prompts and other text may come before FBB's heading: it is looked for in every line.
        dir.kind = BoxFileKind::Fbb;
        dir.board.clear();
        dir.prompt.clear();
    }
    const bool masked = !mask.empty() && mask != "*";
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::string_view line = nextLine(rest);
        auto listed = listedLine(dir, line);
        if (!listed) continue;
        if (masked && toUpper(*listed).find(mask) == std::string::npos) continue;
        dir.messages.push_back(std::move(*listed));
    }
    return dir;
}

std::optional<std::string> boxCommand(const BoxDirectory& dir, std::string_view line, bool erase, bool textLine) {
    const std::string verb = erase ? "e" : "r";
    const auto f = fields(line);
    std::string board = dir.board;
    std::string number;
    std::size_t titleField = 5;  // 0-based: field 6
    switch (dir.kind) {
        case BoxFileKind::Unknown: return std::nullopt;
        case BoxFileKind::Fbb:
            if (f.empty() || f[0].text.find_first_not_of("0123456789") != std::string_view::npos)
                return std::nullopt;
            return std::string(erase ? "K " : "R ") + std::string(f[0].text);
        case BoxFileKind::User:
        case BoxFileKind::Info:
            if (f.empty()) return std::nullopt;
            number = std::string(f[0].text);
            break;
        case BoxFileKind::Check: {
            if (f.size() < 4) return std::nullopt;
            const std::string_view boardNumber = f[3].text;
            const auto dot = boardNumber.find('.');
            board = std::string(boardNumber.substr(0, dot));
            number = dot == std::string_view::npos ? std::string() : std::string(boardNumber.substr(dot + 1));
            titleField = 8;  // field 9
            break;
        }
    }
    if (board.empty()) return std::nullopt;
    if (!textLine) return number.empty() ? std::nullopt : std::optional(verb + " " + board + " " + number);
    if (f.size() <= titleField) return std::nullopt;
    return verb + " " + board + " < " + std::string(line.substr(f[titleField].at));
}

std::string readScriptText(const BoxDirectory& dir, const std::vector<std::string>& picked, bool erase,
                           bool textLine) {
    const std::string wait = dir.kind == BoxFileKind::Fbb && !dir.prompt.empty()
                                 ? "**WaitFor " + scriptSafe(dir.prompt)
                                 : std::string("**WaitforBoxPrompt");
    std::string script;
    for (const std::string& line : picked) {
        auto command = boxCommand(dir, line, erase, textLine);
        if (command && !staysText(*command) && textLine) command = boxCommand(dir, line, erase, false);
        if (!command || !staysText(*command)) continue;
        script += scriptSafe("**Rem " + line) + "\r\n" + *command + "\r\n" + wait + "\r\n\r\n";
    }
    return script;
}

std::vector<std::string> listBoxDirectories(const MailboxSettings& settings) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(settings.dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(ec) && ::fnmatch(settings.pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace norva
