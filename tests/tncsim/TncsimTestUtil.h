// Helpers of the tncsim tests: host frames and expected replies as byte strings.
#pragma once

// std
#include <string>
#include <string_view>

// tncsim
#include "tncsim/HostFrame.h"
#include "tncsim/Radio.h"

namespace tncsim::test {

inline std::string cmd(int ch, std::string_view text) {
    return encodeHostFrame(static_cast<std::uint8_t>(ch), true, text);
}
inline std::string info(int ch, std::string_view text) {
    return encodeHostFrame(static_cast<std::uint8_t>(ch), false, text);
}
inline std::string ok(int ch) { return encodeOk(static_cast<std::uint8_t>(ch)); }
inline std::string text(int ch, int code, std::string_view t) {
    return encodeText(static_cast<std::uint8_t>(ch), static_cast<std::uint8_t>(code), t);
}
inline std::string counted(int ch, int code, std::string_view t) {
    return encodeCounted(static_cast<std::uint8_t>(ch), static_cast<std::uint8_t>(code), t);
}

inline TncConfig hostConfig(std::string call = "NOCALL", int channels = 10) {
    TncConfig c;
    c.call = std::move(call);
    c.channels = channels;
    c.startInHostMode = true;
    return c;
}

}  // namespace tncsim::test
