// The headless side of the mailbox reader.
#include "app/MailboxConsole.h"

#include <fstream>

#include "mailbox/BoxDirectory.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace {

std::string numbered(const BoxDirectory& dir) {
    std::string text;
    for (std::size_t i = 0; i < dir.messages.size(); ++i)
        text += std::to_string(i + 1) + ": " + dir.messages[i] + "\n";
    return text.empty() ? "keine Nachrichten\n" : text;
}

}  // namespace

std::string mailboxConsole(Profile& profile, const std::filesystem::path& programDir, std::string_view args) {
    const MailboxSettings settings = MailboxSettings::read(profile, programDir, kCheckHeadingWindow);
    const auto words = splitBlanks(trim(args));
    if (words.empty()) {
        std::string text;
        for (const std::string& name : listBoxDirectories(settings)) text += name + "\n";
        return text.empty() ? "keine Verzeichnisse in " + settings.dir.string() + "\n" : text;
    }
    const auto file = findIgnoringCase(settings.dir, words[0]);
    if (!file || !isPlainName(words[0])) return "kein Verzeichnis " + std::string(words[0]) + "\n";
    const bool choosing = words.size() >= 2 && (words[1] == "read" || words[1] == "erase");
    const std::string mask = !choosing && words.size() >= 2 ? std::string(words[1]) : "*";
    const BoxDirectory dir = readBoxDirectory(*file, settings, mask);
    profile.writeString("DieBox", "LastDirFile", file->filename().string());
    if (!choosing) return numbered(dir);

    std::vector<std::string> picked;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const auto n = parseIntStrict(words[i]);
        if (!n || *n < 1 || static_cast<std::size_t>(*n) > dir.messages.size())
            return "keine Nachricht " + std::string(words[i]) + "\n";
        picked.push_back(dir.messages[static_cast<std::size_t>(*n - 1)]);
    }
    const std::string script = readScriptText(dir, picked, words[1] == "erase", false);
    if (script.empty()) return "keine Kommandos: Art des Verzeichnisses unbekannt oder nichts gewählt\n";
    const std::filesystem::path out = frameDirectory(profile, "ScriptDir", programDir) / "readbox.scr";
    std::ofstream(out, std::ios::binary | std::ios::trunc) << script;
    return out.string() + ": " + std::to_string(picked.size()) + " Nachrichten (\":script readbox\" startet es)\n";
}

}  // namespace norva
