// What the host writes on the in-process TNC's channels ("the air"), kept
// per channel for the tests to read from any thread.
#pragma once

#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "hostmode/VirtualTnc.h"

namespace norva::test {

class AirRecorder : public VirtualTncPartner {
public:
    void infoFrame(int channel, std::string_view data) override {
        std::lock_guard lock(mutex_);
        sent_[channel] += data;
    }
    std::string on(int channel) const {
        std::lock_guard lock(mutex_);
        const auto it = sent_.find(channel);
        return it == sent_.end() ? std::string() : it->second;
    }

private:
    mutable std::mutex mutex_;
    std::map<int, std::string> sent_;
};

}  // namespace norva::test
