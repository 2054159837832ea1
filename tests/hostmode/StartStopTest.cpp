// Starting and stopping TNCs: host-mode switch, init and exit files, the
// system log, failures to open, and the TNC table built from the profile.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "channel/TncChannel.h"
#include "support/HostRig.h"

namespace norva::test {
namespace {

bool contains(const std::vector<std::string>& v, const std::string& s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

TEST(TncTable, CreatedFromTncSection) {
    HostRig rig;
    rig.configure(1, 4);
    rig.configure(3, 2);
    rig.profile.writeString(std::to_string(2), "TncName", "unused");
    rig.create();
    EXPECT_NE(rig.host->tnc(1), nullptr);
    EXPECT_EQ(rig.host->tnc(2), nullptr);
    EXPECT_NE(rig.host->tnc(3), nullptr);
    EXPECT_EQ(rig.host->tnc(4), nullptr);
    ASSERT_NE(rig.host->tnc(5), nullptr);
    EXPECT_EQ(rig.host->tnc(5)->name(), "Dummy");
    EXPECT_EQ(rig.host->tnc(5)->channelCount(), 2);
    EXPECT_FALSE(rig.host->tnc(5)->isOpen());
}

TEST(TncTable, MissingChannelsKeyGivesMonitorOnlyAndBadCountsAreClamped) {
    HostRig rig;
    rig.profile.writeString("Tnc", "1", "1");
    rig.profile.writeString("Tnc", "2", "1");
    rig.profile.writeInt("2", "Channels", 99);
    rig.profile.writeString("Tnc", "3", "1");
    rig.profile.writeString("3", "Channels", "-7");
    rig.create();
    EXPECT_EQ(rig.host->tnc(1)->channelCount(), 0);
    EXPECT_EQ(rig.host->tnc(2)->channelCount(), 20);
    EXPECT_EQ(rig.host->tnc(3)->channelCount(), 0);
    EXPECT_NE(rig.dir.read("system.log").find("Channels 99 outside 0..20"), std::string::npos);
}

TEST(TncStart, TerminalModeTncIsSwitchedAndInitialised) {
    HostRig rig;
    rig.fw.terminalMode = true;
    rig.configure(1, 4, "/dev/ttyFAKE0", 1, "Kurz");
    rig.dir.write("tnc1.ini", "I DL1XYZ\r\n\r\n\nT 25\nK 1");
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    ASSERT_TRUE(tnc->isOpen());
    EXPECT_FALSE(rig.fw.terminalMode);

    const auto& w = rig.state->writes;
    EXPECT_TRUE(contains(w, "\x11\x18"));
    EXPECT_TRUE(contains(w, "\x1bjhost 1\r"));
    const auto cmds = rig.state->commands();
    // Monitor on, the init file line by line, then each channel's own call.
    auto at = [&](const std::string& c) { return std::find(cmds.begin(), cmds.end(), c) - cmds.begin(); };
    EXPECT_LT(at("MUISC"), at("I DL1XYZ"));
    EXPECT_LT(at("I DL1XYZ"), at("T 25"));
    EXPECT_LT(at("T 25"), at("K 1"));
    EXPECT_TRUE(contains(cmds, "i NOCALL"));
    EXPECT_EQ(rig.dir.read("system.log"), "  05.03.2024 09:07  Tnc Kurz           Start...->  connected\r\n");
    EXPECT_TRUE(contains(rig.ui.status, "Kurz switch to Hostmode..."));
}

TEST(TncStart, TncAlreadyInHostModeIsNotSentTheSwitch) {
    HostRig rig;  // the fake firmware starts in host mode
    rig.configure(1, 4);
    rig.create();
    ASSERT_TRUE(rig.host->tnc(1)->isOpen());
    EXPECT_FALSE(rig.host->tnc(1)->outOfSync());
    EXPECT_FALSE(contains(rig.state->writes, "\x1bjhost 1\r"));
    EXPECT_TRUE(contains(rig.state->commands(), "MUISC"));
}

TEST(TncStart, InitFileIsCutAt8192Bytes) {
    HostRig rig;
    rig.configure(1, 2);
    std::string file;
    int n = 0;
    while (file.size() < 10000) file += "Y " + std::to_string(n++) + "\r\n";
    rig.dir.write("tnc1.ini", file);
    rig.create();
    const auto cmds = rig.state->commands();
    std::vector<std::string> ys;
    for (const auto& c : cmds)
        if (c.starts_with("Y")) ys.push_back(c);
    // The last line sent is the one the 8192nd byte falls in, cut there.
    const std::string head = file.substr(0, 8192);
    const std::size_t lastStart = head.find_last_of('\n') + 1;
    EXPECT_EQ(ys.back(), head.substr(lastStart));
    EXPECT_LT(ys.size(), static_cast<std::size_t>(n));
}

TEST(TncStart, InitFilesComeFromInitDirAndOnlyRegularFilesAreRead) {
    HostRig rig;
    rig.configure(1, 2);
    const auto initDir = rig.dir.path() / "init";
    std::filesystem::create_directory(initDir);
    // A FIFO under the init file's name. Held open here and filled, so that
    // reading it would not block but would take its lines.
    ASSERT_EQ(::mkfifo((initDir / "tnc1.ini").c_str(), 0600), 0);
    const int fifo = ::open((initDir / "tnc1.ini").c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fifo, 0);
    std::string lines;
    while (lines.size() < 9000) lines += "Y from a fifo\r\n";
    ASSERT_EQ(::write(fifo, lines.data(), lines.size()), static_cast<ssize_t>(lines.size()));
    writeFile(initDir / "tnc1.exi", "Y exit\r\n");
    writeFile(rig.dir.path() / "tnc1.exi", "Y exit from the program dir\r\n");
    rig.profile.writeString("Frame", "InitDir", " " + initDir.string() + " ");
    rig.create();
    ASSERT_TRUE(rig.host->tnc(1)->isOpen());
    EXPECT_FALSE(contains(rig.state->commands(), "Y from a fifo"));

    rig.host->tnc(1)->stop();
    const auto cmds = rig.state->commands();
    EXPECT_TRUE(contains(cmds, "Y exit"));
    EXPECT_FALSE(contains(cmds, "Y exit from the program dir"));
    ::close(fifo);
}

TEST(TncStart, MissingPortIsReportedOnceAndNotRetriedNextTime) {
    HostRig rig;
    rig.state->failOpen = true;
    rig.configure(1, 4, "/dev/ttyGONE", 1, "Funk");
    rig.create();
    EXPECT_FALSE(rig.host->tnc(1)->isOpen());
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].first, "Funk");
    EXPECT_EQ(rig.ui.boxes[0].second, "Com Port kann nicht geöffnet werden /dev/ttyGONE");
    EXPECT_EQ(rig.profile.getInt("1", "Connected", 9), 0);
    EXPECT_EQ(rig.dir.read("system.log"),
              "  05.03.2024 09:07  Tnc Funk           Start...->  not connected (failed)\r\n");
}

TEST(TncStart, TfpcrAsksFirstAndCannotOpenOnLinux) {
    HostRig rig;
    rig.configure(1, 4, "tfpcr253");
    rig.ui.answer = false;
    rig.create();
    ASSERT_EQ(rig.ui.boxes.size(), 1u);
    EXPECT_EQ(rig.ui.boxes[0].first, "TFPCR Betrieb");
    EXPECT_EQ(rig.profile.getInt("1", "Connected", 9), 0);
    EXPECT_NE(rig.dir.read("system.log").find("not connected (failed)"), std::string::npos);
}

TEST(TncStop, StopSequenceAndLogLines) {
    std::vector<std::string> trace;
    HostRig rig;
    rig.ctx.trace = [&](std::string_view line) { trace.emplace_back(line); };
    rig.configure(1, 2, "/dev/ttyFAKE0", 1, "ABCD");
    rig.dir.write("tnc1.exi", "Y 0\n");
    rig.create();
    rig.state->writes.clear();
    rig.host->stopAll();
    const auto cmds = rig.state->commands();
    ASSERT_GE(cmds.size(), 3u);
    EXPECT_EQ(cmds[0], "MN");
    EXPECT_EQ(cmds[1], "Y 0");
    EXPECT_EQ(cmds[2], "jhost 0");
    EXPECT_FALSE(rig.host->tnc(1)->isOpen());
    EXPECT_EQ(rig.state->closes, 1);
    EXPECT_EQ(rig.dir.read("system.log"),
              "  05.03.2024 09:07  Tnc ABCD           Start...->  connected\r\n"
              "  05.03.2024 09:07  Tnc ABCD           Stop ...->  disconnected\r\n");
    EXPECT_EQ(trace, (std::vector<std::string>{"Tnc 1 opened /dev/ttyFAKE0", "Tnc 1 closed"}));
}

TEST(TncStop, NoAnswerToMonitorOffSkipsExitFileButCloses) {
    HostRig rig;
    rig.configure(1, 2);
    rig.dir.write("tnc1.exi", "Y 0\n");
    rig.create();
    rig.fw.silent = true;
    rig.state->writes.clear();
    rig.host->stopAll();
    EXPECT_EQ(rig.state->commands(), std::vector<std::string>{"MN"});
    EXPECT_FALSE(rig.host->tnc(1)->isOpen());
}

TEST(TncLog, LongNamesAreNotPadded) {
    HostRig rig;
    rig.configure(1, 2, "/dev/x", 1, "FifteenCharName");
    rig.create();
    EXPECT_EQ(rig.dir.read("system.log"),
              "  05.03.2024 09:07  Tnc FifteenCharNameStart...->  connected\r\n");
}

TEST(VirtualTnc, DdePortIsAlwaysInHostModeAndRejectsExtendedPoll) {
    HostRig rig;
    rig.configure(1, 4, "dde");
    rig.create();
    CTnc* tnc = rig.host->tnc(1);
    ASSERT_TRUE(tnc->isOpen());
    EXPECT_EQ(rig.state->opens, 0);
    for (int i = 0; i < 20; ++i) rig.host->pollStep();
    EXPECT_FALSE(tnc->extendedPollAllowed());
    EXPECT_FALSE(tnc->outOfSync());
    // "i" stores the call, "i" alone answers it.
    EXPECT_TRUE(channelOf(*tnc, 1)->sendCommandAndReceive("i dl1abc"));
    EXPECT_TRUE(channelOf(*tnc, 1)->sendCommandAndReceive("i"));
    EXPECT_EQ(channelOf(*tnc, 1)->received().text(), "\rDL1ABC");
    EXPECT_TRUE(channelOf(*tnc, 1)->sendCommandAndReceive("xyz"));
    EXPECT_EQ(channelOf(*tnc, 1)->received().text(), "\rINVALID COMMAND");
}

}  // namespace
}  // namespace norva::test
