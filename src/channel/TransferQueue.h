// CTransferQueue: the send jobs of a channel waiting for its send slot, 50
// entries packed from the front. The job being sent stays listed (the
// transfer status window shows it) but is then owned by the send slot; a
// waiting job is owned by the queue.
#pragma once

#include <array>
#include <cstddef>
#include <memory>

#include "channel/ChannelJob.h"

namespace norva {

class CTransferQueue {
public:
    static constexpr std::size_t kCapacity = 50;

    // Into the first free entry. False when all 50 are used (the job is then destroyed).
    bool add(std::unique_ptr<CChannelJob> job);
    // Takes the entry of this job out; the following entries move forward.
    // Returns the job when the queue still owned it (it was waiting), else null.
    std::unique_ptr<CChannelJob> remove(const CChannelJob* job);
    // The first entry; nothing while paused unless the pause is ignored.
    CChannelJob* first(bool ignorePause = false);
    // The entry after the one first() or next() returned last.
    CChannelJob* next();
    // Hands the first waiting job to the send slot; it stays listed. Null
    // while paused, empty, or when the first job is already being sent.
    std::unique_ptr<CChannelJob> takeFirst();

    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    bool contains(const CChannelJob* job) const;
    // True while the job is listed but owned by the send slot.
    bool isActive(const CChannelJob* job) const;
    bool paused() const { return paused_; }
    void setPaused(bool on) { paused_ = on; }

private:
    struct Entry {
        CChannelJob* job = nullptr;
        std::unique_ptr<CChannelJob> owned;  // null while the job is being sent
    };
    std::ptrdiff_t indexOf(const CChannelJob* job) const;

    std::array<Entry, kCapacity> entries_{};
    std::size_t count_ = 0;
    std::size_t cursor_ = 0;
    bool paused_ = false;
};

}  // namespace norva
