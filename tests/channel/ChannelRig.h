// Channels on a TNC link of fakes: HostRig plus a firmware whose "G" answers
// come from per-channel queues and whose "L" answers can be set, recording
// jobs for every slot, and recording hooks.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "channel/ChannelHooks.h"
#include "channel/ChannelRegistry.h"
#include "channel/TncChannel.h"
#include "hostmode/HostMode.h"
#include "platform/Profile.h"
#include "platform/SystemLog.h"
#include "support/HostRig.h"
#include "support/ScriptedStream.h"
#include "support/TempDir.h"

namespace norva::test {

using Events = std::vector<std::string>;

// A job that writes "<name>.tick", "<name>.receive:<text>", "<name>.send:<text>"
// and "<name>.destroy" into a shared list.
template <class Base>
class Rec : public Base {
public:
    Rec(std::string name, Events& events) : name_(std::move(name)), events_(events) {}
    ~Rec() override { events_.push_back(name_ + ".destroy"); }
    int tick() override {
        events_.push_back(name_ + ".tick");
        return tickResult;
    }
    int receive(const ReceiveRecord& r) override {
        events_.push_back(name_ + ".receive:" + std::string(r.text()));
        kinds.push_back(r.kind);
        return receiveResult;
    }
    void sendHook(const FrameRecord& f) override { events_.push_back(name_ + ".send:" + std::string(f.data)); }
    std::string captionName() const override { return caption; }

    int tickResult = 1;
    int receiveResult = 1;
    std::string caption;
    std::vector<int> kinds;

protected:
    std::string name_;
    Events& events_;
};

using RecJob = Rec<CChannelJob>;

class RecGateway : public Rec<CGatewayJob> {
public:
    using Rec::Rec;
    int partnerSlot() const override { return partner; }
    bool homeSide() const override { return home; }
    int partner = 0;
    bool home = true;
};

class RecMapLink : public Rec<CMapLinkJob> {
public:
    using Rec::Rec;
    void setPair(std::string_view a, std::string_view b) override { pairs.emplace_back(a, b); }
    std::vector<std::pair<std::string, std::string>> pairs;
};

struct RecRemote : RemoteCommandHook {
    explicit RecRemote(Events& e) : events(e) {}
    void scan(CTncChannel& ch, const ReceiveRecord& r) override {
        events.push_back("remote.scan:" + std::to_string(ch.slot()) + ":" + std::string(r.text()));
    }
    void converseLine(CTncChannel&, std::string_view t) override { events.push_back("converse:" + std::string(t)); }
    void greet(CTncChannel& ch) override { events.push_back("greet:" + std::to_string(ch.slot())); }
    Events& events;
};

struct RecStation : StationHook {
    explicit RecStation(Events& e) : events(e) {}
    void updateStationFile(CTncChannel&, std::string_view call) override {
        events.push_back("station:" + std::string(call));
    }
    void aliasPair(std::string_view alias, std::string_view call) override {
        events.push_back("alias:" + std::string(alias) + "," + std::string(call));
    }
    Events& events;
};

struct RecPassword : PasswordHook {
    explicit RecPassword(Events& e) : events(e) {}
    bool takesOver(CTncChannel&, int, std::string_view text) override { return text == take; }
    void pwdCommand(CTncChannel&, std::string_view args) override { events.push_back("pwd:" + std::string(args)); }
    std::string take = "\x01never";
    Events& events;
};

struct RecDde : ChannelDdeObject {
    bool active() const override { return isActive; }
    void advise(const ReceiveRecord& r) override { advised.emplace_back(r.kind, std::string(r.text())); }
    void updateItems(const ReceiveRecord& r) override { items.emplace_back(r.kind, std::string(r.text())); }
    bool isActive = false;
    std::vector<std::pair<int, std::string>> advised;
    std::vector<std::pair<int, std::string>> items;
};

// Standing jobs and DDE objects made through the factory are recorded per slot.
struct RecFactory : ChannelJobFactory {
    explicit RecFactory(Events& e) : events(e) {}
    std::unique_ptr<CChannelJob> captureJob(CTncChannel& ch, std::string_view path) override {
        events.push_back("make.capture:" + std::to_string(ch.slot()) + ":" + std::string(path));
        return std::make_unique<RecJob>("capture", events);
    }
    std::unique_ptr<CMapLinkJob> mapLinkJob(CTncChannel& ch) override {
        auto job = std::make_unique<RecMapLink>("map", events);
        maps[ch.slot()] = job.get();
        return job;
    }
    std::unique_ptr<CChannelJob> mailboxJob(CTncChannel& ch) override {
        events.push_back("make.mailbox:" + std::to_string(ch.slot()));
        return nullptr;
    }
    std::unique_ptr<CChannelJob> companionHook(CTncChannel& ch) override {
        events.push_back("make.companion:" + std::to_string(ch.slot()));
        return nullptr;
    }
    std::unique_ptr<CChannelJob> schedulerHook(CTncChannel& ch) override {
        events.push_back("make.scheduler:" + std::to_string(ch.slot()));
        return nullptr;
    }
    std::unique_ptr<ChannelDdeObject> ddeObject(CTncChannel& ch) override {
        auto dde = std::make_unique<RecDde>();
        ddes[ch.slot()] = dde.get();
        return dde;
    }
    Events& events;
    std::map<int, RecMapLink*> maps;
    std::map<int, RecDde*> ddes;
};

// RecordingUi plus the status bar, channel bar, sound and notice requests.
struct ChannelUi : RecordingUi {
    std::vector<std::pair<StatusField, std::string>> fields;
    std::vector<std::pair<int, std::string>> buttons;
    std::vector<std::string> sounds;
    std::vector<int> notices;
    void statusField(StatusField f, std::string_view t) override { fields.emplace_back(f, t); }
    void channelButton(int slot, std::string_view l) override { buttons.emplace_back(slot, l); }
    void playSound(std::string_view e, bool) override { sounds.emplace_back(e); }
    void connectNotice(int slot) override { notices.push_back(slot); }
};

// A TNC link on fakes (HostRig) with the recording user interface above and
// scripted answers to "G" and "L" per channel.
struct ChannelRig : BasicHostRig<ChannelUi> {
    std::map<int, std::deque<std::string>> gets;  // reply bytes for "G" per channel
    std::map<int, std::string> lAnswers;          // "L" answer text per channel
    Events events;

    ChannelRig() {
        fw.onCommand = [this](int ch, std::string_view data) -> std::string {
            if (data == "G") {
                auto& q = gets[ch];
                if (q.empty()) return {};
                std::string r = q.front();
                q.pop_front();
                return r;
            }
            if (data == "L" && lAnswers.count(ch)) return reply(ch, 1, lAnswers[ch]);
            return {};
        };
    }
    // The TNCs (and the jobs on their channels) go before the events they report to.
    ~ChannelRig() { host.reset(); }

    // Appends the TNC's sections to norva.ini in one write (each profile
    // write syncs the disk, which adds up over many tests).
    void configure(int n, int channels, const std::string& myCall = "NOCALL") {
        const std::string sec = std::to_string(n);
        profile.writeString("Tnc", sec, "1");
        appendIni("[" + sec + "]\r\nTncName=TNC" + sec + "\r\nChannels=" +
                  std::to_string(channels) + "\r\nComPort=/dev/ttyFAKE" + sec +
                  "\r\nConnected=1\r\nMyCall=" + myCall + "\r\nQrg=438.425\r\n");
    }
    // Raw lines added at the end of norva.ini.
    void appendIni(const std::string& text) { dir.write("norva.ini", dir.read("norva.ini") + text); }

    ChannelRegistry& registry() { return ctx.channels; }
    CTncChannel& channel(int tnc, int n) { return *channelOf(*host->tnc(tnc), n); }
    void queueStatus(int ch, std::string_view text) { gets[ch].push_back(reply(ch, 3, text)); }
    void queueInfo(int ch, std::string_view text) { gets[ch].push_back(counted(ch, 7, text)); }
    // One forced poll of a channel of TNC 1 ("@B" and "L" when due, then "G").
    void poll(int ch) { channel(1, ch).poll(PollMode::ForceGet); }
    // Commands written since the last clear, without their frame head.
    std::vector<std::string> commands() const { return state->commands(); }
    // Info frames written since the last clear.
    std::vector<std::string> infos() const {
        std::vector<std::string> out;
        for (const auto& w : state->writes)
            if (w.size() >= 4 && w[1] == 0) out.push_back(w.substr(3));
        return out;
    }
};

}  // namespace norva::test
