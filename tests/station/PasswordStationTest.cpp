// Password answering between a whole headless station and a simulated
// FlexNet-style node on the tncsim radio: the connect script reaches the
// destination through the node, PWD fetches the challenge, the answer lands
// in the input pane, the operator sends it and the node grants the rights.
#include <gtest/gtest.h>

#include <mutex>

#include "StationRig.h"
#include "station/PasswordAnswering.h"
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

// HeadlessUi that also keeps what is put into the input panes.
class InputUi : public HeadlessUi {
public:
    using HeadlessUi::HeadlessUi;
    void insertInput(int slot, std::string_view text) override {
        std::lock_guard lock(mutex_);
        inputs_[slot] += std::string(text);
    }
    std::string input(int slot) {
        std::lock_guard lock(mutex_);
        return inputs_[slot];
    }

private:
    std::mutex mutex_;
    std::map<int, std::string> inputs_;
};

// A Station (StationRig.h) whose user interface records the input pane,
// with the password answering installed.
struct PwdStation {
    TempDir dir;
    RealClock clock;
    std::unique_ptr<Profile> profile;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    InputUi ui{out, err};
    PasswordAnswering answering;
    std::unique_ptr<Engine> engine;
    std::unique_ptr<HeadlessConsole> console;

    void start(const std::string& port, const std::string& call) {
        dir.write("norva.ini", "[Tnc]\r\n1=1\r\n[1]\r\nTncName=Sim\r\nChannels=4\r\nComPort=" + port +
                                   "\r\nConnected=1\r\nDelayTime=25\r\nMyCall=" + call + "\r\nQrg=144.800\r\n");
        profile = std::make_unique<Profile>(dir.path() / "norva.ini");
        EngineConfig config;
        config.programDir = dir.path();
        config.openStream = openStreamByName;
        engine = std::make_unique<Engine>(config, *profile, ui, clock);
        engine->call([this] {
            engine->context().channels.hooks().setPassword(&answering);
            return 0;
        });
        engine->start();
        console = std::make_unique<HeadlessConsole>(*engine, err);
    }
    ~PwdStation() {
        console.reset();
        if (engine) engine->shutdown();
        engine.reset();
        std::fclose(out);
        std::fclose(err);
    }
    template <class F>
    auto onChannel(int n, F fn) {
        return engine->call([this, n, fn] {
            CTncChannel* ch = engine->context().channels.channel(1, n);
            using R = decltype(fn(*ch));
            if (!ch) return R{};
            return fn(*ch);
        });
    }
    bool tncOpen() {
        return engine->call([this] {
            CTnc* t = engine->hostMode().tnc(1);
            return t && t->isOpen() && !t->outOfSync();
        });
    }
    std::string destCall(int n) {
        return onChannel(n, [](CTncChannel& c) { return c.linkState().destCall(); });
    }
    bool hasJob(int n, JobSlot slot) {
        return onChannel(n, [slot](CTncChannel& c) { return c.job(slot) != nullptr; });
    }
};

TEST(PasswordStation, ConnectScriptThroughTheNodeThenPwdAndTheNodeAccepts) {
    tncsim::Radio radio;
    tncsim::PtyServer server{radio.addTnc({})};
    {
        std::lock_guard lock(radio.mutex());
        radio.addStation("DB0NOD").setNode({"SYS", "12345", "54321"});
    }
    ASSERT_TRUE(server.start()) << server.error();

    PwdStation a;
    a.start(server.slavePath(), "DA1AAA");
    ASSERT_TRUE(eventually([&] { return a.tncOpen(); })) << a.ui.input(2) << contentsOf(a.err);
    a.dir.write("viadb0nod.scr", "**c db0nod\r\n**Waitfor Connected to\r\nc db1des\r\n**Waitfor Connected to\r\n");
    ASSERT_TRUE(writeNodePassword(a.dir / "DB1DES.pwd", "12345", "SYS"));
    ASSERT_TRUE(writePasswordKey(a.dir / "DB1DES.pwd", "StationMode", "FlexNet"));

    a.console->line(":ch 1/1");
    a.console->line(":script viadb0nod");
    ASSERT_TRUE(eventually([&] { return a.destCall(1) == "DB1DES" && !a.hasJob(1, JobSlot::Script); }))
        << contentsOf(a.out) << contentsOf(a.err);

    a.console->line("\\e PWD");
    ASSERT_TRUE(eventually([&] { return a.ui.input(2) == "\r35"; })) << a.ui.input(2) << contentsOf(a.out);
    EXPECT_TRUE(eventually([&] { return !a.hasJob(1, JobSlot::Password); }));

    // The operator sends the line the input pane now holds.
    a.console->line("35");
    ASSERT_TRUE(eventually([&] {
        return contentsOf(a.out).find("Sysop privileges granted") != std::string::npos;
    })) << contentsOf(a.out);
    {
        std::lock_guard lock(radio.mutex());
        EXPECT_EQ(radio.findStation("DB0NOD")->grants(), 1);
        EXPECT_NE(radio.findStation("DB0NOD")->received().find("SYS\r"), std::string::npos);
    }
    // The secret went nowhere but its file.
    EXPECT_EQ(contentsOf(a.out).find("12345"), std::string::npos);
    EXPECT_EQ(contentsOf(a.err).find("12345"), std::string::npos);
    EXPECT_EQ(a.dir.read("system.log").find("12345"), std::string::npos);
    EXPECT_EQ(a.dir.read("norva.log").find("12345"), std::string::npos);
}

}  // namespace
}  // namespace norva::test
