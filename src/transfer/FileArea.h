// File handling the transfer jobs share: the free space floor that keeps
// a remote station from filling the disk, the configured directories, names matched ignoring case, and free names for
// files that must not overwrite anything.
#pragma once

#include "platform/FileNames.h"
#include "platform/Files.h"
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace norva {

class Profile;

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
