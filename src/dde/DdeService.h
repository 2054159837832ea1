// The DDE server on the bus: one well-known bus name for the service, one
// object per topic (see BusNames.h for both rules), and on each topic the
// interface org.norva.Dde:
//   Request(s item) -> s value      error org.norva.Dde.Error.UnknownItem
//   Poke(s item, s data) -> b       false: not processed
//   Execute(s command) -> b         false: not processed
//   Advise(s item), Unadvise(s item)
//   signal Changed(s item, s value) sent to each client advising the item
// A call on an unknown topic gets org.freedesktop.DBus.Error.UnknownObject
// (DDE's refused connect). Topics and items compare without regard to case.
// Arguments longer than kMaxDdeDataLength (data) or kMaxDdeNameLength
// (items) get org.norva.Dde.Error.TooLong; a client may hold at most
// kMaxAdvisesPerClient advises (org.norva.Dde.Error.LimitExceeded). A client
// that leaves the bus loses its advises. When the outgoing queue is full,
// changes are held, one per advised item with only the latest value, and
// sent once the bus has taken the queue: memory stays bounded and no client
// is left with a stale value.
#pragma once

#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

#include "dde/DdeBus.h"
#include "dde/DdeTopics.h"
#include "dde/SdBusHandles.h"

namespace norva {

inline constexpr std::size_t kMaxAdvisesPerClient = 4096;
// Messages queued for the bus before further changes are held back.
inline constexpr std::uint64_t kMaxQueuedSignals = 512;

class DdeService final : public DdeTopicHost {
public:
    enum class NameState { Requesting, Owned, Taken, Failed };
    struct Created;
    // Publishes the topic objects and asks for the bus name (asynchronously;
    // onName reports the outcome from process()). Fails only when the bus
    // refuses the object registration.
    static Created create(DdeBus& bus, std::string_view serviceName,
                          std::function<void(NameState)> onName = {});
    ~DdeService() override;
    DdeService(const DdeService&) = delete;
    DdeService& operator=(const DdeService&) = delete;

    const std::string& busName() const { return busName_; }
    NameState nameState() const { return nameState_; }

    bool registerTopic(std::string_view topic, DdeTopicHandler& handler) override;
    void unregisterTopic(std::string_view topic) override;
    void itemChanged(std::string_view topic, std::string_view item, std::string_view value) override;

    bool hasTopic(std::string_view topic) const;
    // True while some client advises the item of the topic.
    bool advised(std::string_view topic, std::string_view item) const;
    std::size_t adviseCount() const;
    std::size_t heldChanges() const { return held_.size(); }

private:
    struct Topic {
        DdeService* service;
        std::string name;
        std::string path;
        DdeTopicHandler* handler;
    };
    struct Held {
        std::string topicKey;
        std::string itemKey;
        std::string path;
        std::string item;
        std::string value;
    };
    using ItemClients = std::map<std::string, std::set<std::string>>;  // ITEM -> unique names

    static const sd_bus_vtable kVtable[];

    explicit DdeService(DdeBus& bus, std::string busName);
    bool start(std::function<void(NameState)> onName);

    static int listTopics(sd_bus*, const char* prefix, void* self, char*** nodes, sd_bus_error*);
    static int findTopic(sd_bus*, const char* path, const char*, void* self, void** found, sd_bus_error*);
    static int onRequest(sd_bus_message* m, void* topic, sd_bus_error*);
    static int onPoke(sd_bus_message* m, void* topic, sd_bus_error*);
    static int onExecute(sd_bus_message* m, void* topic, sd_bus_error*);
    static int onAdvise(sd_bus_message* m, void* topic, sd_bus_error*);
    static int onUnadvise(sd_bus_message* m, void* topic, sd_bus_error*);
    static int onNameReply(sd_bus_message* m, void* self, sd_bus_error*);
    static int onOwnerChanged(sd_bus_message* m, void* self, sd_bus_error*);

    void setNameState(NameState s);
    bool addAdvise(const std::string& topicKey, const std::string& item, const std::string& client);
    void removeAdvise(const std::string& topicKey, const std::string& item, const std::string& client);
    void dropClient(const std::string& client);
    void dropTopicAdvises(const std::string& topicKey);
    bool queueFull() const;
    void emit(const Held& change);
    void dropHeld(const std::string& topicKey, const std::string& itemKey);
    void flushHeld();

    DdeBus& bus_;
    std::string busName_;
    NameState nameState_ = NameState::Requesting;
    std::function<void(NameState)> onName_;
    SlotPtr vtableSlot_;
    SlotPtr enumeratorSlot_;
    SlotPtr nameSlot_;
    SlotPtr ownerSlot_;
    std::unique_ptr<DdeBus::AfterProcess> flusher_;
    std::map<std::string, std::unique_ptr<Topic>> topics_;  // lower-cased path -> topic
    std::map<std::string, ItemClients> advises_;            // lower-cased path -> items
    std::map<std::string, std::size_t> perClient_;          // unique name -> advise count
    // Held changes in the order of their latest value, and where each is.
    std::list<Held> held_;
    std::map<std::pair<std::string, std::string>, std::list<Held>::iterator> heldAt_;  // (path key, ITEM)
};

struct DdeService::Created {
    std::unique_ptr<DdeService> service;
    std::string error;
};

}  // namespace norva
