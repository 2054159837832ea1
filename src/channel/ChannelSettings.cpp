// Reading and writing the Link<slot> switches of a channel.
#include "channel/ChannelSettings.h"

#include <algorithm>
#include <optional>

#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "platform/Text.h"

namespace norva {

namespace {

constexpr std::size_t kTextLimit = 255;

class SettingsReader {
public:
    SettingsReader(const Profile& p, SystemLog& log, int slot)
        : profile_(p), log_(log), section_(linkSection(slot)) {}

    int number(const char* key, int def, int lo, int hi) {
        const auto value = parsed(key, def);
        if (!value) return def;
        if (*value >= lo && *value <= hi) return static_cast<int>(*value);
        const int c = static_cast<int>(std::clamp<long>(*value, lo, hi));
        complain(key, std::to_string(*value) + " outside " + std::to_string(lo) + ".." +
                          std::to_string(hi) + ", using " + std::to_string(c));
        return c;
    }

    // A switch: 0 is off and any other number on, so a hand-edited 2 still means on.
    bool flag(const char* key, bool def) {
        const auto value = parsed(key, def ? 1 : 0);
        if (!value) return def;
        if (*value != 0 && *value != 1)
            complain(key, std::to_string(*value) + " outside 0..1, using 1");
        return *value != 0;
    }

    std::string text(const char* key) const {
        return cut(trim(profile_.getString(section_, key, "")), kTextLimit);
    }

private:
    std::optional<long> parsed(const char* key, int def) {
        const auto raw = profile_.find(section_, key);
        // A blank value reads as a missing key, as the profile functions have it.
        if (!raw || trim(*raw).empty()) return std::nullopt;
        const auto value = parseIntStrict(*raw);
        if (!value)
            complain(key, "\"" + cut(*raw, 40) + "\" is not a number, using " + std::to_string(def));
        return value;
    }

    void complain(const char* key, const std::string& what) {
        log_.event(section_ + " " + key + " " + what + "\r\n");
    }

    const Profile& profile_;
    SystemLog& log_;
    std::string section_;
};

std::string flagText(bool on) { return on ? "1" : "0"; }

}  // namespace

std::string linkSection(int slot) { return "Link" + std::to_string(slot); }

ChannelSettings readChannelSettings(const Profile& profile, SystemLog& log, int slot) {
    SettingsReader r(profile, log, slot);
    ChannelSettings s;
    s.packlen = r.number("Packlen", 64, ChannelSettings::kMinPacklen, ChannelSettings::kMaxPacklen);
    s.fileStamp = r.flag("FileStamp", true);
    s.addFileEnd = r.flag("AddFileEnd", true);
    s.autoBin = r.flag("AutoBin", false);
    s.messageBeep = r.flag("MessageBeep", true);
    s.remote = r.flag("Remote", true);
    s.remoteQuit = r.flag("RemoteQuit", true);
    s.dieBox = r.flag("DieBox", true);
    s.logStation = r.flag("LogStation", true);
    s.connectMsg = r.flag("ConnectMsg", true);
    s.maxReviewTime = r.number("MaxReviewTime", 60, 0, ChannelSettings::kMaxReviewSeconds);
    s.inputToFile = r.flag("InputToFile", true);
    s.travoAuto = r.flag("TravoAuto", true);
    s.logFile = r.text("LogFile");
    s.dde = r.text("Dde");
    return s;
}

void writeIfChanged(Profile& profile, const std::string& section, const char* key,
                    const std::string& value, const std::string& def) {
    const auto stored = profile.find(section, key);
    if (stored ? *stored == value : value == def) return;
    profile.writeString(section, key, value);
}

void writeChannelSettings(Profile& profile, int slot, const ChannelSettings& s) {
    const std::string sec = linkSection(slot);
    const ChannelSettings d;
    auto num = [&](const char* key, int v, int def) {
        writeIfChanged(profile, sec, key, std::to_string(v), std::to_string(def));
    };
    auto flag = [&](const char* key, bool v, bool def) {
        writeIfChanged(profile, sec, key, flagText(v), flagText(def));
    };
    num("Packlen", s.packlen, d.packlen);
    flag("FileStamp", s.fileStamp, d.fileStamp);
    flag("AddFileEnd", s.addFileEnd, d.addFileEnd);
    flag("AutoBin", s.autoBin, d.autoBin);
    writeIfChanged(profile, sec, "LogFile", s.logFile, "");
    flag("MessageBeep", s.messageBeep, d.messageBeep);
    flag("RemoteQuit", s.remoteQuit, d.remoteQuit);
    flag("DieBox", s.dieBox, d.dieBox);
    flag("LogStation", s.logStation, d.logStation);
    flag("ConnectMsg", s.connectMsg, d.connectMsg);
    num("MaxReviewTime", s.maxReviewTime, d.maxReviewTime);
    flag("InputToFile", s.inputToFile, d.inputToFile);
    flag("TravoAuto", s.travoAuto, d.travoAuto);
    flag("Remote", s.remote, d.remote);
}

}  // namespace norva
