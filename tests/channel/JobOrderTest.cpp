// The order in which a channel offers received records and ticks to the jobs
// in its slots, with and without a gateway, send or file-receive job; the
// send-slot refill from the transfer queue; jobs that finish; the reset.
#include <gtest/gtest.h>

#include "ChannelRig.h"

namespace norva::test {
namespace {

// Puts a recording job into every slot named; returns them by slot.
struct Jobs {
    std::map<JobSlot, CChannelJob*> bySlot;
    RecGateway* gateway = nullptr;
    RecMapLink* map = nullptr;
};

const std::map<JobSlot, std::string> kNames = {
    {JobSlot::Send, "send"},          {JobSlot::RemoteInput, "input"},
    {JobSlot::FileReceive, "file"},   {JobSlot::Capture, "capture"},
    {JobSlot::Script, "script"},      {JobSlot::Mailbox, "mailbox"},
    {JobSlot::Password, "password"},  {JobSlot::RemoteSession, "session"},
    {JobSlot::Gateway, "gateway"},    {JobSlot::SchedulerHook, "scheduler"},
    {JobSlot::MapLink, "map"},        {JobSlot::CompanionHook, "companion"},
};

Jobs fill(CTncChannel& ch, Events& events, std::initializer_list<JobSlot> slots) {
    Jobs jobs;
    for (JobSlot s : slots) {
        if (s == JobSlot::Gateway) {
            auto gw = std::make_unique<RecGateway>("gateway", events);
            jobs.gateway = gw.get();
            jobs.bySlot[s] = gw.get();
            ch.setGatewayJob(std::move(gw));
        } else if (s == JobSlot::MapLink) {
            auto map = std::make_unique<RecMapLink>("map", events);
            jobs.map = map.get();
            jobs.bySlot[s] = map.get();
            ch.setMapLinkJob(std::move(map));
        } else {
            auto job = std::make_unique<RecJob>(kNames.at(s), events);
            jobs.bySlot[s] = job.get();
            EXPECT_TRUE(ch.setJob(s, std::move(job)));
        }
    }
    return jobs;
}

const std::initializer_list<JobSlot> kAllButExclusive = {
    JobSlot::RemoteInput, JobSlot::Capture,       JobSlot::Script,        JobSlot::Mailbox,
    JobSlot::Password,    JobSlot::RemoteSession, JobSlot::SchedulerHook, JobSlot::MapLink,
    JobSlot::CompanionHook};

Events receivedBy(ChannelRig& rig, CTncChannel& ch, std::string_view text) {
    rig.events.clear();
    ch.receiveEntry(kKindConnected, text);
    ch.dispatch();
    return rig.events;
}

Events ticked(ChannelRig& rig, CTncChannel& ch) {
    rig.events.clear();
    ch.tick();
    return rig.events;
}

class JobOrder : public ::testing::Test {
protected:
    void SetUp() override {
        rig.ctx.channels.hooks().setRemote(&remote);
        rig.configure(1, 4);
        rig.create();
    }
    void TearDown() override { rig.ctx.channels.hooks().setRemote(nullptr); }
    ChannelRig rig;
    RecRemote remote{rig.events};
};

TEST_F(JobOrder, DispatchWithoutExclusiveJobsReachesEveryJobInTheFixedOrder) {
    CTncChannel& ch = rig.channel(1, 2);
    fill(ch, rig.events, kAllButExclusive);
    const Events expected = {"capture.receive:hi",   "map.receive:hi",      "remote.scan:3:hi",
                             "mailbox.receive:hi",   "scheduler.receive:hi", "script.receive:hi",
                             "password.receive:hi",  "input.receive:hi",    "session.receive:hi"};
    EXPECT_EQ(receivedBy(rig, ch, "hi"), expected);
}

TEST_F(JobOrder, DispatchWithSendJobSkipsScannerAndScript) {
    CTncChannel& ch = rig.channel(1, 2);
    fill(ch, rig.events, kAllButExclusive);
    fill(ch, rig.events, {JobSlot::Send});
    const Events expected = {"capture.receive:x",  "map.receive:x",      "mailbox.receive:x",
                             "scheduler.receive:x", "send.receive:x",    "password.receive:x",
                             "input.receive:x",    "session.receive:x"};
    EXPECT_EQ(receivedBy(rig, ch, "x"), expected);
}

TEST_F(JobOrder, DispatchWithFileReceiveHidesTextFromCaptureScannerAndScript) {
    CTncChannel& ch = rig.channel(1, 2);
    fill(ch, rig.events, kAllButExclusive);
    fill(ch, rig.events, {JobSlot::FileReceive});
    const Events expected = {"map.receive:x",       "mailbox.receive:x", "scheduler.receive:x",
                             "file.receive:x",      "password.receive:x", "input.receive:x",
                             "session.receive:x"};
    EXPECT_EQ(receivedBy(rig, ch, "x"), expected);
    // Nor is it shown.
    rig.ui.texts.clear();
    ch.flushToOutput();
    EXPECT_TRUE(rig.ui.texts.empty());
}

TEST_F(JobOrder, DispatchWithGatewayGivesTrafficToTheGatewayAlone) {
    CTncChannel& ch = rig.channel(1, 2);
    fill(ch, rig.events, kAllButExclusive);
    fill(ch, rig.events, {JobSlot::Gateway, JobSlot::Send});
    const Events expected = {"capture.receive:x", "map.receive:x", "gateway.receive:x"};
    EXPECT_EQ(receivedBy(rig, ch, "x"), expected);
}

TEST_F(JobOrder, MonitorChannelOffersRecordsToTheCaptureJobOnly) {
    CTncChannel& ch = rig.channel(1, 0);
    fill(ch, rig.events, kAllButExclusive);
    EXPECT_EQ(receivedBy(rig, ch, "mon"), (Events{"capture.receive:mon"}));
    EXPECT_TRUE(ticked(rig, ch).empty()) << "channel 0 runs no jobs";
}

TEST_F(JobOrder, EmptyRecordIsNotDispatched) {
    CTncChannel& ch = rig.channel(1, 2);
    fill(ch, rig.events, kAllButExclusive);
    ch.clearReceived();
    rig.events.clear();
    ch.dispatch();
    EXPECT_TRUE(rig.events.empty());
}

TEST_F(JobOrder, FinishedCaptureIsDestroyedOthersEndThroughTheirTick) {
    CTncChannel& ch = rig.channel(1, 2);
    Jobs jobs = fill(ch, rig.events, {JobSlot::Capture, JobSlot::Password});
    static_cast<RecJob*>(jobs.bySlot[JobSlot::Capture])->receiveResult = 0;
    static_cast<RecJob*>(jobs.bySlot[JobSlot::Password])->receiveResult = 0;
    const Events got = receivedBy(rig, ch, "x");
    // The finished capture leaves its slot at once and is destroyed when the dispatch is over.
    EXPECT_EQ(got, (Events{"capture.receive:x", "remote.scan:3:x", "password.receive:x", "capture.destroy"}));
    EXPECT_EQ(ch.job(JobSlot::Capture), nullptr);
    EXPECT_NE(ch.job(JobSlot::Password), nullptr);
}

TEST_F(JobOrder, TickWithoutExclusiveJobs) {
    CTncChannel& ch = rig.channel(1, 3);
    fill(ch, rig.events, kAllButExclusive);
    const Events expected = {"script.tick",  "map.tick",      "companion.tick", "scheduler.tick",
                             "capture.tick", "password.tick", "input.tick",     "session.tick"};
    EXPECT_EQ(ticked(rig, ch), expected);
}

TEST_F(JobOrder, TickWithSendOrFileReceiveLeavesTheScriptWaiting) {
    CTncChannel& ch = rig.channel(1, 3);
    fill(ch, rig.events, kAllButExclusive);
    fill(ch, rig.events, {JobSlot::Send, JobSlot::FileReceive});
    const Events expected = {"map.tick",     "companion.tick", "scheduler.tick", "capture.tick",
                             "send.tick",    "file.tick",      "password.tick",  "input.tick",
                             "session.tick"};
    EXPECT_EQ(ticked(rig, ch), expected);
}

TEST_F(JobOrder, TickWithGatewayRunsScriptMapAndGatewayOnly) {
    CTncChannel& ch = rig.channel(1, 3);
    fill(ch, rig.events, kAllButExclusive);
    fill(ch, rig.events, {JobSlot::Gateway});
    EXPECT_EQ(ticked(rig, ch), (Events{"script.tick", "map.tick", "gateway.tick"}));
}

TEST_F(JobOrder, PollTicksJobsBeforeItsCommands) {
    CTncChannel& ch = rig.channel(1, 1);
    fill(ch, rig.events, {JobSlot::Script});
    rig.state->writes.clear();
    rig.events.clear();
    rig.fw.onCommand = [&](int, std::string_view d) -> std::string {
        rig.events.push_back("tnc:" + std::string(d));
        return {};
    };
    ch.poll(PollMode::ForceGet);
    ASSERT_GE(rig.events.size(), 2u);
    EXPECT_EQ(rig.events.front(), "script.tick");
    EXPECT_EQ(rig.events.back(), "tnc:G");
}

TEST_F(JobOrder, FinishedTickDestroysOnlyThatJob) {
    CTncChannel& ch = rig.channel(1, 3);
    Jobs jobs = fill(ch, rig.events, {JobSlot::Script, JobSlot::Password, JobSlot::RemoteSession});
    static_cast<RecJob*>(jobs.bySlot[JobSlot::Password])->tickResult = 0;
    EXPECT_EQ(ticked(rig, ch), (Events{"script.tick", "password.tick", "session.tick", "password.destroy"}));
    EXPECT_EQ(ch.job(JobSlot::Password), nullptr);
    EXPECT_NE(ch.job(JobSlot::Script), nullptr);
}

// A job whose tick puts a new job into its own slot and reports finished:
// the new job stays.
class Replacer : public CChannelJob {
public:
    Replacer(CTncChannel& ch, Events& e) : ch_(ch), e_(e) {}
    int tick() override {
        ch_.setJob(JobSlot::Password, std::make_unique<RecJob>("second", e_));
        e_.push_back("replacer.tick");
        return 0;
    }
    ~Replacer() override { e_.push_back("replacer.destroy"); }

private:
    CTncChannel& ch_;
    Events& e_;
};

TEST_F(JobOrder, JobReplacedDuringItsTickKeepsTheReplacement) {
    CTncChannel& ch = rig.channel(1, 3);
    ch.setJob(JobSlot::Password, std::make_unique<Replacer>(ch, rig.events));
    const Events got = ticked(rig, ch);
    EXPECT_EQ(got, (Events{"replacer.tick", "replacer.destroy"}))
        << "the old job lives until the tick is over";
    ASSERT_NE(ch.job(JobSlot::Password), nullptr);
}

TEST_F(JobOrder, SendSlotIsRefilledFromTheQueueInOrder) {
    CTncChannel& ch = rig.channel(1, 3);
    auto* first = new RecJob("q1", rig.events);
    ASSERT_TRUE(ch.transferQueue().add(std::unique_ptr<CChannelJob>(first)));
    ASSERT_TRUE(ch.transferQueue().add(std::make_unique<RecJob>("q2", rig.events)));
    EXPECT_EQ(ticked(rig, ch), Events{});
    EXPECT_EQ(ch.job(JobSlot::Send), first) << "taken at the end of the tick";
    EXPECT_TRUE(ch.transferQueue().isActive(first)) << "listed while it is sent";

    first->tickResult = 0;
    EXPECT_EQ(ticked(rig, ch), (Events{"q1.tick", "q1.destroy"}));
    EXPECT_EQ(ch.transferQueue().size(), 1u) << "the queue was told";
    ASSERT_NE(ch.job(JobSlot::Send), nullptr);
    EXPECT_EQ(ticked(rig, ch), (Events{"q2.tick"}));
}

TEST_F(JobOrder, NoRefillWhilePausedOrWhileAFileIsReceived) {
    CTncChannel& ch = rig.channel(1, 3);
    ch.transferQueue().add(std::make_unique<RecJob>("q1", rig.events));
    ch.transferQueue().setPaused(true);
    ch.tick();
    EXPECT_EQ(ch.job(JobSlot::Send), nullptr);
    ch.transferQueue().setPaused(false);
    fill(ch, rig.events, {JobSlot::FileReceive});
    ch.tick();
    EXPECT_EQ(ch.job(JobSlot::Send), nullptr);
    ch.destroyJob(JobSlot::FileReceive);
    ch.tick();
    EXPECT_NE(ch.job(JobSlot::Send), nullptr);
}

TEST_F(JobOrder, ResetEndsTransfersAndSessionsAndPausesAQueueStillHoldingJobs) {
    CTncChannel& ch = rig.channel(1, 3);
    ch.transferQueue().add(std::make_unique<RecJob>("q1", rig.events));
    ch.transferQueue().add(std::make_unique<RecJob>("q2", rig.events));
    ch.tick();
    fill(ch, rig.events, {JobSlot::FileReceive, JobSlot::RemoteInput, JobSlot::Password,
                                      JobSlot::RemoteSession, JobSlot::Gateway, JobSlot::Capture,
                                      JobSlot::Script, JobSlot::Mailbox});
    rig.ctx.channels.setConverseGroup(ch.slot(), 1);
    rig.events.clear();
    ch.resetJobs();
    std::sort(rig.events.begin(), rig.events.end());
    EXPECT_EQ(rig.events, (Events{"file.destroy", "gateway.destroy", "input.destroy", "password.destroy",
                                  "q1.destroy", "session.destroy"}));
    EXPECT_EQ(ch.transferQueue().size(), 1u);
    EXPECT_TRUE(ch.transferQueue().paused());
    EXPECT_NE(ch.job(JobSlot::Capture), nullptr);
    EXPECT_NE(ch.job(JobSlot::Script), nullptr);
    EXPECT_EQ(rig.ctx.channels.converseGroup(ch.slot()), 0);
    EXPECT_FALSE(ch.superuser());
}

TEST_F(JobOrder, ResetKeepsTheOutgoingSideOfAGateway) {
    CTncChannel& ch = rig.channel(1, 3);
    Jobs jobs = fill(ch, rig.events, {JobSlot::Gateway});
    jobs.gateway->home = false;
    ch.resetJobs();
    EXPECT_NE(ch.gatewayJob(), nullptr);
}

TEST_F(JobOrder, TypedSlotsRefuseUntypedJobs) {
    CTncChannel& ch = rig.channel(1, 3);
    EXPECT_FALSE(ch.setJob(JobSlot::Gateway, std::make_unique<RecJob>("x", rig.events)));
    EXPECT_FALSE(ch.setJob(JobSlot::MapLink, std::make_unique<RecJob>("y", rig.events)));
    EXPECT_EQ(ch.gatewayJob(), nullptr);
}

TEST_F(JobOrder, GatewayChannelIsPolledOnlyWhileThePartnerMaySend) {
    CTncChannel& home = rig.channel(1, 1);
    CTncChannel& partner = rig.channel(1, 2);
    Jobs jobs = fill(home, rig.events, {JobSlot::Gateway});
    jobs.gateway->partner = partner.slot();
    partner.linkState().onBAnswer("400");  // not above MinFreeBuffer 500
    rig.state->writes.clear();
    EXPECT_FALSE(home.poll(PollMode::ForceGet));
    EXPECT_TRUE(rig.state->writes.empty());
    partner.linkState().onBAnswer("900");
    home.poll(PollMode::ForceGet);
    EXPECT_FALSE(rig.state->writes.empty());
}

TEST_F(JobOrder, ChannelDestructionDestroysItsJobsAndWaitingQueue) {
    CTncChannel& ch = rig.channel(1, 3);
    ch.transferQueue().add(std::make_unique<RecJob>("q1", rig.events));
    ch.transferQueue().add(std::make_unique<RecJob>("q2", rig.events));
    ch.tick();
    fill(ch, rig.events, {JobSlot::Script});
    rig.events.clear();
    rig.host.reset();
    std::sort(rig.events.begin(), rig.events.end());
    EXPECT_EQ(rig.events, (Events{"q1.destroy", "q2.destroy", "script.destroy"}));
    EXPECT_EQ(rig.ctx.channels.channel(slotOf(1, 3)), nullptr);
}

}  // namespace
}  // namespace norva::test
