// //DOS with real child processes: programs only from the run area, their
// arguments as an argv (no shell for a normal station), output back as one
// memory text, a time limit that kills the process group, and no process
// left unreaped.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "RemoteRig.h"

namespace norva::test {
namespace {

namespace fs = std::filesystem;

// True when no process with this id runs any more (gone, or a zombie of
// someone else's).
bool processGone(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    if (!stat) return true;
    std::string line;
    std::getline(stat, line);
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'Z';
}

class RunProgram : public ::testing::Test {
protected:
    void SetUp() override {
        script("args.sh", "#!/bin/sh\nfor a in \"$@\"; do echo \"[$a]\"; done\nprintf 'ende'\n");
        script("slow", "#!/bin/sh\nsleep 30 &\necho $! > grandchild\necho $$ > child\nexec sleep 30\n");
        script("plain.sh", "#!/bin/sh\necho never\n", 0644);
        fs::create_symlink("/bin/sh", r.run.path() / "shell");
        r.area.write("Listed.txt", "x");
        r.connect();
        r.clear();
    }
    void script(const std::string& name, const std::string& text, mode_t mode = 0755) {
        r.run.write(name, text);
        ::chmod((r.run.path() / name).c_str(), mode);
    }
    std::string say(std::string_view line) { return r.say(std::string(line) + "\r"); }
    // Ticks the channel (on the real clock) until its send slot is empty.
    bool runToEnd(int ms = 10000) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (r.ch().job(JobSlot::Send)) {
            if (std::chrono::steady_clock::now() > end) return false;
            r.ch().tick();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    std::string output() const {
        if (r.transfers.calls.empty() || r.transfers.calls.back().what != "memory") return "<none>";
        return r.transfers.calls.back().text;
    }
    pid_t pidFrom(const std::string& name) {
        for (int i = 0; i < 500 && r.area.read(name).empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return static_cast<pid_t>(std::stol(r.area.read(name)));
    }

    RemoteRig r;
    const std::string started = "\rProgramm gestartet. Bitte warten...\r\r";
};

// A run area that stations can write into would run what they upload.
TEST_F(RunProgram, IsOffWhileTheRunAreaOverlapsWhereStationsWrite) {
    const std::string off = "\rSystem ist nicht fuer Remotebetrieb konfiguriert.\r";
    const fs::path remote = r.area.path();
    for (const fs::path& run : {remote, remote / "bin"}) {
        fs::create_directories(run);
        r.rig.profile.writeString("frame", "RunDir", run.string());
        r.area.write("evil.sh", "#!/bin/sh\necho planted\n");
        ::chmod((remote / "evil.sh").c_str(), 0755);
        const std::string reply = say("//dos evil.sh");
        EXPECT_TRUE(reply.starts_with(off)) << run << ": " << reply;
    }
    r.rig.profile.writeString("frame", "RunDir", r.run.path().string());
    EXPECT_TRUE(say("//dos args.sh x").starts_with("\rProgramm gestartet."));
    EXPECT_TRUE(runToEnd());
    EXPECT_NE(r.rig.dir.read("system.log").find("//DOS is off until they are apart"), std::string::npos);
}

TEST_F(RunProgram, ArgumentsAreAnArgvNotAShellLine) {
    EXPECT_EQ(say("//dos ARGS ls;id $(id) `id` 'a b'"), started);
    ASSERT_NE(r.ch().job(JobSlot::Send), nullptr);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(output(), "[ls;id]\r[$(id)]\r[`id`]\r['a]\r[b']\rende");
    EXPECT_EQ(r.transfers.calls.back().arg, "Run");
    EXPECT_TRUE(r.transfers.calls.back().promptAfter);
}

TEST_F(RunProgram, OnlyProgramsOfTheRunAreaStart) {
    const std::string notFound = "\rKann gewuenschte RUN Datei nicht finden.\r" + RemoteRig::prompt();
    EXPECT_EQ(say("//dos ls;id"), notFound);
    EXPECT_EQ(say("//dos ls"), notFound) << "no marker, no system command";
    EXPECT_EQ(say("//dos shell -c id"), notFound) << "a link out of the run area";
    EXPECT_EQ(say("//dos .."), notFound);
    EXPECT_EQ(say("//dos /bin/sh -c id"), "\rDiese Kommando ist fuer normale Benutzer nicht erlaubt.\r" +
                                             RemoteRig::prompt());
    EXPECT_EQ(say("//dos plain"), started + "\rKann Programm nicht starten.\r" + RemoteRig::prompt());
    EXPECT_EQ(r.ch().job(JobSlot::Send), nullptr);
    EXPECT_TRUE(r.transfers.calls.empty());

    // A marker in the run area opens one system command, still without a shell.
    r.run.write("ls.int", "");
    EXPECT_EQ(say("//dos LS -1 . ;id"), started);
    ASSERT_TRUE(runToEnd());
    EXPECT_NE(output().find("Listed.txt\r"), std::string::npos) << output();
    EXPECT_NE(output().find(";id"), std::string::npos) << "';id' was a file name for ls: " << output();
}

TEST_F(RunProgram, EndlessOutputIsCutAndNeverStallsTheProgram) {
    script("flood", "#!/bin/sh\nhead -c 300000 /dev/zero | tr '\\000' 'x'\necho\necho done >&2\n");
    EXPECT_EQ(say("//dos flood"), started);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(output(), std::string(r.server.options().runOutputLimit, 'x'));
}

TEST_F(RunProgram, TheSuperuserMayUseTheShell) {
    r.ch().setSuperuser(true);
    EXPECT_EQ(say("//dos echo one && echo two"), started);
    ASSERT_TRUE(runToEnd());
    EXPECT_EQ(output(), "one\rtwo\r");
}

TEST_F(RunProgram, AProgramRunningTooLongIsKilledWithEverythingItStarted) {
    EXPECT_EQ(say("//dos slow"), started);
    const pid_t child = pidFrom("child");
    const pid_t grandchild = pidFrom("grandchild");
    r.rig.state->writes.clear();
    r.ch().tick();
    EXPECT_EQ(r.sent(), "");
    r.rig.clock.advanceMs(60'001);
    r.ch().tick();
    EXPECT_EQ(r.sent(), "\rTimeout ! Programm antwortet nicht. \r\r\rDA1ABC-3 de DL1XYZ (09:08)>");
    EXPECT_EQ(r.ch().job(JobSlot::Send), nullptr);
    EXPECT_TRUE(r.transfers.calls.empty()) << "no output is sent";
    EXPECT_TRUE(processGone(child)) << "reaped";
    for (int i = 0; i < 200 && !processGone(grandchild); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(processGone(grandchild));
}

TEST_F(RunProgram, ADisconnectEndsTheRunningProgram) {
    EXPECT_EQ(say("//dos slow"), started);
    const pid_t child = pidFrom("child");
    r.rig.queueStatus(1, "(1) DISCONNECTED fm DA1ABC-3");
    r.rig.poll(1);
    EXPECT_EQ(r.ch().job(JobSlot::Send), nullptr);
    EXPECT_TRUE(processGone(child));
}

}  // namespace
}  // namespace norva::test
