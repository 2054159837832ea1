// The receive record: the last reply delivered to a channel, as the channel
// keeps it and as its jobs and the DDE side see it. It holds everything the
// codec can deliver, so no received byte is ever cut here.
#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "hostmode/FrameRecord.h"

namespace norva {

struct ReceiveRecord {
    static constexpr int kCapacity = kMaxDeliveredText + 1;  // and a NUL

    int channel = 0;
    int kind = 0;
    int length = 0;
    std::array<char, kCapacity> data{};

    std::string_view text() const {
        return {data.data(), static_cast<std::size_t>(std::clamp(length, 0, kCapacity - 1))};
    }
    // Copies the bytes, cut to the capacity (a NUL always follows them).
    void assign(int kindOf, std::string_view bytes) {
        const std::size_t n = std::min<std::size_t>(bytes.size(), kCapacity - 1);
        if (n) std::memcpy(data.data(), bytes.data(), n);
        data[n] = '\0';
        kind = kindOf;
        length = static_cast<int>(n);
    }
    static ReceiveRecord of(int channelOf, int kindOf, std::string_view bytes) {
        ReceiveRecord r;
        r.channel = channelOf;
        r.assign(kindOf, bytes);
        return r;
    }
};

}  // namespace norva
