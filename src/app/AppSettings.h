// The program-wide settings of norva.ini that the application shell owns: the
// Frame keys read at start and written back at exit, the colours, the main
// window and font keys, the channel window keys of the Link sections, the
// directory keys, the sound events and the TncDocuments list. Every reader
// supplies its default; a value that cannot be used gives the default (or the
// nearest allowed value) and a message for the operator, and nothing else.
#pragma once

// std
#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Norva
#include "terminal/ColourTable.h"

namespace norva {

class Profile;

// Section Frame: the global switches.
struct FrameSettings {
    int autoArrange = 1;
    int ratio = 70;
    int preRows = 50;
    int preCols = 80;
    int outRows = 50;
    int outCols = 80;
    int topLink = 1;
    int displayRate = 50;
    int noExtHostMode = 0;
    int yield = 1;
    int threeD = 1;
    int sound = 0;
    int kartexDde = 1;
    std::string appName = "Norva";   // read only
    std::string myName = "norva";    // read only
    int showBitmap = 1;              // written only by the general settings dialog
    int travoAutoLoad = 0;           // read only
    std::string search;              // preset of the find dialog
};

// Section Frame: the main window.
struct MainWindowSettings {
    int left = 10;
    int top = 10;
    int right = 620;
    int bottom = 400;
    bool toolBar = true;
    bool statusBar = true;
    bool channelStatus = true;
    bool channelBar = true;
    bool channelBarTnc = true;
    bool alwaysOnTop = false;
};

// Section Font: the fields of a Windows logical font.
struct FontSettings {
    int height = 0;
    int width = 0;
    int escapement = 0;
    int orientation = 0;
    int weight = 0;
    int italic = 0;
    int underline = 0;
    int strikeOut = 0;
    int charSet = 0;
    int outPrecision = 0;
    int clipPrecision = 0;
    int quality = 0;
    int pitchAndFamily = 0;
    std::string faceName = "fixedsys";
};

// Section Link<slot>: the channel window and its two panes.
struct ChannelWindowSettings {
    int left = 0;
    int top = 0;
    int right = 300;
    int bottom = 200;
    int show = 5;      // Windows show state: 5 normal, 3 maximised, 2/6/7 minimised
    int rowInfo = 55;  // height of the input row in pixels
};

struct PaneSettings {
    bool insert = true;
    bool wordBreak = true;
    bool inputEcho = false;
    bool inputScrollbar = true;
    bool outputScrollbar = true;
};

// Show states of the Show key.
inline constexpr int kShowNormal = 5;
inline constexpr int kShowMaximised = 3;
inline constexpr int kShowMinimised = 6;
bool isMinimisedShow(int show);

// Everything read at start; messages name each value that could not be used.
struct AppSettings {
    FrameSettings frame;
    MainWindowSettings window;
    FontSettings font;
    int colorMode = 1;
    ColourTable colours;
    std::vector<std::string> messages;
};

// Reads Frame, Color, the main window keys and Font.
AppSettings loadAppSettings(const Profile& profile);
// Writes the Frame keys of the exit list, ColorMode and the eleven colours.
// False when the profile could not be written (the messages say what).
bool saveFrameAndColours(Profile& profile, const AppSettings& s, std::vector<std::string>& messages);
// Writes the main window keys and the Font section (when the main window closes).
bool saveWindowAndFont(Profile& profile, const MainWindowSettings& w, const FontSettings& f,
                       std::vector<std::string>& messages);

// Link<slot> keys of a channel window and its panes.
ChannelWindowSettings loadChannelWindow(const Profile& profile, int slot);
// Writes Tnc, Channel and the rectangle unless the window is minimised or
// maximised, and always Show and RowInfo.
bool saveChannelWindow(Profile& profile, int slot, const ChannelWindowSettings& w);
PaneSettings loadPaneSettings(const Profile& profile, int slot);
bool savePaneSettings(Profile& profile, int slot, const PaneSettings& p);
// The channel's MessageBeep switch (default 1).
bool channelMessageBeep(const Profile& profile, int slot);

// TncDocuments: the slots whose key is non-zero, in slot order.
std::vector<int> loadTncDocuments(const Profile& profile);
// Deletes every key of the section, then sets the key of each slot to 1.
bool saveTncDocuments(Profile& profile, const std::vector<int>& openSlots);

// Directory keys of section frame (entries 2000..2015 of the string table).
enum class DirKey {
    DieBox, Script, Init, Station, SendFile, BinSendFile, Menu, ReadFile,
    Remote, Run, Help, Password, HelloText, SevenPlusRx, Sound, SevenPlusExtract,
};
inline constexpr int kDirKeyCount = 16;
std::string_view dirKeyName(DirKey key);
std::string_view dirKeyNameByIndex(int index);  // 0..15, else empty
// The directory: the key's value, or the program directory when empty; with
// or without a trailing slash as asked. The case is kept.
std::string directoryOf(const Profile& profile, const std::filesystem::path& programDir, DirKey key,
                        bool trailingSlash);

// Sound events of section SoundEvent.
inline constexpr std::string_view kNoSound = "<kein>";
const std::array<std::string_view, 12>& soundEventNames();
// The file to play for an event, or nullopt when none is set ("<kein>" in any
// case of letters, or empty). Relative names are taken in SoundDir.
std::optional<std::filesystem::path> soundFileFor(const Profile& profile,
                                                  const std::filesystem::path& programDir,
                                                  std::string_view event);

// Text editor and file manager (registry values); empty means xdg-open.
inline constexpr std::string_view kEditorValue = "textedit";
inline constexpr std::string_view kFileManagerValue = "filemanager";

// A first start: when norva.ini does not exist yet, it is created with a
// profile that needs no hardware: TNC 1 on the in-process "dde" port and the
// dummy TNC's REMOTE and CONVERSE consoles open. True when it was written.
bool seedDefaultProfile(Profile& profile);

// Whether the program directory can be written; a message when it cannot.
std::optional<std::string> checkWritable(const std::filesystem::path& programDir);

}  // namespace norva
