// User menus: menu files as operators write them (and as they break them),
// the edit round trip, and what choosing an entry puts on the air.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "TransferRig.h"
#include "app/UserMenus.h"
#include "platform/Programs.h"
#include "script/ScriptJob.h"

namespace norva::test {
namespace {

std::vector<std::string> texts(const UserMenu& m) {
    std::vector<std::string> out;
    for (const auto& e : m.entries) out.push_back(e.text + "|" + e.command);
    return out;
}

TEST(UserMenuFile, LinesCommentsAndSeparators) {
    const UserMenu m = parseUserMenu(
        ";Menu Text=Command Line\r\n"
        "Box=boxconn\r\n"
        "\r\n"
        "Beacon|BT Hallo = Welt\n"
        "Mail=read; all\r\n"          // ";" anywhere: the whole line is a comment
        "Only text\r\n"
        "Pipe first|a=b\r\n",
        UserMenuKind::Connect);
    EXPECT_EQ(texts(m), (std::vector<std::string>{"Box|boxconn", "Beacon|BT Hallo = Welt", "Only text|",
                                                  "Pipe first|a=b"}));
    EXPECT_TRUE(m.problems.empty());
}

TEST(UserMenuFile, TwentyEntriesAtMostAndHugeLinesAreCutWithANotice) {
    std::string file;
    for (int i = 1; i <= 200; ++i) file += "E" + std::to_string(i) + "=c" + std::to_string(i) + "\r\n";
    UserMenu m = parseUserMenu(file, UserMenuKind::Text);
    ASSERT_EQ(m.entries.size(), 20u);
    EXPECT_EQ(m.entries.back().text, "E20");
    ASSERT_EQ(m.problems.size(), 1u);
    EXPECT_EQ(m.problems[0], "180 Einträge nach dem 20. nicht angezeigt");

    m = parseUserMenu("X=" + std::string(10240, 'a') + "\r\n" + std::string(10240, 'b') + "\r\n", UserMenuKind::Tnc);
    ASSERT_EQ(m.entries.size(), 2u);
    EXPECT_EQ(m.entries[0].command.size(), kMenuTextLimit);
    EXPECT_EQ(m.entries[1].text.size(), kMenuTextLimit);
    EXPECT_EQ(m.problems.size(), 2u);
}

TEST(UserMenuFile, CommandIdsFollowTheMenusOrder) {
    const auto tnc = userMenuInfo(UserMenuKind::Tnc).ids;
    EXPECT_EQ(tnc[5], 32816);
    EXPECT_EQ(tnc[6], 32805);
    EXPECT_EQ(userMenuInfo(UserMenuKind::Run).ids[19], 20);
    EXPECT_EQ(userMenuInfo(UserMenuKind::Run).ids[10], 32874);
    for (UserMenuKind k : kUserMenuKinds) EXPECT_EQ(userMenuInfo(k).ids.size(), 20u);
}

TEST(UserMenuFile, EditRoundTripCreatesTheFileAndReloadsTheNewEntries) {
    TempDir dir;
    Profile profile(dir.path() / "norva.ini");
    profile.writeString("frame", "MenuDir", (dir.path() / "menus").string());
    std::filesystem::create_directory(dir.path() / "menus");
    const auto path = userMenuPath(profile, dir.path(), UserMenuKind::Text);
    EXPECT_EQ(path, dir.path() / "menus" / "text.mnu");
    EXPECT_TRUE(loadUserMenu(path, UserMenuKind::Text).entries.empty()) << "a missing file is an empty menu";

    std::string text, error;
    ASSERT_TRUE(readMenuFileForEdit(path, &text, &error)) << error;
    EXPECT_EQ(text, ";Menu Text=Command Line\r\n");
    ASSERT_TRUE(writeMenuFile(path, text + "Gruss=73 de Norva\r\n", &error));
    EXPECT_EQ(texts(loadUserMenu(path, UserMenuKind::Text)), (std::vector<std::string>{"Gruss|73 de Norva"}));

    // A file written on a system that ignores case is found as it is.
    std::filesystem::rename(path, dir.path() / "menus" / "TEXT.MNU");
    EXPECT_EQ(userMenuPath(profile, dir.path(), UserMenuKind::Text), dir.path() / "menus" / "TEXT.MNU");
    EXPECT_FALSE(writeMenuFile(dir.path() / "nodir" / "x.mnu", "x", &error));
    EXPECT_NE(error.find("kann nicht geschrieben werden"), std::string::npos);
}

class MenuOnChannel : public TransferTest {};

TEST_F(MenuOnChannel, ConnectEntryStartsItsScriptAndRefusesASecond) {
    rig.dir.write("boxconn.scr", "**waitfor never\r\n");
    rig.dir.write("Box.scr", "**waitfor never\r\n");
    std::string error;
    EXPECT_EQ(connectMenuScript({"Box", "boxconn"}), "boxconn.scr");
    EXPECT_EQ(connectMenuScript({"Box", ""}), "Box.scr");
    ASSERT_EQ(startConnectMenuEntry(*ch, {"Box", "boxconn"}, nullptr, &error), ConnectMenuResult::Started) << error;
    auto* job = dynamic_cast<CScriptJob*>(ch->job(JobSlot::Script));
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(startConnectMenuEntry(*ch, {"Box", ""}, nullptr, &error), ConnectMenuResult::ScriptRunning);
    EXPECT_EQ(ch->job(JobSlot::Script), job) << "the running script is untouched";
    ch->destroyJob(JobSlot::Script);
    EXPECT_EQ(startConnectMenuEntry(*ch, {"Missing", ""}, nullptr, &error), ConnectMenuResult::Failed);
    EXPECT_FALSE(error.empty());
}

TEST_F(MenuOnChannel, TncEntryGoesToTheTncAndTextEntryOnTheAirInEchoColour) {
    sendMenuTncCommand(*ch, "I DA1AAA-2");
    bool sent = false;
    for (const auto& w : rig.state->writes) sent |= w.size() >= 3 && w[0] == 2 && w[1] == 1 && w.substr(3) == "I DA1AAA-2";
    EXPECT_TRUE(sent);
    clearAir();
    sendMenuText(*ch, "Grüße");
    ch->flushToOutput();
    EXPECT_EQ(air(), "Gr\x81\xE1" "e\r") << "UTF-8 menu text goes out as CP437";
    EXPECT_EQ(shown(kClassInputEcho), "Gr\x81\xE1" "e\r");
}

TEST(RunMenuPrograms, CommandLinesSplitWithoutAShell) {
    EXPECT_EQ(splitCommandLine("  xterm -e \"tail -f /tmp/a b\"  x"),
              (std::vector<std::string>{"xterm", "-e", "tail -f /tmp/a b", "x"}));
    EXPECT_EQ(splitCommandLine("echo a;rm -rf ~ $(id)"),
              (std::vector<std::string>{"echo", "a;rm", "-rf", "~", "$(id)"}));
    EXPECT_EQ(splitCommandLine("\"\" x"), (std::vector<std::string>{"", "x"}));
    EXPECT_TRUE(splitCommandLine(" \t ").empty());
}

TEST(RunMenuPrograms, StartsInItsDirectoryReportsFailuresAndReaps) {
    TempDir dir;
    DetachedPrograms programs;
    std::string error;
    EXPECT_FALSE(programs.start({"norva-no-such-program"}, {}, &error));
    EXPECT_NE(error.find("norva-no-such-program"), std::string::npos);
    EXPECT_FALSE(programs.start({}, {}, &error));
    // A line that asks for a shell gets one; nothing else does.
    ASSERT_TRUE(programs.start(splitCommandLine("sh -c \"pwd > where.txt\""), dir.path(), &error)) << error;
    for (int i = 0; i < 500 && programs.running() > 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        programs.reap();
    }
    EXPECT_EQ(programs.running(), 0u);
    EXPECT_EQ(dir.read("where.txt"), dir.path().string() + "\n");
}

}  // namespace
}  // namespace norva::test
