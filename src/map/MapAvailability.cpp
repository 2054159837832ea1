// The program-wide map flag and its setting.
#include "map/MapAvailability.h"

#include "platform/Profile.h"

namespace norva {

MapAvailability MapAvailability::fromProfile(const Profile& profile) {
    return MapAvailability(profile.getInt("Frame", "KartexDde", 1) != 0);
}

void MapAvailability::save(Profile& profile) const { profile.writeInt("Frame", "KartexDde", on_ ? 1 : 0); }

bool MapAvailability::connectFailed() {
    on_ = false;
    if (reported_) return false;
    reported_ = true;
    return true;
}

}  // namespace norva
