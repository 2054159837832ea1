// A route found on the map becomes lines of a connect script.
#include <gtest/gtest.h>

#include "map/KartexLink.h"
#include "map/MapOperations.h"

namespace norva {
namespace {

TEST(RouteScript, ANewScriptStartsWithTheMarkerAndConnectsHopByHop) {
    EXPECT_EQ(appendRouteToScript("", "DB0AAA,DB0BBB,DB0CCC"),
              "**c DB0AAA\r\n**waitfor connected\r\n"
              "c DB0BBB\r\n**waitfor connected\r\n"
              "c DB0CCC\r\n**waitfor connected\r\n");
    // One station: one connect and one wait.
    EXPECT_EQ(appendRouteToScript("", "DB0AAA"), "**c DB0AAA\r\n**waitfor connected\r\n");
    // Leading blanks of each station go.
    EXPECT_EQ(appendRouteToScript("", "  DB0AAA,   DB0BBB"),
              "**c DB0AAA\r\n**waitfor connected\r\nc DB0BBB\r\n**waitfor connected\r\n");
}

TEST(RouteScript, ASecondRouteGoesOnWithoutItsFirstStation) {
    const std::string first = appendRouteToScript("", "DB0AAA,DB0BBB");
    const std::string both = appendRouteToScript(first, "DB0BBB,DB0CCC,DB0DDD");
    EXPECT_EQ(both, first + "c DB0CCC\r\n**waitfor connected\r\nc DB0DDD\r\n**waitfor connected\r\n");
    // A one-station route adds nothing to an existing script.
    EXPECT_EQ(appendRouteToScript(first, "DB0BBB"), first);
}

TEST(RouteScript, StationsFromTheMapCannotInjectLines) {
    // A CR or LF inside a station would make a script line of its own.
    EXPECT_EQ(appendRouteToScript("", "DB0AAA\r\n**run evil,DB0\x01" "BBB"),
              "**c DB0AAA**run evil\r\n**waitfor connected\r\nc DB0BBB\r\n**waitfor connected\r\n");
    // Empty stations are skipped; nothing at all leaves the script as it was.
    EXPECT_EQ(appendRouteToScript("", ",,  ,"), "");
    EXPECT_EQ(appendRouteToScript("", "DB0AAA,,DB0BBB"),
              "**c DB0AAA\r\n**waitfor connected\r\nc DB0BBB\r\n**waitfor connected\r\n");
    // A station is at most 80 bytes.
    const std::string longCall(300, 'X');
    EXPECT_EQ(appendRouteToScript("", longCall), "**c " + std::string(80, 'X') + "\r\n**waitfor connected\r\n");
}

TEST(RouteScript, RouteErrorsAreTheTextsThatSayFehler) {
    for (std::string_view e : {kRouteNoEnds, kRouteSameEnds, kRouteNoMap, kRouteSendFailed, kRouteNotFound})
        EXPECT_TRUE(isRouteError(e)) << e;
    EXPECT_FALSE(isRouteError("DB0AAA,DB0BBB"));
    EXPECT_EQ(kRouteSendFailed, "Fehler bei \xC3\x9C" "bertragung zu Kartex");
}

TEST(RouteScript, TextsFromTheMapAreCutOnACharacterBoundary) {
    EXPECT_EQ(cutUtf8("abc", 5), "abc");
    EXPECT_EQ(cutUtf8("ab\xC3\x9C" "x", 3), "ab");  // the two-byte Ü does not fit
    EXPECT_EQ(cutUtf8("ab\xC3\x9C" "x", 4), "ab\xC3\x9C");
    EXPECT_EQ(cutUtf8(std::string(3000, 'a'), kMapResultLimit).size(), kMapResultLimit);
}

}  // namespace
}  // namespace norva
