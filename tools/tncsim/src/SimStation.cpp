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
        StationAnswer one = answerLine(link, line);
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

void SimStation::linkClosed(std::uint64_t link) {
    partial_.erase(link);
    challenged_.erase(link);
}

std::string flexNetSum(std::string_view challenge, std::string_view password) {
    if (challenge.size() != password.size()) return {};
    auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : 0; };
    long sum = 0;
    for (std::size_t i = 0; i < password.size(); ++i) sum += digit(password[i]) * digit(challenge[i]);
    return std::to_string(sum);
}

void SimStation::setNode(NodeBehaviour node) { node_ = std::move(node); }

std::optional<StationAnswer> SimStation::answerAsNode(std::uint64_t link, std::string_view line) {
    const std::string cmd = upper(trimBlanks(line));
    if (challenged_.erase(link) != 0) {
        const std::string expected = flexNetSum(node_->challenge, node_->password);
        if (expected.empty() || cmd != expected) return StationAnswer{"wrong\r", false};
        ++grants_;
        return StationAnswer{"Sysop privileges granted\r", false};
    }
    if (cmd.size() > 2 && cmd[0] == 'C' && cmd[1] == ' ') {
        const std::string target(trimBlanks(std::string_view(cmd).substr(2)));
        return StationAnswer{"*** connected to " + target + "\r", false};
    }
    if (!node_->sysopCommand.empty() && cmd == upper(node_->sysopCommand)) {
        challenged_.insert(link);
        return StationAnswer{call_ + " " + node_->challenge + ">\r", false};
    }
    return std::nullopt;
}

StationAnswer SimStation::answerLine(std::uint64_t link, std::string_view line) {
    if (node_) {
        if (auto answer = answerAsNode(link, line)) return *answer;
    }
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
