// The password file of a station: its keys, the DieBox block behind them,
// and the writes of the password dialogs and the LOGIN: capture.
#include "station/PasswordFile.h"

#include <sys/stat.h>

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <utility>

#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "station/StationPaths.h"

namespace norva {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSection = "Station";
constexpr mode_t kPrivate = 0600;
// The block may follow a section of up to ~1 KB of keys; it is looked for in
// this much of the file, whatever a hand-made file holds behind it.
constexpr std::size_t kFileReadLimit = 8192;

// The file's first limit bytes; empty when it is missing or refused.
std::string readHead(const fs::path& file, std::size_t limit) {
    std::optional<std::string> bytes = readSmallFile(file);
    if (!bytes) return {};
    bytes->resize(std::min(bytes->size(), limit));
    return std::move(*bytes);
}

// Takes the rights of others from an existing file (a write that changes
// nothing leaves the mode as it was). Through its own descriptor: never a
// link's target.
bool keepPrivate(const fs::path& file) {
    const UniqueFd fd = openRegularFile(file, Links::Refuse);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return false;
    if ((st.st_mode & 07777) == kPrivate) return true;
    return ::fchmod(fd.get(), kPrivate) == 0;
}

// Cut at the first line break and to the buffer size.
std::string valueOf(std::string_view value) {
    const auto brk = value.find_first_of("\r\n");
    return cut(value.substr(0, brk), kPasswordValueLimit);
}

std::string keyLine(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + valueOf(value) + "\r\n";
}

// Any line end of the dialog's field becomes CR LF.
std::string crlfLines(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 40);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            continue;
        }
        out.push_back(c);
    }
    return out;
}

}  // namespace

PasswordSettings readPasswordFile(const fs::path& file) {
    PasswordSettings s;
    if (checkSmallFile(file) == SmallFile::Refused) return s;
    const Profile pwd(file, Links::Refuse);
    auto get = [&pwd](std::string_view key, std::string_view def) {
        return cut(pwd.getString(kSection, key, def), kPasswordValueLimit);
    };
    s.stationMode = get("StationMode", "no Password");
    s.sysopCommand = get("SysopCommand", "");
    s.password = get("Password", "");
    s.loginText = get("LoginText", "");
    s.destCall = get("DestCall", "");
    s.aliasDestCall = get("AliasDestCall", "");
    return s;
}

std::string dieBoxBlockFromBytes(std::string_view bytes) {
    const std::string lower = toLower(bytes);
    const auto marker = lower.find(kDieBoxMarker);
    if (marker == std::string::npos) return {};
    const std::size_t start = marker + kDieBoxMarker.size() + 2;
    if (start >= bytes.size()) return {};
    const std::string_view rest = bytes.substr(start, kDieBoxStoredLimit);
    const auto end = rest.find_first_of(std::string_view(" \x1a\xcd", 3));
    return std::string(rest.substr(0, end));
}

std::string readDieBoxBlock(const fs::path& file) {
    return dieBoxBlockFromBytes(readHead(file, kFileReadLimit));
}

std::string dieBoxSecret(std::string_view block) {
    std::string out;
    out.reserve(block.size());
    for (char c : block) {
        if (c != '\r' && c != '\n') out.push_back(c);
    }
    return out;
}

bool writePasswordKeys(const fs::path& file, std::initializer_list<std::pair<std::string_view, std::string_view>> keys) {
    const SmallFile state = checkSmallFile(file);
    if (state == SmallFile::Refused) return false;
    if (state == SmallFile::Regular && !keepPrivate(file)) return false;
    // A private profile creates the file 0600 and keeps it so on the rewrite.
    Profile pwd(file, Links::Refuse);
    pwd.setPrivate(true);
    Profile::Batch batch(pwd);
    bool written = true;
    for (const auto& [key, value] : keys) written = pwd.writeString(kSection, key, valueOf(value)) && written;
    return batch.end() && written;
}

bool writePasswordKey(const fs::path& file, std::string_view key, std::string_view value) {
    return writePasswordKeys(file, {{key, value}});
}

bool writeNodePassword(const fs::path& file, std::string_view password, std::string_view sysopCommand) {
    return writePasswordKeys(file, {{"Password", password}, {"SysopCommand", sysopCommand}});
}

std::string dieBoxFileBytes(const DieBoxPasswordEntry& e) {
    std::string out = "[Station]\r\n";
    out += keyLine("DestCall", e.destCall);
    out += keyLine("AliasDestCall", e.aliasDestCall);
    out += keyLine("SysopCommand", e.sysopCommand);
    out += keyLine("StationMode", e.stationMode);
    out += keyLine("LoginText", e.loginText);
    if (!e.block.empty()) {
        out += "\r\n\r\n";
        out += kDieBoxMarker;
        out += "\r\n";
        out += crlfLines(std::string_view(e.block).substr(0, kDieBoxStoredLimit));
        out.push_back('\x1a');
    }
    return out;
}

bool writeDieBoxPassword(const fs::path& file, const DieBoxPasswordEntry& entry) {
    // Named by a callsign: a link or anything else in its place is left alone.
    if (checkSmallFile(file) == SmallFile::Refused) return false;
    return writeFileAtomic(file, dieBoxFileBytes(entry), kPrivate, Links::Refuse);
}

bool storeLoginText(const StationPaths& paths, std::string_view destCall, std::string_view text) {
    if (!isCallsign(destCall)) return false;
    const auto file = paths.passwordFile(destCall);
    if (!file) return false;
    std::string line = valueOf(text);
    for (char& c : line) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = ' ';
    }
    return writePasswordKey(*file, "LoginText", line);
}

}  // namespace norva
