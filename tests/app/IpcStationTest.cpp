// The IPC service of a running station on a private bus, driven the way a
// shell user drives it: gdbus sends text into a channel, reads its items,
// runs TNC commands; a station file is handed over; without a bus the
// station runs and says once that the service is off.
#include <gtest/gtest.h>

#include "channel/StationRig.h"
#include "app/SingleInstance.h"
#include "dde/PrivateBus.h"

namespace norva::test {
namespace {

// Runs gdbus on the station's bus until it ends; its output.
std::string gdbus(const std::string& address, const std::string& path, const std::string& method,
                  std::vector<std::string> args) {
    std::vector<std::string> argv = {"gdbus", "call", "--address", address, "--dest", "org.norva.norva",
                                     "--object-path", path, "--method", "org.norva.Dde." + method};
    for (auto& a : args) argv.push_back(std::move(a));
    ShellTool tool(std::move(argv));
    for (int i = 0; i < 500 && !tool.finished(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return tool.output();
}

TEST(IpcStation, AShellUserDrivesAChannelOverTheBus) {
    PrivateBus bus;
    if (!requireBus(bus) || !requireTool("gdbus")) return;
    TwoStations two;
    two.a.busAddress = bus.address();
    ASSERT_TRUE(two.start());
    Station& a = two.a;
    Station& b = two.b;
    ASSERT_TRUE(eventually([&] { return a.dir.read("system.log").find("IPC service on: org.norva.norva") != std::string::npos; }))
        << a.dir.read("system.log");

    // A TNC command through the command topic connects; text goes out on the channel.
    EXPECT_EQ(gdbus(bus.address(), "/org/norva/topic/Channel1", "Execute", {"01 ATNC C DB1BBB"}), "(true,)\n");
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }));
    EXPECT_EQ(gdbus(bus.address(), "/org/norva/topic/Channel1", "Execute", {"01 INFO Hallo vom Bus"}), "(true,)\n");
    ASSERT_TRUE(eventually([&] { return b.output().find("Hallo vom Bus") != std::string::npos; })) << b.output();
    EXPECT_EQ(gdbus(bus.address(), "/org/norva/topic/Channel1", "Execute", {"02 INFO wrong channel"}), "(false,)\n");

    // What B sends is the channel's INFO item; its call is DESTCALL.
    b.console->line("Gruss zurueck");
    ASSERT_TRUE(eventually([&] {
        return gdbus(bus.address(), "/org/norva/topic/01/01", "Request", {"INFO"}).find("Gruss zurueck") !=
               std::string::npos;
    }));
    EXPECT_EQ(gdbus(bus.address(), "/org/norva/topic/01/01", "Request", {"DESTCALL"}), "('DB1BBB',)\n");
    EXPECT_NE(gdbus(bus.address(), "/org/norva/topic/09/01", "Request", {"INFO"}).find("UnknownObject"),
              std::string::npos);

    // The desktop hands over a station file.
    EXPECT_EQ(gdbus(bus.address(), "/org/norva/topic/OpenChannelFile", "Execute", {"open /tmp/x y.stn"}),
              "(true,)\n");
    EXPECT_TRUE(eventually([&] { return a.errors().find("*** Stationsdatei /tmp/x y.stn") != std::string::npos; }))
        << a.errors();
}

TEST(IpcStation, WithoutABusTheStationRunsAndSaysSoOnce) {
    Station s;
    s.start("", "DA1AAA");
    s.console->line(":help");
    ASSERT_TRUE(eventually([&] { return s.errors().find(":mailbox") != std::string::npos; }));
    ASSERT_TRUE(eventually([&] { return s.dir.read("system.log").find("IPC service off: ") != std::string::npos; }));
    EXPECT_EQ(s.engine->call([] { return 7; }), 7) << "the engine serves on";
    const std::string log = s.dir.read("system.log");
    const auto first = log.find("IPC service off: ");
    EXPECT_EQ(log.find("IPC service off: ", first + 1), std::string::npos);
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

TEST(IpcStation, ASecondStartHandsItsStationFileToTheRunningNorva) {
    PrivateBus bus;
    if (!requireBus(bus)) return;
    EXPECT_FALSE(handOffToRunningNorva(bus.address(), "norva", {"/tmp/a.stn"}, 500)) << "nobody runs yet";
    Station s;
    s.busAddress = bus.address();
    s.start("", "DA1AAA");
    ASSERT_TRUE(eventually([&] { return s.dir.read("system.log").find("IPC service on") != std::string::npos; }));
    EXPECT_TRUE(handOffToRunningNorva(bus.address(), "norva", {"/tmp/my station.stn"}));
    EXPECT_TRUE(eventually([&] { return s.errors().find("*** Stationsdatei /tmp/my station.stn") != std::string::npos; }))
        << s.errors();
    EXPECT_FALSE(handOffToRunningNorva(bus.address(), "other", {"/tmp/a.stn"}, 500)) << "another station's name";
    EXPECT_FALSE(handOffToRunningNorva("unix:path=/nonexistent/bus", "norva", {"/tmp/a.stn"}, 500));
}

}  // namespace
}  // namespace norva::test
