// A simulated station on the radio: a tiny node/mailbox that greets, echoes
// lines, explains itself on "H" and says goodbye on "B" or "Q". It only
// decides what to answer; the Radio carries the frames. Set up as a node
// (setNode), it also pretends onward connects and asks a FlexNet-style
// sysop challenge.
#pragma once

// std
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace tncsim {

// The node behaviour: "c CALL" (any case) is answered "*** connected to
// CALL"; the sysop command is answered by the prompt "<CALL> <challenge>>",
// and the next line must be the FlexNet answer for the password (the sum of
// the digit products, paired in the same order): "Sysop privileges granted"
// or "wrong".
struct NodeBehaviour {
    std::string sysopCommand = "SYS";
    std::string password = "12345";
    std::string challenge = "54321";
};

// The FlexNet answer the node expects (empty when the lengths differ).
std::string flexNetSum(std::string_view challenge, std::string_view password);

struct StationAnswer {
    std::string text;         // to send back on the link (may be empty)
    bool disconnect = false;  // close the link after sending the text
};

class SimStation {
public:
    explicit SimStation(std::string call);

    const std::string& call() const { return call_; }
    std::string greeting() const;
    // Bytes that arrived on a link; answers every complete line (CR or LF ended).
    StationAnswer receive(std::uint64_t link, std::string_view bytes);
    void linkClosed(std::uint64_t link);
    // Everything received on all links so far (the last 1 MiB), for tests.
    const std::string& received() const { return received_; }
    // Makes this station a node (off by default: plain echo station).
    void setNode(NodeBehaviour node);
    // Sysop answers accepted so far.
    int grants() const { return grants_; }

private:
    StationAnswer answerLine(std::uint64_t link, std::string_view line);
    std::optional<StationAnswer> answerAsNode(std::uint64_t link, std::string_view line);

    std::string call_;
    std::map<std::uint64_t, std::string> partial_;  // unfinished line per link
    std::string received_;
    std::optional<NodeBehaviour> node_;
    std::set<std::uint64_t> challenged_;  // links whose next line is a sysop answer
    int grants_ = 0;
};

}  // namespace tncsim
