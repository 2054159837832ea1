// Remote file areas: configuration, plain names, case-insensitive lookup,
// the real-path boundary, and the mount table for listings.
#include "remote/RemoteArea.h"

#include <mntent.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace fs = std::filesystem;

std::optional<fs::path> configuredArea(const Profile& profile, const fs::path& programDir, std::string_view key) {
    const std::string value(trim(profile.getString("frame", key, "")));
    if (value.empty()) return std::nullopt;
    std::error_code ec;
    const fs::path real = fs::canonical(value, ec);
    if (ec || !fs::is_directory(real, ec)) return std::nullopt;
    const fs::path program = fs::weakly_canonical(programDir, ec);
    if (!ec && real == program) return std::nullopt;
    return real;
}

std::optional<fs::path> realInside(const fs::path& root, const fs::path& p) {
    std::error_code ec;
    const fs::path real = fs::canonical(p, ec);
    if (ec) return std::nullopt;
    auto r = root.begin();
    auto q = real.begin();
    for (; r != root.end(); ++r, ++q)
        if (q == real.end() || *q != *r) return std::nullopt;
    return real;
}

std::vector<MountInfo> readMounts(const fs::path& table) {
    std::vector<MountInfo> mounts;
    std::unique_ptr<FILE, int (*)(FILE*)> file(setmntent(table.c_str(), "r"), endmntent);
    if (!file) return mounts;
    mntent entry{};
    char buf[4096];
    while (getmntent_r(file.get(), &entry, buf, sizeof buf))
        mounts.push_back({entry.mnt_dir, entry.mnt_fsname, entry.mnt_type});
    return mounts;
}

MountInfo mountOf(const fs::path& p, const std::vector<MountInfo>& mounts) {
    MountInfo best;
    bool found = false;
    const std::string path = p.string();
    for (const MountInfo& m : mounts) {
        const std::string& dir = m.mountPoint;
        const bool holds = path == dir || dir == "/" ||
                           (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                            path[dir.size()] == '/');
        if (holds && (!found || dir.size() >= best.mountPoint.size())) {
            best = m;
            found = true;
        }
    }
    return best;
}

}  // namespace norva
