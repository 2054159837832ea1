// libFuzzer entry for the IPC names and items: any service or topic name
// maps to a valid D-Bus bus name and object path (sd-bus's own checks are
// the judge), and any received record becomes bounded item values that are
// valid UTF-8 on the bus; link lines and definitions stay bounded.
#include <systemd/sd-bus.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "channel/ReceiveRecord.h"
#include "dde/BusNames.h"
#include "dde/ChannelDde.h"
#include "dde/DdeLinks.h"
#include "dde/DdeTopics.h"

namespace {

struct NullHost : norva::DdeTopicHost {
    bool registerTopic(std::string_view, norva::DdeTopicHandler&) override { return true; }
    void unregisterTopic(std::string_view) override {}
    void itemChanged(std::string_view, std::string_view, std::string_view value) override {
        if (value.find('\0') != std::string_view::npos) __builtin_trap();
        checkUtf8(value);
    }
    static void checkUtf8(std::string_view s) {
        // The bus refuses strings that are not UTF-8.
        for (std::size_t i = 0; i < s.size();) {
            const auto c = static_cast<unsigned char>(s[i]);
            const std::size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            if (n == 0 || i + n > s.size()) __builtin_trap();
            for (std::size_t k = 1; k < n; ++k)
                if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) __builtin_trap();
            i += n;
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::string bus = norva::serviceBusName(text);
    if (bus.size() > norva::kMaxBusNameLength || !sd_bus_service_name_is_valid(bus.c_str())) __builtin_trap();
    const std::string path = norva::topicObjectPath(text);
    if (!path.empty() && !sd_bus_object_path_is_valid(path.c_str())) __builtin_trap();
    if (path.empty() && !text.empty() && text.size() <= norva::kMaxDdeNameLength) __builtin_trap();

    if (size < 1) return 0;
    NullHost host;
    norva::CChannelDde dde(1, 1, &host);
    const int kind = data[0] % 16;
    const std::string_view body = text.substr(1);
    dde.updateItems(norva::ReceiveRecord::of(1, kind, body));
    for (int i = 0; i < norva::kDdeItemCount; ++i) {
        const auto item = static_cast<norva::DdeItem>(i);
        // Line-end conversion at most triples a record.
        if (dde.items().value(item).size() > 3 * norva::ReceiveRecord::kCapacity) __builtin_trap();
        NullHost::checkUtf8(dde.busValue(item));
    }
    if (norva::convertLineEnds(body).size() > 2 * body.size()) __builtin_trap();

    // Link lines: bounded by the record, and every definition has its two names.
    if (auto line = norva::formatLinkLine(1 + data[0] % 4, data[0] % 21, kind, body))
        if (line->size() > 2 * body.size() + 16) __builtin_trap();
    if (auto target = norva::parseLinkDefinition(body))
        if (target->service.empty() || target->topic.empty()) __builtin_trap();
    return 0;
}
