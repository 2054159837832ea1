// Where files from the air may land, and where they never may. Norva reads
// its settings, scripts, menus, station and password files, texts and
// programs from a handful of directories; a station on the air must never
// be able to put a file there (a planted 7pluse.sh, exec.mnu or tnc1.ini
// would run with the operator's rights). So every reception (AutoBin,
// 7Plus parts, captures, //SBin and //Send, the 7Plus extraction) asks here
// for its directory and its file name:
//  - a receive directory that is empty or is one of Norva's own directories
//    is replaced by Norva's own receive folder (received/ in the program
//    directory, created 0700), said once in system.log;
//  - nothing is ever created in one of Norva's own directories;
//  - a name of one of Norva's own file kinds (.ini, .scr, .mnu, .stn, .sh,
//    alias.dat, whello*.txt, ...) arriving near such a directory (inside
//    the program directory's tree, say) is stored under a safe name.
// It also knows which directories a normal station can write to, so that
// //DOS stays off while the run area overlaps one of them.
#pragma once

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace norva {

class Profile;
class SystemLog;

inline constexpr std::string_view kReceivedFolderName = "received";
// Appended to a name of Norva's own kinds: the file keeps its data and its
// name, and nothing of Norva will ever read it.
inline constexpr std::string_view kSafeNameSuffix = ".rcv";

// True for names of the kinds Norva reads as its own files (compared
// ignoring case): settings, scripts, menus, station and password files,
// help and greeting texts, run markers and programs, the decoder script.
bool isOwnFileKind(std::string_view name);

// True for the keys of section "frame" that name receive directories
// (BinReadFileDir, 7PlusRxDir, ReadFileDir, 7PlusExtractDir).
bool isReceiveKey(std::string_view key);

// The directory files of a receive key land in, decided as directoryFor
// does but without creating or logging anything: for choosers that start
// where the files are.
std::filesystem::path receiveDirectory(const Profile& profile, const std::filesystem::path& programDir,
                                       std::string_view key);

class ReceiveFolders {
public:
    // configDir: where the registry file lives (also one of ours); may be empty.
    ReceiveFolders(const Profile& profile, std::filesystem::path programDir, SystemLog& log,
                   std::filesystem::path configDir = {});

    // The directories Norva reads its own files from, as real paths.
    std::vector<std::filesystem::path> ownDirectories() const;
    bool isOwnDirectory(const std::filesystem::path& dir) const;

    // Where files of a receive key of section "frame" land (BinReadFileDir,
    // 7PlusRxDir, ReadFileDir, 7PlusExtractDir): the configured directory,
    // or our own receive folder when that is empty or one of our own
    // directories. Nothing when no safe directory can be had.
    std::optional<std::filesystem::path> directoryFor(std::string_view key);
    // programDir/received, created 0700 when missing; nothing when it cannot
    // be made or is itself one of our own directories.
    std::optional<std::filesystem::path> ownFolder();

    // The name under which a file from the air is created in dir: nothing
    // when dir is one of our own directories (the file is refused), the name
    // with kSafeNameSuffix when it is of our own kinds and dir lies near our
    // own directories, else the name itself. Logs every refusal and rename.
    std::optional<std::string> storeName(const std::filesystem::path& dir, std::string_view name);

    // Directories a normal station can write to: the remote area (when
    // configured) and every receive directory as directoryFor gives it.
    std::vector<std::filesystem::path> stationWritable();
    // True when RunDir is set and neither equals, contains nor lies inside
    // a directory a normal station can write to; logs an overlap once.
    bool runAreaIsSafe();

    // Start-up: decides every receive directory (logging the redirections)
    // and checks the run area, so the operator reads it all at once.
    void checkAtStart();

private:
    std::filesystem::path frameDir(std::string_view key) const;
    void logOnce(const std::string& key, const std::string& text);

    const Profile& profile_;
    std::filesystem::path programDir_;
    SystemLog& log_;
    std::filesystem::path configDir_;
    std::set<std::string> logged_;
};

}  // namespace norva
