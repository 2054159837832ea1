// The gateway's text files: lookup in a frame directory, a bounded read of a
// regular file, and the piecewise send to the user.
#include "channel/GatewayFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "channel/RemotePrompt.h"
#include "channel/TncChannel.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace fs = std::filesystem;

namespace {

// Reads at most limit bytes of a regular file; never waits on a pipe or device.
std::optional<std::string> readRegular(const fs::path& path, std::size_t limit) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string text;
    char buf[4096];
    while (text.size() < limit) {
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, limit - text.size()));
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

}  // namespace

std::unique_ptr<CGatewayLink::FileSender> CGatewayLink::FileSender::open(CTncChannel& home, const fs::path& dir,
                                                                          std::string_view name) {
    const auto path = findIgnoringCase(dir, name);
    if (!path) return nullptr;
    auto text = readRegular(*path, kFileLimit);
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
