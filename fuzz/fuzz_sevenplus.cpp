// libFuzzer target: 7Plus parts, error reports and corrections from the air.
// Whatever comes in, the decoder keeps its counts consistent, a complete
// file has the size its header named, a report it accepts reads back the
// same when written again, and a long name it takes never leads out of a
// directory once made plain.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/FileNames.h"
#include "transfer/SevenPlusDecoder.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

void decodeParts(std::string_view text) {
    norva::SevenPlusDecoder decoder;
    decoder.addText(text);
    if (const auto report = norva::parseSevenPlusCorrection(text)) decoder.addCorrection(*report);
    if (!decoder.file()) return;
    const auto& h = *decoder.file();
    check(h.part >= 1 && h.parts <= norva::kSevenPlusMaxParts && h.size <= norva::kSevenPlusMaxSize);
    int missing = 0;
    for (const auto& part : decoder.missing()) missing += static_cast<int>(part.lines.size());
    check(missing == decoder.missingCount());
    check(decoder.complete() == (missing == 0));
    if (decoder.complete()) check(static_cast<std::int64_t>(decoder.data().size()) == h.size);
    if (const auto name = norva::plainName(decoder.longName()))
        check(!name->empty() && name->front() != '.' && name->find_first_of("/\\:") == std::string::npos);
    (void)norva::writeSevenPlusErrorReport(decoder.errorReport());
}

void readReport(std::string_view text) {
    const auto report = norva::parseSevenPlusErrorReport(text);
    if (!report) return;
    const auto again = norva::parseSevenPlusErrorReport(norva::writeSevenPlusErrorReport(*report));
    check(again && again->missing == report->missing && again->size == report->size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    decodeParts(text);
    readReport(text);
    if (const auto line = norva::decodeSevenPlusLine(text.substr(0, 80)))
        check(line->index >= 0 && line->index <= norva::kSevenPlusMaxIndex);
    return 0;
}
