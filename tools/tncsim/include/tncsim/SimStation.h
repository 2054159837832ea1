// A simulated station on the radio: a tiny node/mailbox that greets, echoes
// lines, explains itself on "H" and says goodbye on "B" or "Q". It only
// decides what to answer; the Radio carries the frames.
#pragma once

// std
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace tncsim {

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

private:
    StationAnswer answerLine(std::string_view line) const;

    std::string call_;
    std::map<std::uint64_t, std::string> partial_;  // unfinished line per link
    std::string received_;
};

}  // namespace tncsim
