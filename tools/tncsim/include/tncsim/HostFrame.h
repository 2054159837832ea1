// Host-mode frames of the WA8DED protocol as the TNC firmware sees them: the
// byte-wise parser for frames from the host, and the encoders for the replies.
#pragma once

// std
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tncsim {

// Reply codes on the wire (TNC -> host).
enum ReplyCode : std::uint8_t {
    kOk = 0,            // success, no text
    kOkText = 1,        // success with NUL-terminated text
    kError = 2,         // error text
    kLinkStatus = 3,    // link status text
    kMonHeader = 4,     // monitor header, no info follows
    kMonHeaderInfo = 5, // monitor header, info follows
    kMonInfo = 6,       // monitor info, counted
    kConnInfo = 7,      // connected info, counted
};

// Largest data block of one frame in either direction.
inline constexpr std::size_t kMaxFrameData = 256;
// The channel number reserved for the extended poll.
inline constexpr int kExtPollChannel = 255;

// One frame from the host: channel, code (0 = info, anything else is a
// command) and 1..256 data bytes.
struct HostFrame {
    std::uint8_t channel = 0;
    std::uint8_t code = 0;
    std::string data;

    bool isCommand() const { return code != 0; }
};

// Assembles host frames byte by byte exactly as the firmware does: the
// frame is complete when its announced length is reached, whatever the bytes.
class HostFrameParser {
public:
    // Takes one byte; returns the frame when this byte completed it.
    std::optional<HostFrame> push(std::uint8_t byte);
    // True while a frame has been started but is not complete.
    bool partial() const { return have_ > 0; }
    // Data bytes still missing for the current frame (0 while no length is known).
    std::size_t missing() const;
    void reset();

private:
    HostFrame frame_;
    int have_ = 0;  // header bytes received: 0 none, 1 channel, 2 code, 3 length
    std::size_t length_ = 0;
};

// Reply encoders. Texts are NUL-terminated on the wire, so NULs inside a
// text are dropped; counted payloads are cut to 256 bytes and must not be empty.
std::string encodeOk(std::uint8_t channel);
std::string encodeText(std::uint8_t channel, std::uint8_t code, std::string_view text);
std::string encodeCounted(std::uint8_t channel, std::uint8_t code, std::string_view payload);
// Encodes a host -> TNC frame (used by tests and tools that play the host).
std::string encodeHostFrame(std::uint8_t channel, bool command, std::string_view data);

}  // namespace tncsim
