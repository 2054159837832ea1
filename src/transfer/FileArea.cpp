// Owned descriptors, the free space floor, directory keys and free names.
#include "transfer/FileArea.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

UniqueFd openForReading(const std::filesystem::path& path) {
    // Non-blocking so that a FIFO put in a file's place cannot stall the engine.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat st {};
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) fd.reset();
    return fd;
}

UniqueFd openForWriting(const std::filesystem::path& path, CreateMode mode) {
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW;
    if (mode == CreateMode::Exclusive) flags |= O_EXCL;
    if (mode == CreateMode::Truncate) flags |= O_TRUNC;
    if (mode == CreateMode::Append) flags |= O_APPEND;
    UniqueFd fd(::open(path.c_str(), flags, 0644));
    // Only regular files: never write into a device or a pipe named like a file.
    struct stat st {};
    if (fd && (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))) fd.reset();
    return fd;
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

std::optional<std::int64_t> fileSize(const std::filesystem::path& path) {
    UniqueFd fd = openForReading(path);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

std::optional<std::uint64_t> systemFreeSpace(const std::filesystem::path& path) {
    struct statvfs vfs {};
    if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

bool DiskLimits::allows(const std::filesystem::path& where, std::uint64_t bytes) const {
    const auto free = freeSpace ? freeSpace(where) : systemFreeSpace(where);
    if (!free) return true;
    return *free >= floorBytes && *free - floorBytes >= bytes;
}

CreatedFile createFreeName(const std::filesystem::path& dir, const std::string& name) {
    for (int n = 0; n < 1000; ++n) {
        const std::string candidate = n == 0 ? name : name + "." + std::to_string(n);
        CreatedFile made{openForWriting(dir / candidate, CreateMode::Exclusive), dir / candidate};
        if (made.fd) return made;
        if (errno != EEXIST) break;
    }
    return {};
}

}  // namespace norva
