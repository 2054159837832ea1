// Calls on another program's DDE service over the bus (channel links, the
// map program, the companion program, the single-instance hand-off). Every
// call is asynchronous with a time-out: the answer, an error or the time-out
// comes back through the callback from DdeBus::process(), on the engine
// thread. A hung or absent peer costs nothing but the time-out.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "dde/DdeBus.h"
#include "dde/SdBusHandles.h"

namespace norva {

inline constexpr std::uint64_t kDefaultDdeCallTimeoutUsec = 5'000'000;

struct DdeCallResult {
    enum class Status {
        Done,      // answered; for Poke/Execute `processed` tells whether the peer processed it
        Error,     // the peer (or the bus) answered with an error
        TimedOut,  // no answer within the time-out
        NoPeer,    // no such service or topic on the bus
    };
    Status status = Status::Error;
    bool processed = false;  // Poke/Execute: the peer's answer
    std::string value;       // Request: the value
    std::string errorName;
    std::string errorMessage;
};

class DdeClient {
public:
    using Done = std::function<void(const DdeCallResult&)>;

    explicit DdeClient(DdeBus& bus) : bus_(bus) {}
    // Pending calls are cancelled: their callbacks never run.
    ~DdeClient() = default;
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    // service and topic are DDE names, mapped as BusNames.h says. False when
    // the call could not even be queued (bad name, argument too long, bus
    // gone); the callback then never runs.
    bool poke(std::string_view service, std::string_view topic, std::string_view item, std::string_view data,
              Done done, std::uint64_t timeoutUsec = kDefaultDdeCallTimeoutUsec);
    bool execute(std::string_view service, std::string_view topic, std::string_view command, Done done,
                 std::uint64_t timeoutUsec = kDefaultDdeCallTimeoutUsec);
    bool request(std::string_view service, std::string_view topic, std::string_view item, Done done,
                 std::uint64_t timeoutUsec = kDefaultDdeCallTimeoutUsec);
    // Whether a DDE service is on the bus now: done(true/false); false also
    // when the bus does not answer in time.
    bool hasService(std::string_view service, std::function<void(bool)> done,
                    std::uint64_t timeoutUsec = kDefaultDdeCallTimeoutUsec);

    std::size_t pending() const { return calls_.size(); }

private:
    enum class Kind { Request, Processed, NameHasOwner };
    struct Call {
        DdeClient* client;
        std::uint64_t id;
        Kind kind;
        Done done;
        SlotPtr slot;
    };

    bool send(sd_bus_message* msg, Kind kind, Done done, std::uint64_t timeoutUsec);
    sd_bus_message* newCall(std::string_view service, std::string_view topic, const char* member);
    static int onReply(sd_bus_message* m, void* call, sd_bus_error*);

    DdeBus& bus_;
    std::uint64_t nextId_ = 1;
    std::map<std::uint64_t, std::unique_ptr<Call>> calls_;
};

}  // namespace norva
