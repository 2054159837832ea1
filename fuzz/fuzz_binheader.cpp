// libFuzzer target: #BIN# header lines and report lines from the air, and
// the plain-name rule. A name that passes must never lead out of its directory.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "transfer/BinProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (const auto span = norva::findBinHeader(text)) {
        const std::size_t end = span->complete() ? span->lineEnd : text.size();
        const std::string_view line = text.substr(span->start, end - span->start);
        if (const auto length = norva::binHeaderLength(line); length && (*length < 0 || *length > norva::kBinMaxLength))
            std::abort();
        if (const auto name = norva::plainName(norva::binHeaderName(line))) {
            if (name->empty() || name->front() == '.' || name->find_first_of("/\\:") != std::string::npos)
                std::abort();
            (void)norva::autoBinNameUsable(*name);
        }
        (void)norva::binHeaderCrc(line);
        if (norva::binHeaderLengthOnly(line) && !norva::binHeaderName(line).empty()) std::abort();
    }
    if (const auto announced = norva::fbbAnnouncedName(text); announced && announced->empty()) std::abort();
    // A text that is only a report always yields its CRC.
    if (norva::isOnlyTxReport(text) && !norva::findTxReport(std::string(text) + "\r")) std::abort();
    (void)norva::findTxReport(text);
    (void)norva::binCrc(0, text);
    return 0;
}
