// The headless console's transfer lines on the in-process TNC: the jobs they
// place (and where relative names lie), what goes out on the air, what lands
// in files, the :queue listing, the refusals that change nothing, and the
// operator question of an automatic #BIN# reception whose name cannot be used.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "app/Engine.h"
#include "app/Headless.h"
#include "app/HeadlessUi.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "hostmode/VirtualTnc.h"
#include "support/AirRecorder.h"
#include "support/Eventually.h"
#include "support/TempDir.h"
#include "transfer/BinProtocol.h"
#include "transfer/TransferStatus.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

// The headless interface, keeping which slots it was asked to receive on.
class AskRecordingUi : public HeadlessUi {
public:
    using HeadlessUi::HeadlessUi;
    void askBinaryReceive(int slot) override {
        {
            std::lock_guard lock(mutex_);
            asked_.push_back(slot);
        }
        HeadlessUi::askBinaryReceive(slot);
    }
    std::vector<int> asked() {
        std::lock_guard lock(mutex_);
        return asked_;
    }

private:
    std::mutex mutex_;
    std::vector<int> asked_;
};

// A station on the in-process TNC; the console works on TNC 1 channel 1.
class ConsoleStation {
public:
    static constexpr int kChannel = 1;
    static constexpr int kSlot = 2;

    template <class F>
    auto onChannel(F fn) {
        return engine->call([this, fn] {
            CTncChannel* ch = engine->context().channels.channel(kSlot);
            using R = decltype(fn(*ch));
            return ch ? fn(*ch) : R{};
        });
    }

    explicit ConsoleStation(const std::string& linkKeys = {}) {
        for (const char* d : {"out", "bin", "in", "logs"}) fs::create_directories(dir / d);
        dir.write("norva.ini", "[Frame]\r\nSendFileDir=" + (dir / "out").string() +
                                   "\r\nBinSendFileDir=" + (dir / "bin").string() +
                                   "\r\nBinReadFileDir=" + (dir / "in").string() +
                                   "\r\nReadFileDir=" + (dir / "logs").string() +
                                   "\r\n[Tnc]\r\n1=1\r\n[1]\r\nTncName=Demo\r\nChannels=4\r\nComPort=dde\r\n"
                                   "MyCall=DL1ABC\r\nConnected=1\r\n[Link2]\r\n" + linkKeys);
        profile = std::make_unique<Profile>(dir.path() / "norva.ini");
        EngineConfig config;
        config.programDir = dir.path();
        engine = std::make_unique<Engine>(config, *profile, ui, clock);
        engine->start();
        EXPECT_TRUE(eventually([&] { return onChannel([](CTncChannel&) { return true; }); }));
        engine->call([this] { engine->hostMode().virtualTnc().setPartner(&air); });
        console = std::make_unique<HeadlessConsole>(*engine, consoleErr);
        console->line(":ch 1/1");
    }
    ~ConsoleStation() {
        console.reset();
        engine->call([this] { engine->hostMode().virtualTnc().setPartner(nullptr); });
        engine->shutdown();
        std::fclose(out);
        std::fclose(err);
        std::fclose(consoleErr);
    }

    // Typed lines; returns once the engine has carried them out.
    void type(std::initializer_list<std::string_view> lines) {
        for (const auto l : lines) console->line(l);
        engine->call([] { return 0; });
    }
    // Connected information from the other station.
    void receive(const std::string& text) {
        engine->call([this, text] { engine->hostMode().virtualTnc().queueItem(kChannel, 7, text); });
    }
    bool has(JobSlot slot) {
        return onChannel([slot](CTncChannel& c) { return c.job(slot) != nullptr; });
    }
    std::size_t queued() {
        return onChannel([](CTncChannel& c) { return c.transferQueue().size(); });
    }
    void hold(bool on) {
        onChannel([on](CTncChannel& c) {
            pauseTransfers(c, on);
            return 0;
        });
    }
    // What the console said, and what the user interface printed on standard error.
    std::string errors() { return contentsOf(consoleErr); }
    std::string uiNotes() { return contentsOf(err); }
    std::string put(const fs::path& file, const std::string& content) {
        writeFile(file, content);
        return file.string();
    }

    TempDir dir;
    RealClock clock;
    std::unique_ptr<Profile> profile;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    std::FILE* consoleErr = std::tmpfile();
    AskRecordingUi ui{out, err};
    AirRecorder air;
    std::unique_ptr<Engine> engine;
    std::unique_ptr<HeadlessConsole> console;
};

TEST(HeadlessTransfers, SendLinesQueueTheMenusJobsListedByQueueAndSentWhenResumed) {
    ConsoleStation st;
    st.put(st.dir / "out" / "Gruss.txt", "Hallo\r");
    const std::string binary("\x00\x01\xff#BIN#\r", 9);
    st.put(st.dir / "bin" / "data.bin", binary);
    st.hold(true);
    // Relative names lie in SendFileDir and BinSendFileDir; an absolute one anywhere.
    st.type({":send Gruss.txt", ":sendbin data.bin", ":send " + (st.dir / "bin" / "data.bin").string()});
    EXPECT_EQ(st.queued(), 3u);
    st.type({":queue"});
    const std::string listing = st.errors();
    EXPECT_NE(listing.find("Transfer Status / Tnc 1 Channel 1 (Halt)\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find("  Total:  Restlänge:  Byte/Min:  Restzeit:  Status:  Typ:  Dateiname:\n"),
              std::string::npos);
    EXPECT_NE(listing.find("\n       6        6      0      0     waiting   text  Gruss.txt\n"
                           "       9        9      0      0     waiting   bin   data.bin\n"
                           "       9        9      0      0     waiting   text  data.bin\n"),
              std::string::npos)
        << listing;
    EXPECT_EQ(st.air.on(1), "");

    st.hold(false);
    // The text file goes first, stamped and ended as the channel asks, then the #BIN# header.
    ASSERT_TRUE(eventually([&] { return st.air.on(1).find("#BIN#9#") != std::string::npos; })) << st.air.on(1);
    const std::string sent = st.air.on(1);
    EXPECT_EQ(sent.find("Hallo\r"), 0u) << sent;
    EXPECT_NE(sent.find("***end"), std::string::npos) << sent;
    EXPECT_LT(sent.find("***end"), sent.find("#BIN#9#"));
    EXPECT_NE(sent.find("DATA.BIN\r"), std::string::npos);
    // The #BIN# send is now the job being sent; it waits for the receiver's go-ahead.
    st.type({":queue"});
    EXPECT_NE(st.errors().find("       9        9      0      0     transmit  bin   data.bin\n"), std::string::npos)
        << st.errors();
}

TEST(HeadlessTransfers, RefusedLinesSayWhyOnOneLineAndChangeNothing) {
    ConsoleStation st;
    st.hold(true);
    const std::string missing = (st.dir / "out" / "fehlt.txt").string();
    st.type({":send fehlt.txt", ":sendbin", ":send", ":queue now", ":recvbin off", ":capture off", ":sendx a"});
    EXPECT_EQ(st.errors(),
              "norva: Die Datei " + missing + " lässt sich nicht verwenden.\n"
              "norva: \":sendbin FILE\" needs a file name\n"
              "norva: \":send FILE\" needs a file name\n"
              "norva: \":queue\" takes no file name\n"
              "norva: no #BIN# reception runs on [1/1]\n"
              "norva: no capture runs on [1/1]\n"
              "norva: unknown console line (\":help\" lists them; \"::\" sends a \":\")\n");
    EXPECT_EQ(st.queued(), 0u);

    // A full queue: the 51st file is refused and the 50 stay.
    st.put(st.dir / "out" / "a.txt", "a\r");
    for (int i = 0; i < 51; ++i) st.console->line(":send a.txt");
    st.type({});
    EXPECT_EQ(st.queued(), 50u);
    EXPECT_NE(st.errors().find("norva: Keine weitere Datei möglich. Transfer Queue ist voll.\n"), std::string::npos)
        << st.errors();

    // A channel the TNC does not have (it has 4): nothing is made.
    const std::string before = st.errors();
    st.type({":ch 1/9", ":send a.txt", ":capture x.txt", ":queue", ":ch 1/1"});
    EXPECT_EQ(st.errors().substr(before.size()), "norva: there is no channel [1/9]\n"
                                                  "norva: there is no channel [1/9]\n"
                                                  "norva: there is no channel [1/9]\n");
    EXPECT_FALSE(fs::exists(st.dir / "logs" / "x.txt"));

    // A reception never cuts an existing file, and a second one never replaces the first.
    st.put(st.dir / "in" / "keep.bin", "precious");
    st.type({":recvbin keep.bin"});
    EXPECT_FALSE(st.has(JobSlot::FileReceive));
    EXPECT_EQ(readFile(st.dir / "in" / "keep.bin"), "precious");
    st.type({":recvbin new.bin", ":recvbin other.bin"});
    EXPECT_TRUE(st.has(JobSlot::FileReceive));
    EXPECT_FALSE(fs::exists(st.dir / "in" / "other.bin"));
    EXPECT_NE(st.errors().find((st.dir / "in" / "keep.bin").string() +
                               " exists; \":recvbin\" never overwrites a file\n"),
              std::string::npos);
    EXPECT_NE(st.errors().find("norva: a #BIN# reception is already running on [1/1] (\":recvbin off\" ends it)\n"),
              std::string::npos)
        << st.errors();
    // A capture into a file that cannot be made (its directory is missing).
    st.type({":capture nowhere/log.txt"});
    EXPECT_FALSE(st.has(JobSlot::Capture));
    EXPECT_NE(st.errors().find("norva: Die Datei " + (st.dir / "logs" / "nowhere" / "log.txt").string() +
                               " lässt sich nicht verwenden.\n"),
              std::string::npos);
}

TEST(HeadlessTransfers, RecvbinTakesTheFileTheStationSendsAndOffEndsAReception) {
    ConsoleStation st;
    st.type({":recvbin got.bin"});
    ASSERT_TRUE(st.has(JobSlot::FileReceive));
    EXPECT_TRUE(fs::exists(st.dir / "in" / "got.bin"));
    const std::string data("ab\rc\x00\xfe", 6);
    st.receive("#BIN#6#|" + std::to_string(binCrc(0, data)) + "#$5A2B3C4D#WHATEVER.BIN\r");
    ASSERT_TRUE(eventually([&] { return st.air.on(1).find("#OK#\r") != std::string::npos; })) << st.air.on(1);
    st.receive(data);
    ASSERT_TRUE(eventually([&] { return readFile(st.dir / "in" / "got.bin") == data; }));

    // A reception that nobody sends to can be ended; the slot is then free again.
    ConsoleStation idle;
    idle.type({":recvbin " + (idle.dir / "waiting.bin").string(), ":queue", ":recvbin off"});
    EXPECT_NE(idle.errors().find("receive   bin   waiting.bin\n"), std::string::npos) << idle.errors();
    EXPECT_FALSE(idle.has(JobSlot::FileReceive));
}

TEST(HeadlessTransfers, CaptureAppendsReceivedTextUntilOff) {
    ConsoleStation st;
    st.put(st.dir / "logs" / "qso.txt", "earlier\r\n");
    st.type({":capture qso.txt"});
    ASSERT_TRUE(st.has(JobSlot::Capture));
    st.receive("Hallo Welt\r");
    ASSERT_TRUE(eventually([&] { return contentsOf(st.out).find("Hallo Welt") != std::string::npos; }));
    // Closing writes out what the log still holds.
    st.type({":capture off"});
    EXPECT_FALSE(st.has(JobSlot::Capture));
    st.receive("nach dem Log\r");
    ASSERT_TRUE(eventually([&] { return contentsOf(st.out).find("nach dem Log") != std::string::npos; }));
    EXPECT_EQ(readFile(st.dir / "logs" / "qso.txt"), "earlier\r\nHallo Welt\r\n");
}

TEST(HeadlessTransfers, AnUnusableAutoBinNameAsksTheOperatorWhoReceivesWithRecvbin) {
    ConsoleStation st("AutoBin=1\r\n");
    // A plain but too long name: no file is made, the operator is asked.
    st.receive("#BIN#4#|1234#$5A2B3C4D#EINSEHRLANGERNAME\r");
    ASSERT_TRUE(eventually([&] { return !st.ui.asked().empty(); }));
    EXPECT_EQ(st.ui.asked(), std::vector<int>{ConsoleStation::kSlot});
    EXPECT_FALSE(st.has(JobSlot::FileReceive));
    EXPECT_TRUE(fs::is_empty(st.dir / "in"));
    EXPECT_NE(st.uiNotes().find("*** Binärdatei empfangen #2 [1/1]: the #BIN# header names a file that cannot be "
                               "used; \":ch 1/1\" and \":recvbin FILE\" receive it\n"),
              std::string::npos)
        << st.uiNotes();
    // The operator's answer: a reception into a file of their choice.
    st.type({":recvbin lang.bin"});
    EXPECT_TRUE(st.has(JobSlot::FileReceive));
    EXPECT_TRUE(fs::exists(st.dir / "in" / "lang.bin"));
    EXPECT_EQ(st.errors(), "");
    // A usable name is taken at once and asks nobody.
    ConsoleStation plain("AutoBin=1\r\n");
    plain.receive("#BIN#4#|1234#$5A2B3C4D#KURZ.BIN\r");
    ASSERT_TRUE(eventually([&] { return plain.has(JobSlot::FileReceive); }));
    EXPECT_TRUE(plain.ui.asked().empty());
}

}  // namespace
}  // namespace norva::test

namespace norva::test {
namespace {

// ":script NAME" runs a script of ScriptDir on the current channel and
// ":stop" ends it; what cannot be done is said and changes nothing.
TEST(HeadlessScripts, ScriptAndStopLines) {
    ConsoleStation st;
    st.dir.write("Hello.scr", "Guten Tag\r\n**waitfor bye\r\n");
    st.type({":script hello.scr"});
    EXPECT_TRUE(eventually([&] { return st.air.on(ConsoleStation::kChannel).find("Guten Tag") != std::string::npos; }));
    EXPECT_TRUE(st.has(JobSlot::Script)) << "waiting for its text";
    st.type({":stop"});
    EXPECT_FALSE(st.has(JobSlot::Script));
    st.type({":stop", ":script nothere.scr", ":script"});
    const std::string said = st.errors();
    EXPECT_NE(said.find("norva: no script runs on [1/1]"), std::string::npos) << said;
    EXPECT_NE(said.find("nothere"), std::string::npos) << said;
    EXPECT_NE(said.find("norva: \":script NAME\" needs the name of a script"), std::string::npos) << said;
    EXPECT_FALSE(st.has(JobSlot::Script));
}

}  // namespace
}  // namespace norva::test
