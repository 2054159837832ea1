// The in-process host-mode TNC behind the port name "dde".
#include "hostmode/VirtualTnc.h"

#include <algorithm>
#include <cstring>

#include "platform/Text.h"

namespace norva {

CVirtualTnc::CVirtualTnc(int channels) : channels_(std::clamp(channels, 0, 20)) {}

CVirtualTnc::Slot& CVirtualTnc::slotOf(int channel) {
    return channel == 255 ? slots_[21] : slots_[static_cast<std::size_t>(channel)];
}

const CVirtualTnc::Slot& CVirtualTnc::slotOf(int channel) const {
    return channel == 255 ? slots_[21] : slots_[static_cast<std::size_t>(channel)];
}

void CVirtualTnc::answer(int channel, int code, std::string_view text) {
    Slot& slot = slotOf(channel);
    slot.bytes.clear();
    slot.bytes.push_back(static_cast<std::uint8_t>(channel));
    slot.bytes.push_back(static_cast<std::uint8_t>(code));
    if (code == 0) return;
    if (code == 6 || code == 7) {
        // Counted replies carry at most 256 bytes.
        const auto n = std::min<std::size_t>(std::max<std::size_t>(text.size(), 1), 256);
        slot.bytes.push_back(static_cast<std::uint8_t>(n - 1));
        for (std::size_t i = 0; i < n; ++i)
            slot.bytes.push_back(i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0);
        return;
    }
    const auto n = std::min<std::size_t>(text.size(), kReplySlotSize - 3);
    slot.bytes.insert(slot.bytes.end(), text.begin(), text.begin() + static_cast<long>(n));
    slot.bytes.push_back(0);
}

int CVirtualTnc::write(std::span<const std::uint8_t> block) {
    if (block.empty()) return 0;
    // A block longer than a frame can be (3 head bytes and 256 data bytes)
    // is taken as its first byte only.
    if (block.size() > kMaxFrameSize) block = block.first(1);
    int channel = block[0];
    if (channel > 20 && channel != 255) channel = 0;
    current_ = channel;
    if (block.size() < 3) return static_cast<int>(block.size());

    const bool isCommand = block[1] == 1;
    const std::size_t len = std::min<std::size_t>(block[2] + 1u, block.size() - 3);
    const std::string_view data(reinterpret_cast<const char*>(block.data() + 3), len);

    if (channel == 255) {
        answer(channel, 2, "INVALID CHANNEL");
    } else if (!isCommand) {
        if (partner_) partner_->infoFrame(channel, data);
        answer(channel, 0, {});
    } else {
        command(channel, data);
    }
    return static_cast<int>(block.size());
}

void CVirtualTnc::command(int channel, std::string_view text) {
    const std::string cmd = toLower(text);
    const auto idx = static_cast<std::size_t>(channel);
    if (cmd.starts_with("g")) {
        if (pending_[idx].empty()) return answer(channel, 0, {});
        auto item = std::move(pending_[idx].front());
        pending_[idx].pop_front();
        return answer(channel, item.first, item.second);
    }
    if (cmd.starts_with("i")) {
        const std::string_view arg = trim(std::string_view(text).substr(1));
        if (arg.empty()) return answer(channel, 1, calls_[idx]);
        calls_[idx] = toUpper(cut(arg, 9));
        return answer(channel, 0, {});
    }
    if (cmd.starts_with("l")) return answer(channel, 1, "0 0 0 0 0 0");
    if (cmd.starts_with("@b")) return answer(channel, 1, "800");
    if (cmd.starts_with("c") || cmd.starts_with("d") || cmd.starts_with("m"))
        return answer(channel, 0, {});
    answer(channel, 2, "INVALID COMMAND");
}

int CVirtualTnc::read(std::span<std::uint8_t> buf) {
    Slot& slot = slotOf(current_);
    const std::size_t n = std::min(buf.size(), slot.bytes.size());
    std::copy_n(slot.bytes.begin(), n, buf.begin());
    slot.bytes.erase(slot.bytes.begin(), slot.bytes.begin() + static_cast<long>(n));
    return static_cast<int>(n);
}

bool CVirtualTnc::hasReply() const {
    return !slotOf(current_).bytes.empty();
}

void CVirtualTnc::queueItem(int channel, int code, std::string_view text) {
    if (channel < 0 || channel > 20) return;
    pending_[static_cast<std::size_t>(channel)].emplace_back(code, std::string(text));
}

}  // namespace norva
