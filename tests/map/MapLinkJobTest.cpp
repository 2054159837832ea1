// The map link job on channels of a scripted TNC, with the map program on a
// private bus: the map follows a direct connect and an onward connect, a
// missing or hung map switches it off with one notice, and the station
// information of a destination is kept for the next connect.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeMap.h"
#include "channel/ChannelRig.h"
#include "map/MapLinkJob.h"
#include "map/MapMenu.h"
#include "map/MapProgram.h"
#include "map/StationInfoCache.h"

namespace norva::test {
namespace {

using Strings = std::vector<std::string>;

struct MapFactory : ChannelJobFactory {
    std::unique_ptr<CMapLinkJob> mapLinkJob(CTncChannel& ch) override {
        auto job = makeMapLinkJob(ch, *map);
        jobs[ch.slot()] = static_cast<MapLinkJob*>(job.get());
        return job;
    }
    MapProgram* map = nullptr;
    std::map<int, MapLinkJob*> jobs;
};

class MapLinkJobTest : public MapBusTest {
protected:
    void SetUp() override {
        MapBusTest::SetUp();
        if (IsSkipped()) return;
        rig.dir.write("alias.dat", "[call]\r\nDB0XYZ=XYZNOD\r\n");
        makeProgram(MapTimeouts{});
        rig.ctx.channels.hooks().setJobs(&factory);
        rig.configure(1, 4, "DL1XYZ");
        rig.create();
    }
    void makeProgram(MapTimeouts timeouts) {
        program = std::make_unique<MapProgram>(
            client.get(), MapAvailability(true), rig.dir / "alias.dat",
            [this](std::string_view line) { notices.emplace_back(line); }, timeouts);
        program->setTrace([this](std::string_view line) { trace.emplace_back(line); });
        factory.map = program.get();
        cache = std::make_unique<StationInfoCache>(*program);
        rig.ctx.channels.hooks().setMap(cache.get());
    }
    void TearDown() override {
        rig.host.reset();
        rig.ctx.channels.hooks().setJobs(nullptr);
        rig.ctx.channels.hooks().setMap(nullptr);
    }
    CTncChannel& ch(int n) { return rig.channel(1, n); }
    MapLinkJob& job(int n) { return *factory.jobs.at(ch(n).slot()); }
    void status(int n, std::string_view text) {
        rig.queueStatus(n, text);
        rig.poll(n);
    }
    void info(int n, std::string_view text) {
        rig.queueInfo(n, text);
        rig.poll(n);
    }
    // Polls the channel (each poll ticks its jobs) while serving the bus,
    // until the job is idle again and the station information is in.
    void settle(int n, int ms = 5000) {
        ASSERT_TRUE(serve(
            [&] {
                rig.poll(n);
                ++polls;
                return !job(n).busy() && job(n).first().empty() && !cache->asking();
            },
            ms))
            << MapLinkJob::stateName(job(n).state()) << " first=" << job(n).first() << " asking=" << cache->asking();
    }
    // What the map was told, without the station information queries.
    Strings drawn() const {
        Strings out;
        for (const std::string& e : map.executes)
            if (e.rfind("GetStnInfo:", 0) != 0) out.push_back(e);
        return out;
    }

    ChannelRig rig;
    MapFactory factory;
    std::unique_ptr<MapProgram> program;
    std::unique_ptr<StationInfoCache> cache;
    Strings notices, trace;
    int polls = 0;
};

TEST_F(MapLinkJobTest, TheMapFollowsADirectConnectAndAnOnwardConnect) {
    startMap();
    map.infos["DB0ABC"] = "DB0ABC,JN58,,,,,,,,Sepp,Augsburg";
    status(2, "(2) CONNECTED to DB0ABC");
    EXPECT_EQ(job(2).first(), "DB0ABC");
    settle(2);
    EXPECT_EQ(drawn(), (Strings{"SelStn:DB0ABC", "MarkStn:DB0ABC"}));
    // The first connect asked for the station information; it is there for the next.
    EXPECT_EQ(ch(2).linkState().stationInfo(), "");
    EXPECT_TRUE(cache->cached("DB0ABC"));

    // Onward through the node: the hop is drawn as the route from the node.
    map.executes.clear();
    map.routes["DB0ABC,DB0XYZ"] = "DB0ABC,DB0MID,DB0XYZ";
    ch(2).textOut("c xyznod\r", kKindInfo, false);
    info(2, "*** connected to XYZNOD:DB0XYZ\r");
    settle(2);
    EXPECT_EQ(drawn(), (Strings{"GetRoute:DB0ABC,DB0XYZ",
                                "SelStn:DB0ABC", "MarkStn:DB0ABC",
                                "DrawLink:DB0ABC,DB0MID", "DrawLink:DB0MID,DB0XYZ",
                                "SelStn:DB0ABC", "MarkStn:DB0ABC", "MarkStn:DB0MID", "MarkStn:DB0XYZ",
                                "SelStn:DB0XYZ", "MarkStn:DB0XYZ"}));
    // Each state change went through the trace.
    EXPECT_NE(std::find(trace.begin(), trace.end(), "map 1/2: getting route -> drawing links"), trace.end());

    // Reconnected to the first node: it is shown again, now with its record.
    map.executes.clear();
    status(2, "(2) DISCONNECTED fm DB0XYZ");
    status(2, "(2) CONNECTED to DB0ABC");
    EXPECT_EQ(ch(2).linkState().stationInfo(), "DB0ABC,JN58,,,,,,,,Sepp,Augsburg");
    settle(2);
    EXPECT_EQ(drawn(), (Strings{"SelStn:DB0ABC", "MarkStn:DB0ABC"}));
    EXPECT_TRUE(notices.empty());
}

TEST_F(MapLinkJobTest, CallsAreResolvedThroughTheAliasList) {
    job(3).setPair("xyznod", "db0abc");
    EXPECT_EQ(job(3).first(), "DB0XYZ");
    EXPECT_EQ(job(3).second(), "DB0ABC");
    // A listed call stays itself.
    job(3).setPair("db0xyz", "");
    EXPECT_EQ(job(3).first(), "DB0XYZ");
    EXPECT_EQ(job(3).second(), "");
}

TEST_F(MapLinkJobTest, WithoutAMapOneNoticeAndNothingElseChanges) {
    status(2, "(2) CONNECTED to DB0ABC");
    // The job and the station information both try; whichever fails first
    // switches the map off and the other one then does not try.
    ASSERT_TRUE(serve([&] {
        rig.poll(2);
        return !program->availability().available() && !job(2).busy() && !cache->asking() &&
               client->pending() == 0;
    }));
    EXPECT_EQ(notices, (Strings{std::string(kMapNotFoundLog)}));
    // Further connects do not try again, and say nothing more.
    status(3, "(3) CONNECTED to DB0XYZ");
    polls = 0;
    ASSERT_TRUE(serve([&] {
        rig.poll(3);
        return ++polls > 20;
    }));
    EXPECT_EQ(job(3).state(), MapLinkJob::State::Idle);
    EXPECT_EQ(job(3).first(), "DB0XYZ") << "kept for when the map is back";
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_EQ(client->pending(), 0u);
    EXPECT_EQ(ch(3).linkState().destCall(), "DB0XYZ");

    // The map is started and a map command switches the flag on: the next connect shows.
    startMap();
    program->availability().switchOn();
    status(4, "(4) CONNECTED to DB0NEW");
    settle(4);
    EXPECT_EQ(drawn(), (Strings{"SelStn:DB0NEW", "MarkStn:DB0NEW"}));
    EXPECT_EQ(notices.size(), 1u);
}

TEST_F(MapLinkJobTest, AHungMapTimesOutWithoutHoldingUpTheChannel) {
    startMap();
    makeProgram(MapTimeouts{300'000, 300'000});
    // New channels take the program with the short time-outs.
    rig.host.reset();
    rig.create();
    serveMap = false;
    status(2, "(2) CONNECTED to DB0ABC");
    polls = 0;
    settle(2, 3000);
    EXPECT_GT(polls, 10) << "the channel kept being polled while the map did not answer";
    EXPECT_FALSE(program->availability().available());
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_TRUE(map.executes.empty());
}

TEST_F(MapLinkJobTest, AMapThatStopsAnsweringHalfwayLeavesTheJobIdle) {
    startMap();
    makeProgram(MapTimeouts{2'000'000, 300'000});
    rig.host.reset();
    rig.create();
    map.routes["DB0ABC,DB0XYZ"] = "DB0ABC,DB0MID,DB0XYZ";
    job(2).setPair("DB0ABC", "DB0XYZ");
    // The map answers the connect and the route query, then hangs.
    ASSERT_TRUE(serve([&] {
        rig.poll(2);
        if (job(2).state() == MapLinkJob::State::DrawingLinks) serveMap = false;
        return !serveMap;
    }));
    settle(2, 3000);
    EXPECT_EQ(job(2).state(), MapLinkJob::State::Idle);
    // Only the first draw reached the queue before the map hung; the rest was skipped.
    EXPECT_LE(map.executes.size(), 3u);
    EXPECT_EQ(client->pending(), 0u);
    // The flag stays on: the map answered the connect, only a call was lost.
    EXPECT_TRUE(program->availability().available());
}

TEST_F(MapLinkJobTest, AStepThatNeverEndsIsGivenUp) {
    startMap();
    serveMap = false;  // the connect is never answered within 20 s
    job(2).setPair("DB0ABC", "");
    ch(2).tick();
    EXPECT_EQ(job(2).state(), MapLinkJob::State::Connecting);
    rig.clock.advanceMs(MapLinkJob::kStepLimitMs + 1);
    ch(2).tick();
    ch(2).tick();
    EXPECT_EQ(job(2).state(), MapLinkJob::State::Idle);
    // Its late answer changes nothing.
    serveMap = true;
    ASSERT_TRUE(serve([&] { return client->pending() == 0; }));
    ch(2).tick();
    EXPECT_EQ(job(2).state(), MapLinkJob::State::Idle);
    EXPECT_TRUE(map.executes.empty());
}

TEST_F(MapLinkJobTest, StationInformationIsAskedOnceAndKeptWithinBounds) {
    startMap();
    map.infos["DB0ABC"] = "rec";
    EXPECT_EQ(cache->stationInfo("db0abc"), "");
    EXPECT_EQ(cache->stationInfo("DB0ABC"), "") << "asked already";
    ASSERT_TRUE(serve([&] { return !cache->asking(); }));
    EXPECT_EQ(cache->stationInfo("DB0ABC"), "rec");
    EXPECT_EQ(std::count(map.executes.begin(), map.executes.end(), "GetStnInfo:DB0ABC"), 1);
    // "3" is kept as an empty record: not asked again.
    EXPECT_EQ(cache->stationInfo("DL1NIX"), "");
    ASSERT_TRUE(serve([&] { return !cache->asking(); }));
    EXPECT_TRUE(cache->cached("DL1NIX"));
    // Many calls at once: the queue and the cache stay bounded.
    for (int i = 0; i < 200; ++i) cache->stationInfo("N" + std::to_string(i));
    EXPECT_LE(cache->queued(), StationInfoCache::kQueueLimit);
    ASSERT_TRUE(serve([&] { return !cache->asking(); }));
    for (int i = 200; i < 400; ++i) {
        cache->stationInfo("N" + std::to_string(i));
        ASSERT_TRUE(serve([&] { return !cache->asking(); }));
    }
    EXPECT_EQ(cache->size(), StationInfoCache::kCapacity);
    // Map switched off: nothing is asked.
    program->availability() = MapAvailability(false);
    const std::size_t before = map.executes.size();
    EXPECT_EQ(cache->stationInfo("DL9NEW"), "");
    EXPECT_FALSE(cache->asking());
    EXPECT_EQ(map.executes.size(), before);
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

// The operator's map commands (run on the engine thread).
class MapMenuTest : public MapLinkJobTest {
protected:
    bool found(std::function<void(MapFound)> op) {
        int result = -1;
        op([&](bool f) { result = f ? 1 : 0; });
        EXPECT_TRUE(serve([&] { return result >= 0; }));
        return result == 1;
    }
    std::string text(std::function<void(std::function<void(std::string)>)> op) {
        std::string out = "\x01";
        op([&](std::string r) { out = std::move(r); });
        EXPECT_TRUE(serve([&] { return out != "\x01"; }));
        return out;
    }
};

TEST_F(MapMenuTest, StationZeigenShowsTheClipboardsCallOrItsAliasesCall) {
    // KartexDde off at start: the command still tries.
    program->availability() = MapAvailability(false);
    EXPECT_FALSE(found([&](MapFound d) { showClipboardStation(*program, "db0abc", d); }));
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_FALSE(program->availability().available());

    startMap();
    EXPECT_TRUE(found([&](MapFound d) { showClipboardStation(*program, " xyznod ", d); }));
    EXPECT_TRUE(found([&](MapFound d) { showClipboardStation(*program, "not a call", d); }));
    EXPECT_TRUE(program->availability().available());
    EXPECT_EQ(drawn(), (Strings{"SelStn:DB0XYZ", "MarkStn:DB0XYZ"}));
    EXPECT_EQ(client->pending(), 0u);
}

TEST_F(MapMenuTest, AktuelleRouteAnzeigenDrawsFromTheEntryNodeToTheDestination) {
    startMap();
    // Not connected: the map is reached, nothing is drawn.
    EXPECT_TRUE(found([&](MapFound d) { showCurrentRoute(*program, &ch(2), d); }));
    EXPECT_TRUE(found([&](MapFound d) { showCurrentRoute(*program, nullptr, d); }));
    EXPECT_TRUE(drawn().empty());

    ch(2).textOut("* C DB0NOD", kKindCommand, false);
    status(2, "(2) CONNECTED to DB0NOD");
    ch(2).textOut("c xyznod\r", kKindInfo, false);
    info(2, "*** connected to XYZNOD:DB0XYZ\r");
    rig.lAnswers[2] = "0 0 0 0 0 4";
    for (int i = 0; i < 5; ++i) ch(2).poll(PollMode::StatusOnly);
    settle(2);
    map.executes.clear();
    map.routes["DB0NOD,DB0XYZ"] = "DB0NOD,DB0XYZ";
    EXPECT_TRUE(found([&](MapFound d) { showCurrentRoute(*program, &ch(2), d); }));
    EXPECT_EQ(drawn(), (Strings{"GetRoute:DB0NOD,DB0XYZ", "SelStn:DB0NOD", "MarkStn:DB0NOD",
                                "DrawLink:DB0NOD,DB0XYZ", "SelStn:DB0NOD", "MarkStn:DB0NOD", "MarkStn:DB0XYZ",
                                "SelStn:DB0XYZ", "MarkStn:DB0XYZ"}));
}

TEST_F(MapMenuTest, TheRouteDialogsConversationLooksAndShowsRoutes) {
    RouteSession session(*program);
    EXPECT_FALSE(found([&](MapFound d) { session.open(d); }));
    startMap();
    EXPECT_TRUE(found([&](MapFound d) { session.open(d); }));
    map.station = "db0sel";
    EXPECT_EQ(text([&](auto d) { session.lookStation(d); }), "DB0SEL");
    // A question still open is not asked twice.
    int answers = 0;
    session.lookStation([&](std::string) { ++answers; });
    session.lookStation([&](std::string) { ++answers; });
    ASSERT_TRUE(serve([&] { return answers > 0; }));
    serve([] { return false; }, 100);
    EXPECT_EQ(answers, 1);

    // An error shows nothing at all; a route is drawn, marked and its end shown.
    map.executes.clear();
    EXPECT_EQ(text([&](auto d) { session.showRoute("db0aaa", "db0nix", d); }), "Fehler: keinen Weg gefunden.");
    EXPECT_EQ(map.executes, (Strings{"GetRoute:DB0AAA,DB0NIX"}));
    map.executes.clear();
    map.routes["DB0AAA,DB0BBB"] = "DB0AAA,DB0BBB";
    EXPECT_EQ(text([&](auto d) { session.showRoute("db0aaa", "db0bbb", d); }), "DB0AAA,DB0BBB");
    EXPECT_EQ(map.executes, (Strings{"GetRoute:DB0AAA,DB0BBB", "SelStn:DB0AAA", "MarkStn:DB0AAA",
                                     "DrawLink:DB0AAA,DB0BBB", "SelStn:DB0AAA", "MarkStn:DB0AAA",
                                     "MarkStn:DB0BBB", "SelStn:DB0BBB", "MarkStn:DB0BBB"}));
    session.close();
    EXPECT_FALSE(session.connected());
}

}  // namespace
}  // namespace norva::test
