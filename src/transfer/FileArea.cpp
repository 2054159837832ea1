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

std::optional<std::int64_t> fileSize(const std::filesystem::path& path) {
    UniqueFd fd = openRegularFile(path);
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
