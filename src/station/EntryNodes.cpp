// Entry-node list editing.
#include "station/EntryNodes.h"

#include <algorithm>

#include "platform/Text.h"

namespace norva {

namespace {

constexpr std::size_t kNodeLimit = 80;

bool usableNode(std::string_view node) {
    if (node.empty() || node.size() > kNodeLimit) return false;
    return std::none_of(node.begin(), node.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return c == ',' || u < 0x20 || u == 0x7f;
    });
}

}  // namespace

std::vector<std::string> splitNodes(std::string_view list) {
    std::vector<std::string> out;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const std::string_view entry = trim(list.substr(0, comma));
        if (!entry.empty()) out.emplace_back(entry);
        if (comma == std::string_view::npos) break;
        list.remove_prefix(comma + 1);
    }
    return out;
}

std::string addNode(std::string_view list, std::string_view node) {
    const std::string wanted = toUpper(trim(node));
    std::string out(list);
    if (!usableNode(wanted)) return out;
    for (const std::string& entry : splitNodes(list))
        if (iequals(entry, wanted)) return out;
    // A hand-edited list may lack its last ",".
    if (!trim(out).empty() && trim(out).back() != ',') out += ",";
    return out + wanted + ",";
}

std::string removeNode(std::string_view list, std::string_view node) {
    const std::string_view gone = trim(node);
    std::string out;
    for (const std::string& entry : splitNodes(list))
        if (!iequals(entry, gone)) out += entry + ",";
    return out;
}

NodeChoice removeNode(const NodeChoice& choice, std::string_view node) {
    NodeChoice out{removeNode(choice.list, node), choice.chosen};
    if (iequals(trim(choice.chosen), trim(node))) out.chosen.clear();
    return out;
}

}  // namespace norva
