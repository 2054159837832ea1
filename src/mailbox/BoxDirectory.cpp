// Directory files of the mailbox reader: kinds, message lines, commands.
#include "mailbox/BoxDirectory.h"

#include <fnmatch.h>

#include <algorithm>

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

// A FIFO or device picked as a directory file reads as empty, never waited on.
std::string readAtMost(const std::filesystem::path& file, std::size_t limit) {
    return readRegularFile(file, limit).value_or(std::string());
}

void classify(BoxDirectory& dir, std::string_view head, const MailboxSettings& s) {
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
    }
}

}  // namespace

BoxDirectory readBoxDirectory(const std::filesystem::path& file, const MailboxSettings& settings,
                              std::string_view mask, const BoxDirectory& previous) {
    BoxDirectory dir{previous.kind, previous.board, {}};
    const std::string text = readAtMost(file, kDirectoryReadLimit);
    classify(dir, std::string_view(text).substr(0, 127), settings);
    const bool masked = !mask.empty() && mask != "*";
    std::string_view rest = text;
    while (!rest.empty()) {
        // Lines end in CR LF; a file edited on Linux may end them in LF alone.
        const auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!isMessageLine(line)) continue;
        if (masked && toUpper(line).find(mask) == std::string::npos) continue;
        dir.messages.emplace_back(line);
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
    std::string script;
    for (const std::string& line : picked) {
        const auto command = boxCommand(dir, line, erase, textLine);
        if (!command) continue;
        script += "**Rem " + line + "\r\n" + *command + "\r\n**WaitforBoxPrompt\r\n\r\n";
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
