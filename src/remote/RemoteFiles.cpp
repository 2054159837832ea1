// RemoteServer: the file commands. Each channel keeps its own current
// directory; a station that is not superuser only ever names entries of it
// (or ".." below the top), and every entry it touches must resolve inside
// the remote area.
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "channel/TncChannel.h"
#include "hostmode/HostContext.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"
#include "platform/Files.h"
#include "platform/ReceiveFolders.h"
#include "platform/Profile.h"
#include "remote/RemoteArea.h"
#include "remote/RemoteServer.h"
#include "remote/RemoteText.h"

namespace norva {

namespace rt = remote_text;
namespace fs = std::filesystem;

namespace {

// Longest listing sent back; a directory with more entries is cut.
constexpr std::size_t kListingEntries = 2000;
// Listings shorter than this go as one reply, longer ones as a memory text.
constexpr std::size_t kReplyLimit = 256;

std::string withDefaultExtension(std::string name, std::string_view ext) {
    if (name.find('.') == std::string::npos) name += ext;
    return name;
}

bool patternMatches(const std::string& pattern, const std::string& name) {
    if (fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
    // "NAME.*" also lists NAME without an extension.
    return pattern.ends_with(".*") && fnmatch(pattern.c_str(), (name + ".").c_str(), FNM_CASEFOLD) == 0;
}

std::string listingLine(const fs::path& entry, const std::string& name) {
    struct stat st{};
    if (::stat(entry.c_str(), &st) != 0) return {};
    std::tm tm{};
    const std::time_t t = st.st_mtime;
    localtime_r(&t, &tm);
    const bool dir = S_ISDIR(st.st_mode);
    std::string size = dir ? std::string() : std::to_string(st.st_size);
    size.resize(std::max<std::size_t>(size.size(), 8), ' ');
    char head[40];
    std::snprintf(head, sizeof head, "%02d.%02d.%02d %02d:%02d ", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                  tm.tm_hour, tm.tm_min);
    return head + std::string(dir ? "<DIR> " : "      ") + " " + size + " " + utf8ToOem(name) + "\r\n";
}

bool pseudoFileSystem(std::string_view type) {
    static constexpr std::string_view kPseudo[] = {
        "proc",  "sysfs",      "devpts",   "cgroup",  "cgroup2",   "mqueue",      "debugfs",
        "tracefs", "securityfs", "pstore", "bpf",     "hugetlbfs", "configfs",    "fusectl",
        "autofs", "binfmt_misc", "devtmpfs", "nsfs",  "efivarfs",  "rpc_pipefs",  "selinuxfs"};
    return std::find(std::begin(kPseudo), std::end(kPseudo), type) != std::end(kPseudo);
}

std::string volumeText(const MountInfo& m) {
    return (m.source.empty() ? std::string("No Volume") : m.source) + " - " + m.type;
}

std::string slashEnded(const fs::path& p) {
    std::string s = p.string();
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}

// The label a normal station sees: it names the area, no device of the host.
constexpr std::string_view kAreaVolume = "Norva - Remote";

}  // namespace

std::string RemoteServer::shownPath(CTncChannel& ch, const fs::path& p) const {
    // The superuser works on the whole host and sees its paths; a normal
    // station sees its area as the root of a file system of its own.
    const auto root = ch.superuser() ? std::nullopt : areaRoot(ch);
    if (!root) return p.string();
    // Element by element, so a typed "sub/.." is shown as typed, below the root.
    auto at = p.begin();
    for (auto r = root->begin(); r != root->end(); ++r, ++at)
        if (at == p.end() || *at != *r) return "/";
    std::string shown;
    for (; at != p.end(); ++at)
        if (!at->empty() && *at != ".") shown += "/" + at->string();
    return shown.empty() ? "/" : shown;
}

std::optional<fs::path> RemoteServer::areaRoot(CTncChannel& ch) const {
    const HostContext& ctx = ch.tnc().context();
    if (auto area = configuredArea(ctx.profile, ctx.programDir, "RemoteDir")) return area;
    if (!ch.superuser()) return std::nullopt;
    // The superuser works anywhere; start in RemoteDir when it exists.
    std::error_code ec;
    const fs::path dir = fs::canonical(frameDirectory(ctx.profile, "RemoteDir", ctx.programDir), ec);
    if (!ec && fs::is_directory(dir, ec)) return dir;
    return fs::weakly_canonical(ctx.programDir, ec);
}

fs::path RemoteServer::currentDir(CTncChannel& ch) {
    fs::path& dir = dirs_[static_cast<std::size_t>(ch.slot())];
    const auto root = areaRoot(ch);
    if (!root) return ch.tnc().context().programDir;
    std::error_code ec;
    const bool usable = !dir.empty() && fs::is_directory(dir, ec) && (ch.superuser() || realInside(*root, dir));
    if (!usable) dir = *root;
    return dir;
}

std::optional<fs::path> RemoteServer::existingEntry(CTncChannel& ch, std::string_view name) {
    const fs::path cwd = currentDir(ch);
    if (ch.superuser() && name.find('/') != std::string_view::npos) {
        const fs::path p = fs::path(std::string(name)).is_absolute() ? fs::path(std::string(name)) : cwd / std::string(name);
        return findIgnoringCase(p.parent_path(), p.filename().string());
    }
    if (!isPlainName(name)) return std::nullopt;
    const auto entry = findIgnoringCase(cwd, name);
    if (!entry || ch.superuser()) return entry;
    // The entry itself, not where a link leads: deleting a link must not
    // delete its target. Its real path must still be inside.
    const auto root = areaRoot(ch);
    return root && realInside(*root, *entry) ? entry : std::nullopt;
}

void RemoteServer::changeDir(CTncChannel& ch, std::string_view argument) {
    std::string name = oemToUtf8(argument);
    if (name.empty()) name = ".";
    const fs::path cwd = currentDir(ch);
    const auto root = areaRoot(ch);
    std::optional<fs::path> target;
    std::error_code ec;
    if (name == ".") {
        target = cwd;
    } else if (name == "..") {
        if (!ch.superuser() && root && cwd == *root) {
            remoteReply(ch, "\r" + std::string(rt::kNoDirectory) + " " + slashEnded(shownPath(ch, cwd)) + "..\r");
            sendRemotePrompt(ch);
            return;
        }
        target = cwd.parent_path();
    } else {
        target = existingEntry(ch, name);
    }
    if (target) target = fs::canonical(*target, ec);
    if (!target || ec || !fs::is_directory(*target, ec) || (!ch.superuser() && !(root && realInside(*root, *target)))) {
        const fs::path shown = name.find('/') == 0 ? fs::path(name) : cwd / name;
        std::string text = ch.superuser() ? shown.string() : slashEnded(shownPath(ch, cwd)) + name;
        while (text.size() > 1 && text.back() == '/') text.pop_back();
        remoteReply(ch, "\r" + std::string(rt::kNoDirectory) + " " + text + "\r");
        sendRemotePrompt(ch);
        return;
    }
    dirs_[static_cast<std::size_t>(ch.slot())] = *target;
    remoteReply(ch, "\r" + std::string(rt::kDirChanged) + " " + shownPath(ch, *target) + "\r");
    sendRemotePrompt(ch);
}

void RemoteServer::listDir(CTncChannel& ch, std::string_view argument) {
    std::string pattern = oemToUtf8(argument);
    fs::path dir = currentDir(ch);
    if (ch.superuser() && pattern.find('/') != std::string::npos) {
        const fs::path p = fs::path(pattern).is_absolute() ? fs::path(pattern) : dir / pattern;
        dir = p.parent_path();
        pattern = p.filename().string();
    }
    if (pattern.empty()) pattern = "*.*";
    if (pattern.find('.') == std::string::npos) pattern += ".*";

    const std::string volume = ch.superuser() ? volumeText(mountOf(dir, readMounts(options_.mountTable))) : std::string(kAreaVolume);
    std::string text = std::string(rt::kVolumeLabel) + volume + std::string(rt::kDirectoryOf) + " " +
                       slashEnded(shownPath(ch, dir)) + "\r\r";
    text = utf8ToOem(text);
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end && entries.size() < kListingEntries;
         it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    const auto root = areaRoot(ch);
    for (const fs::path& entry : entries) {
        const std::string name = entry.filename().string();
        if (!patternMatches(pattern, name)) continue;
        if (!ch.superuser() && (!isPlainName(name) || !root || !realInside(*root, entry))) continue;
        text += listingLine(entry, name);
    }
    text += "\r\n\r\n";
    if (text.size() < kReplyLimit) {
        remoteReplyOem(ch, text);
        sendRemotePrompt(ch);
    } else if (!transfers_.sendMemoryText(ch, "Remote", std::move(text), true)) {
        sendRemotePrompt(ch);
    }
}

void RemoteServer::listDrives(CTncChannel& ch) {
    const auto root = areaRoot(ch);
    // A normal station has one drive, its area; the host's file systems and
    // devices are none of its business.
    if (!ch.superuser()) {
        const std::string area = root ? "   /  (" + std::string(kAreaVolume) + ")\r" : std::string();
        remoteReply(ch, "\r" + std::string(rt::kDrives) + "\r\r" + area + "\r");
        sendRemotePrompt(ch);
        return;
    }
    const std::vector<MountInfo> mounts = readMounts(options_.mountTable);
    const MountInfo areaMount = root ? mountOf(*root, mounts) : MountInfo{};
    std::string lines;
    int count = 0;
    bool areaListed = false;
    for (const MountInfo& m : mounts) {
        if (count == 26) break;
        if (pseudoFileSystem(m.type)) continue;
        lines += "   " + m.mountPoint + "  (" + volumeText(m) + ")\r";
        areaListed = areaListed || (!areaMount.mountPoint.empty() && m.mountPoint == areaMount.mountPoint);
        ++count;
    }
    // A chroot or a container may show no mount table, or none that holds
    // the area: the station still sees the file system it works on.
    if (root && !areaListed) lines += "   " + shownPath(ch, *root) + "  (" + std::string(kAreaVolume) + ")\r";
    remoteReply(ch, "\r" + std::string(rt::kDrives) + "\r\r" + lines + "\r");
    sendRemotePrompt(ch);
}

void RemoteServer::makeDir(CTncChannel& ch, std::string_view argument) {
    const std::string name = oemToUtf8(argument);
    const fs::path cwd = currentDir(ch);
    const fs::path path = ch.superuser() && fs::path(name).is_absolute() ? fs::path(name) : cwd / name;
    std::string shown = shownPath(ch, path);
    while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
    // A name that differs from an existing one only in case would make lookups ambiguous.
    const bool nameOk = ch.superuser() ? !name.empty() : isPlainName(name) && !findIgnoringCase(cwd, name);
    if (nameOk && ::mkdir(path.c_str(), 0755) == 0) {
        remoteReply(ch, "\rDirectory " + shown + " created.\r");
    } else {
        remoteReply(ch, "\r" + std::string(rt::kCannotMakeDir) + " " + shown + "\r");
    }
    sendRemotePrompt(ch);
}

void RemoteServer::removeDir(CTncChannel& ch, std::string_view argument) {
    const std::string name = oemToUtf8(argument);
    const fs::path cwd = currentDir(ch);
    std::string shown = shownPath(ch, name.find('/') == 0 ? fs::path(name) : cwd / name);
    while (shown.size() > 1 && shown.back() == '/') shown.pop_back();
    const auto entry = existingEntry(ch, name);
    std::error_code ec;
    // rmdir never follows a link and refuses a directory that is not empty.
    const bool removed = entry && *entry != areaRoot(ch) && fs::is_directory(fs::symlink_status(*entry, ec)) &&
                         ::rmdir(entry->c_str()) == 0;
    if (removed)
        remoteReply(ch, "\r" + std::string(rt::kDirectory) + " " + shown + " " + std::string(rt::kRemoved) + "\r");
    else
        remoteReply(ch, "\r" + std::string(rt::kCannotRemoveDir) + " " + shown + "\r");
    sendRemotePrompt(ch);
}

void RemoteServer::deleteFile(CTncChannel& ch, std::string_view argument) {
    const std::string name = oemToUtf8(argument);
    if (name.find_first_of("*?\\:") != std::string::npos) {
        remoteReply(ch, "\r" + std::string(rt::kBadCharacters) + "\r");
        sendRemotePrompt(ch);
        return;
    }
    const auto entry = existingEntry(ch, name);
    std::error_code ec;
    const bool gone = entry && !fs::is_directory(fs::symlink_status(*entry, ec)) && ::unlink(entry->c_str()) == 0;
    remoteReply(ch, "\r" + std::string(gone ? rt::kFileDeleted : rt::kCannotDelete) + "\r");
    sendRemotePrompt(ch);
}

// A file of the area the station may read: it exists, is a regular file
// (after links) and is readable; nothing otherwise.
std::optional<fs::path> RemoteServer::readableFile(CTncChannel& ch, std::string_view name) {
    const auto found = existingEntry(ch, name);
    std::error_code ec;
    const auto entry = found ? std::optional(fs::canonical(*found, ec)) : std::nullopt;
    if (!entry || ec || !fs::is_regular_file(*entry, ec) || ::access(entry->c_str(), R_OK) != 0) return std::nullopt;
    return entry;
}

void RemoteServer::readFile(CTncChannel& ch, std::string_view argument, bool binary) {
    const std::string name = withDefaultExtension(oemToUtf8(argument), binary ? ".bin" : ".txt");
    const auto entry = readableFile(ch, name);
    if (!entry) {
        remoteReply(ch, rt::kFileNotFound);
        sendRemotePrompt(ch);
        return;
    }
    const bool started = binary ? transfers_.sendBinFile(ch, *entry, true)
                                : transfers_.sendTextFile(ch, *entry, RemoteTransfers::Place::Queue, true);
    // A full queue drops the request; the station still gets its prompt.
    if (!started) sendRemotePrompt(ch);
}

void RemoteServer::deliverFile(CTncChannel& ch, std::string_view argument, bool binary) {
    const auto plain = plainName(oemToUtf8(argument));
    const fs::path cwd = currentDir(ch);
    if (!plain) {
        remoteReply(ch, rt::kCannotOpen);
        sendRemotePrompt(ch);
        return;
    }
    // Never into a directory Norva reads its own files (or programs) from.
    const auto stored = ch.receiveFolders().storeName(cwd, withDefaultExtension(*plain, binary ? ".bin" : ".txt"));
    if (!stored) {
        remoteReply(ch, rt::kCannotOpen);
        sendRemotePrompt(ch);
        return;
    }
    const std::string& name = *stored;
    if (findIgnoringCase(cwd, name)) {
        remoteReply(ch, rt::kFileExists);
        sendRemotePrompt(ch);
        return;
    }
    const fs::path path = cwd / name;
    // Exclusive without following a link: never an existing file, never through a link.
    if (!openForWriting(path, CreateMode::Exclusive)) {
        remoteReply(ch, rt::kCannotOpen);
        sendRemotePrompt(ch);
        return;
    }
    bool started = false;
    if (binary) {
        started = transfers_.receiveBinFile(ch, path, true);
        if (started) remoteReply(ch, rt::kStartBinary);
    } else {
        const std::string& dest = ch.linkState().destCall();
        const std::string heading = std::string(rt::kMessageFrom) + " " + (dest.empty() ? "Sysop" : dest) + " " +
                                    dateTimeText(ch.tnc().context().clock.localTime()) + "\r\n\r\n";
        started = transfers_.captureMessage(ch, path, utf8ToOem(heading));
        if (started) remoteReply(ch, rt::kEnterText);
    }
    if (started) return;
    std::error_code ec;
    fs::remove(path, ec);
    remoteReply(ch, rt::kCannotOpen);
    sendRemotePrompt(ch);
}

void RemoteServer::yappGet(CTncChannel& ch, std::string_view argument) {
    // As //RBin, without a default extension: YAPP names travel as they are.
    const auto entry = readableFile(ch, oemToUtf8(argument));
    if (!entry) {
        remoteReply(ch, rt::kFileNotFound);
        sendRemotePrompt(ch);
        return;
    }
    if (!transfers_.sendYappFile(ch, *entry, true)) sendRemotePrompt(ch);
}

void RemoteServer::yappPut(CTncChannel& ch, std::string_view argument) {
    const auto plain = plainName(oemToUtf8(argument));
    const fs::path cwd = currentDir(ch);
    // Never into a directory Norva reads its own files (or programs) from.
    const auto stored = plain ? ch.receiveFolders().storeName(cwd, *plain) : std::nullopt;
    if (!stored) {
        remoteReply(ch, rt::kCannotOpen);
        sendRemotePrompt(ch);
        return;
    }
    if (findIgnoringCase(cwd, *stored)) {
        remoteReply(ch, rt::kFileExists);
        sendRemotePrompt(ch);
        return;
    }
    // The job makes the file (first as its part) when the header comes.
    if (transfers_.receiveYappFile(ch, cwd / *stored, true)) {
        remoteReply(ch, rt::kStartYapp);
        return;
    }
    remoteReply(ch, rt::kCannotOpen);
    sendRemotePrompt(ch);
}

}  // namespace norva
