// Frames in both directions: what a sender hands to the TNC link, the kinds
// of what comes back, and how long a reply may be.
#pragma once

#include <string_view>

namespace norva {

enum ReceiveKind : int {
    kKindCommand = 1,        // outgoing: TNC command
    kKindInfo = 0,           // outgoing: connected-mode text
    kKindReply = 2,          // reply codes 1 and 2: command answer or error
    kKindLinkStatus = 4,     // reply code 3
    kKindMonHeader = 5,      // reply code 4: monitor header, no info
    kKindMonHeaderInfo = 6,  // reply code 5: monitor header, info follows
    kKindMonInfo = 7,        // reply code 6
    kKindConnected = 9,      // reply code 7
    kKindLAnswer = 11,       // report kind of an answer to "L"
    kKindDestCall = 12,      // report of the destination call
    kKindAliasDestCall = 13, // report of the alias destination call
};

// The longest reply frame the codec accepts, in bytes; longer is garbage.
inline constexpr int kMaxReplyBytes = 300;
// The longest text the codec delivers to a channel: a text reply gains a
// leading CR (and a link status CR LF) but loses its two head bytes and NUL,
// so it never exceeds the frame.
inline constexpr int kMaxDeliveredText = kMaxReplyBytes;

// Outgoing data handed to the send operation. The bytes are borrowed.
struct FrameRecord {
    int kind = kKindInfo;
    std::string_view data;
};

}  // namespace norva
