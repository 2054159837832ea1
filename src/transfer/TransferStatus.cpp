// The transfer status rows and the queue operations of the status window.
#include "transfer/TransferStatus.h"

#include <cstdio>
#include <memory>

#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "platform/SystemLog.h"
#include "transfer/TransferJob.h"

namespace norva {

std::string TransferRow::text() const {
    char figures[64];
    std::snprintf(figures, sizeof figures, "%8lld %8lld %6lld %6lld     ", static_cast<long long>(fileLength),
                  static_cast<long long>(remaining), static_cast<long long>(rate),
                  static_cast<long long>(minutesLeft));
    return figures + padRight(status, 8) + "  " + padRight(type, 4) + "  " + name;
}

std::string TransferStatus::title() const {
    return "Transfer Status / Tnc " + std::to_string(tnc) + " Channel " + std::to_string(channel);
}

namespace {

TransferRow rowOf(const CChannelJob* job) {
    TransferRow row;
    row.job = job;
    if (const auto* t = dynamic_cast<const CTransferJob*>(job)) {
        row.fileLength = t->fileLength();
        row.remaining = t->remaining();
        row.rate = t->rate();
        row.minutesLeft = t->minutesLeft();
        row.status = t->status();
        row.type = std::string(t->type());
        row.name = t->displayName();
    } else if (job) {
        row.name = job->captionName();
    }
    return row;
}

// Rebuilds the queue from position `from` on in a new order of the jobs listed.
bool reorder(CTransferQueue& queue, std::size_t from, std::size_t a, std::size_t b) {
    std::vector<CChannelJob*> listed;
    for (CChannelJob* j = queue.first(true); j; j = queue.next()) listed.push_back(j);
    if (a >= listed.size() || b >= listed.size() || a < from || b < from) return false;
    std::swap(listed[a], listed[b]);
    std::vector<std::unique_ptr<CChannelJob>> owned;
    for (std::size_t i = from; i < listed.size(); ++i) owned.push_back(queue.remove(listed[i]));
    for (auto& job : owned) queue.add(std::move(job));
    return true;
}

// Position of a waiting job and the first position a waiting job may take.
std::optional<std::pair<std::size_t, std::size_t>> waitingPlace(CTransferQueue& queue, const CChannelJob* job) {
    std::size_t i = 0;
    std::size_t firstWaiting = 0;
    std::optional<std::size_t> at;
    for (CChannelJob* j = queue.first(true); j; j = queue.next(), ++i) {
        if (queue.isActive(j)) firstWaiting = i + 1;
        if (j == job) at = i;
    }
    if (!at || queue.isActive(job)) return std::nullopt;
    return std::make_pair(*at, firstWaiting);
}

}  // namespace

TransferStatus transferStatus(CTncChannel& channel) {
    TransferStatus status;
    status.tnc = channel.tncNumber();
    status.channel = channel.number();
    CTransferQueue& queue = channel.transferQueue();
    status.paused = queue.paused();
    // A job put straight into the send slot (help texts, long answers) is not queued but is sent.
    if (CChannelJob* sending = channel.job(JobSlot::Send); sending && !queue.contains(sending)) {
        TransferRow row = rowOf(sending);
        row.active = true;
        status.queue.push_back(std::move(row));
    }
    for (CChannelJob* j = queue.first(true); j; j = queue.next()) {
        TransferRow row = rowOf(j);
        row.active = queue.isActive(j);
        status.queue.push_back(std::move(row));
    }
    if (CChannelJob* r = channel.job(JobSlot::FileReceive)) status.receiving = rowOf(r);
    return status;
}

std::vector<TransferStatus> allTransferStatus(ChannelRegistry& channels) {
    std::vector<TransferStatus> all;
    for (int slot = 1; slot <= ChannelRegistry::kSlots; ++slot) {
        CTncChannel* ch = channels.channel(slot);
        if (!ch || ch->number() == 0) continue;
        TransferStatus st = transferStatus(*ch);
        if (!st.queue.empty() || st.receiving) all.push_back(std::move(st));
    }
    return all;
}

std::string proposedLogName(int tnc, int channel) {
    return "prlog" + std::to_string(tnc) + std::to_string(channel) + ".txt";
}

void pauseTransfers(CTncChannel& channel, bool paused) { channel.transferQueue().setPaused(paused); }

bool removeWaitingTransfer(CTncChannel& channel, const CChannelJob* job) {
    CTransferQueue& queue = channel.transferQueue();
    if (!queue.contains(job) || queue.isActive(job)) return false;
    // The job goes when the returned owner does.
    return queue.remove(job) != nullptr;
}

void stopSending(CTncChannel& channel) { channel.destroyJob(JobSlot::Send); }

void cancelReceive(CTncChannel& channel) { channel.destroyJob(JobSlot::FileReceive); }

bool moveTransferUp(CTncChannel& channel, const CChannelJob* job) {
    CTransferQueue& queue = channel.transferQueue();
    const auto place = waitingPlace(queue, job);
    if (!place || place->first == 0 || place->first - 1 < place->second) return false;
    return reorder(queue, place->second, place->first - 1, place->first);
}

bool moveTransferDown(CTncChannel& channel, const CChannelJob* job) {
    CTransferQueue& queue = channel.transferQueue();
    const auto place = waitingPlace(queue, job);
    if (!place || place->first + 1 >= queue.size()) return false;
    return reorder(queue, place->second, place->first, place->first + 1);
}

}  // namespace norva
