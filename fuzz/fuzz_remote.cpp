// libFuzzer entry for the remote command scanner: whatever a connected
// station sends (command words, arguments with separators, NULs, markers,
// conference lines), the server answers within its buffers and never
// touches a file outside the remote area. The station is never superuser
// and no run area is configured, so no program is started. The same text
// also goes through the gateway's reading of a user's callsign.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>

#include "channel/ChannelRig.h"
#include "channel/Gateway.h"
#include "remote/RemoteServer.h"

using namespace norva;
using namespace norva::test;

namespace {

// Accepts every transfer without doing it, so the commands run to their end.
struct AcceptAll : RemoteTransfers {
    bool sendTextFile(CTncChannel&, const std::filesystem::path&, Place, bool) override { return true; }
    bool sendMemoryText(CTncChannel&, std::string_view, std::string, bool) override { return true; }
    bool sendBinFile(CTncChannel&, const std::filesystem::path&, bool) override { return true; }
    bool receiveBinFile(CTncChannel&, const std::filesystem::path&, bool) override { return true; }
    bool captureMessage(CTncChannel&, const std::filesystem::path&, std::string_view) override { return true; }
    bool autoBin(CTncChannel&, std::string_view) override { return true; }
};

struct Rig : ChannelRig {
    TempDir area;
    AcceptAll transfers;
    RemoteGateway gateway;
    RemoteMarkers markers;
    RemoteServer server{transfers, gateway, markers};

    Rig() {
        configure(1, 4, "DL1XYZ");
        appendIni("[frame]\r\nRemoteDir=" + area.path().string() + "\r\n");
        std::filesystem::create_directory(area.path() / "sub");
        std::ofstream(area.path() / "Readme.txt") << "x";
        registry().hooks().setRemote(&server);
        create();
    }
    ~Rig() {
        host.reset();
        registry().hooks().setRemote(nullptr);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    if (size < 1) return 0;
    CTncChannel* ch = &rig.channel(1, 1);
    // First byte: channel switches; the rest is what the station sent.
    const std::uint8_t flags = data[0];
    ch->settings().remote = (flags & 1) != 0;
    ch->settings().remoteQuit = (flags & 2) != 0;
    ch->settings().autoBin = (flags & 4) != 0;
    ch->setSuperuser(false);
    rig.registry().setConverseGroup(ch->slot(), (flags & 8) ? 1 : 0);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    (void)gatewayCall(text);
    ch->receiveEntry(kKindConnected, text);
    ch->dispatch();
    ch->tick();
    ch->resetJobs();
    rig.state->writes.clear();
    return 0;
}
