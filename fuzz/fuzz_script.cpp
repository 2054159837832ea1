// libFuzzer target: script files. Any bytes must parse without fault, a
// refused file yields no lines, and an accepted one keeps to the limits.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "script/ScriptFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const norva::ParsedScript parsed = norva::parseScript(bytes, "fuzz.scr");
    if (parsed.error && !parsed.lines.empty()) std::abort();
    for (const norva::ScriptLine& line : parsed.lines) {
        if (line.raw.size() > norva::kScriptMaxLine) std::abort();
        if (line.kind == norva::LineKind::Command && line.marker + 2 > line.raw.size()) std::abort();
    }
    return 0;
}
