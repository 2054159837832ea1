// The station file kept up to date on every connect, and the alias list fed
// with every (alias, call) pair the channels learn. Installed into the
// channel hooks: registry.hooks().setStation(&update); the object must live
// until the default is restored with setStation(nullptr).
#pragma once

#include <string>
#include <string_view>

#include "channel/ChannelHooks.h"
#include "platform/Clock.h"
#include "station/AliasList.h"
#include "station/StationFile.h"

namespace norva {

class StationPaths;

// Field n (from 1) of the map program's comma-separated station information:
// leading commas are skipped and a run of commas is one separator; a field
// ends at a comma, CR, LF or the end. Cut to 80 characters, control
// characters removed. Empty when the record has fewer fields.
std::string stationInfoField(std::string_view record, int n);

// What is known about a connect that has just been made.
struct ConnectFacts {
    std::string destCall;
    std::string aliasDestCall;
    std::string neighbourCall;   // empty: reached directly from the own TNC
    std::string neighbourAlias;
    int tnc = 1;
    LocalTime now{};
    std::string stationInfo;     // the map program's record, may be empty
};

class StationUpdate final : public StationHook {
public:
    // paths must outlive this object.
    explicit StationUpdate(const StationPaths& paths);

    // Connect on a channel with LogStation on. A connect the TNC reported
    // (link status) was made directly: the neighbour is "local". One a node
    // reported in its text came through the station the channel was on.
    // A destination that is no callsign is refused with a notice in the channel.
    void updateStationFile(CTncChannel& channel, std::string_view destCall) override;
    // Every connect and reconnect: call = alias into alias.dat.
    void aliasPair(std::string_view alias, std::string_view call) override;

    // The update itself, without a channel: one rewrite of the station file.
    // Fails (with the message) only for a destination that is no callsign
    // and for a station file that is refused (see checkSmallFile); write
    // failures stay silent, as a missing station directory must not disturb
    // a connect.
    StationResult update(const ConnectFacts& facts);

    AliasList& aliases() { return aliases_; }

private:
    const StationPaths& paths_;
    AliasList aliases_;
};

}  // namespace norva
