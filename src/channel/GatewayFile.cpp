// The gateway's text files: lookup in a frame directory, a bounded read of a
// regular file, and the piecewise send to the user.
#include "channel/GatewayFile.h"

#include <algorithm>
#include <vector>

#include "channel/RemotePrompt.h"
#include "channel/TncChannel.h"
#include "platform/Profile.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace norva {

namespace fs = std::filesystem;

namespace {

}  // namespace

std::unique_ptr<CGatewayLink::FileSender> CGatewayLink::FileSender::open(CTncChannel& home, const fs::path& dir,
                                                                          std::string_view name) {
    const auto path = findIgnoringCase(dir, name);
    if (!path) return nullptr;
    auto text = readRegularFile(*path, kFileLimit);
    if (!text) return nullptr;
    return std::unique_ptr<FileSender>(new FileSender(home, std::move(*text)));
}

bool CGatewayLink::FileSender::tick() {
    if (sent_ >= text_.size()) {
        sendRemotePrompt(home_);
        return false;
    }
    if (!home_.linkState().maySend()) return true;
    const std::string_view piece = std::string_view(text_).substr(sent_, kPiece);
    sent_ += piece.size();
    home_.show(piece, kClassInputEcho);
    home_.sendOperation({kKindInfo, piece});
    return true;
}

}  // namespace norva
