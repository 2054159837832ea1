// Owning handles for sd-bus objects: a bus connection, a slot (a callback
// registration) and a message. Every sd-bus reference Norva keeps lives in
// one of these, so no unref is ever forgotten or doubled.
#pragma once

#include <systemd/sd-bus.h>

#include <memory>

namespace norva {

struct SdBusCloser {
    // Closes without flushing: a flush could wait forever on a stuck bus.
    void operator()(sd_bus* b) const { sd_bus_close_unref(b); }
};
struct SdBusSlotReleaser {
    void operator()(sd_bus_slot* s) const { sd_bus_slot_unref(s); }
};
struct SdBusMessageReleaser {
    void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};

using BusPtr = std::unique_ptr<sd_bus, SdBusCloser>;
using SlotPtr = std::unique_ptr<sd_bus_slot, SdBusSlotReleaser>;
using MessagePtr = std::unique_ptr<sd_bus_message, SdBusMessageReleaser>;

// sd_bus_error freed when it goes out of scope.
class BusError {
public:
    BusError() = default;
    ~BusError() { sd_bus_error_free(&e_); }
    BusError(const BusError&) = delete;
    BusError& operator=(const BusError&) = delete;
    sd_bus_error* get() { return &e_; }
    const sd_bus_error* get() const { return &e_; }
    const char* name() const { return e_.name ? e_.name : ""; }
    const char* message() const { return e_.message ? e_.message : ""; }

private:
    sd_bus_error e_ = SD_BUS_ERROR_NULL;
};

}  // namespace norva
