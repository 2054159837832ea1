// Station information asked of the map ahead of need.
#include "map/StationInfoCache.h"

#include <algorithm>

#include "map/MapOperations.h"
#include "map/MapProgram.h"
#include "platform/Text.h"

namespace norva {

StationInfoCache::StationInfoCache(MapProgram& map) : map_(map), link_(map.newLink()) {}

StationInfoCache::~StationInfoCache() = default;

const std::string* StationInfoCache::find(const std::string& call) const {
    for (const auto& [key, info] : records_)
        if (key == call) return &info;
    return nullptr;
}

bool StationInfoCache::cached(std::string_view call) const { return find(toUpper(trim(call))) != nullptr; }

std::string StationInfoCache::stationInfo(std::string_view call) {
    const std::string key = toUpper(trim(call));
    if (key.empty()) return {};
    if (const std::string* info = find(key)) return *info;
    if (!map_.availability().available()) return {};
    if (std::find(queue_.begin(), queue_.end(), key) == queue_.end() && queue_.size() < kQueueLimit)
        queue_.push_back(key);
    if (!asking_) askNext();
    return {};
}

void StationInfoCache::askNext() {
    if (queue_.empty() || !map_.availability().available()) {
        queue_.clear();
        return;
    }
    asking_ = true;
    link_->connect([this](bool ok) {
        if (!ok) {
            map_.connectFailed(*link_);
            asking_ = false;
            queue_.clear();
            return;
        }
        norva::stationInfo(*link_, queue_.front(), [this](std::string info) {
            std::string call = queue_.front();
            queue_.pop_front();
            answered(std::move(call), std::move(info));
        });
    });
}

void StationInfoCache::answered(std::string call, std::string info) {
    // An answer lost to a time-out is not an answer: the call is asked again later.
    if (link_->connected()) store(std::move(call), std::move(info));
    link_->disconnect();
    asking_ = false;
    askNext();
}

void StationInfoCache::store(std::string call, std::string info) {
    if (records_.size() >= kCapacity) records_.pop_front();
    records_.emplace_back(std::move(call), std::move(info));
}

}  // namespace norva
