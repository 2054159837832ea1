// Receive directories kept apart from Norva's own files.
#include "platform/ReceiveFolders.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>

#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"

namespace norva {

namespace fs = std::filesystem;

namespace {

// Keys of section "frame" naming directories Norva reads its own files from.
constexpr std::array<std::string_view, 9> kOwnKeys = {
    "ScriptDir", "InitDir", "StationDir", "MenuDir", "HelpDir",
    "PasswordDir", "HelloTextDir", "RunDir", "SoundDir",
};

// Keys of section "frame" naming directories received files land in.
constexpr std::array<std::string_view, 4> kReceiveKeys = {
    "BinReadFileDir", "7PlusRxDir", "ReadFileDir", "7PlusExtractDir",
};

constexpr std::array<std::string_view, 14> kOwnExtensions = {
    ".ini", ".exi", ".scr", ".mnu", ".stn", ".pwd", ".sh", ".int", ".hlp", ".inf", ".bat", ".com", ".exe", ".desktop",
};

fs::path realPath(const fs::path& p) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(p, ec);
    if (ec) real = p.lexically_normal();
    // "a/b/" and "a/b" are one directory.
    if (real.has_filename() || real == real.root_path()) return real;
    return real.parent_path();
}

// a lies inside b (or is b).
bool within(const fs::path& a, const fs::path& b) {
    auto ai = a.begin();
    for (auto bi = b.begin(); bi != b.end(); ++bi, ++ai) {
        if (ai == a.end() || *ai != *bi) return false;
    }
    return true;
}

bool overlaps(const fs::path& a, const fs::path& b) { return within(a, b) || within(b, a); }

std::vector<fs::path> ownDirectoriesOf(const Profile& profile, const fs::path& programDir, const fs::path& configDir) {
    std::vector<fs::path> dirs{realPath(programDir)};
    if (!configDir.empty()) dirs.push_back(realPath(configDir));
    for (std::string_view key : kOwnKeys) dirs.push_back(realPath(frameDirectory(profile, key, programDir)));
    return dirs;
}

bool isConfigured(const Profile& profile, std::string_view key) {
    return !trim(profile.getString("frame", key, "")).empty();
}

// The configured receive directory when it is set and none of ours.
std::optional<fs::path> usableConfigured(const Profile& profile, const fs::path& programDir, const fs::path& configDir,
                                         std::string_view key) {
    if (!isConfigured(profile, key)) return std::nullopt;
    const fs::path dir = realPath(frameDirectory(profile, key, programDir));
    const auto own = ownDirectoriesOf(profile, programDir, configDir);
    if (std::find(own.begin(), own.end(), dir) != own.end()) return std::nullopt;
    return dir;
}

}  // namespace

bool isReceiveKey(std::string_view key) {
    return std::find(kReceiveKeys.begin(), kReceiveKeys.end(), key) != kReceiveKeys.end();
}

fs::path receiveDirectory(const Profile& profile, const fs::path& programDir, std::string_view key) {
    if (auto dir = usableConfigured(profile, programDir, {}, key)) return *dir;
    return realPath(programDir / std::string(kReceivedFolderName));
}

bool isOwnFileKind(std::string_view name) {
    const std::string lower = toLower(name);
    if (lower == "alias.dat" || lower == "registry.ini") return true;
    if (lower.starts_with("whello") && lower.ends_with(".txt")) return true;
    return std::any_of(kOwnExtensions.begin(), kOwnExtensions.end(),
                       [&lower](std::string_view ext) { return lower.ends_with(ext); });
}

ReceiveFolders::ReceiveFolders(const Profile& profile, fs::path programDir, SystemLog& log, fs::path configDir)
    : profile_(profile), programDir_(std::move(programDir)), log_(log), configDir_(std::move(configDir)) {}

fs::path ReceiveFolders::frameDir(std::string_view key) const {
    return realPath(frameDirectory(profile_, key, programDir_));
}

std::vector<fs::path> ReceiveFolders::ownDirectories() const {
    return ownDirectoriesOf(profile_, programDir_, configDir_);
}

bool ReceiveFolders::isOwnDirectory(const fs::path& dir) const {
    const fs::path real = realPath(dir);
    const auto own = ownDirectories();
    return std::find(own.begin(), own.end(), real) != own.end();
}

void ReceiveFolders::logOnce(const std::string& key, const std::string& text) {
    if (!logged_.insert(key).second) return;
    log_.event(text + "\r\n");
}

std::optional<fs::path> ReceiveFolders::ownFolder() {
    const fs::path folder = programDir_ / std::string(kReceivedFolderName);
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(folder, ec)) && ::mkdir(folder.c_str(), 0700) != 0) {
        logOnce("mkdir", "Receive folder " + folder.string() + " cannot be created: receptions are refused");
        return std::nullopt;
    }
    if (isOwnDirectory(folder)) {
        logOnce("own-received", "Receive folder " + folder.string() +
                                    " is set as a directory of Norva's own files: receptions are refused");
        return std::nullopt;
    }
    return realPath(folder);
}

std::optional<fs::path> ReceiveFolders::directoryFor(std::string_view key) {
    if (auto dir = usableConfigured(profile_, programDir_, configDir_, key)) return dir;
    auto folder = ownFolder();
    if (!folder) return std::nullopt;
    const std::string why = isConfigured(profile_, key) ? "holds Norva's own files" : "is empty";
    logOnce(std::string(key), std::string(key) + " " + why + ": received files go to " + folder->string());
    return folder;
}

std::optional<std::string> ReceiveFolders::storeName(const fs::path& dir, std::string_view name) {
    const fs::path real = realPath(dir);
    if (isOwnDirectory(real)) {
        log_.event("Received file " + std::string(name) + " refused: " + real.string() +
                   " holds Norva's own files\r\n");
        return std::nullopt;
    }
    if (!isOwnFileKind(name)) return std::string(name);
    const auto own = ownDirectories();
    const bool near = std::any_of(own.begin(), own.end(), [&real](const fs::path& o) { return overlaps(real, o); });
    if (!near) return std::string(name);
    std::string safe = cut(name, 255 - kSafeNameSuffix.size()) + std::string(kSafeNameSuffix);
    log_.event("Received file " + std::string(name) + " stored as " + safe + "\r\n");
    return safe;
}

std::vector<fs::path> ReceiveFolders::stationWritable() {
    std::vector<fs::path> dirs;
    if (isConfigured(profile_, "RemoteDir")) dirs.push_back(frameDir("RemoteDir"));
    for (std::string_view key : kReceiveKeys)
        if (auto dir = directoryFor(key)) dirs.push_back(*dir);
    return dirs;
}

bool ReceiveFolders::runAreaIsSafe() {
    if (!isConfigured(profile_, "RunDir")) return false;
    const fs::path run = frameDir("RunDir");
    for (const fs::path& w : stationWritable()) {
        if (!overlaps(run, w)) continue;
        logOnce("run-overlap", "RunDir " + run.string() + " overlaps " + w.string() +
                                   ", where stations can write: //DOS is off until they are apart");
        return false;
    }
    return true;
}

void ReceiveFolders::checkAtStart() {
    for (std::string_view key : kReceiveKeys) directoryFor(key);
    if (isConfigured(profile_, "RemoteDir") && isOwnDirectory(frameDir("RemoteDir")))
        logOnce("remote-own", "RemoteDir " + frameDir("RemoteDir").string() +
                                  " holds Norva's own files: stations cannot store files there");
    runAreaIsSafe();
}

}  // namespace norva
