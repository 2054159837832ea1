// Asynchronous calls on other DDE services over the bus.
#include "dde/DdeClient.h"

#include <cstring>

#include "dde/BusNames.h"
#include "dde/DdeTopics.h"

namespace norva {

sd_bus_message* DdeClient::newCall(std::string_view service, std::string_view topic, const char* member) {
    const std::string path = topicObjectPath(topic);
    if (path.empty() || service.size() > kMaxBusNameLength) return nullptr;
    const std::string dest = serviceBusName(service);
    const std::string iface(kDdeInterface);
    sd_bus_message* m = nullptr;
    if (sd_bus_message_new_method_call(bus_.raw(), &m, dest.c_str(), path.c_str(), iface.c_str(), member) < 0)
        return nullptr;
    return m;
}

bool DdeClient::poke(std::string_view service, std::string_view topic, std::string_view item, std::string_view data,
                     Done done, std::uint64_t timeoutUsec) {
    if (item.size() > kMaxDdeNameLength || data.size() > kMaxDdeDataLength) return false;
    MessagePtr m(newCall(service, topic, "Poke"));
    if (!m || sd_bus_message_append(m.get(), "ss", std::string(item).c_str(), std::string(data).c_str()) < 0)
        return false;
    return send(m.get(), Kind::Processed, std::move(done), timeoutUsec);
}

bool DdeClient::execute(std::string_view service, std::string_view topic, std::string_view command, Done done,
                        std::uint64_t timeoutUsec) {
    if (command.size() > kMaxDdeDataLength) return false;
    MessagePtr m(newCall(service, topic, "Execute"));
    if (!m || sd_bus_message_append(m.get(), "s", std::string(command).c_str()) < 0) return false;
    return send(m.get(), Kind::Processed, std::move(done), timeoutUsec);
}

bool DdeClient::request(std::string_view service, std::string_view topic, std::string_view item, Done done,
                        std::uint64_t timeoutUsec) {
    if (item.size() > kMaxDdeNameLength) return false;
    MessagePtr m(newCall(service, topic, "Request"));
    if (!m || sd_bus_message_append(m.get(), "s", std::string(item).c_str()) < 0) return false;
    return send(m.get(), Kind::Request, std::move(done), timeoutUsec);
}

bool DdeClient::hasService(std::string_view service, std::function<void(bool)> done, std::uint64_t timeoutUsec) {
    if (service.size() > kMaxBusNameLength) return false;
    sd_bus_message* raw = nullptr;
    if (sd_bus_message_new_method_call(bus_.raw(), &raw, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "NameHasOwner") < 0)
        return false;
    MessagePtr m(raw);
    if (sd_bus_message_append(raw, "s", serviceBusName(service).c_str()) < 0) return false;
    return send(raw, Kind::NameHasOwner,
                [done = std::move(done)](const DdeCallResult& r) {
                    if (done) done(r.status == DdeCallResult::Status::Done && r.processed);
                },
                timeoutUsec);
}

bool DdeClient::send(sd_bus_message* msg, Kind kind, Done done, std::uint64_t timeoutUsec) {
    const std::uint64_t id = nextId_++;
    auto call = std::make_unique<Call>(Call{this, id, kind, std::move(done), nullptr});
    sd_bus_slot* slot = nullptr;
    if (sd_bus_call_async(bus_.raw(), &slot, msg, &DdeClient::onReply, call.get(), timeoutUsec) < 0) return false;
    call->slot.reset(slot);
    calls_.emplace(id, std::move(call));
    return true;
}

namespace {

DdeCallResult::Status statusOfError(const sd_bus_error* e) {
    if (sd_bus_error_has_name(e, SD_BUS_ERROR_NO_REPLY) || sd_bus_error_has_name(e, SD_BUS_ERROR_TIMEOUT))
        return DdeCallResult::Status::TimedOut;
    if (sd_bus_error_has_name(e, SD_BUS_ERROR_SERVICE_UNKNOWN) || sd_bus_error_has_name(e, SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
        sd_bus_error_has_name(e, SD_BUS_ERROR_UNKNOWN_OBJECT))
        return DdeCallResult::Status::NoPeer;
    return DdeCallResult::Status::Error;
}

}  // namespace

int DdeClient::onReply(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* call = static_cast<Call*>(userdata);
    DdeCallResult result;
    if (const sd_bus_error* e = sd_bus_message_get_error(m)) {
        result.status = statusOfError(e);
        result.errorName = e->name ? e->name : "";
        result.errorMessage = e->message ? e->message : "";
    } else if (call->kind == Kind::Request) {
        const char* value = nullptr;
        if (sd_bus_message_read(m, "s", &value) >= 0) {
            result.status = DdeCallResult::Status::Done;
            result.value = value;
        }
    } else {
        int b = 0;
        if (sd_bus_message_read(m, "b", &b) >= 0) {
            result.status = DdeCallResult::Status::Done;
            result.processed = b != 0;
        }
    }
    // The call record goes before the callback runs, which may start new calls
    // or destroy this client.
    Done done = std::move(call->done);
    call->client->calls_.erase(call->id);
    if (done) done(result);
    return 0;
}

}  // namespace norva
