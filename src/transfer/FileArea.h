// File handling the transfer jobs share: an owned descriptor, the free
// space floor that keeps a remote station from filling the disk, the
// configured directories, names matched ignoring case, and free names for
// files that must not overwrite anything.
#pragma once

#include "platform/FileNames.h"
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class Profile;

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

private:
    int fd_ = -1;
};

// Opens a regular file for reading; invalid when it cannot be opened or is none.
UniqueFd openForReading(const std::filesystem::path& path);
// Creates a file for writing without following a symbolic link at its
// name. exclusive: fails when the name exists; otherwise an existing file is
// truncated (truncate) or appended to.
enum class CreateMode { Exclusive, Truncate, Append };
UniqueFd openForWriting(const std::filesystem::path& path, CreateMode mode);
// Writes all bytes; false on any failure.
bool writeAll(int fd, std::string_view bytes);
// Reads up to max bytes; -1 on failure.
long readSome(int fd, char* buffer, std::size_t max);
// Size of a regular file, nothing when it cannot be read.
std::optional<std::int64_t> fileSize(const std::filesystem::path& path);

// Limits that protect the disk from what arrives over the air.
struct DiskLimits {
    // Receptions and captures keep at least this much free.
    std::uint64_t floorBytes = 50ull * 1024 * 1024;
    // Free bytes on the file system of a path; injectable for tests.
    std::function<std::optional<std::uint64_t>(const std::filesystem::path&)> freeSpace;
    // True when writing bytes more would keep the floor (unknown space: true).
    bool allows(const std::filesystem::path& where, std::uint64_t bytes) const;
};
std::optional<std::uint64_t> systemFreeSpace(const std::filesystem::path& path);

// Creates dir/name exclusively, or dir/name.1, dir/name.2, ... when taken.
// Returns the descriptor and the path used; invalid when none could be made.
struct CreatedFile {
    UniqueFd fd;
    std::filesystem::path path;
};
CreatedFile createFreeName(const std::filesystem::path& dir, const std::string& name);

}  // namespace norva
