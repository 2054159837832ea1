// The DDE service and client calls on a private dbus-daemon: requests,
// pokes, executes, advise loops and their end, hostile arguments, a hung
// peer, and the bus names odd service names become.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "channel/ReceiveRecord.h"
#include "dde/BusNames.h"
#include "dde/ChannelDde.h"
#include "dde/DdeClient.h"
#include "dde/DdeService.h"
#include "dde/OpenFileTopic.h"
#include "PrivateBus.h"

namespace norva {
namespace {

using test::PrivateBus;
using test::serveUntil;
using Status = DdeCallResult::Status;

struct FakeTopic : DdeTopicHandler {
    std::optional<std::string> request(std::string_view item) override {
        calls.push_back("request " + std::string(item));
        const auto it = items.find(upperAscii(item));
        if (it == items.end()) return std::nullopt;
        return it->second;
    }
    bool poke(std::string_view item, std::string_view data) override {
        calls.push_back("poke " + std::string(item) + "=" + std::string(data));
        return upperAscii(item) == "CONV";
    }
    bool execute(std::string_view command) override {
        calls.push_back("execute " + std::string(command));
        return command.size() >= 7;
    }
    std::map<std::string, std::string> items;
    std::vector<std::string> calls;
};

// A raw call, for what DdeClient does not offer (advises) or refuses to send.
struct RawCall {
    bool done = false;
    std::string error;
    SlotPtr slot;
};

std::unique_ptr<RawCall> rawCall(DdeBus& bus, const std::string& dest, const std::string& path, const char* member,
                                 const std::vector<std::string>& args) {
    auto call = std::make_unique<RawCall>();
    sd_bus_message* m = nullptr;
    EXPECT_GE(sd_bus_message_new_method_call(bus.raw(), &m, dest.c_str(), path.c_str(), "org.norva.Dde", member), 0);
    MessagePtr owned(m);
    for (const std::string& a : args) EXPECT_GE(sd_bus_message_append_basic(m, 's', a.c_str()), 0);
    sd_bus_slot* slot = nullptr;
    EXPECT_GE(sd_bus_call_async(
                  bus.raw(), &slot, m,
                  [](sd_bus_message* reply, void* u, sd_bus_error*) {
                      auto* c = static_cast<RawCall*>(u);
                      c->done = true;
                      if (const sd_bus_error* e = sd_bus_message_get_error(reply)) c->error = e->name;
                      return 0;
                  },
                  call.get(), 5'000'000),
              0);
    call->slot.reset(slot);
    return call;
}

// Another program on the bus: a client with a log of the Changed signals it got.
struct Peer {
    explicit Peer(const std::string& address) : bus(DdeBus::open(address).bus), client(*bus) {
        sd_bus_slot* s = nullptr;
        EXPECT_GE(sd_bus_match_signal(
                      bus->raw(), &s, nullptr, nullptr, "org.norva.Dde", "Changed",
                      [](sd_bus_message* m, void* u, sd_bus_error*) {
                          const char *item = nullptr, *value = nullptr;
                          if (sd_bus_message_read(m, "ss", &item, &value) >= 0)
                              static_cast<Peer*>(u)->changes.push_back(std::string(sd_bus_message_get_path(m)) +
                                                                       " " + item + "=" + value);
                          return 0;
                      },
                      this),
                  0);
        match.reset(s);
    }
    std::unique_ptr<DdeBus> bus;
    DdeClient client;
    SlotPtr match;
    std::vector<std::string> changes;
};

class DdeServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::requireBus(daemon)) return;
        auto opened = DdeBus::open(daemon.address());
        ASSERT_TRUE(opened.bus) << opened.error;
        server = std::move(opened.bus);
        auto created = DdeService::create(*server, "norva");
        ASSERT_TRUE(created.service) << created.error;
        service = std::move(created.service);
        data.items = {{"INFO", "hello \xC3\xA4"}, {"LSTAT", ""}};
        ASSERT_TRUE(service->registerTopic("01/03", data));
        ASSERT_TRUE(service->registerTopic("Channel3", commands));
        ASSERT_TRUE(serveUntil({server.get()}, [&] { return service->nameState() != DdeService::NameState::Requesting; }));
        ASSERT_EQ(service->nameState(), DdeService::NameState::Owned);
        peer = std::make_unique<Peer>(daemon.address());
    }
    std::vector<DdeBus*> buses() {
        std::vector<DdeBus*> all{server.get(), peer->bus.get()};
        for (auto& p : others) all.push_back(p->bus.get());
        return all;
    }
    template <class Pred>
    bool serve(Pred pred) {
        return serveUntil(buses(), pred);
    }
    DdeCallResult call(std::function<bool(DdeClient::Done)> start) {
        DdeCallResult out;
        bool done = false;
        EXPECT_TRUE(start([&](const DdeCallResult& r) {
            out = r;
            done = true;
        }));
        EXPECT_TRUE(serve([&] { return done; }));
        return out;
    }
    DdeCallResult request(const std::string& topic, const std::string& item) {
        return call([&](DdeClient::Done d) { return peer->client.request("norva", topic, item, d); });
    }
    void raw(Peer& p, const std::string& topic, const char* member, const std::vector<std::string>& args,
             const std::string& expectError = "") {
        auto c = rawCall(*p.bus, "org.norva.norva", topicObjectPath(topic), member, args);
        ASSERT_TRUE(serve([&] { return c->done; }));
        EXPECT_EQ(c->error, expectError);
    }
    // A round trip from the peer: whatever the service sent it before is in by then.
    void sync(Peer& p) {
        bool done = false;
        ASSERT_TRUE(p.client.request("norva", "01/03", "LSTAT", [&](const DdeCallResult&) { done = true; }));
        ASSERT_TRUE(serve([&] { return done; }));
    }

    PrivateBus daemon;
    FakeTopic data, commands;
    std::unique_ptr<DdeBus> server;
    std::unique_ptr<DdeService> service;
    std::unique_ptr<Peer> peer;
    std::vector<std::unique_ptr<Peer>> others;
};

TEST_F(DdeServiceTest, RequestPokeAndExecuteReachTheTopic) {
    DdeCallResult r = request("01/03", "info");
    EXPECT_EQ(r.status, Status::Done);
    EXPECT_EQ(r.value, "hello \xC3\xA4");
    EXPECT_EQ(request("01/03", "LSTAT").value, "");

    r = request("01/03", "MONX");
    EXPECT_EQ(r.status, Status::Error);
    EXPECT_EQ(r.errorName, "org.norva.Dde.Error.UnknownItem");
    EXPECT_EQ(r.errorMessage, "No item 'MONX' on topic '01/03'");

    r = call([&](DdeClient::Done d) { return peer->client.poke("norva", "01/03", "CONV", "text\r", d); });
    EXPECT_EQ(r.status, Status::Done);
    EXPECT_TRUE(r.processed);
    r = call([&](DdeClient::Done d) { return peer->client.poke("norva", "01/03", "WHAT", "x", d); });
    EXPECT_EQ(r.status, Status::Done);
    EXPECT_FALSE(r.processed);
    // Topic names ignore case, as DDE's did.
    r = call([&](DdeClient::Done d) { return peer->client.execute("norva", "channel3", "03 INFO hi", d); });
    EXPECT_TRUE(r.processed);
    r = call([&](DdeClient::Done d) { return peer->client.execute("norva", "Channel3", "03 INF", d); });
    EXPECT_EQ(r.status, Status::Done);
    EXPECT_FALSE(r.processed);

    EXPECT_EQ(data.calls, (std::vector<std::string>{"request info", "request LSTAT", "request MONX",
                                                    "poke CONV=text\r", "poke WHAT=x"}));
    EXPECT_EQ(commands.calls, (std::vector<std::string>{"execute 03 INFO hi", "execute 03 INF"}));
}

TEST_F(DdeServiceTest, UnknownTopicsAreRefusedAsUnknownObjects) {
    for (const char* topic : {"Channel03", "01/3", "OpenChannelFile"}) {
        const DdeCallResult r = request(topic, "INFO");
        EXPECT_EQ(r.status, Status::NoPeer) << topic;
        EXPECT_EQ(r.errorName, "org.freedesktop.DBus.Error.UnknownObject") << topic;
    }
    service->unregisterTopic("01/03");
    EXPECT_EQ(request("01/03", "INFO").errorName, "org.freedesktop.DBus.Error.UnknownObject");
    // Another name that maps to a taken path is refused; a free one works.
    EXPECT_FALSE(service->registerTopic("CHANNEL3", data));
    EXPECT_TRUE(service->registerTopic("x.y", commands));
    EXPECT_FALSE(service->registerTopic("x-y", data));
    service->unregisterTopic("x-y");  // not its name: "x.y" stays
    EXPECT_TRUE(service->hasTopic("x.y"));
    EXPECT_TRUE(service->registerTopic("01/03", data));
    EXPECT_EQ(request("01/03", "INFO").status, Status::Done);
    EXPECT_EQ(commands.calls.size(), 0u);
}

TEST_F(DdeServiceTest, OversizedArgumentsGetAnErrorAndChangeNothing) {
    const std::string mb(1024 * 1024, 'x');
    raw(*peer, "01/03", "Poke", {"CONV", mb}, "org.norva.Dde.Error.TooLong");
    raw(*peer, "Channel3", "Execute", {"03 INFO " + mb}, "org.norva.Dde.Error.TooLong");
    raw(*peer, "01/03", "Request", {std::string(300, 'I')}, "org.norva.Dde.Error.TooLong");
    raw(*peer, "01/03", "Advise", {std::string(300, 'I')}, "org.norva.Dde.Error.TooLong");
    raw(*peer, "01/03", "Poke", {"CONV"}, "org.freedesktop.DBus.Error.InvalidArgs");
    // Exactly at the limit is fine.
    raw(*peer, "01/03", "Poke", {"CONV", std::string(kMaxDdeDataLength, 'y')});
    ASSERT_EQ(data.calls.size(), 1u);
    EXPECT_EQ(data.calls[0].size(), 10 + kMaxDdeDataLength);
    EXPECT_TRUE(commands.calls.empty());
    EXPECT_EQ(service->adviseCount(), 0u);
    // The client side refuses to send what the service would refuse.
    EXPECT_FALSE(peer->client.poke("norva", "01/03", "CONV", mb, [](const DdeCallResult&) {}));
    EXPECT_EQ(peer->client.pending(), 0u);
}

TEST_F(DdeServiceTest, AdviseDeliversChangesToTheSubscriberAlone) {
    others.push_back(std::make_unique<Peer>(daemon.address()));
    Peer& bystander = *others.back();
    raw(*peer, "01/03", "Advise", {"info"});
    raw(*peer, "01/03", "Advise", {"INFO"});  // twice is once
    raw(*peer, "01/03", "Advise", {"NEVER"});  // accepted, never fires
    EXPECT_TRUE(service->advised("01/03", "Info"));
    EXPECT_EQ(service->adviseCount(), 2u);

    service->itemChanged("01/03", "INFO", "first\r\n");
    service->itemChanged("01/03", "MONI", "not advised");
    service->itemChanged("Channel3", "INFO", "other topic");
    service->itemChanged("01/03", "INFO", "second \xC3\xA4");
    ASSERT_TRUE(serve([&] { return peer->changes.size() >= 2; }));
    sync(*peer);
    sync(bystander);
    EXPECT_EQ(peer->changes, (std::vector<std::string>{"/org/norva/topic/01/03 INFO=first\r\n",
                                                       "/org/norva/topic/01/03 INFO=second \xC3\xA4"}));
    EXPECT_TRUE(bystander.changes.empty());

    raw(*peer, "01/03", "Unadvise", {"Info"});
    EXPECT_FALSE(service->advised("01/03", "INFO"));
    service->itemChanged("01/03", "INFO", "after");
    sync(*peer);
    EXPECT_EQ(peer->changes.size(), 2u);
}

TEST_F(DdeServiceTest, AClientThatLeavesTheBusLosesItsAdvises) {
    others.push_back(std::make_unique<Peer>(daemon.address()));
    raw(*others.back(), "01/03", "Advise", {"ALL"});
    raw(*peer, "01/03", "Advise", {"ALL"});
    EXPECT_EQ(service->adviseCount(), 2u);
    others.clear();  // the connection closes
    ASSERT_TRUE(serve([&] { return service->adviseCount() == 1u; }));
    EXPECT_TRUE(service->advised("01/03", "ALL"));
    peer.reset();
    ASSERT_TRUE(serveUntil({server.get()}, [&] { return service->adviseCount() == 0u; }));
    EXPECT_FALSE(service->advised("01/03", "ALL"));
}

TEST_F(DdeServiceTest, UnregisteringATopicEndsItsAdvises) {
    raw(*peer, "01/03", "Advise", {"ALL"});
    raw(*peer, "Channel3", "Advise", {"ALL"});
    service->unregisterTopic("01/03");
    EXPECT_FALSE(service->advised("01/03", "ALL"));
    EXPECT_EQ(service->adviseCount(), 1u);
    // A topic of the same name later starts without advises.
    ASSERT_TRUE(service->registerTopic("01/03", data));
    EXPECT_FALSE(service->advised("01/03", "ALL"));
}

TEST_F(DdeServiceTest, AFloodKeepsOnlyTheLatestValuePerItemAndDeliversIt) {
    raw(*peer, "01/03", "Advise", {"MONI"});
    raw(*peer, "01/03", "Advise", {"ALL"});
    std::size_t mostHeld = 0;
    const std::string pad(400, '.');
    daemon.stop();
    for (int i = 0; i < 20000; ++i) {
        service->itemChanged("01/03", "MONI", "m" + std::to_string(i) + pad);
        service->itemChanged("01/03", "ALL", "a" + std::to_string(i) + pad);
        mostHeld = std::max(mostHeld, service->heldChanges());
    }
    // One held change per advised item, however long the flood.
    EXPECT_EQ(mostHeld, 2u);
    EXPECT_EQ(service->heldChanges(), 2u);
    std::uint64_t queued = 0;
    sd_bus_get_n_queued_write(server->raw(), &queued);
    EXPECT_EQ(queued, kMaxQueuedSignals);
    daemon.resume();
    const std::string lastAll = "/org/norva/topic/01/03 ALL=a19999" + pad;
    const std::string lastMoni = "/org/norva/topic/01/03 MONI=m19999" + pad;
    ASSERT_TRUE(serve([&] {
        return service->heldChanges() == 0 && !peer->changes.empty() && peer->changes.back() == lastAll;
    }));
    EXPECT_NE(std::find(peer->changes.begin(), peer->changes.end(), lastMoni), peer->changes.end());
    EXPECT_LE(peer->changes.size(), 40000u);
}

TEST_F(DdeServiceTest, AHungPeerTimesOutWhileTheServiceKeepsServing) {
    // The hung program owns its name but never reads its connection.
    sd_bus* raw = nullptr;
    ASSERT_GE(sd_bus_new(&raw), 0);
    BusPtr hung(raw);
    ASSERT_GE(sd_bus_set_address(raw, daemon.address().c_str()), 0);
    ASSERT_GE(sd_bus_set_bus_client(raw, 1), 0);
    ASSERT_GE(sd_bus_start(raw), 0);
    ASSERT_GE(sd_bus_request_name(raw, "org.norva.Hung", 0), 0);

    std::vector<std::string> events;
    DdeCallResult timedOut;
    ASSERT_TRUE(peer->client.execute(
        "Hung", "Channel1", "01 INFO x",
        [&](const DdeCallResult& r) {
            timedOut = r;
            events.push_back("execute");
        },
        400'000));
    others.push_back(std::make_unique<Peer>(daemon.address()));
    ASSERT_TRUE(others.back()->client.request("norva", "01/03", "INFO", [&](const DdeCallResult& r) {
        events.push_back("request " + r.value);
    }));
    ASSERT_TRUE(serve([&] { return events.size() == 2; }));
    EXPECT_EQ(events, (std::vector<std::string>{"request hello \xC3\xA4", "execute"}));
    EXPECT_EQ(timedOut.status, Status::TimedOut);
    EXPECT_EQ(peer->client.pending(), 0u);

    // Nobody there at all: refused at once, no time-out to wait for.
    const DdeCallResult absent =
        call([&](DdeClient::Done d) { return peer->client.poke("Nobody", "01/01", "CONV", "x", d); });
    EXPECT_EQ(absent.status, Status::NoPeer);
    EXPECT_EQ(absent.errorName, "org.freedesktop.DBus.Error.ServiceUnknown");
}

TEST_F(DdeServiceTest, AClientGoneBeforeTheAnswerHearsNothing) {
    bool called = false;
    {
        DdeClient shortLived(*peer->bus);
        ASSERT_TRUE(shortLived.request("norva", "01/03", "INFO", [&](const DdeCallResult&) { called = true; }));
    }
    sync(*peer);
    EXPECT_FALSE(called);
}

TEST_F(DdeServiceTest, OddServiceNamesAreFoundUnderTheirBusNames) {
    std::vector<std::unique_ptr<DdeBus>> own;
    std::vector<std::unique_ptr<DdeService>> services;
    for (const char* name : {"DL1ABC-3", "9x", "\xC3\xA4"}) {
        own.push_back(DdeBus::open(daemon.address()).bus);
        services.push_back(DdeService::create(*own.back(), name).service);
        ASSERT_TRUE(services.back());
    }
    std::vector<DdeBus*> all = buses();
    for (auto& b : own) all.push_back(b.get());
    ASSERT_TRUE(serveUntil(all, [&] {
        for (auto& s : services)
            if (s->nameState() == DdeService::NameState::Requesting) return false;
        return true;
    }));
    EXPECT_EQ(services[1]->busName(), "org.norva._9x");
    std::map<std::string, bool> present;
    for (const char* name : {"DL1ABC-3", "9x", "\xC3\xA4", "nobody", "norva"})
        ASSERT_TRUE(peer->client.hasService(name, [&present, n = std::string(name)](bool yes) { present[n] = yes; }));
    ASSERT_TRUE(serveUntil(all, [&] { return present.size() == 5; }));
    EXPECT_EQ(present, (std::map<std::string, bool>{
                           {"DL1ABC-3", true}, {"9x", true}, {"\xC3\xA4", true}, {"nobody", false}, {"norva", true}}));
}

TEST_F(DdeServiceTest, ASecondServiceOfTheSameNameFindsItTaken) {
    auto bus = DdeBus::open(daemon.address()).bus;
    std::vector<DdeService::NameState> seen;
    auto second = DdeService::create(*bus, "norva", [&](DdeService::NameState s) { seen.push_back(s); }).service;
    ASSERT_TRUE(second);
    ASSERT_TRUE(serveUntil({server.get(), bus.get()}, [&] { return !seen.empty(); }));
    EXPECT_EQ(seen, (std::vector<DdeService::NameState>{DdeService::NameState::Taken}));
    // The first keeps answering.
    EXPECT_EQ(request("01/03", "INFO").status, Status::Done);
}

TEST(DdeBusOpen, NoBusIsAClearError) {
    const DdeBus::Opened r = DdeBus::open("unix:path=/nonexistent/norva-test-bus");
    EXPECT_FALSE(r.bus);
    EXPECT_NE(r.error.find("cannot connect to bus unix:path=/nonexistent/norva-test-bus"), std::string::npos)
        << r.error;
    EXPECT_FALSE(DdeBus::open("no-such-transport:").bus);
}

TEST_F(DdeServiceTest, WithoutAnAddressTheSessionBusOfTheEnvironmentIsUsed) {
    const char* old = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const std::string saved = old ? old : "";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", daemon.address().c_str(), 1);
    DdeBus::Opened found = DdeBus::open("");
    ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/norva-test-bus", 1);
    const DdeBus::Opened missing = DdeBus::open("");
    if (old)
        ::setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
    else
        ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_TRUE(found.bus) << found.error;
    bool there = false;
    DdeClient client(*found.bus);
    ASSERT_TRUE(client.hasService("norva", [&](bool yes) { there = yes; }));
    ASSERT_TRUE(serveUntil({server.get(), found.bus.get()}, [&] { return there; }));
    EXPECT_FALSE(missing.bus);
    EXPECT_EQ(missing.error.rfind("no session bus: ", 0), 0u) << missing.error;
}

TEST_F(DdeServiceTest, AChannelsItemsReachItsAdvisingClient) {
    CChannelDde channel0(1, 0, service.get());
    ASSERT_TRUE(channel0.published());
    raw(*peer, "01/00", "Advise", {"ALL"});
    channel0.updateItems(ReceiveRecord::of(0, 6, "\rfm DL1ABC to CQ ctl UI^ pid F0"));
    channel0.updateItems(ReceiveRecord::of(0, 7, "\r\x84 ok\r"));  // CP437 "ä"
    ASSERT_TRUE(serve([&] { return peer->changes.size() == 2; }));
    EXPECT_EQ(peer->changes, (std::vector<std::string>{"/org/norva/topic/01/00 ALL=fm DL1ABC to CQ ctl UI^ pid F0",
                                                       "/org/norva/topic/01/00 ALL=\xC3\xA4 ok\r\n"}));
    EXPECT_EQ(request("01/00", "MONH").value, "fm DL1ABC to CQ ctl UI^ pid F0");
    EXPECT_EQ(request("01/00", "lstat").value, "");
    EXPECT_EQ(request("01/00", "CONV").errorName, "org.norva.Dde.Error.UnknownItem");
}

}  // namespace
}  // namespace norva

namespace norva {
namespace {

// A channel's links to a fake logger program on the bus, and to a hung one.
TEST_F(DdeServiceTest, ChannelLinksDeliverLinesByPokeAndExecuteAndDropAHungPeer) {
    auto loggerBus = DdeBus::open(daemon.address()).bus;
    auto logger = DdeService::create(*loggerBus, "Logger").service;
    FakeTopic monitor;
    ASSERT_TRUE(logger->registerTopic("Monitor", monitor));
    sd_bus* raw = nullptr;
    ASSERT_GE(sd_bus_new(&raw), 0);
    BusPtr hung(raw);
    ASSERT_GE(sd_bus_set_address(raw, daemon.address().c_str()), 0);
    ASSERT_GE(sd_bus_set_bus_client(raw, 1), 0);
    ASSERT_GE(sd_bus_start(raw), 0);
    ASSERT_GE(sd_bus_request_name(raw, "org.norva.Hung", 0), 0);

    BusLinkTransport transport(peer->client, 400'000);
    std::vector<std::string> shown;
    ChannelDdeLinks links(1, 2, transport, [&](std::string_view t) { shown.emplace_back(t); });
    const std::vector<DdeBus*> all = {server.get(), peer->bus.get(), loggerBus.get()};
    ASSERT_TRUE(serveUntil(all, [&] { return logger->nameState() == DdeService::NameState::Owned; }));
    links.open("Logger Monitor Lines");
    links.open("Logger Monitor");
    links.open("Hung Channel1");
    links.open("Nobody Topic");
    ASSERT_TRUE(serveUntil(all, [&] { return shown.size() == 4; }));
    EXPECT_EQ(shown, (std::vector<std::string>{"\rDde Connection to Logger Monitor Lines successful.\r",
                                               "\rDde Connection to Logger Monitor successful.\r",
                                               "\rDde Connection to Hung Channel1 successful.\r",
                                               "\rDde Connection to Nobody Topic failed.\r"}));
    shown.clear();

    links.forward(9, "gr\x81\xE1" "e\r");  // CP437 "grüße"
    ASSERT_TRUE(serveUntil(all, [&] { return monitor.calls.size() == 2 && shown.size() == 1; }));
    EXPECT_EQ(monitor.calls, (std::vector<std::string>{"poke Lines=02 INFO gr\xC3\xBC\xC3\x9F" "e\r\n",
                                                       "execute 02 INFO gr\xC3\xBC\xC3\x9F" "e\r\n"}));
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "\rError during Dde Transfer. Connection canceled by Norva.\r\rReason: DMLERR_EXECACKTIMEOUT\r"}));
    EXPECT_EQ(links.openCount(), 2);
}

}  // namespace
}  // namespace norva

namespace norva {
namespace {

// What a shell user types, against the service: the mapping as documented.
class DdeFromTheShell : public DdeServiceTest {
protected:
    std::string run(std::vector<std::string> args) {
        if (test::findProgram(args[0]).empty()) return "<no " + args[0] + ">";
        test::ShellTool tool(std::move(args));
        EXPECT_TRUE(serve([&] { return tool.finished(); }));
        return tool.output();
    }
    std::vector<std::string> gdbusCall(const std::string& path, const std::string& method,
                                       const std::vector<std::string>& args) {
        std::vector<std::string> v = {"gdbus", "call", "--address", daemon.address(), "--dest", "org.norva.norva",
                                      "--object-path", path, "--method", "org.norva.Dde." + method};
        v.insert(v.end(), args.begin(), args.end());
        return v;
    }
};

TEST_F(DdeFromTheShell, GdbusRequestsPokesAndExecutes) {
    if (!test::requireTool("gdbus")) return;
    EXPECT_EQ(run(gdbusCall("/org/norva/topic/01/03", "Request", {"INFO"})), "('hello \xC3\xA4',)\n");
    EXPECT_EQ(run(gdbusCall("/org/norva/topic/01/03", "Poke", {"CONV", "from the shell"})), "(true,)\n");
    EXPECT_EQ(run(gdbusCall("/org/norva/topic/Channel3", "Execute", {"03 INFO hi"})), "(true,)\n");
    const std::string refused = run(gdbusCall("/org/norva/topic/Channel03", "Execute", {"03 INFO hi"}));
    EXPECT_NE(refused.find("org.freedesktop.DBus.Error.UnknownObject"), std::string::npos) << refused;
    EXPECT_EQ(data.calls.back(), "poke CONV=from the shell");
    EXPECT_EQ(commands.calls, (std::vector<std::string>{"execute 03 INFO hi"}));
}

TEST_F(DdeFromTheShell, BusctlListsTheTopics) {
    if (!test::requireTool("busctl")) return;
    const std::string tree =
        run({"busctl", "--address=" + daemon.address(), "tree", "--list", "org.norva.norva"});
    EXPECT_NE(tree.find("/org/norva/topic/01/03\n"), std::string::npos) << tree;
    EXPECT_NE(tree.find("/org/norva/topic/Channel3\n"), std::string::npos) << tree;
}

TEST_F(DdeServiceTest, ASecondStartHandsItsFileToTheRunningOne) {
    std::vector<std::string> opened;
    OpenFileTopic openTopic([&](const std::string& path) { opened.push_back(path); });
    ASSERT_TRUE(service->registerTopic(kOpenFileTopic, openTopic));
    std::map<std::string, bool> answers;
    ASSERT_TRUE(handOffOpen(peer->client, "norva", "/home/op/stations/DB0 XY.stn",
                            [&](bool ok) { answers["norva"] = ok; }));
    // No Norva under that name: the second start carries on by itself.
    ASSERT_TRUE(handOffOpen(peer->client, "other", "/x.stn", [&](bool ok) { answers["other"] = ok; }));
    ASSERT_TRUE(serve([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, (std::map<std::string, bool>{{"norva", true}, {"other", false}}));
    EXPECT_EQ(opened, (std::vector<std::string>{"/home/op/stations/DB0 XY.stn"}));
}

TEST(OpenCommand, ThePathIsEverythingAfterTheFirstWord) {
    EXPECT_EQ(openCommandPath("open /a/b c.stn"), "/a/b c.stn");
    EXPECT_EQ(openCommandPath("  open   x.stn\r\n"), "x.stn");
    EXPECT_EQ(openCommandPath("open"), "");
    EXPECT_EQ(openCommandPath("open   "), "");
    EXPECT_EQ(openCommandPath(""), "");
    std::vector<std::string> opened;
    OpenFileTopic topic([&](const std::string& p) { opened.push_back(p); });
    EXPECT_TRUE(topic.execute("open"));  // acknowledged even without a file
    EXPECT_TRUE(topic.execute("open f.stn"));
    EXPECT_EQ(opened, (std::vector<std::string>{"f.stn"}));
}

}  // namespace
}  // namespace norva
