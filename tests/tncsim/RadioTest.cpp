// Links over the simulated radio: TNC to TNC, TNC to test station, monitor.
#include <gtest/gtest.h>

#include "TncsimTestUtil.h"

namespace tncsim {
namespace {

using test::cmd;
using test::counted;
using test::info;
using test::ok;
using test::text;

RadioConfig quickRadio() {
    RadioConfig r;
    r.connectDelayMs = 100;
    r.linkFailureMs = 1000;
    r.txDelayMs = 10;
    r.ackDelayMs = 50;
    return r;
}

class TwoTncs : public ::testing::Test {
protected:
    Radio radio{quickRadio()};
    SimTnc& a = radio.addTnc(test::hostConfig("DL1AAA"));
    SimTnc& b = radio.addTnc(test::hostConfig("DL2BBB"));
    std::uint64_t now = 0;

    std::string toA(const std::string& f) { return a.feed(f, now); }
    std::string toB(const std::string& f) { return b.feed(f, now); }

    void connectA1toB() {
        ASSERT_EQ(toA(cmd(1, "C DL2BBB")), ok(1));
        now += 100;
        ASSERT_EQ(toA(cmd(1, "G")), text(1, 3, "(1) CONNECTED to DL2BBB"));
        ASSERT_EQ(toB(cmd(1, "G")), text(1, 3, "(1) CONNECTED to DL1AAA"));
    }
};

TEST_F(TwoTncs, ConnectShowsConnectedOnBothSides) {
    EXPECT_EQ(toA(cmd(2, "I DL1AAA-2")), ok(2));
    EXPECT_EQ(toA(cmd(2, "C dl2bbb")), ok(2));
    EXPECT_EQ(toA(cmd(2, "L")), text(2, 1, "0 0 0 0 1 1"));
    now += 99;
    EXPECT_EQ(toB(cmd(255, "G")), ok(255));
    now += 1;
    EXPECT_EQ(toB(cmd(255, "G")), text(255, 1, "\x02"));
    EXPECT_EQ(toA(cmd(2, "L")), text(2, 1, "1 0 0 0 0 4"));
    EXPECT_EQ(toA(cmd(2, "G")), text(2, 3, "(2) CONNECTED to DL2BBB"));
    EXPECT_EQ(toB(cmd(1, "G")), text(1, 3, "(1) CONNECTED to DL1AAA-2"));
    EXPECT_EQ(b.linkState(1), kInfoTransfer);
    EXPECT_EQ(b.peerCall(1), "DL1AAA-2");
    EXPECT_EQ(toB(cmd(1, "C DL1AAA")), text(1, 2, "CHANNEL ALREADY CONNECTED"));
}

TEST_F(TwoTncs, CalledTncAnswersOnChannelWithMatchingCallOrFirstFree) {
    // B's channels 2 and 3 carry their own calls; a call to a channel call
    // takes that channel, a call to B's base call the first free channel.
    toB(cmd(2, "I DL2BBB-2"));
    toB(cmd(3, "I DL2BBB-3"));
    toA(cmd(1, "C DL2BBB-3"));
    toA(cmd(2, "C DL2BBB"));
    now += 100;
    radio.advance(now);
    EXPECT_EQ(b.linkState(3), kInfoTransfer);
    EXPECT_EQ(b.linkState(1), kInfoTransfer);
    EXPECT_EQ(b.linkState(2), kDisconnected);
    EXPECT_EQ(toB(cmd(3, "G")), text(3, 3, "(3) CONNECTED to DL1AAA"));
    EXPECT_EQ(toB(cmd(1, "G")), text(1, 3, "(1) CONNECTED to DL1AAA"));
    toA(cmd(3, "C DL2BBB-3"));
    now += 100;
    EXPECT_EQ(toA(cmd(3, "G")), text(3, 3, "(3) BUSY fm DL2BBB-3"));
    EXPECT_EQ(a.linkState(3), kDisconnected);
}

TEST_F(TwoTncs, NoChannelLeftForTheBaseCallIsBusy) {
    Radio small{quickRadio()};
    SimTnc& caller = small.addTnc(test::hostConfig("DL1AAA"));
    SimTnc& called = small.addTnc(test::hostConfig("DL2BBB", 1));
    caller.feed(cmd(1, "C DL2BBB"), 0);
    caller.feed(cmd(2, "C DL2BBB"), 0);
    EXPECT_EQ(caller.feed(cmd(1, "G"), 100), text(1, 3, "(1) CONNECTED to DL2BBB"));
    EXPECT_EQ(caller.feed(cmd(2, "G"), 100), text(2, 3, "(2) BUSY fm DL2BBB"));
    EXPECT_EQ(called.linkState(1), kInfoTransfer);
}

TEST_F(TwoTncs, ATncDoesNotAnswerItsOwnCall) {
    toA(cmd(1, "C DL1AAA"));
    now += 1000;
    EXPECT_EQ(toA(cmd(1, "G")), text(1, 3, "(1) LINK FAILURE with DL1AAA"));
}

TEST_F(TwoTncs, InfoCrossesAndCountersMove) {
    connectA1toB();
    EXPECT_EQ(toA(info(1, "hello B\r")), ok(1));
    EXPECT_EQ(toA(info(1, "second\r")), ok(1));
    EXPECT_EQ(toA(cmd(1, "L")), text(1, 1, "0 0 2 0 0 4"));
    now += 10;
    EXPECT_EQ(toA(cmd(1, "L")), text(1, 1, "0 0 1 1 0 4"));
    now += 10;
    EXPECT_EQ(toA(cmd(1, "L")), text(1, 1, "0 0 0 2 0 4"));
    EXPECT_EQ(toB(cmd(1, "L")), text(1, 1, "0 2 0 0 0 4"));
    EXPECT_EQ(toB(cmd(1, "G")), counted(1, 7, "hello B\r"));
    EXPECT_EQ(toB(cmd(1, "G")), counted(1, 7, "second\r"));
    EXPECT_EQ(toB(cmd(1, "G")), ok(1));
    now += 50;
    EXPECT_EQ(toA(cmd(1, "L")), text(1, 1, "0 0 0 0 0 4"));
    // And back.
    EXPECT_EQ(toB(info(1, std::string(256, 'r'))), ok(1));
    now += 10;
    EXPECT_EQ(toA(cmd(1, "G")), counted(1, 7, std::string(256, 'r')));
}

// What a channel received, and what its host gave it to send, stay readable
// from a marked position on, whether or not the host fetched it, in every
// byte value; the monitor, refused frames and other channels keep out of
// it, and a long stream forgets its oldest bytes only.
TEST_F(TwoTncs, ChannelInfoIsReadFromAMarkedPosition) {
    Radio small{quickRadio()};
    TncConfig limited = test::hostConfig("DL2BBB");
    limited.channelLogLimit = 600;
    SimTnc& sender = small.addTnc(test::hostConfig("DL1AAA"));
    SimTnc& receiver = small.addTnc(limited);
    EXPECT_EQ(receiver.feed(cmd(0, "M IUSC"), 0), ok(0));
    sender.feed(cmd(1, "C DL2BBB"), 0);
    small.advance(100);

    std::string every;
    for (int c = 0; c < 256; ++c) every.push_back(static_cast<char>(c));
    sender.feed(info(1, every.substr(0, 128)), 100);
    sender.feed(info(1, every.substr(128)), 100);
    small.advance(200);
    const ChannelText first = receiver.receivedSince(1);
    EXPECT_EQ(first.text, every) << "kept although the host fetched nothing";
    EXPECT_EQ(first.end, 256u);
    EXPECT_EQ(receiver.receivedSince(2).text, "");
    EXPECT_EQ(receiver.receivedSince(0).text, "") << "monitor frames are not received info";
    EXPECT_EQ(sender.receivedSince(1).end, 0u);
    EXPECT_EQ(sender.sentSince(1).text, every);
    EXPECT_EQ(sender.feed(info(2, "lost"), 200), text(2, 2, "CHANNEL NOT CONNECTED"));
    EXPECT_EQ(sender.sentSince(2).end, 0u) << "a refused frame was never sent";
    EXPECT_EQ(receiver.feed(cmd(1, "G"), 200), text(1, 3, "(1) CONNECTED to DL1AAA"));
    EXPECT_EQ(receiver.feed(cmd(1, "G"), 200), counted(1, 7, every.substr(0, 128)));

    sender.feed(info(1, "prompt >"), 200);
    small.advance(300);
    EXPECT_EQ(receiver.receivedSince(1, first.end).text, "prompt >");
    EXPECT_EQ(sender.sentSince(1, 250).text, every.substr(250) + "prompt >");
    EXPECT_EQ(receiver.receivedSince(1, 9999).text, "");
    EXPECT_EQ(receiver.receivedSince(99).end, 0u) << "no such channel";

    // 256 + 8 + 400 bytes pass the limit of 600: the oldest go, positions stay.
    sender.feed(info(1, std::string(200, 'x')), 300);
    sender.feed(info(1, std::string(200, 'y')), 300);
    small.advance(400);
    const ChannelText late = receiver.receivedSince(1, 0);
    EXPECT_EQ(late.end, 664u);
    EXPECT_GE(late.text.size(), 300u);
    EXPECT_LE(late.text.size(), 600u);
    EXPECT_EQ(late.text, receiver.receivedSince(1, late.end - late.text.size()).text);
    EXPECT_EQ(receiver.receivedSince(1, 464).text, std::string(200, 'y'));
    receiver.clearLogs();
    EXPECT_EQ(receiver.receivedSince(1, 464).text, std::string(200, 'y'));
}

TEST_F(TwoTncs, DisconnectReachesBothSides) {
    connectA1toB();
    toA(info(1, "bye\r"));
    EXPECT_EQ(toA(cmd(1, "D")), ok(1));
    EXPECT_EQ(toA(cmd(1, "L")), text(1, 1, "0 0 0 0 0 3"));
    EXPECT_EQ(toA(info(1, "late\r")), text(1, 2, "CHANNEL NOT CONNECTED"));
    now += 100;
    EXPECT_EQ(toA(cmd(1, "G")), text(1, 3, "(1) DISCONNECTED fm DL2BBB"));
    EXPECT_EQ(toB(cmd(1, "G")), text(1, 3, "(1) DISCONNECTED fm DL1AAA"));
    EXPECT_EQ(toB(cmd(1, "G")), ok(1));  // the unsent "bye" died with the link
    EXPECT_EQ(toA(cmd(1, "L")), text(1, 1, "0 0 0 0 0 0"));
    EXPECT_EQ(toB(cmd(1, "L")), text(1, 1, "0 0 0 0 0 0"));
    EXPECT_EQ(toA(cmd(1, "D")), text(1, 2, "CHANNEL NOT CONNECTED"));
    // The channels are free again.
    connectA1toB();
}

// With sendBeforeDisconnect, as on the firmware, a mailbox's last words and
// its "D" reach the user in that order; a second "D" does not wait.
TEST_F(TwoTncs, FirstDisconnectLetsQueuedInfoLeaveFirst) {
    Radio small{quickRadio()};
    TncConfig mailbox = test::hostConfig("DB0BOX");
    mailbox.sendBeforeDisconnect = true;
    SimTnc& box = small.addTnc(mailbox);
    SimTnc& user = small.addTnc(test::hostConfig("DL2BBB"));
    user.feed(cmd(1, "C DB0BOX"), 0);
    small.advance(100);
    EXPECT_EQ(box.feed(cmd(1, "G"), 100), text(1, 3, "(1) CONNECTED to DL2BBB"));

    box.feed(info(1, "Bye, DL2BBB\r"), 100);
    box.feed(info(1, "73\r"), 100);
    EXPECT_EQ(box.feed(cmd(1, "D"), 100), ok(1));
    EXPECT_EQ(box.feed(cmd(1, "L"), 100), text(1, 1, "0 0 2 0 0 3")) << "disconnecting, the info still queued";
    EXPECT_EQ(box.feed(info(1, "late\r"), 100), text(1, 2, "CHANNEL NOT CONNECTED"));
    small.advance(120);
    EXPECT_EQ(user.linkState(1), kInfoTransfer) << "not before the last frame is acknowledged";
    small.advance(400);
    EXPECT_EQ(user.receivedSince(1).text, "Bye, DL2BBB\r73\r");
    EXPECT_EQ(user.linkState(1), kDisconnected);
    EXPECT_EQ(box.linkState(1), kDisconnected);
    EXPECT_EQ(box.feed(cmd(1, "G"), 400), text(1, 3, "(1) DISCONNECTED fm DL2BBB"));

    // Again, and a second "D" ends the link at once, dropping the rest.
    user.feed(cmd(1, "C DB0BOX"), 400);
    small.advance(500);
    const std::uint64_t mark = user.receivedSince(1).end;
    box.feed(info(1, "never\r"), 500);
    box.feed(cmd(1, "D"), 500);
    EXPECT_EQ(box.feed(cmd(1, "D"), 500), ok(1));
    small.advance(1000);
    EXPECT_EQ(user.receivedSince(1, mark).text, "");
    EXPECT_EQ(user.linkState(1), kDisconnected);
    EXPECT_EQ(box.linkState(1), kDisconnected);
}

TEST_F(TwoTncs, InfoGivenDuringLinkSetupLeavesOnceConnected) {
    toA(cmd(1, "C DL2BBB"));
    EXPECT_EQ(toA(info(1, "early\r")), ok(1));
    EXPECT_EQ(toA(cmd(1, "L")), text(1, 1, "0 0 1 0 1 1"));
    now += 110;
    toB(cmd(1, "G"));
    EXPECT_EQ(toB(cmd(1, "G")), counted(1, 7, "early\r"));
}

TEST_F(TwoTncs, MonitorShowsConnectInfoAndDisconnectFrames) {
    SimTnc& listener = radio.addTnc(test::hostConfig("DL3CCC"));
    listener.feed(cmd(0, "MUISC"), now);
    connectA1toB();
    toA(info(1, "abc"));
    now += 10;
    toA(cmd(1, "D"));
    now += 100;
    std::vector<std::string> got;
    for (int i = 0; i < 8; ++i) got.push_back(listener.feed(cmd(0, "G"), now));
    EXPECT_EQ(got[0], text(0, 4, "fm DL1AAA to DL2BBB ctl SABM+"));
    EXPECT_EQ(got[1], text(0, 4, "fm DL2BBB to DL1AAA ctl UA-"));
    EXPECT_EQ(got[2], text(0, 5, "fm DL1AAA to DL2BBB ctl I00^ pid F0"));
    EXPECT_EQ(got[3], counted(0, 6, "abc"));
    EXPECT_EQ(got[4], text(0, 4, "fm DL1AAA to DL2BBB ctl DISC+"));
    EXPECT_EQ(got[5], text(0, 4, "fm DL2BBB to DL1AAA ctl UA-"));
    EXPECT_EQ(got[6], ok(0));
    // A TNC with the monitor off hears nothing.
    EXPECT_EQ(toB(cmd(0, "G")), ok(0));
}

TEST_F(TwoTncs, UnprotoFramesFromChannelZeroAreMonitored) {
    toB(cmd(0, "MU"));
    EXPECT_EQ(toA(cmd(0, "C BEACON")), ok(0));
    EXPECT_EQ(toA(info(0, "QST de DL1AAA")), ok(0));
    EXPECT_EQ(toB(cmd(0, "G")), text(0, 5, "fm DL1AAA to BEACON ctl UI^ pid F0"));
    EXPECT_EQ(toB(cmd(0, "G")), counted(0, 6, "QST de DL1AAA"));
}

class Station : public ::testing::Test {
protected:
    Radio radio{quickRadio()};
    SimStation& station = radio.addStation("db0sim");
    SimTnc& tnc = radio.addTnc(test::hostConfig("DL1AAA"));
    std::uint64_t now = 0;

    std::string send(const std::string& f) { return tnc.feed(f, now); }
    std::string get(int ch) { return send(cmd(ch, "G")); }
};

TEST_F(Station, GreetsEchoesHelpsAndSaysBye) {
    send(cmd(1, "C DB0SIM"));
    now += 110;
    EXPECT_EQ(get(1), text(1, 3, "(1) CONNECTED to DB0SIM"));
    EXPECT_EQ(get(1), counted(1, 7, "Welcome to DB0SIM, the Norva test station. Type H for help.\r"));
    EXPECT_EQ(radio.stationLinks("DB0SIM"), 1u);
    send(info(1, "hel"));
    send(info(1, "lo\r"));
    now += 40;
    EXPECT_EQ(get(1), counted(1, 7, "hello\r"));
    send(info(1, "h\r"));
    now += 40;
    std::string help = get(1);
    EXPECT_NE(help.find("H help"), std::string::npos);
    send(info(1, "b\r"));
    now += 40;
    EXPECT_EQ(get(1), counted(1, 7, "73 de DB0SIM, bye.\r"));
    EXPECT_EQ(get(1), text(1, 3, "(1) DISCONNECTED fm DB0SIM"));
    EXPECT_EQ(tnc.linkState(1), kDisconnected);
    EXPECT_EQ(radio.stationLinks("DB0SIM"), 0u);
    EXPECT_EQ(station.received(), "hello\rh\rb\r");
}

TEST_F(Station, SendsOnItsOwnAndConnectsAndDisconnectsByCommand) {
    send(cmd(0, "I DL1AAA"));
    EXPECT_EQ(radio.stationSend("DB0SIM", "nobody listens"), 0u);
    EXPECT_TRUE(radio.stationConnect("DB0SIM", "dl1aaa"));
    EXPECT_FALSE(radio.stationConnect("DB0SIM", "DL9ZZZ"));
    EXPECT_FALSE(radio.stationConnect("NOSUCH", "DL1AAA"));
    now += 100;
    EXPECT_EQ(get(1), text(1, 3, "(1) CONNECTED to DB0SIM"));
    EXPECT_EQ(radio.stationSend("db0sim", std::string(300, 'm')), 1u);
    now += 20;
    EXPECT_EQ(get(1), counted(1, 7, std::string(256, 'm')));
    EXPECT_EQ(get(1), counted(1, 7, std::string(44, 'm')));
    EXPECT_EQ(radio.stationDisconnect("DB0SIM"), 1u);
    EXPECT_EQ(get(1), text(1, 3, "(1) DISCONNECTED fm DB0SIM"));
    now += 2000;  // the connect to DL9ZZZ went nowhere and leaves no trace
    EXPECT_EQ(get(255), ok(255));
}

}  // namespace
}  // namespace tncsim
