// alias.dat: callsign -> alias, written on connects, searched both ways.
#include "station/AliasList.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Text.h"
#include "station/StationFile.h"
#include "station/StationPaths.h"

namespace norva {

namespace {

constexpr std::string_view kSection = "call";
// The key list was read into a buffer of this many bytes: later keys are not searched.
constexpr std::size_t kKeyListLimit = 65520;

}  // namespace

AliasList::AliasList(std::filesystem::path file) : profile_(std::move(file)) {}

bool AliasList::ensureExists() const {
    const int fd = ::open(path().c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return errno == EEXIST;
    static constexpr char kHead[] = "[call]\r\n";
    const bool ok = ::write(fd, kHead, sizeof kHead - 1) == static_cast<ssize_t>(sizeof kHead - 1);
    return (::close(fd) == 0) && ok;
}

bool AliasList::write(std::string_view call, std::string_view alias) {
    const std::string value = boundedValue(alias);
    if (call.empty() || value.empty() || call == alias) return false;
    if (!isCallsign(call)) return false;
    if (!ensureExists()) return false;
    return profile_.writeString(kSection, toUpper(call), value);
}

std::string AliasList::byCall(std::string_view call) const {
    if (trim(call).empty()) return {};
    return toUpper(cut(profile_.getString(kSection, trim(call), ""), kStationValueLimit));
}

std::string AliasList::byAlias(std::string_view alias) const {
    std::string wanted = toUpper(trim(alias));
    wanted = wanted.substr(0, wanted.find('-'));
    if (wanted.empty()) return {};
    std::size_t used = 1;  // the list's closing NUL
    for (const std::string& key : profile_.keys(kSection)) {
        used += key.size() + 1;
        if (used > kKeyListLimit) break;
        const std::string value = toUpper(cut(profile_.getString(kSection, key, ""), kStationValueLimit));
        if (value.find(wanted) != std::string::npos) return toUpper(key);
    }
    return {};
}

std::string AliasList::lookup(std::string_view callOrAlias) const {
    std::string found = byCall(callOrAlias);
    if (found.empty()) found = byAlias(callOrAlias);
    return found;
}

}  // namespace norva
