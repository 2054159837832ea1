// The scheduler job: one per connection channel, it searches the schedule
// when the local quarter hour moves on and starts the first entry due for
// its own TNC and channel.
//
// Quarters are counted on a running local calendar index rather than by
// their "HH:MM" text, so a clock set back (end of summer time, an NTP step)
// does not search a quarter a second time, and a clock set forward reports
// the entries it jumped over in system.log instead of dropping them silently.
#include "script/ScheduleJob.h"

#include <cstdio>

#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/Cp437.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "script/ScriptFiles.h"

namespace norva {
namespace {

constexpr std::int64_t kQuartersPerDay = 96;
// A forward jump is searched for missed entries over at most a week: every
// entry's day comes round in it.
constexpr std::int64_t kSkipWindow = 7 * kQuartersPerDay;
// Broken lines reported per job; a file full of them must not flood the log.
constexpr std::size_t kMaxBrokenReports = 32;

std::string dateTimeText(const LocalTime& t) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", t.day, t.month, t.year, t.hour, t.minute);
    return buf;
}

// Date and time of the start of a running quarter.
std::string quarterText(std::int64_t q) { return dateTimeText(civilFromSeconds(q * 15 * 60)); }

}  // namespace

CSchedulerJob::CSchedulerJob(CTncChannel& channel) : channel_(channel) {}

int CSchedulerJob::tick() {
    if (state_ == State::Idle) advanceTo(localQuarterIndex(channel_.tnc().context().clock.localTime()));
    if (state_ == State::Pending) handlePending();
    return 1;
}

void CSchedulerJob::setState(State next, std::string_view why) {
    const auto& trace = channel_.tnc().context().trace;
    if (trace && next != state_) {
        auto name = [](State s) { return s == State::Idle ? "idle" : "pending"; };
        trace("scheduler " + std::to_string(channel_.slot()) + ": " + name(state_) + " -> " + name(next) + " (" +
              std::string(why) + ")");
    }
    state_ = next;
}

void CSchedulerJob::advanceTo(std::int64_t quarter) {
    if (lastQuarter_ && quarter == *lastQuarter_) return;
    if (lastQuarter_ && quarter < *lastQuarter_) {
        // Set back: the quarters up to the last one searched were searched
        // already. Only a step of more than a day is taken as a clock that
        // was wrong before, and searching starts afresh.
        if (*lastQuarter_ - quarter <= kQuartersPerDay) return;
    } else if (lastQuarter_ && quarter > *lastQuarter_ + 1) {
        reportSkipped(*lastQuarter_ + 1, quarter);
    }
    lastQuarter_ = quarter;
    search(quarter);
}

bool CSchedulerJob::mine(const ScheduleEntry& e) const {
    return e.tnc == channel_.tncNumber() && e.channel == channel_.number();
}

void CSchedulerJob::search(std::int64_t quarter) {
    const int weekday = weekdayOfDays(quarter / kQuartersPerDay);
    const int quarterOfDay = static_cast<int>(quarter % kQuartersPerDay);
    Profile& profile = channel_.tnc().context().profile;
    for (const ScheduleLine& line : readSchedule(profile)) {
        if (!line.entry) {
            reportBroken(line);
            continue;
        }
        const ScheduleEntry& e = *line.entry;
        if (!mine(e) || !e.dueAt(weekday, quarterOfDay)) continue;
        // A once entry leaves the schedule as it fires.
        if (e.once) removeScheduleKey(profile, line.key);
        pending_ = e.script;
        pendingOnce_ = e.once;
        freeSinceMs_.reset();
        delaySeconds_ = 0;
        setState(State::Pending, "due " + scheduleTimeText(quarterOfDay));
        return;
    }
}

void CSchedulerJob::reportSkipped(std::int64_t from, std::int64_t to) {
    if (to - from > kSkipWindow) from = to - kSkipWindow;
    SystemLog& log = channel_.tnc().context().log;
    for (const ScheduleLine& line : readSchedule(channel_.tnc().context().profile)) {
        if (!line.entry || !mine(*line.entry)) continue;
        for (std::int64_t q = from; q < to; ++q) {
            if (!line.entry->dueAt(weekdayOfDays(q / kQuartersPerDay), static_cast<int>(q % kQuartersPerDay)))
                continue;
            log.event("Skip Script:       " + line.entry->script + " (due " + quarterText(q) + ")\r\n");
            break;
        }
    }
}

// Lines that name no channel are reported by one job only: the first
// connection channel of the registry.
bool CSchedulerJob::reportsForAll() const {
    const ChannelRegistry& reg = channel_.registry();
    for (int s = 1; s <= ChannelRegistry::kSlots; ++s) {
        const CTncChannel* ch = reg.channel(s);
        if (ch && ch->number() > 0) return ch == &channel_;
    }
    return true;
}

void CSchedulerJob::reportBroken(const ScheduleLine& line) {
    if (brokenReported_.size() >= kMaxBrokenReports || brokenReported_.count(line.text)) return;
    if (!reportsForAll()) return;
    brokenReported_.insert(line.text);
    std::string text = line.text.substr(0, 255);
    channel_.tnc().context().log.event("Schedule: bad entry " + std::to_string(line.key) + " skipped: " + text +
                                       "\r\n");
}

void CSchedulerJob::handlePending() {
    if (channel_.linkState().linkStateValue() != 0) {
        if (!pendingOnce_) {
            pending_.clear();
            setState(State::Idle, "channel connected, repeated entry dropped");
            return;
        }
        freeSinceMs_.reset();
        delaySeconds_ = kBusyDelaySeconds;
        return;
    }
    if (channel_.job(JobSlot::Script)) {
        stopScript(channel_);
        return;
    }
    const std::int64_t now = channel_.tnc().context().clock.monotonicMs();
    if (!freeSinceMs_) freeSinceMs_ = now;
    if (now - *freeSinceMs_ < static_cast<std::int64_t>(delaySeconds_) * 1000) return;
    start();
}

void CSchedulerJob::start() {
    HostContext& ctx = channel_.tnc().context();
    const std::string when = dateTimeText(ctx.clock.localTime());
    std::string error;
    if (startScript(channel_, pending_, &error)) {
        channel_.show("\rScript " + utf8ToOem(pending_) + " started at " + when + "\r", kClassTncEcho);
        ctx.log.event("Start Script:      " + pending_ + "\r\n");
    } else {
        // startScript has shown the reason in the channel window already.
        ctx.log.event("Script not started: " + pending_ + ": " + error + "\r\n");
    }
    pending_.clear();
    delaySeconds_ = 0;
    freeSinceMs_.reset();
    setState(State::Idle, "started");
}

}  // namespace norva
