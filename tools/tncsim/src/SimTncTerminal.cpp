// SimTnc in terminal mode: echoes what is typed like a TNC terminal, runs ESC
// command lines, and leaves for host mode on "JHOST1".
#include "tncsim/SimTnc.h"

// std
#include <string>

// tncsim
#include "Text.h"

namespace tncsim {

namespace {

constexpr std::size_t kTerminalLogLimit = 64 * 1024;
constexpr std::size_t kLineLimit = 256;

constexpr std::uint8_t kXon = 0x11;
constexpr std::uint8_t kXoff = 0x13;
constexpr std::uint8_t kCan = 0x18;
constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kBs = 0x08;
constexpr std::uint8_t kDel = 0x7F;

// Parameter commands a TF firmware knows; terminal mode accepts them quietly.
bool isParameterLetter(char c) {
    return std::string_view("ABEFHKNOPRSTUVWXYZ").find(c) != std::string_view::npos;
}

}  // namespace

void SimTnc::terminalByte(std::uint8_t byte, std::uint64_t nowMs) {
    {
        std::lock_guard lock(sideMutex_);
        ++counters_.terminalBytes;
        if (terminalLog_.size() >= kTerminalLogLimit) terminalLog_.erase(0, kTerminalLogLimit / 2);
        terminalLog_.push_back(static_cast<char>(byte));
        if (faults_.silent) return;
    }
    switch (byte) {
    case kXon:
    case kXoff:
    case '\n':
        return;
    case kCan:
        termLine_.clear();
        termCommand_ = false;
        return;
    case kEsc:
        termLine_.clear();
        termCommand_ = true;
        emitTerminal("\r\n* ", nowMs);
        return;
    case kBs:
    case kDel:
        if (termLine_.empty()) return;
        termLine_.pop_back();
        emitTerminal("\b \b", nowMs);
        return;
    case '\r': {
        emitTerminal("\r\n", nowMs);
        std::string line = std::move(termLine_);
        bool isCommand = termCommand_;
        termLine_.clear();
        termCommand_ = false;
        // Converse text has nowhere to go without a link in terminal mode.
        if (isCommand) emitTerminal(terminalCommand(line), nowMs);
        return;
    }
    default:
        // Other control characters are not typed text; a TNC terminal drops them.
        if (byte < 0x20 || termLine_.size() >= kLineLimit) return;
        termLine_.push_back(static_cast<char>(byte));
        emitTerminal(std::string(1, static_cast<char>(byte)), nowMs);
        return;
    }
}

std::string SimTnc::terminalCommand(std::string_view line) {
    std::string text = upper(trimBlanks(line));
    if (text.empty()) return {};
    if (text.rfind("JHOST", 0) == 0) {
        std::string_view arg = trimBlanks(std::string_view(text).substr(5));
        if (arg == "1") {
            setMode(TncMode::Host);
            return {};
        }
        if (arg == "0") return {};
        return "INVALID COMMAND\r\n";
    }
    std::string_view arg = trimBlanks(std::string_view(text).substr(1));
    if (text[0] == 'I') {
        if (arg.empty()) return config_.call + "\r\n";
        auto call = parseCall(arg);
        if (!call) return "INVALID CALLSIGN\r\n";
        config_.call = *call;
        return {};
    }
    if (text[0] == 'M' || isParameterLetter(text[0])) return {};
    return "INVALID COMMAND\r\n";
}

}  // namespace tncsim
