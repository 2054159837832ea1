// libFuzzer entry for schedule lines from norva.ini: whatever a hand-edited
// line holds, parsing never fails unsafely, and what parses survives being
// written back and read again unchanged.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "script/Schedule.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto entry = norva::parseScheduleEntry(text)) {
        const auto again = norva::parseScheduleEntry(norva::formatScheduleEntry(*entry));
        if (!again || !(*again == *entry)) __builtin_trap();
    }
    return 0;
}
