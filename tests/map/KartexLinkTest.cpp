// The map commands against a fake map program on a private bus: the exact
// texts sent, the route query's answers and errors, the map flag when no
// map is there, and a map that never answers.
#include <gtest/gtest.h>

#include <chrono>

#include "FakeMap.h"
#include "map/KartexLink.h"
#include "map/MapAvailability.h"
#include "map/MapOperations.h"

namespace norva::test {
namespace {

using Strings = std::vector<std::string>;

class KartexLinkTest : public MapBusTest {
protected:
    // Connects a new link; true when the map answered.
    bool connect(CKartexLink& link) {
        bool done = false, ok = false;
        link.connect([&](bool r) {
            done = true;
            ok = r;
        });
        EXPECT_TRUE(serve([&] { return done; }));
        return ok;
    }
    template <class Op>
    void run(Op op) {
        bool done = false;
        op([&] { done = true; });
        ASSERT_TRUE(serve([&] { return done; }));
    }
    std::string text(std::function<void(ThenText)> op) {
        std::string out = "\x01unset";
        op([&](std::string r) { out = std::move(r); });
        EXPECT_TRUE(serve([&] { return out != "\x01unset"; }));
        return out;
    }

    MapAvailability flag{true};
};

TEST_F(KartexLinkTest, ShowStationSelectsThenMarksTheCallInUpperCase) {
    startMap();
    CKartexLink link(client.get(), flag);
    ASSERT_TRUE(connect(link));
    run([&](Then d) { showStation(link, "db0abc", d); });
    EXPECT_EQ(map.executes, (Strings{"SelStn:DB0ABC", "MarkStn:DB0ABC"}));
    map.executes.clear();
    // An empty call sends nothing; mark and link alone send one line each.
    run([&](Then d) { showStation(link, "", d); });
    run([&](Then d) { markStation(link, "dl1xyz-3", d); });
    run([&](Then d) { drawLink(link, "db0aaa", "Db0Bbb", d); });
    // A call from the air cannot split a command's arguments or its line.
    run([&](Then d) { drawLink(link, "db0\r,aaa", "x\x01y", d); });
    EXPECT_EQ(map.executes, (Strings{"MarkStn:DL1XYZ-3", "DrawLink:DB0AAA,DB0BBB", "DrawLink:DB0AAA,XY"}));
    // After the conversation ends nothing more is sent.
    link.disconnect();
    run([&](Then d) { showStation(link, "db0abc", d); });
    run([&](Then d) { drawLink(link, "a", "b", d); });
    EXPECT_EQ(map.executes.size(), 3u);
}

TEST_F(KartexLinkTest, RouteQueriesAnswerTheRouteOrTheirErrorTexts) {
    startMap();
    CKartexLink link(client.get(), flag);
    // Not connected yet: the map counts as not found.
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "a", "b", d); }), kRouteNoMap);
    ASSERT_TRUE(connect(link));
    map.routes["DB0AAA,DB0CCC"] = "DB0AAA,DB0BBB,DB0CCC";
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "db0aaa", "db0ccc", d); }), "DB0AAA,DB0BBB,DB0CCC");
    EXPECT_EQ(map.executes, (Strings{"GetRoute:DB0AAA,DB0CCC"}));
    // "6": no way between them.
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "db0aaa", "db0zzz", d); }), "Fehler: keinen Weg gefunden.");
    // Asked for nothing: no query goes out.
    map.executes.clear();
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "", "db0zzz", d); }), "Fehler: keine Quelle oder kein Ziel");
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "db0aaa", "", d); }), "Fehler: keine Quelle oder kein Ziel");
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "Db0Aaa", "dB0aAA", d); }), "Fehler: Quelle = Ziel");
    EXPECT_TRUE(map.executes.empty());
    // The map's answer is used up to 2048 bytes.
    map.routes["A,B"] = std::string(5000, 'R');
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "a", "b", d); }).size(), kMapResultLimit);
    // The flag went off meanwhile: the query cannot be sent.
    flag = MapAvailability(false);
    EXPECT_EQ(text([&](ThenText d) { getRoute(link, "a", "b", d); }), "Fehler bei \xC3\x9C" "bertragung zu Kartex");
}

TEST_F(KartexLinkTest, ARouteIsDrawnHopByHopThenMarkedThenTheDestinationShown) {
    startMap();
    CKartexLink link(client.get(), flag);
    ASSERT_TRUE(connect(link));
    map.routes["DB0AAA,DB0CCC"] = "DB0AAA, DB0BBB,DB0CCC";
    EXPECT_EQ(text([&](ThenText d) { showRouteTo(link, "db0aaa", "db0ccc", d); }), "DB0AAA, DB0BBB,DB0CCC");
    EXPECT_EQ(map.executes, (Strings{"GetRoute:DB0AAA,DB0CCC",
                                     "SelStn:DB0AAA", "MarkStn:DB0AAA",
                                     "DrawLink:DB0AAA,DB0BBB", "DrawLink:DB0BBB,DB0CCC",
                                     "SelStn:DB0AAA", "MarkStn:DB0AAA", "MarkStn:DB0BBB", "MarkStn:DB0CCC",
                                     "SelStn:DB0CCC", "MarkStn:DB0CCC"}));
    // No route: nothing drawn, the destination still shown.
    map.executes.clear();
    EXPECT_EQ(text([&](ThenText d) { showRouteTo(link, "db0aaa", "db0nix", d); }), kRouteNotFound);
    EXPECT_EQ(map.executes, (Strings{"GetRoute:DB0AAA,DB0NIX", "SelStn:DB0NIX", "MarkStn:DB0NIX"}));
    // A one-station route draws no link.
    map.executes.clear();
    run([&](Then d) { showRoute(link, "DB0AAA", 1, d); });
    EXPECT_EQ(map.executes, (Strings{"SelStn:DB0AAA", "MarkStn:DB0AAA"}));
    // A long route runs as a flat chain (no deep recursion) and sends every hop.
    map.executes.clear();
    std::string longRoute = "N0";
    for (int i = 1; i < 300; ++i) longRoute += ",N" + std::to_string(i);
    run([&](Then d) { showRoute(link, longRoute, 1, d); });
    ASSERT_EQ(map.executes.size(), 2u + 299u);
    EXPECT_EQ(map.executes.back(), "DrawLink:N298,N299");
}

TEST_F(KartexLinkTest, StationInformationIsTheMapsRecordOrEmpty) {
    startMap();
    CKartexLink link(client.get(), flag);
    ASSERT_TRUE(connect(link));
    map.infos["DB0ABC"] = "DB0ABC,JO62,,,,,,,,Hans,Berlin";
    EXPECT_EQ(text([&](ThenText d) { stationInfo(link, "db0abc", d); }), "DB0ABC,JO62,,,,,,,,Hans,Berlin");
    EXPECT_EQ(map.executes, (Strings{"GetStnInfo:DB0ABC"}));
    // "3": the map knows nothing about the station.
    EXPECT_EQ(text([&](ThenText d) { stationInfo(link, "dl9zzz", d); }), "");
    map.station = "db0sel";
    EXPECT_EQ(text([&](ThenText d) { link.requestStation(d); }), "db0sel");
    map.station = std::string(400, 'S');
    EXPECT_EQ(text([&](ThenText d) { link.requestStation(d); }).size(), kMapStationLimit);
    flag = MapAvailability(false);
    EXPECT_EQ(text([&](ThenText d) { stationInfo(link, "db0abc", d); }), "");
}

TEST_F(KartexLinkTest, WithoutAMapTheFlagGoesOffAndOnlyTheFirstFailureIsReported) {
    CKartexLink link(client.get(), flag);
    EXPECT_FALSE(connect(link));
    EXPECT_FALSE(flag.available());
    EXPECT_TRUE(link.firstFailure());
    // Flag off: nothing is asked at all.
    bool answered = false;
    link.connect([&](bool ok) { answered = !ok; });
    EXPECT_TRUE(answered) << "refused at once";
    EXPECT_EQ(client->pending(), 0u);
    // A map command switches the flag on and tries again; no second report.
    flag.switchOn();
    EXPECT_FALSE(connect(link));
    EXPECT_FALSE(link.firstFailure());
    EXPECT_FALSE(flag.available());
    // The map starts later: the next command finds it.
    startMap();
    flag.switchOn();
    EXPECT_TRUE(connect(link));
    EXPECT_TRUE(flag.available());

    // A service of that name without the topic is no map either.
    MapAvailability other(true);
    CKartexLink wrong(client.get(), other);
    mapService->unregisterTopic("MAP");
    EXPECT_FALSE(connect(wrong));
    EXPECT_FALSE(other.available());
    // No bus at all: refused at once.
    MapAvailability none(true);
    CKartexLink noBus(nullptr, none);
    bool refused = false;
    noBus.connect([&](bool ok) { refused = !ok; });
    EXPECT_TRUE(refused);
    EXPECT_TRUE(noBus.firstFailure());
}

TEST_F(KartexLinkTest, AHungMapCostsOneTimeOutAndNeverBlocks) {
    startMap();
    CKartexLink link(client.get(), flag, MapTimeouts{300'000, 300'000});
    ASSERT_TRUE(connect(link));
    // The map stops answering in the middle of the conversation.
    serveMap = false;
    const auto start = std::chrono::steady_clock::now();
    bool done = false;
    showRoute(link, "A,B,C,D,E,F", 1, [&] { done = true; });
    const auto returned = std::chrono::steady_clock::now() - start;
    EXPECT_LT(returned, std::chrono::milliseconds(100)) << "the call returns at once";
    EXPECT_FALSE(done);
    ASSERT_TRUE(serve([&] { return done; }, 3000));
    const auto total = std::chrono::steady_clock::now() - start;
    // One time-out ends the conversation; the rest of the chain is skipped.
    EXPECT_LT(total, std::chrono::milliseconds(1000));
    EXPECT_FALSE(link.connected());
    EXPECT_EQ(link.pending(), 0);
    // The connect of a hung map fails by its time-out and clears the flag.
    CKartexLink second(client.get(), flag, MapTimeouts{300'000, 300'000});
    EXPECT_FALSE(connect(second));
    EXPECT_FALSE(flag.available());
}

TEST_F(KartexLinkTest, AnswersForAGoneLinkAreDropped) {
    startMap();
    bool called = false;
    {
        auto link = std::make_unique<CKartexLink>(client.get(), flag);
        link->connect([&](bool) { called = true; });
    }
    serve([] { return false; }, 300);
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace norva::test
