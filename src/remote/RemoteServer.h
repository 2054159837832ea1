// RemoteServer: the remote command server. Installed as the channels'
// remote-command hook, it looks at every text a connected station sends,
// answers the "//" commands (help and information texts, tables, paging the
// operator, the conference, the superuser challenge, the file commands and
// program runs inside the remote area), starts automatic actions on in-band
// markers, and greets a station that connects. Anything that takes time
// runs as a job in one of the channel's slots; the server never blocks.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "channel/ChannelHooks.h"
#include "channel/ChannelRegistry.h"
#include "remote/CommandTable.h"
#include "remote/RemoteJobs.h"
#include "remote/RemoteSeams.h"

namespace norva {

class Profile;

class RemoteServer : public RemoteCommandHook {
public:
    struct Options {
        std::int64_t runLimitMs = 60'000;          // a program running longer is killed
        std::size_t runOutputLimit = 64 * 1024;    // bytes of program output sent back
        std::int64_t ringLimitMs = 60'000;         // how long //RIng pages the operator
        std::int64_t ringIntervalMs = 5'000;
        // The mount table //DRIVE lists and the superuser's //DIR names its volume from.
        std::filesystem::path mountTable = "/proc/self/mounts";
    };

    RemoteServer(RemoteTransfers& transfers, RemoteGateway& gateway, RemoteMarkers& markers);
    RemoteServer(RemoteTransfers& transfers, RemoteGateway& gateway, RemoteMarkers& markers, Options options);

    // ---- the channel's hook ----
    void scan(CTncChannel& ch, const ReceiveRecord& record) override;
    void converseLine(CTncChannel& ch, std::string_view text) override;
    void greet(CTncChannel& ch) override;

    // A conference line from this channel to the others of its group.
    void sendConverseLine(CTncChannel& ch, std::string_view oemText);
    // The channel's current remote directory (a real path).
    std::filesystem::path currentDir(CTncChannel& ch);
    const Options& options() const { return options_; }

    // The connect status table (//CStat) and the conference table (/WHO).
    static std::string connectStatusTable(const CTncChannel& asker);
    static std::string converseStatusTable(const CTncChannel& asker);
    // The //Nodes answer.
    static std::string nodesText(const Profile& profile);
    // Logs the connected station off (//Quit, and the IPC service's QUIT).
    void quit(CTncChannel& ch);

private:
    void converseMode(CTncChannel& ch, std::string_view text, std::string_view upper);
    void markers(CTncChannel& ch, std::string_view text, std::string_view upper, bool& consumed);
    void interpret(CTncChannel& ch, std::string_view text, std::string_view upper);
    bool checksPass(CTncChannel& ch, const CommandInfo& info, std::string_view argument);
    void run(CTncChannel& ch, RemoteCommand command, std::string_view argument);

    void connect(CTncChannel& ch, std::string_view destination);
    void joinConverse(CTncChannel& ch);
    void sendHelpFile(CTncChannel& ch, std::string_view name);
    void ring(CTncChannel& ch);
    void sys(CTncChannel& ch);
    void sendTable(CTncChannel& ch, std::string text);

    // ---- file commands (RemoteFiles.cpp) ----
    std::optional<std::filesystem::path> areaRoot(CTncChannel& ch) const;
    // A path as the station may see it: inside its area, from the area's root.
    std::string shownPath(CTncChannel& ch, const std::filesystem::path& p) const;
    void changeDir(CTncChannel& ch, std::string_view argument);
    void listDir(CTncChannel& ch, std::string_view argument);
    void listDrives(CTncChannel& ch);
    void makeDir(CTncChannel& ch, std::string_view argument);
    void removeDir(CTncChannel& ch, std::string_view argument);
    void deleteFile(CTncChannel& ch, std::string_view argument);
    void readFile(CTncChannel& ch, std::string_view argument, bool binary);
    void deliverFile(CTncChannel& ch, std::string_view argument, bool binary);
    // //YGet and //YPut: a file of the area sent, or received, by YAPP.
    void yappGet(CTncChannel& ch, std::string_view argument);
    void yappPut(CTncChannel& ch, std::string_view argument);
    void runProgram(CTncChannel& ch, std::string_view argument);
    // An existing entry of the current directory that a command may touch
    // (the entry itself; a link is not followed).
    std::optional<std::filesystem::path> existingEntry(CTncChannel& ch, std::string_view name);
    std::optional<std::filesystem::path> readableFile(CTncChannel& ch, std::string_view name);

    RemoteTransfers& transfers_;
    RemoteGateway& gateway_;
    RemoteMarkers& markers_;
    Options options_;
    std::array<std::filesystem::path, ChannelRegistry::kSlots + 1> dirs_{};
    SysGuard sysGuard_;
};

}  // namespace norva
