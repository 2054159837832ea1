// A remote server on a scripted TNC link: TNC 1 with four channels, a
// station DA1ABC-3 connected on channel 1, the remote, run and help areas in
// temporary directories, and fakes of the transfers, the gateway and the
// markers that record what they are asked for. The server reads a mount
// table of the rig's own (a root file system and /proc), never the host's.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "../channel/ChannelRig.h"
#include "hostmode/Tnc.h"
#include "remote/RemoteServer.h"

namespace norva::test {

// A capture as the transfers make it: it takes received text only after its
// first tick (the record holding the command is offered to it too).
class FakeCapture : public RecJob {
public:
    using RecJob::RecJob;
    int tick() override {
        ticked = true;
        return RecJob::tick();
    }
    int receive(const ReceiveRecord& r) override { return ticked ? RecJob::receive(r) : 1; }
    bool ticked = false;
};

struct FakeTransfers : RemoteTransfers {
    struct Call {
        std::string what;  // "text", "memory", "sendbin", "recvbin", "capture", "autobin"
        std::string arg;   // path, name or received text
        std::string text;  // memory text or heading
        bool promptAfter = false;
        bool sendSlot = false;
    };
    std::vector<Call> calls;
    bool accept = true;
    // The capture job put into the remote-input slot, when one was asked for.
    Events* events = nullptr;

    bool sendTextFile(CTncChannel&, const std::filesystem::path& f, Place where, bool prompt) override {
        calls.push_back({"text", f.string(), {}, prompt, where == Place::SendSlot});
        return accept;
    }
    bool sendMemoryText(CTncChannel&, std::string_view name, std::string text, bool prompt) override {
        calls.push_back({"memory", std::string(name), std::move(text), prompt, true});
        return accept;
    }
    bool sendBinFile(CTncChannel&, const std::filesystem::path& f, bool prompt) override {
        calls.push_back({"sendbin", f.string(), {}, prompt, false});
        return accept;
    }
    bool receiveBinFile(CTncChannel&, const std::filesystem::path& f, bool prompt) override {
        calls.push_back({"recvbin", f.string(), {}, prompt, false});
        return accept;
    }
    bool captureMessage(CTncChannel& ch, const std::filesystem::path& f, std::string_view heading) override {
        calls.push_back({"capture", f.string(), std::string(heading), true, false});
        if (accept && events) ch.setJob(JobSlot::RemoteInput, std::make_unique<FakeCapture>("capture", *events));
        return accept;
    }
    bool autoBin(CTncChannel&, std::string_view text) override {
        calls.push_back({"autobin", std::string(text), {}, false, false});
        return accept;
    }
};

struct FakeMarkers : RemoteMarkers {
    std::vector<std::string> seen;
    void sevenPlus(CTncChannel&, std::string_view t) override { seen.push_back("7plus:" + std::string(t)); }
    void loginText(CTncChannel&, std::string_view t) override { seen.push_back("login:" + std::string(t)); }
};

struct FakeGateway : RemoteGateway {
    std::vector<std::string> asked;
    Events* events = nullptr;
    int firstTick = 1;
    std::unique_ptr<CGatewayJob> makeGateway(CTncChannel&, std::string_view dest) override {
        asked.emplace_back(dest);
        auto job = std::make_unique<RecGateway>("gateway", *events);
        job->tickResult = firstTick;
        return job;
    }
};

struct RemoteRig {
    ChannelRig rig;
    TempDir area;   // RemoteDir
    TempDir run;    // RunDir
    TempDir help;   // HelpDir
    TempDir outside;
    TempDir system;  // the mount table the server reads
    FakeTransfers transfers;
    FakeMarkers markers;
    FakeGateway gateway;
    RemoteServer server;

    static constexpr const char* kMounts = "/dev/norva0 / ext4 rw 0 0\nproc /proc proc rw 0 0\n";

    explicit RemoteRig(bool configureAreas = true, RemoteServer::Options options = {})
        : server(transfers, gateway, markers, withMountTable(std::move(options), system)) {
        transfers.events = &rig.events;
        gateway.events = &rig.events;
        rig.registry().hooks().setRemote(&server);
        rig.configure(1, 4, "DL1XYZ");
        if (configureAreas) {
            rig.appendIni("[frame]\r\nRemoteDir=" + area.path().string() + "\r\nRunDir=" + run.path().string() +
                          "\r\nHelpDir=" + help.path().string() + "\r\nInitDir=" + help.path().string() +
                          "\r\nHelloTextDir=" + help.path().string() + "\r\n");
        }
        rig.create();
    }
    // The channels and their jobs go first: jobs refer to the fakes.
    ~RemoteRig() {
        rig.host.reset();
        rig.registry().hooks().setRemote(nullptr);
    }

    CTncChannel& ch(int n = 1) { return rig.channel(1, n); }

    // Replaces the mount table (lines as in /proc/self/mounts); read at each command.
    void setMounts(const std::string& table) const { system.write("mounts", table); }

    // The TNC reports a connect from the station; the server greets it.
    void connect(int n = 1, std::string_view call = "DA1ABC-3") {
        rig.queueStatus(n, "(" + std::to_string(n) + ") CONNECTED to " + std::string(call));
        rig.poll(n);
    }
    void clear() {
        rig.state->writes.clear();
        transfers.calls.clear();
        rig.events.clear();
    }
    // What went on the air on a channel since the last clear, frames joined.
    std::string sent(int n = 1) const {
        std::string out;
        for (const auto& w : rig.state->writes)
            if (w.size() >= 3 && w[0] == static_cast<char>(n) && w[1] == 0) out += w.substr(3);
        return out;
    }
    // The station sends text; returns what the server answered on the air.
    std::string say(std::string_view text, int n = 1) {
        rig.state->writes.clear();
        ch(n).receiveEntry(kKindConnected, text);
        ch(n).dispatch();
        return sent(n);
    }
    static RemoteServer::Options withMountTable(RemoteServer::Options options, const TempDir& dir) {
        dir.write("mounts", kMounts);
        options.mountTable = dir / "mounts";
        return options;
    }
    static std::string prompt(std::string_view call = "DA1ABC-3") {
        return "\r\r" + std::string(call) + " de DL1XYZ (09:07)>";
    }
};

}  // namespace norva::test
