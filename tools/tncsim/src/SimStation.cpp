// SimStation: the answers of the simulated node/mailbox.
#include "tncsim/SimStation.h"

// tncsim
#include "Text.h"

namespace tncsim {

namespace {

constexpr std::size_t kReceivedLimit = 1024 * 1024;
constexpr std::size_t kLineLimit = 256;

}  // namespace

SimStation::SimStation(std::string call) : call_(upper(call)) {}

std::string SimStation::greeting() const {
    return "Welcome to " + call_ + ", the Norva test station. Type H for help.\r";
}

StationAnswer SimStation::receive(std::uint64_t link, std::string_view bytes) {
    if (received_.size() + bytes.size() > kReceivedLimit) received_.erase(0, received_.size() / 2);
    received_.append(bytes);
    StationAnswer all;
    std::string& line = partial_[link];
    for (char c : bytes) {
        if (c != '\r' && c != '\n') {
            // An overlong line is answered in pieces rather than growing without end.
            if (line.size() < kLineLimit) {
                line.push_back(c);
                continue;
            }
        }
        if (c == '\n' && line.empty()) continue;  // the LF of a CR LF pair
        StationAnswer one = answerLine(line);
        line.clear();
        if (c != '\r' && c != '\n') line.push_back(c);
        all.text += one.text;
        if (one.disconnect) {
            all.disconnect = true;
            break;
        }
    }
    return all;
}

void SimStation::linkClosed(std::uint64_t link) { partial_.erase(link); }

StationAnswer SimStation::answerLine(std::string_view line) const {
    std::string cmd = upper(trimBlanks(line));
    if (cmd == "H" || cmd == "HELP") {
        return {"Commands: H help, B or Q bye, anything else is echoed back.\r", false};
    }
    if (cmd == "B" || cmd == "BYE" || cmd == "Q" || cmd == "QUIT") {
        return {"73 de " + call_ + ", bye.\r", true};
    }
    if (cmd.empty()) return {call_ + ">\r", false};
    return {std::string(line) + "\r", false};
}

}  // namespace tncsim
