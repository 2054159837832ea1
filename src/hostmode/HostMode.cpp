// CHostMode: TNC table and the poll step.
#include "hostmode/HostMode.h"

#include "platform/Profile.h"
#include "platform/Text.h"
#include "platform/UiPort.h"

namespace norva {

namespace {

// Clears a flag however a scope is left.
class BusyGuard {
public:
    explicit BusyGuard(bool& flag) : flag_(flag) { flag_ = true; }
    ~BusyGuard() { flag_ = false; }
    BusyGuard(const BusyGuard&) = delete;
    BusyGuard& operator=(const BusyGuard&) = delete;

private:
    bool& flag_;
};

}  // namespace

CHostMode::CHostMode(HostContext& ctx)
    : ctx_(ctx), virtualTnc_(std::make_unique<CVirtualTnc>(20)) {
    ctx_.virtualTnc = virtualTnc_.get();
}

CHostMode::~CHostMode() { destroyTncs(); }

std::unique_ptr<CTnc> CHostMode::makeTnc(int n) {
    auto tnc = std::make_unique<CTnc>(ctx_, n);
    tnc->startIfWanted();
    return tnc;
}

void CHostMode::createTncs() {
    for (int n = 1; n <= 4; ++n)
        if (ctx_.profile.getString("Tnc", std::to_string(n), "") == "1") tncs_[n] = makeTnc(n);
    tncs_[kDummyTnc] = makeTnc(kDummyTnc);
}

void CHostMode::destroyTncs() {
    // Every channel writes its settings back: one rewrite of the file for all.
    Profile::Batch batch(ctx_.profile);
    for (auto& t : tncs_) t.reset();
}

void CHostMode::stopAll() {
    for (int n = 1; n <= 4; ++n)
        if (tncs_[n]) tncs_[n]->stop();
}

CTnc* CHostMode::tnc(int n) const {
    if (n < 1 || n > kDummyTnc) return nullptr;
    return tncs_[static_cast<std::size_t>(n)].get();
}

void CHostMode::nextTnc() {
    current_ = current_ >= kDummyTnc ? 1 : current_ + 1;
    sequential_ = 0;
    listChannel_ = 0;
}

void CHostMode::resetRoundRobin() {
    current_ = 1;
    sequential_ = 0;
    listChannel_ = 0;
}

void CHostMode::reinitialise(CTnc& tnc) {
    tnc.setReinitPending(false);
    tnc.sendInitFile(InitFile::Init);
    tnc.initChannels();
    ctx_.ui.statusMessage("");
}

int CHostMode::pollStep() {
    if (busy_ || held_) return kStepNoPort;
    BusyGuard guard(busy_);

    CTnc* tnc = nullptr;
    for (int tries = 0; tries < kDummyTnc && !tnc; ++tries) {
        if (current_ < 1 || current_ > kDummyTnc) current_ = 1;
        tnc = tncs_[static_cast<std::size_t>(current_)].get();
        if (!tnc) nextTnc();
    }
    if (!tnc) return kStepNoPort;
    if (!tnc->isOpen() && !tnc->isDummy()) {
        nextTnc();
        return kStepNoPort;
    }
    const std::uint64_t trafficBefore = tnc->traffic();
    const bool touchesPort = tnc->isOpen();

    CTnc::ExtendedResult ext;
    if (!ctx_.settings.noExtHostMode) ext = tnc->extendedPoll();
    switch (ext.kind) {
        case CTnc::ExtendedResult::Unavailable:
            plainStep(*tnc);
            break;
        case CTnc::ExtendedResult::List:
            extendedStep(*tnc, ext.list);
            break;
        case CTnc::ExtendedResult::Nothing:
            // Nothing pending still gets its status round: jobs tick there
            // and the round moves on to the next TNC.
            statusRound(*tnc);
            break;
    }
    if (!touchesPort) return kStepNoPort;
    const bool busy = ext.kind == CTnc::ExtendedResult::List || tnc->traffic() != trafficBefore;
    return busy ? kStepTraffic : kStepIdle;
}

void CHostMode::plainStep(CTnc& tnc) {
    HostChannel* monitor = tnc.channel(0);
    bool lost = monitor ? monitor->poll(PollMode::Normal) : false;
    if (!lost) {
        HostChannel* ch = tnc.channel(sequential_);
        lost = ch ? ch->poll(PollMode::Normal) : false;
    }
    if (!lost) {
        if (tnc.reinitPending()) {
            reinitialise(tnc);
            sequential_ = 0;
        }
        ++sequential_;
    } else {
        tnc.setReinitPending(true);
        // One resynchronisation attempt per step; the other TNCs get their
        // turn in between instead of waiting for this one to recover.
        if (tnc.outOfSync()) {
            nextTnc();
            return;
        }
    }
    if (sequential_ > tnc.channelCount()) nextTnc();
}

void CHostMode::extendedStep(CTnc& tnc, const std::string& list) {
    for (const char byte : list) {
        const int number = static_cast<unsigned char>(byte) - 1;
        HostChannel* ch = tnc.channel(number);
        if (!ch) {
            resetRoundRobin();
            return;
        }
        if (!ch->poll(PollMode::ForceGet)) {
            if (tnc.reinitPending()) reinitialise(tnc);
            continue;
        }
        tnc.setReinitPending(true);
        ch->poll(PollMode::ForceGet);
        if (tnc.outOfSync()) {
            nextTnc();
            return;
        }
    }
    statusRound(tnc);
}

void CHostMode::statusRound(CTnc& tnc) {
    HostChannel* ch = tnc.channel(listChannel_);
    const bool lost = ch ? ch->poll(PollMode::StatusOnly) : false;
    if (!lost) {
        if (tnc.reinitPending()) reinitialise(tnc);
        ++listChannel_;
    } else {
        tnc.setReinitPending(true);
    }
    if (listChannel_ > tnc.channelCount()) nextTnc();
}

// ---- the TNC settings flow ----

void CHostMode::beginSettings() {
    held_ = true;
    stopAll();
}

std::vector<std::string> CHostMode::settingsList() const {
    std::vector<std::string> lines;
    for (int n = 1; n <= 4; ++n) {
        const std::string sec = std::to_string(n);
        const std::string name = ctx_.profile.getString(sec, "TncName", "");
        if (name.empty()) continue;
        const bool active = ctx_.profile.getInt(sec, "Connected", 0) != 0;
        lines.push_back(sec + "\t" + name + "\t" + (active ? "activ" : "nicht activ"));
    }
    return lines;
}

TncSettings CHostMode::loadSettings(int n) const {
    const std::string sec = std::to_string(n);
    const Profile& p = ctx_.profile;
    TncSettings s;
    s.tncName = cut(p.getString(sec, "TncName", ""), 9);
    s.channels = p.getInt(sec, "Channels", 10);
    s.qrg = cut(p.getString(sec, "Qrg", "438.425"), 10);
    s.baudrate = p.getInt(sec, "Baudrate", 9600);
    s.comPort = p.getString(sec, "ComPort", "com1");
    s.myCall = toUpper(cut(p.getString(sec, "MyCall", "NOCALL"), 9));
    s.connected = p.getInt(sec, "Connected", 1) != 0;
    s.delayTime = p.getInt(sec, "DelayTime", 250);
    s.tfpcrWarning = p.getInt(sec, "TfpcrWarning", 1) != 0;
    s.minFreeBuffer = p.getInt(sec, "MinFreeBuffer", 500);
    return s;
}

void CHostMode::saveSettings(int n, const TncSettings& s, bool noExtHostMode, bool yield) {
    const std::string sec = std::to_string(n);
    Profile& p = ctx_.profile;
    Profile::Batch batch(p);
    p.writeString("Tnc", sec, "1");
    p.writeString(sec, "TncName", cut(s.tncName, 9));
    p.writeInt(sec, "TncNumber", n);
    p.writeInt(sec, "Channels", std::clamp(s.channels, 4, kMaxChannels));
    p.writeString(sec, "Qrg", cut(s.qrg, 10));
    p.writeInt(sec, "Baudrate", s.baudrate);
    p.writeString(sec, "ComPort", s.comPort);
    p.writeString(sec, "MyCall", toUpper(cut(s.myCall, 9)));
    p.writeInt(sec, "Connected", s.connected ? 1 : 0);
    p.writeInt(sec, "DelayTime", std::clamp(s.delayTime, 25, 1000));
    p.writeInt(sec, "TfpcrWarning", s.tfpcrWarning ? 1 : 0);
    p.writeInt(sec, "MinFreeBuffer", std::clamp(s.minFreeBuffer, 400, 800));
    ctx_.settings.noExtHostMode = noExtHostMode;
    ctx_.settings.yield = yield;
}

void CHostMode::deleteSettings(int n) {
    const std::string sec = std::to_string(n);
    Profile::Batch batch(ctx_.profile);
    ctx_.profile.deleteKey("Tnc", sec);
    for (const char* key : {"TncName", "TncNumber", "Channels", "Qrg", "Baudrate", "ComPort",
                            "Connected", "MyCall", "MinFreeBuffer"})
        ctx_.profile.deleteKey(sec, key);
}

int CHostMode::firstFreeTnc() const {
    for (int n = 1; n <= 4; ++n)
        if (ctx_.profile.getString("Tnc", std::to_string(n), "").empty()) return n;
    return 0;
}

void CHostMode::applySettings(const std::vector<int>& wanted) {
    Profile::Batch batch(ctx_.profile);
    for (int n = 1; n <= 4; ++n) {
        const bool want = std::find(wanted.begin(), wanted.end(), n) != wanted.end();
        auto& slot = tncs_[static_cast<std::size_t>(n)];
        if (want && !slot) {
            slot = makeTnc(n);
        } else if (want && slot) {
            slot->stop();
            if (ctx_.profile.getInt(std::to_string(n), "Connected", 0) != 0 && slot->start() == -1)
                ctx_.profile.writeInt(std::to_string(n), "Connected", 0);
        } else if (!want && slot) {
            slot.reset();
        }
    }
    resetRoundRobin();
    ctx_.ui.statusMessage("");
    held_ = false;
}

}  // namespace norva
