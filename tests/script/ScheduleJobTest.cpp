// The scheduler job on channel 2 of a scripted TNC link, driven minute by
// minute on the manual clock: which scripts start when, the window notice
// and system.log lines, busy channels, and clocks set back and forward.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <regex>

#include "ChannelRig.h"
#include "script/ScheduleJob.h"
#include "script/ScriptFiles.h"

namespace norva::test {
namespace {

class Scheduler : public ::testing::Test {
protected:
    void SetUp() override {
        rig.configure(1, 4, "DA1AAA");
        rig.create();
        ch = &rig.channel(1, 2);
        job = std::make_unique<CSchedulerJob>(*ch);
        for (const char* s : {"a.scr", "d.scr", "h.scr", "o.scr", "s.scr", "b.scr", "f.scr", "g.scr", "other.scr"})
            rig.dir.write(s, "; nothing to do\r\n");
        rig.dir.write("system.log", "");
    }
    void TearDown() override { job.reset(); }

    void schedule(const std::string& lines) { rig.appendIni("[SCHEDULE]\r\n" + lines); }
    void at(const LocalTime& t) { rig.clock.setLocalTime(t); }
    // One scheduler tick per minute; the channel runs (and ends) what it started.
    void minutes(int n) {
        for (int i = 0; i < n; ++i) {
            job->tick();
            ch->tick();
            rig.clock.advanceMs(60'000);
        }
    }
    std::string systemLog() const { return rig.dir.read("system.log"); }
    // "HH:MM name" of every start, from the log heads.
    std::vector<std::string> starts() const {
        std::vector<std::string> out;
        const std::string log = systemLog();
        static const std::regex line("  (\\d\\d\\.\\d\\d\\.\\d{4}) (\\d\\d:\\d\\d)  Start Script:      (\\S+)\r\n");
        for (std::sregex_iterator it(log.begin(), log.end(), line), end; it != end; ++it)
            out.push_back((*it)[1].str() + " " + (*it)[2].str() + " " + (*it)[3].str());
        return out;
    }
    std::string shown() {
        ch->flushToOutput();
        std::string out;
        for (const auto& [slot, cls, text] : rig.ui.texts)
            if (slot == ch->slot() && cls == kClassTncEcho) out += text;
        return out;
    }
    // The link state field of the TNC's "L" answer, taken in over a few status polls.
    void linkState(const std::string& answer) {
        rig.lAnswers[2] = answer;
        for (int i = 0; i < 5; ++i) ch->poll(PollMode::StatusOnly);
    }
    void connect() {
        rig.queueStatus(2, "(2) CONNECTED to DB1BBB");
        rig.poll(2);
        linkState("0 0 0 0 0 4");
        ASSERT_NE(ch->linkState().linkStateValue(), 0);
    }
    void disconnect() {
        linkState("0 0 0 0 0 0");
        rig.queueStatus(2, "(2) DISCONNECTED fm DB1BBB");
        rig.poll(2);
        ASSERT_EQ(ch->linkState().linkStateValue(), 0);
    }

    ChannelRig rig;
    CTncChannel* ch = nullptr;
    std::unique_ptr<CSchedulerJob> job;
};

TEST_F(Scheduler, AWeekOfEntriesFiresAtTheirMinutes) {
    schedule("0=1 2 Mo 14:30 mehrf. a.scr\r\n"
             "1=1 2 t\xC3\xA4gl. 02:00 mehrf. d.scr\r\n"
             "2=1 2 Mi st\xC3\xBCndl. mehrf. h.scr\r\n"
             "3=1 3 t\xC3\xA4gl. 03:00 mehrf. other.scr\r\n"
             "4=1 2 Fr 18:45 einf. o.scr\r\n"
             "5=1   2   sa   23:45   MEHRF.   s.scr\r\n"
             "6=a b c d e f\r\n");
    at({2024, 3, 4, 0, 0, 0});  // Monday
    minutes(7 * 24 * 60);
    std::map<std::string, int> count;
    for (const auto& s : starts()) ++count[s.substr(17)];
    EXPECT_EQ(count, (std::map<std::string, int>{{"a.scr", 1}, {"d.scr", 7}, {"h.scr", 23}, {"o.scr", 1}, {"s.scr", 1}}));
    const auto all = starts();
    EXPECT_EQ(all.front(), "04.03.2024 02:00 d.scr");
    EXPECT_NE(std::find(all.begin(), all.end(), "04.03.2024 14:30 a.scr"), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "06.03.2024 02:00 d.scr"), all.end()) << "first in key order wins";
    EXPECT_EQ(std::find(all.begin(), all.end(), "06.03.2024 02:00 h.scr"), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "06.03.2024 23:00 h.scr"), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "08.03.2024 18:45 o.scr"), all.end());
    EXPECT_NE(std::find(all.begin(), all.end(), "09.03.2024 23:45 s.scr"), all.end());
    // The once entry left the list; the keys after it moved down.
    EXPECT_EQ(rig.profile.getString("SCHEDULE", "4"), "1   2   sa   23:45   MEHRF.   s.scr");
    EXPECT_EQ(rig.profile.getString("SCHEDULE", "5"), "a b c d e f");
    EXPECT_FALSE(rig.profile.find("SCHEDULE", "6"));
    EXPECT_EQ(systemLog().find("bad entry"), std::string::npos) << "named by channel 1's job only";
}

TEST_F(Scheduler, BrokenLinesAreNamedOnceAndTheRestKeepsWorking) {
    schedule("0=a b c d e f\r\n1=1 1 Di 14:31 mehrf. a.scr\r\n2=1 1 t\xC3\xA4gl. 15:00 mehrf. a.scr\r\n");
    CSchedulerJob first(rig.channel(1, 1));
    at({2024, 3, 5, 14, 0, 0});
    for (int i = 0; i < 120; ++i) {
        first.tick();
        job->tick();
        rig.clock.advanceMs(60'000);
    }
    EXPECT_EQ(systemLog(), "  05.03.2024 14:00  Schedule: bad entry 0 skipped: a b c d e f\r\n"
                           "  05.03.2024 14:00  Schedule: bad entry 1 skipped: 1 1 Di 14:31 mehrf. a.scr\r\n"
                           "  05.03.2024 15:00  Start Script:      a.scr\r\n");
}

TEST_F(Scheduler, StartShowsNoticeAndLogsExactLines) {
    schedule("0=1 2 Di 14:30 mehrf. a.scr\r\n1=1 2 Di 14:45 mehrf. missing.scr\r\n");
    at({2024, 3, 5, 14, 29, 0});
    minutes(1);
    EXPECT_EQ(systemLog(), "");
    minutes(1);
    EXPECT_EQ(systemLog(), "  05.03.2024 14:30  Start Script:      a.scr\r\n");
    EXPECT_NE(shown().find("\rScript a.scr started at 05.03.2024 14:30\r"), std::string::npos);
    minutes(14);
    EXPECT_EQ(systemLog(), "  05.03.2024 14:30  Start Script:      a.scr\r\n") << "14:44: nothing new";
    minutes(1);
    // A missing script is reported as not started, never as a start.
    const std::string log = systemLog();
    EXPECT_NE(log.find("  05.03.2024 14:45  Script not started: missing.scr: "), std::string::npos) << log;
    EXPECT_EQ(log.find("Start Script:      missing.scr"), std::string::npos);
    EXPECT_EQ(shown().find("Script missing.scr started"), std::string::npos);
}

TEST_F(Scheduler, ConnectedChannelDropsRepeatedAndDelaysOnceEntries) {
    schedule("0=1 2 t\xC3\xA4gl. 10:00 mehrf. a.scr\r\n1=1 2 t\xC3\xA4gl. 10:15 einf. o.scr\r\n");
    at({2024, 3, 5, 9, 59, 0});
    connect();
    minutes(2);
    EXPECT_EQ(job->state(), CSchedulerJob::State::Idle) << "repeated entry dropped while connected";
    minutes(20);
    EXPECT_EQ(job->state(), CSchedulerJob::State::Pending);
    EXPECT_EQ(job->pendingScript(), "o.scr");
    EXPECT_FALSE(rig.profile.find("SCHEDULE", "1")) << "a once entry leaves the list when it fires";
    minutes(30);
    disconnect();
    job->tick();
    rig.clock.advanceMs(59'000);
    job->tick();
    EXPECT_TRUE(starts().empty());
    rig.clock.advanceMs(1'000);
    job->tick();
    EXPECT_EQ(starts(), (std::vector<std::string>{"05.03.2024 10:52 o.scr"}));
    EXPECT_EQ(job->state(), CSchedulerJob::State::Idle);
}

TEST_F(Scheduler, RunningScriptIsStoppedBeforeTheScheduledOne) {
    schedule("0=1 2 Di 14:30 mehrf. a.scr\r\n1=1 2 Di 14:30 mehrf. b.scr\r\n");
    rig.dir.write("long.scr", "**waitfor never\r\n");
    ASSERT_TRUE(startScript(*ch, "long.scr"));
    at({2024, 3, 5, 14, 30, 0});
    job->tick();
    EXPECT_EQ(ch->job(JobSlot::Script), nullptr) << "the old script went";
    EXPECT_TRUE(starts().empty());
    job->tick();
    EXPECT_NE(ch->job(JobSlot::Script), nullptr);
    EXPECT_EQ(starts(), (std::vector<std::string>{"05.03.2024 14:30 a.scr"})) << "only the first entry fires";
    minutes(20);
    EXPECT_EQ(starts().size(), 1u);
}

TEST_F(Scheduler, ClockSetBackNeverRepeatsAQuarter) {
    // End of summer time: 02:59 is followed by 02:00 once more.
    schedule("0=1 2 t\xC3\xA4gl. 02:30 mehrf. b.scr\r\n1=1 2 t\xC3\xA4gl. 03:00 mehrf. g.scr\r\n");
    at({2024, 10, 27, 2, 0, 0});
    minutes(60);
    at({2024, 10, 27, 2, 0, 0});
    minutes(61);
    EXPECT_EQ(starts(), (std::vector<std::string>{"27.10.2024 02:30 b.scr", "27.10.2024 03:00 g.scr"}));
    // A small NTP step back over a quarter boundary.
    at({2024, 10, 27, 3, 16, 0});
    minutes(1);
    at({2024, 10, 27, 2, 58, 0});
    minutes(5);
    EXPECT_EQ(starts().size(), 2u);
    // The next day all is as usual.
    at({2024, 10, 28, 2, 29, 0});
    minutes(2);
    EXPECT_EQ(starts().back(), "28.10.2024 02:30 b.scr");
}

TEST_F(Scheduler, ClockSetForwardLogsWhatItJumpedOver) {
    // Start of summer time: 01:59 is followed by 03:00.
    schedule("0=1 2 t\xC3\xA4gl. 02:15 mehrf. f.scr\r\n1=1 2 t\xC3\xA4gl. 03:00 mehrf. g.scr\r\n"
             "2=1 3 t\xC3\xA4gl. 02:30 mehrf. other.scr\r\n");
    at({2024, 3, 31, 1, 50, 0});
    minutes(10);
    at({2024, 3, 31, 3, 0, 0});
    minutes(1);
    EXPECT_EQ(systemLog(), "  31.03.2024 03:00  Skip Script:       f.scr (due 31.03.2024 02:15)\r\n"
                           "  31.03.2024 03:00  Start Script:      g.scr\r\n");
}

TEST_F(Scheduler, EntriesOfOtherChannelsAndTncsNeverStartHere) {
    schedule("0=2 2 t\xC3\xA4gl. st\xC3\xBCndl. mehrf. a.scr\r\n1=1 3 t\xC3\xA4gl. st\xC3\xBCndl. mehrf. a.scr\r\n"
             "2=01 2 t\xC3\xA4gl. 05:00 mehrf. d.scr\r\n");
    at({2024, 3, 5, 0, 0, 0});
    minutes(6 * 60);
    EXPECT_EQ(starts(), (std::vector<std::string>{"05.03.2024 05:00 d.scr"}));
}

}  // namespace
}  // namespace norva::test
