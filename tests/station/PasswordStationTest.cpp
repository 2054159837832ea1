// Password answering between a whole headless station and a simulated
// FlexNet-style node on the tncsim radio: the connect script reaches the
// destination through the node, PWD fetches the challenge, the answer lands
// in the input pane, the operator sends it and the node grants the rights.
#include <gtest/gtest.h>

#include "StationRig.h"
#include "station/PasswordFile.h"
#include "tncsim/SimStation.h"

namespace norva::test {
namespace {

TEST(SimNode, PretendsOnwardLinksAndChecksTheSameOrderSum) {
    tncsim::SimStation node("db0nod");
    tncsim::SimStation plain("db0pln");
    node.setNode({"SYS", "12345", "54321"});
    EXPECT_EQ(node.receive(1, "C db1des\r").text, "*** connected to DB1DES\r");
    EXPECT_EQ(node.receive(1, "sys\r").text, "DB0NOD 54321>\r");
    EXPECT_EQ(node.receive(1, "55\r").text, "wrong\r") << "the reversed pairing is refused";
    EXPECT_EQ(node.receive(1, "SYS\r").text, "DB0NOD 54321>\r");
    EXPECT_EQ(node.receive(1, "35\r").text, "Sysop privileges granted\r");
    EXPECT_EQ(node.receive(1, "35\r").text, "35\r") << "only the line after the challenge counts";
    EXPECT_EQ(node.grants(), 1);
    EXPECT_EQ(plain.receive(1, "c db1des\r").text, "c db1des\r") << "a plain station only echoes";
    EXPECT_EQ(tncsim::flexNetSum("4567", "1203"), "35");
}

TEST(PasswordStation, ConnectScriptThroughTheNodeThenPwdAndTheNodeAccepts) {
    tncsim::Radio radio;
    tncsim::PtyServer server{radio.addTnc({})};
    {
        std::lock_guard lock(radio.mutex());
        radio.addStation("DB0NOD").setNode({"SYS", "12345", "54321"});
    }
    ASSERT_TRUE(server.start()) << server.error();

    Station a;
    a.start(server.slavePath(), "DA1AAA");
    ASSERT_TRUE(eventually([&] { return a.tncOpen(); })) << a.errors();
    const auto hasJob = [&](JobSlot slot) {
        return a.onChannel(1, [slot](CTncChannel& c) { return c.job(slot) != nullptr; });
    };
    a.dir.write("viadb0nod.scr", "**c db0nod\r\n**Waitfor Connected to\r\nc db1des\r\n**Waitfor Connected to\r\n");
    ASSERT_TRUE(writeNodePassword(a.dir / "DB1DES.pwd", "12345", "SYS"));
    ASSERT_TRUE(writePasswordKey(a.dir / "DB1DES.pwd", "StationMode", "FlexNet"));

    a.console->line(":ch 1/1");
    a.console->line(":script viadb0nod");
    ASSERT_TRUE(eventually([&] { return a.destCall(1) == "DB1DES" && !hasJob(JobSlot::Script); }))
        << a.output() << a.errors();

    a.console->line(":pwd");
    // No input pane on a console: the line to send is shown.
    ASSERT_TRUE(eventually([&] { return a.errors().find("input #2 [1/1]: 35\n") != std::string::npos; }))
        << a.errors() << a.output();
    EXPECT_TRUE(eventually([&] { return !hasJob(JobSlot::Password); }));

    // The operator sends the line the input pane now holds.
    a.console->line("35");
    ASSERT_TRUE(eventually([&] {
        return a.output().find("Sysop privileges granted") != std::string::npos;
    })) << a.output();
    {
        std::lock_guard lock(radio.mutex());
        EXPECT_EQ(radio.findStation("DB0NOD")->grants(), 1);
        EXPECT_NE(radio.findStation("DB0NOD")->received().find("SYS\r"), std::string::npos);
    }
    // The secret went nowhere but its file.
    EXPECT_EQ(a.output().find("12345"), std::string::npos);
    EXPECT_EQ(a.errors().find("12345"), std::string::npos);
    EXPECT_EQ(a.dir.read("system.log").find("12345"), std::string::npos);
    EXPECT_EQ(a.dir.read("norva.log").find("12345"), std::string::npos);
}

}  // namespace
}  // namespace norva::test
