// The map's station information for the connection events. They ask on
// every connect and need the answer at once, but the map answers later: the
// first question for a call starts the query and gets an empty record; the
// answer is kept, and later questions for that call get it. The cache and
// the queue of calls still to ask are bounded.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "channel/ChannelHooks.h"
#include "map/KartexLink.h"

namespace norva {

class MapProgram;

class StationInfoCache final : public MapProgramHook {
public:
    static constexpr std::size_t kCapacity = 64;
    static constexpr std::size_t kQueueLimit = 8;

    explicit StationInfoCache(MapProgram& map);
    ~StationInfoCache() override;

    // The cached record (possibly empty); a call not yet known is asked for.
    std::string stationInfo(std::string_view call) override;

    bool cached(std::string_view call) const;
    bool asking() const { return asking_; }
    std::size_t queued() const { return queue_.size(); }
    std::size_t size() const { return records_.size(); }

private:
    void askNext();
    void answered(std::string call, std::string info);
    void store(std::string call, std::string info);
    const std::string* find(const std::string& call) const;

    MapProgram& map_;
    std::unique_ptr<CKartexLink> link_;
    std::deque<std::pair<std::string, std::string>> records_;  // oldest first
    std::deque<std::string> queue_;
    bool asking_ = false;
};

}  // namespace norva
