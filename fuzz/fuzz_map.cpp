// Route texts from the map program: split into stations, cut to the answer
// limit and turned into connect script lines, which must stay whole lines.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "map/KartexLink.h"
#include "map/MapOperations.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace norva;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string route = cutUtf8(bytes, kMapResultLimit);
    if (route.size() > kMapResultLimit || bytes.compare(0, route.size(), route) != 0) __builtin_trap();
    (void)routeStations(route);
    (void)isRouteError(route);
    const std::string script = appendRouteToScript("", route);
    const std::string more = appendRouteToScript(script, route);
    if (more.compare(0, script.size(), script) != 0) __builtin_trap();
    // Every line is a connect or a wait, ends in CR LF and holds no other CR or LF.
    std::string_view rest = more;
    if (!rest.empty()) {
        if (rest.substr(0, 2) != "**") __builtin_trap();
        rest.remove_prefix(2);
    }
    bool connectLine = true;
    while (!rest.empty()) {
        const std::size_t end = rest.find("\r\n");
        if (end == std::string_view::npos) __builtin_trap();
        const std::string_view line = rest.substr(0, end);
        if (line.find_first_of("\r\n") != std::string_view::npos) __builtin_trap();
        if (connectLine ? (line.substr(0, 2) != "c " || line.size() > 2 + 80) : line != "**waitfor connected")
            __builtin_trap();
        connectLine = !connectLine;
        rest.remove_prefix(end + 2);
    }
    return 0;
}
