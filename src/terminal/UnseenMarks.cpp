// UnseenMarks: marks per channel slot and the title built from them.
#include "terminal/UnseenMarks.h"

namespace norva {

namespace {
constexpr int kChannelsPerTnc = 21;
}

bool UnseenMarks::mark(int slot)
{
    if (!valid(slot) || marked_[slot])
        return false;
    marked_[slot] = true;
    return true;
}

bool UnseenMarks::clear(int slot)
{
    if (!valid(slot) || !marked_[slot])
        return false;
    marked_[slot] = false;
    return true;
}

bool UnseenMarks::isMarked(int slot) const
{
    return valid(slot) && marked_[slot];
}

std::string UnseenMarks::titleFor(std::string_view appName) const
{
    std::string title(appName);
    for (int slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        if (!marked_[slot])
            continue;
        const int tnc = (slot - 1) / kChannelsPerTnc + 1;
        const int channel = (slot - 1) % kChannelsPerTnc;
        title += ' ' + std::to_string(tnc) + '/' + std::to_string(channel) + ' ';
    }
    return title;
}

}  // namespace norva
