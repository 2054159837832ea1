// The password file of a station: its keys, the DieBox block behind them,
// and the writes of the password dialogs and the LOGIN: capture.
#include "station/PasswordFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Profile.h"
#include "platform/Text.h"
#include "station/StationPaths.h"

namespace norva {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kSection = "Station";
constexpr mode_t kPrivate = 0600;
// The block may follow a section of up to ~1 KB of keys; reading this much
// always reaches it, and no more is ever read of a hand-made file.
constexpr std::size_t kFileReadLimit = 8192;

// RAII for a file descriptor.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

std::string readHead(const fs::path& file, std::size_t limit) {
    Fd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    std::string out;
    if (fd.get() < 0) return out;
    out.resize(limit);
    std::size_t have = 0;
    while (have < limit) {
        const ssize_t n = ::read(fd.get(), out.data() + have, limit - have);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        have += static_cast<std::size_t>(n);
    }
    out.resize(have);
    return out;
}

bool writeAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file exists and only its owner may read it. The settings writer keeps
// the mode of the file it replaces, so the secret is never in a file others
// can read, not even in its temporary copy.
bool makePrivate(const fs::path& file) {
    Fd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK, kPrivate));
    if (fd.get() < 0) return false;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & 07777) != kPrivate && ::fchmod(fd.get(), kPrivate) != 0) return false;
    return fd.close();
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

// Temp file (0600) beside the target, then rename: the old file stays whole
// until the new one is.
bool replacePrivate(const fs::path& file, std::string_view content) {
    fs::path dir = file.parent_path();
    if (dir.empty()) dir = ".";
    std::string tmpl = (dir / ("." + file.filename().string() + ".XXXXXX")).string();
    Fd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (fd.get() < 0) return false;
    bool ok = ::fchmod(fd.get(), kPrivate) == 0 && writeAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (ok) ok = ::rename(tmpl.c_str(), file.c_str()) == 0;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

}  // namespace

PasswordSettings readPasswordFile(const fs::path& file) {
    const Profile pwd(file);
    auto get = [&pwd](std::string_view key, std::string_view def) {
        return cut(pwd.getString(kSection, key, def), kPasswordValueLimit);
    };
    PasswordSettings s;
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

bool writePasswordKey(const fs::path& file, std::string_view key, std::string_view value) {
    if (!makePrivate(file)) return false;
    Profile pwd(file);
    const bool written = pwd.writeString(kSection, key, valueOf(value));
    // Whatever the writer did, the file stays private.
    return makePrivate(file) && written;
}

bool writeNodePassword(const fs::path& file, std::string_view password, std::string_view sysopCommand) {
    const bool a = writePasswordKey(file, "Password", password);
    const bool b = writePasswordKey(file, "SysopCommand", sysopCommand);
    return a && b;
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
    // A link would make the rename replace the link, not the file it names.
    fs::path target = file;
    std::error_code ec;
    if (fs::is_symlink(file, ec)) {
        target = fs::weakly_canonical(file, ec);
        if (ec) return false;
    }
    return replacePrivate(target, dieBoxFileBytes(entry));
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
