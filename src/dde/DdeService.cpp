// The DDE server: topic objects, the five methods, advise bookkeeping and
// the Changed signal.
#include "dde/DdeService.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "dde/BusNames.h"

namespace norva {

namespace {

constexpr const char* kErrUnknownItem = "org.norva.Dde.Error.UnknownItem";
constexpr const char* kErrTooLong = "org.norva.Dde.Error.TooLong";
constexpr const char* kErrLimit = "org.norva.Dde.Error.LimitExceeded";

// Reads n string arguments; each is checked against its length limit.
// Returns 0 when they are fine, else the result of the error reply sent.
int readArgs(sd_bus_message* m, const char** out, int n, const std::size_t* limits) {
    for (int i = 0; i < n; ++i) {
        const int r = sd_bus_message_read_basic(m, 's', &out[i]);
        if (r < 0) return sd_bus_reply_method_errorf(m, SD_BUS_ERROR_INVALID_ARGS, "Bad arguments");
    }
    for (int i = 0; i < n; ++i)
        if (std::strlen(out[i]) > limits[i])
            return sd_bus_reply_method_errorf(m, kErrTooLong, "Argument %d longer than %zu bytes", i + 1,
                                              limits[i]);
    return 0;
}

const std::size_t kItemLimit[] = {kMaxDdeNameLength};
const std::size_t kPokeLimits[] = {kMaxDdeNameLength, kMaxDdeDataLength};
const std::size_t kExecLimit[] = {kMaxDdeDataLength};

}  // namespace

const sd_bus_vtable DdeService::kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD_WITH_ARGS("Request", SD_BUS_ARGS("s", item), SD_BUS_RESULT("s", value),
                            &DdeService::onRequest, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("Poke", SD_BUS_ARGS("s", item, "s", data), SD_BUS_RESULT("b", processed),
                            &DdeService::onPoke, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("Execute", SD_BUS_ARGS("s", command), SD_BUS_RESULT("b", processed),
                            &DdeService::onExecute, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("Advise", SD_BUS_ARGS("s", item), SD_BUS_NO_RESULT, &DdeService::onAdvise,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD_WITH_ARGS("Unadvise", SD_BUS_ARGS("s", item), SD_BUS_NO_RESULT, &DdeService::onUnadvise,
                            SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL_WITH_ARGS("Changed", SD_BUS_ARGS("s", item, "s", value), 0),
    SD_BUS_VTABLE_END};


DdeService::DdeService(DdeBus& bus, std::string busName) : bus_(bus), busName_(std::move(busName)) {}

DdeService::Created DdeService::create(DdeBus& bus, std::string_view serviceName,
                                       std::function<void(NameState)> onName) {
    std::unique_ptr<DdeService> s(new DdeService(bus, serviceBusName(serviceName)));
    if (!s->start(std::move(onName))) return {nullptr, "cannot publish the DDE service on the bus"};
    return {std::move(s), {}};
}

bool DdeService::start(std::function<void(NameState)> onName) {
    onName_ = std::move(onName);
    sd_bus* b = bus_.raw();
    sd_bus_slot* slot = nullptr;
    const std::string prefix(kTopicPathPrefix);
    const std::string iface(kDdeInterface);
    if (sd_bus_add_fallback_vtable(b, &slot, prefix.c_str(), iface.c_str(), kVtable, &DdeService::findTopic, this) < 0)
        return false;
    vtableSlot_.reset(slot);
    slot = nullptr;
    // Lets busctl tree and gdbus introspect list the topics.
    if (sd_bus_add_node_enumerator(b, &slot, prefix.c_str(), &DdeService::listTopics, this) < 0) return false;
    enumeratorSlot_.reset(slot);
    slot = nullptr;
    if (sd_bus_match_signal_async(b, &slot, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "NameOwnerChanged", &DdeService::onOwnerChanged, nullptr, this) < 0)
        return false;
    ownerSlot_.reset(slot);
    slot = nullptr;
    if (sd_bus_request_name_async(b, &slot, busName_.c_str(), 0, &DdeService::onNameReply, this) < 0) return false;
    nameSlot_.reset(slot);
    flusher_ = bus_.afterProcess([this] { flushHeld(); });
    return true;
}

DdeService::~DdeService() {
    flusher_.reset();
    if (nameState_ == NameState::Owned)
        sd_bus_release_name_async(bus_.raw(), nullptr, busName_.c_str(), nullptr, nullptr);
}

void DdeService::setNameState(NameState s) {
    nameState_ = s;
    if (onName_) onName_(s);
}

int DdeService::onNameReply(sd_bus_message* m, void* self, sd_bus_error*) {
    auto* s = static_cast<DdeService*>(self);
    s->nameSlot_.reset();
    if (sd_bus_message_is_method_error(m, nullptr)) {
        s->setNameState(NameState::Failed);
        return 0;
    }
    std::uint32_t result = 0;
    if (sd_bus_message_read(m, "u", &result) < 0) {
        s->setNameState(NameState::Failed);
        return 0;
    }
    // 1: primary owner, 4: already the owner; anything else: someone else has it.
    s->setNameState(result == 1 || result == 4 ? NameState::Owned : NameState::Taken);
    return 0;
}

int DdeService::onOwnerChanged(sd_bus_message* m, void* self, sd_bus_error*) {
    const char *name = nullptr, *oldOwner = nullptr, *newOwner = nullptr;
    if (sd_bus_message_read(m, "sss", &name, &oldOwner, &newOwner) < 0) return 0;
    // A unique name that loses its owner is a client gone from the bus.
    if (name[0] == ':' && newOwner[0] == '\0') static_cast<DdeService*>(self)->dropClient(name);
    return 0;
}

// ---- topics ----

int DdeService::findTopic(sd_bus*, const char* path, const char*, void* self, void** found, sd_bus_error*) {
    auto* s = static_cast<DdeService*>(self);
    const auto it = s->topics_.find(lowerAscii(path));
    if (it == s->topics_.end()) return 0;
    *found = it->second.get();
    return 1;
}

int DdeService::listTopics(sd_bus*, const char*, void* self, char*** nodes, sd_bus_error*) {
    const auto& topics = static_cast<DdeService*>(self)->topics_;
    // sd-bus takes the list and frees it with free().
    auto** list = static_cast<char**>(std::calloc(topics.size() + 1, sizeof(char*)));
    if (!list) return -ENOMEM;
    std::size_t n = 0;
    for (const auto& [key, topic] : topics) {
        list[n] = strdup(topic->path.c_str());
        if (list[n]) ++n;
    }
    *nodes = list;
    return 0;
}

bool DdeService::registerTopic(std::string_view topic, DdeTopicHandler& handler) {
    const std::string path = topicObjectPath(topic);
    if (path.empty()) return false;
    const std::string key = lowerAscii(path);
    if (topics_.count(key)) return false;
    topics_.emplace(key, std::make_unique<Topic>(Topic{this, std::string(topic), path, &handler}));
    return true;
}

void DdeService::unregisterTopic(std::string_view topic) {
    const std::string key = lowerAscii(topicObjectPath(topic));
    const auto it = topics_.find(key);
    // Only the topic of that very name: another name mapping to the same path stays.
    if (it == topics_.end() || lowerAscii(it->second->name) != lowerAscii(topic)) return;
    topics_.erase(it);
    dropTopicAdvises(key);
}

bool DdeService::hasTopic(std::string_view topic) const {
    const auto it = topics_.find(lowerAscii(topicObjectPath(topic)));
    return it != topics_.end() && lowerAscii(it->second->name) == lowerAscii(topic);
}

// ---- methods ----

int DdeService::onRequest(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* a[1];
    if (const int r = readArgs(m, a, 1, kItemLimit)) return r;
    auto* t = static_cast<Topic*>(userdata);
    const std::string topicName = t->name;
    const std::optional<std::string> value = t->handler->request(a[0]);
    if (!value)
        return sd_bus_reply_method_errorf(m, kErrUnknownItem, "No item '%s' on topic '%s'", a[0], topicName.c_str());
    if (value->size() > kMaxDdeDataLength)
        return sd_bus_reply_method_errorf(m, kErrTooLong, "Value longer than %zu bytes", kMaxDdeDataLength);
    return sd_bus_reply_method_return(m, "s", value->c_str());
}

int DdeService::onPoke(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* a[2];
    if (const int r = readArgs(m, a, 2, kPokeLimits)) return r;
    const bool done = static_cast<Topic*>(userdata)->handler->poke(a[0], a[1]);
    return sd_bus_reply_method_return(m, "b", int(done));
}

int DdeService::onExecute(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* a[1];
    if (const int r = readArgs(m, a, 1, kExecLimit)) return r;
    const bool done = static_cast<Topic*>(userdata)->handler->execute(a[0]);
    return sd_bus_reply_method_return(m, "b", int(done));
}

int DdeService::onAdvise(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* a[1];
    if (const int r = readArgs(m, a, 1, kItemLimit)) return r;
    auto* t = static_cast<Topic*>(userdata);
    const char* sender = sd_bus_message_get_sender(m);
    if (!sender) return sd_bus_reply_method_errorf(m, SD_BUS_ERROR_ACCESS_DENIED, "No sender");
    // Every advise is accepted, even on an item that never changes.
    if (!t->service->addAdvise(lowerAscii(t->path), upperAscii(a[0]), sender))
        return sd_bus_reply_method_errorf(m, kErrLimit, "More than %zu advises", kMaxAdvisesPerClient);
    return sd_bus_reply_method_return(m, "");
}

int DdeService::onUnadvise(sd_bus_message* m, void* userdata, sd_bus_error*) {
    const char* a[1];
    if (const int r = readArgs(m, a, 1, kItemLimit)) return r;
    auto* t = static_cast<Topic*>(userdata);
    if (const char* sender = sd_bus_message_get_sender(m))
        t->service->removeAdvise(lowerAscii(t->path), upperAscii(a[0]), sender);
    return sd_bus_reply_method_return(m, "");
}

// ---- advises ----

bool DdeService::addAdvise(const std::string& topicKey, const std::string& item, const std::string& client) {
    std::set<std::string>& clients = advises_[topicKey][item];
    if (clients.count(client)) return true;
    std::size_t& count = perClient_[client];
    if (count >= kMaxAdvisesPerClient) return false;
    clients.insert(client);
    ++count;
    return true;
}

void DdeService::removeAdvise(const std::string& topicKey, const std::string& item, const std::string& client) {
    const auto t = advises_.find(topicKey);
    if (t == advises_.end()) return;
    const auto i = t->second.find(item);
    if (i == t->second.end() || !i->second.erase(client)) return;
    if (i->second.empty()) t->second.erase(i);
    if (t->second.empty()) advises_.erase(t);
    if (--perClient_[client] == 0) perClient_.erase(client);
}

void DdeService::dropClient(const std::string& client) {
    if (!perClient_.count(client)) return;
    for (auto t = advises_.begin(); t != advises_.end();) {
        for (auto i = t->second.begin(); i != t->second.end();) {
            i->second.erase(client);
            i = i->second.empty() ? t->second.erase(i) : std::next(i);
        }
        t = t->second.empty() ? advises_.erase(t) : std::next(t);
    }
    perClient_.erase(client);
}

void DdeService::dropTopicAdvises(const std::string& topicKey) {
    const auto t = advises_.find(topicKey);
    if (t == advises_.end()) return;
    for (const auto& [item, clients] : t->second)
        for (const std::string& c : clients)
            if (--perClient_[c] == 0) perClient_.erase(c);
    advises_.erase(t);
    for (auto h = held_.begin(); h != held_.end();) {
        if (h->topicKey != topicKey) {
            ++h;
            continue;
        }
        heldAt_.erase({h->topicKey, h->itemKey});
        h = held_.erase(h);
    }
}

bool DdeService::advised(std::string_view topic, std::string_view item) const {
    const auto t = advises_.find(lowerAscii(topicObjectPath(topic)));
    return t != advises_.end() && t->second.count(upperAscii(item));
}

std::size_t DdeService::adviseCount() const {
    std::size_t n = 0;
    for (const auto& [c, count] : perClient_) n += count;
    return n;
}

// ---- change notification ----

bool DdeService::queueFull() const {
    std::uint64_t queued = 0;
    return sd_bus_get_n_queued_write(bus_.raw(), &queued) >= 0 && queued >= kMaxQueuedSignals;
}

void DdeService::itemChanged(std::string_view topic, std::string_view item, std::string_view value) {
    const std::string path = topicObjectPath(topic);
    std::string key = lowerAscii(path);
    const auto t = advises_.find(key);
    if (t == advises_.end()) return;
    std::string itemKey = upperAscii(item);
    if (!t->second.count(itemKey)) return;
    // A newer value replaces one still held; it goes out now if the queue allows.
    dropHeld(key, itemKey);
    Held change{std::move(key), std::move(itemKey), path, std::string(item),
                std::string(value.substr(0, kMaxDdeDataLength))};
    if (held_.empty() && !queueFull()) {
        emit(change);
        return;
    }
    // Once something is held, later changes queue behind it to keep their order.
    held_.push_back(std::move(change));
    heldAt_.emplace(std::make_pair(held_.back().topicKey, held_.back().itemKey), std::prev(held_.end()));
}

void DdeService::dropHeld(const std::string& topicKey, const std::string& itemKey) {
    const auto at = heldAt_.find({topicKey, itemKey});
    if (at == heldAt_.end()) return;
    held_.erase(at->second);
    heldAt_.erase(at);
}

void DdeService::emit(const Held& change) {
    const auto t = advises_.find(change.topicKey);
    if (t == advises_.end()) return;
    const auto i = t->second.find(change.itemKey);
    if (i == t->second.end()) return;
    const std::string iface(kDdeInterface);
    for (const std::string& client : i->second) {
        sd_bus_message* raw = nullptr;
        if (sd_bus_message_new_signal(bus_.raw(), &raw, change.path.c_str(), iface.c_str(), "Changed") < 0) return;
        MessagePtr msg(raw);
        // Addressed to the advising client alone, as a DDE advise loop was.
        if (sd_bus_message_set_destination(raw, client.c_str()) < 0) continue;
        // A value that is not UTF-8 is refused by sd-bus; that change is lost rather than mangled.
        if (sd_bus_message_append(raw, "ss", change.item.c_str(), change.value.c_str()) < 0) continue;
        sd_bus_send(bus_.raw(), raw, nullptr);
    }
}

void DdeService::flushHeld() {
    while (!held_.empty() && !queueFull()) {
        const Held change = std::move(held_.front());
        heldAt_.erase({change.topicKey, change.itemKey});
        held_.pop_front();
        emit(change);
    }
}

}  // namespace norva
