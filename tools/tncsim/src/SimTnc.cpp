// SimTnc: the input path (terminal bytes, host frames, main-loop pacing), the
// output queue with its fault injection, and the state accessors.
#include "tncsim/SimTnc.h"

// std
#include <algorithm>

// tncsim
#include "tncsim/Radio.h"

namespace tncsim {

namespace {

constexpr std::size_t kFrameLogLimit = 10000;
constexpr int kMaxChannels = 254;  // 255 is the extended poll

}  // namespace

SimTnc::SimTnc(Key, Radio& radio, TncConfig config)
    : radio_(radio), config_(std::move(config)), rng_(config_.seed) {
    config_.channels = std::clamp(config_.channels, 1, kMaxChannels);
    channels_.resize(static_cast<std::size_t>(config_.channels) + 1);
    received_.resize(channels_.size());
    sent_.resize(channels_.size());
    if (config_.call.empty()) config_.call = "NOCALL";
    if (config_.startInHostMode) mode_ = TncMode::Host;
}

SimTnc::~SimTnc() = default;

// --- byte interface -------------------------------------------------------

std::string SimTnc::feed(std::string_view bytes, std::uint64_t nowMs) {
    receive(bytes, nowMs);
    std::string out;
    for (auto& piece : takeOutput(nowMs)) out += piece;
    return out;
}

std::string SimTnc::advance(std::uint64_t nowMs) {
    tick(nowMs);
    std::string out;
    for (auto& piece : takeOutput(nowMs)) out += piece;
    return out;
}

void SimTnc::receive(std::string_view bytes, std::uint64_t nowMs) {
    tick(nowMs);
    if (inputPos_ == input_.size() || (inputPos_ > 4096 && inputPos_ * 2 > input_.size())) {
        input_.erase(0, inputPos_);
        inputPos_ = 0;
    }
    input_.append(bytes);
    processInput(nowMs);
}

void SimTnc::tick(std::uint64_t nowMs) {
    applyPendingReset();
    processInput(nowMs);
    radio_.advance(nowMs);
}

std::vector<std::string> SimTnc::takeOutput(std::uint64_t nowMs) {
    std::vector<std::string> out;
    while (!output_.empty() && output_.front().due <= nowMs) {
        out.push_back(std::move(output_.front().bytes));
        output_.pop_front();
    }
    return out;
}

std::optional<std::uint64_t> SimTnc::nextWakeMs() const {
    std::optional<std::uint64_t> wake;
    if (!output_.empty()) wake = output_.front().due;
    if (ready_) {
        std::uint64_t pass = std::max(nextPassMs_, readyAt_);
        wake = wake ? std::min(*wake, pass) : pass;
    }
    return wake;
}

// --- input path -------------------------------------------------------------

void SimTnc::applyPendingReset() {
    {
        std::lock_guard lock(sideMutex_);
        if (!faults_.reset) return;
        faults_.reset = false;
    }
    parser_.reset();
    ready_.reset();
    termLine_.clear();
    termCommand_ = false;
    setMode(TncMode::Terminal);
}

// Consumes input bytes in order. A complete host frame waits for its
// main-loop pass before anything behind it is looked at, because the frame
// may switch the mode (JHOST0) and change how the next bytes are read.
void SimTnc::processInput(std::uint64_t nowMs) {
    for (;;) {
        if (ready_) {
            std::uint64_t pass = std::max(nextPassMs_, readyAt_);
            if (pass > nowMs) return;
            radio_.advance(pass);
            HostFrame frame = std::move(*ready_);
            ready_.reset();
            nextPassMs_ = pass + config_.frameIntervalMs;
            handleFrame(frame, pass);
            continue;
        }
        if (inputPos_ >= input_.size()) return;
        auto byte = static_cast<std::uint8_t>(input_[inputPos_++]);
        if (mode_ == TncMode::Terminal) {
            terminalByte(byte, nowMs);
            continue;
        }
        if (auto frame = parser_.push(byte)) {
            ready_ = std::move(*frame);
            readyAt_ = nowMs;
        }
    }
}

void SimTnc::handleFrame(const HostFrame& frame, std::uint64_t atMs) {
    log(frame);
    {
        std::lock_guard lock(sideMutex_);
        if (faults_.silent) {
            ++counters_.framesIgnored;
            return;
        }
        ++counters_.framesHandled;
    }
    bool leaveHostMode = false;
    std::string reply = processFrame(frame, leaveHostMode);
    emitReply(std::move(reply), atMs);
    if (leaveHostMode) setMode(TncMode::Terminal);
}

void SimTnc::emitReply(std::string reply, std::uint64_t atMs) {
    std::uint32_t delay = 0;
    {
        std::lock_guard lock(sideMutex_);
        if (faults_.drop > 0) {
            --faults_.drop;
            ++counters_.repliesDropped;
            return;
        }
        if (faults_.garble) {
            faults_.garble = false;
            std::string garbled = reply;
            std::uniform_int_distribution<int> dist(0, 255);
            for (char& c : garbled) c = static_cast<char>(dist(rng_));
            if (garbled == reply) garbled[0] = static_cast<char>(garbled[0] ^ 0x55);
            reply = std::move(garbled);
        }
        if (faults_.cut) {
            reply.resize(std::min(reply.size(), *faults_.cut));
            faults_.cut.reset();
        }
        delay = faults_.delayMs;
        ++counters_.repliesWritten;
    }
    if (reply.empty()) return;
    std::uint64_t due = atMs + delay;
    if (!output_.empty()) due = std::max(due, output_.back().due);
    std::size_t piece = config_.fragmentSize == 0 ? reply.size() : config_.fragmentSize;
    for (std::size_t pos = 0; pos < reply.size(); pos += piece) {
        output_.push_back(Chunk{due, reply.substr(pos, piece)});
        due += config_.fragmentGapMs;
    }
}

void SimTnc::emitTerminal(std::string_view text, std::uint64_t atMs) {
    if (text.empty()) return;
    std::uint64_t due = atMs;
    if (!output_.empty()) due = std::max(due, output_.back().due);
    if (!output_.empty() && output_.back().due == due && config_.fragmentSize == 0) {
        output_.back().bytes.append(text);
        return;
    }
    output_.push_back(Chunk{due, std::string(text)});
}

void SimTnc::setMode(TncMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    if (mode == TncMode::Host) {
        parser_.reset();
        std::lock_guard lock(sideMutex_);
        ++counters_.hostModeEntries;
    }
    trace(mode == TncMode::Host ? "mode: host" : "mode: terminal");
}

void SimTnc::log(const HostFrame& frame) {
    std::lock_guard lock(sideMutex_);
    if (frameLog_.size() >= kFrameLogLimit) frameLog_.pop_front();
    frameLog_.push_back(LoggedFrame{frame.channel, frame.code, frame.data});
}

void SimTnc::trace(std::string_view text) const {
    if (trace_) trace_(text);
}

// --- state ------------------------------------------------------------------

TncMode SimTnc::mode() const {
    std::lock_guard lock(sideMutex_);
    return faults_.reset ? TncMode::Terminal : mode_;
}

SimTnc::Channel* SimTnc::channel(int number) {
    if (number < 0 || number > config_.channels) return nullptr;
    return &channels_[static_cast<std::size_t>(number)];
}

const SimTnc::Channel* SimTnc::channel(int number) const {
    if (number < 0 || number > config_.channels) return nullptr;
    return &channels_[static_cast<std::size_t>(number)];
}

std::string SimTnc::channelCall(int number) const {
    const Channel* ch = channel(number);
    if (ch == nullptr || number == 0 || ch->call.empty()) return config_.call;
    return ch->call;
}

int SimTnc::linkState(int number) const {
    const Channel* ch = channel(number);
    return ch ? ch->state : kDisconnected;
}

std::string SimTnc::peerCall(int number) const {
    const Channel* ch = channel(number);
    return ch ? ch->peer : std::string();
}

std::size_t SimTnc::pendingItems(int number) const {
    const Channel* ch = channel(number);
    return ch ? ch->pending.size() : 0;
}

std::size_t SimTnc::unsentFrames(int number) const {
    const Channel* ch = channel(number);
    return ch ? ch->unsent.size() : 0;
}

int SimTnc::unackedFrames(int number) const {
    const Channel* ch = channel(number);
    return ch ? ch->unacked : 0;
}

// One buffer per queued item or frame in flight: enough to make "@B" move
// the way a host's flow control expects.
int SimTnc::freeBuffers() const {
    long used = 0;
    for (const Channel& ch : channels_) {
        used += static_cast<long>(ch.pending.size() + ch.unsent.size()) + ch.unacked;
    }
    return static_cast<int>(std::max(0L, config_.freeBuffers - used));
}

void SimTnc::setLinkState(int number, int state) {
    Channel* ch = channel(number);
    if (ch == nullptr || ch->state == state) return;
    ch->state = state;
    if (trace_) trace("channel " + std::to_string(number) + ": link state " + std::to_string(state));
}

void SimTnc::pushItem(int number, std::uint8_t code, std::string data) {
    Channel* ch = channel(number);
    if (ch == nullptr) return;
    // A full monitor queue loses its oldest frame: the header with its info.
    while (number == 0 && !ch->pending.empty() && ch->pending.size() >= config_.monitorLimit) {
        std::uint8_t dropped = ch->pending.front().code;
        ch->pending.pop_front();
        if (dropped == kMonHeaderInfo && !ch->pending.empty() && ch->pending.front().code == kMonInfo) {
            ch->pending.pop_front();
        }
    }
    if (code == kConnInfo) note(received_, number, data);
    ch->pending.push_back(Item{code, std::move(data)});
}

void SimTnc::note(std::vector<TextLog>& logs, int number, std::string_view data) {
    std::lock_guard lock(sideMutex_);
    TextLog& log = logs[static_cast<std::size_t>(number)];
    log.bytes.append(data);
    const std::size_t limit = config_.channelLogLimit;
    // Forgets in halves of the limit, so a steady stream does not move the
    // whole log for every frame.
    if (log.bytes.size() > limit) {
        const std::size_t drop = log.bytes.size() - limit / 2;
        log.bytes.erase(0, drop);
        log.dropped += drop;
    }
}

bool SimTnc::monitorShows(char kind) const {
    return monitorFlags_.find(kind) != std::string::npos;
}

// --- test hooks ---------------------------------------------------------------

void SimTnc::queueConnectedData(int number, std::string_view bytes) {
    while (!bytes.empty()) {
        std::size_t n = std::min(bytes.size(), kMaxFrameData);
        pushItem(number, kConnInfo, std::string(bytes.substr(0, n)));
        bytes.remove_prefix(n);
    }
}

void SimTnc::queueLinkStatus(int number, std::string_view text) {
    pushItem(number, kLinkStatus, std::string(text));
}

void SimTnc::queueMonitor(std::string_view header, std::string_view info) {
    if (info.empty()) {
        pushItem(0, kMonHeader, std::string(header));
        return;
    }
    pushItem(0, kMonHeaderInfo, std::string(header));
    pushItem(0, kMonInfo, std::string(info.substr(0, kMaxFrameData)));
}

// --- faults and observation ---------------------------------------------------

void SimTnc::dropReplies(int count) {
    std::lock_guard lock(sideMutex_);
    faults_.drop = std::max(0, count);
}

void SimTnc::garbleNextReply() {
    std::lock_guard lock(sideMutex_);
    faults_.garble = true;
}

void SimTnc::cutNextReply(std::size_t keepBytes) {
    std::lock_guard lock(sideMutex_);
    faults_.cut = keepBytes;
}

void SimTnc::fallBackToTerminal() {
    std::lock_guard lock(sideMutex_);
    faults_.reset = true;
}

void SimTnc::setReplyDelay(std::uint32_t ms) {
    std::lock_guard lock(sideMutex_);
    faults_.delayMs = ms;
}

void SimTnc::setSilent(bool silent) {
    std::lock_guard lock(sideMutex_);
    faults_.silent = silent;
}

void SimTnc::clearFaults() {
    std::lock_guard lock(sideMutex_);
    bool reset = faults_.reset;
    faults_ = Faults{};
    faults_.reset = reset;  // a reset that already happened cannot be taken back
}

std::vector<LoggedFrame> SimTnc::frameLog() const {
    std::lock_guard lock(sideMutex_);
    return {frameLog_.begin(), frameLog_.end()};
}

std::string SimTnc::terminalLog() const {
    std::lock_guard lock(sideMutex_);
    return terminalLog_;
}

SimCounters SimTnc::counters() const {
    std::lock_guard lock(sideMutex_);
    return counters_;
}

ChannelText SimTnc::receivedSince(int number, std::uint64_t from) const {
    return textSince(received_, number, from);
}

ChannelText SimTnc::sentSince(int number, std::uint64_t from) const { return textSince(sent_, number, from); }

ChannelText SimTnc::textSince(const std::vector<TextLog>& logs, int number, std::uint64_t from) const {
    std::lock_guard lock(sideMutex_);
    if (number < 0 || number > config_.channels) return {};
    const TextLog& log = logs[static_cast<std::size_t>(number)];
    ChannelText out;
    out.end = log.dropped + log.bytes.size();
    if (from < out.end) {
        const std::uint64_t start = std::max(from, log.dropped) - log.dropped;
        out.text = log.bytes.substr(static_cast<std::size_t>(start));
    }
    return out;
}

void SimTnc::clearLogs() {
    std::lock_guard lock(sideMutex_);
    frameLog_.clear();
    terminalLog_.clear();
}

}  // namespace tncsim
