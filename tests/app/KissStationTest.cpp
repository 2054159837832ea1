// A station whose TNC is a KISS modem, set up as an operator sets it up: one
// ComPort line "kiss:tcp:HOST:PORT" in norva.ini and nothing else. Two such
// stations reach each other's remote server through a relay.
#include <gtest/gtest.h>

#include "channel/StationRig.h"
#include "kiss/KissRelay.h"

namespace norva::test {
namespace {

TEST(KissStation, AComPortLineIsAllAKissStationNeeds) {
    KissRelay relay({});
    ASSERT_TRUE(relay.start());
    Station a;
    Station b;
    a.start("kiss:tcp:127.0.0.1:" + std::to_string(relay.port(0)), "DA1AAA");
    b.start("kiss:tcp:127.0.0.1:" + std::to_string(relay.port(1)), "DB1BBB");
    ASSERT_TRUE(eventually([&] { return a.tncOpen() && b.tncOpen(); })) << a.errors() << b.errors();

    a.console->line(":ch 1/1");
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) >= 4 && b.linkState(1) >= 4; }, 20000))
        << a.output() << b.output();
    EXPECT_EQ(a.destCall(1), "DB1BBB");
    // B's remote server greets and answers as over any TNC.
    a.console->line("//dir");
    EXPECT_TRUE(eventually([&] { return a.output().find(" de DB1BBB (") != std::string::npos; }, 20000))
        << a.output();
    a.console->line("\\e d");
    EXPECT_TRUE(eventually([&] { return a.linkState(1) == 0 && b.linkState(1) == 0; }, 20000)) << a.output();
}

}  // namespace
}  // namespace norva::test
