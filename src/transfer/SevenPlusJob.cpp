// 7Plus capture: recognising a part, collecting it across frames, saving it.
#include "transfer/SevenPlusJob.h"

#include "platform/ReceiveFolders.h"

#include <cstdlib>

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "platform/FileNames.h"
#include "platform/Text.h"
#include "transfer/FileArea.h"
#include "transfer/SevenPlusFiles.h"

namespace norva {

namespace {

constexpr std::string_view kStartMarker = " go_7+.";
constexpr std::string_view kStopMarker = " stop_7+.";

// Every CR not already followed by LF gets one.
std::string withLineFeeds(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        out += text[i];
        if (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n')) out += '\n';
    }
    return out;
}

std::int64_t number(std::string_view field) {
    std::int64_t value = 0;
    for (char c : field) {
        if (c < '0' || c > '9' || value > 1'000'000'000) break;
        value = value * 10 + (c - '0');
    }
    return value;
}

const char* stateName(CSevenPlusJob::State s) {
    switch (s) {
        case CSevenPlusJob::State::WaitingForStart: return "waiting for start";
        case CSevenPlusJob::State::Collecting: return "collecting";
        case CSevenPlusJob::State::Complete: return "complete";
        case CSevenPlusJob::State::Incomplete: return "incomplete";
    }
    return "?";
}

}  // namespace

std::string sevenPlusField(std::string_view text, int n) {
    std::size_t at = 0;
    for (int field = 1;; ++field) {
        while (at < text.size() && text[at] == ' ') ++at;
        if (at >= text.size() || text[at] == '\r' || text[at] == '\n') return {};
        const std::size_t end = text.find_first_of(" \r\n", at);
        const std::string_view word = text.substr(at, end == std::string_view::npos ? end : end - at);
        if (field == n) return std::string(word);
        if (end == std::string_view::npos || text[end] != ' ') return {};
        at = end;
    }
}

std::string sevenPlusStopName(std::string_view stopLine) {
    const std::string second = sevenPlusField(stopLine, 2);
    if (second.size() < 2) return {};
    const std::string_view rest = std::string_view(second).substr(1);
    return std::string(rest.substr(0, rest.find_first_of("/)")));
}

bool CSevenPlusJob::startCapture(CTncChannel& channel, std::string_view receivedText) {
    if (channel.job(JobSlot::Send) || channel.receivingFile()) return false;
    const auto at = receivedText.find(kStartMarker);
    if (at == std::string_view::npos) return false;
    const auto name = plainName(toUpper(sevenPlusField(receivedText.substr(at), 5)));
    const auto dir = channel.receiveFolders().directoryFor("7PlusRxDir");
    if (!dir) return false;
    auto job = std::make_unique<CSevenPlusJob>(channel, *dir / (name ? *name : std::string("7PLUS.TXT")));
    job->notice(std::string("\r") + std::string(kNoticeSevenPlusStart) + "\r");
    job->playSound(kSoundSevenPlusStart);
    channel.setJob(JobSlot::FileReceive, std::move(job));
    return true;
}

CSevenPlusJob::CSevenPlusJob(CTncChannel& channel, std::filesystem::path path)
    : CTransferJob(channel, path, path.filename().string(), "7Plus", false) {
    status_ = kStatusReceive;
    startTime_ = now();
    lastDataMs_ = clock().monotonicMs();
}

CSevenPlusJob::~CSevenPlusJob() { playSound(kSoundSevenPlusEnd); }

void CSevenPlusJob::setState(State next) {
    traceState(static_cast<int>(state_), static_cast<int>(next));
    if (channel().tnc().context().trace)
        channel().tnc().context().trace(std::string("7Plus: ") + stateName(state_) + " -> " + stateName(next));
    state_ = next;
}

int CSevenPlusJob::tick() {
    if (state_ == State::Complete || state_ == State::Incomplete) return 0;
    if (state_ == State::Collecting && clock().monotonicMs() - lastDataMs_ > kQuietLimitMs) {
        save(path_.filename().string(), ".incomplete");
        return 0;
    }
    return 1;
}

int CSevenPlusJob::receive(const ReceiveRecord& record) {
    if (record.text().empty()) return 1;
    updateFigures();
    std::string_view text = record.text();
    // A CR LF split between two frames: the LF was already added after the CR.
    if (lfAdded_ && text.front() == '\n') text.remove_prefix(1);
    lfAdded_ = !text.empty() && text.back() == '\r';
    if (text.empty()) return 1;
    const std::string converted = withLineFeeds(text);
    if (state_ == State::WaitingForStart) {
        const auto at = converted.find(kStartMarker);
        if (at == std::string::npos) return 1;
        beginPart(converted.substr(at));
        return 1;
    }
    if (state_ == State::Collecting) collect(converted);
    return 1;
}

void CSevenPlusJob::beginPart(std::string text) {
    collected_ = std::move(text);
    const std::int64_t size = number(sevenPlusField(collected_, 6));
    const std::int64_t parts = number(sevenPlusField(collected_, 4));
    estimate_ = size != 0 && parts != 0 ? size / parts : 10000;
    lastDataMs_ = clock().monotonicMs();
    updateCounts();
    notice(".");
    setState(State::Collecting);
}

void CSevenPlusJob::collect(std::string_view converted) {
    collected_ += converted;
    lastDataMs_ = clock().monotonicMs();
    notice(".");
    updateCounts();
    for (;;) {
        const auto stop = collected_.find(kStopMarker);
        const auto lineEnd = stop == std::string::npos ? stop : collected_.find("\r\n", stop);
        if (lineEnd == std::string::npos) break;
        std::string rest = collected_.substr(lineEnd + 2);
        collected_.resize(lineEnd + 2);
        const std::string name = sevenPlusStopName(std::string_view(collected_).substr(stop));
        save(name.empty() ? path_.filename().string() : name, {});
        // Parts sent back to back: the next one may begin in the frame that ended this one.
        const auto next = rest.find(kStartMarker);
        if (next == std::string::npos) return;
        const auto field = plainName(toUpper(sevenPlusField(std::string_view(rest).substr(next), 5)));
        path_ = path_.parent_path() / (field ? *field : std::string("7PLUS.TXT"));
        beginPart(rest.substr(next));
    }
    if (collected_.size() > kMaxPart) save(path_.filename().string(), ".incomplete");
}

void CSevenPlusJob::updateCounts() {
    done_ = static_cast<std::int64_t>(collected_.size());
    remaining_ = estimate_ > done_ ? estimate_ - done_ : 0;
    fileLength_ = estimate_;
}

void CSevenPlusJob::save(std::string_view name, std::string_view suffix) {
    const auto plain = plainName(name);
    const std::string wanted = (plain ? *plain : path_.filename().string()) + std::string(suffix);
    // The stop line names the part: never one of Norva's own files.
    const auto fileName = channel().receiveFolders().storeName(path_.parent_path(), wanted);
    CreatedFile file = fileName ? createFreeName(path_.parent_path(), *fileName) : CreatedFile{};
    const bool written = file.fd && writeAll(file.fd.get(), collected_);
    collected_.clear();
    collected_.shrink_to_fit();
    setState(suffix.empty() ? State::Complete : State::Incomplete);
    file.fd.reset();
    if (!written) return;  // the part is dropped, as an unwritable file always was
    saved_ = file.path;
    if (!suffix.empty()) {
        notice("\r\r7Plus File " + file.path.string() + " unvollstaendig.\r\n");
        return;
    }
    notice("\r\r7Plus File " + file.path.string() + " ok.\r\n");
    decodeSet();
}

void CSevenPlusJob::decodeSet() {
    ReceiveFolders& folders = channel().receiveFolders();
    const auto extractDir = folders.directoryFor("7PlusExtractDir");
    if (!extractDir) return;
    const auto report = decodeCapturedSevenPlus(saved_, *extractDir, folders);
    if (!report) return;  // parts are still to come
    for (const std::string& message : report->messages) notice("\r" + message + "\r");
}

}  // namespace norva
