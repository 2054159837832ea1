// Owned descriptors, whole writes, bounded regular-file reads, atomic replacement.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace norva {

namespace fs = std::filesystem;

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

bool UniqueFd::close() {
    const int fd = release();
    return fd < 0 || ::close(fd) == 0;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

long readSome(int fd, char* buffer, std::size_t max) {
    std::size_t got = 0;
    while (got < max) {
        const ssize_t n = ::read(fd, buffer + got, max - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return static_cast<long>(got);
}

UniqueFd openRegularFile(const fs::path& path, Links links) {
    // Non-blocking so that a FIFO put in a file's place cannot stall the engine.
    int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (links == Links::Refuse) flags |= O_NOFOLLOW;
    UniqueFd fd(::open(path.c_str(), flags));
    struct stat st {};
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) fd.reset();
    return fd;
}

std::optional<std::string> readRegularFile(const fs::path& path, std::size_t maxBytes, Links links) {
    UniqueFd fd = openRegularFile(path, links);
    if (!fd) return std::nullopt;
    std::string out;
    char buf[65536];
    while (out.size() < maxBytes) {
        const std::size_t want = std::min(sizeof buf, maxBytes - out.size());
        const long n = readSome(fd.get(), buf, want);
        if (n < 0) return std::nullopt;
        out.append(buf, static_cast<std::size_t>(n));
        if (static_cast<std::size_t>(n) < want) break;
    }
    return out;
}

namespace {

// The file a write must replace: with Follow, a symbolic link is followed
// so that a linked file stays a link.
fs::path writeTarget(const fs::path& path, Links links) {
    std::error_code ec;
    if (links == Links::Refuse || !fs::is_symlink(path, ec)) return path;
    const fs::path target = fs::weakly_canonical(path, ec);
    return ec ? path : target;
}

}  // namespace

mode_t existingMode(const fs::path& path, mode_t fallback) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return fallback;
    return st.st_mode & 07777;
}

bool writeFileAtomic(const fs::path& path, std::string_view content, mode_t mode, Links links) {
    const fs::path target = writeTarget(path, links);
    fs::path dir = target.parent_path();
    if (dir.empty()) dir = ".";
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    // mkostemp creates the file 0600: a secret is never readable by others,
    // not even in its temporary copy.
    UniqueFd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (!fd) return false;
    bool ok = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), content) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (ok) ok = ::rename(tmpl.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmpl.c_str());
        return false;
    }
    UniqueFd dfd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dfd) ::fsync(dfd.get());  // makes the rename itself durable; best effort
    return true;
}

UniqueFd openForWriting(const fs::path& path, CreateMode mode, mode_t perms) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | O_NONBLOCK;
    if (mode == CreateMode::Exclusive) flags |= O_EXCL;
    if (mode == CreateMode::Truncate) flags |= O_TRUNC;
    if (mode == CreateMode::Append) flags |= O_APPEND;
    UniqueFd fd(::open(path.c_str(), flags, perms));
    // Only regular files: never write into a device or a pipe named like a file.
    struct stat st {};
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) fd.reset();
    if (fd) ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

}  // namespace norva
