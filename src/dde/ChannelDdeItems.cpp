// Item values of a channel, set from its received records.
#include "dde/ChannelDdeItems.h"

#include "dde/BusNames.h"

namespace norva {

namespace {

constexpr std::array<std::string_view, kDdeItemCount> kNames = {
    "INFO", "LSTAT", "DESTCALL", "ALIASDESTCALL", "CONN", "DISC", "MONH", "MONC", "MONI", "MONA", "ALL"};

std::string_view withoutLeadingCr(std::string_view text) {
    if (!text.empty() && text.front() == '\r') text.remove_prefix(1);
    return text;
}

}  // namespace

std::string_view ddeItemName(DdeItem item) { return kNames[static_cast<std::size_t>(item)]; }

std::optional<DdeItem> ddeItemByName(std::string_view name) {
    const std::string upper = upperAscii(name);
    for (std::size_t i = 0; i < kNames.size(); ++i)
        if (kNames[i] == upper) return static_cast<DdeItem>(i);
    return std::nullopt;
}

std::string convertLineEnds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 4 + 1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) out += '\n';
    }
    return out;
}

void ChannelDdeItems::set(std::vector<DdeItem>& changed, DdeItem item, std::string_view value) {
    values_[static_cast<std::size_t>(item)].assign(value);
    changed.push_back(item);
}

std::vector<DdeItem> ChannelDdeItems::apply(int kind, std::string_view text) {
    std::vector<DdeItem> changed;
    switch (kind) {
    case 2:
        set(changed, DdeItem::MonA, withoutLeadingCr(text));
        set(changed, DdeItem::All, withoutLeadingCr(text));
        break;
    case 4: {
        // The link status keeps its CR and line end; both phrases may occur.
        const std::string lower = lowerAscii(text);
        if (lower.find("connected to") != std::string::npos)
            for (DdeItem i : {DdeItem::Conn, DdeItem::Info, DdeItem::All}) set(changed, i, text);
        if (lower.find("disconnected") != std::string::npos)
            for (DdeItem i : {DdeItem::Disc, DdeItem::Info, DdeItem::All}) set(changed, i, text);
        break;
    }
    case 5:
        set(changed, DdeItem::MonC, withoutLeadingCr(text));
        set(changed, DdeItem::All, withoutLeadingCr(text));
        break;
    case 6:
        set(changed, DdeItem::MonH, withoutLeadingCr(text));
        set(changed, DdeItem::All, withoutLeadingCr(text));
        break;
    case 7: {
        const std::string converted = convertLineEnds(withoutLeadingCr(text));
        set(changed, DdeItem::MonI, converted);
        set(changed, DdeItem::All, converted);
        break;
    }
    case 9: {
        const std::string converted = convertLineEnds(text);
        set(changed, DdeItem::Info, converted);
        set(changed, DdeItem::All, converted);
        break;
    }
    case 11: set(changed, DdeItem::Lstat, withoutLeadingCr(text)); break;
    case 12: set(changed, DdeItem::DestCall, text); break;
    case 13: set(changed, DdeItem::AliasDestCall, text); break;
    default: break;
    }
    return changed;
}

}  // namespace norva
