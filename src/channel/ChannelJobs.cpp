// CTncChannel: the job slots, the tick and dispatch orders, the send-slot
// refill from the transfer queue and the reset after a disconnect.
#include "channel/ChannelHooks.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"

namespace norva {

// While a tick or a dispatch runs, a job that ends (or that another job or
// the link state removes) is only taken out of its slot; it is destroyed
// when the outermost tick or dispatch is over, so no job goes while one of
// its operations is still on the stack.
class CTncChannel::JobScope {
public:
    explicit JobScope(CTncChannel& ch) : ch_(ch) { ++ch_.jobDepth_; }
    ~JobScope() {
        if (--ch_.jobDepth_ > 0) return;
        while (!ch_.retired_.empty()) {
            auto job = std::move(ch_.retired_.back());
            ch_.retired_.pop_back();
            job.reset();
        }
    }
    JobScope(const JobScope&) = delete;
    JobScope& operator=(const JobScope&) = delete;

private:
    CTncChannel& ch_;
};

CChannelJob* CTncChannel::job(JobSlot slot) const {
    return jobs_[static_cast<std::size_t>(slot)].get();
}

CGatewayJob* CTncChannel::gatewayJob() const {
    // Only setGatewayJob fills this slot.
    return static_cast<CGatewayJob*>(job(JobSlot::Gateway));
}

CMapLinkJob* CTncChannel::mapLinkJob() const {
    // Only setMapLinkJob and the factory fill this slot.
    return static_cast<CMapLinkJob*>(job(JobSlot::MapLink));
}

void CTncChannel::retire(JobSlot slot) {
    std::unique_ptr<CChannelJob> gone = std::move(slotRef(slot));
    if (!gone) return;
    if (jobDepth_ > 0) {
        retired_.push_back(std::move(gone));
        return;
    }
    gone.reset();
}

void CTncChannel::endSendJob() {
    CChannelJob* sending = job(JobSlot::Send);
    if (!sending) return;
    // The queue is told before the job goes (it only lists the job being sent).
    queue_.remove(sending);
    retire(JobSlot::Send);
}

void CTncChannel::destroyJob(JobSlot slot) {
    if (slot == JobSlot::Send) {
        endSendJob();
    } else {
        retire(slot);
    }
    refreshCaption();
}

bool CTncChannel::setJob(JobSlot slot, std::unique_ptr<CChannelJob> newJob) {
    if (slot == JobSlot::Gateway || slot == JobSlot::MapLink) return false;
    if (slot == JobSlot::Send) {
        endSendJob();
    } else {
        retire(slot);
    }
    slotRef(slot) = std::move(newJob);
    refreshCaption();
    return true;
}

void CTncChannel::setGatewayJob(std::unique_ptr<CGatewayJob> newJob) {
    retire(JobSlot::Gateway);
    slotRef(JobSlot::Gateway) = std::move(newJob);
}

void CTncChannel::setMapLinkJob(std::unique_ptr<CMapLinkJob> newJob) {
    retire(JobSlot::MapLink);
    slotRef(JobSlot::MapLink) = std::move(newJob);
}

void CTncChannel::tickSlot(JobSlot slot) {
    CChannelJob* j = job(slot);
    if (!j || j->tick() != 0) return;
    // The job may have been replaced during its tick; only the one that finished goes.
    if (job(slot) != j) return;
    destroyJob(slot);
}

void CTncChannel::receiveSlot(JobSlot slot, const ReceiveRecord& record, bool honourFinished) {
    CChannelJob* j = job(slot);
    if (!j) return;
    const int result = j->receive(record);
    if (honourFinished && result == 0 && job(slot) == j) destroyJob(slot);
}

bool CTncChannel::receivingFile() const {
    const CChannelJob* receiving = job(JobSlot::FileReceive);
    return receiving && !receiving->finishing();
}

bool CTncChannel::receivedTextHeld() const {
    const CChannelJob* sending = job(JobSlot::Send);
    return receivingFile() || (sending && sending->takesReceivedBytes());
}

void CTncChannel::refillSendSlot() {
    if (job(JobSlot::Send) || receivingFile()) return;
    std::unique_ptr<CChannelJob> next = queue_.takeFirst();
    if (!next) return;
    slotRef(JobSlot::Send) = std::move(next);
    refreshCaption();
}

void CTncChannel::tick() {
    if (number_ == 0) return;
    JobScope scope(*this);
    if (!job(JobSlot::Send) && !receivingFile()) tickSlot(JobSlot::Script);
    tickSlot(JobSlot::MapLink);
    if (job(JobSlot::Gateway)) {
        tickSlot(JobSlot::Gateway);
    } else {
        for (JobSlot s : {JobSlot::CompanionHook, JobSlot::SchedulerHook, JobSlot::Capture, JobSlot::Send,
                          JobSlot::FileReceive, JobSlot::Password, JobSlot::RemoteInput,
                          JobSlot::RemoteSession})
            tickSlot(s);
    }
    refillSendSlot();
}

void CTncChannel::dispatch() {
    if (rx_.length <= 0) return;
    // The link state may send (the "i" after a disconnect), which flushes
    // and replaces the receive record; the jobs still get what arrived.
    const ReceiveRecord record = rx_;
    JobScope scope(*this);
    if (number_ != 0) linkState_.onReceive(record);
    dispatchRecord(record);
    if (record.kind == kKindConnected) previousText_.assign(record.text());
}

void CTncChannel::dispatchRecord(const ReceiveRecord& record) {
    // A finished reception looks at this record for its report and ends:
    // the record itself goes on like any other.
    if (CChannelJob* r = job(JobSlot::FileReceive); r && r->finishing() && number_ != 0) {
        const bool taken = r->takeFinalRecord(record);
        destroyJob(JobSlot::FileReceive);
        if (taken) {
            rxHeld_ = true;
            return;
        }
    }
    const bool held = receivedTextHeld();
    if (held) rxHeld_ = true;
    if (!held) receiveSlot(JobSlot::Capture, record, true);
    if (number_ == 0) return;

    receiveSlot(JobSlot::MapLink, record);
    if (job(JobSlot::Gateway)) {
        receiveSlot(JobSlot::Gateway, record);
        return;
    }
    if (CChannelJob* sending = job(JobSlot::Send); sending && sending->takesReceivedBytes()) {
        receiveSlot(JobSlot::Send, record);
        return;
    }
    if (!job(JobSlot::Send) && !held) registry().hooks().remote().scan(*this, record);
    for (JobSlot s : {JobSlot::Mailbox, JobSlot::SchedulerHook, JobSlot::Send, JobSlot::FileReceive})
        receiveSlot(s, record);
    if (held && !receivedTextHeld()) {
        passOnLeftover(record);
        return;
    }
    if (!job(JobSlot::Send) && !held && !receivingFile()) receiveSlot(JobSlot::Script, record);
    for (JobSlot s : {JobSlot::Password, JobSlot::RemoteInput, JobSlot::RemoteSession}) receiveSlot(s, record);
}

// The record that completed a reception may hold text after the file's
// last byte (the sender's report, a prompt): it is shown and dispatched as
// a record of its own, so nothing received is lost.
void CTncChannel::passOnLeftover(const ReceiveRecord& record) {
    CChannelJob* receiving = job(JobSlot::FileReceive);
    const std::string rest = receiving ? receiving->takeLeftover() : std::string();
    for (JobSlot s : {JobSlot::Password, JobSlot::RemoteInput, JobSlot::RemoteSession}) receiveSlot(s, record);
    if (rest.empty()) return;
    const ReceiveRecord leftover = ReceiveRecord::of(number_, record.kind, rest);
    if (receiving && receiving->finishing() && receiving->takeFinalRecord(leftover)) {
        destroyJob(JobSlot::FileReceive);
        return;
    }
    sink_.put(rest, record.kind);
    dispatchRecord(leftover);
}

void CTncChannel::resetJobs() {
    endSendJob();
    // Jobs still waiting stay queued until the operator resumes the queue.
    if (!queue_.empty()) queue_.setPaused(true);
    for (JobSlot s : {JobSlot::FileReceive, JobSlot::RemoteInput, JobSlot::Password, JobSlot::RemoteSession})
        retire(s);
    if (CGatewayJob* gw = gatewayJob(); gw && gw->homeSide()) retire(JobSlot::Gateway);
    superuser_ = linkState_.myCall() == "REMOTE";
    heldFileHeader_.clear();
    sentLineOpen_ = false;
    if (!isConverseConsole()) registry().setConverseGroup(slot_, 0);
    refreshCaption();
}

}  // namespace norva
