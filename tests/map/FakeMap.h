// A map program on a private bus for the map tests: the service "KXWIN"
// with the topic "MAP", which records every execute and answers RESULT and
// STATION as the test sets them. Norva's side has its own bus connection
// and client; serve() runs both the way the engine loop does.
#pragma once

#include <gtest/gtest.h>

#include <poll.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dde/BusNames.h"
#include "dde/DdeBus.h"
#include "dde/DdeClient.h"
#include "dde/DdeService.h"
#include "dde/PrivateBus.h"

namespace norva::test {

struct FakeMapTopic : DdeTopicHandler {
    bool execute(std::string_view command) override {
        executes.emplace_back(command);
        const std::string c(command);
        if (c.rfind("GetRoute:", 0) == 0) {
            const auto it = routes.find(c.substr(9));
            result = it == routes.end() ? "6" : it->second;
        } else if (c.rfind("GetStnInfo:", 0) == 0) {
            const auto it = infos.find(c.substr(11));
            result = it == infos.end() ? "3" : it->second;
        }
        return true;
    }
    std::optional<std::string> request(std::string_view item) override {
        requests.emplace_back(item);
        if (upperAscii(item) == "RESULT") return result;
        if (upperAscii(item) == "STATION") return station;
        return std::nullopt;
    }
    std::vector<std::string> executes;
    std::vector<std::string> requests;
    std::map<std::string, std::string> routes;  // "A,B" -> route
    std::map<std::string, std::string> infos;   // call -> record
    std::string result;
    std::string station;
};

class MapBusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!requireBus(daemon)) return;
        auto opened = DdeBus::open(daemon.address());
        ASSERT_TRUE(opened.bus) << opened.error;
        norvaBus = std::move(opened.bus);
        client = std::make_unique<DdeClient>(*norvaBus);
    }
    // The map program starts.
    void startMap(std::string_view service = "KXWIN") {
        auto opened = DdeBus::open(daemon.address());
        ASSERT_TRUE(opened.bus) << opened.error;
        mapBus = std::move(opened.bus);
        auto created = DdeService::create(*mapBus, service);
        ASSERT_TRUE(created.service) << created.error;
        mapService = std::move(created.service);
        ASSERT_TRUE(mapService->registerTopic("MAP", map));
        ASSERT_TRUE(serve([&] { return mapService->nameState() == DdeService::NameState::Owned; }));
    }
    // Serves Norva's bus, and the map's while serveMap holds (checked on
    // every round, so a test can hang the map halfway), until pred() holds.
    template <class Pred>
    bool serve(Pred pred, int ms = 5000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            norvaBus->process();
            if (mapBus && serveMap) mapBus->process();
            if (pred()) return true;
            if (std::chrono::steady_clock::now() >= end) return false;
            std::vector<pollfd> fds{pollfd{norvaBus->fd(), norvaBus->events(), 0}};
            if (mapBus && serveMap) fds.push_back(pollfd{mapBus->fd(), mapBus->events(), 0});
            ::poll(fds.data(), fds.size(), 10);
        }
    }

    PrivateBus daemon;
    std::unique_ptr<DdeBus> norvaBus;
    std::unique_ptr<DdeClient> client;
    std::unique_ptr<DdeBus> mapBus;
    std::unique_ptr<DdeService> mapService;
    bool serveMap = true;  // false: the map program hangs
    FakeMapTopic map;
};

}  // namespace norva::test
