// Host-mode frame parser and reply encoders.
#include "tncsim/HostFrame.h"

namespace tncsim {

std::optional<HostFrame> HostFrameParser::push(std::uint8_t byte) {
    switch (have_) {
    case 0:
        frame_ = HostFrame{};
        frame_.channel = byte;
        have_ = 1;
        return std::nullopt;
    case 1:
        frame_.code = byte;
        have_ = 2;
        return std::nullopt;
    case 2:
        length_ = std::size_t{byte} + 1;
        frame_.data.reserve(length_);
        have_ = 3;
        return std::nullopt;
    default:
        break;
    }
    frame_.data.push_back(static_cast<char>(byte));
    if (frame_.data.size() < length_) return std::nullopt;
    have_ = 0;
    length_ = 0;
    return std::move(frame_);
}

std::size_t HostFrameParser::missing() const {
    if (have_ < 3) return 0;
    return length_ - frame_.data.size();
}

void HostFrameParser::reset() {
    frame_ = HostFrame{};
    have_ = 0;
    length_ = 0;
}

std::string encodeOk(std::uint8_t channel) {
    std::string out;
    out.push_back(static_cast<char>(channel));
    out.push_back(static_cast<char>(kOk));
    return out;
}

std::string encodeText(std::uint8_t channel, std::uint8_t code, std::string_view text) {
    std::string out;
    out.reserve(text.size() + 3);
    out.push_back(static_cast<char>(channel));
    out.push_back(static_cast<char>(code));
    for (char c : text) {
        if (c != '\0') out.push_back(c);
    }
    out.push_back('\0');
    return out;
}

std::string encodeCounted(std::uint8_t channel, std::uint8_t code, std::string_view payload) {
    if (payload.size() > kMaxFrameData) payload = payload.substr(0, kMaxFrameData);
    if (payload.empty()) return encodeOk(channel);
    std::string out;
    out.reserve(payload.size() + 3);
    out.push_back(static_cast<char>(channel));
    out.push_back(static_cast<char>(code));
    out.push_back(static_cast<char>(payload.size() - 1));
    out.append(payload);
    return out;
}

std::string encodeHostFrame(std::uint8_t channel, bool command, std::string_view data) {
    if (data.size() > kMaxFrameData) data = data.substr(0, kMaxFrameData);
    std::string out;
    if (data.empty()) return out;
    out.push_back(static_cast<char>(channel));
    out.push_back(static_cast<char>(command ? 1 : 0));
    out.push_back(static_cast<char>(data.size() - 1));
    out.append(data);
    return out;
}

}  // namespace tncsim
