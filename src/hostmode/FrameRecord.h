// The frame record: one host-mode frame in either direction. Outgoing kind 1
// is a TNC command, anything else connected-mode text; incoming kinds follow
// the reply code (see ReceiveKind).
#pragma once

#include <cstdint>
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

// Outgoing data handed to the send operation. The bytes are borrowed.
struct FrameRecord {
    int kind = kKindInfo;
    std::string_view data;
};

}  // namespace norva
