// The connect update of station files and the alias list feed.
#include "station/StationUpdate.h"

#include <cstdio>

#include "channel/LinkState.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "station/StationPaths.h"

namespace norva {

namespace {

std::string cutBefore(std::string_view s, std::string_view mark) { return std::string(s.substr(0, s.find(mark))); }

std::string connectTimeText(const LocalTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", t.day % 100, t.month % 100, t.year % 10000,
                  t.hour % 100, t.minute % 100);
    return buf;
}

// Sysop (field 10) and Qth (field 11) follow the map program when it knows better.
void takeStationInfo(Profile& p, std::string_view record) {
    if (record.empty()) return;
    const std::pair<std::string_view, int> fields[] = {{"Sysop", 10}, {"Qth", 11}};
    for (const auto& [key, n] : fields) {
        const std::string value = stationInfoField(record, n);
        if (value.empty()) continue;
        const std::string stored = cut(p.getString(kStationSection, key, ""), 255);
        if (toUpper(value) != toUpper(stored)) p.writeString(kStationSection, key, value);
    }
}

}  // namespace

std::string stationInfoField(std::string_view record, int n) {
    if (n < 1) return {};
    std::size_t pos = record.find_first_not_of(',');
    for (int i = 1; i < n && pos != std::string_view::npos; ++i) {
        pos = record.find(',', pos);
        if (pos != std::string_view::npos) pos = record.find_first_not_of(',', pos);
    }
    if (pos == std::string_view::npos) return {};
    const std::string_view rest = record.substr(pos);
    return boundedValue(rest.substr(0, rest.find_first_of(",\r\n")));
}

StationUpdate::StationUpdate(const StationPaths& paths) : paths_(paths), aliases_(paths.aliasFile()) {}

StationResult StationUpdate::update(const ConnectFacts& f) {
    std::string dest = boundedValue(f.destCall);
    std::string alias = boundedValue(f.aliasDestCall);
    std::string nCall = boundedValue(f.neighbourCall);
    std::string nAlias = boundedValue(f.neighbourAlias);
    // A plain call names its station without SSID, the same way a neighbour
    // is named below: the back-links of a connect path must find its file.
    if (dest == alias) {
        dest = cutBefore(dest, "-");
        alias = cutBefore(alias, "-");
    }
    if (nCall == nAlias) {
        nCall = cutBefore(nCall, "-");
        nAlias = cutBefore(nAlias, "-");
    }
    const std::string fileCall(withoutWildcard(dest));
    const auto stn = paths_.stationFile(fileCall);
    if (!stn) return StationResult::failure(notACallsignMessage(dest));
    // A link, FIFO or device in the file's place is never read or written:
    // it could block the engine or carry the write elsewhere.
    if (checkSmallFile(*stn) == SmallFile::Refused) return StationResult::failure(refusedFileMessage(*stn));

    // Every key of the update reaches the disk in one rewrite.
    Profile p(*stn, Links::Refuse);
    const std::string modified = toUpper(cut(p.getString(kStationSection, "Modified", ""), 10));
    Profile::Batch batch(p);
    p.writeString(kStationSection, "DestCall", dest);
    p.writeString(kStationSection, "AliasDestCall", alias);
    if (nCall.empty()) nCall = "local";
    p.writeString(kStationSection, "LastDestCall", nCall);
    p.writeString(kStationSection, "LastAliasDestCall", nAlias);
    p.writeString(kStationSection, "LastConnectTime", connectTimeText(f.now));
    p.writeInt(kStationSection, "Tnc", f.tnc);
    if (modified.find("TRUE") == std::string::npos) {
        p.writeString(kStationSection, "ConnectCommand", toLower("c " + dest));
        p.writeString(kStationSection, "StationType",
                      toUpper(alias).find("BOX") != std::string::npos ? kTypeMailbox : kTypeNode);
        p.writeString(kStationSection, "Modified", "TRUE");
    }
    takeStationInfo(p, f.stationInfo);
    batch.end();  // a missing station directory fails silently
    return {};
}

void StationUpdate::updateStationFile(CTncChannel& channel, std::string_view destCall) {
    const CLinkState& link = channel.linkState();
    ConnectFacts f;
    f.destCall = std::string(destCall);
    f.aliasDestCall = link.aliasDestCall();
    // The link state still holds the previous destination: after a connect
    // the TNC reported, that is the station of an earlier link, not a
    // neighbour, so a direct connect is always "local".
    if (channel.received().kind != kKindLinkStatus) {
        f.neighbourCall = link.lastDestCall();
        f.neighbourAlias = link.lastAliasDestCall();
    }
    f.tnc = channel.tncNumber();
    f.now = channel.tnc().context().clock.localTime();
    f.stationInfo = link.stationInfo();
    if (const StationResult r = update(f); !r) channel.show("\r" + r.message + "\r", kClassTncEcho);
}

void StationUpdate::aliasPair(std::string_view alias, std::string_view call) { aliases_.write(call, alias); }

}  // namespace norva
