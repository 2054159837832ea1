// The file areas a remote station works in, and the boundary around them.
// A normal station names entries of its current directory only; every file
// or directory a command touches is resolved to its real path (symbolic
// links included) and must lie inside the area. Names typed on the air are
// matched against the directory's entries ignoring case; the path that is
// opened keeps the case it has on disk.
#pragma once

#include "platform/FileNames.h"
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

class Profile;

// The real path of the directory a frame key names, when that area is
// configured: the key is set, does not name the program directory, and the
// directory exists.
std::optional<std::filesystem::path> configuredArea(const Profile& profile,
                                                    const std::filesystem::path& programDir,
                                                    std::string_view key);



// The real path of p when it exists and lies inside root (a real path
// itself), root included.
std::optional<std::filesystem::path> realInside(const std::filesystem::path& root,
                                                const std::filesystem::path& p);

// A mount table entry: where, what (the device or source) and the file system type.
struct MountInfo {
    std::string mountPoint;
    std::string source;
    std::string type;
};
// The entries of a table in the form of /proc/self/mounts, in its order; a
// table that cannot be read has none (a chroot or a container may have no /proc).
std::vector<MountInfo> readMounts(const std::filesystem::path& table);
// The entry that holds a path (the last of the longest mount points above
// it); an empty entry when none does.
MountInfo mountOf(const std::filesystem::path& p, const std::vector<MountInfo>& mounts);

}  // namespace norva
