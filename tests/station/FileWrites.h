// Counts the writes the kernel sees in one directory (inotify): a file
// renamed onto a name, or a file opened for writing and closed under it,
// is one write of that name. Temporary files (dot names) are not counted,
// only what replaced or changed a real file. Events are queued by the
// kernel as the writes happen, so reading them afterwards is exact.
#pragma once

#include <sys/inotify.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>

namespace norva::test {

class FileWrites {
public:
    explicit FileWrites(const std::filesystem::path& dir) : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        if (fd_ >= 0) ok_ = ::inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE) >= 0;
    }
    ~FileWrites() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileWrites(const FileWrites&) = delete;
    FileWrites& operator=(const FileWrites&) = delete;

    bool ok() const { return ok_; }

    // Writes per file name since the last call.
    std::map<std::string, int> take() {
        std::map<std::string, int> out;
        alignas(inotify_event) char buf[8192];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) break;
            for (ssize_t at = 0; at < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                const std::string name = e->len > 0 ? std::string(e->name) : std::string();
                if (!name.empty() && name.front() != '.') ++out[name];
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return out;
    }

private:
    int fd_ = -1;
    bool ok_ = false;
};

using Writes = std::map<std::string, int>;

}  // namespace norva::test
