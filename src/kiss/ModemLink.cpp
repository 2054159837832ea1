// ModemLink: KISS over a byte stream that may go away and come back.
#include "kiss/ModemLink.h"

#include <algorithm>
#include <array>

#include "platform/Clock.h"

namespace norva::kiss {

namespace {
constexpr int kFirstBackoffMs = 1000;
constexpr int kMaxBackoffMs = 30000;
constexpr int kMaxReadsPerPoll = 64;  // a flooding modem cannot hold the engine
}  // namespace

ModemLink::ModemLink(ModemOpener opener, const KissSettings& settings, Clock& clock, TraceFn trace)
    : opener_(std::move(opener)), settings_(settings), clock_(clock), trace_(std::move(trace)) {}

bool ModemLink::open(std::string* error) {
    stream_ = opener_ ? opener_(error) : nullptr;
    if (!stream_) return false;
    sendParameters();
    return true;
}

void ModemLink::sendParameters() {
    if (!stream_) return;
    const std::string p = kissParameterFrames(settings_);
    stream_->write({reinterpret_cast<const std::uint8_t*>(p.data()), p.size()});
}

void ModemLink::lose(std::string_view why) {
    stream_.reset();
    decoder_.reset();
    ++counters_.losses;
    backoffMs_ = backoffMs_ == 0 ? kFirstBackoffMs : std::min(backoffMs_ * 2, kMaxBackoffMs);
    retryAt_ = clock_.monotonicMs() + backoffMs_;
    if (trace_) trace_("kiss: modem lost (" + std::string(why) + "), retry in " + std::to_string(backoffMs_) + " ms");
}

void ModemLink::tryReopen() {
    if (clock_.monotonicMs() < retryAt_) return;
    std::string error;
    stream_ = opener_ ? opener_(&error) : nullptr;
    if (!stream_) {
        backoffMs_ = std::min(std::max(backoffMs_, kFirstBackoffMs) * 2, kMaxBackoffMs);
        retryAt_ = clock_.monotonicMs() + backoffMs_;
        if (trace_) trace_("kiss: modem not reopened: " + error);
        return;
    }
    ++counters_.reopens;
    if (trace_) trace_("kiss: modem reopened");
    sendParameters();
}

std::optional<std::int64_t> ModemLink::retryAt() const {
    if (stream_) return std::nullopt;
    return retryAt_;
}

void ModemLink::poll(std::vector<std::string>& frames) {
    if (!stream_) {
        tryReopen();
        if (!stream_) return;
    }
    std::array<std::uint8_t, 2048> buf{};
    std::vector<KissFrame> got;
    for (int i = 0; i < kMaxReadsPerPoll; ++i) {
        const int n = stream_->read(buf);
        if (n <= 0) break;
        backoffMs_ = 0;  // the modem talks: the next loss starts with a short pause
        decoder_.feed({reinterpret_cast<const char*>(buf.data()), static_cast<std::size_t>(n)}, got);
    }
    for (auto& f : got) {
        if (f.port != settings_.port) {
            ++otherPort_;
            continue;
        }
        frames.push_back(std::move(f.data));
    }
    if (stream_->broken()) lose("stream closed");
}

bool ModemLink::send(std::string_view ax25) {
    if (!stream_) {
        ++counters_.framesLost;
        return false;
    }
    const std::string k = encodeKiss(settings_.port, KissCommand::Data, ax25);
    const int n = stream_->write({reinterpret_cast<const std::uint8_t*>(k.data()), k.size()});
    if (n != static_cast<int>(k.size()) || stream_->broken()) {
        ++counters_.framesLost;
        if (stream_->broken()) lose("write failed");
        return false;
    }
    ++counters_.framesOut;
    return true;
}

}  // namespace norva::kiss
