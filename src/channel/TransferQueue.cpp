// CTransferQueue: add, remove, first/next and the hand-over to the send slot.
#include "channel/TransferQueue.h"

#include <utility>

namespace norva {

bool CTransferQueue::add(std::unique_ptr<CChannelJob> job) {
    if (!job || count_ >= kCapacity) return false;
    Entry& e = entries_[count_++];
    e.job = job.get();
    e.owned = std::move(job);
    return true;
}

std::ptrdiff_t CTransferQueue::indexOf(const CChannelJob* job) const {
    if (!job) return -1;
    for (std::size_t i = 0; i < count_; ++i)
        if (entries_[i].job == job) return static_cast<std::ptrdiff_t>(i);
    return -1;
}

bool CTransferQueue::contains(const CChannelJob* job) const { return indexOf(job) >= 0; }

bool CTransferQueue::isActive(const CChannelJob* job) const {
    const auto i = indexOf(job);
    return i >= 0 && !entries_[static_cast<std::size_t>(i)].owned;
}

std::unique_ptr<CChannelJob> CTransferQueue::remove(const CChannelJob* job) {
    const auto found = indexOf(job);
    if (found < 0) return nullptr;
    const auto i = static_cast<std::size_t>(found);
    std::unique_ptr<CChannelJob> owned = std::move(entries_[i].owned);
    for (std::size_t k = i; k + 1 < count_; ++k) entries_[k] = std::move(entries_[k + 1]);
    entries_[--count_] = Entry{};
    if (cursor_ > i) --cursor_;
    return owned;
}

CChannelJob* CTransferQueue::first(bool ignorePause) {
    if (count_ == 0 || (paused_ && !ignorePause)) {
        cursor_ = count_;
        return nullptr;
    }
    cursor_ = 0;
    return entries_[0].job;
}

CChannelJob* CTransferQueue::next() {
    if (cursor_ + 1 >= count_) {
        cursor_ = count_;
        return nullptr;
    }
    return entries_[++cursor_].job;
}

std::unique_ptr<CChannelJob> CTransferQueue::takeFirst() {
    if (paused_ || count_ == 0) return nullptr;
    return std::move(entries_[0].owned);
}

}  // namespace norva
