// The subscribable items of one channel and how each received record
// changes them. Values are kept as received (CP437 bytes); they are only
// overwritten, never cleared, for the life of the channel.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

enum class DdeItem { Info, Lstat, DestCall, AliasDestCall, Conn, Disc, MonH, MonC, MonI, MonA, All };
inline constexpr int kDdeItemCount = 11;

// "INFO", "LSTAT", ...
std::string_view ddeItemName(DdeItem item);
// Case-insensitive; nullopt for the poke items and anything else.
std::optional<DdeItem> ddeItemByName(std::string_view name);

// Every CR not followed by LF gets an LF after it (so a final CR gets one too).
std::string convertLineEnds(std::string_view text);

class ChannelDdeItems {
public:
    // Applies a received record of a kind (2, 4, 5, 6, 7, 9, 11, 12, 13) and
    // returns the items set, in the order their clients must be told.
    // Other kinds change nothing.
    std::vector<DdeItem> apply(int kind, std::string_view text);
    const std::string& value(DdeItem item) const { return values_[static_cast<std::size_t>(item)]; }

private:
    void set(std::vector<DdeItem>& changed, DdeItem item, std::string_view value);
    std::array<std::string, kDdeItemCount> values_{};
};

}  // namespace norva
