// User menu files and what choosing an entry does on a channel.
#include "app/UserMenus.h"

#include "platform/Files.h"

#include <iterator>

#include "channel/TncChannel.h"
#include "hostmode/FrameRecord.h"
#include "platform/Cp437.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "script/ScriptFiles.h"

namespace norva {

namespace {

constexpr int kRunIds[] = {32860, 32861, 32862, 32863, 32864, 32865, 32866, 32867, 32868, 32869,
                           32874, 32875, 32876, 32877, 32878, 32879, 32880, 32881, 32882, 20};
constexpr int kConnectIds[] = {32840, 32841, 32842, 32843, 32844, 32845, 32846, 32847, 32848, 32849,
                               32850, 32851, 32852, 32853, 32854, 32855, 32856, 32857, 32858, 32859};
constexpr int kTncIds[] = {32800, 32801, 32802, 32803, 32804, 32816, 32805, 32817, 32806, 32807,
                           32808, 32809, 32818, 32810, 32811, 32819, 32812, 32813, 32814, 32815};
constexpr int kTextIds[] = {32820, 32821, 32822, 32823, 32824, 32825, 32826, 32827, 32828, 32829,
                            32830, 32831, 32832, 32833, 32834, 32835, 32836, 32837, 32838, 32839};

const UserMenuInfo kInfos[] = {
    {"exec.mnu", "Run Menü bearbeiten...", kRunIds},
    {"connect.mnu", "Verbindungsmenü bearbeiten...", kConnectIds},
    {"tnc.mnu", "Kommando Menü bearbeiten...", kTncIds},
    {"text.mnu", "Text Menü bearbeiten...", kTextIds},
};

std::string cut(std::string_view s, std::size_t lineNo, std::string_view what, UserMenu& menu) {
    if (s.size() <= kMenuTextLimit) return std::string(s);
    menu.problems.push_back("Zeile " + std::to_string(lineNo) + ": " + std::string(what) + " auf " +
                            std::to_string(kMenuTextLimit) + " Zeichen gekürzt");
    return std::string(s.substr(0, kMenuTextLimit));
}

std::string readAtMost(const std::filesystem::path& path, std::size_t limit, bool* exists) {
    // A FIFO or device named like a menu file is no menu and never waited on.
    std::optional<std::string> text = readRegularFile(path, limit);
    *exists = text.has_value();
    return text ? std::move(*text) : std::string();
}

}  // namespace

const UserMenuInfo& userMenuInfo(UserMenuKind kind) { return kInfos[static_cast<int>(kind)]; }

UserMenu parseUserMenu(std::string_view fileText, UserMenuKind kind) {
    UserMenu menu;
    const std::size_t capacity = userMenuInfo(kind).ids.size();
    std::size_t lineNo = 0;
    std::size_t leftOut = 0;
    while (!fileText.empty()) {
        const auto end = fileText.find('\n');
        std::string_view line = fileText.substr(0, end);
        fileText = end == std::string_view::npos ? std::string_view{} : fileText.substr(end + 1);
        ++lineNo;
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty() || line.find(';') != std::string_view::npos) continue;
        if (menu.entries.size() == capacity) {
            ++leftOut;
            continue;
        }
        const auto sep = line.find_first_of("=|");
        UserMenuEntry entry;
        entry.text = cut(line.substr(0, sep), lineNo, "Menütext", menu);
        if (sep != std::string_view::npos) entry.command = cut(line.substr(sep + 1), lineNo, "Befehl", menu);
        menu.entries.push_back(std::move(entry));
    }
    if (leftOut > 0)
        menu.problems.push_back(std::to_string(leftOut) + " Einträge nach dem " + std::to_string(capacity) +
                                ". nicht angezeigt");
    return menu;
}

std::filesystem::path userMenuPath(const Profile& profile, const std::filesystem::path& programDir,
                                   UserMenuKind kind) {
    const std::filesystem::path dir = frameDirectory(profile, "MenuDir", programDir);
    const std::string_view name = userMenuInfo(kind).fileName;
    if (auto found = findIgnoringCase(dir, name)) return *found;
    return dir / name;
}

UserMenu loadUserMenu(const std::filesystem::path& path, UserMenuKind kind) {
    bool exists = false;
    const std::string text = readAtMost(path, kMenuFileLimit + 1, &exists);
    UserMenu menu = parseUserMenu(std::string_view(text).substr(0, kMenuFileLimit), kind);
    if (text.size() > kMenuFileLimit)
        menu.problems.push_back("nur die ersten " + std::to_string(kMenuFileLimit) + " Bytes gelesen");
    return menu;
}

bool readMenuFileForEdit(const std::filesystem::path& path, std::string* text, std::string* error) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !writeMenuFile(path, kNewMenuFile, error)) return false;
    bool exists = false;
    *text = readAtMost(path, kMenuFileLimit, &exists);
    if (!exists && error) *error = path.string() + " kann nicht gelesen werden.";
    return exists;
}

bool writeMenuFile(const std::filesystem::path& path, std::string_view text, std::string* error) {
    // Whole or not at all: a crash while saving never leaves half a menu.
    const std::string_view kept = text.substr(0, std::min(text.size(), kMenuFileLimit));
    if (writeFileAtomic(path, kept, existingMode(path, 0644))) return true;
    if (error) *error = path.string() + " kann nicht geschrieben werden.";
    return false;
}

std::string connectMenuScript(const UserMenuEntry& entry) {
    return (entry.command.empty() ? entry.text : entry.command) + ".scr";
}

ConnectMenuResult startConnectMenuEntry(CTncChannel& channel, const UserMenuEntry& entry, ScriptOperator* op,
                                        std::string* error) {
    if (channel.job(JobSlot::Script)) return ConnectMenuResult::ScriptRunning;
    return startScript(channel, connectMenuScript(entry), error, op) ? ConnectMenuResult::Started
                                                                     : ConnectMenuResult::Failed;
}

void sendMenuTncCommand(CTncChannel& channel, std::string_view commandUtf8) {
    channel.textOut("**" + utf8ToOem(commandUtf8), kKindCommand, false);
}

void sendMenuText(CTncChannel& channel, std::string_view commandUtf8) {
    const std::string line = utf8ToOem(commandUtf8) + "\r";
    channel.textOut(line, kKindInfo, false);
    channel.show(line, kClassInputEcho);
}

}  // namespace norva
