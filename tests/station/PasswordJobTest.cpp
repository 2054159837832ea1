// PWD on a channel of a TNC on fakes: the job of each procedure from the
// command to the answer in the input pane, and every refusal.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <map>

#include "channel/ChannelContext.h"
#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "station/PasswordAnswering.h"
#include "station/PasswordFile.h"
#include "support/HostRig.h"

namespace norva::test {
namespace {

struct InputUi : RecordingUi {
    std::vector<std::pair<int, std::string>> inserted;
    void insertInput(int slot, std::string_view text) override { inserted.emplace_back(slot, text); }
};

// One TNC whose "G" answers come from per-channel queues.
struct PwdRig : BasicHostRig<InputUi> {
    std::map<int, std::deque<std::string>> gets;
    std::vector<std::string> trace;
    PasswordAnswering answering{[this](std::string_view t) { trace.emplace_back(t); }};

    PwdRig() {
        fw.onCommand = [this](int ch, std::string_view data) -> std::string {
            if (data != "G") return {};
            auto& q = gets[ch];
            if (q.empty()) return {};
            std::string r = q.front();
            q.pop_front();
            return r;
        };
        configure(1, 4);
        ctx.channels.hooks().setPassword(&answering);
        create();
    }
    ~PwdRig() {
        host.reset();
        ctx.channels.hooks().setPassword(nullptr);
    }
    CTncChannel& ch(int n) { return *channelOf(*host->tnc(1), n); }
    void status(int n, std::string_view text) {
        gets[n].push_back(reply(n, 3, text));
        ch(n).poll(PollMode::ForceGet);
    }
    void info(int n, std::string_view text) {
        gets[n].push_back(counted(n, 7, text));
        ch(n).poll(PollMode::ForceGet);
    }
    void poll(int n) { ch(n).poll(PollMode::ForceGet); }
    // The operator types "PWD" as a command line.
    void pwd(int n) { ch(n).textOut("* PWD", kKindCommand, false); }
    std::vector<std::string> infos() const {
        std::vector<std::string> out;
        for (const auto& w : state->writes)
            if (w.size() >= 4 && w[1] == 0) out.push_back(w.substr(3));
        return out;
    }
    std::vector<std::string> shown(int cls) const {
        std::vector<std::string> out;
        for (const auto& [slot, c, text] : ui.texts)
            if (c == cls) out.push_back(text);
        return out;
    }
    std::string allShown() const {
        std::string out;
        for (const auto& t : ui.texts) out += std::get<2>(t);
        return out;
    }
    CPasswordJob* job(int n) { return dynamic_cast<CPasswordJob*>(ch(n).job(JobSlot::Password)); }
    void clear() {
        state->writes.clear();
        ui.texts.clear();
        ui.inserted.clear();
        trace.clear();
    }
};

using Inserted = std::vector<std::pair<int, std::string>>;

class PasswordJobs : public ::testing::Test {
protected:
    void connect(const std::string& call) {
        rig.status(1, "(1) CONNECTED to " + call);
        rig.clear();
    }
    void pwdFile(const std::string& call, const std::string& body) { rig.dir.write(call + ".pwd", body); }

    PwdRig rig;
    const int slot = 2;  // TNC 1, channel 1
};

TEST_F(PasswordJobs, FlexNetSendsTheSysopCommandAndAnswersTheSameOrderSum) {
    connect("DB0NOD");
    pwdFile("DB0NOD", "[Station]\r\nStationMode=FlexNet\r\nSysopCommand=SYS\r\nPassword=12345\r\n");
    rig.pwd(1);
    EXPECT_TRUE(rig.infos().empty()) << "the command itself never reaches the TNC";
    rig.poll(1);
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"SYS\r"}));
    EXPECT_EQ(rig.shown(kClassInputEcho), (std::vector<std::string>{"SYS\r"}));
    ASSERT_NE(rig.job(1), nullptr);
    EXPECT_EQ(rig.job(1)->state(), CPasswordJob::State::AwaitChallenge);

    // Text without a prompt, and a challenge of the wrong length: it keeps
    // waiting, as long as it takes, and keeps nothing of what it saw.
    for (int i = 0; i < 40; ++i) rig.info(1, "Welcome to the node, line " + std::to_string(i) + "\r");
    rig.status(1, "(1) Link status DB0NOD 54321>\r");
    rig.info(1, "DB0NOD 1234>");
    EXPECT_TRUE(rig.ui.inserted.empty());
    ASSERT_NE(rig.job(1), nullptr);

    rig.info(1, "DB0NOD 54321>");
    EXPECT_EQ(rig.ui.inserted, (Inserted{{slot, "\r"}, {slot, "35"}}));
    rig.poll(1);
    EXPECT_EQ(rig.ch(1).job(JobSlot::Password), nullptr) << "the next tick ends the job";
    EXPECT_EQ(rig.trace, (std::vector<std::string>{"password job 2: start -> await challenge",
                                                   "password job 2: await challenge -> answered"}));
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"SYS\r"})) << "only the sysop command is sent";
    EXPECT_EQ(rig.allShown().find("12345"), std::string::npos) << "the secret is never shown";
}

TEST_F(PasswordJobs, SpIsAnsweredLikeFlexNet) {
    connect("DB0SP-2");
    pwdFile("DB0SP-2", "[Station]\r\nStationMode=sp\r\nSysopCommand=sysop\r\nPassword=1203\r\n");
    rig.pwd(1);
    rig.poll(1);
    rig.info(1, "\rDB0SP-2 4567> ");
    EXPECT_EQ(rig.ui.inserted, (Inserted{{slot, "\r"}, {slot, "35"}}));
}

TEST_F(PasswordJobs, TheNetAndNorvaPickPasswordCharactersAfterThePrompt) {
    for (const char* mode : {"TheNet", "NORVA"}) {
        connect("DB0TNT");
        pwdFile("DB0TNT", std::string("[Station]\r\nStationMode=") + mode +
                              "\r\nSysopCommand=SYSOP\r\nPassword=abcdefgh\r\n");
        rig.pwd(1);
        rig.poll(1);
        EXPECT_EQ(rig.infos(), (std::vector<std::string>{"SYSOP\r"})) << mode;
        rig.info(1, "\r\n");
        EXPECT_TRUE(rig.ui.inserted.empty()) << "a bare line end is no challenge";
        rig.info(1, "DB0TNT:DL1ABC> 8 1 3 12 2\r5 5\r");
        EXPECT_EQ(rig.ui.inserted, (Inserted{{slot, "\r"}, {slot, "h a c "}})) << mode;
        rig.poll(1);
        EXPECT_EQ(rig.ch(1).job(JobSlot::Password), nullptr);
    }
}

TEST_F(PasswordJobs, DieBoxAnswersAtOnceFromTheLoginTime) {
    connect("DB0BOX");
    std::string block;
    for (int i = 0; i < 1620; ++i) block.push_back(static_cast<char>('A' + i % 26));
    DieBoxPasswordEntry entry;
    entry.block = block;
    entry.loginText = "LOGIN: 31.12.96 23:59";
    ASSERT_TRUE(writeDieBoxPassword(rig.dir / "DB0BOX.pwd", entry));
    rig.pwd(1);
    rig.poll(1);
    EXPECT_EQ(rig.ui.inserted, (Inserted{{slot, "\r"}, {slot, "PRIV " + block.substr(833, 4)}}));
    EXPECT_TRUE(rig.infos().empty()) << "a DieBox job sends nothing";
    EXPECT_EQ(rig.ch(1).job(JobSlot::Password), nullptr);

    // No usable login line yet: the sysop command alone, the code left empty.
    ASSERT_TRUE(writePasswordKey(rig.dir / "DB0BOX.pwd", "LoginText", "Dummy Login Text"));
    rig.clear();
    rig.pwd(1);
    rig.poll(1);
    EXPECT_EQ(rig.ui.inserted, (Inserted{{slot, "\r"}, {slot, "PRIV "}}));
}

TEST_F(PasswordJobs, DieBoxWithAShortBlockIsRefusedOnceAndEnds) {
    connect("DB0BOX");
    DieBoxPasswordEntry entry;
    entry.block = std::string(1619, 'x');
    entry.loginText = "LOGIN: 01.01.97 00:00";
    ASSERT_TRUE(writeDieBoxPassword(rig.dir / "DB0BOX.pwd", entry));
    rig.pwd(1);
    for (int i = 0; i < 5; ++i) rig.poll(1);
    EXPECT_TRUE(rig.ui.inserted.empty());
    EXPECT_EQ(rig.shown(kClassTncEcho), (std::vector<std::string>{std::string(kDieBoxBlockTooShort)}));
    EXPECT_EQ(rig.ch(1).job(JobSlot::Password), nullptr);
    EXPECT_EQ(rig.trace, (std::vector<std::string>{"password job 2: start -> refused"}));
}

TEST_F(PasswordJobs, PwdTwiceReplacesTheWaitingJob) {
    connect("DB0NOD");
    pwdFile("DB0NOD", "[Station]\r\nStationMode=FlexNet\r\nSysopCommand=SYS\r\nPassword=11\r\n");
    rig.pwd(1);
    rig.poll(1);
    ASSERT_NE(rig.job(1), nullptr);
    EXPECT_EQ(rig.job(1)->state(), CPasswordJob::State::AwaitChallenge);
    rig.pwd(1);
    ASSERT_NE(rig.job(1), nullptr);
    EXPECT_EQ(rig.job(1)->state(), CPasswordJob::State::Start) << "a new job in place of the old one";
    rig.poll(1);
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"SYS\r", "SYS\r"}));
    rig.info(1, "N 23>");
    EXPECT_EQ(rig.ui.inserted, (Inserted{{slot, "\r"}, {slot, "5"}})) << "answered once";
}

TEST_F(PasswordJobs, RefusalsWithoutConnectionModeOrCallsign) {
    rig.clear();
    pwdFile("DB0NOD", "[Station]\r\nStationMode=FlexNet\r\nSysopCommand=SYS\r\nPassword=11\r\n");
    rig.pwd(1);
    rig.poll(1);
    EXPECT_EQ(rig.shown(kClassTncEcho), (std::vector<std::string>{std::string(kPwdNotConnected)}));
    EXPECT_TRUE(rig.infos().empty());
    EXPECT_EQ(rig.ch(1).job(JobSlot::Password), nullptr);

    for (const char* body : {"", "[Station]\r\nStationMode=no Password\r\n", "[Station]\r\nStationMode=Baycom\r\n"}) {
        connect("DB0XYZ");
        if (*body) pwdFile("DB0XYZ", body);
        rig.pwd(1);
        rig.poll(1);
        EXPECT_EQ(rig.shown(kClassTncEcho), (std::vector<std::string>{std::string(kPwdModeNotDefined)})) << body;
        EXPECT_EQ(rig.ch(1).job(JobSlot::Password), nullptr);
        EXPECT_TRUE(rig.infos().empty());
    }

    // An SSID beyond 15 is no callsign: no file name is built from it.
    connect("DB0XYZ-99");
    rig.pwd(1);
    const auto notices = rig.shown(kClassTncEcho);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_NE(notices[0].find("ist kein Rufzeichen"), std::string::npos) << notices[0];
    EXPECT_EQ(notices[0].front(), '\r');
}

TEST_F(PasswordJobs, ADisconnectEndsTheWaitingJob) {
    connect("DB0NOD");
    pwdFile("DB0NOD", "[Station]\r\nStationMode=FlexNet\r\nSysopCommand=SYS\r\nPassword=11\r\n");
    rig.pwd(1);
    rig.poll(1);
    ASSERT_NE(rig.job(1), nullptr);
    rig.status(1, "(1) DISCONNECTED fm DB0NOD");
    EXPECT_EQ(rig.ch(1).job(JobSlot::Password), nullptr);
}

TEST_F(PasswordJobs, APasswordFileInTheStationDirectoryWins) {
    const auto stations = rig.dir / "stn";
    std::filesystem::create_directory(stations);
    rig.profile.writeString("frame", "StationDir", stations.string());
    pwdFile("DB0NOD", "[Station]\r\nStationMode=FlexNet\r\nSysopCommand=WRONG\r\nPassword=11\r\n");
    writeFile(stations / "db0nod.pwd", "[Station]\r\nStationMode=FlexNet\r\nSysopCommand=SYS\r\nPassword=22\r\n");
    connect("DB0NOD");
    rig.pwd(1);
    rig.poll(1);
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"SYS\r"}));
    rig.info(1, "DB0NOD 33>");
    EXPECT_EQ(rig.ui.inserted, (Inserted{{slot, "\r"}, {slot, "12"}}));
}

}  // namespace
}  // namespace norva::test
