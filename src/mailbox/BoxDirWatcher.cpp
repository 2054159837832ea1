// The DieBox directory watcher: arming on what the operator sends,
// capturing listings from heading to prompt.
#include "mailbox/BoxDirWatcher.h"

#include "channel/TncChannel.h"
#include "hostmode/Tnc.h"
#include "mailbox/FbbListing.h"
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/Text.h"
#include "transfer/FileArea.h"
#include "transfer/TextJobs.h"
#include "transfer/Transfers.h"

namespace norva {

namespace {

const char* stateName(CBoxDirWatcher::State s) {
    switch (s) {
        case CBoxDirWatcher::State::Idle: return "idle";
        case CBoxDirWatcher::State::Armed: return "armed";
        case CBoxDirWatcher::State::Capturing: return "capturing";
    }
    return "?";
}

// The unfinished line kept for the prompt test: a prompt is shorter.
constexpr std::size_t kPromptCarryLimit = 256;

// The last line of a text (what a prompt is matched against).
std::string_view lastLine(std::string_view text) {
    while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
    const auto end = text.find_last_of("\r\n");
    return end == std::string_view::npos ? text : text.substr(end + 1);
}

// A directory file that does not overwrite an earlier capture: NAME.b01,
// NAME.b02 ... NAME.b09 (all seen by the reader's "*.b0?"), then NAME.b09.1 ...
CreatedFile freeListingFile(const std::filesystem::path& dir, const std::string& name) {
    const std::string stem = name.substr(0, name.size() - 1);  // "NAME.b0"
    for (char n = '1'; n <= '9'; ++n) {
        const std::filesystem::path path = dir / (stem + n);
        if (UniqueFd fd = openForWriting(path, CreateMode::Exclusive)) return {std::move(fd), path};
    }
    return createFreeName(dir, stem + '9');
}

}  // namespace

std::string boxListingName(BoxListing kind, std::string_view fromHeading) {
    if (kind == BoxListing::Check) return "checks.b01";
    const auto blank = fromHeading.find(' ');
    if (blank == std::string_view::npos) return "box.b01";
    std::string_view rest = fromHeading.substr(blank);
    while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
    const std::string word(rest.substr(0, rest.find_first_of(" \r\n")));
    const auto plain = plainName(word);
    return plain && *plain == word ? word + ".b01" : "box.b01";
}

std::string fbbListingName(std::string_view bbsCall) {
    const bool call = !bbsCall.empty() && bbsCall.size() <= 9 && bbsCall.front() != '-' &&
                      bbsCall.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-") == std::string_view::npos;
    return (call ? std::string(bbsCall) : std::string("fbb")) + ".b01";
}

CBoxDirWatcher::CBoxDirWatcher(CTncChannel& channel)
    : channel_(channel),
      settings_(MailboxSettings::read(channel.tnc().context().profile, channel.tnc().context().programDir,
                                      kCheckHeadingCapture)) {}

// A capture cut short by the channel's end still names its file.
CBoxDirWatcher::~CBoxDirWatcher() { storeLastDirFile(); }

void CBoxDirWatcher::storeLastDirFile() {
    if (lastDirFile_.empty()) return;
    channel_.tnc().context().profile.writeString("DieBox", "LastDirFile", lastDirFile_);
    lastDirFile_.clear();
}

void CBoxDirWatcher::setState(State next) {
    if (next == state_) return;
    if (const auto& trace = channel_.tnc().context().trace)
        trace("mailbox " + std::to_string(channel_.slot()) + ": " + stateName(state_) + " -> " + stateName(next));
    state_ = next;
}

void CBoxDirWatcher::sendHook(const FrameRecord& text) {
    if (channel_.job(JobSlot::Send) || channel_.receivingFile() || state_ == State::Capturing) return;
    if (text.kind == kKindInfo)
        armed_ = kArmedCommands;
    else if (text.kind == kKindCommand && armed_ > 0)
        --armed_;
    setState(armed_ > 0 ? State::Armed : State::Idle);
}

int CBoxDirWatcher::receive(const ReceiveRecord& record) {
    const std::string_view text = record.text();
    // Most records arrive unarmed: they cost nothing here.
    if (state_ != State::Capturing && armed_ == 0) return 1;
    const std::string upper = toUpper(text);
    if (state_ == State::Capturing) {
        if (auto* capture = dynamic_cast<CTextCaptureJob*>(capture_.get())) capture->write(text);
        if (endsCapture(text) || upper.find("RECONNECTED TO") != std::string::npos ||
            upper.find("DISCONNECTED") != std::string::npos)
            close();
        return 1;
    }
    if (const auto at = upper.find(settings_.userHeading); !settings_.userHeading.empty() && at != std::string::npos)
        open(BoxListing::User, text, at);
    else if (const auto at2 = upper.find(settings_.infoHeading);
             !settings_.infoHeading.empty() && at2 != std::string::npos)
        open(BoxListing::Info, text, at2);
    else if (!settings_.checkHeading.empty() && squeezedUpper(text).find(settings_.checkHeading) != std::string::npos)
        open(BoxListing::Check, text, 0);
    else if (const auto at3 = findFbbHeading(text))
        open(BoxListing::Fbb, text, *at3);
    return 1;
}

// The mailbox prompt as the last line, which may have begun in an earlier
// record; FBB's own prompt ends an FBB listing too, since the DieBox prompt
// pattern need not match it.
bool CBoxDirWatcher::endsCapture(std::string_view text) {
    lineCarry_ += text;
    const std::string_view last = lastLine(lineCarry_);
    const bool ends = hasCharsInOrder(toUpper(last), settings_.prompt) ||
                      (capturing_ == BoxListing::Fbb && fbbPromptText(last).has_value());
    // What the next record may continue: the unfinished last line, bounded.
    if (const auto end = lineCarry_.find_last_of("\r\n"); end != std::string::npos) lineCarry_.erase(0, end + 1);
    if (lineCarry_.size() > kPromptCarryLimit) lineCarry_.erase(0, lineCarry_.size() - kPromptCarryLimit);
    return ends;
}

void CBoxDirWatcher::open(BoxListing kind, std::string_view text, std::size_t at) {
    const std::string name = kind == BoxListing::Fbb ? fbbListingName(channel_.linkState().destCall())
                                                      : boxListingName(kind, text.substr(at));
    capturing_ = kind;
    CreatedFile file = freeListingFile(settings_.dir, name);
    armed_ = 0;
    if (!file.fd) {
        channel_.show("\rBox Directory " + name + " kann nicht angelegt werden.\r", kClassTncEcho);
        setState(State::Idle);
        return;
    }
    file.fd.reset();
    const std::string used = file.path.filename().string();
    lastDirFile_ = used;
    capture_ = makeCaptureJob(channel_, file.path, false, true);
    channel_.show("\rBox Directory " + used + " opened.\r", kClassTncEcho);
    setState(State::Capturing);
    const std::string_view listing = text.substr(at);
    if (auto* capture = dynamic_cast<CTextCaptureJob*>(capture_.get())) capture->write(listing);
    // A short listing may come with its prompt in the same frame.
    lineCarry_.clear();
    if (endsCapture(listing) && listing.find_first_of("\r\n") != std::string::npos) close();
}

void CBoxDirWatcher::close() {
    capture_.reset();
    storeLastDirFile();
    channel_.show("\rBox Directory closed.\r", kClassTncEcho);
    setState(State::Idle);
}

}  // namespace norva
