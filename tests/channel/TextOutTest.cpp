// Text out: every branch of the road from the input pane, the jobs and the
// DDE side to the TNC, the consoles of the dummy TNC, the local commands.
#include <gtest/gtest.h>

#include "ChannelRig.h"
#include "hostmode/Tnc.h"

namespace norva::test {
namespace {

class TextOut : public ::testing::Test {
protected:
    void SetUp() override {
        hooks().setRemote(&remote);
        hooks().setPassword(&password);
        rig.configure(1, 4);
        rig.create();
        rig.state->writes.clear();
        rig.ui.texts.clear();
    }
    void TearDown() override {
        hooks().setRemote(nullptr);
        hooks().setPassword(nullptr);
    }
    ChannelHooks& hooks() { return rig.ctx.channels.hooks(); }
    CTncChannel& ch(int n) { return rig.channel(1, n); }
    CTncChannel& dummy(int n) { return rig.channel(kDummyTnc, n); }

    ChannelRig rig;
    RecRemote remote{rig.events};
    RecPassword password{rig.events};
};

TEST_F(TextOut, TextGoesOutAsInfoFramesAndIsEchoedWhenAsked) {
    ch(2).textOut("hello\r", kKindInfo, true);
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"hello\r"}));
    ASSERT_EQ(rig.ui.texts.size(), 1u);
    EXPECT_EQ(rig.ui.texts[0], std::make_tuple(ch(2).slot(), kClassInputEcho, std::string("hello\r")));
    rig.ui.texts.clear();
    ch(2).textOut("quiet\r", kKindInfo, false);
    EXPECT_TRUE(rig.ui.texts.empty());
}

TEST_F(TextOut, CommandLosesItsInputPrefix) {
    ch(2).textOut("* MN", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"MN"}));
    rig.state->writes.clear();
    ch(2).textOut("*", kKindCommand, false);
    EXPECT_TRUE(rig.state->writes.empty()) << "nothing is left to send";
}

TEST_F(TextOut, NothingHappensWhileTheTncIsOutOfSync) {
    rig.fw.silent = true;
    ch(2).sendOperation({kKindInfo, "x"});
    ASSERT_TRUE(rig.host->tnc(1)->outOfSync());
    rig.state->writes.clear();
    rig.ui.texts.clear();
    ch(2).textOut("lost\r", kKindInfo, true);
    EXPECT_TRUE(rig.state->writes.empty());
    EXPECT_TRUE(rig.ui.texts.empty());
}

TEST_F(TextOut, RunningTransferHoldsBackTextButNotCommands) {
    ch(2).setJob(JobSlot::Send, std::make_unique<RecJob>("send", rig.events));
    ch(2).textOut("typed\r", kKindInfo, true);
    EXPECT_TRUE(rig.state->writes.empty());
    EXPECT_EQ(rig.ui.texts.size(), 1u) << "the echo is still shown";
    ch(2).textOut("* L", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"L"}));
}

TEST_F(TextOut, RemoteSessionTakesTheTextInsteadOfTheTnc) {
    ch(2).setJob(JobSlot::RemoteSession, std::make_unique<RecJob>("session", rig.events));
    ch(2).setJob(JobSlot::Mailbox, std::make_unique<RecJob>("mailbox", rig.events));
    rig.events.clear();
    ch(2).textOut("answer\r", kKindInfo, true);
    EXPECT_EQ(rig.events, (Events{"mailbox.send:answer\r", "session.send:answer\r"}));
    EXPECT_TRUE(rig.state->writes.empty());
    EXPECT_TRUE(rig.ui.texts.empty());
}

TEST_F(TextOut, MailboxSeesTextOnlyWithoutTransfers) {
    ch(2).setJob(JobSlot::Mailbox, std::make_unique<RecJob>("mailbox", rig.events));
    ch(2).setJob(JobSlot::FileReceive, std::make_unique<RecJob>("file", rig.events));
    rig.events.clear();
    ch(2).textOut("r 12\r", kKindInfo, false);
    EXPECT_TRUE(rig.events.empty());
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"r 12\r"}));
}

TEST_F(TextOut, PasswordAnsweringMayTakeTheLineOver) {
    password.take = "SYS";
    ch(2).textOut("* SYS", kKindCommand, false);
    EXPECT_TRUE(rig.state->writes.empty());
    ch(2).textOut("* SYSOP", kKindCommand, false);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"SYSOP"}));
}

TEST_F(TextOut, TypedTextGoesToTheCaptureWithInputToFile) {
    auto* capture = new RecJob("capture", rig.events);
    ch(2).setJob(JobSlot::Capture, std::unique_ptr<CChannelJob>(capture));
    rig.events.clear();
    ch(2).textOut("logged\r", kKindInfo, false);
    ch(2).textOut("* I DL1ABC", kKindCommand, false);
    EXPECT_EQ(rig.events, (Events{"capture.receive:logged\r", "capture.receive:I DL1ABC"}));
    EXPECT_EQ(capture->kinds, (std::vector<int>{kKindInfo, kKindCommand}));
    ch(2).settings().inputToFile = false;
    rig.events.clear();
    ch(2).textOut("not logged\r", kKindInfo, false);
    EXPECT_TRUE(rig.events.empty());
}

TEST_F(TextOut, RemoteConsoleRunsTypedTextThroughTheReceivePath) {
    CTncChannel& remoteConsole = dummy(1);
    EXPECT_EQ(remoteConsole.linkState().myCall(), "REMOTE");
    EXPECT_TRUE(remoteConsole.superuser());
    remoteConsole.setJob(JobSlot::Script, std::make_unique<RecJob>("script", rig.events));
    rig.events.clear();
    remoteConsole.textOut("//DIR\r", kKindInfo, false);
    EXPECT_EQ(rig.events, (Events{"remote.scan:" + std::to_string(remoteConsole.slot()) + "://DIR\r",
                                  "script.receive://DIR\r"}));
    ASSERT_EQ(rig.ui.texts.size(), 1u) << "shown like received text";
    EXPECT_EQ(rig.ui.texts[0], std::make_tuple(remoteConsole.slot(), int(kKindConnected), std::string("//DIR\r")));
    EXPECT_TRUE(rig.state->writes.empty());
}

// A job that answers every record through text out on its own channel.
class Answerer : public CChannelJob {
public:
    explicit Answerer(CTncChannel& ch) : ch_(ch) {}
    int receive(const ReceiveRecord& r) override {
        ++seen;
        ch_.textOut("re: " + std::string(r.text()), kKindInfo, false);
        return 1;
    }
    int seen = 0;

private:
    CTncChannel& ch_;
};

TEST_F(TextOut, ConsoleAnswersAreNotFedBackWithoutEnd) {
    CTncChannel& remoteConsole = dummy(1);
    auto* answerer = new Answerer(remoteConsole);
    remoteConsole.setJob(JobSlot::RemoteSession, std::unique_ptr<CChannelJob>(answerer));
    remoteConsole.textOut("ping\r", kKindInfo, false);
    EXPECT_EQ(answerer->seen, 1);
    ASSERT_EQ(rig.ui.texts.size(), 2u);
    EXPECT_EQ(std::get<2>(rig.ui.texts[0]), "re: ping\r");
    EXPECT_EQ(std::get<1>(rig.ui.texts[0]), kClassInputEcho);
    EXPECT_EQ(std::get<2>(rig.ui.texts[1]), "ping\r");
}

TEST_F(TextOut, ConverseConsoleSplitsCommandsFromConferenceLines) {
    CTncChannel& converse = dummy(2);
    EXPECT_EQ(converse.linkState().myCall(), "CONVERSE");
    EXPECT_EQ(rig.ctx.channels.converseGroup(converse.slot()), 1);
    converse.textOut("/WHO\r", kKindInfo, false);
    converse.textOut("hello all\r", kKindInfo, false);
    converse.textOut("* C DL1ABC", kKindCommand, false);
    EXPECT_EQ(rig.events, (Events{"remote.scan:" + std::to_string(converse.slot()) + ":/WHO\r",
                                  "converse:hello all\r"}));
    converse.resetJobs();
    EXPECT_EQ(rig.ctx.channels.converseGroup(converse.slot()), 1) << "the console never leaves";
}

TEST_F(TextOut, DummyChannelsSendNothing) {
    dummy(0).textOut("x\r", kKindInfo, true);
    EXPECT_TRUE(rig.state->writes.empty());
    EXPECT_EQ(rig.ui.texts.size(), 1u);
}

TEST_F(TextOut, PacklenSetsSilentlyInRangeAndShowsTheValueOtherwise) {
    ch(2).textOut("* PACKLEN 100", kKindCommand, false);
    EXPECT_EQ(ch(2).packlen(), 100);
    EXPECT_TRUE(rig.ui.texts.empty());
    for (const char* bad : {"* PACKLEN 7", "* packlen 256", "* PACKLEN", "* PACKLEN abc"}) {
        rig.ui.texts.clear();
        ch(2).textOut(bad, kKindCommand, false);
        EXPECT_EQ(ch(2).packlen(), 100) << bad;
        ASSERT_EQ(rig.ui.texts.size(), 1u) << bad;
        EXPECT_EQ(rig.ui.texts[0], std::make_tuple(ch(2).slot(), kClassTncEcho, std::string("\rPACKLEN 100\r")));
    }
    ch(2).textOut("* PACKLEN 8", kKindCommand, false);
    EXPECT_EQ(ch(2).packlen(), 8);
    EXPECT_TRUE(rig.state->writes.empty()) << "local commands never reach the TNC";
    // The new length cuts the frames.
    ch(2).sendOperation({kKindInfo, std::string(20, 'z')});
    EXPECT_EQ(rig.infos(), (std::vector<std::string>{"zzzzzzzz", "zzzzzzzz", "zzzz"}));
}

TEST_F(TextOut, PwdGoesToThePasswordHookOnly) {
    ch(2).textOut("* pwd", kKindCommand, false);
    ch(2).textOut("* PWD extra words", kKindCommand, false);
    ch(2).textOut("* PWDX", kKindCommand, false);
    EXPECT_EQ(rig.events, (Events{"pwd:", "pwd:extra words"}));
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"PWDX"}));
}

TEST_F(TextOut, OutputSinkModeZeroSendsModeOneShows) {
    COutputSink toChannel(rig.ctx.channels, rig.ui, ch(2).slot(), COutputSink::ToChannel);
    toChannel.put("* MN", kKindCommand);
    EXPECT_EQ(rig.commands(), (std::vector<std::string>{"MN"}));
    COutputSink toWindow(rig.ctx.channels, rig.ui, ch(2).slot(), COutputSink::ToWindow);
    toWindow.put("", 9);
    EXPECT_TRUE(rig.ui.texts.empty()) << "empty text opens no window";
    toWindow.put("abc", 9);
    EXPECT_EQ(rig.ui.texts.size(), 1u);
    EXPECT_FALSE(rig.ctx.channels.sendToChannel(slotOf(2, 1), "x\r", kKindInfo, false));
}

}  // namespace
}  // namespace norva::test
