// One toolkit for the files every subsystem reads and writes: an owned
// descriptor, whole writes, bounded reads of regular files that cannot
// stall on a FIFO or a device, and atomic replacement with a chosen mode.
// Everything that touches a file by name goes through these, so the rules
// (regular files only, no blocking open, bounded size, mode kept) hold in
// one place.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

// An open file descriptor, closed when the owner goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) reset(o.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);
    // Closes now; false when close reported an error (data may be lost).
    bool close();

private:
    int fd_ = -1;
};

// Writes all bytes; false on any failure.
bool writeAll(int fd, std::string_view bytes);
// Reads up to max bytes (fewer at the end of the file); -1 on failure.
long readSome(int fd, char* buffer, std::size_t max);

// Whether a symbolic link at the name itself may be followed. Files whose
// names come from the air or from callsigns never are.
enum class Links { Follow, Refuse };

// Opens a regular file for reading without blocking (a FIFO or device in a
// file's place is refused, not waited on). Invalid when it cannot be opened
// or is no regular file.
UniqueFd openRegularFile(const std::filesystem::path& path, Links links = Links::Follow);

// The first maxBytes of a regular file (the rest is not read). Nothing when
// the file is missing, unreadable or no regular file.
std::optional<std::string> readRegularFile(const std::filesystem::path& path, std::size_t maxBytes,
                                           Links links = Links::Follow);

// Replaces path by content: a temporary file beside it is written with mode,
// synced and renamed over it, then the directory is synced, so the old file
// stays whole until the new one is. A symbolic link at path is followed when
// links is Follow (a linked settings file stays a link), else replaced.
bool writeFileAtomic(const std::filesystem::path& path, std::string_view content, mode_t mode,
                     Links links = Links::Follow);

// The mode of an existing file, or fallback when there is none.
mode_t existingMode(const std::filesystem::path& path, mode_t fallback);

// Creates a file for writing without following a symbolic link at its
// name; only a regular file is accepted. Exclusive fails when the name
// exists; Truncate empties an existing file; Append writes at its end.
enum class CreateMode { Exclusive, Truncate, Append };
UniqueFd openForWriting(const std::filesystem::path& path, CreateMode mode, mode_t perms = 0644);

}  // namespace norva
