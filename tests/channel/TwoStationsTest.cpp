// Two headless stations on two simulated TNCs joined by the simulated radio:
// a connect, text across the link, a disconnect, and what each side makes
// of it (link states, own calls, norva.log). Also the headless console.
#include <gtest/gtest.h>

#include <fcntl.h>

#include <regex>

#include "StationRig.h"

namespace norva::test {
namespace {

using tncsim::SimTnc;

bool has(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

TEST(TwoStations, ConnectTalkAndDisconnect) {
    tncsim::Radio radio;
    tncsim::PtyServer serverA(radio.addTnc({}));
    tncsim::PtyServer serverB(radio.addTnc({}));
    ASSERT_TRUE(serverA.start()) << serverA.error();
    ASSERT_TRUE(serverB.start()) << serverB.error();

    Station a;
    Station b;
    a.start(serverA.slavePath(), "DA1AAA");
    b.start(serverB.slavePath(), "DB1BBB");
    ASSERT_TRUE(eventually([&] { return a.tncOpen() && b.tncOpen(); })) << a.errors() << b.errors();
    ASSERT_TRUE(eventually([&] {
        return serverB.withTnc([](SimTnc& t) { return t.channelCall(1); }) == "DB1BBB";
    })) << "B's channels carry its call";

    // A connects B on channel 1, typed as an Esc command line.
    a.console->line(":ch 1/1");
    a.console->line("\\e c db1bbb");
    ASSERT_TRUE(eventually([&] { return a.destCall(1) == "DB1BBB" && b.destCall(1) == "DA1AAA-1"; }))
        << "A: " << a.destCall(1) << " B: " << b.destCall(1) << "\n" << a.output() << b.output();
    EXPECT_TRUE(has(commandsOn(serverA, 1), "i DA1AAA-1")) << "channel 1 calls out with SSID 1";
    EXPECT_TRUE(has(commandsOn(serverA, 1), "C DB1BBB"));
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 4 && b.linkState(1) == 4; }));
    EXPECT_FALSE(a.onChannel(1, [](CTncChannel& c) { return c.settings().remote; }))
        << "A called: no remote commands from B";
    EXPECT_TRUE(b.onChannel(1, [](CTncChannel& c) { return c.settings().remote; }));
    EXPECT_NE(a.output().find("#2 [1/1] 4: (1) CONNECTED to DB1BBB"), std::string::npos) << a.output();
    EXPECT_NE(b.errors().find("*** Verbindung wurde erstellt: #2 [1/1]"), std::string::npos) << b.errors();

    // Text typed on A arrives on B, as received text (after B's greeting,
    // which ends in the remote prompt without a line end).
    a.console->line("Hallo B, grüße von A");
    ASSERT_TRUE(eventually([&] {
        const std::string out = b.output();
        const std::size_t at = out.find("Hallo B, grüße von A");
        if (at == std::string::npos) return false;
        const std::size_t lineStart = out.rfind('\n', at) + 1;
        return out.compare(lineStart, 12, "#2 [1/1] 9: ") == 0;
    })) << b.output();

    // B ends the link.
    serverA.withTnc([](SimTnc& t) { t.clearLogs(); });
    serverB.withTnc([](SimTnc& t) { t.clearLogs(); });
    b.console->line(":ch 1/1");
    b.console->line("\\e d");
    ASSERT_TRUE(eventually([&] { return a.destCall(1).empty() && b.destCall(1).empty(); }));
    ASSERT_TRUE(eventually([&] { return a.linkState(1) == 0 && b.linkState(1) == 0; }));
    ASSERT_TRUE(eventually([&] { return has(commandsOn(serverA, 1), "i DA1AAA"); }));
    ASSERT_TRUE(eventually([&] { return has(commandsOn(serverB, 1), "i DB1BBB"); }));
    EXPECT_EQ(serverA.withTnc([](SimTnc& t) { return t.channelCall(1); }), "DA1AAA") << "own call restored";
    EXPECT_TRUE(a.onChannel(1, [](CTncChannel& c) { return c.settings().remote; })) << "Remote back on";
    EXPECT_EQ(a.onChannel(1, [](CTncChannel& c) { return c.linkState().lastDestCall(); }), "DB1BBB");

    const std::string head = "  \\d\\d\\.\\d\\d\\.\\d{4}  \\d\\d:\\d\\d -\\d\\d:\\d\\d   :";
    EXPECT_TRUE(std::regex_match(a.log(), std::regex(head + "DA1AAA   DB1BBB             144\\.800\r\n")))
        << a.log();
    EXPECT_TRUE(std::regex_match(b.log(), std::regex(head + "DB1BBB   DA1AAA-1           144\\.800\r\n")))
        << b.log();
}

TEST(HeadlessConsole, LinesReachTheCurrentChannelAsTheInputPaneSendsThem) {
    Station s;
    s.start("", "");
    s.console->line(":ch 5/1");
    EXPECT_EQ(s.console->slot(), slotOf(5, 1));
    s.console->line("grüße");  // the remote console shows typed text as received
    s.console->line("::ch 1");
    s.console->line("\x1b" "c dl1abc");
    s.console->line("");
    s.console->line(":ch 5 0");
    s.console->line("echo me");
    s.engine->call([] {});
    const std::string out = s.output();
    EXPECT_NE(out.find("#86 [5/1] 9: grüße"), std::string::npos) << out;
    EXPECT_EQ(out.find("#86 [5/1] 3:"), std::string::npos) << "the remote console has no echo\n" << out;
    EXPECT_NE(out.find("#85 [5/0] 3: echo me"), std::string::npos) << "echo per InputEcho\n" << out;
    EXPECT_NE(out.find("#86 [5/1] 9: :ch 1"), std::string::npos) << out;
    EXPECT_NE(out.find("#86 [5/1] 9: C DL1ABC"), std::string::npos) << "upper-cased, prefix dropped\n" << out;
}

TEST(HeadlessConsole, BadLinesAreReportedAndSendNothing) {
    Station s;
    s.start("", "");
    s.console->line(":ch 6/1");
    s.console->line(":ch 1");
    s.console->line(":ch 1/x");
    EXPECT_EQ(s.console->slot(), slotOf(1, 1));
    s.console->line(":nonsense");
    s.console->line(":ch 1/9");
    s.console->line("into the void");
    s.engine->call([] {});
    const std::string err = s.errors();
    EXPECT_NE(err.find("needs a TNC 1..5 and a channel 0..20"), std::string::npos) << err;
    EXPECT_NE(err.find("unknown console line"), std::string::npos) << err;
    EXPECT_NE(err.find("there is no channel [1/9]"), std::string::npos) << err;
    EXPECT_EQ(s.output(), "");
}

TEST(LineReader, DeliversLinesAndOutlivesTheEndOfInput) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    std::mutex m;
    std::vector<std::string> lines;
    LineReader reader(fds[0], [&](std::string_view l) {
        std::lock_guard lock(m);
        lines.emplace_back(l);
    });
    const std::string input = "one\r\ntwo\n\nthree";
    ASSERT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ::close(fds[1]);
    ASSERT_TRUE(eventually([&] { return reader.finished(); }, 5000));
    {
        std::lock_guard lock(m);
        EXPECT_EQ(lines, (std::vector<std::string>{"one\r", "two", "", "three"}));
    }
    reader.stop();
    ::close(fds[0]);
}

TEST(LineReader, StopsWhileWaitingForInput) {
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0);
    {
        LineReader reader(fds[0], [](std::string_view) {});
        EXPECT_FALSE(reader.finished());
    }  // the destructor returns although nothing was typed
    ::close(fds[0]);
    ::close(fds[1]);
}

}  // namespace
}  // namespace norva::test
