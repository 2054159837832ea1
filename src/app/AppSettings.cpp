// Reading and writing the application shell's settings (see AppSettings.h).
#include "app/AppSettings.h"

// std
#include <algorithm>
#include <climits>
#include <unistd.h>

// Norva
#include "platform/FileNames.h"
#include "platform/Profile.h"
#include "platform/Text.h"

namespace norva {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kFrame = "Frame";
constexpr std::string_view kFont = "Font";
constexpr std::string_view kDocuments = "TncDocuments";
constexpr std::string_view kSoundSection = "SoundEvent";
constexpr int kSlots = 105;
constexpr std::size_t kFaceNameMax = 31;  // LF_FACESIZE less its terminating zero
constexpr std::size_t kTextMax = 255;

std::string linkSection(int slot) { return "Link" + std::to_string(slot); }

// Integer reads that say what they could not use.
class Reader {
public:
    Reader(const Profile& p, std::vector<std::string>& messages) : p_(p), messages_(messages) {}

    int integer(std::string_view section, std::string_view key, int def, int lo = INT_MIN,
                int hi = INT_MAX) {
        const auto raw = p_.find(section, key);
        if (!raw || trim(*raw).empty())
            return def;
        const auto value = parseIntStrict(*raw);
        if (!value) {
            note(section, key, "\"" + *raw + "\" ist keine Zahl; " + std::to_string(def) +
                                   " wird verwendet.");
            return def;
        }
        if (*value < lo || *value > hi) {
            const int c = static_cast<int>(std::clamp<long>(*value, lo, hi));
            note(section, key, std::to_string(*value) + " liegt nicht zwischen " +
                                   std::to_string(lo) + " und " + std::to_string(hi) + "; " +
                                   std::to_string(c) + " wird verwendet.");
            return c;
        }
        return static_cast<int>(*value);
    }

    bool flag(std::string_view section, std::string_view key, bool def) {
        return integer(section, key, def ? 1 : 0) != 0;
    }

    std::string text(std::string_view section, std::string_view key, std::string_view def,
                     std::size_t max = kTextMax) {
        return cut(p_.getString(section, key, def), max);
    }

private:
    void note(std::string_view section, std::string_view key, const std::string& what) {
        messages_.push_back("norva.ini [" + std::string(section) + "] " + std::string(key) + ": " +
                            what);
    }

    const Profile& p_;
    std::vector<std::string>& messages_;
};

// Writes a group of keys in one rewrite of the file and collects failures, so
// that one message names the file once.
class Writer {
public:
    explicit Writer(Profile& p) : p_(p) { p_.beginBatch(); }
    ~Writer() {
        if (!ended_)
            p_.endBatch();
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void integer(std::string_view section, std::string_view key, int value) {
        ok_ = p_.writeInt(section, key, value) && ok_;
    }
    void text(std::string_view section, std::string_view key, std::string_view value) {
        ok_ = p_.writeString(section, key, value) && ok_;
    }
    bool finish(std::vector<std::string>& messages) {
        ended_ = true;
        ok_ = p_.endBatch() && ok_;
        if (!ok_)
            messages.push_back("Die Einstellungen können nicht gespeichert werden: " +
                               p_.path().string());
        return ok_;
    }

private:
    Profile& p_;
    bool ok_ = true;
    bool ended_ = false;
};

void readFrame(Reader& r, FrameSettings& f) {
    f.autoArrange = r.integer(kFrame, "AutoArrange", 1);
    f.ratio = r.integer(kFrame, "Ratio", 70, 10, 100);
    f.preRows = r.integer(kFrame, "PreRows", 50, 1, 10000);
    f.preCols = r.integer(kFrame, "PreCols", 80, 1, 1000);
    f.outRows = r.integer(kFrame, "OutRows", 50, 1, 10000);
    f.outCols = r.integer(kFrame, "OutCols", 80, 1, 1000);
    f.topLink = r.integer(kFrame, "TopLink", 1, 1, kSlots);
    f.displayRate = r.integer(kFrame, "DisplayRate", 50, 1, 60000);
    f.noExtHostMode = r.integer(kFrame, "NoExtHostMode", 0);
    f.yield = r.integer(kFrame, "Yield", 1);
    f.threeD = r.integer(kFrame, "3d", 1);
    f.sound = r.integer(kFrame, "Sound", 0);
    f.kartexDde = r.integer(kFrame, "KartexDde", 1);
    f.appName = r.text(kFrame, "AppName", "Norva", 80);
    f.myName = r.text(kFrame, "MyName", "norva", 80);
    f.showBitmap = r.integer(kFrame, "ShowBitmap", 1);
    f.travoAutoLoad = r.integer(kFrame, "TravoAutoLoad", 0);
    f.search = r.text(kFrame, "Search", "", 80);
}

void readWindow(Reader& r, MainWindowSettings& w) {
    constexpr int lo = -100000, hi = 100000;
    const MainWindowSettings def;
    w.left = r.integer(kFrame, "left", def.left, lo, hi);
    w.top = r.integer(kFrame, "top", def.top, lo, hi);
    w.right = r.integer(kFrame, "right", def.right, lo, hi);
    w.bottom = r.integer(kFrame, "bottom", def.bottom, lo, hi);
    if (w.right <= w.left || w.bottom <= w.top) {
        w.left = def.left, w.top = def.top, w.right = def.right, w.bottom = def.bottom;
    }
    w.toolBar = r.flag(kFrame, "ToolBar", true);
    w.statusBar = r.flag(kFrame, "StatusBar", true);
    w.channelStatus = r.flag(kFrame, "ChannelStatus", true);
    w.channelBar = r.flag(kFrame, "ChannelBar", true);
    w.channelBarTnc = r.flag(kFrame, "ChannelBarTnc", true);
    w.alwaysOnTop = r.flag(kFrame, "AlwaysOnTop", false);
}

void readFont(Reader& r, FontSettings& f) {
    f.height = r.integer(kFont, "height", 0, -1000, 1000);
    f.width = r.integer(kFont, "width", 0, -1000, 1000);
    f.escapement = r.integer(kFont, "Escapement", 0);
    f.orientation = r.integer(kFont, "Orientation", 0);
    f.weight = r.integer(kFont, "weight", 0, 0, 1000);
    f.italic = r.integer(kFont, "Italic", 0, 0, 255);
    f.underline = r.integer(kFont, "Underline", 0, 0, 255);
    f.strikeOut = r.integer(kFont, "StrikeOut", 0, 0, 255);
    f.charSet = r.integer(kFont, "CharSet", 0, 0, 255);
    f.outPrecision = r.integer(kFont, "OutPrecision", 0, 0, 255);
    f.clipPrecision = r.integer(kFont, "ClipPrecision", 0, 0, 255);
    f.quality = r.integer(kFont, "Quality", 0, 0, 255);
    f.pitchAndFamily = r.integer(kFont, "PitchAndFamily", 0, 0, 255);
    f.faceName = r.text(kFont, "FaceName", "fixedsys", kFaceNameMax);
}

void readColours(const Profile& p, Reader& r, AppSettings& s) {
    s.colorMode = r.integer(ColourTable::kSection, "ColorMode", 1);
    const auto errors = s.colours.load([&p](std::string_view key) {
        return p.find(ColourTable::kSection, key);
    });
    for (const ColourError& e : errors) {
        int cls = 0;
        while (cls < ColourTable::kClasses && ColourTable::keyOf(cls) != e.key)
            ++cls;
        s.messages.push_back("norva.ini [Color] " + e.key + ": \"" + e.text +
                             "\" ist keine Farbe (drei Zahlen 0 bis 255, z.B. 255,0,0); " +
                             formatRgb(ColourTable::defaultOf(cls)) + " wird verwendet.");
    }
}

}  // namespace

bool isMinimisedShow(int show) { return show == 2 || show == 6 || show == 7; }

AppSettings loadAppSettings(const Profile& profile) {
    AppSettings s;
    const fs::path& file = profile.path();
    std::error_code ec;
    if (fs::exists(file, ec) && ::access(file.c_str(), R_OK) != 0)
        s.messages.push_back(file.string() +
                             " kann nicht gelesen werden; es gelten die Standardeinstellungen.");
    Reader r(profile, s.messages);
    readFrame(r, s.frame);
    readWindow(r, s.window);
    readFont(r, s.font);
    readColours(profile, r, s);
    return s;
}

bool saveFrameAndColours(Profile& profile, const AppSettings& s, std::vector<std::string>& messages) {
    Writer w(profile);
    const FrameSettings& f = s.frame;
    w.integer(kFrame, "AutoArrange", f.autoArrange);
    w.integer(kFrame, "Ratio", f.ratio);
    w.integer(kFrame, "PreRows", f.preRows);
    w.integer(kFrame, "PreCols", f.preCols);
    w.integer(kFrame, "OutRows", f.outRows);
    w.integer(kFrame, "OutCols", f.outCols);
    w.integer(kFrame, "TopLink", f.topLink);
    w.integer(kFrame, "DisplayRate", f.displayRate);
    w.integer(kFrame, "NoExtHostMode", f.noExtHostMode);
    w.integer(kFrame, "Yield", f.yield);
    w.integer(kFrame, "3d", f.threeD);
    w.integer(kFrame, "Sound", f.sound);
    w.integer(ColourTable::kSection, "ColorMode", s.colorMode);
    s.colours.save([&w](std::string_view key, std::string_view text) {
        w.text(ColourTable::kSection, key, text);
    });
    return w.finish(messages);
}

bool saveWindowAndFont(Profile& profile, const MainWindowSettings& win, const FontSettings& f,
                       std::vector<std::string>& messages) {
    Writer w(profile);
    w.integer(kFrame, "left", win.left);
    w.integer(kFrame, "top", win.top);
    w.integer(kFrame, "right", win.right);
    w.integer(kFrame, "bottom", win.bottom);
    w.integer(kFrame, "ToolBar", win.toolBar);
    w.integer(kFrame, "StatusBar", win.statusBar);
    w.integer(kFrame, "ChannelStatus", win.channelStatus);
    w.integer(kFrame, "ChannelBar", win.channelBar);
    w.integer(kFrame, "ChannelBarTnc", win.channelBarTnc);
    w.integer(kFrame, "AlwaysOnTop", win.alwaysOnTop);
    w.integer(kFont, "height", f.height);
    w.integer(kFont, "width", f.width);
    w.integer(kFont, "Escapement", f.escapement);
    w.integer(kFont, "Orientation", f.orientation);
    w.integer(kFont, "weight", f.weight);
    w.integer(kFont, "Italic", f.italic);
    w.integer(kFont, "Underline", f.underline);
    w.integer(kFont, "StrikeOut", f.strikeOut);
    w.integer(kFont, "CharSet", f.charSet);
    w.integer(kFont, "OutPrecision", f.outPrecision);
    w.integer(kFont, "ClipPrecision", f.clipPrecision);
    w.integer(kFont, "Quality", f.quality);
    w.integer(kFont, "PitchAndFamily", f.pitchAndFamily);
    w.text(kFont, "FaceName", f.faceName);
    return w.finish(messages);
}

ChannelWindowSettings loadChannelWindow(const Profile& profile, int slot) {
    std::vector<std::string> ignored;  // window keys are written by the program itself
    Reader r(profile, ignored);
    const std::string section = linkSection(slot);
    ChannelWindowSettings w;
    constexpr int lo = -100000, hi = 100000;
    w.left = r.integer(section, "left", 0, lo, hi);
    w.top = r.integer(section, "top", 0, lo, hi);
    w.right = r.integer(section, "right", 300, lo, hi);
    w.bottom = r.integer(section, "bottom", 200, lo, hi);
    if (w.right <= w.left || w.bottom <= w.top) {
        const ChannelWindowSettings def;
        w.left = def.left, w.top = def.top, w.right = def.right, w.bottom = def.bottom;
    }
    w.show = r.integer(section, "Show", kShowNormal, 0, 11);
    w.rowInfo = r.integer(section, "RowInfo", 55, 0, 100000);
    return w;
}

bool saveChannelWindow(Profile& profile, int slot, const ChannelWindowSettings& win) {
    Writer w(profile);
    const std::string section = linkSection(slot);
    if (win.show != kShowMaximised && !isMinimisedShow(win.show)) {
        w.integer(section, "Tnc", (slot - 1) / 21 + 1);
        w.integer(section, "Channel", (slot - 1) % 21);
        w.integer(section, "left", win.left);
        w.integer(section, "top", win.top);
        w.integer(section, "right", win.right);
        w.integer(section, "bottom", win.bottom);
    }
    w.integer(section, "Show", win.show);
    w.integer(section, "RowInfo", win.rowInfo);
    std::vector<std::string> ignored;
    return w.finish(ignored);
}

PaneSettings loadPaneSettings(const Profile& profile, int slot) {
    std::vector<std::string> ignored;
    Reader r(profile, ignored);
    const std::string section = linkSection(slot);
    PaneSettings p;
    p.insert = r.flag(section, "Insert", true);
    p.wordBreak = r.flag(section, "WordBreak", true);
    p.inputEcho = r.flag(section, "InputEcho", false);
    p.inputScrollbar = r.flag(section, "InputScrollbar", true);
    p.outputScrollbar = r.flag(section, "OutputScrollbar", true);
    return p;
}

bool savePaneSettings(Profile& profile, int slot, const PaneSettings& p) {
    Writer w(profile);
    const std::string section = linkSection(slot);
    w.integer(section, "InputScrollbar", p.inputScrollbar);
    w.integer(section, "InputEcho", p.inputEcho);
    w.integer(section, "Insert", p.insert);
    w.integer(section, "WordBreak", p.wordBreak);
    w.integer(section, "OutputScrollbar", p.outputScrollbar);
    std::vector<std::string> ignored;
    return w.finish(ignored);
}

bool channelMessageBeep(const Profile& profile, int slot) {
    return profile.getInt(linkSection(slot), "MessageBeep", 1) != 0;
}

std::vector<int> loadTncDocuments(const Profile& profile) {
    std::vector<int> openSlots;
    for (int slot = 1; slot <= kSlots; ++slot)
        if (profile.getInt(kDocuments, std::to_string(slot), 0) != 0)
            openSlots.push_back(slot);
    return openSlots;
}

bool saveTncDocuments(Profile& profile, const std::vector<int>& openSlots) {
    profile.beginBatch();
    bool ok = true;
    for (const std::string& key : profile.keys(kDocuments))
        ok = profile.deleteKey(kDocuments, key) && ok;
    for (int slot : openSlots)
        if (slot >= 1 && slot <= kSlots)
            ok = profile.writeInt(kDocuments, std::to_string(slot), 1) && ok;
    return profile.endBatch() && ok;
}

namespace {
constexpr std::array<std::string_view, kDirKeyCount> kDirNames = {
    "DieBoxDir", "ScriptDir", "InitDir",   "StationDir",   "SendFileDir", "BinSendFileDir",
    "MenuDir",   "ReadFileDir", "RemoteDir", "RunDir",     "HelpDir",     "PasswordDir",
    "HelloTextDir", "7PlusRxDir", "SoundDir", "7PlusExtractDir",
};

constexpr std::array<std::string_view, 12> kSoundEvents = {
    "connected to...",
    "disconnected",
    "Sysop Ruf",
    "Script starten",
    "Script beenden",
    "Dateisendung starten",
    "Dateisendung stoppen",
    "Dateiempfang starten (binaer)",
    "Dateiempfang stoppen (binaer)",
    "Klingel",
    "Text auf diesem Kanal eingelaufen",
    "Text auf anderem Kanal eingelaufen",
};
}  // namespace

std::string_view dirKeyName(DirKey key) { return kDirNames[static_cast<std::size_t>(key)]; }

std::string_view dirKeyNameByIndex(int index) {
    if (index < 0 || index >= kDirKeyCount)
        return {};
    return kDirNames[static_cast<std::size_t>(index)];
}

std::string directoryOf(const Profile& profile, const fs::path& programDir, DirKey key,
                        bool trailingSlash) {
    std::string dir = frameDirectory(profile, dirKeyName(key), programDir).string();
    while (dir.size() > 1 && dir.back() == '/')
        dir.pop_back();
    if (trailingSlash && dir.back() != '/')
        dir += '/';
    return dir;
}

const std::array<std::string_view, 12>& soundEventNames() { return kSoundEvents; }

std::optional<fs::path> soundFileFor(const Profile& profile, const fs::path& programDir,
                                     std::string_view event) {
    const std::string value(trim(cut(profile.getString(kSoundSection, event), kTextMax)));
    if (value.empty() || iequals(value, kNoSound))
        return std::nullopt;
    const fs::path file(value);
    if (file.is_absolute())
        return file;
    return fs::path(directoryOf(profile, programDir, DirKey::Sound, false)) / file;
}

bool seedDefaultProfile(Profile& profile) {
    std::error_code ec;
    if (fs::exists(profile.path(), ec) || ec)
        return false;
    bool ok = profile.writeString("Tnc", "1", "1");
    const std::string_view tnc = "1";
    ok = ok && profile.writeString(tnc, "TncName", "Demo");
    ok = ok && profile.writeInt(tnc, "TncNumber", 1);
    ok = ok && profile.writeInt(tnc, "Channels", 4);
    ok = ok && profile.writeString(tnc, "Qrg", "438.425");
    ok = ok && profile.writeInt(tnc, "Baudrate", 9600);
    ok = ok && profile.writeString(tnc, "ComPort", "dde");
    ok = ok && profile.writeString(tnc, "MyCall", "NOCALL");
    ok = ok && profile.writeInt(tnc, "Connected", 1);
    // The dummy TNC's consoles: REMOTE (channel 1) and CONVERSE (channel 2).
    constexpr int remoteSlot = 4 * 21 + 1 + 1;
    ok = ok && profile.writeInt(kDocuments, std::to_string(remoteSlot), 1);
    ok = ok && profile.writeInt(kDocuments, std::to_string(remoteSlot + 1), 1);
    return ok;
}

std::optional<std::string> checkWritable(const fs::path& programDir) {
    if (::access(programDir.c_str(), W_OK | X_OK) == 0)
        return std::nullopt;
    return "Das Programmverzeichnis " + programDir.string() +
           " ist schreibgeschützt: Einstellungen und Logs können nicht gespeichert werden.";
}

}  // namespace norva
