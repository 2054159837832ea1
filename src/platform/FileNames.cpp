// File names as the station meets them.
#include "platform/FileNames.h"

#include <algorithm>
#include <vector>

#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace fs = std::filesystem;

fs::path frameDirectory(const Profile& profile, std::string_view key, const fs::path& programDir) {
    const std::string value(trim(cut(profile.getString("frame", key, ""), 255)));
    return value.empty() ? programDir : fs::path(value);
}

std::optional<fs::path> findIgnoringCase(const fs::path& dir, std::string_view name) {
    if (name.empty() || name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
        return std::nullopt;
    std::error_code ec;
    const fs::path exact = dir / std::string(name);
    if (fs::symlink_status(exact, ec).type() != fs::file_type::not_found && !ec) return exact;
    std::vector<fs::path> matches;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (iequals(it->path().filename().string(), name)) matches.push_back(it->path());
    if (matches.empty()) return std::nullopt;
    return *std::min_element(matches.begin(), matches.end());
}

std::optional<fs::path> resolveIgnoringCase(const fs::path& base, std::string_view name) {
    std::string n(name);
    std::replace(n.begin(), n.end(), '\\', '/');
    if (n.size() >= 2 && n[1] == ':') n.erase(0, 2);
    if (n.empty() || n.find('\0') != std::string::npos) return std::nullopt;
    fs::path at = n.front() == '/' ? fs::path("/") : base;
    std::size_t start = 0;
    while (start <= n.size()) {
        const std::size_t end = std::min(n.find('/', start), n.size());
        const std::string part = n.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        if (part == "." || part == "..") {
            at /= part;
            continue;
        }
        auto found = findIgnoringCase(at, part);
        if (!found) return std::nullopt;
        at = *found;
    }
    std::error_code ec;
    if (!fs::exists(at, ec)) return std::nullopt;
    return at;
}

std::optional<fs::path> findFileToSend(const Profile& profile, std::string_view key, const fs::path& programDir,
                                       std::string_view name) {
    for (const fs::path& dir : {frameDirectory(profile, key, programDir), programDir}) {
        std::error_code ec;
        if (auto found = resolveIgnoringCase(dir, name); found && fs::is_regular_file(*found, ec)) return found;
    }
    return std::nullopt;
}

bool isPlainName(std::string_view name) {
    if (name.empty() || name.front() == '.' || name.size() > 255) return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || c == ':' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    });
}

std::optional<std::string> plainName(std::string_view name) {
    const auto last = name.find_last_of("/\\:");
    if (last != std::string_view::npos) name.remove_prefix(last + 1);
    if (!isPlainName(name)) return std::nullopt;
    return std::string(name);
}

}  // namespace norva
