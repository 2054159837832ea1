// The entry-node list of a channel (NodesAvail: callsigns, each followed by
// ",") and its chosen node (DefaultNode), as the node chooser edits them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace norva {

// The entries first to last; blanks around an entry go, empty ones are skipped.
std::vector<std::string> splitNodes(std::string_view list);

// The list with the node added at its end in upper case with its ",",
// unless an entry equal to it (ignoring case) is already there. A node
// holding "," or a control character, or longer than 80 characters, is not added.
std::string addNode(std::string_view list, std::string_view node);

// The list rebuilt from the other entries, in their order.
std::string removeNode(std::string_view list, std::string_view node);

struct NodeChoice {
    std::string list;    // NodesAvail
    std::string chosen;  // DefaultNode
    bool operator==(const NodeChoice&) const = default;
};

// "Löschen" in the chooser: the entry goes, and the chosen node with it when it was that one.
NodeChoice removeNode(const NodeChoice& choice, std::string_view node);

}  // namespace norva
