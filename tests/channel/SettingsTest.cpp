// Channel settings of the Link<slot> sections: defaults, garbage values,
// writing back; the standing jobs a channel makes for itself; the transfer
// queue; the document of a channel window.
#include <gtest/gtest.h>

#include "ChannelRig.h"
#include "channel/NorvaDoc.h"
#include "hostmode/Tnc.h"

namespace norva::test {
namespace {

TEST(ChannelSettings, MissingSectionGivesTheDefaults) {
    ChannelRig rig;
    rig.configure(1, 2);
    rig.create();
    const ChannelSettings& s = rig.channel(1, 1).settings();
    EXPECT_EQ(s.packlen, 64);
    EXPECT_TRUE(s.remote);
    EXPECT_EQ(s.maxReviewTime, 60);
    EXPECT_FALSE(s.autoBin);
    EXPECT_TRUE(s.fileStamp && s.addFileEnd && s.messageBeep && s.remoteQuit && s.dieBox &&
                s.logStation && s.connectMsg && s.inputToFile && s.travoAuto);
    EXPECT_EQ(s.logFile, "");
    EXPECT_EQ(rig.dir.read("system.log").find("Link"), std::string::npos);
    rig.host.reset();
    EXPECT_TRUE(rig.profile.keys("Link2").empty()) << "defaults are not written out";
}

TEST(ChannelSettings, GarbageValuesGiveDefaultsOrClampedValuesAndALogLine) {
    ChannelRig rig;
    rig.configure(1, 4);
    rig.appendIni("[Link2]\r\nPacklen=abc\r\nMaxReviewTime=-5\r\nRemote=yes\r\nDieBox=7\r\nFileStamp=\r\n"
                  "[Link3]\r\nPacklen=0\r\nMaxReviewTime=99999999999\r\n"
                  "[Link4]\r\nPacklen=5000\r\nAutoBin=1\r\nMessageBeep=0\r\n");
    rig.create();
    const ChannelSettings& a = rig.channel(1, 1).settings();
    EXPECT_EQ(a.packlen, 64);
    EXPECT_EQ(a.maxReviewTime, 0);
    EXPECT_TRUE(a.remote);
    EXPECT_TRUE(a.dieBox);
    EXPECT_TRUE(a.fileStamp) << "a blank value reads as missing";
    EXPECT_EQ(rig.channel(1, 2).settings().packlen, 1);
    EXPECT_EQ(rig.channel(1, 2).settings().maxReviewTime, ChannelSettings::kMaxReviewSeconds);
    EXPECT_EQ(rig.channel(1, 3).settings().packlen, 256);
    EXPECT_TRUE(rig.channel(1, 3).settings().autoBin);
    EXPECT_FALSE(rig.channel(1, 3).settings().messageBeep);

    const std::string log = rig.dir.read("system.log");
    for (const char* line : {"Link2 Packlen \"abc\" is not a number, using 64\r\n",
                             "Link2 MaxReviewTime -5 outside 0..86400, using 0\r\n",
                             "Link2 Remote \"yes\" is not a number, using 1\r\n",
                             "Link2 DieBox 7 outside 0..1, using 1\r\n",
                             "Link3 Packlen 0 outside 1..256, using 1\r\n",
                             "Link4 Packlen 5000 outside 1..256, using 256\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_EQ(log.find("FileStamp"), std::string::npos);
    EXPECT_EQ(log.find("AutoBin"), std::string::npos);

    // Written back as they are used.
    rig.host.reset();
    EXPECT_EQ(rig.profile.getString("Link2", "Packlen"), "64");
    EXPECT_EQ(rig.profile.getString("Link4", "Packlen"), "256");
    EXPECT_EQ(rig.profile.getString("Link4", "AutoBin"), "1");
    EXPECT_EQ(rig.profile.getString("Link2", "DieBox"), "1");
}

TEST(ChannelSettings, ChangedValuesAreWrittenBackAtDestruction) {
    ChannelRig rig;
    rig.configure(1, 2);
    rig.create();
    CTncChannel& ch = rig.channel(1, 2);
    ch.settings().packlen = 128;
    ch.settings().inputToFile = false;
    ch.settings().logFile = "/tmp/x.log";
    ch.linkState().setNodesAvail("DB0AAA,DB0BBB");
    rig.host.reset();
    EXPECT_EQ(rig.profile.getString("Link3", "Packlen"), "128");
    EXPECT_EQ(rig.profile.getString("Link3", "InputToFile"), "0");
    EXPECT_EQ(rig.profile.getString("Link3", "LogFile"), "/tmp/x.log");
    EXPECT_EQ(rig.profile.getString("Link3", "NodesAvail"), "DB0AAA,DB0BBB");
    EXPECT_FALSE(rig.profile.find("Link3", "MyCall")) << "the TNC's call is not pinned to the channel";
}

TEST(ChannelSettings, LinkStateKeysSurviveARestart) {
    ChannelRig rig;
    rig.configure(1, 2, "DL1XYZ");
    rig.appendIni("[Link2]\r\nMyCall=dk0own\r\nDestCall=dl1abc\r\nLastDestCall=DB0X\r\nDefaultNode=DB0NOD\r\n");
    rig.create();
    const CLinkState& ls = rig.channel(1, 1).linkState();
    EXPECT_EQ(ls.myCall(), "DK0OWN");
    EXPECT_EQ(ls.destCall(), "DL1ABC");
    EXPECT_EQ(ls.lastDestCall(), "DB0X");
    EXPECT_EQ(ls.defaultNode(), "DB0NOD");
    EXPECT_EQ(rig.channel(1, 2).linkState().myCall(), "DL1XYZ") << "from the TNC's section";
    const auto cmds = rig.commands();
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "i DK0OWN"), 0) << "a channel with a destination keeps its call";
    EXPECT_EQ(std::count(cmds.begin(), cmds.end(), "i DL1XYZ"), 2) << "channels 0 and 2";
    rig.host.reset();
    EXPECT_EQ(rig.profile.getString("Link2", "MyCall"), "DK0OWN");
    EXPECT_EQ(rig.profile.getString("Link2", "DestCall"), "DL1ABC");
}

TEST(ChannelSettings, NoCallFallsBackToTheTncsCall) {
    ChannelRig rig;
    rig.configure(1, 1, "dl1xyz");
    rig.appendIni("[Link2]\r\nMyCall=NOCALL\r\n");
    rig.create();
    EXPECT_EQ(rig.channel(1, 1).linkState().myCall(), "DL1XYZ");
}

TEST(ChannelSettings, RemoteDirIsCopiedWithATrailingSlash) {
    ChannelRig rig;
    rig.configure(1, 1);
    rig.appendIni("[frame]\r\nRemoteDir=/srv/packet\r\n");
    rig.create();
    EXPECT_EQ(rig.channel(1, 1).remoteDir(), "/srv/packet/");
    EXPECT_EQ(rig.channel(kDummyTnc, 1).remoteDir(), "/srv/packet/");
}

TEST(ChannelSettings, RemoteDirDefaultsToTheProgramDirectory) {
    ChannelRig rig;
    rig.configure(1, 1);
    rig.create();
    EXPECT_EQ(rig.channel(1, 1).remoteDir(), rig.dir.path().string() + "/");
}

TEST(StandingJobs, MadeAtCreationByTheFactory) {
    ChannelRig rig;
    RecFactory factory(rig.events);
    rig.ctx.channels.hooks().setJobs(&factory);
    rig.configure(1, 2);
    rig.appendIni("[Link1]\r\nLogFile=mon.log\r\n[Link2]\r\nDieBox=0\r\n[Link3]\r\nTravoAuto=0\r\n");
    rig.create();
    for (const char* e : {"make.capture:1:mon.log", "make.companion:2", "make.scheduler:2", "make.mailbox:3",
                          "make.scheduler:3"})
        EXPECT_NE(std::find(rig.events.begin(), rig.events.end(), e), rig.events.end()) << e;
    for (const char* e : {"make.mailbox:1", "make.companion:1", "make.scheduler:1", "make.mailbox:2",
                          "make.companion:3"})
        EXPECT_EQ(std::find(rig.events.begin(), rig.events.end(), e), rig.events.end()) << e;
    EXPECT_NE(rig.channel(1, 0).job(JobSlot::Capture), nullptr) << "capture starts without a window";
    EXPECT_NE(rig.channel(1, 0).mapLinkJob(), nullptr);
    EXPECT_NE(rig.channel(1, 2).ddeObject(), nullptr);
    EXPECT_TRUE(rig.ui.texts.empty());
    rig.host.reset();
    rig.ctx.channels.hooks().setJobs(nullptr);
}

TEST(Registry, ChannelsEnterAndLeaveTheirSlots) {
    ChannelRig rig;
    rig.configure(1, 2);
    rig.create();
    ChannelRegistry& reg = rig.ctx.channels;
    EXPECT_EQ(reg.channel(1, 2), &rig.channel(1, 2));
    EXPECT_EQ(reg.channel(slotOf(1, 2)), &rig.channel(1, 2));
    EXPECT_EQ(reg.channel(1, 3), nullptr);
    EXPECT_EQ(reg.channel(kDummyTnc, 2), &rig.channel(kDummyTnc, 2));
    EXPECT_EQ(reg.channel(0), nullptr);
    EXPECT_EQ(reg.channel(106), nullptr);
    EXPECT_EQ(reg.channel(7, 1), nullptr);
    rig.host.reset();
    EXPECT_EQ(reg.channel(1, 2), nullptr);
    EXPECT_EQ(reg.channel(kDummyTnc, 1), nullptr);
}

TEST(TransferQueue, FiftyEntriesPackedFromTheFront) {
    Events events;
    CTransferQueue q;
    std::vector<CChannelJob*> jobs;
    for (int i = 0; i < 50; ++i) {
        auto job = std::make_unique<RecJob>("j" + std::to_string(i), events);
        jobs.push_back(job.get());
        ASSERT_TRUE(q.add(std::move(job)));
    }
    EXPECT_FALSE(q.add(std::make_unique<RecJob>("extra", events)));
    EXPECT_EQ(events, Events{"extra.destroy"});
    EXPECT_EQ(q.size(), 50u);

    auto removed = q.remove(jobs[10]);
    EXPECT_EQ(removed.get(), jobs[10]);
    EXPECT_EQ(q.size(), 49u);
    EXPECT_EQ(q.first(), jobs[0]);
    int seen = 1;
    CChannelJob* prev = jobs[0];
    for (CChannelJob* j = q.next(); j; j = q.next(), ++seen) {
        EXPECT_NE(j, jobs[10]);
        prev = j;
    }
    EXPECT_EQ(seen, 49);
    EXPECT_EQ(prev, jobs[49]);
    EXPECT_EQ(q.remove(jobs[10]), nullptr) << "not listed any more";
    EXPECT_TRUE(q.add(std::make_unique<RecJob>("again", events)));
}

TEST(TransferQueue, PauseHidesTheFirstEntryUnlessIgnored) {
    Events events;
    CTransferQueue q;
    EXPECT_EQ(q.first(), nullptr);
    EXPECT_EQ(q.next(), nullptr);
    auto* a = new RecJob("a", events);
    q.add(std::unique_ptr<CChannelJob>(a));
    q.setPaused(true);
    EXPECT_EQ(q.first(), nullptr);
    EXPECT_EQ(q.takeFirst(), nullptr);
    EXPECT_EQ(q.first(true), a);
    q.setPaused(false);
    auto taken = q.takeFirst();
    EXPECT_EQ(taken.get(), a);
    EXPECT_TRUE(q.isActive(a));
    EXPECT_EQ(q.takeFirst(), nullptr) << "already being sent";
    EXPECT_EQ(q.remove(a), nullptr) << "owned by the send slot";
    EXPECT_TRUE(q.empty());
}

TEST(NorvaDoc, TakesTheChannelOfItsSlot) {
    const CNorvaDoc doc(slotOf(2, 7));
    EXPECT_EQ(doc.tnc(), 2);
    EXPECT_EQ(doc.channel(), 7);
    EXPECT_EQ(doc.title(), "[2/7]");
    ChannelRegistry reg;
    reg.setNextWindowSlot(slotOf(5, 1));
    EXPECT_EQ(CNorvaDoc::forNextWindow(reg).title(), "[5/1]");
    reg.setNextWindowSlot(500);
    EXPECT_EQ(CNorvaDoc::forNextWindow(reg).slot(), 1);
}

}  // namespace
}  // namespace norva::test
