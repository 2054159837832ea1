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

fs::path frameDirectory(const Profile& profile, const fs::path& programDir, std::string_view key) {
    const std::string value(trim(cut(profile.getString("frame", key, ""), 255)));
    return value.empty() ? programDir : fs::path(value);
}

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

bool isPlainName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.size() > 255) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20;
    });
}

std::optional<std::string> plainName(std::string_view name) {
    const auto last = name.find_last_of("/\\:");
    if (last != std::string_view::npos) name = name.substr(last + 1);
    if (!isPlainName(name)) return std::nullopt;
    return std::string(name);
}

std::optional<fs::path> findEntry(const fs::path& dir, std::string_view name) {
    if (name.empty() || name.find('\0') != std::string_view::npos) return std::nullopt;
    std::error_code ec;
    const fs::path exact = dir / std::string(name);
    if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found && !ec) return exact;
    std::vector<fs::path> matches;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (iequals(it->path().filename().string(), name)) matches.push_back(it->path());
    if (matches.empty()) return std::nullopt;
    return *std::min_element(matches.begin(), matches.end());
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

MountInfo mountOf(const fs::path& p) {
    MountInfo best;
    std::unique_ptr<FILE, int (*)(FILE*)> table(setmntent("/proc/self/mounts", "r"), endmntent);
    if (!table) return best;
    const std::string path = p.string();
    mntent entry{};
    char buf[4096];
    while (getmntent_r(table.get(), &entry, buf, sizeof buf)) {
        const std::string dir = entry.mnt_dir;
        const bool holds = path == dir || dir == "/" ||
                           (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                            path[dir.size()] == '/');
        if (holds && dir.size() >= best.mountPoint.size()) best = {dir, entry.mnt_fsname, entry.mnt_type};
    }
    return best;
}

}  // namespace norva
