// alias.dat: callsign -> alias, written on connects, searched both ways.
#include "station/AliasList.h"

#include "platform/Files.h"
#include "platform/Text.h"
#include "station/StationFile.h"
#include "station/StationPaths.h"

namespace norva {

namespace {

constexpr std::string_view kSection = "call";
// The key list was read into a buffer of this many bytes: later keys are not searched.
constexpr std::size_t kKeyListLimit = 65520;

}  // namespace

AliasList::AliasList(std::filesystem::path file) : profile_(std::move(file), Links::Refuse) {}

bool AliasList::usable() const { return checkSmallFile(path(), kFileLimit) != SmallFile::Refused; }

bool AliasList::ensureExists() const {
    const SmallFile state = checkSmallFile(path(), kFileLimit);
    if (state != SmallFile::Missing) return state == SmallFile::Regular;
    UniqueFd fd = openForWriting(path(), CreateMode::Exclusive);
    if (!fd) return checkSmallFile(path(), kFileLimit) == SmallFile::Regular;  // made meanwhile
    const bool ok = writeAll(fd.get(), "[call]\r\n");
    return fd.close() && ok;
}

bool AliasList::write(std::string_view call, std::string_view alias) {
    const std::string value = boundedValue(alias);
    if (call.empty() || value.empty() || call == alias) return false;
    if (!isCallsign(call) || !usable()) return false;
    // The profile creates a missing file as "[call]" and the entry: the
    // bytes ensureExists and a write would leave, in one rewrite.
    return profile_.writeString(kSection, toUpper(call), value);
}

std::string AliasList::byCall(std::string_view call) const {
    if (trim(call).empty() || !usable()) return {};
    return toUpper(cut(profile_.getString(kSection, trim(call), ""), kStationValueLimit));
}

std::string AliasList::byAlias(std::string_view alias) const {
    std::string wanted = toUpper(trim(alias));
    wanted = wanted.substr(0, wanted.find('-'));
    if (wanted.empty() || !usable()) return {};
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
