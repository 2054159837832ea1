// Station files for the station window: read every key, load with the alias
// fallback, save in the fixed key order, and keep password files private.
#include "station/StationFile.h"

#include <sys/stat.h>

#include "platform/Files.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "station/AliasList.h"
#include "station/StationPaths.h"

namespace norva {

namespace fs = std::filesystem;

namespace {

std::string readValue(const Profile& p, std::string_view key, std::string_view def = {}) {
    return boundedValue(p.getString(kStationSection, key, def));
}

std::string fileStem(const fs::path& p) { return p.stem().string(); }

// The station file of a call when it carries a DestCall.
std::optional<fs::path> fileWithCall(const StationPaths& paths, std::string_view call) {
    const auto stn = paths.stationFile(call);
    if (!stn || checkSmallFile(*stn) != SmallFile::Regular) return std::nullopt;
    const Profile p(*stn, Links::Refuse);
    if (readValue(p, "DestCall").empty()) return std::nullopt;
    return stn;
}

}  // namespace

std::string boundedValue(std::string_view value, std::size_t limit) {
    std::string out(value.substr(0, limit));
    // A UTF-8 character cut in half would be garbage on the next read.
    if (value.size() > limit) {
        std::size_t end = out.size();
        while (end > 0 && (static_cast<unsigned char>(out[end - 1]) & 0xC0) == 0x80) --end;
        if (end > 0 && static_cast<unsigned char>(out[end - 1]) >= 0xC0) {
            const unsigned char lead = static_cast<unsigned char>(out[end - 1]);
            const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
            if (out.size() - (end - 1) < need) out.resize(end - 1);
        }
    }
    for (char& c : out) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = ' ';
    }
    return std::string(trim(out));
}

StationRecord readStationFile(const fs::path& stn) {
    StationRecord r;
    if (checkSmallFile(stn) == SmallFile::Refused) return r;
    const Profile p(stn, Links::Refuse);
    r.call = readValue(p, "DestCall");
    r.alias = readValue(p, "AliasDestCall");
    r.qth = readValue(p, "Qth");
    r.lastCall = readValue(p, "LastDestCall");
    r.lastAlias = readValue(p, "LastAliasDestCall");
    r.lastLogin = readValue(p, "LastConnectTime");
    r.connectCommand = readValue(p, "ConnectCommand");
    r.sysop = readValue(p, "Sysop");
    r.comment = readValue(p, "Comment");
    r.stationType = readValue(p, "StationType", kTypeUndefined);
    r.script = readValue(p, "Script");
    r.name = readValue(p, "Name");
    r.tnc = p.getInt(kStationSection, "Tnc", 1);
    r.displayOnOpen = p.getInt(kStationSection, "DisplayOnOpen", 1) != 0;
    return r;
}

std::string readPasswordMode(const fs::path& pwd) {
    if (checkSmallFile(pwd) == SmallFile::Refused) return std::string(kNoPassword);
    const Profile p(pwd, Links::Refuse);
    return readValue(p, "StationMode", kNoPassword);
}

bool securePasswordFile(const fs::path& pwd) {
    const SmallFile state = checkSmallFile(pwd);
    if (state == SmallFile::Refused) return false;
    if (state == SmallFile::Missing) {
        UniqueFd fd = openForWriting(pwd, CreateMode::Exclusive, 0600);
        // The umask can only take rights away; make the mode exact anyway.
        const bool ok = fd && ::fchmod(fd.get(), 0600) == 0;
        return fd.close() && ok;
    }
    // Through the descriptor of the file itself, never of a link's target.
    const UniqueFd fd = openRegularFile(pwd, Links::Refuse);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) return false;
    if ((st.st_mode & 077) == 0) return true;
    return ::fchmod(fd.get(), st.st_mode & 0700) == 0;
}

StationLoad loadStation(const StationPaths& paths, Profile& settings, std::string_view call) {
    StationLoad out;
    const std::string wanted = toUpper(trim(call));
    if (wanted.empty()) return out;
    if (!isCallsign(withoutWildcard(wanted))) {
        out.message = notACallsignMessage(wanted);
        return out;
    }
    std::optional<fs::path> stn = fileWithCall(paths, withoutWildcard(wanted));
    if (!stn) {
        // The alias list may know the station under another name.
        const AliasList aliases(paths.aliasFile());
        for (const std::string& other : {aliases.byCall(wanted), aliases.byAlias(wanted)}) {
            if (other.empty() || !isCallsign(other)) continue;
            if ((stn = fileWithCall(paths, other))) break;
        }
    }
    if (!stn) return out;

    StationRecord record = readStationFile(*stn);
    record.call = toUpper(record.call);
    if (!isCallsign(withoutWildcard(record.call))) {
        out.message = notACallsignMessage(record.call);
        return out;
    }
    const auto pwd = paths.passwordFile(withoutWildcard(record.call));
    if (pwd) {
        record.passwordMode = readPasswordMode(*pwd);
        out.passwordPath = *pwd;
    }
    out.stationPath = *stn;
    out.record = std::move(record);
    settings.writeString("frame", "LastEditStation", fileStem(*stn));
    return out;
}

StationResult saveStation(const StationPaths& paths, const StationRecord& record) {
    const std::string call = toUpper(trim(record.call));
    if (call.empty()) return StationResult::failure(std::string(kNoCallMessage));
    const std::string_view fileCall = withoutWildcard(call);
    if (!isCallsign(fileCall)) return StationResult::failure(notACallsignMessage(call));
    const auto stn = paths.stationFile(fileCall);
    const auto pwd = paths.passwordFile(fileCall);
    if (!stn || !pwd) return StationResult::failure(notACallsignMessage(call));
    for (const fs::path& file : {*stn, *pwd}) {
        if (checkSmallFile(file) == SmallFile::Refused) return StationResult::failure(refusedFileMessage(file));
    }

    Profile p(*stn, Links::Refuse);
    Profile::Batch batch(p);
    const std::pair<std::string_view, const std::string*> keys[] = {
        {"DestCall", &call},          {"AliasDestCall", &record.alias},
        {"Qth", &record.qth},         {"LastDestCall", &record.lastCall},
        {"LastAliasDestCall", &record.lastAlias}, {"LastConnectTime", &record.lastLogin},
        {"ConnectCommand", &record.connectCommand}, {"Sysop", &record.sysop},
        {"Comment", &record.comment}, {"StationType", &record.stationType},
        {"Script", &record.script},   {"Name", &record.name},
    };
    for (const auto& [key, value] : keys) p.writeString(kStationSection, key, boundedValue(*value));
    p.writeInt(kStationSection, "Tnc", record.tnc);
    if (!batch.end()) return StationResult::failure("Die Stationsdatei kann nicht geschrieben werden: " + stn->string());

    // A new password file is made 0600 by its one write; an old one loses
    // the rights of others first, even when its mode stays as it is.
    const bool exists = checkSmallFile(*pwd) != SmallFile::Missing;
    if (exists && !securePasswordFile(*pwd))
        return StationResult::failure("Die Passwortdatei kann nicht angelegt werden: " + pwd->string());
    Profile pw(*pwd, Links::Refuse);
    pw.setPrivate(true);
    const std::string mode = boundedValue(record.passwordMode);
    if (!pw.writeString(kStationSection, "StationMode", mode.empty() ? kNoPassword : mode))
        return StationResult::failure("Die Passwortdatei kann nicht geschrieben werden: " + pwd->string());
    return {};
}

StationResult setDisplayOnOpen(const StationPaths& paths, std::string_view call, bool on) {
    const std::string c = toUpper(trim(call));
    const auto stn = paths.stationFile(withoutWildcard(c));
    if (!stn) return StationResult::failure(c.empty() ? std::string(kNoCallMessage) : notACallsignMessage(c));
    if (checkSmallFile(*stn) == SmallFile::Refused) return StationResult::failure(refusedFileMessage(*stn));
    Profile p(*stn, Links::Refuse);
    if (!p.writeString(kStationSection, "DisplayOnOpen", on ? "1" : "0"))
        return StationResult::failure("Die Stationsdatei kann nicht geschrieben werden: " + stn->string());
    return {};
}

}  // namespace norva
