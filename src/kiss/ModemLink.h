// The byte stream to a KISS modem, kept up: frames go out KISS-encoded,
// frames come in through the decoder, and a modem that went away (TCP
// modem restarted, USB adapter replugged) is opened again with a growing
// pause, never blocking the caller.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kiss/Kiss.h"
#include "platform/ByteStream.h"

namespace norva {
class Clock;
}

namespace norva::kiss {

using ModemOpener = std::function<std::unique_ptr<ByteStream>(std::string* error)>;
using TraceFn = std::function<void(std::string_view)>;

struct ModemCounters {
    std::uint64_t reopens = 0;      // successful opens after a loss
    std::uint64_t losses = 0;       // times the stream went away
    std::uint64_t framesOut = 0;
    std::uint64_t framesLost = 0;   // data frames that found no modem
};

class ModemLink {
public:
    ModemLink(ModemOpener opener, const KissSettings& settings, Clock& clock, TraceFn trace);

    // The first open; false (with the reason) when the device cannot be opened.
    bool open(std::string* error);
    // Reads what the modem sent and appends its data frames of our port;
    // reopens a lost modem when its pause is over.
    void poll(std::vector<std::string>& frames);
    // Sends one AX.25 frame; false when there is no modem right now.
    bool send(std::string_view ax25);
    // Sends the parameter frames again (after a setting changed).
    void sendParameters();
    void setSettings(const KissSettings& s) { settings_ = s; }

    int fd() const { return stream_ ? stream_->fd() : -1; }
    bool up() const { return stream_ != nullptr; }
    // When a lost modem is tried again.
    std::optional<std::int64_t> retryAt() const;
    const KissCounters& kissCounters() const { return decoder_.counters(); }
    const ModemCounters& counters() const { return counters_; }
    std::uint64_t otherPort() const { return otherPort_; }

private:
    void lose(std::string_view why);
    void tryReopen();

    ModemOpener opener_;
    KissSettings settings_;
    Clock& clock_;
    TraceFn trace_;
    std::unique_ptr<ByteStream> stream_;
    KissDecoder decoder_;
    std::int64_t retryAt_ = 0;
    int backoffMs_ = 0;
    ModemCounters counters_;
    std::uint64_t otherPort_ = 0;
};

}  // namespace norva::kiss
