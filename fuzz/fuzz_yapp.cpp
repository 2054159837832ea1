// libFuzzer target: the YAPP packet reader over a byte stream from the air,
// cut into pieces the input chooses, and the header and resume parsers on
// every payload. Packets never exceed their bounds, the buffer never holds a
// whole packet after draining, sizes and offsets stay in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/FileNames.h"
#include "transfer/YappProtocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte chooses the piece length and whether checksums are on.
    const std::size_t piece = 1 + (data[0] & 0x7f);
    const bool checksum = (data[0] & 0x80) != 0;
    const std::string_view stream(reinterpret_cast<const char*>(data + 1), size - 1);
    norva::YappReader reader;
    reader.setChecksum(checksum);
    std::size_t taken = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        reader.feed(stream.substr(at, piece));
        while (auto packet = reader.next()) {
            if (packet->payload.size() > norva::kYappMaxData) std::abort();
            taken += packet->payload.size();
            if (packet->type == norva::YappType::Header) {
                if (const auto header = norva::parseYappHeader(packet->payload)) {
                    if (header->size < 0 || header->size > norva::kYappMaxLength) std::abort();
                    if (const auto name = norva::plainName(header->name))
                        if (name->empty() || name->front() == '.' || name->find_first_of("/\\:") != std::string::npos)
                            std::abort();
                    if (header->dosDateTime) (void)norva::fromDosDateTime(*header->dosDateTime);
                }
            }
            if (packet->type == norva::YappType::NotReady)
                if (const auto resume = norva::parseYappResume(packet->payload))
                    if (resume->offset < 0 || resume->offset > norva::kYappMaxLength) std::abort();
        }
        if (reader.buffered() >= norva::kYappMaxPacket) std::abort();
    }
    if (taken > stream.size()) std::abort();
    return 0;
}
