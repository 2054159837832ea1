// The switches of one channel, section "Link<slot>" of the profile: read
// when the channel is created (every value checked; a bad one gives the
// default or the nearest allowed value and a system.log line naming the
// key) and written back when it is destroyed.
#pragma once

#include <string>

namespace norva {

class Profile;
class SystemLog;

struct ChannelSettings {
    int packlen = 64;           // Packlen: largest data piece per frame, 1..256
    bool fileStamp = true;      // FileStamp
    bool addFileEnd = true;     // AddFileEnd
    bool autoBin = false;       // AutoBin
    bool messageBeep = true;    // MessageBeep
    bool remote = true;         // Remote
    bool remoteQuit = true;     // RemoteQuit
    bool dieBox = true;         // DieBox
    bool logStation = true;     // LogStation
    bool connectMsg = true;     // ConnectMsg
    int maxReviewTime = 60;     // MaxReviewTime, seconds
    bool inputToFile = true;    // InputToFile
    bool travoAuto = true;      // TravoAuto
    std::string logFile;        // LogFile: capture file, empty for none
    std::string dde;            // Dde: DDE link names, comma-separated (read only)

    static constexpr int kMinPacklen = 1;
    static constexpr int kMaxPacklen = 256;
    static constexpr int kMaxReviewSeconds = 86400;
};

std::string linkSection(int slot);
ChannelSettings readChannelSettings(const Profile& profile, SystemLog& log, int slot);
// Writes every key whose stored value differs; a missing key that would only
// repeat its default is left out.
void writeChannelSettings(Profile& profile, int slot, const ChannelSettings& settings);

// Writes section/key unless the stored text already equals value, or the key
// is missing and value equals def (reading it back gives the same).
void writeIfChanged(Profile& profile, const std::string& section, const char* key,
                    const std::string& value, const std::string& def);

}  // namespace norva
