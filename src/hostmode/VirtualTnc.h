// CVirtualTnc: the in-process host-mode TNC behind the port name "dde". It is
// always in host mode, answers every frame at once, and never offers the
// extended poll. Info frames go to an outside partner, which may also queue
// items that "G" then returns.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

class VirtualTncPartner {
public:
    virtual ~VirtualTncPartner() = default;
    // An info frame written by the host on a channel.
    virtual void infoFrame(int channel, std::string_view data) = 0;
};

class CVirtualTnc {
public:
    static constexpr int kReplySlotSize = 1024;
    // The longest host frame: channel, kind, length and 256 data bytes.
    static constexpr std::size_t kMaxFrameSize = 3 + 256;

    explicit CVirtualTnc(int channels = 20);

    // One host-mode frame. Returns the bytes taken.
    int write(std::span<const std::uint8_t> block);
    // The current channel's pending reply; the slot is emptied.
    int read(std::span<std::uint8_t> buf);
    // Whether the current channel's reply is waiting. The answer to a frame
    // is there the moment it was written, or never.
    bool hasReply() const;

    void setPartner(VirtualTncPartner* partner) { partner_ = partner; }
    // An item for "G" on a channel: reply code (3 link status, 7 connected
    // info, ...) and its text.
    void queueItem(int channel, int code, std::string_view text);

private:
    struct Slot {
        std::vector<std::uint8_t> bytes;
    };
    Slot& slotOf(int channel);
    const Slot& slotOf(int channel) const;
    void answer(int channel, int code, std::string_view text);
    void command(int channel, std::string_view text);

    int channels_;
    int current_ = 0;
    std::array<Slot, 22> slots_{};  // channels 0..20, index 21 is channel 255
    std::array<std::string, 21> calls_{};
    std::array<std::deque<std::pair<int, std::string>>, 21> pending_{};
    VirtualTncPartner* partner_ = nullptr;
};

}  // namespace norva
