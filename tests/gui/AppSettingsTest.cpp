// The application shell's settings: defaults for a missing or broken
// norva.ini, messages for values that cannot be used, the exit write-back,
// TncDocuments, channel window keys, directories, sounds, the first-start
// profile and an unwritable program directory.
#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

namespace norva {
namespace {

using test::TempDir;

bool mentions(const std::vector<std::string>& messages, std::string_view a, std::string_view b = {}) {
    for (const std::string& m : messages)
        if (m.find(a) != std::string::npos && (b.empty() || m.find(b) != std::string::npos))
            return true;
    return false;
}

TEST(AppSettings, MissingFileGivesEveryDefaultSilently) {
    TempDir dir;
    Profile profile(dir.path() / "norva.ini");
    const AppSettings s = loadAppSettings(profile);
    EXPECT_TRUE(s.messages.empty());
    EXPECT_EQ(s.frame.autoArrange, 1);
    EXPECT_EQ(s.frame.ratio, 70);
    EXPECT_EQ(s.frame.preRows, 50);
    EXPECT_EQ(s.frame.preCols, 80);
    EXPECT_EQ(s.frame.outRows, 50);
    EXPECT_EQ(s.frame.outCols, 80);
    EXPECT_EQ(s.frame.topLink, 1);
    EXPECT_EQ(s.frame.displayRate, 50);
    EXPECT_EQ(s.frame.yield, 1);
    EXPECT_EQ(s.frame.sound, 0);
    EXPECT_EQ(s.frame.appName, "Norva");
    EXPECT_EQ(s.frame.myName, "norva");
    EXPECT_EQ(s.window.left, 10);
    EXPECT_EQ(s.window.right, 620);
    EXPECT_EQ(s.window.bottom, 400);
    EXPECT_EQ(s.font.faceName, "fixedsys");
    EXPECT_EQ(s.colorMode, 1);
    for (int c = 0; c < 10; ++c)
        EXPECT_EQ(s.colours.colour(c), (Rgb{0, 0, 0})) << c;
    EXPECT_EQ(s.colours.colour(10), (Rgb{255, 255, 255}));
    EXPECT_FALSE(std::filesystem::exists(profile.path())) << "reading never creates the file";
}

TEST(AppSettings, BrokenFileGivesDefaultsAndNamesEachBadValue) {
    TempDir dir;
    dir.write("norva.ini", std::string("\x01\xff garbage\r\n[Frame\r\n=x\r\n") +
                               "[Frame]\r\nRatio=abc\r\nOutRows=0\r\nTopLink=500\r\nPreCols=120\r\n"
                               "left=900\r\nright=100\r\nAppName=Station DL1ABC\r\n"
                               "[Font]\r\nheight=-16\r\nweight=heavy\r\n");
    Profile profile(dir.path() / "norva.ini");
    const AppSettings s = loadAppSettings(profile);
    EXPECT_EQ(s.frame.ratio, 70);
    EXPECT_TRUE(mentions(s.messages, "Ratio", "\"abc\""));
    EXPECT_EQ(s.frame.outRows, 1) << "clamped to the smallest ring";
    EXPECT_TRUE(mentions(s.messages, "OutRows"));
    EXPECT_EQ(s.frame.topLink, 105);
    EXPECT_TRUE(mentions(s.messages, "TopLink"));
    EXPECT_EQ(s.frame.preCols, 120) << "good values are kept";
    EXPECT_EQ(s.window.left, 10) << "an impossible rectangle falls back whole";
    EXPECT_EQ(s.window.right, 620);
    EXPECT_EQ(s.frame.appName, "Station DL1ABC");
    EXPECT_EQ(s.font.height, -16);
    EXPECT_EQ(s.font.weight, 0);
    EXPECT_TRUE(mentions(s.messages, "weight"));
}

TEST(AppSettings, ColourTextsThatDoNotParseGiveTheDefaultAndAMessage) {
    TempDir dir;
    dir.write("norva.ini",
              "[Color]\r\nInput=red\r\nLinkStatus=300,20\r\nMonInfo=0,128,0\r\nBackGround=1,2\r\n");
    Profile profile(dir.path() / "norva.ini");
    const AppSettings s = loadAppSettings(profile);
    EXPECT_EQ(s.colours.colour(0), (Rgb{0, 0, 0}));
    EXPECT_EQ(s.colours.colour(4), (Rgb{0, 0, 0}));
    EXPECT_EQ(s.colours.colour(7), (Rgb{0, 128, 0}));
    EXPECT_EQ(s.colours.colour(10), (Rgb{255, 255, 255}));
    EXPECT_TRUE(mentions(s.messages, "Input", "\"red\""));
    EXPECT_TRUE(mentions(s.messages, "LinkStatus", "\"300,20\""));
    EXPECT_TRUE(mentions(s.messages, "BackGround", "255,255,255"));
    EXPECT_FALSE(mentions(s.messages, "MonInfo"));
    EXPECT_EQ(s.messages.size(), 3u);
}

TEST(AppSettings, ExitWriteBackHoldsEveryFrameKeyAndColourButNoReadOnlyKey) {
    TempDir dir;
    Profile profile(dir.path() / "norva.ini");
    AppSettings s = loadAppSettings(profile);
    s.frame.topLink = 87;
    s.colours.setColour(4, Rgb{255, 0, 0});
    std::vector<std::string> messages;
    ASSERT_TRUE(saveFrameAndColours(profile, s, messages));
    EXPECT_TRUE(messages.empty());
    for (const char* key : {"AutoArrange", "Ratio", "PreRows", "PreCols", "OutRows", "OutCols",
                            "TopLink", "DisplayRate", "NoExtHostMode", "Yield", "3d", "Sound"})
        EXPECT_TRUE(profile.find("Frame", key)) << key;
    // KartexDde belongs to the map link on the engine, which writes it when it stops.
    for (const char* key : {"AppName", "MyName", "TravoAutoLoad", "ShowBitmap", "KartexDde"})
        EXPECT_FALSE(profile.find("Frame", key)) << key;
    EXPECT_EQ(profile.getString("Frame", "TopLink"), "87");
    EXPECT_EQ(profile.getString("Color", "ColorMode"), "1");
    EXPECT_EQ(profile.getString("Color", "LinkStatus"), "255,0,0");
    EXPECT_EQ(profile.getString("Color", "BackGround"), "255,255,255");
    EXPECT_EQ(profile.keys("Color").size(), 12u);
    // What was written reads back the same.
    const AppSettings again = loadAppSettings(profile);
    EXPECT_EQ(again.frame.topLink, 87);
    EXPECT_EQ(again.colours.colour(4), (Rgb{255, 0, 0}));
}

TEST(AppSettings, UnwritableProgramDirectoryIsReportedAndNothingIsLost) {
    TempDir dir;
    dir.write("afile", "x");
    // A directory below a plain file can never be created or written, even by root.
    const std::filesystem::path bad = dir.path() / "afile" / "norva";
    const auto problem = checkWritable(bad);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find(bad.string()), std::string::npos);
    EXPECT_FALSE(checkWritable(dir.path()));

    Profile profile(bad / "norva.ini");
    AppSettings s = loadAppSettings(profile);
    std::vector<std::string> messages;
    EXPECT_FALSE(saveFrameAndColours(profile, s, messages));
    ASSERT_EQ(messages.size(), 1u) << "one message for the whole write-back";
    EXPECT_NE(messages[0].find("norva.ini"), std::string::npos);
    EXPECT_FALSE(saveWindowAndFont(profile, s.window, s.font, messages));
    EXPECT_EQ(dir.read("afile"), "x");
}

TEST(AppSettings, TncDocumentsHoldExactlyTheWindowsOpenAtExit) {
    TempDir dir;
    dir.write("norva.ini", "[TncDocuments]\r\n5=1\r\n7=0\r\n9=1\r\n200=1\r\nabc=1\r\n");
    Profile profile(dir.path() / "norva.ini");
    EXPECT_EQ(loadTncDocuments(profile), (std::vector<int>{5, 9}));
    ASSERT_TRUE(saveTncDocuments(profile, {2, 86}));
    EXPECT_EQ(loadTncDocuments(profile), (std::vector<int>{2, 86}));
    EXPECT_EQ(profile.keys("TncDocuments"), (std::vector<std::string>{"2", "86"}));
    ASSERT_TRUE(saveTncDocuments(profile, {}));
    EXPECT_TRUE(loadTncDocuments(profile).empty());
}

TEST(AppSettings, ChannelWindowKeys) {
    TempDir dir;
    Profile profile(dir.path() / "norva.ini");
    const ChannelWindowSettings def = loadChannelWindow(profile, 2);
    EXPECT_EQ(def.right, 300);
    EXPECT_EQ(def.bottom, 200);
    EXPECT_EQ(def.show, 5);
    EXPECT_EQ(def.rowInfo, 55);

    ChannelWindowSettings w{20, 30, 520, 330, kShowNormal, 80};
    ASSERT_TRUE(saveChannelWindow(profile, 23, w));
    EXPECT_EQ(profile.getString("Link23", "Tnc"), "2");
    EXPECT_EQ(profile.getString("Link23", "Channel"), "1");
    const ChannelWindowSettings back = loadChannelWindow(profile, 23);
    EXPECT_EQ(back.left, 20);
    EXPECT_EQ(back.bottom, 330);
    EXPECT_EQ(back.rowInfo, 80);

    // Minimised or maximised: only Show and RowInfo, the rectangle stays.
    ChannelWindowSettings max{0, 0, 1000, 900, kShowMaximised, 40};
    ASSERT_TRUE(saveChannelWindow(profile, 23, max));
    EXPECT_EQ(profile.getString("Link23", "right"), "520");
    EXPECT_EQ(profile.getString("Link23", "Show"), "3");
    EXPECT_EQ(profile.getString("Link23", "RowInfo"), "40");
    EXPECT_FALSE(profile.find("Link24", "Show"));

    PaneSettings p = loadPaneSettings(profile, 23);
    EXPECT_TRUE(p.insert);
    EXPECT_TRUE(p.wordBreak);
    EXPECT_FALSE(p.inputEcho);
    p.insert = false;
    p.inputEcho = true;
    ASSERT_TRUE(savePaneSettings(profile, 23, p));
    const PaneSettings q = loadPaneSettings(profile, 23);
    EXPECT_FALSE(q.insert);
    EXPECT_TRUE(q.inputEcho);
}

TEST(AppSettings, DirectoriesKeepTheirCaseAndTakeTheProgramDirectoryWhenEmpty) {
    TempDir dir;
    dir.write("norva.ini", "[frame]\r\nScriptDir=/Data/Scripts/\r\nInitDir=/Data/Init\r\n");
    Profile profile(dir.path() / "norva.ini");
    EXPECT_EQ(directoryOf(profile, "/prog", DirKey::Script, false), "/Data/Scripts");
    EXPECT_EQ(directoryOf(profile, "/prog", DirKey::Init, true), "/Data/Init/");
    EXPECT_EQ(directoryOf(profile, "/prog", DirKey::Help, true), "/prog/");
    EXPECT_EQ(dirKeyName(DirKey::SevenPlusExtract), "7PlusExtractDir");
    EXPECT_EQ(dirKeyNameByIndex(0), "DieBoxDir");
    EXPECT_EQ(dirKeyNameByIndex(16), "");
}

TEST(AppSettings, SoundEventFiles) {
    TempDir dir;
    dir.write("norva.ini",
              "[SoundEvent]\r\nKlingel=ring.wav\r\ndisconnected=<KEIN>\r\nSysop Ruf=\r\n"
              "connected to.../=/abs/hello.wav\r\n[frame]\r\nSoundDir=/snd\r\n");
    Profile profile(dir.path() / "norva.ini");
    EXPECT_EQ(soundFileFor(profile, dir.path(), "Klingel"), std::filesystem::path("/snd/ring.wav"));
    EXPECT_FALSE(soundFileFor(profile, dir.path(), "disconnected"));
    EXPECT_FALSE(soundFileFor(profile, dir.path(), "Sysop Ruf"));
    EXPECT_FALSE(soundFileFor(profile, dir.path(), "Script starten"));
    EXPECT_EQ(soundEventNames().size(), 12u);
    EXPECT_EQ(soundEventNames()[11], "Text auf anderem Kanal eingelaufen");
}

TEST(AppSettings, FirstStartProfileOnlyWhenThereIsNoFile) {
    TempDir dir;
    Profile profile(dir.path() / "norva.ini");
    ASSERT_TRUE(seedDefaultProfile(profile));
    EXPECT_EQ(profile.getString("Tnc", "1"), "1");
    EXPECT_EQ(profile.getString("1", "ComPort"), "dde");
    EXPECT_EQ(profile.getString("1", "Connected"), "1");
    EXPECT_EQ(loadTncDocuments(profile), (std::vector<int>{86, 87}));
    EXPECT_TRUE(loadAppSettings(profile).messages.empty());

    TempDir other;
    other.write("norva.ini", "; mine\r\n");
    Profile existing(other.path() / "norva.ini");
    EXPECT_FALSE(seedDefaultProfile(existing));
    EXPECT_EQ(other.read("norva.ini"), "; mine\r\n");
}

}  // namespace
}  // namespace norva
