// Test doubles for the TNC link.
#include "support/ScriptedStream.h"

#include <algorithm>

namespace norva::test {

std::vector<std::string> StreamState::commands() const {
    std::vector<std::string> out;
    for (const auto& w : writes)
        if (w.size() >= 4 && static_cast<unsigned char>(w[1]) == 1) out.push_back(w.substr(3));
    return out;
}

int ScriptedStream::read(std::span<std::uint8_t> buf) {
    std::size_t n = std::min(buf.size(), s_->pending.size());
    if (s_->fragment) n = std::min(n, s_->fragment);
    if (n && !s_->readSizes.empty()) {
        n = std::min(n, s_->readSizes.front());
        s_->readSizes.pop_front();
    }
    std::copy_n(s_->pending.begin(), n, buf.begin());
    s_->pending.erase(0, n);
    return static_cast<int>(n);
}

int ScriptedStream::write(std::span<const std::uint8_t> data) {
    if (s_->broken) return 0;
    std::string w(data.begin(), data.end());
    s_->writes.push_back(w);
    if (s_->responder) s_->pending += s_->responder(w);
    return static_cast<int>(data.size());
}

bool ScriptedStream::waitReadable(int timeoutMs) {
    if (s_->broken) return false;  // a gone device answers at once, as the real streams do
    if (!s_->pending.empty()) return true;
    s_->clock.advanceMs(timeoutMs);
    return false;
}

std::string reply(int channel, int code, std::string_view text) {
    std::string r{static_cast<char>(channel), static_cast<char>(code)};
    if (code == 0) return r;
    r += text;
    r += '\0';
    return r;
}

std::string counted(int channel, int code, std::string_view payload) {
    std::string r{static_cast<char>(channel), static_cast<char>(code),
                  static_cast<char>(payload.size() - 1)};
    r += payload;
    return r;
}

std::string frame(int channel, bool command, std::string_view data) {
    std::string f{static_cast<char>(channel), static_cast<char>(command ? 1 : 0),
                  static_cast<char>(data.size() - 1)};
    f += data;
    return f;
}

std::string FakeFirmware::respond(const std::string& written) {
    std::string out;
    std::size_t used = 0;
    while (terminalMode && used < written.size()) {
        const char c = written[used++];
        if (c == 0x11) continue;
        if (c == 0x18) {
            terminalLine.clear();
            continue;
        }
        if (c != 0x1b) out += c;  // a terminal echoes what it gets
        if (c != '\r') {
            terminalLine += c;
            continue;
        }
        if (terminalLine.find("\x1bjhost 1") != std::string::npos ||
            terminalLine.find("\x1bJHOST1") != std::string::npos)
            terminalMode = false;
        terminalLine.clear();
    }
    partial += written.substr(used);
    while (partial.size() >= 3) {
        const std::size_t len = static_cast<unsigned char>(partial[2]) + 1u;
        if (partial.size() < 3 + len) break;
        const int ch = static_cast<unsigned char>(partial[0]);
        const bool cmd = partial[1] != 0;
        const std::string data = partial.substr(3, len);
        partial.erase(0, 3 + len);
        if (silent) continue;
        if (ch == 255) {
            if (!extendedPoll) {
                out += reply(255, 2, "INVALID CHANNEL");
            } else if (extendedList.empty()) {
                out += reply(255, 0);
            } else {
                out += reply(255, 1, extendedList);
                extendedList.clear();
            }
            continue;
        }
        if (ch > channels) {
            out += reply(ch, 2, "INVALID CHANNEL NUMBER");
            continue;
        }
        if (cmd && onCommand) {
            std::string custom = onCommand(ch, data);
            if (!custom.empty()) {
                out += custom;
                continue;
            }
        }
        if (!cmd) {
            out += reply(ch, 0);
        } else if (data == "L") {
            out += reply(ch, 1, ch == 0 ? "0 0" : "0 0 0 0 0 0");
        } else if (data == "@B") {
            out += reply(ch, 1, "800");
        } else if (data == "\x01\x01") {
            out += reply(ch, 2, "INVALID COMMAND");
        } else {
            out += reply(ch, 0);
        }
    }
    return out;
}

}  // namespace norva::test
