// The gateway's help and information texts: where they live, and the small
// sender that ticks one out to the user as fast as his channel takes it.
#pragma once

#include "platform/FileNames.h"
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "channel/Gateway.h"

namespace norva {

class Profile;


class CGatewayLink::FileSender {
public:
    // A text longer than this is cut: help texts are short, and the file is
    // read whole before the first byte goes out.
    static constexpr std::size_t kFileLimit = 64 * 1024;
    static constexpr std::size_t kPiece = 256;

    // Null when the file is missing, not a regular file, or unreadable.
    static std::unique_ptr<FileSender> open(CTncChannel& home, const std::filesystem::path& dir,
                                            std::string_view name);
    // Sends the next piece while the channel may send; false once all is out
    // (the prompt follows the text).
    bool tick();

private:
    FileSender(CTncChannel& home, std::string text) : home_(home), text_(std::move(text)) {}
    CTncChannel& home_;
    std::string text_;
    std::size_t sent_ = 0;
};

}  // namespace norva
